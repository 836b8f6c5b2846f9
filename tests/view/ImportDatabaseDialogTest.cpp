// Import from Database in the diagram window, the dialog worked as a person
// works it: against Chinook as a SQLite file (which must stay as it is) and
// in the throw-away PostgreSQL and MariaDB servers of the live_postgres and
// live_mariadb fixtures. Fails when a server is not there.
#include "CAppState.h"
#include "CatalogText.h"
#include "CDocumentHost.h"
#include "CImportDatabaseDialog.h"
#include "CKorvoView.h"
#include "LiveTestSupport.h"
#include "TestSeam.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

const QString kChinook = QStringLiteral(KORVO_SHARED_DIR "/schemas/chinook.sqlite");

template <class T>
T* Find(const QDialog& dialog, const char* name)
{
    T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << "no " << name;
    return widget;
}

void Click(const QDialog& dialog, const char* button)
{
    QPushButton* pushButton = Find<QPushButton>(dialog, button);
    ASSERT_TRUE(pushButton->isEnabled()) << button;
    QTest::mouseClick(pushButton, Qt::LeftButton);
}

// Waits until the dialog's work has ended (every field is unlocked again)
// or the dialog has closed; a minute stands for "hangs".
bool WaitIdle(const QDialog& dialog)
{
    return QTest::qWaitFor([&dialog] { return !dialog.isVisible() || Find<QComboBox>(dialog, "kind")->isEnabled(); },
                           60000);
}

QStringList Items(const QListWidget* list, bool tickedOnly = false, bool shownOnly = false)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* item = list->item(i);
        if ((!tickedOnly || item->checkState() == Qt::Checked) && (!shownOnly || !item->isHidden()))
            items.append(item->text());
    }
    return items;
}

void ChooseKind(const QDialog& dialog, const char* kind)
{
    auto* combo = Find<QComboBox>(dialog, "kind");
    const int index = combo->findText(QString::fromLatin1(kind));
    ASSERT_GE(index, 0) << kind;
    combo->setCurrentIndex(index);
}

void Type(const QDialog& dialog, const char* field, const std::string& text)
{
    QLineEdit* edit = Find<QLineEdit>(dialog, field);
    edit->clear();
    QTest::keyClicks(edit, QString::fromStdString(text));
}

QByteArray FileDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

class ImportDatabaseTest : public ::testing::Test {
protected:
    ImportDatabaseTest() : m_host(std::make_unique<CKorvoDoc>()), m_view(&m_host)
    {
        CAppState::Get() = CAppState();
        m_view.resize(600, 400);
        m_view.show();
        m_view.OnInitialUpdate();
        m_view.viewport()->grab();
    }

    CKorvoDoc& doc() { return *m_host.GetDocument(); }

    // Runs the command with work doing what a person does in the dialog.
    void RunCommand(const std::function<void(QDialog&)>& work)
    {
        m_seam.workDialog = [work](QDialog& dialog) {
            ASSERT_NE(qobject_cast<CImportDatabaseDialog*>(&dialog), nullptr);
            EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Import from Database"));
            work(dialog);
        };
        m_view.OnImportDatabase();
    }

    // The server fields filled in for the fixture's server.
    static void FillServer(const QDialog& dialog, bool postgres, const TestServer& server, const std::string& database,
                           const std::string& password)
    {
        ChooseKind(dialog, postgres ? "PostgreSQL" : "MariaDB/MySQL");
        Type(dialog, "host", server.host);
        Find<QSpinBox>(dialog, "port")->setValue(server.port);
        Type(dialog, "database", database);
        Type(dialog, "user", server.user);
        Type(dialog, "password", password);
    }

    CRecordingSeam m_seam;
    CDocumentHost m_host;
    CKorvoView m_view;
};

// The servers, each with Chinook as its own script makes it.
class ServerImportTest : public ImportDatabaseTest, public ::testing::WithParamInterface<const char*> {
protected:
    bool Postgres() const { return std::string(GetParam()) == "postgres"; }
    std::string Chinook() const { return Postgres() ? "chinook" : "Chinook"; }
    std::string Scheme() const { return Postgres() ? "postgresql" : "mariadb"; }
};

} // namespace

TEST_F(ImportDatabaseTest, ASqliteFileWithSomeTablesUntickedAndTheFileLeftAlone)
{
    const QByteArray digest = FileDigest(kChinook);
    ASSERT_FALSE(digest.isEmpty()) << kChinook.toStdString();
    const QDateTime modified = QFileInfo(kChinook).lastModified();
    const QStringList folder = QDir(QFileInfo(kChinook).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden);
    const std::string empty = doc().SaveToBytes();

    m_seam.openFileName = kChinook;
    RunCommand([](QDialog& dialog) {
        ChooseKind(dialog, "SQLite file");
        // Choosing the file lists its tables at once.
        Click(dialog, "browse");
        ASSERT_TRUE(WaitIdle(dialog));
        EXPECT_EQ(Find<QLineEdit>(dialog, "path")->text(), kChinook);
        EXPECT_EQ(Items(Find<QListWidget>(dialog, "schemas"), true), QStringList{QStringLiteral("main")});
        QListWidget* tables = Find<QListWidget>(dialog, "tables");
        EXPECT_EQ(Items(tables, true),
                  (QStringList{"Album", "Artist", "Customer", "Employee", "Genre", "Invoice", "InvoiceLine",
                               "MediaType", "Playlist", "PlaylistTrack", "Track"}));
        EXPECT_EQ(Find<QLabel>(dialog, "tableCount")->text(), QStringLiteral("11 of 11 ticked"));
        EXPECT_TRUE(Find<QLabel>(dialog, "status")->text().startsWith(QStringLiteral("Connected to SQLite ")))
            << Find<QLabel>(dialog, "status")->text().toStdString();

        // The filter narrows what shows; Untick Shown unticks only that.
        QTest::keyClicks(Find<QLineEdit>(dialog, "tableFilter"), QStringLiteral("iN"));
        EXPECT_EQ(Items(tables, false, true), (QStringList{"Invoice", "InvoiceLine"}));
        Click(dialog, "untickShown");
        Find<QLineEdit>(dialog, "tableFilter")->clear();
        EXPECT_EQ(Items(tables, false, true).size(), 11);
        EXPECT_EQ(Find<QLabel>(dialog, "tableCount")->text(), QStringLiteral("9 of 11 ticked"));
        // And a click on a box unticks one more, then ticks it again.
        QListWidgetItem* genre = tables->findItems(QStringLiteral("Genre"), Qt::MatchExactly).value(0);
        ASSERT_NE(genre, nullptr);
        genre->setCheckState(Qt::Unchecked);
        EXPECT_EQ(Find<QLabel>(dialog, "tableCount")->text(), QStringLiteral("8 of 11 ticked"));
        genre->setCheckState(Qt::Checked);

        Click(dialog, "import");
        ASSERT_TRUE(WaitIdle(dialog));
        EXPECT_FALSE(dialog.isVisible());
    });

    ASSERT_EQ(doc().m_tables.size(), 9u);
    EXPECT_EQ(doc().FindTable("Invoice"), nullptr);
    EXPECT_EQ(doc().FindTable("InvoiceLine"), nullptr);
    // Chinook's eleven keys less the three that start or end at an invoice.
    EXPECT_EQ(doc().m_relations.size(), 8u);
    ASSERT_EQ(m_seam.messages.size(), 1);
    EXPECT_EQ(m_seam.messages[0], QStringLiteral("Imported 9 tables and 8 relations from ") + kChinook + ".");

    QUndoStack& history = *m_host.UndoStack();
    ASSERT_EQ(history.count(), 1);
    EXPECT_EQ(history.undoText(), QStringLiteral("Import from Database"));
    const std::string after = doc().SaveToBytes();
    history.undo();
    EXPECT_EQ(doc().SaveToBytes(), empty);
    history.redo();
    EXPECT_EQ(doc().SaveToBytes(), after);

    ASSERT_EQ(CAppState::Get().m_recentConnections.size(), 1);
    EXPECT_EQ(CAppState::Get().m_recentConnections[0].path, kChinook);

    EXPECT_EQ(FileDigest(kChinook), digest);
    EXPECT_EQ(QFileInfo(kChinook).lastModified(), modified);
    EXPECT_EQ(QDir(QFileInfo(kChinook).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden), folder)
        << "no journal or other side file";
}

TEST_F(ImportDatabaseTest, AFileThatIsNoDatabaseIsOneLineAndNothingIsListed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.db"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("CREATE TABLE t (id int);\n");
    file.close();
    m_seam.openFileName = path;
    RunCommand([](QDialog& dialog) {
        ChooseKind(dialog, "SQLite file");
        Click(dialog, "browse");
        ASSERT_TRUE(WaitIdle(dialog));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(Find<QListWidget>(dialog, "tables")->count(), 0);
        EXPECT_FALSE(Find<QPushButton>(dialog, "import")->isEnabled());
    });
    ASSERT_EQ(m_seam.messages.size(), 1);
    EXPECT_FALSE(m_seam.messages[0].contains(QLatin1Char('\n'))) << m_seam.messages[0].toStdString();
    EXPECT_EQ(m_seam.icons[0], QMessageBox::Warning);
    EXPECT_TRUE(doc().m_tables.empty());
    EXPECT_EQ(m_host.UndoStack()->count(), 0);
}

TEST_P(ServerImportTest, ChinookComesInAndTheConnectionIsRememberedWithoutItsPassword)
{
    const TestServer server = LoadTestServer(GetParam());
    ASSERT_TRUE(server.ok);
    RunCommand([&](QDialog& dialog) {
        FillServer(dialog, Postgres(), server, Chinook(), server.password);
        Click(dialog, "testConnection");
        ASSERT_TRUE(WaitIdle(dialog));
        const QString status = Find<QLabel>(dialog, "status")->text();
        EXPECT_TRUE(status.startsWith(QStringLiteral("Connected to ") + (Postgres() ? "PostgreSQL" : "MariaDB")))
            << status.toStdString();
        EXPECT_FALSE(status.contains(QString::fromStdString(server.password)));
        EXPECT_EQ(Items(Find<QListWidget>(dialog, "schemas"), true),
                  QStringList{QString::fromStdString(Postgres() ? "public" : "Chinook")});
        EXPECT_EQ(Items(Find<QListWidget>(dialog, "tables"), true).size(), 11);
        Click(dialog, "import");
        ASSERT_TRUE(WaitIdle(dialog));
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(doc().m_tables.size(), 11u);
    EXPECT_EQ(doc().m_relations.size(), 11u);
    // What the server's catalog holds, as the script that loaded it makes it.
    std::ifstream captured(std::string(KORVO_SOURCE_DIR) + "/tests/schema/expected/chinook." +
                           (Postgres() ? "postgresql" : "mysql") + ".catalog");
    std::ostringstream catalog;
    catalog << captured.rdbuf();
    const std::string expected = AsDiagramShowsIt(catalog.str());
    ASSERT_FALSE(expected.empty());
    const std::string actual = DiagramCatalogText(doc());
    EXPECT_TRUE(actual == expected) << CatalogDifference(actual, expected);
    const std::string where = Scheme() + "://" + server.user + "@" + server.host + ":" + std::to_string(server.port) +
                              "/" + Chinook();
    ASSERT_EQ(m_seam.messages.size(), 1);
    EXPECT_EQ(m_seam.messages[0].toStdString(), "Imported 11 tables and 11 relations from " + where + ".");
    EXPECT_EQ(m_host.UndoStack()->count(), 1);

    // Remembered, and written to the settings, without the password.
    ASSERT_EQ(CAppState::Get().m_recentConnections.size(), 1);
    const ConnectionFields remembered = CAppState::Get().m_recentConnections[0];
    EXPECT_EQ(remembered.Label().toStdString(), where);
    QTemporaryDir dir;
    const QString settingsPath = dir.filePath(QStringLiteral("settings.conf"));
    {
        QSettings settings(settingsPath, QSettings::IniFormat);
        WriteRecentConnections(settings, CAppState::Get().m_recentConnections);
    }
    QFile written(settingsPath);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray text = written.readAll();
    EXPECT_TRUE(text.contains("[Recent%20Connections]")) << text.toStdString();
    EXPECT_TRUE(text.contains(QByteArray::fromStdString(server.host))) << text.toStdString();
    EXPECT_FALSE(text.contains(QByteArray::fromStdString(server.password))) << text.toStdString();
    {
        QSettings settings(settingsPath, QSettings::IniFormat);
        EXPECT_EQ(ReadRecentConnections(settings), CAppState::Get().m_recentConnections);
    }

    // The next time the dialog offers it, fields filled, password empty.
    m_seam.messages.clear();
    RunCommand([&](QDialog& dialog) {
        auto* recent = Find<QComboBox>(dialog, "recent");
        ASSERT_EQ(recent->count(), 1);
        EXPECT_EQ(recent->itemText(0).toStdString(), where);
        EXPECT_EQ(Find<QLineEdit>(dialog, "host")->text().toStdString(), server.host);
        EXPECT_EQ(Find<QSpinBox>(dialog, "port")->value(), server.port);
        EXPECT_EQ(Find<QLineEdit>(dialog, "database")->text().toStdString(), Chinook());
        EXPECT_EQ(Find<QLineEdit>(dialog, "user")->text().toStdString(), server.user);
        EXPECT_TRUE(Find<QLineEdit>(dialog, "password")->text().isEmpty());
        for (QWidget* widget : dialog.findChildren<QWidget*>()) {
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                EXPECT_FALSE(label->text().contains(QString::fromStdString(server.password)));
            }
        }
    });
    EXPECT_TRUE(m_seam.messages.isEmpty());
}

TEST_P(ServerImportTest, AWrongPasswordIsOneLineThatNeverShowsIt)
{
    const TestServer server = LoadTestServer(GetParam());
    ASSERT_TRUE(server.ok);
    const std::string wrong = "Wrong-Secret-4711";
    RunCommand([&](QDialog& dialog) {
        FillServer(dialog, Postgres(), server, Chinook(), wrong);
        Click(dialog, "testConnection");
        ASSERT_TRUE(WaitIdle(dialog));
        EXPECT_TRUE(dialog.isVisible()) << "the user may try again";
        EXPECT_EQ(Find<QListWidget>(dialog, "tables")->count(), 0);
        EXPECT_FALSE(Find<QPushButton>(dialog, "import")->isEnabled());
        EXPECT_FALSE(Find<QLabel>(dialog, "status")->text().contains(QString::fromStdString(wrong)));
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Import from Database"));
    });
    ASSERT_EQ(m_seam.messages.size(), 1);
    const QString message = m_seam.messages[0];
    EXPECT_FALSE(message.contains(QLatin1Char('\n'))) << message.toStdString();
    EXPECT_FALSE(message.contains(QString::fromStdString(wrong))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("password")) || message.contains(QStringLiteral("denied")))
        << message.toStdString();
    EXPECT_TRUE(doc().m_tables.empty());
    EXPECT_EQ(m_host.UndoStack()->count(), 0);
    EXPECT_TRUE(CAppState::Get().m_recentConnections.isEmpty());
}

TEST_P(ServerImportTest, CancelDuringTheReadMergesNothing)
{
    const TestServer server = LoadTestServer(GetParam());
    ASSERT_TRUE(server.ok);
    const std::string before = doc().SaveToBytes();
    RunCommand([&](QDialog& dialog) {
        FillServer(dialog, Postgres(), server, Chinook(), server.password);
        Click(dialog, "testConnection");
        ASSERT_TRUE(WaitIdle(dialog));
        Click(dialog, "import");
        EXPECT_FALSE(Find<QComboBox>(dialog, "kind")->isEnabled()) << "the fields are locked while reading";
        Click(dialog, "cancel");
        ASSERT_TRUE(WaitIdle(dialog));
        EXPECT_TRUE(dialog.isVisible()) << "Cancel stops the read; the dialog stays";
        EXPECT_EQ(Find<QLabel>(dialog, "status")->text(), QStringLiteral("Cancelled."));
        // With nothing running, Cancel closes it.
        Click(dialog, "cancel");
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_TRUE(m_seam.messages.isEmpty());
    EXPECT_EQ(doc().SaveToBytes(), before);
    EXPECT_EQ(m_host.UndoStack()->count(), 0);
    EXPECT_FALSE(m_host.IsModified());
    EXPECT_TRUE(CAppState::Get().m_recentConnections.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerImportTest, ::testing::Values("postgres", "mariadb"));

// An empty password field leaves libpq to find the password as it always
// does: in PGPASSWORD, or in ~/.pgpass (a file only its owner may read).
TEST_F(ImportDatabaseTest, AnEmptyPasswordLetsLibpqUsePgpasswordOrPgpass)
{
    const TestServer server = LoadTestServer("postgres");
    ASSERT_TRUE(server.ok);
    QTemporaryDir home;
    const QString pgpass = home.filePath(QStringLiteral(".pgpass"));
    {
        QFile file(pgpass);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(server.host + ":" + std::to_string(server.port) + ":chinook:" +
                                             server.user + ":" + server.password + "\n"));
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    const QByteArray oldHome = qgetenv("HOME");
    const struct {
        const char* how;
        const char* variable;
        QByteArray value;
    } cases[] = {
        {"PGPASSWORD", "PGPASSWORD", QByteArray::fromStdString(server.password)},
        {"~/.pgpass", "HOME", home.path().toLocal8Bit()},
    };
    qunsetenv("PGPASSWORD");
    qunsetenv("PGPASSFILE");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        m_seam.messages.clear();
        qputenv(c.variable, c.value);
        RunCommand([&](QDialog& dialog) {
            FillServer(dialog, true, server, "chinook", "");
            Click(dialog, "testConnection");
            ASSERT_TRUE(WaitIdle(dialog));
            EXPECT_EQ(Items(Find<QListWidget>(dialog, "tables"), true).size(), 11);
        });
        qunsetenv("PGPASSWORD");
        qputenv("HOME", oldHome);
        EXPECT_TRUE(m_seam.messages.isEmpty()) << m_seam.messages.join(QLatin1Char('|')).toStdString();
    }

    // Without either, the server turns the connection down.
    QTemporaryDir emptyHome;
    qputenv("HOME", emptyHome.path().toLocal8Bit());
    RunCommand([&](QDialog& dialog) {
        FillServer(dialog, true, server, "chinook", "");
        Click(dialog, "testConnection");
        ASSERT_TRUE(WaitIdle(dialog));
        EXPECT_EQ(Find<QListWidget>(dialog, "tables")->count(), 0);
    });
    qputenv("HOME", oldHome);
    EXPECT_EQ(m_seam.messages.size(), 1);
}

// Schemas ticked add their tables, shown with their schema; the merge keeps
// the tables of both.
TEST_F(ImportDatabaseTest, TickingAnotherSchemaListsItsTablesToo)
{
    const TestServer server = LoadTestServer("postgres");
    ASSERT_TRUE(server.ok);
    RunCommand([&](QDialog& dialog) {
        FillServer(dialog, true, server, "korvo_features", server.password);
        Click(dialog, "testConnection");
        ASSERT_TRUE(WaitIdle(dialog));
        QListWidget* schemas = Find<QListWidget>(dialog, "schemas");
        EXPECT_EQ(Items(schemas, true), QStringList{QStringLiteral("public")});
        const QStringList publicTables = Items(Find<QListWidget>(dialog, "tables"));
        ASSERT_FALSE(publicTables.isEmpty());
        QListWidgetItem* sales = schemas->findItems(QStringLiteral("sales"), Qt::MatchExactly).value(0);
        ASSERT_NE(sales, nullptr);
        sales->setCheckState(Qt::Checked);
        ASSERT_TRUE(WaitIdle(dialog));
        const QStringList both = Items(Find<QListWidget>(dialog, "tables"), true);
        EXPECT_TRUE(both.contains(QStringLiteral("sales.Order"))) << both.join(QLatin1Char(',')).toStdString();
        EXPECT_TRUE(both.contains(QStringLiteral("sales.order_line")));
        EXPECT_TRUE(both.contains(QStringLiteral("public.") + publicTables.constFirst()));
        EXPECT_EQ(both.size(), publicTables.size() + 2);
        Click(dialog, "import");
        ASSERT_TRUE(WaitIdle(dialog));
    });
    ASSERT_EQ(m_seam.messages.size(), 1);
    EXPECT_NE(doc().FindTable("Order"), nullptr) << m_seam.messages[0].toStdString();
    EXPECT_NE(doc().FindTable("order_line"), nullptr);
    EXPECT_NE(doc().FindTable("customer"), nullptr);
}

// The recent list as the settings hold it: most recent first, each once, at
// most eight; an entry of an unknown kind is passed over and a port out of
// range reads as the default, whatever a hand-edited file says.
TEST(RecentConnections, RememberedOnceMostRecentFirstAndReadBackWithoutSurprises)
{
    QList<ConnectionFields> recent;
    for (int i = 0; i < 10; ++i) {
        ConnectionFields fields;
        fields.kind = DatabaseKind::PostgreSql;
        fields.host = QStringLiteral("db%1").arg(i);
        RememberConnection(recent, fields);
    }
    ConnectionFields again;
    again.kind = DatabaseKind::PostgreSql;
    again.host = QStringLiteral("db5");
    RememberConnection(recent, again);
    ASSERT_EQ(recent.size(), kMaxRecentConnections);
    QStringList hosts;
    for (const ConnectionFields& fields : std::as_const(recent))
        hosts.append(fields.host);
    EXPECT_EQ(hosts, (QStringList{"db5", "db9", "db8", "db7", "db6", "db4", "db3", "db2"}));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.conf"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Recent%20Connections]\n"
                   "Connection\\size=5\n"
                   "Connection\\1\\Kind=sqlite\nConnection\\1\\Path=/data/a.db\n"
                   "Connection\\2\\Kind=oracle\nConnection\\2\\Host=far\n"
                   "Connection\\3\\Kind=postgresql\nConnection\\3\\Host=h\nConnection\\3\\Port=70000\n"
                   "Connection\\3\\Password=leaked\n"
                   "Connection\\4\\Kind=sqlite\nConnection\\4\\Path=/data/a.db\n"
                   "Connection\\5\\Kind=mariadb\nConnection\\5\\Host=m\nConnection\\5\\Port=3307\n"
                   "Connection\\5\\Database=shop\nConnection\\5\\User=ann\n");
    }
    QSettings settings(path, QSettings::IniFormat);
    const QList<ConnectionFields> read = ReadRecentConnections(settings);
    QStringList labels;
    for (const ConnectionFields& fields : read)
        labels.append(fields.Label());
    EXPECT_EQ(labels.join(QLatin1Char('|')).toStdString(), "/data/a.db|postgresql://h|mariadb://ann@m:3307/shop");
}

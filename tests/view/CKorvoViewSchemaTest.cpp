// Export SQL in each language its dialog offers, Arrange Tables on the whole
// diagram and on a selection, and showing the table a problem names: through
// a real window, real files and the real sqlite3 engine.
#include "CAppState.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoView.h"
#include "DiagramBuilder.h"
#include "TestSeam.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QUndoStack>

#include <gtest/gtest.h>

namespace {

const QString kKorvoFilter = QStringLiteral("SQL Files (*.sql)");
const QString kPostgresFilter = QStringLiteral("PostgreSQL script (*.sql)");
const QString kMySqlFilter = QStringLiteral("MySQL/MariaDB script (*.sql)");
const QString kSqliteFilter = QStringLiteral("SQLite script (*.sql)");
const QString kSqlServerFilter = QStringLiteral("SQL Server script (*.sql)");

// The table's box in logical units: left, top, right, bottom (y grows upwards).
struct Box {
    int64_t left, top, right, bottom;
};

Box BoxOf(const KorvoTableView& t)
{
    return Box{t.m_x, t.m_y, int64_t(t.m_x) + t.m_cx, int64_t(t.m_y) - t.m_cy};
}

bool Overlap(const Box& a, const Box& b)
{
    return a.left < b.right && b.left < a.right && a.bottom < b.top && b.bottom < a.top;
}

class CKorvoViewSchemaTest : public ::testing::Test {
protected:
    CKorvoViewSchemaTest() : host(std::make_unique<CKorvoDoc>()), view(&host)
    {
        CAppState::Get() = CAppState();
        view.resize(600, 400);
        view.show();
        view.OnInitialUpdate();
    }

    CKorvoDoc& doc() { return *host.GetDocument(); }
    QUndoStack& history() { return *host.UndoStack(); }
    void Paint() { view.viewport()->grab(); }

    // Exports through the dialog answered with the filter and a file name.
    QByteArray Export(const QString& filter, const QString& name)
    {
        seam.saveFilter = filter;
        seam.saveFileName = dir.filePath(name);
        view.OnExportSQL();
        QFile file(seam.saveFileName);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Every pair of tables apart, the boxes as drawn.
    void ExpectNoOverlap()
    {
        Paint();
        const auto& tables = doc().m_tables;
        for (size_t i = 0; i < tables.size(); ++i)
            for (size_t j = i + 1; j < tables.size(); ++j)
                EXPECT_FALSE(Overlap(BoxOf(*tables[i]), BoxOf(*tables[j])))
                    << tables[i]->m_def.m_strName << " and " << tables[j]->m_def.m_strName;
    }

    QTemporaryDir dir;
    TestSeam seam;
    CDocumentHost host;
    CKorvoView view;
};

// A shop whose tables every database takes, with a reserved word for a table
// name and an enum that no target but MySQL takes as written.
void BuildShop(CKorvoDoc& doc, bool withEnum)
{
    KorvoTableView* customer = AddTable(doc, "customer", 500, -500, {"id", "name"}, 1);
    KorvoTableView* order = AddTable(doc, "order", 4000, -500, {"id", "customer_id", "status"}, 1);
    order->m_def.m_columns[2]->m_strType = withEnum ? "enum('new','paid')" : "varchar(10)";
    Relate(doc, order, 1, customer, 0);
}

// Runs the script in a new SQLite database and lists the tables it made.
QString RunInSqlite(const QString& script, const QString& database)
{
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), database});
    if (!sqlite.waitForStarted(30000))
        return QStringLiteral("sqlite3 (Debian package sqlite3) must be installed");
    QFile file(script);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("no script");
    sqlite.write(file.readAll());
    sqlite.write("\nSELECT group_concat(name, ' ') FROM (SELECT name FROM sqlite_master WHERE type = 'table' "
                 "ORDER BY name);\n");
    sqlite.closeWriteChannel();
    sqlite.waitForFinished(60000);
    const QString errors = QString::fromUtf8(sqlite.readAllStandardError());
    if (sqlite.exitCode() != 0 || !errors.isEmpty())
        return QStringLiteral("error: ") + errors;
    return QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed();
}

} // namespace

// Each filter writes its own language: Korvo's exact script by default, the
// others a script for that database, which says what it is on its first line.
TEST_F(CKorvoViewSchemaTest, ExportSqlWritesTheLanguageOfTheChosenFilter)
{
    BuildShop(doc(), false);
    const struct {
        QString filter;
        QByteArray firstLine;
        QByteArray orderTable; // how the reserved name goes out
    } cases[] = {
        {kKorvoFilter, "CREATE TABLE customer (\r\n", "CREATE TABLE order ("},
        {kPostgresFilter, "-- PostgreSQL script written by Korvo\n", "CREATE TABLE \"order\" ("},
        {kMySqlFilter, "-- MySQL/MariaDB script written by Korvo\n", "CREATE TABLE `order` ("},
        {kSqliteFilter, "-- SQLite script written by Korvo\n", "CREATE TABLE \"order\" ("},
        {kSqlServerFilter, "-- SQL Server script written by Korvo\n", "CREATE TABLE [order] ("},
    };
    int n = 0;
    for (const auto& row : cases) {
        SCOPED_TRACE(row.filter.toStdString());
        const QByteArray script = Export(row.filter, QStringLiteral("out%1.sql").arg(++n));
        EXPECT_TRUE(script.startsWith(row.firstLine)) << script.left(80).toStdString();
        EXPECT_TRUE(script.contains(row.orderTable)) << script.toStdString();
        // Korvo's script keeps its CR LF line ends; the others use LF only.
        EXPECT_EQ(script.contains('\r'), row.filter == kKorvoFilter);
        EXPECT_TRUE(seam.messages.isEmpty()) << "everything carried over: no box";
        EXPECT_FALSE(doc().IsModified());
    }
    EXPECT_EQ(seam.saveFiltersShown, QStringList(5, kKorvoFilter)) << "Korvo's own script is the default";
    EXPECT_EQ(seam.saveSuffixes, QStringList(5, QStringLiteral("sql")));

    // The SQLite script runs in the real engine.
    EXPECT_EQ(RunInSqlite(dir.filePath(QStringLiteral("out4.sql")), dir.filePath(QStringLiteral("shop.db"))),
              QStringLiteral("customer order"));
}

// What a script cannot carry exactly is named in a box after the file is
// written; Korvo's own script writes every type as it is and says nothing.
TEST_F(CKorvoViewSchemaTest, ExportSqlNamesWhatTheScriptCouldNotCarry)
{
    BuildShop(doc(), true);
    EXPECT_FALSE(Export(kKorvoFilter, QStringLiteral("korvo.sql")).isEmpty());
    EXPECT_TRUE(seam.messages.isEmpty());

    const QByteArray script = Export(kSqliteFilter, QStringLiteral("lite.sql"));
    ASSERT_TRUE(script.startsWith("-- SQLite script written by Korvo\n"));
    ASSERT_EQ(seam.messages.size(), 1);
    EXPECT_EQ(seam.icons[0], QMessageBox::Information);
    const QString& box = seam.messages[0];
    EXPECT_TRUE(box.startsWith(QStringLiteral("The SQLite script is written. One thing could not be carried over "
                                              "exactly:\n\norder.status: ")))
        << box.toStdString();
    // The box repeats the script's own comment.
    const QString note = box.section(QLatin1Char('\n'), 2, 2);
    EXPECT_TRUE(QString::fromUtf8(script).contains(QStringLiteral("-- ") + note)) << note.toStdString();
    EXPECT_EQ(RunInSqlite(seam.saveFileName, dir.filePath(QStringLiteral("lite.db"))), QStringLiteral("customer order"));

    // Many: the first ten, and how many more the script names.
    for (int i = 0; i < 12; ++i)
        AddTable(doc(), "t" + std::to_string(i), 0, -9000, {"mood"})->m_def.m_columns[0]->m_strType =
            "enum('sad','happy')";
    seam.messages.clear();
    Export(kSqlServerFilter, QStringLiteral("server.sql"));
    ASSERT_EQ(seam.messages.size(), 1);
    EXPECT_TRUE(seam.messages[0].startsWith(QStringLiteral("The SQL Server script is written. 13 things could not be "
                                                           "carried over exactly:")))
        << seam.messages[0].toStdString();
    EXPECT_TRUE(seam.messages[0].contains(QStringLiteral("\n... and 3 more.\n"))) << seam.messages[0].toStdString();
}

TEST_F(CKorvoViewSchemaTest, ExportSqlCancelledOrUnwritable)
{
    BuildShop(doc(), false);
    // Cancelled: nothing written, nothing said.
    seam.saveFileName.clear();
    seam.saveFilter = kPostgresFilter;
    view.OnExportSQL();
    EXPECT_TRUE(seam.messages.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    // A folder that is not there: the export's own message, for every language.
    for (const QString& filter : {kKorvoFilter, kPostgresFilter}) {
        seam.messages.clear();
        Export(filter, QStringLiteral("missing/out.sql"));
        ASSERT_EQ(seam.messages.size(), 1);
        EXPECT_TRUE(seam.messages[0].startsWith(QStringLiteral("Export SQL Error: Unable to open output file.")))
            << seam.messages[0].toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing"))));

    // An existing file is replaced whole.
    QFile old(dir.filePath(QStringLiteral("old.sql")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    seam.messages.clear();
    const QByteArray script = Export(kMySqlFilter, QStringLiteral("old.sql"));
    EXPECT_TRUE(script.startsWith("-- MySQL/MariaDB script written by Korvo\n"));
    EXPECT_FALSE(script.contains('x' + QByteArray(10, 'x')));
}

// Tables piled on each other end apart, in one step that undo takes back to
// the very bytes of the file.
TEST_F(CKorvoViewSchemaTest, ArrangeTablesIsOneStepThatUndoTakesBackExactly)
{
    std::vector<KorvoTableView*> tables;
    for (int i = 0; i < 12; ++i)
        tables.push_back(AddTable(doc(), "t" + std::to_string(i), 300 + 40 * i, -300, {"id", "ref"}, 1));
    for (int i = 1; i < 12; ++i)
        Relate(doc(), tables[size_t(i)], 1, tables[size_t(i - 1) / 2], 0);
    Paint();
    const std::string before = doc().SaveToBytes();

    view.OnArrangeTables();
    ASSERT_EQ(history().count(), 1);
    EXPECT_EQ(history().undoText(), QStringLiteral("Arrange Tables"));
    EXPECT_TRUE(host.IsModified());
    ExpectNoOverlap();
    const std::string after = doc().SaveToBytes();
    ASSERT_NE(after, before);
    EXPECT_TRUE(seam.messages.isEmpty());

    history().undo();
    EXPECT_EQ(doc().SaveToBytes(), before);
    EXPECT_FALSE(host.IsModified());
    history().redo();
    EXPECT_EQ(doc().SaveToBytes(), after);

    // Arranged again, nothing moves: no second step.
    view.OnArrangeTables();
    EXPECT_EQ(history().count(), 1);
    EXPECT_EQ(doc().SaveToBytes(), after);
}

// With a selection, only the selected tables move, and they keep clear of
// the others.
TEST_F(CKorvoViewSchemaTest, ArrangeTablesMovesOnlyTheSelection)
{
    for (int i = 0; i < 6; ++i)
        AddTable(doc(), "t" + std::to_string(i), 500 + 3000 * (i % 3), -500 - 3000 * (i / 3), {"id"}, 1);
    // Three more piled on t0.
    for (int i = 6; i < 9; ++i)
        AddTable(doc(), "t" + std::to_string(i), 600, -600, {"id", "name"}, 1)->m_bSelected = true;
    Paint();
    std::vector<CPoint> kept;
    for (int i = 0; i < 6; ++i)
        kept.push_back(CPoint{doc().m_tables[size_t(i)]->m_x, doc().m_tables[size_t(i)]->m_y});

    view.OnArrangeTables();
    ASSERT_EQ(history().count(), 1);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(doc().m_tables[size_t(i)]->m_x, kept[size_t(i)].x) << i;
        EXPECT_EQ(doc().m_tables[size_t(i)]->m_y, kept[size_t(i)].y) << i;
    }
    ExpectNoOverlap();
    for (int i = 6; i < 9; ++i)
        EXPECT_TRUE(doc().m_tables[size_t(i)]->m_bSelected) << "the selection stays";
}

// A diagram too large for its pages gets more of them, and the window's
// canvas grows with them; undo gives both back.
TEST_F(CKorvoViewSchemaTest, ArrangeTablesGrowsThePagesAndTheCanvas)
{
    doc().m_nMaxPagesX = doc().m_nMaxPagesY = 1;
    emit host.DiagramSettingsChanged();
    for (int i = 0; i < 80; ++i)
        AddTable(doc(), "table_" + std::to_string(i), 300, -300, {"id", "name", "created"}, 1);
    Paint();
    const int widthBefore = view.horizontalScrollBar()->maximum() + view.viewport()->width();
    const int heightBefore = view.verticalScrollBar()->maximum() + view.viewport()->height();

    view.OnArrangeTables();
    ASSERT_EQ(history().count(), 1);
    const int64_t pages = int64_t(doc().m_nMaxPagesX) * doc().m_nMaxPagesY;
    EXPECT_GT(pages, 1);
    ExpectNoOverlap();
    // Every table on the canvas.
    const CAppState& app = CAppState::Get();
    for (const auto& t : doc().m_tables) {
        EXPECT_LE(int64_t(t->m_x) + t->m_cx, int64_t(app.PageWidth()) * doc().m_nMaxPagesX);
        EXPECT_GE(int64_t(t->m_y) - t->m_cy, -int64_t(app.PageHeight()) * doc().m_nMaxPagesY);
    }
    QApplication::processEvents();
    EXPECT_GT(view.horizontalScrollBar()->maximum() + view.viewport()->width() +
                  view.verticalScrollBar()->maximum() + view.viewport()->height(),
              widthBefore + heightBefore);

    history().undo();
    EXPECT_EQ(doc().m_nMaxPagesX, 1);
    EXPECT_EQ(doc().m_nMaxPagesY, 1);
    QApplication::processEvents();
    EXPECT_EQ(view.horizontalScrollBar()->maximum() + view.viewport()->width(), widthBefore);
    EXPECT_EQ(view.verticalScrollBar()->maximum() + view.viewport()->height(), heightBefore);
}

// Cancel in the progress dialog, pressed as soon as the dialog shows: the
// diagram and its history stay as they were, and the dialog goes.
TEST_F(CKorvoViewSchemaTest, ArrangeTablesCancelledChangesNothing)
{
    std::vector<KorvoTableView*> tables;
    for (int i = 0; i < 400; ++i)
        tables.push_back(AddTable(doc(), "t" + std::to_string(i), 300, -300, {"id", "a", "b"}, 1));
    for (int i = 1; i < 400; ++i)
        Relate(doc(), tables[size_t(i)], 1 + i % 2, tables[size_t(i - 1) / 3], 0);
    Paint();
    const std::string before = doc().SaveToBytes();

    bool sawDialog = false;
    seam.workProgress = [&](QProgressDialog& dialog) {
        sawDialog = true;
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Arrange Tables"));
        EXPECT_EQ(dialog.labelText(), QStringLiteral("Arranging the tables..."));
        auto* cancel = dialog.findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        cancel->click();
        // Until the arrangement notices, the pointer waits with it.
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    };
    view.OnArrangeTables();
    seam.workProgress = nullptr;

    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(doc().SaveToBytes(), before);
    EXPECT_EQ(history().count(), 0);
    EXPECT_FALSE(host.IsModified());
    EXPECT_TRUE(seam.messages.isEmpty());
    EXPECT_TRUE(view.window()->findChildren<QProgressDialog*>().isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Not cancelled, the same diagram is arranged.
    view.OnArrangeTables();
    EXPECT_EQ(history().count(), 1);
    EXPECT_NE(doc().SaveToBytes(), before);
    EXPECT_TRUE(view.window()->findChildren<QProgressDialog*>().isEmpty());
    EXPECT_EQ(seam.progressLabels, QStringList(2, QStringLiteral("Arranging the tables...")));
}

// The table a problem names is selected alone and brought into the window.
TEST_F(CKorvoViewSchemaTest, RevealTableSelectsItAloneAndScrollsItIntoView)
{
    const CPoint places[] = {{200, -200}, {40000, -60000}, {20000, -1000}, {300, -70000}};
    for (size_t i = 0; i < std::size(places); ++i)
        AddTable(doc(), "t" + std::to_string(i), places[i].x, places[i].y, {"id", "name"}, 1);
    doc().m_tables[0]->m_bSelected = true;
    Paint();

    for (int target : {1, 3, 2, 0}) {
        SCOPED_TRACE(target);
        ASSERT_TRUE(view.RevealTable(target));
        for (int i = 0; i < int(doc().m_tables.size()); ++i)
            EXPECT_EQ(doc().m_tables[size_t(i)]->m_bSelected, i == target) << i;
        // The whole box inside the window.
        const KorvoTableView& t = *doc().m_tables[size_t(target)];
        CKorvoDC dc(nullptr, view.ScreenDpiX(), false);
        view.OnPrepareDC(dc);
        const CPoint corner = dc.LPtoDP(CPoint{t.m_x, t.m_y} - view.GetLogScrollPosition());
        const CSize size = dc.LPtoDP(CSize{t.m_cx, t.m_cy});
        const QRect box(corner.x, corner.y, size.cx, size.cy);
        EXPECT_TRUE(view.viewport()->rect().contains(box))
            << box.x() << "," << box.y() << " " << box.width() << "x" << box.height();
    }
    EXPECT_FALSE(view.RevealTable(4));
    EXPECT_FALSE(view.RevealTable(-1));
    EXPECT_TRUE(doc().m_tables[0]->m_bSelected) << "no such table: the selection stays";
    EXPECT_FALSE(doc().IsModified()) << "showing is no edit";
    EXPECT_EQ(history().count(), 0);
}

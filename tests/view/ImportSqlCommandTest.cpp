// Import SQL in the diagram window: the file dialog's filter picks the
// dialect, a dialect import ends with one summary box, the script is read on
// a worker thread behind a progress dialog whose Cancel merges nothing, and
// the whole import is one step that undo takes back byte for byte.
#include "CAppState.h"
#include "CatalogText.h"
#include "CDocumentHost.h"
#include "CKorvoView.h"
#include "DiagramBuilder.h"
#include "TestSeam.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

const std::string kSchemas = std::string(KORVO_SHARED_DIR) + "/schemas";

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What the script's own engine makes of it: the sqlite3 engine run here,
// else the catalog captured from the engine (tests/schema/expected).
std::string EngineCatalog(const std::string& file)
{
    if (file == "chinook.sqlite.sql")
        return SqliteEngineCatalog(ReadFile(kSchemas + "/" + file));
    return ReadFile(std::string(KORVO_SOURCE_DIR) + "/tests/schema/expected/" +
                    std::filesystem::path(file).stem().string() + ".catalog");
}

bool HasCompositeUnique(const std::string& catalog)
{
    std::istringstream lines(catalog);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("unique\t", 0) == 0 && line.find(',') != std::string::npos)
            return true;
    return false;
}

const char* const kPlainScript = "CREATE TABLE customer (id INT PRIMARY KEY, name VARCHAR(40) NOT NULL);\n";
// ddlread stops at the backquote; the MySQL reader takes it.
const char* const kMySqlScript =
    "CREATE TABLE `customer` (`id` INT NOT NULL AUTO_INCREMENT, `name` VARCHAR(40), PRIMARY KEY (`id`))"
    " ENGINE=InnoDB;\n";

class ImportSqlCommandTest : public ::testing::Test {
protected:
    ImportSqlCommandTest() { CAppState::Get() = CAppState(); }

    // A fresh window on an empty diagram, as each case wants one.
    struct Window {
        Window() : host(std::make_unique<CKorvoDoc>()), view(&host)
        {
            view.resize(600, 400);
            view.show();
            view.OnInitialUpdate();
        }
        CKorvoDoc& doc() { return *host.GetDocument(); }
        // Paints the window as the screen would, which measures every table.
        void Paint() { view.viewport()->grab(); }
        CDocumentHost host;
        CKorvoView view;
    };

    QString WriteFile(const QString& name, const std::string& text)
    {
        const QString path = m_dir.filePath(name);
        std::ofstream(path.toStdString(), std::ios::binary) << text;
        return path;
    }

    // Imports path through the command, answering the file dialog with
    // filter (none: the filter the dialog starts on).
    void Import(Window& window, const QString& path, const QString& filter = QString())
    {
        m_seam.openFileName = path;
        m_seam.openFilter = filter;
        window.view.OnImportSQL();
    }

    QTemporaryDir m_dir;
    TestSeam m_seam;
};

// A script of many tables in pg_dump's manner, long enough that reading it
// reports progress a good many times.
std::string GeneratedPostgresScript(int tables)
{
    std::string script;
    for (int i = 0; i < tables; ++i) {
        const std::string name = "public.t" + std::to_string(i);
        script += "CREATE TABLE " + name + " (\n    id integer NOT NULL,\n    parent integer,\n"
                  "    label character varying(40) DEFAULT 'x'::character varying\n);\n"
                  "ALTER TABLE ONLY " + name + " ADD CONSTRAINT t" + std::to_string(i) + "_pkey PRIMARY KEY (id);\n";
    }
    return script;
}

} // namespace

TEST_F(ImportSqlCommandTest, TheChosenFilterPicksTheDialect)
{
    const struct {
        const char* filter; // empty: the one the dialog starts on
        const char* script;
        size_t tables;
        const char* box; // the one box shown, "" for none
    } cases[] = {
        {"", kPlainScript, 1, ""},
        {"SQL Files (*.sql)", kMySqlScript, 1, "Imported 1 table and 0 relations from MySQL/MariaDB (detected)."},
        {"PostgreSQL script (*.sql)", kPlainScript, 1, "Imported 1 table and 0 relations from PostgreSQL."},
        {"MySQL/MariaDB script (*.sql)", kPlainScript, 1, "Imported 1 table and 0 relations from MySQL/MariaDB."},
        {"SQLite script (*.sql)", kPlainScript, 1, "Imported 1 table and 0 relations from SQLite."},
        {"SQL Server script (*.sql)", kPlainScript, 1, "Imported 1 table and 0 relations from SQL Server."},
        {"Oracle script (*.sql)", kPlainScript, 1, "Imported 1 table and 0 relations from Oracle."},
        {"DB2 script (*.sql)", kPlainScript, 1, "Imported 1 table and 0 relations from DB2."},
        {"Korvo SQL (*.sql)", kPlainScript, 1, ""},
        // Korvo's language alone: ddlread's own account of the backquote.
        {"Korvo SQL (*.sql)", kMySqlScript, 0, "Error importing: 1: parse error at AUTO_INCREMENT\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.filter) + " / " + c.script);
        Window window;
        m_seam.messages.clear();
        m_seam.icons.clear();
        Import(window, WriteFile(QStringLiteral("script.sql"), c.script), QString::fromLatin1(c.filter));
        EXPECT_EQ(window.doc().m_tables.size(), c.tables);
        if (*c.box == 0) {
            EXPECT_TRUE(m_seam.messages.isEmpty()) << m_seam.messages.join(QLatin1Char('|')).toStdString();
        } else {
            ASSERT_EQ(m_seam.messages.size(), 1);
            EXPECT_EQ(m_seam.messages[0].toStdString(), c.box);
            EXPECT_EQ(m_seam.icons[0], c.tables ? QMessageBox::Information : QMessageBox::NoIcon);
        }
    }

    // Every dialect has its filter; the dialog starts on auto-detection.
    EXPECT_EQ(m_seam.filters.constFirst(),
              QStringLiteral("SQL Files (*.sql);;PostgreSQL script (*.sql);;MySQL/MariaDB script (*.sql);;"
                             "SQLite script (*.sql);;SQL Server script (*.sql);;Oracle script (*.sql);;"
                             "DB2 script (*.sql);;Korvo SQL (*.sql)"));
    for (const QString& preset : std::as_const(m_seam.presetFilters))
        EXPECT_EQ(preset, QStringLiteral("SQL Files (*.sql)"));
}

TEST_F(ImportSqlCommandTest, OneSummaryBoxSaysWhatCameInAndWhatWasLeftOut)
{
    Window window;
    Import(window,
           WriteFile(QStringLiteral("shop.sql"), "CREATE TABLE a (x int, y int, UNIQUE (x, y));\n"
                                                 "INSERT INTO a VALUES (1, 2);\nINSERT INTO a VALUES (3, 4);\n"
                                                 "CREATE TABLE b (x int REFERENCES a (x),, z int);\n"
                                                 "CREATE TABLE c (x int REFERENCES a (x));\n"),
           QStringLiteral("MySQL/MariaDB script (*.sql)"));
    ASSERT_EQ(m_seam.boxes.size(), 1);
    EXPECT_EQ(m_seam.boxes[0].text.toStdString(),
              "Imported 2 tables and 1 relation from MySQL/MariaDB.\n"
              "Skipped 2 statements: INSERT x2 (lines 2, 3)\n"
              "Could not read 1 statement: CREATE TABLE x1 (line 4: expected a name at \",\")\n"
              "Not shown: UNIQUE (x, y) of a");
    EXPECT_EQ(m_seam.boxes[0].caption, QStringLiteral("Korvo"));
    EXPECT_EQ(m_seam.boxes[0].icon, QMessageBox::Information);
    EXPECT_EQ(window.doc().m_tables.size(), 2u);
    EXPECT_EQ(window.doc().m_relations.size(), 1u);
}

// A script of thousands of statements of as many kinds, or one whose first
// word is a megabyte long, still makes a box that fits a screen.
TEST_F(ImportSqlCommandTest, TheSummaryOfAHostileScriptStaysAScreenful)
{
    std::string script = "CREATE TABLE keep (id int);\n";
    for (int i = 0; i < 3000; ++i)
        script += "FROB" + std::to_string(i) + " now;\nCREATE TABLE bad" + std::to_string(i) + " (x int,, y int);\n";
    script += std::string(1 << 20, 'W') + " 1;\n";
    for (int i = 0; i < 40; ++i)
        script += "CREATE TABLE p" + std::to_string(i) + " (a int, b int, UNIQUE (a, b));\n";
    Window window;
    Import(window, WriteFile(QStringLiteral("hostile.sql"), script), QStringLiteral("MySQL/MariaDB script (*.sql)"));
    ASSERT_EQ(m_seam.messages.size(), 1);
    const QString box = m_seam.messages[0];
    EXPECT_TRUE(box.startsWith(QStringLiteral("Imported 41 tables and 0 relations from MySQL/MariaDB.\n")))
        << box.left(200).toStdString();
    EXPECT_LT(box.size(), 4000) << box.left(4000).toStdString();
    EXPECT_LE(box.count(QLatin1Char('\n')), 20);
    EXPECT_TRUE(box.contains(QStringLiteral("Skipped 3001 statements: FROB0 x1 (line 2); ")));
    EXPECT_TRUE(box.contains(QStringLiteral("; 2993 other kinds\n")));
    EXPECT_TRUE(box.contains(QStringLiteral("Could not read 3000 statements: CREATE TABLE x3000 (lines 3, 5, 7, 9, 11, ...")));
    EXPECT_TRUE(box.contains(QStringLiteral("Not shown: 30 more.")));
    EXPECT_EQ(window.doc().m_tables.size(), 41u);
}

TEST_F(ImportSqlCommandTest, ReadingShowsProgressAndCancelMergesNothing)
{
    const QString path = WriteFile(QStringLiteral("big.sql"), GeneratedPostgresScript(3000));
    Window window;
    AddTable(window.doc(), "kept", 1500, -900, {"id"});
    window.Paint();
    const std::string before = window.doc().SaveToBytes();

    // Cancel pressed as soon as the progress shows: nothing comes in.
    int shown = 0;
    m_seam.workProgress = [&shown](QProgressDialog& dialog) {
        ++shown;
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.isModal());
        auto* cancel = dialog.findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
        QTest::mouseClick(cancel, Qt::LeftButton);
    };
    Import(window, path, QStringLiteral("PostgreSQL script (*.sql)"));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(m_seam.progressLabels, QStringList{QStringLiteral("Reading big.sql...")});
    EXPECT_TRUE(m_seam.messages.isEmpty()) << "a cancelled import says nothing";
    EXPECT_EQ(window.doc().SaveToBytes(), before);
    EXPECT_EQ(window.host.UndoStack()->count(), 0) << "and leaves no step";
    EXPECT_FALSE(window.host.IsModified());

    // Left alone, the same import runs to the end and the dialog goes.
    m_seam.workProgress = nullptr;
    Import(window, path, QStringLiteral("PostgreSQL script (*.sql)"));
    EXPECT_EQ(window.doc().m_tables.size(), 3001u);
    ASSERT_EQ(m_seam.messages.size(), 1);
    EXPECT_EQ(m_seam.messages[0], QStringLiteral("Imported 3000 tables and 0 relations from PostgreSQL."));
    EXPECT_EQ(window.host.UndoStack()->count(), 1);
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<QProgressDialog*>(widget), nullptr) << "the progress dialog is gone";
}

TEST_F(ImportSqlCommandTest, UndoOfADialectImportGivesBackTheFileBytes)
{
    Window window;
    KorvoTableView* customer = AddTable(window.doc(), "customer", 1500, -900, {"id", "name", "old"}, 1);
    KorvoTableView* note = AddTable(window.doc(), "note", 6000, -900, {"id", "customer_id"}, 1);
    Relate(window.doc(), note, 1, customer, 0);
    window.Paint();
    const std::string before = window.doc().SaveToBytes();

    Import(window,
           WriteFile(QStringLiteral("pg.sql"),
                     "CREATE TABLE public.customer (id integer NOT NULL, name text, email text);\n"
                     "CREATE TABLE public.invoice (id integer NOT NULL, customer_id integer);\n"
                     "ALTER TABLE ONLY public.customer ADD CONSTRAINT customer_pkey PRIMARY KEY (id);\n"
                     "ALTER TABLE ONLY public.invoice ADD CONSTRAINT invoice_customer_fkey"
                     " FOREIGN KEY (customer_id) REFERENCES public.customer(id);\n"
                     "COMMENT ON TABLE public.invoice IS 'What was sold';\n"),
           QStringLiteral("PostgreSQL script (*.sql)"));
    ASSERT_EQ(m_seam.messages.size(), 1);
    EXPECT_EQ(m_seam.messages[0], QStringLiteral("Imported 2 tables and 1 relation from PostgreSQL."));
    ASSERT_EQ(window.doc().m_tables.size(), 3u);
    EXPECT_EQ(window.doc().FindTable("invoice")->m_def.m_strDescription, "What was sold");
    EXPECT_EQ(customer->m_def.m_columns.size(), 3u) << "old went, email came";
    const std::string after = window.doc().SaveToBytes();
    ASSERT_NE(after, before);

    QUndoStack& history = *window.host.UndoStack();
    ASSERT_EQ(history.count(), 1);
    EXPECT_EQ(history.undoText(), QStringLiteral("Import SQL"));
    history.undo();
    EXPECT_EQ(window.doc().SaveToBytes(), before);
    EXPECT_FALSE(window.host.IsModified());
    history.redo();
    EXPECT_EQ(window.doc().SaveToBytes(), after);
}

// Every real schema script of the shared folder, chosen in the file dialog
// with its first filter, becomes the diagram its engine's catalog describes,
// says so in one box, and goes again with one Undo.
TEST_F(ImportSqlCommandTest, EveryRealSchemaComesInAsItsEngineMakesIt)
{
    const char* const files[] = {"chinook.postgresql.sql", "northwind.postgresql.sql", "pagila.postgresql.sql",
                                 "chinook.mysql.sql",      "employees.mysql.sql",      "chinook.sqlite.sql",
                                 "chinook.sqlserver.sql",  "chinook.oracle.sql",       "chinook.db2.sql"};
    for (const char* file : files) {
        SCOPED_TRACE(file);
        Window window;
        window.Paint();
        const std::string empty = window.doc().SaveToBytes();
        m_seam.messages.clear();
        Import(window, QString::fromStdString(kSchemas + "/" + file));

        const std::string expected = AsDiagramShowsIt(EngineCatalog(file));
        ASSERT_FALSE(expected.empty());
        const std::string actual = DiagramCatalogText(window.doc());
        EXPECT_TRUE(actual == expected) << CatalogDifference(actual, expected);

        ASSERT_EQ(m_seam.messages.size(), 1);
        const QStringList lines = m_seam.messages[0].split(QLatin1Char('\n'));
        const QString headline = QStringLiteral("Imported %1 tables and %2 relations from ")
                                     .arg(window.doc().m_tables.size())
                                     .arg(window.doc().m_relations.size());
        EXPECT_TRUE(lines[0].startsWith(headline)) << lines[0].toStdString();
        EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" (detected)."))) << lines[0].toStdString();
        // What the diagram cannot show (a unique key over several columns)
        // is in the box.
        const bool compositeUnique = HasCompositeUnique(EngineCatalog(file));
        EXPECT_EQ(m_seam.messages[0].contains(QStringLiteral("\nNot shown: ")), compositeUnique);

        QUndoStack& history = *window.host.UndoStack();
        ASSERT_EQ(history.count(), 1);
        history.undo();
        EXPECT_EQ(window.doc().SaveToBytes(), empty);
    }
}

// The one import path of the window and the command line: read, merge, place.
// Korvo-language scripts into an empty diagram must give exactly what the
// record merge Import SQL had before (CSqlImporter, kept in tests/reference) always
// gave wherever its columns fit the canvas; into a filled diagram the same
// tables, columns and relations, with the tables that were there left where
// they stand and the new ones never on top of anything.
#include "CKorvoDoc.h"
#include "CSqlImporter.h"
#include "DiagramImport.h"
#include "DiagramMetrics.h"
#include "FakeSurface.h"
#include "TestFiles.h"
#include "ddlread.h"

#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

namespace {

const std::string kSchemas = std::string(KORVO_SHARED_DIR) + "/schemas";
// The canvas of a new diagram: 5 by 5 pages of the default printable area.
constexpr PageArea kPage{};
constexpr CRect kCanvas{0, 0, 5 * kPage.width, -5 * kPage.height};

std::string ExampleBytes()
{
    return ReadWholeFile(std::string(KORVO_SOURCE_DIR) + "/examples/example.erd");
}

void Load(CKorvoDoc& doc, const std::string& bytes)
{
    if (!bytes.empty()) {
        ASSERT_TRUE(doc.LoadFromBytes(bytes.data(), bytes.size()).Opens());
    }
}

// The diagram as Import SQL always made it, or empty when ddlread reads nothing.
std::string RecordImport(const std::string& start, const std::string& path)
{
    CKorvoDoc doc;
    Load(doc, start);
    char error[500] = "";
    TableData* list = ImportSQLTables(path.c_str(), error, int(sizeof error), nullptr);
    if (!list)
        return "";
    FakeSurface surface(210);
    CSqlImporter(doc, surface, kCanvas).ImportTables(list);
    FreeTableData(list);
    return doc.SaveToBytes();
}

struct Shared {
    ScriptIntoDiagram result;
    std::string bytes;
    std::vector<CRect> boxes; // every table's box, in document order
};

Shared SharedImport(const std::string& start, const std::string& path, SqlDialect dialect = SqlDialect::Korvo)
{
    CKorvoDoc doc;
    Load(doc, start);
    FakeSurface surface(210);
    ImportOptions options;
    options.dialect = dialect;
    Shared shared;
    shared.result = ImportScriptIntoDiagram(doc, surface, kPage, path, options);
    shared.bytes = doc.SaveToBytes();
    for (const auto& table : doc.m_tables)
        shared.boxes.push_back(TableBox(table->m_x, table->m_y, table->m_cx, table->m_cy));
    return shared;
}

// The diagram without its layout: what the merge made of it.
std::string Unplaced(const std::string& bytes)
{
    CKorvoDoc doc;
    Load(doc, bytes);
    for (const auto& table : doc.m_tables)
        table->m_x = table->m_y = table->m_cx = table->m_cy = 0;
    doc.m_nMaxPagesX = doc.m_nMaxPagesY = 1;
    return doc.SaveToBytes();
}

std::pair<int32_t, int32_t> Corner(const CRect& box)
{
    return {box.left, box.top};
}

bool Overlap(const CRect& a, const CRect& b)
{
    return a.left < b.right && b.left < a.right && a.bottom < b.top && b.bottom < a.top;
}

// Pairs of overlapping boxes that hold at least one box from first on.
int OverlapsWithNew(const std::vector<CRect>& boxes, size_t first)
{
    int overlaps = 0;
    for (size_t i = first; i < boxes.size(); ++i)
        for (size_t j = 0; j < boxes.size(); ++j)
            if (j != i && (j < first || j > i) && Overlap(boxes[i], boxes[j]))
                ++overlaps;
    return overlaps;
}

size_t TableCount(const std::string& bytes)
{
    CKorvoDoc doc;
    Load(doc, bytes);
    return doc.m_tables.size();
}

// Whether a script names some table twice (read by ddlread).
bool NamesATableTwice(const std::string& path)
{
    char error[500] = "";
    TableData* list = ImportSQLTables(path.c_str(), error, int(sizeof error), nullptr);
    std::set<std::string> names;
    bool twice = false;
    for (const TableData* record = list; record; record = record->next)
        twice = !names.insert(record->name).second || twice;
    FreeTableData(list);
    return twice;
}

// Korvo-language scripts of many shapes: repeated names, references forward
// and back, keys over several columns.
std::string RandomScript(unsigned seed, bool nameEachOnce = false)
{
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };
    const int tables = 1 + pick(20);
    std::ostringstream s;
    for (int t = 0; t < tables; ++t) {
        s << "CREATE TABLE t" << (nameEachOnce ? t : pick(tables + 4)) << " (";
        const int columns = 1 + pick(9);
        for (int c = 0; c < columns; ++c) {
            s << (c ? ", " : "") << "column_" << std::string(size_t(pick(12)), 'x') << c << " INT";
            if (pick(4) == 0)
                s << " NOT NULL";
            if (pick(5) == 0)
                s << " REFERENCES t" << pick(tables + 4) << " (column_" << pick(3) << ")";
        }
        if (pick(3) == 0)
            s << ", PRIMARY KEY (column_0)";
        if (pick(4) == 0)
            s << ", FOREIGN KEY (column_0) REFERENCES t" << pick(tables + 4);
        s << ");\n";
    }
    return s.str();
}

class DiagramImportTest : public ::testing::Test {
protected:
    std::string Script(const std::string& text)
    {
        const std::string path = m_dir.File("script" + std::to_string(++m_scripts) + ".sql");
        WriteWholeFile(path, text);
        return path;
    }

    // Into an empty diagram: Import SQL's own diagram, byte for byte, unless
    // a table is defined twice (its second definition is measured now, so
    // its column may differ) - then the same merge with no table on another.
    void ExpectTodaysDiagram(const std::string& path, const std::string& what)
    {
        const std::string today = RecordImport("", path);
        const Shared shared = SharedImport("", path);
        ASSERT_EQ(shared.result.script.ok, !today.empty()) << what;
        if (today.empty())
            return;
        ++m_compared;
        if (!NamesATableTwice(path)) {
            EXPECT_TRUE(shared.bytes == today) << what;
            ++m_exact;
        } else {
            EXPECT_EQ(Unplaced(shared.bytes), Unplaced(today)) << what;
            EXPECT_EQ(OverlapsWithNew(shared.boxes, 0), 0) << what;
        }
    }

    // Into a filled diagram: the same merge; old tables where they were; new
    // ones on nothing.
    void ExpectPlacedBeside(const std::string& start, const std::string& path, const std::string& what)
    {
        const std::string today = RecordImport(start, path);
        if (today.empty())
            return;
        const Shared shared = SharedImport(start, path);
        ASSERT_TRUE(shared.result.script.ok) << what;
        EXPECT_EQ(Unplaced(shared.bytes), Unplaced(today)) << what;
        CKorvoDoc before;
        Load(before, start);
        for (size_t i = 0; i < before.m_tables.size(); ++i) {
            EXPECT_EQ(shared.boxes[i].left, before.m_tables[i]->m_x) << what << " table " << i;
            EXPECT_EQ(shared.boxes[i].top, before.m_tables[i]->m_y) << what << " table " << i;
        }
        EXPECT_EQ(OverlapsWithNew(shared.boxes, before.m_tables.size()), 0) << what;
        for (int index : shared.result.result.merge.newTables)
            EXPECT_GE(size_t(index), before.m_tables.size()) << what;
        ++m_compared;
    }

    TempDir m_dir;
    int m_scripts = 0;
    int m_compared = 0;
    int m_exact = 0;
};

} // namespace

TEST_F(DiagramImportTest, KorvoScriptsIntoAnEmptyDiagramGiveTheColumnsImportSqlAlwaysGave)
{
    for (int n : {1, 2, 3, 4, 8, 9, 15, 16, 40})
        for (const char* columns : {"(a INT)", "(a INT, b INT, long_column_name VARCHAR(200), d INT, e INT, f INT)"}) {
            std::string s;
            for (int i = 0; i < n; ++i)
                s += "CREATE TABLE table_" + std::to_string(i * 7919 % 1000) + " " + columns + ";\n";
            ExpectTodaysDiagram(Script(s), std::to_string(n) + " tables " + columns);
        }
    for (const auto& entry : std::filesystem::directory_iterator(std::string(KORVO_SOURCE_DIR) + "/fuzz/corpus/ddlread"))
        ExpectTodaysDiagram(entry.path().string(), entry.path().string());
    CKorvoDoc example;
    Load(example, ExampleBytes());
    ExpectTodaysDiagram(Script(example.ExportSQLText()), "the example's export");
    for (unsigned seed = 1; seed <= 150; ++seed) {
        ExpectTodaysDiagram(Script(RandomScript(seed)), "seed " + std::to_string(seed));
        ExpectTodaysDiagram(Script(RandomScript(seed, true)), "seed " + std::to_string(seed) + ", names once");
    }
    EXPECT_GT(m_compared, 300);
    EXPECT_GT(m_exact, 150);
}

TEST_F(DiagramImportTest, KorvoScriptsIntoAFilledDiagramLeaveItsTablesWhereTheyStand)
{
    // A filled diagram whose names the scripts reuse: some tables get
    // updated, others created.
    const std::string start = SharedImport(ExampleBytes(), Script(RandomScript(4242))).bytes;
    ASSERT_GT(TableCount(start), 8u);
    for (unsigned seed = 1; seed <= 150; ++seed) {
        const std::string path = Script(RandomScript(seed));
        ExpectPlacedBeside(start, path, "seed " + std::to_string(seed));
        ExpectPlacedBeside(ExampleBytes(), path, "seed " + std::to_string(seed) + " into the example");
    }
    EXPECT_GT(m_compared, 250);

    // Importing the same script twice changes nothing the second time.
    const std::string path = Script(RandomScript(7));
    const Shared once = SharedImport(start, path);
    const Shared twice = SharedImport(once.bytes, path);
    EXPECT_TRUE(twice.result.result.merge.newTables.empty());
    EXPECT_TRUE(twice.result.result.placement.Empty());
    EXPECT_EQ(Unplaced(twice.bytes), Unplaced(once.bytes));
    EXPECT_EQ(twice.boxes.size(), once.boxes.size());
    for (size_t i = 0; i < once.boxes.size(); ++i)
        EXPECT_EQ(Corner(twice.boxes[i]), Corner(once.boxes[i])) << i;
}

// From about table 719 on, the columns used to wrap back to the top-left
// corner over the first tables; now the canvas grows.
TEST_F(DiagramImportTest, ALargeImportGrowsThePagesInsteadOfLandingOnEarlierTables)
{
    std::string s;
    for (int i = 0; i < 1000; ++i)
        s += "CREATE TABLE a_table_with_a_name_as_long_as_many_real_ones_" + std::to_string(i) +
             " (id INT PRIMARY KEY, name VARCHAR(40), note VARCHAR(200));\n";
    const std::string path = Script(s);

    CKorvoDoc today;
    Load(today, RecordImport("", path));
    EXPECT_GT(CountTablesCloserThan(today, 0), 0) << "Import SQL's own columns overlapped";

    CKorvoDoc doc;
    FakeSurface surface(210);
    const ScriptIntoDiagram imported = ImportScriptIntoDiagram(doc, surface, kPage, path);
    ASSERT_TRUE(imported.script.ok);
    ASSERT_EQ(doc.m_tables.size(), 1000u);
    EXPECT_EQ(imported.result.merge.newTables.size(), 1000u);
    EXPECT_EQ(CountTablesCloserThan(doc, 0), 0);
    EXPECT_GT(int64_t(doc.m_nMaxPagesX) * doc.m_nMaxPagesY, 25);
    EXPECT_EQ(imported.result.placement.pagesXAfter, doc.m_nMaxPagesX);
    EXPECT_EQ(imported.result.placement.pagesYBefore, 5);
    for (const auto& table : doc.m_tables) {
        EXPECT_LE(int64_t(table->m_x) + table->m_cx, int64_t(doc.m_nMaxPagesX) * kPage.width);
        EXPECT_GE(int64_t(table->m_y) - table->m_cy, -int64_t(doc.m_nMaxPagesY) * kPage.height);
    }
}

TEST_F(DiagramImportTest, ScriptsOfEveryDialectGoBesideTheDiagramAndStayThereWhenImportedAgain)
{
    for (const char* file : {"chinook.postgresql.sql", "chinook.mysql.sql", "chinook.sqlite.sql",
                             "chinook.sqlserver.sql", "employees.mysql.sql", "pagila.postgresql.sql"}) {
        const std::string path = kSchemas + "/" + file;
        const Shared first = SharedImport(ExampleBytes(), path, SqlDialect::Auto);
        ASSERT_TRUE(first.result.script.ok) << file;
        EXPECT_TRUE(first.result.script.report.dialectDetected) << file;
        EXPECT_TRUE(first.result.script.description.tables.empty()) << "released once merged";
        const size_t exampleTables = TableCount(ExampleBytes());
        EXPECT_EQ(first.result.result.merge.newTables.size(), first.boxes.size() - exampleTables) << file;
        EXPECT_EQ(OverlapsWithNew(first.boxes, exampleTables), 0) << file;

        const Shared again = SharedImport(first.bytes, path, SqlDialect::Auto);
        ASSERT_TRUE(again.result.script.ok) << file;
        EXPECT_EQ(again.result.result.merge.tablesCreated, 0) << file;
        EXPECT_TRUE(again.result.result.placement.Empty()) << file;
        EXPECT_EQ(again.boxes.size(), first.boxes.size()) << file;
        for (size_t i = 0; i < first.boxes.size(); ++i)
            EXPECT_EQ(Corner(again.boxes[i]), Corner(first.boxes[i])) << file << " table " << i;
    }
}

TEST_F(DiagramImportTest, NothingReadLeavesTheDiagramAsItWasAndSaysWhatDdlreadSays)
{
    struct Case {
        const char* what;
        std::string path;
        SqlDialect dialect;
        bool cancel;
        std::string error;
    };
    const std::string absent = m_dir.File("absent.sql");
    const std::string broken = Script("CREATE TABLE t (a INT,\n b INT c));\n");
    const std::string words = Script("just some words\n");
    const std::string chinook = kSchemas + "/chinook.postgresql.sql";
    // A named pipe without a writer is refused at once, never waited on.
    const std::string pipe = m_dir.File("pipe.sql");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::vector<Case> cases = {
        {"absent", absent, SqlDialect::Auto, false, "Error opening file."},
        {"pipe", pipe, SqlDialect::Auto, false, "Error opening file."},
        {"pipe as SQLite", pipe, SqlDialect::Sqlite, false, "Error opening file."},
        {"folder", m_dir.Path(), SqlDialect::Auto, false, "Error opening file."},
        {"broken", broken, SqlDialect::Auto, false, "2: parse error at c\n"},
        {"words", words, SqlDialect::Auto, false, "2: parse error at \n"},
        {"broken as PostgreSQL", broken, SqlDialect::PostgreSql, false, "2: parse error at c\n"},
        {"cancelled", chinook, SqlDialect::Auto, true, ""},
        {"nothing for MySQL", Script("INSERT INTO t VALUES (1);\n"), SqlDialect::MySql, false,
         "2: parse error at \n"},
    };
    for (const Case& c : cases) {
        CKorvoDoc doc;
        Load(doc, ExampleBytes());
        const std::string before = doc.SaveToBytes();
        FakeSurface surface(210);
        ImportOptions options;
        options.dialect = c.dialect;
        if (c.cancel)
            options.progress = [](double done) { return done < 0.5; };
        const ScriptIntoDiagram imported = ImportScriptIntoDiagram(doc, surface, kPage, c.path, options);
        EXPECT_FALSE(imported.script.ok) << c.what;
        EXPECT_EQ(imported.script.cancelled, c.cancel) << c.what;
        EXPECT_EQ(imported.script.errorText, c.error) << c.what;
        EXPECT_FALSE(doc.IsModified()) << c.what;
        EXPECT_TRUE(doc.SaveToBytes() == before) << c.what;
        EXPECT_TRUE(imported.result.placement.Empty()) << c.what;
    }
}

TEST_F(DiagramImportTest, ALiveDatabaseGoesThroughTheSameMergeAndPlacement)
{
    CKorvoDoc doc;
    Load(doc, ExampleBytes());
    const size_t exampleTables = doc.m_tables.size();
    FakeSurface surface(210);
    DatabaseSource source;
    source.path = kSchemas + "/chinook.sqlite";
    const DatabaseIntoDiagram imported = ImportDatabaseIntoDiagram(doc, surface, kPage, source, {});
    ASSERT_FALSE(imported.error.Failed()) << imported.error.message;
    EXPECT_EQ(imported.result.merge.tablesCreated, 11);
    EXPECT_EQ(imported.result.merge.relationsAdded, 11);
    std::vector<CRect> boxes;
    for (const auto& table : doc.m_tables)
        boxes.push_back(TableBox(table->m_x, table->m_y, table->m_cx, table->m_cy));
    EXPECT_EQ(OverlapsWithNew(boxes, exampleTables), 0);
    EXPECT_EQ(DatabaseSummaryLines(source, imported.result.merge),
              "Imported 11 tables and 11 relations from " + source.path + ".\n");

    // A file that is no database merges nothing.
    const std::string before = doc.SaveToBytes();
    source.path = Script("CREATE TABLE t (a INT);\n");
    const DatabaseIntoDiagram failed = ImportDatabaseIntoDiagram(doc, surface, kPage, source, {});
    EXPECT_EQ(failed.error.code, LiveErrorCode::NotADatabase) << failed.error.message;
    EXPECT_TRUE(doc.SaveToBytes() == before);
}

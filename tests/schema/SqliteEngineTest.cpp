// The SQLite scripts run in the SQLite engine itself, and its catalog is
// the diagram's.
#include "DialectExport.h"
#include "EngineRoundTrip.h"
#include "SchemaTestDiagrams.h"
#include "SqlQuoting.h"
#include "SqlReservedWords.h"
#include "SqliteEngine.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

namespace {

TEST(SqliteEngine, TakesTheExampleTheAwkwardAndTheTypeDiagrams)
{
    CSqliteEngine engine;
    {
        SCOPED_TRACE("example");
        ExpectEngineTakesDiagram(*LoadExampleDiagram(), engine);
    }
    {
        SCOPED_TRACE("awkward");
        ExpectEngineTakesDiagram(*BuildAwkwardDiagram(), engine);
    }
    {
        SCOPED_TRACE("types");
        ExpectEngineTakesDiagram(*BuildTypeDiagram(), engine);
    }
}

// Every keyword SQLite knows: the listed ones fail bare where a table or
// column name stands, and every other one works bare there.
TEST(SqliteEngine, ReservedWordsAreExactlyTheKeywordsItRefusesBare)
{
    CSqliteEngine engine;
    const auto listed = ReservedWords(SqlDialect::Sqlite);
    for (int i = 0; i < sqlite3_keyword_count(); ++i) {
        const char* text = nullptr;
        int length = 0;
        ASSERT_EQ(sqlite3_keyword_name(i, &text, &length), SQLITE_OK);
        std::string word(text, static_cast<size_t>(length));
        std::string lower = word;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
        const bool reserved = std::binary_search(listed.begin(), listed.end(), lower);
        // The word as a table, a column, in key lists and as a referenced table.
        const auto script = [&word](const std::string& name) {
            return "CREATE TABLE " + name + " (x INTEGER PRIMARY KEY); CREATE TABLE t_" + word + " (a INTEGER, " + name
                + " INTEGER, PRIMARY KEY (a, " + name + "), UNIQUE (" + name + "), FOREIGN KEY (" + name + ") REFERENCES "
                + name + " (x));";
        };
        const std::string bare = script(word);
        const std::string written = script(SqlName(word, SqlDialect::Sqlite));
        EXPECT_EQ(engine.RunScript(written), "") << word;
        EXPECT_EQ(engine.RunScript(bare).empty(), !reserved) << word << (reserved ? " is listed but works bare" : " is refused bare");
    }
}

TEST(SqliteEngine, KeepsDescriptionsInTheStatementText)
{
    CSqliteEngine engine;
    const auto doc = BuildAwkwardDiagram();
    ExportNotes notes;
    ASSERT_EQ(engine.RunScript(ExportDialectSql(*doc, SqlDialect::Sqlite, notes)), "");
    const std::string order = engine.StatementOf("order");
    EXPECT_NE(order.find("-- Orders, with a quote ' a backslash \\ and\n\t-- second line\n"), std::string::npos) << order;
    EXPECT_NE(order.find("-- Number of the order\n"), std::string::npos) << order;
    const std::string unicode = engine.StatementOf("Ärger");
    EXPECT_NE(unicode.find("-- Таблица\n"), std::string::npos) << unicode;
    EXPECT_NE(unicode.find("-- 説明 ü\n"), std::string::npos) << unicode;
}

// SQLite keeps any declared type, so what matters is the affinity it
// derives: text must stay text ('0123' is not 123), numbers numbers.
TEST(SqliteEngine, TypesKeepTheirValuesUnderTheAffinitiesGiven)
{
    CSqliteEngine engine;
    const auto doc = BuildTypeDiagram();
    ExportNotes notes;
    ASSERT_EQ(engine.RunScript(ExportDialectSql(*doc, SqlDialect::Sqlite, notes)), "");
    for (const char* column : {"t_char", "t_varchar", "t_character_varying", "t_varchar2", "t_nvarchar", "t_nvarchar_max",
                               "t_varchar_bare", "t_text", "t_string", "t_citext", "t_clob", "t_uuid", "t_json", "t_jsonb",
                               "t_xml", "t_interval", "t_set", "t_int_array", "t_rating", "t_tsvector", "t_geometry",
                               "t_hierarchyid", "t_charset", "t_uniqueidentifier"}) {
        ASSERT_EQ(engine.Execute("DELETE FROM types; INSERT INTO types (id, " + std::string(column) + ") VALUES (1, '0123');"), "")
            << column;
        const auto row = engine.QueryRow("SELECT typeof(" + std::string(column) + "), " + column + " FROM types");
        EXPECT_EQ(row, (std::vector<std::string>{"text", "0123"})) << column;
    }
    for (const char* column : {"t_tinyint", "t_int", "t_int11", "t_bigint", "t_int_unsigned", "t_decimal", "t_number",
                               "t_real", "t_float", "t_double", "t_year"}) {
        ASSERT_EQ(engine.Execute("DELETE FROM types; INSERT INTO types (id, " + std::string(column) + ") VALUES (1, '12');"), "")
            << column;
        const auto row = engine.QueryRow("SELECT typeof(" + std::string(column) + ") IN ('integer', 'real') FROM types");
        EXPECT_EQ(row, (std::vector<std::string>{"1"})) << column;
    }
}

TEST(SqliteEngine, CarriesDefaultsChecksAndNumbering)
{
    CSqliteEngine engine;
    const auto doc = BuildTypeDiagram();
    ExportNotes notes;
    ASSERT_EQ(engine.RunScript(ExportDialectSql(*doc, SqlDialect::Sqlite, notes)), "");
    ASSERT_EQ(engine.Execute("INSERT INTO types (id) VALUES (1);"), "");
    EXPECT_EQ(engine.QueryRow("SELECT t_tinyint, t_int11, t_tinyint1, t_boolean, t_bool, t_bit, t_text, t_enum, t_rating, "
                              "t_expression, t_null_default IS NULL, length(t_timestamp) FROM types"),
              (std::vector<std::string>{"-5", "0", "1", "1", "0", "1", "it's", "a", "G", "3", "1", "19"}));
    // The enum's values and the unsigned range stay checked.
    EXPECT_NE(engine.Execute("UPDATE types SET t_enum = 'z';"), "");
    EXPECT_NE(engine.Execute("UPDATE types SET t_int_unsigned = -1;"), "");
    EXPECT_NE(engine.Execute("UPDATE types SET t_unsigned_check = 1000;"), "");
    EXPECT_EQ(engine.Execute("UPDATE types SET t_enum = 'b''c', t_int_unsigned = 4000000000;"), "");
    // Each numbered key numbers itself.
    for (const char* table : {"serial_t", "bigserial_t", "auto_t", "identity_t", "generated_identity_t", "nextval_t",
                              "autoincrement_t"}) {
        ASSERT_EQ(engine.Execute("INSERT INTO " + std::string(table) + " DEFAULT VALUES; INSERT INTO " + table
                                 + " DEFAULT VALUES;"),
                  "")
            << table;
        EXPECT_EQ(engine.QueryRow("SELECT group_concat(id) FROM " + std::string(table)), (std::vector<std::string>{"1,2"}))
            << table;
    }
}

TEST(SqliteEngine, LeavesCycleReferencesInTheTables)
{
    CSqliteEngine engine;
    const auto doc = BuildAwkwardDiagram();
    ExportNotes notes;
    const std::string script = ExportDialectSql(*doc, SqlDialect::Sqlite, notes);
    EXPECT_EQ(script.find("ALTER TABLE"), std::string::npos);
    EXPECT_NE(script.find("-- cycle_c refers to cycle_a, which comes later: SQLite checks foreign keys when rows change"),
              std::string::npos)
        << script;
    ASSERT_EQ(engine.RunScript(script), "");
    // The reference to the later table is a real foreign key: it refuses a row that refers to nothing.
    EXPECT_NE(engine.Execute("PRAGMA foreign_keys = ON; INSERT INTO cycle_a (id, b_id) VALUES (1, 99);"), "");
}

// A real-world schema as SQLite holds it, made into a diagram, goes back
// into SQLite through the export: the database file and its script.
TEST(SqliteEngine, TakesTheChinookCorpusBack)
{
    CSqliteEngine source;
    source.OpenFile(KORVO_SHARED_DIR "/schemas/chinook.sqlite");
    const auto fromFile = DiagramFromCatalog(source.ReadCatalog());
    ASSERT_EQ(fromFile->m_tables.size(), 11u);
    ASSERT_EQ(fromFile->m_relations.size(), 11u);

    std::ifstream in(KORVO_SHARED_DIR "/schemas/chinook.sqlite.sql", std::ios::binary);
    std::stringstream script;
    script << in.rdbuf();
    ASSERT_EQ(source.RunScript(script.str()), "");
    const auto fromScript = DiagramFromCatalog(source.ReadCatalog());
    ASSERT_EQ(fromScript->m_tables.size(), 11u);

    CSqliteEngine engine;
    {
        SCOPED_TRACE("chinook.sqlite");
        ExpectEngineTakesDiagram(*fromFile, engine);
    }
    {
        SCOPED_TRACE("chinook.sqlite.sql");
        ExpectEngineTakesDiagram(*fromScript, engine);
    }
}

} // namespace

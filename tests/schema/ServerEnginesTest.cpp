// The PostgreSQL and MySQL/MariaDB scripts in those real servers: the
// throw-away servers of the live_postgres and live_mariadb test fixtures
// (tests/schema/live/start-server), reached as their superusers over their
// Unix sockets. Every script runs in a database of its own, korvo_export_N.
// The tests fail, never skip, when the servers are not there.
#include "CKorvoDoc.h"
#include "DiagramImport.h"
#include "DialectExport.h"
#include "EngineRoundTrip.h"
#include "FakeSurface.h"
#include "LiveTestSupport.h"
#include "MariadbEngine.h"
#include "PostgresEngine.h"
#include "SchemaTestDiagrams.h"
#include "SqlQuoting.h"
#include "SqlReservedWords.h"
#include "SqliteEngine.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

std::unique_ptr<CPostgresEngine> Postgres()
{
    const TestServer server = LoadTestServer("postgres");
    if (!server.ok)
        throw std::runtime_error("no PostgreSQL server: run the test through ctest, whose fixture starts it");
    // psql, which loads script files, finds the server the same way.
    setenv("PGHOST", server.socket.c_str(), 1);
    setenv("PGPORT", std::to_string(server.port).c_str(), 1);
    setenv("PGUSER", server.user.c_str(), 1);
    return std::make_unique<CPostgresEngine>("dbname=postgres");
}

std::unique_ptr<CMariadbEngine> Mariadb()
{
    const TestServer server = LoadTestServer("mariadb");
    if (!server.ok)
        throw std::runtime_error("no MariaDB server: run the test through ctest, whose fixture starts it");
    return std::make_unique<CMariadbEngine>(server.socket, "root");
}

void ExpectTakesAllDiagrams(CSqlEngine& engine)
{
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

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

TEST(PostgresEngine, TakesTheExampleTheAwkwardAndTheTypeDiagrams)
{
    const auto engine = Postgres();
    ExpectTakesAllDiagrams(*engine);
}

// The list is the server's own: the keywords it reserves, or reserves
// except as function and type names.
TEST(PostgresEngine, ReservedWordsAreTheServersOwn)
{
    const auto engine = Postgres();
    ASSERT_EQ(engine->RunScript("SELECT 1"), "");
    const auto listed = ReservedWords(SqlDialect::PostgreSql);
    const std::string joined = engine->QueryRow(
        "SELECT string_agg(word, ' ' ORDER BY word COLLATE \"C\") FROM pg_get_keywords() WHERE catcode IN ('R', 'T')")[0];
    std::string ours;
    for (std::string_view word : listed)
        ours += (ours.empty() ? "" : " ") + std::string(word);
    EXPECT_EQ(ours, joined);
}

TEST(PostgresEngine, KeepsDescriptionsDefaultsAndNumbering)
{
    const auto engine = Postgres();
    ExportNotes notes;
    ASSERT_EQ(engine->RunScript(ExportDialectSql(*BuildAwkwardDiagram(), SqlDialect::PostgreSql, notes)), "");
    const auto descriptions = engine->ReadDescriptions();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Customer Details.e-mail", "Unique when given"},
        {"order", "Orders, with a quote ' a backslash \\ and\nsecond line"},
        {"order.select", "Number of the order"},
        {"Ärger", "Таблица"},
        {"Ärger.注释", "説明 ü"},
    };
    EXPECT_EQ(descriptions, expected);

    ASSERT_EQ(engine->RunScript(ExportDialectSql(*BuildTypeDiagram(), SqlDialect::PostgreSql, notes)), "");
    EXPECT_EQ(engine->QueryRow("INSERT INTO types (id) VALUES (1) RETURNING t_tinyint, t_int11, t_tinyint1, t_boolean, "
                               "t_bool, t_bit, t_text, t_enum, t_rating, t_expression, t_null_default IS NULL, "
                               "t_uuid IS NOT NULL, t_bit8"),
              (std::vector<std::string>{"-5", "0", "t", "t", "f", "t", "it's", "a", "G", "3", "t", "t", "00000101"}));
    for (const char* table : {"serial_t", "bigserial_t", "auto_t", "identity_t", "generated_identity_t", "nextval_t",
                              "autoincrement_t", "auto_not_key"}) {
        const std::string key = std::string(table) == "auto_not_key" ? "seq" : "id";
        const std::string insert = std::string(table) == "auto_not_key" ? "(code) VALUES ('a'), ('b')" : "DEFAULT VALUES";
        if (insert == "DEFAULT VALUES") {
            engine->QueryRow("INSERT INTO " + std::string(table) + " DEFAULT VALUES RETURNING 1");
            engine->QueryRow("INSERT INTO " + std::string(table) + " DEFAULT VALUES RETURNING 1");
        } else {
            engine->QueryRow("INSERT INTO " + std::string(table) + " " + insert + " RETURNING 1");
        }
        EXPECT_EQ(engine->QueryRow("SELECT string_agg(" + key + "::text, ',' ORDER BY " + key + ") FROM " + table),
                  (std::vector<std::string>{"1,2"}))
            << table;
    }
}

TEST(MariadbEngine, TakesTheExampleTheAwkwardAndTheTypeDiagrams)
{
    const auto engine = Mariadb();
    ExpectTakesAllDiagrams(*engine);
}

// Every word the server calls a keyword goes through quoted, and every one
// it refuses bare is on the list (which also holds MySQL 8's own).
TEST(MariadbEngine, QuotesEveryKeywordItRefusesBare)
{
    const auto engine = Mariadb();
    ASSERT_EQ(engine->RunScript("SELECT 1"), "");
    const auto listed = ReservedWords(SqlDialect::MySql);
    const std::string words = engine->QueryRow("SELECT GROUP_CONCAT(WORD SEPARATOR ' ') FROM information_schema.KEYWORDS")[0];
    size_t start = 0;
    int checked = 0;
    while (start < words.size()) {
        const size_t end = std::min(words.find(' ', start), words.size());
        const std::string word = words.substr(start, end - start);
        start = end + 1;
        if (word.empty() || !std::isalpha(static_cast<unsigned char>(word[0])))
            continue;
        // Temporary tables in memory: the parser decides, and no file is made.
        const auto script = [](const std::string& name) {
            return "CREATE TEMPORARY TABLE " + name + " (a INT, " + name + " INT, PRIMARY KEY (a, " + name + "), UNIQUE ("
                + name + ")) ENGINE=MEMORY; DROP TEMPORARY TABLE " + name + ";";
        };
        EXPECT_EQ(engine->Execute(script(SqlName(word, SqlDialect::MySql))), "") << word;
        if (!engine->Execute(script(word)).empty()) {
            engine->Execute("DROP TEMPORARY TABLE IF EXISTS " + QuotedSqlName(word, SqlDialect::MySql));
            EXPECT_TRUE(std::binary_search(listed.begin(), listed.end(), Lower(word))) << word << " is refused bare";
        }
        ++checked;
    }
    EXPECT_GT(checked, 500);
}

TEST(MariadbEngine, KeepsDescriptionsDefaultsAndNumbering)
{
    const auto engine = Mariadb();
    ExportNotes notes;
    ASSERT_EQ(engine->RunScript(ExportDialectSql(*BuildAwkwardDiagram(), SqlDialect::MySql, notes)), "");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Customer Details.e-mail", "Unique when given"},
        {"order", "Orders, with a quote ' a backslash \\ and\nsecond line"},
        {"order.select", "Number of the order"},
        {"Ärger", "Таблица"},
        {"Ärger.注释", "説明 ü"},
    };
    EXPECT_EQ(engine->ReadDescriptions(), expected);

    ASSERT_EQ(engine->RunScript(ExportDialectSql(*BuildTypeDiagram(), SqlDialect::MySql, notes)), "");
    ASSERT_EQ(engine->Execute("INSERT INTO types (id) VALUES (1);"), "");
    EXPECT_EQ(engine->QueryRow("SELECT t_tinyint, t_int11, t_tinyint1, t_boolean, t_bool, t_bit + 0, t_text, t_enum, "
                               "t_rating, t_expression, t_null_default IS NULL, LENGTH(t_uuid), t_bit8 + 0 FROM types"),
              (std::vector<std::string>{"-5", "0", "1", "1", "0", "1", "it's", "a", "G", "3", "1", "36", "5"}));
    for (const char* table : {"serial_t", "bigserial_t", "auto_t", "identity_t", "generated_identity_t", "nextval_t",
                              "autoincrement_t"}) {
        ASSERT_EQ(engine->Execute("INSERT INTO " + std::string(table) + " () VALUES (), ();"), "") << table;
        EXPECT_EQ(engine->QueryRow("SELECT GROUP_CONCAT(id ORDER BY id) FROM " + std::string(table)),
                  (std::vector<std::string>{"1,2"}))
            << table;
    }
}

// Every shared real-world schema as Korvo imports it (each script with
// auto-detection, the SQLite database file read live), exported for each
// engine and run there: the engine's catalog must be the diagram's. The
// export read back with that dialect must give the same diagram again.
TEST(ServerEngines, TakeEveryImportedCorpusDiagramAndReadItsExportBack)
{
    const auto postgres = Postgres();
    const auto mariadb = Mariadb();
    CSqliteEngine sqlite;
    const std::string schemas = KORVO_SHARED_DIR "/schemas";
    FakeSurface surface;

    std::vector<std::pair<std::string, std::unique_ptr<CKorvoDoc>>> corpus;
    std::vector<std::string> scripts;
    for (const auto& entry : std::filesystem::directory_iterator(schemas))
        if (entry.path().extension() == ".sql")
            scripts.push_back(entry.path().filename().string());
    std::sort(scripts.begin(), scripts.end());
    for (const std::string& file : scripts) {
        auto doc = std::make_unique<CKorvoDoc>();
        const ScriptIntoDiagram imported = ImportScriptIntoDiagram(*doc, surface, PageArea{}, schemas + "/" + file);
        ASSERT_TRUE(imported.script.ok) << file << ": " << imported.script.errorText;
        corpus.emplace_back(file, std::move(doc));
    }
    {
        auto doc = std::make_unique<CKorvoDoc>();
        DatabaseSource source;
        source.path = schemas + "/chinook.sqlite";
        const DatabaseIntoDiagram imported = ImportDatabaseIntoDiagram(*doc, surface, PageArea{}, source, {});
        ASSERT_FALSE(imported.error.Failed()) << imported.error.message;
        corpus.emplace_back("chinook.sqlite", std::move(doc));
    }
    EXPECT_EQ(corpus.size(), 10u);

    TempDir dir;
    for (const auto& [file, doc] : corpus) {
        ASSERT_GE(doc->m_tables.size(), 6u) << file;
        for (CSqlEngine* engine : std::initializer_list<CSqlEngine*>{postgres.get(), mariadb.get(), &sqlite}) {
            const SqlDialect dialect = engine->Dialect();
            SCOPED_TRACE(file + " in " + std::string(DialectKeyword(dialect)));
            ExpectEngineTakesDiagram(*doc, *engine);

            ExportNotes notes;
            const std::string path = dir.File("export.sql");
            WriteWholeFile(path, ExportDialectSql(*doc, dialect, notes));
            CKorvoDoc back;
            ImportOptions options;
            options.dialect = dialect;
            const ScriptIntoDiagram reread = ImportScriptIntoDiagram(back, surface, PageArea{}, path, options);
            ASSERT_TRUE(reread.script.ok) << reread.script.errorText << reread.script.readerError;
            EXPECT_EQ(reread.script.report.UnreadableCount(), 0);
            const std::vector<CatalogTable> expected = ExpectedCatalog(*doc, dialect);
            const std::vector<CatalogTable> actual = ExpectedCatalog(back, dialect);
            ASSERT_EQ(actual.size(), expected.size());
            for (size_t i = 0; i < expected.size(); ++i)
                EXPECT_EQ(actual[i], expected[i]);
        }
    }
}

} // namespace

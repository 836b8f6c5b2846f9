// The PostgreSQL and MySQL/MariaDB scripts in those real servers, started
// by scripts/with-db-servers (through scripts/db-server), which passes
//   PGHOST, PGPORT, PGUSER        read by libpq itself
//   MARIADB_SOCKET, MARIADB_USER  the MariaDB server's socket and a user that may create databases
// The tests fail, never skip, when the servers are not there.
#include "DialectExport.h"
#include "EngineRoundTrip.h"
#include "MariadbEngine.h"
#include "PostgresEngine.h"
#include "SchemaTestDiagrams.h"
#include "SqlQuoting.h"
#include "SqlReservedWords.h"
#include "SqliteEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::unique_ptr<CPostgresEngine> Postgres()
{
    if (Environment("PGHOST").empty())
        throw std::runtime_error("PGHOST names no PostgreSQL server (run through scripts/with-db-servers)");
    return std::make_unique<CPostgresEngine>("dbname=postgres");
}

std::unique_ptr<CMariadbEngine> Mariadb()
{
    const std::string socket = Environment("MARIADB_SOCKET");
    if (socket.empty())
        throw std::runtime_error("MARIADB_SOCKET names no MariaDB server (run through scripts/with-db-servers)");
    return std::make_unique<CMariadbEngine>(socket, Environment("MARIADB_USER"));
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

// The shared real-world schemas, as each engine makes them, turned into
// diagrams, then exported for each engine and run there: every corpus
// diagram through every dialect and its real engine.
TEST(ServerEngines, TakeEveryCorpusDiagramInEveryEngine)
{
    const auto postgres = Postgres();
    const auto mariadb = Mariadb();
    CSqliteEngine sqlite;
    const std::string schemas = KORVO_SHARED_DIR "/schemas/";

    std::vector<std::pair<std::string, std::unique_ptr<CKorvoDoc>>> corpus;
    for (const auto& [file, own] : {std::pair<const char*, const char*>{"northwind.postgresql.sql", ""},
                                    {"pagila.postgresql.sql", ""},
                                    {"chinook.postgresql.sql", "chinook"}}) {
        postgres->LoadFile(schemas + file, own);
        corpus.emplace_back(file, DiagramFromCatalog(postgres->ReadCatalog()));
    }
    for (const auto& [file, own] : {std::pair<const char*, const char*>{"employees.mysql.sql", "employees"},
                                    {"chinook.mysql.sql", "Chinook"}}) {
        mariadb->LoadFile(schemas + file, own);
        corpus.emplace_back(file, DiagramFromCatalog(mariadb->ReadCatalog()));
    }
    sqlite.OpenFile(schemas + "chinook.sqlite");
    corpus.emplace_back("chinook.sqlite", DiagramFromCatalog(sqlite.ReadCatalog()));

    for (const auto& [file, doc] : corpus) {
        ASSERT_GE(doc->m_tables.size(), 6u) << file;
        for (CSqlEngine* engine : std::initializer_list<CSqlEngine*>{postgres.get(), mariadb.get(), &sqlite}) {
            SCOPED_TRACE(file + " in " + std::string(DialectKeyword(engine->Dialect())));
            ExpectEngineTakesDiagram(*doc, *engine);
        }
    }
}

} // namespace

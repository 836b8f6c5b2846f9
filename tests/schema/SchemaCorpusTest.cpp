// Every script of the shared schemas folder, read with auto-detection, must
// give what its engine makes of it: every table, column, NOT NULL, primary
// key, foreign key and unique key, and no other table.
#include "CatalogText.h"
#include "DialectReaders.h"
#include "SchemaImport.h"

#include <pg_query.h>

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace {

const std::string kSchemas = std::string(KORVO_SHARED_DIR) + "/schemas";
const std::string kExpected = std::string(KORVO_SOURCE_DIR) + "/tests/schema/expected";

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// What the sqlite3 engine makes of a script, read with the same catalog
// queries the capture script uses for the other engines.
std::string SqliteEngineCatalog(const std::string& script)
{
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    const char* query = R"(
WITH t AS (SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite\_%' ESCAPE '\'),
 fk AS (SELECT t.name AS tab, f.id, f."table" AS ref, f.seq, f."from" AS col, f."to" AS refcol
        FROM t, pragma_foreign_key_list(t.name) f ORDER BY t.name, f.id, f.seq),
 pk AS (SELECT t.name AS tab, p.name AS col, p.pk FROM t, pragma_table_xinfo(t.name) p WHERE p.pk > 0
        ORDER BY t.name, p.pk),
 uq AS (SELECT t.name AS tab, i.name AS idx, c.seqno, c.name AS col
        FROM t, pragma_index_list(t.name) i, pragma_index_info(i.name) c
        WHERE i."unique" AND i.origin <> 'pk' AND NOT i.partial ORDER BY t.name, i.name, c.seqno)
SELECT 'table' || char(9) || name FROM t
UNION ALL
SELECT 'column' || char(9) || t.name || char(9) || printf('%03d', p.cid + 1) || char(9) || p.name || char(9) || p."notnull"
  FROM t, pragma_table_xinfo(t.name) p WHERE p.hidden <> 1
UNION ALL
SELECT 'pk' || char(9) || tab || char(9) || group_concat(col, ',') FROM pk GROUP BY tab
UNION ALL
SELECT 'fk' || char(9) || tab || char(9) || group_concat(col, ',') || char(9) || ref || char(9) || group_concat(refcol, ',')
  FROM fk GROUP BY tab, id
UNION ALL
SELECT 'unique' || char(9) || tab || char(9) || group_concat(col, ',') FROM uq GROUP BY tab, idx)";
    std::vector<std::string> lines;
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, query, -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        lines.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

struct CorpusCase {
    const char* file;
    SqlDialect dialect;
};

class SchemaCorpusTest : public ::testing::TestWithParam<CorpusCase> {};

} // namespace

TEST_P(SchemaCorpusTest, ReadsWhatTheEngineMakesOfTheScript)
{
    const CorpusCase& c = GetParam();
    const std::string path = kSchemas + "/" + c.file;
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    const ScriptImport result = ImportSchemaScript(path);
    ASSERT_TRUE(result.ok) << result.errorText << result.readerError;
    EXPECT_EQ(result.report.dialect, c.dialect);
    EXPECT_TRUE(result.report.dialectDetected);
    EXPECT_EQ(result.report.UnreadableCount(), 0) << result.report.unreadable.front().kind << ": "
                                                  << result.report.unreadable.front().firstReason;
    const std::string stem = std::filesystem::path(c.file).stem().string();
    const std::string expected = c.dialect == SqlDialect::Sqlite ? SqliteEngineCatalog(ReadFile(path))
                                                                 : ReadFile(kExpected + "/" + stem + ".catalog");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(CatalogText(result.description), expected);
}

INSTANTIATE_TEST_SUITE_P(SharedSchemas, SchemaCorpusTest,
                         ::testing::Values(CorpusCase{"chinook.postgresql.sql", SqlDialect::PostgreSql},
                                           CorpusCase{"northwind.postgresql.sql", SqlDialect::PostgreSql},
                                           CorpusCase{"pagila.postgresql.sql", SqlDialect::PostgreSql},
                                           CorpusCase{"chinook.mysql.sql", SqlDialect::MySql},
                                           CorpusCase{"employees.mysql.sql", SqlDialect::MySql},
                                           CorpusCase{"chinook.sqlite.sql", SqlDialect::Sqlite},
                                           CorpusCase{"chinook.sqlserver.sql", SqlDialect::SqlServer},
                                           CorpusCase{"chinook.oracle.sql", SqlDialect::Oracle},
                                           CorpusCase{"chinook.db2.sql", SqlDialect::Db2}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.size() - 4);
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

TEST(SchemaCorpus, EveryScriptOfTheFolderHasACase)
{
    int scripts = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kSchemas))
        if (entry.path().extension() == ".sql")
            ++scripts;
    EXPECT_EQ(scripts, 9) << "a new script in the shared folder needs its expected catalog and a case here";
}

// The PostgreSQL reader cuts statements with its own lexer, which also knows
// psql's lines and COPY data; it must cut where libpg_query's splitters cut:
// the parser's where the whole script parses, the scanner's where it does
// not (pagila has a statement newer than the parser).
TEST(SchemaCorpus, PostgreSqlStatementsAreCutWhereLibpgQueryCutsThem)
{
    int compared = 0;
    struct Case {
        const char* file;
        bool parser;
    };
    for (const Case& c : {Case{"northwind.postgresql.sql", true}, Case{"pagila.postgresql.sql", false}}) {
        const char* file = c.file;
        const std::string script = ReadFile(kSchemas + "/" + file);
        PgQuerySplitResult split =
            c.parser ? pg_query_split_with_parser(script.c_str()) : pg_query_split_with_scanner(script.c_str());
        ASSERT_EQ(split.error, nullptr) << file;
        std::vector<size_t> parserEnds;
        for (int i = 0; i < split.n_stmts; ++i)
            parserEnds.push_back(size_t(split.stmts[i]->stmt_location + split.stmts[i]->stmt_len));
        pg_query_free_split_result(split);
        std::vector<size_t> ours;
        for (const auto& [begin, end] : PostgresStatementSpans(script))
            ours.push_back(end - 1); // the parser's statement ends before its semicolon
        ASSERT_EQ(ours.size(), parserEnds.size()) << file;
        for (size_t i = 0; i < ours.size(); ++i)
            EXPECT_EQ(script.substr(ours[i], 1), ";") << file << " statement " << i;
        EXPECT_EQ(ours, parserEnds) << file;
        compared += int(ours.size());
    }
    EXPECT_GT(compared, 3000);
}

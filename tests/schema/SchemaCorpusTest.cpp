// Every script of the shared schemas folder, read with auto-detection, must
// give what its engine makes of it: every table, column, NOT NULL, primary
// key, foreign key and unique key, and no other table.
#include "CatalogText.h"
#include "DialectReaders.h"
#include "SchemaImport.h"

#include <pg_query.h>

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

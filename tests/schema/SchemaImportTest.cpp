// Choosing the reader: Korvo's language stays ddlread's, other scripts go
// to the detected or chosen dialect, and a script nothing can read gives
// ddlread's own error text.
#include "CKorvoDoc.h"
#include "CSchemaMerge.h"
#include "DdlreadDescription.h"
#include "FakeSurface.h"
#include "SchemaImport.h"
#include "TestFiles.h"
#include "ddlread.h"

#include <fstream>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

constexpr CRect kCanvas{0, 0, 54000, -75600};

class SchemaImportTest : public ::testing::Test {
protected:
    std::string Write(const std::string& script)
    {
        const std::string path = m_dir.File("script" + std::to_string(++m_files) + ".sql");
        std::ofstream(path, std::ios::binary) << script;
        return path;
    }

    static std::string DdlreadError(const std::string& path)
    {
        char error[500] = "";
        TableData* list = ImportSQLTables(path.c_str(), error, int(sizeof error), nullptr);
        FreeTableData(list);
        return list ? std::string() : std::string(error);
    }

    static std::vector<std::string> Names(const SchemaDescription& d)
    {
        std::vector<std::string> names;
        for (const SchemaTable& t : d.tables)
            names.push_back(t.name);
        return names;
    }

    TempDir m_dir;
    int m_files = 0;
};

} // namespace

TEST_F(SchemaImportTest, KorvoLanguageStaysWithDdlread)
{
    const std::string path = Write("CREATE TABLE t (a INT NOT NULL, b INT REFERENCES u (x), UNIQUE (a, b));\n"
                                   "CREATE TABLE u (x INT);\n");
    for (SqlDialect dialect : {SqlDialect::Auto, SqlDialect::Korvo}) {
        const ScriptImport result = ImportSchemaScript(path, {dialect, {}});
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(result.report.dialect, SqlDialect::Korvo);
        EXPECT_EQ(result.description.rules, MergeRules::KorvoLanguage);
        EXPECT_EQ(Names(result.description), (std::vector<std::string>{"t", "u"}));
        ASSERT_EQ(result.description.tables[0].uniqueKeys.size(), 1u);
    }
}

TEST_F(SchemaImportTest, NamesDdlreadWouldCutGoToTheDialectReader)
{
    // ddlread accepts this script but drops the quotes and the accented letter.
    const std::string path = Write("CREATE TABLE \"Übersicht\" (\"Maß\" INTEGER);\n");
    ASSERT_TRUE(DdlreadError(path).empty());
    const ScriptImport result = ImportSchemaScript(path);
    ASSERT_TRUE(result.ok);
    EXPECT_NE(result.report.dialect, SqlDialect::Korvo);
    EXPECT_TRUE(result.report.dialectDetected);
    EXPECT_EQ(Names(result.description), std::vector<std::string>{"Übersicht"});
    EXPECT_EQ(result.description.tables[0].columns.at(0).name, "Maß");
}

TEST_F(SchemaImportTest, NothingReadableGivesDdlreadsOwnErrorText)
{
    const std::string empty = Write("-- nothing here\nSELECT 1;\n");
    const std::string broken = Write("CREATE TABLE t (a INT,\n b INT\n c INT);\n");
    for (const std::string& path : {empty, broken}) {
        const std::string ddlreadError = DdlreadError(path);
        ASSERT_FALSE(ddlreadError.empty());
        for (SqlDialect dialect : {SqlDialect::Auto, SqlDialect::Korvo, SqlDialect::MySql, SqlDialect::PostgreSql}) {
            const ScriptImport result = ImportSchemaScript(path, {dialect, {}});
            if (path == broken && dialect != SqlDialect::Korvo) {
                EXPECT_FALSE(result.ok && result.description.tables.empty());
                continue; // a dialect reader reads t despite the missing comma
            }
            EXPECT_FALSE(result.ok) << DialectKeyword(dialect);
            EXPECT_EQ(result.errorText, ddlreadError) << DialectKeyword(dialect);
        }
    }
    const ScriptImport missing = ImportSchemaScript(m_dir.File("no-such-file.sql"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.errorText, "Error opening file.");

    // Regression: a named pipe without a writer held every reader but
    // ddlread's for good. Anything but a regular file is refused at once.
    const std::string pipe = m_dir.File("pipe.sql");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {pipe, m_dir.Path()})
        for (SqlDialect dialect : {SqlDialect::Auto, SqlDialect::PostgreSql, SqlDialect::Sqlite, SqlDialect::MySql}) {
            const ScriptImport result = ImportSchemaScript(path, {dialect, {}});
            EXPECT_FALSE(result.ok) << path << " " << DialectKeyword(dialect);
            EXPECT_EQ(result.errorText, "Error opening file.") << path << " " << DialectKeyword(dialect);
        }
}

TEST_F(SchemaImportTest, ForcedDialectIsUsedWithoutDetection)
{
    const std::string path = Write("CREATE TABLE Mixed (Id INT);\n");
    const ScriptImport pg = ImportSchemaScript(path, {SqlDialect::PostgreSql, {}});
    const ScriptImport oracle = ImportSchemaScript(path, {SqlDialect::Oracle, {}});
    const ScriptImport server = ImportSchemaScript(path, {SqlDialect::SqlServer, {}});
    EXPECT_EQ(Names(pg.description), std::vector<std::string>{"mixed"});
    EXPECT_EQ(Names(oracle.description), std::vector<std::string>{"MIXED"});
    EXPECT_EQ(Names(server.description), std::vector<std::string>{"Mixed"});
    EXPECT_FALSE(pg.report.dialectDetected);
    EXPECT_EQ(pg.report.dialect, SqlDialect::PostgreSql);
}

TEST_F(SchemaImportTest, CancelledImportGivesNoTables)
{
    std::string script;
    for (int i = 0; i < 3000; ++i)
        script += "CREATE TABLE `t" + std::to_string(i) + "` (`a` int);\n";
    const std::string path = Write(script);
    for (SqlDialect dialect : {SqlDialect::MySql, SqlDialect::PostgreSql, SqlDialect::Sqlite}) {
        int calls = 0;
        ImportOptions options{dialect, [&calls](double) { return ++calls < 2; }};
        const ScriptImport result = ImportSchemaScript(path, options);
        EXPECT_TRUE(result.cancelled) << DialectKeyword(dialect);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.description.tables.empty());
    }
    int last = -1;
    double lastShare = -1;
    ImportOptions watching{SqlDialect::MySql, [&](double share) {
                               EXPECT_GE(share, lastShare);
                               lastShare = share;
                               ++last;
                               return true;
                           }};
    EXPECT_TRUE(ImportSchemaScript(path, watching).ok);
    EXPECT_DOUBLE_EQ(lastShare, 1.0);
}

TEST_F(SchemaImportTest, KorvosOwnExportOfTheExampleImportsBack)
{
    std::ifstream in(std::string(KORVO_SOURCE_DIR) + "/examples/example.erd", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    CKorvoDoc example;
    ASSERT_TRUE(example.LoadFromBytes(bytes.data(), bytes.size()).Opens());
    const std::string path = Write(example.ExportSQLText());
    const ScriptImport result = ImportSchemaScript(path);
    ASSERT_TRUE(result.ok) << result.errorText;

    CKorvoDoc doc;
    FakeSurface surface;
    const MergeResult merged = CSchemaMerge(doc, surface, kCanvas).Merge(result.description);
    ASSERT_EQ(doc.m_tables.size(), example.m_tables.size());
    EXPECT_EQ(doc.m_relations.size(), example.m_relations.size());
    for (const auto& table : example.m_tables) {
        const KorvoTableView* read = doc.FindTable(table->m_def.m_strName);
        ASSERT_TRUE(read) << table->m_def.m_strName;
        ASSERT_EQ(read->m_def.m_columns.size(), table->m_def.m_columns.size());
        for (size_t i = 0; i < read->m_def.m_columns.size(); ++i) {
            const CColumn& a = *table->m_def.m_columns[i];
            const CColumn& b = *read->m_def.m_columns[i];
            EXPECT_EQ(b.m_strName, a.m_strName);
            EXPECT_EQ(b.m_strType, a.m_strType) << a.m_strName;
            EXPECT_EQ(b.m_bPrimaryKey, a.m_bPrimaryKey) << a.m_strName;
            EXPECT_EQ(b.m_strDefault, a.m_strDefault) << a.m_strName;
        }
    }
    EXPECT_TRUE(merged.notShown.empty());
}

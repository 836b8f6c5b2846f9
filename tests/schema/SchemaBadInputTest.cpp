// Hostile and broken scripts: each reader gives a bounded, clear result,
// keeps its texts valid UTF-8 and holds memory in proportion to the input.
// The SQLite reader never creates, opens or changes a file.
#include "CatalogText.h"
#include "SchemaImport.h"
#include "TestFiles.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
// Under the sanitizers a tenth of the sizes: their red zones and quarantine
// make memory and time grow far beyond the readers' own. The quarantine
// keeps up to 256 MB of freed memory resident.
constexpr size_t kScale = 10;
constexpr size_t kSanitizerMemory = size_t(256) << 20;
#else
constexpr size_t kScale = 1;
constexpr size_t kSanitizerMemory = 0;
#endif

constexpr SqlDialect kReaders[] = {SqlDialect::PostgreSql, SqlDialect::MySql, SqlDialect::Sqlite,
                                   SqlDialect::SqlServer, SqlDialect::Oracle, SqlDialect::Db2};

bool IsValidUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > text.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

void ExpectValidTexts(const SchemaDescription& description, SqlDialect dialect)
{
    for (const SchemaTable& t : description.tables) {
        EXPECT_TRUE(IsValidUtf8(t.name) && IsValidUtf8(t.schema) && IsValidUtf8(t.comment)) << DialectKeyword(dialect);
        for (const SchemaColumn& c : t.columns)
            EXPECT_TRUE(IsValidUtf8(c.name) && IsValidUtf8(c.type) && IsValidUtf8(c.defaultValue) &&
                        IsValidUtf8(c.check) && IsValidUtf8(c.comment))
                << DialectKeyword(dialect);
    }
}

bool HasTable(const ScriptImport& result, std::string_view name)
{
    for (const SchemaTable& t : result.description.tables)
        if (t.name == name)
            return true;
    return false;
}

// Runs body in a child process and returns the child's peak resident memory
// in bytes, or 0 when the child failed.
size_t PeakMemoryOfChild(const std::function<bool()>& body)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body() ? 0 : 1);
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return 0;
    return size_t(usage.ru_maxrss) * 1024;
}

} // namespace

TEST(SchemaBadInput, NulBytesAndInvalidUtf8AreDroppedAndCounted)
{
    static const char kScript[] = "CREATE TABLE t\xff\xfeone (a\0b int, c\xc3 int, d\xe2\x82 int);\n"
                                  "CREATE TABLE t2 (\"\xed\xa0\x80x\" int);\n";
    const std::string script(kScript, sizeof kScript - 1);
    for (SqlDialect dialect : kReaders) {
        const ScriptImport result = ReadSchemaText(script, dialect);
        EXPECT_GT(result.report.droppedCharacters, 0u) << DialectKeyword(dialect);
        EXPECT_FALSE(result.description.tables.empty()) << DialectKeyword(dialect);
        ExpectValidTexts(result.description, dialect);
    }
}

TEST(SchemaBadInput, UnterminatedQuotesCommentsAndBodiesEndTheScriptNotTheImport)
{
    const char* const tails[] = {
        "CREATE TABLE b (x varchar(9) DEFAULT 'never closed, y int);\n",
        "CREATE TABLE \"b (x int);\n",
        "CREATE TABLE `b (x int);\n",
        "CREATE TABLE [b (x int);\n",
        "CREATE FUNCTION f() RETURNS int AS $$ SELECT 1;\n",
        "CREATE TABLE b (x int /* never closed\n",
        "CREATE TABLE b (x int CHECK ((x > 0)\n",
    };
    for (const char* tail : tails) {
        const std::string script = std::string("CREATE TABLE a (x int);\n") + tail;
        for (SqlDialect dialect : kReaders) {
            const ScriptImport result = ReadSchemaText(script, dialect);
            EXPECT_TRUE(HasTable(result, dialect == SqlDialect::Oracle || dialect == SqlDialect::Db2 ? "A" : "a"))
                << DialectKeyword(dialect) << ": " << tail;
            EXPECT_FALSE(HasTable(result, "b") || HasTable(result, "B")) << DialectKeyword(dialect) << ": " << tail;
            ExpectValidTexts(result.description, dialect);
        }
    }
}

TEST(SchemaBadInput, DeepNestingAndLongOperatorChainsAreReadWithoutRecursion)
{
    const std::string deep = "CREATE TABLE a (x int CHECK (" + std::string(100000, '(') + "x" +
                             std::string(100000, ')') + "), y int);\nCREATE TABLE b (z int);\n";
    std::string chain = "CREATE TABLE a (x int CHECK (x";
    for (int i = 0; i < 200000; ++i)
        chain += i % 2 ? " + x" : " AND x";
    chain += " > 0), y int);\nCREATE TABLE b (z int);\n";
    for (const std::string* script : std::initializer_list<const std::string*>{&deep, &chain}) {
        for (SqlDialect dialect : kReaders) {
            const ScriptImport result = ReadSchemaText(*script, dialect);
            const bool upper = dialect == SqlDialect::Oracle || dialect == SqlDialect::Db2;
            EXPECT_TRUE(HasTable(result, upper ? "B" : "b")) << DialectKeyword(dialect);
            if (dialect != SqlDialect::Sqlite) { // the engine refuses expressions this deep
                EXPECT_TRUE(HasTable(result, upper ? "A" : "a")) << DialectKeyword(dialect);
            }
        }
    }
}

TEST(SchemaBadInput, FiftyMegabyteTokensAreCutWhereTheyBecomeTexts)
{
    const std::string big((50u << 20) / kScale, 'n');
    const std::string longDefault = "CREATE TABLE a (x varchar(9) DEFAULT '" + big + "');\n";
    const std::string longName = "CREATE TABLE " + big + " (x int);\nCREATE TABLE b (x int);\n";
    for (SqlDialect dialect : {SqlDialect::PostgreSql, SqlDialect::MySql, SqlDialect::Sqlite}) {
        const ScriptImport withDefault = ReadSchemaText(longDefault, dialect);
        ASSERT_EQ(withDefault.description.tables.size(), 1u) << DialectKeyword(dialect);
        EXPECT_LE(withDefault.description.tables[0].columns.at(0).defaultValue.size(), size_t(64 * 1024) + 2)
            << DialectKeyword(dialect);
        const ScriptImport withName = ReadSchemaText(longName, dialect);
        EXPECT_TRUE(HasTable(withName, "b")) << DialectKeyword(dialect);
        for (const SchemaTable& t : withName.description.tables)
            EXPECT_LE(t.name.size(), size_t(1024)) << DialectKeyword(dialect);
    }
}

TEST(SchemaBadInput, HundredMegabyteScriptReadsInMemoryProportionalToIt)
{
    // Rows of data and, at the end, the one table: every reader must get there.
    std::string script;
    const std::string row = "INSERT INTO t VALUES (1, 'some text that fills the line', 3.25, NULL);\n";
    const size_t size = (100u << 20) / kScale;
    script.reserve(size + 100);
    while (script.size() < size)
        script += row;
    script += "CREATE TABLE t (a int, b text, c numeric, d int);\n";
    const size_t rows = size / row.size();
    for (SqlDialect dialect : {SqlDialect::PostgreSql, SqlDialect::MySql, SqlDialect::Sqlite}) {
        // What a child of this process holds reading next to nothing: the
        // script it shares with the parent is resident in both.
        const size_t baseline = PeakMemoryOfChild([&] { return ReadSchemaText("CREATE TABLE t (a int);", dialect).ok; });
        const size_t peak = PeakMemoryOfChild([&] {
            const ScriptImport result = ReadSchemaText(script, dialect);
            return result.ok && result.description.tables.size() == 1 && size_t(result.report.SkippedCount()) >= rows;
        });
        ASSERT_GT(peak, 0u) << DialectKeyword(dialect) << ": the table at the end was not read";
        EXPECT_LT(peak - std::min(peak, baseline), 5 * script.size() + kSanitizerMemory) << DialectKeyword(dialect);
        std::printf("%s: %zu MB above a reader of one statement, for a script of %zu MB\n",
                    std::string(DialectKeyword(dialect)).c_str(), (peak - std::min(peak, baseline)) >> 20,
                    script.size() >> 20);
    }
}

TEST(SchemaBadInput, SqliteReaderCreatesOpensAndChangesNoFile)
{
    TempDir dir;
    const std::string here = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    const std::string a = dir.File("attached.db");
    const std::string v = dir.File("vacuumed.db");
    const std::string script =
        "ATTACH 'x.db' AS x;\nATTACH '" + a + "' AS y;\nCREATE TABLE y.t (a);\nVACUUM INTO 'v.db';\n"
        "VACUUM INTO '" + v + "';\nSELECT load_extension('libz');\nPRAGMA temp_store_directory = '" + dir.Path() +
        "';\nCREATE TABLE t (a INTEGER PRIMARY KEY, b TEXT);\n"
        "CREATE TABLE u AS SELECT * FROM t;\nCREATE TEMP TABLE tt (q);\nCREATE TABLE w (a DEFAULT (load_extension('z')));\n"
        "CREATE INDEX i ON t (b);\nINSERT INTO t VALUES (1, 'x');\nDETACH x;\n";
    const ScriptImport result = ReadSchemaText(script, SqlDialect::Sqlite);
    ASSERT_EQ(chdir(here.c_str()), 0);
    EXPECT_EQ(dir.EntryCount(), 0u) << "the reader left a file behind";
    EXPECT_TRUE(HasTable(result, "t"));
    EXPECT_FALSE(HasTable(result, "u"));
    EXPECT_FALSE(HasTable(result, "tt"));
    EXPECT_GE(result.report.SkippedCount(), 7);
}

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ImportRun.h"
#include "ddlread.h"

namespace {

std::string Repeat(const std::string& piece, size_t count, const char* separator)
{
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += separator;
        }
        text += piece;
    }
    return text;
}

}  // namespace

TEST(DdlreadImport, MissingFileFailsWithItsMessage)
{
    ImportRun run = ImportRun::OfPath(testing::TempDir() + "ddlread_no_such_file.sql");
    EXPECT_FALSE(run.succeeded);
    EXPECT_EQ(run.error, "Error opening file.");

    char error[500] = "stale";
    EXPECT_EQ(ImportSQLTables(nullptr, error, sizeof error, nullptr), nullptr);
    EXPECT_STREQ(error, "Error opening file.");
}

// Regression: a named pipe or a device hung the import for good, and a
// folder failed with the scanner's "input in flex scanner failed". Anything
// but a regular file is refused as a file that cannot be opened.
TEST(DdlreadImport, OnlyARegularFileIsReadAndTheNextImportWorks)
{
    char folder[] = "/tmp/ddlread-targets-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string dir = folder;
    const std::string pipe = dir + "/pipe.sql";
    const std::string device = dir + "/zero.sql";
    const std::string link = dir + "/link.sql";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // The zero device's node, made here: it never ends.
    ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 5)), 0);
    ASSERT_EQ(symlink(pipe.c_str(), link.c_str()), 0);

    for (const std::string& path : {dir, pipe, device, link}) {
        ImportRun run = ImportRun::OfPath(path);
        EXPECT_FALSE(run.succeeded) << path;
        EXPECT_EQ(run.error, "Error opening file.") << path;
    }
    for (const std::string& path : {pipe, device, link}) {
        unlink(path.c_str());
    }
    rmdir(folder);

    ImportRun next = ImportRun::OfScript("CREATE TABLE t (a INT);");
    ASSERT_TRUE(next.succeeded) << next.error;
    EXPECT_EQ(next.error, "");
    EXPECT_EQ(next.OnlyColumn().name, "a");
}

TEST(DdlreadImport, FailedImportLeavesNothingForTheNext)
{
    // A failure in the middle of a statement, with a table half built and the
    // scanner inside a body, followed by a script that starts in the skipping
    // state: the second sees neither the first's records, nor its line count,
    // nor its scanner state.
    ImportRun failed = ImportRun::OfScript("CREATE TABLE a (x INT,\n\n y INT KEY");
    EXPECT_FALSE(failed.succeeded);
    EXPECT_EQ(failed.error, "3: parse error at KEY\n");

    ImportRun next = ImportRun::OfScript("x INT);\nCREATE TABLE b (z INT);");
    ASSERT_TRUE(next.succeeded) << next.error;
    ASSERT_EQ(next.tables.size(), 1u);
    EXPECT_EQ(next.tables[0].name, "b");
    EXPECT_EQ(next.error, "");

    ImportRun lineCount = ImportRun::OfScript("CREATE TABLE c (x KEY);");
    EXPECT_EQ(lineCount.error, "1: parse error at KEY\n");
}

TEST(DdlreadImport, ErrorTextIsCutToTheCallersBuffer)
{
    ScratchFile script("\n\n\nCREATE TABLE t (a INT, b KEY);");
    const std::string full = "4: parse error at KEY\n";
    for (int size : { 500, 23, 22, 10, 2, 1 }) {
        std::vector<char> error(static_cast<size_t>(size) + 8, '#');
        EXPECT_EQ(ImportSQLTables(script.Path().c_str(), error.data(), size, nullptr), nullptr);
        EXPECT_EQ(std::string(error.data()), full.substr(0, static_cast<size_t>(size) - 1))
            << size;
        // Nothing written past the size given.
        EXPECT_EQ(error[static_cast<size_t>(size)], '#') << size;
    }
    // No buffer at all is not an error of the import.
    EXPECT_EQ(ImportSQLTables(script.Path().c_str(), nullptr, 0, nullptr), nullptr);
    char untouched[4] = "abc";
    EXPECT_EQ(ImportSQLTables(script.Path().c_str(), untouched, 0, nullptr), nullptr);
    EXPECT_STREQ(untouched, "abc");
}

TEST(DdlreadImport, LongErrorTextsFitTheLibrarysBuffer)
{
    // The report repeats the offending token; a 2000-character name makes it
    // longer than the 500-byte error text.
    const std::string name(2000, 'k');
    ImportRun run = ImportRun::OfScript("CREATE TABLE t (a INT " + name + " x);");
    EXPECT_FALSE(run.succeeded);
    EXPECT_EQ(run.error.size(), 499u);
    EXPECT_EQ(run.error, ("1: parse error at " + name).substr(0, 499));
}

TEST(DdlreadImport, ParserStackOverflowIsAnErrorOfItsOwn)
{
    // Each parenthesis holds a stack entry; the stack stops at 10000.
    auto nested = [](size_t depth) {
        return "CREATE TABLE t (a INT CHECK (" + std::string(depth, '(') + "a = 1" +
               std::string(depth, ')') + "));";
    };
    ImportRun deep = ImportRun::OfScript(nested(9950));
    ASSERT_TRUE(deep.succeeded) << deep.error;
    EXPECT_EQ(deep.OnlyColumn().check, std::string(199, '('));

    ImportRun tooDeep = ImportRun::OfScript(nested(10000));
    EXPECT_FALSE(tooDeep.succeeded);
    EXPECT_EQ(tooDeep.error, "1: parser stack overflow at (\n");

    ImportRun next = ImportRun::OfScript("CREATE TABLE t (a INT);");
    EXPECT_TRUE(next.succeeded) << next.error;
}

TEST(DdlreadImport, LongConditionsAreBuiltInLinearTime)
{
    // 200000 terms; copying the growing text at every AND would take minutes.
    const std::string condition = Repeat("a = 1", 200000, " AND ");
    ImportRun run = ImportRun::OfScript("CREATE TABLE t (a INT CHECK (" + condition + "));");
    ASSERT_TRUE(run.succeeded) << run.error;
    EXPECT_EQ(run.OnlyColumn().check, condition.substr(0, 199));
}

TEST(DdlreadImport, OverlongTextsAreCutToTheirFields)
{
    const std::string name150(150, 'n');
    const std::string table150(150, 't');
    const std::string type150(150, 'T');
    const std::string literal150 = "'" + std::string(148, 'd') + "'";
    const std::string list600 = Repeat("col" + std::string(16, 'x'), 30, ", ");
    const std::string list600Joined = Repeat("col" + std::string(16, 'x'), 30, " ");
    const std::string check5000 = Repeat("a = 1", 500, " OR ");
    ASSERT_GT(list600Joined.size(), 500u);
    ASSERT_GT(check5000.size(), 5000u - 1000u);

    ImportRun run = ImportRun::OfScript(
        "CREATE TABLE " + table150 + " (" +
        name150 + " " + type150 + " DEFAULT " + literal150 +
        " REFERENCES " + table150 + " (" + list600 + "), " +
        "b INT CHECK (" + check5000 + "), " +
        "FOREIGN KEY (" + list600 + ") REFERENCES " + table150 + " (" + list600 + "), " +
        "CHECK (" + check5000 + "));");
    ASSERT_TRUE(run.succeeded) << run.error;
    EXPECT_EQ(run.unterminatedFields, 0);
    ASSERT_EQ(run.tables.size(), 1u);
    const TableRecord& table = run.tables[0];
    EXPECT_EQ(table.name, table150.substr(0, 99));
    ASSERT_EQ(table.columns.size(), 2u);
    const ColumnRecord& first = table.columns[0];
    EXPECT_EQ(first.name, name150.substr(0, 99));
    EXPECT_EQ(first.type, type150.substr(0, 99));
    EXPECT_EQ(first.defaultValue, literal150.substr(0, 99));
    EXPECT_EQ(first.refTable, table150.substr(0, 99));
    EXPECT_EQ(first.refColumns, list600Joined.substr(0, 499));
    EXPECT_EQ(table.columns[1].check, check5000.substr(0, 199));
    ASSERT_EQ(table.constraints.size(), 2u);
    EXPECT_EQ(table.constraints[0].refTable, table150.substr(0, 99));
    EXPECT_EQ(table.constraints[0].columns, list600Joined.substr(0, 499));
    EXPECT_EQ(table.constraints[0].refColumns, list600Joined.substr(0, 499));
    EXPECT_EQ(table.constraints[1].check, check5000.substr(0, 199));
}

TEST(DdlreadImport, TypeTextsAreCutToTheirField)
{
    const std::string type(90, 'V');
    ImportRun run = ImportRun::OfScript("CREATE TABLE t (a " + type + "(123456789, 12345));");
    ASSERT_TRUE(run.succeeded) << run.error;
    EXPECT_EQ(run.OnlyColumn().type, (type + "(123456789,12345)").substr(0, 99));
}

TEST(DdlreadTrace, OneLinePerRecordStep)
{
    ImportRun run =
        ImportRun::OfScript("CREATE TABLE t (a INT NOT NULL, PRIMARY KEY (a));", true);
    ASSERT_TRUE(run.succeeded) << run.error;
    EXPECT_EQ(run.trace,
              "Table started\n"
              "Set column option\n"
              "Saving column: a\n"
              "Column saved\n"
              "Table constraint\n"
              "Table name saved: t\n"
              "Table ended\n");
}

TEST(DdlreadTrace, StepsFollowTheReductions)
{
    // Options are set as they are read, a column is saved at the comma or
    // parenthesis after it, the name only at the end of the body; a table is
    // ended before the next statement is looked for.
    ImportRun run = ImportRun::OfScript(
        "CREATE TABLE s.t (a INT UNIQUE DEFAULT 1 CHECK (a > 0), b,\n"
        "  FOREIGN KEY (b) REFERENCES u, c INT REFERENCES u (x))\n---\n"
        "junk; CREATE TABLE u (x INT);\n",
        true);
    ASSERT_TRUE(run.succeeded) << run.error;
    EXPECT_EQ(run.trace,
              "Table started\n"
              "Set column option\n"
              "Set column option\n"
              "Set column option\n"
              "Saving column: a\n"
              "Column saved\n"
              "Saving column: b\n"
              "Column saved\n"
              "Table constraint\n"
              "Set column option\n"
              "Saving column: c\n"
              "Column saved\n"
              "Table name saved: s\n"
              "Table ended\n"
              "Table started\n"
              "Saving column: x\n"
              "Column saved\n"
              "Table name saved: u\n"
              "Table ended\n");
}

TEST(DdlreadTrace, TraceIsCompleteUpToAFailureAndOptional)
{
    // Column b is saved by a reduction taken without looking at KEY; the
    // error is found at KEY only afterwards.
    ImportRun run = ImportRun::OfScript("CREATE TABLE t (a INT, b KEY, c INT);", true);
    EXPECT_FALSE(run.succeeded);
    EXPECT_EQ(run.trace,
              "Table started\nSaving column: a\nColumn saved\n"
              "Saving column: b\nColumn saved\n");

    // A trace file that cannot be created does not stop the import.
    ScratchFile script("CREATE TABLE t (a INT);");
    char error[500];
    TableData* list = ImportSQLTables(script.Path().c_str(), error, sizeof error,
                                      "/nonexistent-dir/trace.txt");
    ASSERT_NE(list, nullptr) << error;
    FreeTableData(list);
    list = ImportSQLTables(script.Path().c_str(), error, sizeof error, "");
    ASSERT_NE(list, nullptr) << error;
    FreeTableData(list);
}

// Regression: a trace path naming the script itself emptied the script
// before it was read. The import now runs without a trace and the script
// keeps its bytes, whether the two names are equal, differ in spelling or
// meet through links.
TEST(DdlreadTrace, ATraceThatIsTheScriptLeavesTheScriptAlone)
{
    const std::string text = "CREATE TABLE t (a INT);\n";
    ScratchFile script(text);
    const std::string& path = script.Path();
    const size_t slash = path.rfind('/');
    const std::string dir = path.substr(0, slash);
    const std::string hard = path + ".hard";
    const std::string soft = path + ".soft";
    ASSERT_EQ(link(path.c_str(), hard.c_str()), 0);
    ASSERT_EQ(symlink(path.c_str(), soft.c_str()), 0);

    const std::string traces[] = {path, dir + "/." + path.substr(slash), hard, soft};
    for (const std::string& trace : traces) {
        char error[500] = "";
        TableData* list = ImportSQLTables(path.c_str(), error, sizeof error, trace.c_str());
        EXPECT_NE(list, nullptr) << trace << ": " << error;
        FreeTableData(list);
        EXPECT_EQ(script.Read(), text) << trace;
    }
    // Through a link the script is the link's target; an ordinary trace
    // beside it is still written.
    char error[500] = "";
    const std::string other = path + ".trace";
    TableData* list = ImportSQLTables(soft.c_str(), error, sizeof error, other.c_str());
    EXPECT_NE(list, nullptr) << error;
    FreeTableData(list);
    FILE* written = fopen(other.c_str(), "r");
    ASSERT_NE(written, nullptr);
    char first[32] = "";
    EXPECT_NE(fgets(first, sizeof first, written), nullptr);
    fclose(written);
    EXPECT_STREQ(first, "Table started\n");
    for (const std::string& name : {hard, soft, other}) {
        unlink(name.c_str());
    }
}

TEST(DdlreadImport, FreeTableDataTakesNull)
{
    FreeTableData(nullptr);
}

TEST(DdlreadImport, RepeatedImportsGiveTheSameRecords)
{
    const char* scripts[] = {
        "CREATE TABLE a (x INT NOT NULL, y CHAR(2) DEFAULT 'q', PRIMARY KEY (x));\n",
        "CREATE TABLE b (x INT KEY);\n",
        "CREATE TABLE c (x INT CHECK (x IN (1, 2)), FOREIGN KEY (x) REFERENCES a (x))\n---\n",
        "no tables\n",
        "CREATE TABLE d (x 'open\n INT);\n",
    };
    std::vector<ImportRun> firstRuns;
    for (const char* script : scripts) {
        firstRuns.push_back(ImportRun::OfScript(script));
    }
    for (int round = 0; round < 50; ++round) {
        for (size_t i = 0; i < std::size(scripts); ++i) {
            ImportRun run = ImportRun::OfScript(scripts[i]);
            ASSERT_EQ(run.succeeded, firstRuns[i].succeeded) << scripts[i];
            ASSERT_EQ(run.error, firstRuns[i].error) << scripts[i];
            ASSERT_EQ(run.tables.size(), firstRuns[i].tables.size()) << scripts[i];
        }
    }
}

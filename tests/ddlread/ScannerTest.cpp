#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ImportRun.h"

namespace {

std::vector<std::string> ColumnNames(const ImportRun& run)
{
    std::vector<std::string> names;
    for (const TableRecord& table : run.tables) {
        for (const ColumnRecord& column : table.columns) {
            names.push_back(table.name + "." + column.name);
        }
    }
    return names;
}

}  // namespace

TEST(DdlreadScanner, OnlyUppercaseCreateTableOnOneLineStartsAStatement)
{
    struct Case {
        const char* script;
        std::vector<std::string> columns;  // empty: the import fails
    };
    const Case cases[] = {
        { "create table t (a int);\nCREATE TABLE u (b INT);", { "u.b" } },
        { "CREATE   TABLE t (a INT);", { "t.a" } },
        { "CREATE\tTABLE t (a INT);", { "t.a" } },
        { "CREATE \t TABLE t (a INT);", { "t.a" } },
        { "CREATE\nTABLE t (a INT);", {} },
        { "Create Table t (a INT);", {} },
        // Outside a statement nothing is a comment or a word of its own.
        { "-- CREATE TABLE t (a INT);\n", { "t.a" } },
        { "/* CREATE TABLE t (a INT); */", { "t.a" } },
        { "MYCREATE TABLE t (a INT);", { "t.a" } },
        // Inside a statement a comment hides the words.
        { "CREATE TABLE t (a INT -- CREATE TABLE u (\n, b INT);", { "t.a", "t.b" } },
        { "CREATE TABLE t (a INT, -- comment\n b INT);", { "t.a", "t.b" } },
        { "CREATE TABLE t (a INT);\nDROP TABLE t;\nSELECT 1;\nCREATE TABLE u (b INT);",
          { "t.a", "u.b" } },
        // A CREATE TABLE inside an unfinished statement starts the record over;
        // the column being read when it is met goes to the new record.
        { "CREATE TABLE t (a INT, b INT CREATE TABLE, c INT);", { "t.b", "t.c" } },
    };
    for (const Case& c : cases) {
        ImportRun run = ImportRun::OfScript(c.script);
        EXPECT_EQ(run.succeeded, !c.columns.empty()) << c.script << ": " << run.error;
        EXPECT_EQ(ColumnNames(run), c.columns) << c.script;
    }
}

TEST(DdlreadScanner, KeywordsAreUppercaseWholeWords)
{
    ImportRun run = ImportRun::OfScript(
        "CREATE TABLE t (ALL1 INT, ALL_ INT, NOTNULL INT, not INT, null INT, "
        "Key INT, user INT, ALL_ITEMS INT, asc INT, a1$_b INT);");
    ASSERT_TRUE(run.succeeded) << run.error;
    EXPECT_EQ(ColumnNames(run),
              (std::vector<std::string>{ "t.ALL1", "t.ALL_", "t.NOTNULL", "t.not", "t.null",
                                         "t.Key", "t.user", "t.ALL_ITEMS", "t.asc",
                                         "t.a1$_b" }));
}

TEST(DdlreadScanner, NumbersExactAndApproximate)
{
    struct Case {
        const char* literal;
        bool exact;
    };
    const Case cases[] = {
        { "12", true },    { "12.5", true },  { "7.", true },    { ".5", true },
        { "1.5e10", false }, { "1E5", false }, { ".5E-3", false }, { "2.e+7", false },
        { ".E5", false },
    };
    for (const Case& c : cases) {
        // A length in a type takes only an exact number.
        ImportRun typed = ImportRun::OfScript(std::string("CREATE TABLE t (x CHAR(") +
                                              c.literal + "));");
        EXPECT_EQ(typed.succeeded, c.exact) << c.literal << ": " << typed.error;
        if (c.exact) {
            EXPECT_EQ(typed.OnlyColumn().type, std::string("CHAR(") + c.literal + ")");
        }
        ImportRun defaulted = ImportRun::OfScript(std::string("CREATE TABLE t (x REAL DEFAULT ") +
                                                  c.literal + ");");
        ASSERT_TRUE(defaulted.succeeded) << c.literal << ": " << defaulted.error;
        EXPECT_EQ(defaulted.OnlyColumn().defaultValue, c.literal);
    }
}

TEST(DdlreadScanner, UnusedCharactersAreDroppedWithoutReport)
{
    ImportRun run = ImportRun::OfScript(
        "CREATE TABLE [t] (\"a\" INT, `b` INT, \xE9#c% INT, @d! INT, _e INT, $f INT);");
    ASSERT_TRUE(run.succeeded) << run.error;
    EXPECT_EQ(ColumnNames(run),
              (std::vector<std::string>{ "t.a", "t.b", "t.c", "t.d", "t.e", "t.f" }));
    EXPECT_EQ(run.error, "");
}

TEST(DdlreadScanner, UnterminatedStringIsReportedAndScanningGoesOn)
{
    ImportRun run = ImportRun::OfScript("CREATE TABLE t (\n a INT,\n b INT 'abc\n DEFAULT 5);");
    ASSERT_TRUE(run.succeeded) << run.error;
    EXPECT_EQ(ColumnNames(run), (std::vector<std::string>{ "t.a", "t.b" }));
    EXPECT_EQ(run.tables[0].columns[1].defaultValue, "5");
    // The report stays although the import succeeds.
    EXPECT_EQ(run.error, "3: Unterminated string at 'abc\n");

    ImportRun failed = ImportRun::OfScript("CREATE TABLE t (a 'abc\n\n b INT);");
    EXPECT_FALSE(failed.succeeded);
    EXPECT_EQ(failed.error, "3: parse error at INT\n");

    // Without a newline before the end the quote is just dropped.
    ImportRun atEnd = ImportRun::OfScript("CREATE TABLE t (a INT)\n 'abc");
    EXPECT_FALSE(atEnd.succeeded);
    EXPECT_EQ(atEnd.error, "2: parse error at abc\n");
}

TEST(DdlreadScanner, LinesAreCountedInBothStates)
{
    struct Case {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        { "\n\n\nCREATE TABLE t (a INT KEY);", "4: parse error at KEY\n" },
        { "CREATE TABLE t (\n-- note\n\n a INT KEY);", "4: parse error at KEY\n" },
        { "CREATE TABLE t (a INT);\n\nCREATE TABLE u (\n\n(", "5: parse error at (\n" },
        // At the end of the input the line stands one past the last newline
        // and there is no token text.
        { "no statement here\n", "2: parse error at \n" },
        { "line\nline\nline", "3: parse error at \n" },
        { "CREATE TABLE t (a INT\n", "2: parse error at \n" },
        { "\r\n\r\nCREATE TABLE t (a INT KEY);", "3: parse error at KEY\n" },
    };
    for (const Case& c : cases) {
        ImportRun run = ImportRun::OfScript(c.script);
        EXPECT_FALSE(run.succeeded) << c.script;
        EXPECT_EQ(run.error, c.error) << c.script;
    }
}

TEST(DdlreadScanner, CarriageReturnLineFeedReadsLikeLineFeed)
{
    const std::string script =
        "CREATE TABLE a (x INT,\n y CHAR(2) DEFAULT 'q'\n)\n---\n"
        "CREATE TABLE b (z INT -- note\n);\n";
    std::string crlf;
    for (char ch : script) {
        if (ch == '\n') {
            crlf += '\r';
        }
        crlf += ch;
    }
    ImportRun plain = ImportRun::OfScript(script);
    ImportRun windows = ImportRun::OfScript(crlf);
    ASSERT_TRUE(plain.succeeded) << plain.error;
    ASSERT_TRUE(windows.succeeded) << windows.error;
    EXPECT_EQ(ColumnNames(windows), ColumnNames(plain));
    EXPECT_EQ(windows.tables[0].columns[1].defaultValue, "'q'");

    // A lone carriage return is a blank inside a statement.
    ImportRun lone = ImportRun::OfScript("CREATE TABLE t (a\rINT);");
    ASSERT_TRUE(lone.succeeded) << lone.error;
    EXPECT_EQ(lone.OnlyColumn().type, "INT");
}

TEST(DdlreadScanner, SeparatorLineEndingInCarriageReturnAcrossReadBlocks)
{
    // The input is read 8192 bytes at a time; the CR of "---\r\n" may be the
    // last byte of one read and its LF the first of the next.
    const std::string statement = "CREATE TABLE t (a INT)\n";
    for (size_t crAt = 8188; crAt <= 8196; ++crAt) {
        std::string script = statement;
        script += "--" + std::string(crAt - 3 - script.size() - 2 - 1, 'x') + "\n";
        script += "---\r\n";
        ASSERT_EQ(script.find("---\r"), crAt - 3);
        ImportRun run = ImportRun::OfScript(script);
        EXPECT_TRUE(run.succeeded) << "CR at " << crAt << ": " << run.error;
    }
}

TEST(DdlreadScanner, TokensLongerThanTheInputBuffer)
{
    const std::string longName(40000, 'n');
    const std::string longLiteral = "'" + std::string(50000, 'v') + "'";
    const std::string longComment = "--" + std::string(70000, 'c');
    ImportRun run = ImportRun::OfScript("CREATE TABLE t (" + longName + " CHAR DEFAULT " +
                                        longLiteral + " " + longComment + "\n, b INT);");
    ASSERT_TRUE(run.succeeded) << run.error;
    ASSERT_EQ(run.tables.at(0).columns.size(), 2u);
    EXPECT_EQ(run.tables[0].columns[0].name, longName.substr(0, 99));
    EXPECT_EQ(run.tables[0].columns[0].defaultValue, longLiteral.substr(0, 99));
    EXPECT_EQ(run.tables[0].columns[1].name, "b");
    EXPECT_EQ(run.unterminatedFields, 0);
}

TEST(DdlreadScanner, TokenPastTheBufferLimitFailsTheImport)
{
    // A single token of 80 MB: the scanner refuses to grow its buffer that far.
    std::string script = "CREATE TABLE t (a INT DEFAULT '";
    script.append(80u * 1024 * 1024, 'v');
    script += "');";
    ImportRun run = ImportRun::OfScript(script);
    EXPECT_FALSE(run.succeeded);
    EXPECT_NE(run.error.find("scanner input buffer overflow"), std::string::npos) << run.error;

    ImportRun next = ImportRun::OfScript("CREATE TABLE t (a INT);");
    EXPECT_TRUE(next.succeeded) << next.error;
}

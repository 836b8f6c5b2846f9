#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ImportRun.h"
#include "ddlread.h"

namespace {

ImportRun ImportBody(const std::string& body)
{
    return ImportRun::OfScript("CREATE TABLE t (" + body + ");\n");
}

std::vector<std::string> TableNames(const ImportRun& run)
{
    std::vector<std::string> names;
    for (const TableRecord& table : run.tables) {
        names.push_back(table.name);
    }
    return names;
}

struct ColumnCase {
    const char* body;
    int flags;
    const char* type;
    const char* defaultValue;
    const char* refTable;
    const char* refColumns;
    const char* check;
};

}  // namespace

TEST(DdlreadGrammar, StatementsGiveTablesWithColumnsAndConstraintsInSourceOrder)
{
    ImportRun run = ImportRun::OfScript(
        "CREATE TABLE first (a INT, UNIQUE (a), b INT, CHECK (b > 0));\n"
        "DROP TABLE x; INSERT INTO first VALUES (1);\n"
        "CREATE TABLE second (c INT, PRIMARY KEY (c));\n");
    ASSERT_TRUE(run.succeeded) << run.error;
    ASSERT_EQ(TableNames(run), (std::vector<std::string>{ "first", "second" }));
    const TableRecord& first = run.tables[0];
    ASSERT_EQ(first.columns.size(), 2u);
    EXPECT_EQ(first.columns[0].name, "a");
    EXPECT_EQ(first.columns[1].name, "b");
    ASSERT_EQ(first.constraints.size(), 2u);
    EXPECT_EQ(first.constraints[0].kind, DDL_CONSTRAINT_UNIQUE);
    EXPECT_EQ(first.constraints[1].kind, DDL_CONSTRAINT_CHECK);
    EXPECT_EQ(run.tables[1].columns.at(0).name, "c");
    EXPECT_EQ(run.error, "");
}

TEST(DdlreadGrammar, StatementEndings)
{
    struct Case {
        const char* script;
        std::vector<std::string> tables;  // empty: the import fails
    };
    const Case cases[] = {
        { "CREATE TABLE a (x INT)\n---\n", { "a" } },
        { "CREATE TABLE a (x INT)\n---", { "a" } },
        // After the first statement everything up to CREATE TABLE is skipped,
        // "---" lines included.
        { "CREATE TABLE a (x INT)\n---\nCREATE TABLE b (y INT);\n---\n", { "a", "b" } },
        { "CREATE TABLE a (x INT);\nCREATE TABLE b (y INT)\n---\n", {} },
        { "CREATE TABLE a (x INT)\n----\n", {} },
        { "CREATE TABLE a (x INT)\n--- end\n", {} },
        { "CREATE TABLE a (x INT)", {} },
        { "CREATE TABLE a (x INT);;", { "a" } },
        // A separator right after CREATE TABLE ends a table that has no name.
        { "CREATE TABLE a (x INT);\nCREATE TABLE\n---\n", { "a", "" } },
        { "", {} },
        { "create table a (x int);\n", {} },
    };
    for (const Case& c : cases) {
        ImportRun run = ImportRun::OfScript(c.script);
        EXPECT_EQ(run.succeeded, !c.tables.empty()) << c.script;
        EXPECT_EQ(TableNames(run), c.tables) << c.script;
    }
}

TEST(DdlreadGrammar, ColumnDefinitions)
{
    const ColumnCase cases[] = {
        { "x INTEGER NOT NULL UNIQUE", 5, "INTEGER", "", "", "", "" },
        { "x NUMERIC(10, 2) NOT NULL PRIMARY KEY", 3, "NUMERIC(10,2)", "", "", "", "" },
        { "x VARCHAR ( 20 )", 0, "VARCHAR(20)", "", "", "", "" },
        { "x DOUBLE PRECISION", 0, "DOUBLE PRECISION", "", "", "", "" },
        { "x", 0, "", "", "", "", "" },
        { "x INT UNIQUE PRIMARY KEY NOT NULL", 7, "INT", "", "", "", "" },
        { "x INT NOT NULL NOT NULL", 1, "INT", "", "", "", "" },
        { "x INT AUTO_INCREMENT NOT NULL", 1, "INT", "", "", "", "" },
        { "x INT UNSIGNED", 0, "INT", "", "", "", "" },
        { "x AUTO_INCREMENT", 0, "", "", "", "", "" },
        { "x CHAR DEFAULT 'x'", 0, "CHAR", "'x'", "", "", "" },
        { "x INT DEFAULT NULL", 0, "INT", "NULL", "", "", "" },
        { "x CHAR DEFAULT USER", 0, "CHAR", "USER", "", "", "" },
        { "x REAL DEFAULT 1.5e10", 0, "REAL", "1.5e10", "", "", "" },
        { "x INT DEFAULT 1 DEFAULT 2", 0, "INT", "2", "", "", "" },
        // A later option without a default keeps the earlier default...
        { "x INT DEFAULT 1 NOT NULL", 1, "INT", "1", "", "", "" },
        // ...but the reference and the check always come from the last option.
        { "x INT REFERENCES t", 0, "INT", "", "t", "", "" },
        { "x INT REFERENCES s.t (a, b)", 0, "INT", "", "s", "a b", "" },
        { "x INT REFERENCES t (a) NOT NULL", 1, "INT", "", "", "", "" },
        { "x INT NOT NULL REFERENCES t (a)", 1, "INT", "", "t", "a", "" },
        { "x INT CHECK (x > 0) NOT NULL", 1, "INT", "", "", "", "" },
        { "x INT NOT NULL CHECK (x > 0)", 1, "INT", "", "", "", "x > 0" },
        { "x INT CHECK (x > 0) REFERENCES t", 0, "INT", "", "t", "", "" },
        { "x INT DEFAULT 0 CHECK (x >= 0) UNIQUE", 4, "INT", "0", "", "", "" },
        { "x INT REFERENCES t (a) DEFAULT 3", 0, "INT", "3", "", "", "" },
    };
    for (const ColumnCase& c : cases) {
        ImportRun run = ImportBody(c.body);
        ASSERT_TRUE(run.succeeded) << c.body << ": " << run.error;
        const ColumnRecord& column = run.OnlyColumn();
        EXPECT_EQ(column.name, "x") << c.body;
        EXPECT_EQ(column.flags, c.flags) << c.body;
        EXPECT_EQ(column.type, c.type) << c.body;
        EXPECT_EQ(column.defaultValue, c.defaultValue) << c.body;
        EXPECT_EQ(column.refTable, c.refTable) << c.body;
        EXPECT_EQ(column.refColumns, c.refColumns) << c.body;
        EXPECT_EQ(column.check, c.check) << c.body;
    }
}

TEST(DdlreadGrammar, TableConstraints)
{
    struct Case {
        const char* constraint;
        ConstraintRecord expected;
    };
    const Case cases[] = {
        { "UNIQUE (a)", { DDL_CONSTRAINT_UNIQUE, "", "a", "", "" } },
        { "PRIMARY KEY (a, b)", { DDL_CONSTRAINT_PRIMARY_KEY, "", "a b", "", "" } },
        { "FOREIGN KEY (a) REFERENCES t", { DDL_CONSTRAINT_FOREIGN_KEY, "t", "a", "", "" } },
        { "FOREIGN KEY (a,b) REFERENCES s.t (c, d)",
          { DDL_CONSTRAINT_FOREIGN_KEY, "s", "a b", "c d", "" } },
        { "CHECK (a > 0 AND b < 10)", { DDL_CONSTRAINT_CHECK, "", "", "", "a > 0 AND b < 10" } },
    };
    for (const Case& c : cases) {
        ImportRun run = ImportBody(std::string("a INT, ") + c.constraint);
        ASSERT_TRUE(run.succeeded) << c.constraint << ": " << run.error;
        const ConstraintRecord& got = run.OnlyConstraint();
        EXPECT_EQ(got.kind, c.expected.kind) << c.constraint;
        EXPECT_EQ(got.refTable, c.expected.refTable) << c.constraint;
        EXPECT_EQ(got.columns, c.expected.columns) << c.constraint;
        EXPECT_EQ(got.refColumns, c.expected.refColumns) << c.constraint;
        EXPECT_EQ(got.check, c.expected.check) << c.constraint;
    }
}

TEST(DdlreadGrammar, ConditionsAreRebuiltInOneSpelling)
{
    struct Case {
        const char* condition;
        const char* check;
    };
    const Case cases[] = {
        { "a > 0 AND b < 10", "a > 0 AND b < 10" },
        { "x = 1 + 2 * 3", "x = 1+2*3" },
        { "a = (b + c) * 2 / d - e", "a = (b+c)*2/d-e" },
        { "- a <= + b", "-a <= +b" },
        { "a = 1 OR NOT b <> 2 AND c >= 3", "a = 1 OR NOT b <> 2 AND c >= 3" },
        { "((a = 1)) OR (b) = 2", "((a = 1)) OR (b) = 2" },
        { "t.a = s.b.c", "t = s" },
        { "a BETWEEN 1 AND 2", "a BETWEEN 1 AND 2" },
        { "a NOT BETWEEN b + 1 AND 9", "a NOT BETWEEN b+1 AND 9" },
        // An absent ESCAPE still gets its blank.
        { "a LIKE 'x%'", "a LIKE 'x%' " },
        { "a NOT LIKE USER ESCAPE '!'", "a NOT LIKE USER ESCAPE '!'" },
        { "a IS NULL", "a IS NULL" },
        { "a.b IS NOT NULL", "a IS NOT NULL" },
        { "a IN (1, 'x', USER, 2.5)", "a IN (1, 'x', USER, 2.5)" },
        { "a NOT IN (1)", "a NOT IN (1)" },
        { "a IN ((SELECT b FROM t))", "a IN ((SELECT  b FROM t   ))" },
        { "a NOT IN ((SELECT * FROM t))", "a NOT IN ((SELECT  * FROM t   ))" },
        { "a = ANY (SELECT b FROM t)", "a = ANY (SELECT  b FROM t   )" },
        { "a < ALL (SELECT b FROM t) OR a > SOME (SELECT c FROM u)",
          "a < ALL (SELECT  b FROM t   ) OR a > SOME (SELECT  c FROM u   )" },
        { "a = (SELECT ALL MAX(DISTINCT t.b) FROM s.t)",
          "a = (SELECT ALL MAX(DISTINCT t) FROM s   )" },
        { "EXISTS (SELECT DISTINCT a, b * 2 FROM t x, u WHERE a = 1 GROUP BY a, t.b "
          "HAVING COUNT(*) > 1)",
          "EXISTS (SELECT DISTINCT a, b*2 FROM t x, u WHERE a = 1 GROUP BY a, t "
          "HAVING COUNT(*) > 1)" },
        { "SUM(ALL a + 1) > AVG(b) AND MIN(c) = COUNT(*)",
          "SUM(ALL a+1) > AVG(b) AND MIN(c) = COUNT(*)" },
        { "a > .5E-3 AND b = 7. AND c = 1E5", "a > .5E-3 AND b = 7. AND c = 1E5" },
        { "a = USER", "a = USER" },
    };
    for (const Case& c : cases) {
        ImportRun run = ImportBody(std::string("a INT, CHECK (") + c.condition + ")");
        ASSERT_TRUE(run.succeeded) << c.condition << ": " << run.error;
        EXPECT_EQ(run.OnlyConstraint().check, c.check) << c.condition;

        ImportRun columnRun = ImportBody(std::string("a INT CHECK (") + c.condition + ")");
        ASSERT_TRUE(columnRun.succeeded) << c.condition << ": " << columnRun.error;
        EXPECT_EQ(columnRun.OnlyColumn().check, c.check) << c.condition;
    }
}

TEST(DdlreadGrammar, RejectedBodiesReportAParseErrorAtTheOffendingToken)
{
    struct Case {
        const char* body;
        const char* token;
    };
    const Case cases[] = {
        { "x INT NOT NULL AUTO_INCREMENT", "AUTO_INCREMENT" },
        { "x INT AUTO_INCREMENT UNSIGNED", "UNSIGNED" },
        { "x DOUBLE", ")" },
        { "x INT DEFAULT -1", "-" },
        { "x INT DEFAULT 'it''s'", "'s'" },
        { "KEY INT", "KEY" },
        { "USER INT", "USER" },
        { "x ALL", "ALL" },
        { "x INT ASC", "ASC" },
        { "x INT CLOSE", "CLOSE" },
        { "x INDICATOR", "INDICATOR" },
        { "x INT : 1", ":" },
        { "x VARCHAR(1E5)", "1E5" },
        { "x VARCHAR(-1)", "-" },
        { "x INT CHECK (a IN (SELECT b FROM t))", "SELECT" },
        { "x INT CHECK (a LIKE b)", "b" },
        { "x INT CHECK (a = 1", ";" },
        { "x INT CHECK (a.b.c.d = 1)", "." },
        { "x INT CHECK (a)", ")" },
        { "x INT CHECK (a = ALL b)", "b" },
        { "x INT NULL", "NULL" },
        { "x INT REFERENCES", ")" },
        { "x INT,", ")" },
        { "", ")" },
        { "PRIMARY KEY ()", ")" },
        { "FOREIGN KEY (a) REFERENCES t (", ")" },
    };
    for (const Case& c : cases) {
        ImportRun run = ImportBody(c.body);
        EXPECT_FALSE(run.succeeded) << c.body;
        EXPECT_TRUE(run.tables.empty()) << c.body;
        EXPECT_EQ(run.error, std::string("1: parse error at ") + c.token + "\n") << c.body;
    }
}

TEST(DdlreadGrammar, QualifiedTableNameKeepsItsFirstPart)
{
    ImportRun run = ImportRun::OfScript("CREATE TABLE s.t (a INT);");
    ASSERT_TRUE(run.succeeded) << run.error;
    EXPECT_EQ(TableNames(run), (std::vector<std::string>{ "s" }));
}

// The dialect readers on small scripts: what each makes of the constructs
// of its dialect, as catalog lines and as the texts a diagram shows.
#include "CatalogText.h"
#include "SchemaImport.h"

#include <gtest/gtest.h>

namespace {

struct ReaderCase {
    const char* name;
    SqlDialect dialect;
    const char* script;
    const char* catalog; // the whole catalog text
};

const SchemaColumn& ColumnOf(const ScriptImport& result, std::string_view table, std::string_view column)
{
    for (const SchemaTable& t : result.description.tables)
        if (t.name == table)
            if (const SchemaColumn* c = t.FindColumn(column))
                return *c;
    ADD_FAILURE() << "no column " << table << "." << column;
    static SchemaColumn none;
    return none;
}

const SchemaTable& TableOf(const ScriptImport& result, std::string_view table)
{
    for (const SchemaTable& t : result.description.tables)
        if (t.name == table)
            return t;
    ADD_FAILURE() << "no table " << table;
    static SchemaTable none;
    return none;
}

const ReaderCase kCases[] = {
    {"MySqlDumpShapes", SqlDialect::MySql,
     "# a comment\n/*!40101 SET NAMES utf8 */;\nDROP TABLE IF EXISTS `b`;\n"
     "CREATE TABLE `a` (`id` int unsigned NOT NULL AUTO_INCREMENT, `code` varchar(8) DEFAULT 'it\\'s',\n"
     "  `x` int, `y` int, PRIMARY KEY (`id`), UNIQUE KEY `xy` (`x`,`y`), KEY `k` (`code`(4)),\n"
     "  FULLTEXT KEY `f` (`code`)) ENGINE=InnoDB /*!50100 PARTITION BY HASH (id) */;\n"
     "DELIMITER ;;\nCREATE PROCEDURE p() BEGIN CREATE TABLE not_me (z int); END ;;\nDELIMITER ;\n"
     "CREATE TABLE `b` (`a_id` int unsigned REFERENCES `a` (`id`), `code` varchar(8) UNIQUE,\n"
     "  CONSTRAINT `fk` FOREIGN KEY (`a_id`) REFERENCES `a` (`id`) ON DELETE CASCADE);\n"
     "ALTER TABLE `b` ADD COLUMN `n` int NOT NULL, ADD CONSTRAINT `fk2` FOREIGN KEY (`n`) REFERENCES `a` (`id`);\n",
     "column\ta\t001\tid\t1\ncolumn\ta\t002\tcode\t0\ncolumn\ta\t003\tx\t0\ncolumn\ta\t004\ty\t0\n"
     "column\tb\t001\ta_id\t0\ncolumn\tb\t002\tcode\t0\ncolumn\tb\t003\tn\t1\n"
     "fk\tb\ta_id\ta\tid\nfk\tb\tn\ta\tid\npk\ta\tid\ntable\ta\ntable\tb\nunique\ta\tx,y\nunique\tb\tcode\n"},
    {"SqlServerBatches", SqlDialect::SqlServer,
     "SET ANSI_NULLS ON\nGO\nCREATE TABLE [dbo].[T One]([Id] [int] IDENTITY(1,1) NOT NULL,[Name] [nvarchar](50) NULL,\n"
     " CONSTRAINT [PK_T] PRIMARY KEY CLUSTERED ([Id] ASC) WITH (PAD_INDEX = OFF) ON [PRIMARY]) ON [PRIMARY]\nGO\n"
     "CREATE TABLE dbo.U (Id int IDENTITY, TId int, /* a /* nested */ comment */ Flag bit)\n"
     "CREATE TABLE dbo.V (Id int PRIMARY KEY NONCLUSTERED)\nGO\n"
     "ALTER TABLE [dbo].[U]  WITH CHECK ADD  CONSTRAINT [FK_U_T] FOREIGN KEY([TId]) REFERENCES [dbo].[T One] ([Id])\n"
     "GO\nALTER TABLE [dbo].[U] ADD  CONSTRAINT [DF_U_Flag]  DEFAULT ((0)) FOR [Flag]\nGO\n"
     "CREATE PROCEDURE dbo.P AS BEGIN CREATE TABLE #tmp (a int); SELECT 1; END\nGO\n",
     "column\tT One\t001\tId\t1\ncolumn\tT One\t002\tName\t0\ncolumn\tU\t001\tId\t1\ncolumn\tU\t002\tTId\t0\n"
     "column\tU\t003\tFlag\t0\ncolumn\tV\t001\tId\t1\nfk\tU\tTId\tT One\tId\npk\tT One\tId\npk\tV\tId\n"
     "table\tT One\ntable\tU\ntable\tV\n"},
    {"OracleFoldsUnquotedNames", SqlDialect::Oracle,
     "PROMPT creating tables\nSET DEFINE OFF\nCREATE TABLE dept (deptno NUMBER(2) CONSTRAINT pk_dept PRIMARY KEY,\n"
     "  dname VARCHAR2(14) NOT NULL ENABLE, \"MixedCase\" DATE DEFAULT SYSDATE);\n"
     "CREATE OR REPLACE TRIGGER trg BEFORE INSERT ON dept FOR EACH ROW\nBEGIN\n  INSERT INTO x VALUES (1);\n"
     "  CREATE_TABLE_LIKE := 1;\nEND;\n/\nCREATE TABLE emp (empno NUMBER(4) NOT NULL, deptno NUMBER(2));\n"
     "ALTER TABLE emp ADD (CONSTRAINT pk_emp PRIMARY KEY (empno), CONSTRAINT fk_deptno FOREIGN KEY (deptno)\n"
     "  REFERENCES dept (deptno) ENABLE);\nCOMMENT ON COLUMN emp.empno IS 'Employee number';\nexit;\n",
     "column\tDEPT\t001\tDEPTNO\t1\ncolumn\tDEPT\t002\tDNAME\t1\ncolumn\tDEPT\t003\tMixedCase\t0\n"
     "column\tEMP\t001\tEMPNO\t1\ncolumn\tEMP\t002\tDEPTNO\t0\nfk\tEMP\tDEPTNO\tDEPT\tDEPTNO\npk\tDEPT\tDEPTNO\n"
     "pk\tEMP\tEMPNO\ntable\tDEPT\ntable\tEMP\n"},
    {"Db2TerminatorAndIdentity", SqlDialect::Db2,
     "--#SET TERMINATOR @\nCREATE TABLE org (id INTEGER GENERATED ALWAYS AS IDENTITY (START WITH 1),\n"
     "  tag CHAR(16) FOR BIT DATA WITH DEFAULT, PRIMARY KEY (id))@\n"
     "CREATE PROCEDURE p() BEGIN ATOMIC DECLARE x INT; SET x = 1; END@\n"
     "CREATE TABLE \"Dept\" (org_id INTEGER REFERENCES org)@\n",
     "column\tDept\t001\tORG_ID\t0\ncolumn\tORG\t001\tID\t1\ncolumn\tORG\t002\tTAG\t0\n"
     "fk\tDept\tORG_ID\tORG\tID\npk\tORG\tID\ntable\tDept\ntable\tORG\n"},
    {"PostgreSqlInheritanceAndPartitions", SqlDialect::PostgreSql,
     "\\connect shop\nCREATE TABLE base (id serial PRIMARY KEY, note text);\n"
     "CREATE TABLE child (extra int, note text NOT NULL) INHERITS (base);\n"
     "CREATE TABLE m (k int, d date, PRIMARY KEY (k, d)) PARTITION BY RANGE (d);\n"
     "CREATE TABLE m1 PARTITION OF m FOR VALUES FROM ('2020-01-01') TO ('2021-01-01');\n"
     "CREATE TABLE m2 (k int NOT NULL, d date NOT NULL);\n"
     "ALTER TABLE ONLY m ATTACH PARTITION m2 FOR VALUES FROM ('2021-01-01') TO ('2022-01-01');\n"
     "CREATE FUNCTION f() RETURNS void LANGUAGE sql AS $body$ CREATE TABLE not_me (a int); $body$;\n"
     "COPY base (id, note) FROM stdin;\n1\tCREATE TABLE not_me_either (a int);\n\\.\n"
     "CREATE TABLE copy_of AS SELECT * FROM base;\n",
     "column\tbase\t001\tid\t1\ncolumn\tbase\t002\tnote\t0\ncolumn\tchild\t001\tid\t1\ncolumn\tchild\t002\tnote\t1\n"
     "column\tchild\t003\textra\t0\ncolumn\tm\t001\tk\t1\ncolumn\tm\t002\td\t1\ncolumn\tm1\t001\tk\t1\n"
     "column\tm1\t002\td\t1\ncolumn\tm2\t001\tk\t1\ncolumn\tm2\t002\td\t1\npk\tbase\tid\npk\tm\tk,d\npk\tm1\tk,d\n"
     "pk\tm2\tk,d\ntable\tbase\ntable\tchild\ntable\tm\ntable\tm1\ntable\tm2\n"},
    {"SqliteThroughTheEngine", SqlDialect::Sqlite,
     "PRAGMA foreign_keys = ON;\nBEGIN TRANSACTION;\nCREATE TABLE [a] (id INTEGER PRIMARY KEY AUTOINCREMENT, x, y,\n"
     "  UNIQUE (x, y));\nCREATE TABLE \"b\" (a_id INTEGER NOT NULL REFERENCES a, z TEXT UNIQUE);\n"
     "CREATE TRIGGER t AFTER INSERT ON a BEGIN INSERT INTO b VALUES (new.id, 'x'); END;\n"
     "INSERT INTO a VALUES (1, 2, 3);\nCREATE TEMP TABLE scratch (q);\nDROP TABLE IF EXISTS gone;\nCOMMIT;\n",
     "column\ta\t001\tid\t0\ncolumn\ta\t002\tx\t0\ncolumn\ta\t003\ty\t0\ncolumn\tb\t001\ta_id\t1\n"
     "column\tb\t002\tz\t0\nfk\tb\ta_id\ta\tid\npk\ta\tid\ntable\ta\ntable\tb\nunique\ta\tx,y\nunique\tb\tz\n"},
};

class SchemaReaderTest : public ::testing::TestWithParam<ReaderCase> {};

} // namespace

TEST_P(SchemaReaderTest, ReadsTheDialectsConstructs)
{
    const ReaderCase& c = GetParam();
    const ScriptImport result = ReadSchemaText(c.script, c.dialect);
    EXPECT_EQ(CatalogText(result.description), c.catalog);
    for (const StatementTally& t : result.report.unreadable)
        if (std::string(c.name) != "PostgreSqlInheritanceAndPartitions")
            ADD_FAILURE() << "unreadable " << t.kind << " at " << t.firstLines.front() << ": " << t.firstReason;
}

INSTANTIATE_TEST_SUITE_P(Dialects, SchemaReaderTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SchemaReader, KeepsTypesDefaultsChecksAndCommentsAsWritten)
{
    const ScriptImport pg = ReadSchemaText(
        "CREATE TABLE public.t (id integer DEFAULT nextval('public.t_id_seq'::regclass) NOT NULL,\n"
        "  at timestamp with time zone DEFAULT now(), qty numeric(10,2) CHECK ((qty >= 0)),\n"
        "  tags text[], CONSTRAINT t_check CHECK (id > 0));\n"
        "COMMENT ON TABLE public.t IS 'Things';\nCOMMENT ON COLUMN public.t.qty IS E'How many\\nthings';\n",
        SqlDialect::PostgreSql);
    ASSERT_TRUE(pg.ok);
    EXPECT_EQ(ColumnOf(pg, "t", "id").defaultValue, "nextval('public.t_id_seq'::regclass)");
    EXPECT_EQ(ColumnOf(pg, "t", "at").type, "timestamp with time zone");
    EXPECT_EQ(ColumnOf(pg, "t", "at").defaultValue, "now()");
    EXPECT_EQ(ColumnOf(pg, "t", "qty").type, "numeric(10,2)");
    EXPECT_EQ(ColumnOf(pg, "t", "qty").check, "(qty >= 0)");
    EXPECT_EQ(ColumnOf(pg, "t", "qty").comment, "How many\nthings");
    EXPECT_EQ(ColumnOf(pg, "t", "tags").type, "text[]");
    EXPECT_EQ(TableOf(pg, "t").checks, std::vector<std::string>{"id > 0"});
    EXPECT_EQ(TableOf(pg, "t").comment, "Things");
    EXPECT_EQ(TableOf(pg, "t").schema, "public");

    const ScriptImport my = ReadSchemaText(
        "CREATE TABLE `t` (`n` int(10) unsigned zerofill NOT NULL DEFAULT '0' COMMENT 'a \\'number\\'',\n"
        "  `at` timestamp NOT NULL DEFAULT CURRENT_TIMESTAMP ON UPDATE CURRENT_TIMESTAMP,\n"
        "  `s` varchar(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT NULL) COMMENT='Table t';\n",
        SqlDialect::MySql);
    ASSERT_TRUE(my.ok);
    EXPECT_EQ(ColumnOf(my, "t", "n").type, "int(10) unsigned zerofill");
    EXPECT_EQ(ColumnOf(my, "t", "n").defaultValue, "'0'");
    EXPECT_EQ(ColumnOf(my, "t", "n").comment, "a 'number'");
    EXPECT_EQ(ColumnOf(my, "t", "at").defaultValue, "CURRENT_TIMESTAMP");
    EXPECT_EQ(ColumnOf(my, "t", "s").type, "varchar(20)");
    EXPECT_EQ(ColumnOf(my, "t", "s").defaultValue, "NULL");
    EXPECT_EQ(TableOf(my, "t").comment, "Table t");

    const ScriptImport ss = ReadSchemaText(
        "CREATE TABLE [dbo].[T] ([Id] int NOT NULL, [Amount] decimal(9, 2) NULL CHECK ([Amount] > (0)))\nGO\n"
        "EXEC sys.sp_addextendedproperty @name=N'MS_Description', @value=N'The amount', @level0type=N'SCHEMA',"
        " @level0name=N'dbo', @level1type=N'TABLE', @level1name=N'T', @level2type=N'COLUMN', @level2name=N'Amount'\n"
        "GO\n",
        SqlDialect::SqlServer);
    ASSERT_TRUE(ss.ok);
    EXPECT_EQ(ColumnOf(ss, "T", "Amount").type, "decimal(9, 2)");
    EXPECT_EQ(ColumnOf(ss, "T", "Amount").check, "[Amount] > (0)");
    EXPECT_EQ(ColumnOf(ss, "T", "Amount").comment, "The amount");

    const ScriptImport lite = ReadSchemaText(
        "CREATE TABLE t (a NVARCHAR(160) DEFAULT 'x' CHECK (length(a) > 1), b, CHECK (b <> a));", SqlDialect::Sqlite);
    ASSERT_TRUE(lite.ok);
    EXPECT_EQ(ColumnOf(lite, "t", "a").type, "NVARCHAR(160)");
    EXPECT_EQ(ColumnOf(lite, "t", "a").defaultValue, "'x'");
    EXPECT_EQ(ColumnOf(lite, "t", "a").check, "length(a) > 1");
    EXPECT_EQ(TableOf(lite, "t").checks, std::vector<std::string>{"b <> a"});
}

TEST(SchemaReader, AStatementThatCannotBeReadIsReportedWithItsLineAndTheRestIsRead)
{
    struct Case {
        SqlDialect dialect;
        const char* script;
        int line;
    };
    const Case cases[] = {
        {SqlDialect::MySql, "CREATE TABLE a (x int);\n\nCREATE TABLE b (x int,, y int);\nCREATE TABLE c (x int);\n", 3},
        {SqlDialect::SqlServer, "CREATE TABLE a (x int)\nGO\nCREATE TABLE b (x int\nGO\nCREATE TABLE c (x int)\nGO\n", 3},
        {SqlDialect::Oracle, "CREATE TABLE a (x NUMBER);\nALTER TABLE nowhere ADD (y NUMBER);\nCREATE TABLE c (x NUMBER);\n",
         2},
        {SqlDialect::Db2, "CREATE TABLE a (x INT);\nCREATE TABLE a (y INT);\nCREATE TABLE c (x INT);\n", 2},
        {SqlDialect::PostgreSql, "CREATE TABLE a (x int);\nCREATE TABLE b (x int REFERENCES);\nCREATE TABLE c (x int);\n",
         2},
        {SqlDialect::Sqlite, "CREATE TABLE a (x);\nCREATE TABLE b (x,);\nCREATE TABLE c (x);\n", 2},
    };
    for (const Case& c : cases) {
        const ScriptImport result = ReadSchemaText(c.script, c.dialect);
        EXPECT_EQ(result.description.tables.size(), 2u) << DialectKeyword(c.dialect);
        ASSERT_EQ(result.report.UnreadableCount(), 1) << DialectKeyword(c.dialect);
        EXPECT_EQ(result.report.unreadable.front().firstLines.front(), c.line) << DialectKeyword(c.dialect);
        EXPECT_FALSE(result.report.unreadable.front().firstReason.empty());
    }
}

TEST(SchemaReader, OtherStatementsAreCountedByKindWithTheirFirstLines)
{
    std::string script = "CREATE TABLE t (a int);\n";
    for (int i = 0; i < 8; ++i)
        script += "INSERT INTO t VALUES (" + std::to_string(i) + ");\n";
    script += "CREATE VIEW v AS SELECT a FROM t;\n";
    for (SqlDialect dialect : {SqlDialect::PostgreSql, SqlDialect::MySql, SqlDialect::Sqlite, SqlDialect::SqlServer,
                               SqlDialect::Oracle, SqlDialect::Db2}) {
        const ScriptImport result = ReadSchemaText(script, dialect);
        ASSERT_EQ(result.report.skipped.size(), 2u) << DialectKeyword(dialect);
        EXPECT_EQ(result.report.skipped[0].kind, "INSERT");
        EXPECT_EQ(result.report.skipped[0].count, 8);
        EXPECT_EQ(result.report.skipped[0].firstLines, (std::vector<int>{2, 3, 4, 5, 6}));
        EXPECT_EQ(result.report.skipped[1].kind, "CREATE VIEW");
        EXPECT_EQ(result.report.skipped[1].firstLines, std::vector<int>{10});
        EXPECT_EQ(result.description.tables.size(), 1u);
    }
}

TEST(SchemaReader, PostgreSqlStatementTheParserRejectsFallsBackAlone)
{
    // VIRTUAL generated columns are newer than this parser; the statement
    // is read by the tolerant reader and the later key still finds it.
    const ScriptImport result = ReadSchemaText(
        "CREATE TABLE a (id int NOT NULL, h numeric GENERATED ALWAYS AS (id / 2.0) VIRTUAL);\n"
        "CREATE TABLE b (a_id int);\n"
        "ALTER TABLE ONLY a ADD CONSTRAINT a_pkey PRIMARY KEY (id);\n"
        "ALTER TABLE ONLY b ADD CONSTRAINT b_fk FOREIGN KEY (a_id) REFERENCES a(id);\n",
        SqlDialect::PostgreSql);
    EXPECT_EQ(CatalogText(result.description),
              "column\ta\t001\tid\t1\ncolumn\ta\t002\th\t0\ncolumn\tb\t001\ta_id\t0\nfk\tb\ta_id\ta\tid\n"
              "pk\ta\tid\ntable\ta\ntable\tb\n");
    EXPECT_EQ(result.report.UnreadableCount(), 0);
}

TEST(SchemaReader, DetectsTheDialectFromClearCues)
{
    struct Case {
        const char* script;
        SqlDialect dialect;
    };
    const Case cases[] = {
        {"-- PostgreSQL database dump\nCREATE TABLE public.t (id integer DEFAULT nextval('s'::regclass));", SqlDialect::PostgreSql},
        {"CREATE TABLE `t` (`id` int AUTO_INCREMENT) ENGINE=InnoDB;", SqlDialect::MySql},
        {"CREATE TABLE [dbo].[t] ([id] int IDENTITY(1,1))\nGO\n", SqlDialect::SqlServer},
        {"CREATE TABLE t (id NUMBER(10), name VARCHAR2(20));", SqlDialect::Oracle},
        {"--#SET TERMINATOR @\nCREATE TABLE t (id INTEGER)@", SqlDialect::Db2},
        {"CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT) WITHOUT ROWID;", SqlDialect::Sqlite},
        {"create table t (id int);", SqlDialect::Sqlite},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DetectDialect(c.script), c.dialect) << c.script;
}

// What the command line asks for, including the mistakes it reports.
#include "CCommandLine.h"

#include <gtest/gtest.h>

using Verb = CCommandLine::Verb;

TEST(CCommandLine, VerbsAndTheirArguments)
{
    const struct {
        QStringList arguments;
        Verb verb;
        const char* file;
        const char* output;
        int dpi;
    } table[] = {
        {{}, Verb::Open, "", "", 96},
        {{"a.erd"}, Verb::Open, "a.erd", "", 96},
        {{"--", "-odd.erd"}, Verb::Open, "-odd.erd", "", 96},
        {{"-"}, Verb::Open, "-", "", 96},
        {{"-p", "a.erd"}, Verb::Print, "a.erd", "", 96},
        {{"--print", "a.erd"}, Verb::Print, "a.erd", "", 96},
        {{"--print=a b.erd"}, Verb::Print, "a b.erd", "", 96},
        {{"--render", "a.erd", "a.png"}, Verb::Render, "a.erd", "a.png", 96},
        {{"a.erd", "--render", "a.png", "--dpi", "300"}, Verb::Render, "a.erd", "a.png", 300},
        {{"--render", "--dpi=72", "a.erd", "a.png"}, Verb::Render, "a.erd", "a.png", 72},
        {{"--export-sql", "a.erd", "a.sql"}, Verb::ExportSql, "a.erd", "a.sql", 96},
        {{"--import-sql", "s.sql", "-o", "out.erd"}, Verb::ImportSql, "s.sql", "out.erd", 96},
        {{"--output=out.erd", "--import-sql", "s.sql", "--into", "in.erd"}, Verb::ImportSql, "s.sql", "out.erd", 96},
        {{"--import-db", "chinook.sqlite", "-o", "out.erd"}, Verb::ImportDb, "chinook.sqlite", "out.erd", 96},
        {{"--check", "a.erd"}, Verb::Check, "a.erd", "", 96},
        {{"--arrange", "a.erd", "-o", "b.erd"}, Verb::Arrange, "a.erd", "b.erd", 96},
        {{"--help"}, Verb::Help, "", "", 96},
        {{"-h", "--bogus"}, Verb::Help, "", "", 96},
        {{"--version"}, Verb::Version, "", "", 96},
        {{"-platform", "offscreen", "-v"}, Verb::Version, "", "", 96},
    };
    for (const auto& row : table) {
        const CCommandLine line = CCommandLine::Parse(row.arguments);
        const std::string args = row.arguments.join(' ').toStdString();
        EXPECT_EQ(line.m_verb, row.verb) << args << ": " << line.m_strError.toStdString();
        EXPECT_EQ(line.m_strFile, QString::fromLatin1(row.file)) << args;
        EXPECT_EQ(line.m_strOutput, QString::fromLatin1(row.output)) << args;
        EXPECT_EQ(line.m_nDpi, row.dpi) << args;
    }
}

TEST(CCommandLine, MistakesAreNamed)
{
    const struct {
        QStringList arguments;
        const char* error;
    } table[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-p"}, "option '-p' needs a value"},
        {{"a.erd", "b.erd"}, "unexpected argument 'b.erd'"},
        {{"-p", "a.erd", "b.erd"}, "unexpected argument 'b.erd'"},
        {{"--render", "a.erd"}, "--render wants a diagram and an output image"},
        {{"--render", "a.erd", "b.png", "c"}, "--render wants a diagram and an output image"},
        {{"--render", "a.erd", "b.png", "--dpi", "0"}, "--dpi wants a whole number from 1 to 2400, not '0'"},
        {{"--render", "a.erd", "b.png", "--dpi", "96x"}, "--dpi wants a whole number from 1 to 2400, not '96x'"},
        {{"--render", "a.erd", "b.png", "--dpi", "99999"},
         "--dpi wants a whole number from 1 to 2400, not '99999'"},
        {{"a.erd", "--dpi", "100"}, "--dpi belongs to --render"},
        {{"-p", "a.erd", "--render", "a.erd", "b.png"}, "--print and --render cannot be combined"},
        {{"--export-sql", "a.erd"}, "--export-sql wants a diagram and an output script"},
        {{"--import-sql", "s.sql"}, "--import-sql wants -o OUT.erd"},
        {{"--import-sql", "s.sql", "t.sql", "-o", "x.erd"}, "--import-sql wants one SQL script"},
        {{"a.erd", "--into", "b.erd"}, "--into belongs to --import-sql and --import-db"},
        {{"--arrange", "a.erd", "--into", "b.erd", "-o", "c"}, "--into belongs to --import-sql and --import-db"},
        {{"--render", "a.erd", "b.png", "-o", "c"}, "-o belongs to --import-sql, --import-db and --arrange"},
        {{"--check", "a.erd", "-o", "c"}, "-o belongs to --import-sql, --import-db and --arrange"},
        {{"--import-sql", "s.sql", "-o", "o.erd", "--dialect", "cobol"},
         "--dialect wants auto, korvo, postgresql, mysql, mariadb, sqlite, sqlserver, oracle or db2, not 'cobol'"},
        {{"--render", "a.erd", "b.png", "--dialect", "korvo"},
         "--dialect belongs to --import-sql, --export-sql and --check"},
        {{"--import-db", "x.db", "--dialect", "sqlite", "-o", "o.erd"},
         "--dialect belongs to --import-sql, --export-sql and --check"},
        {{"--export-sql", "a.erd", "a.sql", "--dialect", "oracle"},
         "--export-sql knows the dialects korvo, postgresql, mysql, mariadb, sqlite and sqlserver, not 'oracle'"},
        {{"--check", "a.erd", "--dialect=auto"},
         "--check knows the dialects korvo, postgresql, mysql, mariadb, sqlite and sqlserver, not 'auto'"},
        {{"--check", "a.erd", "--schema", "s"}, "--schema belongs to --import-db"},
        {{"--check"}, "--check wants one diagram"},
        {{"--check", "a.erd", "b.erd"}, "--check wants one diagram"},
        {{"--check", "a.erd", "--arrange"}, "--check and --arrange cannot be combined"},
        {{"--arrange", "a.erd"}, "--arrange wants -o OUT.erd"},
        {{"--arrange", "-o", "b.erd"}, "--arrange wants one diagram"},
        {{"--import-db", "x.db"}, "--import-db wants -o OUT.erd"},
        {{"--import-db", "--schema"}, "option '--schema' needs a value"},
        // Never the SOURCE, which may hold a password.
        {{"--import-db", "postgresql://me:secret@h/db", "y", "-o", "o.erd"}, "--import-db wants one SOURCE"},
        {{"--export-sql", "a.erd", "a.sql", "--import-sql"}, "--export-sql and --import-sql cannot be combined"},
        {{"--render", "a.erd", "-", "--format", "bmp"}, "--format wants png, svg or pdf, not 'bmp'"},
        {{"--export-sql", "a.erd", "-", "--format=svg"}, "--format belongs to --render"},
        {{"--render", "a.erd", "-", "--format"}, "option '--format' needs a value"},
    };
    for (const auto& row : table) {
        const CCommandLine line = CCommandLine::Parse(row.arguments);
        EXPECT_EQ(line.m_verb, Verb::Error) << row.arguments.join(' ').toStdString();
        EXPECT_EQ(line.m_strError, QString::fromLatin1(row.error)) << row.arguments.join(' ').toStdString();
    }
}

TEST(CCommandLine, RenderTakesAFormatAndStandardOutput)
{
    const struct {
        QStringList arguments;
        const char* output;
        const char* format;
    } table[] = {
        {{"--render", "a.erd", "-"}, "-", ""},
        {{"--render", "a.erd", "-", "--format", "SVG"}, "-", "svg"},
        {{"--render", "--format=pdf", "a.erd", "pipe"}, "pipe", "pdf"},
        {{"--export-sql", "a.erd", "-"}, "-", ""},
    };
    for (const auto& row : table) {
        const CCommandLine line = CCommandLine::Parse(row.arguments);
        const std::string args = row.arguments.join(' ').toStdString();
        EXPECT_NE(line.m_verb, Verb::Error) << args << ": " << line.m_strError.toStdString();
        EXPECT_EQ(line.m_strOutput, QString::fromLatin1(row.output)) << args;
        EXPECT_EQ(line.m_strFormat, QString::fromLatin1(row.format)) << args;
    }
}

TEST(CCommandLine, DialectsAndSchemas)
{
    const struct {
        QStringList arguments;
        std::optional<SqlDialect> dialect;
        QStringList schemas;
    } table[] = {
        {{"--import-sql", "s.sql", "-o", "o.erd"}, std::nullopt, {}},
        {{"--import-sql", "s.sql", "--dialect", "MariaDB", "-o", "o.erd"}, SqlDialect::MySql, {}},
        {{"--import-sql", "s.sql", "--dialect=db2", "-o", "o.erd"}, SqlDialect::Db2, {}},
        {{"--export-sql", "a.erd", "-", "--dialect", "postgresql"}, SqlDialect::PostgreSql, {}},
        {{"--check", "a.erd", "--dialect", "sqlserver"}, SqlDialect::SqlServer, {}},
        {{"--check", "a.erd", "--dialect", "korvo"}, SqlDialect::Korvo, {}},
        {{"--import-db", "mysql://u@h/db", "--schema", "a", "--schema=b c", "-o", "o.erd", "--into", "i.erd"},
         std::nullopt, {"a", "b c"}},
    };
    for (const auto& row : table) {
        const CCommandLine line = CCommandLine::Parse(row.arguments);
        const std::string args = row.arguments.join(' ').toStdString();
        EXPECT_NE(line.m_verb, Verb::Error) << args << ": " << line.m_strError.toStdString();
        EXPECT_EQ(line.m_dialect, row.dialect) << args;
        EXPECT_EQ(line.m_schemas, row.schemas) << args;
    }
}

TEST(CCommandLine, BatchVerbsAreRecognisedBeforeParsing)
{
    for (const char* verb : {"--import-db", "--check", "--arrange", "--import-sql", "--export-sql"})
        EXPECT_TRUE(CCommandLine::WantsBatch({QString::fromLatin1(verb), "x"})) << verb;
    EXPECT_TRUE(CCommandLine::WantsBatch({"-p", "x"}));
    EXPECT_TRUE(CCommandLine::WantsBatch({"x", "--print=y"}));
    EXPECT_TRUE(CCommandLine::WantsBatch({"-style", "fusion", "--render", "a", "b"}));
    EXPECT_FALSE(CCommandLine::WantsBatch({"a.erd"}));
    EXPECT_FALSE(CCommandLine::WantsBatch({"--", "--render"}));
}

TEST(CCommandLine, TypesBelongToRender)
{
    EXPECT_FALSE(CCommandLine::Parse({"--render", "a.erd", "a.png"}).m_bColumnTypes);
    const CCommandLine types = CCommandLine::Parse({"--render", "a.erd", "--types", "a.png"});
    EXPECT_EQ(types.m_verb, Verb::Render) << types.m_strError.toStdString();
    EXPECT_TRUE(types.m_bColumnTypes);
    EXPECT_EQ(types.m_strOutput, QStringLiteral("a.png"));
    for (const QStringList& wrong : {QStringList{"a.erd", "--types"}, QStringList{"--export-sql", "a.erd", "-", "--types"},
                                     QStringList{"-p", "a.erd", "--types"}}) {
        const CCommandLine line = CCommandLine::Parse(wrong);
        EXPECT_EQ(line.m_verb, Verb::Error) << wrong.join(' ').toStdString();
        EXPECT_EQ(line.m_strError, QStringLiteral("--types belongs to --render")) << wrong.join(' ').toStdString();
    }
    EXPECT_TRUE(CCommandLine::HelpText().contains(QStringLiteral("--types")));
}

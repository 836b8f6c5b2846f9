// Words of a script that ddlread reads without some of their characters:
// found where its scanner passes bytes over, and nowhere else.
#include "SqlNameLoss.h"

#include <QTemporaryDir>

#include <fstream>

#include <gtest/gtest.h>

namespace {

struct Word {
    int line;
    std::string written;
    std::string kept;
};

std::vector<Word> Words(const SqlNameLosses& losses)
{
    std::vector<Word> words;
    for (const SqlNameLoss& loss : losses.words)
        words.push_back({loss.line, loss.written, loss.kept});
    return words;
}

bool operator==(const Word& a, const Word& b)
{
    return a.line == b.line && a.written == b.written && a.kept == b.kept;
}

void PrintTo(const Word& w, std::ostream* os)
{
    *os << w.line << ":" << w.written << "->" << w.kept;
}

TEST(SqlNameLoss, FindsWordsThatLoseCharactersInsideStatementBodies)
{
    struct Case {
        const char* what;
        std::string script;
        std::vector<Word> words;
    };
    const std::vector<Case> cases = {
        {"table name", "CREATE TABLE caf\xC3\xA9 (id INT);", {{1, "caf\xC3\xA9", "caf"}}},
        {"CJK column on line 2", "CREATE TABLE t (\n\xE9\xA1\xA7\xE5\xAE\xA2 INT, id INT);",
         {{2, "\xE9\xA1\xA7\xE5\xAE\xA2", ""}}},
        {"latin-1 script", "CREATE TABLE Gr\xFC\xDF" "e (a INT);", {{1, "Gr\xC3\xBC\xC3\x9F" "e", "Gre"}}},
        {"several, in order", "CREATE TABLE \xCE\xA9x (a\xCC\x81 INT, b INT REFERENCES \xCE\xA9x (a\xCC\x81));",
         {{1, "\xCE\xA9x", "x"}, {1, "a\xCC\x81", "a"}, {1, "\xCE\xA9x", "x"}, {1, "a\xCC\x81", "a"}}},
        {"string literals keep theirs", "CREATE TABLE t (a CHAR(2) DEFAULT 'caf\xC3\xA9' CHECK (a <> '\xCE\xA9'));", {}},
        {"comments keep theirs", "CREATE TABLE t ( -- caf\xC3\xA9\n a INT);", {}},
        {"outside statements nothing is read", "-- caf\xC3\xA9\nINSERT INTO caf\xC3\xA9 VALUES (1);\n"
                                               "CREATE TABLE t (a INT);\nDROP TABLE \xCE\xA9;",
         {}},
        {"a statement ends at its separator line", "CREATE TABLE t (a INT)\n---\n\xCE\xA9 text\n", {}},
        {"a longer dash line is a comment", "CREATE TABLE t (a INT ----\n\xCE\xA9 INT);", {{2, "\xCE\xA9", ""}}},
        {"an unterminated literal ends at its line", "CREATE TABLE t (a INT 'x\n b\xCE\xA9 INT);",
         {{2, "b\xCE\xA9", "b"}}},
        {"CREATE TABLE found after other letters", "XCREATE \t TABLE \xCE\xA9 (a INT);", {{1, "\xCE\xA9", ""}}},
        {"blanks are needed between the words", "CREATETABLE \xCE\xA9 (a INT);", {}},
        {"invalid bytes read as Latin-1", "CREATE TABLE t (a\xFF\xFE INT);", {{1, "a\xC3\xBF\xC3\xBE", "a"}}},
        {"ascii script", "CREATE TABLE t (a INT, \"b\" INT, [c] INT);", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SqlNameLosses losses = FindSqlNameLosses(c.script);
        EXPECT_EQ(Words(losses), c.words);
        EXPECT_EQ(losses.count, c.words.size());

        // Fed a byte at a time, the scanner finds the same words.
        CSqlNameLossScanner scanner;
        for (char ch : c.script)
            scanner.Feed(std::string_view(&ch, 1));
        EXPECT_EQ(Words(scanner.Finish()), c.words);
    }
}

TEST(SqlNameLoss, LongListsAreCountedAndTheTextStaysShort)
{
    std::string script = "CREATE TABLE t (";
    for (int i = 0; i < 250; ++i)
        script += "c" + std::to_string(i) + "\xC3\xA9 INT, ";
    script += "x INT);";
    const SqlNameLosses losses = FindSqlNameLosses(script);
    EXPECT_EQ(losses.count, 250u);
    EXPECT_EQ(losses.words.size(), SqlNameLosses::kMaxListed);

    const std::string text = DescribeSqlNameLosses(losses);
    EXPECT_NE(text.find("c0\xC3\xA9 became c0 (line 1); c1\xC3\xA9 became c1 (line 1)"), std::string::npos) << text;
    EXPECT_NE(text.find("; and 240 more."), std::string::npos) << text;
    EXPECT_EQ(text.find('\n'), std::string::npos);

    const std::string dropped = DescribeSqlNameLosses(FindSqlNameLosses("CREATE TABLE t (\n\xCE\xA9 INT);"));
    EXPECT_NE(dropped.find("\xCE\xA9 was dropped (line 2)."), std::string::npos) << dropped;
}

TEST(SqlNameLoss, ReadsFilesInPiecesAndNothingFromAMissingFile)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("big.sql").toStdString();
    {
        std::ofstream out(path, std::ios::binary);
        out << "CREATE TABLE t (a INT);\n" << std::string(200000, ' ') << "CREATE TABLE caf\xC3\xA9 (a INT);\n";
    }
    EXPECT_EQ(Words(FindSqlNameLossesInFile(path)), (std::vector<Word>{{2, "caf\xC3\xA9", "caf"}}));
    EXPECT_TRUE(FindSqlNameLossesInFile(dir.filePath("missing.sql").toStdString()).Empty());
}

} // namespace

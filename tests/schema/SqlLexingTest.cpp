// The lexical rules of each dialect, and the JSON reader behind the
// PostgreSQL parse trees.
#include "CJsonDocument.h"
#include "CSqlTokenizer.h"

#include <gtest/gtest.h>

namespace {

// Tokens as "kind:text" with line numbers where they are not 1.
std::string Tokens(std::string_view script, SqlDialect dialect)
{
    static const char* const kKinds[] = {"end", "w", "q", "s", "n", "y", "d", "c"};
    CSqlTokenizer tokens(script, dialect);
    std::string out;
    for (SqlToken t = tokens.Next(); t.kind != SqlTokenKind::End; t = tokens.Next()) {
        out += (out.empty() ? "" : " ") + std::string(kKinds[int(t.kind)]) + ":" +
               std::string(t.kind == SqlTokenKind::QuotedName ? CSqlTokenizer::NameText(t)
                           : t.kind == SqlTokenKind::String   ? tokens.StringValue(t)
                                                              : std::string(t.text));
        if (t.line != 1)
            out += "@" + std::to_string(t.line);
        if (t.unterminated)
            out += "!";
    }
    return out;
}

struct LexCase {
    SqlDialect dialect;
    const char* script;
    const char* tokens;
};

} // namespace

TEST(SqlLexing, EachDialectsQuotesCommentsAndStatementEnds)
{
    const LexCase cases[] = {
        {SqlDialect::MySql, "`a``b` \"it\\\"s\" 'x\\'y' # note\n--x\n-- c\n/*!40101 SET */;",
         "q:a`b s:it\"s s:x'y y:-@2 y:-@2 w:x@2 w:SET@4 d:;@4"},
        {SqlDialect::MySql, "DELIMITER $$\nCREATE x; y$$\nDELIMITER ;\nz;",
         "c:DELIMITER $$ w:CREATE@2 w:x@2 y:;@2 w:y@2 d:$$@2 c:DELIMITER ;@3 w:z@4 d:;@4"},
        {SqlDialect::PostgreSql, "E'a\\'b' $t$ x $$ y $t$ \"Q\"\"q\" /* a /* b */ c */ d\n\\connect db\n$1",
         "s:a'b s: x $$ y  q:Q\"q w:d c:\\connect db@2 y:$@3 n:1@3"},
        {SqlDialect::SqlServer, "[a]]b] N'x' #t @v\ngo\nGO 2\nselect 1 -- go\n",
         "q:a]b s:x w:#t w:@v d:go@2 d:GO 2@3 w:select@4 n:1@4"},
        {SqlDialect::Oracle, "PROMPT hi; there\nx#1 \"Mixed\"\n/\nBEGIN NULL; END;",
         "c:PROMPT hi; there w:x#1@2 q:Mixed@2 d:/@3 w:BEGIN@4 w:NULL@4 d:;@4 w:END@4 d:;@4"},
        {SqlDialect::Db2, "--#SET TERMINATOR @\nEND@ a;b@",
         "w:END@2 d:@@2 w:a@2 y:;@2 w:b@2 d:@@2"},
        {SqlDialect::Sqlite, "[x y] `z` 'a''b' 1.5e3 .5 0x1F",
         "q:x y q:z s:a'b n:1.5e3 n:.5 n:0x1F"},
        {SqlDialect::PostgreSql, "'open\nstill", "s:open\nstill!"},
        {SqlDialect::MySql, "\xEF\xBB\xBFx /* open", "w:x"},
    };
    for (const LexCase& c : cases)
        EXPECT_EQ(Tokens(c.script, c.dialect), c.tokens) << DialectKeyword(c.dialect) << ": " << c.script;
}

TEST(SqlLexing, JsonReaderDecodesEscapesAndRefusesWhatIsNotJson)
{
    CJsonDocument json;
    ASSERT_TRUE(json.Parse(R"({"a": [1, -2, true, null, "x\"\\\n\u00e9\ud83d\ude00"], "b": {"c": "d"}, "e": 1.5e3})"));
    const CJsonDocument::Value& root = json.Root();
    const CJsonDocument::Value* a = root.Get("a");
    ASSERT_TRUE(a && a->count == 5);
    EXPECT_EQ(a->items[0].Number(), 1);
    EXPECT_EQ(a->items[1].Number(), -2);
    EXPECT_TRUE(a->items[2].Bool());
    EXPECT_EQ(a->items[3].kind, CJsonDocument::Kind::Null);
    EXPECT_EQ(a->items[4].Text(), "x\"\\\n\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(root.Get("b")->Get("c")->Text(), "d");
    EXPECT_EQ(root.Get("e")->Number(), 1);
    EXPECT_EQ(root.Get("missing"), nullptr);

    for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "\"open", "\"\\q\"", "[1] 2", "nul"})
        EXPECT_FALSE(json.Parse(bad)) << bad;
    const std::string deep = std::string(200, '[') + std::string(200, ']');
    EXPECT_TRUE(json.Parse(deep, 200));
    EXPECT_FALSE(json.Parse(deep, 100));
}

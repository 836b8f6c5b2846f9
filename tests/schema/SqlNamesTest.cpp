// How each target quotes and compares names, literals, and
// the UTF-8 repair of older single-byte text.
#include "SqlQuoting.h"
#include "SqlReservedWords.h"
#include "SqlUtf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace SqlUtf8;

namespace {

// The lookup halves the lists: a word out of order would never be found.
TEST(ReservedWords, ListsAreSortedWithoutRepeats)
{
    for (SqlDialect d : {SqlDialect::Korvo, SqlDialect::PostgreSql, SqlDialect::MySql, SqlDialect::Sqlite, SqlDialect::SqlServer}) {
        const auto words = ReservedWords(d);
        ASSERT_FALSE(words.empty()) << DialectKeyword(d);
        EXPECT_TRUE(std::adjacent_find(words.begin(), words.end(), [](auto a, auto b) { return !(a < b); }) == words.end())
            << DialectKeyword(d);
    }
}

TEST(SqlName, QuotesOnlyWhatEachTargetNeeds)
{
    struct Case {
        SqlDialect dialect;
        const char* name;
        const char* written;
    };
    const std::vector<Case> cases = {
        {SqlDialect::PostgreSql, "orders", "orders"},
        {SqlDialect::PostgreSql, "Orders", "\"Orders\""},
        {SqlDialect::PostgreSql, "order", "\"order\""},
        {SqlDialect::PostgreSql, "user", "\"user\""},
        {SqlDialect::PostgreSql, "rank", "rank"},
        {SqlDialect::PostgreSql, "between", "between"},
        {SqlDialect::PostgreSql, "Group Name", "\"Group Name\""},
        {SqlDialect::PostgreSql, "straße", "\"straße\""},
        {SqlDialect::PostgreSql, "1st", "\"1st\""},
        {SqlDialect::PostgreSql, "_under", "_under"},
        {SqlDialect::PostgreSql, "a\"b", "\"a\"\"b\""},
        {SqlDialect::PostgreSql, "cost$", "\"cost$\""},
        {SqlDialect::MySql, "Orders", "Orders"},
        {SqlDialect::MySql, "order", "`order`"},
        {SqlDialect::MySql, "rank", "`rank`"},
        {SqlDialect::MySql, "KEY", "`KEY`"},
        {SqlDialect::MySql, "user", "user"},
        {SqlDialect::MySql, "a`b", "`a``b`"},
        {SqlDialect::MySql, "Ärger", "`Ärger`"},
        {SqlDialect::Sqlite, "Orders", "Orders"},
        {SqlDialect::Sqlite, "order", "\"order\""},
        {SqlDialect::Sqlite, "index", "\"index\""},
        {SqlDialect::Sqlite, "rank", "rank"},
        {SqlDialect::Sqlite, "key", "key"},
        {SqlDialect::Sqlite, "user", "user"},
        {SqlDialect::SqlServer, "file", "[file]"},
        {SqlDialect::SqlServer, "a]b", "[a]]b]"},
        {SqlDialect::SqlServer, "rank", "rank"},
        {SqlDialect::SqlServer, "User", "[User]"},
        {SqlDialect::SqlServer, "Orders", "Orders"},
        {SqlDialect::SqlServer, "@x", "[@x]"},
        {SqlDialect::SqlServer, "#tmp", "[#tmp]"},
        {SqlDialect::Korvo, "Group Name", "Group Name"},
        {SqlDialect::Korvo, "order", "order"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SqlName(c.name, c.dialect), c.written) << DialectKeyword(c.dialect) << " " << c.name;
}

TEST(SqlName, KorvoReasonsAreWhatItsImportCannotRead)
{
    EXPECT_EQ(NameQuoteReason("order_id", SqlDialect::Korvo), QuoteReason::None);
    EXPECT_EQ(NameQuoteReason("cost$", SqlDialect::Korvo), QuoteReason::None);
    EXPECT_EQ(NameQuoteReason("select", SqlDialect::Korvo), QuoteReason::None); // keywords are upper case only
    EXPECT_EQ(NameQuoteReason("SELECT", SqlDialect::Korvo), QuoteReason::ReservedWord);
    EXPECT_EQ(NameQuoteReason("_x", SqlDialect::Korvo), QuoteReason::NotPlain);
    EXPECT_EQ(NameQuoteReason("a b", SqlDialect::Korvo), QuoteReason::NotPlain);
    EXPECT_EQ(NameQuoteReason("é", SqlDialect::Korvo), QuoteReason::NonAscii);
    EXPECT_EQ(NameQuoteReason("", SqlDialect::Korvo), QuoteReason::Empty);
    EXPECT_EQ(NameQuoteReason("Mixed", SqlDialect::PostgreSql), QuoteReason::FoldedCase);
    EXPECT_EQ(NameQuoteReason("Mixed", SqlDialect::Sqlite), QuoteReason::None);
}

TEST(SqlStringLiteral, EscapesAsEachTargetReads)
{
    EXPECT_EQ(SqlStringLiteral("it's a\\b", SqlDialect::PostgreSql), "'it''s a\\b'");
    EXPECT_EQ(SqlStringLiteral("it's a\\b", SqlDialect::Sqlite), "'it''s a\\b'");
    EXPECT_EQ(SqlStringLiteral("it's a\\b", SqlDialect::MySql), "'it''s a\\\\b'");
    EXPECT_EQ(SqlStringLiteral("it's ü", SqlDialect::SqlServer), "N'it''s ü'");
}

TEST(NameRefusal, SaysWhatEachTargetCannotTake)
{
    struct Case {
        SqlDialect dialect;
        std::string name;
        const char* refusal;
    };
    const std::string bytes63(63, 'a');
    // 64 characters, 128 bytes: too long for PostgreSQL only.
    std::string wide;
    for (int i = 0; i < 64; ++i)
        wide += "é";
    const std::vector<Case> cases = {
        {SqlDialect::PostgreSql, bytes63, ""},
        {SqlDialect::PostgreSql, bytes63 + "b", "longer than 63 bytes"},
        {SqlDialect::PostgreSql, wide, "longer than 63 bytes"},
        {SqlDialect::MySql, wide, ""},
        {SqlDialect::MySql, wide + "e", "longer than 64 characters"},
        {SqlDialect::MySql, "trailing ", "a trailing space"},
        {SqlDialect::MySql, "emoji \xF0\x9F\x98\x80", "a character beyond U+FFFF"},
        {SqlDialect::PostgreSql, "emoji \xF0\x9F\x98\x80", ""},
        {SqlDialect::SqlServer, std::string(128, 'x'), ""},
        {SqlDialect::SqlServer, std::string(129, 'x'), "longer than 128 characters"},
        {SqlDialect::Sqlite, std::string(1000, 'x'), ""},
        {SqlDialect::Sqlite, "caf\xE9", "not valid UTF-8"},
        {SqlDialect::Sqlite, "", "an empty name"},
        {SqlDialect::Korvo, "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NameRefusal(c.name, c.dialect), c.refusal) << DialectKeyword(c.dialect) << " " << c.name;
}

TEST(NameKey, FoldsAsEachTargetCompares)
{
    EXPECT_EQ(NameKey("Orders", SqlDialect::Sqlite), NameKey("orders", SqlDialect::Sqlite));
    EXPECT_EQ(NameKey("Orders", SqlDialect::SqlServer), NameKey("ORDERS", SqlDialect::SqlServer));
    EXPECT_EQ(NameKey("Orders", SqlDialect::MySql), NameKey("orders", SqlDialect::MySql));
    EXPECT_NE(NameKey("Orders", SqlDialect::PostgreSql), NameKey("orders", SqlDialect::PostgreSql));
    // PostgreSQL keeps 63 bytes and never cuts a character in two.
    const std::string stem(62, 'a');
    EXPECT_EQ(NameKey(stem + "é1", SqlDialect::PostgreSql), stem);
    EXPECT_EQ(NameKey(stem + "b1", SqlDialect::PostgreSql), NameKey(stem + "b2", SqlDialect::PostgreSql));
}

TEST(SqlUtf8, RepairsSingleByteTextAndKeepsValidText)
{
    EXPECT_EQ(RepairUtf8("Stra\xDF" "e"), "Straße");
    EXPECT_EQ(RepairUtf8("\x80 5"), "\u0080 5");
    EXPECT_EQ(RepairUtf8("Straße €"), "Straße €");
    EXPECT_EQ(RepairUtf8("\xC0\xAF"), "\u00C0\u00AF");            // an overlong "/" is two characters
    EXPECT_EQ(RepairUtf8("\xED\xA0\x80"), "\u00ED\u00A0\u0080");  // a surrogate is not UTF-8
    EXPECT_EQ(RepairUtf8("ok \xE2\x82"), "ok \u00E2\u0082");       // cut short at the end
    EXPECT_TRUE(IsValidUtf8(RepairUtf8("\x81\x8D\x8F\x90\x9D\xFF")));
    EXPECT_EQ(Utf8Length("añ€😀"), 4u);
    EXPECT_EQ(Utf8Prefix("añ€😀", 3), "añ€");
}

} // namespace

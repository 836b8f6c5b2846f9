// Dialect names, how each target quotes and compares names, literals, and
// the UTF-8 repair of older single-byte text.
#include "SqlDialect.h"
#include "SqlQuoting.h"
#include "SqlReservedWords.h"
#include "SqlUtf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(SqlDialectNames, ReadsEveryNameInAnyCaseAndNothingElse)
{
    struct Case {
        const char* name;
        std::optional<SqlDialect> dialect;
    };
    const std::vector<Case> cases = {
        {"korvo", SqlDialect::Korvo},       {"postgresql", SqlDialect::PostgreSQL}, {"PostgreSQL", SqlDialect::PostgreSQL},
        {"mysql", SqlDialect::MySQL},       {"mariadb", SqlDialect::MySQL},         {"MariaDB", SqlDialect::MySQL},
        {"sqlite", SqlDialect::SQLite},     {"SQLSERVER", SqlDialect::SQLServer},   {"oracle", SqlDialect::Oracle},
        {"db2", SqlDialect::DB2},           {"", std::nullopt},                     {"postgres", std::nullopt},
        {"sql server", std::nullopt},       {"mysql ", std::nullopt},               {"sqlite3", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseSqlDialect(c.name), c.dialect) << c.name;
}

TEST(SqlDialectNames, KeysReadBackAndOnlyOracleAndDb2AreReadOnly)
{
    for (SqlDialect d : {SqlDialect::Korvo, SqlDialect::PostgreSQL, SqlDialect::MySQL, SqlDialect::SQLite,
                         SqlDialect::SQLServer, SqlDialect::Oracle, SqlDialect::DB2}) {
        EXPECT_EQ(ParseSqlDialect(SqlDialectKey(d)), d) << SqlDialectKey(d);
        EXPECT_EQ(SqlDialectCanExport(d), d != SqlDialect::Oracle && d != SqlDialect::DB2) << SqlDialectKey(d);
    }
}

// The lookup halves the lists: a word out of order would never be found.
TEST(ReservedWords, ListsAreSortedWithoutRepeats)
{
    for (SqlDialect d : {SqlDialect::Korvo, SqlDialect::PostgreSQL, SqlDialect::MySQL, SqlDialect::SQLite, SqlDialect::SQLServer}) {
        const auto words = ReservedWords(d);
        ASSERT_FALSE(words.empty()) << SqlDialectKey(d);
        EXPECT_TRUE(std::adjacent_find(words.begin(), words.end(), [](auto a, auto b) { return !(a < b); }) == words.end())
            << SqlDialectKey(d);
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
        {SqlDialect::PostgreSQL, "orders", "orders"},
        {SqlDialect::PostgreSQL, "Orders", "\"Orders\""},
        {SqlDialect::PostgreSQL, "order", "\"order\""},
        {SqlDialect::PostgreSQL, "user", "\"user\""},
        {SqlDialect::PostgreSQL, "rank", "rank"},
        {SqlDialect::PostgreSQL, "between", "between"},
        {SqlDialect::PostgreSQL, "Group Name", "\"Group Name\""},
        {SqlDialect::PostgreSQL, "straße", "\"straße\""},
        {SqlDialect::PostgreSQL, "1st", "\"1st\""},
        {SqlDialect::PostgreSQL, "_under", "_under"},
        {SqlDialect::PostgreSQL, "a\"b", "\"a\"\"b\""},
        {SqlDialect::PostgreSQL, "cost$", "\"cost$\""},
        {SqlDialect::MySQL, "Orders", "Orders"},
        {SqlDialect::MySQL, "order", "`order`"},
        {SqlDialect::MySQL, "rank", "`rank`"},
        {SqlDialect::MySQL, "KEY", "`KEY`"},
        {SqlDialect::MySQL, "user", "user"},
        {SqlDialect::MySQL, "a`b", "`a``b`"},
        {SqlDialect::MySQL, "Ärger", "`Ärger`"},
        {SqlDialect::SQLite, "Orders", "Orders"},
        {SqlDialect::SQLite, "order", "\"order\""},
        {SqlDialect::SQLite, "index", "\"index\""},
        {SqlDialect::SQLite, "rank", "rank"},
        {SqlDialect::SQLite, "key", "key"},
        {SqlDialect::SQLite, "user", "user"},
        {SqlDialect::SQLServer, "file", "[file]"},
        {SqlDialect::SQLServer, "a]b", "[a]]b]"},
        {SqlDialect::SQLServer, "rank", "rank"},
        {SqlDialect::SQLServer, "User", "[User]"},
        {SqlDialect::SQLServer, "Orders", "Orders"},
        {SqlDialect::SQLServer, "@x", "[@x]"},
        {SqlDialect::SQLServer, "#tmp", "[#tmp]"},
        {SqlDialect::Korvo, "Group Name", "Group Name"},
        {SqlDialect::Korvo, "order", "order"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SqlName(c.name, c.dialect), c.written) << SqlDialectKey(c.dialect) << " " << c.name;
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
    EXPECT_EQ(NameQuoteReason("Mixed", SqlDialect::PostgreSQL), QuoteReason::FoldedCase);
    EXPECT_EQ(NameQuoteReason("Mixed", SqlDialect::SQLite), QuoteReason::None);
}

TEST(SqlStringLiteral, EscapesAsEachTargetReads)
{
    EXPECT_EQ(SqlStringLiteral("it's a\\b", SqlDialect::PostgreSQL), "'it''s a\\b'");
    EXPECT_EQ(SqlStringLiteral("it's a\\b", SqlDialect::SQLite), "'it''s a\\b'");
    EXPECT_EQ(SqlStringLiteral("it's a\\b", SqlDialect::MySQL), "'it''s a\\\\b'");
    EXPECT_EQ(SqlStringLiteral("it's ü", SqlDialect::SQLServer), "N'it''s ü'");
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
        {SqlDialect::PostgreSQL, bytes63, ""},
        {SqlDialect::PostgreSQL, bytes63 + "b", "longer than 63 bytes"},
        {SqlDialect::PostgreSQL, wide, "longer than 63 bytes"},
        {SqlDialect::MySQL, wide, ""},
        {SqlDialect::MySQL, wide + "e", "longer than 64 characters"},
        {SqlDialect::MySQL, "trailing ", "a trailing space"},
        {SqlDialect::MySQL, "emoji \xF0\x9F\x98\x80", "a character beyond U+FFFF"},
        {SqlDialect::PostgreSQL, "emoji \xF0\x9F\x98\x80", ""},
        {SqlDialect::SQLServer, std::string(128, 'x'), ""},
        {SqlDialect::SQLServer, std::string(129, 'x'), "longer than 128 characters"},
        {SqlDialect::SQLite, std::string(1000, 'x'), ""},
        {SqlDialect::SQLite, "caf\xE9", "not valid UTF-8"},
        {SqlDialect::SQLite, "", "an empty name"},
        {SqlDialect::Korvo, "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NameRefusal(c.name, c.dialect), c.refusal) << SqlDialectKey(c.dialect) << " " << c.name;
}

TEST(NameKey, FoldsAsEachTargetCompares)
{
    EXPECT_EQ(NameKey("Orders", SqlDialect::SQLite), NameKey("orders", SqlDialect::SQLite));
    EXPECT_EQ(NameKey("Orders", SqlDialect::SQLServer), NameKey("ORDERS", SqlDialect::SQLServer));
    EXPECT_EQ(NameKey("Orders", SqlDialect::MySQL), NameKey("orders", SqlDialect::MySQL));
    EXPECT_NE(NameKey("Orders", SqlDialect::PostgreSQL), NameKey("orders", SqlDialect::PostgreSQL));
    // PostgreSQL keeps 63 bytes and never cuts a character in two.
    const std::string stem(62, 'a');
    EXPECT_EQ(NameKey(stem + "é1", SqlDialect::PostgreSQL), stem);
    EXPECT_EQ(NameKey(stem + "b1", SqlDialect::PostgreSQL), NameKey(stem + "b2", SqlDialect::PostgreSQL));
}

TEST(SqlUtf8, RepairsSingleByteTextAndKeepsValidText)
{
    EXPECT_EQ(RepairUtf8("Stra\xDF" "e"), "Straße");
    EXPECT_EQ(RepairUtf8("\x80 5"), "€ 5");
    EXPECT_EQ(RepairUtf8("Straße €"), "Straße €");
    EXPECT_EQ(RepairUtf8("\xC0\xAF"), "\u00C0\u00AF");            // an overlong "/" is two characters
    EXPECT_EQ(RepairUtf8("\xED\xA0\x80"), "\u00ED\u00A0\u20AC");  // a surrogate is not UTF-8
    EXPECT_EQ(RepairUtf8("ok \xE2\x82"), "ok \u00E2\u201A");       // cut short at the end
    EXPECT_TRUE(IsValidUtf8(RepairUtf8("\x81\x8D\x8F\x90\x9D\xFF")));
    EXPECT_EQ(Utf8Length("añ€😀"), 4u);
    EXPECT_EQ(Utf8Prefix("añ€😀", 3), "añ€");
}

} // namespace

#include "SqlQuoting.h"

#include "AsciiCase.h"
#include "SqlReservedWords.h"
#include "SqlUtf8.h"

#include <algorithm>

using namespace SqlUtf8;

namespace {

// No reserved word of any target is longer than this.
constexpr size_t kLongestReservedWord = 40;

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Korvo's import reads a name as a letter followed by letters, digits, "_"
// and "$"; every real target here takes a letter or "_" followed by
// letters, digits and "_" without quotes.
bool IsPlainName(std::string_view name, SqlDialect dialect)
{
    const bool korvo = dialect == SqlDialect::Korvo;
    if (!IsAsciiLetter(name[0]) && (korvo || name[0] != '_'))
        return false;
    return std::all_of(name.begin() + 1, name.end(),
                       [korvo](char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_' || (korvo && c == '$'); });
}

struct QuoteChars {
    char open;
    char close;
};

QuoteChars QuotesOf(SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::MySql: return {'`', '`'};
    case SqlDialect::SqlServer: return {'[', ']'};
    default: return {'"', '"'};
    }
}

// Longest name each target keeps: PostgreSQL counts bytes and cuts longer
// names short; MySQL and SQL Server count characters and refuse longer ones.
struct NameLimit {
    size_t length;
    bool bytes;
};

NameLimit LimitOf(SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::PostgreSql: return {63, true};
    case SqlDialect::MySql: return {64, false};
    case SqlDialect::SqlServer: return {128, false};
    default: return {0, false};
    }
}

} // namespace

bool IsReservedWord(std::string_view word, SqlDialect dialect)
{
    if (word.empty() || word.size() > kLongestReservedWord)
        return false;
    const auto words = ReservedWords(dialect);
    // Korvo's import matches its keywords in upper case only.
    if (dialect == SqlDialect::Korvo)
        return std::binary_search(words.begin(), words.end(), word);
    char lower[kLongestReservedWord];
    std::transform(word.begin(), word.end(), lower, AsciiLower);
    return std::binary_search(words.begin(), words.end(), std::string_view(lower, word.size()));
}

QuoteReason NameQuoteReason(std::string_view name, SqlDialect dialect)
{
    if (name.empty())
        return QuoteReason::Empty;
    if (!IsAscii(name))
        return QuoteReason::NonAscii;
    if (!IsPlainName(name, dialect))
        return QuoteReason::NotPlain;
    if (IsReservedWord(name, dialect))
        return QuoteReason::ReservedWord;
    if (dialect == SqlDialect::PostgreSql
        && std::any_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
        return QuoteReason::FoldedCase;
    return QuoteReason::None;
}

std::string_view QuoteReasonText(QuoteReason reason)
{
    switch (reason) {
    case QuoteReason::None: return "";
    case QuoteReason::Empty: return "is empty";
    case QuoteReason::ReservedWord: return "is a reserved word";
    case QuoteReason::FoldedCase: return "has upper-case letters, which would fold to lower case";
    case QuoteReason::NonAscii: return "has characters beyond ASCII";
    case QuoteReason::NotPlain: return "has spaces, punctuation or a leading digit";
    }
    return "";
}

std::string QuotedSqlName(std::string_view name, SqlDialect dialect)
{
    const QuoteChars quotes = QuotesOf(dialect);
    std::string out;
    out.reserve(name.size() + 2);
    out += quotes.open;
    for (char c : name) {
        out += c;
        if (c == quotes.close)
            out += c;
    }
    out += quotes.close;
    return out;
}

std::string SqlName(std::string_view name, SqlDialect dialect)
{
    if (dialect == SqlDialect::Korvo || NameQuoteReason(name, dialect) == QuoteReason::None)
        return std::string(name);
    return QuotedSqlName(name, dialect);
}

std::string SqlStringLiteral(std::string_view text, SqlDialect dialect)
{
    std::string out;
    out.reserve(text.size() + 3);
    if (dialect == SqlDialect::SqlServer)
        out += 'N';
    out += '\'';
    for (char c : text) {
        out += c;
        if (c == '\'' || (c == '\\' && dialect == SqlDialect::MySql))
            out += c;
    }
    out += '\'';
    return out;
}

std::string NameRefusal(std::string_view name, SqlDialect dialect)
{
    if (dialect == SqlDialect::Korvo)
        return "";
    if (name.empty())
        return "an empty name";
    if (!IsValidUtf8(name))
        return "not valid UTF-8";
    if (name.find('\0') != std::string_view::npos)
        return "a NUL character";
    const NameLimit limit = LimitOf(dialect);
    if (limit.length) {
        const size_t length = limit.bytes ? name.size() : Utf8Length(name);
        if (length > limit.length)
            return "longer than " + std::to_string(limit.length) + (limit.bytes ? " bytes" : " characters");
    }
    if (dialect == SqlDialect::MySql) {
        if (name.back() == ' ')
            return "a trailing space";
        // MySQL and MariaDB names hold characters of the Basic Multilingual Plane only.
        for (size_t pos = 0; pos < name.size();)
            if (DecodeUtf8(name, pos) > 0xFFFF)
                return "a character beyond U+FFFF";
    }
    return "";
}

std::string NameKey(std::string_view name, SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::PostgreSql: {
        // PostgreSQL keeps the first 63 bytes, cut at a character boundary.
        if (name.size() <= 63)
            return std::string(name);
        size_t pos = 0;
        while (pos < name.size()) {
            size_t next = pos;
            DecodeUtf8(name, next);
            if (next > 63)
                break;
            pos = next;
        }
        return std::string(name.substr(0, pos));
    }
    case SqlDialect::MySql:
    case SqlDialect::Sqlite:
    case SqlDialect::SqlServer:
        // Compared without regard to ASCII letter case (MySQL's column names,
        // SQLite always, SQL Server under its default collations).
        return AsciiLowerCopy(name);
    default: return std::string(name);
    }
}

#include "SqlType.h"

#include "AsciiCase.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cctype>

namespace {

enum class Tok { Word, Quoted, Group, Array, Dot, String, Other };

struct Token {
    Tok kind;
    std::string_view text;  // as written, brackets included
    std::string_view inner; // inside a group, a quoted name or a string
};

bool IsWordByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// The end of a quoted run starting at pos (the opening quote), with the
// closing quote doubled inside; the text's end when it never closes.
size_t SkipQuoted(std::string_view text, size_t pos, char close)
{
    for (size_t i = pos + 1; i < text.size(); ++i) {
        if (text[i] != close)
            continue;
        if (i + 1 < text.size() && text[i + 1] == close) {
            ++i;
            continue;
        }
        return i + 1;
    }
    return text.size();
}

// One pass, no recursion: a group runs to its matching parenthesis, strings
// inside it skipped; an unclosed group takes the rest of the text.
std::vector<Token> Tokenize(std::string_view text)
{
    std::vector<Token> tokens;
    size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        const size_t start = pos;
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++pos;
        } else if (IsWordByte(c)) {
            while (pos < text.size() && IsWordByte(text[pos]))
                ++pos;
            tokens.push_back({Tok::Word, text.substr(start, pos - start), text.substr(start, pos - start)});
        } else if (c == '"' || c == '`') {
            pos = SkipQuoted(text, pos, c);
            const size_t innerEnd = pos > start + 1 && text[pos - 1] == c ? pos - 1 : pos;
            tokens.push_back({Tok::Quoted, text.substr(start, pos - start), text.substr(start + 1, innerEnd - start - 1)});
        } else if (c == '[') {
            // [] and [3] are array bounds; anything else is a bracketed name.
            size_t end = pos + 1;
            while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
                ++end;
            if (end < text.size() && text[end] == ']') {
                pos = end + 1;
                tokens.push_back({Tok::Array, text.substr(start, pos - start), {}});
            } else {
                pos = SkipQuoted(text, pos, ']');
                const size_t innerEnd = pos > start + 1 && text[pos - 1] == ']' ? pos - 1 : pos;
                tokens.push_back({Tok::Quoted, text.substr(start, pos - start), text.substr(start + 1, innerEnd - start - 1)});
            }
        } else if (c == '(') {
            int depth = 0;
            for (; pos < text.size(); ++pos) {
                if (text[pos] == '\'') {
                    pos = SkipQuoted(text, pos, '\'') - 1;
                } else if (text[pos] == '(') {
                    ++depth;
                } else if (text[pos] == ')' && --depth == 0) {
                    ++pos;
                    break;
                }
            }
            const size_t innerEnd = text[pos - 1] == ')' && depth == 0 ? pos - 1 : pos;
            tokens.push_back({Tok::Group, text.substr(start, pos - start), text.substr(start + 1, innerEnd - start - 1)});
        } else if (c == '\'') {
            pos = SkipQuoted(text, pos, '\'');
            tokens.push_back({Tok::String, text.substr(start, pos - start), text.substr(start, pos - start)});
        } else if (c == '.') {
            ++pos;
            tokens.push_back({Tok::Dot, text.substr(start, 1), {}});
        } else {
            ++pos;
            tokens.push_back({Tok::Other, text.substr(start, 1), {}});
        }
    }
    return tokens;
}

// Splits a group's content at its top-level commas, strings and nested
// groups kept whole.
std::vector<std::string> SplitArgs(std::string_view inner)
{
    std::vector<std::string> args;
    int depth = 0;
    size_t start = 0;
    for (size_t i = 0; i < inner.size(); ++i) {
        const char c = inner[i];
        if (c == '\'') {
            i = SkipQuoted(inner, i, '\'') - 1;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (c == ',' && depth == 0) {
            args.emplace_back(Trim(inner.substr(start, i - start)));
            start = i + 1;
        }
    }
    const std::string_view last = Trim(inner.substr(start));
    if (!last.empty() || !args.empty())
        args.emplace_back(last);
    return args;
}

// The value of a quoted string literal, '' read as one quote.
std::string Unquote(std::string_view literal)
{
    std::string value;
    if (literal.size() < 2 || literal.front() != '\'')
        return std::string(literal);
    const std::string_view body = literal.substr(1, literal.back() == '\'' ? literal.size() - 2 : literal.size() - 1);
    for (size_t i = 0; i < body.size(); ++i) {
        value += body[i];
        if (body[i] == '\'' && i + 1 < body.size() && body[i + 1] == '\'')
            ++i;
    }
    return value;
}

// The leading number of an argument such as "20", "20 BYTE" or "20 CHAR".
long long LeadingNumber(std::string_view arg)
{
    long long value = -1;
    const char* end = arg.data() + arg.size();
    const auto result = std::from_chars(arg.data(), end, value);
    return result.ec == std::errc() ? value : -1;
}

struct KnownName {
    std::string_view name;
    TypeKind kind;
    int bytes;
    bool national;
};

// Base names by what they hold. Names of one database only (tsvector,
// hierarchyid, geometry) are Other and carried where the target knows them.
constexpr auto kKnownNames = std::to_array<KnownName>({
    {"bigint", TypeKind::Integer, 8, false},
    {"bigserial", TypeKind::Integer, 8, false},
    {"binary", TypeKind::Binary, 0, false},
    {"binary varying", TypeKind::Varbinary, 0, false},
    {"binary_double", TypeKind::Float, 8, false},
    {"binary_float", TypeKind::Float, 4, false},
    {"binary_integer", TypeKind::Integer, 4, false},
    {"bit", TypeKind::Boolean, 0, false},
    {"bit varying", TypeKind::BitString, 0, false},
    {"blob", TypeKind::Blob, 0, false},
    {"bool", TypeKind::Boolean, 0, false},
    {"boolean", TypeKind::Boolean, 0, false},
    {"bpchar", TypeKind::Char, 0, false},
    {"bytea", TypeKind::Blob, 0, false},
    {"char", TypeKind::Char, 0, false},
    {"char varying", TypeKind::Varchar, 0, false},
    {"character", TypeKind::Char, 0, false},
    {"character varying", TypeKind::Varchar, 0, false},
    {"citext", TypeKind::Text, 0, false},
    {"clob", TypeKind::Text, 0, false},
    {"date", TypeKind::Date, 0, false},
    {"datetime", TypeKind::DateTime, 0, false},
    {"datetime2", TypeKind::DateTime, 0, false},
    {"datetimeoffset", TypeKind::Timestamp, 0, false},
    {"dec", TypeKind::Decimal, 0, false},
    {"decimal", TypeKind::Decimal, 0, false},
    {"double", TypeKind::Float, 8, false},
    {"double precision", TypeKind::Float, 8, false},
    {"enum", TypeKind::Enum, 0, false},
    {"fixed", TypeKind::Decimal, 0, false},
    {"float", TypeKind::Float, 8, false},
    {"float4", TypeKind::Float, 4, false},
    {"float8", TypeKind::Float, 8, false},
    {"image", TypeKind::Blob, 0, false},
    {"int", TypeKind::Integer, 4, false},
    {"int1", TypeKind::Integer, 1, false},
    {"int2", TypeKind::Integer, 2, false},
    {"int3", TypeKind::Integer, 3, false},
    {"int4", TypeKind::Integer, 4, false},
    {"int8", TypeKind::Integer, 8, false},
    {"integer", TypeKind::Integer, 4, false},
    {"interval", TypeKind::Interval, 0, false},
    {"interval day to second", TypeKind::Interval, 0, false},
    {"interval year to month", TypeKind::Interval, 0, false},
    {"json", TypeKind::Json, 0, false},
    {"jsonb", TypeKind::Json, 0, false},
    {"long", TypeKind::Text, 0, false},
    {"long raw", TypeKind::Blob, 0, false},
    {"long varbinary", TypeKind::Blob, 0, false},
    {"long varchar", TypeKind::Text, 0, false},
    {"longblob", TypeKind::Blob, 0, false},
    {"longtext", TypeKind::Text, 0, false},
    {"mediumblob", TypeKind::Blob, 0, false},
    {"mediumint", TypeKind::Integer, 3, false},
    {"mediumtext", TypeKind::Text, 0, false},
    {"middleint", TypeKind::Integer, 3, false},
    {"money", TypeKind::Money, 0, false},
    {"national char", TypeKind::Char, 0, true},
    {"national char varying", TypeKind::Varchar, 0, true},
    {"national character", TypeKind::Char, 0, true},
    {"national character varying", TypeKind::Varchar, 0, true},
    {"national varchar", TypeKind::Varchar, 0, true},
    {"nchar", TypeKind::Char, 0, true},
    {"nchar varying", TypeKind::Varchar, 0, true},
    {"nclob", TypeKind::Text, 0, true},
    {"ntext", TypeKind::Text, 0, true},
    {"number", TypeKind::Decimal, 0, false},
    {"numeric", TypeKind::Decimal, 0, false},
    {"nvarchar", TypeKind::Varchar, 0, true},
    {"nvarchar2", TypeKind::Varchar, 0, true},
    {"pls_integer", TypeKind::Integer, 4, false},
    {"raw", TypeKind::Varbinary, 0, false},
    {"real", TypeKind::Float, 4, false},
    {"serial", TypeKind::Integer, 4, false},
    {"serial2", TypeKind::Integer, 2, false},
    {"serial4", TypeKind::Integer, 4, false},
    {"serial8", TypeKind::Integer, 8, false},
    {"set", TypeKind::Set, 0, false},
    {"smalldatetime", TypeKind::DateTime, 0, false},
    {"smallint", TypeKind::Integer, 2, false},
    {"smallmoney", TypeKind::Money, 0, false},
    {"smallserial", TypeKind::Integer, 2, false},
    {"string", TypeKind::Text, 0, false},
    {"text", TypeKind::Text, 0, false},
    {"time", TypeKind::Time, 0, false},
    {"timestamp", TypeKind::Timestamp, 0, false},
    {"timestamptz", TypeKind::Timestamp, 0, false},
    {"timetz", TypeKind::Time, 0, false},
    {"tinyblob", TypeKind::Blob, 0, false},
    {"tinyint", TypeKind::Integer, 1, false},
    {"tinytext", TypeKind::Text, 0, false},
    {"uniqueidentifier", TypeKind::Uuid, 0, false},
    {"uuid", TypeKind::Uuid, 0, false},
    {"varbinary", TypeKind::Varbinary, 0, false},
    {"varbit", TypeKind::BitString, 0, false},
    {"varchar", TypeKind::Varchar, 0, false},
    {"varchar2", TypeKind::Varchar, 0, false},
    {"varcharacter", TypeKind::Varchar, 0, false},
    {"xml", TypeKind::Xml, 0, false},
    {"xmltype", TypeKind::Xml, 0, false},
    {"year", TypeKind::Year, 0, false},
});
static_assert(std::is_sorted(kKnownNames.begin(), kKnownNames.end(),
                             [](const KnownName& a, const KnownName& b) { return a.name < b.name; }),
              "FindKnown searches the names by halves");

const KnownName* FindKnown(std::string_view name)
{
    const auto it = std::lower_bound(kKnownNames.begin(), kKnownNames.end(), name,
                                     [](const KnownName& k, std::string_view n) { return k.name < n; });
    return it != kKnownNames.end() && it->name == name ? &*it : nullptr;
}

void Classify(SqlType& type)
{
    const std::string& n = type.name;
    if (const KnownName* known = FindKnown(n)) {
        type.kind = known->kind;
        type.bytes = known->bytes;
        type.national = known->national;
    } else if (n.starts_with("interval ")) {
        type.kind = TypeKind::Interval;
    } else if (n.empty()) {
        type.kind = type.written.empty() ? TypeKind::None : TypeKind::Other;
    } else {
        type.kind = TypeKind::Other;
    }
    if (n.find("serial") != std::string::npos && type.kind == TypeKind::Integer) {
        type.autoIncrement = true;
        type.serialName = true;
    }
    if (n == "timestamptz" || n == "timetz" || n == "datetimeoffset")
        type.withTimeZone = true;

    const auto& a = type.args;
    if (a.size() == 1 && AsciiLowerCopy(a[0]) == "max") {
        type.maxLength = true;
    } else if (!a.empty()) {
        switch (type.kind) {
        case TypeKind::Decimal:
        case TypeKind::Float:
        case TypeKind::Time:
        case TypeKind::Timestamp:
        case TypeKind::DateTime:
            type.precision = static_cast<int>(std::clamp(LeadingNumber(a[0]), -1LL, 1000000LL));
            if (a.size() > 1)
                type.scale = static_cast<int>(std::clamp(LeadingNumber(a[1]), -1LL, 1000000LL));
            break;
        case TypeKind::Enum:
        case TypeKind::Set:
            for (const std::string& value : a)
                type.values.push_back(Unquote(value));
            break;
        case TypeKind::Integer:
            // MySQL writes its booleans as TINYINT(1); other widths only pad.
            if (type.bytes == 1 && a.size() == 1 && a[0] == "1" && !type.isUnsigned)
                type.kind = TypeKind::Boolean;
            break;
        case TypeKind::Char:
        case TypeKind::Varchar:
        case TypeKind::Text:
        case TypeKind::Binary:
        case TypeKind::Varbinary:
        case TypeKind::Blob:
        case TypeKind::Boolean:
        case TypeKind::BitString:
            type.length = LeadingNumber(a[0]);
            break;
        default:
            break;
        }
    }
    // bit holds one bit unless it says more.
    if (n == "bit" && type.length > 1)
        type.kind = TypeKind::BitString;
    // FLOAT(p) up to 24 binary digits, and MySQL's FLOAT(M,D), are single precision.
    if (type.kind == TypeKind::Float && n == "float" && (type.scale >= 0 || (type.precision > 0 && type.precision <= 24)))
        type.bytes = 4;
}

bool IsWord(const std::vector<Token>& tokens, size_t i, std::string_view word)
{
    return i < tokens.size() && tokens[i].kind == Tok::Word && AsciiLowerCopy(tokens[i].text) == word;
}

} // namespace

bool IsTextLike(TypeKind kind)
{
    switch (kind) {
    case TypeKind::Char:
    case TypeKind::Varchar:
    case TypeKind::Text:
    case TypeKind::Enum:
    case TypeKind::Set:
    case TypeKind::Json:
    case TypeKind::Xml:
    case TypeKind::Uuid:
    case TypeKind::Interval:
    case TypeKind::Other:
    case TypeKind::None:
        return true;
    default:
        return false;
    }
}

bool IsTemporal(TypeKind kind)
{
    return kind == TypeKind::Date || kind == TypeKind::Time || kind == TypeKind::Timestamp
        || kind == TypeKind::DateTime || kind == TypeKind::Year;
}

SqlType ParseSqlType(std::string_view text)
{
    SqlType type;
    type.written = std::string(Trim(text));
    const std::vector<Token> tokens = Tokenize(type.written);

    std::vector<std::string> words;
    std::vector<bool> inCore(tokens.size(), true);
    bool haveArgs = false;
    const auto drop = [&](size_t from, size_t to) {
        for (size_t k = from; k < to && k < tokens.size(); ++k)
            inCore[k] = false;
    };
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.kind == Tok::Group) {
            if (!haveArgs && !words.empty()) {
                type.args = SplitArgs(t.inner);
                haveArgs = true;
            }
            continue;
        }
        if (t.kind == Tok::Array) {
            ++type.arrayDims;
            drop(i, i + 1);
            continue;
        }
        if (t.kind == Tok::Quoted && i + 1 < tokens.size() && tokens[i + 1].kind == Tok::Dot && words.empty()) {
            type.qualifier = std::string(t.inner);
            drop(i, i + 2);
            ++i;
            continue;
        }
        if (t.kind == Tok::Quoted) {
            words.push_back(AsciiLowerCopy(t.inner));
            continue;
        }
        if (t.kind != Tok::Word) {
            continue;
        }
        const std::string w = AsciiLowerCopy(t.text);
        if (i + 1 < tokens.size() && tokens[i + 1].kind == Tok::Dot && words.empty()) {
            // A schema before the name; "pg_catalog.int4" is int4 all the same,
            // and no target has the schema of another database.
            type.qualifier = std::string(t.text);
            drop(i, i + 2);
            ++i;
            continue;
        }
        if (w == "unsigned" || w == "signed") {
            type.isUnsigned = w == "unsigned";
            drop(i, i + 1);
        } else if (w == "zerofill") {
            type.dropped.push_back("ZEROFILL");
            drop(i, i + 1);
        } else if (w == "auto_increment" || w == "autoincrement") {
            type.autoIncrement = true;
            drop(i, i + 1);
        } else if (w == "identity") {
            type.autoIncrement = true;
            drop(i, i + 1);
            if (i + 1 < tokens.size() && tokens[i + 1].kind == Tok::Group) {
                type.identityArgs = std::string(tokens[i + 1].text);
                drop(i + 1, i + 2);
                ++i;
            }
        } else if (w == "generated" || (w == "as" && i + 1 < tokens.size() && tokens[i + 1].kind == Tok::Group)) {
            // GENERATED {ALWAYS | BY DEFAULT} AS IDENTITY [(...)], or a computed
            // column: [GENERATED ALWAYS] AS (expr) [STORED | VIRTUAL | PERSISTED].
            size_t j = i + (w == "generated" ? 1 : 0);
            while (j < tokens.size() && (IsWord(tokens, j, "always") || IsWord(tokens, j, "by") || IsWord(tokens, j, "default")))
                ++j;
            if (IsWord(tokens, j, "as"))
                ++j;
            if (IsWord(tokens, j, "identity")) {
                type.autoIncrement = true;
                ++j;
                if (j < tokens.size() && tokens[j].kind == Tok::Group)
                    ++j;
            } else if (j < tokens.size() && tokens[j].kind == Tok::Group) {
                type.generated = std::string(Trim(tokens[j].inner));
                ++j;
                if (IsWord(tokens, j, "stored") || IsWord(tokens, j, "persisted")) {
                    type.generatedStored = true;
                    ++j;
                } else if (IsWord(tokens, j, "virtual")) {
                    ++j;
                }
            }
            drop(i, j);
            i = j - 1;
        } else if ((w == "with" || w == "without") && (IsWord(tokens, i + 1, "time") || IsWord(tokens, i + 1, "local"))) {
            size_t j = i + 1;
            if (IsWord(tokens, j, "local"))
                ++j;
            if (IsWord(tokens, j, "time") && IsWord(tokens, j + 1, "zone"))
                j += 2;
            type.withTimeZone = w == "with";
            // Kept in the core: it is part of the type where the target knows it.
            i = j - 1;
        } else if (w == "array") {
            ++type.arrayDims;
            drop(i, i + 1);
            if (i + 1 < tokens.size() && tokens[i + 1].kind == Tok::Array) {
                drop(i + 1, i + 2);
                ++i;
            }
        } else if ((w == "character" || w == "char") && IsWord(tokens, i + 1, "set") && !words.empty()) {
            const size_t j = std::min(i + 3, tokens.size());
            type.dropped.push_back("CHARACTER SET");
            drop(i, j);
            i = j - 1;
        } else if (w == "charset" || w == "collate") {
            const size_t j = std::min(i + 2, tokens.size());
            type.dropped.push_back(w == "charset" ? "CHARACTER SET" : "COLLATE");
            drop(i, j);
            i = j - 1;
        } else if ((w == "binary" || w == "ascii" || w == "unicode" || w == "byte") && !words.empty()
                   && (words.back() != "long")) {
            // MySQL's VARCHAR(10) BINARY and friends choose a collation only.
            type.dropped.push_back(std::string(t.text));
            drop(i, i + 1);
        } else {
            words.push_back(w);
        }
    }

    for (const std::string& word : words) {
        if (!type.name.empty())
            type.name += ' ';
        type.name += word;
    }

    // The core: every token kept, a space between words only.
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!inCore[i])
            continue;
        const Token& t = tokens[i];
        const bool glued = t.kind == Tok::Group || t.kind == Tok::Array || t.kind == Tok::Dot
            || (i > 0 && tokens[i - 1].kind == Tok::Dot);
        if (!type.core.empty() && !glued)
            type.core += ' ';
        // A quoted type name goes out bare: [nvarchar](40) is nvarchar(40).
        type.core += t.kind == Tok::Quoted ? t.inner : t.text;
    }
    Classify(type);
    return type;
}

#include "SqlExpression.h"

#include "SqlType.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// Lower case with the spaces taken out, so "NOW ( )" reads as "now()".
std::string Compact(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool IsNameByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

// The end of the quoted run that opens at pos, the closing quote doubled
// inside; the text's end when it never closes.
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

size_t SkipSpaces(std::string_view text, size_t pos)
{
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    return pos;
}

// One name, bare or quoted, starting at pos; returns its end (pos when none).
size_t SkipName(std::string_view text, size_t pos)
{
    if (pos < text.size() && (text[pos] == '"' || text[pos] == '`'))
        return SkipQuoted(text, pos, text[pos]);
    size_t end = pos;
    while (end < text.size() && IsNameByte(text[end]))
        ++end;
    return end;
}

std::string LowerWord(std::string_view text, size_t from, size_t to)
{
    std::string word(text.substr(from, to - from));
    std::transform(word.begin(), word.end(), word.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return word;
}

// The words that may follow the first word of a cast's type.
bool ContinuesType(const std::string& first, const std::string& word)
{
    static constexpr std::array<std::string_view, 6> kCharacter = {"varying", "character", "char", "precision", "zone", "time"};
    if (word == "with" || word == "without")
        return first == "time" || first == "timestamp";
    if (word == "time" || word == "zone")
        return first == "time" || first == "timestamp";
    return std::find(kCharacter.begin(), kCharacter.end(), word) != kCharacter.end()
        && (first == "character" || first == "char" || first == "national" || first == "nchar" || first == "bit"
            || first == "double");
}

// The end of the type named after "::" at pos.
size_t SkipCastType(std::string_view text, size_t pos)
{
    pos = SkipSpaces(text, pos);
    size_t end = SkipName(text, pos);
    if (end == pos)
        return pos;
    const std::string first = LowerWord(text, pos, end);
    while (end < text.size() && text[end] == '.') {
        const size_t next = SkipName(text, end + 1);
        if (next == end + 1)
            break;
        end = next;
    }
    for (;;) {
        size_t next = SkipSpaces(text, end);
        if (next < text.size() && text[next] == '(' && next == end) {
            int depth = 0;
            for (; next < text.size(); ++next) {
                if (text[next] == '(')
                    ++depth;
                else if (text[next] == ')' && --depth == 0) {
                    ++next;
                    break;
                }
            }
            end = next;
            continue;
        }
        if (next < text.size() && text[next] == '[' && next == end) {
            const size_t close = text.find(']', next);
            end = close == std::string_view::npos ? text.size() : close + 1;
            continue;
        }
        const size_t wordEnd = SkipName(text, next);
        if (wordEnd > next && ContinuesType(first, LowerWord(text, next, wordEnd))) {
            end = wordEnd;
            continue;
        }
        return end;
    }
}

// A string literal that makes up the whole text: 'a''b', N'...', E'...'
// (backslash escapes), _utf8mb4'...'. Sets value and returns true.
bool ReadStringLiteral(std::string_view text, std::string& value)
{
    size_t quote = text.find('\'');
    if (quote == std::string_view::npos)
        return false;
    const std::string prefix = LowerWord(text, 0, quote);
    const bool escapes = prefix == "e";
    if (!(prefix.empty() || prefix == "n" || escapes || (prefix.size() > 1 && prefix[0] == '_')))
        return false;
    value.clear();
    for (size_t i = quote + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\'') {
            if (i + 1 < text.size() && text[i + 1] == '\'') {
                value += '\'';
                ++i;
                continue;
            }
            return i + 1 == text.size();
        }
        if (escapes && c == '\\' && i + 1 < text.size()) {
            const char e = text[++i];
            value += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
            continue;
        }
        value += c;
    }
    return false;
}

bool IsNumber(std::string_view text)
{
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        const size_t start = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
        if (i == start)
            return false;
    }
    return i == text.size();
}

struct FunctionKind {
    std::string_view spelled; // compact lower case
    DefaultKind kind;
};

// The clock and identifier functions of the five databases, by what they give.
constexpr auto kFunctions = std::to_array<FunctionKind>({
    {"now()", DefaultKind::Now},
    {"current_timestamp", DefaultKind::Now},
    {"current_timestamp()", DefaultKind::Now},
    {"localtimestamp", DefaultKind::Now},
    {"localtimestamp()", DefaultKind::Now},
    {"getdate()", DefaultKind::Now},
    {"getutcdate()", DefaultKind::Now},
    {"sysdatetime()", DefaultKind::Now},
    {"sysdatetimeoffset()", DefaultKind::Now},
    {"sysdate", DefaultKind::Now},
    {"sysdate()", DefaultKind::Now},
    {"systimestamp", DefaultKind::Now},
    {"transaction_timestamp()", DefaultKind::Now},
    {"statement_timestamp()", DefaultKind::Now},
    {"clock_timestamp()", DefaultKind::Now},
    {"datetime('now')", DefaultKind::Now},
    {"current_date", DefaultKind::Today},
    {"current_date()", DefaultKind::Today},
    {"curdate()", DefaultKind::Today},
    {"date('now')", DefaultKind::Today},
    {"current_time", DefaultKind::TimeOfDay},
    {"current_time()", DefaultKind::TimeOfDay},
    {"curtime()", DefaultKind::TimeOfDay},
    {"localtime", DefaultKind::TimeOfDay},
    {"localtime()", DefaultKind::TimeOfDay},
    {"time('now')", DefaultKind::TimeOfDay},
    {"gen_random_uuid()", DefaultKind::NewUuid},
    {"uuid_generate_v1()", DefaultKind::NewUuid},
    {"uuid_generate_v4()", DefaultKind::NewUuid},
    {"uuidv4()", DefaultKind::NewUuid},
    {"uuidv7()", DefaultKind::NewUuid},
    {"uuid()", DefaultKind::NewUuid},
    {"newid()", DefaultKind::NewUuid},
    {"newsequentialid()", DefaultKind::NewUuid},
    {"sys_guid()", DefaultKind::NewUuid},
});

// CURRENT_TIMESTAMP(3) and LOCALTIMESTAMP(6) name the clock with a precision.
DefaultKind FunctionKindOf(const std::string& compact)
{
    for (const FunctionKind& f : kFunctions)
        if (compact == f.spelled)
            return f.kind;
    for (std::string_view clock : {"current_timestamp(", "localtimestamp(", "now("})
        if (compact.starts_with(clock) && compact.back() == ')'
            && std::all_of(compact.begin() + clock.size(), compact.end() - 1,
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            return DefaultKind::Now;
    return DefaultKind::None;
}

// The text inside every pair of parentheses that wraps all of it, in one
// pass however deep the nesting: "( (0) )" is "0", "(a) + (b)" stays.
std::string_view Unwrap(std::string_view text)
{
    text = Trim(text);
    std::vector<size_t> match(text.size(), std::string_view::npos);
    std::vector<size_t> open;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\'' || text[i] == '"') {
            i = SkipQuoted(text, i, text[i]) - 1;
        } else if (text[i] == '(') {
            open.push_back(i);
        } else if (text[i] == ')' && !open.empty()) {
            match[open.back()] = i;
            open.pop_back();
        }
    }
    size_t left = 0;
    size_t right = text.size();
    for (;;) {
        while (left < right && std::isspace(static_cast<unsigned char>(text[left])))
            ++left;
        while (right > left && std::isspace(static_cast<unsigned char>(text[right - 1])))
            --right;
        if (right - left < 2 || text[left] != '(' || match[left] != right - 1)
            break;
        ++left;
        --right;
    }
    return text.substr(left, right - left);
}

} // namespace

bool IsWrappedInParentheses(std::string_view text)
{
    if (text.size() < 2 || text.front() != '(' || text.back() != ')')
        return false;
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\'' || text[i] == '"') {
            i = SkipQuoted(text, i, text[i]) - 1;
        } else if (text[i] == '(') {
            ++depth;
        } else if (text[i] == ')' && --depth == 0) {
            return i + 1 == text.size();
        }
    }
    return false;
}

std::string StripCasts(std::string_view text, const std::function<bool(const SqlType&)>& keep)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\'' || c == '"' || c == '`') {
            const size_t end = SkipQuoted(text, i, c);
            out.append(text.substr(i, end - i));
            i = end;
            continue;
        }
        if (c == ':' && i + 1 < text.size() && text[i + 1] == ':') {
            const size_t end = SkipCastType(text, i + 2);
            if (end > i + 2 && !keep(ParseSqlType(text.substr(i + 2, end - i - 2)))) {
                while (!out.empty() && std::isspace(static_cast<unsigned char>(out.back())))
                    out.pop_back();
                i = end;
                continue;
            }
            out.append(text.substr(i, end - i));
            i = end;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

SqlDefault ParseSqlDefault(std::string_view text)
{
    SqlDefault result;
    const std::string_view written = Trim(text);
    if (written.empty())
        return result;
    result.kind = DefaultKind::Expression;
    result.value = std::string(written);

    // ((0)), ('x'::text) and -1::numeric all come down to their literal.
    const std::string bare = StripCasts(written, [](const SqlType&) { return false; });
    const std::string_view core = Unwrap(bare);
    const std::string compact = Compact(core);

    std::string literal;
    if (compact == "null") {
        result.kind = DefaultKind::Null;
    } else if (compact.starts_with("nextval(")) {
        result.kind = DefaultKind::Sequence;
    } else if (compact == "true" || compact == "false") {
        result.kind = DefaultKind::Boolean;
        result.truth = compact == "true";
    } else if (IsNumber(core)) {
        result.kind = DefaultKind::Number;
        result.value = std::string(core.front() == '+' ? core.substr(1) : core);
    } else if (core.size() >= 3 && (core[0] == 'b' || core[0] == 'B') && core[1] == '\'' && core.back() == '\''
               && std::all_of(core.begin() + 2, core.end() - 1, [](char c) { return c == '0' || c == '1'; })) {
        result.kind = DefaultKind::Bits;
        result.value = std::string(core.substr(2, core.size() - 3));
    } else if (const DefaultKind kind = FunctionKindOf(compact); kind != DefaultKind::None) {
        result.kind = kind;
        result.value = std::string(core);
    } else if (ReadStringLiteral(core, literal)) {
        result.kind = DefaultKind::Text;
        result.value = literal;
    }
    return result;
}

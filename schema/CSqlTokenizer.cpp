#include "CSqlTokenizer.h"

#include "AsciiCase.h"

#include <cstring>

namespace {

inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline bool IsWordStart(char c, SqlDialect dialect)
{
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u >= 0x80)
        return true;
    // SQL Server's @variables and #temporary tables.
    return dialect == SqlDialect::SqlServer && (u == '@' || u == '#');
}

inline bool IsWordChar(char c, SqlDialect dialect)
{
    const unsigned char u = static_cast<unsigned char>(c);
    // Oracle and DB2 names may hold # too; SQL Server's also @.
    return IsWordStart(c, dialect) || IsDigit(c) || u == '$' ||
           (u == '#' && (dialect == SqlDialect::Oracle || dialect == SqlDialect::Db2)) ||
           ((u == '#' || u == '@') && dialect == SqlDialect::SqlServer);
}

bool StartsWithIgnoreCase(std::string_view text, size_t pos, std::string_view word)
{
    if (text.size() - pos < word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (AsciiLower(text[pos + i]) != AsciiLower(word[i]))
            return false;
    return true;
}

} // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

bool SqlToken::Is(std::string_view keyword) const
{
    return kind == SqlTokenKind::Word && EqualsIgnoreCase(text, keyword);
}

CSqlTokenizer::CSqlTokenizer(std::string_view script, SqlDialect dialect) : m_script(script), m_dialect(dialect)
{
    if (m_script.size() >= 3 && std::memcmp(m_script.data(), "\xEF\xBB\xBF", 3) == 0)
        m_pos = 3; // a byte-order mark is no part of the script
}

const SqlToken& CSqlTokenizer::Peek()
{
    if (!m_hasPeek) {
        m_peek = Scan();
        m_hasPeek = true;
    }
    return m_peek;
}

SqlToken CSqlTokenizer::Next()
{
    if (m_hasPeek) {
        m_hasPeek = false;
        return m_peek;
    }
    return Scan();
}

void CSqlTokenizer::Seek(size_t offset, int line)
{
    m_pos = offset < m_script.size() ? offset : m_script.size();
    m_line = line;
    m_hasPeek = false;
    m_atLineStart = m_pos == 0 || m_script[m_pos - 1] == '\n';
}

void CSqlTokenizer::CountLines(size_t from, size_t to)
{
    const char* p = m_script.data() + from;
    const char* end = m_script.data() + to;
    while ((p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)))) != nullptr) {
        ++m_line;
        ++p;
    }
}

size_t CSqlTokenizer::LineEnd(size_t pos) const
{
    const void* nl = std::memchr(m_script.data() + pos, '\n', m_script.size() - pos);
    return nl ? size_t(static_cast<const char*>(nl) - m_script.data()) : m_script.size();
}

void CSqlTokenizer::SkipSpaceAndComments()
{
    const size_t size = m_script.size();
    while (m_pos < size) {
        const char c = m_script[m_pos];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++m_pos;
        } else if (c == '\n') {
            ++m_pos;
            ++m_line;
            m_atLineStart = true;
        } else if (c == '-' && m_pos + 1 < size && m_script[m_pos + 1] == '-') {
            // MySQL wants a blank after the two dashes; without it they are minus signs.
            if (m_dialect == SqlDialect::MySql && m_pos + 2 < size &&
                !(static_cast<unsigned char>(m_script[m_pos + 2]) <= ' '))
                return;
            const size_t end = LineEnd(m_pos);
            if (m_dialect == SqlDialect::Db2 && StartsWithIgnoreCase(m_script, m_pos, "--#SET TERMINATOR")) {
                size_t p = m_pos + 17;
                while (p < end && (m_script[p] == ' ' || m_script[p] == '\t'))
                    ++p;
                size_t q = p;
                while (q < end && static_cast<unsigned char>(m_script[q]) > ' ')
                    ++q;
                if (q > p)
                    m_delimiter = std::string(m_script.substr(p, q - p));
            }
            m_pos = end;
        } else if (c == '#' && m_dialect == SqlDialect::MySql) {
            m_pos = LineEnd(m_pos);
        } else if (c == '/' && m_pos + 1 < size && m_script[m_pos + 1] == '*') {
            if (m_dialect == SqlDialect::MySql &&
                ((m_pos + 2 < size && m_script[m_pos + 2] == '!') ||
                 (m_pos + 3 < size && m_script[m_pos + 2] == 'M' && m_script[m_pos + 3] == '!'))) {
                // MySQL runs what /*!50100 ... */ holds: read it as code.
                m_pos += m_script[m_pos + 2] == '!' ? 3 : 4;
                while (m_pos < size && IsDigit(m_script[m_pos]))
                    ++m_pos;
                ++m_openExecutableComments;
                continue;
            }
            const bool nests = m_dialect == SqlDialect::PostgreSql || m_dialect == SqlDialect::SqlServer;
            const size_t start = m_pos;
            int depth = 1;
            m_pos += 2;
            while (m_pos < size && depth > 0) {
                const char* star = static_cast<const char*>(std::memchr(m_script.data() + m_pos, '*', size - m_pos));
                const char* slash =
                    nests ? static_cast<const char*>(std::memchr(m_script.data() + m_pos, '/', size - m_pos)) : nullptr;
                // Find the next '*' (closing) or '/' (opening a nested comment).
                size_t next = star ? size_t(star - m_script.data()) : size;
                if (slash && size_t(slash - m_script.data()) < next)
                    next = size_t(slash - m_script.data());
                if (next >= size) {
                    m_pos = size;
                    break;
                }
                if (m_script[next] == '*' && next + 1 < size && m_script[next + 1] == '/') {
                    --depth;
                    m_pos = next + 2;
                } else if (m_script[next] == '/' && next + 1 < size && m_script[next + 1] == '*') {
                    ++depth;
                    m_pos = next + 2;
                } else {
                    m_pos = next + 1;
                }
            }
            CountLines(start, m_pos);
        } else if (c == '*' && m_openExecutableComments > 0 && m_pos + 1 < size && m_script[m_pos + 1] == '/') {
            m_pos += 2;
            --m_openExecutableComments;
        } else {
            return;
        }
    }
}

bool CSqlTokenizer::StartsDelimiter(size_t pos) const
{
    if (m_delimiter == ";")
        return m_script[pos] == ';';
    return m_script.compare(pos, m_delimiter.size(), m_delimiter) == 0;
}

// Lines that the command-line clients read themselves rather than send to
// the server: they end at the line's end, with or without a semicolon.
bool CSqlTokenizer::AtLineCommand(SqlToken& token)
{
    const size_t size = m_script.size();
    const size_t end = LineEnd(m_pos);
    auto restIsBlank = [&](size_t p) {
        while (p < end && static_cast<unsigned char>(m_script[p]) <= ' ')
            ++p;
        return p == end || m_script.compare(p, 2, "--") == 0;
    };
    auto wordEnd = [&](size_t p) {
        while (p < size && IsWordChar(m_script[p], m_dialect))
            ++p;
        return p;
    };
    const char c = m_script[m_pos];
    bool command = false;
    bool delimiter = false;
    if (m_dialect == SqlDialect::PostgreSql && c == '\\') {
        command = true;
    } else if (m_dialect == SqlDialect::SqlServer && (c == 'G' || c == 'g')) {
        const size_t w = wordEnd(m_pos);
        if (EqualsIgnoreCase(m_script.substr(m_pos, w - m_pos), "GO")) {
            size_t p = w;
            while (p < end && (m_script[p] == ' ' || m_script[p] == '\t' || IsDigit(m_script[p])))
                ++p;
            delimiter = restIsBlank(p);
        }
    } else if (m_dialect == SqlDialect::Oracle && c == '/') {
        delimiter = restIsBlank(m_pos + 1);
    } else if (m_dialect == SqlDialect::Oracle && (c == '@' || IsWordStart(c, m_dialect))) {
        const size_t w = wordEnd(m_pos);
        const std::string_view word = m_script.substr(m_pos, w - m_pos);
        static constexpr std::string_view kPlusCommands[] = {"PROMPT", "REM", "REMARK", "SPOOL", "DEFINE",
                                                             "UNDEFINE", "WHENEVER", "PAUSE", "ACCEPT", "EXIT",
                                                             "QUIT", "CONNECT", "CONN", "DISCONNECT", "SHOW"};
        command = c == '@';
        for (std::string_view plus : kPlusCommands)
            command = command || EqualsIgnoreCase(word, plus);
        if (!command && EqualsIgnoreCase(word, "SET")) {
            size_t p = w;
            while (p < end && m_script[p] == ' ')
                ++p;
            const std::string_view next = m_script.substr(p, wordEnd(p) - p);
            command = !(EqualsIgnoreCase(next, "TRANSACTION") || EqualsIgnoreCase(next, "ROLE") ||
                        EqualsIgnoreCase(next, "CONSTRAINT") || EqualsIgnoreCase(next, "CONSTRAINTS"));
        }
    } else if (m_dialect == SqlDialect::MySql && (c == 'D' || c == 'd')) {
        const size_t w = wordEnd(m_pos);
        if (EqualsIgnoreCase(m_script.substr(m_pos, w - m_pos), "DELIMITER") && w < end &&
            (m_script[w] == ' ' || m_script[w] == '\t')) {
            size_t p = w;
            while (p < end && (m_script[p] == ' ' || m_script[p] == '\t'))
                ++p;
            size_t q = p;
            while (q < end && static_cast<unsigned char>(m_script[q]) > ' ')
                ++q;
            if (q > p)
                m_delimiter = std::string(m_script.substr(p, q - p));
            command = true;
        }
    }
    if (!command && !delimiter)
        return false;
    token.kind = delimiter ? SqlTokenKind::Delimiter : SqlTokenKind::ClientCommand;
    token.begin = m_pos;
    token.end = end;
    token.text = m_script.substr(m_pos, end - m_pos);
    m_pos = end;
    return true;
}

void CSqlTokenizer::ScanQuoted(SqlToken& token, char close, bool backslashEscapes)
{
    const size_t size = m_script.size();
    size_t p = m_pos;
    const char* data = m_script.data();
    for (;;) {
        // Jump to the next closing quote, backslash or newline.
        while (p < size && data[p] != close && data[p] != '\n' && !(backslashEscapes && data[p] == '\\'))
            ++p;
        if (p >= size) {
            token.unterminated = true;
            break;
        }
        if (data[p] == '\n') {
            ++m_line;
            ++p;
        } else if (data[p] == '\\') {
            if (p + 1 < size && data[p + 1] == '\n')
                ++m_line;
            p += 2;
        } else if (p + 1 < size && data[p + 1] == close) {
            p += 2; // a doubled quote stands for itself
        } else {
            ++p;
            break;
        }
    }
    m_pos = p < size ? p : size;
}

void CSqlTokenizer::ScanDollar(SqlToken& token, size_t tagEnd)
{
    const std::string_view tag = m_script.substr(m_pos, tagEnd - m_pos);
    const size_t close = m_script.find(tag, tagEnd);
    const size_t end = close == std::string_view::npos ? m_script.size() : close + tag.size();
    token.unterminated = close == std::string_view::npos;
    CountLines(m_pos, end);
    m_pos = end;
}

SqlToken CSqlTokenizer::Scan()
{
    SkipSpaceAndComments();
    SqlToken token;
    token.line = m_line;
    token.begin = m_pos;
    const size_t size = m_script.size();
    if (m_pos >= size) {
        token.kind = SqlTokenKind::End;
        token.end = size;
        return token;
    }
    if (m_atLineStart && AtLineCommand(token)) {
        m_atLineStart = false;
        return token;
    }
    m_atLineStart = false;
    const char c = m_script[m_pos];
    if (StartsDelimiter(m_pos)) {
        token.kind = SqlTokenKind::Delimiter;
        m_pos += m_delimiter.size();
    } else if (c == '\'') {
        token.kind = SqlTokenKind::String;
        ++m_pos;
        ScanQuoted(token, '\'', m_dialect == SqlDialect::MySql);
    } else if (c == '"') {
        // MySQL reads "..." as a string unless ANSI_QUOTES is set.
        token.kind = m_dialect == SqlDialect::MySql ? SqlTokenKind::String : SqlTokenKind::QuotedName;
        ++m_pos;
        ScanQuoted(token, '"', m_dialect == SqlDialect::MySql);
    } else if (c == '`') {
        token.kind = SqlTokenKind::QuotedName;
        ++m_pos;
        ScanQuoted(token, '`', false);
    } else if (c == '[' && (m_dialect == SqlDialect::SqlServer || m_dialect == SqlDialect::Sqlite)) {
        token.kind = SqlTokenKind::QuotedName;
        ++m_pos;
        ScanQuoted(token, ']', false);
    } else if (c == '$' && m_dialect == SqlDialect::PostgreSql) {
        size_t p = m_pos + 1;
        if (p < size && (IsWordStart(m_script[p], m_dialect) && static_cast<unsigned char>(m_script[p]) < 0x80))
            while (p < size && (IsWordChar(m_script[p], m_dialect) && m_script[p] != '$'))
                ++p;
        if (p < size && m_script[p] == '$') {
            token.kind = SqlTokenKind::String;
            ScanDollar(token, p + 1);
        } else {
            token.kind = SqlTokenKind::Symbol; // a parameter sign $1
            ++m_pos;
        }
    } else if (IsDigit(c) || (c == '.' && m_pos + 1 < size && IsDigit(m_script[m_pos + 1]))) {
        token.kind = SqlTokenKind::Number;
        size_t p = m_pos;
        while (p < size && (IsDigit(m_script[p]) || m_script[p] == '.' ||
                            ((m_script[p] | 0x20) >= 'a' && (m_script[p] | 0x20) <= 'z') || m_script[p] == '_'))  {
            const char e = char(m_script[p] | 0x20);
            ++p;
            if (e == 'e' && p < size && (m_script[p] == '+' || m_script[p] == '-'))
                ++p;
        }
        m_pos = p;
    } else if (IsWordStart(c, m_dialect)) {
        size_t p = m_pos + 1;
        // A terminator set by the script may follow a word directly (END@).
        while (p < size && IsWordChar(m_script[p], m_dialect) && !(m_delimiter != ";" && StartsDelimiter(p)))
            ++p;
        // N'..', E'..', X'..', B'..': one string with its prefix.
        if (p == m_pos + 1 && p < size && m_script[p] == '\'' && std::strchr("NnEeXxBb", c)) {
            token.kind = SqlTokenKind::String;
            m_pos = p + 1;
            const bool escapes = m_dialect == SqlDialect::MySql ||
                                 (m_dialect == SqlDialect::PostgreSql && (c == 'E' || c == 'e'));
            ScanQuoted(token, '\'', escapes);
        } else {
            token.kind = SqlTokenKind::Word;
            m_pos = p;
        }
    } else {
        token.kind = SqlTokenKind::Symbol;
        ++m_pos;
    }
    token.end = m_pos;
    token.text = m_script.substr(token.begin, token.end - token.begin);
    return token;
}

std::string CSqlTokenizer::NameText(const SqlToken& token)
{
    if (token.kind != SqlTokenKind::QuotedName || token.text.empty())
        return std::string(token.text);
    const char open = token.text.front();
    const char close = open == '[' ? ']' : open;
    std::string_view inner = token.text.substr(1);
    if (!token.unterminated && !inner.empty())
        inner.remove_suffix(1);
    std::string out;
    out.reserve(inner.size());
    for (size_t i = 0; i < inner.size(); ++i) {
        out += inner[i];
        if (inner[i] == close && i + 1 < inner.size() && inner[i + 1] == close)
            ++i;
    }
    return out;
}

std::string CSqlTokenizer::StringValue(const SqlToken& token) const
{
    std::string_view text = token.text;
    if (text.empty())
        return {};
    if (text.front() == '$') {
        const size_t tagEnd = text.find('$', 1);
        const size_t tagSize = tagEnd + 1;
        if (text.size() < 2 * tagSize)
            return std::string(text.substr(std::min(tagSize, text.size())));
        return std::string(text.substr(tagSize, text.size() - 2 * tagSize));
    }
    bool escapes = m_dialect == SqlDialect::MySql;
    if (text.front() != '\'' && text.front() != '"') {
        escapes = escapes || text.front() == 'E' || text.front() == 'e';
        text.remove_prefix(1);
    }
    const char quote = text.front();
    text.remove_prefix(1);
    if (!token.unterminated && !text.empty())
        text.remove_suffix(1);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == quote && i + 1 < text.size() && text[i + 1] == quote) {
            out += quote;
            ++i;
        } else if (ch == '\\' && escapes && i + 1 < text.size()) {
            const char e = text[++i];
            switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '0': break; // a NUL has no place in a description
            case 'b': out += '\b'; break;
            case 'Z': out += '\x1a'; break;
            default: out += e; break;
            }
        } else {
            out += ch;
        }
    }
    return out;
}

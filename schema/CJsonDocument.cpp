#include "CJsonDocument.h"

#include <cstring>

namespace {

constexpr size_t kBlockBytes = size_t(4) << 20;

void AppendUtf8(std::string& out, uint32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

const CJsonDocument::Value* CJsonDocument::Value::Get(std::string_view key) const
{
    if (kind != Kind::Object)
        return nullptr;
    for (uint32_t i = 0; i < count; ++i)
        if (members[i].key == key)
            return &members[i].value;
    return nullptr;
}

void* CJsonDocument::Allocate(size_t bytes)
{
    bytes = (bytes + 15) & ~size_t(15);
    if (bytes > kBlockBytes / 4) {
        m_blocks.insert(m_blocks.begin(), std::make_unique<char[]>(bytes));
        ++m_blocksOversized;
        ++m_current;
        return m_blocks.front().get();
    }
    if (m_capacity == 0 || m_used + bytes > m_capacity) {
        if (m_capacity != 0)
            ++m_current;
        if (m_current >= m_blocks.size())
            m_blocks.push_back(std::make_unique<char[]>(kBlockBytes));
        m_used = 0;
        m_capacity = kBlockBytes;
    }
    void* p = m_blocks[m_current].get() + m_used;
    m_used += bytes;
    return p;
}

bool CJsonDocument::Parse(std::string_view json, int maxDepth)
{
    // Blocks stay for the next document; only oversized ones go.
    while (!m_blocks.empty() && m_blocksOversized > 0) {
        m_blocks.erase(m_blocks.begin());
        --m_blocksOversized;
    }
    m_current = 0;
    m_used = 0;
    m_capacity = m_blocks.empty() ? 0 : kBlockBytes;
    m_p = json.data();
    m_end = json.data() + json.size();
    m_maxDepth = maxDepth;
    m_root = Value();
    if (!ParseValue(m_root, 0))
        return false;
    SkipSpace();
    return m_p == m_end;
}

void CJsonDocument::SkipSpace()
{
    while (m_p < m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\t' || *m_p == '\r'))
        ++m_p;
}

bool CJsonDocument::ParseString(std::string_view& out)
{
    ++m_p; // the opening quote
    const char* start = m_p;
    while (m_p < m_end && *m_p != '"' && *m_p != '\\')
        ++m_p;
    if (m_p >= m_end)
        return false;
    if (*m_p == '"') {
        out = std::string_view(start, size_t(m_p - start));
        ++m_p;
        return true;
    }
    // Escapes: decode into the arena.
    std::string decoded(start, size_t(m_p - start));
    while (m_p < m_end && *m_p != '"') {
        if (*m_p != '\\') {
            decoded += *m_p++;
            continue;
        }
        if (++m_p >= m_end)
            return false;
        const char e = *m_p++;
        switch (e) {
        case '"': decoded += '"'; break;
        case '\\': decoded += '\\'; break;
        case '/': decoded += '/'; break;
        case 'b': decoded += '\b'; break;
        case 'f': decoded += '\f'; break;
        case 'n': decoded += '\n'; break;
        case 'r': decoded += '\r'; break;
        case 't': decoded += '\t'; break;
        case 'u': {
            if (m_end - m_p < 4)
                return false;
            uint32_t code = 0;
            for (int i = 0; i < 4; ++i) {
                const int d = HexDigit(m_p[i]);
                if (d < 0)
                    return false;
                code = code * 16 + uint32_t(d);
            }
            m_p += 4;
            if (code >= 0xD800 && code <= 0xDBFF && m_end - m_p >= 6 && m_p[0] == '\\' && m_p[1] == 'u') {
                uint32_t low = 0;
                bool ok = true;
                for (int i = 0; i < 4; ++i) {
                    const int d = HexDigit(m_p[2 + i]);
                    ok = ok && d >= 0;
                    low = low * 16 + uint32_t(d < 0 ? 0 : d);
                }
                if (ok && low >= 0xDC00 && low <= 0xDFFF) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    m_p += 6;
                }
            }
            if (code >= 0xD800 && code <= 0xDFFF)
                code = 0xFFFD;
            AppendUtf8(decoded, code);
            break;
        }
        default:
            return false;
        }
    }
    if (m_p >= m_end)
        return false;
    ++m_p;
    char* copy = static_cast<char*>(Allocate(decoded.size() + 1));
    std::memcpy(copy, decoded.data(), decoded.size());
    out = std::string_view(copy, decoded.size());
    return true;
}

bool CJsonDocument::ParseValue(Value& out, int depth)
{
    if (depth > m_maxDepth)
        return false;
    SkipSpace();
    if (m_p >= m_end)
        return false;
    const char c = *m_p;
    if (c == '{') {
        ++m_p;
        const size_t mark = m_memberStack.size();
        SkipSpace();
        if (m_p < m_end && *m_p == '}') {
            ++m_p;
        } else {
            for (;;) {
                SkipSpace();
                if (m_p >= m_end || *m_p != '"')
                    return false;
                Member member;
                if (!ParseString(member.key))
                    return false;
                SkipSpace();
                if (m_p >= m_end || *m_p != ':')
                    return false;
                ++m_p;
                if (!ParseValue(member.value, depth + 1))
                    return false;
                m_memberStack.push_back(member);
                SkipSpace();
                if (m_p < m_end && *m_p == ',') {
                    ++m_p;
                    continue;
                }
                if (m_p < m_end && *m_p == '}') {
                    ++m_p;
                    break;
                }
                return false;
            }
        }
        out.kind = Kind::Object;
        out.count = uint32_t(m_memberStack.size() - mark);
        auto* members = static_cast<Member*>(Allocate(sizeof(Member) * out.count));
        std::copy(m_memberStack.begin() + std::ptrdiff_t(mark), m_memberStack.end(), members);
        m_memberStack.resize(mark);
        out.members = members;
        return true;
    }
    if (c == '[') {
        ++m_p;
        const size_t mark = m_valueStack.size();
        SkipSpace();
        if (m_p < m_end && *m_p == ']') {
            ++m_p;
        } else {
            for (;;) {
                Value item;
                if (!ParseValue(item, depth + 1))
                    return false;
                m_valueStack.push_back(item);
                SkipSpace();
                if (m_p < m_end && *m_p == ',') {
                    ++m_p;
                    continue;
                }
                if (m_p < m_end && *m_p == ']') {
                    ++m_p;
                    break;
                }
                return false;
            }
        }
        out.kind = Kind::Array;
        out.count = uint32_t(m_valueStack.size() - mark);
        auto* items = static_cast<Value*>(Allocate(sizeof(Value) * out.count));
        std::copy(m_valueStack.begin() + std::ptrdiff_t(mark), m_valueStack.end(), items);
        m_valueStack.resize(mark);
        out.items = items;
        return true;
    }
    if (c == '"') {
        out.kind = Kind::String;
        return ParseString(out.text);
    }
    if (c == 't' && m_end - m_p >= 4 && std::memcmp(m_p, "true", 4) == 0) {
        out.kind = Kind::Bool;
        out.boolean = true;
        m_p += 4;
        return true;
    }
    if (c == 'f' && m_end - m_p >= 5 && std::memcmp(m_p, "false", 5) == 0) {
        out.kind = Kind::Bool;
        m_p += 5;
        return true;
    }
    if (c == 'n' && m_end - m_p >= 4 && std::memcmp(m_p, "null", 4) == 0) {
        out.kind = Kind::Null;
        m_p += 4;
        return true;
    }
    if (c == '-' || (c >= '0' && c <= '9')) {
        // Integers as libpg_query writes them; a fraction or exponent is read past.
        bool negative = c == '-';
        if (negative)
            ++m_p;
        int64_t value = 0;
        while (m_p < m_end && *m_p >= '0' && *m_p <= '9') {
            if (value < (INT64_MAX - 9) / 10)
                value = value * 10 + (*m_p - '0');
            ++m_p;
        }
        while (m_p < m_end && (*m_p == '.' || *m_p == 'e' || *m_p == 'E' || *m_p == '+' || *m_p == '-' ||
                               (*m_p >= '0' && *m_p <= '9')))
            ++m_p;
        out.kind = Kind::Number;
        out.number = negative ? -value : value;
        return true;
    }
    return false;
}

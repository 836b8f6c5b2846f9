#include "SqlUtf8.h"

namespace SqlUtf8 {

char32_t DecodeUtf8(std::string_view text, size_t& pos)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    size_t extra;
    char32_t cp;
    char32_t least;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, least = 0x10000;
    } else {
        ++pos;
        return kInvalidCodePoint;
    }
    if (text.size() - pos <= extra) {
        ++pos;
        return kInvalidCodePoint;
    }
    for (size_t i = 1; i <= extra; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return kInvalidCodePoint;
        }
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return kInvalidCodePoint;
    }
    pos += extra + 1;
    return cp;
}

bool IsValidUtf8(std::string_view text)
{
    for (size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80)
            ++pos;
        else if (DecodeUtf8(text, pos) == kInvalidCodePoint)
            return false;
    }
    return true;
}

bool IsAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string RepairUtf8(std::string_view text)
{
    if (IsAscii(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        const char32_t cp = DecodeUtf8(text, pos);
        if (cp != kInvalidCodePoint) {
            out.append(text.substr(start, pos - start));
            continue;
        }
        AppendUtf8(out, static_cast<unsigned char>(text[start]));
    }
    return out;
}

size_t Utf8Length(std::string_view text)
{
    size_t count = 0;
    for (size_t pos = 0; pos < text.size(); ++count)
        DecodeUtf8(text, pos);
    return count;
}

std::string_view Utf8Prefix(std::string_view text, size_t maxChars)
{
    size_t pos = 0;
    for (size_t n = 0; n < maxChars && pos < text.size(); ++n)
        DecodeUtf8(text, pos);
    return text.substr(0, pos);
}

} // namespace SqlUtf8

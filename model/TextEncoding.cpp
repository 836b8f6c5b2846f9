#include "TextEncoding.h"

#include <cstdint>

namespace TextEncoding {

namespace {

bool IsContinuation(uint8_t byte)
{
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at pos, or 0 when there is none.
size_t Utf8SequenceAt(std::string_view text, size_t pos, char32_t& character)
{
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[pos + i]); };
    const size_t left = text.size() - pos;
    const uint8_t lead = byte(0);
    if (lead < 0x80) {
        character = lead;
        return 1;
    }
    size_t length;
    char32_t value;
    char32_t smallest;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if (!IsContinuation(byte(i)))
            return 0;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    character = value;
    return length;
}

} // namespace

bool IsAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<uint8_t>(c) >= 0x80)
            return false;
    return true;
}

bool IsUtf8(std::string_view text)
{
    char32_t character;
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = Utf8SequenceAt(text, pos, character);
        if (length == 0)
            return false;
        pos += length;
    }
    return true;
}

size_t NextCharacter(std::string_view text, size_t pos, char32_t& character)
{
    if (pos >= text.size())
        return 0;
    const size_t length = Utf8SequenceAt(text, pos, character);
    if (length)
        return length;
    character = static_cast<uint8_t>(text[pos]);
    return 1;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = kReplacement;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string ToUtf8(std::string_view text)
{
    if (IsUtf8(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    char32_t character;
    for (size_t pos = 0; pos < text.size();) {
        pos += NextCharacter(text, pos, character);
        AppendUtf8(out, character);
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view latin1)
{
    if (IsAscii(latin1))
        return std::string(latin1);
    std::string out;
    out.reserve(latin1.size() * 2);
    for (char c : latin1)
        AppendUtf8(out, static_cast<uint8_t>(c));
    return out;
}

std::optional<std::string> ToLatin1(std::string_view text)
{
    if (IsAscii(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    char32_t character;
    for (size_t pos = 0; pos < text.size();) {
        pos += NextCharacter(text, pos, character);
        if (character > 0xFF)
            return std::nullopt;
        out.push_back(static_cast<char>(character));
    }
    return out;
}

std::u16string ToUtf16(std::string_view text)
{
    std::u16string units;
    units.reserve(text.size());
    char32_t character;
    for (size_t pos = 0; pos < text.size();) {
        pos += NextCharacter(text, pos, character);
        if (character < 0x10000) {
            units.push_back(static_cast<char16_t>(character));
        } else {
            character -= 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 | (character >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 | (character & 0x3FF)));
        }
    }
    return units;
}

std::string Utf16ToUtf8(std::u16string_view units)
{
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00
            && units[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(units[i + 1]) - 0xDC00));
            ++i;
        } else {
            // A lone surrogate of either kind becomes the replacement character.
            AppendUtf8(out, unit);
        }
    }
    return out;
}

} // namespace TextEncoding

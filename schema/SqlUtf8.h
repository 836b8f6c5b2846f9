#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Model text is UTF-8; these helpers read it code point by code point and
// make older single-byte text safe to write into a UTF-8 script.
namespace SqlUtf8 {

constexpr char32_t kInvalidCodePoint = 0xFFFFFFFF;

// The code point starting at pos, advancing pos past it. An invalid or
// truncated sequence, an overlong form or a surrogate gives kInvalidCodePoint
// and advances by one byte.
char32_t DecodeUtf8(std::string_view text, size_t& pos);

bool IsValidUtf8(std::string_view text);
bool IsAscii(std::string_view text);

// The text with every byte that is not part of a valid sequence read as
// the Latin-1 character of its value, as the model reads older diagrams.
std::string RepairUtf8(std::string_view text);

// Number of code points (an invalid byte counts as one).
size_t Utf8Length(std::string_view text);

// The first maxChars code points of valid UTF-8 text.
std::string_view Utf8Prefix(std::string_view text, size_t maxChars);

void AppendUtf8(std::string& out, char32_t codePoint);

} // namespace SqlUtf8

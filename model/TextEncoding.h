#pragma once

#include <optional>
#include <string>
#include <string_view>

// Model text is UTF-8. These conversions serve the edges where other forms
// meet it: the .erd and clipboard string forms (Latin-1 narrow, UTF-16LE
// wide), the records and error texts of ddlread, and scripts read as bytes.
//
// Text that is not well-formed UTF-8 is never refused: every well-formed
// sequence stands for its character and every other byte for the Latin-1
// character of its value. Latin-1 text (an older diagram, a script saved in
// Latin-1) therefore reads as what it says, and UTF-8 as what it says.
namespace TextEncoding {

constexpr char32_t kReplacement = 0xFFFD;

// True when every byte is below 0x80; such text is the same in every form.
bool IsAscii(std::string_view text);

// True when the text is well-formed UTF-8: shortest forms only, no
// surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view text);

// Decodes the character at pos and returns how many bytes it took (at least
// one while pos is inside the text), by the rule above.
size_t NextCharacter(std::string_view text, size_t pos, char32_t& character);

void AppendUtf8(std::string& out, char32_t character);

// The text as well-formed UTF-8, by the rule above; UTF-8 comes back as it was.
std::string ToUtf8(std::string_view text);

// Every byte as the Latin-1 character of its value.
std::string Latin1ToUtf8(std::string_view latin1);

// The single-byte form when every character is below U+0100, else nothing.
std::optional<std::string> ToLatin1(std::string_view text);

// UTF-16 code units; characters above U+FFFF become surrogate pairs.
std::u16string ToUtf16(std::string_view text);

// UTF-16 code units as UTF-8; a surrogate without its partner becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);

} // namespace TextEncoding

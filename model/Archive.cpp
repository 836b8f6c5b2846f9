#include "Archive.h"

#include "TextEncoding.h"

#include <cstring>
#include <optional>

namespace {

constexpr uint8_t kByteLengthEscape = 0xFF;
constexpr uint16_t kWordLengthEscape = 0xFFFF;
constexpr uint16_t kWideMarker = 0xFFFE;

} // namespace

void CArchiveWriter::WriteInt32(int32_t value)
{
    WriteUInt32(static_cast<uint32_t>(value));
}

void CArchiveWriter::WriteUInt16(uint16_t value)
{
    const char bytes[2] = {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
    m_bytes.append(bytes, 2);
}

void CArchiveWriter::WriteUInt32(uint32_t value)
{
    const char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                           static_cast<char>((value >> 16) & 0xFF), static_cast<char>(value >> 24)};
    m_bytes.append(bytes, 4);
}

void CArchiveWriter::WriteFlag16(bool value)
{
    WriteUInt16(value ? 1 : 0);
}

void CArchiveWriter::WriteLength(uint64_t n)
{
    if (n < kByteLengthEscape) {
        m_bytes.push_back(static_cast<char>(n));
    } else if (n < kWideMarker) {
        m_bytes.push_back(static_cast<char>(kByteLengthEscape));
        WriteUInt16(static_cast<uint16_t>(n));
    } else {
        m_bytes.push_back(static_cast<char>(kByteLengthEscape));
        WriteUInt16(kWordLengthEscape);
        WriteUInt32(static_cast<uint32_t>(n));
    }
}

void CArchiveWriter::WriteNarrow(std::string_view bytes)
{
    // The longest prefix holds 32 bits; the prefix and the text must agree.
    if (bytes.size() > UINT32_MAX)
        bytes = bytes.substr(0, UINT32_MAX);
    WriteLength(bytes.size());
    m_bytes.append(bytes);
}

void CArchiveWriter::WriteString(std::string_view text)
{
    // Stored texts end at their first NUL, as in a C string.
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);

    // Text that fits Latin-1 keeps the narrow form and its old bytes.
    if (TextEncoding::IsAscii(text)) {
        WriteNarrow(text);
        return;
    }
    if (const std::optional<std::string> latin1 = TextEncoding::ToLatin1(text)) {
        WriteNarrow(*latin1);
        return;
    }

    // Any other text goes in the wide form: the marker, a length counting
    // UTF-16 code units, then the units little-endian.
    std::u16string units = TextEncoding::ToUtf16(text);
    if (units.size() > UINT32_MAX)
        units.resize(UINT32_MAX);
    m_bytes.push_back(static_cast<char>(kByteLengthEscape));
    WriteUInt16(kWideMarker);
    WriteLength(units.size());
    for (char16_t unit : units)
        WriteUInt16(static_cast<uint16_t>(unit));
}

void CArchiveWriter::WriteBytes(const void* data, size_t size)
{
    m_bytes.append(static_cast<const char*>(data), size);
}

CArchiveReader::CArchiveReader(const void* data, size_t size)
    : m_data(static_cast<const uint8_t*>(data)), m_size(data ? size : 0)
{
}

void CArchiveReader::Need(size_t size) const
{
    if (size > Remaining())
        throw CArchiveError("the data ends before the item");
}

int32_t CArchiveReader::ReadInt32()
{
    return static_cast<int32_t>(ReadUInt32());
}

uint16_t CArchiveReader::ReadUInt16()
{
    Need(2);
    const uint16_t value = static_cast<uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    m_pos += 2;
    return value;
}

uint32_t CArchiveReader::ReadUInt32()
{
    Need(4);
    const uint8_t* p = m_data + m_pos;
    const uint32_t value = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
        | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    m_pos += 4;
    return value;
}

bool CArchiveReader::ReadFlag16()
{
    return ReadUInt16() != 0;
}

std::string CArchiveReader::ReadString()
{
    Need(1);
    uint32_t length = m_data[m_pos++];
    bool wide = false;
    if (length == kByteLengthEscape) {
        length = ReadUInt16();
        if (length == kWideMarker) {
            // The wide form starts over with a prefix of its own that counts
            // 16-bit code units; a second marker there is an ordinary length.
            wide = true;
            Need(1);
            length = m_data[m_pos++];
            if (length == kByteLengthEscape) {
                length = ReadUInt16();
                if (length == kWordLengthEscape)
                    length = ReadUInt32();
            }
        } else if (length == kWordLengthEscape) {
            length = ReadUInt32();
        }
    }

    // The length is checked against what remains before anything is allocated.
    const size_t byteCount = wide ? static_cast<size_t>(length) * 2 : length;
    Need(byteCount);
    const uint8_t* p = m_data + m_pos;
    m_pos += byteCount;

    if (!wide) {
        // Narrow text is Latin-1: each byte is the character of its value.
        const void* nul = std::memchr(p, 0, length);
        const size_t kept = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : length;
        return TextEncoding::Latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(p), kept));
    }
    std::u16string units;
    units.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const char16_t unit = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    return TextEncoding::Utf16ToUtf8(units);
}

void CArchiveReader::ReadBytes(void* out, size_t size)
{
    Need(size);
    if (size)
        std::memcpy(out, m_data + m_pos, size);
    m_pos += size;
}

size_t CArchiveReader::ReadSome(void* out, size_t size)
{
    const size_t n = size < Remaining() ? size : Remaining();
    if (n)
        std::memcpy(out, m_data + m_pos, n);
    m_pos += n;
    return n;
}

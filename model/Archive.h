#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// Raised by CArchiveReader when the data ends before an item or announces a
// length that cannot fit. Caught inside the model; never crosses a public API.
class CArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Little-endian writer of the .erd and clipboard primitives.
class CArchiveWriter {
public:
    void WriteInt32(int32_t value);
    void WriteUInt16(uint16_t value);
    void WriteUInt32(uint32_t value);
    void WriteFlag16(bool value);
    // The UTF-8 text up to its first NUL: when every character fits Latin-1,
    // a length prefix of 1, 3 or 7 bytes and the Latin-1 bytes; otherwise the
    // wide form (0xFF, 0xFFFE, a prefix counting UTF-16 units, UTF-16LE).
    void WriteString(std::string_view text);
    void WriteBytes(const void* data, size_t size);

    const std::string& Bytes() const { return m_bytes; }
    std::string Take() { return std::move(m_bytes); }
    // Starts again empty, keeping the buffer for the next records.
    void Clear() { m_bytes.clear(); }

private:
    void WriteLength(uint64_t n);
    void WriteNarrow(std::string_view bytes);

    std::string m_bytes;
};

// Little-endian reader over a byte block that always knows how much remains;
// it never allocates for a length that the remaining bytes cannot hold.
class CArchiveReader {
public:
    CArchiveReader(const void* data, size_t size);

    int32_t ReadInt32();
    uint16_t ReadUInt16();
    uint32_t ReadUInt32();
    bool ReadFlag16();
    // Reads the 1/3/7-byte prefixed text as UTF-8: the narrow form as
    // Latin-1, the 0xFFFE wide form as UTF-16LE (a surrogate without its
    // partner becomes U+FFFD); keeps the text before a NUL.
    std::string ReadString();
    void ReadBytes(void* out, size_t size);
    // Reads up to size bytes, as many as remain; returns how many were read.
    size_t ReadSome(void* out, size_t size);

    size_t Remaining() const { return m_size - m_pos; }
    size_t Position() const { return m_pos; }
    bool AtEnd() const { return m_pos == m_size; }

private:
    void Need(size_t size) const;

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

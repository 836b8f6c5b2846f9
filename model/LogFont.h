#pragma once

#include <cstdint>
#include <cstring>
#include <string>

// The diagram font record, laid out byte for byte as the 60 bytes stored in
// .erd files: five int32, eight bytes, a 32-byte NUL-terminated face name.
// Bytes after the face name's NUL are kept as they came so files round-trip.
struct KorvoLogFont {
    int32_t lfHeight = 240;
    int32_t lfWidth = 0;
    int32_t lfEscapement = 0;
    int32_t lfOrientation = 0;
    int32_t lfWeight = 0;
    uint8_t lfItalic = 0;
    uint8_t lfUnderline = 0;
    uint8_t lfStrikeOut = 0;
    uint8_t lfCharSet = 0;
    uint8_t lfOutPrecision = 0;
    uint8_t lfClipPrecision = 0;
    uint8_t lfQuality = 0;
    uint8_t lfPitchAndFamily = 32;
    char lfFaceName[32] = {'A', 'r', 'i', 'a', 'l'};

    static constexpr int kSize = 60;

    std::string FaceName() const { return std::string(lfFaceName, strnlen(lfFaceName, sizeof lfFaceName)); }
    // Copies at most 31 bytes and always terminates.
    void SetFaceName(std::string_view name)
    {
        std::memset(lfFaceName, 0, sizeof lfFaceName);
        std::memcpy(lfFaceName, name.data(), name.size() < 31 ? name.size() : 31);
    }

    // Little-endian 60-byte record.
    void ToBytes(uint8_t out[kSize]) const;
    void FromBytes(const uint8_t in[kSize]);

    friend bool operator==(const KorvoLogFont& a, const KorvoLogFont& b);
};
static_assert(sizeof(KorvoLogFont) == KorvoLogFont::kSize);

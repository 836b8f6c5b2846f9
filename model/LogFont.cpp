#include "LogFont.h"

namespace {

void PutInt32(uint8_t* out, int32_t value)
{
    const uint32_t v = static_cast<uint32_t>(value);
    out[0] = static_cast<uint8_t>(v);
    out[1] = static_cast<uint8_t>(v >> 8);
    out[2] = static_cast<uint8_t>(v >> 16);
    out[3] = static_cast<uint8_t>(v >> 24);
}

int32_t GetInt32(const uint8_t* in)
{
    return static_cast<int32_t>(static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8)
                                | (static_cast<uint32_t>(in[2]) << 16) | (static_cast<uint32_t>(in[3]) << 24));
}

} // namespace

void KorvoLogFont::ToBytes(uint8_t out[kSize]) const
{
    PutInt32(out + 0, lfHeight);
    PutInt32(out + 4, lfWidth);
    PutInt32(out + 8, lfEscapement);
    PutInt32(out + 12, lfOrientation);
    PutInt32(out + 16, lfWeight);
    out[20] = lfItalic;
    out[21] = lfUnderline;
    out[22] = lfStrikeOut;
    out[23] = lfCharSet;
    out[24] = lfOutPrecision;
    out[25] = lfClipPrecision;
    out[26] = lfQuality;
    out[27] = lfPitchAndFamily;
    std::memcpy(out + 28, lfFaceName, sizeof lfFaceName);
}

void KorvoLogFont::FromBytes(const uint8_t in[kSize])
{
    lfHeight = GetInt32(in + 0);
    lfWidth = GetInt32(in + 4);
    lfEscapement = GetInt32(in + 8);
    lfOrientation = GetInt32(in + 12);
    lfWeight = GetInt32(in + 16);
    lfItalic = in[20];
    lfUnderline = in[21];
    lfStrikeOut = in[22];
    lfCharSet = in[23];
    lfOutPrecision = in[24];
    lfClipPrecision = in[25];
    lfQuality = in[26];
    lfPitchAndFamily = in[27];
    std::memcpy(lfFaceName, in + 28, sizeof lfFaceName);
}

bool operator==(const KorvoLogFont& a, const KorvoLogFont& b)
{
    uint8_t x[KorvoLogFont::kSize];
    uint8_t y[KorvoLogFont::kSize];
    a.ToBytes(x);
    b.ToBytes(y);
    return std::memcmp(x, y, sizeof x) == 0;
}

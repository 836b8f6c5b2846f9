#include "Archive.h"
#include "LogFont.h"
#include "TestDiagrams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Written(const std::string& text)
{
    CArchiveWriter w;
    w.WriteString(text);
    return w.Take();
}

TEST(ArchiveWriter, IntegersAreLittleEndian)
{
    CArchiveWriter w;
    w.WriteInt32(0x45524420);
    w.WriteInt32(-2);
    w.WriteUInt16(0xABCD);
    w.WriteUInt32(0x01020304);
    w.WriteFlag16(true);
    w.WriteFlag16(false);
    EXPECT_EQ(w.Bytes(), Bytes({0x20, 0x44, 0x52, 0x45, 0xFE, 0xFF, 0xFF, 0xFF, 0xCD, 0xAB, 4, 3, 2, 1, 1, 0, 0, 0}));
}

// The prefix grows from one byte to three at 255 and to seven at 65534.
TEST(ArchiveWriter, StringLengthPrefixes)
{
    struct Case {
        size_t length;
        std::string prefix;
    };
    const std::vector<Case> cases = {
        {0, Bytes({0})},
        {1, Bytes({1})},
        {254, Bytes({0xFE})},
        {255, Bytes({0xFF, 0xFF, 0x00})},
        {256, Bytes({0xFF, 0x00, 0x01})},
        {65533, Bytes({0xFF, 0xFD, 0xFF})},
        {65534, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
        {65535, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00})},
        {70000, Bytes({0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string text(c.length, 'n');
        const std::string bytes = Written(text);
        ASSERT_EQ(bytes.size(), c.prefix.size() + c.length);
        EXPECT_EQ(bytes.substr(0, c.prefix.size()), c.prefix);
        EXPECT_EQ(bytes.substr(c.prefix.size()), text);

        CArchiveReader r(bytes.data(), bytes.size());
        EXPECT_EQ(r.ReadString(), text);
        EXPECT_TRUE(r.AtEnd());
    }
}

// Text is UTF-8 in memory. What fits Latin-1 is written narrow, one byte a
// character, exactly as before; anything else in the wide form.
TEST(ArchiveWriter, LatinTextStaysNarrowOtherTextGoesWide)
{
    struct Case {
        const char* what;
        std::string text;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"latin-1 letters", "Gr\xC3\xBC\xC3\x9F" "e", Bytes({5, 'G', 'r', 0xFC, 0xDF, 'e'})},
        {"top of latin-1", "\xC3\xBF", Bytes({1, 0xFF})},
        {"a stray byte", "caf\xE9", Bytes({4, 'c', 'a', 'f', 0xE9})},
        {"omega", "\xCE\xA9", Bytes({0xFF, 0xFE, 0xFF, 1, 0xA9, 0x03})},
        {"emoji as a pair", "\xF0\x9F\x8E\x89", Bytes({0xFF, 0xFE, 0xFF, 2, 0x3C, 0xD8, 0x89, 0xDF})},
        {"cut at a nul", std::string("\xE9\xA1\xA7\0\xE5\xAE\xA2", 7), Bytes({0xFF, 0xFE, 0xFF, 1, 0x67, 0x98})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Written(c.text), c.bytes);
    }
}

// The wide form's own prefix counts code units with the same 1/3/7 steps.
TEST(ArchiveWriter, WideLengthPrefixes)
{
    struct Case {
        size_t units;
        std::string prefix;
    };
    const std::vector<Case> cases = {
        {254, Bytes({0xFF, 0xFE, 0xFF, 0xFE})},
        {255, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00})},
        {65533, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF})},
        {65534, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
        {70000, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.units);
        std::string text;
        for (size_t i = 0; i < c.units; ++i)
            text += "\xCE\xA9"; // U+03A9, one unit each
        const std::string bytes = Written(text);
        ASSERT_EQ(bytes.size(), c.prefix.size() + 2 * c.units);
        EXPECT_EQ(bytes.substr(0, c.prefix.size()), c.prefix);
        EXPECT_EQ(bytes.substr(c.prefix.size(), 2), Bytes({0xA9, 0x03}));

        CArchiveReader r(bytes.data(), bytes.size());
        EXPECT_EQ(r.ReadString(), text);
        EXPECT_TRUE(r.AtEnd());
    }
}

TEST(ArchiveWriter, EveryCharacterComesBack)
{
    const std::vector<std::string> texts = {
        "caf\xC3\xA9_\xCE\xA9", "\xE9\xA1\xA7\xE5\xAE\xA2", "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89",
        "e\xCC\x81" "a\xCC\x8A", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", "caf\xC3\xA9", std::string(300, 'x') + "\xCE\xA9",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        const std::string bytes = Written(text) + Bytes({7, 0, 0, 0});
        CArchiveReader r(bytes.data(), bytes.size());
        EXPECT_EQ(r.ReadString(), text);
        EXPECT_EQ(r.ReadInt32(), 7);
    }
}

TEST(ArchiveWriter, TextEndsAtItsFirstNul)
{
    EXPECT_EQ(Written(std::string("ab\0cd", 5)), Bytes({2, 'a', 'b'}));
}

TEST(ArchiveReader, TextKeepsWhatComesBeforeANul)
{
    const std::string bytes = Bytes({5, 'a', 'b', 0, 'c', 'd', 7, 0, 0, 0});
    CArchiveReader r(bytes.data(), bytes.size());
    EXPECT_EQ(r.ReadString(), "ab");
    // The whole announced text is consumed even when only part is kept.
    EXPECT_EQ(r.ReadInt32(), 7);
}

TEST(ArchiveReader, WideTextKeepsEveryCharacter)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::string text;
    };
    const std::string replacement = "\xEF\xBF\xBD";
    const std::vector<Case> cases = {
        {"ascii", Bytes({0xFF, 0xFE, 0xFF, 2, 'h', 0, 'i', 0}), "hi"},
        {"latin-1", Bytes({0xFF, 0xFE, 0xFF, 2, 0xE9, 0x00, 0xFF, 0x00}), "\xC3\xA9\xC3\xBF"},
        {"outside latin-1", Bytes({0xFF, 0xFE, 0xFF, 3, 'a', 0, 0xAC, 0x20, 0x00, 0x01}), "a\xE2\x82\xAC\xC4\x80"},
        {"surrogate pair", Bytes({0xFF, 0xFE, 0xFF, 3, 0x3C, 0xD8, 0x89, 0xDF, '!', 0}), "\xF0\x9F\x8E\x89!"},
        {"lone high surrogate", Bytes({0xFF, 0xFE, 0xFF, 2, 0x3C, 0xD8, 'x', 0}), replacement + "x"},
        {"lone low surrogate at the end", Bytes({0xFF, 0xFE, 0xFF, 2, 'x', 0, 0x89, 0xDF}), "x" + replacement},
        {"nul inside", Bytes({0xFF, 0xFE, 0xFF, 3, 'a', 0, 0, 0, 'b', 0}), "a"},
        {"empty", Bytes({0xFF, 0xFE, 0xFF, 0}), ""},
        {"three-byte count", Bytes({0xFF, 0xFE, 0xFF, 0xFF, 1, 0, 'x', 0}), "x"},
        {"seven-byte count", Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 'y', 0}), "y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bytes = c.bytes + Bytes({9, 0, 0, 0});
        CArchiveReader r(bytes.data(), bytes.size());
        EXPECT_EQ(r.ReadString(), c.text);
        EXPECT_EQ(r.ReadInt32(), 9);
    }
}

TEST(ArchiveReader, ItemsPastTheEndThrow)
{
    struct Case {
        const char* what;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"no length byte", ""},
        {"short text", Bytes({3, 'a', 'b'})},
        {"short word prefix", Bytes({0xFF, 0x01})},
        {"short dword prefix", Bytes({0xFF, 0xFF, 0xFF, 1, 0})},
        {"long text cut short", Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}) + std::string(100, 'x')},
        {"text of 4 GiB", Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'})},
        {"wide text without its units", Bytes({0xFF, 0xFE, 0xFF, 2, 'a', 0, 'b'})},
        {"wide text cut inside a pair", Bytes({0xFF, 0xFE, 0xFF, 2, 0x3C, 0xD8, 0x89})},
        {"wide text of 8 GiB", Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
        {"wide marker alone", Bytes({0xFF, 0xFE, 0xFF})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CArchiveReader r(c.bytes.data(), c.bytes.size());
        EXPECT_THROW(r.ReadString(), CArchiveError);
    }

    const std::string three = Bytes({1, 2, 3});
    CArchiveReader r(three.data(), three.size());
    EXPECT_THROW(r.ReadInt32(), CArchiveError);
    EXPECT_EQ(r.ReadUInt16(), 0x0201);
    EXPECT_THROW(r.ReadFlag16(), CArchiveError);
    char out[2];
    EXPECT_THROW(r.ReadBytes(out, 2), CArchiveError);
    EXPECT_EQ(r.ReadSome(out, 2), 1u);
    EXPECT_EQ(out[0], 3);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(r.ReadSome(out, 2), 0u);
}

TEST(ArchiveReader, AnyNonZeroFlagIsTrue)
{
    const std::string bytes = Bytes({0, 0, 1, 0, 0, 1, 0xFF, 0xFF});
    CArchiveReader r(bytes.data(), bytes.size());
    EXPECT_FALSE(r.ReadFlag16());
    EXPECT_TRUE(r.ReadFlag16());
    EXPECT_TRUE(r.ReadFlag16());
    EXPECT_TRUE(r.ReadFlag16());
}

TEST(LogFont, DefaultRecordBytes)
{
    uint8_t bytes[KorvoLogFont::kSize];
    KorvoLogFont().ToBytes(bytes);
    std::string expected = Bytes({0xF0, 0, 0, 0});
    expected += std::string(16, '\0');
    expected += Bytes({0, 0, 0, 0, 0, 0, 0, 32});
    expected += "Arial";
    expected += std::string(27, '\0');
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), sizeof bytes), expected);
}

TEST(LogFont, EveryFieldSurvivesTheRecord)
{
    KorvoLogFont font;
    font.lfHeight = -300;
    font.lfWidth = 7;
    font.lfEscapement = 900;
    font.lfOrientation = 450;
    font.lfWeight = 700;
    font.lfItalic = 1;
    font.lfUnderline = 1;
    font.lfStrikeOut = 1;
    font.lfCharSet = 238;
    font.lfOutPrecision = 3;
    font.lfClipPrecision = 2;
    font.lfQuality = 5;
    font.lfPitchAndFamily = 49;
    font.SetFaceName("Courier New");
    font.lfFaceName[20] = 'z'; // a byte after the NUL travels too

    uint8_t bytes[KorvoLogFont::kSize];
    font.ToBytes(bytes);
    KorvoLogFont back;
    back.FromBytes(bytes);
    EXPECT_EQ(back, font);
    EXPECT_EQ(back.FaceName(), "Courier New");
    EXPECT_EQ(back.lfFaceName[20], 'z');
    EXPECT_FALSE(back == KorvoLogFont());
}

} // namespace

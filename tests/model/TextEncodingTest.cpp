// Model text is UTF-8; other forms meet it at the edges. Text that is not
// UTF-8 keeps its stray bytes as Latin-1 characters, never loses them.
#include "TextEncoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace TextEncoding;

// The sample texts of every round trip: Latin-1 and beyond, CJK, a
// character outside the BMP, combining marks, right-to-left text.
const std::vector<std::string> kSamples = {
    "caf\xC3\xA9_\xCE\xA9",                 // café_Ω
    "\xE9\xA1\xA7\xE5\xAE\xA2",             // 顧客
    "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89", // Grüße 🎉
    "e\xCC\x81" "a\xCC\x8A",                // e and a with combining acute and ring
    "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",     // שלום
};

TEST(TextEncoding, Utf8StaysAndStrayBytesReadAsLatin1)
{
    struct Case {
        const char* what;
        std::string in;
        std::string out;
        bool wellFormed;
    };
    const std::vector<Case> cases = {
        {"ascii", "plain", "plain", true},
        {"utf-8", "caf\xC3\xA9", "caf\xC3\xA9", true},
        {"four bytes", "\xF0\x9F\x8E\x89", "\xF0\x9F\x8E\x89", true},
        {"latin-1", "caf\xE9", "caf\xC3\xA9", false},
        {"latin-1 between utf-8", "\xC3\xA9\xE9\xC3\xA9", "\xC3\xA9\xC3\xA9\xC3\xA9", false},
        {"cut sequence at the end", "ab\xE9\xA1", "ab\xC3\xA9\xC2\xA1", false},
        {"overlong slash", "\xC0\xAF", "\xC3\x80\xC2\xAF", false},
        {"encoded surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80", false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80", false},
        {"lone continuation", "\x80", "\xC2\x80", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(IsUtf8(c.in), c.wellFormed);
        EXPECT_EQ(ToUtf8(c.in), c.out);
        EXPECT_TRUE(IsUtf8(ToUtf8(c.in)));
    }
    for (const std::string& sample : kSamples)
        EXPECT_EQ(ToUtf8(sample), sample);
}

TEST(TextEncoding, Latin1FormOnlyWhenEveryCharacterFits)
{
    EXPECT_EQ(ToLatin1("plain"), "plain");
    EXPECT_EQ(ToLatin1("caf\xC3\xA9 \xC3\xBF"), "caf\xE9 \xFF");
    EXPECT_EQ(ToLatin1("caf\xE9"), "caf\xE9") << "a stray byte is its own Latin-1 character";
    EXPECT_EQ(ToLatin1(""), "");
    for (const std::string& sample : kSamples) {
        SCOPED_TRACE(sample);
        EXPECT_FALSE(ToLatin1(sample).has_value());
    }
    EXPECT_EQ(Latin1ToUtf8("Gr\xFC\xDF" "e"), "Gr\xC3\xBC\xC3\x9F" "e");
    std::string all;
    for (int c = 1; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    EXPECT_EQ(ToLatin1(Latin1ToUtf8(all)), all);
}

TEST(TextEncoding, Utf16KeepsEveryCharacterAndReplacesLoneSurrogates)
{
    EXPECT_EQ(ToUtf16("\xF0\x9F\x8E\x89"), std::u16string(u"\xD83C\xDF89"));
    EXPECT_EQ(ToUtf16("\xE9\xA1\xA7"), std::u16string(u"\x9867"));
    for (const std::string& sample : kSamples) {
        SCOPED_TRACE(sample);
        EXPECT_EQ(Utf16ToUtf8(ToUtf16(sample)), sample);
    }

    const std::string replacement = "\xEF\xBF\xBD";
    struct Case {
        const char* what;
        std::u16string units;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"high alone at the end", u"a\xD83C", "a" + replacement},
        {"low alone", std::u16string(u"\xDF89" u"b"), replacement + "b"},
        {"pair reversed", std::u16string(u"\xDF89\xD83C"), replacement + replacement},
        {"high before a letter", std::u16string(u"\xD83C" u"x"), replacement + "x"},
        {"two highs then a low", std::u16string(u"\xD83C\xD83C\xDF89"), replacement + "\xF0\x9F\x8E\x89"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Utf16ToUtf8(c.units), c.text);
    }
}

} // namespace

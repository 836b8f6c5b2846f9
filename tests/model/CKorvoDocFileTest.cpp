#include "AllocationProbe.h"
#include "Archive.h"
#include "CKorvoDoc.h"
#include "TestDiagrams.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

const char* const kUnexpected = "Unexpected file format.";
const char* const kVersion1Notice =
    "This file is from an older version of Korvo. When you save it will be converted to the current version.";

std::string DefaultFontBytes()
{
    uint8_t font[KorvoLogFont::kSize];
    KorvoLogFont().ToBytes(font);
    return std::string(reinterpret_cast<char*>(font), sizeof font);
}

LoadOutcome Load(CKorvoDoc& doc, const std::string& bytes)
{
    return doc.LoadFromBytes(bytes.data(), bytes.size());
}

void ExpectEmptyDefaultDocument(const CKorvoDoc& doc)
{
    EXPECT_TRUE(doc.m_tables.empty());
    EXPECT_TRUE(doc.m_relations.empty());
    EXPECT_EQ(doc.m_logFont, KorvoLogFont());
    EXPECT_EQ(doc.m_nMaxPagesX, 5);
    EXPECT_EQ(doc.m_nMaxPagesY, 5);
    EXPECT_FALSE(doc.IsModified());
}

TEST(DiagramFile, EmptyDiagramIs84Bytes)
{
    const std::string expected = Bytes({0x20, 0x44, 0x52, 0x45, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})
        + DefaultFontBytes() + Bytes({5, 0, 0, 0, 5, 0, 0, 0});
    ASSERT_EQ(expected.size(), 84u);
    EXPECT_EQ(CKorvoDoc().SaveToBytes(), expected);
}

TEST(DiagramFile, OneTableDiagramIs123Bytes)
{
    CKorvoDoc doc;
    auto table = std::make_unique<KorvoTableView>();
    table->m_def.m_strName = "t";
    table->m_x = 100;
    table->m_y = -200;
    table->m_cx = 300;
    table->m_cy = 400;
    table->m_def.AddColumn(std::make_unique<CColumn>("c", "int", false, "", true, true, "", ""));
    doc.AddTable(std::move(table));

    const std::string expected = Bytes({0x20, 0x44, 0x52, 0x45, 2, 0, 0, 0, 1, 0, 0, 0})
        // table record: column count, name, x, y, cx, cy, check, description
        + Bytes({1, 0, 0, 0, 1, 't', 100, 0, 0, 0, 0x38, 0xFF, 0xFF, 0xFF, 0x2C, 1, 0, 0, 0x90, 1, 0, 0, 0, 0})
        // column record: name, type, default, check, description, primary key, required, unique
        + Bytes({1, 'c', 3, 'i', 'n', 't', 0, 0, 0, 1, 0, 0, 0, 1, 0})
        + Bytes({0, 0, 0, 0}) + DefaultFontBytes() + Bytes({5, 0, 0, 0, 5, 0, 0, 0});
    ASSERT_EQ(expected.size(), 123u);
    EXPECT_EQ(doc.SaveToBytes(), expected);
}

TEST(DiagramFile, RelationRecordListsColumnPositionsInOrder)
{
    CKorvoDoc doc;
    KorvoTableView* a = AddTestTable(doc, "", {"x", "y", "z"});
    KorvoTableView* b = AddTestTable(doc, "", {"p", "q"});
    Relate(doc, b, {1, 0}, a, {2, 0, 1});
    const std::string bytes = doc.SaveToBytes();
    const std::string relations = Int(1) + Int(1) + Int(2) + Int(1) + Int(0) + Int(0) + Int(3) + Int(2) + Int(0)
        + Int(1);
    EXPECT_EQ(bytes.substr(bytes.size() - 68 - relations.size(), relations.size()), relations);
}

// A diagram that uses every stored field, every string prefix size and
// relations with several columns, including one from a table to itself.
class RichDiagram : public ::testing::Test {
protected:
    void SetUp() override
    {
        KorvoTableView* a = AddTestTable(doc, std::string(254, 'a'), {}, 1440, -2880);
        a->m_cx = 1234;
        a->m_cy = 987;
        a->m_def.m_strCheck = std::string(255, 'k');
        a->m_def.m_strDescription = std::string(65534, 'd');
        a->m_def.AddColumn(std::make_unique<CColumn>("id", "integer", true, "0", true, false, "id > 0", "key"));
        a->m_def.AddColumn(std::make_unique<CColumn>("code", "char(3)", false, "'x'", false, true, "", "\xC3\xA9t\xC3\xA9"));
        a->m_def.AddColumn(std::make_unique<CColumn>("n", "", true, "", false, true, "n<>1", ""));
        KorvoTableView* b = AddTestTable(doc, "b", {"id", "a_id", "a_code"}, -50, 70);
        b->m_def.m_columns[2]->m_bPrimaryKey = true;
        AddTestTable(doc, "", {}, INT32_MIN, INT32_MAX);
        Relate(doc, b, {1, 2}, a, {0, 1});
        Relate(doc, a, {2}, a, {0});
        Relate(doc, b, {2, 1, 0}, a, {2});

        doc.m_logFont.lfHeight = 300;
        doc.m_logFont.lfWeight = 700;
        doc.m_logFont.lfItalic = 1;
        doc.m_logFont.lfCharSet = 161;
        doc.m_logFont.lfPitchAndFamily = 18;
        doc.m_logFont.SetFaceName("Times New Roman");
        doc.m_nMaxPagesX = 7;
        doc.m_nMaxPagesY = 25;
        for (const auto& t : doc.m_tables)
            t->m_bSelected = true;
        doc.m_relations[0]->m_bSelected = true;
    }

    CKorvoDoc doc;
};

TEST_F(RichDiagram, SaveAndLoadReproduceEveryField)
{
    const std::string bytes = doc.SaveToBytes();
    CKorvoDoc back;
    const LoadOutcome outcome = Load(back, bytes);
    EXPECT_EQ(outcome.status, LoadStatus::Loaded);
    EXPECT_EQ(outcome.text, "");
    EXPECT_TRUE(outcome.Opens());
    EXPECT_FALSE(back.IsModified());

    ASSERT_EQ(back.m_tables.size(), doc.m_tables.size());
    for (size_t i = 0; i < doc.m_tables.size(); ++i) {
        SCOPED_TRACE(i);
        const KorvoTableView& want = *doc.m_tables[i];
        const KorvoTableView& got = *back.m_tables[i];
        EXPECT_EQ(got.m_x, want.m_x);
        EXPECT_EQ(got.m_y, want.m_y);
        EXPECT_EQ(got.m_cx, want.m_cx);
        EXPECT_EQ(got.m_cy, want.m_cy);
        EXPECT_EQ(got.m_def.m_strName, want.m_def.m_strName);
        EXPECT_EQ(got.m_def.m_strCheck, want.m_def.m_strCheck);
        EXPECT_EQ(got.m_def.m_strDescription, want.m_def.m_strDescription);
        EXPECT_FALSE(got.m_bSelected);
        ASSERT_EQ(got.m_def.m_columns.size(), want.m_def.m_columns.size());
        for (size_t c = 0; c < want.m_def.m_columns.size(); ++c) {
            const CColumn& w = *want.m_def.m_columns[c];
            const CColumn& g = *got.m_def.m_columns[c];
            EXPECT_EQ(g.m_strName, w.m_strName);
            EXPECT_EQ(g.m_strType, w.m_strType);
            EXPECT_EQ(g.m_bRequired, w.m_bRequired);
            EXPECT_EQ(g.m_strDefault, w.m_strDefault);
            EXPECT_EQ(g.m_bPrimaryKey, w.m_bPrimaryKey);
            EXPECT_EQ(g.m_bUnique, w.m_bUnique);
            EXPECT_EQ(g.m_strCheck, w.m_strCheck);
            EXPECT_EQ(g.m_strDescription, w.m_strDescription);
        }
    }

    ASSERT_EQ(back.m_relations.size(), doc.m_relations.size());
    for (size_t i = 0; i < doc.m_relations.size(); ++i) {
        SCOPED_TRACE(i);
        const CRelation& want = *doc.m_relations[i];
        const CRelation& got = *back.m_relations[i];
        EXPECT_EQ(back.GetTableIndex(got.m_pSource), doc.GetTableIndex(want.m_pSource));
        EXPECT_EQ(back.GetTableIndex(got.m_pDest), doc.GetTableIndex(want.m_pDest));
        std::vector<int> wantColumns, gotColumns;
        for (const CColumn* c : want.m_sourceColumns)
            wantColumns.push_back(CKorvoDoc::GetColumnIndex(want.m_pSource, c));
        for (const CColumn* c : got.m_sourceColumns)
            gotColumns.push_back(CKorvoDoc::GetColumnIndex(got.m_pSource, c));
        wantColumns.push_back(-9);
        gotColumns.push_back(-9);
        for (const CColumn* c : want.m_destColumns)
            wantColumns.push_back(CKorvoDoc::GetColumnIndex(want.m_pDest, c));
        for (const CColumn* c : got.m_destColumns)
            gotColumns.push_back(CKorvoDoc::GetColumnIndex(got.m_pDest, c));
        EXPECT_EQ(gotColumns, wantColumns);
        EXPECT_FALSE(got.m_bSelected);
    }

    EXPECT_EQ(back.m_logFont, doc.m_logFont);
    EXPECT_EQ(back.m_nMaxPagesX, 7);
    EXPECT_EQ(back.m_nMaxPagesY, 25);
    EXPECT_EQ(back.SaveToBytes(), bytes);
}

TEST_F(RichDiagram, EveryCutShortFileFailsAsUnexpected)
{
    // A shorter description keeps the number of cuts reasonable; the cuts
    // through a seven-byte prefix are in the archive's own tests.
    doc.m_tables[0]->m_def.m_strDescription = std::string(300, 'd');
    const std::string bytes = doc.SaveToBytes();
    for (size_t length = 1; length < bytes.size(); ++length) {
        CKorvoDoc back;
        const LoadOutcome outcome = back.LoadFromBytes(bytes.data(), length);
        ASSERT_EQ(outcome.status, LoadStatus::Unexpected) << "cut at " << length;
        ASSERT_EQ(outcome.text, kUnexpected);
        ASSERT_FALSE(outcome.Opens());
        ASSERT_TRUE(back.m_tables.empty()) << "cut at " << length;
        ASSERT_TRUE(back.m_relations.empty());
    }
}

TEST_F(RichDiagram, PageCountsAreBroughtIntoWhatDiagramOptionsAccepts)
{
    // The page counts are the last eight bytes; a file may hold any value.
    struct Case {
        int32_t stored, read;
    };
    const Case cases[] = {{0, 0}, {1, 1}, {25, 25}, {26, 26}, {1000, 1000}, {1001, 1000}, {100000, 1000}, {INT32_MAX, 1000}, {-1, 0}, {INT32_MIN, 0}};
    const std::string bytes = doc.SaveToBytes();
    auto Int = [](int32_t v) {
        const uint32_t u = static_cast<uint32_t>(v);
        return std::string{char(u), char(u >> 8), char(u >> 16), char(u >> 24)};
    };
    for (const Case& across : cases) {
        for (const Case& down : cases) {
            CKorvoDoc back;
            const std::string file = bytes.substr(0, bytes.size() - 8) + Int(across.stored) + Int(down.stored);
            ASSERT_EQ(Load(back, file).status, LoadStatus::Loaded);
            EXPECT_EQ(back.m_nMaxPagesX, across.read) << across.stored;
            EXPECT_EQ(back.m_nMaxPagesY, down.read) << down.stored;
        }
    }
}

TEST_F(RichDiagram, BytesAfterTheLastItemAreIgnored)
{
    const std::string bytes = doc.SaveToBytes();
    CKorvoDoc back;
    EXPECT_EQ(Load(back, bytes + "trailing").status, LoadStatus::Loaded);
    EXPECT_EQ(back.SaveToBytes(), bytes);
}

TEST(DiagramFile, WideTextInAFileKeepsEveryCharacter)
{
    CArchiveWriter w;
    w.WriteInt32(CKorvoDoc::kMagic);
    w.WriteInt32(2);
    w.WriteInt32(1);
    w.WriteInt32(0);
    w.WriteBytes("\xFF\xFE\xFF\x03k\0\xF6\0\x3A\x04", 10); // "k", o-umlaut, a Cyrillic letter
    for (int i = 0; i < 4; ++i)
        w.WriteInt32(i);
    w.WriteString("");
    w.WriteString("");
    w.WriteInt32(0);
    w.WriteBytes(DefaultFontBytes().data(), KorvoLogFont::kSize);
    w.WriteInt32(5);
    w.WriteInt32(5);
    CKorvoDoc doc;
    ASSERT_EQ(Load(doc, w.Bytes()).status, LoadStatus::Loaded);
    ASSERT_EQ(doc.m_tables.size(), 1u);
    EXPECT_EQ(doc.m_tables[0]->GetName(), "k\xC3\xB6\xD0\xBA");
}

// A diagram whose Latin-1 letters fit one byte each is written exactly as
// before text became UTF-8 in memory: the narrow form, one byte a letter.
TEST(DiagramFile, LatinOnlyDiagramKeepsItsSingleByteForm)
{
    CKorvoDoc doc;
    auto table = std::make_unique<KorvoTableView>();
    table->m_def.m_strName = "Gr\xC3\xBC\xC3\x9F" "e";
    table->m_def.m_strDescription = "\xC3\xA9t\xC3\xA9";
    table->m_def.AddColumn(std::make_unique<CColumn>("caf\xC3\xA9", "int", false, "", false, false, "", ""));
    doc.AddTable(std::move(table));

    const std::string expected = Bytes({0x20, 0x44, 0x52, 0x45, 2, 0, 0, 0, 1, 0, 0, 0})
        + Int(1) + Bytes({5, 'G', 'r', 0xFC, 0xDF, 'e'}) + Int(0) + Int(0) + Int(0) + Int(0)
        + Bytes({0, 3, 0xE9, 't', 0xE9})
        + Bytes({4, 'c', 'a', 'f', 0xE9, 3, 'i', 'n', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0})
        + Int(0) + DefaultFontBytes() + Int(5) + Int(5);
    EXPECT_EQ(doc.SaveToBytes(), expected);
}

// Names, checks, descriptions and every column text beyond Latin-1.
class WideTextDiagram : public ::testing::Test {
protected:
    void SetUp() override
    {
        KorvoTableView* a = AddTestTable(doc, "caf\xC3\xA9_\xCE\xA9", {}, 1440, -2880);
        a->m_def.m_strCheck = "\xE9\xA1\xA7\xE5\xAE\xA2 > 0";
        a->m_def.m_strDescription = "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89 " + std::string(300, 'd');
        a->m_def.AddColumn(std::make_unique<CColumn>("\xE9\xA1\xA7\xE5\xAE\xA2", "\xD7\xA9\xD7\x9C", true,
                                                     "'e\xCC\x81'", true, false, "x <> '\xF0\x9F\x8E\x89'",
                                                     "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"));
        KorvoTableView* b = AddTestTable(doc, "Gr\xC3\xBC\xC3\x9F" "e", {"id"});
        Relate(doc, b, {0}, a, {0});
    }

    CKorvoDoc doc;
};

TEST_F(WideTextDiagram, EveryCharacterSurvivesSaveAndOpen)
{
    const std::string bytes = doc.SaveToBytes();
    // The Latin-1 table keeps its narrow name, the other one goes wide.
    EXPECT_NE(bytes.find(Bytes({5, 'G', 'r', 0xFC, 0xDF, 'e'})), std::string::npos);
    EXPECT_NE(bytes.find(Bytes({0xFF, 0xFE, 0xFF, 6, 'c', 0, 'a', 0, 'f', 0, 0xE9, 0, '_', 0, 0xA9, 0x03})),
              std::string::npos);

    CKorvoDoc back;
    ASSERT_EQ(Load(back, bytes).status, LoadStatus::Loaded);
    ASSERT_EQ(back.m_tables.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const CTableDef& want = doc.m_tables[i]->m_def;
        const CTableDef& got = back.m_tables[i]->m_def;
        EXPECT_EQ(got.m_strName, want.m_strName);
        EXPECT_EQ(got.m_strCheck, want.m_strCheck);
        EXPECT_EQ(got.m_strDescription, want.m_strDescription);
        ASSERT_EQ(got.m_columns.size(), want.m_columns.size());
        for (size_t c = 0; c < want.m_columns.size(); ++c) {
            EXPECT_EQ(got.m_columns[c]->m_strName, want.m_columns[c]->m_strName);
            EXPECT_EQ(got.m_columns[c]->m_strType, want.m_columns[c]->m_strType);
            EXPECT_EQ(got.m_columns[c]->m_strDefault, want.m_columns[c]->m_strDefault);
            EXPECT_EQ(got.m_columns[c]->m_strCheck, want.m_columns[c]->m_strCheck);
            EXPECT_EQ(got.m_columns[c]->m_strDescription, want.m_columns[c]->m_strDescription);
        }
    }
    ASSERT_EQ(back.m_relations.size(), 1u);
    EXPECT_EQ(back.SaveToBytes(), bytes);
}

TEST_F(WideTextDiagram, EveryCutShortFileFailsAsUnexpected)
{
    const std::string bytes = doc.SaveToBytes();
    for (size_t length = 1; length < bytes.size(); ++length) {
        CKorvoDoc back;
        const LoadOutcome outcome = back.LoadFromBytes(bytes.data(), length);
        ASSERT_EQ(outcome.status, LoadStatus::Unexpected) << "cut at " << length;
        ASSERT_TRUE(back.m_tables.empty()) << "cut at " << length;
    }
}

// Builds a version-1 file: two tables, one relation from b's column 1 to a's
// column 0, and a 60-byte font record.
std::string Version1File(KorvoLogFont font)
{
    CArchiveWriter w;
    w.WriteInt32(CKorvoDoc::kMagic);
    w.WriteInt32(1);
    w.WriteInt32(2);
    w.WriteInt32(1); // a: one column
    w.WriteString("a");
    for (int32_t v : {10, -20, 30, 40})
        w.WriteInt32(v);
    w.WriteString("id");
    w.WriteString("int");
    w.WriteString("1");
    w.WriteFlag16(true);
    w.WriteFlag16(true);
    w.WriteFlag16(false);
    w.WriteInt32(2); // b: two columns
    w.WriteString("b");
    for (int32_t v : {50, -60, 70, 80})
        w.WriteInt32(v);
    for (const char* name : {"id", "a_id"}) {
        w.WriteString(name);
        w.WriteString("integer");
        w.WriteString("");
        w.WriteFlag16(false);
        w.WriteFlag16(false);
        w.WriteUInt16(0x100); // any non-zero value is true
    }
    w.WriteInt32(1);
    for (int32_t v : {1, 1, 0, 0})
        w.WriteInt32(v);
    uint8_t bytes[KorvoLogFont::kSize];
    font.ToBytes(bytes);
    w.WriteBytes(bytes, sizeof bytes);
    return w.Take();
}

KorvoLogFont Version1Font()
{
    KorvoLogFont font;
    font.lfHeight = 0x01020304;
    font.lfWeight = 400;
    font.SetFaceName("Courier");
    return font;
}

TEST(DiagramFileVersion1, ReadsAfterTheNoticeAndSavesAsVersion2)
{
    CKorvoDoc doc;
    const LoadOutcome outcome = Load(doc, Version1File(Version1Font()));
    EXPECT_EQ(outcome.status, LoadStatus::Version1Notice);
    EXPECT_EQ(outcome.text,
              "This file is from an older version of Korvo. When you save it will be converted to the current version.");
    EXPECT_EQ(outcome.caption, "");
    EXPECT_TRUE(outcome.Opens());
    EXPECT_FALSE(doc.IsModified());

    ASSERT_EQ(doc.m_tables.size(), 2u);
    const KorvoTableView& a = *doc.m_tables[0];
    const KorvoTableView& b = *doc.m_tables[1];
    EXPECT_EQ(a.GetName(), "a");
    EXPECT_EQ((std::vector<int32_t>{a.m_x, a.m_y, a.m_cx, a.m_cy}), (std::vector<int32_t>{10, -20, 30, 40}));
    EXPECT_EQ(a.m_def.m_strCheck, "");
    EXPECT_EQ(a.m_def.m_strDescription, "");
    ASSERT_EQ(a.m_def.m_columns.size(), 1u);
    const CColumn& id = *a.m_def.m_columns[0];
    EXPECT_EQ(id.m_strType, "int");
    EXPECT_EQ(id.m_strDefault, "1");
    EXPECT_TRUE(id.m_bPrimaryKey);
    EXPECT_TRUE(id.m_bRequired);
    EXPECT_FALSE(id.m_bUnique);
    EXPECT_EQ(id.m_strCheck, "");
    EXPECT_EQ(id.m_strDescription, "");
    ASSERT_EQ(b.m_def.m_columns.size(), 2u);
    EXPECT_TRUE(b.m_def.m_columns[1]->m_bUnique);
    EXPECT_EQ(b.m_def.m_columns[1]->m_strName, "a_id");

    ASSERT_EQ(doc.m_relations.size(), 1u);
    const CRelation& r = *doc.m_relations[0];
    EXPECT_EQ(r.m_pSource, &b);
    EXPECT_EQ(r.m_pDest, &a);
    EXPECT_EQ(r.m_sourceColumns, (std::vector<CColumn*>{b.m_def.m_columns[1].get()}));
    EXPECT_EQ(r.m_destColumns, (std::vector<CColumn*>{a.m_def.m_columns[0].get()}));

    EXPECT_EQ(doc.m_logFont, Version1Font());
    EXPECT_EQ(doc.m_nMaxPagesX, 5);
    EXPECT_EQ(doc.m_nMaxPagesY, 5);

    const std::string saved = doc.SaveToBytes();
    EXPECT_EQ(saved.substr(0, 8), Int(CKorvoDoc::kMagic) + Int(2));
    CKorvoDoc again;
    EXPECT_EQ(Load(again, saved).status, LoadStatus::Loaded);
    EXPECT_EQ(again.SaveToBytes(), saved);
}

TEST(DiagramFileVersion1, CutsBeforeTheFontFailAndCutsInsideItKeepWhatIsThere)
{
    const std::string bytes = Version1File(Version1Font());
    const size_t fontStart = bytes.size() - KorvoLogFont::kSize;
    for (size_t length = 1; length < bytes.size(); ++length) {
        CKorvoDoc doc;
        const LoadOutcome outcome = Load(doc, bytes.substr(0, length));
        if (length < fontStart) {
            ASSERT_EQ(outcome.status, LoadStatus::Unexpected) << "cut at " << length;
            ASSERT_EQ(outcome.text, kUnexpected);
            // Once the version is read the upgrade notice comes first.
            ASSERT_EQ(outcome.notice, length < 8 ? "" : kVersion1Notice) << "cut at " << length;
            ASSERT_TRUE(doc.m_tables.empty());
            continue;
        }
        ASSERT_EQ(outcome.notice, "");
        ASSERT_EQ(outcome.status, LoadStatus::Version1Notice) << "cut at " << length;
        ASSERT_EQ(doc.m_tables.size(), 2u);
        ASSERT_EQ(doc.m_relations.size(), 1u);
        // The font bytes that are there replace the default ones.
        uint8_t expected[KorvoLogFont::kSize];
        uint8_t got[KorvoLogFont::kSize];
        KorvoLogFont().ToBytes(expected);
        std::memcpy(expected, bytes.data() + fontStart, length - fontStart);
        doc.m_logFont.ToBytes(got);
        ASSERT_EQ(std::memcmp(got, expected, sizeof got), 0) << "cut at " << length;
    }
}

TEST(DiagramFileHeader, ForeignOrUnsupportedFilesOpenEmpty)
{
    struct Case {
        const char* what;
        std::string bytes;
        LoadStatus status;
        const char* text;
        const char* caption;
    };
    const std::string body = Int(1) + std::string(100, 'x');
    const std::vector<Case> cases = {
        {"other magic", "XDRE" + Int(2) + body, LoadStatus::UnknownType, "File type not recognized.",
         "Unknown file type"},
        {"magic reversed", Bytes({0x45, 0x52, 0x44, 0x20}) + Int(2), LoadStatus::UnknownType,
         "File type not recognized.", "Unknown file type"},
        {"bad magic, version 1", "abcd" + Int(1) + body, LoadStatus::UnknownType, "File type not recognized.",
         "Unknown file type"},
        {"version 3", Int(CKorvoDoc::kMagic) + Int(3) + body, LoadStatus::UnsupportedVersion,
         "File version not supported.", "Version not supported"},
        {"version 0", Int(CKorvoDoc::kMagic) + Int(0), LoadStatus::UnsupportedVersion,
         "File version not supported.", "Version not supported"},
        {"version -1", Int(CKorvoDoc::kMagic) + Int(-1) + body, LoadStatus::UnsupportedVersion,
         "File version not supported.", "Version not supported"},
        {"zero length", "", LoadStatus::Loaded, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CKorvoDoc doc;
        const LoadOutcome outcome = Load(doc, c.bytes);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.text, c.text);
        EXPECT_EQ(outcome.caption, c.caption);
        EXPECT_TRUE(outcome.Opens());
        ExpectEmptyDefaultDocument(doc);
        // Saving such a document writes an empty diagram.
        EXPECT_EQ(doc.SaveToBytes(), CKorvoDoc().SaveToBytes());
    }
}

// Counts and lengths far beyond what the file holds fail at once, before
// anything is allocated for them.
TEST(DiagramFileHostile, HugeCountsAndLengthsFailWithoutAllocating)
{
    const std::string v2 = Int(CKorvoDoc::kMagic) + Int(2);
    const std::string v1 = Int(CKorvoDoc::kMagic) + Int(1);
    const std::string tableHead = Int(0) + Bytes({1, 't'}) + Int(0) + Int(0) + Int(0) + Int(0);
    const std::string filler(4096, '\0');
    struct Case {
        const char* what;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"table count", v2 + Int(INT32_MAX) + filler},
        {"column count", v2 + Int(1) + Int(INT32_MAX) + filler},
        {"name length", v2 + Int(1) + Int(0) + Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) + filler},
        {"wide name length", v2 + Int(1) + Int(0) + Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F})
                                 + filler},
        {"check length", v2 + Int(1) + tableHead + Bytes({0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80}) + filler},
        {"relation count", v2 + Int(0) + Int(INT32_MAX) + filler},
        {"relation column count", v2 + Int(0) + Int(1) + Int(0) + Int(INT32_MAX) + filler},
        {"version 1 table count", v1 + Int(INT32_MAX) + filler},
        {"version 1 column count", v1 + Int(1) + Int(INT32_MAX) + filler},
        {"version 1 relation count", v1 + Int(0) + Int(INT32_MAX) + filler},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CKorvoDoc doc;
        LoadOutcome outcome;
        size_t largest = 0;
        {
            allocation_probe::Probe probe;
            outcome = Load(doc, c.bytes);
            largest = probe.Largest();
        }
        EXPECT_EQ(outcome.status, LoadStatus::Unexpected);
        EXPECT_EQ(outcome.text, kUnexpected);
        EXPECT_LT(largest, 64u * 1024);
        EXPECT_TRUE(doc.m_tables.empty());
    }
}

TEST(DiagramFileHostile, RelationsThatDoNotResolveAreSkipped)
{
    CArchiveWriter w;
    w.WriteInt32(CKorvoDoc::kMagic);
    w.WriteInt32(2);
    w.WriteInt32(2);
    CKorvoDoc source;
    AddTestTable(source, "a", {"id", "x"});
    AddTestTable(source, "b", {"id"});
    for (const auto& t : source.m_tables)
        t->Serialize(w);

    struct Side {
        int32_t table;
        std::vector<int32_t> columns;
        int32_t count; // the count written, normally columns.size()
    };
    auto side = [](int32_t table, std::vector<int32_t> columns) {
        return Side{table, columns, static_cast<int32_t>(columns.size())};
    };
    const std::vector<std::pair<Side, Side>> records = {
        {side(0, {1}), side(1, {0})},         // kept
        {side(-1, {0}), side(1, {0})},        // no such source table
        {side(0, {0}), side(2, {0})},         // destination one past the end
        {side(0, {0, 2}), side(1, {0})},      // second source column out of range
        {side(0, {0}), side(1, {-1})},        // destination column -1
        {side(0, {}), side(1, {0})},          // no source column
        {side(0, {1}), side(1, {})},          // no destination column
        {Side{0, {}, -3}, side(1, {0})},      // negative count
        {side(1, {0}), side(0, {1, 0})},      // kept
        {side(0, {0}), side(0, {1})},         // kept: a table may refer to itself
    };
    w.WriteInt32(static_cast<int32_t>(records.size()));
    for (const auto& [s, d] : records)
        for (const Side& one : {s, d}) {
            w.WriteInt32(one.table);
            w.WriteInt32(one.count);
            for (int32_t c : one.columns)
                w.WriteInt32(c);
        }
    KorvoLogFont font;
    font.lfHeight = 480;
    uint8_t fontBytes[KorvoLogFont::kSize];
    font.ToBytes(fontBytes);
    w.WriteBytes(fontBytes, sizeof fontBytes);
    w.WriteInt32(3);
    w.WriteInt32(4);

    CKorvoDoc doc;
    EXPECT_EQ(Load(doc, w.Bytes()).status, LoadStatus::Loaded);
    ASSERT_EQ(doc.m_tables.size(), 2u);
    KorvoTableView* a = doc.GetTable(0);
    KorvoTableView* b = doc.GetTable(1);
    ASSERT_EQ(doc.m_relations.size(), 3u);
    EXPECT_EQ(doc.m_relations[0]->m_pSource, a);
    EXPECT_EQ(doc.m_relations[0]->m_sourceColumns, (std::vector<CColumn*>{Col(a, 1)}));
    EXPECT_EQ(doc.m_relations[1]->m_pSource, b);
    EXPECT_EQ(doc.m_relations[1]->m_destColumns, (std::vector<CColumn*>{Col(a, 1), Col(a, 0)}));
    EXPECT_EQ(doc.m_relations[2]->m_pDest, a);
    // The records after the skipped ones were read in step.
    EXPECT_EQ(doc.m_logFont, font);
    EXPECT_EQ(doc.m_nMaxPagesX, 3);
    EXPECT_EQ(doc.m_nMaxPagesY, 4);
}

TEST(DiagramFileHostile, Version1RelationsThatDoNotResolveAreSkipped)
{
    std::string bytes = Version1File(Version1Font());
    // The one relation record sits just before the font: point its source
    // column past b's two columns.
    const size_t sourceColumn = bytes.size() - KorvoLogFont::kSize - 12;
    bytes.replace(sourceColumn, 4, Int(2));
    CKorvoDoc doc;
    EXPECT_EQ(Load(doc, bytes).status, LoadStatus::Version1Notice);
    EXPECT_EQ(doc.m_tables.size(), 2u);
    EXPECT_TRUE(doc.m_relations.empty());
    EXPECT_EQ(doc.m_logFont, Version1Font());
}

TEST(DiagramFileHostile, AFailedReadLeavesTheDocumentAsItWas)
{
    CKorvoDoc source;
    AddTestTable(source, "a", {"id"});
    source.m_nMaxPagesX = 9;
    const std::string bytes = source.SaveToBytes();

    CKorvoDoc doc;
    // Cut inside the page counts: tables and font were already read.
    EXPECT_EQ(Load(doc, bytes.substr(0, bytes.size() - 2)).status, LoadStatus::Unexpected);
    ExpectEmptyDefaultDocument(doc);
}

} // namespace

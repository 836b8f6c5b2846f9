#include "AllocationProbe.h"
#include "Archive.h"
#include "ClipboardPayload.h"
#include "TestDiagrams.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

const char* const kInvalid = "The clipboard data is not a valid Korvo diagram fragment.";

const std::string kClassIntro = Bytes({0xFF, 0xFF, 0x01, 0x00, 0x0E, 0x00}) + "KorvoTableView";
const std::string kClassReference = Bytes({0x01, 0x80});

// The table record of a table without columns, as it appears in files.
std::string EmptyTableRecord(const std::string& name, int32_t x, int32_t y, int32_t cx, int32_t cy)
{
    return Int(0) + static_cast<char>(name.size()) + name + Int(x) + Int(y) + Int(cx) + Int(cy) + Bytes({0, 0});
}

PasteOutcome Paste(CKorvoDoc& doc, const std::string& payload, CPoint scroll = {0, 0})
{
    return PasteClipboardPayload(doc, payload.data(), payload.size(), scroll);
}

TEST(ClipboardCopy, NothingSelectedGivesTwoZeros)
{
    CKorvoDoc doc;
    KorvoTableView* a = AddTestTable(doc, "a", {"id"});
    KorvoTableView* b = AddTestTable(doc, "b", {"id"});
    Relate(doc, a, {0}, b, {0})->m_bSelected = true;
    EXPECT_EQ(BuildClipboardPayload(doc), Int(0) + Int(0));
}

TEST(ClipboardCopy, OneTable)
{
    CKorvoDoc doc;
    AddTestTable(doc, "skip", {});
    KorvoTableView* a = AddTestTable(doc, "a", {}, 1, 2);
    a->m_cx = 3;
    a->m_cy = 4;
    a->m_bSelected = true;
    EXPECT_EQ(BuildClipboardPayload(doc), Int(1) + kClassIntro + EmptyTableRecord("a", 1, 2, 3, 4) + Int(0));
}

TEST(ClipboardCopy, TwoTablesAndTheRelationsBetweenThem)
{
    CKorvoDoc doc;
    KorvoTableView* x = AddTestTable(doc, "x", {"id"});
    KorvoTableView* a = AddTestTable(doc, "a", {"id", "b_id"});
    KorvoTableView* y = AddTestTable(doc, "y", {"id"});
    KorvoTableView* b = AddTestTable(doc, "b", {"id", "p", "q", "r"});
    a->m_bSelected = true;
    b->m_bSelected = true;
    Relate(doc, a, {0}, y, {0});                  // one end left behind
    Relate(doc, a, {1}, b, {0});                  // copied as (0, 1, 1, 0)
    Relate(doc, b, {0}, b, {1});                  // to itself: never copied
    Relate(doc, x, {0}, b, {0});                  // one end left behind
    Relate(doc, b, {3, 2, 1}, a, {1, 0, 1});      // three pairs: only the first travels
    Relate(doc, a, {0}, b, {2})->m_bSelected = true;

    std::string expected = Int(2);
    expected += kClassIntro;
    CArchiveWriter first;
    a->Serialize(first);
    expected += first.Bytes();
    expected += kClassReference;
    CArchiveWriter second;
    b->Serialize(second);
    expected += second.Bytes();
    expected += Int(3);
    for (int32_t v : {0, 1, 1, 0, 1, 3, 0, 1, 0, 0, 1, 2})
        expected += Int(v);
    EXPECT_EQ(BuildClipboardPayload(doc), expected);
}

// Two linked tables copied from one diagram and pasted into another.
class ClipboardPaste : public ::testing::Test {
protected:
    void SetUp() override
    {
        KorvoTableView* a = AddTestTable(source, "a", {"id", "x", "y"}, 3000, -6000);
        KorvoTableView* b = AddTestTable(source, "b", {"id", "a_id", "a_x"}, 6000, -4500);
        a->m_def.m_strCheck = "id > 0";
        a->m_def.m_columns[1]->m_bUnique = true;
        a->m_bSelected = true;
        b->m_bSelected = true;
        Relate(source, b, {2, 1}, a, {1, 0});
        payload = BuildClipboardPayload(source);

        existing = AddTestTable(target, "existing", {"id"});
        existing->m_bSelected = true;
        Relate(target, existing, {0}, existing, {0})->m_bSelected = true;
    }

    void ExpectTargetUnchanged() const
    {
        ASSERT_EQ(target.m_tables.size(), 1u);
        EXPECT_TRUE(existing->m_bSelected);
        EXPECT_EQ(target.m_relations.size(), 1u);
        EXPECT_FALSE(target.IsModified());
    }

    CKorvoDoc source;
    CKorvoDoc target;
    KorvoTableView* existing = nullptr;
    std::string payload;
};

TEST_F(ClipboardPaste, TablesLandAtTheVisibleCornerSelectedWithTheirRelation)
{
    const PasteOutcome outcome = Paste(target, payload, {1440, -2880});
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.message, "");
    EXPECT_EQ(outcome.tablesAdded, 2);
    EXPECT_EQ(outcome.relationsAdded, 1);
    EXPECT_TRUE(target.IsModified());

    ASSERT_EQ(target.m_tables.size(), 3u);
    EXPECT_FALSE(existing->m_bSelected);
    EXPECT_TRUE(target.m_relations[0]->m_bSelected); // relations keep theirs
    KorvoTableView* a = target.GetTable(1);
    KorvoTableView* b = target.GetTable(2);
    EXPECT_TRUE(a->m_bSelected);
    EXPECT_TRUE(b->m_bSelected);
    // Leftmost edge 3000 and topmost edge -4500 move to (1440, -2880).
    EXPECT_EQ((CPoint{a->m_x, a->m_y}), (CPoint{1440, -4380}));
    EXPECT_EQ((CPoint{b->m_x, b->m_y}), (CPoint{4440, -2880}));
    EXPECT_EQ(a->m_def.m_strCheck, "id > 0");
    EXPECT_TRUE(a->m_def.m_columns[1]->m_bUnique);

    ASSERT_EQ(target.m_relations.size(), 2u);
    const CRelation& r = *target.m_relations[1];
    EXPECT_EQ(r.m_pSource, b);
    EXPECT_EQ(r.m_pDest, a);
    // The two pairs arrive as the first one only.
    EXPECT_EQ(r.m_sourceColumns, (std::vector<CColumn*>{Col(b, 2)}));
    EXPECT_EQ(r.m_destColumns, (std::vector<CColumn*>{Col(a, 1)}));
    EXPECT_FALSE(r.m_bSelected);
}

TEST_F(ClipboardPaste, PastingTwiceGivesTwoCopiesAtTheSameSpot)
{
    Paste(target, payload, {0, 0});
    Paste(target, payload, {0, 0});
    ASSERT_EQ(target.m_tables.size(), 5u);
    EXPECT_FALSE(target.GetTable(1)->m_bSelected); // only the latest paste stays selected
    for (int i : {1, 2}) {
        KorvoTableView* first = target.GetTable(i);
        KorvoTableView* second = target.GetTable(i + 2);
        EXPECT_NE(first, second);
        EXPECT_EQ(first->GetName(), second->GetName());
        EXPECT_EQ((CPoint{first->m_x, first->m_y}), (CPoint{second->m_x, second->m_y}));
    }
    ASSERT_EQ(target.m_relations.size(), 3u);
    EXPECT_EQ(target.m_relations[2]->m_pSource, target.GetTable(4));
}

TEST_F(ClipboardPaste, BesideTheOriginalsAStepRightAndDownAndNeverOnAnotherCopy)
{
    // Into the diagram the tables were copied from: the first copy goes one
    // step off the originals, the second one step further, off the first copy.
    for (int paste = 1; paste <= 3; ++paste) {
        const PasteOutcome outcome = PasteClipboardPayloadBeside(source, payload.data(), payload.size());
        ASSERT_TRUE(outcome.ok);
        EXPECT_EQ(outcome.tablesAdded, 2);
        EXPECT_EQ(outcome.relationsAdded, 1);
        KorvoTableView* a = source.GetTable(2 * paste);
        KorvoTableView* b = source.GetTable(2 * paste + 1);
        EXPECT_EQ((CPoint{a->m_x, a->m_y}), (CPoint{3000 + 360 * paste, -6000 - 360 * paste})) << paste;
        EXPECT_EQ((CPoint{b->m_x, b->m_y}), (CPoint{6000 + 360 * paste, -4500 - 360 * paste})) << paste;
        EXPECT_TRUE(a->m_bSelected && b->m_bSelected);
        EXPECT_FALSE(source.GetTable(0)->m_bSelected);
    }
}

TEST_F(ClipboardPaste, BesideGoesOnUntilNoCopyLiesWhollyUnderATable)
{
    for (auto& table : source.m_tables) {
        table->m_cx = 1000;
        table->m_cy = 1000;
    }
    payload = BuildClipboardPayload(source);
    KorvoTableView* cover = AddTestTable(target, "cover", {}, 0, 0);
    cover->m_cx = 20000;
    cover->m_cy = 20000;
    ASSERT_TRUE(PasteClipboardPayloadBeside(target, payload.data(), payload.size()).ok);
    // 37 steps take the lower copy's bottom edge (-6000 - 1000 - 37 * 360)
    // past the cover's (-20000); the other then sticks out on the right.
    const KorvoTableView* a = target.GetTable(2);
    EXPECT_EQ((CPoint{a->m_x, a->m_y}), (CPoint{3000 + 37 * 360, -6000 - 37 * 360}));
}

TEST_F(ClipboardPaste, EmptyBlockChangesNothing)
{
    const PasteOutcome outcome = PasteClipboardPayload(target, nullptr, 0, {0, 0});
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.message, "");
    ExpectTargetUnchanged();
}

TEST_F(ClipboardPaste, PayloadWithoutTablesOnlyClearsTheSelection)
{
    const PasteOutcome outcome = Paste(target, Int(0) + Int(0));
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(target.m_tables.size(), 1u);
    EXPECT_FALSE(existing->m_bSelected);
    EXPECT_FALSE(target.IsModified());
}

TEST_F(ClipboardPaste, EveryCutShortPayloadIsRefusedWhole)
{
    for (size_t length = 1; length < payload.size(); ++length) {
        const PasteOutcome outcome = Paste(target, payload.substr(0, length));
        ASSERT_FALSE(outcome.ok) << "cut at " << length;
        ASSERT_EQ(outcome.message, kInvalid);
        ExpectTargetUnchanged();
        if (HasFailure())
            FAIL() << "cut at " << length;
    }
}

TEST_F(ClipboardPaste, ForeignObjectsAreRefused)
{
    const std::string table = EmptyTableRecord("t", 0, 0, 0, 0);
    struct Case {
        const char* what;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"other class", Int(1) + Bytes({0xFF, 0xFF, 1, 0, 14, 0}) + "KorvoTableVieX" + table + Int(0)},
        {"other name length", Int(1) + Bytes({0xFF, 0xFF, 1, 0, 9, 0}) + "CRelation" + table + Int(0)},
        {"other schema", Int(1) + Bytes({0xFF, 0xFF, 2, 0}) + kClassIntro.substr(4) + table + Int(0)},
        {"no class introduction", Int(1) + kClassReference + table + Int(0)},
        {"class introduced twice", Int(2) + kClassIntro + table + kClassIntro + table + Int(0)},
        {"reference to an earlier object", Int(2) + kClassIntro + table + Bytes({0x02, 0x00}) + Int(0)},
        {"reference to another class", Int(2) + kClassIntro + table + Bytes({0x02, 0x80}) + table + Int(0)},
        {"huge table count", Int(INT32_MAX) + kClassIntro + table + Int(0)},
        {"huge column count", Int(1) + kClassIntro + Int(INT32_MAX) + table + Int(0)},
        {"huge name length", Int(1) + kClassIntro + Int(0) + Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F})},
        {"huge relation count", Int(1) + kClassIntro + table + Int(INT32_MAX) + std::string(64, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PasteOutcome outcome;
        size_t largest = 0;
        {
            allocation_probe::Probe probe;
            outcome = Paste(target, c.bytes);
            largest = probe.Largest();
        }
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.message, kInvalid);
        EXPECT_LT(largest, 64u * 1024);
        ExpectTargetUnchanged();
    }
}

TEST_F(ClipboardPaste, RelationRecordsOutsideThePastedTablesAreSkipped)
{
    std::string bytes = payload.substr(0, payload.size() - 4 - 16); // drop R and its record
    const std::vector<std::vector<int32_t>> records = {
        {-1, 0, 0, 0}, {2, 0, 0, 0}, {1, 3, 0, 0}, {1, 0, 0, -1}, {1, 0, 5, 0}, {1, 1, 0, 2}, {0, 0, 0, 1},
    };
    bytes += Int(static_cast<int32_t>(records.size()));
    for (const auto& record : records)
        for (int32_t v : record)
            bytes += Int(v);

    const PasteOutcome outcome = Paste(target, bytes);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.relationsSkipped, 5);
    EXPECT_EQ(outcome.relationsAdded, 2);
    ASSERT_EQ(target.m_relations.size(), 3u);
    KorvoTableView* a = target.GetTable(1);
    KorvoTableView* b = target.GetTable(2);
    EXPECT_EQ(target.m_relations[1]->m_pSource, b);
    EXPECT_EQ(target.m_relations[1]->m_sourceColumns[0], Col(b, 1));
    EXPECT_EQ(target.m_relations[1]->m_destColumns[0], Col(a, 2));
    // A record may link a pasted table to itself.
    EXPECT_EQ(target.m_relations[2]->m_pSource, a);
    EXPECT_EQ(target.m_relations[2]->m_pDest, a);
    for (const auto& r : target.m_relations) {
        EXPECT_NE(r->m_pSource, nullptr);
        EXPECT_NE(r->m_pDest, nullptr);
        EXPECT_NE(r->m_sourceColumns[0], nullptr);
        EXPECT_NE(r->m_destColumns[0], nullptr);
    }
}

TEST(ClipboardPasteFarOut, ExtremePositionsDoNotOverflow)
{
    CKorvoDoc source;
    KorvoTableView* a = AddTestTable(source, "a", {}, INT32_MIN, INT32_MAX);
    KorvoTableView* b = AddTestTable(source, "b", {}, INT32_MAX, INT32_MIN);
    a->m_bSelected = b->m_bSelected = true;
    CKorvoDoc target;
    ASSERT_TRUE(Paste(target, BuildClipboardPayload(source), {100, -100}).ok);
    EXPECT_EQ((CPoint{target.GetTable(0)->m_x, target.GetTable(0)->m_y}), (CPoint{100, -100}));
}

} // namespace

// Texts beyond Latin-1 travel in the wide form and arrive whole; a payload
// cut anywhere inside a wide text is refused whole.
TEST(ClipboardWideText, EveryCharacterArrivesAndACutPayloadIsRefused)
{
    CKorvoDoc source;
    KorvoTableView* a = AddTestTable(source, "\xE9\xA1\xA7\xE5\xAE\xA2", {}, 100, -100);
    a->m_def.m_strDescription = "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89";
    a->m_def.AddColumn(std::make_unique<CColumn>("caf\xC3\xA9_\xCE\xA9", "int", false, "", true, false,
                                                 "e\xCC\x81" "a\xCC\x8A", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"));
    KorvoTableView* b = AddTestTable(source, "caf\xC3\xA9", {"id"}, 900, -100);
    Relate(source, b, {0}, a, {0});
    a->m_bSelected = true;
    b->m_bSelected = true;
    const std::string payload = BuildClipboardPayload(source);
    EXPECT_NE(payload.find(Bytes({0xFF, 0xFE, 0xFF, 2, 0x67, 0x98, 0xA2, 0x5B})), std::string::npos);
    EXPECT_NE(payload.find(Bytes({4, 'c', 'a', 'f', 0xE9})), std::string::npos) << "Latin-1 stays narrow";

    CKorvoDoc target;
    const PasteOutcome outcome = Paste(target, payload);
    ASSERT_TRUE(outcome.ok) << outcome.message;
    ASSERT_EQ(target.m_tables.size(), 2u);
    const KorvoTableView& got = *target.m_tables[0];
    EXPECT_EQ(got.m_def.m_strName, a->m_def.m_strName);
    EXPECT_EQ(got.m_def.m_strDescription, a->m_def.m_strDescription);
    ASSERT_EQ(got.m_def.m_columns.size(), 1u);
    EXPECT_EQ(got.m_def.m_columns[0]->m_strName, "caf\xC3\xA9_\xCE\xA9");
    EXPECT_EQ(got.m_def.m_columns[0]->m_strCheck, "e\xCC\x81" "a\xCC\x8A");
    EXPECT_EQ(got.m_def.m_columns[0]->m_strDescription, "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D");
    EXPECT_EQ(target.m_tables[1]->m_def.m_strName, "caf\xC3\xA9");
    EXPECT_EQ(target.m_relations.size(), 1u);

    for (size_t length = 1; length < payload.size(); ++length) {
        CKorvoDoc cut;
        const PasteOutcome refused = PasteClipboardPayload(cut, payload.data(), length, CPoint{0, 0});
        ASSERT_FALSE(refused.ok) << "cut at " << length;
        ASSERT_TRUE(cut.m_tables.empty()) << "cut at " << length;
    }
}

#include "ArrangeTestSupport.h"
#include "GeneratedDiagrams.h"
#include "SqliteCatalog.h"
#include "TestDiagrams.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string kShared = KORVO_SHARED_DIR;

// The arrangement keeps kArrangeGap between tables; Graphviz works in whole
// points (20 units), so a box may come up to one point closer.
constexpr int32_t kGapFloor = kArrangeGap - 20;

std::unique_ptr<CKorvoDoc> Chinook()
{
    std::string error;
    auto doc = DiagramFromSqlite(kShared + "/schemas/chinook.sqlite", error);
    EXPECT_TRUE(doc) << error;
    return doc;
}

// Every table lies on the canvas with the margin kept.
void ExpectOnCanvas(const CKorvoDoc& doc, PageArea page = kLetterPage)
{
    for (const auto& table : doc.m_tables) {
        EXPECT_GE(table->m_x, 0) << table->GetName();
        EXPECT_LE(table->m_y, 0) << table->GetName();
        EXPECT_LE(int64_t(table->m_x) + table->m_cx + kPlacementMargin, int64_t(page.width) * doc.m_nMaxPagesX);
        EXPECT_LE(int64_t(table->m_cy) - table->m_y + kPlacementMargin, int64_t(page.height) * doc.m_nMaxPagesY);
    }
}

// The quality a reader sees: crossing lines and lines hidden behind tables.
int64_t Tangle(const LayoutMetrics& metrics)
{
    return metrics.crossings + metrics.hiddenSegments;
}

TEST(ArrangeTables, RealSchemaReadsBetterThanTheImportLayout)
{
    FakeSurface surface;
    auto doc = Chinook();
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->m_tables.size(), 11u);
    ASSERT_EQ(doc->m_relations.size(), 11u);
    LayOutAsImport(*doc, surface);
    const LayoutMetrics before = MeasureLayout(*doc);
    ASSERT_EQ(ArrangeAll(*doc, surface).status, ArrangeStatus::Arranged);
    const LayoutMetrics after = MeasureLayout(*doc);
    EXPECT_EQ(CountTablesCloserThan(*doc, kGapFloor), 0);
    EXPECT_LE(after.crossings * 2, before.crossings) << before.crossings << " before, " << after.crossings << " after";
    EXPECT_LE(Tangle(after) * 2, Tangle(before));
    EXPECT_LT(after.lineLength, before.lineLength);
    ExpectOnCanvas(*doc);
}

TEST(ArrangeTables, GeneratedShapesNeverOverlapAndUntangle)
{
    FakeSurface surface;
    // The import's columns put the tables of a cycle or a star next to their
    // neighbours already, so only lines hidden behind tables go there; the
    // other shapes lose most of their crossings.
    const std::map<generated::Shape, bool> fewerCrossings = {
        {generated::Shape::Chain, true}, {generated::Shape::Tree, true},   {generated::Shape::Star, false},
        {generated::Shape::Cycle, false}, {generated::Shape::Schema, true}, {generated::Shape::Dense, true}};
    for (const auto& [shape, untangles] : fewerCrossings) {
        for (int n : {200, 1000}) {
            SCOPED_TRACE(std::string(generated::ShapeName(shape)) + " " + std::to_string(n));
            auto doc = generated::Build(shape, n);
            LayOutAsImport(*doc, surface);
            const LayoutMetrics before = MeasureLayout(*doc);
            const ArrangeResult result = ArrangeAll(*doc, surface);
            ASSERT_EQ(result.status, ArrangeStatus::Arranged) << result.error;
            const LayoutMetrics after = MeasureLayout(*doc);
            EXPECT_EQ(after.overlaps, 0);
            EXPECT_EQ(CountTablesCloserThan(*doc, kGapFloor), 0);
            if (untangles) {
                EXPECT_LE(after.crossings * 2, before.crossings) << before.crossings << " before";
            }
            EXPECT_LE(Tangle(after) * 10, Tangle(before) * 6) << Tangle(before) << " before, " << Tangle(after);
            ExpectOnCanvas(*doc);
            EXPECT_GE(doc->m_nMaxPagesX, result.change.pagesXBefore);
            EXPECT_GE(doc->m_nMaxPagesY, result.change.pagesYBefore);
        }
    }
}

TEST(ArrangeTables, SameDiagramSameLayout)
{
    FakeSurface surface;
    auto first = generated::Build(generated::Shape::Schema, 300);
    auto second = generated::Build(generated::Shape::Schema, 300);
    // Different starting positions do not matter either.
    LayOutAsImport(*second, surface);
    const ArrangeResult a = ArrangeAll(*first, surface);
    const ArrangeResult b = ArrangeAll(*second, surface);
    ASSERT_EQ(a.status, ArrangeStatus::Arranged);
    for (size_t i = 0; i < first->m_tables.size(); ++i)
        ASSERT_EQ((CPoint{first->m_tables[i]->m_x, first->m_tables[i]->m_y}),
                  (CPoint{second->m_tables[i]->m_x, second->m_tables[i]->m_y}));
    // Arranged again, nothing moves: the change is empty and leaves no undo step.
    MeasureTables(*first, surface);
    ArrangeOptions options;
    options.page = kLetterPage;
    EXPECT_TRUE(ArrangeTables(*first, options).change.Empty());
}

TEST(ArrangeTables, UnrelatedTablesStandInATidyGrid)
{
    FakeSurface surface;
    CKorvoDoc doc;
    for (int i = 0; i < 40; ++i)
        generated::AddTable(doc, std::string(size_t(1 + i % 7), 'n') + std::to_string(i), i % 9);
    ASSERT_EQ(ArrangeAll(doc, surface).status, ArrangeStatus::Arranged);
    EXPECT_EQ(CountTablesCloserThan(doc, kArrangeGap), 0);
    // Rows share their top edge, columns their left edge.
    std::set<int32_t> tops, lefts;
    for (const auto& table : doc.m_tables) {
        tops.insert(table->m_y);
        lefts.insert(table->m_x);
    }
    EXPECT_EQ(tops.size() * lefts.size(), (doc.m_tables.size() + lefts.size() - 1) / lefts.size() * lefts.size());
    EXPECT_GT(tops.size(), 2u);
    EXPECT_GT(lefts.size(), 2u);
    // Document order, row by row.
    EXPECT_EQ(doc.m_tables[0]->m_x, kPlacementMargin);
    EXPECT_EQ(doc.m_tables[0]->m_y, -kPlacementMargin);
    EXPECT_EQ(doc.m_tables[1]->m_y, -kPlacementMargin);
    EXPECT_GT(doc.m_tables[1]->m_x, doc.m_tables[0]->m_x);
}

TEST(ArrangeTables, RelatedGroupsComeFirstAndLooseTablesBeside)
{
    FakeSurface surface;
    CKorvoDoc doc;
    KorvoTableView* loose = AddTestTable(doc, "loose", {"id"});
    KorvoTableView* a = AddTestTable(doc, "a", {"id"});
    KorvoTableView* b = AddTestTable(doc, "b", {"id", "a_id"});
    Relate(doc, b, {1}, a, {0});
    KorvoTableView* self = AddTestTable(doc, "self", {"id", "parent"});
    Relate(doc, self, {1}, self, {0}); // relates to itself only: still loose
    ASSERT_EQ(ArrangeAll(doc, surface).status, ArrangeStatus::Arranged);
    // The referenced table stands left of the one that refers to it.
    EXPECT_LT(a->m_x + a->m_cx + kArrangeGap, b->m_x + 1);
    EXPECT_GT(loose->m_x, b->m_x + b->m_cx);
    EXPECT_GT(self->m_x, b->m_x + b->m_cx);
    EXPECT_EQ(MeasureLayout(doc).overlaps, 0);
}

TEST(ArrangeTables, SelectionMovesAndAvoidsOnlyWhatItMust)
{
    FakeSurface surface;
    auto doc = Chinook();
    ASSERT_TRUE(doc);
    LayOutAsImport(*doc, surface);
    const std::set<int> chosen = {1, 3, 4, 9};
    for (int i : chosen)
        doc->m_tables[size_t(i)]->m_bSelected = true;
    std::vector<CPoint> before;
    for (const auto& table : doc->m_tables)
        before.push_back({table->m_x, table->m_y});

    ArrangeOptions options;
    options.scope = ArrangeScope::Selected;
    options.page = kLetterPage;
    ASSERT_TRUE(AnyTableSelected(*doc));
    const ArrangeResult result = ArrangeTables(*doc, options);
    ASSERT_EQ(result.status, ArrangeStatus::Arranged);
    for (const TableMove& move : result.change.moves)
        EXPECT_TRUE(chosen.count(move.table)) << "moved unselected table " << move.table;
    ApplyMoves(*doc, result.change);
    for (size_t i = 0; i < doc->m_tables.size(); ++i)
        if (!chosen.count(int(i))) {
            EXPECT_EQ((CPoint{doc->m_tables[i]->m_x, doc->m_tables[i]->m_y}), before[i]);
        }
    EXPECT_EQ(MeasureLayout(*doc).overlaps, 0);
    EXPECT_EQ(CountTablesCloserThan(*doc, kGapFloor), 0);
    ExpectOnCanvas(*doc);
}

TEST(ArrangeTables, SelectionStaysWhereItWasWhenThereIsRoom)
{
    FakeSurface surface;
    CKorvoDoc doc;
    KorvoTableView* other = AddTestTable(doc, "other", {"id"}, 360, -360);
    std::vector<KorvoTableView*> picked;
    for (int i = 0; i < 3; ++i) {
        picked.push_back(AddTestTable(doc, "p" + std::to_string(i), {"id", "ref"}, 20000 + 3000 * i, -30000));
        picked.back()->m_bSelected = true;
    }
    Relate(doc, picked[1], {1}, picked[0], {0});
    Relate(doc, picked[2], {1}, picked[0], {0});
    MeasureTables(doc, surface);
    ArrangeOptions options;
    options.scope = ArrangeScope::Selected;
    ApplyMoves(doc, ArrangeTables(doc, options).change);
    int32_t left = INT32_MAX, top = INT32_MIN;
    for (KorvoTableView* t : picked) {
        left = std::min(left, t->m_x);
        top = std::max(top, t->m_y);
    }
    EXPECT_EQ((CPoint{left, top}), (CPoint{20000, -30000}));
    EXPECT_EQ((CPoint{other->m_x, other->m_y}), (CPoint{360, -360}));

    // With the unselected table right where the selection would go, it goes
    // beside or below everything else instead.
    other->m_x = 21000;
    other->m_y = -30500;
    const ArrangeResult moved = ArrangeTables(doc, options);
    ApplyMoves(doc, moved.change);
    EXPECT_EQ(MeasureLayout(doc).overlaps, 0);
    EXPECT_EQ(CountTablesCloserThan(doc, kGapFloor), 0);
}

TEST(ArrangeTables, ProgressCountsUpAndCancelChangesNothing)
{
    FakeSurface surface;
    auto doc = generated::Build(generated::Shape::Schema, 400);
    MeasureTables(*doc, surface);
    ArrangeOptions options;
    std::vector<std::pair<int, int>> calls;
    const ArrangeResult done = ArrangeTables(*doc, options, [&](int d, int total) {
        calls.emplace_back(d, total);
        return true;
    });
    ASSERT_EQ(done.status, ArrangeStatus::Arranged);
    ASSERT_GE(calls.size(), 3u);
    for (size_t i = 1; i < calls.size(); ++i) {
        EXPECT_GE(calls[i].first, calls[i - 1].first);
        EXPECT_EQ(calls[i].second, calls[0].second);
    }
    EXPECT_EQ(calls.front().first, 0);
    EXPECT_EQ(calls.back().first, calls.back().second);

    for (int stopAt : {0, 1, 3}) {
        SCOPED_TRACE(stopAt);
        int seen = 0;
        const ArrangeResult stopped = ArrangeTables(*doc, options, [&](int, int) { return seen++ < stopAt; });
        EXPECT_EQ(stopped.status, ArrangeStatus::Cancelled);
        EXPECT_TRUE(stopped.change.moves.empty());
    }
}

TEST(ArrangeTables, EdgeCasesGiveSoundResults)
{
    FakeSurface surface;
    ArrangeOptions options;
    CKorvoDoc empty;
    EXPECT_TRUE(ArrangeTables(empty, options).change.Empty());

    // Nothing selected: a selection arrangement has nothing to do.
    auto doc = generated::Build(generated::Shape::Tree, 20);
    MeasureTables(*doc, surface);
    options.scope = ArrangeScope::Selected;
    EXPECT_FALSE(AnyTableSelected(*doc));
    EXPECT_TRUE(ArrangeTables(*doc, options).change.Empty());

    // Never measured tables (size 0), a relation without columns, and a page
    // setup of zero size still give tables that do not meet.
    CKorvoDoc raw;
    KorvoTableView* a = AddTestTable(raw, "a", {"id"});
    KorvoTableView* b = AddTestTable(raw, "b", {"id"});
    AddTestTable(raw, "c", {});
    Relate(raw, b, {}, a, {});
    Relate(raw, a, {0}, b, {0});
    options = ArrangeOptions();
    options.page = PageArea{0, 0};
    const ArrangeResult result = ArrangeTables(raw, options);
    ASSERT_EQ(result.status, ArrangeStatus::Arranged);
    ApplyMoves(raw, result.change);
    MeasureTables(raw, surface);
    std::set<std::pair<int32_t, int32_t>> corners;
    for (const auto& t : raw.m_tables)
        corners.insert({t->m_x, t->m_y});
    EXPECT_EQ(corners.size(), 3u);
}

} // namespace

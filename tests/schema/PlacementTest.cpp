#include "ArrangeTestSupport.h"
#include "GeneratedDiagrams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<CSize> Sizes(size_t count, CSize size)
{
    return std::vector<CSize>(count, size);
}

// Every new box keeps at least the gap from every other box, new or old.
void ExpectApart(const std::vector<CRect>& occupied, const std::vector<CSize>& sizes,
                 const ColumnPlacement& placement, int32_t gap)
{
    std::vector<CRect> boxes = occupied;
    for (size_t i = 0; i < sizes.size(); ++i)
        boxes.push_back(TableBox(placement.topLeft[i].x, placement.topLeft[i].y, sizes[i].cx, sizes[i].cy));
    for (size_t i = occupied.size(); i < boxes.size(); ++i)
        for (size_t j = 0; j < i; ++j) {
            const CRect& a = boxes[i];
            const CRect& b = boxes[j];
            const bool apart = a.left >= b.right + gap || b.left >= a.right + gap || a.top <= b.bottom - gap
                || b.top <= a.bottom - gap;
            ASSERT_TRUE(apart) << "box " << i << " comes within " << gap << " of box " << j;
        }
}

void ExpectOnCanvas(const ColumnPlacement& placement, const std::vector<CSize>& sizes, PageArea page)
{
    for (size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_GE(placement.topLeft[i].x, 0);
        EXPECT_LE(placement.topLeft[i].y, 0);
        EXPECT_LE(int64_t(placement.topLeft[i].x) + sizes[i].cx + kPlacementMargin,
                  int64_t(page.width) * placement.pagesX);
        EXPECT_LE(int64_t(sizes[i].cy) - placement.topLeft[i].y + kPlacementMargin,
                  int64_t(page.height) * placement.pagesY);
    }
}

// On an empty canvas the import's columns stay exactly as they always were:
// columns of floor(sqrt(n)) + 1 tables from (360, -360), 720 apart.
TEST(PlaceInColumns, EmptyCanvasKeepsTheImportColumns)
{
    struct Case {
        size_t count;
        std::vector<CPoint> expected;
    };
    // Tables 1000 wide and 600 high: rows step 1320 down, columns 1720 right.
    const std::vector<Case> cases = {
        {1, {{360, -360}}},
        {3, {{360, -360}, {360, -1680}, {2080, -360}}},
        {4, {{360, -360}, {360, -1680}, {360, -3000}, {2080, -360}}},
        {9, {{360, -360}, {360, -1680}, {360, -3000}, {360, -4320}, {2080, -360}, {2080, -1680}, {2080, -3000},
             {2080, -4320}, {3800, -360}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        const ColumnPlacement placement = PlaceInColumns({}, Sizes(c.count, {1000, 600}), kLetterPage, 5, 5);
        EXPECT_EQ(placement.topLeft, c.expected);
        EXPECT_EQ(placement.pagesX, 5);
        EXPECT_EQ(placement.pagesY, 5);
    }
}

TEST(PlaceInColumns, ColumnEndsBeforeTheCanvasBottom)
{
    // One page 15120 high: tables 4000 high fit three to a column (the fourth
    // would end within 720 of the bottom), whatever the square-root rule allows.
    const ColumnPlacement placement = PlaceInColumns({}, Sizes(16, {1000, 4000}), kLetterPage, 5, 1);
    EXPECT_EQ(placement.topLeft[2], (CPoint{360, -360 - 2 * 4720}));
    EXPECT_EQ(placement.topLeft[3], (CPoint{2080, -360}));
    EXPECT_EQ(placement.pagesY, 1);
}

// Where the import used to wrap back to the top-left corner over its own
// earlier tables, the canvas grows instead: no two tables meet.
TEST(PlaceInColumns, LargeImportGrowsThePagesInsteadOfWrapping)
{
    // 200 such tables fit on 5 x 5 pages; 1000 reached past the right edge.
    for (size_t count : {200, 1000, 5000}) {
        SCOPED_TRACE(count);
        const std::vector<CSize> sizes = Sizes(count, {2400, 2600});
        const ColumnPlacement placement = PlaceInColumns({}, sizes, kLetterPage, 5, 5);
        ExpectApart({}, sizes, placement, kPlacementGap);
        ExpectOnCanvas(placement, sizes, kLetterPage);
        EXPECT_EQ(int64_t(placement.pagesX) * placement.pagesY > 25, count > 200);
    }
}

TEST(PlaceInColumns, ImportIntoAFilledDiagramNeverLandsOnIt)
{
    struct Case {
        const char* what;
        std::vector<CRect> occupied;
        size_t count;
    };
    const std::vector<Case> cases = {
        {"one table at the corner", {{360, -360, 2000, -2000}}, 10},
        {"a band across the top", {{0, 0, 54000, -4000}}, 30},
        {"a band down the left", {{0, 0, 4000, -75600}}, 30},
        {"tables past the canvas", {{60000, -80000, 64000, -84000}, {-500, 300, 800, -900}}, 50},
        {"a full canvas", {{0, 0, 54000, -75600}}, 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<CSize> sizes = Sizes(c.count, {1800, 2200});
        const ColumnPlacement placement = PlaceInColumns(c.occupied, sizes, kLetterPage, 5, 5);
        ExpectApart(c.occupied, sizes, placement, kPlacementGap);
        ExpectOnCanvas(placement, sizes, kLetterPage);
    }
}

TEST(PlaceInColumns, GoesBesideOrBelowWhereFewerPagesAreNeeded)
{
    // A diagram down the whole left edge leaves room to its right.
    const ColumnPlacement beside = PlaceInColumns({{0, 0, 4000, -75000}}, Sizes(4, {1000, 600}), kLetterPage, 5, 5);
    EXPECT_EQ(beside.topLeft.front(), (CPoint{4720, -360}));
    // One across the whole top edge leaves room below.
    const ColumnPlacement below = PlaceInColumns({{0, 0, 53000, -4000}}, Sizes(4, {1000, 600}), kLetterPage, 5, 5);
    EXPECT_EQ(below.topLeft.front(), (CPoint{360, -4720}));
    EXPECT_EQ(beside.pagesX * beside.pagesY + below.pagesX * below.pagesY, 50);
}

TEST(PlaceInColumns, PagesNeverShrinkAndOddPagesAreSafe)
{
    const ColumnPlacement big = PlaceInColumns({}, Sizes(3, {1000, 600}), kLetterPage, 20, 20);
    EXPECT_EQ(big.pagesX, 20);
    EXPECT_EQ(big.pagesY, 20);
    // A broken page setup counts as one-inch pages: finite counts, no overlap.
    const std::vector<CSize> sizes = Sizes(50, {3000, 3000});
    const ColumnPlacement odd = PlaceInColumns({}, sizes, PageArea{0, -5}, 0, 0);
    ExpectApart({}, sizes, odd, kPlacementGap);
    ExpectOnCanvas(odd, sizes, PageArea{1440, 1440});
}

TEST(PlaceImportedTables, MovesOnlyTheNewTables)
{
    FakeSurface surface;
    auto doc = generated::Build(generated::Shape::Tree, 30);
    LayOutAsImport(*doc, surface);
    // A second import adds three tables (one named twice in its script);
    // the tables already there, updated or not, stay put.
    for (int i = 0; i < 3; ++i)
        generated::AddTable(*doc, "added" + std::to_string(i), 4);
    const CPoint kept{doc->m_tables[5]->m_x, doc->m_tables[5]->m_y};
    const DiagramMoves change = PlaceImportedTables(*doc, {30, 31, 32, 31}, kLetterPage, &surface);
    ASSERT_EQ(change.moves.size(), 3u);
    for (const TableMove& move : change.moves)
        EXPECT_GE(move.table, 30);
    // A table listed twice ends at its last place: the fourth slot.
    const ColumnPlacement alone = PlaceInColumns(
        [&] {
            std::vector<CRect> boxes;
            for (int i = 0; i < 30; ++i) {
                const KorvoTableView& t = *doc->m_tables[size_t(i)];
                boxes.push_back(TableBox(t.m_x, t.m_y, t.m_cx, t.m_cy));
            }
            return boxes;
        }(),
        {{doc->m_tables[30]->m_cx, doc->m_tables[30]->m_cy}, {doc->m_tables[31]->m_cx, doc->m_tables[31]->m_cy},
         {doc->m_tables[32]->m_cx, doc->m_tables[32]->m_cy}, {doc->m_tables[31]->m_cx, doc->m_tables[31]->m_cy}},
        kLetterPage, doc->m_nMaxPagesX, doc->m_nMaxPagesY);
    EXPECT_EQ(change.moves[1].to, alone.topLeft[3]);

    ApplyMoves(*doc, change);
    EXPECT_EQ((CPoint{doc->m_tables[5]->m_x, doc->m_tables[5]->m_y}), kept);
    EXPECT_EQ(MeasureLayout(*doc).overlaps, 0);
}

TEST(TableMoves, ApplyAndRevertAreExactOpposites)
{
    FakeSurface surface;
    auto doc = generated::Build(generated::Shape::Chain, 40);
    LayOutAsImport(*doc, surface);
    const std::string before = doc->SaveToBytes();
    doc->SetModifiedFlag(false);
    DiagramMoves change = PlaceImportedTables(*doc, {0, 1, 2}, kLetterPage);
    change.pagesXAfter = 9;
    change.moves.push_back({999, {0, 0}, {5, 5}}); // past the table list: skipped
    ApplyMoves(*doc, change);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->m_nMaxPagesX, 9);
    EXPECT_NE(doc->SaveToBytes(), before);
    RevertMoves(*doc, change);
    EXPECT_EQ(doc->SaveToBytes(), before);

    doc->SetModifiedFlag(false);
    ApplyMoves(*doc, DiagramMoves{{}, 9, 9, 9, 9});
    EXPECT_FALSE(doc->IsModified()) << "an empty change is no change";
}

} // namespace

#include "ArrangeTestSupport.h"
#include "TestDiagrams.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A table with columns "a", "b", "c" measured on the fake surface: 400 wide
// (a column name 100 plus half a line 120, plus 180), 1140 high (four lines
// of 240 plus 180).
KorvoTableView* Table(CKorvoDoc& doc, int32_t x, int32_t y)
{
    KorvoTableView* table = AddTestTable(doc, "t", {"a", "b", "c"}, x, y);
    table->Measure(FakeSurface());
    return table;
}

// Row centre of column i of a table whose top edge is at y (defaults: vp 180, lh 240).
int32_t Row(int32_t y, int i)
{
    return y - 45 - (i + 1) * 240 - 90 - 120;
}

TEST(RelationSegments, FollowTheWindowsRouting)
{
    CKorvoDoc doc;
    KorvoTableView* s = Table(doc, 0, 0);
    KorvoTableView* d = Table(doc, 3000, -1000);
    ASSERT_EQ(s->m_cx, 400);
    // Source left of the destination: out of the source's right edge, into
    // the destination's left edge ending at the dot's centre 35 outside it.
    CRelation right(s, Col(s, 1), d, Col(d, 0));
    std::vector<LineSegment> expected = {
        {{400, Row(0, 1)}, {580, Row(0, 1)}},
        {{2965, Row(-1000, 0)}, {2785, Row(-1000, 0)}},
        {{580, Row(0, 1)}, {2785, Row(-1000, 0)}},
    };
    auto same = [](const std::vector<LineSegment>& a, const std::vector<LineSegment>& b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (!(a[i].a == b[i].a) || !(a[i].b == b[i].b))
                return false;
        return true;
    };
    EXPECT_TRUE(same(RelationSegments(right), expected));

    // Reversed roles: out of the left edge, into the right edge.
    CRelation left(d, Col(d, 0), s, Col(s, 1));
    expected = {
        {{3000, Row(-1000, 0)}, {2820, Row(-1000, 0)}},
        {{435, Row(0, 1)}, {615, Row(0, 1)}},
        {{2820, Row(-1000, 0)}, {615, Row(0, 1)}},
    };
    EXPECT_TRUE(same(RelationSegments(left), expected));

    // Two source columns fan into a junction at their middle height.
    Relate(doc, s, {0, 2}, d, {0, 1});
    const std::vector<LineSegment> fan = RelationSegments(*doc.m_relations.back());
    ASSERT_EQ(fan.size(), 5u);
    const int32_t midS = Row(0, 0) + (Row(0, 2) - Row(0, 0)) / 2;
    EXPECT_EQ(fan[0].b, (CPoint{580, midS}));
    EXPECT_EQ(fan[1].b, (CPoint{580, midS}));
    EXPECT_EQ(fan[4].a, (CPoint{580, midS}));

    CRelation empty(s, nullptr, d, nullptr);
    empty.m_sourceColumns.clear();
    EXPECT_TRUE(RelationSegments(empty).empty());
}

TEST(MeasureLayout, CountsCrossingsOverlapsAndHiddenLines)
{
    struct Case {
        const char* what;
        std::vector<CPoint> tables; // top-left corners
        std::vector<std::pair<int, int>> relations; // source -> dest, first column to first column
        LayoutMetrics expected;
    };
    const std::vector<Case> cases = {
        {"two lines in an X", {{0, 0}, {3000, -2000}, {0, -2000}, {3000, 0}}, {{0, 1}, {2, 3}}, {1, 0, 0, 0}},
        {"two parallel lines", {{0, 0}, {3000, 0}, {0, -2000}, {3000, -2000}}, {{0, 1}, {2, 3}}, {0, 0, 0, 0}},
        {"lines sharing a table only touch", {{0, 0}, {3000, 0}, {3000, -3000}}, {{0, 1}, {0, 2}}, {0, 0, 0, 0}},
        {"overlapping tables", {{0, 0}, {200, -200}}, {}, {0, 1, 0, 0}},
        {"tables sharing an edge", {{0, 0}, {400, 0}}, {}, {0, 0, 0, 0}},
        {"a line behind a third table", {{0, 0}, {6000, 0}, {3000, 200}}, {{0, 1}}, {0, 0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CKorvoDoc doc;
        std::vector<KorvoTableView*> tables;
        for (const CPoint& p : c.tables)
            tables.push_back(Table(doc, p.x, p.y));
        for (const auto& [s, d] : c.relations)
            Relate(doc, tables[size_t(s)], {0}, tables[size_t(d)], {0});
        const LayoutMetrics metrics = MeasureLayout(doc);
        EXPECT_EQ(metrics.crossings, c.expected.crossings);
        EXPECT_EQ(metrics.overlaps, c.expected.overlaps);
        EXPECT_EQ(metrics.hiddenSegments, c.expected.hiddenSegments);
    }
}

TEST(MeasureLayout, SubsetWithOtherPositionsMatchesTheWholeDiagram)
{
    FakeSurface surface;
    CKorvoDoc doc;
    std::vector<KorvoTableView*> tables;
    for (int i = 0; i < 6; ++i)
        tables.push_back(Table(doc, (i % 3) * 2500, -(i / 3) * 2500));
    Relate(doc, tables[0], {0}, tables[4], {1});
    Relate(doc, tables[3], {2}, tables[1], {0});
    Relate(doc, tables[5], {0}, tables[0], {0});
    // The same layout shifted by (7000, -9000) and given as a layout in the making.
    std::vector<const KorvoTableView*> views;
    std::vector<CPoint> shifted;
    std::vector<const CRelation*> relations;
    for (KorvoTableView* t : tables) {
        views.push_back(t);
        shifted.push_back({t->m_x + 7000, t->m_y - 9000});
    }
    for (const auto& r : doc.m_relations)
        relations.push_back(r.get());
    const LayoutMetrics whole = MeasureLayout(doc);
    const LayoutMetrics moved = MeasureLayout(views, shifted, relations);
    EXPECT_GT(whole.crossings, 0);
    EXPECT_EQ(moved.crossings, whole.crossings);
    EXPECT_EQ(moved.hiddenSegments, whole.hiddenSegments);
    EXPECT_DOUBLE_EQ(moved.lineLength, whole.lineLength);
    // Leaving a table out drops its relations.
    views.pop_back();
    shifted.pop_back();
    EXPECT_LT(MeasureLayout(views, shifted, relations).lineLength, whole.lineLength);
}

TEST(CountTablesCloserThan, MeasuresTheGapOnBothAxes)
{
    CKorvoDoc doc;
    Table(doc, 0, 0);
    Table(doc, 1100, 0);  // 700 right of the first
    Table(doc, 0, -1860); // 720 below the first; 700 left of and 720 below the second
    EXPECT_EQ(CountTablesCloserThan(doc, 0), 0);
    EXPECT_EQ(CountTablesCloserThan(doc, 700), 0);
    EXPECT_EQ(CountTablesCloserThan(doc, 701), 1);
    EXPECT_EQ(CountTablesCloserThan(doc, 721), 3) << "a pair is close when it is close on both axes";
}

} // namespace

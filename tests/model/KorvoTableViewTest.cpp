#include "FakeSurface.h"
#include "KorvoTableView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

// Name "t" (100 wide) with columns "a", "bb", "ccc" at (1500, -3000). With
// lines of 240 the widest column is 300 + 120, so the box is 600 by 1140:
// on the fake screen (100, 200) to (140, 276), rows 16 pixels high.
class TableLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        table.m_def.m_strName = "t";
        table.m_x = 1500;
        table.m_y = -3000;
        for (const char* name : {"a", "bb", "ccc"})
            table.m_def.AddColumn(std::make_unique<CColumn>(name, "", false, "", false, false, "", ""));
    }

    CColumn* Column(int i) const { return table.m_def.m_columns[i].get(); }

    FakeSurface surface;
    KorvoTableView table;
};

TEST(TableMeasure, SizeFollowsNameAndColumnNames)
{
    struct Case {
        const char* what;
        const char* name;
        std::vector<const char*> columns;
        int32_t lineHeight;
        CSize size;
    };
    const std::vector<Case> cases = {
        {"no columns", "orders", {}, 240, {600 + 180, 240 + 180}},
        {"name is widest", "customers", {"id", "name"}, 240, {900 + 180, 3 * 240 + 180}},
        {"column is widest", "t", {"id", "description"}, 240, {1100 + 120 + 180, 3 * 240 + 180}},
        {"half line truncates", "t", {"abc"}, 231, {300 + 115 + 180, 2 * 231 + 180}},
        {"type does not count", "ttt", {"a"}, 240, {300 + 180, 2 * 240 + 180}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KorvoTableView table;
        table.m_def.m_strName = c.name;
        for (const char* column : c.columns)
            table.m_def.AddColumn(
                std::make_unique<CColumn>(column, "a very long type name", false, "", false, false, "", ""));
        table.m_cx = 5;
        table.m_cy = 5;
        table.Measure(FakeSurface(c.lineHeight));
        EXPECT_EQ((CSize{table.m_cx, table.m_cy}), c.size);
        EXPECT_EQ(table.m_nLineHeight, c.lineHeight);
    }
}

TEST_F(TableLayout, RowCentres)
{
    // m_y - 45 - (i+1)*240 - 90 - 120
    EXPECT_EQ(table.GetColumnRowY(surface, Column(0)), -3495);
    EXPECT_EQ(table.GetColumnRowY(surface, Column(1)), -3735);
    EXPECT_EQ(table.GetColumnRowY(surface, Column(2)), -3975);
    EXPECT_EQ(table.m_cx, 600); // measured on the way
    EXPECT_EQ(table.GetColumnRowY(FakeSurface(231), Column(1)), -3000 - 45 - 2 * 231 - 90 - 115);
}

TEST_F(TableLayout, RowCentreOfAnotherTablesColumnIsMinusOne)
{
    CColumn stranger("a", "", false, "", false, false, "", "");
    EXPECT_EQ(table.GetColumnRowY(surface, &stranger), -1);
    EXPECT_EQ(table.GetColumnRowY(surface, nullptr), -1);
}

TEST_F(TableLayout, HitTestIsStrictlyInsideTheLastMeasuredBox)
{
    // Never measured: the box is empty and nothing hits.
    EXPECT_FALSE(table.HitTest(surface, {120, 230}, {0, 0}));
    table.Measure(surface);

    struct Case {
        CPoint point;
        CPoint scroll;
        bool hit;
    };
    const std::vector<Case> cases = {
        {{101, 201}, {0, 0}, true},   {{139, 275}, {0, 0}, true},   {{120, 230}, {0, 0}, true},
        {{100, 230}, {0, 0}, false},  {{140, 230}, {0, 0}, false},  {{120, 200}, {0, 0}, false},
        {{120, 276}, {0, 0}, false},  {{100, 200}, {0, 0}, false},  {{99, 230}, {0, 0}, false},
        // Scrolled right by 20 pixels and down by 40: the box is at (80, 160)-(120, 236).
        {{81, 161}, {300, -600}, true}, {{80, 161}, {300, -600}, false}, {{119, 235}, {300, -600}, true},
        {{119, 236}, {300, -600}, false}, {{130, 230}, {300, -600}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.point.x << "," << c.point.y << " scroll " << c.scroll.x);
        EXPECT_EQ(table.HitTest(surface, c.point, c.scroll), c.hit);
    }
}

TEST_F(TableLayout, ColumnAtUsesItsOwnBand)
{
    // Rows are counted from vp/2 + lh = 6 + 16 pixels below the top edge at
    // y 200: 222..237 is "a", 238..253 "bb", 254..269 "ccc"; x 100..140.
    struct Case {
        CPoint point;
        CPoint scroll;
        int column; // -1 for none
    };
    const std::vector<Case> cases = {
        {{120, 221}, {0, 0}, -1}, {{120, 222}, {0, 0}, 0}, {{120, 237}, {0, 0}, 0},
        {{120, 238}, {0, 0}, 1},  {{120, 253}, {0, 0}, 1}, {{120, 254}, {0, 0}, 2},
        {{120, 269}, {0, 0}, 2},  {{120, 270}, {0, 0}, -1}, {{120, 275}, {0, 0}, -1},
        {{100, 230}, {0, 0}, 0},  {{140, 230}, {0, 0}, 0},  {{99, 230}, {0, 0}, -1},
        {{141, 230}, {0, 0}, -1}, {{120, 210}, {0, 0}, -1},
        {{100, 182}, {300, -600}, 0}, {{100, 181}, {300, -600}, -1}, {{120, 229}, {300, -600}, 2},
        {{120, 230}, {300, -600}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.point.x << "," << c.point.y << " scroll " << c.scroll.x);
        table.m_cx = 0; // sizes from a file are replaced by the measure
        CColumn* expected = c.column < 0 ? nullptr : Column(c.column);
        EXPECT_EQ(table.ColumnAt(surface, c.point, c.scroll), expected);
    }
}

TEST(TableLayoutEdges, ColumnAtWithoutColumnsOrLineHeightFindsNothing)
{
    KorvoTableView empty;
    EXPECT_EQ(empty.ColumnAt(FakeSurface(), {10, 22}, {0, 0}), nullptr);

    KorvoTableView table;
    table.m_def.AddColumn(std::make_unique<CColumn>());
    EXPECT_EQ(table.ColumnAt(FakeSurface(0), {0, 6}, {0, 0}), nullptr);
}

TEST(TableLayoutEdges, BoxesAtTheEndsOfTheRangeStopThereInsteadOfWrapping)
{
    // A file may place a table anywhere in the 32-bit range and make it as
    // tall as its columns and font ask; edges beyond the range stop at its
    // end, so the box never wraps round to cover the screen.
    KorvoTableView table;
    table.m_def.m_strName = "t";
    for (int i = 0; i < 5; ++i)
        table.m_def.AddColumn(std::make_unique<CColumn>("c", "", false, "", false, false, "", ""));
    table.Measure(FakeSurface(INT32_MAX / 4));
    EXPECT_EQ(table.m_cy, INT32_MAX) << "six lines of a quarter of the range";

    table.Measure(FakeSurface());
    struct Case {
        CPoint position;
        CPoint scroll;
    };
    const std::vector<Case> cases = {
        {{INT32_MAX - 10, INT32_MIN + 10}, {0, 0}},
        {{INT32_MIN + 5, INT32_MAX - 5}, {300, -600}},
        {{INT32_MAX, INT32_MAX}, {INT32_MAX, INT32_MIN}},
        {{INT32_MIN, INT32_MIN}, {INT32_MAX, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.position.x << "," << c.position.y);
        table.m_x = c.position.x;
        table.m_y = c.position.y;
        for (const CPoint p : {CPoint{0, 0}, CPoint{120, 230}, CPoint{-5, 700}})
            EXPECT_FALSE(table.HitTest(FakeSurface(), p, c.scroll));
        EXPECT_EQ(table.ColumnAt(FakeSurface(), {120, 230}, c.scroll), nullptr);
    }
    table.m_y = INT32_MIN + 100;
    EXPECT_EQ(table.GetColumnRowY(FakeSurface(), table.m_def.m_columns[4].get()), INT32_MIN);
}

} // namespace

namespace {

// The fake surface with column types shown; sides says which relation
// sides each column is on.
class TypesSurface : public FakeSurface {
public:
    bool ShowsColumnTypes() const override { return true; }
    unsigned RelationSides(const CColumn& column) const override
    {
        const auto found = sides.find(&column);
        return found == sides.end() ? 0 : found->second;
    }
    std::map<const CColumn*, unsigned> sides;
};

} // namespace

TEST(TableMeasure, WithTypesEachRowHoldsNameTypeAndMarksInAlignedColumns)
{
    struct Col {
        const char* name;
        const char* type;
        bool required;
        unsigned sides;
    };
    struct Case {
        const char* what;
        const char* table;
        std::vector<Col> columns;
        int32_t typeX, marksX, rows; // rows: width from the text's left
        int32_t width;
    };
    // Characters are 100 wide, lines 240 high: the columns stand 120 apart,
    // and the box adds half a line for the key marks and 180 of padding.
    const std::vector<Case> cases = {
        {"type and NOT NULL", "t", {{"id", "INTEGER", true, 0}, {"name", "TEXT", false, 0}},
         400 + 120, 400 + 120 + 700 + 120, 400 + 120 + 700 + 120 + 200, 1540 + 120 + 180},
        {"marks without any type", "t", {{"a", "", true, 0}}, 100 + 120, 100 + 120, 100 + 120 + 200,
         420 + 120 + 180},
        {"neither type nor marks", "t", {{"abc", "", false, 0}}, 300 + 120, 300 + 120, 300, 300 + 120 + 180},
        {"the name is wider", "a_long_table_name", {{"a", "b", false, 0}}, 220, 440, 320, 1700 + 180},
        {"relation sides", "t", {{"k", "int", true, kRelationSource | kRelationDestination}, {"f", "int", false, kRelationSource}},
         220, 640, 640 + 900, 1540 + 120 + 180},
        {"no columns", "orders", {}, 120, 120, 0, 600 + 180},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KorvoTableView table;
        table.m_def.m_strName = c.table;
        TypesSurface surface;
        for (const Col& col : c.columns) {
            CColumn* added = table.m_def.AddColumn(
                std::make_unique<CColumn>(col.name, col.type, col.required, "", false, false, "", ""));
            surface.sides[added] = col.sides;
        }
        const KorvoTableView::TypeColumns layout = table.LayOutTypeColumns(surface, 240);
        EXPECT_EQ(layout.typeX, c.typeX);
        EXPECT_EQ(layout.marksX, c.marksX);
        EXPECT_EQ(layout.width, c.rows);
        table.Measure(surface);
        EXPECT_EQ(table.m_cx, c.width);
        EXPECT_EQ(table.m_cy, int32_t(c.columns.size() + 1) * 240 + 180) << "rows stay one line high";
        // Without types the same table measures by its names alone.
        table.Measure(FakeSurface());
        int32_t names = 0;
        for (const Col& col : c.columns)
            names = std::max<int32_t>(names, 100 * int32_t(std::strlen(col.name)) + 120);
        EXPECT_EQ(table.m_cx, std::max<int32_t>(names, 100 * int32_t(std::strlen(c.table))) + 180);
    }
}

TEST(TableMeasure, ColumnMarksSayNotNullForeignKeyAndReferred)
{
    const struct {
        bool required;
        unsigned sides;
        const char* marks;
    } cases[] = {
        {false, 0, ""},
        {true, 0, "NN"},
        {false, kRelationSource, "FK"},
        {false, kRelationDestination, "REF"},
        {true, kRelationSource | kRelationDestination, "NN FK REF"},
    };
    for (const auto& c : cases) {
        CColumn column("c", "int", c.required, "", false, false, "", "");
        EXPECT_EQ(KorvoTableView::ColumnMarks(column, c.sides), c.marks);
    }
}

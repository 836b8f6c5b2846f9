#include "BoxLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

constexpr int64_t kGap = 720;

void ExpectApart(const BoxSet& set, int64_t gap)
{
    for (size_t i = 0; i < set.Size(); ++i)
        for (size_t j = 0; j < i; ++j) {
            const bool apart = set.x[i] >= set.x[j] + set.cx[j] + gap || set.x[j] >= set.x[i] + set.cx[i] + gap
                || set.y[i] <= set.y[j] - set.cy[j] - gap || set.y[j] <= set.y[i] - set.cy[i] - gap;
            ASSERT_TRUE(apart) << "boxes " << i << " and " << j << " come closer than " << gap;
        }
}

// n boxes of varied sizes in a row (wide) or a column (tall), each linked to the next.
BoxSet Line(size_t n, bool wide)
{
    BoxSet set;
    int64_t at = 0;
    for (size_t i = 0; i < n; ++i) {
        set.Add(1500 + int64_t(i % 3) * 400, 1200 + int64_t(i % 5) * 300);
        set.x.back() = wide ? at : 0;
        set.y.back() = wide ? 0 : -at;
        at += (wide ? set.cx.back() : set.cy.back()) + 1080;
        if (i)
            set.links.emplace_back(int(i - 1), int(i));
    }
    set.Normalize();
    return set;
}

double Distance(const BoxSet& set, size_t a, size_t b)
{
    const double ax = double(set.x[a]) + double(set.cx[a]) / 2, ay = double(set.y[a]) - double(set.cy[a]) / 2;
    const double bx = double(set.x[b]) + double(set.cx[b]) / 2, by = double(set.y[b]) - double(set.cy[b]) / 2;
    return std::hypot(ax - bx, ay - by);
}

TEST(Fold, FoldsLongDrawingsLikeASnake)
{
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "wide" : "tall");
        BoxSet set = Line(60, wide);
        const double before = double(set.width) / double(set.height);
        Fold(set, 0.7, kGap);
        ExpectApart(set, kGap);
        const double after = double(set.width) / double(set.height);
        EXPECT_LT(std::abs(std::log(after / 0.7)), std::abs(std::log(before / 0.7)) / 3);
        // Linked boxes stay near each other, across the folds too.
        for (const auto& [a, b] : set.links)
            EXPECT_LT(Distance(set, size_t(a), size_t(b)), 2 * (2300 + 2400 + kGap)) << a << "-" << b;
    }
}

TEST(Fold, LeavesWellShapedDrawingsAlone)
{
    BoxSet set = Line(3, true);
    const BoxSet before = set;
    Fold(set, double(set.width) / double(set.height), kGap);
    EXPECT_EQ(set.x, before.x);
    EXPECT_EQ(set.y, before.y);
}

TEST(Compact, ClosesEmptyRoomAndKeepsOrder)
{
    std::mt19937 random(7);
    BoxSet set;
    for (int i = 0; i < 80; ++i) { // a sparse grid of boxes
        set.Add(500 + random() % 3000, 500 + random() % 3000);
        set.x.back() = (i % 10) * 9000 + int64_t(random() % 2000);
        set.y.back() = -(i / 10) * 9000 - int64_t(random() % 2000);
    }
    set.Normalize();
    const BoxSet before = set;
    Compact(set, kGap);
    ExpectApart(set, kGap);
    EXPECT_LT(double(set.width) * double(set.height), 0.5 * double(before.width) * double(before.height));
    // Boxes that faced each other across a horizontal gap keep their order.
    for (size_t i = 0; i < set.Size(); ++i)
        for (size_t j = 0; j < set.Size(); ++j)
            if (before.x[i] + before.cx[i] <= before.x[j] && set.y[i] - set.cy[i] - kGap < set.y[j]
                && set.y[j] - set.cy[j] - kGap < set.y[i]) {
                EXPECT_LE(set.x[i] + set.cx[i], set.x[j]) << i << " " << j;
            }
}

TEST(Grid, AlignsRowsAndColumnsAndFitsAHeight)
{
    std::vector<std::pair<int64_t, int64_t>> sizes;
    for (int i = 0; i < 23; ++i)
        sizes.emplace_back(1000 + (i % 4) * 500, 800 + (i % 6) * 400);
    const BoxSet grid = Grid(sizes, 5, kGap);
    ExpectApart(grid, kGap);
    for (size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_EQ(grid.x[i], grid.x[i % 5]) << "column of " << i;
        EXPECT_EQ(grid.y[i], grid.y[i / 5 * 5]) << "row of " << i;
    }
    for (int64_t limit : {3000, 12000, 40000, 100000}) {
        SCOPED_TRACE(limit);
        const BoxSet fitting = FittingGrid(sizes, limit, kGap);
        size_t columns = 1;
        while (columns < sizes.size() && fitting.x[columns] > 0)
            ++columns;
        if (fitting.height > limit) {
            EXPECT_EQ(columns, sizes.size()) << "only a single row may be higher";
        } else if (columns > 1) {
            EXPECT_GT(Grid(sizes, columns - 1, kGap).height, limit) << "one column fewer would fit";
        }
    }
}

TEST(PackInOrder, KeepsNeighboursInTheOrderTogether)
{
    BoxSet set;
    for (int i = 0; i < 30; ++i)
        set.Add(2000 + (i % 3) * 700, 1500 + (i % 4) * 600);
    std::vector<size_t> order(set.Size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = (i * 7) % order.size();
    PackInOrder(set, order, 15000, kGap);
    ExpectApart(set, kGap);
    EXPECT_LE(set.width, 15000 + 2700);
    for (size_t k = 1; k < order.size(); ++k)
        EXPECT_LT(Distance(set, order[k - 1], order[k]), 2 * (2700 + 3300 + kGap));
}

TEST(PackInRows, RowsStayWithinTheWidth)
{
    std::vector<std::pair<int64_t, int64_t>> sizes = {{5000, 3000}, {20000, 1000}, {3000, 4000}, {4000, 2000},
                                                      {6000, 6000}, {1000, 1000}, {2000, 5000}};
    const Packing packing = PackInRows(sizes, 12000, kGap);
    BoxSet set;
    for (size_t i = 0; i < sizes.size(); ++i) {
        set.Add(sizes[i].first, sizes[i].second);
        set.x[i] = packing.topLeft[i].first;
        set.y[i] = packing.topLeft[i].second;
        if (sizes[i].first <= 12000) {
            EXPECT_LE(packing.topLeft[i].first + sizes[i].first, 12000);
        }
    }
    ExpectApart(set, kGap);
    set.Normalize();
    EXPECT_EQ(set.width, packing.width);
    EXPECT_EQ(set.height, packing.height);
}

} // namespace

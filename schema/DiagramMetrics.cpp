#include "DiagramMetrics.h"

#include "CKorvoDoc.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace {

// The lengths the diagram window draws relations with.
constexpr int32_t kStubLength = 180;
constexpr int32_t kDotSize = 70;

// Centre height of a column's row, as the window computes it after measuring;
// -1 when the column is not the table's (the window then draws at -1 too).
int64_t RowY(const KorvoTableView& table, const CColumn* column, int32_t top)
{
    const int index = table.IndexOfColumn(column);
    if (index < 0)
        return -1;
    const int64_t lh = table.m_nLineHeight;
    const int64_t vp = table.m_nVertPadding;
    return top - vp / 4 - (index + 1) * lh - vp / 2 - lh / 2;
}

int64_t MidOf(const std::vector<int64_t>& values)
{
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    return *lo + (*hi - *lo) / 2;
}

// One thing on the canvas for the sweep: a table box or a relation segment.
struct Item {
    int64_t minX, maxX, minY, maxY;
    int table = -1;          // a table's position, or -1 for a segment
    int relation = -1;       // the segment's relation
    const KorvoTableView* source = nullptr;
    const KorvoTableView* dest = nullptr;
    LineSegment segment;
};

int64_t Cross(CPoint o, CPoint a, CPoint b)
{
    return (int64_t(a.x) - o.x) * (int64_t(b.y) - o.y) - (int64_t(a.y) - o.y) * (int64_t(b.x) - o.x);
}

int Sign(int64_t v)
{
    return (v > 0) - (v < 0);
}

// True when the two segments cross at one point inside both: end points that
// touch the other segment, and collinear runs, are not crossings.
bool ProperlyCross(const LineSegment& p, const LineSegment& q)
{
    const int d1 = Sign(Cross(p.a, p.b, q.a));
    const int d2 = Sign(Cross(p.a, p.b, q.b));
    const int d3 = Sign(Cross(q.a, q.b, p.a));
    const int d4 = Sign(Cross(q.a, q.b, p.b));
    return d1 * d2 < 0 && d3 * d4 < 0;
}

// True when some part of the segment lies strictly inside the box: the
// segment is clipped to the closed box and the clipped piece's middle tested.
bool PassesThrough(const LineSegment& s, const Item& box)
{
    double t0 = 0.0;
    double t1 = 1.0;
    const double ax = s.a.x, ay = s.a.y;
    const double dx = double(s.b.x) - ax, dy = double(s.b.y) - ay;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax - double(box.minX), double(box.maxX) - ax, ay - double(box.minY), double(box.maxY) - ay};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const double tm = (t0 + t1) / 2.0;
    const double x = ax + tm * dx, y = ay + tm * dy;
    return x > double(box.minX) && x < double(box.maxX) && y > double(box.minY) && y < double(box.maxY);
}

Item TableItem(const KorvoTableView& table, CPoint at, int index, int32_t grow)
{
    Item item;
    item.minX = at.x;
    item.maxX = int64_t(at.x) + table.m_cx + grow;
    item.maxY = at.y;
    item.minY = int64_t(at.y) - table.m_cy - grow;
    item.table = index;
    return item;
}

// Calls visit(a, b) for every pair of items whose boxes meet, each pair once.
template <class Visit>
void SweepPairs(std::vector<Item>& items, Visit visit)
{
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return a.minX != b.minX ? a.minX < b.minX : a.maxX < b.maxX;
    });
    for (size_t i = 0; i < items.size(); ++i)
        for (size_t j = i + 1; j < items.size() && items[j].minX <= items[i].maxX; ++j)
            if (items[j].minY <= items[i].maxY && items[i].minY <= items[j].maxY)
                visit(items[i], items[j]);
}

} // namespace

// The segments of a relation with its two tables' top-left corners at s and d.
static std::vector<LineSegment> SegmentsAt(const CRelation& relation, CPoint s, CPoint d)
{
    std::vector<LineSegment> segments;
    const KorvoTableView* S = relation.m_pSource;
    const KorvoTableView* D = relation.m_pDest;
    if (!S || !D || relation.m_sourceColumns.empty() || relation.m_destColumns.empty())
        return segments;
    // In 64 bits, so that positions far out cannot overflow.
    const int64_t r = kDotSize / 2;
    std::vector<int64_t> yS, yD;
    for (const CColumn* column : relation.m_sourceColumns)
        yS.push_back(RowY(*S, column, s.y));
    for (const CColumn* column : relation.m_destColumns)
        yD.push_back(RowY(*D, column, d.y));
    // The lines leave the source on the side facing the destination.
    const bool sourceRight = s.x + int64_t(S->m_cx) / 2 < d.x;
    const int64_t eS = sourceRight ? int64_t(s.x) + S->m_cx : s.x;
    const int64_t jS = sourceRight ? eS + kStubLength : int64_t(s.x) - kStubLength;
    const bool destRight = d.x + int64_t(D->m_cx) / 2 < s.x;
    const int64_t eD = destRight ? int64_t(d.x) + D->m_cx + r : int64_t(d.x) - r;
    const int64_t jD = destRight ? eD + kStubLength : eD - kStubLength;
    const int64_t midS = MidOf(yS);
    const int64_t midD = MidOf(yD);
    auto at = [](int64_t x, int64_t y) { return CPoint{Saturate(x), Saturate(y)}; };
    for (int64_t y : yS)
        segments.push_back({at(eS, y), at(jS, midS)});
    for (int64_t y : yD)
        segments.push_back({at(eD, y), at(jD, midD)});
    segments.push_back({at(jS, midS), at(jD, midD)});
    return segments;
}

std::vector<LineSegment> RelationSegments(const CRelation& relation)
{
    if (!relation.m_pSource || !relation.m_pDest)
        return {};
    return SegmentsAt(relation, {relation.m_pSource->m_x, relation.m_pSource->m_y},
                      {relation.m_pDest->m_x, relation.m_pDest->m_y});
}

LayoutMetrics MeasureLayout(const CKorvoDoc& doc)
{
    std::vector<const KorvoTableView*> tables;
    std::vector<CPoint> topLeft;
    std::vector<const CRelation*> relations;
    for (const auto& table : doc.m_tables) {
        tables.push_back(table.get());
        topLeft.push_back({table->m_x, table->m_y});
    }
    for (const auto& relation : doc.m_relations)
        relations.push_back(relation.get());
    return MeasureLayout(tables, topLeft, relations);
}

LayoutMetrics MeasureLayout(const std::vector<const KorvoTableView*>& tables, const std::vector<CPoint>& topLeft,
                            const std::vector<const CRelation*>& relations)
{
    LayoutMetrics metrics;
    const size_t n = std::min(tables.size(), topLeft.size());
    std::unordered_map<const KorvoTableView*, size_t> indexOf;
    std::vector<Item> items;
    for (size_t i = 0; i < n; ++i) {
        indexOf.emplace(tables[i], i);
        items.push_back(TableItem(*tables[i], topLeft[i], int(i), 0));
    }
    for (size_t r = 0; r < relations.size(); ++r) {
        const CRelation& relation = *relations[r];
        const auto source = indexOf.find(relation.m_pSource);
        const auto dest = indexOf.find(relation.m_pDest);
        if (source == indexOf.end() || dest == indexOf.end())
            continue;
        for (const LineSegment& s : SegmentsAt(relation, topLeft[source->second], topLeft[dest->second])) {
            Item item;
            item.minX = std::min(s.a.x, s.b.x);
            item.maxX = std::max(s.a.x, s.b.x);
            item.minY = std::min(s.a.y, s.b.y);
            item.maxY = std::max(s.a.y, s.b.y);
            item.relation = int(r);
            item.source = relation.m_pSource;
            item.dest = relation.m_pDest;
            item.segment = s;
            metrics.lineLength += std::hypot(double(s.b.x) - s.a.x, double(s.b.y) - s.a.y);
            items.push_back(item);
        }
    }
    SweepPairs(items, [&](const Item& a, const Item& b) {
        if (a.table >= 0 && b.table >= 0) {
            if (a.minX < b.maxX && b.minX < a.maxX && a.minY < b.maxY && b.minY < a.maxY)
                ++metrics.overlaps;
        } else if (a.table < 0 && b.table < 0) {
            if (a.relation != b.relation && ProperlyCross(a.segment, b.segment))
                ++metrics.crossings;
        } else {
            const Item& box = a.table >= 0 ? a : b;
            const Item& line = a.table >= 0 ? b : a;
            const KorvoTableView* table = tables[size_t(box.table)];
            if (table != line.source && table != line.dest && PassesThrough(line.segment, box))
                ++metrics.hiddenSegments;
        }
    });
    return metrics;
}

int64_t CountTablesCloserThan(const CKorvoDoc& doc, int32_t gap)
{
    std::vector<Item> items;
    items.reserve(doc.m_tables.size());
    for (size_t i = 0; i < doc.m_tables.size(); ++i)
        items.push_back(TableItem(*doc.m_tables[i], {doc.m_tables[i]->m_x, doc.m_tables[i]->m_y}, int(i), std::max(gap, 0)));
    int64_t count = 0;
    SweepPairs(items, [&](const Item& a, const Item& b) {
        if (a.minX < b.maxX && b.minX < a.maxX && a.minY < b.maxY && b.minY < a.maxY)
            ++count;
    });
    return count;
}

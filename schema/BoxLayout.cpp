#include "BoxLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

struct Extent {
    int64_t left = std::numeric_limits<int64_t>::max();
    int64_t top = std::numeric_limits<int64_t>::min();
    int64_t right = std::numeric_limits<int64_t>::min();
    int64_t bottom = std::numeric_limits<int64_t>::max();

    void Add(const BoxSet& set, size_t i)
    {
        left = std::min(left, set.x[i]);
        top = std::max(top, set.y[i]);
        right = std::max(right, set.x[i] + set.cx[i]);
        bottom = std::min(bottom, set.y[i] - set.cy[i]);
    }
};

// Cut positions for a fold along one axis. centre[i] is box i's centre on
// that axis; a box belongs to the part before the first cut above its centre.
// Candidates lie halfway between neighbouring centres; for each of the
// parts - 1 even positions the candidate within a quarter part of it that
// cuts the fewest links wins (the nearest one when none is that close).
std::vector<int64_t> ChooseCuts(const std::vector<int64_t>& centre, const std::vector<std::pair<int, int>>& links,
                                size_t parts)
{
    std::vector<int64_t> values(centre);
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    std::vector<int64_t> cuts;
    if (values.size() < 2)
        return cuts;
    std::vector<int64_t> candidate(values.size() - 1);
    for (size_t i = 0; i + 1 < values.size(); ++i)
        candidate[i] = values[i] + (values[i + 1] - values[i]) / 2;

    // Links cut at each candidate, by a difference array over the candidates
    // between a link's two ends.
    std::vector<int64_t> delta(candidate.size() + 1, 0);
    for (const auto& [a, b] : links) {
        const int64_t lo = std::min(centre[size_t(a)], centre[size_t(b)]);
        const int64_t hi = std::max(centre[size_t(a)], centre[size_t(b)]);
        ++delta[size_t(std::lower_bound(candidate.begin(), candidate.end(), lo) - candidate.begin())];
        --delta[size_t(std::lower_bound(candidate.begin(), candidate.end(), hi) - candidate.begin())];
    }
    std::vector<int64_t> cutLinks(candidate.size());
    int64_t running = 0;
    for (size_t i = 0; i < candidate.size(); ++i)
        cutLinks[i] = running += delta[i];

    const double lo = double(values.front());
    const double step = double(values.back() - values.front()) / double(parts);
    size_t from = 0;
    for (size_t k = 1; k < parts && from < candidate.size(); ++k) {
        const double ideal = lo + step * double(k);
        auto off = [&](size_t i) { return std::abs(double(candidate[i]) - ideal); };
        size_t best = candidate.size();
        size_t nearest = from;
        for (size_t i = from; i < candidate.size(); ++i) {
            if (off(i) < off(nearest))
                nearest = i;
            if (off(i) > step / 4) {
                if (double(candidate[i]) > ideal)
                    break;
                continue;
            }
            if (best == candidate.size() || cutLinks[i] < cutLinks[best]
                || (cutLinks[i] == cutLinks[best] && off(i) < off(best)))
                best = i;
        }
        if (best == candidate.size())
            best = nearest;
        cuts.push_back(candidate[best]);
        from = best + 1;
    }
    return cuts;
}

} // namespace

void BoxSet::Add(int64_t boxWidth, int64_t boxHeight)
{
    x.push_back(0);
    y.push_back(0);
    cx.push_back(boxWidth);
    cy.push_back(boxHeight);
}

void BoxSet::Normalize()
{
    if (cx.empty()) {
        width = height = 0;
        return;
    }
    Extent extent;
    for (size_t i = 0; i < Size(); ++i)
        extent.Add(*this, i);
    for (size_t i = 0; i < Size(); ++i) {
        x[i] -= extent.left;
        y[i] -= extent.top;
    }
    width = extent.right - extent.left;
    height = extent.top - extent.bottom;
}

void Fold(BoxSet& set, double aspect, int64_t gap)
{
    if (set.Size() < 4 || set.width <= 0 || set.height <= 0 || !(aspect > 0))
        return;
    const bool wide = double(set.width) / double(set.height) > aspect;
    const double parts = wide ? std::sqrt(double(set.width) / (aspect * double(set.height + gap)))
                              : std::sqrt(aspect * double(set.height) / double(set.width + gap));
    if (!(parts >= 1.5))
        return;
    const size_t count = std::min(size_t(std::lround(parts)), set.Size());
    const size_t n = set.Size();
    std::vector<int64_t> centre(n);
    for (size_t i = 0; i < n; ++i)
        centre[i] = wide ? set.x[i] + set.cx[i] / 2 : -(set.y[i] - set.cy[i] / 2);
    const std::vector<int64_t> cuts = ChooseCuts(centre, set.links, count);
    if (cuts.empty())
        return;
    std::vector<std::vector<size_t>> members(cuts.size() + 1);
    for (size_t i = 0; i < n; ++i)
        members[size_t(std::lower_bound(cuts.begin(), cuts.end(), centre[i]) - cuts.begin())].push_back(i);

    int64_t offset = 0;
    size_t placed = 0;
    for (const std::vector<size_t>& part : members) {
        if (part.empty())
            continue;
        Extent extent;
        for (size_t i : part)
            extent.Add(set, i);
        const bool mirror = placed++ % 2 == 1;
        for (size_t i : part) {
            int64_t left = set.x[i] - extent.left;
            int64_t depth = extent.top - set.y[i];
            if (mirror && wide)
                left = (extent.right - extent.left) - (left + set.cx[i]);
            if (mirror && !wide)
                depth = (extent.top - extent.bottom) - (depth + set.cy[i]);
            set.x[i] = wide ? left : offset + left;
            set.y[i] = wide ? -(offset + depth) : -depth;
        }
        offset += (wide ? extent.top - extent.bottom : extent.right - extent.left) + gap;
    }
    set.Normalize();
}

void Compact(BoxSet& set, int64_t gap)
{
    const size_t n = set.Size();
    if (n < 2)
        return;
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    // Leftward: the nearest right edge among boxes already moved that share
    // some height (with the gap) bounds each box.
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return set.x[a] < set.x[b]; });
    for (size_t k = 0; k < n; ++k) {
        const size_t i = order[k];
        int64_t left = 0;
        for (size_t m = 0; m < k; ++m) {
            const size_t j = order[m];
            if (set.y[j] - set.cy[j] - gap < set.y[i] && set.y[i] - set.cy[i] < set.y[j] + gap)
                left = std::max(left, set.x[j] + set.cx[j] + gap);
        }
        set.x[i] = left;
    }
    // Upward, likewise with the widths.
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return set.y[a] > set.y[b]; });
    for (size_t k = 0; k < n; ++k) {
        const size_t i = order[k];
        int64_t top = 0;
        for (size_t m = 0; m < k; ++m) {
            const size_t j = order[m];
            if (set.x[j] - gap < set.x[i] + set.cx[i] && set.x[i] < set.x[j] + set.cx[j] + gap)
                top = std::min(top, set.y[j] - set.cy[j] - gap);
        }
        set.y[i] = top;
    }
    set.Normalize();
}

void PackInOrder(BoxSet& set, const std::vector<size_t>& order, int64_t targetWidth, int64_t gap)
{
    // Rows first, then each row's boxes from the left or from the right.
    std::vector<std::vector<size_t>> rows(1);
    int64_t x = 0;
    for (size_t i : order) {
        if (!rows.back().empty() && x + set.cx[i] > targetWidth) {
            rows.emplace_back();
            x = 0;
        }
        rows.back().push_back(i);
        x += set.cx[i] + gap;
    }
    int64_t top = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r % 2 == 1)
            std::reverse(rows[r].begin(), rows[r].end());
        int64_t left = 0, height = 0;
        for (size_t i : rows[r]) {
            set.x[i] = left;
            set.y[i] = top;
            left += set.cx[i] + gap;
            height = std::max(height, set.cy[i]);
        }
        top -= height + gap;
    }
    set.Normalize();
}

Packing PackInRows(const std::vector<std::pair<int64_t, int64_t>>& sizes, int64_t targetWidth, int64_t gap)
{
    Packing packing;
    packing.topLeft.resize(sizes.size());
    std::vector<size_t> order(sizes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        if (sizes[a].second != sizes[b].second)
            return sizes[a].second > sizes[b].second;
        return sizes[a].first > sizes[b].first;
    });
    int64_t x = 0, top = 0, rowHeight = 0;
    for (size_t i : order) {
        const auto [w, h] = sizes[i];
        if (x > 0 && x + w > targetWidth) {
            top -= rowHeight + gap;
            x = 0;
            rowHeight = 0;
        }
        packing.topLeft[i] = {x, top};
        x += w + gap;
        rowHeight = std::max(rowHeight, h);
        packing.width = std::max(packing.width, packing.topLeft[i].first + w);
        packing.height = std::max(packing.height, -top + h);
    }
    return packing;
}

BoxSet Grid(const std::vector<std::pair<int64_t, int64_t>>& sizes, size_t columns, int64_t gap)
{
    BoxSet grid;
    if (sizes.empty())
        return grid;
    columns = std::clamp<size_t>(columns, 1, sizes.size());
    std::vector<int64_t> columnWidth(columns, 0);
    for (size_t i = 0; i < sizes.size(); ++i) {
        grid.Add(sizes[i].first, sizes[i].second);
        columnWidth[i % columns] = std::max(columnWidth[i % columns], sizes[i].first);
    }
    std::vector<int64_t> columnLeft(columns, 0);
    for (size_t c = 1; c < columns; ++c)
        columnLeft[c] = columnLeft[c - 1] + columnWidth[c - 1] + gap;
    int64_t top = 0;
    for (size_t first = 0; first < sizes.size(); first += columns) {
        int64_t rowHeight = 0;
        for (size_t i = first; i < std::min(first + columns, sizes.size()); ++i) {
            grid.x[i] = columnLeft[i - first];
            grid.y[i] = top;
            rowHeight = std::max(rowHeight, sizes[i].second);
        }
        top -= rowHeight + gap;
    }
    grid.width = columnLeft[columns - 1] + columnWidth[columns - 1];
    grid.height = -top - gap;
    return grid;
}

BoxSet FittingGrid(const std::vector<std::pair<int64_t, int64_t>>& sizes, int64_t maxHeight, int64_t gap)
{
    size_t lo = 1, hi = std::max<size_t>(sizes.size(), 1);
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (Grid(sizes, mid, gap).height <= maxHeight)
            hi = mid;
        else
            lo = mid + 1;
    }
    return Grid(sizes, lo, gap);
}

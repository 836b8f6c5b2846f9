#include "Placement.h"

#include "CKorvoDoc.h"
#include "MeasureSurface.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace {

constexpr int32_t kMinPageExtent = 1440;
// Page growth is tried this many times before the columns simply run on to
// the right; each try costs one pass over the tables.
constexpr int kMaxGrowthTries = 64;

PageArea Sane(PageArea page)
{
    return {std::max(page.width, kMinPageExtent), std::max(page.height, kMinPageExtent)};
}

struct ColumnRun {
    std::vector<int64_t> x;
    std::vector<int64_t> y;
    bool overflow = false;      // a column would have passed the right edge
    bool bottomLimited = false; // a column ended at the canvas bottom
    int64_t neededRight = 0;    // right edge the first overflowing column needed
    int64_t right = 0;          // extent of what was placed
    int64_t bottom = 0;
};

// The import's column layout from (x0, y0) on a canvas of the given right
// and bottom edges. The rule that ends a column is the import's own; where
// the import would wrap to the top-left corner this run notes an overflow and
// carries on to the right.
ColumnRun RunColumns(const std::vector<CSize>& sizes, int64_t x0, int64_t y0, int64_t canvasRight,
                     int64_t canvasBottom)
{
    ColumnRun run;
    const size_t n = sizes.size();
    run.x.resize(n);
    run.y.resize(n);
    run.bottom = y0;
    const int perColumn = int(std::sqrt(double(n)));
    int64_t x = x0;
    int64_t y = y0;
    int64_t widest = 0;
    int inColumn = 0;
    for (size_t i = 0; i < n; ++i) {
        const CSize size = sizes[i];
        widest = std::max<int64_t>(widest, size.cx);
        run.x[i] = x;
        run.y[i] = y;
        run.right = std::max<int64_t>(run.right, x + size.cx);
        run.bottom = std::min<int64_t>(run.bottom, y - size.cy);
        y = y - size.cy - kPlacementGap;
        ++inColumn;
        if (i + 1 == n)
            break;
        const CSize next = sizes[i + 1];
        const bool atBottom = y - next.cy - kPlacementGap < canvasBottom;
        if (inColumn > perColumn || atBottom) {
            run.bottomLimited = run.bottomLimited || (atBottom && inColumn <= perColumn);
            x = x + widest + kPlacementGap;
            y = y0;
            inColumn = 0;
            widest = 0;
        }
        if (x + next.cx + kPlacementGap > canvasRight && !run.overflow) {
            run.overflow = true;
            run.neededRight = x + next.cx + kPlacementGap;
        }
    }
    return run;
}

struct Candidate {
    ColumnRun run;
    int32_t pagesX = 0;
    int32_t pagesY = 0;
    int64_t area = 0;
};

int32_t PagesFor(int64_t extent, int32_t pageExtent)
{
    // No further than a diagram file may hold, so a saved diagram reopens
    // with the same canvas.
    const int64_t pages = (extent + pageExtent - 1) / pageExtent;
    return int32_t(std::clamp<int64_t>(pages, 0, CKorvoDoc::kMaxPages));
}

// Runs the columns from one origin, growing the canvas until no column has to
// wrap; then grows it to hold everything placed.
Candidate TryOrigin(const std::vector<CSize>& sizes, int64_t x0, int64_t y0, PageArea page, int32_t pagesX,
                    int32_t pagesY, int64_t occupiedRight, int64_t occupiedDepth)
{
    Candidate c;
    c.pagesX = pagesX;
    c.pagesY = pagesY;
    bool growDown = true;
    int tries = 0;
    for (;;) {
        c.run = RunColumns(sizes, x0, y0, int64_t(page.width) * c.pagesX, -int64_t(page.height) * c.pagesY);
        if (!c.run.overflow)
            break;
        if (++tries > kMaxGrowthTries) {
            c.run = RunColumns(sizes, x0, y0, std::numeric_limits<int64_t>::max() / 4,
                               -int64_t(page.height) * c.pagesY);
            break;
        }
        // Taller pages first while columns end at the bottom, so the block
        // keeps the import's shape; otherwise as wide as the blocked column needs.
        if (growDown && c.run.bottomLimited)
            c.pagesY = Saturate(int64_t(c.pagesY) + 1);
        else
            c.pagesX = std::max(Saturate(int64_t(c.pagesX) + 1), PagesFor(c.run.neededRight, page.width));
        growDown = !growDown;
    }
    const int64_t right = std::max(occupiedRight, c.run.right);
    const int64_t depth = std::max(occupiedDepth, -c.run.bottom);
    GrowPagesToHold(right, depth, page, c.pagesX, c.pagesY);
    c.area = right * depth;
    return c;
}

} // namespace

CRect TableBox(int32_t x, int32_t y, int32_t cx, int32_t cy)
{
    return {x, y, Saturate(int64_t(x) + cx), Saturate(int64_t(y) - cy)};
}

void GrowPagesToHold(int64_t right, int64_t depth, PageArea page, int32_t& pagesX, int32_t& pagesY)
{
    page = Sane(page);
    pagesX = std::max(pagesX, PagesFor(std::max<int64_t>(right, 0) + kPlacementMargin, page.width));
    pagesY = std::max(pagesY, PagesFor(std::max<int64_t>(depth, 0) + kPlacementMargin, page.height));
}

ColumnPlacement PlaceInColumns(const std::vector<CRect>& occupied, const std::vector<CSize>& sizes, PageArea page,
                               int32_t pagesX, int32_t pagesY)
{
    page = Sane(page);
    pagesX = std::max(pagesX, 0);
    pagesY = std::max(pagesY, 0);
    ColumnPlacement placement;
    placement.pagesX = pagesX;
    placement.pagesY = pagesY;
    if (sizes.empty())
        return placement;

    int64_t occupiedRight = 0;
    int64_t occupiedBottom = 0;
    int64_t occupiedDepth = 0;
    for (const CRect& box : occupied) {
        occupiedRight = std::max<int64_t>(occupiedRight, box.right);
        occupiedBottom = std::min<int64_t>(occupiedBottom, box.bottom);
        occupiedDepth = std::max<int64_t>(occupiedDepth, -int64_t(box.bottom));
    }

    Candidate best;
    if (occupied.empty()) {
        best = TryOrigin(sizes, kPlacementMargin, -kPlacementMargin, page, pagesX, pagesY, 0, 0);
    } else {
        const int64_t besideX = std::max<int64_t>(occupiedRight + kPlacementGap, kPlacementMargin);
        const int64_t belowY = std::min<int64_t>(occupiedBottom - kPlacementGap, -kPlacementMargin);
        Candidate beside =
            TryOrigin(sizes, besideX, -kPlacementMargin, page, pagesX, pagesY, occupiedRight, occupiedDepth);
        Candidate below =
            TryOrigin(sizes, kPlacementMargin, belowY, page, pagesX, pagesY, occupiedRight, occupiedDepth);
        const int64_t pagesBeside = int64_t(beside.pagesX) * beside.pagesY;
        const int64_t pagesBelow = int64_t(below.pagesX) * below.pagesY;
        const bool takeBelow = pagesBelow < pagesBeside || (pagesBelow == pagesBeside && below.area < beside.area);
        best = takeBelow ? std::move(below) : std::move(beside);
    }

    placement.topLeft.reserve(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i)
        placement.topLeft.push_back({Saturate(best.run.x[i]), Saturate(best.run.y[i])});
    placement.pagesX = best.pagesX;
    placement.pagesY = best.pagesY;
    return placement;
}

DiagramMoves PlaceImportedTables(CKorvoDoc& doc, const std::vector<int>& newTables, PageArea page,
                                 const CMeasureSurface* surface)
{
    DiagramMoves change;
    change.pagesXBefore = change.pagesXAfter = doc.m_nMaxPagesX;
    change.pagesYBefore = change.pagesYAfter = doc.m_nMaxPagesY;
    if (surface)
        for (const auto& table : doc.m_tables)
            table->Measure(*surface);

    std::vector<bool> isNew(doc.m_tables.size(), false);
    std::vector<CSize> sizes;
    std::vector<int> order;
    for (int index : newTables) {
        const KorvoTableView* table = doc.GetTable(index);
        if (!table)
            continue;
        isNew[size_t(index)] = true;
        sizes.push_back({table->m_cx, table->m_cy});
        order.push_back(index);
    }
    std::vector<CRect> occupied;
    for (size_t i = 0; i < doc.m_tables.size(); ++i) {
        const KorvoTableView& table = *doc.m_tables[i];
        if (!isNew[i])
            occupied.push_back(TableBox(table.m_x, table.m_y, table.m_cx, table.m_cy));
    }

    const ColumnPlacement placement = PlaceInColumns(occupied, sizes, page, doc.m_nMaxPagesX, doc.m_nMaxPagesY);
    change.pagesXAfter = placement.pagesX;
    change.pagesYAfter = placement.pagesY;

    // A table listed twice ends where its last entry put it.
    std::unordered_map<int, size_t> slot;
    for (size_t i = 0; i < order.size(); ++i) {
        const KorvoTableView& table = *doc.m_tables[size_t(order[i])];
        const CPoint from{table.m_x, table.m_y};
        auto [it, inserted] = slot.emplace(order[i], change.moves.size());
        if (inserted)
            change.moves.push_back({order[i], from, placement.topLeft[i]});
        else
            change.moves[it->second].to = placement.topLeft[i];
    }
    std::erase_if(change.moves, [](const TableMove& move) { return move.from == move.to; });
    return change;
}

#pragma once

#include "Geometry.h"
#include "TableMoves.h"

#include <cstdint>
#include <vector>

class CKorvoDoc;
class CMeasureSurface;

// The printable area of one page in logical units (twips): paper size less
// the margins. Values below one inch are taken as one inch, so a broken page
// setup cannot make the page counts explode or divide by zero.
struct PageArea {
    int32_t width = 10800;
    int32_t height = 15120;
};

// The canvas margin at the top and left, and the gap the import layout keeps
// between tables and to the canvas's right and bottom edges.
inline constexpr int32_t kPlacementMargin = 360;
inline constexpr int32_t kPlacementGap = 720;

// Where new tables go and how many pages the canvas then needs.
struct ColumnPlacement {
    std::vector<CPoint> topLeft; // one per size, in the same order
    int32_t pagesX = 0;
    int32_t pagesY = 0;
};

// Lays tables of the given sizes out in columns from the top down, as the
// SQL import always has: columns of at most floor(sqrt(n)) + 1 tables, 720
// apart, a column ending where the next table would come within 720 of the
// canvas bottom. On an empty canvas the columns start at (360, -360), so an
// import that fits looks exactly as it always did. When the diagram already
// holds tables (occupied: their boxes, top above bottom), the columns start
// beside them (right of everything) or below them (under everything),
// whichever needs fewer pages, then the smaller area; never on top of them.
// Where the next column would pass the canvas's right edge, the layout does
// not wrap back to the top-left corner (over earlier tables): the page counts
// grow instead, down and across in turn, until every column fits. The page
// counts never shrink and always grow to hold every table with a 360 margin.
ColumnPlacement PlaceInColumns(const std::vector<CRect>& occupied, const std::vector<CSize>& sizes, PageArea page,
                               int32_t pagesX, int32_t pagesY);

// Places the tables an import created. newTables are positions in the
// document's table list in script order (a table may repeat; its last place
// wins); every other table keeps its position and is avoided. With a surface
// every table is measured first, otherwise the sizes of the last measurement
// count. Returns the change; ApplyMoves carries it out.
DiagramMoves PlaceImportedTables(CKorvoDoc& doc, const std::vector<int>& newTables, PageArea page,
                                 const CMeasureSurface* surface = nullptr);

// The page counts that hold a diagram extent (right edge, depth below the top,
// both >= 0) with a 360 margin, never fewer than the current counts.
void GrowPagesToHold(int64_t right, int64_t depth, PageArea page, int32_t& pagesX, int32_t& pagesY);

// A table's box in logical units from its last measured size: top above bottom.
CRect TableBox(int32_t x, int32_t y, int32_t cx, int32_t cy);

#pragma once

#include "Placement.h"
#include "TableMoves.h"

#include <functional>
#include <string>

class CKorvoDoc;
class CMeasureSurface;

// Which tables an arrangement moves: every table, or only the selected ones
// (the others stay where they are and are kept clear of).
enum class ArrangeScope { All, Selected };

enum class ArrangeStatus {
    Arranged,  // change holds the new layout (possibly empty: nothing to move)
    Cancelled, // the progress callback asked to stop; change is empty
    Failed,    // error says why; change is empty
};

// Called with the work done so far and the whole work (table counts); answer
// false to cancel. Called from the thread that runs the arrangement.
using ArrangeProgress = std::function<bool(int done, int total)>;

struct ArrangeOptions {
    ArrangeScope scope = ArrangeScope::All;
    PageArea page; // printable page size, for the page counts
};

struct ArrangeResult {
    ArrangeStatus status = ArrangeStatus::Arranged;
    std::string error;
    DiagramMoves change;
};

// Gaps of an arrangement, in logical units: between tables of one layer and
// between separate groups, and between neighbouring layers, where the
// relation lines run (two stubs, a dot and room for the slanted middle piece).
inline constexpr int32_t kArrangeGap = 720;
inline constexpr int32_t kArrangeLayerGap = 1080;

// Measures every table with the diagram font, as drawing does; an
// arrangement works from the measured sizes.
void MeasureTables(CKorvoDoc& doc, const CMeasureSurface& surface);

// Whether any table of the diagram is selected.
bool AnyTableSelected(const CKorvoDoc& doc);

// Computes a new layout from the tables' last measured sizes, without
// changing the document (so it may run on a worker thread while the document
// stays untouched). Tables joined by relations are drawn in layers with
// Graphviz's dot, each connected group on its own, and the groups packed in
// rows; tables without relations stand in a grid beside them. No two tables
// end closer than kArrangeGap. A whole-diagram arrangement starts at the
// canvas's top-left margin; a selection stays where it was when that is free,
// otherwise it goes beside or below the other tables. The page counts grow
// to hold the result and never shrink. The same diagram always gives the same
// layout.
ArrangeResult ArrangeTables(const CKorvoDoc& doc, const ArrangeOptions& options,
                            const ArrangeProgress& progress = {});

#pragma once

#include "Geometry.h"

#include <cstdint>
#include <vector>

class CKorvoDoc;

// One move of several tables by the same offset, as a mouse drag or an arrow
// key makes it: the moved tables as runs of consecutive positions in the
// document's list, the offset added to m_x and m_y, and the few tables whose
// move stopped at the end of the coordinate range, with where they came from.
// Moving every table of a large diagram costs a few bytes of history.
struct TableShift {
    struct Run {
        int32_t first = 0;
        int32_t last = 0;
        friend bool operator==(const Run&, const Run&) = default;
    };
    struct Stop {
        int32_t table = 0;
        CPoint from;
    };

    std::vector<Run> runs;
    int64_t dx = 0;
    int64_t dy = 0;
    std::vector<Stop> stopped;

    bool Empty() const { return runs.empty() || (dx == 0 && dy == 0); }
};

// Moves every selected table by (dx, dy), each coordinate stopping at the end
// of the range, and returns the move made. Does not mark the document.
TableShift MoveSelectedTables(CKorvoDoc& doc, int64_t dx, int64_t dy);

// Makes the move again on the positions it started from, or takes it back.
// Both mark the document modified.
void ApplyShift(CKorvoDoc& doc, const TableShift& shift);
void RevertShift(CKorvoDoc& doc, const TableShift& shift);

// Folds next into shift when both moved the same tables and neither stopped
// at the end of the range; false, and shift unchanged, otherwise.
bool MergeShift(TableShift& shift, const TableShift& next);

#pragma once

#include "Geometry.h"

#include <cstdint>
#include <vector>

class CKorvoDoc;

// One table that an arrangement or a placement moves: its position in the
// document's table list and its top-left corner (m_x, m_y) before and after.
struct TableMove {
    int table = -1;
    CPoint from;
    CPoint to;
    friend bool operator==(const TableMove&, const TableMove&) = default;
};

// What an arrangement or a placement changes in a diagram: table positions
// and the canvas size in pages. Enough to do and undo the change as one step
// without copying the document.
struct DiagramMoves {
    std::vector<TableMove> moves;
    int32_t pagesXBefore = 0;
    int32_t pagesYBefore = 0;
    int32_t pagesXAfter = 0;
    int32_t pagesYAfter = 0;

    bool Empty() const
    {
        return moves.empty() && pagesXBefore == pagesXAfter && pagesYBefore == pagesYAfter;
    }
};

// Sets every moved table to its new position and the page counts to their
// new values; marks the document modified when anything changes. Moves whose
// table index is out of range are skipped.
void ApplyMoves(CKorvoDoc& doc, const DiagramMoves& change);
// The reverse: old positions and old page counts.
void RevertMoves(CKorvoDoc& doc, const DiagramMoves& change);

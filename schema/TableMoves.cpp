#include "TableMoves.h"

#include "CKorvoDoc.h"

namespace {

void SetPositions(CKorvoDoc& doc, const DiagramMoves& change, bool forward)
{
    if (change.Empty())
        return;
    for (const TableMove& move : change.moves) {
        KorvoTableView* table = doc.GetTable(move.table);
        if (!table)
            continue;
        const CPoint& to = forward ? move.to : move.from;
        table->m_x = to.x;
        table->m_y = to.y;
    }
    doc.m_nMaxPagesX = forward ? change.pagesXAfter : change.pagesXBefore;
    doc.m_nMaxPagesY = forward ? change.pagesYAfter : change.pagesYBefore;
    doc.SetModifiedFlag(true);
}

} // namespace

void ApplyMoves(CKorvoDoc& doc, const DiagramMoves& change)
{
    SetPositions(doc, change, true);
}

void RevertMoves(CKorvoDoc& doc, const DiagramMoves& change)
{
    SetPositions(doc, change, false);
}

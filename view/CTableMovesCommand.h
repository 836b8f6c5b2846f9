#pragma once

#include "CDiagramCommand.h"
#include "TableMoves.h"

// A change that only moves tables to new places and may set the page counts,
// as arranging the tables does: each moved table's position before and after.
// Push it once ApplyMoves has made the change.
class CTableMovesCommand : public CDiagramCommand {
public:
    CTableMovesCommand(CDocumentHost* host, const QString& text, DiagramMoves moves);

protected:
    void Undo(CKorvoDoc& doc) override;
    void Redo(CKorvoDoc& doc) override;
    bool ChangesSettings() const override;

private:
    DiagramMoves m_moves;
};

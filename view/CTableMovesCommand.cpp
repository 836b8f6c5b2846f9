#include "CTableMovesCommand.h"

CTableMovesCommand::CTableMovesCommand(CDocumentHost* host, const QString& text, DiagramMoves moves)
    : CDiagramCommand(host, text), m_moves(std::move(moves))
{
}

void CTableMovesCommand::Undo(CKorvoDoc& doc)
{
    RevertMoves(doc, m_moves);
}

void CTableMovesCommand::Redo(CKorvoDoc& doc)
{
    ApplyMoves(doc, m_moves);
}

bool CTableMovesCommand::ChangesSettings() const
{
    return m_moves.pagesXBefore != m_moves.pagesXAfter || m_moves.pagesYBefore != m_moves.pagesYAfter;
}

#include "CMoveTablesCommand.h"

namespace {
// QUndoStack offers a step for merging only to one of the same id.
constexpr int kArrowKeyMoveId = 1;
}

CMoveTablesCommand::CMoveTablesCommand(CDocumentHost* host, const QString& text, TableShift shift, Source source)
    : CDiagramCommand(host, text), m_shift(std::move(shift)), m_source(source)
{
}

int CMoveTablesCommand::id() const
{
    // Each drag is a step of its own.
    return m_source == Source::ArrowKeys ? kArrowKeyMoveId : -1;
}

bool CMoveTablesCommand::mergeWith(const QUndoCommand* other)
{
    const auto* next = dynamic_cast<const CMoveTablesCommand*>(other);
    if (!next || next->m_source != Source::ArrowKeys || !MergeShift(m_shift, next->m_shift))
        return false;
    // Keys that led back to where the tables were leave no step behind.
    setObsolete(m_shift.dx == 0 && m_shift.dy == 0);
    return true;
}

void CMoveTablesCommand::Undo(CKorvoDoc& doc)
{
    RevertShift(doc, m_shift);
}

void CMoveTablesCommand::Redo(CKorvoDoc& doc)
{
    ApplyShift(doc, m_shift);
}

#include "CDiagramChangeCommand.h"

CDiagramChangeCommand::CDiagramChangeCommand(CDocumentHost* host, const QString& text, CDiagramChange change)
    : CDiagramCommand(host, text), m_change(std::move(change))
{
}

void CDiagramChangeCommand::Undo(CKorvoDoc& doc)
{
    m_change.Undo(doc);
}

void CDiagramChangeCommand::Redo(CKorvoDoc& doc)
{
    m_change.Redo(doc);
}

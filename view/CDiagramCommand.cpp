#include "CDiagramCommand.h"

#include "CDocumentHost.h"

CDiagramCommand::CDiagramCommand(CDocumentHost* host, const QString& text) : QUndoCommand(text), m_pHost(host) {}

void CDiagramCommand::undo()
{
    Undo(*m_pHost->GetDocument());
    m_pHost->StepApplied(ChangesSettings());
}

void CDiagramCommand::redo()
{
    // The change was made before the step was pushed.
    if (!m_bPushed) {
        m_bPushed = true;
        return;
    }
    Redo(*m_pHost->GetDocument());
    m_pHost->StepApplied(ChangesSettings());
}

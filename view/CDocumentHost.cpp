#include "CDocumentHost.h"

#include "CDiagramChange.h"
#include "CDiagramChangeCommand.h"
#include "CDiagramSnapshot.h"

#include <QFileInfo>

CDocumentHost::CDocumentHost(std::unique_ptr<CKorvoDoc> doc, QObject* parent)
    : QObject(parent), m_pDoc(std::move(doc))
{
    connect(&m_undoStack, &QUndoStack::cleanChanged, this, [this](bool clean) { SetModifiedFlag(!clean); });
}

CDocumentHost::~CDocumentHost()
{
    // The stack clears itself when it goes and would announce that to the
    // host and the main window, which may be half destroyed by then.
    m_undoStack.blockSignals(true);
}

void CDocumentHost::SetPathName(const QString& path)
{
    m_strPath = path;
    SetTitle(QFileInfo(path).fileName());
}

void CDocumentHost::SetTitle(const QString& title)
{
    if (m_strTitle == title)
        return;
    m_strTitle = title;
    emit TitleChanged();
}

void CDocumentHost::SetModifiedFlag(bool modified)
{
    if (!modified)
        m_undoStack.setClean();
    // The flag may already have been set by a document operation (removals
    // mark it themselves), so always tell the frames.
    m_pDoc->SetModifiedFlag(modified);
    emit ModifiedChanged(modified);
}

void CDocumentHost::UpdateAllViews()
{
    emit DocumentChanged();
}

void CDocumentHost::PushStep(CDiagramCommand* step)
{
    m_undoStack.push(step);
}

bool CDocumentHost::RecordChange(const CDiagramSnapshot& before, const QString& text, const CMeasureSurface* surface)
{
    CDiagramChange change = CDiagramChange::Record(before, *m_pDoc, surface);
    if (change.Empty())
        return false;
    PushStep(new CDiagramChangeCommand(this, text, std::move(change)));
    return true;
}

void CDocumentHost::ForgetHistory()
{
    m_undoStack.clear();
    m_undoStack.resetClean();
}

void CDocumentHost::StepApplied(bool settingsChanged)
{
    emit HistoryApplied();
    if (settingsChanged)
        emit DiagramSettingsChanged();
    UpdateAllViews();
}

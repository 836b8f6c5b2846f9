#pragma once

#include "CKorvoDoc.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <memory>

class CDiagramCommand;
class CDiagramSnapshot;
class CMeasureSurface;

// Holds one open diagram for the windows that show it: the document itself,
// its undo stack, its file path and title, and the signals that keep every
// view of it and the frame's title current after an edit.
//
// Every change to the document is one step on the undo stack, pushed once the
// change is made (see CDiagramSnapshot for a change of any size, and the
// CDiagramCommand subclasses for moves and settings). The modified mark
// follows the stack's clean state: leaving the saved state by a new step,
// undo or redo sets it, coming back to it by undo or redo clears it.
class CDocumentHost : public QObject {
    Q_OBJECT
public:
    explicit CDocumentHost(std::unique_ptr<CKorvoDoc> doc, QObject* parent = nullptr);
    ~CDocumentHost() override;

    CKorvoDoc* GetDocument() const { return m_pDoc.get(); }
    QUndoStack* UndoStack() { return &m_undoStack; }

    QString PathName() const { return m_strPath; }
    void SetPathName(const QString& path);
    // "dgm1" for a new diagram, the file name for an opened one.
    QString Title() const { return m_strTitle; }
    void SetTitle(const QString& title);

    bool IsModified() const { return m_pDoc->IsModified(); }
    // Sets or clears the document's flag and tells the frames. Clearing it
    // (the document was saved) makes the present state the clean one.
    void SetModifiedFlag(bool modified = true);
    // Repaints every view of the document and refreshes command states.
    void UpdateAllViews();

    // Pushes a step whose change has already been made; takes ownership.
    void PushStep(CDiagramCommand* step);
    // Records what changed since before as one step named text; false, and
    // nothing pushed, when nothing changed. With a surface, the tables the
    // change added or altered are measured first (see CDiagramSnapshot).
    bool RecordChange(const CDiagramSnapshot& before, const QString& text, const CMeasureSurface* surface = nullptr);
    // Called by a step after undo or redo changed the document.
    void StepApplied(bool settingsChanged);
    // Drops the history when it may no longer lead back from the document as
    // it is: a command ran out of memory between changing the document and
    // pushing its step, or in the middle of undo or redo. The saved state can
    // then no longer be reached by undo, so the document counts as modified.
    void ForgetHistory();

signals:
    void ModifiedChanged(bool modified);
    void TitleChanged();
    void DocumentChanged();
    // The page counts or the diagram font changed: every view sizes its
    // canvas and builds its drawing font again.
    void DiagramSettingsChanged();
    // Undo or redo rebuilt part of the document: no view may go on with a
    // drag that holds pointers into it.
    void HistoryApplied();

private:
    std::unique_ptr<CKorvoDoc> m_pDoc;
    // After the document, so that it goes first: steps never touch the
    // document when they are deleted, but nothing should outlive it.
    QUndoStack m_undoStack;
    QString m_strPath;
    QString m_strTitle;
};

#pragma once

#include <QUndoCommand>

class CDocumentHost;
class CKorvoDoc;

// One step on a document's undo stack. A step is pushed once its change has
// been made, so the redo that QUndoStack runs on push does nothing; later
// undo and redo change the document and tell every view of it. A step finds
// what it changes by position, never by pointer: the diagram a step meets on
// undo or redo is the one it left, position for position, though not always
// object for object.
class CDiagramCommand : public QUndoCommand {
public:
    CDiagramCommand(CDocumentHost* host, const QString& text);

    void undo() final;
    void redo() final;

protected:
    virtual void Undo(CKorvoDoc& doc) = 0;
    virtual void Redo(CKorvoDoc& doc) = 0;
    // Undo and redo change the font or the page counts.
    virtual bool ChangesSettings() const { return false; }

private:
    CDocumentHost* m_pHost;
    bool m_bPushed = false;
};

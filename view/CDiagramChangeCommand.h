#pragma once

#include "CDiagramChange.h"
#include "CDiagramCommand.h"

// A step of any size recorded as a CDiagramChange: placing a table, drawing a
// relation, Delete, Cut, Paste, Import SQL, the property dialogs.
class CDiagramChangeCommand : public CDiagramCommand {
public:
    CDiagramChangeCommand(CDocumentHost* host, const QString& text, CDiagramChange change);

    const CDiagramChange& Change() const { return m_change; }

protected:
    void Undo(CKorvoDoc& doc) override;
    void Redo(CKorvoDoc& doc) override;
    bool ChangesSettings() const override { return m_change.ChangesSettings(); }

private:
    CDiagramChange m_change;
};

#pragma once

#include "CDiagramCommand.h"
#include "TableShift.h"

// Tables moved by the mouse or the arrow keys. Arrow-key moves of the same
// tables that follow one another merge into one step.
class CMoveTablesCommand : public CDiagramCommand {
public:
    enum class Source { Mouse, ArrowKeys };

    CMoveTablesCommand(CDocumentHost* host, const QString& text, TableShift shift, Source source);

    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;

    const TableShift& Shift() const { return m_shift; }

protected:
    void Undo(CKorvoDoc& doc) override;
    void Redo(CKorvoDoc& doc) override;

private:
    TableShift m_shift;
    Source m_source;
};

#pragma once

#include "LogFont.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class CKorvoDoc;
class CRelation;
class KorvoTableView;

// What a diagram looked like just before a change: kept only until the change
// has been recorded as a CDiagramChange, which stores no more than what the
// change touched.
//
// Any change to a diagram, however many tables and relations it adds, removes
// or alters, becomes one undoable step this way (Import SQL does it; dialect
// import, import from a live database and Arrange Tables are meant to):
//
//     CDiagramSnapshot before(*host->GetDocument());   // every table may change
//     ... change the document as the command always has ...
//     host->RecordChange(before, tr("Import SQL"), &surface);
//
// CDocumentHost::RecordChange (view/) compares the document with the snapshot
// and pushes the difference on the document's undo stack as a step that is
// already done; it returns false, and pushes nothing, when nothing changed.
// Undo and redo then give back either side exactly: every table at its
// position in the list, relations in their order, every field, so a save
// after undo is byte for byte the file before the change. The surface, when
// given, measures the tables that the change added or altered before they
// are recorded, as the next paint would, so that the recorded side is the one
// the window shows and saves. Without a window (the command line),
// CDiagramChange::Record(before, doc) gives the same record to keep or drop.
//
// A change that only moves tables and sets the page counts, as an
// arrangement does, is cheaper as a DiagramMoves (schema/TableMoves.h):
//
//     const ArrangeResult arranged = ArrangeTables(doc, options);
//     ApplyMoves(doc, arranged.change);
//     host->PushStep(new CTableMovesCommand(host, tr("Arrange Tables"), arranged.change));
//
// The snapshot writes each table it covers in its file record (about the size
// of the .erd file, for the life of the snapshot) and notes every table's and
// relation's identity and every relation's ends and column positions. When a
// command knows which tables it may alter or remove, it names their positions
// and the others are not written; tables outside that list must stay as they
// are in content (they may shift in the list as others come and go), while
// tables and relations may be added and relations changed freely.
class CDiagramSnapshot {
public:
    // Every table may change.
    explicit CDiagramSnapshot(const CKorvoDoc& doc);
    // Only the tables at these positions may be altered or removed.
    CDiagramSnapshot(const CKorvoDoc& doc, const std::vector<int>& tables);

    CDiagramSnapshot(const CDiagramSnapshot&) = delete;
    CDiagramSnapshot& operator=(const CDiagramSnapshot&) = delete;
    CDiagramSnapshot(CDiagramSnapshot&&) = default;
    CDiagramSnapshot& operator=(CDiagramSnapshot&&) = default;

private:
    friend class CDiagramChange;

    void Take(const CKorvoDoc& doc, const std::vector<char>& covered);

    struct Table {
        const KorvoTableView* table = nullptr;
        size_t offset = 0; // of its record in m_bytes, when covered
        size_t size = 0;
        bool covered = false;
        bool selected = false;
    };
    struct Relation {
        const KorvoTableView* source = nullptr;
        const KorvoTableView* dest = nullptr;
        size_t columns = 0; // in m_columns: source count and positions, then the destination's
        bool selected = false;
    };

    std::vector<Table> m_tables;
    std::unordered_map<const KorvoTableView*, int32_t> m_tableIndex;
    std::string m_bytes;
    std::vector<Relation> m_relations;
    std::unordered_map<const CRelation*, int32_t> m_relationIndex;
    std::vector<int32_t> m_columns;
    KorvoLogFont m_font;
    int32_t m_nPagesX = 0;
    int32_t m_nPagesY = 0;
};

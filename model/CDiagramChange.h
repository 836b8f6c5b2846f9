#pragma once

#include "LogFont.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CDiagramSnapshot;
class CKorvoDoc;
class CMeasureSurface;

// The difference a change made to a diagram, enough to take it back and make
// it again exactly: the tables it added, removed or altered, each with its
// position and its file record on the sides where it exists, the relations
// it added, removed or re-linked, each as positions (table, then column
// positions, as in the .erd relation record), the order of the tables and
// relations that stayed when the change reordered them, and the font and page
// counts when they changed. Tables and relations the change left alone are not
// stored. See CDiagramSnapshot for how a command records one.
//
// Undo and redo rebuild what they put back from the records: a removed table
// comes back as a new object at its old position, an altered one is rewritten
// in place, and every relation that points into a rewritten table is pointed
// again at the columns at its recorded positions. So nothing outside the
// document may keep a pointer to a table, column or relation across undo or
// redo; the undo steps themselves refer to entities by position only.
class CDiagramChange {
public:
    // The change the document shows against the snapshot taken before it.
    // With a surface, the tables the change added or altered are measured
    // first, as the next paint would measure them.
    static CDiagramChange Record(const CDiagramSnapshot& before, CKorvoDoc& doc,
                                 const CMeasureSurface* surface = nullptr);

    bool Empty() const;
    // The font or the page counts differ between the two sides.
    bool ChangesSettings() const { return m_bSettings; }

    // From the state after the change to the state before it, and back. Each
    // must be applied to the side it starts from.
    void Undo(CKorvoDoc& doc) const;
    void Redo(CKorvoDoc& doc) const;

    // What this record holds on the heap, for the history's memory figures.
    size_t MemoryBytes() const;

    // What the change did, for reports and tests.
    size_t TablesAdded() const { return m_addedTables.size(); }
    size_t TablesRemoved() const { return m_removedTables.size(); }
    size_t TablesAltered() const { return m_changedTables.size(); }
    size_t RelationsAdded() const { return m_addedRelations.size(); }
    size_t RelationsRemoved() const { return m_removedRelations.size(); }
    size_t RelationsAltered() const { return m_changedRelations.size(); }

private:
    // A table on one side only: its position there and its record.
    struct TableEntry {
        int32_t index = 0;
        size_t offset = 0;
        size_t size = 0;
        bool selected = false;
    };
    // A table on both sides whose record differs.
    struct TableEdit {
        int32_t before = 0;
        int32_t after = 0;
        size_t beforeOffset = 0;
        size_t beforeSize = 0;
        size_t afterOffset = 0;
        size_t afterSize = 0;
    };
    // A relation on one side only: its position there and, in m_ints, its
    // record with that side's table positions.
    struct RelationEntry {
        int32_t index = 0;
        size_t record = 0;
        bool selected = false;
    };
    // A relation on both sides whose ends or column positions differ.
    struct RelationEdit {
        int32_t before = 0;
        int32_t after = 0;
        size_t beforeRecord = 0;
        size_t afterRecord = 0;
    };

    void Restore(CKorvoDoc& doc, bool toBefore) const;

    std::vector<TableEntry> m_removedTables; // by position before
    std::vector<TableEntry> m_addedTables;   // by position after
    std::vector<TableEdit> m_changedTables;
    // Empty when the tables on both sides kept their order; otherwise, for
    // each of them in the order after, its rank in the order before.
    std::vector<int32_t> m_tableOrder;
    std::vector<RelationEntry> m_removedRelations;
    std::vector<RelationEntry> m_addedRelations;
    std::vector<RelationEdit> m_changedRelations;
    std::vector<int32_t> m_relationOrder;
    std::string m_bytes;
    std::vector<int32_t> m_ints;

    bool m_bSettings = false;
    KorvoLogFont m_fontBefore;
    KorvoLogFont m_fontAfter;
    int32_t m_nPagesXBefore = 0;
    int32_t m_nPagesYBefore = 0;
    int32_t m_nPagesXAfter = 0;
    int32_t m_nPagesYAfter = 0;
};

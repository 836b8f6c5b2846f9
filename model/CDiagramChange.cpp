#include "CDiagramChange.h"

#include "Archive.h"
#include "CDiagramSnapshot.h"
#include "CKorvoDoc.h"
#include "ColumnPositions.h"
#include "MeasureSurface.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace {

// For the entities on both sides, listed in the order after, their ranks in
// the order before; empty when both sides list them in the same order.
std::vector<int32_t> OrderOfCommon(const std::vector<int32_t>& beforeOfCommon, const std::vector<char>& seen)
{
    if (std::adjacent_find(beforeOfCommon.begin(), beforeOfCommon.end(), std::greater_equal<int32_t>())
        == beforeOfCommon.end())
        return {};
    std::vector<int32_t> rank(seen.size());
    int32_t next = 0;
    for (size_t b = 0; b < seen.size(); ++b) {
        rank[b] = next;
        if (seen[b])
            ++next;
    }
    std::vector<int32_t> order;
    order.reserve(beforeOfCommon.size());
    for (int32_t b : beforeOfCommon)
        order.push_back(rank[static_cast<size_t>(b)]);
    return order;
}

// Deletes the entries at the entries' (ascending) positions; the others keep
// their order. One pass, whatever the number removed.
template <class T, class Entry>
void RemovePositions(std::vector<std::unique_ptr<T>>& list, const std::vector<Entry>& entries)
{
    if (entries.empty())
        return;
    size_t kept = 0;
    size_t next = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        while (next < entries.size() && entries[next].index < static_cast<int32_t>(i))
            ++next;
        if (next < entries.size() && entries[next].index == static_cast<int32_t>(i))
            continue;
        if (kept != i)
            list[kept] = std::move(list[i]);
        ++kept;
    }
    list.resize(kept);
}

// Puts the entities both sides share into the other side's order.
template <class T>
void Reorder(std::vector<std::unique_ptr<T>>& list, const std::vector<int32_t>& order, bool toBefore)
{
    if (order.empty() || order.size() != list.size())
        return;
    std::vector<std::unique_ptr<T>> out(list.size());
    for (size_t i = 0; i < order.size(); ++i) {
        if (toBefore)
            out[static_cast<size_t>(order[i])] = std::move(list[i]);
        else
            out[i] = std::move(list[static_cast<size_t>(order[i])]);
    }
    list = std::move(out);
}

// Inserts one made entity at each entry's (ascending) position.
template <class T, class Entry, class Make>
void InsertPositions(std::vector<std::unique_ptr<T>>& list, const std::vector<Entry>& entries, Make make)
{
    if (entries.empty())
        return;
    std::vector<std::unique_ptr<T>> out;
    out.reserve(list.size() + entries.size());
    size_t next = 0;
    for (const Entry& entry : entries) {
        while (out.size() < static_cast<size_t>(entry.index) && next < list.size())
            out.push_back(std::move(list[next++]));
        if (auto made = make(entry))
            out.push_back(std::move(made));
    }
    while (next < list.size())
        out.push_back(std::move(list[next++]));
    list = std::move(out);
}

// Rewrites a table from its file record; its columns are made anew.
void ReadTable(KorvoTableView& table, std::string_view record)
{
    table.m_def.m_columns.clear();
    try {
        CArchiveReader ar(record.data(), record.size());
        table.Serialize(ar);
    } catch (const CArchiveError&) {
        // The record was written by this program a moment ago.
        assert(false);
    }
}

// Reads a column count and that many positions of table's columns.
bool ReadColumns(const KorvoTableView* table, const std::vector<int32_t>& ints, size_t& pos,
                 std::vector<CColumn*>& columns)
{
    const int32_t count = ints[pos++];
    columns.clear();
    bool resolved = table != nullptr && count > 0;
    for (int32_t i = 0; i < count; ++i) {
        CColumn* column = CKorvoDoc::GetColumn(table, ints[pos++]);
        if (column)
            columns.push_back(column);
        else
            resolved = false;
    }
    return resolved;
}

// Points a relation at the tables and columns its record names; false, and
// the relation untouched, when a position does not resolve.
bool PointRelation(CRelation& relation, const CKorvoDoc& doc, const std::vector<int32_t>& ints, size_t pos)
{
    KorvoTableView* source = doc.GetTable(ints[pos++]);
    std::vector<CColumn*> sourceColumns;
    if (!ReadColumns(source, ints, pos, sourceColumns))
        return false;
    KorvoTableView* dest = doc.GetTable(ints[pos++]);
    std::vector<CColumn*> destColumns;
    if (!ReadColumns(dest, ints, pos, destColumns))
        return false;
    relation.m_pSource = source;
    relation.m_pDest = dest;
    relation.m_sourceColumns = std::move(sourceColumns);
    relation.m_destColumns = std::move(destColumns);
    return true;
}

template <class T>
size_t HeapBytes(const std::vector<T>& list)
{
    return list.capacity() * sizeof(T);
}

} // namespace

CDiagramChange CDiagramChange::Record(const CDiagramSnapshot& before, CKorvoDoc& doc, const CMeasureSurface* surface)
{
    CDiagramChange change;
    const std::string_view saved(before.m_bytes);
    CArchiveWriter scratch;
    auto keep = [&change](std::string_view bytes) {
        const size_t offset = change.m_bytes.size();
        change.m_bytes.append(bytes);
        return offset;
    };
    auto write = [&scratch](const KorvoTableView& table) {
        scratch.Clear();
        table.Serialize(scratch);
        return std::string_view(scratch.Bytes());
    };

    // Tables: matched by identity; a table both sides have is compared by
    // its record when the snapshot covered it.
    std::vector<char> seen(before.m_tables.size(), 0);
    std::vector<int32_t> commonBefore;
    commonBefore.reserve(std::min(before.m_tables.size(), doc.m_tables.size()));
    for (size_t a = 0; a < doc.m_tables.size(); ++a) {
        KorvoTableView* table = doc.m_tables[a].get();
        const auto it = before.m_tableIndex.find(table);
        if (it == before.m_tableIndex.end() || seen[static_cast<size_t>(it->second)]) {
            if (surface)
                table->Measure(*surface);
            const std::string_view record = write(*table);
            change.m_addedTables.push_back({static_cast<int32_t>(a), keep(record), record.size(), table->m_bSelected});
            continue;
        }
        const int32_t b = it->second;
        seen[static_cast<size_t>(b)] = 1;
        commonBefore.push_back(b);
        const CDiagramSnapshot::Table& entry = before.m_tables[static_cast<size_t>(b)];
        if (!entry.covered)
            continue;
        const std::string_view old = saved.substr(entry.offset, entry.size);
        std::string_view now = write(*table);
        if (now == old)
            continue;
        if (surface) {
            table->Measure(*surface);
            now = write(*table);
        }
        TableEdit edit;
        edit.before = b;
        edit.after = static_cast<int32_t>(a);
        edit.beforeOffset = keep(old);
        edit.beforeSize = old.size();
        edit.afterOffset = keep(now);
        edit.afterSize = now.size();
        change.m_changedTables.push_back(edit);
    }
    for (size_t b = 0; b < before.m_tables.size(); ++b) {
        if (seen[b])
            continue;
        const CDiagramSnapshot::Table& entry = before.m_tables[b];
        // Only a table the snapshot covered may go: nothing else could bring it back.
        assert(entry.covered);
        change.m_removedTables.push_back(
            {static_cast<int32_t>(b), keep(saved.substr(entry.offset, entry.size)), entry.size, entry.selected});
    }
    change.m_tableOrder = OrderOfCommon(commonBefore, seen);

    // Relations: matched by identity, compared by their ends and column
    // positions; records name tables by their positions on that side.
    std::unordered_map<const KorvoTableView*, int32_t> afterIndex;
    auto indexAfter = [&](const KorvoTableView* table) {
        if (afterIndex.empty()) {
            afterIndex.reserve(doc.m_tables.size());
            for (size_t i = 0; i < doc.m_tables.size(); ++i)
                afterIndex.emplace(doc.m_tables[i].get(), static_cast<int32_t>(i));
        }
        const auto it = afterIndex.find(table);
        return it == afterIndex.end() ? -1 : it->second;
    };
    auto indexBefore = [&before](const KorvoTableView* table) {
        const auto it = before.m_tableIndex.find(table);
        return it == before.m_tableIndex.end() ? -1 : it->second;
    };
    CColumnPositions positions;
    std::vector<int32_t>& ints = change.m_ints;
    auto recordAfter = [&](const CRelation& relation) {
        const size_t at = ints.size();
        ints.push_back(indexAfter(relation.m_pSource));
        positions.Append(ints, relation.m_pSource, relation.m_sourceColumns);
        ints.push_back(indexAfter(relation.m_pDest));
        positions.Append(ints, relation.m_pDest, relation.m_destColumns);
        return at;
    };
    auto recordBefore = [&](int32_t b) {
        const CDiagramSnapshot::Relation& entry = before.m_relations[static_cast<size_t>(b)];
        const size_t at = ints.size();
        size_t pos = entry.columns;
        ints.push_back(indexBefore(entry.source));
        const size_t sourceEnd = pos + 1 + static_cast<size_t>(before.m_columns[pos]);
        ints.insert(ints.end(), before.m_columns.begin() + pos, before.m_columns.begin() + sourceEnd);
        pos = sourceEnd;
        ints.push_back(indexBefore(entry.dest));
        const size_t destEnd = pos + 1 + static_cast<size_t>(before.m_columns[pos]);
        ints.insert(ints.end(), before.m_columns.begin() + pos, before.m_columns.begin() + destEnd);
        return at;
    };

    std::vector<char> seenRelation(before.m_relations.size(), 0);
    std::vector<int32_t> commonRelations;
    std::vector<int32_t> current;
    for (size_t a = 0; a < doc.m_relations.size(); ++a) {
        const CRelation& relation = *doc.m_relations[a];
        const auto it = before.m_relationIndex.find(&relation);
        if (it == before.m_relationIndex.end() || seenRelation[static_cast<size_t>(it->second)]) {
            change.m_addedRelations.push_back({static_cast<int32_t>(a), recordAfter(relation), relation.m_bSelected});
            continue;
        }
        const int32_t b = it->second;
        seenRelation[static_cast<size_t>(b)] = 1;
        commonRelations.push_back(b);
        const CDiagramSnapshot::Relation& entry = before.m_relations[static_cast<size_t>(b)];
        current.clear();
        positions.Append(current, relation.m_pSource, relation.m_sourceColumns);
        positions.Append(current, relation.m_pDest, relation.m_destColumns);
        const bool same = entry.source == relation.m_pSource && entry.dest == relation.m_pDest
                       && entry.columns + current.size() <= before.m_columns.size()
                       && std::equal(current.begin(), current.end(), before.m_columns.begin() + entry.columns);
        if (!same)
            change.m_changedRelations.push_back({b, static_cast<int32_t>(a), recordBefore(b), recordAfter(relation)});
    }
    for (size_t b = 0; b < before.m_relations.size(); ++b)
        if (!seenRelation[b])
            change.m_removedRelations.push_back(
                {static_cast<int32_t>(b), recordBefore(static_cast<int32_t>(b)), before.m_relations[b].selected});
    change.m_relationOrder = OrderOfCommon(commonRelations, seenRelation);

    change.m_fontBefore = before.m_font;
    change.m_fontAfter = doc.m_logFont;
    change.m_nPagesXBefore = before.m_nPagesX;
    change.m_nPagesYBefore = before.m_nPagesY;
    change.m_nPagesXAfter = doc.m_nMaxPagesX;
    change.m_nPagesYAfter = doc.m_nMaxPagesY;
    change.m_bSettings = !(change.m_fontBefore == change.m_fontAfter) || change.m_nPagesXBefore != change.m_nPagesXAfter
                      || change.m_nPagesYBefore != change.m_nPagesYAfter;

    // The history keeps this for long: no slack.
    change.m_removedTables.shrink_to_fit();
    change.m_addedTables.shrink_to_fit();
    change.m_changedTables.shrink_to_fit();
    change.m_removedRelations.shrink_to_fit();
    change.m_addedRelations.shrink_to_fit();
    change.m_changedRelations.shrink_to_fit();
    change.m_bytes.shrink_to_fit();
    change.m_ints.shrink_to_fit();
    return change;
}

bool CDiagramChange::Empty() const
{
    return m_removedTables.empty() && m_addedTables.empty() && m_changedTables.empty() && m_tableOrder.empty()
        && m_removedRelations.empty() && m_addedRelations.empty() && m_changedRelations.empty()
        && m_relationOrder.empty() && !m_bSettings;
}

void CDiagramChange::Undo(CKorvoDoc& doc) const
{
    Restore(doc, true);
}

void CDiagramChange::Redo(CKorvoDoc& doc) const
{
    Restore(doc, false);
}

void CDiagramChange::Restore(CKorvoDoc& doc, bool toBefore) const
{
    const std::vector<TableEntry>& goingTables = toBefore ? m_addedTables : m_removedTables;
    const std::vector<TableEntry>& comingTables = toBefore ? m_removedTables : m_addedTables;
    const std::vector<RelationEntry>& goingRelations = toBefore ? m_addedRelations : m_removedRelations;
    const std::vector<RelationEntry>& comingRelations = toBefore ? m_removedRelations : m_addedRelations;
    const std::string_view bytes(m_bytes);

    // The altered tables and re-linked relations, found where they are now.
    std::vector<KorvoTableView*> rewritten;
    rewritten.reserve(m_changedTables.size());
    for (const TableEdit& edit : m_changedTables)
        rewritten.push_back(doc.GetTable(toBefore ? edit.after : edit.before));
    std::vector<CRelation*> relinked;
    relinked.reserve(m_changedRelations.size());
    for (const RelationEdit& edit : m_changedRelations)
        relinked.push_back(doc.GetRelation(toBefore ? edit.after : edit.before));

    // Relations that stay as they are but point into a rewritten table: their
    // column positions, taken while the old columns still exist.
    struct Repoint {
        CRelation* relation;
        size_t columns;
    };
    std::vector<Repoint> repoint;
    std::vector<int32_t> repointColumns;
    if (!rewritten.empty()) {
        const std::unordered_set<const KorvoTableView*> tables(rewritten.begin(), rewritten.end());
        std::vector<char> handled(doc.m_relations.size(), 0);
        for (const RelationEntry& entry : goingRelations)
            if (entry.index >= 0 && static_cast<size_t>(entry.index) < handled.size())
                handled[static_cast<size_t>(entry.index)] = 1;
        for (const RelationEdit& edit : m_changedRelations) {
            const int32_t index = toBefore ? edit.after : edit.before;
            if (index >= 0 && static_cast<size_t>(index) < handled.size())
                handled[static_cast<size_t>(index)] = 1;
        }
        CColumnPositions positions;
        for (size_t i = 0; i < doc.m_relations.size(); ++i) {
            CRelation* relation = doc.m_relations[i].get();
            if (handled[i] || (!tables.contains(relation->m_pSource) && !tables.contains(relation->m_pDest)))
                continue;
            repoint.push_back({relation, repointColumns.size()});
            positions.Append(repointColumns, relation->m_pSource, relation->m_sourceColumns);
            positions.Append(repointColumns, relation->m_pDest, relation->m_destColumns);
        }
    }

    // Relations first: they may point at the tables that go.
    RemovePositions(doc.m_relations, goingRelations);
    RemovePositions(doc.m_tables, goingTables);

    Reorder(doc.m_tables, m_tableOrder, toBefore);
    for (size_t i = 0; i < m_changedTables.size(); ++i) {
        const TableEdit& edit = m_changedTables[i];
        if (rewritten[i])
            ReadTable(*rewritten[i], toBefore ? bytes.substr(edit.beforeOffset, edit.beforeSize)
                                              : bytes.substr(edit.afterOffset, edit.afterSize));
    }
    InsertPositions(doc.m_tables, comingTables, [&](const TableEntry& entry) {
        auto table = std::make_unique<KorvoTableView>();
        ReadTable(*table, bytes.substr(entry.offset, entry.size));
        table->m_bSelected = entry.selected;
        return table;
    });

    Reorder(doc.m_relations, m_relationOrder, toBefore);
    InsertPositions(doc.m_relations, comingRelations, [&](const RelationEntry& entry) {
        auto relation = std::make_unique<CRelation>(nullptr, nullptr, nullptr, nullptr);
        if (!PointRelation(*relation, doc, m_ints, entry.record)) {
            assert(false);
            relation.reset();
        } else {
            relation->m_bSelected = entry.selected;
        }
        return relation;
    });

    // A relation whose record does not resolve would keep pointers to
    // columns that are gone; it goes instead. (A step only ever meets the
    // state it left, so this does not happen.)
    std::unordered_set<const CRelation*> broken;
    for (size_t i = 0; i < m_changedRelations.size(); ++i) {
        const RelationEdit& edit = m_changedRelations[i];
        if (relinked[i] && !PointRelation(*relinked[i], doc, m_ints, toBefore ? edit.beforeRecord : edit.afterRecord))
            broken.insert(relinked[i]);
    }
    for (const Repoint& entry : repoint) {
        size_t pos = entry.columns;
        CRelation& relation = *entry.relation;
        std::vector<CColumn*> sourceColumns;
        std::vector<CColumn*> destColumns;
        if (ReadColumns(relation.m_pSource, repointColumns, pos, sourceColumns)
            && ReadColumns(relation.m_pDest, repointColumns, pos, destColumns)) {
            relation.m_sourceColumns = std::move(sourceColumns);
            relation.m_destColumns = std::move(destColumns);
        } else {
            broken.insert(&relation);
        }
    }
    if (!broken.empty()) {
        assert(false);
        std::erase_if(doc.m_relations, [&broken](const std::unique_ptr<CRelation>& r) { return broken.contains(r.get()); });
    }

    if (m_bSettings) {
        doc.m_logFont = toBefore ? m_fontBefore : m_fontAfter;
        doc.m_nMaxPagesX = toBefore ? m_nPagesXBefore : m_nPagesXAfter;
        doc.m_nMaxPagesY = toBefore ? m_nPagesYBefore : m_nPagesYAfter;
    }
    doc.SetModifiedFlag(true);
}

size_t CDiagramChange::MemoryBytes() const
{
    return sizeof(*this) + HeapBytes(m_removedTables) + HeapBytes(m_addedTables) + HeapBytes(m_changedTables)
         + HeapBytes(m_tableOrder) + HeapBytes(m_removedRelations) + HeapBytes(m_addedRelations)
         + HeapBytes(m_changedRelations) + HeapBytes(m_relationOrder) + m_bytes.capacity() + HeapBytes(m_ints);
}

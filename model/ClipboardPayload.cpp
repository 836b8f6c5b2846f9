#include "ClipboardPayload.h"

#include "Archive.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

const char* const kInvalidPayload = "The clipboard data is not a valid Korvo diagram fragment.";

// Object tags of the archive's serialised-object form: a new class is
// introduced once, later objects of it refer back to its map index 1.
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kFirstClassReference = 0x8001;

// Smallest payload items, used to refuse counts that cannot fit.
constexpr size_t kMinTableObject = 2 + 4 + 1 + 4 * 4 + 1 + 1;
constexpr size_t kRelationRecord = 4 * 4;

struct RelationRecord {
    int32_t source;
    int32_t sourceColumn;
    int32_t dest;
    int32_t destColumn;
};

int32_t ReadCount(CArchiveReader& ar, size_t minItem)
{
    const int32_t count = ar.ReadInt32();
    if (count > 0 && static_cast<size_t>(count) > ar.Remaining() / minItem)
        throw CArchiveError("count larger than the payload");
    return count;
}

void ReadClassTag(CArchiveReader& ar, bool first)
{
    const uint16_t tag = ar.ReadUInt16();
    if (!first) {
        // Only a reference to the one class: a reference to an earlier object
        // would hand the same table to the document twice.
        if (tag != kFirstClassReference)
            throw CArchiveError("unexpected object tag");
        return;
    }
    if (tag != kNewClassTag || ar.ReadUInt16() != KorvoTableView::kSchema)
        throw CArchiveError("unexpected class introduction");
    const size_t nameLength = std::strlen(KorvoTableView::kClassName);
    if (ar.ReadUInt16() != nameLength)
        throw CArchiveError("unexpected class name");
    char name[16];
    ar.ReadBytes(name, nameLength);
    if (std::memcmp(name, KorvoTableView::kClassName, nameLength) != 0)
        throw CArchiveError("unexpected class name");
}

int32_t WrapMove(int32_t value, int64_t delta)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(value) + delta));
}

} // namespace

std::string BuildClipboardPayload(const CKorvoDoc& doc)
{
    CArchiveWriter ar;
    std::vector<const KorvoTableView*> copied;
    for (const auto& table : doc.m_tables)
        if (table->m_bSelected)
            copied.push_back(table.get());

    ar.WriteInt32(static_cast<int32_t>(copied.size()));
    std::unordered_map<const KorvoTableView*, int32_t> position;
    for (size_t i = 0; i < copied.size(); ++i) {
        if (i == 0) {
            const size_t nameLength = std::strlen(KorvoTableView::kClassName);
            ar.WriteUInt16(kNewClassTag);
            ar.WriteUInt16(KorvoTableView::kSchema);
            ar.WriteUInt16(static_cast<uint16_t>(nameLength));
            ar.WriteBytes(KorvoTableView::kClassName, nameLength);
        } else {
            ar.WriteUInt16(kFirstClassReference);
        }
        copied[i]->Serialize(ar);
        position.emplace(copied[i], static_cast<int32_t>(i));
    }

    // A relation travels only when both its ends do; one from a table to
    // itself never counts as having both and stays behind.
    std::vector<const CRelation*> relations;
    for (const auto& relation : doc.m_relations)
        if (relation->m_pSource != relation->m_pDest && position.contains(relation->m_pSource)
            && position.contains(relation->m_pDest))
            relations.push_back(relation.get());

    ar.WriteInt32(static_cast<int32_t>(relations.size()));
    for (const CRelation* relation : relations) {
        // Only the first column pair is carried.
        const CColumn* sourceColumn = relation->m_sourceColumns.empty() ? nullptr : relation->m_sourceColumns[0];
        const CColumn* destColumn = relation->m_destColumns.empty() ? nullptr : relation->m_destColumns[0];
        ar.WriteInt32(position.at(relation->m_pSource));
        ar.WriteInt32(CKorvoDoc::GetColumnIndex(relation->m_pSource, sourceColumn));
        ar.WriteInt32(position.at(relation->m_pDest));
        ar.WriteInt32(CKorvoDoc::GetColumnIndex(relation->m_pDest, destColumn));
    }
    return ar.Take();
}

namespace {

struct Payload {
    std::vector<std::unique_ptr<KorvoTableView>> tables;
    std::vector<RelationRecord> records;
};

// Reads the whole payload before the document is touched, so a bad one
// leaves the diagram exactly as it was.
bool ReadPayload(const void* data, size_t size, Payload& payload)
{
    try {
        CArchiveReader ar(data, size);
        const int32_t tableCount = ReadCount(ar, kMinTableObject);
        for (int32_t i = 0; i < tableCount; ++i) {
            ReadClassTag(ar, i == 0);
            auto table = std::make_unique<KorvoTableView>();
            table->Serialize(ar);
            payload.tables.push_back(std::move(table));
        }
        const int32_t relationCount = ReadCount(ar, kRelationRecord);
        for (int32_t i = 0; i < relationCount; ++i) {
            RelationRecord record{};
            record.source = ar.ReadInt32();
            record.sourceColumn = ar.ReadInt32();
            record.dest = ar.ReadInt32();
            record.destColumn = ar.ReadInt32();
            payload.records.push_back(record);
        }
    } catch (const CArchiveError&) {
        return false;
    }
    return true;
}

// Appends the pasted tables, selected, in payload order after clearing the
// selection of the document's tables, then the relations between them.
PasteOutcome AddPasted(CKorvoDoc& doc, Payload& payload)
{
    PasteOutcome outcome;
    for (const auto& table : doc.m_tables)
        table->m_bSelected = false;

    std::vector<KorvoTableView*> added;
    added.reserve(payload.tables.size());
    for (auto& table : payload.tables) {
        table->m_bSelected = true;
        added.push_back(doc.AddTable(std::move(table)));
        doc.SetModifiedFlag();
    }
    outcome.tablesAdded = static_cast<int>(added.size());

    // A record that names a table or column outside the pasted ones is left
    // out: a relation is never added with a missing end.
    for (const RelationRecord& record : payload.records) {
        KorvoTableView* source = CKorvoDoc::ElementAt(added, record.source);
        KorvoTableView* dest = CKorvoDoc::ElementAt(added, record.dest);
        CColumn* sourceColumn = CKorvoDoc::GetColumn(source, record.sourceColumn);
        CColumn* destColumn = CKorvoDoc::GetColumn(dest, record.destColumn);
        if (!sourceColumn || !destColumn) {
            ++outcome.relationsSkipped;
            continue;
        }
        doc.AddRelation(std::make_unique<CRelation>(source, sourceColumn, dest, destColumn));
        doc.SetModifiedFlag();
        ++outcome.relationsAdded;
    }
    return outcome;
}

PasteOutcome Refused()
{
    PasteOutcome outcome;
    outcome.ok = false;
    outcome.message = kInvalidPayload;
    return outcome;
}

int64_t FloorDiv(int64_t value, int64_t divisor)
{
    const int64_t quotient = value / divisor;
    return value % divisor < 0 ? quotient - 1 : quotient;
}

// The diagram's tables as a paste beside its originals meets them: the
// top-left corners, and the boxes filed under the grid cells they cover, so
// that whether a box lies wholly under another is answered from the few
// tables around it.
class CCoverIndex {
public:
    explicit CCoverIndex(const CKorvoDoc& doc)
    {
        for (const auto& table : doc.m_tables) {
            m_corners.insert(Key(table->m_x, table->m_y));
            const int64_t left = FloorDiv(table->m_x, kCell);
            const int64_t right = FloorDiv(int64_t(table->m_x) + table->m_cx, kCell);
            const int64_t bottom = FloorDiv(int64_t(table->m_y) - table->m_cy, kCell);
            const int64_t top = FloorDiv(table->m_y, kCell);
            if ((right - left + 1) * (top - bottom + 1) > kMaxCells) {
                m_large.push_back(table.get());
                continue;
            }
            for (int64_t cx = left; cx <= right; ++cx)
                for (int64_t cy = bottom; cy <= top; ++cy)
                    m_cells[Key(cx, cy)].push_back(table.get());
        }
    }

    // A table at (x, y) lands on a corner of another table or lies wholly
    // under one.
    bool Hides(const KorvoTableView& table, int32_t x, int32_t y) const
    {
        if (m_corners.contains(Key(x, y)))
            return true;
        auto covers = [&](const KorvoTableView* other) {
            return other->m_x <= x && int64_t(other->m_x) + other->m_cx >= int64_t(x) + table.m_cx
                && other->m_y >= y && int64_t(other->m_y) - other->m_cy <= int64_t(y) - table.m_cy;
        };
        const auto cell = m_cells.find(Key(FloorDiv(x, kCell), FloorDiv(y, kCell)));
        if (cell != m_cells.end() && std::any_of(cell->second.begin(), cell->second.end(), covers))
            return true;
        return std::any_of(m_large.begin(), m_large.end(), covers);
    }

private:
    static constexpr int64_t kCell = 2880;
    static constexpr int64_t kMaxCells = 64;

    static uint64_t Key(int64_t a, int64_t b)
    {
        return (static_cast<uint64_t>(static_cast<uint32_t>(a)) << 32) | static_cast<uint32_t>(b);
    }

    std::unordered_set<uint64_t> m_corners;
    std::unordered_map<uint64_t, std::vector<const KorvoTableView*>> m_cells;
    std::vector<const KorvoTableView*> m_large;
};

} // namespace

PasteOutcome PasteClipboardPayload(CKorvoDoc& doc, const void* data, size_t size, CPoint scrollLog)
{
    if (size == 0)
        return {};
    Payload payload;
    if (!ReadPayload(data, size, payload))
        return Refused();

    if (!payload.tables.empty()) {
        int32_t minX = payload.tables.front()->m_x;
        int32_t maxY = payload.tables.front()->m_y;
        for (const auto& table : payload.tables) {
            minX = std::min(minX, table->m_x);
            maxY = std::max(maxY, table->m_y);
        }
        // The group's leftmost and topmost edges land on the given point; the
        // tables keep their places relative to each other.
        const int64_t dx = static_cast<int64_t>(scrollLog.x) - minX;
        const int64_t dy = static_cast<int64_t>(scrollLog.y) - maxY;
        for (auto& table : payload.tables) {
            table->m_x = WrapMove(table->m_x, dx);
            table->m_y = WrapMove(table->m_y, dy);
        }
    }
    return AddPasted(doc, payload);
}

PasteOutcome PasteClipboardPayloadBeside(CKorvoDoc& doc, const void* data, size_t size, int32_t step)
{
    if (size == 0)
        return {};
    Payload payload;
    if (!ReadPayload(data, size, payload))
        return Refused();

    if (!payload.tables.empty()) {
        const CCoverIndex index(doc);
        int64_t offset = 0;
        for (int tries = 1; tries <= kPasteBesideTries; ++tries) {
            offset = int64_t(step) * tries;
            const bool hidden = std::any_of(payload.tables.begin(), payload.tables.end(), [&](const auto& table) {
                return index.Hides(*table, Saturate(int64_t(table->m_x) + offset),
                                   Saturate(int64_t(table->m_y) - offset));
            });
            if (!hidden)
                break;
        }
        for (auto& table : payload.tables) {
            table->m_x = Saturate(int64_t(table->m_x) + offset);
            table->m_y = Saturate(int64_t(table->m_y) - offset);
        }
    }
    return AddPasted(doc, payload);
}

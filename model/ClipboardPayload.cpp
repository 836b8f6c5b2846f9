#include "ClipboardPayload.h"

#include "Archive.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
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

PasteOutcome PasteClipboardPayload(CKorvoDoc& doc, const void* data, size_t size, CPoint scrollLog)
{
    PasteOutcome outcome;
    if (size == 0)
        return outcome;

    // The whole payload is read before the document is touched, so a bad
    // one leaves the diagram exactly as it was.
    std::vector<std::unique_ptr<KorvoTableView>> pasted;
    std::vector<RelationRecord> records;
    try {
        CArchiveReader ar(data, size);
        const int32_t tableCount = ReadCount(ar, kMinTableObject);
        for (int32_t i = 0; i < tableCount; ++i) {
            ReadClassTag(ar, i == 0);
            auto table = std::make_unique<KorvoTableView>();
            table->Serialize(ar);
            pasted.push_back(std::move(table));
        }
        const int32_t relationCount = ReadCount(ar, kRelationRecord);
        for (int32_t i = 0; i < relationCount; ++i) {
            RelationRecord record{};
            record.source = ar.ReadInt32();
            record.sourceColumn = ar.ReadInt32();
            record.dest = ar.ReadInt32();
            record.destColumn = ar.ReadInt32();
            records.push_back(record);
        }
    } catch (const CArchiveError&) {
        outcome.ok = false;
        outcome.message = kInvalidPayload;
        return outcome;
    }

    for (const auto& table : doc.m_tables)
        table->m_bSelected = false;

    if (!pasted.empty()) {
        int32_t minX = pasted.front()->m_x;
        int32_t maxY = pasted.front()->m_y;
        for (const auto& table : pasted) {
            minX = std::min(minX, table->m_x);
            maxY = std::max(maxY, table->m_y);
        }
        // The group's leftmost and topmost edges land on the visible area's
        // top-left corner; the tables keep their places relative to each other.
        const int64_t dx = static_cast<int64_t>(scrollLog.x) - minX;
        const int64_t dy = static_cast<int64_t>(scrollLog.y) - maxY;
        for (auto& table : pasted) {
            table->m_x = WrapMove(table->m_x, dx);
            table->m_y = WrapMove(table->m_y, dy);
        }
    }

    std::vector<KorvoTableView*> added;
    added.reserve(pasted.size());
    for (auto& table : pasted) {
        table->m_bSelected = true;
        added.push_back(doc.AddTable(std::move(table)));
        doc.SetModifiedFlag();
    }
    outcome.tablesAdded = static_cast<int>(added.size());

    // A record that names a table or column outside the pasted ones is left
    // out: a relation is never added with a missing end.
    for (const RelationRecord& record : records) {
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

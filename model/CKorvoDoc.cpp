#include "CKorvoDoc.h"

#include "Archive.h"
#include "DiagramFile.h"
#include "TextEncoding.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {

const char* const kUnknownTypeText = "File type not recognized.";
const char* const kUnknownTypeCaption = "Unknown file type";
const char* const kUnsupportedText = "File version not supported.";
const char* const kUnsupportedCaption = "Version not supported";
const char* const kVersion1Text =
    "This file is from an older version of Korvo. When you save it will be converted to the current version.";
const char* const kUnexpectedText = "Unexpected file format.";

const char* const kExportOpenError = "Export SQL Error: Unable to open output file.";
const char* const kExportWriteError = "Export SQL Error: Unable to write output file.";

// Smallest records with every string empty; a count that the remaining bytes
// cannot hold at this size is refused before anything is read or allocated.
constexpr size_t kMinTableRecordV2 = 4 + 1 + 4 * 4 + 1 + 1;
constexpr size_t kMinTableRecordV1 = 4 + 1 + 4 * 4;
constexpr size_t kMinRelationRecord = 4 * 4;

int32_t ReadCount(CArchiveReader& ar, size_t minRecord)
{
    const int32_t count = ar.ReadInt32();
    if (count > 0 && static_cast<size_t>(count) > ar.Remaining() / minRecord)
        throw CArchiveError("count larger than the data");
    return count;
}

// Reads one side of a version-2 relation record: a table position, a column
// count and the column positions. Leaves the table null when any position
// does not resolve or the side has no column.
struct RelationSide {
    KorvoTableView* table = nullptr;
    std::vector<CColumn*> columns;
};

RelationSide ReadRelationSide(CArchiveReader& ar, const std::vector<KorvoTableView*>& fileTables)
{
    RelationSide side;
    KorvoTableView* table = CKorvoDoc::ElementAt(fileTables, ar.ReadInt32());
    const int32_t count = ReadCount(ar, 4);
    bool resolved = table != nullptr && count > 0;
    for (int32_t i = 0; i < count; ++i) {
        CColumn* column = CKorvoDoc::GetColumn(table, ar.ReadInt32());
        if (!column)
            resolved = false;
        else if (resolved)
            side.columns.push_back(column);
    }
    if (resolved)
        side.table = table;
    return side;
}

void AppendNames(std::string& out, const std::vector<CColumn*>& columns)
{
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i)
            out += ", ";
        out += columns[i]->m_strName;
    }
}

} // namespace

CKorvoDoc::CKorvoDoc() = default;

CKorvoDoc::~CKorvoDoc()
{
    m_tables.clear();
    m_relations.clear();
}

KorvoTableView* CKorvoDoc::AddTable(std::unique_ptr<KorvoTableView> table)
{
    m_tables.push_back(std::move(table));
    return m_tables.back().get();
}

CRelation* CKorvoDoc::AddRelation(std::unique_ptr<CRelation> relation)
{
    m_relations.push_back(std::move(relation));
    return m_relations.back().get();
}

KorvoTableView* CKorvoDoc::GetTable(int index) const
{
    return index >= 0 && static_cast<size_t>(index) < m_tables.size() ? m_tables[index].get() : nullptr;
}

CRelation* CKorvoDoc::GetRelation(int index) const
{
    return index >= 0 && static_cast<size_t>(index) < m_relations.size() ? m_relations[index].get() : nullptr;
}

int CKorvoDoc::GetTableIndex(const KorvoTableView* table) const
{
    for (size_t i = 0; i < m_tables.size(); ++i)
        if (m_tables[i].get() == table)
            return static_cast<int>(i);
    return -1;
}

KorvoTableView* CKorvoDoc::FindTable(std::string_view name) const
{
    for (const auto& table : m_tables)
        if (table->m_def.m_strName == name)
            return table.get();
    return nullptr;
}

CColumn* CKorvoDoc::GetColumn(const KorvoTableView* table, int index)
{
    if (!table || index < 0 || static_cast<size_t>(index) >= table->m_def.m_columns.size())
        return nullptr;
    return table->m_def.m_columns[index].get();
}

int CKorvoDoc::GetColumnIndex(const KorvoTableView* table, const CColumn* column)
{
    return table ? table->IndexOfColumn(column) : -1;
}

void CKorvoDoc::RemoveRelation(CRelation* relation)
{
    for (size_t i = 0; i < m_relations.size(); ++i)
        if (m_relations[i].get() == relation) {
            RemoveRelation(static_cast<int>(i));
            return;
        }
}

void CKorvoDoc::RemoveRelation(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_relations.size())
        return;
    m_relations.erase(m_relations.begin() + index);
    SetModifiedFlag();
}

void CKorvoDoc::RemoveTableRelations(const KorvoTableView* table)
{
    const size_t removed = std::erase_if(m_relations, [table](const std::unique_ptr<CRelation>& r) {
        return r->m_pSource == table || r->m_pDest == table;
    });
    if (removed)
        SetModifiedFlag();
}

void CKorvoDoc::RemoveTable(KorvoTableView* table)
{
    RemoveTable(GetTableIndex(table));
}

void CKorvoDoc::RemoveTable(int index)
{
    KorvoTableView* table = GetTable(index);
    if (!table)
        return;
    // Relations go first so that none is left pointing at the deleted table.
    RemoveTableRelations(table);
    m_tables.erase(m_tables.begin() + index);
    SetModifiedFlag();
}

void CKorvoDoc::RemoveColumnRelations(const KorvoTableView* table, int columnIndex)
{
    const CColumn* column = GetColumn(table, columnIndex);
    if (!column)
        return;
    auto lists = [column](const std::vector<CColumn*>& columns) {
        return std::find(columns.begin(), columns.end(), column) != columns.end();
    };
    // A relation goes as a whole even when its other columns would remain.
    const size_t removed = std::erase_if(m_relations, [&](const std::unique_ptr<CRelation>& r) {
        return (r->m_pSource == table && lists(r->m_sourceColumns))
            || (r->m_pDest == table && lists(r->m_destColumns));
    });
    if (removed)
        SetModifiedFlag();
}

void CKorvoDoc::RemoveSelection()
{
    // Relations go first so that none is left pointing at a deleted table.
    const size_t relations = std::erase_if(m_relations, [](const std::unique_ptr<CRelation>& r) {
        return r->m_bSelected || r->m_pSource->m_bSelected || r->m_pDest->m_bSelected;
    });
    const size_t tables =
        std::erase_if(m_tables, [](const std::unique_ptr<KorvoTableView>& table) { return table->m_bSelected; });
    if (relations || tables)
        SetModifiedFlag();
}

void CKorvoDoc::Serialize(CArchiveWriter& ar) const
{
    ar.WriteInt32(kMagic);
    ar.WriteInt32(kVersion);

    ar.WriteInt32(static_cast<int32_t>(m_tables.size()));
    // Positions come from a map so that saving stays linear in the diagram.
    std::unordered_map<const KorvoTableView*, int32_t> position;
    position.reserve(m_tables.size());
    for (size_t i = 0; i < m_tables.size(); ++i) {
        position.emplace(m_tables[i].get(), static_cast<int32_t>(i));
        m_tables[i]->Serialize(ar);
    }
    auto positionOf = [&position](const KorvoTableView* table) {
        const auto it = position.find(table);
        return it == position.end() ? -1 : it->second;
    };

    ar.WriteInt32(static_cast<int32_t>(m_relations.size()));
    for (const auto& relation : m_relations) {
        ar.WriteInt32(positionOf(relation->m_pSource));
        ar.WriteInt32(static_cast<int32_t>(relation->m_sourceColumns.size()));
        for (const CColumn* column : relation->m_sourceColumns)
            ar.WriteInt32(GetColumnIndex(relation->m_pSource, column));
        ar.WriteInt32(positionOf(relation->m_pDest));
        ar.WriteInt32(static_cast<int32_t>(relation->m_destColumns.size()));
        for (const CColumn* column : relation->m_destColumns)
            ar.WriteInt32(GetColumnIndex(relation->m_pDest, column));
    }

    uint8_t font[KorvoLogFont::kSize];
    m_logFont.ToBytes(font);
    ar.WriteBytes(font, sizeof font);
    ar.WriteInt32(m_nMaxPagesX);
    ar.WriteInt32(m_nMaxPagesY);
}

LoadOutcome CKorvoDoc::Serialize(CArchiveReader& ar)
{
    const size_t tablesBefore = m_tables.size();
    const size_t relationsBefore = m_relations.size();
    const KorvoLogFont fontBefore = m_logFont;
    const int32_t pagesXBefore = m_nMaxPagesX;
    const int32_t pagesYBefore = m_nMaxPagesY;

    LoadOutcome outcome;
    try {
        const int32_t magic = ar.ReadInt32();
        const int32_t version = ar.ReadInt32();
        if (magic != kMagic) {
            outcome = {LoadStatus::UnknownType, kUnknownTypeText, kUnknownTypeCaption};
        } else if (version == 1) {
            outcome = {LoadStatus::Version1Notice, kVersion1Text, ""};
            ReadVersion1(ar);
        } else if (version == 2) {
            ReadVersion2(ar);
        } else {
            outcome = {LoadStatus::UnsupportedVersion, kUnsupportedText, kUnsupportedCaption};
        }
    } catch (const CArchiveError&) {
        // The open fails: take back whatever this read had added. A version-1
        // file has shown its notice by the time its body turns out short.
        m_relations.resize(relationsBefore);
        m_tables.resize(tablesBefore);
        m_logFont = fontBefore;
        m_nMaxPagesX = pagesXBefore;
        m_nMaxPagesY = pagesYBefore;
        const std::string notice = outcome.status == LoadStatus::Version1Notice ? outcome.text : std::string();
        outcome = {LoadStatus::Unexpected, kUnexpectedText, "", notice};
    }
    return outcome;
}

void CKorvoDoc::ReadVersion2(CArchiveReader& ar)
{
    std::vector<KorvoTableView*> fileTables;
    const int32_t tableCount = ReadCount(ar, kMinTableRecordV2);
    for (int32_t i = 0; i < tableCount; ++i) {
        auto table = std::make_unique<KorvoTableView>();
        table->Serialize(ar);
        fileTables.push_back(AddTable(std::move(table)));
    }

    // A relation whose table or column positions do not resolve, or that has
    // no column on a side, is skipped; the rest of the diagram still opens.
    const int32_t relationCount = ReadCount(ar, kMinRelationRecord);
    for (int32_t i = 0; i < relationCount; ++i) {
        RelationSide source = ReadRelationSide(ar, fileTables);
        RelationSide dest = ReadRelationSide(ar, fileTables);
        if (!source.table || !dest.table)
            continue;
        auto relation = std::make_unique<CRelation>(source.table, nullptr, dest.table, nullptr);
        relation->m_sourceColumns = std::move(source.columns);
        relation->m_destColumns = std::move(dest.columns);
        AddRelation(std::move(relation));
    }

    uint8_t font[KorvoLogFont::kSize];
    m_logFont.ToBytes(font);
    ar.ReadSome(font, sizeof font);
    m_logFont.FromBytes(font);
    // Page counts size the canvas and the page grid; a file cannot ask for
    // more than the Options command can set.
    m_nMaxPagesX = std::clamp(ar.ReadInt32(), 0, kMaxPages);
    m_nMaxPagesY = std::clamp(ar.ReadInt32(), 0, kMaxPages);
}

void CKorvoDoc::ReadVersion1(CArchiveReader& ar)
{
    std::vector<KorvoTableView*> fileTables;
    const int32_t tableCount = ReadCount(ar, kMinTableRecordV1);
    for (int32_t i = 0; i < tableCount; ++i) {
        auto table = std::make_unique<KorvoTableView>();
        table->ReadVersion1(ar);
        fileTables.push_back(AddTable(std::move(table)));
    }

    const int32_t relationCount = ReadCount(ar, kMinRelationRecord);
    for (int32_t i = 0; i < relationCount; ++i) {
        KorvoTableView* source = ElementAt(fileTables, ar.ReadInt32());
        CColumn* sourceColumn = GetColumn(source, ar.ReadInt32());
        KorvoTableView* dest = ElementAt(fileTables, ar.ReadInt32());
        CColumn* destColumn = GetColumn(dest, ar.ReadInt32());
        if (sourceColumn && destColumn)
            AddRelation(std::make_unique<CRelation>(source, sourceColumn, dest, destColumn));
    }

    // Version 1 ends with the font, read as far as the file goes; the bytes
    // that are missing keep the default font's values.
    uint8_t font[KorvoLogFont::kSize];
    m_logFont.ToBytes(font);
    ar.ReadSome(font, sizeof font);
    m_logFont.FromBytes(font);
}

std::string CKorvoDoc::SaveToBytes() const
{
    CArchiveWriter ar;
    Serialize(ar);
    return ar.Take();
}

LoadOutcome CKorvoDoc::LoadFromBytes(const void* data, size_t size)
{
    // An empty file opens as an empty diagram without a word.
    if (size == 0)
        return {};
    CArchiveReader ar(data, size);
    return Serialize(ar);
}

// The export walks each table's references before the table itself. The
// outgoing relations of every table are gathered once, in document order,
// so the walk and the FOREIGN KEY clauses cost O(tables + relations).
struct CKorvoDoc::SqlExportPlan {
    std::unordered_map<const KorvoTableView*, size_t> position;
    std::vector<std::vector<const CRelation*>> outgoing;
    std::vector<bool> onPath;
};

std::string CKorvoDoc::ExportSQLText()
{
    SqlExportPlan plan;
    plan.position.reserve(m_tables.size());
    for (size_t i = 0; i < m_tables.size(); ++i) {
        m_tables[i]->m_bExported = false;
        plan.position.emplace(m_tables[i].get(), i);
    }
    plan.outgoing.resize(m_tables.size());
    plan.onPath.resize(m_tables.size());
    for (const auto& relation : m_relations) {
        const auto it = plan.position.find(relation->m_pSource);
        if (it != plan.position.end())
            plan.outgoing[it->second].push_back(relation.get());
    }

    std::string out;
    for (const auto& table : m_tables)
        WriteTableSQL(out, table.get(), plan);
    // The script is UTF-8: model text is, and a stray byte that is not part
    // of a UTF-8 sequence is written as the Latin-1 character it stands for.
    if (!TextEncoding::IsUtf8(out))
        out = TextEncoding::ToUtf8(out);
    return out;
}

void CKorvoDoc::WriteTableSQL(std::string& out, KorvoTableView* table, SqlExportPlan& plan)
{
    if (table->m_bExported)
        return;
    // Depth first with an explicit stack: a long chain of references must not
    // exhaust the call stack. A table already on the path (a cycle, or a
    // relation from a table to itself) is not entered again.
    struct Frame {
        size_t table;
        size_t next;
    };
    std::vector<Frame> path{{plan.position.at(table), 0}};
    plan.onPath[path.back().table] = true;
    while (!path.empty()) {
        Frame& frame = path.back();
        const auto& outgoing = plan.outgoing[frame.table];
        if (frame.next < outgoing.size()) {
            const auto it = plan.position.find(outgoing[frame.next++]->m_pDest);
            if (it != plan.position.end() && !m_tables[it->second]->m_bExported && !plan.onPath[it->second]) {
                plan.onPath[it->second] = true;
                path.push_back({it->second, 0});
            }
            continue;
        }
        KorvoTableView& current = *m_tables[frame.table];
        current.m_bExported = true;
        plan.onPath[frame.table] = false;
        WriteStatement(out, current, outgoing);
        path.pop_back();
    }
}

void CKorvoDoc::WriteStatement(std::string& out, const KorvoTableView& table,
                               const std::vector<const CRelation*>& references)
{
    // The script is a text file written with DOS line ends.
    static constexpr const char* kLineEnd = "\r\n";
    const CTableDef& def = table.m_def;

    out += "CREATE TABLE ";
    out += def.m_strName;
    out += " (";
    out += kLineEnd;

    std::vector<CColumn*> primaryKey;
    for (size_t i = 0; i < def.m_columns.size(); ++i) {
        const CColumn& column = *def.m_columns[i];
        out += '\t';
        out += column.m_strName;
        out += ' ';
        out += column.m_strType;
        if (!column.m_strDefault.empty()) {
            out += " DEFAULT ";
            out += column.m_strDefault;
        }
        if (column.m_bUnique)
            out += " UNIQUE";
        if (column.m_bRequired)
            out += " NOT NULL";
        if (!column.m_strCheck.empty()) {
            out += " CHECK(";
            out += column.m_strCheck;
            out += ')';
        }
        if (i + 1 < def.m_columns.size()) {
            out += ", ";
            out += kLineEnd;
        }
        if (column.m_bPrimaryKey)
            primaryKey.push_back(def.m_columns[i].get());
    }

    if (!primaryKey.empty()) {
        out += ", ";
        out += kLineEnd;
        out += "\tPRIMARY KEY(";
        AppendNames(out, primaryKey);
        out += ')';
    }
    if (!def.m_strCheck.empty()) {
        out += ", ";
        out += kLineEnd;
        out += "\tCHECK(";
        out += def.m_strCheck;
        out += ')';
        out += kLineEnd;
    }
    for (const CRelation* relation : references) {
        out += ',';
        out += kLineEnd;
        out += "\tFOREIGN KEY(";
        AppendNames(out, relation->m_sourceColumns);
        out += ") REFERENCES ";
        out += relation->m_pDest->m_def.m_strName;
        out += " (";
        AppendNames(out, relation->m_destColumns);
        out += ')';
    }
    out += ");";
    out += kLineEnd;
    out += kLineEnd;
}

bool CKorvoDoc::ExportSQL(const char* path, char* errorText, int errorTextSize)
{
    const std::string text = ExportSQLText();
    const FileResult result = WriteFileAtomically(path ? path : "", text);
    if (result.ok)
        return true;
    // A failure to write is reported too: a full disk must not pass for success.
    const char* message = result.error == FileError::Open ? kExportOpenError : kExportWriteError;
    if (errorText && errorTextSize > 0) {
        const size_t n = std::min(std::strlen(message), static_cast<size_t>(errorTextSize) - 1);
        std::memcpy(errorText, message, n);
        errorText[n] = '\0';
    }
    return false;
}

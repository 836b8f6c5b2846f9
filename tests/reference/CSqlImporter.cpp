#include "CSqlImporter.h"

#include "CKorvoDoc.h"
#include "MeasureSurface.h"
#include "TextEncoding.h"
#include "ddlread.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <vector>

namespace {

// A record's text field, up to its terminating NUL (always within the field),
// as model text: UTF-8 stays, any other byte is read as Latin-1.
template <size_t N>
std::string Field(const char (&field)[N])
{
    return TextEncoding::ToUtf8(std::string_view(field, strnlen(field, N)));
}

std::vector<std::string_view> SplitBlanks(std::string_view text)
{
    std::vector<std::string_view> words;
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == ' ')
            ++pos;
        size_t end = pos;
        while (end < text.size() && text[end] != ' ')
            ++end;
        if (end > pos)
            words.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

} // namespace

CSqlImporter::CSqlImporter(CKorvoDoc& doc, const CMeasureSurface& surface, const CRect& rectCanvas)
    : m_doc(doc), m_surface(surface), m_rectCanvas(rectCanvas)
{
    for (const auto& table : m_doc.m_tables)
        m_byName.emplace(table->m_def.m_strName, table.get()); // keeps the first of a name
}

KorvoTableView* CSqlImporter::Find(std::string_view name) const
{
    auto it = m_byName.find(std::string(name));
    return it == m_byName.end() ? nullptr : it->second;
}

CColumn* CSqlImporter::FindColumn(const KorvoTableView* table, std::string_view name)
{
    auto [entry, created] = m_columnsByName.try_emplace(table);
    ColumnIndex& index = entry->second;
    if (created) {
        index.reserve(table->m_def.m_columns.size());
        for (const auto& column : table->m_def.m_columns)
            index.emplace(column->m_strName, column.get()); // keeps the first of a name
    }
    auto it = index.find(name);
    return it == index.end() ? nullptr : it->second;
}

CColumn* CSqlImporter::AppendColumn(KorvoTableView* table, std::unique_ptr<CColumn> column)
{
    CColumn* added = table->m_def.AddColumn(std::move(column));
    auto entry = m_columnsByName.find(table);
    if (entry != m_columnsByName.end())
        entry->second.emplace(added->m_strName, added);
    return added;
}

void CSqlImporter::ImportTables(const TableData* list)
{
    // First pass: tables, columns and table constraints.
    for (const TableData* record = list; record; record = record->next) {
        const std::string name = Field(record->name);
        KorvoTableView* table = Find(name);
        std::unique_ptr<KorvoTableView> created;
        if (table) {
            m_doc.RemoveTableRelations(table);
            RemoveMissingColumns(table, record->columns);
        } else {
            created = std::make_unique<KorvoTableView>();
            created->m_def.m_strName = name;
            table = created.get();
        }

        for (const ColumnData* col = record->columns; col; col = col->next) {
            const bool required = col->flags & 1;
            const bool primaryKey = col->flags & 2;
            const bool unique = col->flags & 4;
            if (CColumn* column = FindColumn(table, Field(col->name))) {
                column->m_strType = Field(col->type);
                column->m_bRequired = required;
                column->m_strDefault = Field(col->defaultValue);
                column->m_bPrimaryKey = primaryKey;
                column->m_bUnique = unique;
                column->m_strCheck = Field(col->check);
            } else {
                AppendColumn(table, std::make_unique<CColumn>(Field(col->name), Field(col->type), required,
                                                                 Field(col->defaultValue), primaryKey, unique,
                                                                 Field(col->check), std::string()));
            }
        }

        for (const ConstraintData* constraint = record->constraints; constraint; constraint = constraint->next)
            ApplyTableConstraint(table, constraint);

        if (created) {
            m_doc.AddTable(std::move(created));
            m_byName.emplace(name, table);
            table->Measure(m_surface);
        }
        m_doc.SetModifiedFlag(true);
    }

    // Second pass: column-level references, which may point forward.
    for (const TableData* record = list; record; record = record->next) {
        for (const ColumnData* col = record->columns; col; col = col->next) {
            if (col->refTable[0] == '\0')
                continue;
            KorvoTableView* source = Find(Field(record->name));
            CColumn* sourceColumn = source ? FindColumn(source, Field(col->name)) : nullptr;
            AddColumnReference(source, sourceColumn, Find(Field(col->refTable)), Field(col->refColumns));
        }
    }

    LayOut(list);
}

void CSqlImporter::RemoveMissingColumns(KorvoTableView* table, const ColumnData* columns)
{
    std::unordered_set<std::string> names;
    for (const ColumnData* col = columns; col; col = col->next)
        names.insert(Field(col->name));
    // The index of the table's columns would keep the ones about to go.
    m_columnsByName.erase(table);
    // One pass: the columns that stay close up in order.
    const size_t removed = std::erase_if(table->m_def.m_columns, [&names](const std::unique_ptr<CColumn>& column) {
        return names.count(column->m_strName) == 0;
    });
    if (removed > 0)
        m_doc.SetModifiedFlag(true);
}

void CSqlImporter::ApplyTableConstraint(KorvoTableView* table, const ConstraintData* constraint)
{
    switch (constraint->kind) {
    case 1: // UNIQUE
    case 2: { // PRIMARY KEY
        const std::string columns = Field(constraint->columns);
        for (std::string_view name : SplitBlanks(columns)) {
            if (CColumn* column = FindColumn(table, name)) {
                if (constraint->kind == 2)
                    column->m_bPrimaryKey = true;
                else
                    column->m_bUnique = true;
            }
        }
        break;
    }
    case 4: // CHECK
        table->m_def.m_strCheck = Field(constraint->check);
        break;
    case 3: { // FOREIGN KEY
        const std::string refTable = Field(constraint->refTable);
        const std::vector<std::string_view> refWords = SplitBlanks(refTable);
        KorvoTableView* dest = refWords.empty() ? nullptr : Find(refWords.front());
        if (!dest)
            return;
        std::vector<CColumn*> destColumns;
        std::vector<CColumn*> sourceColumns;
        const std::string refColumnText = Field(constraint->refColumns);
        const std::string columns = Field(constraint->columns);
        const std::vector<std::string_view> refColumns = SplitBlanks(refColumnText);
        for (std::string_view name : refColumns)
            if (CColumn* column = FindColumn(dest, name))
                destColumns.push_back(column);
        for (std::string_view name : SplitBlanks(columns)) {
            if (CColumn* column = FindColumn(table, name))
                sourceColumns.push_back(column);
            // Without a referenced list, keys pair up by name.
            if (refColumns.empty())
                if (CColumn* column = FindColumn(dest, name))
                    destColumns.push_back(column);
        }
        if (sourceColumns.empty() || destColumns.empty())
            return;
        auto relation = std::make_unique<CRelation>(table, sourceColumns.front(), dest, destColumns.front());
        relation->m_sourceColumns = std::move(sourceColumns);
        relation->m_destColumns = std::move(destColumns);
        m_doc.AddRelation(std::move(relation));
        m_doc.SetModifiedFlag(true);
        break;
    }
    default:
        break;
    }
}

void CSqlImporter::AddColumnReference(KorvoTableView* source, CColumn* sourceColumn, KorvoTableView* dest,
                                      std::string_view refColumns)
{
    if (!dest || !sourceColumn)
        return;
    std::vector<CColumn*> targets;
    if (!refColumns.empty()) {
        for (std::string_view name : SplitBlanks(refColumns))
            if (CColumn* column = FindColumn(dest, name))
                targets.push_back(column);
    } else if (CColumn* column = FindColumn(dest, sourceColumn->m_strName)) {
        targets.push_back(column);
    }
    for (CColumn* target : targets) {
        m_doc.AddRelation(std::make_unique<CRelation>(source, sourceColumn, dest, target));
        m_doc.SetModifiedFlag(true);
    }
}

void CSqlImporter::LayOut(const TableData* list)
{
    int count = 0;
    for (const TableData* record = list; record; record = record->next)
        ++count;
    const int perColumn = int(std::sqrt(double(count)));

    int64_t x = 360;
    int64_t y = -360;
    int64_t widest = 0;
    int inColumn = 0;
    for (const TableData* record = list; record; record = record->next) {
        KorvoTableView* table = Find(Field(record->name));
        if (!table)
            continue;
        widest = std::max<int64_t>(widest, table->m_cx);
        table->m_x = int32_t(x);
        table->m_y = int32_t(y);
        y = y - table->m_cy - 720;
        ++inColumn;

        if (!record->next)
            break;
        const KorvoTableView* next = Find(Field(record->next->name));
        if (!next)
            continue;
        if (inColumn > perColumn || y - next->m_cy - 720 < m_rectCanvas.bottom) {
            x = x + widest + 720;
            y = -360;
            inColumn = 0;
            widest = 0;
        }
        // Past the canvas's right edge placement wraps to the top-left corner.
        if (x + next->m_cx + 720 > m_rectCanvas.right) {
            x = 360;
            y = -360;
            inColumn = 0;
            widest = 0;
        }
    }
}

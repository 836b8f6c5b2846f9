#include "CSchemaMerge.h"

#include "CKorvoDoc.h"
#include "MeasureSurface.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_set>

namespace {

std::string JoinNames(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& name : names) {
        if (!out.empty())
            out += ", ";
        out += name;
    }
    return out;
}

} // namespace

CSchemaMerge::CSchemaMerge(CKorvoDoc& doc, const CMeasureSurface& surface, const CRect& rectCanvas)
    : m_doc(doc), m_surface(surface), m_rectCanvas(rectCanvas)
{
    for (const auto& table : m_doc.m_tables)
        m_byName.emplace(table->m_def.m_strName, table.get()); // keeps the first of a name, as FindTable does
}

CSchemaMerge::CSchemaMerge(CKorvoDoc& doc, const CMeasureSurface& surface) : CSchemaMerge(doc, surface, CRect{})
{
    m_layOut = false;
}

KorvoTableView* CSchemaMerge::Find(std::string_view name) const
{
    auto it = m_byName.find(std::string(name));
    return it == m_byName.end() ? nullptr : it->second;
}

CSchemaMerge::ColumnIndex& CSchemaMerge::IndexOf(KorvoTableView* table)
{
    auto [it, inserted] = m_columns.try_emplace(table);
    if (inserted)
        for (const auto& column : table->m_def.m_columns)
            it->second.emplace(column->m_strName, column.get());
    return it->second;
}

CColumn* CSchemaMerge::FirstColumnNamed(KorvoTableView* table, std::string_view name)
{
    if (!table)
        return nullptr;
    const ColumnIndex& index = IndexOf(table);
    auto it = index.find(name);
    return it == index.end() ? nullptr : it->second;
}

void CSchemaMerge::NotShown(std::string text)
{
    m_result.notShown.push_back(std::move(text));
}

MergeResult CSchemaMerge::Merge(const SchemaDescription& description)
{
    m_rules = description.rules;
    m_result = MergeResult();

    // Diagram names: a name held by two schemas of the script keeps its
    // qualifier so the two tables stay apart.
    m_diagramNames.clear();
    m_qualifiedToDiagram.clear();
    std::unordered_map<std::string, std::string> schemaOfName;
    std::unordered_set<std::string> clashing;
    if (m_rules == MergeRules::Dialect) {
        for (const SchemaTable& table : description.tables) {
            auto [it, inserted] = schemaOfName.emplace(table.name, table.schema);
            if (!inserted && it->second != table.schema)
                clashing.insert(table.name);
        }
    }
    for (const SchemaTable& table : description.tables) {
        std::string name = clashing.count(table.name) ? table.QualifiedName() : table.name;
        m_qualifiedToDiagram.emplace(table.schema + '.' + table.name, name);
        m_diagramNames.push_back(std::move(name));
    }

    // Tables created by this merge, by their position in the document.
    std::unordered_map<const KorvoTableView*, int> createdAt;

    // First pass: tables, columns, keys and checks.
    for (size_t i = 0; i < description.tables.size(); ++i) {
        const SchemaTable& source = description.tables[i];
        const std::string& name = m_diagramNames[i];
        KorvoTableView* table = Find(name);
        std::unique_ptr<KorvoTableView> created;
        if (table) {
            m_doc.RemoveTableRelations(table);
            RemoveMissingColumns(table, source.columns);
            ++m_result.tablesUpdated;
            if (auto it = createdAt.find(table); it != createdAt.end())
                m_result.newTables.push_back(it->second);
        } else {
            created = std::make_unique<KorvoTableView>();
            created->m_def.m_strName = name;
            table = created.get();
            ++m_result.tablesCreated;
        }
        if (!source.comment.empty())
            table->m_def.m_strDescription = source.comment;

        MergeColumns(table, source);
        ApplyKeysAndChecks(table, source);
        // Korvo's language resolves table-level foreign keys here, before the
        // table itself joins the diagram's names.
        if (m_rules == MergeRules::KorvoLanguage)
            for (const SchemaForeignKey& key : source.foreignKeys)
                if (!key.columnLevel)
                    AddKorvoForeignKey(table, key);

        if (created) {
            m_doc.AddTable(std::move(created));
            m_byName.emplace(name, table);
            table->Measure(m_surface);
            const int position = int(m_doc.m_tables.size()) - 1;
            createdAt.emplace(table, position);
            m_result.newTables.push_back(position);
        }
        m_doc.SetModifiedFlag(true);
    }

    // Second pass: references that may point forward in the script.
    for (size_t i = 0; i < description.tables.size(); ++i) {
        const SchemaTable& source = description.tables[i];
        for (const SchemaForeignKey& key : source.foreignKeys) {
            if (m_rules == MergeRules::KorvoLanguage) {
                if (key.columnLevel)
                    AddKorvoColumnReference(source, key);
            } else {
                AddForeignKey(Find(m_diagramNames[i]), source, key);
            }
        }
    }

    if (m_layOut)
        LayOut(m_diagramNames);
    return std::move(m_result);
}

void CSchemaMerge::RemoveMissingColumns(KorvoTableView* table, const std::vector<SchemaColumn>& columns)
{
    std::unordered_set<std::string_view> names;
    names.reserve(columns.size());
    for (const SchemaColumn& column : columns)
        names.insert(column.name);
    const size_t removed = std::erase_if(table->m_def.m_columns, [&names](const std::unique_ptr<CColumn>& column) {
        return names.count(column->m_strName) == 0;
    });
    if (removed) {
        m_columns.erase(table);
        m_doc.SetModifiedFlag(true);
    }
}

void CSchemaMerge::MergeColumns(KorvoTableView* table, const SchemaTable& source)
{
    ColumnIndex& index = IndexOf(table);
    for (const SchemaColumn& col : source.columns) {
        auto it = index.find(col.name);
        if (it != index.end()) {
            CColumn* column = it->second;
            column->m_strType = col.type;
            column->m_bRequired = col.notNull;
            column->m_strDefault = col.defaultValue;
            column->m_bPrimaryKey = col.primaryKey;
            column->m_bUnique = col.unique;
            column->m_strCheck = col.check;
            if (!col.comment.empty())
                column->m_strDescription = col.comment;
        } else {
            CColumn* column = table->m_def.AddColumn(std::make_unique<CColumn>(
                col.name, col.type, col.notNull, col.defaultValue, col.primaryKey, col.unique, col.check,
                col.comment));
            index.emplace(column->m_strName, column);
        }
    }
}

void CSchemaMerge::ApplyKeysAndChecks(KorvoTableView* table, const SchemaTable& source)
{
    for (const std::string& name : source.primaryKey)
        if (CColumn* column = FirstColumnNamed(table, name))
            column->m_bPrimaryKey = true;
    for (const std::vector<std::string>& key : source.uniqueKeys) {
        if (m_rules == MergeRules::Dialect && key.size() > 1) {
            // Marking each column would say each is unique on its own.
            NotShown("UNIQUE (" + JoinNames(key) + ") of " + table->m_def.m_strName);
            continue;
        }
        for (const std::string& name : key)
            if (CColumn* column = FirstColumnNamed(table, name))
                column->m_bUnique = true;
    }
    if (!source.checks.empty())
        table->m_def.m_strCheck = source.checks.back(); // a later CHECK replaces an earlier one
}

void CSchemaMerge::AddKorvoForeignKey(KorvoTableView* table, const SchemaForeignKey& key)
{
    KorvoTableView* dest = Find(key.refTable);
    if (!dest)
        return;
    std::vector<CColumn*> destColumns;
    std::vector<CColumn*> sourceColumns;
    for (const std::string& name : key.refColumns)
        if (CColumn* column = FirstColumnNamed(dest, name))
            destColumns.push_back(column);
    for (const std::string& name : key.columns) {
        if (CColumn* column = FirstColumnNamed(table, name))
            sourceColumns.push_back(column);
        // Without a referenced list, keys pair up by name.
        if (key.refColumns.empty())
            if (CColumn* column = FirstColumnNamed(dest, name))
                destColumns.push_back(column);
    }
    if (sourceColumns.empty() || destColumns.empty())
        return;
    AddRelation(table, std::move(sourceColumns), dest, std::move(destColumns));
}

void CSchemaMerge::AddKorvoColumnReference(const SchemaTable& source, const SchemaForeignKey& key)
{
    KorvoTableView* table = Find(source.name);
    CColumn* sourceColumn = key.columns.empty() ? nullptr : FirstColumnNamed(table, key.columns.front());
    KorvoTableView* dest = Find(key.refTable);
    if (!dest || !sourceColumn)
        return;
    std::vector<CColumn*> targets;
    if (!key.refColumns.empty()) {
        for (const std::string& name : key.refColumns)
            if (CColumn* column = FirstColumnNamed(dest, name))
                targets.push_back(column);
    } else if (CColumn* column = FirstColumnNamed(dest, sourceColumn->m_strName)) {
        targets.push_back(column);
    }
    for (CColumn* target : targets) {
        m_doc.AddRelation(std::make_unique<CRelation>(table, sourceColumn, dest, target));
        m_doc.SetModifiedFlag(true);
        ++m_result.relationsAdded;
    }
}

void CSchemaMerge::AddRelation(KorvoTableView* source, std::vector<CColumn*> sourceColumns, KorvoTableView* dest,
                               std::vector<CColumn*> destColumns)
{
    auto relation = std::make_unique<CRelation>(source, sourceColumns.front(), dest, destColumns.front());
    relation->m_sourceColumns = std::move(sourceColumns);
    relation->m_destColumns = std::move(destColumns);
    m_doc.AddRelation(std::move(relation));
    m_doc.SetModifiedFlag(true);
    ++m_result.relationsAdded;
}

void CSchemaMerge::AddForeignKey(KorvoTableView* table, const SchemaTable& source, const SchemaForeignKey& key)
{
    // The referenced table by its qualifier, else in the source's schema,
    // else by its name alone.
    std::string destName = key.refTable;
    auto it = m_qualifiedToDiagram.find(key.refSchema + '.' + key.refTable);
    if (it == m_qualifiedToDiagram.end() && key.refSchema.empty())
        it = m_qualifiedToDiagram.find(source.schema + '.' + key.refTable);
    if (it != m_qualifiedToDiagram.end())
        destName = it->second;
    KorvoTableView* dest = Find(destName);
    const std::string what = "FOREIGN KEY (" + JoinNames(key.columns) + ") of " +
                             (table ? table->m_def.m_strName : source.name);
    if (!table || !dest) {
        NotShown(what + ": " + (key.refSchema.empty() ? key.refTable : key.refSchema + "." + key.refTable) +
                 " is not in the diagram");
        return;
    }
    const std::vector<std::string>& destNames = key.refColumns.empty() ? key.columns : key.refColumns;
    std::vector<CColumn*> sourceColumns;
    std::vector<CColumn*> destColumns;
    for (const std::string& name : key.columns)
        if (CColumn* column = FirstColumnNamed(table, name))
            sourceColumns.push_back(column);
    for (const std::string& name : destNames)
        if (CColumn* column = FirstColumnNamed(dest, name))
            destColumns.push_back(column);
    if (sourceColumns.empty() || sourceColumns.size() != key.columns.size() ||
        destColumns.size() != destNames.size() || sourceColumns.size() != destColumns.size()) {
        NotShown(what + " to " + dest->m_def.m_strName + " (" + JoinNames(destNames) +
                 "): a column is missing");
        return;
    }
    AddRelation(table, std::move(sourceColumns), dest, std::move(destColumns));
}

void CSchemaMerge::LayOut(const std::vector<std::string>& names)
{
    const int perColumn = int(std::sqrt(double(names.size())));

    int64_t x = 360;
    int64_t y = -360;
    int64_t widest = 0;
    int inColumn = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        KorvoTableView* table = Find(names[i]);
        if (!table)
            continue;
        widest = std::max<int64_t>(widest, table->m_cx);
        table->m_x = int32_t(x);
        table->m_y = int32_t(y);
        y = y - table->m_cy - 720;
        ++inColumn;

        if (i + 1 == names.size())
            break;
        const KorvoTableView* next = Find(names[i + 1]);
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

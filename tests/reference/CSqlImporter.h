#pragma once

#include "Geometry.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

class CColumn;
class CKorvoDoc;
class CMeasureSurface;
class KorvoTableView;
struct ColumnData;
struct ConstraintData;
struct TableData;

// Merges the table records of an SQL script into a document: tables found by
// name are brought up to date in place, others are created; keys, unique
// marks and checks become column flags and table checks, foreign keys become
// relations; then every imported table is laid out in columns from the
// canvas's top-left corner. Needs no window: the document, a measuring
// surface with the diagram font and the canvas rectangle are enough.
class CSqlImporter {
public:
    CSqlImporter(CKorvoDoc& doc, const CMeasureSurface& surface, const CRect& rectCanvas);

    void ImportTables(const TableData* list);
    void RemoveMissingColumns(KorvoTableView* table, const ColumnData* columns);
    void ApplyTableConstraint(KorvoTableView* table, const ConstraintData* constraint);
    void AddColumnReference(KorvoTableView* source, CColumn* sourceColumn, KorvoTableView* dest,
                            std::string_view refColumns);

private:
    // The first table of the document with exactly this name, as FindTable
    // answers, from an index so that large scripts merge in linear time.
    KorvoTableView* Find(std::string_view name) const;
    // The table's first column with exactly this name, from an index of the
    // table's columns built at its first lookup and kept up to date as
    // columns are appended, so that a table of many columns merges in
    // linear time.
    CColumn* FindColumn(const KorvoTableView* table, std::string_view name);
    CColumn* AppendColumn(KorvoTableView* table, std::unique_ptr<CColumn> column);
    void LayOut(const TableData* list);

    using ColumnIndex = std::unordered_map<std::string_view, CColumn*>;

    CKorvoDoc& m_doc;
    const CMeasureSurface& m_surface;
    CRect m_rectCanvas;
    std::unordered_map<std::string, KorvoTableView*> m_byName;
    // Keys view the columns' own names, which the import never changes.
    std::unordered_map<const KorvoTableView*, ColumnIndex> m_columnsByName;
};

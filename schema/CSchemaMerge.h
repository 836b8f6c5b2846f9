#pragma once

#include "Geometry.h"
#include "SchemaDescription.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CColumn;
class CKorvoDoc;
class CMeasureSurface;
class KorvoTableView;

// What one merge did to the diagram.
struct MergeResult {
    int tablesCreated = 0;
    int tablesUpdated = 0;
    int relationsAdded = 0;
    std::vector<std::string> notShown; // parts of the schema the diagram cannot show
    // The tables the merge created, as positions in the document's table
    // list, in the description's order; a table the description lists again
    // (a name given twice) is listed again. What placement arranges.
    std::vector<int> newTables;
};

// Merges a schema description into a document: tables found by name are
// brought up to date in place, others are created; keys, unique marks and
// checks become column flags and table checks, foreign keys become
// relations. Given a canvas rectangle, it then lays every table of the
// description out in columns from the canvas's top-left corner, as Import
// SQL always did; without one it leaves every position alone (new tables at
// 0, 0) for PlaceImportedTables to place the new ones (see DiagramImport.h).
// Needs no window: the document and a measuring surface with the diagram font.
//
// Under MergeRules::KorvoLanguage the merge keeps the rules Import SQL always
// had: a table-level FOREIGN KEY sees only tables already in the diagram or
// earlier in the script, a column REFERENCES t (x, y) gives one relation per
// listed column, every UNIQUE list marks each of its columns. Under
// MergeRules::Dialect foreign keys resolve after all tables exist, one
// relation per key with both column lists, and a UNIQUE over several columns
// is reported as not shown instead of marking each column.
class CSchemaMerge {
public:
    CSchemaMerge(CKorvoDoc& doc, const CMeasureSurface& surface, const CRect& rectCanvas);
    CSchemaMerge(CKorvoDoc& doc, const CMeasureSurface& surface);

    MergeResult Merge(const SchemaDescription& description);

private:
    // The first column of a table with a name, kept in step with the table.
    using ColumnIndex = std::unordered_map<std::string_view, CColumn*>;

    KorvoTableView* Find(std::string_view name) const;
    ColumnIndex& IndexOf(KorvoTableView* table);
    CColumn* FirstColumnNamed(KorvoTableView* table, std::string_view name);
    void RemoveMissingColumns(KorvoTableView* table, const std::vector<SchemaColumn>& columns);
    void MergeColumns(KorvoTableView* table, const SchemaTable& source);
    void ApplyKeysAndChecks(KorvoTableView* table, const SchemaTable& source);
    // A relation between the two lists, neither empty, counted as added.
    void AddRelation(KorvoTableView* source, std::vector<CColumn*> sourceColumns, KorvoTableView* dest,
                     std::vector<CColumn*> destColumns);
    void AddForeignKey(KorvoTableView* table, const SchemaTable& source, const SchemaForeignKey& key);
    void AddKorvoForeignKey(KorvoTableView* table, const SchemaForeignKey& key);
    void AddKorvoColumnReference(const SchemaTable& source, const SchemaForeignKey& key);
    void LayOut(const std::vector<std::string>& names);
    void NotShown(std::string text);

    CKorvoDoc& m_doc;
    const CMeasureSurface& m_surface;
    CRect m_rectCanvas;
    bool m_layOut = true;
    MergeRules m_rules = MergeRules::KorvoLanguage;
    std::unordered_map<std::string, KorvoTableView*> m_byName;
    std::unordered_map<const KorvoTableView*, ColumnIndex> m_columns;
    // Diagram name of each described table: its name, or schema.name where
    // two schemas of the description hold the same name.
    std::vector<std::string> m_diagramNames;
    std::unordered_map<std::string, std::string> m_qualifiedToDiagram;
    MergeResult m_result;
};

#include "DiagramImport.h"

#include "CKorvoDoc.h"

#include <utility>

PlacedMerge MergeIntoDiagram(CKorvoDoc& doc, const CMeasureSurface& surface, PageArea page,
                             const SchemaDescription& description)
{
    PlacedMerge placed;
    placed.merge = CSchemaMerge(doc, surface).Merge(description);
    // Every table is measured again: a table the import changed or defined
    // twice may have grown, and the new tables must keep clear of it.
    placed.placement = PlaceImportedTables(doc, placed.merge.newTables, page, &surface);
    ApplyMoves(doc, placed.placement);
    return placed;
}

ScriptIntoDiagram ImportScriptIntoDiagram(CKorvoDoc& doc, const CMeasureSurface& surface, PageArea page,
                                          const std::string& path, const ImportOptions& options)
{
    ScriptIntoDiagram result;
    result.script = ImportSchemaScript(path, options);
    if (!result.script.ok)
        return result;
    result.result = MergeIntoDiagram(doc, surface, page, result.script.description);
    result.script.description = SchemaDescription();
    return result;
}

DatabaseIntoDiagram ImportDatabaseIntoDiagram(CKorvoDoc& doc, const CMeasureSurface& surface, PageArea page,
                                              const DatabaseSource& source, const std::vector<std::string>& schemas,
                                              const ProgressCallback& progress)
{
    DatabaseIntoDiagram result;
    LiveResult<SchemaDescription> read = ReadLiveDatabase(source, schemas, progress);
    if (!read.Ok()) {
        result.error = std::move(read.error);
        return result;
    }
    result.result = MergeIntoDiagram(doc, surface, page, read.value);
    return result;
}

std::string DatabaseSummaryLines(const DatabaseSource& source, const MergeResult& merge)
{
    const auto plural = [](int count, const char* one, const char* many) {
        return std::to_string(count) + " " + (count == 1 ? one : many);
    };
    std::string text = "Imported " + plural(merge.tablesCreated + merge.tablesUpdated, "table", "tables") + " and " +
                       plural(merge.relationsAdded, "relation", "relations") + " from " + source.Describe() + ".\n";
    if (!merge.notShown.empty())
        text += std::to_string(merge.notShown.size()) + " not shown.\n";
    return text;
}

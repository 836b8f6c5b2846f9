#pragma once

#include "CSchemaMerge.h"
#include "DatabaseSource.h"
#include "LiveDatabase.h"
#include "Placement.h"
#include "SchemaImport.h"
#include "TableMoves.h"

#include <string>
#include <vector>

class CKorvoDoc;
class CMeasureSurface;

// The one way a schema comes into a diagram, for the window's commands and
// the command line alike: read everything first, then merge, then place.
//
// The merge brings tables found by name up to date where they stand and
// creates the others (CSchemaMerge); the new tables then go beside or below
// what the diagram already holds, never on top of it, in the columns the
// import always used (PlaceImportedTables): into an empty diagram that is
// exactly the old layout whenever it fits the canvas; where it does not, the
// page counts grow instead of the columns wrapping back over earlier tables.
// The surface measures with the diagram font, as drawing does; page is the
// printable area of one page, of which the canvas is made.

// What merging a description did: the merge's own account (tables created
// and updated, relations, what the diagram cannot show, the new tables) and
// where the new tables went, already applied. RevertMoves takes back the
// positions and page counts, not the merge.
struct PlacedMerge {
    MergeResult merge;
    DiagramMoves placement;
};

// Merges a description that has been read whole and places its new tables.
PlacedMerge MergeIntoDiagram(CKorvoDoc& doc, const CMeasureSurface& surface, PageArea page,
                             const SchemaDescription& description);

// What importing a script did. When the script gave no tables (script.ok
// false: errorText says why, as ddlread says it; or cancelled) the diagram
// is untouched. The description is released once merged; the report stays.
struct ScriptIntoDiagram {
    ScriptImport script;
    PlacedMerge result;
};

// Reads the script at path (ImportSchemaScript: Auto, Korvo or one dialect;
// Korvo is ddlread alone, as Import SQL always read) and merges and places
// what it gave. The progress callback covers the reading; cancelling there
// merges nothing.
ScriptIntoDiagram ImportScriptIntoDiagram(CKorvoDoc& doc, const CMeasureSurface& surface, PageArea page,
                                          const std::string& path, const ImportOptions& options = {});

// What importing a live database did; on an error (one line, no password)
// the diagram is untouched.
struct DatabaseIntoDiagram {
    LiveError error;
    PlacedMerge result;
};

// Reads the tables of the schemas (the source's default schema when none is
// given) in one read-only transaction (ReadLiveDatabase), then merges and
// places them. A failure anywhere in the read merges nothing.
DatabaseIntoDiagram ImportDatabaseIntoDiagram(CKorvoDoc& doc, const CMeasureSurface& surface, PageArea page,
                                              const DatabaseSource& source, const std::vector<std::string>& schemas,
                                              const ProgressCallback& progress = {});

// "Imported 11 tables and 11 relations from postgresql://korvo@host:5432/chinook."
// and, when the diagram cannot show part of the schema, "3 not shown.": the
// command line's account of a database import, in one or two lines.
std::string DatabaseSummaryLines(const DatabaseSource& source, const MergeResult& merge);

#pragma once

#include "SqlDialect.h"

#include <optional>
#include <string>
#include <vector>

class CKorvoDoc;
class CRelation;

enum class ProblemSeverity {
    Error,   // the diagram cannot become a database as it stands
    Warning, // it can, but probably not as meant
};

// One thing the diagram check found, located at a table and maybe a column.
struct DiagramProblem {
    ProblemSeverity severity = ProblemSeverity::Error;
    int table = -1;  // position in the document's table list
    int column = -1; // position in that table's column list; -1 for the table itself
    std::string text; // one line: "orders.customer_id: ..."
};

// Every problem of the diagram, table by table in document order, then the
// relations in document order. With a dialect, also the names that dialect
// must quote (warnings) or cannot take (errors); Korvo's own script never
// quotes, so for it the names that Import SQL could not read back. Auto,
// Oracle and DB2 judge no names: no script is written for them.
std::vector<DiagramProblem> CheckDiagram(const CKorvoDoc& doc, std::optional<SqlDialect> dialect = std::nullopt);

// Whether the relation's destination columns are the destination table's
// whole primary key (in any order) or one unique column: what a foreign key
// may refer to.
bool RelationEndsOnKey(const CRelation& relation);

#pragma once

#include "SqlDialect.h"

#include <string>
#include <vector>

class CKorvoDoc;

// Something the script could not carry exactly; the script says it too, in
// a comment before the table's statement.
struct ExportNote {
    int table = -1;   // position in the document's table list
    int column = -1;  // position in the table's column list; -1 for the table itself
    std::string text; // one line: "orders.status: enum written as text with a CHECK of its values"
};

using ExportNotes = std::vector<ExportNote>;

// Whether Export SQL writes scripts for the dialect: Korvo, PostgreSQL,
// MySQL/MariaDB, SQLite and SQL Server (Oracle and DB2 are read only).
bool DialectCanExport(SqlDialect dialect);

// The diagram as a script for the dialect's real engine: UTF-8 with LF line
// ends, names quoted only where the target needs it, types mapped by their
// own names, tables in dependency order, foreign keys that close a cycle
// added at the end, descriptions as comments the target keeps. Korvo gives
// the program's own script, exactly as Export SQL writes it. A dialect that
// cannot be written gives an empty text and a note.
std::string ExportDialectSql(const CKorvoDoc& doc, SqlDialect dialect, ExportNotes& notes);

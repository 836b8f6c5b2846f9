#pragma once

#include "SqlDialect.h"

#include <string>
#include <string_view>
#include <vector>

struct SqlDefault;
struct SqlType;

// Where a column stands in its table, as far as its type's spelling depends on it.
struct ColumnContext {
    std::string sqlName;             // the column as the script names it, for an added CHECK
    int keyLength = 0;               // > 0: the column is in a key, where a string holds at most this many characters
    bool leadsKey = false;           // first column of the primary key, or unique: MySQL numbers only such a column
    bool solePrimaryKey = false;     // the table's only primary-key column: SQLite's INTEGER PRIMARY KEY
    bool tableHasAutoIncrement = false; // an earlier column already numbers itself (one per table in MySQL, SQL Server)
};

// One column as the target's script writes it.
struct ColumnSql {
    std::string type;         // with the identity clause where the target puts it there
    std::string defaultValue; // the expression after DEFAULT; empty for none
    std::string autoSuffix;   // MySQL's AUTO_INCREMENT, written after the column's other clauses
    std::string check;        // a CHECK that carries enum values; empty for none
    bool autoIncrement = false;
    bool generated = false;   // a computed column takes no DEFAULT
    std::vector<std::string> notes; // what could not be carried exactly, one phrase each
};

ColumnSql MapColumn(const SqlType& type, const SqlDefault& def, SqlDialect dialect, const ColumnContext& context);

// A CHECK expression for the target: PostgreSQL casts that name types the
// target does not have are taken out.
std::string MapCheck(std::string_view check, SqlDialect dialect);

// Whether the target takes the type's core (without array bounds and
// modifiers) as it is written.
bool TakenAsWritten(const SqlType& type, SqlDialect dialect);

// Whether a column of this type counts against the target's key length limit.
bool IsKeyString(const SqlType& type);

// How many characters each of n string columns of one key may hold so that
// the key fits the target's limit; 0 when the target has none.
int KeyStringLength(SqlDialect dialect, int stringColumnsInKey);

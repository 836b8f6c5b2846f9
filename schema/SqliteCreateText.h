#pragma once

#include <string>
#include <string_view>
#include <vector>

// A CHECK of a SQLite CREATE TABLE text: on a column (its name as written,
// quotes removed) or, with an empty column, on the table.
struct SqliteCheck {
    std::string column;
    std::string expression; // as written, without its parentheses
};

// The CHECK constraints of a CREATE TABLE statement in declaration order.
// SQLite keeps no catalog of them, only the statement's text; this reads
// just enough of it (quotes, comments, nesting) to find them.
std::vector<SqliteCheck> FindSqliteChecks(std::string_view createTable);

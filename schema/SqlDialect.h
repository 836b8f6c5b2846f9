#pragma once

#include <optional>
#include <string_view>

// The SQL dialects Korvo reads or writes. Korvo is its own generic script,
// the default of Export SQL; Oracle and DB2 are read only.
enum class SqlDialect {
    Korvo,
    PostgreSQL,
    MySQL, // MySQL and MariaDB: one script runs in both
    SQLite,
    SQLServer,
    Oracle,
    DB2,
};

// The dialect named on a command line or in a setting: korvo, postgresql,
// mysql, mariadb, sqlite, sqlserver, oracle, db2, in any letter case.
// Nothing for any other name.
std::optional<SqlDialect> ParseSqlDialect(std::string_view name);

// The lower-case name that ParseSqlDialect reads back ("mysql" for MySQL).
std::string_view SqlDialectKey(SqlDialect dialect);

// The name people know the target by, for messages and script headers.
std::string_view SqlDialectTitle(SqlDialect dialect);

// Whether Export SQL can write a script for the dialect (all but Oracle and DB2).
bool SqlDialectCanExport(SqlDialect dialect);

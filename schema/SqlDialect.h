#pragma once

#include <optional>
#include <string_view>

// The languages a schema script can be read in. Auto lets the import choose.
enum class SqlDialect {
    Auto,
    Korvo, // Korvo's own language, read by ddlread
    PostgreSql,
    MySql, // MySQL and MariaDB
    Sqlite,
    SqlServer,
    Oracle,
    Db2,
};

// The command-line word of a dialect: auto, korvo, postgresql, mysql,
// sqlite, sqlserver, oracle, db2.
std::string_view DialectKeyword(SqlDialect dialect);
// The dialect a command-line word names ("mariadb" is "mysql"); case-insensitive.
std::optional<SqlDialect> DialectFromKeyword(std::string_view word);
// The name shown to people: "PostgreSQL", "MySQL/MariaDB", "SQL Server" ...
std::string_view DialectDisplayName(SqlDialect dialect);

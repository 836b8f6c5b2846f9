#include "SqlDialect.h"

#include <array>
#include <cctype>
#include <string>

namespace {

struct DialectNames {
    SqlDialect dialect;
    std::string_view keyword;
    std::string_view display;
};

constexpr std::array<DialectNames, 8> kNames{{
    {SqlDialect::Auto, "auto", "Auto-detect"},
    {SqlDialect::Korvo, "korvo", "Korvo SQL"},
    {SqlDialect::PostgreSql, "postgresql", "PostgreSQL"},
    {SqlDialect::MySql, "mysql", "MySQL/MariaDB"},
    {SqlDialect::Sqlite, "sqlite", "SQLite"},
    {SqlDialect::SqlServer, "sqlserver", "SQL Server"},
    {SqlDialect::Oracle, "oracle", "Oracle"},
    {SqlDialect::Db2, "db2", "DB2"},
}};

} // namespace

std::string_view DialectKeyword(SqlDialect dialect)
{
    for (const DialectNames& names : kNames)
        if (names.dialect == dialect)
            return names.keyword;
    return {};
}

std::string_view DialectDisplayName(SqlDialect dialect)
{
    for (const DialectNames& names : kNames)
        if (names.dialect == dialect)
            return names.display;
    return {};
}

std::optional<SqlDialect> DialectFromKeyword(std::string_view word)
{
    std::string lower;
    for (char c : word)
        lower += char(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "mariadb")
        return SqlDialect::MySql;
    for (const DialectNames& names : kNames)
        if (names.keyword == lower)
            return names.dialect;
    return std::nullopt;
}

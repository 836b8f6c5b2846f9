#include "SqlDialect.h"

#include <array>
#include <cctype>

namespace {

struct DialectName {
    std::string_view key;
    SqlDialect dialect;
};

// "mariadb" is the second name of the MySQL dialect: the same script runs in both.
constexpr std::array<DialectName, 8> kNames = {{
    {"korvo", SqlDialect::Korvo},
    {"postgresql", SqlDialect::PostgreSQL},
    {"mysql", SqlDialect::MySQL},
    {"mariadb", SqlDialect::MySQL},
    {"sqlite", SqlDialect::SQLite},
    {"sqlserver", SqlDialect::SQLServer},
    {"oracle", SqlDialect::Oracle},
    {"db2", SqlDialect::DB2},
}};

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::optional<SqlDialect> ParseSqlDialect(std::string_view name)
{
    for (const DialectName& entry : kNames)
        if (EqualsIgnoringCase(name, entry.key))
            return entry.dialect;
    return std::nullopt;
}

std::string_view SqlDialectKey(SqlDialect dialect)
{
    for (const DialectName& entry : kNames)
        if (entry.dialect == dialect)
            return entry.key;
    return "korvo";
}

std::string_view SqlDialectTitle(SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::Korvo: return "Korvo";
    case SqlDialect::PostgreSQL: return "PostgreSQL";
    case SqlDialect::MySQL: return "MySQL/MariaDB";
    case SqlDialect::SQLite: return "SQLite";
    case SqlDialect::SQLServer: return "SQL Server";
    case SqlDialect::Oracle: return "Oracle";
    case SqlDialect::DB2: return "DB2";
    }
    return "Korvo";
}

bool SqlDialectCanExport(SqlDialect dialect)
{
    return dialect != SqlDialect::Oracle && dialect != SqlDialect::DB2;
}

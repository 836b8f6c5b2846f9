#include "SqlExportFilters.h"

namespace {

struct ExportFilter {
    const char* text;
    SqlDialect dialect;
};

constexpr ExportFilter kFilters[] = {
    {"SQL Files (*.sql)", SqlDialect::Korvo},
    {"PostgreSQL script (*.sql)", SqlDialect::PostgreSql},
    {"MySQL/MariaDB script (*.sql)", SqlDialect::MySql},
    {"SQLite script (*.sql)", SqlDialect::Sqlite},
    {"SQL Server script (*.sql)", SqlDialect::SqlServer},
};

} // namespace

QStringList SqlExportFilters()
{
    QStringList filters;
    for (const ExportFilter& filter : kFilters)
        filters.append(QString::fromLatin1(filter.text));
    return filters;
}

SqlDialect SqlExportDialect(const QString& filter)
{
    for (const ExportFilter& known : kFilters)
        if (filter == QLatin1String(known.text))
            return known.dialect;
    return SqlDialect::Korvo;
}

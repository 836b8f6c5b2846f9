#include "LiveDatabase.h"

#include "CMariaDbCatalog.h"
#include "CPostgresCatalog.h"
#include "CSqliteCatalog.h"

LiveResult<std::unique_ptr<CLiveDatabase>> ConnectLiveDatabase(const DatabaseSource& source)
{
    switch (source.kind) {
    case DatabaseKind::Sqlite:
        return CSqliteCatalog::Open(source);
    case DatabaseKind::PostgreSql:
        return CPostgresCatalog::Connect(source);
    case DatabaseKind::MariaDb:
        return CMariaDbCatalog::Connect(source);
    }
    LiveResult<std::unique_ptr<CLiveDatabase>> result;
    result.error = {LiveErrorCode::BadSource, "Unknown kind of database"};
    return result;
}

LiveResult<std::string> TestConnection(const DatabaseSource& source)
{
    LiveResult<std::string> result;
    LiveResult<std::unique_ptr<CLiveDatabase>> database = ConnectLiveDatabase(source);
    if (!database.Ok()) {
        result.error = std::move(database.error);
        return result;
    }
    result.value = database.value->ServerDescription();
    return result;
}

LiveResult<SchemaDescription> ReadLiveDatabase(const DatabaseSource& source, const std::vector<std::string>& schemas,
                                               const ProgressCallback& progress)
{
    LiveResult<SchemaDescription> result;
    LiveResult<std::unique_ptr<CLiveDatabase>> database = ConnectLiveDatabase(source);
    if (!database.Ok()) {
        result.error = std::move(database.error);
        return result;
    }
    CLiveDatabase& db = *database.value;
    std::vector<std::string> chosen = schemas;
    if (chosen.empty()) {
        if (db.DefaultSchema().empty()) {
            result.error = {LiveErrorCode::BadSource,
                            source.Describe() + " names no database or schema to read; name one"};
            return result;
        }
        chosen.push_back(db.DefaultSchema());
    }
    LiveResult<std::vector<QualifiedTable>> tables = db.ListTables(chosen);
    if (!tables.Ok()) {
        result.error = std::move(tables.error);
        return result;
    }
    if (tables.value.empty()) {
        std::string names;
        for (const std::string& schema : chosen)
            names += (names.empty() ? "" : ", ") + schema;
        result.error = {LiveErrorCode::NoTables,
                        "No tables in " + std::string(chosen.size() > 1 ? "schemas " : "schema ") + names + " of " +
                            source.Describe()};
        return result;
    }
    return db.ReadTables(tables.value, progress);
}

#pragma once

#include "LiveDatabase.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

struct st_mysql;
struct st_mysql_res;

// Reads the catalog of a MariaDB or MySQL database through the MariaDB
// connector: information_schema's TABLES, COLUMNS, STATISTICS,
// KEY_COLUMN_USAGE and CHECK_CONSTRAINTS, each asked once for the chosen
// schemas, in a READ ONLY transaction. information_schema is no snapshot,
// so the read ends by checking that every chosen table is still there.
// Queries run through the connector's non-blocking calls: the progress
// callback is polled while the server works.
class CMariaDbCatalog final : public CLiveDatabase {
public:
    // Connects within the connect timeout. Options of the [client] group of
    // the usual option files (~/.my.cnf ...) apply, as in the mariadb client.
    static LiveResult<std::unique_ptr<CLiveDatabase>> Connect(const DatabaseSource& source);
    ~CMariaDbCatalog() override;
    CMariaDbCatalog(const CMariaDbCatalog&) = delete;
    CMariaDbCatalog& operator=(const CMariaDbCatalog&) = delete;

    DatabaseKind Kind() const override { return DatabaseKind::MariaDb; }
    std::string ServerDescription() const override;
    std::string DefaultSchema() const override { return m_defaultSchema; }
    LiveResult<std::vector<std::string>> ListSchemas() override;
    LiveResult<std::vector<QualifiedTable>> ListTables(const std::vector<std::string>& schemas) override;
    LiveResult<SchemaDescription> ReadTables(const std::vector<QualifiedTable>& tables,
                                             const ProgressCallback& progress = {}) override;

private:
    struct ResultDeleter {
        void operator()(st_mysql_res* result) const;
    };
    using Result = std::unique_ptr<st_mysql_res, ResultDeleter>;

    CMariaDbCatalog(st_mysql* mysql, const DatabaseSource& source);
    LiveError Run(const std::string& sql, std::string_view what, Result& rows);
    int WaitFor(int status, std::chrono::steady_clock::time_point deadline, bool& cancelled, bool& timedOut);
    LiveError Failure(std::string_view what);
    void Close();
    bool Step(int done, int total, std::string_view what);
    LiveError Cancelled() const;
    std::string Quote(std::string_view text) const;
    std::string InList(const std::vector<std::string>& items) const;
    LiveResult<std::vector<QualifiedTable>> BaseTables(const std::vector<std::string>& schemas, std::string_view what);

    st_mysql* m_mysql = nullptr;
    bool m_isMariaDb = true;
    std::vector<std::string> m_secrets;
    std::string m_where;
    std::string m_version;
    std::string m_defaultSchema;
    int m_readTimeoutSeconds = 60;
    const ProgressCallback* m_progress = nullptr;
    ReadProgress m_step;
    std::chrono::steady_clock::time_point m_lastCall;
};

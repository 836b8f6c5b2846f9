#pragma once

#include "LiveDatabase.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

// Reads the catalog of a PostgreSQL database through libpq: pg_class,
// pg_attribute, pg_attrdef, pg_description, pg_constraint and pg_index, each
// asked once for all chosen tables (checks in batches), in one REPEATABLE
// READ READ ONLY transaction so the answers agree. Queries run
// asynchronously: the progress callback is polled while the server works,
// and a server that stops answering fails the read after the read timeout
// instead of hanging it.
class CPostgresCatalog final : public CLiveDatabase {
public:
    // Connects with libpq's own defaults (PGHOST, PGPASSWORD, ~/.pgpass ...)
    // under the source's conninfo and fields, within the connect timeout.
    static LiveResult<std::unique_ptr<CLiveDatabase>> Connect(const DatabaseSource& source);
    ~CPostgresCatalog() override;
    CPostgresCatalog(const CPostgresCatalog&) = delete;
    CPostgresCatalog& operator=(const CPostgresCatalog&) = delete;

    DatabaseKind Kind() const override { return DatabaseKind::PostgreSql; }
    std::string ServerDescription() const override;
    std::string DefaultSchema() const override { return m_defaultSchema; }
    LiveResult<std::vector<std::string>> ListSchemas() override;
    LiveResult<std::vector<QualifiedTable>> ListTables(const std::vector<std::string>& schemas) override;
    LiveResult<SchemaDescription> ReadTables(const std::vector<QualifiedTable>& tables,
                                             const ProgressCallback& progress = {}) override;

private:
    struct ResultDeleter {
        void operator()(pg_result* result) const;
    };
    using Result = std::unique_ptr<pg_result, ResultDeleter>;

    CPostgresCatalog(pg_conn* conn, const DatabaseSource& source);
    LiveError Run(const char* sql, const std::vector<std::string>& params, std::string_view what, Result& rows);
    LiveError Wait(std::chrono::steady_clock::time_point deadline, bool polled, std::string_view what);
    bool KeepGoing();
    void CancelQuery();
    LiveError Lost(std::string_view what);
    bool Step(int done, int total, std::string_view what);
    LiveError Cancelled() const;

    pg_conn* m_conn = nullptr;
    std::vector<std::string> m_secrets;
    std::string m_where; // the source without its password
    std::string m_version;
    std::string m_defaultSchema;
    int m_readTimeoutSeconds = 60;
    // While a read runs: the caller's callback and where the read stands.
    const ProgressCallback* m_progress = nullptr;
    ReadProgress m_step;
    std::chrono::steady_clock::time_point m_lastCall;
    bool m_cancelled = false;
};

#pragma once

#include "LiveDatabase.h"

#include <chrono>
#include <memory>
#include <string>

struct sqlite3;

// Reads the catalog of a SQLite database through libsqlite3: tables of the
// main schema from pragma_table_list, their columns, unique indexes and
// foreign keys from the table-valued pragmas (one query each for all
// tables), checks from the CREATE TABLE text SQLite keeps.
class CSqliteCatalog final : public CLiveDatabase {
public:
    // Opens a database file read-only without ever creating a file: a
    // rollback-journal database with mode=ro, a WAL database with mode=ro
    // when its -wal and -shm files exist and as immutable when they do not
    // (so no -shm appears beside it). Refuses anything but a regular file
    // that starts as a SQLite database does, or is empty.
    static LiveResult<std::unique_ptr<CLiveDatabase>> Open(const DatabaseSource& source);
    // Reads a database the caller opened (a script run into memory, say);
    // the handle stays the caller's.
    CSqliteCatalog(sqlite3* db, std::string description);
    ~CSqliteCatalog() override;
    CSqliteCatalog(const CSqliteCatalog&) = delete;
    CSqliteCatalog& operator=(const CSqliteCatalog&) = delete;

    DatabaseKind Kind() const override { return DatabaseKind::Sqlite; }
    std::string ServerDescription() const override;
    std::string DefaultSchema() const override { return "main"; }
    LiveResult<std::vector<std::string>> ListSchemas() override;
    LiveResult<std::vector<QualifiedTable>> ListTables(const std::vector<std::string>& schemas) override;
    LiveResult<SchemaDescription> ReadTables(const std::vector<QualifiedTable>& tables,
                                             const ProgressCallback& progress = {}) override;

private:
    struct Catalog;
    static int OnProgress(void* self);
    bool Step(const ProgressCallback& progress, int done, int total, std::string_view what);
    LiveError Error(std::string_view what) const;
    LiveError ReadCatalog(Catalog& catalog);

    sqlite3* m_db = nullptr;
    bool m_owned = false;
    std::string m_description;
    // While a read runs: the caller's callback and where the read stands,
    // for SQLite's progress handler.
    const ProgressCallback* m_progress = nullptr;
    ReadProgress m_where;
    std::chrono::steady_clock::time_point m_lastCall;
    bool m_cancelled = false;
};

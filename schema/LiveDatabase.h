#pragma once

#include "DatabaseSource.h"
#include "LiveError.h"
#include "SchemaDescription.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct QualifiedTable {
    std::string schema;
    std::string name;

    bool operator==(const QualifiedTable&) const = default;
};

// Where a read stands: step `done` of `total` is about to run or running.
struct ReadProgress {
    int done = 0;
    int total = 0;
    std::string_view step; // "Reading columns"
};
// Called before each step and, while the database works on a step, at least
// every tenth of a second where the client library allows it. Returning
// false cancels the read.
using ProgressCallback = std::function<bool(const ReadProgress&)>;

// An open connection to a database, read-only. Every read runs in one
// read-only transaction and asks the catalog a few questions per kind of
// object (tables, columns, keys, checks), never one per table; it returns
// the whole description or an error, never part of one.
//
// Not thread-safe: use one object from one thread at a time (the dialog's
// worker thread, say); different objects may run in parallel.
class CLiveDatabase {
public:
    virtual ~CLiveDatabase() = default;

    virtual DatabaseKind Kind() const = 0;
    // "PostgreSQL 15.20", "MariaDB 10.11.19", "SQLite 3.40.1" and what it is
    // connected to, without a password.
    virtual std::string ServerDescription() const = 0;
    // The schema a bare table name resolves to: PostgreSQL's current schema,
    // the database the MariaDB source names (empty when none), SQLite's main.
    virtual std::string DefaultSchema() const = 0;

    // Schemas that can hold the user's tables, in name order; the system's
    // own (pg_catalog, information_schema, mysql ...) are left out.
    virtual LiveResult<std::vector<std::string>> ListSchemas() = 0;
    // Base tables of the schemas, by schema then name; views, sequences,
    // partitions of partitioned tables and system tables are left out. A
    // schema that does not exist is an error (NotFound).
    virtual LiveResult<std::vector<QualifiedTable>> ListTables(const std::vector<std::string>& schemas) = 0;
    // The description of the tables, in the order given (a repeated table
    // counts once). A table that no longer exists fails the whole read
    // (TableGone), as does an empty list (NoTables).
    virtual LiveResult<SchemaDescription> ReadTables(const std::vector<QualifiedTable>& tables,
                                                     const ProgressCallback& progress = {}) = 0;
};

// Opens the database the source names, within its connect timeout.
LiveResult<std::unique_ptr<CLiveDatabase>> ConnectLiveDatabase(const DatabaseSource& source);

// Connects and says what answered (ServerDescription), then disconnects.
LiveResult<std::string> TestConnection(const DatabaseSource& source);

// What `--import-db` does: connects, lists the tables of the schemas (the
// default schema when none is given) and reads them all. No tables in them
// is an error (NoTables).
LiveResult<SchemaDescription> ReadLiveDatabase(const DatabaseSource& source, const std::vector<std::string>& schemas,
                                               const ProgressCallback& progress = {});

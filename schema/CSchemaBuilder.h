#pragma once

#include "SchemaDescription.h"
#include "SqlDialect.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The tables a script has made so far, as the engine would hold them: a
// table created twice stays the first, a dropped table is gone, names are
// looked up the way the dialect looks them up. The readers of PostgreSQL and
// the tolerant reader fill it statement by statement; Finish hands over the
// description.
class CSchemaBuilder {
public:
    explicit CSchemaBuilder(SqlDialect dialect);

    // A new, empty table; null when a table of that name exists already.
    SchemaTable* Create(std::string_view schema, std::string_view name);
    // The table a (possibly unqualified) name refers to, or null.
    SchemaTable* Find(std::string_view schema, std::string_view name);
    // Drops the table and the foreign keys that refer to it; false when unknown.
    bool Drop(std::string_view schema, std::string_view name);
    // Records that child is a partition of parent: it gets the parent's keys.
    void AttachPartition(SchemaTable* parent, SchemaTable* child);
    size_t TableCount() const { return m_live; }

    // The column of a table that a name in a key refers to (exact, then
    // ignoring case), or null.
    static SchemaColumn* ResolveColumn(SchemaTable& table, std::string_view name);

    // Completes keys (REFERENCES t without columns means t's primary key,
    // names as the columns spell them, key marks on the columns) and hands
    // over the live tables in the order they were made.
    SchemaDescription Finish();

private:
    static std::string Key(std::string_view schema, std::string_view name);
    void Index(size_t position);

    SqlDialect m_dialect;
    std::vector<std::unique_ptr<SchemaTable>> m_tables; // null once dropped
    std::unordered_map<std::string, size_t> m_exact;    // schema \x1f name
    std::unordered_map<std::string, std::vector<size_t>> m_byFoldedName;
    std::vector<std::pair<SchemaTable*, SchemaTable*>> m_partitions; // parent, child
    size_t m_live = 0;
};

#pragma once

#include "SchemaDescription.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct ImportReport;

// The readers behind ReadSchemaText. Each takes UTF-8 text without NUL
// bytes and calls progress with the offset reached (false stops it).
using ReaderProgress = std::function<bool(size_t)>;

// PostgreSQL through libpg_query, the server's own parser. Blanks psql
// lines and COPY data out of the script in place.
bool ReadPostgresScript(std::string& script, SchemaDescription& description, ImportReport& report,
                        const ReaderProgress& progress);
// SQLite through the engine itself, in a private in-memory database.
bool ReadSqliteScript(std::string_view script, SchemaDescription& description, ImportReport& report,
                      const ReaderProgress& progress);

// Where the PostgreSQL reader cuts a script into statements (begin, end
// offsets, the end past the semicolon), by the server's lexical rules; psql
// lines and COPY data are no statements.
std::vector<std::pair<size_t, size_t>> PostgresStatementSpans(std::string_view script);

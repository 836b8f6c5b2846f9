#pragma once

#include "SchemaDescription.h"

#include <cstddef>
#include <functional>
#include <string_view>

struct ImportReport;

// The readers behind ReadSchemaText. Each takes UTF-8 text without NUL
// bytes and calls progress with the offset reached (false stops it).
using ReaderProgress = std::function<bool(size_t)>;

// PostgreSQL through libpg_query, the server's own parser.
bool ReadPostgresScript(std::string_view script, SchemaDescription& description, ImportReport& report,
                        const ReaderProgress& progress);
// SQLite through the engine itself, in a private in-memory database.
bool ReadSqliteScript(std::string_view script, SchemaDescription& description, ImportReport& report,
                      const ReaderProgress& progress);

#pragma once

#include "ImportReport.h"
#include "SchemaDescription.h"
#include "SqlDialect.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// How to read a script.
struct ImportOptions {
    SqlDialect dialect = SqlDialect::Auto;
    // Called now and then with the share of the work done (0 to 1);
    // returning false cancels the import, which then gives no tables.
    std::function<bool(double)> progress;
};

// What reading a script gave: the tables, what was left out, or why nothing
// could be read.
struct ScriptImport {
    bool ok = false;        // at least one table was read
    bool cancelled = false; // the progress callback said stop
    SchemaDescription description;
    ImportReport report;
    // When nothing could be read: ddlread's own error text, as Import SQL
    // always showed it ("Error importing: " goes before it).
    std::string errorText;
    // When a dialect reader found nothing: its own reason (too large, no
    // CREATE TABLE ...), for a longer message.
    std::string readerError;
};

// Scripts larger than this are not read by the dialect readers.
constexpr size_t kMaxScriptBytes = size_t(512) << 20;

// Reads the script at path. Auto: when ddlread accepts the script its
// tables stand (unless it had to cut characters out of names, when a
// dialect reader that reads the script wins); otherwise the dialect is
// detected from the script's cues. Korvo: ddlread alone, exactly as before.
ScriptImport ImportSchemaScript(const std::string& path, const ImportOptions& options = {});

// Reads script text with one dialect reader (not Auto, not Korvo).
ScriptImport ReadSchemaText(std::string_view script, SqlDialect dialect, const ImportOptions& options = {});

// The dialect whose cues the script shows most strongly; SQLite, whose
// engine reads most plain SQL as written, when it shows none.
SqlDialect DetectDialect(std::string_view script);

// Characters ddlread drops from the names of CREATE TABLE statements
// (quotes around names that are not plain words, bytes from 128 up).
size_t CountNameCharactersDdlreadDrops(std::string_view script);

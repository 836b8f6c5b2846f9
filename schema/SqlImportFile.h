#pragma once

#include "ddlread.h"

#include <memory>
#include <string>

// Hands a record list back to ddlread, the only one that may free it.
struct TableDataRelease {
    void operator()(TableData* list) const { FreeTableData(list); }
};

// The tables of one script, freed by ddlread when the owner lets go of them,
// on every path, an exception included.
using SqlTableList = std::unique_ptr<TableData, TableDataRelease>;

// Reads the CREATE TABLE statements of the script at path through ddlread.
// Null when the file cannot be read or does not parse; error then holds the
// library's text ("Error opening file.", or the line, "parse error" and the
// token, with its line feed).
SqlTableList ImportSqlFile(const std::string& path, std::string& error);

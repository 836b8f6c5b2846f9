#pragma once

#include <memory>
#include <string>

class CKorvoDoc;

// Test-only: a diagram of the tables, columns and foreign keys that the
// SQLite engine's catalog of a database file describes, tables in catalog
// order, every table at (0, 0) and unmeasured. Null with the reason in error
// when the file cannot be read.
std::unique_ptr<CKorvoDoc> DiagramFromSqlite(const std::string& path, std::string& error);

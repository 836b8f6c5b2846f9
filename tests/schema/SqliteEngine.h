#pragma once

#include "SqlEngine.h"

struct sqlite3;

// The SQLite engine itself (libsqlite3), on an in-memory database that each
// script starts afresh.
class CSqliteEngine : public CSqlEngine {
public:
    CSqliteEngine();
    ~CSqliteEngine() override;

    SqlDialect Dialect() const override { return SqlDialect::Sqlite; }
    std::string RunScript(const std::string& script) override;
    std::vector<CatalogTable> ReadCatalog() override;
    // Reads an existing database file instead (left as it is).
    void OpenFile(const std::string& path);
    // The CREATE statement SQLite keeps for the table, comments included.
    std::string StatementOf(const std::string& table);
    // Runs one statement and gives its first row's columns as text.
    std::vector<std::string> QueryRow(const std::string& sql);
    // Runs statements that return no rows; the error text or empty.
    std::string Execute(const std::string& sql);

private:
    void Open();
    sqlite3* m_db = nullptr;
};

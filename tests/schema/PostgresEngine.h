#pragma once

#include "SqlEngine.h"

#include <string>
#include <utility>
#include <vector>

struct pg_conn;

// A PostgreSQL server reached through libpq. Each script runs in a fresh
// database made for it; the server itself comes from whoever starts it.
class CPostgresEngine : public CSqlEngine {
public:
    // conninfo as libpq reads it ("dbname=postgres"); what it leaves out
    // libpq takes from PGHOST, PGPORT and PGUSER.
    explicit CPostgresEngine(std::string conninfo);
    ~CPostgresEngine() override;

    SqlDialect Dialect() const override { return SqlDialect::PostgreSql; }
    std::string RunScript(const std::string& script) override;
    // Loads a script file with psql into a fresh database, going on past
    // errors as psql does; a script that makes and connects to its own
    // database names it, and the catalog read afterwards is that one's.
    void LoadFile(const std::string& path, const std::string& ownDatabase = "");
    std::vector<CatalogTable> ReadCatalog() override;
    // COMMENT ON texts: "table" or "table.column" with the text.
    std::vector<std::pair<std::string, std::string>> ReadDescriptions();
    // The first row of a query in the script's database, as text.
    std::vector<std::string> QueryRow(const std::string& sql);

private:
    std::string FreshDatabase();
    std::string m_conninfo;
    pg_conn* m_admin = nullptr;
    pg_conn* m_db = nullptr;
    int m_runs = 0;
};

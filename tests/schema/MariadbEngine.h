#pragma once

#include "SqlEngine.h"

#include <string>
#include <utility>
#include <vector>

struct st_mysql;

// A MariaDB (or MySQL) server reached through the MariaDB connector over
// its Unix socket. Each script runs in a fresh database made for it.
class CMariadbEngine : public CSqlEngine {
public:
    CMariadbEngine(std::string socket, std::string user);
    ~CMariadbEngine() override;

    SqlDialect Dialect() const override { return SqlDialect::MySql; }
    std::string RunScript(const std::string& script) override;
    // Loads a script file with the mariadb client into a fresh database,
    // going on past errors; a script that makes and uses its own database
    // names it, and the catalog read afterwards is that one's.
    void LoadFile(const std::string& path, const std::string& ownDatabase = "");
    std::vector<CatalogTable> ReadCatalog() override;
    // COMMENT texts: "table" or "table.column" with the text.
    std::vector<std::pair<std::string, std::string>> ReadDescriptions();
    std::vector<std::string> QueryRow(const std::string& sql);
    // Runs statements that return no rows; the error text or empty.
    std::string Execute(const std::string& sql);

private:
    std::vector<std::vector<std::string>> Rows(const std::string& sql);
    st_mysql* m_db = nullptr;
    std::string m_socket;
    std::string m_user;
    std::string m_database;
    int m_runs = 0;
};

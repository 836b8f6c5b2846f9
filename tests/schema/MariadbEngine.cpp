#include "MariadbEngine.h"

#include <mysql.h>

#include <algorithm>
#include <map>
#include <cstdlib>
#include <stdexcept>

namespace {

// A name as a MariaDB string literal, for the catalog queries.
std::string Literal(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'' || c == '\\')
            out += c;
    }
    return out + "'";
}

} // namespace

CMariadbEngine::CMariadbEngine(std::string socket, std::string user) : m_socket(socket), m_user(user)
{
    m_db = mysql_init(nullptr);
    if (!m_db || !mysql_real_connect(m_db, nullptr, user.c_str(), nullptr, nullptr, 0, socket.c_str(), CLIENT_MULTI_STATEMENTS)) {
        const std::string error = m_db ? mysql_error(m_db) : "out of memory";
        mysql_close(m_db);
        throw std::runtime_error("cannot connect to MariaDB at " + socket + ": " + error);
    }
    mysql_set_character_set(m_db, "utf8mb4");
}

CMariadbEngine::~CMariadbEngine()
{
    mysql_close(m_db);
}

std::string CMariadbEngine::Execute(const std::string& sql)
{
    if (mysql_real_query(m_db, sql.data(), sql.size()) != 0)
        return mysql_error(m_db);
    // Every result of a multi-statement text must be read before the next query.
    for (;;) {
        if (MYSQL_RES* result = mysql_store_result(m_db))
            mysql_free_result(result);
        const int next = mysql_next_result(m_db);
        if (next > 0)
            return mysql_error(m_db);
        if (next < 0)
            return "";
    }
}

std::vector<std::vector<std::string>> CMariadbEngine::Rows(const std::string& sql)
{
    if (mysql_real_query(m_db, sql.data(), sql.size()) != 0)
        throw std::runtime_error(sql + ": " + mysql_error(m_db));
    MYSQL_RES* result = mysql_store_result(m_db);
    std::vector<std::vector<std::string>> rows;
    if (!result)
        return rows;
    const unsigned columns = mysql_num_fields(result);
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        const unsigned long* lengths = mysql_fetch_lengths(result);
        std::vector<std::string> values;
        for (unsigned c = 0; c < columns; ++c)
            values.push_back(row[c] ? std::string(row[c], lengths[c]) : "NULL");
        rows.push_back(std::move(values));
    }
    mysql_free_result(result);
    return rows;
}

std::vector<std::string> CMariadbEngine::QueryRow(const std::string& sql)
{
    const auto rows = Rows(sql);
    return rows.empty() ? std::vector<std::string>{} : rows[0];
}

std::string CMariadbEngine::RunScript(const std::string& script)
{
    m_database = "korvo_export_" + std::to_string(++m_runs);
    const std::string setup = "DROP DATABASE IF EXISTS " + m_database + "; CREATE DATABASE " + m_database
        + " CHARACTER SET utf8mb4; USE " + m_database + ";";
    if (const std::string error = Execute(setup); !error.empty())
        throw std::runtime_error("cannot make a database: " + error);
    return Execute(script);
}

void CMariadbEngine::LoadFile(const std::string& path, const std::string& ownDatabase)
{
    RunScript("");
    const std::string command = "mariadb --no-defaults --force --default-character-set=utf8mb4 -S '" + m_socket + "' -u '"
        + m_user + "' " + m_database + " < '" + path + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) == -1)
        throw std::runtime_error("cannot run the mariadb client");
    if (!ownDatabase.empty())
        m_database = ownDatabase;
}

std::vector<CatalogTable> CMariadbEngine::ReadCatalog()
{
    const std::string schema = Literal(m_database);
    std::vector<CatalogTable> tables;
    for (const auto& t : Rows("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_TYPE = 'BASE TABLE' AND TABLE_SCHEMA = " + schema
                              + " ORDER BY BINARY TABLE_NAME")) {
        CatalogTable table;
        table.name = t[0];
        const std::string where = " WHERE TABLE_SCHEMA = " + schema + " AND BINARY TABLE_NAME = " + Literal(table.name);
        // The type as a diagram would hold it: numbering and computation included.
        for (const auto& c : Rows("SELECT COLUMN_NAME, IS_NULLABLE, CONCAT(COLUMN_TYPE, "
                                  "CASE WHEN EXTRA LIKE '%auto_increment%' THEN ' AUTO_INCREMENT' "
                                  "WHEN GENERATION_EXPRESSION IS NOT NULL THEN CONCAT(' AS (', GENERATION_EXPRESSION, ')', "
                                  "IF(EXTRA LIKE 'STORED%', ' STORED', ' VIRTUAL')) ELSE '' END), "
                                  "IF(GENERATION_EXPRESSION IS NULL, COALESCE(COLUMN_DEFAULT, ''), '') "
                                  "FROM information_schema.COLUMNS" + where + " ORDER BY ORDINAL_POSITION"))
            table.columns.push_back({c[0], c[1] == "NO", c[2], c[3] == "NULL" ? "" : c[3]});
        for (const auto& k : Rows("SELECT COLUMN_NAME FROM information_schema.KEY_COLUMN_USAGE" + where
                                  + " AND CONSTRAINT_NAME = 'PRIMARY' ORDER BY ORDINAL_POSITION"))
            table.primaryKey.push_back(k[0]);
        for (const auto& u : Rows("SELECT MIN(COLUMN_NAME) FROM information_schema.STATISTICS" + where
                                  + " AND NON_UNIQUE = 0 AND INDEX_NAME <> 'PRIMARY' GROUP BY INDEX_NAME HAVING COUNT(*) = 1"))
            table.unique.push_back(u[0]);
        std::sort(table.unique.begin(), table.unique.end());
        std::map<std::string, CatalogForeignKey> foreign;
        for (const auto& f : Rows("SELECT CONSTRAINT_NAME, COLUMN_NAME, REFERENCED_TABLE_NAME, REFERENCED_COLUMN_NAME "
                                  "FROM information_schema.KEY_COLUMN_USAGE" + where
                                  + " AND REFERENCED_TABLE_NAME IS NOT NULL ORDER BY CONSTRAINT_NAME, ORDINAL_POSITION")) {
            CatalogForeignKey& fk = foreign[f[0]];
            fk.columns.push_back(f[1]);
            fk.refTable = f[2];
            fk.refColumns.push_back(f[3]);
        }
        for (auto& [name, fk] : foreign)
            table.foreignKeys.push_back(std::move(fk));
        std::sort(table.foreignKeys.begin(), table.foreignKeys.end());
        tables.push_back(std::move(table));
    }
    return tables;
}

std::vector<std::pair<std::string, std::string>> CMariadbEngine::ReadDescriptions()
{
    const std::string schema = Literal(m_database);
    std::vector<std::pair<std::string, std::string>> descriptions;
    for (const auto& r : Rows("SELECT name, text FROM ("
                              "SELECT TABLE_NAME AS name, TABLE_COMMENT AS text FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                              + schema + " UNION ALL SELECT CONCAT(TABLE_NAME, '.', COLUMN_NAME), COLUMN_COMMENT "
                              "FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = " + schema
                              + ") d WHERE text <> '' ORDER BY BINARY name"))
        descriptions.emplace_back(r[0], r[1]);
    return descriptions;
}

#include "SqliteEngine.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace {

// A prepared statement that finalizes itself.
class CStatement {
public:
    CStatement(sqlite3* db, const std::string& sql)
    {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(db));
    }
    ~CStatement() { sqlite3_finalize(m_stmt); }
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    void Bind(int index, const std::string& text) { sqlite3_bind_text(m_stmt, index, text.c_str(), -1, SQLITE_TRANSIENT); }
    bool Step() { return sqlite3_step(m_stmt) == SQLITE_ROW; }
    std::string Text(int column) const
    {
        const unsigned char* text = sqlite3_column_text(m_stmt, column);
        return text ? reinterpret_cast<const char*>(text) : "";
    }
    int Int(int column) const { return sqlite3_column_int(m_stmt, column); }
    int Columns() const { return sqlite3_column_count(m_stmt); }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace

CSqliteEngine::CSqliteEngine()
{
    Open();
}

CSqliteEngine::~CSqliteEngine()
{
    sqlite3_close(m_db);
}

void CSqliteEngine::Open()
{
    sqlite3_close(m_db);
    m_db = nullptr;
    if (sqlite3_open(":memory:", &m_db) != SQLITE_OK)
        throw std::runtime_error("cannot open an in-memory SQLite database");
}

void CSqliteEngine::OpenFile(const std::string& path)
{
    sqlite3_close(m_db);
    m_db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot open " + path);
}

std::string CSqliteEngine::RunScript(const std::string& script)
{
    Open();
    char* error = nullptr;
    // With foreign keys on, the check below refuses a key whose parent
    // columns are neither a primary key nor unique ("foreign key mismatch").
    if (sqlite3_exec(m_db, "PRAGMA foreign_keys = ON;", nullptr, nullptr, &error) != SQLITE_OK
        || sqlite3_exec(m_db, script.c_str(), nullptr, nullptr, &error) != SQLITE_OK
        || sqlite3_exec(m_db, "PRAGMA foreign_key_check;", nullptr, nullptr, &error) != SQLITE_OK) {
        std::string text = error ? error : "unknown error";
        sqlite3_free(error);
        return text;
    }
    return "";
}

std::vector<std::string> CSqliteEngine::QueryRow(const std::string& sql)
{
    CStatement statement(m_db, sql);
    std::vector<std::string> row;
    if (statement.Step())
        for (int i = 0; i < statement.Columns(); ++i)
            row.push_back(statement.Text(i));
    return row;
}

std::string CSqliteEngine::Execute(const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK)
        return "";
    std::string text = error ? error : "unknown error";
    sqlite3_free(error);
    return text;
}

std::string CSqliteEngine::StatementOf(const std::string& table)
{
    CStatement statement(m_db, "SELECT sql FROM sqlite_schema WHERE type = 'table' AND name = ?");
    statement.Bind(1, table);
    return statement.Step() ? statement.Text(0) : "";
}

std::vector<CatalogTable> CSqliteEngine::ReadCatalog()
{
    std::vector<CatalogTable> tables;
    CStatement list(m_db, "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name");
    while (list.Step()) {
        CatalogTable table;
        table.name = list.Text(0);

        std::map<int, std::string> key;
        CStatement columns(m_db, "SELECT name, type, \"notnull\", pk, dflt_value FROM pragma_table_xinfo(?) ORDER BY cid");
        columns.Bind(1, table.name);
        while (columns.Step()) {
            table.columns.push_back({columns.Text(0), columns.Int(2) != 0, columns.Text(1), columns.Text(4)});
            if (columns.Int(3) > 0)
                key[columns.Int(3)] = columns.Text(0);
        }
        for (const auto& [position, name] : key)
            table.primaryKey.push_back(name);

        CStatement unique(m_db,
                          "SELECT group_concat(ii.name) FROM pragma_index_list(?1) il, pragma_index_info(il.name) ii "
                          "WHERE il.\"unique\" = 1 AND il.origin = 'u' GROUP BY il.name HAVING count(*) = 1");
        unique.Bind(1, table.name);
        while (unique.Step())
            table.unique.push_back(unique.Text(0));
        std::sort(table.unique.begin(), table.unique.end());

        std::map<int, CatalogForeignKey> keys;
        CStatement foreign(m_db, "SELECT id, \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?) ORDER BY id, seq");
        foreign.Bind(1, table.name);
        while (foreign.Step()) {
            CatalogForeignKey& fk = keys[foreign.Int(0)];
            fk.refTable = foreign.Text(1);
            fk.columns.push_back(foreign.Text(2));
            fk.refColumns.push_back(foreign.Text(3));
        }
        for (auto& [id, fk] : keys)
            table.foreignKeys.push_back(std::move(fk));
        std::sort(table.foreignKeys.begin(), table.foreignKeys.end());
        tables.push_back(std::move(table));
    }
    return tables;
}

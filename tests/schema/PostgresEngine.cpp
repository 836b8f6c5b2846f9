#include "PostgresEngine.h"

#include <libpq-fe.h>

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

Result Query(pg_conn* conn, const std::string& sql, const std::vector<std::string>& params = {})
{
    std::vector<const char*> values;
    for (const std::string& p : params)
        values.push_back(p.c_str());
    Result result(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                               nullptr, 0),
                  &PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        throw std::runtime_error(sql + ": " + PQresultErrorMessage(result.get()));
    return result;
}

std::string Cell(const Result& result, int row, int column)
{
    return PQgetvalue(result.get(), row, column);
}

pg_conn* Connect(const std::string& conninfo)
{
    pg_conn* conn = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        const std::string error = PQerrorMessage(conn);
        PQfinish(conn);
        throw std::runtime_error("cannot connect to PostgreSQL (" + conninfo + "): " + error);
    }
    PQsetClientEncoding(conn, "UTF8");
    return conn;
}

} // namespace

CPostgresEngine::CPostgresEngine(std::string conninfo) : m_conninfo(std::move(conninfo))
{
    m_admin = Connect(m_conninfo);
}

CPostgresEngine::~CPostgresEngine()
{
    PQfinish(m_db);
    PQfinish(m_admin);
}

std::string CPostgresEngine::RunScript(const std::string& script)
{
    PQfinish(m_db);
    m_db = nullptr;
    const std::string name = "korvo_export_" + std::to_string(++m_runs);
    Query(m_admin, "DROP DATABASE IF EXISTS " + name);
    Query(m_admin, "CREATE DATABASE " + name + " ENCODING 'UTF8' TEMPLATE template0");
    m_db = Connect(m_conninfo + " dbname=" + name);
    // One simple query runs the whole script as one transaction.
    Result result(PQexec(m_db, script.c_str()), &PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        return PQresultErrorMessage(result.get());
    return "";
}

std::vector<std::string> CPostgresEngine::QueryRow(const std::string& sql)
{
    const Result result = Query(m_db, sql);
    std::vector<std::string> row;
    if (PQntuples(result.get()) > 0)
        for (int c = 0; c < PQnfields(result.get()); ++c)
            row.push_back(PQgetisnull(result.get(), 0, c) ? "NULL" : Cell(result, 0, c));
    return row;
}

std::vector<CatalogTable> CPostgresEngine::ReadCatalog()
{
    std::vector<CatalogTable> tables;
    const Result list = Query(m_db,
        "SELECT c.oid, c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
        "WHERE n.nspname = 'public' AND c.relkind IN ('r', 'p') ORDER BY c.relname COLLATE \"C\"");
    for (int t = 0; t < PQntuples(list.get()); ++t) {
        const std::string oid = Cell(list, t, 0);
        CatalogTable table;
        table.name = Cell(list, t, 1);
        const Result columns = Query(m_db,
            "SELECT attname, attnotnull, format_type(atttypid, atttypmod) FROM pg_attribute "
            "WHERE attrelid = $1::oid AND attnum > 0 AND NOT attisdropped ORDER BY attnum", {oid});
        for (int c = 0; c < PQntuples(columns.get()); ++c)
            table.columns.push_back({Cell(columns, c, 0), Cell(columns, c, 1) == "t", Cell(columns, c, 2)});

        const Result keys = Query(m_db,
            "SELECT con.oid, con.contype, r.relname, a.attname, fa.attname FROM pg_constraint con "
            "CROSS JOIN LATERAL unnest(con.conkey) WITH ORDINALITY AS k(attnum, ord) "
            "JOIN pg_attribute a ON a.attrelid = con.conrelid AND a.attnum = k.attnum "
            "LEFT JOIN pg_class r ON r.oid = con.confrelid "
            "LEFT JOIN pg_attribute fa ON fa.attrelid = con.confrelid AND fa.attnum = con.confkey[k.ord] "
            "WHERE con.conrelid = $1::oid AND con.contype IN ('p', 'u', 'f') ORDER BY con.oid, k.ord", {oid});
        std::map<std::string, CatalogForeignKey> foreign;
        std::map<std::string, std::vector<std::string>> unique;
        for (int k = 0; k < PQntuples(keys.get()); ++k) {
            const std::string type = Cell(keys, k, 1);
            if (type == "p") {
                table.primaryKey.push_back(Cell(keys, k, 3));
            } else if (type == "u") {
                unique[Cell(keys, k, 0)].push_back(Cell(keys, k, 3));
            } else {
                CatalogForeignKey& fk = foreign[Cell(keys, k, 0)];
                fk.refTable = Cell(keys, k, 2);
                fk.columns.push_back(Cell(keys, k, 3));
                fk.refColumns.push_back(Cell(keys, k, 4));
            }
        }
        for (const auto& [constraint, columnsOfKey] : unique)
            if (columnsOfKey.size() == 1)
                table.unique.push_back(columnsOfKey[0]);
        std::sort(table.unique.begin(), table.unique.end());
        for (auto& [constraint, fk] : foreign)
            table.foreignKeys.push_back(std::move(fk));
        std::sort(table.foreignKeys.begin(), table.foreignKeys.end());
        tables.push_back(std::move(table));
    }
    return tables;
}

std::vector<std::pair<std::string, std::string>> CPostgresEngine::ReadDescriptions()
{
    std::vector<std::pair<std::string, std::string>> descriptions;
    const Result result = Query(m_db,
        "SELECT name, description FROM (SELECT c.relname || CASE WHEN d.objsubid = 0 THEN '' ELSE '.' || a.attname END "
        "AS name, d.description FROM pg_description d JOIN pg_class c ON c.oid = d.objoid "
        "LEFT JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum = d.objsubid "
        "WHERE d.classoid = 'pg_class'::regclass) named ORDER BY name COLLATE \"C\"");
    for (int r = 0; r < PQntuples(result.get()); ++r)
        descriptions.emplace_back(Cell(result, r, 0), Cell(result, r, 1));
    return descriptions;
}

#include "CatalogText.h"

#include "CKorvoDoc.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

std::string Join(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& name : names)
        out += (out.empty() ? "" : ",") + name;
    return out;
}

std::string JoinColumns(const std::vector<CColumn*>& columns)
{
    std::vector<std::string> names;
    for (const CColumn* column : columns)
        names.push_back(column ? column->m_strName : "?");
    return Join(names);
}

std::string Sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

} // namespace

std::string CatalogText(const SchemaDescription& description)
{
    std::vector<std::string> lines;
    for (const SchemaTable& table : description.tables) {
        const std::string& t = table.name;
        lines.push_back("table\t" + t);
        for (size_t i = 0; i < table.columns.size(); ++i) {
            const SchemaColumn& c = table.columns[i];
            char position[24];
            std::snprintf(position, sizeof position, "%03zu", i + 1);
            lines.push_back("column\t" + t + "\t" + position + "\t" + c.name + "\t" + (c.notNull ? "1" : "0"));
            if (c.unique)
                lines.push_back("unique\t" + t + "\t" + c.name);
        }
        if (!table.primaryKey.empty())
            lines.push_back("pk\t" + t + "\t" + Join(table.primaryKey));
        for (const auto& key : table.uniqueKeys)
            lines.push_back("unique\t" + t + "\t" + Join(key));
        for (const SchemaForeignKey& key : table.foreignKeys)
            lines.push_back("fk\t" + t + "\t" + Join(key.columns) + "\t" + key.refTable + "\t" + Join(key.refColumns));
    }
    return Sorted(std::move(lines));
}

std::string DiagramCatalogText(const CKorvoDoc& doc)
{
    std::vector<std::string> lines;
    for (const auto& view : doc.m_tables) {
        const CTableDef& def = view->m_def;
        const std::string& t = def.m_strName;
        lines.push_back("table\t" + t);
        std::vector<std::string> key;
        for (size_t i = 0; i < def.m_columns.size(); ++i) {
            const CColumn& c = *def.m_columns[i];
            char position[24];
            std::snprintf(position, sizeof position, "%03zu", i + 1);
            lines.push_back("column\t" + t + "\t" + position + "\t" + c.m_strName + "\t" + (c.m_bRequired ? "1" : "0"));
            if (c.m_bUnique)
                lines.push_back("unique\t" + t + "\t" + c.m_strName);
            if (c.m_bPrimaryKey)
                key.push_back(c.m_strName);
        }
        std::sort(key.begin(), key.end());
        if (!key.empty())
            lines.push_back("pk\t" + t + "\t" + Join(key));
    }
    for (const auto& relation : doc.m_relations)
        lines.push_back("fk\t" + relation->m_pSource->m_def.m_strName + "\t" + JoinColumns(relation->m_sourceColumns) +
                        "\t" + relation->m_pDest->m_def.m_strName + "\t" + JoinColumns(relation->m_destColumns));
    return Sorted(std::move(lines));
}

std::string CatalogDifference(const std::string& actual, const std::string& expected)
{
    const auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        std::sort(out.begin(), out.end());
        return out;
    };
    const std::vector<std::string> a = lines(actual);
    const std::vector<std::string> e = lines(expected);
    std::vector<std::string> missing;
    std::vector<std::string> extra;
    std::set_difference(e.begin(), e.end(), a.begin(), a.end(), std::back_inserter(missing));
    std::set_difference(a.begin(), a.end(), e.begin(), e.end(), std::back_inserter(extra));
    std::string out;
    for (const std::string& line : missing)
        out += "- " + line + "\n";
    for (const std::string& line : extra)
        out += "+ " + line + "\n";
    return out;
}

std::string AsDiagramShowsIt(const std::string& catalog)
{
    std::istringstream in(catalog);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("unique\t", 0) == 0 && line.find(',') != std::string::npos)
            continue;
        if (line.rfind("pk\t", 0) == 0) {
            const size_t names = line.rfind('\t') + 1;
            std::vector<std::string> key;
            std::istringstream list(line.substr(names));
            for (std::string name; std::getline(list, name, ',');)
                key.push_back(name);
            std::sort(key.begin(), key.end());
            line = line.substr(0, names) + Join(key);
        }
        lines.push_back(line);
    }
    return Sorted(std::move(lines));
}

namespace {

// The catalog lines of an open SQLite database.
std::string SqliteCatalog(sqlite3* db)
{
    const char* query = R"(WITH t AS (SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite\_%' ESCAPE '\'),
 fk AS (SELECT t.name AS tab, f.id, f."table" AS ref, f.seq, f."from" AS col, f."to" AS refcol
        FROM t, pragma_foreign_key_list(t.name) f ORDER BY t.name, f.id, f.seq),
 pk AS (SELECT t.name AS tab, p.name AS col, p.pk FROM t, pragma_table_xinfo(t.name) p WHERE p.pk > 0
        ORDER BY t.name, p.pk),
 uq AS (SELECT t.name AS tab, i.name AS idx, c.seqno, c.name AS col
        FROM t, pragma_index_list(t.name) i, pragma_index_info(i.name) c
        WHERE i."unique" AND i.origin <> 'pk' AND NOT i.partial ORDER BY t.name, i.name, c.seqno)
SELECT 'table' || char(9) || name FROM t
UNION ALL
SELECT 'column' || char(9) || t.name || char(9) || printf('%03d', p.cid + 1) || char(9) || p.name || char(9) || p."notnull"
  FROM t, pragma_table_xinfo(t.name) p WHERE p.hidden <> 1
UNION ALL
SELECT 'pk' || char(9) || tab || char(9) || group_concat(col, ',') FROM pk GROUP BY tab
UNION ALL
SELECT 'fk' || char(9) || tab || char(9) || group_concat(col, ',') || char(9) || ref || char(9) || group_concat(refcol, ',')
  FROM fk GROUP BY tab, id
UNION ALL
SELECT 'unique' || char(9) || tab || char(9) || group_concat(col, ',') FROM uq GROUP BY tab, idx)";
    std::vector<std::string> lines;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, query, -1, &stmt, nullptr) == SQLITE_OK)
        while (sqlite3_step(stmt) == SQLITE_ROW)
            lines.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return Sorted(std::move(lines));
}

} // namespace

std::string SqliteEngineCatalog(const std::string& script)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK) {
        sqlite3_close(db);
        return "cannot open an in-memory database\n";
    }
    char* error = nullptr;
    std::string failure;
    if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
        failure = std::string("the script fails in sqlite3: ") + (error ? error : "") + "\n";
    sqlite3_free(error);
    std::string catalog = failure + SqliteCatalog(db);
    sqlite3_close(db);
    return catalog;
}

std::string SqliteFileCatalog(const std::string& path)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return "cannot open " + path + "\n";
    }
    std::string catalog = SqliteCatalog(db);
    sqlite3_close(db);
    return catalog;
}

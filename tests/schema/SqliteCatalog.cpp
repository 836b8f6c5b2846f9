#include "SqliteCatalog.h"

#include "CKorvoDoc.h"

#include <sqlite3.h>

#include <map>
#include <vector>

namespace {

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) { sqlite3_prepare_v2(db, sql.c_str(), -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool Ok() const { return m_stmt != nullptr; }
    bool Step() { return m_stmt && sqlite3_step(m_stmt) == SQLITE_ROW; }
    std::string Text(int column) const
    {
        const unsigned char* text = sqlite3_column_text(m_stmt, column);
        return text ? reinterpret_cast<const char*>(text) : "";
    }
    bool IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    int Int(int column) const { return sqlite3_column_int(m_stmt, column); }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

std::string Quoted(const std::string& name)
{
    std::string out = "\"";
    for (char c : name)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

CColumn* FirstNamed(KorvoTableView* table, const std::string& name)
{
    for (const auto& column : table->m_def.m_columns)
        if (column->m_strName == name)
            return column.get();
    return nullptr;
}

} // namespace

std::unique_ptr<CKorvoDoc> DiagramFromSqlite(const std::string& path, std::string& error)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db) : "cannot open " + path;
        sqlite3_close(db);
        return nullptr;
    }
    auto doc = std::make_unique<CKorvoDoc>();
    std::vector<std::string> names;
    {
        Statement tables(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
                             "ORDER BY rowid");
        if (!tables.Ok()) {
            error = sqlite3_errmsg(db);
            sqlite3_close(db);
            return nullptr;
        }
        while (tables.Step())
            names.push_back(tables.Text(0));
    }
    for (const std::string& name : names) {
        auto table = std::make_unique<KorvoTableView>();
        table->m_def.m_strName = name;
        Statement columns(db, "PRAGMA table_info(" + Quoted(name) + ")");
        while (columns.Step())
            table->m_def.AddColumn(std::make_unique<CColumn>(columns.Text(1), columns.Text(2), columns.Int(3) != 0,
                                                             columns.Text(4), columns.Int(5) > 0, false, "", ""));
        doc->AddTable(std::move(table));
    }
    for (const std::string& name : names) {
        KorvoTableView* source = doc->FindTable(name);
        struct Key {
            std::string dest;
            std::vector<std::string> from, to;
        };
        std::map<int, Key> keys;
        Statement fks(db, "PRAGMA foreign_key_list(" + Quoted(name) + ")");
        while (fks.Step()) {
            Key& key = keys[fks.Int(0)];
            key.dest = fks.Text(2);
            key.from.push_back(fks.Text(3));
            key.to.push_back(fks.IsNull(4) ? std::string() : fks.Text(4));
        }
        for (const auto& [id, key] : keys) {
            KorvoTableView* dest = doc->FindTable(key.dest);
            if (!dest)
                continue;
            auto relation = std::make_unique<CRelation>(source, nullptr, dest, nullptr);
            relation->m_sourceColumns.clear();
            relation->m_destColumns.clear();
            for (size_t i = 0; i < key.from.size(); ++i) {
                CColumn* from = FirstNamed(source, key.from[i]);
                CColumn* to = key.to[i].empty() ? nullptr : FirstNamed(dest, key.to[i]);
                if (!to) { // no column named: the destination's i-th key column
                    size_t k = 0;
                    for (const auto& column : dest->m_def.m_columns)
                        if (column->m_bPrimaryKey && k++ == i)
                            to = column.get();
                }
                if (from && to) {
                    relation->m_sourceColumns.push_back(from);
                    relation->m_destColumns.push_back(to);
                }
            }
            if (!relation->m_sourceColumns.empty())
                doc->AddRelation(std::move(relation));
        }
    }
    sqlite3_close(db);
    return doc;
}

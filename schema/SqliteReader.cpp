// SQLite: the engine itself reads the script's schema statements in a
// private in-memory database, then its catalog is read back.
#include "AsciiCase.h"
#include "CSchemaBuilder.h"
#include "CSqlTokenizer.h"
#include "CTolerantReader.h"
#include "DialectReaders.h"
#include "ImportReport.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace {

// Work the engine may do for one script: enough for hundreds of thousands
// of schema statements, and a bound on anything else.
constexpr long long kStepBudget = 2'000'000'000LL;
constexpr int kStepsPerCallback = 10'000;
// Memory the engine may hold while it reads.
constexpr sqlite3_int64 kHeapLimit = sqlite3_int64(1) << 30;

constexpr const char* kVfsName = "korvo-no-files";

// A VFS that opens, deletes and finds no file: the in-memory database needs
// none, and nothing a script says can reach the file system through it.
int RefuseOpen(sqlite3_vfs*, sqlite3_filename, sqlite3_file*, int, int*)
{
    return SQLITE_CANTOPEN;
}

int RefuseDelete(sqlite3_vfs*, const char*, int)
{
    return SQLITE_IOERR_DELETE;
}

int RefuseAccess(sqlite3_vfs*, const char*, int, int* result)
{
    *result = 0;
    return SQLITE_OK;
}

sqlite3_vfs* NoFileVfs()
{
    static sqlite3_vfs vfs;
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_initialize();
        const sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
        vfs = *base;
        vfs.zName = kVfsName;
        vfs.pNext = nullptr;
        vfs.xOpen = RefuseOpen;
        vfs.xDelete = RefuseDelete;
        vfs.xAccess = RefuseAccess;
        vfs.xDlOpen = nullptr;
        vfs.xDlError = nullptr;
        vfs.xDlSym = nullptr;
        vfs.xDlClose = nullptr;
        sqlite3_vfs_register(&vfs, 0);
    });
    return &vfs;
}

bool IsSchemaTable(const char* table)
{
    return table && (std::strcmp(table, "sqlite_master") == 0 || std::strcmp(table, "sqlite_schema") == 0 ||
                     std::strcmp(table, "sqlite_sequence") == 0);
}

// Lets through what shapes tables and indexes, nothing else: no data, no
// ATTACH or DETACH, no PRAGMA, no temporary or virtual objects.
int Authorize(void* enabled, int action, const char* a, const char*, const char*, const char*)
{
    if (!*static_cast<bool*>(enabled))
        return SQLITE_OK;
    switch (action) {
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_INDEX:
    case SQLITE_DROP_TABLE:
    case SQLITE_DROP_INDEX:
    case SQLITE_ALTER_TABLE:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_REINDEX:
    case SQLITE_ANALYZE:
        return SQLITE_OK;
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
        return IsSchemaTable(a) ? SQLITE_OK : SQLITE_DENY;
    default:
        return SQLITE_DENY;
    }
}

struct Budget {
    long long steps = 0;
    const ReaderProgress* progress = nullptr;
    size_t offset = 0;
    bool cancelled = false;
};

int CountSteps(void* data)
{
    auto* budget = static_cast<Budget*>(data);
    budget->steps += kStepsPerCallback;
    return budget->steps > kStepBudget || budget->cancelled;
}

struct StatementSpan {
    size_t begin = 0;
    size_t end = 0; // past the delimiter
    int line = 1;
    std::string kind;
    bool schema = false; // a statement for the engine
};


// Cuts the script into statements by SQLite's lexical rules; a trigger's
// BEGIN ... END body stays one statement.
class CStatementSplitter {
public:
    explicit CStatementSplitter(std::string_view script) : m_tokens(script, SqlDialect::Sqlite) {}

    bool Next(StatementSpan& span)
    {
        SqlToken first = m_tokens.Next();
        while (first.kind == SqlTokenKind::Delimiter)
            first = m_tokens.Next();
        if (first.kind == SqlTokenKind::End)
            return false;
        span = StatementSpan();
        span.begin = first.begin;
        span.line = first.line;
        std::vector<std::string> words{AsciiUpperCopy(first.text)};
        int depth = 0;
        SqlToken t = first;
        for (;;) {
            t = m_tokens.Next();
            if (t.kind == SqlTokenKind::End)
                break;
            if (t.kind == SqlTokenKind::Delimiter && depth <= 0)
                break;
            if (words.size() < 4 && t.kind == SqlTokenKind::Word)
                words.push_back(AsciiUpperCopy(t.text));
            if (t.Is("BEGIN") || t.Is("CASE"))
                ++depth;
            else if (t.Is("END"))
                --depth;
        }
        span.end = t.end;
        Classify(words, span);
        return true;
    }

private:
    static void Classify(const std::vector<std::string>& words, StatementSpan& span)
    {
        auto at = [&words](size_t i) { return i < words.size() ? words[i] : std::string(); };
        span.kind = at(0);
        if (at(0) == "CREATE") {
            size_t i = 1;
            bool temporary = false;
            bool unique = false;
            while (at(i) == "TEMP" || at(i) == "TEMPORARY" || at(i) == "UNIQUE" || at(i) == "VIRTUAL") {
                temporary = temporary || at(i) == "TEMP" || at(i) == "TEMPORARY";
                unique = unique || at(i) == "UNIQUE";
                if (at(i) == "VIRTUAL")
                    span.kind = "CREATE VIRTUAL";
                ++i;
            }
            if (span.kind == "CREATE VIRTUAL") {
                span.kind += " " + at(i);
                return;
            }
            span.kind = std::string("CREATE ") + (temporary ? "TEMPORARY " : "") + (unique ? "UNIQUE " : "") + at(i);
            span.schema = !temporary && (at(i) == "TABLE" || at(i) == "INDEX");
        } else if (at(0) == "ALTER" || at(0) == "DROP") {
            span.kind = at(0) + " " + at(1);
            span.schema = at(1) == "TABLE" || (at(0) == "DROP" && at(1) == "INDEX");
        }
    }

    CSqlTokenizer m_tokens;
};

class CSqliteCatalog {
public:
    explicit CSqliteCatalog(sqlite3* db) : m_db(db) {}

    bool Query(const char* sql, const std::string& parameter, const std::function<void(sqlite3_stmt*)>& row)
    {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            return false;
        sqlite3_bind_text(stmt, 1, parameter.c_str(), int(parameter.size()), SQLITE_TRANSIENT);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            row(stmt);
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE;
    }

    static std::string Text(sqlite3_stmt* stmt, int column)
    {
        const unsigned char* text = sqlite3_column_text(stmt, column);
        return text ? std::string(reinterpret_cast<const char*>(text), size_t(sqlite3_column_bytes(stmt, column)))
                    : std::string();
    }

private:
    sqlite3* m_db;
};

void ReadTable(CSqliteCatalog& catalog, const std::string& name, const std::string& sql, SchemaTable& table,
               ImportReport& report)
{
    std::map<int, std::string> keyColumns;
    catalog.Query("SELECT name, type, \"notnull\", dflt_value, pk, hidden FROM pragma_table_xinfo(?1) ORDER BY cid",
                  name, [&](sqlite3_stmt* row) {
                      if (sqlite3_column_int(row, 5) == 1)
                          return; // a virtual table's hidden column
                      SchemaColumn column;
                      column.name = CSqliteCatalog::Text(row, 0);
                      column.type = CSqliteCatalog::Text(row, 1);
                      column.notNull = sqlite3_column_int(row, 2) != 0;
                      column.defaultValue = CSqliteCatalog::Text(row, 3);
                      if (const int pk = sqlite3_column_int(row, 4); pk > 0) {
                          keyColumns[pk] = column.name;
                          column.primaryKey = true;
                      }
                      report.Cut(column.name, ImportReport::kMaxNameBytes);
                      report.Cut(column.type, ImportReport::kMaxTextBytes);
                      report.Cut(column.defaultValue, ImportReport::kMaxTextBytes);
                      table.columns.push_back(std::move(column));
                  });
    for (auto& [position, column] : keyColumns) {
        report.Cut(column, ImportReport::kMaxNameBytes);
        table.primaryKey.push_back(column);
    }

    // Foreign keys, grouped by id; the engine lists the last declared first.
    std::map<int, SchemaForeignKey, std::greater<int>> keys;
    catalog.Query("SELECT id, \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?1) ORDER BY id, seq", name,
                  [&](sqlite3_stmt* row) {
                      SchemaForeignKey& key = keys[sqlite3_column_int(row, 0)];
                      key.refTable = CSqliteCatalog::Text(row, 1);
                      key.columns.push_back(CSqliteCatalog::Text(row, 2));
                      if (sqlite3_column_type(row, 3) != SQLITE_NULL)
                          key.refColumns.push_back(CSqliteCatalog::Text(row, 3));
                  });
    for (auto& [id, key] : keys) {
        report.Cut(key.refTable, ImportReport::kMaxNameBytes);
        for (std::string& name : key.columns)
            report.Cut(name, ImportReport::kMaxNameBytes);
        for (std::string& name : key.refColumns)
            report.Cut(name, ImportReport::kMaxNameBytes);
        table.foreignKeys.push_back(std::move(key));
    }

    std::vector<std::string> uniqueIndexes;
    catalog.Query("SELECT name FROM pragma_index_list(?1) WHERE \"unique\" AND origin <> 'pk' AND NOT partial "
                  "ORDER BY seq DESC",
                  name, [&](sqlite3_stmt* row) { uniqueIndexes.push_back(CSqliteCatalog::Text(row, 0)); });
    for (const std::string& index : uniqueIndexes) {
        std::vector<std::string> columns;
        bool plain = true;
        catalog.Query("SELECT name FROM pragma_index_info(?1) ORDER BY seqno", index, [&](sqlite3_stmt* row) {
            if (sqlite3_column_type(row, 0) == SQLITE_NULL)
                plain = false; // an expression
            else
                columns.push_back(CSqliteCatalog::Text(row, 0));
            report.Cut(columns.back(), ImportReport::kMaxNameBytes);
        });
        if (plain && !columns.empty())
            table.uniqueKeys.push_back(std::move(columns));
    }

    // The engine keeps no CHECK texts apart: read them from the statement it stored.
    CSchemaBuilder scratch(SqlDialect::Sqlite);
    ImportReport scratchReport;
    CTolerantReader reader(sql, SqlDialect::Sqlite, scratch, scratchReport);
    reader.ReadAll();
    SchemaDescription parsed = scratch.Finish();
    if (parsed.tables.size() == 1) {
        const SchemaTable& source = parsed.tables.front();
        table.checks = source.checks;
        table.comment = source.comment;
        for (SchemaColumn& column : table.columns)
            if (const SchemaColumn* written = source.FindColumn(column.name))
                column.check = written->check;
    }
}

} // namespace

bool ReadSqliteScript(std::string_view script, SchemaDescription& description, ImportReport& report,
                      const ReaderProgress& progress)
{
    sqlite3* raw = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY | SQLITE_OPEN_NOMUTEX |
                      SQLITE_OPEN_PRIVATECACHE | SQLITE_OPEN_EXRESCODE;
    const int opened = sqlite3_open_v2(":memory:", &raw, flags, NoFileVfs()->zName);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, &sqlite3_close);
    if (opened != SQLITE_OK) {
        report.Unreadable("script", 1, "the SQLite engine could not start");
        return true;
    }
    sqlite3_db_config(raw, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_limit(raw, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_exec(raw, "PRAGMA temp_store = MEMORY", nullptr, nullptr, nullptr);

    bool authorizing = true;
    sqlite3_set_authorizer(raw, Authorize, &authorizing);
    Budget budget;
    budget.progress = &progress;
    sqlite3_progress_handler(raw, kStepsPerCallback, CountSteps, &budget);
    // The heap limit is the process's: set for this read, then put back.
    const sqlite3_int64 previousLimit = sqlite3_hard_heap_limit64(-1);
    if (previousLimit == 0 || previousLimit > kHeapLimit)
        sqlite3_hard_heap_limit64(kHeapLimit);

    CStatementSplitter splitter(script);
    StatementSpan span;
    std::string text;
    int statements = 0;
    bool stopped = false;
    while (splitter.Next(span)) {
        if (progress && (++statements & 63) == 0 && !progress(span.begin)) {
            stopped = true;
            break;
        }
        if (!span.schema) {
            report.Skip(span.kind, span.line);
            continue;
        }
        text.assign(script.substr(span.begin, span.end - span.begin));
        const char* sql = text.c_str();
        while (*sql) {
            sqlite3_stmt* stmt = nullptr;
            const char* tail = nullptr;
            int rc = sqlite3_prepare_v2(raw, sql, -1, &stmt, &tail);
            if (rc == SQLITE_OK && stmt) {
                while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
                }
                if (rc == SQLITE_DONE)
                    rc = SQLITE_OK;
            }
            if (rc != SQLITE_OK)
                report.Unreadable(span.kind, span.line, sqlite3_errmsg(raw));
            sqlite3_finalize(stmt);
            if (rc != SQLITE_OK || !tail || tail == sql)
                break;
            sql = tail;
        }
        if (budget.steps > kStepBudget) {
            report.truncated = true;
            break;
        }
    }
    sqlite3_hard_heap_limit64(previousLimit);
    if (stopped)
        return false;

    authorizing = false;
    sqlite3_set_authorizer(raw, nullptr, nullptr);
    sqlite3_progress_handler(raw, 0, nullptr, nullptr);
    CSqliteCatalog catalog(raw);
    std::vector<std::pair<std::string, std::string>> tables;
    catalog.Query("SELECT name, sql FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE "
                  "'\\' ORDER BY rowid",
                  std::string(), [&](sqlite3_stmt* row) {
                      tables.emplace_back(CSqliteCatalog::Text(row, 0), CSqliteCatalog::Text(row, 1));
                  });
    CSchemaBuilder builder(SqlDialect::Sqlite);
    for (auto& [name, sql] : tables) {
        std::string shown = name;
        report.Cut(shown, ImportReport::kMaxNameBytes);
        SchemaTable* table = builder.Create("", shown);
        if (table)
            ReadTable(catalog, name, sql, *table, report);
    }
    description = builder.Finish();
    return true;
}

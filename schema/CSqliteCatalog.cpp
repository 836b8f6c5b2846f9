#include "CSqliteCatalog.h"

#include "CCatalogAssembly.h"
#include "SqliteCreateText.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

constexpr int kReadSteps = 4;

struct StatementDeleter {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

std::string Text(sqlite3_stmt* statement, int column)
{
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

bool IsNull(sqlite3_stmt* statement, int column)
{
    return sqlite3_column_type(statement, column) == SQLITE_NULL;
}

// SQLite folds only ASCII letters when it compares names.
std::string FoldName(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

std::string_view TextView(sqlite3_stmt* statement, int column)
{
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? std::string_view(reinterpret_cast<const char*>(text),
                                   static_cast<size_t>(sqlite3_column_bytes(statement, column)))
                : std::string_view();
}

// The file: URI of a path, with every byte outside the unreserved set
// %-escaped so '?', '#' and '%' in a name stay part of it.
std::string FileUri(const std::string& path, std::string_view query)
{
    static const char* const hex = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : std::filesystem::absolute(path).lexically_normal().string()) {
        if (std::isalnum(c) || std::strchr("/-._~", c)) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    uri += '?';
    uri.append(query);
    return uri;
}

LiveResult<std::unique_ptr<CLiveDatabase>> Failure(LiveErrorCode code, std::string message)
{
    LiveResult<std::unique_ptr<CLiveDatabase>> result;
    result.error = {code, std::move(message)};
    return result;
}

// What is known of every table of the database, chosen or not: foreign
// keys name tables and columns as they were written, in any letter case.
struct TableFacts {
    std::string name;
    bool withoutRowid = false;
    std::string sql;
    std::vector<std::string> columns;
    std::vector<std::pair<int, std::string>> primaryKey; // position, column
    SchemaTable* chosen = nullptr;                       // its description, when it is read
};

} // namespace

struct CSqliteCatalog::Catalog {
    std::vector<TableFacts> tables;
    std::unordered_map<std::string, size_t> byName;
    std::unordered_map<std::string, size_t> byFoldedName;
    TableFacts* last = nullptr;

    // A table by a name as a foreign key writes it, in any letter case.
    TableFacts* Find(std::string_view name)
    {
        auto it = byFoldedName.find(FoldName(name));
        return it == byFoldedName.end() ? nullptr : &tables[it->second];
    }
    // The table a pragma row names, exactly; a table's rows come together.
    TableFacts* OfRow(sqlite3_stmt* row)
    {
        const std::string_view name = TextView(row, 0);
        if (last && last->name == name)
            return last;
        auto it = byName.find(std::string(name));
        last = it == byName.end() ? nullptr : &tables[it->second];
        return last;
    }
};

LiveResult<std::unique_ptr<CLiveDatabase>> CSqliteCatalog::Open(const DatabaseSource& source)
{
    const std::string& path = source.path;
    if (path.empty())
        return Failure(LiveErrorCode::BadSource, "No SQLite database file given");

    // Look before SQLite does: a FIFO would block its open, a device or a
    // folder is no database. O_NONBLOCK keeps this open from blocking too.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        return Failure(error == ENOENT ? LiveErrorCode::NotFound : LiveErrorCode::ConnectFailed,
                       "Cannot open " + path + ": " + std::strerror(error));
    }
    struct stat st {};
    unsigned char header[100] = {};
    ssize_t got = 0;
    const bool statted = ::fstat(fd, &st) == 0;
    if (statted && S_ISREG(st.st_mode))
        got = ::pread(fd, header, sizeof header, 0);
    ::close(fd);
    if (!statted)
        return Failure(LiveErrorCode::ConnectFailed, "Cannot read " + path);
    if (S_ISDIR(st.st_mode))
        return Failure(LiveErrorCode::NotADatabase, path + " is a folder, not a SQLite database");
    if (!S_ISREG(st.st_mode))
        return Failure(LiveErrorCode::NotADatabase, path + " is not a regular file, so not a SQLite database");
    static const char magic[] = "SQLite format 3";
    if (st.st_size != 0 && (got < static_cast<ssize_t>(sizeof header) || std::memcmp(header, magic, sizeof magic) != 0))
        return Failure(LiveErrorCode::NotADatabase, path + " is not a SQLite database");

    // Bytes 18 and 19 are 2 in a database in WAL mode. Reading one read-only
    // would create its -shm file unless both side files exist already.
    const bool wal = header[18] == 2 || header[19] == 2;
    std::error_code ec;
    const bool sideFiles = std::filesystem::exists(path + "-wal", ec) && std::filesystem::exists(path + "-shm", ec);
    const std::string uri = FileUri(path, wal && !sideFiles ? "mode=ro&immutable=1" : "mode=ro");

    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        return Failure(LiveErrorCode::ConnectFailed, "Cannot open " + path + ": " + message);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, std::max(1, source.connectTimeoutSeconds) * 1000);
    sqlite3_exec(db, "PRAGMA query_only = 1; PRAGMA trusted_schema = 0", nullptr, nullptr, nullptr);

    auto catalog = std::make_unique<CSqliteCatalog>(db, path);
    catalog->m_owned = true;
    // The schema is read at the first statement; a damaged or foreign file
    // shows here rather than in the middle of a read.
    const int check = sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
    if (check != SQLITE_OK) {
        const int primary = check & 0xff;
        if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
            return Failure(LiveErrorCode::NotADatabase,
                           path + " is not a SQLite database, or is damaged: " + sqlite3_errmsg(db));
        return Failure(primary == SQLITE_BUSY ? LiveErrorCode::Timeout : LiveErrorCode::ConnectFailed,
                       "Cannot read " + path + ": " + sqlite3_errmsg(db));
    }
    LiveResult<std::unique_ptr<CLiveDatabase>> result;
    result.value = std::move(catalog);
    return result;
}

CSqliteCatalog::CSqliteCatalog(sqlite3* db, std::string description) : m_db(db), m_description(std::move(description))
{
}

CSqliteCatalog::~CSqliteCatalog()
{
    if (m_owned)
        sqlite3_close_v2(m_db);
}

std::string CSqliteCatalog::ServerDescription() const
{
    std::string text = std::string("SQLite ") + sqlite3_libversion();
    if (!m_description.empty())
        text += " (" + m_description + ")";
    return text;
}

LiveError CSqliteCatalog::Error(std::string_view what) const
{
    const int code = sqlite3_extended_errcode(m_db) & 0xff;
    LiveErrorCode kind = LiveErrorCode::QueryFailed;
    if (m_cancelled || code == SQLITE_INTERRUPT)
        return {LiveErrorCode::Cancelled, "Reading " + m_description + " was cancelled"};
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        kind = LiveErrorCode::Timeout;
    else if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
        kind = LiveErrorCode::NotADatabase;
    return {kind, CleanMessage(std::string(what) + " of " + m_description + " failed: " + sqlite3_errmsg(m_db), {})};
}

LiveResult<std::vector<std::string>> CSqliteCatalog::ListSchemas()
{
    LiveResult<std::vector<std::string>> result;
    result.value = {"main"};
    return result;
}

LiveResult<std::vector<QualifiedTable>> CSqliteCatalog::ListTables(const std::vector<std::string>& schemas)
{
    LiveResult<std::vector<QualifiedTable>> result;
    for (const std::string& schema : schemas) {
        if (schema != "main") {
            result.error = {LiveErrorCode::NotFound,
                            "No schema " + schema + " in " + m_description + " (a SQLite file has one: main)"};
            return result;
        }
    }
    if (schemas.empty())
        return result;
    Catalog catalog;
    m_progress = nullptr;
    if (LiveError error = ReadCatalog(catalog); error.Failed()) {
        result.error = std::move(error);
        return result;
    }
    for (const TableFacts& table : catalog.tables)
        result.value.push_back({"main", table.name});
    return result;
}

int CSqliteCatalog::OnProgress(void* self)
{
    auto* catalog = static_cast<CSqliteCatalog*>(self);
    if (!catalog->m_progress || !*catalog->m_progress)
        return 0;
    const auto now = std::chrono::steady_clock::now();
    if (now - catalog->m_lastCall < std::chrono::milliseconds(100))
        return 0;
    catalog->m_lastCall = now;
    if ((*catalog->m_progress)(catalog->m_where))
        return 0;
    catalog->m_cancelled = true;
    return 1;
}

bool CSqliteCatalog::Step(const ProgressCallback& progress, int done, int total, std::string_view what)
{
    m_where = {done, total, what};
    m_lastCall = std::chrono::steady_clock::now();
    if (progress && !progress(m_where))
        m_cancelled = true;
    return !m_cancelled;
}

// Every base table of the main schema with its CREATE text, in name order.
LiveError CSqliteCatalog::ReadCatalog(Catalog& catalog)
{
    auto rows = [this](const char* sql, auto&& onRow) -> LiveError {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &raw, nullptr) != SQLITE_OK)
            return Error("Listing the tables");
        Statement statement(raw);
        int rc;
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW)
            onRow(raw);
        return rc == SQLITE_DONE ? LiveError() : Error("Listing the tables");
    };
    // Two queries joined here: joined in SQL, SQLite looks each name up in
    // a schema hash that grows slow past some thousand tables.
    LiveError error = rows("SELECT name, wr FROM pragma_table_list"
                           " WHERE schema = 'main' AND type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"
                           " ORDER BY name",
                           [&](sqlite3_stmt* row) {
                               TableFacts& table = catalog.tables.emplace_back();
                               table.name = Text(row, 0);
                               table.withoutRowid = sqlite3_column_int(row, 1) != 0;
                           });
    if (error.Failed())
        return error;
    for (size_t i = 0; i < catalog.tables.size(); ++i) {
        catalog.byFoldedName.emplace(FoldName(catalog.tables[i].name), i);
        catalog.byName.emplace(catalog.tables[i].name, i);
    }
    return rows("SELECT name, sql FROM main.sqlite_schema WHERE type = 'table'", [&](sqlite3_stmt* row) {
        if (TableFacts* table = catalog.OfRow(row))
            table->sql = Text(row, 1);
    });
}

LiveResult<SchemaDescription> CSqliteCatalog::ReadTables(const std::vector<QualifiedTable>& tables,
                                                         const ProgressCallback& progress)
{
    LiveResult<SchemaDescription> result;
    std::vector<QualifiedTable> chosen = tables;
    for (QualifiedTable& table : chosen)
        if (table.schema.empty())
            table.schema = "main";
    CCatalogAssembly assembly(chosen);
    if (assembly.Size() == 0) {
        result.error = {LiveErrorCode::NoTables, "No tables chosen in " + m_description};
        return result;
    }
    m_progress = &progress;
    m_cancelled = false;
    sqlite3_progress_handler(m_db, 10000, &CSqliteCatalog::OnProgress, this);
    // One read transaction: every query sees the same database, whatever
    // another program commits meanwhile.
    sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
    struct Finish {
        CSqliteCatalog* self;
        ~Finish()
        {
            sqlite3_exec(self->m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_progress_handler(self->m_db, 0, nullptr, nullptr);
            self->m_progress = nullptr;
        }
    } finish{this};

    auto fail = [&](LiveError error) {
        result.error = std::move(error);
        return std::move(result);
    };
    auto query = [&](const char* sql, std::string_view what, auto&& onRow) -> LiveError {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &raw, nullptr) != SQLITE_OK)
            return Error(what);
        Statement statement(raw);
        int rc;
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW)
            onRow(raw);
        return rc == SQLITE_DONE ? LiveError() : Error(what);
    };
    auto cancelled = [&] { return LiveError{LiveErrorCode::Cancelled, "Reading " + m_description + " was cancelled"}; };

    if (!Step(progress, 0, kReadSteps, "Reading tables"))
        return fail(cancelled());
    Catalog catalog;
    if (LiveError error = ReadCatalog(catalog); error.Failed())
        return fail(std::move(error));
    for (TableFacts& facts : catalog.tables)
        if ((facts.chosen = assembly.Find("main", facts.name)))
            assembly.MarkFound(*facts.chosen);
    if (const QualifiedTable* missing = assembly.FirstMissing())
        return fail(TableGoneError(*missing, false));

    if (!Step(progress, 1, kReadSteps, "Reading columns"))
        return fail(cancelled());
    // The queries leave the order to SQLite: each table's rows come
    // together and in their own order, and sorting them all costs more than
    // the query.
    LiveError error = query(
        "SELECT l.name, c.name, c.type, c.\"notnull\", c.dflt_value, c.pk"
        " FROM pragma_table_list AS l, pragma_table_xinfo(l.name, 'main') AS c"
        " WHERE l.schema = 'main' AND l.type = 'table' AND l.name NOT LIKE 'sqlite\\_%' ESCAPE '\\'",
        "Reading the columns", [&](sqlite3_stmt* row) {
            TableFacts* facts = catalog.OfRow(row);
            if (!facts)
                return;
            std::string name = Text(row, 1);
            const int pk = sqlite3_column_int(row, 5);
            if (pk > 0)
                facts->primaryKey.emplace_back(pk, name);
            facts->columns.push_back(name);
            if (SchemaTable* table = facts->chosen) {
                SchemaColumn& column = table->columns.emplace_back();
                column.name = std::move(name);
                column.type = Text(row, 2);
                column.notNull = sqlite3_column_int(row, 3) != 0;
                column.defaultValue = Text(row, 4);
            }
        });
    if (error.Failed())
        return fail(std::move(error));

    // Keys: the primary key from the column positions; NOT NULL where SQLite
    // implies it (a WITHOUT ROWID table, or an INTEGER PRIMARY KEY alias of
    // the rowid).
    for (size_t i = 0; i < assembly.Size(); ++i) {
        SchemaTable& table = assembly.At(i);
        TableFacts* facts = catalog.Find(table.name);
        std::sort(facts->primaryKey.begin(), facts->primaryKey.end());
        std::vector<std::string> key;
        for (const auto& [position, name] : facts->primaryKey)
            key.push_back(name);
        CCatalogAssembly::AddPrimaryKey(table, key);
        for (SchemaColumn& column : table.columns) {
            const bool rowidAlias = key.size() == 1 && FoldName(column.type) == "integer";
            if (column.primaryKey && (facts->withoutRowid || rowidAlias))
                column.notNull = true;
        }
    }

    if (!Step(progress, 2, kReadSteps, "Reading unique keys"))
        return fail(cancelled());
    struct Unique {
        SchemaTable* table;
        std::string index;
        std::vector<std::string> columns;
        bool expression = false;
    };
    std::vector<Unique> uniques;
    error = query("SELECT l.name, il.name, ii.name"
                  " FROM pragma_table_list AS l, pragma_index_list(l.name, 'main') AS il,"
                  " pragma_index_info(il.name, 'main') AS ii"
                  " WHERE l.schema = 'main' AND l.type = 'table' AND il.\"unique\" AND NOT il.partial"
                  " AND il.origin <> 'pk'",
                  "Reading the unique keys", [&](sqlite3_stmt* row) {
                      TableFacts* facts = catalog.OfRow(row);
                      if (!facts || !facts->chosen)
                          return;
                      const std::string_view index = TextView(row, 1);
                      if (uniques.empty() || uniques.back().table != facts->chosen || uniques.back().index != index)
                          uniques.push_back({facts->chosen, std::string(index), {}, false});
                      if (IsNull(row, 2))
                          uniques.back().expression = true;
                      else
                          uniques.back().columns.push_back(Text(row, 2));
                  });
    if (error.Failed())
        return fail(std::move(error));
    // A table's keys in the order of their index names.
    std::stable_sort(uniques.begin(), uniques.end(), [](const Unique& a, const Unique& b) {
        return a.table != b.table ? a.table < b.table : a.index < b.index;
    });
    for (Unique& unique : uniques)
        if (!unique.expression)
            CCatalogAssembly::AddUnique(*unique.table, std::move(unique.columns));

    if (!Step(progress, 3, kReadSteps, "Reading foreign keys"))
        return fail(cancelled());
    struct Reference {
        TableFacts* facts;
        int id;
        SchemaForeignKey key;
        bool implicitTarget = false;
    };
    std::vector<Reference> references;
    error = query("SELECT l.name, f.id, f.\"table\", f.\"from\", f.\"to\""
                  " FROM pragma_table_list AS l, pragma_foreign_key_list(l.name, 'main') AS f"
                  " WHERE l.schema = 'main' AND l.type = 'table'",
                  "Reading the foreign keys", [&](sqlite3_stmt* row) {
                      TableFacts* facts = catalog.OfRow(row);
                      if (!facts || !facts->chosen)
                          return;
                      const int id = sqlite3_column_int(row, 1);
                      if (references.empty() || references.back().facts != facts || references.back().id != id) {
                          Reference& reference = references.emplace_back();
                          reference.facts = facts;
                          reference.id = id;
                          reference.key.refTable = Text(row, 2);
                      }
                      Reference& reference = references.back();
                      reference.key.columns.push_back(Text(row, 3));
                      if (IsNull(row, 4))
                          reference.implicitTarget = true;
                      else
                          reference.key.refColumns.push_back(Text(row, 4));
                  });
    if (error.Failed())
        return fail(std::move(error));

    // pragma_foreign_key_list numbers a table's keys from the last declared.
    std::stable_sort(references.begin(), references.end(), [](const Reference& a, const Reference& b) {
        return a.facts != b.facts ? a.facts < b.facts : a.id > b.id;
    });
    // Names as the tables spell them; a key without a column list refers to
    // the parent's primary key.
    auto canonicalColumn = [](const TableFacts* facts, std::string& name) {
        if (!facts)
            return;
        for (const std::string& column : facts->columns)
            if (SameNameIgnoringCase(column, name)) {
                name = column;
                return;
            }
    };
    for (Reference& reference : references) {
        SchemaForeignKey& key = reference.key;
        const TableFacts* own = reference.facts;
        const TableFacts* parent = catalog.Find(key.refTable);
        for (std::string& name : key.columns)
            canonicalColumn(own, name);
        if (parent) {
            key.refTable = parent->name;
            key.refSchema = "main";
            if (reference.implicitTarget) {
                key.refColumns.clear();
                for (const auto& [position, name] : parent->primaryKey)
                    key.refColumns.push_back(name);
            }
            for (std::string& name : key.refColumns)
                canonicalColumn(parent, name);
        }
        own->chosen->foreignKeys.push_back(std::move(key));
    }

    // Checks live only in the CREATE TABLE text.
    for (size_t i = 0; i < assembly.Size(); ++i) {
        SchemaTable& table = assembly.At(i);
        const TableFacts* facts = catalog.Find(table.name);
        for (SqliteCheck& check : FindSqliteChecks(facts->sql)) {
            std::string column = check.column;
            canonicalColumn(facts, column);
            CCatalogAssembly::AddCheck(table, column, std::move(check.expression));
        }
    }
    result.value = assembly.Finish();
    return result;
}

#include "CMariaDbCatalog.h"

#include "CCatalogAssembly.h"

#include <mysql.h>
#include <mysqld_error.h>
#include <errmsg.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <map>
#include <mutex>
#include <poll.h>
#include <tuple>
#include <unordered_set>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReadSteps = 6;

// The schemas of the server itself.
constexpr const char* kSystemSchemas = "('information_schema', 'mysql', 'performance_schema', 'sys')";

std::string Field(MYSQL_ROW row, unsigned long* lengths, int column)
{
    return row[column] ? std::string(row[column], lengths[column]) : std::string();
}

int Number(const char* text)
{
    int value = 0;
    if (text)
        std::from_chars(text, text + std::char_traits<char>::length(text), value);
    return value;
}

// Column names compare without regard to case in MariaDB; a foreign key
// may spell one differently from its table.
void CanonicalColumn(const SchemaTable* table, std::string& name)
{
    if (!table)
        return;
    for (const SchemaColumn& column : table->columns)
        if (SameNameIgnoringCase(column.name, name)) {
            name = column.name;
            return;
        }
}

bool IsConnectionGone(unsigned code)
{
    return code == CR_SERVER_GONE_ERROR || code == CR_SERVER_LOST || code == ER_CONNECTION_KILLED ||
           code == ER_SERVER_SHUTDOWN || code == CR_CONNECTION_ERROR || code == CR_CONN_HOST_ERROR;
}

} // namespace

void CMariaDbCatalog::ResultDeleter::operator()(st_mysql_res* result) const
{
    mysql_free_result(result);
}

LiveResult<std::unique_ptr<CLiveDatabase>> CMariaDbCatalog::Connect(const DatabaseSource& source)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { mysql_library_init(0, nullptr, nullptr); });

    LiveResult<std::unique_ptr<CLiveDatabase>> result;
    const std::vector<std::string> secrets = source.Secrets();
    const std::string where = source.Describe();
    MYSQL* mysql = mysql_init(nullptr);
    if (!mysql) {
        result.error = {LiveErrorCode::ConnectFailed, "Cannot connect to " + where + ": out of memory"};
        return result;
    }
    mysql_options(mysql, MYSQL_READ_DEFAULT_GROUP, "client");
    const unsigned connectTimeout = static_cast<unsigned>(std::max(1, source.connectTimeoutSeconds));
    // The connector's own read timeout stays behind Korvo's, which ends a
    // read with a clear message first.
    const unsigned ioTimeout = static_cast<unsigned>(std::max(1, source.readTimeoutSeconds) + 5);
    mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout);
    mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, &ioTimeout);
    mysql_options(mysql, MYSQL_OPT_WRITE_TIMEOUT, &ioTimeout);
    mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    if (!source.socket.empty()) {
        const unsigned protocol = MYSQL_PROTOCOL_SOCKET;
        mysql_options(mysql, MYSQL_OPT_PROTOCOL, &protocol);
    } else if (source.host != "localhost") {
        const unsigned protocol = MYSQL_PROTOCOL_TCP;
        mysql_options(mysql, MYSQL_OPT_PROTOCOL, &protocol);
    }
    mysql_options(mysql, MYSQL_OPT_NONBLOCK, nullptr);

    auto orNull = [](const std::string& text) { return text.empty() ? nullptr : text.c_str(); };
    const auto started = Clock::now();
    if (!mysql_real_connect(mysql, orNull(source.host), orNull(source.user), orNull(source.password),
                            orNull(source.database), static_cast<unsigned>(source.port), orNull(source.socket), 0)) {
        const unsigned code = mysql_errno(mysql);
        const std::string why = CleanMessage(mysql_error(mysql), secrets);
        mysql_close(mysql);
        LiveErrorCode kind = LiveErrorCode::ConnectFailed;
        std::string message = "Cannot connect to " + where + ": " + why;
        if (code == ER_ACCESS_DENIED_ERROR || code == ER_DBACCESS_DENIED_ERROR ||
            code == ER_ACCESS_DENIED_NO_PASSWORD_ERROR || code == ER_MUST_CHANGE_PASSWORD_LOGIN) {
            kind = LiveErrorCode::LoginFailed;
        } else if (code == ER_BAD_DB_ERROR) {
            kind = LiveErrorCode::NotFound;
        } else if (Clock::now() - started >= std::chrono::milliseconds(900 * connectTimeout)) {
            kind = LiveErrorCode::Timeout;
            message = "No answer from " + where + " within the connect timeout: " + why;
        }
        result.error = {kind, message};
        return result;
    }

    std::unique_ptr<CMariaDbCatalog> catalog(new CMariaDbCatalog(mysql, source));
    Result rows;
    if (LiveError error = catalog->Run("SET SESSION TRANSACTION READ ONLY", "Setting up", rows); error.Failed()) {
        result.error = std::move(error);
        return result;
    }
    if (catalog->m_defaultSchema.empty()) {
        if (LiveError error = catalog->Run("SELECT DATABASE()", "Setting up", rows); error.Failed()) {
            result.error = std::move(error);
            return result;
        }
        if (MYSQL_ROW row = mysql_fetch_row(rows.get()); row && row[0])
            catalog->m_defaultSchema = row[0];
    }
    result.value = std::move(catalog);
    return result;
}

CMariaDbCatalog::CMariaDbCatalog(MYSQL* mysql, const DatabaseSource& source)
    : m_mysql(mysql), m_secrets(source.Secrets()), m_where(source.Describe()), m_defaultSchema(source.database),
      m_readTimeoutSeconds(std::max(1, source.readTimeoutSeconds))
{
    const std::string info = mysql_get_server_info(m_mysql);
    m_isMariaDb = info.find("MariaDB") != std::string::npos;
    m_version = info.substr(0, info.find('-'));
}

CMariaDbCatalog::~CMariaDbCatalog()
{
    Close();
}

void CMariaDbCatalog::Close()
{
    if (m_mysql)
        mysql_close(m_mysql);
    m_mysql = nullptr;
}

std::string CMariaDbCatalog::ServerDescription() const
{
    return std::string(m_isMariaDb ? "MariaDB " : "MySQL ") + m_version + " (" + m_where + ")";
}

LiveError CMariaDbCatalog::Cancelled() const
{
    return {LiveErrorCode::Cancelled, "Reading " + m_where + " was cancelled"};
}

LiveError CMariaDbCatalog::Failure(std::string_view what)
{
    const unsigned code = mysql_errno(m_mysql);
    const std::string why = CleanMessage(std::string(what) + " of " + m_where + " failed: " + mysql_error(m_mysql), m_secrets);
    if (IsConnectionGone(code)) {
        Close();
        return {LiveErrorCode::ConnectionLost, why};
    }
    return {code == ER_NO_SUCH_TABLE ? LiveErrorCode::TableGone : LiveErrorCode::QueryFailed, why};
}

bool CMariaDbCatalog::Step(int done, int total, std::string_view what)
{
    m_step = {done, total, what};
    m_lastCall = Clock::now();
    return !m_progress || !*m_progress || (*m_progress)(m_step);
}

// Waits for what the connector asked for, in slices of a tenth of a second
// between which the progress callback may cancel.
int CMariaDbCatalog::WaitFor(int status, Clock::time_point deadline, bool& cancelled, bool& timedOut)
{
    pollfd fd{mysql_get_socket(m_mysql), 0, 0};
    if (status & MYSQL_WAIT_READ)
        fd.events |= POLLIN;
    if (status & MYSQL_WAIT_WRITE)
        fd.events |= POLLOUT;
    if (status & MYSQL_WAIT_EXCEPT)
        fd.events |= POLLPRI;
    const Clock::time_point libraryDeadline =
        status & MYSQL_WAIT_TIMEOUT ? Clock::now() + std::chrono::milliseconds(mysql_get_timeout_value_ms(m_mysql))
                                    : Clock::time_point::max();
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline) {
            timedOut = true;
            return 0;
        }
        if (now >= libraryDeadline)
            return MYSQL_WAIT_TIMEOUT;
        const auto until = std::min(deadline, libraryDeadline);
        const auto slice = std::min<long long>(
            100, std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1);
        const int ready = ::poll(&fd, 1, static_cast<int>(slice));
        if (ready > 0) {
            int events = 0;
            if (fd.revents & (POLLIN | POLLHUP | POLLERR))
                events |= MYSQL_WAIT_READ;
            if (fd.revents & POLLOUT)
                events |= MYSQL_WAIT_WRITE;
            if (fd.revents & POLLPRI)
                events |= MYSQL_WAIT_EXCEPT;
            // A hang-up while the connector only wants to write: let it try
            // and find the error itself.
            return events & status ? events & status : status & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE);
        }
        if (ready < 0 && errno != EINTR)
            return status & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE);
        if (m_progress && *m_progress && Clock::now() - m_lastCall >= std::chrono::milliseconds(100)) {
            m_lastCall = Clock::now();
            if (!(*m_progress)(m_step)) {
                cancelled = true;
                return 0;
            }
        }
    }
}

LiveError CMariaDbCatalog::Run(const std::string& sql, std::string_view what, Result& rows)
{
    rows.reset();
    if (!m_mysql)
        return {LiveErrorCode::ConnectionLost,
                std::string(what) + " of " + m_where + " failed: the connection was closed after an earlier failure"};
    const auto deadline = Clock::now() + std::chrono::seconds(m_readTimeoutSeconds);
    bool cancelled = false;
    bool timedOut = false;
    // The connection is mid-answer when a wait gives up: only closing it
    // leaves nothing behind.
    auto abandon = [&]() -> LiveError {
        Close();
        if (cancelled)
            return Cancelled();
        return {LiveErrorCode::Timeout, std::string(what) + " of " + m_where + " failed: no answer within " +
                                            std::to_string(m_readTimeoutSeconds) + " s"};
    };

    int error = 0;
    int status = mysql_real_query_start(&error, m_mysql, sql.data(), sql.size());
    while (status) {
        status = WaitFor(status, deadline, cancelled, timedOut);
        if (cancelled || timedOut)
            return abandon();
        status = mysql_real_query_cont(&error, m_mysql, status);
    }
    if (error)
        return Failure(what);
    MYSQL_RES* result = nullptr;
    status = mysql_store_result_start(&result, m_mysql);
    while (status) {
        status = WaitFor(status, deadline, cancelled, timedOut);
        if (cancelled || timedOut)
            return abandon();
        status = mysql_store_result_cont(&result, m_mysql, status);
    }
    if (!result && mysql_field_count(m_mysql) != 0)
        return Failure(what);
    rows.reset(result);
    return {};
}

std::string CMariaDbCatalog::Quote(std::string_view text) const
{
    std::string quoted(text.size() * 2 + 3, '\0');
    quoted[0] = '\'';
    const unsigned long length = mysql_real_escape_string(m_mysql, quoted.data() + 1, text.data(), text.size());
    quoted.resize(length + 1);
    quoted += '\'';
    return quoted;
}

std::string CMariaDbCatalog::InList(const std::vector<std::string>& items) const
{
    std::string list = "(";
    for (const std::string& item : items) {
        if (list.size() > 1)
            list += ", ";
        list += Quote(item);
    }
    return list + ")";
}

LiveResult<std::vector<std::string>> CMariaDbCatalog::ListSchemas()
{
    LiveResult<std::vector<std::string>> result;
    Result rows;
    result.error = Run(std::string("SELECT SCHEMA_NAME FROM information_schema.SCHEMATA WHERE SCHEMA_NAME NOT IN ") +
                           kSystemSchemas,
                       "Listing the schemas", rows);
    if (!result.Ok())
        return result;
    while (MYSQL_ROW row = mysql_fetch_row(rows.get()))
        result.value.push_back(Field(row, mysql_fetch_lengths(rows.get()), 0));
    std::sort(result.value.begin(), result.value.end());
    return result;
}

// Base tables of the schemas, by schema then name. information_schema
// compares names without regard to case; the exact names are kept here.
LiveResult<std::vector<QualifiedTable>> CMariaDbCatalog::BaseTables(const std::vector<std::string>& schemas,
                                                                    std::string_view what)
{
    LiveResult<std::vector<QualifiedTable>> result;
    Result rows;
    result.error = Run("SELECT TABLE_SCHEMA, TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA IN " +
                           InList(schemas) + " AND TABLE_TYPE IN ('BASE TABLE', 'SYSTEM VERSIONED')",
                       what, rows);
    if (!result.Ok())
        return result;
    const std::unordered_set<std::string> wanted(schemas.begin(), schemas.end());
    while (MYSQL_ROW row = mysql_fetch_row(rows.get())) {
        unsigned long* lengths = mysql_fetch_lengths(rows.get());
        QualifiedTable table{Field(row, lengths, 0), Field(row, lengths, 1)};
        if (wanted.count(table.schema))
            result.value.push_back(std::move(table));
    }
    std::sort(result.value.begin(), result.value.end(), [](const QualifiedTable& a, const QualifiedTable& b) {
        return std::tie(a.schema, a.name) < std::tie(b.schema, b.name);
    });
    return result;
}

LiveResult<std::vector<QualifiedTable>> CMariaDbCatalog::ListTables(const std::vector<std::string>& schemas)
{
    LiveResult<std::vector<QualifiedTable>> result;
    if (schemas.empty())
        return result;
    Result rows;
    result.error = Run("SELECT SCHEMA_NAME FROM information_schema.SCHEMATA WHERE SCHEMA_NAME IN " + InList(schemas),
                       "Listing the schemas", rows);
    if (!result.Ok())
        return result;
    std::unordered_set<std::string> existing;
    while (MYSQL_ROW row = mysql_fetch_row(rows.get()))
        existing.insert(Field(row, mysql_fetch_lengths(rows.get()), 0));
    for (const std::string& schema : schemas) {
        if (!existing.count(schema)) {
            result.error = {LiveErrorCode::NotFound, CleanMessage("No schema " + schema + " in " + m_where, m_secrets)};
            return result;
        }
    }
    return BaseTables(schemas, "Listing the tables");
}

LiveResult<SchemaDescription> CMariaDbCatalog::ReadTables(const std::vector<QualifiedTable>& tables,
                                                          const ProgressCallback& progress)
{
    LiveResult<SchemaDescription> result;
    CCatalogAssembly assembly(tables);
    if (assembly.Size() == 0) {
        result.error = {LiveErrorCode::NoTables, "No tables chosen in " + m_where};
        return result;
    }
    m_progress = &progress;
    struct Finish {
        CMariaDbCatalog* self;
        ~Finish()
        {
            self->m_progress = nullptr;
            Result ignored;
            if (self->m_mysql)
                self->Run("ROLLBACK", "Ending the read", ignored);
        }
    } finish{this};
    auto fail = [&](LiveError error) {
        result.error = std::move(error);
        return std::move(result);
    };
    std::vector<std::string> schemas;
    for (const QualifiedTable& table : assembly.Chosen())
        if (std::find(schemas.begin(), schemas.end(), table.schema) == schemas.end())
            schemas.push_back(table.schema);
    const std::string inSchemas = InList(schemas);
    Result rows;
    auto each = [&](auto&& onRow) {
        while (MYSQL_ROW row = mysql_fetch_row(rows.get()))
            onRow(row, mysql_fetch_lengths(rows.get()));
    };
    auto tableOf = [&](MYSQL_ROW row, unsigned long* lengths) {
        return assembly.Find(Field(row, lengths, 0), Field(row, lengths, 1));
    };

    if (!Step(0, kReadSteps, "Reading tables"))
        return fail(Cancelled());
    if (LiveError error = Run("START TRANSACTION READ ONLY", "Starting the read", rows); error.Failed())
        return fail(std::move(error));
    if (LiveError error = Run("SELECT TABLE_SCHEMA, TABLE_NAME, TABLE_COMMENT FROM information_schema.TABLES"
                              " WHERE TABLE_SCHEMA IN " + inSchemas +
                                  " AND TABLE_TYPE IN ('BASE TABLE', 'SYSTEM VERSIONED')",
                              "Reading the tables", rows);
        error.Failed())
        return fail(std::move(error));
    each([&](MYSQL_ROW row, unsigned long* lengths) {
        if (SchemaTable* table = tableOf(row, lengths)) {
            assembly.MarkFound(*table);
            table->comment = Field(row, lengths, 2);
        }
    });
    if (const QualifiedTable* missing = assembly.FirstMissing())
        return fail(TableGoneError(*missing, false));

    if (!Step(1, kReadSteps, "Reading columns"))
        return fail(Cancelled());
    if (LiveError error = Run("SELECT TABLE_SCHEMA, TABLE_NAME, ORDINAL_POSITION, COLUMN_NAME, COLUMN_TYPE, IS_NULLABLE,"
                              " COLUMN_DEFAULT, EXTRA, COLUMN_COMMENT FROM information_schema.COLUMNS"
                              " WHERE TABLE_SCHEMA IN " + inSchemas,
                              "Reading the columns", rows);
        error.Failed())
        return fail(std::move(error));
    std::map<SchemaTable*, std::vector<std::pair<int, SchemaColumn>>> columns;
    each([&](MYSQL_ROW row, unsigned long* lengths) {
        SchemaTable* table = tableOf(row, lengths);
        if (!table)
            return;
        SchemaColumn column;
        column.name = Field(row, lengths, 3);
        column.type = Field(row, lengths, 4);
        column.notNull = Field(row, lengths, 5) == "NO";
        // MariaDB shows no default and DEFAULT NULL alike as NULL; the
        // expression of a generated column is no default.
        const std::string extra = Field(row, lengths, 7);
        column.defaultValue = Field(row, lengths, 6);
        if (column.defaultValue == "NULL" || extra.find("GENERATED") != std::string::npos)
            column.defaultValue.clear();
        column.comment = Field(row, lengths, 8);
        columns[table].emplace_back(Number(row[2]), std::move(column));
    });
    for (auto& [table, list] : columns) {
        std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& entry : list)
            table->columns.push_back(std::move(entry.second));
    }

    if (!Step(2, kReadSteps, "Reading keys"))
        return fail(Cancelled());
    if (LiveError error = Run("SELECT TABLE_SCHEMA, TABLE_NAME, INDEX_NAME, SEQ_IN_INDEX, COLUMN_NAME"
                              " FROM information_schema.STATISTICS WHERE NON_UNIQUE = 0 AND TABLE_SCHEMA IN " +
                                  inSchemas,
                              "Reading the keys", rows);
        error.Failed())
        return fail(std::move(error));
    struct Key {
        std::vector<std::pair<int, std::string>> columns;
        bool expression = false;
    };
    std::map<std::pair<SchemaTable*, std::string>, Key> keys;
    each([&](MYSQL_ROW row, unsigned long* lengths) {
        if (SchemaTable* table = tableOf(row, lengths)) {
            Key& key = keys[{table, Field(row, lengths, 2)}];
            if (!row[4])
                key.expression = true; // MySQL's functional key parts
            key.columns.emplace_back(Number(row[3]), Field(row, lengths, 4));
        }
    });
    for (auto& [owner, key] : keys) {
        if (key.expression)
            continue;
        std::sort(key.columns.begin(), key.columns.end());
        std::vector<std::string> names;
        for (auto& entry : key.columns)
            names.push_back(std::move(entry.second));
        if (owner.second == "PRIMARY")
            CCatalogAssembly::AddPrimaryKey(*owner.first, std::move(names));
        else
            CCatalogAssembly::AddUnique(*owner.first, std::move(names));
    }

    if (!Step(3, kReadSteps, "Reading foreign keys"))
        return fail(Cancelled());
    if (LiveError error = Run("SELECT TABLE_SCHEMA, TABLE_NAME, CONSTRAINT_NAME, ORDINAL_POSITION, COLUMN_NAME,"
                              " REFERENCED_TABLE_SCHEMA, REFERENCED_TABLE_NAME, REFERENCED_COLUMN_NAME"
                              " FROM information_schema.KEY_COLUMN_USAGE"
                              " WHERE REFERENCED_TABLE_NAME IS NOT NULL AND TABLE_SCHEMA IN " + inSchemas,
                              "Reading the foreign keys", rows);
        error.Failed())
        return fail(std::move(error));
    struct Reference {
        std::string refSchema;
        std::string refTable;
        std::vector<std::tuple<int, std::string, std::string>> columns; // position, column, referenced column
    };
    std::map<std::pair<SchemaTable*, std::string>, Reference> references;
    each([&](MYSQL_ROW row, unsigned long* lengths) {
        if (SchemaTable* table = tableOf(row, lengths)) {
            Reference& reference = references[{table, Field(row, lengths, 2)}];
            reference.refSchema = Field(row, lengths, 5);
            reference.refTable = Field(row, lengths, 6);
            reference.columns.emplace_back(Number(row[3]), Field(row, lengths, 4), Field(row, lengths, 7));
        }
    });
    for (auto& [owner, reference] : references) {
        std::sort(reference.columns.begin(), reference.columns.end());
        SchemaForeignKey key;
        key.name = owner.second;
        key.refSchema = reference.refSchema;
        key.refTable = reference.refTable;
        const SchemaTable* parent = assembly.Find(key.refSchema, key.refTable);
        for (auto& [position, column, refColumn] : reference.columns) {
            CanonicalColumn(owner.first, column);
            CanonicalColumn(parent, refColumn);
            key.columns.push_back(std::move(column));
            key.refColumns.push_back(std::move(refColumn));
        }
        owner.first->foreignKeys.push_back(std::move(key));
    }

    if (!Step(4, kReadSteps, "Reading checks"))
        return fail(Cancelled());
    // MariaDB names each check's table and says whether it was written on a
    // column (then named after the column); MySQL names only the schema.
    const std::string checks =
        m_isMariaDb ? "SELECT CONSTRAINT_SCHEMA, TABLE_NAME, CONSTRAINT_NAME, CHECK_CLAUSE, LEVEL"
                      " FROM information_schema.CHECK_CONSTRAINTS WHERE CONSTRAINT_SCHEMA IN " + inSchemas
                    : "SELECT tc.TABLE_SCHEMA, tc.TABLE_NAME, cc.CONSTRAINT_NAME, cc.CHECK_CLAUSE, 'Table'"
                      " FROM information_schema.TABLE_CONSTRAINTS tc"
                      " JOIN information_schema.CHECK_CONSTRAINTS cc"
                      " ON cc.CONSTRAINT_SCHEMA = tc.CONSTRAINT_SCHEMA AND cc.CONSTRAINT_NAME = tc.CONSTRAINT_NAME"
                      " WHERE tc.CONSTRAINT_TYPE = 'CHECK' AND tc.TABLE_SCHEMA IN " + inSchemas;
    if (LiveError error = Run(checks, "Reading the checks", rows); error.Failed())
        return fail(std::move(error));
    each([&](MYSQL_ROW row, unsigned long* lengths) {
        if (SchemaTable* table = tableOf(row, lengths)) {
            std::string column = Field(row, lengths, 4) == "Column" ? Field(row, lengths, 2) : std::string();
            CanonicalColumn(table, column);
            CCatalogAssembly::AddCheck(*table, column, StripOuterParentheses(Field(row, lengths, 3)));
        }
    });

    // information_schema answers from the live data dictionary, not from a
    // snapshot: a table dropped after it was first seen shows here.
    if (!Step(5, kReadSteps, "Checking the tables are still there"))
        return fail(Cancelled());
    LiveResult<std::vector<QualifiedTable>> still = BaseTables(schemas, "Checking the tables");
    if (!still.Ok())
        return fail(std::move(still.error));
    CCatalogAssembly present(still.value);
    for (const QualifiedTable& table : assembly.Chosen()) {
        const SchemaTable* described = assembly.Find(table.schema, table.name);
        if (!present.Find(table.schema, table.name) || described->columns.empty())
            return fail(TableGoneError(table, true));
    }
    result.value = assembly.Finish();
    return result;
}

#include "CPostgresCatalog.h"

#include "CCatalogAssembly.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <poll.h>
#include <unordered_map>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReadSteps = 4;

// Tables of the chosen schemas: plain and partitioned tables, not their
// partitions (the parent shows them), views, sequences or foreign tables.
constexpr const char* kListTables =
    "SELECT s.nsp, n.oid IS NOT NULL, c.relname"
    " FROM unnest($1::text[]) AS s(nsp)"
    " LEFT JOIN pg_catalog.pg_namespace n ON n.nspname = s.nsp"
    " LEFT JOIN pg_catalog.pg_class c ON c.relnamespace = n.oid AND c.relkind IN ('r', 'p')"
    " AND NOT c.relispartition"
    " ORDER BY s.nsp, c.relname";

constexpr const char* kReadTables =
    "SELECT t.ord, c.oid, d.description"
    " FROM unnest($1::text[], $2::text[]) WITH ORDINALITY AS t(nsp, rel, ord)"
    " JOIN pg_catalog.pg_namespace n ON n.nspname = t.nsp"
    " JOIN pg_catalog.pg_class c ON c.relnamespace = n.oid AND c.relname = t.rel AND c.relkind IN ('r', 'p')"
    " LEFT JOIN pg_catalog.pg_description d ON d.objoid = c.oid"
    " AND d.classoid = 'pg_catalog.pg_class'::pg_catalog.regclass AND d.objsubid = 0";

// pg_get_expr reads the catalog as it is now, not as the transaction's
// snapshot shows it: it returns NULL for a table dropped since the read
// began, which the read then reports.
constexpr const char* kReadColumns =
    "SELECT a.attrelid, a.attname, pg_catalog.format_type(a.atttypid, a.atttypmod), a.attnotnull,"
    " a.attgenerated <> '', ad.adbin IS NOT NULL, pg_catalog.pg_get_expr(ad.adbin, ad.adrelid), d.description"
    " FROM pg_catalog.pg_attribute a"
    " LEFT JOIN pg_catalog.pg_attrdef ad ON ad.adrelid = a.attrelid AND ad.adnum = a.attnum"
    " LEFT JOIN pg_catalog.pg_description d ON d.objoid = a.attrelid"
    " AND d.classoid = 'pg_catalog.pg_class'::pg_catalog.regclass AND d.objsubid = a.attnum"
    " WHERE a.attrelid = ANY ($1::pg_catalog.oid[]) AND a.attnum > 0 AND NOT a.attisdropped"
    " ORDER BY a.attrelid, a.attnum";

// Primary keys, foreign keys and checks, one row per key column with both
// column lists in declared order. Copies of a foreign key that PostgreSQL
// keeps for each partition of a partitioned table (conparentid) are left
// out.
constexpr const char* kReadConstraints =
    "SELECT con.conrelid, con.contype, con.conname, ka.attname, fa.attname, fn.nspname, fc.relname,"
    " con.conbin IS NOT NULL, pg_catalog.pg_get_expr(con.conbin, con.conrelid)"
    " FROM pg_catalog.pg_constraint con"
    " LEFT JOIN LATERAL unnest(con.conkey, con.confkey) WITH ORDINALITY AS k(attnum, fattnum, ord) ON true"
    " LEFT JOIN pg_catalog.pg_attribute ka ON ka.attrelid = con.conrelid AND ka.attnum = k.attnum"
    " LEFT JOIN pg_catalog.pg_attribute fa ON fa.attrelid = con.confrelid AND fa.attnum = k.fattnum"
    " LEFT JOIN pg_catalog.pg_class fc ON fc.oid = con.confrelid"
    " LEFT JOIN pg_catalog.pg_namespace fn ON fn.oid = fc.relnamespace"
    " WHERE con.conrelid = ANY ($1::pg_catalog.oid[]) AND con.contype IN ('p', 'f', 'c')"
    " AND con.conparentid = 0"
    " ORDER BY con.conrelid, con.contype, con.conname, k.ord";

// Unique indexes over plain columns, the ones behind UNIQUE constraints
// among them; partial and expression indexes say nothing a column can show.
constexpr const char* kReadUniqueIndexes =
    "SELECT i.indrelid, ic.relname, a.attname"
    " FROM pg_catalog.pg_index i"
    " JOIN pg_catalog.pg_class ic ON ic.oid = i.indexrelid"
    " CROSS JOIN LATERAL unnest(i.indkey::pg_catalog.int2[]) WITH ORDINALITY AS k(attnum, ord)"
    " JOIN pg_catalog.pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.attnum"
    " WHERE i.indrelid = ANY ($1::pg_catalog.oid[]) AND i.indisunique AND NOT i.indisprimary"
    " AND i.indpred IS NULL AND i.indexprs IS NULL AND k.ord <= i.indnkeyatts"
    " ORDER BY i.indrelid, ic.relname, k.ord";

// A text[] literal: every element quoted, so no name can end it early.
std::string ArrayLiteral(const std::vector<std::string>& items)
{
    std::string literal = "{";
    for (const std::string& item : items) {
        if (literal.size() > 1)
            literal += ',';
        literal += '"';
        for (char c : item) {
            if (c == '"' || c == '\\')
                literal += '\\';
            literal += c;
        }
        literal += '"';
    }
    literal += '}';
    return literal;
}

uint32_t ToOid(const char* text)
{
    uint32_t oid = 0;
    std::from_chars(text, text + std::char_traits<char>::length(text), oid);
    return oid;
}

bool ToBool(const char* text)
{
    return text[0] == 't';
}

} // namespace

void CPostgresCatalog::ResultDeleter::operator()(pg_result* result) const
{
    PQclear(result);
}

LiveResult<std::unique_ptr<CLiveDatabase>> CPostgresCatalog::Connect(const DatabaseSource& source)
{
    LiveResult<std::unique_ptr<CLiveDatabase>> result;
    std::vector<std::pair<const char*, std::string>> settings;
    // First the timeout, so a connect_timeout in the conninfo wins over it;
    // then the conninfo; then the fields, which win over both.
    settings.emplace_back("connect_timeout", std::to_string(std::max(2, source.connectTimeoutSeconds)));
    if (!source.conninfo.empty())
        settings.emplace_back("dbname", source.conninfo);
    if (!source.host.empty())
        settings.emplace_back("host", source.host);
    if (source.port > 0)
        settings.emplace_back("port", std::to_string(source.port));
    if (!source.database.empty())
        settings.emplace_back("dbname", source.database);
    if (!source.user.empty())
        settings.emplace_back("user", source.user);
    if (!source.password.empty())
        settings.emplace_back("password", source.password);
    settings.emplace_back("fallback_application_name", "Korvo");
    settings.emplace_back("client_encoding", "UTF8");
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    for (const auto& [keyword, value] : settings) {
        keywords.push_back(keyword);
        values.push_back(value.c_str());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);

    // Only the conninfo may expand: a database field is a plain name.
    const auto started = Clock::now();
    PGconn* conn = PQconnectdbParams(keywords.data(), values.data(), source.conninfo.empty() ? 0 : 1);
    const std::vector<std::string> secrets = source.Secrets();
    const std::string where = source.Describe();
    if (!conn) {
        result.error = {LiveErrorCode::ConnectFailed, "Cannot connect to " + where + ": out of memory"};
        return result;
    }
    if (PQstatus(conn) != CONNECTION_OK) {
        const std::string why = CleanMessage(PQerrorMessage(conn), secrets);
        LiveErrorCode code = LiveErrorCode::ConnectFailed;
        std::string message = "Cannot connect to " + where + ": " + why;
        const bool timedOut = why.find("timeout expired") != std::string::npos ||
                              Clock::now() - started >= std::chrono::seconds(std::max(2, source.connectTimeoutSeconds));
        if (PQconnectionNeedsPassword(conn)) {
            code = LiveErrorCode::PasswordNeeded;
            message = where + " asks for a password: " + why;
        } else if (why.find("authentication failed") != std::string::npos) {
            code = LiveErrorCode::LoginFailed;
        } else if (timedOut) {
            code = LiveErrorCode::Timeout;
            message = "No answer from " + where + " within the connect timeout: " + why;
        } else if (why.find("does not exist") != std::string::npos) {
            code = LiveErrorCode::NotFound;
        }
        PQfinish(conn);
        result.error = {code, message};
        return result;
    }

    std::unique_ptr<CPostgresCatalog> catalog(new CPostgresCatalog(conn, source));
    Result rows;
    if (LiveError error = catalog->Run("SET default_transaction_read_only = on", {}, "Setting up", rows);
        error.Failed()) {
        result.error = std::move(error);
        return result;
    }
    if (LiveError error = catalog->Run("SELECT pg_catalog.current_schema(), pg_catalog.current_setting('server_version')",
                                       {}, "Setting up", rows);
        error.Failed()) {
        result.error = std::move(error);
        return result;
    }
    catalog->m_defaultSchema = PQgetvalue(rows.get(), 0, 0);
    catalog->m_version = PQgetvalue(rows.get(), 0, 1);
    result.value = std::move(catalog);
    return result;
}

CPostgresCatalog::CPostgresCatalog(PGconn* conn, const DatabaseSource& source)
    : m_conn(conn), m_secrets(source.Secrets()), m_where(source.Describe()),
      m_readTimeoutSeconds(std::max(1, source.readTimeoutSeconds))
{
    PQsetnonblocking(m_conn, 1);
}

CPostgresCatalog::~CPostgresCatalog()
{
    if (m_conn)
        PQfinish(m_conn);
}

std::string CPostgresCatalog::ServerDescription() const
{
    return "PostgreSQL " + m_version + " (" + m_where + ")";
}

LiveError CPostgresCatalog::Cancelled() const
{
    return {LiveErrorCode::Cancelled, "Reading " + m_where + " was cancelled"};
}

LiveError CPostgresCatalog::Lost(std::string_view what)
{
    const std::string why = m_conn ? CleanMessage(PQerrorMessage(m_conn), m_secrets) : std::string();
    return {LiveErrorCode::ConnectionLost,
            std::string(what) + " of " + m_where + " failed: the connection was lost" + (why.empty() ? "" : ": " + why)};
}

bool CPostgresCatalog::KeepGoing()
{
    if (m_cancelled)
        return false;
    if (!m_progress || !*m_progress)
        return true;
    const auto now = Clock::now();
    if (now - m_lastCall < std::chrono::milliseconds(100))
        return true;
    m_lastCall = now;
    m_cancelled = !(*m_progress)(m_step);
    return !m_cancelled;
}

bool CPostgresCatalog::Step(int done, int total, std::string_view what)
{
    m_step = {done, total, what};
    m_lastCall = Clock::now();
    if (m_progress && *m_progress && !(*m_progress)(m_step))
        m_cancelled = true;
    return !m_cancelled;
}

void CPostgresCatalog::CancelQuery()
{
    if (PGcancel* cancel = PQgetCancel(m_conn)) {
        char error[256];
        PQcancel(cancel, error, sizeof error);
        PQfreeCancel(cancel);
    }
}

// Waits until libpq holds a whole result (or the query's end), sending
// what is still queued on the way. Polled, it asks the progress callback at
// every tenth of a second.
LiveError CPostgresCatalog::Wait(Clock::time_point deadline, bool polled, std::string_view what)
{
    for (;;) {
        const int flushed = PQflush(m_conn);
        if (flushed < 0)
            return Lost(what);
        if (flushed == 0 && !PQisBusy(m_conn))
            return {};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            // A server that stopped answering may not take a cancel request
            // either: drop the connection.
            PQfinish(m_conn);
            m_conn = nullptr;
            return {LiveErrorCode::Timeout, std::string(what) + " of " + m_where + " failed: no answer within " +
                                                std::to_string(m_readTimeoutSeconds) + " s"};
        }
        pollfd fd{PQsocket(m_conn), static_cast<short>(POLLIN | (flushed ? POLLOUT : 0)), 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(std::min<long long>(left, 100)));
        if (ready < 0 && errno != EINTR)
            return Lost(what);
        if (ready > 0 && (fd.revents & (POLLIN | POLLERR | POLLHUP)) && !PQconsumeInput(m_conn))
            return Lost(what);
        if (polled && !KeepGoing())
            return Cancelled();
    }
}

LiveError CPostgresCatalog::Run(const char* sql, const std::vector<std::string>& params, std::string_view what,
                                Result& rows)
{
    rows.reset();
    if (!m_conn)
        return {LiveErrorCode::ConnectionLost,
                std::string(what) + " of " + m_where + " failed: the connection was closed after an earlier failure"};
    std::vector<const char*> values;
    for (const std::string& param : params)
        values.push_back(param.c_str());
    if (!PQsendQueryParams(m_conn, sql, static_cast<int>(values.size()), nullptr, values.data(), nullptr, nullptr, 0))
        return Lost(what);

    const auto deadline = Clock::now() + std::chrono::seconds(m_readTimeoutSeconds);
    LiveError failure;
    for (;;) {
        LiveError waited = Wait(deadline, true, what);
        if (waited.code == LiveErrorCode::Cancelled) {
            // Stop the server's work, then take what is left of the answer
            // so the connection can roll back and go on.
            CancelQuery();
            if (Wait(Clock::now() + std::chrono::seconds(5), false, what).Failed() && m_conn) {
                PQfinish(m_conn);
                m_conn = nullptr;
            }
            while (m_conn && !PQisBusy(m_conn))
                if (PGresult* rest = PQgetResult(m_conn))
                    PQclear(rest);
                else
                    break;
            return waited;
        }
        if (waited.Failed())
            return waited;
        Result result(PQgetResult(m_conn));
        if (!result)
            break;
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
            if (!failure.Failed())
                rows = std::move(result);
        } else if (!failure.Failed()) {
            if (PQstatus(m_conn) == CONNECTION_BAD) {
                failure = Lost(what);
                continue;
            }
            const char* state = PQresultErrorField(result.get(), PG_DIAG_SQLSTATE);
            const char* primary = PQresultErrorField(result.get(), PG_DIAG_MESSAGE_PRIMARY);
            const std::string sqlState = state ? state : "";
            std::string why = primary ? primary : PQresultErrorMessage(result.get());
            LiveErrorCode code = LiveErrorCode::QueryFailed;
            if (sqlState == "57014")
                code = LiveErrorCode::Cancelled;
            else if (sqlState.starts_with("57P") || sqlState.starts_with("08"))
                code = LiveErrorCode::ConnectionLost;
            failure = {code, CleanMessage(std::string(what) + " of " + m_where + " failed: " + why, m_secrets)};
        }
    }
    if (!failure.Failed() && !rows)
        failure = Lost(what);
    return failure;
}

LiveResult<std::vector<std::string>> CPostgresCatalog::ListSchemas()
{
    LiveResult<std::vector<std::string>> result;
    Result rows;
    result.error = Run("SELECT nspname FROM pg_catalog.pg_namespace"
                       " WHERE nspname <> 'information_schema' AND nspname NOT LIKE 'pg\\_%'"
                       " ORDER BY nspname",
                       {}, "Listing the schemas", rows);
    if (result.Ok())
        for (int row = 0; row < PQntuples(rows.get()); ++row)
            result.value.emplace_back(PQgetvalue(rows.get(), row, 0));
    return result;
}

LiveResult<std::vector<QualifiedTable>> CPostgresCatalog::ListTables(const std::vector<std::string>& schemas)
{
    LiveResult<std::vector<QualifiedTable>> result;
    if (schemas.empty())
        return result;
    Result rows;
    result.error = Run(kListTables, {ArrayLiteral(schemas)}, "Listing the tables", rows);
    if (!result.Ok())
        return result;
    for (int row = 0; row < PQntuples(rows.get()); ++row) {
        const char* schema = PQgetvalue(rows.get(), row, 0);
        if (!ToBool(PQgetvalue(rows.get(), row, 1))) {
            result.value.clear();
            result.error = {LiveErrorCode::NotFound, CleanMessage("No schema " + std::string(schema) + " in " + m_where, m_secrets)};
            return result;
        }
        if (!PQgetisnull(rows.get(), row, 2))
            result.value.push_back({schema, PQgetvalue(rows.get(), row, 2)});
    }
    return result;
}

LiveResult<SchemaDescription> CPostgresCatalog::ReadTables(const std::vector<QualifiedTable>& tables,
                                                           const ProgressCallback& progress)
{
    LiveResult<SchemaDescription> result;
    CCatalogAssembly assembly(tables);
    if (assembly.Size() == 0) {
        result.error = {LiveErrorCode::NoTables, "No tables chosen in " + m_where};
        return result;
    }
    m_progress = &progress;
    m_cancelled = false;
    struct Finish {
        CPostgresCatalog* self;
        ~Finish()
        {
            self->m_progress = nullptr;
            self->m_cancelled = false;
            Result ignored;
            if (self->m_conn && PQstatus(self->m_conn) == CONNECTION_OK)
                self->Run("ROLLBACK", {}, "Ending the read", ignored);
        }
    } finish{this};
    auto fail = [&](LiveError error) {
        result.error = std::move(error);
        return std::move(result);
    };

    Result rows;
    if (!Step(0, kReadSteps, "Reading tables"))
        return fail(Cancelled());
    // One snapshot for every query: the catalog as it was when the first
    // one ran, whatever is committed meanwhile.
    if (LiveError error = Run("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", {}, "Starting the read", rows);
        error.Failed())
        return fail(std::move(error));
    std::vector<std::string> schemas;
    std::vector<std::string> names;
    for (const QualifiedTable& table : assembly.Chosen()) {
        schemas.push_back(table.schema);
        names.push_back(table.name);
    }
    if (LiveError error = Run(kReadTables, {ArrayLiteral(schemas), ArrayLiteral(names)}, "Reading the tables", rows);
        error.Failed())
        return fail(std::move(error));
    std::unordered_map<uint32_t, SchemaTable*> byOid;
    std::string oids = "{";
    for (int row = 0; row < PQntuples(rows.get()); ++row) {
        const size_t ordinal = ToOid(PQgetvalue(rows.get(), row, 0));
        if (ordinal < 1 || ordinal > assembly.Size())
            continue;
        SchemaTable& table = assembly.At(ordinal - 1);
        assembly.MarkFound(table);
        const char* oid = PQgetvalue(rows.get(), row, 1);
        byOid.emplace(ToOid(oid), &table);
        if (oids.size() > 1)
            oids += ',';
        oids += oid;
        table.comment = PQgetvalue(rows.get(), row, 2);
    }
    oids += '}';
    if (const QualifiedTable* missing = assembly.FirstMissing())
        return fail(TableGoneError(*missing, false));
    auto tableOf = [&](int row) -> SchemaTable* {
        auto it = byOid.find(ToOid(PQgetvalue(rows.get(), row, 0)));
        return it == byOid.end() ? nullptr : it->second;
    };

    if (!Step(1, kReadSteps, "Reading columns"))
        return fail(Cancelled());
    if (LiveError error = Run(kReadColumns, {oids}, "Reading the columns", rows); error.Failed())
        return fail(std::move(error));
    for (int row = 0; row < PQntuples(rows.get()); ++row) {
        SchemaTable* table = tableOf(row);
        if (!table)
            continue;
        SchemaColumn& column = table->columns.emplace_back();
        column.name = PQgetvalue(rows.get(), row, 1);
        column.type = PQgetvalue(rows.get(), row, 2);
        column.notNull = ToBool(PQgetvalue(rows.get(), row, 3));
        const bool generated = ToBool(PQgetvalue(rows.get(), row, 4));
        if (ToBool(PQgetvalue(rows.get(), row, 5)) && PQgetisnull(rows.get(), row, 6))
            return fail(TableGoneError({table->schema, table->name}, true));
        // The expression of a generated column is no default.
        if (!generated)
            column.defaultValue = PQgetvalue(rows.get(), row, 6);
        column.comment = PQgetvalue(rows.get(), row, 7);
    }

    if (!Step(2, kReadSteps, "Reading keys and checks"))
        return fail(Cancelled());
    if (LiveError error = Run(kReadConstraints, {oids}, "Reading the keys and checks", rows); error.Failed())
        return fail(std::move(error));
    const int count = PQntuples(rows.get());
    for (int row = 0; row < count;) {
        SchemaTable* table = tableOf(row);
        const std::string owner = PQgetvalue(rows.get(), row, 0);
        const char type = PQgetvalue(rows.get(), row, 1)[0];
        const std::string name = PQgetvalue(rows.get(), row, 2);
        std::vector<std::string> columns;
        std::vector<std::string> refColumns;
        const int first = row;
        for (; row < count && owner == PQgetvalue(rows.get(), row, 0) && type == PQgetvalue(rows.get(), row, 1)[0] &&
               name == PQgetvalue(rows.get(), row, 2);
             ++row) {
            if (!PQgetisnull(rows.get(), row, 3))
                columns.emplace_back(PQgetvalue(rows.get(), row, 3));
            if (!PQgetisnull(rows.get(), row, 4))
                refColumns.emplace_back(PQgetvalue(rows.get(), row, 4));
        }
        if (!table)
            continue;
        if (type == 'p') {
            CCatalogAssembly::AddPrimaryKey(*table, std::move(columns));
        } else if (type == 'f') {
            SchemaForeignKey& key = table->foreignKeys.emplace_back();
            key.name = name;
            key.columns = std::move(columns);
            key.refSchema = PQgetvalue(rows.get(), first, 5);
            key.refTable = PQgetvalue(rows.get(), first, 6);
            key.refColumns = std::move(refColumns);
        } else {
            if (ToBool(PQgetvalue(rows.get(), first, 7)) && PQgetisnull(rows.get(), first, 8))
                return fail(TableGoneError({table->schema, table->name}, true));
            CCatalogAssembly::AddCheck(*table, columns.size() == 1 ? columns.front() : std::string(),
                                       StripOuterParentheses(PQgetvalue(rows.get(), first, 8)));
        }
    }

    if (!Step(3, kReadSteps, "Reading unique indexes"))
        return fail(Cancelled());
    if (LiveError error = Run(kReadUniqueIndexes, {oids}, "Reading the unique indexes", rows); error.Failed())
        return fail(std::move(error));
    const int indexRows = PQntuples(rows.get());
    for (int row = 0; row < indexRows;) {
        SchemaTable* table = tableOf(row);
        const std::string owner = PQgetvalue(rows.get(), row, 0);
        const std::string index = PQgetvalue(rows.get(), row, 1);
        std::vector<std::string> columns;
        for (; row < indexRows && owner == PQgetvalue(rows.get(), row, 0) && index == PQgetvalue(rows.get(), row, 1);
             ++row)
            columns.emplace_back(PQgetvalue(rows.get(), row, 2));
        if (table)
            CCatalogAssembly::AddUnique(*table, std::move(columns));
    }
    result.value = assembly.Finish();
    return result;
}

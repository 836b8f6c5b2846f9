#include "CPostgresCatalog.h"

#include "CCatalogAssembly.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <poll.h>
#include <unordered_map>
#include <unordered_set>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReadSteps = 5;

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
    "SELECT t.ord, c.oid"
    " FROM unnest($1::text[], $2::text[]) WITH ORDINALITY AS t(nsp, rel, ord)"
    " JOIN pg_catalog.pg_namespace n ON n.nspname = t.nsp"
    " JOIN pg_catalog.pg_class c ON c.relnamespace = n.oid AND c.relname = t.rel AND c.relkind IN ('r', 'p')";

constexpr const char* kReadColumns =
    "SELECT a.attrelid, a.attnum, a.attname, pg_catalog.format_type(a.atttypid, a.atttypmod), a.attnotnull"
    " FROM pg_catalog.pg_attribute a"
    " WHERE a.attrelid = ANY ($1::pg_catalog.oid[]) AND a.attnum > 0 AND NOT a.attisdropped"
    " ORDER BY a.attrelid, a.attnum";

// A default cannot name a column, so it is rendered without its table:
// rendering with the table opens and locks it, which for thousands of
// tables costs more than all the rest of the read and can run out of lock
// space. The expression of a generated column is no default.
constexpr const char* kReadDefaults =
    "SELECT d.adrelid, d.adnum, pg_catalog.pg_get_expr(d.adbin, 0)"
    " FROM pg_catalog.pg_attrdef d"
    " JOIN pg_catalog.pg_attribute a ON a.attrelid = d.adrelid AND a.attnum = d.adnum"
    " WHERE d.adrelid = ANY ($1::pg_catalog.oid[]) AND a.attgenerated = ''";

constexpr const char* kReadComments =
    "SELECT objoid, objsubid, description FROM pg_catalog.pg_description"
    " WHERE classoid = 'pg_catalog.pg_class'::pg_catalog.regclass AND objoid = ANY ($1::pg_catalog.oid[])";

// Primary keys, foreign keys and checks with their column numbers in
// declared order. Copies of a foreign key that PostgreSQL keeps for each
// partition of a partitioned table (conparentid) are left out.
constexpr const char* kReadConstraints =
    "SELECT con.conrelid, con.oid, con.contype, con.conname, con.conkey, con.confrelid, con.confkey,"
    " fn.nspname, fc.relname"
    " FROM pg_catalog.pg_constraint con"
    " LEFT JOIN pg_catalog.pg_class fc ON fc.oid = con.confrelid"
    " LEFT JOIN pg_catalog.pg_namespace fn ON fn.oid = fc.relnamespace"
    " WHERE con.conrelid = ANY ($1::pg_catalog.oid[]) AND con.contype IN ('p', 'f', 'c')"
    " AND con.conparentid = 0"
    " ORDER BY con.conrelid, con.conname";

// Column names of tables that foreign keys refer to but the read leaves out.
constexpr const char* kReadReferencedColumns =
    "SELECT attrelid, attnum, attname FROM pg_catalog.pg_attribute"
    " WHERE attrelid = ANY ($1::pg_catalog.oid[]) AND attnum > 0";

// A check names columns, so it is rendered with its table, which opens and
// locks the table until the (sub)transaction ends: in batches, each rolled
// back to a savepoint so its locks go with it. pg_get_expr reads the
// catalog as it is now, not as the snapshot shows it: it gives NULL for a
// table dropped since the read began, which the read then reports.
constexpr const char* kReadChecks =
    "SELECT con.oid, pg_catalog.pg_get_expr(con.conbin, con.conrelid) FROM pg_catalog.pg_constraint con"
    " WHERE con.oid = ANY ($1::pg_catalog.oid[])";
constexpr size_t kChecksPerBatch = 500;

// Unique indexes over plain columns, the ones behind UNIQUE constraints
// among them; partial and expression indexes say nothing a column can show.
constexpr const char* kReadUniqueIndexes =
    "SELECT i.indrelid, i.indkey, i.indnkeyatts"
    " FROM pg_catalog.pg_index i"
    " JOIN pg_catalog.pg_class ic ON ic.oid = i.indexrelid"
    " WHERE i.indrelid = ANY ($1::pg_catalog.oid[]) AND i.indisunique AND NOT i.indisprimary"
    " AND i.indpred IS NULL AND i.indexprs IS NULL"
    " ORDER BY i.indrelid, ic.relname";

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

// The numbers of an int2[] ("{1,2}") or int2vector ("1 2") text.
std::vector<int> Numbers(const char* text)
{
    std::vector<int> numbers;
    const char* end = text + std::char_traits<char>::length(text);
    for (const char* p = text; p < end;) {
        if (*p == '-' || (*p >= '0' && *p <= '9')) {
            int value = 0;
            p = std::from_chars(p, end, value).ptr;
            numbers.push_back(value);
        } else {
            ++p;
        }
    }
    return numbers;
}

// Column names by their numbers, for one table.
struct ColumnNumbers {
    std::vector<std::string> names; // by attnum; empty where none

    void Add(int number, std::string name)
    {
        if (number < 1)
            return;
        if (static_cast<size_t>(number) >= names.size())
            names.resize(static_cast<size_t>(number) + 1);
        names[static_cast<size_t>(number)] = std::move(name);
    }
    const std::string* Find(int number) const
    {
        return number > 0 && static_cast<size_t>(number) < names.size() && !names[static_cast<size_t>(number)].empty()
                   ? &names[static_cast<size_t>(number)]
                   : nullptr;
    }
};

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
            // so the connection can roll back and go on; a server that does
            // not finish within two seconds loses the connection instead.
            CancelQuery();
            const auto drainBy = Clock::now() + std::chrono::seconds(2);
            while (m_conn) {
                if (Wait(drainBy, false, what).Failed()) {
                    if (m_conn)
                        PQfinish(m_conn);
                    m_conn = nullptr;
                    break;
                }
                PGresult* rest = PQgetResult(m_conn);
                if (!rest)
                    break;
                PQclear(rest);
            }
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
    auto value = [&rows](int row, int column) { return PQgetvalue(rows.get(), row, column); };
    auto isNull = [&rows](int row, int column) { return PQgetisnull(rows.get(), row, column) != 0; };

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
    struct Read {
        SchemaTable* table;
        ColumnNumbers columns;
    };
    std::unordered_map<uint32_t, Read> byOid;
    std::string oids = "{";
    for (int row = 0; row < PQntuples(rows.get()); ++row) {
        const size_t ordinal = ToOid(value(row, 0));
        if (ordinal < 1 || ordinal > assembly.Size())
            continue;
        SchemaTable& table = assembly.At(ordinal - 1);
        assembly.MarkFound(table);
        byOid.emplace(ToOid(value(row, 1)), Read{&table, {}});
        oids += (oids.size() > 1 ? "," : "") + std::string(value(row, 1));
    }
    oids += '}';
    if (const QualifiedTable* missing = assembly.FirstMissing())
        return fail(TableGoneError(*missing, false));
    auto readOf = [&](int row) -> Read* {
        auto it = byOid.find(ToOid(value(row, 0)));
        return it == byOid.end() ? nullptr : &it->second;
    };
    auto columnOf = [&](Read* read, int number) -> SchemaColumn* {
        const std::string* name = read ? read->columns.Find(number) : nullptr;
        return name ? read->table->FindColumn(*name) : nullptr;
    };

    if (!Step(1, kReadSteps, "Reading columns"))
        return fail(Cancelled());
    if (LiveError error = Run(kReadColumns, {oids}, "Reading the columns", rows); error.Failed())
        return fail(std::move(error));
    for (int row = 0; row < PQntuples(rows.get()); ++row) {
        Read* read = readOf(row);
        if (!read)
            continue;
        SchemaColumn& column = read->table->columns.emplace_back();
        column.name = value(row, 2);
        column.type = value(row, 3);
        column.notNull = ToBool(value(row, 4));
        read->columns.Add(std::atoi(value(row, 1)), column.name);
    }
    if (LiveError error = Run(kReadDefaults, {oids}, "Reading the defaults", rows); error.Failed())
        return fail(std::move(error));
    for (int row = 0; row < PQntuples(rows.get()); ++row)
        if (SchemaColumn* column = columnOf(readOf(row), std::atoi(value(row, 1))))
            column->defaultValue = value(row, 2);
    if (LiveError error = Run(kReadComments, {oids}, "Reading the comments", rows); error.Failed())
        return fail(std::move(error));
    for (int row = 0; row < PQntuples(rows.get()); ++row) {
        Read* read = readOf(row);
        const int number = std::atoi(value(row, 1));
        if (read && number == 0)
            read->table->comment = value(row, 2);
        else if (SchemaColumn* column = columnOf(read, number))
            column->comment = value(row, 2);
    }

    if (!Step(2, kReadSteps, "Reading keys"))
        return fail(Cancelled());
    if (LiveError error = Run(kReadConstraints, {oids}, "Reading the keys", rows); error.Failed())
        return fail(std::move(error));
    struct Constraint {
        Read* read;
        char type;
        std::string name;
        std::vector<int> columns;
        uint32_t refOid;
        std::vector<int> refColumns;
        std::string refSchema;
        std::string refTable;
    };
    std::vector<Constraint> constraints;
    std::vector<std::string> checkOids;
    std::unordered_map<uint32_t, ColumnNumbers> elsewhere; // referenced tables the read leaves out
    for (int row = 0; row < PQntuples(rows.get()); ++row) {
        Read* read = readOf(row);
        if (!read)
            continue;
        Constraint constraint{read, value(row, 2)[0], value(row, 3), Numbers(value(row, 4)),
                              ToOid(value(row, 5)), Numbers(value(row, 6)), value(row, 7), value(row, 8)};
        if (constraint.type == 'c')
            checkOids.emplace_back(value(row, 1));
        if (constraint.type == 'f' && !byOid.count(constraint.refOid))
            elsewhere.try_emplace(constraint.refOid);
        constraints.push_back(std::move(constraint));
    }
    if (!elsewhere.empty()) {
        std::string outside = "{";
        for (const auto& [oid, unused] : elsewhere)
            outside += (outside.size() > 1 ? "," : "") + std::to_string(oid);
        outside += '}';
        if (LiveError error = Run(kReadReferencedColumns, {outside}, "Reading the keys", rows); error.Failed())
            return fail(std::move(error));
        for (int row = 0; row < PQntuples(rows.get()); ++row)
            elsewhere[ToOid(value(row, 0))].Add(std::atoi(value(row, 1)), value(row, 2));
    }

    if (!Step(3, kReadSteps, "Reading checks"))
        return fail(Cancelled());
    std::unordered_map<uint32_t, std::string> checkText;
    std::unordered_set<uint32_t> checkGone;
    for (size_t first = 0; first < checkOids.size(); first += kChecksPerBatch) {
        std::string batch = "{";
        for (size_t i = first; i < std::min(checkOids.size(), first + kChecksPerBatch); ++i)
            batch += (batch.size() > 1 ? "," : "") + checkOids[i];
        batch += '}';
        Result ignored;
        if (LiveError error = Run("SAVEPOINT korvo_checks", {}, "Reading the checks", ignored); error.Failed())
            return fail(std::move(error));
        if (LiveError error = Run(kReadChecks, {batch}, "Reading the checks", rows); error.Failed())
            return fail(std::move(error));
        if (LiveError error = Run("ROLLBACK TO SAVEPOINT korvo_checks", {}, "Reading the checks", ignored);
            error.Failed())
            return fail(std::move(error));
        for (int row = 0; row < PQntuples(rows.get()); ++row) {
            if (isNull(row, 1))
                checkGone.insert(ToOid(value(row, 0)));
            else
                checkText.emplace(ToOid(value(row, 0)), value(row, 1));
        }
    }
    // Checks in the order read, with their oids in the order collected.
    size_t nextCheck = 0;
    for (Constraint& constraint : constraints) {
        SchemaTable& table = *constraint.read->table;
        auto names = [](const ColumnNumbers* numbers, const std::vector<int>& list) {
            std::vector<std::string> out;
            for (int number : list)
                if (const std::string* name = numbers ? numbers->Find(number) : nullptr)
                    out.push_back(*name);
            return out;
        };
        std::vector<std::string> columns = names(&constraint.read->columns, constraint.columns);
        if (constraint.type == 'p') {
            CCatalogAssembly::AddPrimaryKey(table, std::move(columns));
        } else if (constraint.type == 'f') {
            auto inside = byOid.find(constraint.refOid);
            const ColumnNumbers* refNumbers =
                inside != byOid.end() ? &inside->second.columns : &elsewhere[constraint.refOid];
            SchemaForeignKey& key = table.foreignKeys.emplace_back();
            key.name = constraint.name;
            key.columns = std::move(columns);
            key.refSchema = constraint.refSchema;
            key.refTable = constraint.refTable;
            key.refColumns = names(refNumbers, constraint.refColumns);
        } else {
            const uint32_t oid = ToOid(checkOids[nextCheck++].c_str());
            if (checkGone.count(oid))
                return fail(TableGoneError({table.schema, table.name}, true));
            auto text = checkText.find(oid);
            if (text == checkText.end())
                return fail(TableGoneError({table.schema, table.name}, true));
            CCatalogAssembly::AddCheck(table, columns.size() == 1 ? columns.front() : std::string(),
                                       StripOuterParentheses(text->second));
        }
    }

    if (!Step(4, kReadSteps, "Reading unique indexes"))
        return fail(Cancelled());
    if (LiveError error = Run(kReadUniqueIndexes, {oids}, "Reading the unique indexes", rows); error.Failed())
        return fail(std::move(error));
    for (int row = 0; row < PQntuples(rows.get()); ++row) {
        Read* read = readOf(row);
        if (!read)
            continue;
        std::vector<int> numbers = Numbers(value(row, 1));
        numbers.resize(std::min(numbers.size(), static_cast<size_t>(std::max(0, std::atoi(value(row, 2))))));
        std::vector<std::string> columns;
        for (int number : numbers)
            if (const std::string* name = read->columns.Find(number))
                columns.push_back(*name);
        if (columns.size() == numbers.size())
            CCatalogAssembly::AddUnique(*read->table, std::move(columns));
    }
    result.value = assembly.Finish();
    return result;
}

// Reading PostgreSQL databases from the throw-away server of the
// live_postgres fixture: Chinook and Pagila against information_schema, the
// crafted feature schema, and each failure a person can meet.
#include "CatalogText.h"
#include "LiveTestSupport.h"
#include "TestFiles.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <optional>
#include <sstream>

namespace {

using Rows = std::vector<std::vector<std::string>>;

// A superuser connection over the server's socket, for setting up and for
// asking the catalog the test's own questions.
class PgAdmin {
public:
    PgAdmin(const TestServer& server, const std::string& database)
    {
        const std::string port = std::to_string(server.port);
        const char* keywords[] = {"host", "port", "user", "dbname", nullptr};
        const char* values[] = {server.socket.c_str(), port.c_str(), server.user.c_str(), database.c_str(), nullptr};
        m_conn = PQconnectdbParams(keywords, values, 0);
        if (PQstatus(m_conn) != CONNECTION_OK)
            ADD_FAILURE() << "admin connection: " << PQerrorMessage(m_conn);
    }
    ~PgAdmin() { PQfinish(m_conn); }
    PgAdmin(const PgAdmin&) = delete;
    PgAdmin& operator=(const PgAdmin&) = delete;

    Rows Query(const std::string& sql, const std::vector<std::string>& params = {})
    {
        std::vector<const char*> values;
        for (const std::string& p : params)
            values.push_back(p.c_str());
        PGresult* result =
            PQexecParams(m_conn, sql.c_str(), int(values.size()), nullptr, values.data(), nullptr, nullptr, 0);
        Rows rows;
        const ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
            ADD_FAILURE() << sql << ": " << PQresultErrorMessage(result);
        for (int r = 0; r < PQntuples(result); ++r) {
            rows.emplace_back();
            for (int c = 0; c < PQnfields(result); ++c)
                rows.back().emplace_back(PQgetvalue(result, r, c));
        }
        PQclear(result);
        return rows;
    }

private:
    PGconn* m_conn = nullptr;
};

// The tables of a schema as information_schema describes them: base tables
// without partitions, columns in order with format_type's name, primary
// keys, and foreign keys with both column lists paired through
// position_in_unique_constraint.
std::vector<SchemaTable> CatalogOf(PgAdmin& admin, const std::string& schema)
{
    std::vector<SchemaTable> tables;
    const Rows names = admin.Query(
        "SELECT t.table_name FROM information_schema.tables t"
        " WHERE t.table_schema = $1 AND t.table_type = 'BASE TABLE' AND NOT (SELECT c.relispartition"
        " FROM pg_catalog.pg_class c WHERE c.oid = (pg_catalog.quote_ident(t.table_schema) || '.' ||"
        " pg_catalog.quote_ident(t.table_name))::regclass)"
        " ORDER BY t.table_name::text COLLATE \"C\"",
        {schema});
    for (const auto& row : names) {
        SchemaTable& table = tables.emplace_back();
        table.schema = schema;
        table.name = row[0];
        const Rows qualified = admin.Query("SELECT pg_catalog.quote_ident($1) || '.' || pg_catalog.quote_ident($2)",
                                           {schema, table.name});
        for (const auto& c : admin.Query("SELECT c.column_name, pg_catalog.format_type(a.atttypid, a.atttypmod),"
                                         " c.is_nullable FROM information_schema.columns c"
                                         " JOIN pg_catalog.pg_attribute a ON a.attrelid = $1::regclass"
                                         " AND a.attname = c.column_name"
                                         " WHERE c.table_schema = $2 AND c.table_name = $3 ORDER BY c.ordinal_position",
                                         {qualified[0][0], schema, table.name})) {
            SchemaColumn& column = table.columns.emplace_back();
            column.name = c[0];
            column.type = c[1];
            column.notNull = c[2] == "NO";
        }
        for (const auto& k : admin.Query("SELECT k.column_name FROM information_schema.table_constraints t"
                                         " JOIN information_schema.key_column_usage k"
                                         " ON k.constraint_schema = t.constraint_schema"
                                         " AND k.constraint_name = t.constraint_name AND k.table_name = t.table_name"
                                         " WHERE t.constraint_type = 'PRIMARY KEY' AND t.table_schema = $1"
                                         " AND t.table_name = $2 ORDER BY k.ordinal_position",
                                         {schema, table.name}))
            table.primaryKey.push_back(k[0]);
        for (const auto& f : admin.Query(
                 "SELECT k.constraint_name, k.column_name, r.table_schema, r.table_name, r.column_name"
                 " FROM information_schema.referential_constraints rc"
                 " JOIN information_schema.key_column_usage k ON k.constraint_schema = rc.constraint_schema"
                 " AND k.constraint_name = rc.constraint_name"
                 " JOIN information_schema.key_column_usage r ON r.constraint_schema = rc.unique_constraint_schema"
                 " AND r.constraint_name = rc.unique_constraint_name"
                 " AND r.ordinal_position = k.position_in_unique_constraint"
                 " WHERE k.table_schema = $1 AND k.table_name = $2"
                 " ORDER BY k.constraint_name::text COLLATE \"C\", k.ordinal_position",
                 {schema, table.name})) {
            if (table.foreignKeys.empty() || table.foreignKeys.back().name != f[0]) {
                SchemaForeignKey& key = table.foreignKeys.emplace_back();
                key.name = f[0];
                key.refSchema = f[2];
                key.refTable = f[3];
            }
            table.foreignKeys.back().columns.push_back(f[1]);
            table.foreignKeys.back().refColumns.push_back(f[4]);
        }
    }
    return tables;
}

// Sets or unsets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class PostgresCatalogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.ok); }

    DatabaseSource Source(const std::string& database) const
    {
        return m_server.Source(DatabaseKind::PostgreSql, database);
    }
    std::string Suffix() const { return std::to_string(::getpid()); }

    TestServer m_server = LoadTestServer("postgres");
};

} // namespace

TEST_F(PostgresCatalogTest, ChinookAndPagilaMatchTheCatalog)
{
    const struct {
        const char* database;
        size_t tables;
        int foreignKeys;
    } cases[] = {
        {"chinook", 11, 11},
        // Payment is one table, not its 56 partitions.
        {"pagila", 16, 19},
    };
    for (const auto& c : cases) {
        PgAdmin admin(m_server, c.database);
        const std::vector<SchemaTable> expected = CatalogOf(admin, "public");
        const LiveResult<SchemaDescription> read = ReadLiveDatabase(Source(c.database), {});
        ASSERT_TRUE(read.Ok()) << read.error.message;
        ASSERT_EQ(read.value.tables.size(), expected.size()) << c.database;
        EXPECT_EQ(expected.size(), c.tables) << c.database;
        int keys = 0;
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(Skeleton(read.value.tables[i]), Skeleton(expected[i])) << c.database;
            keys += int(expected[i].foreignKeys.size());
        }
        EXPECT_EQ(keys, c.foreignKeys) << c.database;
        const MergeResult merged = MergeIntoNewDiagram(read.value);
        EXPECT_EQ(merged.tablesCreated, int(expected.size())) << c.database;
        EXPECT_EQ(merged.relationsAdded, keys) << c.database;
    }
}

// The catalogs scripts/capture-catalogs took from PostgreSQL 15 for the
// script readers, less the partitions a live read leaves out.
TEST_F(PostgresCatalogTest, ChinookAndPagilaGiveTheCapturedCatalogs)
{
    for (const char* name : {"chinook", "pagila"}) {
        const std::string captured = ReadWholeFile(std::string(KORVO_SOURCE_DIR) + "/tests/schema/expected/" + name +
                                                   ".postgresql.catalog");
        ASSERT_FALSE(captured.empty()) << name;
        std::istringstream lines(captured);
        std::string expected;
        for (std::string line; std::getline(lines, line);)
            if (line.find("\tpayment_p20") == std::string::npos)
                expected += line + "\n";
        const LiveResult<SchemaDescription> read = ReadLiveDatabase(Source(name), {});
        ASSERT_TRUE(read.Ok()) << read.error.message;
        EXPECT_EQ(CatalogText(read.value), expected) << name;
    }
}

TEST_F(PostgresCatalogTest, FeatureShapesAreRead)
{
    const LiveResult<SchemaDescription> read = ReadLiveDatabase(Source("korvo_features"), {"sales", "public", "Inventar"});
    ASSERT_TRUE(read.Ok()) << read.error.message;
    std::string all;
    for (const SchemaTable& table : read.value.tables)
        all += Dump(table);
    EXPECT_EQ(all, "Inventar.Größe -- Größen: ümlauts and 名前\n"
                   "  Maß numeric(10,2) NOT NULL PK\n"
                   "  名前 text UNIQUE -- name — in CJK\n"
                   "  Öl text\n"
                   "  PK (Maß,)\n"
                   "public.customer -- People who buy\n"
                   "  id integer NOT NULL PK\n"
                   "  email character varying(120) NOT NULL UNIQUE -- Where receipts go\n"
                   "  name text DEFAULT 'anonymous'::text\n"
                   "  created timestamp(3) with time zone NOT NULL DEFAULT now()\n"
                   "  score numeric(6,2) CHECK score >= (0)::numeric\n"
                   "  tags text[]\n"
                   "  shout text\n"
                   "  serial_no integer NOT NULL\n"
                   "  PK (id,)\n"
                   "public.item -- \n"
                   "  id integer NOT NULL PK\n"
                   "  size numeric(10,2)\n"
                   "  PK (id,)\n"
                   "  FK item_size_fkey (size,) -> Inventar.Größe (Maß,)\n"
                   "public.measurement -- \n"
                   "  id integer NOT NULL PK\n"
                   "  taken date NOT NULL PK\n"
                   "  PK (id,taken,)\n"
                   "public.reading -- \n"
                   "  m_id integer\n"
                   "  m_taken date\n"
                   "  PK ()\n"
                   "  FK reading_m_id_m_taken_fkey (m_id,m_taken,) -> public.measurement (id,taken,)\n"
                   "public.self_ref -- \n"
                   "  id integer NOT NULL PK\n"
                   "  parent integer\n"
                   "  PK (id,)\n"
                   "  FK self_ref_parent_fkey (parent,) -> public.self_ref (id,)\n"
                   "sales.Order -- \n"
                   "  region character(2) NOT NULL PK\n"
                   "  Order No integer NOT NULL PK\n"
                   "  customer_id integer\n"
                   "  placed date\n"
                   "  shipped date\n"
                   "  PK (region,Order No,)\n"
                   "  UNIQUE (customer_id,placed,)\n"
                   "  CHECK shipped >= placed\n"
                   "  FK Order_customer_id_fkey (customer_id,) -> public.customer (id,)\n"
                   "sales.order_line -- \n"
                   "  line integer NOT NULL PK\n"
                   "  Region character(2) NOT NULL PK\n"
                   "  order_no integer NOT NULL PK\n"
                   "  qty integer DEFAULT 1\n"
                   "  PK (Region,order_no,line,)\n"
                   "  FK line_order (order_no,Region,) -> sales.Order (Order No,region,)\n");

    const MergeResult merged = MergeIntoNewDiagram(read.value);
    EXPECT_EQ(merged.tablesCreated, 8);
    EXPECT_EQ(merged.relationsAdded, 5);
    EXPECT_EQ(merged.notShown, (std::vector<std::string>{"UNIQUE (customer_id, placed) of Order"}));

    // Only the schema asked for; a foreign key out of it is not shown.
    const LiveResult<SchemaDescription> sales = ReadLiveDatabase(Source("korvo_features"), {"sales"});
    ASSERT_TRUE(sales.Ok()) << sales.error.message;
    ASSERT_EQ(sales.value.tables.size(), 2u);
    EXPECT_EQ(MergeIntoNewDiagram(sales.value).relationsAdded, 1);
}

TEST_F(PostgresCatalogTest, ListsLeaveOutSystemSchemasViewsSequencesAndPartitions)
{
    LiveResult<std::unique_ptr<CLiveDatabase>> db = ConnectLiveDatabase(Source("korvo_features"));
    ASSERT_TRUE(db.Ok()) << db.error.message;
    EXPECT_EQ(db.value->DefaultSchema(), "public");
    EXPECT_NE(db.value->ServerDescription().find("PostgreSQL 15"), std::string::npos);
    const LiveResult<std::vector<std::string>> schemas = db.value->ListSchemas();
    ASSERT_TRUE(schemas.Ok());
    EXPECT_EQ(schemas.value, (std::vector<std::string>{"Inventar", "public", "sales"}));
    const LiveResult<std::vector<QualifiedTable>> tables = db.value->ListTables({"public", "Inventar"});
    ASSERT_TRUE(tables.Ok());
    std::vector<std::string> names;
    for (const QualifiedTable& table : tables.value)
        names.push_back(table.schema + "." + table.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Inventar.Größe", "public.customer", "public.item",
                                               "public.measurement", "public.reading", "public.self_ref"}));
    ExpectCleanFailure(db.value->ListTables({"public", "inventar"}), LiveErrorCode::NotFound, "", "schema case");
    ExpectCleanFailure(db.value->ReadTables({}), LiveErrorCode::NoTables, "", "nothing chosen");
}

TEST_F(PostgresCatalogTest, LoginAndConnectionFailuresFailCleanly)
{
    SilentListener silent;
    const std::string secret = m_server.password;
    const ScopedEnv noPassword("PGPASSWORD", std::nullopt);
    const ScopedEnv noPassFile("PGPASSFILE", "/nonexistent/korvo-pgpass");

    DatabaseSource wrong = Source("chinook");
    wrong.password = "Wrong" + secret;
    DatabaseSource unknownUser = Source("chinook");
    unknownUser.user = "nobody_here";
    DatabaseSource none = Source("chinook");
    none.password.clear();
    DatabaseSource unknownDatabase = Source("no_such_database");
    DatabaseSource quiet = Source("chinook");
    quiet.port = silent.Port();
    quiet.connectTimeoutSeconds = 2;
    DatabaseSource refused = Source("chinook");
    refused.port = ClosedPort();
    const LiveResult<DatabaseSource> inUri = ParseDatabaseSource("postgresql://" + m_server.user + ":" + secret +
                                                                 "@127.0.0.1:" + std::to_string(m_server.port) +
                                                                 "/no_such_database");
    ASSERT_TRUE(inUri.Ok());

    const struct {
        const char* what;
        DatabaseSource source;
        LiveErrorCode code;
        const char* says;
    } cases[] = {
        {"wrong password", wrong, LiveErrorCode::LoginFailed, "password authentication failed"},
        {"unknown user", unknownUser, LiveErrorCode::LoginFailed, "password authentication failed"},
        {"no password", none, LiveErrorCode::PasswordNeeded, "asks for a password"},
        {"unknown database", unknownDatabase, LiveErrorCode::NotFound, "does not exist"},
        {"password in the URI", inUri.value, LiveErrorCode::NotFound, "does not exist"},
        {"server that does not answer", quiet, LiveErrorCode::Timeout, "within the connect timeout"},
        {"nothing listening", refused, LiveErrorCode::ConnectFailed, "Connection refused"},
    };
    for (const auto& c : cases) {
        ExpectCleanFailure(TestConnection(c.source), c.code, secret, c.what);
        const LiveResult<SchemaDescription> read = ReadLiveDatabase(c.source, {});
        ExpectCleanFailure(read, c.code, secret, c.what);
        EXPECT_NE(read.error.message.find(c.says), std::string::npos) << c.what << ": " << read.error.message;
        EXPECT_EQ(read.error.message.find("Wrong"), std::string::npos) << read.error.message;
    }
}

TEST_F(PostgresCatalogTest, PasswordsComeFromPgpassAndPgpassword)
{
    DatabaseSource source = Source("chinook");
    source.password.clear();
    {
        const ScopedEnv password("PGPASSWORD", m_server.password);
        const LiveResult<std::string> connected = TestConnection(source);
        EXPECT_TRUE(connected.Ok()) << connected.error.message;
        EXPECT_EQ(connected.value.find(m_server.password), std::string::npos);
    }
    TempDir dir;
    const std::string pgpass = dir.File("pgpass");
    WriteWholeFile(pgpass, "127.0.0.1:" + std::to_string(m_server.port) + ":*:" + m_server.user + ":" +
                               m_server.password + "\n");
    ASSERT_EQ(::chmod(pgpass.c_str(), 0600), 0);
    const ScopedEnv noPassword("PGPASSWORD", std::nullopt);
    const ScopedEnv passFile("PGPASSFILE", pgpass);
    const LiveResult<SchemaDescription> read = ReadLiveDatabase(source, {});
    ASSERT_TRUE(read.Ok()) << read.error.message;
    EXPECT_EQ(read.value.tables.size(), 11u);
    const LiveResult<SchemaDescription> viaUri = ReadLiveDatabase(
        ParseDatabaseSource("postgresql://" + m_server.user + "@127.0.0.1:" + std::to_string(m_server.port) +
                            "/chinook")
            .value,
        {});
    EXPECT_TRUE(viaUri.Ok()) << viaUri.error.message;
}

TEST_F(PostgresCatalogTest, ADatabaseWithoutTablesSaysSo)
{
    const LiveResult<SchemaDescription> read = ReadLiveDatabase(Source("korvo_empty"), {});
    ExpectCleanFailure(read, LiveErrorCode::NoTables, m_server.password, "empty database");
    EXPECT_EQ(read.error.message,
              "No tables in schema public of postgresql://" + m_server.user + "@127.0.0.1:" +
                  std::to_string(m_server.port) + "/korvo_empty");
}

TEST_F(PostgresCatalogTest, TablesDroppedBeforeOrWhileReadingFailTheRead)
{
    PgAdmin admin(m_server, "korvo_scratch");
    const std::string schema = "drop_" + Suffix();
    admin.Query("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
    admin.Query("CREATE SCHEMA " + schema);
    admin.Query("CREATE TABLE " + schema + ".kept (id int PRIMARY KEY)");
    admin.Query("CREATE TABLE " + schema + ".plain (id int REFERENCES " + schema + ".kept DEFAULT 7)");
    admin.Query("CREATE TABLE " + schema + ".checked (id int CHECK (id > 0))");
    LiveResult<std::unique_ptr<CLiveDatabase>> db = ConnectLiveDatabase(Source("korvo_scratch"));
    ASSERT_TRUE(db.Ok()) << db.error.message;
    const LiveResult<std::vector<QualifiedTable>> tables = db.value->ListTables({schema});
    ASSERT_TRUE(tables.Ok());
    ASSERT_EQ(tables.value.size(), 3u);

    // Dropped between the list and the read.
    admin.Query("DROP TABLE " + schema + ".plain");
    LiveResult<SchemaDescription> read = db.value->ReadTables(tables.value);
    ExpectCleanFailure(read, LiveErrorCode::TableGone, m_server.password, "dropped before the read");
    EXPECT_EQ(read.error.message, "Table " + schema + ".plain no longer exists in the database");

    // Dropped after the read's snapshot began: a table whose check the
    // server can no longer render fails the read; any other is read as the
    // snapshot shows it, default and foreign key included.
    admin.Query("CREATE TABLE " + schema + ".plain (id int REFERENCES " + schema + ".kept DEFAULT 7)");
    const auto dropAt = [&](const std::string& table) {
        return [&admin, schema, table](const ReadProgress& progress) {
            if (progress.done == 1)
                admin.Query("DROP TABLE " + schema + "." + table);
            return true;
        };
    };
    read = db.value->ReadTables(tables.value, dropAt("checked"));
    ExpectCleanFailure(read, LiveErrorCode::TableGone, m_server.password, "dropped while reading");
    EXPECT_EQ(read.error.message, "Table " + schema + ".checked was dropped while the catalog was being read");
    admin.Query("CREATE TABLE " + schema + ".checked (id int CHECK (id > 0))");
    read = db.value->ReadTables(tables.value, dropAt("plain"));
    ASSERT_TRUE(read.Ok()) << read.error.message;
    ASSERT_EQ(read.value.tables[2].name, "plain");
    EXPECT_EQ(read.value.tables[2].columns[0].defaultValue, "7");
    EXPECT_EQ(read.value.tables[2].foreignKeys.size(), 1u);
    admin.Query("DROP SCHEMA " + schema + " CASCADE");
}

TEST_F(PostgresCatalogTest, ACancelledReadLeavesTheConnectionUsable)
{
    LiveResult<std::unique_ptr<CLiveDatabase>> db = ConnectLiveDatabase(Source("pagila"));
    ASSERT_TRUE(db.Ok()) << db.error.message;
    const LiveResult<std::vector<QualifiedTable>> tables = db.value->ListTables({"public"});
    ASSERT_TRUE(tables.Ok());
    std::vector<int> seen;
    const LiveResult<SchemaDescription> cancelled = db.value->ReadTables(tables.value, [&](const ReadProgress& p) {
        seen.push_back(p.done);
        return p.done < 2;
    });
    ExpectCleanFailure(cancelled, LiveErrorCode::Cancelled, m_server.password, "cancelled");
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
    const LiveResult<SchemaDescription> again = db.value->ReadTables(tables.value);
    ASSERT_TRUE(again.Ok()) << again.error.message;
    EXPECT_EQ(again.value.tables.size(), tables.value.size());
}

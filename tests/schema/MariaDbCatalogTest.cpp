// Reading MariaDB databases from the throw-away server of the live_mariadb
// fixture: Chinook against the server's SHOW statements, the crafted feature
// schema, and each failure a person can meet.
#include "CatalogText.h"
#include "TestFiles.h"
#include "LiveTestSupport.h"

#include <mysql.h>

#include <regex>

namespace {

using Rows = std::vector<std::vector<std::string>>;

// The server's root over its socket, for setting up and for asking the
// test's own questions.
class MariaAdmin {
public:
    explicit MariaAdmin(const TestServer& server)
    {
        m_mysql = mysql_init(nullptr);
        mysql_options(m_mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
        if (!mysql_real_connect(m_mysql, "localhost", "root", nullptr, nullptr, 0, server.socket.c_str(), 0))
            ADD_FAILURE() << "admin connection: " << mysql_error(m_mysql);
    }
    ~MariaAdmin() { mysql_close(m_mysql); }
    MariaAdmin(const MariaAdmin&) = delete;
    MariaAdmin& operator=(const MariaAdmin&) = delete;

    Rows Query(const std::string& sql)
    {
        Rows rows;
        if (mysql_query(m_mysql, sql.c_str()) != 0) {
            ADD_FAILURE() << sql << ": " << mysql_error(m_mysql);
            return rows;
        }
        MYSQL_RES* result = mysql_store_result(m_mysql);
        if (!result)
            return rows;
        const unsigned fields = mysql_num_fields(result);
        while (MYSQL_ROW row = mysql_fetch_row(result)) {
            unsigned long* lengths = mysql_fetch_lengths(result);
            rows.emplace_back();
            for (unsigned i = 0; i < fields; ++i)
                rows.back().emplace_back(row[i] ? std::string(row[i], lengths[i]) : std::string("<null>"));
        }
        mysql_free_result(result);
        return rows;
    }

private:
    MYSQL* m_mysql = nullptr;
};

std::string Quoted(const std::string& name)
{
    return "`" + name + "`";
}

// The tables of a database as SHOW FULL TABLES, SHOW COLUMNS, SHOW INDEX
// and the FOREIGN KEY clauses of SHOW CREATE TABLE describe them.
std::vector<SchemaTable> CatalogOf(MariaAdmin& admin, const std::string& database)
{
    std::vector<SchemaTable> tables;
    for (const auto& row : admin.Query("SHOW FULL TABLES FROM " + Quoted(database))) {
        if (row[1] != "BASE TABLE")
            continue;
        SchemaTable& table = tables.emplace_back();
        table.schema = database;
        table.name = row[0];
    }
    std::sort(tables.begin(), tables.end(), [](const SchemaTable& a, const SchemaTable& b) { return a.name < b.name; });
    const std::regex foreignKey(R"(CONSTRAINT `([^`]+)` FOREIGN KEY \(([^)]*)\) REFERENCES (?:`([^`]+)`\.)?`([^`]+)` \(([^)]*)\))");
    const std::regex name("`([^`]+)`");
    auto names = [&](const std::string& list) {
        std::vector<std::string> out;
        for (std::sregex_iterator it(list.begin(), list.end(), name), end; it != end; ++it)
            out.push_back((*it)[1]);
        return out;
    };
    for (SchemaTable& table : tables) {
        const std::string qualified = Quoted(database) + "." + Quoted(table.name);
        for (const auto& c : admin.Query("SHOW COLUMNS FROM " + qualified)) {
            SchemaColumn& column = table.columns.emplace_back();
            column.name = c[0];
            column.type = c[1];
            column.notNull = c[2] == "NO";
        }
        for (const auto& k : admin.Query("SHOW INDEX FROM " + qualified))
            if (k[2] == "PRIMARY")
                table.primaryKey.push_back(k[4]);
        const std::string create = admin.Query("SHOW CREATE TABLE " + qualified)[0][1];
        for (std::sregex_iterator it(create.begin(), create.end(), foreignKey), end; it != end; ++it) {
            SchemaForeignKey& key = table.foreignKeys.emplace_back();
            key.name = (*it)[1];
            key.columns = names((*it)[2]);
            key.refSchema = (*it)[3].matched ? std::string((*it)[3]) : database;
            key.refTable = (*it)[4];
            key.refColumns = names((*it)[5]);
        }
        std::sort(table.foreignKeys.begin(), table.foreignKeys.end(),
                  [](const SchemaForeignKey& a, const SchemaForeignKey& b) { return a.name < b.name; });
    }
    return tables;
}

class MariaDbCatalogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.ok); }

    DatabaseSource Source(const std::string& database) const
    {
        return m_server.Source(DatabaseKind::MariaDb, database);
    }
    std::string Suffix() const { return std::to_string(::getpid()); }

    TestServer m_server = LoadTestServer("mariadb");
};

} // namespace

TEST_F(MariaDbCatalogTest, ChinookMatchesTheCatalog)
{
    MariaAdmin admin(m_server);
    const std::vector<SchemaTable> expected = CatalogOf(admin, "Chinook");
    ASSERT_EQ(expected.size(), 11u);
    const LiveResult<SchemaDescription> read = ReadLiveDatabase(Source("Chinook"), {});
    ASSERT_TRUE(read.Ok()) << read.error.message;
    ASSERT_EQ(read.value.tables.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Skeleton(read.value.tables[i]), Skeleton(expected[i]));
    const MergeResult merged = MergeIntoNewDiagram(read.value);
    EXPECT_EQ(merged.tablesCreated, 11);
    EXPECT_EQ(merged.relationsAdded, 11);

    // And the catalog scripts/capture-catalogs took for the script readers.
    EXPECT_EQ(CatalogText(read.value),
              ReadWholeFile(std::string(KORVO_SOURCE_DIR) + "/tests/schema/expected/chinook.mysql.catalog"));
}

TEST_F(MariaDbCatalogTest, FeatureShapesAreRead)
{
    const LiveResult<SchemaDescription> read = ReadLiveDatabase(Source("korvo_features"), {"korvo_features", "Inventar"});
    ASSERT_TRUE(read.Ok()) << read.error.message;
    std::string all;
    for (const SchemaTable& table : read.value.tables)
        all += Dump(table);
    EXPECT_EQ(all, "Inventar.Größe -- Größen: ümlauts and 名前\n"
                   "  Maß decimal(10,2) NOT NULL PK\n"
                   "  名前 varchar(20) UNIQUE -- name — in CJK\n"
                   "  Öl text\n"
                   "  PK (Maß,)\n"
                   "korvo_features.Customer -- \n"
                   "  X int(11)\n"
                   "  PK ()\n"
                   "korvo_features.Order -- \n"
                   "  region char(2) NOT NULL PK\n"
                   "  Order No int(11) NOT NULL PK\n"
                   "  customer_id int(11)\n"
                   "  placed date\n"
                   "  shipped date\n"
                   "  PK (region,Order No,)\n"
                   "  UNIQUE (customer_id,placed,)\n"
                   "  UNIQUE (Order No,region,)\n"
                   "  CHECK `shipped` >= `placed`\n"
                   "  FK order_customer (customer_id,) -> korvo_features.customer (id,)\n"
                   "korvo_features.customer -- People who buy\n"
                   "  id int(11) NOT NULL PK\n"
                   "  email varchar(120) NOT NULL UNIQUE -- Where receipts go\n"
                   "  name varchar(40) DEFAULT 'anonymous'\n"
                   "  score decimal(6,2) CHECK `score` >= 0\n"
                   "  created timestamp NOT NULL DEFAULT current_timestamp()\n"
                   "  shout varchar(40)\n"
                   "  PK (id,)\n"
                   "  CHECK `id` > 0\n"
                   "korvo_features.item -- \n"
                   "  id int(11) NOT NULL PK\n"
                   "  size decimal(10,2)\n"
                   "  PK (id,)\n"
                   "  FK item_size (size,) -> Inventar.Größe (Maß,)\n"
                   "korvo_features.order_line -- \n"
                   "  line int(11) NOT NULL PK\n"
                   "  Region char(2) NOT NULL PK\n"
                   "  order_no int(11) NOT NULL PK\n"
                   "  qty int(11) DEFAULT 1\n"
                   "  PK (Region,order_no,line,)\n"
                   "  FK line_order (order_no,Region,) -> korvo_features.Order (Order No,region,)\n");

    // Customer and customer stay two tables of the diagram.
    const MergeResult merged = MergeIntoNewDiagram(read.value);
    EXPECT_EQ(merged.tablesCreated, 6);
    EXPECT_EQ(merged.relationsAdded, 3);
    EXPECT_EQ(merged.notShown, (std::vector<std::string>{"UNIQUE (customer_id, placed) of Order",
                                                         "UNIQUE (Order No, region) of Order"}));
}

TEST_F(MariaDbCatalogTest, ListsLeaveOutSystemSchemasViewsAndSequences)
{
    DatabaseSource source = Source("");
    source.host = "localhost";
    source.port = 0;
    source.socket = m_server.socket;
    LiveResult<std::unique_ptr<CLiveDatabase>> db = ConnectLiveDatabase(source);
    ASSERT_TRUE(db.Ok()) << db.error.message;
    EXPECT_EQ(db.value->DefaultSchema(), "");
    EXPECT_NE(db.value->ServerDescription().find("MariaDB 10.11"), std::string::npos);
    LiveResult<std::vector<std::string>> schemas = db.value->ListSchemas();
    ASSERT_TRUE(schemas.Ok());
    // schema_ServerEngines runs its scripts in databases of its own on the
    // same server, maybe at the same time.
    std::erase_if(schemas.value, [](const std::string& name) { return name.rfind("korvo_export_", 0) == 0; });
    EXPECT_EQ(schemas.value, (std::vector<std::string>{"Chinook", "Inventar", "korvo_empty", "korvo_features",
                                                       "korvo_scratch"}));
    const LiveResult<std::vector<QualifiedTable>> tables = db.value->ListTables({"korvo_features"});
    ASSERT_TRUE(tables.Ok());
    std::vector<std::string> names;
    for (const QualifiedTable& table : tables.value)
        names.push_back(table.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Customer", "Order", "customer", "item", "order_line"}));
    ExpectCleanFailure(db.value->ListTables({"chinook"}), LiveErrorCode::NotFound, "", "schema case");

    // Without a database in the source and without a schema there is
    // nothing to read.
    const LiveResult<SchemaDescription> read = ReadLiveDatabase(source, {});
    ExpectCleanFailure(read, LiveErrorCode::BadSource, m_server.password, "no database");
    EXPECT_NE(read.error.message.find("names no database or schema"), std::string::npos) << read.error.message;
    const LiveResult<SchemaDescription> chinook = ReadLiveDatabase(source, {"Chinook"});
    ASSERT_TRUE(chinook.Ok()) << chinook.error.message;
    EXPECT_EQ(chinook.value.tables.size(), 11u);
}

TEST_F(MariaDbCatalogTest, LoginAndConnectionFailuresFailCleanly)
{
    SilentListener silent;
    const std::string secret = m_server.password;
    DatabaseSource wrong = Source("Chinook");
    wrong.password = "Wrong" + secret;
    DatabaseSource unknownUser = Source("Chinook");
    unknownUser.user = "nobody_here";
    DatabaseSource unknownDatabase = Source("no_such_database");
    DatabaseSource quiet = Source("Chinook");
    quiet.port = silent.Port();
    quiet.connectTimeoutSeconds = 2;
    DatabaseSource refused = Source("Chinook");
    refused.port = ClosedPort();
    DatabaseSource noSocket = Source("Chinook");
    noSocket.host = "localhost";
    noSocket.socket = m_server.socket + ".missing";
    const LiveResult<DatabaseSource> inUri = ParseDatabaseSource(
        "mysql://korvo:" + secret + "@127.0.0.1:" + std::to_string(m_server.port) + "/no_such_database");
    ASSERT_TRUE(inUri.Ok());

    const struct {
        const char* what;
        DatabaseSource source;
        LiveErrorCode code;
        const char* says;
    } cases[] = {
        {"wrong password", wrong, LiveErrorCode::LoginFailed, "Access denied"},
        {"unknown user", unknownUser, LiveErrorCode::LoginFailed, "Access denied"},
        {"unknown database", unknownDatabase, LiveErrorCode::NotFound, "Unknown database"},
        {"password in the URI", inUri.value, LiveErrorCode::NotFound, "Unknown database"},
        {"server that does not answer", quiet, LiveErrorCode::Timeout, "within the connect timeout"},
        {"nothing listening", refused, LiveErrorCode::ConnectFailed, "Can't connect"},
        {"no such socket", noSocket, LiveErrorCode::ConnectFailed, "Can't connect"},
    };
    for (const auto& c : cases) {
        ExpectCleanFailure(TestConnection(c.source), c.code, secret, c.what);
        const LiveResult<SchemaDescription> read = ReadLiveDatabase(c.source, {});
        ExpectCleanFailure(read, c.code, secret, c.what);
        EXPECT_NE(read.error.message.find(c.says), std::string::npos) << c.what << ": " << read.error.message;
    }
}

TEST_F(MariaDbCatalogTest, ADatabaseWithoutTablesSaysSo)
{
    const LiveResult<SchemaDescription> read = ReadLiveDatabase(Source("korvo_empty"), {});
    ExpectCleanFailure(read, LiveErrorCode::NoTables, m_server.password, "empty database");
    EXPECT_EQ(read.error.message, "No tables in schema korvo_empty of mariadb://korvo@127.0.0.1:" +
                                      std::to_string(m_server.port) + "/korvo_empty");
}

TEST_F(MariaDbCatalogTest, TablesDroppedBeforeOrWhileReadingFailTheRead)
{
    MariaAdmin admin(m_server);
    const std::string database = "drop_" + Suffix();
    admin.Query("DROP DATABASE IF EXISTS " + database);
    admin.Query("CREATE DATABASE " + database);
    admin.Query("CREATE TABLE " + database + ".kept (id INT PRIMARY KEY)");
    admin.Query("CREATE TABLE " + database + ".plain (id INT, FOREIGN KEY (id) REFERENCES " + database + ".kept (id))");
    LiveResult<std::unique_ptr<CLiveDatabase>> db = ConnectLiveDatabase(Source(database));
    ASSERT_TRUE(db.Ok()) << db.error.message;
    const LiveResult<std::vector<QualifiedTable>> tables = db.value->ListTables({database});
    ASSERT_TRUE(tables.Ok());
    ASSERT_EQ(tables.value.size(), 2u);

    admin.Query("DROP TABLE " + database + ".plain");
    LiveResult<SchemaDescription> read = db.value->ReadTables(tables.value);
    ExpectCleanFailure(read, LiveErrorCode::TableGone, m_server.password, "dropped before the read");
    EXPECT_EQ(read.error.message, "Table " + database + ".plain no longer exists in the database");

    // information_schema is no snapshot: a drop between any two of the
    // read's queries shows, and fails the read.
    for (int step : {1, 3, 5}) {
        admin.Query("CREATE TABLE IF NOT EXISTS " + database + ".plain (id INT)");
        read = db.value->ReadTables(tables.value, [&](const ReadProgress& progress) {
            if (progress.done == step)
                admin.Query("DROP TABLE " + database + ".plain");
            return true;
        });
        ExpectCleanFailure(read, LiveErrorCode::TableGone, m_server.password, "dropped at step " + std::to_string(step));
        EXPECT_EQ(read.error.message, "Table " + database + ".plain was dropped while the catalog was being read");
    }
    admin.Query("DROP DATABASE " + database);
}

TEST_F(MariaDbCatalogTest, ACancelledReadLeavesTheConnectionUsable)
{
    LiveResult<std::unique_ptr<CLiveDatabase>> db = ConnectLiveDatabase(Source("Chinook"));
    ASSERT_TRUE(db.Ok()) << db.error.message;
    const LiveResult<std::vector<QualifiedTable>> tables = db.value->ListTables({"Chinook"});
    ASSERT_TRUE(tables.Ok());
    std::vector<int> seen;
    const LiveResult<SchemaDescription> cancelled = db.value->ReadTables(tables.value, [&](const ReadProgress& p) {
        seen.push_back(p.done);
        return p.done < 3;
    });
    ExpectCleanFailure(cancelled, LiveErrorCode::Cancelled, m_server.password, "cancelled");
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));
    const LiveResult<SchemaDescription> again = db.value->ReadTables(tables.value);
    ASSERT_TRUE(again.Ok()) << again.error.message;
    EXPECT_EQ(again.value.tables.size(), 11u);
}

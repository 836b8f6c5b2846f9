// A PostgreSQL server that stops answering or dies in the middle of a read,
// on the throw-away server of the live_postgres-doomed fixture, which this
// test kills.
#include "LiveTestSupport.h"

#include <libpq-fe.h>

#include <signal.h>

#include <thread>

namespace {

// Runs one statement as the superuser over the socket; the first value.
std::string AdminQuery(const TestServer& server, const std::string& sql)
{
    const std::string port = std::to_string(server.port);
    const char* keywords[] = {"host", "port", "user", "dbname", nullptr};
    const char* values[] = {server.socket.c_str(), port.c_str(), server.user.c_str(), "postgres", nullptr};
    PGconn* conn = PQconnectdbParams(keywords, values, 0);
    PGresult* result = PQexec(conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    EXPECT_TRUE(status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) << sql << ": " << PQerrorMessage(conn);
    std::string value = PQntuples(result) > 0 ? PQgetvalue(result, 0, 0) : "";
    PQclear(result);
    PQfinish(conn);
    return value;
}

// The server process that serves Korvo's connection.
int KorvoBackend(const TestServer& server)
{
    return std::atoi(AdminQuery(server, "SELECT pid FROM pg_stat_activity WHERE application_name = 'Korvo'").c_str());
}

} // namespace

TEST(PostgresServerGoneTest, AServerThatHangsOrDiesMidReadFailsTheRead)
{
    const TestServer server = LoadTestServer("postgres-doomed");
    ASSERT_TRUE(server.ok);
    AdminQuery(server, "CREATE TABLE parent (id int PRIMARY KEY);"
                       " CREATE TABLE child (id int PRIMARY KEY, parent_id int REFERENCES parent)");
    DatabaseSource source = server.Source(DatabaseKind::PostgreSql, "postgres");
    source.readTimeoutSeconds = 2;

    // The server stops answering: Cancel works while Korvo waits...
    LiveResult<std::unique_ptr<CLiveDatabase>> db = ConnectLiveDatabase(source);
    ASSERT_TRUE(db.Ok()) << db.error.message;
    LiveResult<std::vector<QualifiedTable>> tables = db.value->ListTables({"public"});
    ASSERT_TRUE(tables.Ok()) << tables.error.message;
    int backend = 0;
    int polls = 0;
    LiveResult<SchemaDescription> read = db.value->ReadTables(tables.value, [&](const ReadProgress& p) {
        if (p.done == 1 && !backend) {
            backend = KorvoBackend(server);
            EXPECT_TRUE(StopProcess(backend));
        }
        return !(p.done == 1 && ++polls > 3);
    });
    ASSERT_GT(backend, 0);
    ::kill(backend, SIGCONT);
    ExpectCleanFailure(read, LiveErrorCode::Cancelled, server.password, "cancelled while the server hung");

    // ... and without one the read ends at the read timeout.
    db = ConnectLiveDatabase(source);
    ASSERT_TRUE(db.Ok()) << db.error.message;
    backend = 0;
    read = db.value->ReadTables(tables.value, [&](const ReadProgress& p) {
        if (p.done == 2 && !backend) {
            backend = KorvoBackend(server);
            EXPECT_TRUE(StopProcess(backend));
        }
        return true;
    });
    ASSERT_GT(backend, 0);
    ::kill(backend, SIGCONT);
    ExpectCleanFailure(read, LiveErrorCode::Timeout, server.password, "server hung");
    EXPECT_NE(read.error.message.find("no answer within 2 s"), std::string::npos) << read.error.message;

    // The server dies between two queries of a read.
    db = ConnectLiveDatabase(source);
    ASSERT_TRUE(db.Ok()) << db.error.message;
    read = db.value->ReadTables(tables.value, [&](const ReadProgress& p) {
        if (p.done == 2) {
            ::kill(server.pid, SIGQUIT); // immediate shutdown: every server process ends at once
            EXPECT_TRUE(WaitUntilGone(server.pid));
        }
        return true;
    });
    ExpectCleanFailure(read, LiveErrorCode::ConnectionLost, server.password, "server died");
    EXPECT_NE(read.error.message.find("the connection was lost"), std::string::npos) << read.error.message;
    ExpectCleanFailure(db.value->ListSchemas(), LiveErrorCode::ConnectionLost, server.password, "afterwards");
    ExpectCleanFailure(ConnectLiveDatabase(source), LiveErrorCode::ConnectFailed, server.password, "reconnect");
}

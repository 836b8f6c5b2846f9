// A MariaDB server that stops answering or dies in the middle of a read, on
// the throw-away server of the live_mariadb-doomed fixture, which this test
// kills.
#include "LiveTestSupport.h"

#include <mysql.h>

#include <signal.h>

#include <thread>

namespace {

void AdminExecute(const TestServer& server, const std::string& sql)
{
    MYSQL* mysql = mysql_init(nullptr);
    ASSERT_TRUE(mysql_real_connect(mysql, "localhost", "root", nullptr, nullptr, 0, server.socket.c_str(),
                                   CLIENT_MULTI_STATEMENTS))
        << mysql_error(mysql);
    EXPECT_EQ(mysql_query(mysql, sql.c_str()), 0) << mysql_error(mysql);
    while (mysql_next_result(mysql) == 0) {
    }
    mysql_close(mysql);
}

} // namespace

TEST(MariaDbServerGoneTest, AServerThatHangsOrDiesMidReadFailsTheRead)
{
    const TestServer server = LoadTestServer("mariadb-doomed");
    ASSERT_TRUE(server.ok);
    AdminExecute(server, "CREATE DATABASE shop; CREATE TABLE shop.parent (id INT PRIMARY KEY);"
                         " CREATE TABLE shop.child (id INT PRIMARY KEY, parent_id INT REFERENCES shop.parent (id))");
    DatabaseSource source = server.Source(DatabaseKind::MariaDb, "shop");
    source.readTimeoutSeconds = 2;

    // The server stops answering: Cancel works while Korvo waits...
    LiveResult<std::unique_ptr<CLiveDatabase>> db = ConnectLiveDatabase(source);
    ASSERT_TRUE(db.Ok()) << db.error.message;
    LiveResult<std::vector<QualifiedTable>> tables = db.value->ListTables({"shop"});
    ASSERT_TRUE(tables.Ok()) << tables.error.message;
    int polls = 0;
    LiveResult<SchemaDescription> read = db.value->ReadTables(tables.value, [&](const ReadProgress& p) {
        if (p.done == 1 && polls == 0) {
            EXPECT_TRUE(StopProcess(server.pid));
        }
        return !(p.done == 1 && ++polls > 3);
    });
    ::kill(server.pid, SIGCONT);
    ExpectCleanFailure(read, LiveErrorCode::Cancelled, server.password, "cancelled while the server hung");

    // ... and without one the read ends at the read timeout.
    db = ConnectLiveDatabase(source);
    ASSERT_TRUE(db.Ok()) << db.error.message;
    read = db.value->ReadTables(tables.value, [&](const ReadProgress& p) {
        if (p.done == 2 && polls >= 0) {
            polls = -1;
            EXPECT_TRUE(StopProcess(server.pid));
        }
        return true;
    });
    ::kill(server.pid, SIGCONT);
    ExpectCleanFailure(read, LiveErrorCode::Timeout, server.password, "server hung");
    EXPECT_NE(read.error.message.find("no answer within 2 s"), std::string::npos) << read.error.message;

    // The server dies between two queries of a read.
    db = ConnectLiveDatabase(source);
    ASSERT_TRUE(db.Ok()) << db.error.message;
    read = db.value->ReadTables(tables.value, [&](const ReadProgress& p) {
        if (p.done == 2) {
            ::kill(server.pid, SIGKILL);
            EXPECT_TRUE(WaitUntilGone(server.pid));
        }
        return true;
    });
    ExpectCleanFailure(read, LiveErrorCode::ConnectionLost, server.password, "server died");
    ExpectCleanFailure(db.value->ListSchemas(), LiveErrorCode::ConnectionLost, server.password, "afterwards");
    ExpectCleanFailure(ConnectLiveDatabase(source), LiveErrorCode::ConnectFailed, server.password, "reconnect");
}

#pragma once

// What the live-database tests share: the connection details of the
// throw-away servers that the ctest fixtures start (scripts/db-server, see
// tests/schema/CMakeLists.txt), a listener that never answers, and checks
// every failure must pass.

#include "CKorvoDoc.h"
#include "CSchemaMerge.h"
#include "FakeSurface.h"
#include "LiveDatabase.h"

#include <arpa/inet.h>
#include <signal.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

// Stops a server process with SIGSTOP and returns once each of its threads
// has stopped. The stop takes hold asynchronously, and a query the server
// answered meanwhile would carry a read past the step a test means to hang.
// False when it has not stopped within five seconds.
inline bool StopProcess(int pid)
{
    ::kill(pid, SIGSTOP);
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (int attempt = 0; attempt < 500; ++attempt) {
        bool stopped = true;
        std::error_code error;
        for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
            std::ifstream stat(task.path() / "stat");
            std::string line;
            std::getline(stat, line);
            // The state follows the parenthesised command name.
            const size_t close = line.rfind(')');
            if (close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'T') {
                stopped = false;
                break;
            }
        }
        if (stopped && !error)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Waits up to twenty seconds for a killed process to be gone.
inline bool WaitUntilGone(int pid)
{
    for (int i = 0; i < 200 && ::kill(pid, 0) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return ::kill(pid, 0) != 0;
}

// One server as scripts/db-server recorded it in STATE_DIR/connection.env.
struct TestServer {
    bool ok = false;
    std::string host;
    int port = 0;
    std::string socket;
    std::string user;
    std::string password;
    int pid = 0;

    // A TCP source with the password in its field.
    DatabaseSource Source(DatabaseKind kind, const std::string& database) const
    {
        DatabaseSource source;
        source.kind = kind;
        source.host = host;
        source.port = port;
        source.user = user;
        source.password = password;
        source.database = database;
        source.connectTimeoutSeconds = 5;
        source.readTimeoutSeconds = 20;
        return source;
    }
};

// The server of a fixture (postgres, mariadb, postgres-doomed ...). A test
// that needs one fails when it is not there: run it through ctest, whose
// fixture starts it, or start one with scripts/db-server into the same
// folder.
inline TestServer LoadTestServer(const std::string& name)
{
    TestServer server;
    const std::string path = std::string(KORVO_DB_STATE_DIR) + "/" + name + "/connection.env";
    std::ifstream in(path);
    if (!in) {
        ADD_FAILURE() << "No " << name << " server: " << path << " is missing. Run the test through ctest "
                      << "(its fixture starts the server) or: scripts/db-server start " << name << " "
                      << KORVO_DB_STATE_DIR << "/" << name;
        return server;
    }
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line))
        if (const size_t eq = line.find('='); eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    server.host = values["KORVO_DB_HOST"];
    server.port = std::atoi(values["KORVO_DB_PORT"].c_str());
    server.socket = values["KORVO_DB_SOCKET"];
    server.user = values["KORVO_DB_USER"];
    server.password = values["KORVO_DB_PASSWORD"];
    server.pid = std::atoi(values["KORVO_DB_PID"].c_str());
    server.ok = server.port > 0 && server.pid > 0 && !server.password.empty();
    if (!server.ok)
        ADD_FAILURE() << path << " does not describe a server";
    return server;
}

// A TCP port on 127.0.0.1 that accepts connections into its backlog and
// never says a word: a server that does not answer.
class SilentListener {
public:
    SilentListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_fd, 16) != 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            ADD_FAILURE() << "cannot listen on 127.0.0.1";
        m_port = ntohs(address.sin_port);
    }
    ~SilentListener()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    int Port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

// A port on 127.0.0.1 that nothing listens on (bound, then let go).
inline int ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// What every failure must be: the code expected, one line of text that
// never holds the password, and no description at all.
template <typename T>
void ExpectCleanFailure(const LiveResult<T>& result, LiveErrorCode code, const std::string& password,
                        const std::string& what)
{
    EXPECT_EQ(result.error.code, code) << what << ": " << result.error.message;
    EXPECT_FALSE(result.error.message.empty()) << what;
    EXPECT_EQ(result.error.message.find('\n'), std::string::npos) << what << ": " << result.error.message;
    if (!password.empty()) {
        EXPECT_EQ(result.error.message.find(password), std::string::npos) << what << ": " << result.error.message;
    }
    if constexpr (std::is_same_v<T, SchemaDescription>) {
        EXPECT_TRUE(result.value.tables.empty()) << what;
    }
}

// A table as a line for itself and one per column and key, for comparisons
// that show what differs.
inline std::string Dump(const SchemaTable& table)
{
    std::ostringstream out;
    out << table.schema << "." << table.name << " -- " << table.comment << "\n";
    for (const SchemaColumn& c : table.columns)
        out << "  " << c.name << " " << c.type << (c.notNull ? " NOT NULL" : "") << (c.primaryKey ? " PK" : "")
            << (c.unique ? " UNIQUE" : "") << (c.defaultValue.empty() ? "" : " DEFAULT " + c.defaultValue)
            << (c.check.empty() ? "" : " CHECK " + c.check) << (c.comment.empty() ? "" : " -- " + c.comment) << "\n";
    out << "  PK (";
    for (const std::string& name : table.primaryKey)
        out << name << ",";
    out << ")\n";
    for (const auto& key : table.uniqueKeys) {
        out << "  UNIQUE (";
        for (const std::string& name : key)
            out << name << ",";
        out << ")\n";
    }
    for (const std::string& check : table.checks)
        out << "  CHECK " << check << "\n";
    for (const SchemaForeignKey& key : table.foreignKeys) {
        out << "  FK " << key.name << " (";
        for (const std::string& name : key.columns)
            out << name << ",";
        out << ") -> " << key.refSchema << "." << key.refTable << " (";
        for (const std::string& name : key.refColumns)
            out << name << ",";
        out << ")\n";
    }
    return out.str();
}

// Names, types, NOT NULL, primary key and foreign keys: what a comparison
// with a catalog looks at.
inline std::string Skeleton(const SchemaTable& table)
{
    SchemaTable copy;
    copy.schema = table.schema;
    copy.name = table.name;
    for (const SchemaColumn& column : table.columns) {
        SchemaColumn& c = copy.columns.emplace_back();
        c.name = column.name;
        c.type = column.type;
        c.notNull = column.notNull;
    }
    copy.primaryKey = table.primaryKey;
    copy.foreignKeys = table.foreignKeys;
    return Dump(copy);
}

inline MergeResult MergeIntoNewDiagram(const SchemaDescription& description)
{
    CKorvoDoc doc;
    FakeSurface surface;
    return CSchemaMerge(doc, surface, CRect{0, 0, 54000, -75600}).Merge(description);
}

// Times turning a live database into a diagram: connect, list the tables,
// read them, merge the description into an empty diagram and place the new
// tables (ImportDatabaseIntoDiagram, as --import-db does), for a
// generated database of N tables with one foreign key each, as a SQLite
// file and in a throw-away PostgreSQL server that the benchmark starts and
// stops through scripts/db-server.
//
// Wall-clock medians, and for the whole step the benchmark's own CPU time,
// which for SQLite is all the work and for PostgreSQL leaves out the
// server's.
//
// usage: livedb_bench [--rows] [TABLES]
#include "CKorvoDoc.h"
#include "DiagramImport.h"
#include "LiveDatabase.h"
#include "MeasureSurface.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kRuns = 5;

// A surface with fixed metrics: the merge measures every table it creates.
class FixedSurface : public CMeasureSurface {
public:
    int32_t GetTextWidth(std::string_view text) const override { return 100 * static_cast<int32_t>(text.size()); }
    int32_t GetLineHeight() const override { return 240; }
    CPoint LPtoDP(CPoint pt) const override { return {pt.x / 15, -pt.y / 15}; }
    CPoint DPtoLP(CPoint pt) const override { return {pt.x * 15, -pt.y * 15}; }
    CSize LPtoDP(CSize size) const override { return {std::abs(size.cx) / 15, std::abs(size.cy) / 15}; }
};

// Thrown so the server stops on the way out.
[[noreturn]] void Fail(const std::string& what)
{
    throw std::runtime_error(what);
}

// CREATE TABLE statements of n tables of ten columns with a primary key, a
// unique column, a default, a check and one foreign key to an earlier table
// (the first to itself): n tables, n foreign keys.
std::vector<std::string> Statements(int n)
{
    std::mt19937 random(20240601);
    std::vector<std::string> statements;
    char name[32];
    char parent[32];
    for (int i = 0; i < n; ++i) {
        std::snprintf(name, sizeof name, "t_%05d", i);
        std::snprintf(parent, sizeof parent, "t_%05d", i == 0 ? 0 : int(random() % unsigned(i)));
        statements.push_back(std::string("CREATE TABLE ") + name +
                             " (id integer PRIMARY KEY, code varchar(20) NOT NULL UNIQUE,"
                             " name varchar(80) DEFAULT 'none', qty integer CHECK (qty >= 0), price numeric(10,2),"
                             " created date, note text, flag boolean, score real, parent_id integer REFERENCES " +
                             parent + " (id))");
    }
    return statements;
}

std::string MakeSqlite(const std::filesystem::path& dir, int n)
{
    const std::string path = (dir / ("bench_" + std::to_string(n) + ".sqlite")).string();
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        Fail("cannot create " + path);
    std::string script = "BEGIN;";
    for (const std::string& statement : Statements(n))
        script += statement + ";";
    script += "COMMIT;";
    if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(std::string("SQLite: ") + sqlite3_errmsg(db));
    sqlite3_close(db);
    return path;
}

std::map<std::string, std::string> ReadEnv(const std::string& path)
{
    std::map<std::string, std::string> values;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (const size_t eq = line.find('='); eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    return values;
}

// A throw-away PostgreSQL server for the run, stopped at the end.
class BenchServer {
public:
    explicit BenchServer(const std::filesystem::path& dir) : m_dir(dir / "postgres")
    {
        std::filesystem::create_directories(m_dir);
        const std::string log = (dir / "db-server.log").string();
        const std::string start = std::string(KORVO_SOURCE_DIR) + "/scripts/db-server start postgres '" +
                                  m_dir.string() + "' --tcp >'" + log + "' 2>&1";
        if (std::system(start.c_str()) != 0)
            Fail("cannot start a PostgreSQL server: see " + log);
        m_env = ReadEnv((m_dir / "connection.env").string());
    }
    ~BenchServer()
    {
        const std::string stop = std::string(KORVO_SOURCE_DIR) + "/scripts/db-server stop postgres '" +
                                 m_dir.string() + "' >'" + (m_dir / "stop.log").string() + "' 2>&1";
        if (std::system(stop.c_str()) != 0)
            std::fprintf(stderr, "livedb_bench: stopping the server failed\n");
    }
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    DatabaseSource Source(const std::string& database) const
    {
        DatabaseSource source;
        source.kind = DatabaseKind::PostgreSql;
        source.host = m_env.at("KORVO_DB_HOST");
        source.port = std::atoi(m_env.at("KORVO_DB_PORT").c_str());
        source.user = m_env.at("KORVO_DB_USER");
        source.password = m_env.at("KORVO_DB_PASSWORD");
        source.database = database;
        return source;
    }

    // Creates the database over the socket, 500 tables a transaction.
    void Create(const std::string& database, int n) const
    {
        Execute("postgres", "CREATE DATABASE " + database);
        const std::vector<std::string> statements = Statements(n);
        for (size_t i = 0; i < statements.size(); i += 500) {
            std::string batch = "BEGIN;";
            for (size_t k = i; k < std::min(statements.size(), i + 500); ++k)
                batch += statements[k] + ";";
            Execute(database, batch + "COMMIT;");
        }
    }

private:
    void Execute(const std::string& database, const std::string& sql) const
    {
        const std::string& port = m_env.at("KORVO_DB_PORT");
        const char* keywords[] = {"host", "port", "user", "dbname", nullptr};
        const char* values[] = {m_env.at("KORVO_DB_SOCKET").c_str(), port.c_str(), m_env.at("KORVO_DB_USER").c_str(),
                                database.c_str(), nullptr};
        PGconn* conn = PQconnectdbParams(keywords, values, 0);
        PGresult* result = PQexec(conn, sql.c_str());
        const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
        const std::string error = PQerrorMessage(conn);
        PQclear(result);
        PQfinish(conn);
        if (!ok)
            Fail("PostgreSQL: " + error);
    }

    std::filesystem::path m_dir;
    std::map<std::string, std::string> m_env;
};

struct Timing {
    double wall = 0; // median wall-clock ms
    double cpu = 0;  // median ms of this process's CPU time (the server's not included)
};

double CpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

// Medians of kRuns runs after one warm-up run.
Timing Time(const std::function<void()>& step)
{
    step();
    std::vector<double> walls;
    std::vector<double> cpus;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuMs();
        step();
        cpus.push_back(CpuMs() - cpuStart);
        walls.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[kRuns / 2], cpus[kRuns / 2]};
}

SchemaDescription Read(const DatabaseSource& source, const std::string& schema)
{
    LiveResult<SchemaDescription> read = ReadLiveDatabase(source, {schema});
    if (!read.Ok())
        Fail(read.error.message);
    return std::move(read.value);
}

void Expect(const MergeResult& merged, int n)
{
    if (merged.tablesCreated != n || merged.relationsAdded != n)
        Fail("the merge gave " + std::to_string(merged.tablesCreated) + " tables and " +
             std::to_string(merged.relationsAdded) + " relations");
}

// Merge and placement, as the import does them.
void Merge(const SchemaDescription& description, int n)
{
    CKorvoDoc doc;
    FixedSurface surface;
    Expect(MergeIntoDiagram(doc, surface, PageArea{}, description).merge, n);
}

// The whole import: read, merge, place.
void Import(const DatabaseSource& source, const std::string& schema, int n)
{
    CKorvoDoc doc;
    FixedSurface surface;
    const DatabaseIntoDiagram imported = ImportDatabaseIntoDiagram(doc, surface, PageArea{}, source, {schema});
    if (imported.error.Failed())
        Fail(imported.error.message);
    Expect(imported.result.merge, n);
}

struct Figures {
    Timing read;
    Timing merge;
    Timing total;
};

// Read alone and merge alone only for the long report.
Figures Measure(const DatabaseSource& source, const std::string& schema, int n, bool readAndMergeApart)
{
    Figures figures;
    if (readAndMergeApart) {
        const SchemaDescription description = Read(source, schema);
        figures.read = Time([&] { Read(source, schema); });
        figures.merge = Time([&] { Merge(description, n); });
    }
    figures.total = Time([&] { Import(source, schema, n); });
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    const bool rows = argc > 1 && std::string(argv[1]) == "--rows";
    if (rows) {
        --argc;
        ++argv;
    }
    std::vector<int> sizes = rows ? std::vector<int>{1000, 10000} : std::vector<int>{10000};
    if (argc > 1)
        sizes = {std::max(1, std::atoi(argv[1]))};

    char pattern[] = "/tmp/korvo-livedb-bench-XXXXXX";
    if (!mkdtemp(pattern))
        Fail("cannot make a temporary folder");
    const std::filesystem::path dir = pattern;
    // The server runs as an unprivileged user when started by root.
    std::filesystem::permissions(dir, std::filesystem::perms::group_exec | std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    int status = 0;
    try {
        BenchServer server(dir);
        if (!rows)
            std::printf("%-11s %6s %10s %10s %15s %18s\n", "database", "tables", "read ms", "merge ms",
                        "read+merge ms", "read+merge CPU ms");
        for (int n : sizes) {
            DatabaseSource sqlite;
            sqlite.path = MakeSqlite(dir, n);
            const std::string database = "bench_" + std::to_string(n);
            server.Create(database, n);
            const struct {
                const char* name;
                DatabaseSource source;
                const char* schema;
            } kinds[] = {{"SQLite", sqlite, "main"}, {"PostgreSQL", server.Source(database), "public"}};
            for (const auto& kind : kinds) {
                const Figures f = Measure(kind.source, kind.schema, n, !rows);
                if (rows)
                    std::printf("live %s: read + merge\t%d\t%.2f\t%.0f tables/s\n", kind.name, n, f.total.wall,
                                n / (f.total.wall / 1000.0));
                else
                    std::printf("%-11s %6d %10.1f %10.1f %15.1f %18.1f\n", kind.name, n, f.read.wall, f.merge.wall,
                                f.total.wall, f.total.cpu);
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "livedb_bench: %s\n", error.what());
        status = 1;
    }
    std::filesystem::remove_all(dir);
    return status;
}

// Reading SQLite database files: Chinook against SQLite's own per-table
// pragmas, a crafted database with the shapes that are easy to get wrong,
// the promise never to change or create a file, and each failure.
#include "LiveTestSupport.h"
#include "SqliteCreateText.h"
#include "TestFiles.h"

#include <sqlite3.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace {

const std::string kChinook = std::string(KORVO_SHARED_DIR) + "/schemas/chinook.sqlite";

// Runs SQL on a database file through a separate, writing connection.
void Execute(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "") << "\n"
                                                                                 << sql;
    sqlite3_free(error);
    sqlite3_close(db);
}

// The tables of a database file with their columns, keys and foreign keys,
// asked table by table through the plain pragmas, independently of the
// reader's joined table-valued ones.
std::vector<SchemaTable> CatalogOf(const std::string& path)
{
    std::vector<SchemaTable> tables;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    auto rows = [db](const std::string& sql, auto&& onRow) {
        sqlite3_stmt* statement = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
        while (sqlite3_step(statement) == SQLITE_ROW)
            onRow(statement);
        sqlite3_finalize(statement);
    };
    auto text = [](sqlite3_stmt* s, int i) {
        const unsigned char* t = sqlite3_column_text(s, i);
        return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
    };
    rows("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' ORDER BY name",
         [&](sqlite3_stmt* s) {
             SchemaTable& table = tables.emplace_back();
             table.schema = "main";
             table.name = text(s, 0);
         });
    for (SchemaTable& table : tables) {
        std::vector<std::pair<int, std::string>> key;
        rows("PRAGMA table_info(\"" + table.name + "\")", [&](sqlite3_stmt* s) {
            SchemaColumn& column = table.columns.emplace_back();
            column.name = text(s, 1);
            column.type = text(s, 2);
            column.notNull = sqlite3_column_int(s, 3) != 0;
            if (sqlite3_column_int(s, 5) > 0)
                key.emplace_back(sqlite3_column_int(s, 5), column.name);
        });
        std::sort(key.begin(), key.end());
        for (const auto& entry : key)
            table.primaryKey.push_back(entry.second);
        int current = -1;
        rows("PRAGMA foreign_key_list(\"" + table.name + "\")", [&](sqlite3_stmt* s) {
            if (sqlite3_column_int(s, 0) != current) {
                current = sqlite3_column_int(s, 0);
                // The pragma numbers keys from the last declared.
                table.foreignKeys.insert(table.foreignKeys.begin(), SchemaForeignKey());
                table.foreignKeys.front().refSchema = "main";
                table.foreignKeys.front().refTable = text(s, 2);
            }
            table.foreignKeys.front().columns.push_back(text(s, 3));
            table.foreignKeys.front().refColumns.push_back(text(s, 4));
        });
    }
    sqlite3_close(db);
    return tables;
}

LiveResult<SchemaDescription> ReadFile(const std::string& path, const ProgressCallback& progress = {})
{
    DatabaseSource source;
    source.path = path;
    return ReadLiveDatabase(source, {}, progress);
}

std::set<std::string> Entries(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A database with what is easy to get wrong: checks only the CREATE text
// holds, a foreign key to a table's primary key without a column list, one
// written in another letter case than its tables, quoted mixed-case and
// Unicode names, an INTEGER PRIMARY KEY (NOT NULL by implication) beside an
// INT one (nullable), WITHOUT ROWID, unique keys of one and two columns,
// and what must be left out: a view, a virtual table and its shadow tables,
// expression and partial unique indexes.
const char* const kFeatures = R"sql(
CREATE TABLE "Größe" ("Maß" REAL PRIMARY KEY, "名前" TEXT UNIQUE,
    [Öl] TEXT CHECK (length([Öl]) < 10) DEFAULT 'none');
CREATE TABLE Orders (
    Region TEXT NOT NULL,
    "Order No" INTEGER NOT NULL,
    placed TEXT DEFAULT (date('now')),
    shipped TEXT, -- a comment with a CHECK (x) in it
    PRIMARY KEY (Region, "Order No"),
    CONSTRAINT ship_after CHECK (shipped >= placed /* (nested) */),
    UNIQUE (placed, shipped)
) WITHOUT ROWID;
CREATE TABLE order_line (
    line INTEGER,
    region TEXT,
    order_no INTEGER,
    size REAL REFERENCES größe,
    FOREIGN KEY (ORDER_NO, Region) REFERENCES ORDERS ("order no", REGION)
);
CREATE TABLE t_integer (id INTEGER PRIMARY KEY, note TEXT);
CREATE TABLE t_int (id INT PRIMARY KEY, code TEXT);
CREATE UNIQUE INDEX t_integer_lower ON t_integer (lower(note));
CREATE UNIQUE INDEX t_integer_partial ON t_integer (note) WHERE note IS NOT NULL;
CREATE UNIQUE INDEX t_int_code ON t_int (code);
CREATE VIEW order_view AS SELECT * FROM Orders;
CREATE VIRTUAL TABLE docs USING fts5(body);
)sql";

} // namespace

TEST(SqliteCatalogTest, ChinookMatchesTheCatalogAndIsLeftUntouched)
{
    struct stat before {};
    ASSERT_EQ(::stat(kChinook.c_str(), &before), 0) << kChinook;
    const std::string bytes = ReadWholeFile(kChinook);
    const std::set<std::string> folder = Entries(std::filesystem::path(kChinook).parent_path().string());

    const LiveResult<SchemaDescription> read = ReadFile(kChinook);
    ASSERT_TRUE(read.Ok()) << read.error.message;
    const std::vector<SchemaTable> expected = CatalogOf(kChinook);
    ASSERT_EQ(read.value.tables.size(), expected.size());
    ASSERT_EQ(expected.size(), 11u);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Skeleton(read.value.tables[i]), Skeleton(expected[i]));

    // Declared order: Track's keys to Album, Genre and MediaType as written.
    const SchemaTable& track = read.value.tables.back();
    ASSERT_EQ(track.name, "Track");
    ASSERT_EQ(track.foreignKeys.size(), 3u);
    EXPECT_EQ(track.foreignKeys[0].refTable, "Album");
    EXPECT_EQ(track.foreignKeys[2].refTable, "MediaType");
    const SchemaTable& playlistTrack = read.value.tables[9];
    EXPECT_EQ(playlistTrack.primaryKey, (std::vector<std::string>{"PlaylistId", "TrackId"}));

    struct stat after {};
    ASSERT_EQ(::stat(kChinook.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_TRUE(ReadWholeFile(kChinook) == bytes);
    EXPECT_EQ(Entries(std::filesystem::path(kChinook).parent_path().string()), folder);
}

TEST(SqliteCatalogTest, ChinookMergesIntoElevenTablesAndRelations)
{
    const LiveResult<DatabaseSource> source = ParseDatabaseSource("sqlite:" + kChinook);
    ASSERT_TRUE(source.Ok());
    const LiveResult<SchemaDescription> read = ReadLiveDatabase(source.value, {"main"});
    ASSERT_TRUE(read.Ok()) << read.error.message;
    CKorvoDoc doc;
    FakeSurface surface;
    const MergeResult merged = CSchemaMerge(doc, surface, CRect{0, 0, 54000, -75600}).Merge(read.value);
    EXPECT_EQ(merged.tablesCreated, 11);
    EXPECT_EQ(merged.relationsAdded, 11);
    EXPECT_TRUE(merged.notShown.empty());
    EXPECT_EQ(doc.m_tables.front()->m_def.m_strName, "Album");
}

TEST(SqliteCatalogTest, CraftedShapesAreRead)
{
    TempDir dir;
    const std::string path = dir.File("features.db");
    Execute(path, kFeatures);
    const LiveResult<SchemaDescription> read = ReadFile(path);
    ASSERT_TRUE(read.Ok()) << read.error.message;
    std::vector<std::string> names;
    for (const SchemaTable& table : read.value.tables)
        names.push_back(table.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Größe", "Orders", "order_line", "t_int", "t_integer"}));
    ASSERT_EQ(names.size(), 5u);
    const SchemaTable& size = read.value.tables[0];
    const SchemaTable& orders = read.value.tables[1];
    const SchemaTable& line = read.value.tables[2];
    const SchemaTable& tInt = read.value.tables[3];
    const SchemaTable& tInteger = read.value.tables[4];

    EXPECT_EQ(Dump(size), "main.Größe -- \n"
                          "  Maß REAL PK\n"
                          "  名前 TEXT UNIQUE\n"
                          "  Öl TEXT DEFAULT 'none' CHECK length([Öl]) < 10\n"
                          "  PK (Maß,)\n");
    EXPECT_EQ(Dump(orders), "main.Orders -- \n"
                            "  Region TEXT NOT NULL PK\n"
                            "  Order No INTEGER NOT NULL PK\n"
                            "  placed TEXT DEFAULT date('now')\n"
                            "  shipped TEXT\n"
                            "  PK (Region,Order No,)\n"
                            "  UNIQUE (placed,shipped,)\n"
                            "  CHECK shipped >= placed /* (nested) */\n");
    // Both keys in declared order, with the names their tables use.
    EXPECT_EQ(Dump(line), "main.order_line -- \n"
                          "  line INTEGER\n"
                          "  region TEXT\n"
                          "  order_no INTEGER\n"
                          "  size REAL\n"
                          "  PK ()\n"
                          "  FK  (size,) -> main.Größe (Maß,)\n"
                          "  FK  (order_no,region,) -> main.Orders (Order No,Region,)\n");
    EXPECT_FALSE(tInt.columns[0].notNull);
    EXPECT_TRUE(tInt.columns[1].unique);
    EXPECT_TRUE(tInteger.columns[0].notNull);
    EXPECT_FALSE(tInteger.columns[1].unique);
    EXPECT_TRUE(tInteger.uniqueKeys.empty());

    const MergeResult merged = MergeIntoNewDiagram(read.value);
    EXPECT_EQ(merged.relationsAdded, 2);
    EXPECT_EQ(merged.notShown, (std::vector<std::string>{"UNIQUE (placed, shipped) of Orders"}));
}

TEST(SqliteCatalogTest, WalDatabasesAreReadWithoutCreatingSideFiles)
{
    TempDir dir;
    const std::string path = dir.File("wal.db");
    Execute(path, std::string("PRAGMA journal_mode = WAL;") + kFeatures);
    ASSERT_EQ(Entries(dir.Path()), (std::set<std::string>{"wal.db"})); // the last close checkpointed
    const LiveResult<SchemaDescription> closed = ReadFile(path);
    ASSERT_TRUE(closed.Ok()) << closed.error.message;
    EXPECT_EQ(closed.value.tables.size(), 5u);
    EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"wal.db"}));

    // While a writer holds the database open, its side files exist and what
    // it committed but did not yet checkpoint counts.
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "PRAGMA wal_autocheckpoint = 0; CREATE TABLE late (x INT)", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    const std::set<std::string> open = Entries(dir.Path());
    EXPECT_EQ(open, (std::set<std::string>{"wal.db", "wal.db-shm", "wal.db-wal"}));
    const LiveResult<SchemaDescription> live = ReadFile(path);
    ASSERT_TRUE(live.Ok()) << live.error.message;
    EXPECT_EQ(live.value.tables.size(), 6u);
    EXPECT_EQ(Entries(dir.Path()), open);
    sqlite3_close(writer);
}

TEST(SqliteCatalogTest, FilesThatAreNoDatabaseAreRefused)
{
    TempDir dir;
    WriteWholeFile(dir.File("text.db"), std::string(4096, 'x'));
    WriteWholeFile(dir.File("short.db"), "SQLite format 3");
    WriteWholeFile(dir.File("damaged.db"), std::string("SQLite format 3", 16) + std::string(4080, '\x7f'));
    ASSERT_EQ(::mkfifo(dir.File("fifo.db").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.File("folder.db"));
    const struct {
        std::string path;
        LiveErrorCode code;
        const char* says;
    } cases[] = {
        {dir.File("text.db"), LiveErrorCode::NotADatabase, "is not a SQLite database"},
        {dir.File("short.db"), LiveErrorCode::NotADatabase, "is not a SQLite database"},
        {dir.File("damaged.db"), LiveErrorCode::NotADatabase, "is not a SQLite database"},
        {dir.File("fifo.db"), LiveErrorCode::NotADatabase, "not a regular file"},
        {dir.File("folder.db"), LiveErrorCode::NotADatabase, "is a folder"},
        {dir.File("missing.db"), LiveErrorCode::NotFound, "No such file"},
    };
    for (const auto& c : cases) {
        const LiveResult<SchemaDescription> read = ReadFile(c.path);
        ExpectCleanFailure(read, c.code, "", c.path);
        EXPECT_NE(read.error.message.find(c.says), std::string::npos) << read.error.message;
        EXPECT_NE(read.error.message.find(c.path), std::string::npos) << read.error.message;
    }
    EXPECT_EQ(Entries(dir.Path()),
              (std::set<std::string>{"text.db", "short.db", "damaged.db", "fifo.db", "folder.db"}));
}

TEST(SqliteCatalogTest, DatabasesWithoutTablesSaySo)
{
    TempDir dir;
    WriteWholeFile(dir.File("empty.db"), ""); // SQLite's own empty database
    // A view, and SQLite's own statistics table that outlives the table
    // ANALYZE measured.
    Execute(dir.File("views.db"), "CREATE TABLE t (a); CREATE INDEX ta ON t (a); INSERT INTO t VALUES (1); ANALYZE;"
                                  " DROP TABLE t; CREATE VIEW v AS SELECT 1 AS x;");
    for (const char* name : {"empty.db", "views.db"}) {
        const LiveResult<SchemaDescription> read = ReadFile(dir.File(name));
        ExpectCleanFailure(read, LiveErrorCode::NoTables, "", name);
        EXPECT_NE(read.error.message.find("No tables in schema main of " + dir.File(name)), std::string::npos)
            << read.error.message;
    }
}

TEST(SqliteCatalogTest, ATableDroppedAfterTheListFailsTheRead)
{
    TempDir dir;
    const std::string path = dir.File("drop.db");
    Execute(path, kFeatures);
    DatabaseSource source;
    source.path = path;
    LiveResult<std::unique_ptr<CLiveDatabase>> db = ConnectLiveDatabase(source);
    ASSERT_TRUE(db.Ok()) << db.error.message;
    const LiveResult<std::vector<QualifiedTable>> tables = db.value->ListTables({"main"});
    ASSERT_TRUE(tables.Ok());
    Execute(path, "DROP TABLE t_int");
    const LiveResult<SchemaDescription> read = db.value->ReadTables(tables.value);
    ExpectCleanFailure(read, LiveErrorCode::TableGone, "", "dropped table");
    EXPECT_NE(read.error.message.find("main.t_int no longer exists"), std::string::npos) << read.error.message;

    // A schema other than main does not exist in a file.
    ExpectCleanFailure(db.value->ListTables({"main", "other"}), LiveErrorCode::NotFound, "", "other schema");
}

TEST(SqliteCatalogTest, AReadSeesOneSnapshotAndCanBeCancelled)
{
    TempDir dir;
    const std::string path = dir.File("snapshot.db");
    Execute(path, std::string("PRAGMA journal_mode = WAL;") + kFeatures);
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
    std::vector<std::string> steps;
    // A table dropped by another program between two of the read's queries
    // is still read whole: the read sees the database as it began.
    const LiveResult<SchemaDescription> read = ReadFile(path, [&](const ReadProgress& progress) {
        steps.emplace_back(progress.step);
        if (progress.done == 2) {
            EXPECT_EQ(sqlite3_exec(writer, "DROP TABLE order_line", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        return true;
    });
    ASSERT_TRUE(read.Ok()) << read.error.message;
    EXPECT_EQ(read.value.tables.size(), 5u);
    EXPECT_EQ(read.value.tables[2].foreignKeys.size(), 2u);
    EXPECT_EQ(steps, (std::vector<std::string>{"Reading tables", "Reading columns", "Reading unique keys",
                                               "Reading foreign keys"}));
    sqlite3_close(writer);

    const LiveResult<SchemaDescription> cancelled =
        ReadFile(path, [](const ReadProgress& progress) { return progress.done < 2; });
    ExpectCleanFailure(cancelled, LiveErrorCode::Cancelled, "", "cancelled");
}

TEST(SqliteCatalogTest, ChecksAreFoundInTheCreateText)
{
    const struct {
        const char* sql;
        std::vector<SqliteCheck> checks;
    } cases[] = {
        {"CREATE TABLE t (a INT CHECK (a > 0), b INT, CHECK (b < a))", {{"a", "a > 0"}, {"", "b < a"}}},
        {"CREATE TABLE t ([check] INT CONSTRAINT c CHECK(\"check\" IN (1, (2))), \"x\"\"y\" TEXT CHECK (1))",
         {{"check", "\"check\" IN (1, (2))"}, {"x\"y", "1"}}},
        {"CREATE TABLE t (a TEXT DEFAULT 'CHECK (no)' -- CHECK (no)\n, /* CHECK (no) */ b INT)", {}},
        {"CREATE TABLE \"t(\" (a INT, CONSTRAINT k CHECK (a <> ')'))", {{"", "a <> ')'"}}},
        {"CREATE TABLE t AS SELECT (1) AS a", {}},
        {"CREATE TABLE t (a INT CHECK (a > 0", {{"a", "a > 0"}}},
        {"CREATE TABLE t (a INT)", {}},
    };
    for (const auto& c : cases) {
        const std::vector<SqliteCheck> found = FindSqliteChecks(c.sql);
        ASSERT_EQ(found.size(), c.checks.size()) << c.sql;
        for (size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].column, c.checks[i].column) << c.sql;
            EXPECT_EQ(found[i].expression, c.checks[i].expression) << c.sql;
        }
    }
}

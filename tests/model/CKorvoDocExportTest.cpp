#include "CKorvoDoc.h"
#include "TestDiagrams.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

CColumn* AddColumn(KorvoTableView* table, const char* name, const char* type, bool required, const char* def,
                   bool primaryKey, bool unique, const char* check)
{
    return table->m_def.AddColumn(
        std::make_unique<CColumn>(name, type, required, def, primaryKey, unique, check, "never exported"));
}

// The order in which CREATE TABLE statements appear.
std::vector<std::string> StatementOrder(const std::string& text)
{
    std::vector<std::string> names;
    const std::string head = "CREATE TABLE ";
    for (size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
        const size_t start = at + head.size();
        names.push_back(text.substr(start, text.find(' ', start) - start));
    }
    return names;
}

TEST(ExportSQL, WorkedExample)
{
    CKorvoDoc doc;
    KorvoTableView* emp = AddTestTable(doc, "emp", {});
    KorvoTableView* dept = AddTestTable(doc, "dept", {});
    AddColumn(dept, "id", "int", true, "", true, false, "");
    AddColumn(dept, "title", "text", false, "'x'", false, false, "");
    AddColumn(emp, "id", "int", false, "", true, false, "");
    AddColumn(emp, "dept_id", "int", false, "", false, true, "");
    emp->m_def.m_strCheck = "id > 0";
    emp->m_def.m_strDescription = "never exported";
    Relate(doc, emp, {1}, dept, {0});

    const std::string expected =
        "CREATE TABLE dept (\r\n"
        "\tid int NOT NULL, \r\n"
        "\ttitle text DEFAULT 'x', \r\n"
        "\tPRIMARY KEY(id));\r\n"
        "\r\n"
        "CREATE TABLE emp (\r\n"
        "\tid int, \r\n"
        "\tdept_id int UNIQUE, \r\n"
        "\tPRIMARY KEY(id), \r\n"
        "\tCHECK(id > 0)\r\n"
        ",\r\n"
        "\tFOREIGN KEY(dept_id) REFERENCES dept (id));\r\n"
        "\r\n";
    EXPECT_EQ(doc.ExportSQLText(), expected);
    // The work marks are cleared first, so a second export is the same.
    EXPECT_EQ(doc.ExportSQLText(), expected);
    EXPECT_FALSE(doc.IsModified());

    TempDir dir;
    char error[500] = "";
    ASSERT_TRUE(doc.ExportSQL(dir.File("out.sql").c_str(), error, sizeof error));
    EXPECT_STREQ(error, "");
    EXPECT_EQ(ReadWholeFile(dir.File("out.sql")), expected);
}

TEST(ExportSQL, StatementShapes)
{
    struct Case {
        const char* what;
        std::function<void(CKorvoDoc&)> build;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"all clauses of a column in their order",
         [](CKorvoDoc& doc) {
             AddColumn(AddTestTable(doc, "t", {}), "c", "varchar(9)", true, "'a b'", false, true, "c <> ''");
         },
         "CREATE TABLE t (\r\n\tc varchar(9) DEFAULT 'a b' UNIQUE NOT NULL CHECK(c <> ''));\r\n\r\n"},
        {"primary key of the second and third columns",
         [](CKorvoDoc& doc) {
             KorvoTableView* t = AddTestTable(doc, "t", {});
             AddColumn(t, "a", "int", false, "", false, false, "");
             AddColumn(t, "b", "int", false, "", true, false, "");
             AddColumn(t, "c", "int", false, "", true, false, "");
         },
         "CREATE TABLE t (\r\n\ta int, \r\n\tb int, \r\n\tc int, \r\n\tPRIMARY KEY(b, c));\r\n\r\n"},
        {"default without a type",
         [](CKorvoDoc& doc) { AddColumn(AddTestTable(doc, "t", {}), "c", "", false, "0", false, false, ""); },
         "CREATE TABLE t (\r\n\tc  DEFAULT 0);\r\n\r\n"},
        {"no columns", [](CKorvoDoc& doc) { AddTestTable(doc, "t", {}); }, "CREATE TABLE t (\r\n);\r\n\r\n"},
        {"no columns but a check",
         [](CKorvoDoc& doc) { AddTestTable(doc, "t", {})->m_def.m_strCheck = "1=1"; },
         "CREATE TABLE t (\r\n, \r\n\tCHECK(1=1)\r\n);\r\n\r\n"},
        {"table check without a foreign key",
         [](CKorvoDoc& doc) {
             KorvoTableView* t = AddTestTable(doc, "t", {});
             AddColumn(t, "c", "int", false, "", false, false, "");
             t->m_def.m_strCheck = "c > 1";
         },
         "CREATE TABLE t (\r\n\tc int, \r\n\tCHECK(c > 1)\r\n);\r\n\r\n"},
        {"two column pairs, two foreign keys in relation order",
         [](CKorvoDoc& doc) {
             KorvoTableView* p = AddTestTable(doc, "p", {"a", "b"});
             KorvoTableView* q = AddTestTable(doc, "q", {"x"});
             KorvoTableView* c = AddTestTable(doc, "c", {"pa", "pb", "qx"});
             Relate(doc, c, {1, 0}, p, {1, 0});
             Relate(doc, c, {2}, q, {0});
         },
         "CREATE TABLE p (\r\n\ta int, \r\n\tb int);\r\n\r\n"
         "CREATE TABLE q (\r\n\tx int);\r\n\r\n"
         "CREATE TABLE c (\r\n\tpa int, \r\n\tpb int, \r\n\tqx int,\r\n"
         "\tFOREIGN KEY(pb, pa) REFERENCES p (b, a),\r\n"
         "\tFOREIGN KEY(qx) REFERENCES q (x));\r\n\r\n"},
        {"names written as stored",
         [](CKorvoDoc& doc) { AddTestTable(doc, "My Table", {"Select"}); },
         "CREATE TABLE My Table (\r\n\tSelect int);\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CKorvoDoc doc;
        c.build(doc);
        EXPECT_EQ(doc.ExportSQLText(), c.text);
    }
}

TEST(ExportSQL, ReferencedTablesComeFirstAndEachTableOnce)
{
    CKorvoDoc doc;
    KorvoTableView* a = AddTestTable(doc, "a", {"id"});
    KorvoTableView* b = AddTestTable(doc, "b", {"id"});
    KorvoTableView* hub = AddTestTable(doc, "hub", {"id"});
    KorvoTableView* leaf = AddTestTable(doc, "leaf", {"id"});
    AddTestTable(doc, "loner", {"id"});
    Relate(doc, b, {0}, hub, {0});
    Relate(doc, a, {0}, hub, {0});
    Relate(doc, a, {0}, b, {0});
    Relate(doc, hub, {0}, leaf, {0});
    EXPECT_EQ(StatementOrder(doc.ExportSQLText()),
              (std::vector<std::string>{"leaf", "hub", "b", "a", "loner"}));
}

TEST(ExportSQL, CyclesAndSelfRelationsEndWithEveryTableOnce)
{
    CKorvoDoc doc;
    KorvoTableView* x = AddTestTable(doc, "x", {"id"});
    KorvoTableView* y = AddTestTable(doc, "y", {"id"});
    KorvoTableView* z = AddTestTable(doc, "z", {"id"});
    KorvoTableView* base = AddTestTable(doc, "base", {"id"});
    KorvoTableView* self = AddTestTable(doc, "self", {"id", "parent"});
    Relate(doc, x, {0}, y, {0});
    Relate(doc, y, {0}, z, {0});
    Relate(doc, z, {0}, x, {0});
    Relate(doc, z, {0}, base, {0});
    Relate(doc, self, {1}, self, {0});
    Relate(doc, self, {0}, x, {0});

    const std::string text = doc.ExportSQLText();
    const std::vector<std::string> order = StatementOrder(text);
    // base is on no cycle and referenced by z, so it precedes z; self's own
    // reference does not hold it back.
    EXPECT_EQ(order, (std::vector<std::string>{"base", "z", "y", "x", "self"}));
    EXPECT_NE(text.find("FOREIGN KEY(parent) REFERENCES self (id)"), std::string::npos);
}

TEST(ExportSQL, ALongChainOfReferencesDoesNotExhaustTheStack)
{
    CKorvoDoc doc;
    const int count = 200000;
    std::vector<KorvoTableView*> tables;
    for (int i = 0; i < count; ++i)
        tables.push_back(AddTestTable(doc, "t" + std::to_string(i), {"id"}));
    for (int i = 0; i + 1 < count; ++i)
        Relate(doc, tables[i], {0}, tables[i + 1], {0});
    const std::vector<std::string> order = StatementOrder(doc.ExportSQLText());
    ASSERT_EQ(order.size(), static_cast<size_t>(count));
    EXPECT_EQ(order.front(), "t199999");
    EXPECT_EQ(order.back(), "t0");
}

TEST(ExportSQL, EmptyDiagramTruncatesTheFile)
{
    TempDir dir;
    const std::string path = dir.File("empty.sql");
    WriteWholeFile(path, "old contents");
    CKorvoDoc doc;
    char error[500] = "";
    ASSERT_TRUE(doc.ExportSQL(path.c_str(), error, sizeof error));
    EXPECT_EQ(ReadWholeFile(path), "");
}

TEST(ExportSQL, AFileThatCannotBeOpenedIsReported)
{
    TempDir dir;
    CKorvoDoc doc;
    AddTestTable(doc, "t", {"id"});
    struct Case {
        const char* what;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"missing folder", dir.File("no/such/folder/out.sql")},
        {"a folder", dir.Path()},
        {"empty path", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        char error[500] = "";
        EXPECT_FALSE(doc.ExportSQL(c.path.c_str(), error, sizeof error));
        EXPECT_STREQ(error, "Export SQL Error: Unable to open output file.");
    }

    // The text is cut to the buffer and stays terminated.
    char small[11];
    std::memset(small, 'x', sizeof small);
    EXPECT_FALSE(doc.ExportSQL(cases[0].path.c_str(), small, 10));
    EXPECT_STREQ(small, "Export SQ");
    EXPECT_EQ(small[10], 'x');
}

// Regression: a full disk used to pass for success and leave a cut-off script.
TEST(ExportSQL, AWriteFailureIsReportedAndKeepsTheOldFile)
{
    TempDir dir;
    const std::string path = dir.File("out.sql");
    WriteWholeFile(path, "previous script");
    CKorvoDoc doc;
    for (int i = 0; i < 200; ++i)
        AddTestTable(doc, "table_number_" + std::to_string(i), {"id", "name", "value"});

    auto exportScript = [&] {
        char error[500] = "";
        if (doc.ExportSQL(path.c_str(), error, sizeof error))
            return 1;
        return std::string(error) == "Export SQL Error: Unable to write output file." ? 0 : 2;
    };
    const int status = RunInChild(exportScript, 1024);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadWholeFile(path), "previous script");
    EXPECT_EQ(dir.EntryCount(), 1u);
}

// An exported script of an ordinary diagram runs in a real database client
// and creates the diagram's tables with their foreign keys.
TEST(ExportSQL, ScriptRunsInSqlite)
{
    CKorvoDoc doc;
    KorvoTableView* orders = AddTestTable(doc, "orders", {});
    AddColumn(orders, "id", "INTEGER", true, "", true, false, "");
    AddColumn(orders, "customer_id", "INTEGER", true, "", false, false, "");
    AddColumn(orders, "product_code", "TEXT", false, "", false, false, "");
    AddColumn(orders, "product_size", "INTEGER", false, "", false, false, "");
    AddColumn(orders, "amount", "NUMERIC", false, "0", false, false, "amount >= 0");
    orders->m_def.m_strCheck = "id > 0";
    KorvoTableView* customers = AddTestTable(doc, "customers", {});
    AddColumn(customers, "id", "INTEGER", true, "", true, false, "");
    AddColumn(customers, "email", "TEXT", true, "", false, true, "");
    KorvoTableView* products = AddTestTable(doc, "products", {});
    AddColumn(products, "code", "TEXT", true, "", true, false, "");
    AddColumn(products, "size", "INTEGER", true, "1", true, false, "");
    Relate(doc, orders, {1}, customers, {0});
    Relate(doc, orders, {2, 3}, products, {0, 1});

    TempDir dir;
    const std::string script = dir.File("diagram.sql");
    char error[500] = "";
    ASSERT_TRUE(doc.ExportSQL(script.c_str(), error, sizeof error)) << error;

    const std::string command = "sqlite3 -bail -batch " + dir.File("db.sqlite") + " '.read " + script + "'"
        + " 'SELECT name FROM sqlite_master WHERE type = \"table\" ORDER BY name;'"
        + " 'SELECT id, \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(\"orders\") ORDER BY id, seq;'"
        + " 'SELECT count(*) FROM pragma_table_info(\"orders\") WHERE pk > 0;'"
        + " 'SELECT group_concat(name) FROM pragma_table_info(\"products\") WHERE pk > 0;'"
        + " 'PRAGMA foreign_keys = ON;'"
        + " 'INSERT INTO customers VALUES (7, \"a@example.org\");'"
        + " 'INSERT INTO products VALUES (\"p\", 2);'"
        + " 'INSERT INTO orders VALUES (1, 7, \"p\", 2, 5);'"
        + " 'SELECT count(*) FROM orders JOIN customers ON customers.id = orders.customer_id;' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    const int status = pclose(pipe);
    ASSERT_EQ(status, 0) << output;

    // Foreign keys are listed last declared first.
    EXPECT_EQ(output,
              "customers\norders\nproducts\n"
              "0|products|product_code|code\n0|products|product_size|size\n1|customers|customer_id|id\n"
              "1\n"
              "code,size\n"
              "1\n");
}

} // namespace

// The script is UTF-8: ASCII is as before, a Latin-1 letter takes two bytes,
// and every other character its UTF-8 bytes. SQLite reads such names as
// they are written.
TEST(ExportSQL, ScriptIsUtf8AndSqliteKeepsEveryName)
{
    CKorvoDoc doc;
    KorvoTableView* customers = AddTestTable(doc, "\xE9\xA1\xA7\xE5\xAE\xA2", {}); // 顧客
    AddColumn(customers, "caf\xC3\xA9_\xCE\xA9", "TEXT", true, "'Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89'", true,
              false, "");
    KorvoTableView* stray = AddTestTable(doc, "t", {});
    AddColumn(stray, "caf\xE9", "TEXT", false, "", false, false, ""); // a byte that is not UTF-8

    const std::string text = doc.ExportSQLText();
    EXPECT_EQ(text,
              "CREATE TABLE \xE9\xA1\xA7\xE5\xAE\xA2 (\r\n"
              "\tcaf\xC3\xA9_\xCE\xA9 TEXT DEFAULT 'Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89' NOT NULL, \r\n"
              "\tPRIMARY KEY(caf\xC3\xA9_\xCE\xA9));\r\n\r\n"
              "CREATE TABLE t (\r\n"
              "\tcaf\xC3\xA9 TEXT);\r\n\r\n");

    TempDir dir;
    const std::string script = dir.File("unicode.sql");
    char error[500] = "";
    ASSERT_TRUE(doc.ExportSQL(script.c_str(), error, sizeof error)) << error;
    EXPECT_EQ(ReadWholeFile(script), text);
    const std::string command = "sqlite3 -bail -batch " + dir.File("db.sqlite") + " '.read " + script + "'"
        + " 'SELECT name FROM sqlite_master WHERE type = \"table\" ORDER BY name;'"
        + " 'SELECT name, dflt_value FROM pragma_table_info(\"\xE9\xA1\xA7\xE5\xAE\xA2\");' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    ASSERT_EQ(pclose(pipe), 0) << output;
    EXPECT_EQ(output, "t\n\xE9\xA1\xA7\xE5\xAE\xA2\n"
                      "caf\xC3\xA9_\xCE\xA9|'Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89'\n");
}

// The diagram check: each planted mistake found, where it is, and nothing
// in a sound diagram.
#include "DiagramCheck.h"
#include "SchemaTestDiagrams.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

bool operator==(const DiagramProblem& a, const DiagramProblem& b)
{
    return a.severity == b.severity && a.table == b.table && a.column == b.column && a.text == b.text;
}

void PrintTo(const DiagramProblem& p, std::ostream* out)
{
    *out << (p.severity == ProblemSeverity::Error ? "error" : "warning") << " [" << p.table << "," << p.column << "] "
         << p.text;
}

namespace {

constexpr ProblemSeverity E = ProblemSeverity::Error;
constexpr ProblemSeverity W = ProblemSeverity::Warning;

// customer (id, name) <- orders (id, customer_id, customer_name)
std::unique_ptr<CKorvoDoc> SoundDiagram()
{
    auto doc = std::make_unique<CKorvoDoc>();
    KorvoTableView* customer =
        AddSchemaTable(*doc, "customer", {{"id", "integer", true, "", true}, {"name", "varchar(80)", true}});
    KorvoTableView* orders = AddSchemaTable(*doc, "orders",
        {{"id", "serial", true, "", true}, {"customer_id", "int4", true}, {"customer_name", "text"}});
    AddSchemaRelation(*doc, orders, {1}, customer, {0});
    return doc;
}

KorvoTableView* Table(CKorvoDoc& doc, int index)
{
    return doc.GetTable(index);
}

TEST(CheckDiagram, FindsNothingInASoundDiagram)
{
    for (std::optional<SqlDialect> dialect : {std::optional<SqlDialect>(), std::optional(SqlDialect::Korvo),
                                              std::optional(SqlDialect::PostgreSql), std::optional(SqlDialect::MySql),
                                              std::optional(SqlDialect::Sqlite), std::optional(SqlDialect::SqlServer)}) {
        EXPECT_EQ(CheckDiagram(*SoundDiagram(), dialect), std::vector<DiagramProblem>{});
        EXPECT_EQ(CheckDiagram(*LoadExampleDiagram(), dialect), std::vector<DiagramProblem>{});
    }
    EXPECT_EQ(CheckDiagram(CKorvoDoc()), std::vector<DiagramProblem>{});
}

TEST(CheckDiagram, FindsEachPlantedMistake)
{
    struct Case {
        const char* what;
        std::function<void(CKorvoDoc&)> plant;
        std::vector<DiagramProblem> found;
    };
    const std::vector<Case> cases = {
        {"two tables of one name",
         [](CKorvoDoc& d) { AddSchemaTable(d, "orders", {{"id", "integer", true, "", true}}); },
         {{E, 2, -1, "orders: duplicate table name (table 2 has it too)"}}},
        {"two columns of one name",
         [](CKorvoDoc& d) { Table(d, 1)->m_def.AddColumn(std::make_unique<CColumn>("customer_id", "int", false, "", false, false, "", "")); },
         {{E, 1, 3, "orders.customer_id: duplicate column name (column 2 has it too)"}}},
        {"a table without a name",
         [](CKorvoDoc& d) { AddSchemaTable(d, "", {{"id", "integer", true, "", true}}); },
         {{E, 2, -1, "(table 3): the table has no name"}}},
        {"a column without a name",
         [](CKorvoDoc& d) { Table(d, 0)->m_def.AddColumn(std::make_unique<CColumn>("", "int", false, "", false, false, "", "")); },
         {{E, 0, 2, "customer.(column 3): the column has no name"}}},
        {"columns without a type",
         [](CKorvoDoc& d) {
             Table(d, 0)->m_def.AddColumn(std::make_unique<CColumn>("note", "", false, "", false, false, "", ""));
             Table(d, 0)->m_def.AddColumn(std::make_unique<CColumn>("memo", " \t", false, "", false, false, "", ""));
         },
         {{E, 0, 2, "customer.note: the column has no type"}, {E, 0, 3, "customer.memo: the column has no type"}}},
        {"a relation from two columns to one",
         [](CKorvoDoc& d) { AddSchemaRelation(d, Table(d, 1), {1, 0}, Table(d, 0), {0}); },
         {{E, 1, 1, "orders.customer_id: the relation to customer has 2 source columns but 1 destination column"}}},
        {"a relation with an empty side",
         [](CKorvoDoc& d) { AddSchemaRelation(d, Table(d, 1), {1}, Table(d, 0), {}); },
         {{E, 1, 1, "orders.customer_id: the relation to customer has no columns on one side"}}},
        {"relation columns of different types",
         [](CKorvoDoc& d) { Table(d, 1)->m_def.m_columns[1]->m_strType = "bigint"; },
         {{E, 1, 1, "orders.customer_id: type \"bigint\" differs from customer.id (\"integer\")"}}},
        {"a relation that ends on neither the key nor a unique column",
         [](CKorvoDoc& d) { AddSchemaRelation(d, Table(d, 1), {2}, Table(d, 0), {1}); },
         {{E, 1, 2, "orders.customer_name: the relation to customer ends on customer (name), which is neither its primary key nor unique"}}},
        {"a table without a primary key",
         [](CKorvoDoc& d) { AddSchemaTable(d, "log", {{"at", "timestamp"}}); },
         {{W, 2, -1, "log: the table has no primary key"}}},
        {"a table without columns",
         [](CKorvoDoc& d) { AddSchemaTable(d, "empty", {}); },
         {{W, 2, -1, "empty: the table has no primary key"}}},
    };
    for (const Case& c : cases) {
        auto doc = SoundDiagram();
        c.plant(*doc);
        EXPECT_EQ(CheckDiagram(*doc), c.found) << c.what;
    }
}

// What the check lets pass: engines take these as one type.
TEST(CheckDiagram, TakesSpellingsOfOneTypeAsOne)
{
    const std::vector<std::pair<const char*, const char*>> same = {
        {"integer", "serial"}, {"int4", "INT"}, {"varchar(10)", "text"}, {"character varying(20)", "VARCHAR(40)"},
        {"bigint", "bigserial"}, {"numeric(10,2)", "decimal(10,2)"}, {"numeric(10)", "NUMBER(10,0)"},
        {"timestamp", "timestamp without time zone"}, {"bytea", "blob"}, {"uuid", "UNIQUEIDENTIFIER"},
    };
    const std::vector<std::pair<const char*, const char*>> different = {
        {"integer", "bigint"}, {"int", "int unsigned"}, {"numeric(10,2)", "numeric(12,2)"}, {"integer", "text"},
        {"timestamp", "timestamptz"}, {"integer[]", "integer"}, {"mpaa_rating", "text"}, {"date", "timestamp"},
    };
    for (const auto& [a, b] : same) {
        auto doc = SoundDiagram();
        Table(*doc, 0)->m_def.m_columns[0]->m_strType = a;
        Table(*doc, 1)->m_def.m_columns[1]->m_strType = b;
        EXPECT_EQ(CheckDiagram(*doc), std::vector<DiagramProblem>{}) << a << " / " << b;
    }
    for (const auto& [a, b] : different) {
        auto doc = SoundDiagram();
        Table(*doc, 0)->m_def.m_columns[0]->m_strType = a;
        Table(*doc, 1)->m_def.m_columns[1]->m_strType = b;
        EXPECT_EQ(CheckDiagram(*doc).size(), 1u) << a << " / " << b;
    }
}

TEST(CheckDiagram, NamesTheDialectMustQuoteOrCannotTake)
{
    struct Case {
        SqlDialect dialect;
        std::vector<std::string> tables;
        std::vector<DiagramProblem> found;
    };
    const std::string long64(64, 'n');
    const std::vector<Case> cases = {
        {SqlDialect::PostgreSql, {"order"}, {{W, 2, -1, "order: PostgreSQL needs this name in quotes: it is a reserved word"}}},
        {SqlDialect::PostgreSql, {"Orders"},
         {{W, 2, -1, "Orders: PostgreSQL needs this name in quotes: it has upper-case letters, which would fold to lower case"}}},
        {SqlDialect::PostgreSql, {"Orders", "orders "},
         {{W, 2, -1, "Orders: PostgreSQL needs this name in quotes: it has upper-case letters, which would fold to lower case"},
          {W, 3, -1, "orders : PostgreSQL needs this name in quotes: it has spaces, punctuation or a leading digit"}}},
        {SqlDialect::PostgreSql, {long64}, {{E, 2, -1, long64 + ": PostgreSQL cannot take this name: longer than 63 bytes"}}},
        {SqlDialect::MySql, {"Orders"}, {{E, 2, -1, "Orders: MySQL/MariaDB takes this name as the same as that of table 2"}}},
        {SqlDialect::MySql, {"rank "}, {{E, 2, -1, "rank : MySQL/MariaDB cannot take this name: a trailing space"}}},
        {SqlDialect::MySql, {"rank"}, {{W, 2, -1, "rank: MySQL/MariaDB needs this name in quotes: it is a reserved word"}}},
        {SqlDialect::Sqlite, {"ORDERS"}, {{E, 2, -1, "ORDERS: SQLite takes this name as the same as that of table 2"}}},
        {SqlDialect::Sqlite, {"Ärger"}, {{W, 2, -1, "Ärger: SQLite needs this name in quotes: it has characters beyond ASCII"}}},
        {SqlDialect::SqlServer, {"file"}, {{W, 2, -1, "file: SQL Server needs this name in quotes: it is a reserved word"}}},
        {SqlDialect::Korvo, {"Group Name"},
         {{E, 2, -1, "Group Name: Korvo's script writes names as they are, and Import SQL cannot read this one back: "
                     "it has spaces, punctuation or a leading digit"}}},
        {SqlDialect::Korvo, {"SELECT"},
         {{E, 2, -1, "SELECT: Korvo's script writes names as they are, and Import SQL cannot read this one back: "
                     "it is a reserved word"}}},
    };
    for (const Case& c : cases) {
        auto doc = SoundDiagram();
        for (const std::string& name : c.tables)
            AddSchemaTable(*doc, name, {{"id", "integer", true, "", true}});
        EXPECT_EQ(CheckDiagram(*doc, c.dialect), c.found) << DialectKeyword(c.dialect) << " " << c.tables[0];
    }
    // Column names are compared within their table only.
    auto doc = SoundDiagram();
    Table(*doc, 0)->m_def.AddColumn(std::make_unique<CColumn>("Name", "text", false, "", false, false, "", ""));
    EXPECT_EQ(CheckDiagram(*doc, SqlDialect::SqlServer),
              (std::vector<DiagramProblem>{{E, 0, 2, "customer.Name: SQL Server takes this name as the same as that of column 2"}}));
    EXPECT_EQ(CheckDiagram(*doc, SqlDialect::PostgreSql),
              (std::vector<DiagramProblem>{
                  {W, 0, 2, "customer.Name: PostgreSQL needs this name in quotes: it has upper-case letters, which would fold to lower case"}}));
}

TEST(CheckDiagram, ListsTablesInOrderThenRelations)
{
    const auto doc = BuildAwkwardDiagram();
    AddSchemaRelation(*doc, doc->GetTable(3), {2}, doc->GetTable(0), {3}); // employee.name -> "Customer Details".note
    AddSchemaTable(*doc, "", {});
    const auto problems = CheckDiagram(*doc);
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0], (DiagramProblem{W, 11, -1, "log: the table has no primary key"}));
    EXPECT_EQ(problems[1], (DiagramProblem{E, 14, -1, "(table 15): the table has no name"}));
    EXPECT_EQ(problems[2], (DiagramProblem{W, 14, -1, "(table 15): the table has no primary key"}));
    EXPECT_EQ(problems[3].table, 3);
    EXPECT_EQ(problems[3].column, 2);
    EXPECT_EQ(problems[3].text,
              "employee.name: the relation to Customer Details ends on Customer Details (note), which is neither its primary key nor unique");
}

} // namespace

// The dialect scripts as text: exact for SQL Server (no engine here) and
// PostgreSQL, and the rules every dialect's script keeps.
#include "DialectExport.h"
#include "SchemaTestDiagrams.h"
#include "SqlQuoting.h"
#include "SqlUtf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SqlUtf8;

namespace {

constexpr SqlDialect kRealDialects[] = {SqlDialect::PostgreSql, SqlDialect::MySql, SqlDialect::Sqlite, SqlDialect::SqlServer};

// A reserved table name, a name with a space, an identity, an enum, an
// unsigned column, a self reference, a cycle of two, and a composite key
// referred to with its columns the other way round.
std::unique_ptr<CKorvoDoc> CompactDiagram()
{
    auto doc = std::make_unique<CKorvoDoc>();
    KorvoTableView* order = AddSchemaTable(*doc, "order",
        {{"id", "int IDENTITY(1,1)", true, "", true},
         {"Placed At", "datetime", true, "getdate()"},
         {"status", "enum('new','paid')", false, "'new'"},
         {"customer_id", "int", true}},
        "", "Orders; it's here");
    KorvoTableView* customer = AddSchemaTable(*doc, "customer",
        {{"id", "int", true, "", true}, {"name", "nvarchar(max)", false, "", false, true}, {"parent_id", "int"}, {"best_order", "int"}});
    KorvoTableView* line = AddSchemaTable(*doc, "line",
        {{"order_id", "int", true, "", true}, {"no", "int", true, "", true},
         {"qty", "int unsigned", false, "1", false, false, "", "Pieces"}});
    KorvoTableView* note = AddSchemaTable(*doc, "line_note", {{"order_id", "int"}, {"no", "int"}, {"note", "text"}});
    AddSchemaRelation(*doc, order, {3}, customer, {0});
    AddSchemaRelation(*doc, customer, {2}, customer, {0});
    AddSchemaRelation(*doc, customer, {3}, order, {0});
    AddSchemaRelation(*doc, note, {1, 0}, line, {1, 0});
    return doc;
}

TEST(ExportDialectSql, SQLServerScript)
{
    const std::string expected =
        "-- SQL Server script written by Korvo\n"
        "\n"
        "-- customer.name: in a key, so written as nvarchar(450)\n"
        "CREATE TABLE customer (\n"
        "\tid int NOT NULL,\n"
        "\tname nvarchar(450) UNIQUE,\n"
        "\tparent_id int,\n"
        "\tbest_order int,\n"
        "\tPRIMARY KEY (id),\n"
        "\tCONSTRAINT fk_customer_customer FOREIGN KEY (parent_id) REFERENCES customer (id)\n"
        ");\n"
        "\n"
        "-- order.status: enum written as nvarchar with a CHECK of its values\n"
        "CREATE TABLE [order] (\n"
        "\tid int IDENTITY(1,1) NOT NULL,\n"
        "\t[Placed At] datetime DEFAULT getdate() NOT NULL,\n"
        "\tstatus nvarchar(4) DEFAULT N'new' CHECK (status IN (N'new', N'paid')),\n"
        "\tcustomer_id int NOT NULL,\n"
        "\tPRIMARY KEY (id),\n"
        "\tCONSTRAINT fk_order_customer FOREIGN KEY (customer_id) REFERENCES customer (id)\n"
        ");\n"
        "\n"
        "CREATE TABLE line (\n"
        "\torder_id int NOT NULL,\n"
        "\tno int NOT NULL,\n"
        "\tqty bigint DEFAULT 1 CHECK (qty >= 0),\n"
        "\tPRIMARY KEY (order_id, no)\n"
        ");\n"
        "\n"
        "CREATE TABLE line_note (\n"
        "\torder_id int,\n"
        "\tno int,\n"
        "\tnote nvarchar(max),\n"
        "\tCONSTRAINT fk_line_note_line FOREIGN KEY (order_id, no) REFERENCES line (order_id, no)\n"
        ");\n"
        "\n"
        "-- Foreign keys that close a cycle, added once both tables exist.\n"
        "ALTER TABLE customer ADD CONSTRAINT fk_customer_order FOREIGN KEY (best_order) REFERENCES [order] (id);\n"
        "\n"
        "-- Descriptions, kept as MS_Description extended properties.\n"
        "DECLARE @schema sysname = SCHEMA_NAME();\n"
        "EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'Orders; it''s here', "
        "@level0type = N'SCHEMA', @level0name = @schema, @level1type = N'TABLE', @level1name = N'order';\n"
        "EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'Pieces', "
        "@level0type = N'SCHEMA', @level0name = @schema, @level1type = N'TABLE', @level1name = N'line', "
        "@level2type = N'COLUMN', @level2name = N'qty';\n"
        "\n";
    ExportNotes notes;
    EXPECT_EQ(ExportDialectSql(*CompactDiagram(), SqlDialect::SqlServer, notes), expected);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].table, 0);
    EXPECT_EQ(notes[0].column, 2);
    EXPECT_EQ(notes[0].text, "order.status: enum written as nvarchar with a CHECK of its values");
    EXPECT_EQ(notes[1].table, 1);
    EXPECT_EQ(notes[1].column, 1);
    EXPECT_EQ(notes[1].text, "customer.name: in a key, so written as nvarchar(450)");
}

TEST(ExportDialectSql, PostgreSQLScript)
{
    const std::string expected =
        "-- PostgreSQL script written by Korvo\n"
        "\n"
        "CREATE TABLE customer (\n"
        "\tid int NOT NULL,\n"
        "\tname text UNIQUE,\n"
        "\tparent_id int,\n"
        "\tbest_order int,\n"
        "\tPRIMARY KEY (id),\n"
        "\tCONSTRAINT fk_customer_customer FOREIGN KEY (parent_id) REFERENCES customer (id)\n"
        ");\n"
        "\n"
        "-- order.status: enum written as text with a CHECK of its values\n"
        "CREATE TABLE \"order\" (\n"
        "\tid integer GENERATED BY DEFAULT AS IDENTITY NOT NULL,\n"
        "\t\"Placed At\" timestamp DEFAULT CURRENT_TIMESTAMP NOT NULL,\n"
        "\tstatus text DEFAULT 'new' CHECK (status IN ('new', 'paid')),\n"
        "\tcustomer_id int NOT NULL,\n"
        "\tPRIMARY KEY (id),\n"
        "\tCONSTRAINT fk_order_customer FOREIGN KEY (customer_id) REFERENCES customer (id)\n"
        ");\n"
        "COMMENT ON TABLE \"order\" IS 'Orders; it''s here';\n"
        "\n"
        "CREATE TABLE line (\n"
        "\torder_id int NOT NULL,\n"
        "\tno int NOT NULL,\n"
        "\tqty bigint DEFAULT 1 CHECK (qty >= 0),\n"
        "\tPRIMARY KEY (order_id, no)\n"
        ");\n"
        "COMMENT ON COLUMN line.qty IS 'Pieces';\n"
        "\n"
        "CREATE TABLE line_note (\n"
        "\torder_id int,\n"
        "\tno int,\n"
        "\tnote text,\n"
        "\tCONSTRAINT fk_line_note_line FOREIGN KEY (order_id, no) REFERENCES line (order_id, no)\n"
        ");\n"
        "\n"
        "-- Foreign keys that close a cycle, added once both tables exist.\n"
        "ALTER TABLE customer ADD CONSTRAINT fk_customer_order FOREIGN KEY (best_order) REFERENCES \"order\" (id);\n"
        "\n";
    ExportNotes notes;
    EXPECT_EQ(ExportDialectSql(*CompactDiagram(), SqlDialect::PostgreSql, notes), expected);
}

// Where each CREATE TABLE statement of the table starts, or npos.
size_t StatementAt(const std::string& script, const std::string& name, SqlDialect dialect)
{
    return script.find("CREATE TABLE " + SqlName(name, dialect) + " (");
}

TEST(ExportDialectSql, EveryScriptIsUtf8WithLineFeedsAndTablesInDependencyOrder)
{
    std::vector<std::unique_ptr<CKorvoDoc>> docs;
    docs.push_back(BuildAwkwardDiagram());
    docs.push_back(BuildTypeDiagram());
    docs.push_back(LoadExampleDiagram());
    docs.push_back(CompactDiagram());
    for (const auto& doc : docs) {
        for (SqlDialect dialect : kRealDialects) {
            ExportNotes notes;
            const std::string script = ExportDialectSql(*doc, dialect, notes);
            SCOPED_TRACE(std::string(DialectKeyword(dialect)) + "\n" + script);
            EXPECT_EQ(script.find('\r'), std::string::npos);
            EXPECT_TRUE(IsValidUtf8(script));
            for (const ExportNote& note : notes)
                EXPECT_NE(script.find("-- " + note.text + "\n"), std::string::npos) << note.text;
            for (const auto& table : doc->m_tables) {
                const size_t at = StatementAt(script, table->m_def.m_strName, dialect);
                ASSERT_NE(at, std::string::npos) << table->m_def.m_strName;
                EXPECT_EQ(StatementAt(script.substr(at + 1), table->m_def.m_strName, dialect), std::string::npos);
            }
            // A destination comes first, unless the relation closes a cycle,
            // which then goes in an ALTER TABLE at the end (SQLite: inline).
            for (const auto& relation : doc->m_relations) {
                const std::string& source = relation->m_pSource->m_def.m_strName;
                const std::string& dest = relation->m_pDest->m_def.m_strName;
                if (StatementAt(script, dest, dialect) <= StatementAt(script, source, dialect) || dialect == SqlDialect::Sqlite)
                    continue;
                const size_t alter = script.find("ALTER TABLE " + SqlName(source, dialect) + " ADD CONSTRAINT ");
                ASSERT_NE(alter, std::string::npos) << source << " -> " << dest;
                EXPECT_GT(alter, StatementAt(script, dest, dialect));
            }
        }
    }
}

TEST(ExportDialectSql, KorvoIsTheProgramsOwnScriptAndOracleIsNotWritten)
{
    auto doc = CompactDiagram();
    ExportNotes notes;
    EXPECT_EQ(ExportDialectSql(*doc, SqlDialect::Korvo, notes), doc->ExportSQLText());
    EXPECT_TRUE(notes.empty());
    for (SqlDialect d : {SqlDialect::Auto, SqlDialect::Oracle, SqlDialect::Db2}) {
        EXPECT_FALSE(DialectCanExport(d));
        EXPECT_EQ(ExportDialectSql(*doc, d, notes), "");
    }
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[1].text, "no Oracle script can be written");
    for (SqlDialect d : {SqlDialect::Korvo, SqlDialect::PostgreSql, SqlDialect::MySql, SqlDialect::Sqlite, SqlDialect::SqlServer})
        EXPECT_TRUE(DialectCanExport(d));
}

TEST(ExportDialectSql, MakesOlderSingleByteTextUtf8)
{
    CKorvoDoc doc;
    AddSchemaTable(doc, "stra\xDF" "e", {{"gr\xF6\xDF" "e", "int", false, "'\xE9t\xE9'"}}, "", "Caf\xE9 \xA4");
    ExportNotes notes;
    const std::string script = ExportDialectSql(doc, SqlDialect::PostgreSql, notes);
    EXPECT_NE(script.find("CREATE TABLE \"straße\" (\n\t\"größe\" int DEFAULT 'été'\n);\n"), std::string::npos) << script;
    EXPECT_NE(script.find("COMMENT ON TABLE \"straße\" IS 'Café ¤';"), std::string::npos) << script;
}

TEST(ExportDialectSql, LeavesOutWhatNoEngineTakesAndSaysSo)
{
    CKorvoDoc doc;
    KorvoTableView* customer = AddSchemaTable(doc, "customer", {{"id", "int", true, "", true}, {"name", "text"}});
    KorvoTableView* orders = AddSchemaTable(doc, "orders", {{"id", "int", true, "", true}, {"customer_id", "int"}, {"who", "text"}});
    KorvoTableView* empty = AddSchemaTable(doc, "empty", {});
    AddSchemaRelation(doc, orders, {1, 0}, customer, {0});
    AddSchemaRelation(doc, orders, {2}, customer, {1});
    AddSchemaRelation(doc, orders, {1}, empty, {});
    AddSchemaRelation(doc, orders, {1}, customer, {0});
    AddSchemaRelation(doc, orders, {0}, customer, {0});

    for (SqlDialect dialect : kRealDialects) {
        ExportNotes notes;
        const std::string script = ExportDialectSql(doc, dialect, notes);
        SCOPED_TRACE(script);
        std::vector<std::string> texts;
        for (const ExportNote& note : notes)
            texts.push_back(note.text);
        std::vector<std::string> expected;
        if (dialect != SqlDialect::PostgreSql)
            expected.push_back("empty: left out: " + std::string(DialectDisplayName(dialect)) + " makes no table without columns");
        expected.push_back("orders.customer_id: foreign key to customer left out: 2 columns refer to 1");
        expected.push_back("orders.who: foreign key to customer left out: the columns it refers to are neither the primary key nor unique");
        expected.push_back(dialect == SqlDialect::PostgreSql ? "orders.customer_id: foreign key to empty left out: a side has no columns"
                                                             : "orders.customer_id: foreign key to empty left out: its table is left out");
        EXPECT_EQ(texts, expected);
        // The two sound relations between the same tables get two names.
        EXPECT_NE(script.find("CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES customer (id)"), std::string::npos);
        EXPECT_NE(script.find("CONSTRAINT fk_orders_customer_2 FOREIGN KEY (id) REFERENCES customer (id)"), std::string::npos);
        EXPECT_EQ(script.find("fk_orders_customer_3"), std::string::npos);
        EXPECT_EQ(script.find("CREATE TABLE empty") != std::string::npos, dialect == SqlDialect::PostgreSql);
    }
}

TEST(ExportDialectSql, ConstraintNamesStayUniqueAndWithinTheTargetsLimit)
{
    CKorvoDoc doc;
    const std::string longName(80, 'l');
    KorvoTableView* a = AddSchemaTable(doc, longName + "A", {{"id", "int", true, "", true}, {"b", "int"}});
    KorvoTableView* b = AddSchemaTable(doc, longName + "B", {{"id", "int", true, "", true}});
    AddSchemaTable(doc, "fk_x_y", {{"id", "int", true, "", true}});
    KorvoTableView* x = AddSchemaTable(doc, "x", {{"id", "int", true, "", true}, {"y", "int"}});
    KorvoTableView* y = AddSchemaTable(doc, "Y", {{"id", "int", true, "", true}});
    AddSchemaRelation(doc, a, {1}, b, {0});
    AddSchemaRelation(doc, a, {0}, b, {0});
    AddSchemaRelation(doc, x, {1}, y, {0});
    for (SqlDialect dialect : kRealDialects) {
        ExportNotes notes;
        const std::string script = ExportDialectSql(doc, dialect, notes);
        const size_t limit = dialect == SqlDialect::MySql ? 64 : dialect == SqlDialect::SqlServer ? 128 : 63;
        std::vector<std::string> names;
        for (size_t at = script.find("CONSTRAINT "); at != std::string::npos; at = script.find("CONSTRAINT ", at + 1)) {
            const size_t start = at + 11;
            names.push_back(script.substr(start, script.find(' ', start) - start));
        }
        ASSERT_EQ(names.size(), 3u) << script;
        EXPECT_NE(names[0], names[1]);
        for (const std::string& name : names)
            EXPECT_LE(name.size(), limit) << name;
        // A table already holds the plain name.
        EXPECT_EQ(names[2], "fk_x_y_2");
    }
}

} // namespace

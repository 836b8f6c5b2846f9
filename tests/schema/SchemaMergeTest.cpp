// The merge of dialect descriptions: what differs from Korvo's own rules.
#include "CKorvoDoc.h"
#include "CSchemaMerge.h"
#include "FakeSurface.h"
#include "ImportSummary.h"
#include "SchemaImport.h"

#include <gtest/gtest.h>

namespace {

constexpr CRect kCanvas{0, 0, 54000, -75600};

MergeResult MergeText(CKorvoDoc& doc, const char* script, SqlDialect dialect)
{
    const ScriptImport read = ReadSchemaText(script, dialect);
    EXPECT_TRUE(read.ok);
    FakeSurface surface;
    return CSchemaMerge(doc, surface, kCanvas).Merge(read.description);
}

const CColumn* Column(const CKorvoDoc& doc, const char* table, const char* column)
{
    const KorvoTableView* t = doc.FindTable(table);
    if (!t)
        return nullptr;
    for (const auto& c : t->m_def.m_columns)
        if (c->m_strName == column)
            return c.get();
    return nullptr;
}

} // namespace

TEST(SchemaMerge, CompositeUniqueIsReportedNotMarkedOnEachColumn)
{
    CKorvoDoc doc;
    const MergeResult result =
        MergeText(doc, "CREATE TABLE t (a int, b int UNIQUE, c int, UNIQUE (a, c));", SqlDialect::PostgreSql);
    EXPECT_FALSE(Column(doc, "t", "a")->m_bUnique);
    EXPECT_TRUE(Column(doc, "t", "b")->m_bUnique);
    EXPECT_FALSE(Column(doc, "t", "c")->m_bUnique);
    EXPECT_EQ(result.notShown, std::vector<std::string>{"UNIQUE (a, c) of t"});
}

TEST(SchemaMerge, ForeignKeysResolveForwardWithBothColumnListsInOrder)
{
    CKorvoDoc doc;
    const MergeResult result = MergeText(doc,
                                         "CREATE TABLE line (o int, n int, p int, FOREIGN KEY (n, o) REFERENCES head (b, a),"
                                         " FOREIGN KEY (p) REFERENCES elsewhere (x));\n"
                                         "CREATE TABLE head (a int, b int, PRIMARY KEY (a, b));\n",
                                         SqlDialect::PostgreSql);
    ASSERT_EQ(doc.m_relations.size(), 1u);
    const CRelation& r = *doc.m_relations[0];
    EXPECT_EQ(r.m_pSource->m_def.m_strName, "line");
    EXPECT_EQ(r.m_pDest->m_def.m_strName, "head");
    ASSERT_EQ(r.m_sourceColumns.size(), 2u);
    EXPECT_EQ(r.m_sourceColumns[0]->m_strName, "n");
    EXPECT_EQ(r.m_sourceColumns[1]->m_strName, "o");
    EXPECT_EQ(r.m_destColumns[0]->m_strName, "b");
    EXPECT_EQ(r.m_destColumns[1]->m_strName, "a");
    EXPECT_EQ(result.relationsAdded, 1);
    ASSERT_EQ(result.notShown.size(), 1u);
    EXPECT_NE(result.notShown[0].find("elsewhere"), std::string::npos);
}

TEST(SchemaMerge, ReferenceWithoutColumnsMeansThePrimaryKey)
{
    CKorvoDoc doc;
    MergeText(doc, "CREATE TABLE child (parent_ref int REFERENCES parent);\nCREATE TABLE parent (id int PRIMARY KEY);",
              SqlDialect::Sqlite);
    ASSERT_EQ(doc.m_relations.size(), 1u);
    EXPECT_EQ(doc.m_relations[0]->m_destColumns.at(0)->m_strName, "id");
}

TEST(SchemaMerge, CommentsBecomeDescriptionsAndSameNamesInTwoSchemasStayApart)
{
    CKorvoDoc doc;
    MergeText(doc,
              "CREATE TABLE sales.item (id int PRIMARY KEY);\nCREATE TABLE stock.item (id int PRIMARY KEY,"
              " sale int REFERENCES sales.item (id));\nCREATE TABLE note (x int);\n"
              "COMMENT ON TABLE note IS 'Free text';\nCOMMENT ON COLUMN note.x IS 'The x';\n",
              SqlDialect::PostgreSql);
    ASSERT_TRUE(doc.FindTable("sales.item"));
    ASSERT_TRUE(doc.FindTable("stock.item"));
    ASSERT_TRUE(doc.FindTable("note"));
    EXPECT_EQ(doc.FindTable("note")->m_def.m_strDescription, "Free text");
    EXPECT_EQ(Column(doc, "note", "x")->m_strDescription, "The x");
    ASSERT_EQ(doc.m_relations.size(), 1u);
    EXPECT_EQ(doc.m_relations[0]->m_pDest, doc.FindTable("sales.item"));
}

TEST(SchemaMerge, ReimportUpdatesTablesInPlaceAndKeepsDescriptionsTheScriptDoesNotGive)
{
    CKorvoDoc doc;
    MergeText(doc, "CREATE TABLE t (a int, b int);", SqlDialect::MySql);
    doc.FindTable("t")->m_def.m_strDescription = "drawn by hand";
    const MergeResult again = MergeText(doc, "CREATE TABLE t (b int NOT NULL, c int);", SqlDialect::MySql);
    ASSERT_EQ(doc.m_tables.size(), 1u);
    EXPECT_EQ(again.tablesUpdated, 1);
    EXPECT_EQ(again.tablesCreated, 0);
    const auto& columns = doc.FindTable("t")->m_def.m_columns;
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[0]->m_strName, "b");
    EXPECT_TRUE(columns[0]->m_bRequired);
    EXPECT_EQ(columns[1]->m_strName, "c");
    EXPECT_EQ(doc.FindTable("t")->m_def.m_strDescription, "drawn by hand");
}

TEST(SchemaMerge, SummarySaysWhatCameInFromWhereAndWhatWasLeftOut)
{
    const ScriptImport read = ReadSchemaText("CREATE TABLE a (x int, y int, UNIQUE (x, y));\n"
                                             "INSERT INTO a VALUES (1, 2);\nINSERT INTO a VALUES (3, 4);\n"
                                             "CREATE TABLE b (x int REFERENCES a (x),, z int);\n"
                                             "CREATE TABLE c (x int REFERENCES a (x));\n",
                                             SqlDialect::MySql);
    CKorvoDoc doc;
    FakeSurface surface;
    const MergeResult merged = CSchemaMerge(doc, surface, kCanvas).Merge(read.description);
    EXPECT_EQ(ImportSummaryText(read.report, merged),
              "Imported 2 tables and 1 relation from MySQL/MariaDB.\n"
              "Skipped 2 statements: INSERT x2 (lines 2, 3)\n"
              "Could not read 1 statement: CREATE TABLE x1 (line 4: expected a name at \",\")\n"
              "Not shown: UNIQUE (x, y) of a\n");
    EXPECT_EQ(ImportSummaryLines(read.report, merged),
              "Imported 2 tables and 1 relation from MySQL/MariaDB.\n"
              "2 statements skipped, 1 statement could not be read (first at line 4), 1 not shown.\n");
}

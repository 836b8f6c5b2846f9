// Merging imported CREATE TABLE scripts into a diagram: update in place,
// relations from table and column references, and the column layout.
#include "CKorvoDC.h"
#include "CSqlImporter.h"
#include "DiagramBuilder.h"
#include "SqlImportFile.h"
#include "TextEncoding.h"
#include "ddlread.h"

#include <QTemporaryDir>

#include <fstream>

#include <gtest/gtest.h>

namespace {

// A canvas of 5 x 5 default pages.
constexpr CRect kCanvas{0, 0, 54000, -75600};

class CSqlImporterTest : public ::testing::Test {
protected:
    // Imports the script into doc and returns the library's result.
    bool Import(const std::string& script, CRect canvas = kCanvas)
    {
        const std::string path = m_dir.filePath("script.sql").toStdString();
        std::ofstream(path, std::ios::binary) << script;
        const SqlTableList list = ImportSqlFile(path, m_error);
        if (!list)
            return false;
        CKorvoDC dc(nullptr, 96, false);
        dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, 96));
        CSqlImporter(doc, dc, canvas).ImportTables(list.get());
        return true;
    }

    std::vector<std::string> ColumnNames(const KorvoTableView* table) const
    {
        std::vector<std::string> names;
        for (const auto& c : table->m_def.m_columns)
            names.push_back(c->m_strName);
        return names;
    }

    QTemporaryDir m_dir;
    CKorvoDoc doc;
    std::string m_error;
};

} // namespace

TEST_F(CSqlImporterTest, ColumnsAndTableConstraintsBecomeFlagsAndChecks)
{
    ASSERT_TRUE(Import("CREATE TABLE t (a INT NOT NULL, b VARCHAR(20) UNIQUE DEFAULT 'x' CHECK (b <> 'y'),"
                       " c INT, PRIMARY KEY (a, c), UNIQUE (c), CHECK (a > 0), CHECK (c < 9));"));
    ASSERT_EQ(doc.m_tables.size(), 1u);
    const KorvoTableView* t = doc.m_tables[0].get();
    EXPECT_EQ(t->m_def.m_strName, "t");
    EXPECT_EQ(t->m_def.m_strCheck, "c < 9") << "a later CHECK replaces an earlier one";
    const auto& cols = t->m_def.m_columns;
    ASSERT_EQ(cols.size(), 3u);
    EXPECT_TRUE(cols[0]->m_bRequired && cols[0]->m_bPrimaryKey && !cols[0]->m_bUnique);
    EXPECT_EQ(cols[1]->m_strType, "VARCHAR(20)");
    EXPECT_EQ(cols[1]->m_strDefault, "'x'");
    EXPECT_EQ(cols[1]->m_strCheck, "b <> 'y'");
    EXPECT_TRUE(cols[1]->m_bUnique && !cols[1]->m_bPrimaryKey);
    EXPECT_TRUE(cols[2]->m_bPrimaryKey && cols[2]->m_bUnique);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_GT(t->m_cx, 0) << "a new table is measured";
}

TEST_F(CSqlImporterTest, ReimportUpdatesInPlaceKeepsDescriptionsAndLaysOutAgain)
{
    KorvoTableView* t = AddTable(doc, "t", 9000, -9000, {"p", "q", "r"});
    t->m_def.m_strDescription = "kept";
    t->m_def.m_strCheck = "old";
    t->m_def.m_columns[0]->m_strDescription = "p's description";
    ASSERT_TRUE(Import("CREATE TABLE t (p INT NOT NULL, r TEXT, x INT);"));
    ASSERT_EQ(doc.m_tables.size(), 1u);
    EXPECT_EQ(doc.m_tables[0].get(), t);
    EXPECT_EQ(ColumnNames(t), (std::vector<std::string>{"p", "r", "x"})) << "q lost, x appended after r";
    EXPECT_EQ(t->m_def.m_columns[0]->m_strDescription, "p's description");
    EXPECT_TRUE(t->m_def.m_columns[0]->m_bRequired);
    EXPECT_EQ(t->m_def.m_strDescription, "kept");
    EXPECT_EQ(t->m_def.m_strCheck, "old") << "no table CHECK in the script";
    EXPECT_EQ(t->m_x, 360);
    EXPECT_EQ(t->m_y, -360);

    ASSERT_TRUE(Import("CREATE TABLE t (p INT NOT NULL, r TEXT, x INT);"));
    EXPECT_EQ(doc.m_tables.size(), 1u) << "importing twice keeps one copy";
}

TEST_F(CSqlImporterTest, DuplicateColumnNamesResolveToTheFirstColumnOfThatName)
{
    // Column Properties allows two columns of one name; every lookup of the
    // import takes the first, before and after columns are removed or added.
    KorvoTableView* t = AddTable(doc, "t", 0, 0, {"a", "b", "a", "c", "b"});
    CColumn* firstA = t->m_def.m_columns[0].get();
    CColumn* secondA = t->m_def.m_columns[2].get();
    KorvoTableView* u = AddTable(doc, "u", 0, 0, {"k", "k"});
    CColumn* firstK = u->m_def.m_columns[0].get();
    ASSERT_TRUE(Import("CREATE TABLE t (a TEXT NOT NULL, x INT, a INT UNIQUE, PRIMARY KEY (a, x),"
                       " FOREIGN KEY (x) REFERENCES u (k));"
                       "CREATE TABLE v (k INT REFERENCES u, y INT REFERENCES t (x), z INT REFERENCES t (a));"));
    EXPECT_EQ(ColumnNames(t), (std::vector<std::string>{"a", "a", "x"})) << "b and c go in one pass, x is added";
    EXPECT_EQ(t->m_def.m_columns[0].get(), firstA);
    EXPECT_EQ(t->m_def.m_columns[1].get(), secondA);
    // Both records named a update the first a; the second keeps what it had.
    EXPECT_EQ(firstA->m_strType, "INT");
    EXPECT_TRUE(firstA->m_bUnique && firstA->m_bPrimaryKey);
    EXPECT_EQ(secondA->m_strType, "int");
    EXPECT_FALSE(secondA->m_bPrimaryKey);
    EXPECT_TRUE(t->m_def.m_columns[2]->m_bPrimaryKey) << "x, appended during the import, is found too";

    ASSERT_EQ(doc.m_relations.size(), 4u);
    const CRelation* fk = doc.m_relations[0].get();
    EXPECT_EQ(fk->m_sourceColumns, (std::vector<CColumn*>{t->m_def.m_columns[2].get()}));
    EXPECT_EQ(fk->m_destColumns, (std::vector<CColumn*>{firstK}));
    EXPECT_EQ(doc.m_relations[1]->m_destColumns, (std::vector<CColumn*>{firstK})) << "paired by name";
    EXPECT_EQ(doc.m_relations[2]->m_destColumns, (std::vector<CColumn*>{t->m_def.m_columns[2].get()}));
    EXPECT_EQ(doc.m_relations[3]->m_destColumns, (std::vector<CColumn*>{firstA}));
}

TEST_F(CSqlImporterTest, ReimportRemovesEveryRelationTouchingTheTable)
{
    KorvoTableView* a = AddTable(doc, "a", 0, 0, {"id"});
    KorvoTableView* b = AddTable(doc, "b", 0, 0, {"id", "a_id"});
    KorvoTableView* c = AddTable(doc, "c", 0, 0, {"id"});
    Relate(doc, b, 1, a, 0); // drawn by hand, b -> a
    Relate(doc, c, 0, b, 0); // from a table not in the script
    Relate(doc, c, 0, a, 0); // untouched by the script
    ASSERT_TRUE(Import("CREATE TABLE b (id INT, a_id INT);"));
    ASSERT_EQ(doc.m_relations.size(), 1u);
    EXPECT_EQ(doc.m_relations[0]->m_pSource, c);
    EXPECT_EQ(doc.m_relations[0]->m_pDest, a);
}

TEST_F(CSqlImporterTest, ForeignKeyFindsOnlyEarlierTablesWhileReferencesLookForward)
{
    ASSERT_TRUE(Import("CREATE TABLE child (id INT, p INT REFERENCES parent (id), q INT,"
                       " FOREIGN KEY (q) REFERENCES parent (id));"
                       "CREATE TABLE parent (id INT PRIMARY KEY);"));
    ASSERT_EQ(doc.m_relations.size(), 1u);
    const CRelation* r = doc.m_relations[0].get();
    EXPECT_EQ(r->m_pSource->m_def.m_strName, "child");
    EXPECT_EQ(r->m_sourceColumns[0]->m_strName, "p");
    EXPECT_EQ(r->m_pDest->m_def.m_strName, "parent");
}

TEST_F(CSqlImporterTest, ForeignKeyWithoutColumnListPairsByNameAndKeepsBothColumns)
{
    ASSERT_TRUE(Import("CREATE TABLE t (a INT, b INT, z INT);"
                       "CREATE TABLE s (a INT, b INT, FOREIGN KEY (a, b) REFERENCES t);"
                       "CREATE TABLE u (a INT, b INT, FOREIGN KEY (a, b) REFERENCES t (z));"));
    ASSERT_EQ(doc.m_relations.size(), 2u);
    const CRelation* byName = doc.m_relations[0].get();
    ASSERT_EQ(byName->m_sourceColumns.size(), 2u);
    ASSERT_EQ(byName->m_destColumns.size(), 2u);
    EXPECT_EQ(byName->m_destColumns[0]->m_strName, "a");
    EXPECT_EQ(byName->m_destColumns[1]->m_strName, "b");
    const CRelation* listed = doc.m_relations[1].get();
    EXPECT_EQ(listed->m_sourceColumns.size(), 2u);
    ASSERT_EQ(listed->m_destColumns.size(), 1u);
    EXPECT_EQ(listed->m_destColumns[0]->m_strName, "z");
}

TEST_F(CSqlImporterTest, ColumnReferenceGivesOneRelationPerListedColumn)
{
    ASSERT_TRUE(Import("CREATE TABLE t (x INT, y INT, w INT);"
                       "CREATE TABLE s (k INT REFERENCES t (x, y, nothere), w INT REFERENCES t, v INT REFERENCES t,"
                       " n INT REFERENCES missing);"));
    ASSERT_EQ(doc.m_relations.size(), 3u) << "x, y, and w by name; nothing for v, nothere or missing";
    EXPECT_EQ(doc.m_relations[0]->m_destColumns[0]->m_strName, "x");
    EXPECT_EQ(doc.m_relations[1]->m_destColumns[0]->m_strName, "y");
    EXPECT_EQ(doc.m_relations[2]->m_sourceColumns[0]->m_strName, "w");
    for (const auto& r : doc.m_relations)
        EXPECT_EQ(r->m_sourceColumns.size(), 1u);
}

TEST_F(CSqlImporterTest, NameTwiceInTheScriptMapsToOneTableWithTheSecondColumns)
{
    ASSERT_TRUE(Import("CREATE TABLE t (a INT, b INT); CREATE TABLE t (b TEXT, c INT);"));
    ASSERT_EQ(doc.m_tables.size(), 1u);
    EXPECT_EQ(ColumnNames(doc.m_tables[0].get()), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(doc.m_tables[0]->m_def.m_columns[0]->m_strType, "TEXT");
}

TEST_F(CSqlImporterTest, LayoutStacksSquareRootPlusOneTablesPerColumn)
{
    auto script = [](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += "CREATE TABLE t" + std::to_string(i) + " (a INT);\n";
        return s;
    };
    // Columns of 3 and 1 for four tables; 4, 4 and 1 for nine.
    struct Case {
        int tables;
        std::vector<int> perColumn;
    };
    for (const Case& c : {Case{4, {3, 1}}, Case{9, {4, 4, 1}}, Case{1, {1}}}) {
        doc.m_tables.clear();
        doc.m_relations.clear();
        ASSERT_TRUE(Import(script(c.tables)));
        std::vector<int> columns;
        int32_t lastX = INT32_MIN;
        for (const auto& t : doc.m_tables) {
            if (t->m_x != lastX) {
                columns.push_back(0);
                lastX = t->m_x;
                EXPECT_EQ(t->m_y, -360) << "each column starts a quarter inch from the top";
            }
            ++columns.back();
        }
        EXPECT_EQ(columns, c.perColumn) << c.tables << " tables";
        const KorvoTableView* first = doc.m_tables[0].get();
        EXPECT_EQ(first->m_x, 360);
        if (c.tables > 1) {
            EXPECT_EQ(doc.m_tables[1]->m_y, -360 - first->m_cy - 720);
        }
    }
}

TEST_F(CSqlImporterTest, LayoutWrapsAtTheCanvasBottomAndRightEdges)
{
    // Tables of one size; a canvas two tables high and two columns wide.
    std::string s;
    for (int i = 10; i < 26; ++i)
        s += "CREATE TABLE t" + std::to_string(i) + " (a INT);\n";
    ASSERT_TRUE(Import(s, CRect{0, 0, 3000, -3500}));
    const int32_t h = doc.m_tables[0]->m_cy;
    const int32_t w = doc.m_tables[0]->m_cx;
    ASSERT_EQ(h, 660);
    ASSERT_TRUE(360 + w + 720 + w + 720 <= 3000 && 360 + 2 * (w + 720) + w + 720 > 3000)
        << "the test expects two columns to fit and a third not to";

    const CPoint expected[] = {{360, -360}, {360, -360 - h - 720}, {360 + w + 720, -360},
                               {360 + w + 720, -360 - h - 720}, {360, -360}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(doc.m_tables[i]->m_x, expected[i].x) << "table " << i;
        EXPECT_EQ(doc.m_tables[i]->m_y, expected[i].y) << "table " << i;
    }
}

TEST_F(CSqlImporterTest, FailedImportLeavesTheDiagramAloneAndReportsTheLine)
{
    AddTable(doc, "keep", 0, 0, {"a"});
    EXPECT_FALSE(Import("CREATE TABLE t (a INT,\n b INT\n c INT);"));
    EXPECT_EQ(m_error.rfind("3: parse error at c", 0), 0u) << m_error;
    EXPECT_EQ(m_error.back(), '\n');
    EXPECT_EQ(doc.m_tables.size(), 1u);
    EXPECT_FALSE(doc.IsModified());
}

// A Korvo-language script in UTF-8: comments, string literals in defaults
// and checks carry any character; the merge keeps the diagram's own
// descriptions. The same script saved as Latin-1 reads as the same text.
TEST_F(CSqlImporterTest, TextOfAUtf8OrLatin1ScriptArrivesAsUtf8)
{
    KorvoTableView* kept = AddTable(doc, "orders", 0, 0, {"id"});
    kept->m_def.m_strDescription = "\xE6\xB3\xA8\xE6\x96\x87 \xF0\x9F\x8E\x89"; // 注文 🎉
    kept->m_def.m_columns[0]->m_strDescription = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";
    ASSERT_TRUE(Import("-- \xE9\xA1\xA7\xE5\xAE\xA2: Kunden, Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89\n"
                       "CREATE TABLE orders (id INT, -- caf\xC3\xA9_\xCE\xA9\n"
                       " note VARCHAR(20) DEFAULT 'Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89'"
                       " CHECK (note <> 'e\xCC\x81'), CHECK (id <> '\xD7\xA9'));"))
        << m_error;
    ASSERT_EQ(doc.m_tables.size(), 1u);
    const KorvoTableView* t = doc.m_tables[0].get();
    EXPECT_EQ(t->m_def.m_strDescription, "\xE6\xB3\xA8\xE6\x96\x87 \xF0\x9F\x8E\x89");
    EXPECT_EQ(t->m_def.m_strCheck, "id <> '\xD7\xA9'");
    ASSERT_EQ(t->m_def.m_columns.size(), 2u);
    EXPECT_EQ(t->m_def.m_columns[0]->m_strDescription, "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D");
    EXPECT_EQ(t->m_def.m_columns[1]->m_strDefault, "'Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x8E\x89'");
    EXPECT_EQ(t->m_def.m_columns[1]->m_strCheck, "note <> 'e\xCC\x81'");

    ASSERT_TRUE(Import("CREATE TABLE latin (c CHAR(4) DEFAULT 'caf\xE9' CHECK (c <> '\xA3'));")) << m_error;
    const KorvoTableView* latin = doc.m_tables[1].get();
    EXPECT_EQ(latin->m_def.m_columns[0]->m_strDefault, "'caf\xC3\xA9'");
    EXPECT_EQ(latin->m_def.m_columns[0]->m_strCheck, "c <> '\xC2\xA3'");
}

// Bytes that are no UTF-8 at all, in every place a script can hold them,
// import without harm and leave only well-formed text in the diagram.
TEST_F(CSqlImporterTest, InvalidUtf8NeverLeavesBrokenText)
{
    ASSERT_TRUE(Import("CREATE TABLE t (a INT DEFAULT '\xC3\x28\xFF\xED\xA0\x80' CHECK (a <> '\xF0\x9F'),"
                       " b\xFE INT);"))
        << m_error;
    ASSERT_EQ(doc.m_tables.size(), 1u);
    for (const auto& column : doc.m_tables[0]->m_def.m_columns) {
        EXPECT_TRUE(TextEncoding::IsUtf8(column->m_strName));
        EXPECT_TRUE(TextEncoding::IsUtf8(column->m_strDefault));
        EXPECT_TRUE(TextEncoding::IsUtf8(column->m_strCheck));
    }
    EXPECT_EQ(doc.m_tables[0]->m_def.m_columns[0]->m_strDefault, "'\xC3\x83(\xC3\xBF\xC3\xAD\xC2\xA0\xC2\x80'");
}

#include "CKorvoDoc.h"
#include "TestDiagrams.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<CRelation*> Relations(const CKorvoDoc& doc)
{
    std::vector<CRelation*> list;
    for (const auto& r : doc.m_relations)
        list.push_back(r.get());
    return list;
}

std::vector<KorvoTableView*> Tables(const CKorvoDoc& doc)
{
    std::vector<KorvoTableView*> list;
    for (const auto& t : doc.m_tables)
        list.push_back(t.get());
    return list;
}

TEST(CKorvoDoc, NewDocumentDefaults)
{
    CKorvoDoc doc;
    EXPECT_EQ(doc.m_nMaxPagesX, 5);
    EXPECT_EQ(doc.m_nMaxPagesY, 5);
    EXPECT_EQ(doc.m_logFont.FaceName(), "Arial");
    EXPECT_EQ(doc.m_logFont.lfHeight, 240);
    EXPECT_EQ(doc.m_logFont.lfWeight, 0);
    EXPECT_EQ(doc.m_logFont.lfPitchAndFamily, 32);
    EXPECT_TRUE(doc.m_tables.empty());
    EXPECT_TRUE(doc.m_relations.empty());
    EXPECT_FALSE(doc.IsModified());
}

TEST(CKorvoDoc, GetTableOutsideTheListIsNull)
{
    CKorvoDoc doc;
    EXPECT_EQ(doc.GetTable(0), nullptr);
    EXPECT_EQ(doc.GetTable(-1), nullptr);
    KorvoTableView* a = AddTestTable(doc, "a", {});
    KorvoTableView* b = AddTestTable(doc, "b", {});
    EXPECT_EQ(doc.GetTable(0), a);
    EXPECT_EQ(doc.GetTable(1), b);
    EXPECT_EQ(doc.GetTable(2), nullptr);
    EXPECT_EQ(doc.GetTable(-1), nullptr);
    EXPECT_EQ(doc.GetTableIndex(b), 1);
    KorvoTableView stranger;
    EXPECT_EQ(doc.GetTableIndex(&stranger), -1);
    EXPECT_EQ(doc.GetTableIndex(nullptr), -1);
}

TEST(CKorvoDoc, FindTableMatchesWholeNamesExactlyAndFirstWins)
{
    CKorvoDoc doc;
    KorvoTableView* first = AddTestTable(doc, "Orders", {});
    KorvoTableView* second = AddTestTable(doc, "Orders", {});
    KorvoTableView* other = AddTestTable(doc, "Order", {});
    EXPECT_EQ(doc.FindTable("Orders"), first);
    EXPECT_NE(doc.FindTable("Orders"), second);
    EXPECT_EQ(doc.FindTable("Order"), other);
    for (const char* miss : {"orders", "ORDERS", "Ord", "OrdersX", "", "Orders "})
        EXPECT_EQ(doc.FindTable(miss), nullptr) << miss;
}

TEST(CKorvoDoc, ColumnAndListLookups)
{
    CKorvoDoc doc;
    KorvoTableView* t = AddTestTable(doc, "t", {"a", "b"});
    CColumn* b = t->m_def.m_columns[1].get();
    EXPECT_EQ(CKorvoDoc::GetColumn(t, 1), b);
    EXPECT_EQ(CKorvoDoc::GetColumn(t, 2), nullptr);
    EXPECT_EQ(CKorvoDoc::GetColumn(t, -1), nullptr);
    EXPECT_EQ(CKorvoDoc::GetColumn(nullptr, 0), nullptr);
    EXPECT_EQ(CKorvoDoc::GetColumnIndex(t, b), 1);
    CColumn stranger;
    EXPECT_EQ(CKorvoDoc::GetColumnIndex(t, &stranger), -1);
    EXPECT_EQ(CKorvoDoc::GetColumnIndex(nullptr, b), -1);

    const std::vector<CColumn*> list = t->GetColumns();
    EXPECT_EQ(CKorvoDoc::IndexOf(list, b), 1);
    EXPECT_EQ(CKorvoDoc::IndexOf(list, static_cast<const CColumn*>(&stranger)), -1);
    EXPECT_EQ(CKorvoDoc::ElementAt(list, 0), list[0]);
    EXPECT_EQ(CKorvoDoc::ElementAt(list, 2), nullptr);
    EXPECT_EQ(CKorvoDoc::ElementAt(list, -1), nullptr);
}

TEST(CKorvoDoc, RemoveColumnRelationsRemovesEveryRelationListingTheColumn)
{
    CKorvoDoc doc;
    KorvoTableView* t = AddTestTable(doc, "t", {"id", "x", "y"});
    KorvoTableView* u = AddTestTable(doc, "u", {"id", "x", "y"});
    CRelation* keep1 = Relate(doc, t, {0}, u, {0});
    Relate(doc, t, {1}, u, {0});                    // on the source side
    Relate(doc, t, {0, 1}, u, {1, 2});              // as second source column, next to the one above
    CRelation* keep2 = Relate(doc, u, {1}, t, {0}); // u's column 1, not t's
    Relate(doc, u, {2}, t, {1});                    // on the destination side
    CRelation* keep3 = Relate(doc, t, {2}, t, {0});

    doc.RemoveColumnRelations(t, 1);
    EXPECT_EQ(Relations(doc), (std::vector<CRelation*>{keep1, keep2, keep3}));
    EXPECT_TRUE(doc.IsModified());
    // The columns themselves stay; deleting them is the caller's job.
    EXPECT_EQ(t->m_def.m_columns.size(), 3u);
}

TEST(CKorvoDoc, RemoveColumnRelationsOnAnUnlistedColumnChangesNothing)
{
    CKorvoDoc doc;
    KorvoTableView* t = AddTestTable(doc, "t", {"id", "x"});
    KorvoTableView* u = AddTestTable(doc, "u", {"id", "x"});
    Relate(doc, t, {0}, u, {1});
    Relate(doc, u, {1}, t, {0});
    doc.RemoveColumnRelations(t, 1);
    doc.RemoveColumnRelations(t, 7);
    EXPECT_EQ(doc.m_relations.size(), 2u);
    EXPECT_FALSE(doc.IsModified());
}

TEST(CKorvoDoc, SelfRelationGoesWithAColumnOfEitherSide)
{
    for (int column : {0, 1}) {
        CKorvoDoc doc;
        KorvoTableView* t = AddTestTable(doc, "t", {"id", "parent"});
        Relate(doc, t, {1}, t, {0});
        doc.RemoveColumnRelations(t, column);
        EXPECT_TRUE(doc.m_relations.empty()) << column;
    }
}

TEST(CKorvoDoc, RemoveTableTakesItsRelationsAndKeepsTheOrderOfTheRest)
{
    CKorvoDoc doc;
    KorvoTableView* a = AddTestTable(doc, "a", {"id"});
    KorvoTableView* b = AddTestTable(doc, "b", {"id"});
    KorvoTableView* c = AddTestTable(doc, "c", {"id"});
    KorvoTableView* d = AddTestTable(doc, "d", {"id"});
    CRelation* r1 = Relate(doc, a, {0}, c, {0});
    Relate(doc, b, {0}, a, {0}); // b is the source
    CRelation* r3 = Relate(doc, c, {0}, d, {0});
    Relate(doc, d, {0}, b, {0}); // b is the destination
    CRelation* r5 = Relate(doc, d, {0}, a, {0});

    doc.RemoveTable(b);
    EXPECT_EQ(Tables(doc), (std::vector<KorvoTableView*>{a, c, d}));
    EXPECT_EQ(Relations(doc), (std::vector<CRelation*>{r1, r3, r5}));
    EXPECT_TRUE(doc.IsModified());
    for (const auto& r : doc.m_relations) {
        EXPECT_NE(r->m_pSource, b);
        EXPECT_NE(r->m_pDest, b);
    }
}

TEST(CKorvoDoc, RemoveTableThatIsTheDestinationOfSeveral)
{
    CKorvoDoc doc;
    KorvoTableView* hub = AddTestTable(doc, "hub", {"id"});
    KorvoTableView* a = AddTestTable(doc, "a", {"id"});
    KorvoTableView* b = AddTestTable(doc, "b", {"id"});
    Relate(doc, a, {0}, hub, {0});
    Relate(doc, b, {0}, hub, {0});
    Relate(doc, a, {0}, hub, {0});
    CRelation* other = Relate(doc, a, {0}, b, {0});
    doc.RemoveTable(0);
    EXPECT_EQ(Relations(doc), (std::vector<CRelation*>{other}));
    EXPECT_EQ(Tables(doc), (std::vector<KorvoTableView*>{a, b}));
}

TEST(CKorvoDoc, RemoveTableRelationsKeepsTheTable)
{
    CKorvoDoc doc;
    KorvoTableView* a = AddTestTable(doc, "a", {"id"});
    KorvoTableView* b = AddTestTable(doc, "b", {"id"});
    Relate(doc, a, {0}, b, {0});
    Relate(doc, b, {0}, b, {0});
    doc.RemoveTableRelations(b);
    EXPECT_TRUE(doc.m_relations.empty());
    EXPECT_EQ(Tables(doc), (std::vector<KorvoTableView*>{a, b}));
    EXPECT_TRUE(doc.IsModified());
}

TEST(CKorvoDoc, RemoveRelationByPointerOrPosition)
{
    CKorvoDoc doc;
    KorvoTableView* a = AddTestTable(doc, "a", {"id"});
    KorvoTableView* b = AddTestTable(doc, "b", {"id"});
    CRelation* r1 = Relate(doc, a, {0}, b, {0});
    CRelation* r2 = Relate(doc, b, {0}, a, {0});
    CRelation* r3 = Relate(doc, a, {0}, a, {0});

    doc.RemoveRelation(r2);
    EXPECT_EQ(Relations(doc), (std::vector<CRelation*>{r1, r3}));
    EXPECT_TRUE(doc.IsModified());
    doc.RemoveRelation(0);
    EXPECT_EQ(Relations(doc), (std::vector<CRelation*>{r3}));
    EXPECT_EQ(Tables(doc), (std::vector<KorvoTableView*>{a, b}));
}

TEST(CKorvoDoc, RemovingWhatIsNotThereLeavesTheDocumentUnmodified)
{
    CKorvoDoc doc;
    KorvoTableView* a = AddTestTable(doc, "a", {"id"});
    Relate(doc, a, {0}, a, {0});
    KorvoTableView stranger;
    CRelation strangerRelation(a, nullptr, a, nullptr);
    doc.RemoveTable(&stranger);
    doc.RemoveTable(5);
    doc.RemoveTable(-1);
    doc.RemoveRelation(&strangerRelation);
    doc.RemoveRelation(1);
    doc.RemoveTableRelations(&stranger);
    EXPECT_EQ(doc.m_tables.size(), 1u);
    EXPECT_EQ(doc.m_relations.size(), 1u);
    EXPECT_FALSE(doc.IsModified());
}

} // namespace

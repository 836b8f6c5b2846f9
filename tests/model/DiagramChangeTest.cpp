// Recorded diagram changes taken back and made again: after undo the diagram
// saves to the bytes it saved before the change, after redo to the bytes it
// saved after it, and no relation is left pointing outside the diagram.
#include "CDiagramChange.h"
#include "CDiagramSnapshot.h"
#include "FakeSurface.h"
#include "TableShift.h"
#include "TestDiagrams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

// Five tables linked in a chain and one relation with two column pairs.
void BuildStart(CKorvoDoc& doc)
{
    KorvoTableView* a = AddTestTable(doc, "a", {"id", "name", "b_id"}, 0, 0);
    KorvoTableView* b = AddTestTable(doc, "b", {"id", "c_id"}, 3000, 0);
    KorvoTableView* c = AddTestTable(doc, "c", {"id", "x", "y"}, 6000, 0);
    KorvoTableView* d = AddTestTable(doc, "d", {"id"}, 0, -3000);
    AddTestTable(doc, "e", {"id", "d_id"}, 3000, -3000);
    Relate(doc, a, {2}, b, {0});
    Relate(doc, b, {1}, c, {0});
    Relate(doc, c, {1, 2}, a, {0, 1});
    Relate(doc, doc.m_tables[4].get(), {1}, d, {0});
    for (auto& table : doc.m_tables) {
        table->m_cx = 1000 + 10 * table->m_x / 300;
        table->m_cy = 700;
    }
}

// Every relation points at tables of the diagram and at columns of those.
void ExpectConsistent(const CKorvoDoc& doc)
{
    for (const auto& relation : doc.m_relations) {
        ASSERT_GE(doc.GetTableIndex(relation->m_pSource), 0);
        ASSERT_GE(doc.GetTableIndex(relation->m_pDest), 0);
        ASSERT_FALSE(relation->m_sourceColumns.empty());
        ASSERT_FALSE(relation->m_destColumns.empty());
        for (const CColumn* column : relation->m_sourceColumns)
            EXPECT_GE(relation->m_pSource->IndexOfColumn(column), 0);
        for (const CColumn* column : relation->m_destColumns)
            EXPECT_GE(relation->m_pDest->IndexOfColumn(column), 0);
    }
}

KorvoTableView* T(CKorvoDoc& doc, int index)
{
    return doc.m_tables[static_cast<size_t>(index)].get();
}

struct ChangeCase {
    const char* name;
    // Positions of the tables the change may alter or remove; all when empty.
    std::vector<int> scope;
    bool allTables;
    std::function<void(CKorvoDoc&)> change;
};

// Test names and failures show the case by its name.
void PrintTo(const ChangeCase& c, std::ostream* out)
{
    *out << c.name;
}

const ChangeCase kCases[] = {
    {"add a table at the end", {}, false,
     [](CKorvoDoc& doc) { AddTestTable(doc, "f", {"id"}, 9000, 0); }},
    {"draw a relation", {}, false, [](CKorvoDoc& doc) { Relate(doc, T(doc, 3), {0}, T(doc, 0), {0}); }},
    {"remove the first table and its relations", {0}, false, [](CKorvoDoc& doc) { doc.RemoveTable(0); }},
    {"remove a selection", {1, 3}, false,
     [](CKorvoDoc& doc) {
         T(doc, 1)->m_bSelected = T(doc, 3)->m_bSelected = true;
         doc.m_relations[3]->m_bSelected = true;
         doc.RemoveSelection();
     }},
    {"rename a table that relations point into", {2}, false,
     [](CKorvoDoc& doc) { T(doc, 2)->m_def.m_strName = "renamed"; }},
    {"swap two columns that a relation lists", {2}, false,
     [](CKorvoDoc& doc) { std::swap(T(doc, 2)->m_def.m_columns[1], T(doc, 2)->m_def.m_columns[2]); }},
    {"delete a listed column and add one", {0}, false,
     [](CKorvoDoc& doc) {
         doc.RemoveColumnRelations(T(doc, 0), 1);
         auto& columns = T(doc, 0)->m_def.m_columns;
         columns.erase(columns.begin() + 1);
         T(doc, 0)->m_def.AddColumn(std::make_unique<CColumn>("z", "text", true, "", false, true, "", ""));
     }},
    {"relink a relation's columns", {}, false,
     [](CKorvoDoc& doc) {
         doc.m_relations[2]->m_sourceColumns = {Col(T(doc, 2), 0)};
         doc.m_relations[2]->m_destColumns = {Col(T(doc, 0), 2), Col(T(doc, 0), 0)};
     }},
    {"move a table from the front to the back", {}, true,
     [](CKorvoDoc& doc) { std::rotate(doc.m_tables.begin(), doc.m_tables.begin() + 1, doc.m_tables.end()); }},
    {"reverse the relations", {}, false,
     [](CKorvoDoc& doc) { std::reverse(doc.m_relations.begin(), doc.m_relations.end()); }},
    {"replace a table by a new one", {1}, false,
     [](CKorvoDoc& doc) {
         doc.RemoveTable(1);
         KorvoTableView* added = AddTestTable(doc, "b", {"id", "c_id", "w"}, 3000, 0);
         Relate(doc, added, {1}, T(doc, 1), {0});
     }},
    {"font and page counts", {}, false,
     [](CKorvoDoc& doc) {
         doc.m_logFont.lfHeight = 300;
         doc.m_logFont.SetFaceName("Courier New");
         doc.m_nMaxPagesX = 7;
         doc.m_nMaxPagesY = 2;
     }},
    {"an import: relations out, columns changed, tables and relations in", {}, true,
     [](CKorvoDoc& doc) {
         KorvoTableView* b = T(doc, 1);
         doc.RemoveTableRelations(b);
         b->m_def.m_columns.erase(b->m_def.m_columns.begin());
         b->m_def.m_columns[0]->m_strType = "bigint";
         b->m_def.AddColumn(std::make_unique<CColumn>("id", "int", true, "", true, false, "", ""));
         KorvoTableView* g = AddTestTable(doc, "g", {"id", "b_id"}, 360, -360);
         Relate(doc, g, {1}, b, {1});
         Relate(doc, b, {0}, T(doc, 2), {0});
         doc.m_nMaxPagesX = 6;
     }},
};

class DiagramChangeCases : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(DiagramChangeCases, UndoAndRedoGiveBackTheBytesOfEachSide)
{
    const ChangeCase& c = GetParam();
    CKorvoDoc doc;
    BuildStart(doc);
    const std::string before = doc.SaveToBytes();
    const CDiagramSnapshot snapshot = c.allTables ? CDiagramSnapshot(doc) : CDiagramSnapshot(doc, c.scope);
    c.change(doc);
    const std::string after = doc.SaveToBytes();
    ASSERT_NE(before, after) << "the case changes nothing";

    const CDiagramChange change = CDiagramChange::Record(snapshot, doc);
    ASSERT_FALSE(change.Empty());
    for (int round = 0; round < 2; ++round) {
        change.Undo(doc);
        EXPECT_EQ(doc.SaveToBytes(), before) << c.name << ", undo " << round;
        ExpectConsistent(doc);
        change.Redo(doc);
        EXPECT_EQ(doc.SaveToBytes(), after) << c.name << ", redo " << round;
        ExpectConsistent(doc);
    }
}

INSTANTIATE_TEST_SUITE_P(Changes, DiagramChangeCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ChangeCase>& info) {
                             std::string name = info.param.name;
                             std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(ch); }, '_');
                             return name;
                         });

TEST(DiagramChange, NothingChangedRecordsNothing)
{
    CKorvoDoc doc;
    BuildStart(doc);
    const CDiagramSnapshot snapshot(doc);
    // Selection is no part of the diagram's content.
    T(doc, 0)->m_bSelected = true;
    doc.m_relations[0]->m_bSelected = true;
    EXPECT_TRUE(CDiagramChange::Record(snapshot, doc).Empty());
}

TEST(DiagramChange, KeepsOnlyWhatChanged)
{
    CKorvoDoc doc;
    for (int i = 0; i < 2000; ++i)
        AddTestTable(doc, "table_" + std::to_string(i), {"id", "name", "parent_id", "created"}, i * 10, 0);
    for (int i = 1; i < 2000; ++i)
        Relate(doc, T(doc, i), {2}, T(doc, i - 1), {0});
    const size_t diagram = doc.SaveToBytes().size();

    const CDiagramSnapshot whole(doc);
    T(doc, 1000)->m_def.m_strName = "renamed";
    doc.RemoveTable(1500);
    const CDiagramChange change = CDiagramChange::Record(whole, doc);
    EXPECT_EQ(change.TablesAltered(), 1u);
    EXPECT_EQ(change.TablesRemoved(), 1u);
    EXPECT_EQ(change.RelationsRemoved(), 2u);
    EXPECT_EQ(change.RelationsAltered(), 0u) << "relations of shifted tables are not changes";
    EXPECT_LT(change.MemoryBytes(), diagram / 50);
}

TEST(DiagramChange, RestoredTablesComeBackSelectedAsTheyWent)
{
    CKorvoDoc doc;
    BuildStart(doc);
    T(doc, 1)->m_bSelected = true;
    doc.m_relations[1]->m_bSelected = true;
    const CDiagramSnapshot snapshot(doc, {1});
    doc.RemoveSelection();
    const CDiagramChange change = CDiagramChange::Record(snapshot, doc);
    change.Undo(doc);
    EXPECT_TRUE(T(doc, 1)->m_bSelected);
    EXPECT_TRUE(doc.m_relations[1]->m_bSelected);
    EXPECT_FALSE(doc.m_relations[0]->m_bSelected);
}

TEST(DiagramChange, MeasuresWhatItAddedOrAlteredWithTheSurface)
{
    CKorvoDoc doc;
    BuildStart(doc);
    const CDiagramSnapshot snapshot(doc, {3});
    T(doc, 3)->m_def.m_strName = "longer name";
    AddTestTable(doc, "new", {"a", "b"});
    FakeSurface surface(240);
    const CDiagramChange change = CDiagramChange::Record(snapshot, doc, &surface);
    EXPECT_EQ(T(doc, 3)->m_cx, 1100 + 180);
    EXPECT_EQ(T(doc, 5)->m_cx, 300 + 180);
    EXPECT_EQ(T(doc, 5)->m_cy, 3 * 240 + 180);
    EXPECT_EQ(T(doc, 0)->m_cx, 1000) << "untouched tables keep their size";
    const std::string after = doc.SaveToBytes();
    change.Undo(doc);
    change.Redo(doc);
    EXPECT_EQ(doc.SaveToBytes(), after);
}

// Steps refer to positions: an older step still applies after a newer one
// has been undone and has rebuilt the tables it removed as new objects.
TEST(DiagramChange, AHistoryOfStepsWalksBackAndForthExactly)
{
    CKorvoDoc doc;
    BuildStart(doc);
    std::vector<std::string> states{doc.SaveToBytes()};
    std::vector<CDiagramChange> history;
    auto step = [&](std::vector<int> scope, const std::function<void()>& change) {
        const CDiagramSnapshot snapshot(doc, scope);
        change();
        history.push_back(CDiagramChange::Record(snapshot, doc));
        states.push_back(doc.SaveToBytes());
    };
    step({2}, [&] { T(doc, 2)->m_def.m_columns[0]->m_strName = "key"; });
    step({2}, [&] { doc.RemoveTable(2); });
    step({}, [&] { Relate(doc, T(doc, 0), {0}, T(doc, 2), {0}); });
    step({0, 1}, [&] {
        T(doc, 0)->m_bSelected = T(doc, 1)->m_bSelected = true;
        doc.RemoveSelection();
    });
    step({0}, [&] { T(doc, 0)->m_def.m_strCheck = "id > 0"; });

    for (int round = 0; round < 2; ++round) {
        for (size_t i = history.size(); i-- > 0;) {
            history[i].Undo(doc);
            ASSERT_EQ(doc.SaveToBytes(), states[i]) << "undo of step " << i;
            ExpectConsistent(doc);
        }
        for (size_t i = 0; i < history.size(); ++i) {
            history[i].Redo(doc);
            ASSERT_EQ(doc.SaveToBytes(), states[i + 1]) << "redo of step " << i;
            ExpectConsistent(doc);
        }
    }
}

// Random changes of every kind, each undone and redone.
TEST(DiagramChange, RandomChangesRoundTrip)
{
    std::mt19937 random(13);
    CKorvoDoc doc;
    BuildStart(doc);
    auto pick = [&](size_t n) { return static_cast<int>(random() % n); };
    for (int round = 0; round < 300; ++round) {
        const std::string before = doc.SaveToBytes();
        const CDiagramSnapshot snapshot(doc);
        const int changes = 1 + pick(4);
        for (int k = 0; k < changes; ++k) {
            switch (pick(6)) {
            case 0:
                AddTestTable(doc, "t" + std::to_string(round), {"id", "v"}, pick(9000), -pick(9000));
                break;
            case 1:
                if (doc.m_tables.size() > 2)
                    doc.RemoveTable(pick(doc.m_tables.size()));
                break;
            case 2: {
                KorvoTableView* s = T(doc, pick(doc.m_tables.size()));
                KorvoTableView* d = T(doc, pick(doc.m_tables.size()));
                if (!s->m_def.m_columns.empty() && !d->m_def.m_columns.empty())
                    Relate(doc, s, {pick(s->m_def.m_columns.size())}, d, {pick(d->m_def.m_columns.size())});
                break;
            }
            case 3: {
                KorvoTableView* t = T(doc, pick(doc.m_tables.size()));
                auto& columns = t->m_def.m_columns;
                if (columns.size() > 1)
                    std::swap(columns[0], columns[static_cast<size_t>(pick(columns.size()))]);
                t->m_x += 15;
                break;
            }
            case 4:
                if (!doc.m_relations.empty())
                    doc.RemoveRelation(pick(doc.m_relations.size()));
                break;
            case 5: {
                KorvoTableView* t = T(doc, pick(doc.m_tables.size()));
                if (t->m_def.m_columns.size() > 1) {
                    const int column = pick(t->m_def.m_columns.size());
                    doc.RemoveColumnRelations(t, column);
                    t->m_def.m_columns.erase(t->m_def.m_columns.begin() + column);
                }
                break;
            }
            }
        }
        const std::string after = doc.SaveToBytes();
        const CDiagramChange change = CDiagramChange::Record(snapshot, doc);
        EXPECT_EQ(change.Empty(), before == after) << "round " << round;
        change.Undo(doc);
        ASSERT_EQ(doc.SaveToBytes(), before) << "round " << round;
        ExpectConsistent(doc);
        change.Redo(doc);
        ASSERT_EQ(doc.SaveToBytes(), after) << "round " << round;
        ExpectConsistent(doc);
    }
}

TEST(DiagramChange, RemovingTheSelectionEqualsRemovingOneByOne)
{
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        CKorvoDoc batch;
        CKorvoDoc single;
        for (CKorvoDoc* doc : {&batch, &single}) {
            BuildStart(*doc);
            Relate(*doc, T(*doc, 3), {0}, T(*doc, 3), {0});
        }
        for (size_t i = 0; i < batch.m_tables.size(); ++i)
            T(batch, int(i))->m_bSelected = T(single, int(i))->m_bSelected = random() % 3 == 0;
        for (size_t i = 0; i < batch.m_relations.size(); ++i)
            batch.m_relations[i]->m_bSelected = single.m_relations[i]->m_bSelected = random() % 3 == 0;

        batch.RemoveSelection();
        for (size_t i = 0; i < single.m_relations.size();) {
            if (single.m_relations[i]->m_bSelected)
                single.RemoveRelation(int(i));
            else
                ++i;
        }
        for (size_t i = 0; i < single.m_tables.size();) {
            if (single.m_tables[i]->m_bSelected)
                single.RemoveTable(int(i));
            else
                ++i;
        }
        EXPECT_EQ(batch.SaveToBytes(), single.SaveToBytes()) << "seed " << seed;
        EXPECT_EQ(batch.IsModified(), single.IsModified()) << "seed " << seed;
    }
}

// --- moves ------------------------------------------------------------------

std::vector<CPoint> Positions(const CKorvoDoc& doc)
{
    std::vector<CPoint> positions;
    for (const auto& table : doc.m_tables)
        positions.push_back(CPoint{table->m_x, table->m_y});
    return positions;
}

TEST(TableShift, RunsOfSelectedTablesAndTheWayBack)
{
    const struct {
        const char* selected; // one letter per table: x selected
        std::vector<TableShift::Run> runs;
    } cases[] = {
        {"-----", {}},
        {"xxxxx", {{0, 4}}},
        {"x-xx-", {{0, 0}, {2, 3}}},
        {"----x", {{4, 4}}},
    };
    for (const auto& c : cases) {
        CKorvoDoc doc;
        BuildStart(doc);
        for (size_t i = 0; i < doc.m_tables.size(); ++i)
            T(doc, int(i))->m_bSelected = c.selected[i] == 'x';
        const std::vector<CPoint> before = Positions(doc);
        const TableShift shift = MoveSelectedTables(doc, 45, -15);
        EXPECT_EQ(shift.runs, c.runs) << c.selected;
        for (size_t i = 0; i < doc.m_tables.size(); ++i) {
            const bool moved = c.selected[i] == 'x';
            EXPECT_EQ(T(doc, int(i))->m_x, before[i].x + (moved ? 45 : 0)) << c.selected;
            EXPECT_EQ(T(doc, int(i))->m_y, before[i].y - (moved ? 15 : 0)) << c.selected;
        }
        const std::vector<CPoint> after = Positions(doc);
        RevertShift(doc, shift);
        EXPECT_EQ(Positions(doc), before) << c.selected;
        ApplyShift(doc, shift);
        EXPECT_EQ(Positions(doc), after) << c.selected;
    }
}

TEST(TableShift, AMoveStoppedAtTheEndOfTheRangeGoesBackToWhereItWas)
{
    CKorvoDoc doc;
    KorvoTableView* far = AddTestTable(doc, "far", {}, INT32_MAX - 10, INT32_MIN + 5);
    KorvoTableView* near = AddTestTable(doc, "near", {}, 0, 0);
    far->m_bSelected = near->m_bSelected = true;
    const TableShift shift = MoveSelectedTables(doc, 100, -100);
    EXPECT_EQ(far->m_x, INT32_MAX);
    EXPECT_EQ(far->m_y, INT32_MIN);
    ASSERT_EQ(shift.stopped.size(), 1u);
    RevertShift(doc, shift);
    EXPECT_EQ(far->m_x, INT32_MAX - 10);
    EXPECT_EQ(far->m_y, INT32_MIN + 5);
    EXPECT_EQ(near->m_x, 0);
    EXPECT_EQ(near->m_y, 0);
    ApplyShift(doc, shift);
    EXPECT_EQ(far->m_x, INT32_MAX);
    EXPECT_EQ(near->m_x, 100);
}

TEST(TableShift, OnlyMovesOfTheSameTablesWithinTheRangeMerge)
{
    CKorvoDoc doc;
    BuildStart(doc);
    T(doc, 1)->m_bSelected = true;
    TableShift first = MoveSelectedTables(doc, 15, 0);
    const TableShift second = MoveSelectedTables(doc, 0, 15);
    ASSERT_TRUE(MergeShift(first, second));
    EXPECT_EQ(first.dx, 15);
    EXPECT_EQ(first.dy, 15);
    RevertShift(doc, first);
    EXPECT_EQ(T(doc, 1)->m_x, 3000);
    EXPECT_EQ(T(doc, 1)->m_y, 0);

    T(doc, 2)->m_bSelected = true;
    const TableShift other = MoveSelectedTables(doc, 15, 0);
    EXPECT_FALSE(MergeShift(first, other)) << "another selection";

    T(doc, 1)->m_x = INT32_MAX - 1;
    T(doc, 2)->m_bSelected = false;
    const TableShift stopped = MoveSelectedTables(doc, 15, 0);
    TableShift copy = first;
    EXPECT_FALSE(MergeShift(copy, stopped)) << "a move that stopped at the range's end";
}

} // namespace

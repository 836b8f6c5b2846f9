// The diagram window driven by synthesized mouse and key events; the model
// is checked afterwards.
#include "CAppState.h"
#include "CDiagramOptionsDialog.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoView.h"
#include "CRelationPropertiesDialog.h"
#include "CTablePropertiesDialog.h"
#include "DiagramBuilder.h"
#include "TestSeam.h"
#include "ViewCommandIds.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>

#include <climits>

#include <gtest/gtest.h>

namespace {

class CKorvoViewTest : public ::testing::Test {
protected:
    CKorvoViewTest() : host(std::make_unique<CKorvoDoc>()), view(&host)
    {
        CAppState::Get() = CAppState();
        view.setFrameShape(QFrame::NoFrame);
        view.resize(800, 600);
        view.show();
        view.OnInitialUpdate();
        QApplication::processEvents();
    }

    CKorvoDoc& doc() { return *host.GetDocument(); }

    void Mouse(QEvent::Type type, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons buttons =
            type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(Qt::LeftButton);
        QMouseEvent event(type, pos, view.viewport()->mapToGlobal(pos), button, buttons, mods);
        QApplication::sendEvent(view.viewport(), &event);
    }
    void Click(QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        Mouse(QEvent::MouseButtonPress, pos, mods);
        Mouse(QEvent::MouseButtonRelease, pos, mods);
    }
    void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        Mouse(QEvent::MouseButtonPress, from, mods);
        Mouse(QEvent::MouseMove, (from + to) / 2, mods);
        Mouse(QEvent::MouseMove, to, mods);
        Mouse(QEvent::MouseButtonRelease, to, mods);
    }
    void Key(int key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }
    // Device point of a column row's centre, a few pixels inside the table.
    QPoint RowPoint(KorvoTableView* table, int column)
    {
        CKorvoDC dc(nullptr, 96, false);
        view.OnPrepareDC(dc);
        const CPoint origin = view.GetLogScrollPosition();
        const int32_t y = table->GetColumnRowY(dc, table->m_def.m_columns[column].get());
        const CPoint p = dc.LPtoDP(CPoint{table->m_x + 200, y} - origin);
        return QPoint(p.x, p.y);
    }
    // Measures every table as painting would.
    void Measure()
    {
        CKorvoDC dc(nullptr, 96, false);
        view.OnPrepareDC(dc);
        for (auto& t : doc().m_tables)
            t->Measure(dc);
    }
    int Selected()
    {
        int n = 0;
        for (auto& t : doc().m_tables)
            n += t->m_bSelected;
        return n;
    }

    TestSeam seam;
    CDocumentHost host;
    CKorvoView view;
};

} // namespace

TEST_F(CKorvoViewTest, TableToolPlacesTable1AtTheClickSelectsItAndReturnsToPointer)
{
    CAppState::Get().m_nCurrentTool = ToolTable;
    Click(QPoint(100, 50));
    ASSERT_EQ(doc().m_tables.size(), 1u);
    KorvoTableView* first = doc().m_tables[0].get();
    EXPECT_EQ(first->m_def.m_strName, "table1");
    EXPECT_EQ(first->m_x, 1500);
    EXPECT_EQ(first->m_y, -750);
    EXPECT_TRUE(first->m_bSelected);
    EXPECT_EQ(CAppState::Get().m_nCurrentTool, int(ToolPointer));
    EXPECT_TRUE(doc().IsModified());
    EXPECT_TRUE(host.IsModified());

    CAppState::Get().m_nCurrentTool = ToolTable;
    Click(QPoint(300, 50));
    ASSERT_EQ(doc().m_tables.size(), 2u);
    EXPECT_EQ(doc().m_tables[1]->m_def.m_strName, "table1");
    EXPECT_FALSE(first->m_bSelected);
    EXPECT_TRUE(doc().m_tables[1]->m_bSelected);
}

TEST_F(CKorvoViewTest, TableToolPlacesTablesAfterScrolling)
{
    view.ScrollToDevicePosition(CPoint{20, 30});
    CAppState::Get().m_nCurrentTool = ToolTable;
    Click(QPoint(100, 50));
    EXPECT_EQ(doc().m_tables[0]->m_x, 1800);
    EXPECT_EQ(doc().m_tables[0]->m_y, -1200);
}

TEST_F(CKorvoViewTest, ClickSelectionWithAndWithoutShift)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    KorvoTableView* b = AddTable(doc(), "b", 6000, -1500, {"x"});
    Measure();
    const QPoint inA(105, 105), inB(405, 105), empty(50, 400);

    Click(inA);
    EXPECT_TRUE(a->m_bSelected);
    EXPECT_FALSE(b->m_bSelected);
    Click(inB, Qt::ShiftModifier);
    EXPECT_TRUE(a->m_bSelected && b->m_bSelected);
    Click(inA, Qt::ShiftModifier);
    EXPECT_FALSE(a->m_bSelected) << "Shift-click deselects";
    EXPECT_TRUE(b->m_bSelected) << "and keeps the others";
    Click(empty, Qt::ShiftModifier);
    EXPECT_TRUE(b->m_bSelected) << "Shift on empty canvas changes nothing";
    Click(empty);
    EXPECT_EQ(Selected(), 0) << "a plain click on empty canvas clears";
    EXPECT_FALSE(doc().IsModified()) << "selection does not modify";
    Click(QPoint(100, 105));
    EXPECT_FALSE(a->m_bSelected) << "a click on the frame misses";
}

TEST_F(CKorvoViewTest, RubberBandSelectsTablesStrictlyInsideAndRoutesInclusively)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    KorvoTableView* b = AddTable(doc(), "b", 6000, -1500, {"x"});
    CRelation* r = Relate(doc(), a, 0, b, 0);
    Measure();
    const int aRight = (a->m_x + a->m_cx) / 15, aBottom = (a->m_cy - a->m_y) / 15;

    Drag(QPoint(99, 99), QPoint(aRight + 1, aBottom + 1));
    EXPECT_TRUE(a->m_bSelected);
    EXPECT_FALSE(b->m_bSelected);

    Drag(QPoint(100, 100), QPoint(aRight, aBottom));
    EXPECT_FALSE(a->m_bSelected) << "a band on the frame leaves the table unselected";
    Drag(QPoint(90, 90), QPoint(aRight - 5, aBottom + 5));
    EXPECT_FALSE(a->m_bSelected) << "partly covered";

    // The route ends at both tables' edges: a band from the source's right
    // edge to the destination's left edge holds it, borders included.
    CKorvoDC dc(nullptr, 96, false);
    view.OnPrepareDC(dc);
    const std::vector<CPoint> route = view.GetRelationRoute(dc, *r);
    const CPoint p0 = dc.LPtoDP(route.front()), p3 = dc.LPtoDP(route.back());
    Drag(QPoint(p0.x, p0.y - 2), QPoint(p3.x, p3.y + 2));
    EXPECT_TRUE(r->m_bSelected);
    EXPECT_FALSE(a->m_bSelected || b->m_bSelected);
    Drag(QPoint(p0.x + 1, p0.y - 2), QPoint(p3.x, p3.y + 2));
    EXPECT_FALSE(r->m_bSelected);
}

TEST_F(CKorvoViewTest, RubberBandTouchingAnyOneFrameEdgeLeavesTheTableUnselected)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    Measure();
    const int left = 100, top = 100, right = (a->m_x + a->m_cx) / 15, bottom = (a->m_cy - a->m_y) / 15;
    struct Case {
        QPoint from, to;
        bool selected;
        const char* what;
    };
    const Case cases[] = {
        {{left - 1, top - 1}, {right + 1, bottom + 1}, true, "a pixel clear all round"},
        {{left, top - 1}, {right + 1, bottom + 1}, false, "on the left edge"},
        {{left - 1, top}, {right + 1, bottom + 1}, false, "on the top edge"},
        {{left - 1, top - 1}, {right, bottom + 1}, false, "on the right edge"},
        {{left - 1, top - 1}, {right + 1, bottom}, false, "on the bottom edge"},
        {{right + 1, bottom + 1}, {left - 1, top - 1}, true, "drawn from the other corner"},
    };
    for (const Case& c : cases) {
        Drag(c.from, c.to);
        EXPECT_EQ(a->m_bSelected, c.selected) << c.what;
    }
}

TEST_F(CKorvoViewTest, DeleteOrCutWhileTheButtonIsHeldEndsTheDragOnTheRemovedTable)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    KorvoTableView* b = AddTable(doc(), "b", 6000, -1500, {"id"});
    KorvoTableView* c = AddTable(doc(), "c", 1500, -6000, {"y"});
    Measure();
    const int32_t bx = b->m_x;

    // Pointer drag of a selected table that Delete removes mid-drag: the
    // release over another table neither moves it nor touches the freed one.
    a->m_bSelected = true;
    c->m_bSelected = true;
    Mouse(QEvent::MouseButtonPress, QPoint(105, 105));
    Mouse(QEvent::MouseMove, QPoint(200, 105));
    ASSERT_EQ(view.m_pDragTable, a);
    view.OnEditDelete(); // Del, with the button still down
    EXPECT_EQ(view.m_pDragTable, nullptr);
    EXPECT_FALSE(view.m_bDragging);
    view.viewport()->repaint(); // no outline of the removed table is drawn
    Mouse(QEvent::MouseMove, QPoint(410, 110));
    Mouse(QEvent::MouseButtonRelease, QPoint(410, 110));
    ASSERT_EQ(doc().m_tables.size(), 1u);
    EXPECT_EQ(doc().m_tables[0].get(), b);
    EXPECT_EQ(b->m_x, bx) << "nothing moves";
    EXPECT_FALSE(b->m_bSelected);

    // Relation drag from a column of a table that Cut (Shift+Del) takes away:
    // no relation to the freed column, and the tool still returns.
    KorvoTableView* d = AddTable(doc(), "d", 1500, -1500, {"x"});
    Measure();
    d->m_bSelected = true;
    CAppState::Get().m_nCurrentTool = ToolRelation;
    Mouse(QEvent::MouseButtonPress, RowPoint(d, 0));
    ASSERT_EQ(view.m_pDragColumn, d->m_def.m_columns[0].get());
    view.OnEditCut();
    EXPECT_EQ(view.m_pDragColumn, nullptr);
    Mouse(QEvent::MouseMove, RowPoint(b, 0));
    view.OnTimer();
    Mouse(QEvent::MouseButtonRelease, RowPoint(b, 0));
    EXPECT_TRUE(doc().m_relations.empty());
    EXPECT_EQ(CAppState::Get().m_nCurrentTool, int(ToolPointer));

    // Deleting some other table leaves the drag alone: it still moves.
    KorvoTableView* e = AddTable(doc(), "e", 1500, -1500, {"x"});
    KorvoTableView* f = AddTable(doc(), "f", 1500, -6000, {"x"});
    Measure();
    f->m_bSelected = true;
    Mouse(QEvent::MouseButtonPress, QPoint(105, 105));
    view.OnEditDelete();
    EXPECT_EQ(view.m_pDragTable, e);
    Mouse(QEvent::MouseMove, QPoint(115, 105));
    Mouse(QEvent::MouseButtonRelease, QPoint(115, 105));
    EXPECT_EQ(e->m_x, 1500 + 150);
    EXPECT_EQ(doc().m_tables.size(), 2u);
}

TEST_F(CKorvoViewTest, MovesStopAtTheEndOfTheCoordinateRange)
{
    KorvoTableView* far = AddTable(doc(), "far", INT_MAX - 5, INT_MIN + 5);
    far->m_bSelected = true;
    Key(Qt::Key_Right);
    Key(Qt::Key_Down);
    EXPECT_EQ(far->m_x, INT_MAX);
    EXPECT_EQ(far->m_y, INT_MIN);
    Key(Qt::Key_Left);
    EXPECT_EQ(far->m_x, INT_MAX - 15);

    // A table at the origin dragged with the far one selected beside it.
    KorvoTableView* near = AddTable(doc(), "near", 1500, -1500, {"x"});
    Measure();
    near->m_bSelected = true;
    Drag(QPoint(105, 105), QPoint(205, 305));
    EXPECT_EQ(near->m_x, 1500 + 1500);
    EXPECT_EQ(far->m_x, INT_MAX);
    EXPECT_EQ(far->m_y, INT_MIN);
}

TEST_F(CKorvoViewTest, DraggingMovesByTheRoundedOffset)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    KorvoTableView* b = AddTable(doc(), "b", 6000, -1500, {"x"});
    KorvoTableView* c = AddTable(doc(), "c", 1500, -6000, {"x"});
    CRelation* r = Relate(doc(), a, 0, b, 0);
    Measure();
    b->m_bSelected = true;
    c->m_bSelected = true;
    r->m_bSelected = true;

    // An unselected table moves alone and becomes the only selection.
    Drag(QPoint(105, 105), QPoint(112, 95));
    EXPECT_EQ(a->m_x, 1500 + 105);
    EXPECT_EQ(a->m_y, -1500 + 150);
    EXPECT_EQ(b->m_x, 6000);
    EXPECT_TRUE(a->m_bSelected && !b->m_bSelected && !c->m_bSelected);
    EXPECT_FALSE(r->m_bSelected);
    EXPECT_TRUE(doc().IsModified());

    // A selected table drags the whole selection along.
    b->m_bSelected = true;
    Drag(QPoint(405, 105), QPoint(395, 125));
    EXPECT_EQ(a->m_x, 1500 + 105 - 150);
    EXPECT_EQ(b->m_x, 6000 - 150);
    EXPECT_EQ(b->m_y, -1500 - 300);
    EXPECT_EQ(c->m_x, 1500);
}

TEST_F(CKorvoViewTest, ArrowKeysMoveSelectedTablesOnePixelAndAlwaysModify)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500);
    KorvoTableView* b = AddTable(doc(), "b", 6000, -1500);
    KorvoTableView* c = AddTable(doc(), "c", 9000, -1500);
    Key(Qt::Key_Up);
    EXPECT_TRUE(doc().IsModified()) << "even with nothing selected";
    a->m_bSelected = b->m_bSelected = true;
    Key(Qt::Key_Up);
    EXPECT_EQ(a->m_y, -1485);
    EXPECT_EQ(b->m_y, -1485);
    EXPECT_EQ(c->m_y, -1500);
    Key(Qt::Key_Left);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_EQ(a->m_x, 1485);
    EXPECT_EQ(a->m_y, -1515);
}

TEST_F(CKorvoViewTest, RelationDragLinksColumnRowsOfTwoTables)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x", "y"});
    KorvoTableView* b = AddTable(doc(), "b", 6000, -1500, {"id"});
    Measure();

    CAppState::Get().m_nCurrentTool = ToolRelation;
    Drag(RowPoint(a, 1), RowPoint(a, 0));
    EXPECT_TRUE(doc().m_relations.empty()) << "not onto the source table itself";
    EXPECT_EQ(CAppState::Get().m_nCurrentTool, int(ToolPointer));

    CAppState::Get().m_nCurrentTool = ToolRelation;
    Drag(QPoint(110, 104), RowPoint(b, 0));
    EXPECT_TRUE(doc().m_relations.empty()) << "a start on the name line makes nothing";
    EXPECT_EQ(CAppState::Get().m_nCurrentTool, int(ToolPointer));

    a->m_bSelected = true;
    CAppState::Get().m_nCurrentTool = ToolRelation;
    Drag(RowPoint(a, 1), RowPoint(b, 0));
    ASSERT_EQ(doc().m_relations.size(), 1u);
    const CRelation* r = doc().m_relations[0].get();
    EXPECT_EQ(r->m_pSource, a);
    EXPECT_EQ(r->m_sourceColumns, (std::vector<CColumn*>{a->m_def.m_columns[1].get()}));
    EXPECT_EQ(r->m_pDest, b);
    EXPECT_EQ(r->m_destColumns, (std::vector<CColumn*>{b->m_def.m_columns[0].get()}));
    EXPECT_TRUE(r->m_bSelected);
    EXPECT_FALSE(a->m_bSelected);
    EXPECT_TRUE(doc().IsModified());
    EXPECT_EQ(CAppState::Get().m_nCurrentTool, int(ToolPointer));
}

TEST_F(CKorvoViewTest, RelationDragPastTheLeftEdgeScrollsOneLineStepPerTick)
{
    KorvoTableView* a = AddTable(doc(), "a", 4500, -1500, {"x"});
    Measure();
    view.ScrollToDevicePosition(CPoint{80, 0});
    const int line = view.m_lineDev.cx;
    ASSERT_GT(line, 0);

    CAppState::Get().m_nCurrentTool = ToolRelation;
    const QPoint start = RowPoint(a, 0);
    Mouse(QEvent::MouseButtonPress, start);
    Mouse(QEvent::MouseMove, QPoint(-1, start.y()));
    view.OnTimer();
    EXPECT_EQ(view.GetDeviceScrollPosition().x, 80 - line);
    EXPECT_EQ(view.m_ptStart.x, start.x() + line) << "the rubber line stays anchored on the row";
    for (int i = 0; i < 10; ++i)
        view.OnTimer();
    EXPECT_EQ(view.GetDeviceScrollPosition().x, 0);
    Mouse(QEvent::MouseButtonRelease, QPoint(-1, start.y()));
    view.OnTimer();
    EXPECT_EQ(view.GetDeviceScrollPosition().x, 0);
    EXPECT_FALSE(doc().IsModified()) << "scrolling is no edit";
}

TEST_F(CKorvoViewTest, AutoScrollStartsOnlyPastTheRightAndBottomEdges)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    Measure();
    const int w = view.viewport()->width();
    const int h = view.viewport()->height();
    CAppState::Get().m_nCurrentTool = ToolRelation;
    const QPoint start = RowPoint(a, 0);
    Mouse(QEvent::MouseButtonPress, start);
    struct Case {
        QPoint last;
        CPoint scrolled;
    };
    // The client area's right edge is x = w (one past the last pixel column),
    // its bottom edge y = h; the pointer must be beyond them.
    const Case cases[] = {
        {{w - 1, 10}, {0, 0}},
        {{w, 10}, {0, 0}},
        {{w + 1, 10}, {view.m_lineDev.cx, 0}},
        {{10, h}, {0, 0}},
        {{10, h + 1}, {0, view.m_lineDev.cy}},
    };
    for (const Case& c : cases) {
        view.ScrollToDevicePosition(CPoint{0, 0});
        Mouse(QEvent::MouseMove, c.last);
        view.OnTimer();
        EXPECT_EQ(view.GetDeviceScrollPosition(), c.scrolled) << c.last.x() << "," << c.last.y();
    }
    Mouse(QEvent::MouseButtonRelease, QPoint(10, 10));
}

TEST_F(CKorvoViewTest, DeleteRemovesSelectedRelationsThenTablesWithTheirRelations)
{
    KorvoTableView* a = AddTable(doc(), "a", 0, 0, {"x"});
    KorvoTableView* b = AddTable(doc(), "b", 0, 0, {"x"});
    KorvoTableView* c = AddTable(doc(), "c", 0, 0, {"x"});
    Relate(doc(), a, 0, b, 0);
    CRelation* bc = Relate(doc(), b, 0, c, 0);
    CRelation* ca = Relate(doc(), c, 0, a, 0);
    EXPECT_FALSE(view.HasSelection());
    ca->m_bSelected = true;
    EXPECT_TRUE(view.HasSelection());
    a->m_bSelected = true;
    view.OnEditDelete();
    ASSERT_EQ(doc().m_tables.size(), 2u);
    ASSERT_EQ(doc().m_relations.size(), 1u);
    EXPECT_EQ(doc().m_relations[0].get(), bc);
    EXPECT_TRUE(doc().IsModified());
}

TEST_F(CKorvoViewTest, DoubleClickRunsTablePropertiesAndKeepsTheRename)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    Measure();
    seam.onDialog = [](QDialog& dialog) {
        auto* tp = dynamic_cast<CTablePropertiesDialog*>(&dialog);
        if (!tp)
            return int(QDialog::Rejected);
        tp->m_strName = QStringLiteral("renamed");
        tp->m_strCheck = QStringLiteral("x > 0");
        return int(QDialog::Accepted);
    };
    Click(QPoint(105, 105));
    Mouse(QEvent::MouseButtonDblClick, QPoint(105, 105));
    Mouse(QEvent::MouseButtonRelease, QPoint(105, 105));
    EXPECT_EQ(seam.dialogRuns, 1);
    EXPECT_EQ(a->m_def.m_strName, "renamed");
    EXPECT_EQ(a->m_def.m_strCheck, "x > 0");
    EXPECT_TRUE(doc().IsModified()) << "a rename must not be lost on close";
}

TEST_F(CKorvoViewTest, PropertiesThatChangeNothingLeaveTheDocumentUnmodified)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    KorvoTableView* b = AddTable(doc(), "b", 6000, -1500, {"x"});
    CRelation* r = Relate(doc(), a, 0, b, 0);
    Measure();
    seam.onDialog = [](QDialog&) { return int(QDialog::Rejected); };
    Click(QPoint(105, 105));
    Mouse(QEvent::MouseButtonDblClick, QPoint(105, 105));
    EXPECT_EQ(a->m_def.m_strName, "a");
    view.m_nContextRelation = 0;
    view.OnRelationProperties();
    EXPECT_EQ(seam.dialogRuns, 2);
    EXPECT_EQ(view.m_nContextRelation, -1);
    EXPECT_FALSE(doc().IsModified());

    // A relation whose key changed in the dialog marks the document.
    seam.onDialog = [&](QDialog& dialog) {
        if (dynamic_cast<CRelationPropertiesDialog*>(&dialog))
            r->m_sourceColumns.push_back(a->m_def.m_columns[0].get());
        return int(QDialog::Accepted);
    };
    view.m_nContextRelation = 0;
    view.OnRelationProperties();
    EXPECT_TRUE(doc().IsModified());
}

TEST_F(CKorvoViewTest, TablePropertiesClosedUnchangedKeepLongTextsWhole)
{
    // Texts longer than a line edit's default limit of 32767 characters.
    KorvoTableView* a = AddTable(doc(), std::string(40000, 'n'), 1500, -1500, {"x"});
    a->m_def.m_strCheck = std::string(50000, 'c');
    a->m_def.m_strDescription = std::string(70000, 'd');
    Measure();
    seam.onDialog = [](QDialog& dialog) {
        dialog.show();
        dialog.accept(); // "Close" without an edit
        return dialog.result();
    };
    view.m_nContextTable = 0;
    view.OnTableProperties();
    EXPECT_EQ(seam.dialogRuns, 1);
    EXPECT_EQ(a->m_def.m_strName.size(), 40000u);
    EXPECT_EQ(a->m_def.m_strCheck.size(), 50000u);
    EXPECT_EQ(a->m_def.m_strDescription.size(), 70000u);
    EXPECT_FALSE(doc().IsModified()) << "nothing was edited";
}

TEST_F(CKorvoViewTest, TableContextMenuDeleteTakesItsRelationsAlong)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    KorvoTableView* b = AddTable(doc(), "b", 6000, -1500, {"x"});
    Relate(doc(), a, 0, b, 0);
    Measure();
    seam.menuChoice = QString::number(ID_TABLE_DELETE);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(105, 105), view.viewport()->mapToGlobal(QPoint(105, 105)));
    QApplication::sendEvent(view.viewport(), &event);
    EXPECT_EQ(seam.menuTitles, QStringList{QStringLiteral("Table")});
    ASSERT_EQ(doc().m_tables.size(), 1u);
    EXPECT_EQ(doc().m_tables[0].get(), b);
    EXPECT_TRUE(doc().m_relations.empty());
    EXPECT_EQ(view.m_nContextTable, -1);

    QContextMenuEvent empty(QContextMenuEvent::Mouse, QPoint(30, 500), view.viewport()->mapToGlobal(QPoint(30, 500)));
    QApplication::sendEvent(view.viewport(), &empty);
    EXPECT_EQ(seam.menuTitles.size(), 1) << "no menu over empty canvas";
}

TEST_F(CKorvoViewTest, OptionsResizeTheCanvasAndMarkAChange)
{
    seam.onDialog = [](QDialog& dialog) {
        auto* options = dynamic_cast<CDiagramOptionsDialog*>(&dialog);
        EXPECT_NE(options, nullptr);
        EXPECT_EQ(options->m_nPagesAcross, 5u);
        options->m_nPagesAcross = 25;
        options->m_nPagesDown = 25;
        return int(QDialog::Accepted);
    };
    view.OnDiagramOptions();
    EXPECT_EQ(doc().m_nMaxPagesX, 25);
    EXPECT_EQ((view.m_rectCanvas), (CRect{0, 0, 10800 * 25, -15120 * 25}));
    EXPECT_EQ((view.m_totalLog), (CSize{270000, 378000}));
    EXPECT_TRUE(doc().IsModified());
}

TEST_F(CKorvoViewTest, FontDialogOpensAtTwelvePointsAndStoresTwentiethsOfAPoint)
{
    seam.onFont = [](QFont& font) {
        font.setPointSize(10);
        return true;
    };
    view.OnDiagramFont();
    EXPECT_EQ(seam.fontOffered.pointSize(), 12);
    EXPECT_EQ(doc().m_logFont.lfHeight, 200);
    EXPECT_EQ(view.m_pFont, nullptr) << "the drawing font is rebuilt at the next paint";
    EXPECT_TRUE(doc().IsModified());

    CKorvoDoc fresh;
    doc().SetModifiedFlag(false);
    seam.onFont = [](QFont&) { return false; };
    view.OnDiagramFont();
    EXPECT_EQ(doc().m_logFont.lfHeight, 200);
    EXPECT_FALSE(doc().IsModified());
}

TEST_F(CKorvoViewTest, EditsInOneWindowRepaintEveryWindowOfTheDocument)
{
    CKorvoView second(&host);
    second.resize(300, 300);
    second.show();
    second.OnInitialUpdate();
    QSignalSpy changed(&host, &CDocumentHost::DocumentChanged);
    CAppState::Get().m_nCurrentTool = ToolTable;
    Click(QPoint(10, 10));
    EXPECT_GE(changed.count(), 1);

    // New page counts and a new font reach the other window too.
    CKorvoDC dc(nullptr, 96, false);
    second.OnPrepareDC(dc);
    ASSERT_NE(second.m_pFont, nullptr);
    seam.onDialog = [](QDialog& dialog) {
        auto* options = dynamic_cast<CDiagramOptionsDialog*>(&dialog);
        options->m_nPagesAcross = 2;
        return int(QDialog::Accepted);
    };
    view.OnDiagramOptions();
    EXPECT_EQ(second.m_rectCanvas.right, 10800 * 2);
    seam.onFont = [](QFont& font) {
        font.setPointSize(20);
        return true;
    };
    view.OnDiagramFont();
    EXPECT_EQ(second.m_pFont, nullptr) << "the other window builds its font again";
}

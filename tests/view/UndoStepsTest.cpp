// Every kind of step the diagram window makes, done, undone and redone: the
// diagram saved after undo is byte for byte the one saved before the step,
// after redo the one saved after it, and nothing is left pointing into what
// undo or redo rebuilt.
#include "CAppState.h"
#include "CColumnPropertiesDialog.h"
#include "CDiagramOptionsDialog.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoView.h"
#include "CListBox.h"
#include "CRelationPropertiesDialog.h"
#include "CTableMovesCommand.h"
#include "CTablePropertiesDialog.h"
#include "TableMoves.h"
#include "DiagramBuilder.h"
#include "TestSeam.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUndoStack>

#include <fstream>
#include <functional>
#include <ostream>

#include <gtest/gtest.h>

namespace {

// A diagram window on a diagram of four tables, a to d, at device points
// (100, 100), (400, 100), (100, 400) and (400, 400), with the relations
// a.b_id -> b.id, b.c_id -> c.id and c.x -> a.id.
class DiagramWindow {
public:
    DiagramWindow() : host(std::make_unique<CKorvoDoc>()), view(&host)
    {
        CAppState::Get() = CAppState();
        KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"id", "name", "b_id"}, 1);
        KorvoTableView* b = AddTable(doc(), "b", 6000, -1500, {"id", "c_id"}, 1);
        KorvoTableView* c = AddTable(doc(), "c", 1500, -6000, {"id", "x"}, 1);
        AddTable(doc(), "d", 6000, -6000, {"id"}, 1);
        Relate(doc(), a, 2, b, 0);
        Relate(doc(), b, 1, c, 0);
        Relate(doc(), c, 1, a, 0);
        view.setFrameShape(QFrame::NoFrame);
        view.resize(800, 600);
        view.show();
        view.OnInitialUpdate();
        QApplication::processEvents();
        Paint();
        // No paste here is aimed with the mouse unless a test says so.
        QCursor::setPos(view.viewport()->mapToGlobal(QPoint(-500, -500)));
    }

    CKorvoDoc& doc() { return *host.GetDocument(); }
    QUndoStack& history() { return *host.UndoStack(); }
    KorvoTableView* table(int index) { return doc().GetTable(index); }
    std::string Bytes() { return doc().SaveToBytes(); }
    // Paints the window as the screen would: every table measured again.
    void Paint() { view.viewport()->grab(); }

    void Mouse(QEvent::Type type, QPoint pos)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons buttons =
            type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(Qt::LeftButton);
        QMouseEvent event(type, pos, view.viewport()->mapToGlobal(pos), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &event);
    }
    void Click(QPoint pos)
    {
        Mouse(QEvent::MouseButtonPress, pos);
        Mouse(QEvent::MouseButtonRelease, pos);
    }
    void Drag(QPoint from, QPoint to)
    {
        Mouse(QEvent::MouseButtonPress, from);
        Mouse(QEvent::MouseMove, to);
        Mouse(QEvent::MouseButtonRelease, to);
    }
    void Key(int key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }
    // Device point of a column row's centre, a few pixels inside the table.
    QPoint RowPoint(KorvoTableView* t, int column)
    {
        CKorvoDC dc(nullptr, 96, false);
        view.OnPrepareDC(dc);
        const int32_t y = t->GetColumnRowY(dc, t->m_def.m_columns[size_t(column)].get());
        const CPoint p = dc.LPtoDP(CPoint{t->m_x + 200, y} - view.GetLogScrollPosition());
        return QPoint(p.x, p.y);
    }
    void Select(std::initializer_list<int> tables)
    {
        for (int i : tables)
            if (KorvoTableView* t = table(i))
                t->m_bSelected = true;
    }

    // No drag holds a pointer and every relation points into the diagram.
    void ExpectSound()
    {
        EXPECT_FALSE(view.m_bDragging);
        EXPECT_EQ(view.m_pDragTable, nullptr);
        EXPECT_EQ(view.m_pDragColumn, nullptr);
        for (const auto& relation : doc().m_relations) {
            ASSERT_GE(doc().GetTableIndex(relation->m_pSource), 0);
            ASSERT_GE(doc().GetTableIndex(relation->m_pDest), 0);
            for (const CColumn* column : relation->m_sourceColumns)
                EXPECT_GE(relation->m_pSource->IndexOfColumn(column), 0);
            for (const CColumn* column : relation->m_destColumns)
                EXPECT_GE(relation->m_pDest->IndexOfColumn(column), 0);
        }
    }

    TestSeam seam;
    CDocumentHost host;
    CKorvoView view;
};

template <class T>
T* Control(QDialog& dialog, int id)
{
    T* control = dialog.findChild<T*>(QString::number(id));
    EXPECT_NE(control, nullptr) << id;
    return control;
}

// Works the Table Properties dialog on table a (id, name, b_id) and the
// Column Properties dialog that Add Column opens: rename, delete the
// referenced column b_id, move name above id, add "added".
void WorkTableProperties(QDialog& dialog)
{
    if (auto* column = dynamic_cast<CColumnPropertiesDialog*>(&dialog)) {
        Control<QLineEdit>(dialog, CColumnPropertiesDialog::IDC_NAME)->setText(QStringLiteral("added"));
        Control<QLineEdit>(dialog, CColumnPropertiesDialog::IDC_TYPE)->setText(QStringLiteral("date"));
        column->accept();
        return;
    }
    auto* list = Control<CListBox>(dialog, CTablePropertiesDialog::IDC_COLUMN_LIST);
    auto click = [&](int id) { Control<QPushButton>(dialog, id)->click(); };
    Control<QLineEdit>(dialog, CTablePropertiesDialog::IDC_TABLE_NAME)->setText(QStringLiteral("accounts"));
    list->SetCurSel(2);
    click(CTablePropertiesDialog::IDC_DELETE_COLUMN);
    list->SetCurSel(1);
    click(CTablePropertiesDialog::IDC_UP);
    click(CTablePropertiesDialog::IDC_ADD_COLUMN);
    click(CTablePropertiesDialog::kIdOk);
}

struct StepCase {
    const char* name;
    const char* text; // the step as the Undo item names it
    std::function<void(DiagramWindow&)> act;
};

// Test names and failures show the case by its name.
void PrintTo(const StepCase& c, std::ostream* out)
{
    *out << c.name;
}

const StepCase kSteps[] = {
    {"PlaceTable", "Place Table",
     [](DiagramWindow& w) {
         CAppState::Get().m_nCurrentTool = ToolTable;
         w.Click(QPoint(650, 250));
     }},
    {"DrawRelation", "Draw Relation",
     [](DiagramWindow& w) {
         CAppState::Get().m_nCurrentTool = ToolRelation;
         w.Drag(w.RowPoint(w.table(3), 0), w.RowPoint(w.table(0), 1));
     }},
    {"DragMove", "Move", [](DiagramWindow& w) { w.Drag(QPoint(105, 105), QPoint(160, 131)); }},
    {"ArrowKeys", "Move",
     [](DiagramWindow& w) {
         w.Select({0, 2});
         for (int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Right, Qt::Key_Up, Qt::Key_Up})
             w.Key(key);
     }},
    {"Delete", "Delete",
     [](DiagramWindow& w) {
         w.Select({1});
         w.doc().m_relations[2]->m_bSelected = true;
         w.view.OnEditDelete();
     }},
    {"TablePopUpDelete", "Delete",
     [](DiagramWindow& w) {
         w.view.m_nContextTable = 0;
         w.view.OnTableDelete();
     }},
    {"RelationPopUpDelete", "Delete",
     [](DiagramWindow& w) {
         w.view.m_nContextRelation = 1;
         w.view.OnRelationDelete();
     }},
    {"Cut", "Cut",
     [](DiagramWindow& w) {
         w.Select({0, 3});
         w.view.OnEditCut();
     }},
    {"PasteBeside", "Paste",
     [](DiagramWindow& w) {
         w.Select({0, 1});
         w.view.OnEditCopy();
         w.view.OnEditPaste();
     }},
    {"PasteAtTheMouse", "Paste",
     [](DiagramWindow& w) {
         w.Select({1, 2});
         w.view.OnEditCopy();
         QCursor::setPos(w.view.viewport()->mapToGlobal(QPoint(600, 500)));
         w.view.OnEditPaste();
     }},
    {"ImportSql", "Import SQL",
     [](DiagramWindow& w) {
         static QTemporaryDir dir;
         const QString path = dir.filePath(QStringLiteral("import.sql"));
         std::ofstream(path.toStdString(), std::ios::binary)
             << "CREATE TABLE b (id INT NOT NULL, extra CHAR(10), PRIMARY KEY (id));\n"
                "CREATE TABLE e (id INT, b_id INT REFERENCES b (id), CHECK (id > 0));\n";
         w.seam.openFileName = path;
         w.view.OnImportSQL();
     }},
    {"TableProperties", "Table Properties",
     [](DiagramWindow& w) {
         w.seam.workDialog = WorkTableProperties;
         w.view.m_nContextTable = 0;
         w.view.OnTableProperties();
     }},
    {"ColumnProperties", "Column Properties",
     [](DiagramWindow& w) {
         w.seam.workDialog = [](QDialog& dialog) {
             Control<QLineEdit>(dialog, CColumnPropertiesDialog::IDC_NAME)->setText(QStringLiteral("key"));
             Control<QLineEdit>(dialog, CColumnPropertiesDialog::IDC_DEFAULT)->setText(QStringLiteral("0"));
             Control<QCheckBox>(dialog, CColumnPropertiesDialog::IDC_UNIQUE)->setChecked(true);
             dialog.accept();
         };
         w.view.ShowColumnProperties(w.table(2), 0);
     }},
    {"RelationProperties", "Relation Properties",
     [](DiagramWindow& w) {
         w.seam.workDialog = [](QDialog& dialog) {
             Control<QComboBox>(dialog, CRelationPropertiesDialog::IDC_SOURCE_COLUMNS)->setCurrentIndex(0);
             Control<QPushButton>(dialog, CRelationPropertiesDialog::IDC_ADD_SOURCE)->click();
             Control<QComboBox>(dialog, CRelationPropertiesDialog::IDC_DEST_COLUMNS)->setCurrentIndex(1);
             Control<QPushButton>(dialog, CRelationPropertiesDialog::IDC_ADD_DEST)->click();
             dialog.accept();
         };
         w.view.m_nContextRelation = 2;
         w.view.OnRelationProperties();
     }},
    {"DiagramOptions", "Diagram Options",
     [](DiagramWindow& w) {
         w.seam.onDialog = [](QDialog& dialog) {
             auto* options = dynamic_cast<CDiagramOptionsDialog*>(&dialog);
             options->m_nPagesAcross = 7;
             options->m_nPagesDown = 3;
             return int(QDialog::Accepted);
         };
         w.view.OnDiagramOptions();
     }},
    // An arrangement as its command will record it: the moves made, then
    // pushed as one step; here every table goes one row down and the canvas
    // grows.
    {"ArrangeTables", "Arrange Tables",
     [](DiagramWindow& w) {
         DiagramMoves moves;
         for (int i = 0; i < int(w.doc().m_tables.size()); ++i) {
             const CPoint from{w.table(i)->m_x, w.table(i)->m_y};
             moves.moves.push_back({i, from, CPoint{from.x + 720 * i, from.y - 9000}});
         }
         moves.pagesXBefore = w.doc().m_nMaxPagesX;
         moves.pagesYBefore = w.doc().m_nMaxPagesY;
         moves.pagesXAfter = moves.pagesXBefore + 1;
         moves.pagesYAfter = moves.pagesYBefore + 3;
         ApplyMoves(w.doc(), moves);
         w.host.PushStep(new CTableMovesCommand(&w.host, QStringLiteral("Arrange Tables"), moves));
     }},
    {"DiagramFont", "Diagram Font",
     [](DiagramWindow& w) {
         w.seam.onFont = [](QFont& font) {
             font.setPointSize(18);
             font.setBold(true);
             return true;
         };
         w.view.OnDiagramFont();
     }},
};

class UndoSteps : public ::testing::TestWithParam<StepCase> {};

TEST_P(UndoSteps, SavesTheBytesOfEachSide)
{
    const StepCase& step = GetParam();
    DiagramWindow w;
    w.Paint();
    const std::string before = w.Bytes();
    EXPECT_FALSE(w.host.IsModified());

    step.act(w);
    ASSERT_EQ(w.history().count(), 1) << "one step";
    EXPECT_EQ(w.history().undoText(), QString::fromLatin1(step.text));
    EXPECT_TRUE(w.host.IsModified());
    w.Paint();
    const std::string after = w.Bytes();
    ASSERT_NE(before, after);

    for (int round = 0; round < 2; ++round) {
        // Saved at once, before any window has painted again.
        w.history().undo();
        EXPECT_EQ(w.Bytes(), before) << "undo, round " << round;
        w.ExpectSound();
        EXPECT_FALSE(w.host.IsModified()) << "back at the saved state";
        w.Paint();
        EXPECT_EQ(w.Bytes(), before) << "painted after undo, round " << round;

        w.history().redo();
        EXPECT_EQ(w.Bytes(), after) << "redo, round " << round;
        w.ExpectSound();
        EXPECT_TRUE(w.host.IsModified());
        w.Paint();
        EXPECT_EQ(w.Bytes(), after) << "painted after redo, round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, UndoSteps, ::testing::ValuesIn(kSteps),
                         [](const ::testing::TestParamInfo<StepCase>& info) { return info.param.name; });

// All the steps above one after another, then undone to the start and
// redone to the end, each state saved and compared.
TEST(UndoHistory, WalksEveryStepBackAndForth)
{
    DiagramWindow w;
    w.Paint();
    std::vector<std::string> states{w.Bytes()};
    for (const StepCase& step : kSteps) {
        // Each step starts from a plain state: pointer tool, no selection.
        CAppState::Get().m_nCurrentTool = ToolPointer;
        for (auto& table : w.doc().m_tables)
            table->m_bSelected = false;
        for (auto& relation : w.doc().m_relations)
            relation->m_bSelected = false;
        w.seam.workDialog = nullptr;
        w.seam.onDialog = nullptr;
        QCursor::setPos(w.view.viewport()->mapToGlobal(QPoint(-500, -500)));
        const int count = w.history().count();
        step.act(w);
        w.Paint();
        if (w.history().count() == count)
            continue; // the step's target is gone by now
        ASSERT_EQ(w.history().count(), count + 1) << step.name;
        states.push_back(w.Bytes());
    }
    ASSERT_GE(states.size(), 12u);
    for (size_t i = states.size() - 1; i-- > 0;) {
        w.history().undo();
        ASSERT_EQ(w.Bytes(), states[i]) << "undo to state " << i;
        w.ExpectSound();
    }
    EXPECT_FALSE(w.host.IsModified());
    for (size_t i = 1; i < states.size(); ++i) {
        w.history().redo();
        ASSERT_EQ(w.Bytes(), states[i]) << "redo to state " << i;
        w.ExpectSound();
    }
}

TEST(UndoHistory, ArrowKeyMovesMergeWhileTheSameTablesMove)
{
    DiagramWindow w;
    w.Select({0});
    w.Key(Qt::Key_Right);
    w.Key(Qt::Key_Right);
    w.Key(Qt::Key_Down);
    EXPECT_EQ(w.history().count(), 1);
    w.Select({1});
    w.Key(Qt::Key_Left);
    EXPECT_EQ(w.history().count(), 2) << "another selection, another step";
    // A drag between arrow keys is a step of its own.
    w.Drag(QPoint(105, 105), QPoint(125, 105));
    w.Key(Qt::Key_Up);
    EXPECT_EQ(w.history().count(), 4);

    w.history().undo();
    w.history().undo();
    w.history().undo();
    EXPECT_EQ(w.table(0)->m_x, 1500 + 2 * 15);
    EXPECT_EQ(w.table(0)->m_y, -1500 - 15);
    EXPECT_EQ(w.table(1)->m_x, 6000);
    w.history().undo();
    EXPECT_EQ(w.table(0)->m_x, 1500);
    EXPECT_EQ(w.table(0)->m_y, -1500);
}

TEST(UndoHistory, KeysThatLeadBackLeaveNoStep)
{
    DiagramWindow w;
    w.Select({0, 1});
    w.Key(Qt::Key_Right);
    w.Key(Qt::Key_Left);
    EXPECT_EQ(w.history().count(), 0);
    EXPECT_EQ(w.table(0)->m_x, 1500);
}

TEST(UndoHistory, AStepAfterSavingDoesNotMergeIntoTheSavedOne)
{
    DiagramWindow w;
    w.Select({0});
    w.Key(Qt::Key_Right);
    w.host.SetModifiedFlag(false); // saved
    w.Key(Qt::Key_Right);
    EXPECT_EQ(w.history().count(), 2);
    EXPECT_TRUE(w.host.IsModified());
    w.history().undo();
    EXPECT_FALSE(w.host.IsModified());
    EXPECT_EQ(w.table(0)->m_x, 1500 + 15);
    w.history().undo();
    EXPECT_TRUE(w.host.IsModified()) << "left the saved state by undo";
}

TEST(UndoHistory, EscCancelsADragAndNothingChanges)
{
    DiagramWindow w;
    w.Paint();
    const std::string before = w.Bytes();

    // A table drag: the tables stay where they are.
    w.Mouse(QEvent::MouseButtonPress, QPoint(105, 105));
    w.Mouse(QEvent::MouseMove, QPoint(200, 200));
    w.Key(Qt::Key_Escape);
    w.Mouse(QEvent::MouseButtonRelease, QPoint(200, 200));
    // A rubber band: the selection stays as it was.
    w.Select({3});
    w.Mouse(QEvent::MouseButtonPress, QPoint(20, 20));
    w.Mouse(QEvent::MouseMove, QPoint(700, 550));
    w.Key(Qt::Key_Escape);
    w.Mouse(QEvent::MouseButtonRelease, QPoint(700, 550));
    EXPECT_FALSE(w.table(0)->m_bSelected);
    EXPECT_TRUE(w.table(3)->m_bSelected);
    // A relation drag: no relation, and the tool is back to the pointer.
    CAppState::Get().m_nCurrentTool = ToolRelation;
    w.Mouse(QEvent::MouseButtonPress, w.RowPoint(w.table(3), 0));
    w.Mouse(QEvent::MouseMove, w.RowPoint(w.table(0), 0));
    w.Key(Qt::Key_Escape);
    EXPECT_EQ(CAppState::Get().m_nCurrentTool, int(ToolPointer));
    w.Mouse(QEvent::MouseButtonRelease, w.RowPoint(w.table(0), 0));

    EXPECT_EQ(w.Bytes(), before);
    EXPECT_EQ(w.history().count(), 0);
    EXPECT_FALSE(w.host.IsModified());
    w.ExpectSound();

    // Esc with no drag puts a chosen tool down.
    CAppState::Get().m_nCurrentTool = ToolTable;
    w.Key(Qt::Key_Escape);
    EXPECT_EQ(CAppState::Get().m_nCurrentTool, int(ToolPointer));
    w.Click(QPoint(650, 250));
    EXPECT_EQ(w.doc().m_tables.size(), 4u) << "no table placed";
}

// Undo in the middle of a drag rebuilds the table under the press as a new
// object: the drag ends rather than move what its pointer no longer names.
TEST(UndoHistory, UndoOrRedoDuringADragEndsIt)
{
    DiagramWindow w;
    w.Paint();
    w.view.m_nContextTable = 0;
    w.view.OnTableDelete();
    w.history().undo();
    const std::string restored = w.Bytes();

    w.Mouse(QEvent::MouseButtonPress, QPoint(105, 105));
    ASSERT_EQ(w.view.m_pDragTable, w.table(0));
    w.Mouse(QEvent::MouseMove, QPoint(200, 150));
    w.history().redo();
    w.ExpectSound();
    w.history().undo();
    w.Mouse(QEvent::MouseButtonRelease, QPoint(200, 150));
    EXPECT_EQ(w.Bytes(), restored) << "the release moved nothing";

    CAppState::Get().m_nCurrentTool = ToolRelation;
    w.Mouse(QEvent::MouseButtonPress, w.RowPoint(w.table(0), 0));
    ASSERT_NE(w.view.m_pDragColumn, nullptr);
    w.history().redo();
    EXPECT_EQ(w.view.m_pDragColumn, nullptr);
    w.Mouse(QEvent::MouseButtonRelease, w.RowPoint(w.table(1), 0));
    EXPECT_EQ(w.history().count(), 1) << "no relation drawn";
}

TEST(UndoHistory, EveryWindowOfTheDocumentFollowsUndoAndRedo)
{
    DiagramWindow w;
    CKorvoView second(&w.host);
    second.resize(400, 300);
    second.show();
    second.OnInitialUpdate();
    QSignalSpy repainted(&w.host, &CDocumentHost::DocumentChanged);

    w.seam.onDialog = [](QDialog& dialog) {
        dynamic_cast<CDiagramOptionsDialog&>(dialog).m_nPagesAcross = 2;
        return int(QDialog::Accepted);
    };
    w.view.OnDiagramOptions();
    EXPECT_EQ(second.m_rectCanvas.right, 10800 * 2);

    // The other window presses on a table; undo from the first ends its drag
    // and gives both their old canvas back.
    second.viewport()->grab();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(105, 105), second.viewport()->mapToGlobal(QPointF(105, 105)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(second.viewport(), &press);
    ASSERT_TRUE(second.m_bDragging);
    repainted.clear();
    w.history().undo();
    EXPECT_FALSE(second.m_bDragging);
    EXPECT_EQ(second.m_pDragTable, nullptr);
    EXPECT_EQ(second.m_rectCanvas.right, 10800 * 5);
    EXPECT_EQ(w.view.m_rectCanvas.right, 10800 * 5);
    EXPECT_GE(repainted.count(), 1);
}

TEST(UndoHistory, SelectAllTakesEveryTableAndRelation)
{
    DiagramWindow w;
    w.view.OnEditSelectAll();
    for (const auto& table : w.doc().m_tables)
        EXPECT_TRUE(table->m_bSelected);
    for (const auto& relation : w.doc().m_relations)
        EXPECT_TRUE(relation->m_bSelected);
    EXPECT_EQ(w.history().count(), 0) << "selecting changes nothing to undo";
    EXPECT_FALSE(w.host.IsModified());
}

TEST(UndoHistory, PropertiesThatChangeNothingMakeNoStep)
{
    DiagramWindow w;
    w.seam.workDialog = [](QDialog& dialog) { dialog.accept(); };
    w.view.m_nContextTable = 1;
    w.view.OnTableProperties();
    w.view.m_nContextRelation = 0;
    w.view.OnRelationProperties();
    w.view.ShowColumnProperties(w.table(0), 0);
    EXPECT_EQ(w.seam.dialogRuns, 3);
    EXPECT_EQ(w.history().count(), 0);
}

} // namespace

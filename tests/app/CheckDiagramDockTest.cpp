// The Check Diagram dock in the main window: every problem the diagram check
// finds, a double click that shows the problem's table, and a list that
// follows edits, undo, the active window and the dialect whose names it
// judges.
#include "CRecordingSeam.h"
#include "CAppState.h"
#include "CCheckDiagramDock.h"
#include "CDocManager.h"
#include "CDocumentHost.h"
#include "CKorvoDoc.h"
#include "CKorvoView.h"
#include "CMainFrame.h"
#include "CommandIds.h"
#include "DiagramCheck.h"
#include "ModelText.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace {

KorvoTableView* AddTable(CKorvoDoc& doc, const std::string& name, int32_t x, int32_t y,
                         std::initializer_list<const char*> columns, bool key)
{
    auto table = std::make_unique<KorvoTableView>();
    table->m_def.m_strName = name;
    table->m_x = x;
    table->m_y = y;
    bool first = true;
    for (const char* column : columns) {
        table->m_def.AddColumn(std::make_unique<CColumn>(column, "int", false, "", key && first, false, "", ""));
        first = false;
    }
    return doc.AddTable(std::move(table));
}

QStringList Texts(const std::vector<DiagramProblem>& problems)
{
    QStringList texts;
    for (const DiagramProblem& problem : problems)
        texts.append(ModelToQString(problem.text));
    return texts;
}

class CheckDiagramDockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CAppState::Get() = CAppState();
        m_frame = std::make_unique<CMainFrame>();
        m_frame->resize(900, 700);
        m_frame->show();
        QApplication::setActiveWindow(m_frame.get());
        m_manager = m_frame->GetDocManager();
    }
    void TearDown() override
    {
        m_manager->CloseAllDocuments();
        m_frame.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        CAppState::Get() = CAppState();
    }

    QAction* Action(int id) const { return m_frame->GetAction(id); }

    // A new diagram with a mistake of each kind the dock shows: two tables
    // called "orders", one without a key, a column without a type, and a
    // table far down the canvas.
    CDocumentHost* NewFaultyDiagram()
    {
        CDocumentHost* host = m_manager->OnFileNew();
        CKorvoDoc& doc = *host->GetDocument();
        AddTable(doc, "orders", 500, -500, {"id", "customer_id"}, true);
        AddTable(doc, "customer", 4000, -500, {"id", "name"}, false);
        AddTable(doc, "orders", 500, -4000, {"id"}, true);
        AddTable(doc, "far", 40000, -50000, {"id", "notes"}, true)->m_def.m_columns[1]->m_strType.clear();
        host->UpdateAllViews();
        return host;
    }

    // Selects one table as a click would, so that Delete may take it.
    void SelectOnly(CKorvoDoc& doc, int index)
    {
        for (size_t i = 0; i < doc.m_tables.size(); ++i)
            doc.m_tables[i]->m_bSelected = int(i) == index;
        for (const auto& relation : doc.m_relations)
            relation->m_bSelected = false;
        m_frame->UpdateActions();
    }

    CCheckDiagramDock* Dock() const { return m_frame->GetCheckDock(); }
    QListView* List() const { return Dock()->findChild<QListView*>(QStringLiteral("ProblemList")); }
    QString Summary() const { return Dock()->findChild<QLabel*>(QStringLiteral("ProblemSummary"))->text(); }
    QStringList Rows() const
    {
        QStringList rows;
        const QAbstractItemModel* model = List()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            rows.append(model->index(row, 0).data().toString());
        return rows;
    }
    int RowOf(const QString& start) const
    {
        const QStringList rows = Rows();
        for (int row = 0; row < rows.size(); ++row)
            if (rows[row].startsWith(start))
                return row;
        return -1;
    }
    // A double click as the window system delivers it: press, release,
    // press, double click, release.
    void DoubleClick(int row)
    {
        const QModelIndex index = List()->model()->index(row, 0);
        List()->scrollTo(index);
        QWidget* target = List()->viewport();
        const QPoint at = List()->visualRect(index).center();
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const Qt::MouseButtons buttons =
                type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(Qt::LeftButton);
            QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(target, &event);
        }
    }
    // Waits (events running) until the list holds what the check finds.
    bool ListFollows(const CKorvoDoc* doc, std::optional<SqlDialect> dialect = std::nullopt)
    {
        const QStringList expected = doc ? Texts(CheckDiagram(*doc, dialect)) : QStringList();
        for (int i = 0; i < 200 && Rows() != expected; ++i)
            QTest::qWait(10);
        EXPECT_EQ(Rows(), expected);
        return Rows() == expected;
    }

    CRecordingSeam m_seam;
    std::unique_ptr<CMainFrame> m_frame;
    CDocManager* m_manager = nullptr;
};

} // namespace

TEST_F(CheckDiagramDockTest, ListsEveryProblemAndADoubleClickShowsItsTable)
{
    EXPECT_FALSE(Action(ID_DIAGRAM_CHECK)->isEnabled()) << "no diagram to check";
    EXPECT_EQ(Dock(), nullptr);
    CDocumentHost* host = NewFaultyDiagram();
    const CKorvoDoc& doc = *host->GetDocument();
    ASSERT_TRUE(Action(ID_DIAGRAM_CHECK)->isEnabled());
    Action(ID_DIAGRAM_CHECK)->trigger();
    ASSERT_NE(Dock(), nullptr);
    EXPECT_TRUE(Dock()->isVisible());
    EXPECT_EQ(m_frame->dockWidgetArea(Dock()), Qt::BottomDockWidgetArea);
    EXPECT_EQ(Dock()->windowTitle(), QStringLiteral("Check Diagram"));

    const std::vector<DiagramProblem> problems = CheckDiagram(doc);
    ASSERT_EQ(Rows(), Texts(problems));
    ASSERT_GE(problems.size(), 3u);
    EXPECT_GE(RowOf(QStringLiteral("orders")), 0) << Rows().join('\n').toStdString();
    EXPECT_GE(RowOf(QStringLiteral("customer")), 0) << "the table without a key";
    EXPECT_GE(RowOf(QStringLiteral("far.notes")), 0) << "the column without a type";
    int errors = 0;
    for (const DiagramProblem& problem : problems)
        errors += problem.severity == ProblemSeverity::Error;
    const int warnings = int(problems.size()) - errors;
    EXPECT_EQ(Summary(), QStringLiteral("%1 error%2, %3 warning%4")
                             .arg(errors)
                             .arg(errors == 1 ? "" : "s")
                             .arg(warnings)
                             .arg(warnings == 1 ? "" : "s"));

    // The far table: selected alone and scrolled into the window.
    CKorvoView* view = m_frame->ActiveView();
    host->GetDocument()->m_tables[0]->m_bSelected = true;
    ASSERT_EQ(view->horizontalScrollBar()->value(), 0);
    DoubleClick(RowOf(QStringLiteral("far.notes")));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(doc.m_tables[size_t(i)]->m_bSelected, i == 3) << i;
    EXPECT_GT(view->horizontalScrollBar()->value(), 0);
    EXPECT_GT(view->verticalScrollBar()->value(), 0);
    EXPECT_FALSE(host->IsModified()) << "showing a problem is no edit";
    EXPECT_EQ(host->UndoStack()->count(), 0);

    // The table without a key, back at the top.
    DoubleClick(RowOf(QStringLiteral("customer")));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(doc.m_tables[size_t(i)]->m_bSelected, i == 1) << i;
    EXPECT_EQ(view->verticalScrollBar()->value(), 0);

    // Closed with its own button and asked for again, it shows again.
    Dock()->close();
    EXPECT_FALSE(Dock()->isVisible());
    Action(ID_DIAGRAM_CHECK)->trigger();
    EXPECT_TRUE(Dock()->isVisible());
    EXPECT_EQ(Rows(), Texts(problems));
}

TEST_F(CheckDiagramDockTest, FollowsEditsUndoTheActiveWindowAndTheDialect)
{
    CDocumentHost* host = NewFaultyDiagram();
    CKorvoDoc& doc = *host->GetDocument();
    Action(ID_DIAGRAM_CHECK)->trigger();
    const QStringList all = Rows();

    // The second "orders" deleted: its problems go shortly after.
    SelectOnly(doc, 2);
    Action(ID_EDIT_DELETE)->trigger();
    ASSERT_EQ(doc.m_tables.size(), 3u);
    EXPECT_TRUE(ListFollows(&doc));
    EXPECT_NE(Rows(), all);
    Action(ID_EDIT_UNDO)->trigger();
    EXPECT_TRUE(ListFollows(&doc));
    EXPECT_EQ(Rows(), all);

    // Names judged for PostgreSQL: a name it must quote is listed too.
    doc.m_tables[1]->m_def.m_strName = "Customer";
    host->UpdateAllViews();
    EXPECT_TRUE(ListFollows(&doc));
    const int plain = int(Rows().filter(QStringLiteral("Customer")).size());
    auto* dialects = Dock()->findChild<QComboBox*>(QStringLiteral("NameDialect"));
    ASSERT_EQ(dialects->itemText(0), QStringLiteral("None"));
    const int postgres = dialects->findText(QStringLiteral("PostgreSQL"));
    ASSERT_GT(postgres, 0);
    dialects->setCurrentIndex(postgres);
    EXPECT_TRUE(ListFollows(&doc, SqlDialect::PostgreSql));
    EXPECT_GT(Rows().filter(QStringLiteral("Customer")).size(), plain) << Rows().join('\n').toStdString();
    dialects->setCurrentIndex(0);
    EXPECT_TRUE(ListFollows(&doc));

    // Another diagram's window: its own (empty) list; back, the first one's.
    QMdiSubWindow* first = m_frame->findChild<QMdiArea*>()->activeSubWindow();
    CDocumentHost* clean = m_manager->OnFileNew();
    EXPECT_TRUE(ListFollows(clean->GetDocument()));
    EXPECT_EQ(Summary(), QStringLiteral("No problems found."));
    m_frame->findChild<QMdiArea*>()->setActiveSubWindow(first);
    EXPECT_TRUE(ListFollows(&doc));

    // Nothing open: nothing listed, and Check Again has nothing to do.
    m_manager->CloseAllDocuments();
    EXPECT_TRUE(ListFollows(nullptr));
    EXPECT_EQ(Summary(), QStringLiteral("No diagram is open."));
    EXPECT_FALSE(Dock()->findChild<QPushButton*>(QStringLiteral("CheckAgain"))->isEnabled());
}

// A double click on a problem whose table has moved in the list since the
// last check shows the list again rather than another table.
TEST_F(CheckDiagramDockTest, AProblemOutOfDateShowsTheListAgainRatherThanAnotherTable)
{
    CDocumentHost* host = NewFaultyDiagram();
    CKorvoDoc& doc = *host->GetDocument();
    Action(ID_DIAGRAM_CHECK)->trigger();
    const int customerRow = RowOf(QStringLiteral("customer"));
    ASSERT_GE(customerRow, 0);

    // The first table deleted, and the double click comes before the list
    // has followed: the second "orders" now stands where "customer" stood.
    SelectOnly(doc, 0);
    Action(ID_EDIT_DELETE)->trigger();
    ASSERT_EQ(doc.m_tables.size(), 3u);
    ASSERT_EQ(doc.m_tables[1]->m_def.m_strName, "orders");
    doc.m_tables[2]->m_bSelected = true;
    DoubleClick(customerRow);
    EXPECT_EQ(Rows(), Texts(CheckDiagram(doc)));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(doc.m_tables[size_t(i)]->m_bSelected, i == 2) << "the selection stays: " << i;

    // From the list as it is now, the table shows.
    DoubleClick(RowOf(QStringLiteral("customer")));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(doc.m_tables[size_t(i)]->m_bSelected, i == 0) << i;
}

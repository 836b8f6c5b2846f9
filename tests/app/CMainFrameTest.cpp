// The main window's command set against the program's menu, toolbar, prompt
// and accelerator tables, and the commands it handles itself.
#include "CRecordingSeam.h"
#include "TestBytes.h"
#include "CAppState.h"
#include "CChildFrame.h"
#include "CDocManager.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "CKorvoView.h"
#include "CMainFrame.h"
#include "CommandIds.h"
#include "DiagramFile.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>
#include <tuple>

#include <gtest/gtest.h>

namespace {

// One item as the menu shows it: the text, a tab and the key of its first
// accelerator; "-" for a separator and "<recent>" for the recent-file section.
QStringList Items(const QMenu* menu)
{
    QStringList items;
    bool inRecent = false;
    for (QAction* action : menu->actions()) {
        const int id = action->objectName().toInt();
        if (id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + 16) {
            if (!inRecent)
                items.append(QStringLiteral("<recent>"));
            inRecent = true;
            continue;
        }
        inRecent = false;
        if (action->isSeparator()) {
            items.append(QStringLiteral("-"));
            continue;
        }
        QString item = action->text();
        if (!action->shortcut().isEmpty())
            item += QLatin1Char('\t') + action->shortcut().toString(QKeySequence::PortableText);
        items.append(item);
    }
    return items;
}

QStringList Titles(const QList<QMenu*>& menus)
{
    QStringList titles;
    for (const QMenu* menu : menus)
        titles.append(menu->title());
    return titles;
}

// Command ids as the object names of their actions; 0 stands for a separator.
QStringList Ids(std::initializer_list<int> ids)
{
    QStringList names;
    for (int id : ids)
        names.append(id ? QString::number(id) : QStringLiteral("-"));
    return names;
}

QStringList ToolBarIds(const QToolBar* bar)
{
    QStringList ids;
    for (QAction* action : bar->actions())
        ids.append(action->isSeparator() ? QStringLiteral("-") : action->objectName());
    return ids;
}

class CMainFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CAppState::Get() = CAppState();
        m_frame = std::make_unique<CMainFrame>();
        m_frame->show();
        // Shortcuts reach only the active window.
        QApplication::setActiveWindow(m_frame.get());
    }
    void TearDown() override
    {
        m_frame->GetDocManager()->CloseAllDocuments();
        m_frame.reset();
        CAppState::Get() = CAppState();
    }
    QAction* Action(int id) const
    {
        QAction* action = m_frame->GetAction(id);
        EXPECT_NE(action, nullptr) << id;
        return action;
    }

    CRecordingSeam m_seam;
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace

TEST_F(CMainFrameTest, MenuWithoutDocument)
{
    EXPECT_FALSE(m_frame->ShowsDocumentMenus());
    const QList<QMenu*> menus = m_frame->CurrentMenus();
    EXPECT_EQ(Titles(menus), (QStringList{"&File", "&View", "&Help"}));
    EXPECT_EQ(Items(menus[0]), (QStringList{"&New\tCtrl+N", "&Open...\tCtrl+O", "-", "Page Set&up...", "-",
                                            "<recent>", "-", "E&xit"}));
    EXPECT_EQ(Items(menus[1]), (QStringList{"&Toolbar", "&Status Bar"}));
    EXPECT_EQ(Items(menus[2]), (QStringList{"&About Korvo..."}));

    // The menu bar holds exactly these menus.
    QStringList bar;
    for (QAction* action : m_frame->menuBar()->actions())
        bar.append(action->text());
    EXPECT_EQ(bar, Titles(menus));
}

TEST_F(CMainFrameTest, MenuWithDocumentAndBackWhenItCloses)
{
    CDocumentHost* host = m_frame->GetDocManager()->OnFileNew();
    ASSERT_TRUE(m_frame->ShowsDocumentMenus());
    const QList<QMenu*> menus = m_frame->CurrentMenus();
    EXPECT_EQ(Titles(menus), (QStringList{"&File", "&Edit", "&View", "&Diagram", "&Window", "&Help"}));
    EXPECT_EQ(Items(menus[0]),
              (QStringList{"&New\tCtrl+N", "&Open...\tCtrl+O", "&Close", "&Save\tCtrl+S", "Save &As...", "-",
                           "Print Pre&view", "Page Set&up...", "&Print...\tCtrl+P", "-", "<recent>", "-", "E&xit"}));
    EXPECT_EQ(Items(menus[1]), (QStringList{"&Undo\tCtrl+Z", "&Redo\tCtrl+Y", "-", "Cu&t\tCtrl+X", "&Copy\tCtrl+C",
                                            "&Paste\tCtrl+V", "&Delete\tDel", "-", "Select &All\tCtrl+A", "-",
                                            "&Find Table...\tCtrl+F"}));
    EXPECT_EQ(Items(menus[2]), (QStringList{"&Toolbar", "&Status Bar", "-", "Zoom &In\tCtrl++", "Zoom &Out\tCtrl+-",
                                            "&Actual Size\tCtrl+0", "&Fit Diagram", "-", "Show Column &Types"}));
    EXPECT_EQ(Items(menus[3]), (QStringList{"&Options...", "&Font...", "&Import SQL...", "Import from &Database...",
                                            "E&xport SQL...", "Export &Image...", "-", "&Check Diagram",
                                            "&Arrange Tables"}));
    EXPECT_EQ(Items(menus[4]), (QStringList{"&New Window", "&Cascade", "&Tile", "&Arrange Icons"}));
    EXPECT_EQ(Items(menus[5]), (QStringList{"&About Korvo..."}));

    ASSERT_TRUE(m_frame->GetDocManager()->OnFileClose(host));
    EXPECT_FALSE(m_frame->ShowsDocumentMenus());
    EXPECT_EQ(m_frame->menuBar()->actions().size(), 3);
}

TEST_F(CMainFrameTest, AcceleratorTable)
{
    // Every key of the accelerator table reaches its command.
    const struct {
        int id;
        QStringList keys;
    } table[] = {
        {ID_EDIT_COPY, {"Ctrl+C", "Ctrl+Ins"}},   {ID_FILE_NEW, {"Ctrl+N"}},
        {ID_FILE_OPEN, {"Ctrl+O"}},               {ID_FILE_PRINT, {"Ctrl+P"}},
        {ID_FILE_SAVE, {"Ctrl+S"}},               {ID_EDIT_PASTE, {"Ctrl+V", "Shift+Ins"}},
        {ID_EDIT_CUT, {"Ctrl+X", "Shift+Del"}},   {ID_EDIT_UNDO, {"Ctrl+Z", "Alt+Backspace"}},
        {ID_EDIT_REDO, {"Ctrl+Y", "Ctrl+Shift+Z"}}, {ID_EDIT_SELECT_ALL, {"Ctrl+A"}},
        {ID_EDIT_FIND, {"Ctrl+F"}},
        {ID_EDIT_DELETE, {"Del"}},                {ID_HELP_COMING_SOON, {"F1"}},
        {ID_NEXT_PANE, {"F6"}},                   {ID_PREV_PANE, {"Shift+F6"}},
        {ID_VIEW_ZOOM_IN, {"Ctrl++", "Ctrl+="}},  {ID_VIEW_ZOOM_OUT, {"Ctrl+-"}},
        {ID_VIEW_ZOOM_ACTUAL, {"Ctrl+0"}},
    };
    for (const auto& row : table) {
        QStringList keys;
        for (const QKeySequence& key : Action(row.id)->shortcuts())
            keys.append(key.toString(QKeySequence::PortableText));
        EXPECT_EQ(keys, row.keys) << row.id;
    }
    // The keys without a menu item work anywhere in the window.
    for (int id : {ID_HELP_COMING_SOON, ID_NEXT_PANE, ID_PREV_PANE})
        EXPECT_TRUE(m_frame->actions().contains(Action(id))) << id;
}

TEST_F(CMainFrameTest, ToolBarsAndTheirButtons)
{
    EXPECT_EQ(ToolBarIds(m_frame->GetMainToolBar()),
              Ids({ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, 0,
                   ID_EDIT_UNDO, ID_EDIT_REDO, 0, ID_FILE_PRINT, 0, ID_APP_ABOUT}));
    EXPECT_EQ(ToolBarIds(m_frame->GetToolsToolBar()), Ids({ID_TOOL_POINTER, ID_TOOL_TABLE, ID_TOOL_RELATION}));
    for (QToolBar* bar : {m_frame->GetMainToolBar(), m_frame->GetToolsToolBar()}) {
        EXPECT_EQ(bar->iconSize(), QSize(16, 15));
        EXPECT_EQ(m_frame->toolBarArea(bar), Qt::TopToolBarArea);
        for (QAction* action : bar->actions()) {
            if (!action->isSeparator()) {
                EXPECT_FALSE(action->icon().pixmap(16, 15).isNull()) << action->objectName().toStdString();
            }
        }
    }
}

TEST_F(CMainFrameTest, PromptsAndTooltips)
{
    const struct {
        int id;
        const char* tip;
        const char* tooltip;
    } table[] = {
        {ID_TOOL_POINTER, "Switch to pointer tool", "Pointer Tool"},
        {ID_TOOL_TABLE, "Switch to table tool", "Table Tool"},
        {ID_TOOL_RELATION, "Switch to relation tool", "Relation Tool"},
        {ID_EDIT_DELETE, "Delete object(s)", "Delete"},
        {ID_DIAGRAM_IMPORT_SQL, "Import CREATE TABLE SQL statements from a file", "Import SQL Statements"},
        {ID_DIAGRAM_IMPORT_DATABASE, "Import the tables of a SQLite file or a PostgreSQL or MariaDB/MySQL database",
         "Import from Database"},
        {ID_DIAGRAM_EXPORT_SQL, "Export this diagram as a set of CREATE TABLE SQL statements",
         "Export Diagram as SQL"},
        {ID_DIAGRAM_OPTIONS, "Edit options for the current diagram", "Diagram Options"},
        {ID_DIAGRAM_FONT, "Change the font used to draw the diagram", "Diagram Font"},
        {ID_DIAGRAM_CHECK, "List the mistakes that keep this diagram from becoming a database", "Check Diagram"},
        {ID_DIAGRAM_ARRANGE, "Lay out all tables, or only the selected ones, so that none overlap", "Arrange Tables"},
        {ID_FILE_PAGE_SETUP, "Change the printing options", "Page Setup"},
        {ID_APP_ABOUT, "Korvo Version 1.03", "About"},
        {ID_FILE_NEW, "Create a new document", "New"},
        {ID_FILE_OPEN, "Open an existing document", "Open"},
        {ID_FILE_SAVE, "Save the active document", "Save"},
        {ID_EDIT_UNDO, "Undo the last action", "Undo"},
        {ID_EDIT_REDO, "Redo the previously undone action", "Redo"},
        {ID_EDIT_SELECT_ALL, "Select the entire document", "Select All"},
    };
    for (const auto& row : table) {
        EXPECT_EQ(Action(row.id)->statusTip(), QString::fromLatin1(row.tip)) << row.id;
        EXPECT_EQ(Action(row.id)->toolTip(), QString::fromLatin1(row.tooltip)) << row.id;
    }
    // Every button and every menu item has a prompt.
    for (QMenu* menu : m_frame->CurrentMenus())
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && action->isVisible()) {
                EXPECT_FALSE(action->statusTip().isEmpty()) << action->text().toStdString();
            }
        }
    m_frame->GetDocManager()->OnFileNew();
    for (QMenu* menu : m_frame->CurrentMenus())
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && action->isVisible()) {
                EXPECT_FALSE(action->statusTip().isEmpty()) << action->text().toStdString();
            }
        }
    EXPECT_EQ(m_frame->IdleMessage(), QStringLiteral("Ready"));
}

TEST_F(CMainFrameTest, StatusBarHasMessagePaneAndThreeLockIndicators)
{
    const QList<QLabel*> indicators = m_frame->Indicators();
    ASSERT_EQ(indicators.size(), 3);
    EXPECT_EQ(indicators[0]->objectName(), QStringLiteral("CAP"));
    EXPECT_EQ(indicators[1]->objectName(), QStringLiteral("NUM"));
    EXPECT_EQ(indicators[2]->objectName(), QStringLiteral("SCRL"));
    // Without a keyboard to ask, every indicator is dark but keeps its place.
    for (QLabel* pane : indicators) {
        EXPECT_TRUE(pane->text().isEmpty());
        EXPECT_GE(pane->minimumWidth(), pane->fontMetrics().horizontalAdvance(pane->objectName()));
    }

    // A status tip replaces "Ready" while it shows, and "Ready" returns after.
    m_frame->statusBar()->showMessage(Action(ID_FILE_NEW)->statusTip());
    EXPECT_EQ(m_frame->statusBar()->currentMessage(), QStringLiteral("Create a new document"));
    m_frame->statusBar()->clearMessage();
    EXPECT_TRUE(m_frame->findChild<QLabel*>(QStringLiteral("MessagePane"))->isVisible());
}

TEST_F(CMainFrameTest, ViewMenuTogglesTheToolsToolBarAndTheStatusBar)
{
    QAction* toolbar = Action(ID_VIEW_TOOLBAR);
    ASSERT_TRUE(toolbar->isChecked());
    toolbar->trigger();
    EXPECT_FALSE(m_frame->GetToolsToolBar()->isVisible());
    EXPECT_TRUE(m_frame->GetMainToolBar()->isVisible());
    EXPECT_FALSE(toolbar->isChecked());
    // The check follows the bar however it was hidden or shown.
    m_frame->GetToolsToolBar()->show();
    EXPECT_TRUE(toolbar->isChecked());

    QAction* status = Action(ID_VIEW_STATUS_BAR);
    ASSERT_TRUE(status->isChecked());
    status->trigger();
    EXPECT_FALSE(m_frame->statusBar()->isVisible());
    status->trigger();
    EXPECT_TRUE(m_frame->statusBar()->isVisible());
}

TEST_F(CMainFrameTest, ToolGroupIsSharedByEveryWindow)
{
    CDocManager* manager = m_frame->GetDocManager();
    CDocumentHost* first = manager->OnFileNew();
    CDocumentHost* second = manager->OnFileNew();
    EXPECT_TRUE(Action(ID_TOOL_POINTER)->isChecked());
    EXPECT_TRUE(m_frame->findChild<QActionGroup*>()->isExclusive());

    // Chosen while the first window is active...
    m_frame->ActivateFrame(manager->Frames(first).constFirst());
    Action(ID_TOOL_TABLE)->trigger();
    EXPECT_EQ(CAppState::Get().m_nCurrentTool, ToolTable);
    EXPECT_TRUE(Action(ID_TOOL_TABLE)->isChecked());
    EXPECT_FALSE(Action(ID_TOOL_POINTER)->isChecked());

    // ...the table tool is still pressed in the other window, and a click
    // there places a table, after which the view returns to the pointer.
    CChildFrame* other = manager->Frames(second).constFirst();
    m_frame->ActivateFrame(other);
    EXPECT_TRUE(Action(ID_TOOL_TABLE)->isChecked());
    QTest::mouseClick(other->GetView()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
    EXPECT_EQ(second->GetDocument()->m_tables.size(), 1u);
    EXPECT_EQ(first->GetDocument()->m_tables.size(), 0u);
    EXPECT_EQ(CAppState::Get().m_nCurrentTool, ToolPointer);
    EXPECT_TRUE(Action(ID_TOOL_POINTER)->isChecked());

    Action(ID_TOOL_RELATION)->trigger();
    EXPECT_EQ(CAppState::Get().m_nCurrentTool, ToolRelation);
    EXPECT_FALSE(Action(ID_TOOL_TABLE)->isChecked());
}

TEST_F(CMainFrameTest, EditCommandsFollowTheActiveViewsSelection)
{
    EXPECT_FALSE(Action(ID_EDIT_CUT)->isEnabled());
    CDocumentHost* host = m_frame->GetDocManager()->OnFileNew();
    EXPECT_FALSE(Action(ID_EDIT_UNDO)->isEnabled());
    EXPECT_FALSE(Action(ID_EDIT_CUT)->isEnabled());
    EXPECT_FALSE(Action(ID_EDIT_COPY)->isEnabled());
    EXPECT_FALSE(Action(ID_EDIT_DELETE)->isEnabled());
    EXPECT_TRUE(Action(ID_FILE_SAVE)->isEnabled());

    // A placed table is selected: cut, copy and delete become available.
    CKorvoView* view = m_frame->ActiveView();
    Action(ID_TOOL_TABLE)->trigger();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    ASSERT_EQ(host->GetDocument()->m_tables.size(), 1u);
    EXPECT_TRUE(Action(ID_EDIT_CUT)->isEnabled());
    EXPECT_TRUE(Action(ID_EDIT_COPY)->isEnabled());
    EXPECT_TRUE(Action(ID_EDIT_DELETE)->isEnabled());
    // Placing the table can be undone, and the item says so.
    EXPECT_TRUE(Action(ID_EDIT_UNDO)->isEnabled());
    EXPECT_EQ(Action(ID_EDIT_UNDO)->text(), QStringLiteral("&Undo Place Table"));
    EXPECT_FALSE(Action(ID_EDIT_REDO)->isEnabled());

    // Copy puts the table on the clipboard, and Paste follows the clipboard.
    Action(ID_EDIT_COPY)->trigger();
    EXPECT_TRUE(Action(ID_EDIT_PASTE)->isEnabled());
    QApplication::clipboard()->clear();
    EXPECT_FALSE(Action(ID_EDIT_PASTE)->isEnabled());

    Action(ID_EDIT_DELETE)->trigger();
    EXPECT_TRUE(host->GetDocument()->m_tables.empty());
    EXPECT_FALSE(Action(ID_EDIT_DELETE)->isEnabled());
    EXPECT_TRUE(host->IsModified());
}

TEST_F(CMainFrameTest, PrintAndPreviewGoToTheActiveView)
{
    m_frame->GetDocManager()->OnFileNew();
    QTest::keyClick(m_frame.get(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(m_seam.dialogRuns, 1); // the print dialog, cancelled
    QString className;
    m_seam.onDialog = [&className](QDialog& dialog) {
        className = QString::fromLatin1(dialog.metaObject()->className());
        return int(QDialog::Rejected);
    };
    Action(ID_FILE_PRINT_PREVIEW)->trigger();
    EXPECT_EQ(className, QStringLiteral("QPrintPreviewDialog"));
}

TEST_F(CMainFrameTest, F1ShowsTheComingSoonBox)
{
    QTest::keyClick(m_frame.get(), Qt::Key_F1);
    ASSERT_EQ(m_seam.boxes.size(), 1);
    EXPECT_EQ(m_seam.boxes[0].caption, QStringLiteral("Coming Soon"));
    EXPECT_TRUE(m_seam.boxes[0].text.isEmpty());
    EXPECT_TRUE(m_seam.boxes[0].ownerless);
    EXPECT_EQ(m_seam.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST_F(CMainFrameTest, AboutRunsTheAboutBox)
{
    QString caption;
    m_seam.onDialog = [&caption](QDialog& dialog) {
        caption = dialog.windowTitle();
        return int(QDialog::Accepted);
    };
    Action(ID_APP_ABOUT)->trigger();
    EXPECT_EQ(m_seam.dialogRuns, 1);
    EXPECT_EQ(caption, QStringLiteral("About Korvo"));
}

namespace {

struct PageSetupSeen {
    QSizeF paper;
    QMarginsF margins;
};

// A page-setup answer that records what the dialog was given, then hands
// back the paper and margins (inches) as a user would choose them.
std::function<int(QPageSetupDialog&)> PageSetupAnswer(PageSetupSeen& seen, QSizeF paper, QMarginsF margins,
                                                      int result)
{
    return [&seen, paper, margins, result](QPageSetupDialog& dialog) {
        const QPageLayout layout = dialog.printer()->pageLayout();
        seen.paper = layout.fullRect(QPageLayout::Inch).size();
        seen.margins = layout.margins(QPageLayout::Inch);
        QPageLayout chosen(QPageSize(paper, QPageSize::Inch, QString(), QPageSize::ExactMatch),
                           QPageLayout::Portrait, margins, QPageLayout::Inch);
        EXPECT_TRUE(dialog.printer()->setPageLayout(chosen));
        return result;
    };
}

} // namespace

TEST_F(CMainFrameTest, PageSetupRoundTripKeepsTheDefaultsExactly)
{
    PageSetupSeen seen;
    m_seam.pageSetup = PageSetupAnswer(seen, QSizeF(8, 11), QMarginsF(0.25, 0.25, 0.25, 0.25), QDialog::Accepted);
    Action(ID_FILE_PAGE_SETUP)->trigger();
    ASSERT_EQ(m_seam.dialogRuns, 1);
    // The dialog is given 8000 x 11000 and 250 thousandths of an inch.
    EXPECT_DOUBLE_EQ(seen.paper.width(), 8.0);
    EXPECT_DOUBLE_EQ(seen.paper.height(), 11.0);
    EXPECT_DOUBLE_EQ(seen.margins.left(), 0.25);
    EXPECT_DOUBLE_EQ(seen.margins.bottom(), 0.25);

    const CAppState& app = CAppState::Get();
    EXPECT_EQ(app.m_sizePage.cx, 11520);
    EXPECT_EQ(app.m_sizePage.cy, 15840);
    EXPECT_EQ(app.m_rectMargins.left, 360);
    EXPECT_EQ(app.m_rectMargins.top, 360);
    EXPECT_EQ(app.m_rectMargins.right, 360);
    EXPECT_EQ(app.m_rectMargins.bottom, 360);
}

TEST_F(CMainFrameTest, PageSetupRefusesAPageWithNextToNothingToPrintOn)
{
    struct Case {
        const char* what;
        QSizeF paper;
        QMarginsF margins;
    };
    const Case cases[] = {
        {"margins leave half an inch across", QSizeF(8.5, 11), QMarginsF(4, 0.25, 4, 0.25)},
        {"margins leave half an inch down", QSizeF(8.5, 11), QMarginsF(0.25, 5, 0.25, 5.5)},
        {"paper narrower than an inch", QSizeF(0.9, 11), QMarginsF(0, 0, 0, 0)},
        {"paper longer than 200 inches", QSizeF(8.5, 201), QMarginsF(0.25, 0.25, 0.25, 0.25)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_seam.messages.clear();
        PageSetupSeen seen;
        m_seam.pageSetup = PageSetupAnswer(seen, c.paper, c.margins, QDialog::Accepted);
        m_frame->OnFilePageSetup();
        // The settings stay as they were, and the user is told why.
        const CAppState& app = CAppState::Get();
        EXPECT_EQ(app.m_sizePage.cx, 11520);
        EXPECT_EQ(app.m_sizePage.cy, 15840);
        EXPECT_EQ(app.m_rectMargins.left, 360);
        EXPECT_EQ(app.m_rectMargins.right, 360);
        EXPECT_EQ(app.m_rectMargins.top, 360);
        EXPECT_EQ(app.m_rectMargins.bottom, 360);
        ASSERT_EQ(m_seam.messages.size(), 1);
        EXPECT_TRUE(m_seam.messages[0].contains(QStringLiteral("at least one inch")));
    }
    // A page with an inch to spare each way is taken.
    PageSetupSeen seen;
    m_seam.pageSetup = PageSetupAnswer(seen, QSizeF(8.5, 11), QMarginsF(3.75, 0.25, 3.75, 0.25), QDialog::Accepted);
    m_frame->OnFilePageSetup();
    EXPECT_EQ(CAppState::Get().m_rectMargins.left, 5400);
}

TEST_F(CMainFrameTest, PageSetupShowsAPaperSizeWithoutANameAsCustom)
{
    // Qt's dialog would otherwise show (and hand back on OK) Letter for the
    // default 8 x 11 inch page.
    QString sizeName;
    double width = 0, height = 0, left = 0;
    m_seam.pageSetup = [&](QPageSetupDialog& dialog) {
        auto* sizes = dialog.findChild<QComboBox*>(QStringLiteral("pageSizeCombo"));
        EXPECT_NE(sizes, nullptr);
        if (sizes)
            sizeName = sizes->currentText();
        for (auto* box : dialog.findChildren<QDoubleSpinBox*>()) {
            if (box->objectName() == QLatin1String("pageWidth"))
                width = box->value();
            if (box->objectName() == QLatin1String("pageHeight"))
                height = box->value();
            if (box->objectName() == QLatin1String("leftMargin"))
                left = box->value();
        }
        return int(QDialog::Rejected);
    };
    m_frame->OnFilePageSetup();
    EXPECT_EQ(sizeName, QStringLiteral("Custom"));
    EXPECT_DOUBLE_EQ(width, 8.0);
    EXPECT_DOUBLE_EQ(height, 11.0);
    EXPECT_DOUBLE_EQ(left, 0.25);
}

TEST_F(CMainFrameTest, PageSetupTruncatesThousandthsIntoTwips)
{
    PageSetupSeen seen;
    m_seam.pageSetup =
        PageSetupAnswer(seen, QSizeF(8.5, 11), QMarginsF(0.333, 0.5, 1.0, 0.001), QDialog::Accepted);
    m_frame->OnFilePageSetup();
    const CAppState& app = CAppState::Get();
    EXPECT_EQ(app.m_rectMargins.left, 479); // 333 * 1440 / 1000 = 479.52
    EXPECT_EQ(app.m_rectMargins.top, 720);
    EXPECT_EQ(app.m_rectMargins.right, 1440);
    EXPECT_EQ(app.m_rectMargins.bottom, 1); // 1.44
    EXPECT_EQ(app.m_sizePage.cx, 12240);
    EXPECT_EQ(app.m_sizePage.cy, 15840);

    // The next dialog starts from the new settings: 479 twips is 332 thousandths.
    m_seam.pageSetup = PageSetupAnswer(seen, QSizeF(8.5, 11), QMarginsF(0.25, 0.25, 0.25, 0.25), QDialog::Rejected);
    m_frame->OnFilePageSetup();
    EXPECT_DOUBLE_EQ(seen.margins.left(), 0.332);
    EXPECT_DOUBLE_EQ(seen.paper.width(), 8.5);
    // Cancel changes nothing.
    EXPECT_EQ(app.m_rectMargins.left, 479);
    EXPECT_EQ(app.m_sizePage.cx, 12240);
}

TEST_F(CMainFrameTest, ArrangeIconsLinesMinimisedWindowsUpAlongTheBottom)
{
    CDocManager* manager = m_frame->GetDocManager();
    QList<CChildFrame*> frames;
    for (int i = 0; i < 3; ++i)
        frames.append(manager->Frames(manager->OnFileNew()).constFirst());
    frames[1]->showMinimized();
    frames[2]->showMinimized();
    frames[1]->move(50, 10);
    frames[2]->move(50, 10);

    Action(ID_WINDOW_ARRANGE)->trigger();
    const int bottom = m_frame->GetMdiArea()->viewport()->height();
    EXPECT_EQ(frames[1]->geometry().bottom() + 1, bottom);
    EXPECT_EQ(frames[2]->geometry().bottom() + 1, bottom);
    EXPECT_EQ(frames[1]->x(), 0);
    EXPECT_EQ(frames[2]->x(), frames[1]->width());
    EXPECT_FALSE(frames[0]->isMinimized());
}

TEST(CMainFrameStartUp, AWindowMadeBeforeTheMainWindowShowsGetsAUsableSize)
{
    // The command line opens its diagram before the main window is shown.
    CRecordingSeam seam;
    CMainFrame frame;
    CDocManager* manager = frame.GetDocManager();
    CChildFrame* child = manager->Frames(manager->OnFileNew()).constFirst();
    frame.show();
    const QSize area = frame.GetMdiArea()->viewport()->size();
    EXPECT_GE(child->width(), area.width() / 2);
    EXPECT_GE(child->height(), area.height() / 2);
    EXPECT_FALSE(child->isMinimized());
    manager->CloseAllDocuments();
}

TEST_F(CMainFrameTest, ZoomCommandsReachTheActiveWindowAndTheStatusBarShowsItsZoom)
{
    QLabel* pane = m_frame->ZoomPane();
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->text().isEmpty()) << "no diagram, no zoom";
    for (int id : {ID_VIEW_ZOOM_IN, ID_VIEW_ZOOM_OUT, ID_VIEW_ZOOM_ACTUAL, ID_VIEW_ZOOM_FIT})
        EXPECT_FALSE(Action(id)->isEnabled()) << id;

    m_frame->GetDocManager()->OnFileNew();
    CKorvoView* first = m_frame->ActiveView();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(pane->text(), QStringLiteral("100%"));
    Action(ID_VIEW_ZOOM_IN)->trigger();
    EXPECT_EQ(first->Zoom(), 125);
    EXPECT_EQ(pane->text(), QStringLiteral("125%"));

    // The keys, as the user presses them in the window.
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        int zoom;
    } keys[] = {
        {Qt::Key_Equal, Qt::ControlModifier, 150},
        {Qt::Key_Plus, Qt::ControlModifier, 200},
        {Qt::Key_Minus, Qt::ControlModifier, 150},
        {Qt::Key_0, Qt::ControlModifier, 100},
    };
    for (const auto& k : keys) {
        QTest::keyClick(first, Qt::Key(k.key), k.modifiers);
        EXPECT_EQ(first->Zoom(), k.zoom) << k.key;
    }

    // At either end the step that goes further is off.
    first->ZoomTo(400, QPoint());
    EXPECT_FALSE(Action(ID_VIEW_ZOOM_IN)->isEnabled());
    EXPECT_TRUE(Action(ID_VIEW_ZOOM_OUT)->isEnabled());
    EXPECT_EQ(pane->text(), QStringLiteral("400%"));
    first->ZoomTo(10, QPoint());
    EXPECT_TRUE(Action(ID_VIEW_ZOOM_IN)->isEnabled());
    EXPECT_FALSE(Action(ID_VIEW_ZOOM_OUT)->isEnabled());

    // Each window has its own zoom; the pane follows the active one.
    m_frame->GetAction(ID_WINDOW_NEW)->trigger();
    CKorvoView* second = m_frame->ActiveView();
    ASSERT_NE(second, first);
    EXPECT_EQ(second->Zoom(), 100);
    EXPECT_EQ(pane->text(), QStringLiteral("100%"));
    Action(ID_VIEW_ZOOM_FIT)->trigger();
    EXPECT_EQ(second->Zoom(), 100) << "an empty diagram fits at actual size";
    Action(ID_VIEW_ZOOM_OUT)->trigger();
    EXPECT_EQ(second->Zoom(), 75);
    EXPECT_EQ(first->Zoom(), 10);
    for (QMdiSubWindow* window : m_frame->GetMdiArea()->subWindowList())
        if (auto* frame = qobject_cast<CChildFrame*>(window); frame && frame->GetView() == first)
            m_frame->ActivateFrame(frame);
    EXPECT_EQ(pane->text(), QStringLiteral("10%"));
}

TEST_F(CMainFrameTest, ShowColumnTypesIsOneSettingForEveryWindow)
{
    QAction* types = Action(ID_VIEW_COLUMN_TYPES);
    EXPECT_TRUE(types->isCheckable());
    EXPECT_FALSE(types->isChecked());
    CDocumentHost* one = m_frame->GetDocManager()->OnFileNew();
    CKorvoView* oneView = m_frame->ActiveView();
    CDocumentHost* two = m_frame->GetDocManager()->OnFileNew();
    CKorvoView* twoView = m_frame->ActiveView();
    std::vector<KorvoTableView*> tables;
    for (CDocumentHost* host : {one, two}) {
        auto table = std::make_unique<KorvoTableView>();
        table->m_def.m_strName = "t";
        table->m_def.AddColumn(std::make_unique<CColumn>("id", "INTEGER", true, "", true, false, "", ""));
        tables.push_back(host->GetDocument()->AddTable(std::move(table)));
    }
    // Measured as each window measures when it paints.
    auto widths = [&] {
        std::vector<int32_t> measured;
        for (size_t i = 0; i < 2; ++i) {
            CKorvoDC dc(nullptr, 96, false);
            (i == 0 ? oneView : twoView)->OnPrepareDC(dc);
            tables[i]->Measure(dc);
            measured.push_back(tables[i]->m_cx);
        }
        return measured;
    };
    const std::vector<int32_t> names = widths();

    types->trigger();
    EXPECT_TRUE(CAppState::Get().m_bShowColumnTypes);
    EXPECT_TRUE(types->isChecked());
    const std::vector<int32_t> withTypes = widths();
    for (size_t i = 0; i < 2; ++i)
        EXPECT_GT(withTypes[i], names[i]) << "window " << i << " shows the type and its mark";
    EXPECT_FALSE(one->IsModified()) << "a way of showing is no edit";

    types->trigger();
    EXPECT_FALSE(CAppState::Get().m_bShowColumnTypes);
    EXPECT_FALSE(types->isChecked());
    EXPECT_EQ(widths(), names);
}

TEST_F(CMainFrameTest, CtrlFFindsATableInTheActiveWindow)
{
    EXPECT_FALSE(Action(ID_EDIT_FIND)->isEnabled()) << "no diagram, nothing to find";
    CDocumentHost* host = m_frame->GetDocManager()->OnFileNew();
    CKorvoView* view = m_frame->ActiveView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(Action(ID_EDIT_FIND)->isEnabled());
    for (const auto& [name, x, y] : {std::tuple{"near", 360, -360}, std::tuple{"far_away", 45000, -65000}}) {
        auto table = std::make_unique<KorvoTableView>();
        table->m_def.m_strName = name;
        table->m_x = x;
        table->m_y = y;
        table->m_def.AddColumn(std::make_unique<CColumn>("id", "INTEGER", true, "", true, false, "", ""));
        host->GetDocument()->AddTable(std::move(table));
    }
    KorvoTableView* far = host->GetDocument()->m_tables[1].get();
    QString caption;
    m_seam.workDialog = [&caption](QDialog& dialog) {
        caption = dialog.windowTitle();
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("name"));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(dialog.focusWidget(), edit) << "typing starts at once";
        QTest::keyClicks(edit, QStringLiteral("far"));
        QTest::keyClick(edit, Qt::Key_Return);
    };
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(m_seam.dialogRuns, 1);
    EXPECT_EQ(caption, QStringLiteral("Find Table"));
    EXPECT_TRUE(far->m_bSelected);
    EXPECT_TRUE(Action(ID_EDIT_CUT)->isEnabled()) << "the found table is the selection";
    // In view: its box lies within the window.
    CKorvoDC dc(nullptr, view->ScreenDpiX(), false);
    view->OnPrepareDC(dc);
    const CPoint topLeft = dc.LPtoDP(CPoint{far->m_x, far->m_y} - view->GetLogScrollPosition());
    EXPECT_TRUE(view->viewport()->rect().contains(QPoint(topLeft.x, topLeft.y)));
    EXPECT_FALSE(host->IsModified());
}

TEST_F(CMainFrameTest, OpenSaveAsImportAndExportEachStartWhereTheyWereLastAnswered)
{
    QTemporaryDir dir;
    QDir root(dir.path());
    for (const char* folder : {"diagrams", "saved", "scripts", "exports"})
        ASSERT_TRUE(root.mkdir(QString::fromLatin1(folder)));
    const QString diagram = root.filePath(QStringLiteral("diagrams/a.erd"));
    const QString script = root.filePath(QStringLiteral("scripts/s.sql"));
    {
        CKorvoDoc doc;
        ASSERT_TRUE(SaveDiagramFile(QFile::encodeName(diagram).toStdString(), doc).ok);
        QFile sql(script);
        ASSERT_TRUE(sql.open(QIODevice::WriteOnly));
        sql.write("CREATE TABLE t (id int);\n");
    }

    // First use: every dialog starts at its own default.
    m_seam.openFileName = diagram;
    Action(ID_FILE_OPEN)->trigger();
    ASSERT_NE(m_frame->ActiveView(), nullptr);
    m_seam.openFileName = script;
    Action(ID_DIAGRAM_IMPORT_SQL)->trigger();
    m_seam.saveFileName = root.filePath(QStringLiteral("exports/out.sql"));
    Action(ID_DIAGRAM_EXPORT_SQL)->trigger();
    EXPECT_TRUE(QFile::exists(m_seam.saveFileName));
    const QString firstNew = m_frame->GetDocManager()->OnFileNew()->Title() + QStringLiteral(".erd");
    m_seam.saveFileName = root.filePath(QStringLiteral("saved/b.erd"));
    Action(ID_FILE_SAVE_AS)->trigger();
    EXPECT_TRUE(QFile::exists(m_seam.saveFileName));
    EXPECT_EQ(m_seam.openFolders, (QStringList{QString(), QString()}));
    EXPECT_EQ(m_seam.saveProposals, (QStringList{QString(), firstNew}));

    // Second use: each starts in the folder it was last answered in.
    m_seam.openFileName.clear();
    m_seam.saveFileName.clear();
    const QString secondNew = m_frame->GetDocManager()->OnFileNew()->Title() + QStringLiteral(".erd");
    for (int id : {ID_FILE_OPEN, ID_DIAGRAM_IMPORT_SQL, ID_DIAGRAM_EXPORT_SQL, ID_FILE_SAVE_AS})
        Action(id)->trigger();
    EXPECT_EQ(m_seam.openFolders.mid(2),
              (QStringList{root.filePath(QStringLiteral("diagrams")), root.filePath(QStringLiteral("scripts"))}));
    EXPECT_EQ(m_seam.saveProposals.mid(2), (QStringList{root.filePath(QStringLiteral("exports")),
                                                        root.filePath(QStringLiteral("saved/") + secondNew)}));
    // A diagram that has a file is proposed where it lies.
    m_frame->GetDocManager()->OpenDocumentFile(diagram);
    Action(ID_FILE_SAVE_AS)->trigger();
    EXPECT_EQ(m_seam.saveProposals.last(), diagram);
}

TEST_F(CMainFrameTest, TheMainWindowComesBackWhereItWasClosed)
{
    const QRect place(40, 50, 700, 520);
    {
        CMainFrame first;
        first.show();
        first.setGeometry(place);
        QApplication::processEvents();
        EXPECT_TRUE(first.close());
    }
    ASSERT_FALSE(CAppState::Get().m_mainWindowGeometry.isEmpty());
    CMainFrame second;
    EXPECT_EQ(second.size(), place.size());
    second.show();
    QApplication::processEvents();
    EXPECT_EQ(second.geometry(), place);

    // Without a remembered place the window keeps its default size.
    CAppState::Get().m_mainWindowGeometry.clear();
    CMainFrame fresh;
    EXPECT_EQ(fresh.size(), QSize(900, 680));
}

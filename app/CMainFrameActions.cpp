// The main window's command set: actions from the command table, the two menu
// bars, the toolbars and the status bar.
#include "CMainFrame.h"

#include "CKorvoApp.h"
#include "CommandIds.h"
#include "CommandTable.h"
#include "LockKeys.h"

#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

namespace {

// Menu layouts: 0 is a separator, -1 the recent-file section.
constexpr int kSeparator = 0;
constexpr int kRecentFiles = -1;

struct MenuLayout {
    const char* title;
    std::initializer_list<int> items;
};

const MenuLayout kMenusNoDocument[] = {
    {"&File", {ID_FILE_NEW, ID_FILE_OPEN, kSeparator, ID_FILE_PAGE_SETUP, kSeparator, kRecentFiles, kSeparator,
               ID_APP_EXIT}},
    {"&View", {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}},
    {"&Help", {ID_APP_ABOUT}},
};

const MenuLayout kMenusDocument[] = {
    {"&File", {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS, kSeparator,
               ID_FILE_PRINT_PREVIEW, ID_FILE_PAGE_SETUP, ID_FILE_PRINT, kSeparator, kRecentFiles, kSeparator,
               ID_APP_EXIT}},
    {"&Edit", {ID_EDIT_UNDO, ID_EDIT_REDO, kSeparator, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_DELETE,
               kSeparator, ID_EDIT_SELECT_ALL, kSeparator, ID_EDIT_FIND}},
    {"&View", {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, kSeparator, ID_VIEW_ZOOM_IN, ID_VIEW_ZOOM_OUT,
               ID_VIEW_ZOOM_ACTUAL, ID_VIEW_ZOOM_FIT, kSeparator, ID_VIEW_COLUMN_TYPES}},
    {"&Diagram", {ID_DIAGRAM_OPTIONS, ID_DIAGRAM_FONT, ID_DIAGRAM_IMPORT_SQL, ID_DIAGRAM_IMPORT_DATABASE,
                  ID_DIAGRAM_EXPORT_SQL, ID_DIAGRAM_EXPORT_IMAGE, kSeparator, ID_DIAGRAM_CHECK, ID_DIAGRAM_ARRANGE}},
    {"&Window", {ID_WINDOW_NEW, ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE}},
    {"&Help", {ID_APP_ABOUT}},
};

// Toolbar 128 and 130, left to right; 0 is a separator.
constexpr int kMainToolBar[] = {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, kSeparator, ID_EDIT_CUT, ID_EDIT_COPY,
                                ID_EDIT_PASTE, kSeparator, ID_EDIT_UNDO, ID_EDIT_REDO, kSeparator, ID_FILE_PRINT,
                                kSeparator, ID_APP_ABOUT};
constexpr int kToolsToolBar[] = {ID_TOOL_POINTER, ID_TOOL_TABLE, ID_TOOL_RELATION};

const char* IconFor(int id)
{
    switch (id) {
    case ID_FILE_NEW: return "new";
    case ID_FILE_OPEN: return "open";
    case ID_FILE_SAVE: return "save";
    case ID_EDIT_CUT: return "cut";
    case ID_EDIT_COPY: return "copy";
    case ID_EDIT_PASTE: return "paste";
    case ID_EDIT_UNDO: return "undo";
    case ID_EDIT_REDO: return "redo";
    case ID_FILE_PRINT: return "print";
    case ID_APP_ABOUT: return "about";
    case ID_TOOL_POINTER: return "pointer";
    case ID_TOOL_TABLE: return "table";
    case ID_TOOL_RELATION: return "relation";
    default: return nullptr;
    }
}

} // namespace

QAction* CMainFrame::MakeAction(int id)
{
    const CommandInfo& info = FindCommand(id);
    auto* action = new QAction(info.text, this);
    action->setObjectName(QString::number(id));
    action->setShortcuts(info.shortcuts);
    action->setStatusTip(info.StatusTip());
    action->setToolTip(info.ToolTip().isEmpty() ? QString(info.text).remove(QLatin1Char('&')) : info.ToolTip());
    if (const char* icon = IconFor(id))
        action->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon))));
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::CreateActions()
{
    for (const CommandInfo& info : CommandTable())
        MakeAction(info.id);

    // Keys without a menu item of their own work anywhere in the window.
    for (int id : {ID_HELP_COMING_SOON, ID_NEXT_PANE, ID_PREV_PANE})
        addAction(GetAction(id));

    m_pToolGroup = new QActionGroup(this);
    m_pToolGroup->setExclusive(true);
    for (int id : kToolsToolBar) {
        QAction* action = GetAction(id);
        action->setCheckable(true);
        m_pToolGroup->addAction(action);
    }
    GetAction(ID_VIEW_TOOLBAR)->setCheckable(true);
    GetAction(ID_VIEW_STATUS_BAR)->setCheckable(true);
    GetAction(ID_VIEW_COLUMN_TYPES)->setCheckable(true);

    m_pRecentPlaceholder = new QAction(QStringLiteral("Recent File"), this);
    m_pRecentPlaceholder->setObjectName(QString::number(ID_FILE_MRU_FILE1));
    m_pRecentPlaceholder->setEnabled(false);
    m_pRecentPlaceholder->setStatusTip(QString::fromLatin1(kRecentFilePrompt));
    for (int i = 0; i < kRecentFileCount; ++i) {
        auto* action = new QAction(this);
        action->setObjectName(QString::number(ID_FILE_MRU_FILE1 + i));
        action->setStatusTip(QString::fromLatin1(kRecentFilePrompt));
        connect(action, &QAction::triggered, this, [this, i] { OnOpenRecentFile(i); });
        m_recentActions.append(action);
    }
    if (CKorvoApp* app = CKorvoApp::Instance())
        connect(app, &CKorvoApp::RecentFilesChanged, this, &CMainFrame::UpdateRecentFileActions);
    UpdateRecentFileActions();
}

void CMainFrame::CreateMenus()
{
    auto build = [this](const MenuLayout& layout, const QString& set) {
        auto* menu = new QMenu(QString::fromLatin1(layout.title), this);
        menu->setObjectName(set + QString::fromLatin1(layout.title).remove(QLatin1Char('&')));
        for (int item : layout.items) {
            if (item == kSeparator) {
                menu->addSeparator();
            } else if (item == kRecentFiles) {
                menu->addAction(m_pRecentPlaceholder);
                menu->addActions(m_recentActions);
            } else {
                menu->addAction(GetAction(item));
            }
        }
        return menu;
    };
    for (const MenuLayout& layout : kMenusNoDocument)
        m_menusNoDocument.append(build(layout, QStringLiteral("menu%1_").arg(IDR_MAINFRAME)));
    for (const MenuLayout& layout : kMenusDocument)
        m_menusDocument.append(build(layout, QStringLiteral("menu%1_").arg(IDR_ERDTYPE)));
    m_pWindowMenu = m_menusDocument.at(4);
    connect(m_pWindowMenu, &QMenu::aboutToShow, this, &CMainFrame::FillWindowList);
    UpdateMenus();
}

void CMainFrame::CreateToolBars()
{
    auto build = [this](const QString& name, const QString& title, const int* ids, size_t count) {
        auto* bar = new QToolBar(title, this);
        bar->setObjectName(name);
        bar->setIconSize(QSize(16, 15));
        bar->setMovable(true);
        bar->setFloatable(true);
        bar->setAllowedAreas(Qt::AllToolBarAreas);
        for (size_t i = 0; i < count; ++i) {
            if (ids[i] == kSeparator)
                bar->addSeparator();
            else
                bar->addAction(GetAction(ids[i]));
        }
        return bar;
    };
    // The tools bar is made first: it is the one View > Toolbar shows and hides.
    m_pToolsToolBar = build(QStringLiteral("ToolBar%1").arg(IDR_TOOLS), QStringLiteral("Tools"), kToolsToolBar,
                            std::size(kToolsToolBar));
    m_pMainToolBar = build(QStringLiteral("ToolBar%1").arg(IDR_MAINFRAME), QStringLiteral("Standard"), kMainToolBar,
                           std::size(kMainToolBar));
    setDockOptions(dockOptions() | QMainWindow::AnimatedDocks);
    addToolBar(Qt::TopToolBarArea, m_pMainToolBar);
    addToolBar(Qt::TopToolBarArea, m_pToolsToolBar);

    QAction* toggleToolBar = GetAction(ID_VIEW_TOOLBAR);
    toggleToolBar->setChecked(true);
    connect(toggleToolBar, &QAction::triggered, m_pToolsToolBar, &QToolBar::setVisible);
    connect(m_pToolsToolBar, &QToolBar::visibilityChanged, toggleToolBar, &QAction::setChecked);
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    m_pMessagePane = new QLabel(QString::fromLatin1(kIdleMessage), bar);
    m_pMessagePane->setObjectName(QStringLiteral("MessagePane"));
    bar->addWidget(m_pMessagePane, 1);
    // The active window's zoom, empty while no diagram is open.
    m_pZoomPane = new QLabel(bar);
    m_pZoomPane->setObjectName(QStringLiteral("ZoomPane"));
    m_pZoomPane->setAlignment(Qt::AlignCenter);
    m_pZoomPane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pZoomPane->setMinimumWidth(m_pZoomPane->fontMetrics().horizontalAdvance(QStringLiteral("400%")) + 12);
    bar->addPermanentWidget(m_pZoomPane);
    for (const char* name : {"CAP", "NUM", "SCRL"}) {
        auto* pane = new QLabel(bar);
        pane->setObjectName(QString::fromLatin1(name));
        pane->setAlignment(Qt::AlignCenter);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QString::fromLatin1(name)) + 12);
        bar->addPermanentWidget(pane);
        m_indicators.append(pane);
    }

    QAction* toggleStatusBar = GetAction(ID_VIEW_STATUS_BAR);
    toggleStatusBar->setChecked(true);
    connect(toggleStatusBar, &QAction::triggered, bar, &QStatusBar::setVisible);
    UpdateIndicators();
}

QList<QMenu*> CMainFrame::CurrentMenus() const
{
    return m_bDocumentMenus ? m_menusDocument : m_menusNoDocument;
}

QString CMainFrame::IdleMessage() const
{
    return m_pMessagePane ? m_pMessagePane->text() : QString();
}

void CMainFrame::UpdateMenus()
{
    const bool document = !m_pMdiArea->subWindowList().isEmpty();
    if (m_bMenusBuilt && document == m_bDocumentMenus)
        return;
    m_bMenusBuilt = true;
    m_bDocumentMenus = document;
    QMenuBar* bar = menuBar();
    bar->clear();
    for (QMenu* menu : CurrentMenus())
        bar->addMenu(menu);
}

void CMainFrame::UpdateRecentFileActions()
{
    const CKorvoApp* app = CKorvoApp::Instance();
    const QStringList files = app ? app->RecentFiles() : QStringList();
    m_pRecentPlaceholder->setVisible(files.isEmpty());
    for (int i = 0; i < m_recentActions.size(); ++i) {
        QAction* action = m_recentActions.at(i);
        if (i < files.size()) {
            action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(files.at(i)).fileName()));
            action->setToolTip(files.at(i));
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
}

void CMainFrame::FillWindowList()
{
    for (QAction* action : std::as_const(m_windowListActions)) {
        m_pWindowMenu->removeAction(action);
        delete action;
    }
    m_windowListActions.clear();

    const QList<QMdiSubWindow*> windows = m_pMdiArea->subWindowList();
    if (windows.isEmpty())
        return;
    m_windowListActions.append(m_pWindowMenu->addSeparator());
    QMdiSubWindow* current = m_pMdiArea->currentSubWindow();
    for (qsizetype i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* window = windows.at(i);
        QString title = window->windowTitle();
        title.replace(QStringLiteral("[*]"), window->isWindowModified() ? QStringLiteral("*") : QString());
        QAction* action = m_pWindowMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(title));
        action->setObjectName(QString::number(AFX_IDM_FIRST_MDICHILD + i));
        action->setCheckable(true);
        action->setChecked(window == current);
        connect(action, &QAction::triggered, this, [this, window] { m_pMdiArea->setActiveSubWindow(window); });
        m_windowListActions.append(action);
    }
}

void CMainFrame::UpdateIndicators()
{
    const LockKeys keys = QueryLockKeys();
    const bool on[] = {keys.capsLock, keys.numLock, keys.scrollLock};
    for (qsizetype i = 0; i < m_indicators.size(); ++i) {
        QLabel* pane = m_indicators.at(i);
        // An indicator that is off shows an empty pane of the same width.
        pane->setText(on[i] ? pane->objectName() : QString());
    }
}

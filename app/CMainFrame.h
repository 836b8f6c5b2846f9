#pragma once

#include <QHash>
#include <QList>
#include <QMainWindow>

#include <memory>

class CCheckDiagramDock;
class CChildFrame;
class CDocManager;
class CDocumentHost;
class CKorvoView;
class QAction;
class QActionGroup;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

// The main window: the document windows in an MDI area, the two menu bars
// (one while no diagram is open, one while any is), the main and tools
// toolbars, the status bar with its prompt pane and lock-key indicators, and
// the commands that are not the view's own.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CDocManager* GetDocManager() const { return m_pDocManager.get(); }
    QMdiArea* GetMdiArea() const { return m_pMdiArea; }
    QToolBar* GetMainToolBar() const { return m_pMainToolBar; }
    QToolBar* GetToolsToolBar() const { return m_pToolsToolBar; }
    // The action of a command id, or null.
    QAction* GetAction(int id) const { return m_actions.value(id); }
    // The menus in the bar now: the no-document set or the document set.
    QList<QMenu*> CurrentMenus() const;
    bool ShowsDocumentMenus() const { return m_bDocumentMenus; }
    QString IdleMessage() const;
    // The lock-key indicator panes, CAP, NUM and SCRL.
    QList<QLabel*> Indicators() const { return m_indicators; }
    // The pane that shows the active window's zoom.
    QLabel* ZoomPane() const { return m_pZoomPane; }

    // Window management for the document manager.
    void AddChildFrame(CChildFrame* frame);
    void ActivateFrame(CChildFrame* frame);
    CChildFrame* ActiveChildFrame() const;
    CKorvoView* ActiveView() const;
    CDocumentHost* ActiveDocument() const;
    void UpdateFrameTitle();

    // Refreshes the enabled and checked state of every command.
    void UpdateActions();

    // Commands handled here.
    void OnFilePageSetup();
    void OnHelpComingSoon();
    void OnAppAbout();
    void OnOpenRecentFile(int index);
    void SetCurrentTool(int tool);
    void ArrangeIcons();
    // Check Diagram: shows the dock of the active diagram's problems and
    // checks again; the dock, made on first use (null before).
    void OnCheckDiagram();
    CCheckDiagramDock* GetCheckDock() const { return m_pCheckDock; }
    // View > Show Column Types: the user's setting, for every window.
    void OnViewColumnTypes();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // CMainFrameActions.cpp: the command table turned into actions, menus,
    // toolbars and the status bar.
    void CreateActions();
    QAction* MakeAction(int id);
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void UpdateMenus();
    void UpdateRecentFileActions();
    void FillWindowList();
    void UpdateIndicators();

    void ConnectCommands();

    std::unique_ptr<CDocManager> m_pDocManager;
    QMdiArea* m_pMdiArea = nullptr;
    QToolBar* m_pMainToolBar = nullptr;
    QToolBar* m_pToolsToolBar = nullptr;
    QLabel* m_pMessagePane = nullptr;
    QLabel* m_pZoomPane = nullptr;
    QList<QLabel*> m_indicators;
    QHash<int, QAction*> m_actions;
    QActionGroup* m_pToolGroup = nullptr;
    QList<QAction*> m_recentActions;
    QAction* m_pRecentPlaceholder = nullptr;
    QList<QMenu*> m_menusNoDocument;
    QList<QMenu*> m_menusDocument;
    QMenu* m_pWindowMenu = nullptr;
    QList<QAction*> m_windowListActions;
    bool m_bDocumentMenus = false;
    bool m_bMenusBuilt = false;
    CCheckDiagramDock* m_pCheckDock = nullptr;
};

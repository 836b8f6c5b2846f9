#include "CMainFrame.h"

#include "CAboutDialog.h"
#include "CAppState.h"
#include "CCheckDiagramDock.h"
#include "CChildFrame.h"
#include "CDocManager.h"
#include "CDocumentHost.h"
#include "CKorvoApp.h"
#include "CKorvoView.h"
#include "CModalSeam.h"
#include "CommandIds.h"
#include "PageSetupUnits.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QStyle>
#include <QUndoStack>
#include <QUrl>

namespace {

// Qt's page-setup widget lists only named paper sizes and falls back to the
// first of them for any other, so OK on an 8 x 11 inch page would hand back
// Letter. A size of our own is shown as its "Custom" entry with its width and
// height instead, in the unit the dialog shows.
void ShowCustomPaper(QPageSetupDialog& dialog, const QPageSize& paper)
{
    auto* sizes = dialog.findChild<QComboBox*>(QStringLiteral("pageSizeCombo"));
    auto* units = dialog.findChild<QComboBox*>(QStringLiteral("unitCombo"));
    auto* width = dialog.findChild<QDoubleSpinBox*>(QStringLiteral("pageWidth"));
    auto* height = dialog.findChild<QDoubleSpinBox*>(QStringLiteral("pageHeight"));
    if (!sizes || !units || !width || !height || paper.id() != QPageSize::Custom)
        return;
    int custom = -1;
    for (int i = 0; i < sizes->count(); ++i)
        if (!sizes->itemData(i).isValid())
            custom = i;
    if (custom < 0)
        return;
    sizes->setCurrentIndex(custom);
    const QVariant unit = units->currentData();
    const QSizeF size = paper.size(unit.isValid() ? static_cast<QPageSize::Unit>(unit.value<QPageLayout::Unit>())
                                                  : QPageSize::Inch);
    width->setValue(size.width());
    height->setValue(size.height());
}

} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), m_pDocManager(std::make_unique<CDocManager>(this))
{
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(QStringLiteral("Korvo"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/korvo.svg")));
    setAcceptDrops(true);

    m_pMdiArea = new QMdiArea(this);
    m_pMdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pMdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_pMdiArea);

    CreateActions();
    CreateToolBars();
    CreateStatusBar();
    CreateMenus();
    ConnectCommands();

    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, [this] {
        UpdateFrameTitle();
        UpdateActions();
    });
    connect(m_pDocManager.get(), &CDocManager::DocumentsChanged, this, [this] {
        UpdateMenus();
        UpdateFrameTitle();
        UpdateActions();
    });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::UpdateActions);
    qApp->installEventFilter(this);

    resize(900, 680);
    // Where and how large the window was when it last closed; Qt moves it
    // back onto a screen that is there now.
    const QByteArray& geometry = CAppState::Get().m_mainWindowGeometry;
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    UpdateActions();
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
    // The document windows go while the manager that keeps their documents
    // still exists.
    delete m_pMdiArea;
    m_pMdiArea = nullptr;
    m_pDocManager.reset();
}

void CMainFrame::ConnectCommands()
{
    // A command that runs out of memory is reported and the program goes on
    // with its documents.
    auto on = [this](int id, auto handler) {
        connect(GetAction(id), &QAction::triggered, this, [this, handler] { RunWithinMemory(this, handler); });
    };
    // A diagram command that ran out of memory may have changed the document
    // without recording its step: its history no longer holds.
    auto onView = [this](int id, void (CKorvoView::*method)()) {
        connect(GetAction(id), &QAction::triggered, this, [this, method] {
            if (CKorvoView* view = ActiveView())
                if (!RunWithinMemory(this, [view, method] { (view->*method)(); }))
                    view->GetDocumentHost()->ForgetHistory();
        });
    };
    auto onHistory = [this](int id, void (QUndoStack::*step)()) {
        connect(GetAction(id), &QAction::triggered, this, [this, step] {
            if (CDocumentHost* host = ActiveDocument())
                if (!RunWithinMemory(this, [host, step] { (host->UndoStack()->*step)(); }))
                    host->ForgetHistory();
        });
    };

    on(ID_FILE_NEW, [this] { m_pDocManager->OnFileNew(); });
    on(ID_FILE_OPEN, [this] { m_pDocManager->OnFileOpen(); });
    on(ID_FILE_CLOSE, [this] { m_pDocManager->OnFileClose(ActiveDocument()); });
    on(ID_FILE_SAVE, [this] { m_pDocManager->OnFileSave(ActiveDocument()); });
    on(ID_FILE_SAVE_AS, [this] { m_pDocManager->OnFileSaveAs(ActiveDocument()); });
    on(ID_FILE_PAGE_SETUP, [this] { OnFilePageSetup(); });
    onView(ID_FILE_PRINT, &CKorvoView::OnFilePrint);
    onView(ID_FILE_PRINT_PREVIEW, &CKorvoView::OnFilePrintPreview);
    on(ID_APP_EXIT, [this] { close(); });

    onHistory(ID_EDIT_UNDO, &QUndoStack::undo);
    onHistory(ID_EDIT_REDO, &QUndoStack::redo);
    onView(ID_EDIT_SELECT_ALL, &CKorvoView::OnEditSelectAll);
    onView(ID_EDIT_FIND, &CKorvoView::OnEditFind);
    onView(ID_EDIT_CUT, &CKorvoView::OnEditCut);
    onView(ID_EDIT_COPY, &CKorvoView::OnEditCopy);
    onView(ID_EDIT_PASTE, &CKorvoView::OnEditPaste);
    onView(ID_EDIT_DELETE, &CKorvoView::OnEditDelete);
    onView(ID_DIAGRAM_OPTIONS, &CKorvoView::OnDiagramOptions);
    onView(ID_DIAGRAM_FONT, &CKorvoView::OnDiagramFont);
    onView(ID_DIAGRAM_IMPORT_SQL, &CKorvoView::OnImportSQL);
    onView(ID_DIAGRAM_IMPORT_DATABASE, &CKorvoView::OnImportDatabase);
    onView(ID_DIAGRAM_EXPORT_SQL, &CKorvoView::OnExportSQL);
    onView(ID_DIAGRAM_EXPORT_IMAGE, &CKorvoView::OnExportImage);
    on(ID_DIAGRAM_CHECK, [this] { OnCheckDiagram(); });
    onView(ID_DIAGRAM_ARRANGE, &CKorvoView::OnArrangeTables);
    onView(ID_VIEW_ZOOM_IN, &CKorvoView::OnZoomIn);
    onView(ID_VIEW_ZOOM_OUT, &CKorvoView::OnZoomOut);
    onView(ID_VIEW_ZOOM_ACTUAL, &CKorvoView::OnZoomActualSize);
    onView(ID_VIEW_ZOOM_FIT, &CKorvoView::OnZoomFit);
    on(ID_VIEW_COLUMN_TYPES, [this] { OnViewColumnTypes(); });

    on(ID_WINDOW_NEW, [this] { m_pDocManager->OnWindowNew(ActiveDocument()); });
    on(ID_WINDOW_CASCADE, [this] { m_pMdiArea->cascadeSubWindows(); });
    on(ID_WINDOW_TILE_HORZ, [this] { m_pMdiArea->tileSubWindows(); });
    on(ID_WINDOW_ARRANGE, [this] { ArrangeIcons(); });

    on(ID_APP_ABOUT, [this] { OnAppAbout(); });
    on(ID_HELP_COMING_SOON, [this] { OnHelpComingSoon(); });
    on(ID_TOOL_POINTER, [this] { SetCurrentTool(ToolPointer); });
    on(ID_TOOL_TABLE, [this] { SetCurrentTool(ToolTable); });
    on(ID_TOOL_RELATION, [this] { SetCurrentTool(ToolRelation); });
    // F6 and Shift+F6 step between panes; the windows have none, so the keys
    // are taken and nothing happens.
}

void CMainFrame::ArrangeIcons()
{
    // Minimised windows line up from the bottom left, row above row.
    const QSize area = m_pMdiArea->viewport()->size();
    QPoint next(0, area.height());
    for (QMdiSubWindow* window : m_pMdiArea->subWindowList()) {
        if (!window->isMinimized())
            continue;
        if (next.x() > 0 && next.x() + window->width() > area.width())
            next = QPoint(0, next.y() - window->height());
        window->move(next.x(), next.y() - window->height());
        next.rx() += window->width();
    }
}

void CMainFrame::AddChildFrame(CChildFrame* frame)
{
    // New windows cascade from the last one, one title bar further down and
    // right, and start again at the top left once they would leave the area.
    const QList<QMdiSubWindow*> others = m_pMdiArea->subWindowList();
    // The first window may come before the main window is shown (the command
    // line runs first): lay the main window out so the area has its size.
    if (!m_pMdiArea->isVisible() && layout())
        layout()->activate();
    const QSize area = m_pMdiArea->isVisible() ? m_pMdiArea->viewport()->size() : m_pMdiArea->contentsRect().size();
    const QSize size = area * 3 / 4;
    QPoint pos(0, 0);
    if (!others.isEmpty() && !others.constLast()->isMaximized()) {
        const int step = frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, frame) + 4;
        pos = others.constLast()->pos() + QPoint(step, step);
        if (pos.x() + size.width() > area.width() || pos.y() + size.height() > area.height())
            pos = QPoint(0, 0);
    }
    m_pMdiArea->addSubWindow(frame);
    connect(frame->GetView(), &CKorvoView::CommandStateChanged, this, &CMainFrame::UpdateActions);
    // Undo and Redo name the step they would take back or make again.
    connect(frame->GetDocumentHost()->UndoStack(), &QUndoStack::indexChanged, this, &CMainFrame::UpdateActions,
            Qt::UniqueConnection);
    frame->resize(size);
    frame->move(pos);
    frame->show();
    m_pMdiArea->setActiveSubWindow(frame);
    frame->GetView()->setFocus();
    UpdateMenus();
    UpdateFrameTitle();
    UpdateActions();
}

void CMainFrame::ActivateFrame(CChildFrame* frame)
{
    if (frame->isMinimized())
        frame->showNormal();
    m_pMdiArea->setActiveSubWindow(frame);
}

CChildFrame* CMainFrame::ActiveChildFrame() const
{
    // The current window stays current while the application is in the
    // background, as the active one does not.
    return m_pMdiArea ? qobject_cast<CChildFrame*>(m_pMdiArea->currentSubWindow()) : nullptr;
}

CKorvoView* CMainFrame::ActiveView() const
{
    CChildFrame* frame = ActiveChildFrame();
    return frame ? frame->GetView() : nullptr;
}

CDocumentHost* CMainFrame::ActiveDocument() const
{
    CChildFrame* frame = ActiveChildFrame();
    return frame ? frame->GetDocumentHost() : nullptr;
}

void CMainFrame::UpdateFrameTitle()
{
    CChildFrame* frame = ActiveChildFrame();
    if (!frame) {
        setWindowTitle(QStringLiteral("Korvo"));
        setWindowModified(false);
        return;
    }
    setWindowTitle(QStringLiteral("Korvo - ") + frame->windowTitle());
    setWindowModified(frame->isWindowModified());
}

void CMainFrame::UpdateActions()
{
    if (m_actions.isEmpty())
        return;
    CKorvoView* view = ActiveView();
    const bool document = view != nullptr;

    for (int id : {ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW,
                   ID_DIAGRAM_OPTIONS, ID_DIAGRAM_FONT, ID_DIAGRAM_IMPORT_SQL, ID_DIAGRAM_EXPORT_SQL,
                   ID_DIAGRAM_EXPORT_IMAGE, ID_WINDOW_NEW, ID_EDIT_SELECT_ALL, ID_EDIT_FIND, ID_DIAGRAM_IMPORT_DATABASE,
                   ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE, ID_VIEW_ZOOM_ACTUAL, ID_VIEW_ZOOM_FIT})
        GetAction(id)->setEnabled(document);
    // The diagram's check and arrangement.
    for (int id : {ID_DIAGRAM_CHECK, ID_DIAGRAM_ARRANGE})
        GetAction(id)->setEnabled(document);
    GetAction(ID_VIEW_ZOOM_IN)->setEnabled(document && view->Zoom() < CKorvoView::kMaxZoom);
    GetAction(ID_VIEW_ZOOM_OUT)->setEnabled(document && view->Zoom() > CKorvoView::kMinZoom);
    GetAction(ID_VIEW_COLUMN_TYPES)->setChecked(CAppState::Get().m_bShowColumnTypes);
    if (m_pZoomPane)
        m_pZoomPane->setText(document ? QStringLiteral("%1%").arg(view->Zoom()) : QString());

    // The active document's history: each item names its step ("&Undo Delete").
    const QUndoStack* history = document ? ActiveDocument()->UndoStack() : nullptr;
    const bool canUndo = history && history->canUndo();
    const bool canRedo = history && history->canRedo();
    GetAction(ID_EDIT_UNDO)->setEnabled(canUndo);
    GetAction(ID_EDIT_UNDO)->setText(canUndo ? QStringLiteral("&Undo ") + history->undoText() : QStringLiteral("&Undo"));
    GetAction(ID_EDIT_REDO)->setEnabled(canRedo);
    GetAction(ID_EDIT_REDO)->setText(canRedo ? QStringLiteral("&Redo ") + history->redoText() : QStringLiteral("&Redo"));
    const bool selection = document && view->HasSelection();
    GetAction(ID_EDIT_CUT)->setEnabled(selection);
    GetAction(ID_EDIT_COPY)->setEnabled(selection);
    GetAction(ID_EDIT_DELETE)->setEnabled(selection);
    GetAction(ID_EDIT_PASTE)->setEnabled(document && view->CanPaste());

    const int tool = CAppState::Get().m_nCurrentTool;
    GetAction(ID_TOOL_POINTER)->setChecked(tool == ToolPointer);
    GetAction(ID_TOOL_TABLE)->setChecked(tool == ToolTable);
    GetAction(ID_TOOL_RELATION)->setChecked(tool == ToolRelation);
}

void CMainFrame::SetCurrentTool(int tool)
{
    CAppState::Get().m_nCurrentTool = tool;
    UpdateActions();
}

void CMainFrame::OnViewColumnTypes()
{
    CAppState& app = CAppState::Get();
    app.m_bShowColumnTypes = !app.m_bShowColumnTypes;
    // Every window measures and draws its tables again with the new rows.
    for (QMdiSubWindow* window : m_pMdiArea->subWindowList())
        if (auto* frame = qobject_cast<CChildFrame*>(window))
            frame->GetView()->viewport()->update();
    UpdateActions();
}

void CMainFrame::OnFilePageSetup()
{
    CAppState& app = CAppState::Get();
    auto inches = [](int32_t twips) { return TwipsToThousandths(twips) / 1000.0; };
    auto twips = [](double inches) { return ThousandthsToTwips(InchesToThousandths(inches)); };

    QPrinter printer(QPrinter::HighResolution);
    const QPageSize paper(QSizeF(inches(app.m_sizePage.cx), inches(app.m_sizePage.cy)), QPageSize::Inch, QString(),
                          QPageSize::ExactMatch);
    const QMarginsF margins(inches(app.m_rectMargins.left), inches(app.m_rectMargins.top),
                            inches(app.m_rectMargins.right), inches(app.m_rectMargins.bottom));
    printer.setPageLayout(QPageLayout(paper, QPageLayout::Portrait, margins, QPageLayout::Inch));

    QPageSetupDialog dialog(&printer, nullptr);
    ShowCustomPaper(dialog, printer.pageLayout().pageSize());
    if (CModalSeam::Get().RunPageSetup(dialog) != QDialog::Accepted)
        return;

    const QPageLayout layout = printer.pageLayout();
    const QSizeF size = layout.fullRect(QPageLayout::Inch).size();
    const QMarginsF chosen = layout.margins(QPageLayout::Inch);
    const CSize paperChosen{twips(size.width()), twips(size.height())};
    const CRect marginsChosen{twips(chosen.left()), twips(chosen.top()), twips(chosen.right()), twips(chosen.bottom())};
    // A page a printer cannot use, or margins that leave next to nothing to
    // draw on, would make a canvas of countless pages: the settings stay.
    if (!CAppState::IsPaperUsable(paperChosen) || !CAppState::AreMarginsUsable(paperChosen, marginsChosen)) {
        KorvoMessageBox(nullptr,
                        QStringLiteral("The paper must measure 1 to 200 inches each way, and the margins must "
                                       "leave at least one inch to print on. The page setup was not changed."),
                        QMessageBox::Warning);
        return;
    }
    app.m_sizePage = paperChosen;
    app.m_rectMargins = marginsChosen;

    // The grid of the window the command came from follows at once.
    if (CKorvoView* view = ActiveView())
        view->viewport()->update();
}

void CMainFrame::OnCheckDiagram()
{
    if (!m_pCheckDock) {
        m_pCheckDock = new CCheckDiagramDock(this);
        addDockWidget(Qt::BottomDockWidgetArea, m_pCheckDock);
        // The dock lists the diagram of the active window, whichever it is.
        auto follow = [this] { m_pCheckDock->SetView(ActiveView()); };
        connect(m_pMdiArea, &QMdiArea::subWindowActivated, m_pCheckDock, follow);
        connect(m_pDocManager.get(), &CDocManager::DocumentsChanged, m_pCheckDock, follow);
        m_pCheckDock->hide();
        m_pCheckDock->SetView(ActiveView());
    }
    if (m_pCheckDock->isVisible())
        m_pCheckDock->Refresh();
    m_pCheckDock->show();
    m_pCheckDock->raise();
}

void CMainFrame::OnHelpComingSoon()
{
    CModalSeam::Get().MessageBox(nullptr, QString(), QStringLiteral("Coming Soon"), QMessageBox::NoIcon,
                                 QMessageBox::Ok);
}

void CMainFrame::OnAppAbout()
{
    CAboutDialog dialog(this);
    CModalSeam::Get().RunDialog(dialog);
}

void CMainFrame::OnOpenRecentFile(int index)
{
    CKorvoApp* app = CKorvoApp::Instance();
    if (!app || index < 0 || index >= app->RecentFiles().size())
        return;
    const QString path = app->RecentFiles().at(index);
    // An entry that no longer opens leaves the list.
    if (!m_pDocManager->OpenDocumentFile(path))
        app->RemoveFromRecentFileList(path);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_pDocManager->SaveAllModified()) {
        event->ignore();
        return;
    }
    m_pDocManager->CloseAllDocuments();
    CAppState::Get().m_mainWindowGeometry = saveGeometry();
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    activateWindow();
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            m_pDocManager->OpenDocumentFile(url.toLocalFile());
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ApplicationStateChange:
        UpdateIndicators();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

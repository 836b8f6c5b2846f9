#include "CKorvoView.h"

#include "CAppState.h"
#include "CDiagramImage.h"
#include "CDiagramOptionsDialog.h"
#include "CDiagramSettingsCommand.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "CModalSeam.h"
#include "CWaitCursor.h"
#include "SqlExportFilters.h"

#include <QApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <cstring>

CKorvoView::CKorvoView(CDocumentHost* host, QWidget* parent) : CLogScrollView(parent), m_pHost(host)
{
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(pal);
    viewport()->setAutoFillBackground(true);
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);

    connect(m_pHost, &CDocumentHost::DocumentChanged, this, [this] {
        // Delete or Cut while the button is still down may take the table or
        // column under the press, in this window or another of the diagram.
        EndDragOnRemoval();
        viewport()->update();
    });
    connect(m_pHost, &CDocumentHost::DiagramSettingsChanged, this, [this] {
        ResetFont();
        OnInitialUpdate();
    });
    connect(m_pHost, &CDocumentHost::HistoryApplied, this, &CKorvoView::CancelDrag);

    m_timerAutoScroll.setInterval(125);
    connect(&m_timerAutoScroll, &QTimer::timeout, this, &CKorvoView::OnTimer);
    m_timerAutoScroll.start();
}

CKorvoView::~CKorvoView() = default;

CKorvoDoc* CKorvoView::GetDocument() const
{
    return m_pHost->GetDocument();
}

void CKorvoView::OnInitialUpdate()
{
    const CAppState& app = CAppState::Get();
    const CKorvoDoc* doc = GetDocument();
    const int32_t width = Saturate(int64_t(app.PageWidth()) * doc->m_nMaxPagesX);
    const int32_t height = Saturate(int64_t(app.PageHeight()) * doc->m_nMaxPagesY);
    m_rectCanvas = CRect{0, 0, width, -height};
    SetLogScrollSizes(CSize{width, height});
}

void CKorvoView::OnPrepareDC(CKorvoDC& dc)
{
    CLogScrollView::OnPrepareDC(dc);
    if (!m_pFont)
        m_pFont = std::make_unique<QFont>(CKorvoDC::MakeFont(GetDocument()->m_logFont, dc.Dpi()));
    dc.SelectFont(*m_pFont);
    if (CAppState::Get().m_bShowColumnTypes)
        dc.ShowColumnTypes(GetDocument());
}

void CKorvoView::ResetFont()
{
    m_pFont.reset();
}

std::unique_ptr<CKorvoDC> CKorvoView::PrepareDC()
{
    auto dc = std::make_unique<CKorvoDC>(nullptr, ScreenDpiX(), false);
    OnPrepareDC(*dc);
    return dc;
}

void CKorvoView::DocumentEdited(bool modified)
{
    if (modified)
        GetDocument()->SetModifiedFlag(true);
    m_pHost->SetModifiedFlag(GetDocument()->IsModified());
    m_pHost->UpdateAllViews();
    emit CommandStateChanged();
}

void CKorvoView::OnDraw(CKorvoDC& dc)
{
    if (dc.IsPrinting())
        return;
    const CAppState& app = CAppState::Get();
    const CPoint origin = GetLogScrollPosition();
    DrawPageGrid(dc, m_rectCanvas, app.PageWidth(), app.PageHeight(), origin);
    DrawTablesAndRelations(dc, *GetDocument(), origin);
    DrawDragFeedback(dc);
}

// ---------------------------------------------------------------------------
// Printing

int CKorvoView::OnPreparePrinting() const
{
    const CAppState& app = CAppState::Get();
    return int(std::min<int64_t>(PageCount(*GetDocument(), app.PageWidth(), app.PageHeight()),
                                 CDiagramImage::kMaxPages));
}

bool CKorvoView::RefusePrinting()
{
    // The tables as the screen last measured them; the printer measures
    // again at its own resolution and may still refuse.
    const QString refusal = CDiagramImage::PrintRefusal(*GetDocument());
    if (refusal.isEmpty())
        return false;
    KorvoMessageBox(this, refusal.left(1).toUpper() + refusal.mid(1) + QLatin1Char('.'), QMessageBox::Warning);
    return true;
}

void CKorvoView::SetUpPrinter(QPrinter& printer) const
{
    printer.setPageLayout(CDiagramImage::PageLayout());
    printer.setFullPage(false);
    printer.setDocName(m_pHost->Title());
}

bool CKorvoView::PrintTo(QPrinter& printer)
{
    // The dialog's "Pages" field may list pages apart ("1,4"): print exactly
    // those, not everything from the first to the last.
    QPageRanges ranges;
    if (printer.printRange() == QPrinter::PageRange)
        ranges = printer.pageRanges();
    QString error;
    if (CDiagramImage::PrintPages(*GetDocument(), printer, ranges, &error, CAppState::Get().m_bShowColumnTypes) > 0)
        return true;
    if (!error.isEmpty())
        KorvoMessageBox(this, error.left(1).toUpper() + error.mid(1) + QLatin1Char('.'), QMessageBox::Warning);
    return false;
}

void CKorvoView::OnFilePrint()
{
    if (RefusePrinting())
        return;
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer);
    const int pages = OnPreparePrinting();
    printer.setFromTo(1, pages);
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, pages);
    if (CModalSeam::Get().RunPrintDialog(dialog) == QDialog::Accepted)
        PrintTo(printer);
}

void CKorvoView::OnFilePrintPreview()
{
    if (RefusePrinting())
        return;
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { PrintTo(*p); });
    CModalSeam::Get().RunDialog(preview);
}

// ---------------------------------------------------------------------------
// Diagram commands

void CKorvoView::OnDiagramOptions()
{
    CKorvoDoc* doc = GetDocument();
    CDiagramOptionsDialog dialog(nullptr);
    dialog.m_nPagesAcross = unsigned(doc->m_nMaxPagesX);
    dialog.m_nPagesDown = unsigned(doc->m_nMaxPagesY);
    if (CModalSeam::Get().RunDialog(dialog) != QDialog::Accepted)
        return;
    const bool changed = int32_t(dialog.m_nPagesAcross) != doc->m_nMaxPagesX ||
                         int32_t(dialog.m_nPagesDown) != doc->m_nMaxPagesY;
    const CDiagramSettingsCommand::Settings before = CDiagramSettingsCommand::Of(*doc);
    doc->m_nMaxPagesX = int32_t(dialog.m_nPagesAcross);
    doc->m_nMaxPagesY = int32_t(dialog.m_nPagesDown);
    OnInitialUpdate();
    // Page counts are saved with the diagram: a change must not be lost on
    // close, and no other window of the diagram may keep the old canvas.
    if (changed) {
        m_pHost->PushStep(new CDiagramSettingsCommand(m_pHost, tr("Diagram Options"), before,
                                                      CDiagramSettingsCommand::Of(*doc)));
        emit m_pHost->DiagramSettingsChanged();
        DocumentEdited(true);
    }
    viewport()->update();
}

void CKorvoView::OnDiagramFont()
{
    CKorvoDoc* doc = GetDocument();
    // The record holds twentieths of a point; the dialog works in points.
    QFont font(QString::fromLatin1(doc->m_logFont.FaceName().c_str()));
    font.setPointSize(std::max(1, doc->m_logFont.lfHeight / 20));
    if (doc->m_logFont.lfWeight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp<int>(doc->m_logFont.lfWeight, 1, 1000)));
    font.setItalic(doc->m_logFont.lfItalic != 0);
    font.setUnderline(doc->m_logFont.lfUnderline != 0);
    font.setStrikeOut(doc->m_logFont.lfStrikeOut != 0);
    if (!CModalSeam::Get().ChooseFont(this, font))
        return;

    KorvoLogFont lf = doc->m_logFont;
    const int tenths = qRound(font.pointSizeF() * 10);
    lf.lfHeight = tenths * 2;
    // A record that left the weight to the default keeps doing so at normal weight.
    lf.lfWeight = font.weight() == QFont::Normal && lf.lfWeight == 0 ? 0 : int32_t(font.weight());
    lf.lfItalic = font.italic() ? 1 : 0;
    lf.lfUnderline = font.underline() ? 1 : 0;
    lf.lfStrikeOut = font.strikeOut() ? 1 : 0;
    lf.SetFaceName(font.family().toLatin1().toStdString());
    const bool changed = !(lf == doc->m_logFont);
    const CDiagramSettingsCommand::Settings before = CDiagramSettingsCommand::Of(*doc);
    std::vector<CSize> sizesBefore = CDiagramSettingsCommand::SizesOf(*doc);
    doc->m_logFont = lf;
    ResetFont();
    if (changed) {
        emit m_pHost->DiagramSettingsChanged();
        // Every table as the next paint measures it in the new font, so that
        // the step holds the sizes a save after redo writes.
        auto dc = PrepareDC();
        for (auto& table : doc->m_tables)
            table->Measure(*dc);
        dc.reset();
        ResetFont();
        m_pHost->PushStep(new CDiagramSettingsCommand(m_pHost, tr("Diagram Font"), before,
                                                      CDiagramSettingsCommand::Of(*doc), std::move(sizesBefore),
                                                      CDiagramSettingsCommand::SizesOf(*doc)));
        DocumentEdited(true);
    }
    viewport()->update();
}

void CKorvoView::OnExportImage()
{
    const QString path = CModalSeam::Get().GetSaveFileName(
        this, tr("Export Image"),
        QStringLiteral("PNG Images (*.png);;SVG Drawings (*.svg);;PDF Documents (*.pdf)"), QStringLiteral("png"));
    if (path.isEmpty())
        return;
    QString error;
    {
        const CWaitCursor wait;
        // The picture is made at actual size, whatever this window's zoom.
        error = CDiagramImage::Write(*GetDocument(), path, ScreenDpiX(), CDiagramImage::Format::Unknown,
                                     CAppState::Get().m_bShowColumnTypes);
    }
    // The picture measured the tables at its own resolution; the screen's
    // sizes come back with the repaint.
    viewport()->update();
    if (!error.isEmpty())
        KorvoMessageBox(this, error.left(1).toUpper() + error.mid(1), QMessageBox::Warning);
}

void CKorvoView::OnExportSQL()
{
    // Korvo's own script is the first filter and the one shown; the filter
    // chosen picks the dialect.
    QString filter;
    const QString path = CModalSeam::Get().GetSaveFileName(
        this, tr("Export SQL"), SqlExportFilters().join(QStringLiteral(";;")), QStringLiteral("sql"),
        CAppState::Get().StartFolder(CAppState::Folder::ExportSql), &filter);
    if (path.isEmpty())
        return;
    CAppState::Get().RememberFolder(CAppState::Folder::ExportSql, path);
    ExportSqlScript(path, SqlExportDialect(filter));
}

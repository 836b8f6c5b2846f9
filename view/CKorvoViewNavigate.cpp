// Finding one's way in a large diagram: zoom (menu steps, the wheel, fit to
// the tables) and finding a table by name.
#include "CKorvoView.h"

#include "CFindTableDialog.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "CModalSeam.h"

#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// The steps of Zoom In and Zoom Out, in percent.
constexpr int kZoomSteps[] = {10, 15, 20, 25, 33, 50, 67, 75, 100, 125, 150, 200, 300, 400};

// One notch of a mouse wheel.
constexpr int kWheelNotch = 120;

// Fit Diagram leaves a quarter inch around the tables.
constexpr int64_t kFitMargin = 360;

} // namespace

int CKorvoView::NextZoomStep(int zoom, int direction)
{
    if (direction > 0) {
        for (int step : kZoomSteps)
            if (step > zoom)
                return step;
        return kMaxZoom;
    }
    for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it)
        if (*it < zoom)
            return *it;
    return kMinZoom;
}

void CKorvoView::ZoomTo(int percent, QPoint anchor)
{
    percent = std::clamp(percent, kMinZoom, kMaxZoom);
    // A drag keeps its press point in pixels of the zoom it began at.
    if (percent == Zoom() || m_bDragging)
        return;
    // The canvas pixel under the anchor, at the new zoom, stays under it.
    const CPoint scroll = GetDeviceScrollPosition();
    const double ratio = double(percent) / double(Zoom());
    const double x = std::round((double(scroll.x) + anchor.x()) * ratio) - anchor.x();
    const double y = std::round((double(scroll.y) + anchor.y()) * ratio) - anchor.y();
    SetZoom(percent);
    ScrollToDevicePosition(CPoint{Saturate(std::max<int64_t>(0, int64_t(x))),
                                  Saturate(std::max<int64_t>(0, int64_t(y)))});
    UpdateBars();
    viewport()->update();
    emit CommandStateChanged();
}

void CKorvoView::OnZoomIn()
{
    ZoomTo(NextZoomStep(Zoom(), 1), viewport()->rect().center());
}

void CKorvoView::OnZoomOut()
{
    ZoomTo(NextZoomStep(Zoom(), -1), viewport()->rect().center());
}

void CKorvoView::OnZoomActualSize()
{
    ZoomTo(100, viewport()->rect().center());
}

void CKorvoView::CentreOn(CPoint logical)
{
    // Canvas pixels of the point at this zoom, less half the window.
    const int64_t scale = DeviceScale();
    const QSize client = viewport()->size();
    const int64_t x = int64_t(logical.x) * scale / (int64_t(kTwipsPerInch) * 100) - client.width() / 2;
    const int64_t y = -int64_t(logical.y) * scale / (int64_t(kTwipsPerInch) * 100) - client.height() / 2;
    ScrollToDevicePosition(CPoint{Saturate(std::max<int64_t>(0, x)), Saturate(std::max<int64_t>(0, y))});
    UpdateBars();
    viewport()->update();
}

void CKorvoView::OnZoomFit()
{
    CKorvoDoc* doc = GetDocument();
    if (doc->m_tables.empty()) {
        ZoomTo(100, QPoint(0, 0));
        ScrollToDevicePosition(CPoint{0, 0});
        UpdateBars();
        return;
    }
    auto dc = PrepareDC();
    int64_t left = INT64_MAX, top = INT64_MIN, right = INT64_MIN, bottom = INT64_MAX;
    for (auto& table : doc->m_tables) {
        table->Measure(*dc);
        left = std::min<int64_t>(left, table->m_x);
        top = std::max<int64_t>(top, table->m_y);
        right = std::max<int64_t>(right, int64_t(table->m_x) + table->m_cx);
        bottom = std::min<int64_t>(bottom, int64_t(table->m_y) - table->m_cy);
    }
    left -= kFitMargin;
    top += kFitMargin;
    right += kFitMargin;
    bottom -= kFitMargin;
    // The window scrolls over the canvas only. Tables past its right or
    // bottom edge show when the canvas is smaller than the window, from the
    // canvas's top-left corner on: then the fit starts there.
    if (right > m_rectCanvas.right || bottom < m_rectCanvas.bottom) {
        left = std::min<int64_t>(left, m_rectCanvas.left);
        top = std::max<int64_t>(top, m_rectCanvas.top);
    }

    // The room the window has with both bars shown, as it will when the
    // canvas outgrows it.
    const CSize bars = GetScrollBarSizes();
    const QSize full = maximumViewportSize();
    const int64_t width = std::max(1, full.width() - bars.cx);
    const int64_t height = std::max(1, full.height() - bars.cy);
    const int64_t dpi = ScreenDpiX();
    const int64_t fitX = width * kTwipsPerInch * 100 / ((right - left) * dpi);
    const int64_t fitY = height * kTwipsPerInch * 100 / ((top - bottom) * dpi);
    ZoomTo(int(std::clamp<int64_t>(std::min(fitX, fitY), kMinZoom, kMaxZoom)), viewport()->rect().center());
    CentreOn(CPoint{Saturate(left + (right - left) / 2), Saturate(bottom + (top - bottom) / 2)});
}

void CKorvoView::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        m_nWheelDelta = 0;
        CLogScrollView::wheelEvent(event);
        return;
    }
    event->accept();
    const int delta = event->angleDelta().y();
    // A turn the other way starts afresh.
    if ((delta > 0) != (m_nWheelDelta > 0))
        m_nWheelDelta = 0;
    m_nWheelDelta += delta;
    const QPoint anchor = event->position().toPoint();
    while (m_nWheelDelta >= kWheelNotch) {
        ZoomTo(NextZoomStep(Zoom(), 1), anchor);
        m_nWheelDelta -= kWheelNotch;
    }
    while (m_nWheelDelta <= -kWheelNotch) {
        ZoomTo(NextZoomStep(Zoom(), -1), anchor);
        m_nWheelDelta += kWheelNotch;
    }
}

void CKorvoView::OnEditFind()
{
    CFindTableDialog dialog(this, *GetDocument());
    if (CModalSeam::Get().RunDialog(dialog) != QDialog::Accepted || !dialog.ChosenTable())
        return;
    ShowTable(dialog.ChosenTable());
}

void CKorvoView::ShowTable(KorvoTableView* table)
{
    auto dc = PrepareDC();
    table->Measure(*dc);
    int64_t centreY = int64_t(table->m_y) - table->m_cy / 2;
    // A table taller than the window shows from its name down.
    const int64_t windowHeight = dc->DPtoLP(CSize{0, viewport()->height()}).cy;
    if (table->m_cy > windowHeight)
        centreY = int64_t(table->m_y) - windowHeight / 2;
    CentreOn(CPoint{Saturate(int64_t(table->m_x) + table->m_cx / 2), Saturate(centreY)});
    ClearSelection(true, true);
    table->m_bSelected = true;
    DocumentEdited(false);
}

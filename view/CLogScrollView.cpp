#include "CLogScrollView.h"

#include "CKorvoDC.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <climits>

CLogScrollView::CLogScrollView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnBarAction(Qt::Horizontal, action); });
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnBarAction(Qt::Vertical, action); });
}

CLogScrollView::~CLogScrollView() = default;

int CLogScrollView::ScreenDpiX() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    int dpi = screen ? qRound(screen->logicalDotsPerInchX()) : 96;
    return dpi > 0 ? dpi : 96;
}

namespace {

// Twips per inch times 100 percent: with DeviceScale, the mapping's ratio.
constexpr int64_t kScaleDenominator = int64_t(kTwipsPerInch) * 100;

} // namespace

int64_t CLogScrollView::DeviceScale() const
{
    return int64_t(ScreenDpiX()) * m_nZoom;
}

void CLogScrollView::SetZoom(int percent)
{
    m_nZoom = std::max(percent, 1);
    SetLogScrollSizes(m_totalLog);
}

void CLogScrollView::OnPrepareDC(CKorvoDC& dc)
{
    dc.SetClientRect(viewport()->rect());
    dc.SetZoom(m_nZoom);
}

void CLogScrollView::SetLogScrollSizes(CSize sizeTotal)
{
    // At actual size, x * dpi * 100 / 144000 truncates exactly as
    // x * dpi / 1440 does.
    const int64_t scale = DeviceScale();
    m_totalLog = sizeTotal;
    // Multiply before dividing; halve and divide by 100 on the logical values.
    m_totalDev = CSize{Saturate(int64_t(sizeTotal.cx) * scale / kScaleDenominator),
                       Saturate(int64_t(sizeTotal.cy) * scale / kScaleDenominator)};
    m_pageDev = CSize{Saturate(int64_t(sizeTotal.cx / 2) * scale / kScaleDenominator),
                      Saturate(int64_t(sizeTotal.cy / 2) * scale / kScaleDenominator)};
    m_lineDev = CSize{Saturate(int64_t(sizeTotal.cx / 100) * scale / kScaleDenominator),
                      Saturate(int64_t(sizeTotal.cy / 100) * scale / kScaleDenominator)};
    if (m_totalDev.cy < 0)
        m_totalDev.cy = -m_totalDev.cy;
    if (m_pageDev.cy < 0)
        m_pageDev.cy = -m_pageDev.cy;
    if (m_lineDev.cy < 0)
        m_lineDev.cy = -m_lineDev.cy;
    if (m_pageDev.cx == 0)
        m_pageDev.cx = m_totalDev.cx / 10;
    if (m_pageDev.cy == 0)
        m_pageDev.cy = m_totalDev.cy / 10;
    if (m_lineDev.cx == 0)
        m_lineDev.cx = m_pageDev.cx / 10;
    if (m_lineDev.cy == 0)
        m_lineDev.cy = m_pageDev.cy / 10;

    UpdateBars();
    viewport()->update();
}

CPoint CLogScrollView::GetDeviceScrollPosition() const
{
    return CPoint{horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

CPoint CLogScrollView::GetLogScrollPosition() const
{
    const int64_t scale = DeviceScale();
    CPoint pt = GetDeviceScrollPosition();
    return CPoint{Saturate(int64_t(pt.x) * kScaleDenominator / scale),
                  Saturate(int64_t(pt.y) * -kScaleDenominator / scale)};
}

void CLogScrollView::ScrollToDevicePosition(CPoint pt)
{
    // Widen the bar's range first when needed so the position is not cut by
    // a range that UpdateBars is about to set.
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    if (pt.x > h->maximum())
        h->setMaximum(pt.x);
    if (pt.y > v->maximum())
        v->setMaximum(pt.y);
    h->setValue(pt.x);
    v->setValue(pt.y);
}

CSize CLogScrollView::GetScrollBarSizes() const
{
    return CSize{verticalScrollBar()->sizeHint().width(), horizontalScrollBar()->sizeHint().height()};
}

bool CLogScrollView::GetTrueClientSize(CSize& size, CSize sizeSb) const
{
    // The viewport's size with the bars that are shown added back.
    QSize full = maximumViewportSize();
    if (verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
        full.rwidth() += sizeSb.cx;
    if (horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
        full.rheight() += sizeSb.cy;
    size = CSize{full.width(), full.height()};
    return size.cx > sizeSb.cx && size.cy > sizeSb.cy;
}

void CLogScrollView::GetScrollBarState(CSize sizeClient, CSize& needSb, CSize& sizeRange, CPoint& ptMove,
                                       bool insideClient) const
{
    CSize sizeSb = GetScrollBarSizes();
    sizeRange = CSize{m_totalDev.cx - sizeClient.cx, m_totalDev.cy - sizeClient.cy};
    ptMove = GetDeviceScrollPosition();

    bool needH = sizeRange.cx > 0;
    if (!needH)
        ptMove.x = 0;
    else if (insideClient)
        sizeRange.cy += sizeSb.cy;

    bool needV = sizeRange.cy > 0;
    if (!needV)
        ptMove.y = 0;
    else if (insideClient)
        sizeRange.cx += sizeSb.cx;

    if (needV && !needH && sizeRange.cx > 0) {
        needH = true;
        sizeRange.cy += sizeSb.cy;
    }

    if (sizeRange.cx > 0 && ptMove.x >= sizeRange.cx)
        ptMove.x = sizeRange.cx;
    if (sizeRange.cy > 0 && ptMove.y >= sizeRange.cy)
        ptMove.y = sizeRange.cy;

    needSb = CSize{needH ? 1 : 0, needV ? 1 : 0};
}

void CLogScrollView::UpdateBars()
{
    if (m_bInsideUpdate)
        return;
    m_bInsideUpdate = true;

    CSize sizeSb = GetScrollBarSizes();
    CSize sizeClient;
    if (!GetTrueClientSize(sizeClient, sizeSb)) {
        if (sizeClient.cx > 0 && sizeClient.cy > 0) {
            setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        }
        m_bInsideUpdate = false;
        return;
    }

    CSize needSb, sizeRange;
    CPoint ptMove;
    GetScrollBarState(sizeClient, needSb, sizeRange, ptMove, true);
    if (needSb.cx)
        sizeClient.cy -= sizeSb.cy;
    if (needSb.cy)
        sizeClient.cx -= sizeSb.cx;

    ScrollToDevicePosition(ptMove);

    // A shown bar spans 0 .. m_totalDev - 1 with a page of the client extent:
    // its last position shows the canvas's far edge at the client's edge.
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    setHorizontalScrollBarPolicy(needSb.cx ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(needSb.cy ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    h->setRange(0, needSb.cx ? std::max(0, m_totalDev.cx - sizeClient.cx) : 0);
    h->setPageStep(std::max(1, sizeClient.cx));
    h->setSingleStep(std::max(1, m_lineDev.cx));
    v->setRange(0, needSb.cy ? std::max(0, m_totalDev.cy - sizeClient.cy) : 0);
    v->setPageStep(std::max(1, sizeClient.cy));
    v->setSingleStep(std::max(1, m_lineDev.cy));
    h->setValue(ptMove.x);
    v->setValue(ptMove.y);

    m_bInsideUpdate = false;
}

int CLogScrollView::ScrollLimit(Qt::Orientation orientation) const
{
    const QScrollBar* bar = orientation == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
    return bar->maximum();
}

bool CLogScrollView::OnScroll(unsigned scrollCode, int pos, bool doScroll)
{
    CPoint pt = GetDeviceScrollPosition();
    const QSize client = viewport()->size();
    int x = pt.x;
    int y = pt.y;

    switch (scrollCode & 0xFF) {
    case SB_TOP: x = 0; break;
    case SB_BOTTOM: x = INT_MAX; break;
    case SB_LINEUP: x -= m_lineDev.cx; break;
    case SB_LINEDOWN: x += m_lineDev.cx; break;
    case SB_PAGEUP: x -= client.width() - m_lineDev.cx; break;
    case SB_PAGEDOWN: x += client.width() - m_lineDev.cx; break;
    case SB_THUMBTRACK: x = pos; break;
    default: break;
    }
    switch ((scrollCode >> 8) & 0xFF) {
    case SB_TOP: y = 0; break;
    case SB_BOTTOM: y = INT_MAX; break;
    case SB_LINEUP: y -= m_lineDev.cy; break;
    case SB_LINEDOWN: y += m_lineDev.cy; break;
    case SB_PAGEUP: y -= client.height() - m_lineDev.cy; break;
    case SB_PAGEDOWN: y += client.height() - m_lineDev.cy; break;
    case SB_THUMBTRACK: y = pos; break;
    default: break;
    }

    int64_t dx = int64_t(x) - pt.x;
    int64_t dy = int64_t(y) - pt.y;
    bool result = OnScrollBy(CSize{int32_t(std::clamp<int64_t>(dx, INT_MIN, INT_MAX)),
                                   int32_t(std::clamp<int64_t>(dy, INT_MIN, INT_MAX))},
                             doScroll);
    if (result && doScroll)
        viewport()->repaint();
    return result;
}

bool CLogScrollView::OnScrollBy(CSize sizeScroll, bool doScroll)
{
    int64_t dx = sizeScroll.cx;
    int64_t dy = sizeScroll.cy;
    if (verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff)
        dy = 0;
    if (horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff)
        dx = 0;

    CPoint pt = GetDeviceScrollPosition();
    int32_t x = int32_t(std::clamp<int64_t>(pt.x + dx, 0, ScrollLimit(Qt::Horizontal)));
    int32_t y = int32_t(std::clamp<int64_t>(pt.y + dy, 0, ScrollLimit(Qt::Vertical)));
    if (x == pt.x && y == pt.y)
        return false;
    if (!doScroll)
        return true;
    if (x != pt.x)
        horizontalScrollBar()->setValue(x);
    if (y != pt.y)
        verticalScrollBar()->setValue(y);
    return true;
}

void CLogScrollView::OnBarAction(Qt::Orientation orientation, int action)
{
    unsigned code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
    case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
    case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
    default: return; // thumb tracking follows the bar's own position

    }
    QScrollBar* bar = orientation == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
    // Undo the bar's own step; the view's rules decide the new position.
    bar->setSliderPosition(bar->value());
    if (orientation == Qt::Horizontal)
        OnScroll(code | (SB_NONE << 8), 0, true);
    else
        OnScroll(SB_NONE | (code << 8), 0, true);
}

void CLogScrollView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    CKorvoDC dc(&painter, ScreenDpiX(), false);
    OnPrepareDC(dc);
    OnDraw(dc);
}

void CLogScrollView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateBars();
}

void CLogScrollView::scrollContentsBy(int, int)
{
    viewport()->update();
}

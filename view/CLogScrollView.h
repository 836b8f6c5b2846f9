#pragma once

#include "Geometry.h"

#include <QAbstractScrollArea>

class CKorvoDC;

// Scrolls a canvas sized in twips (y up) with scroll bars in pixels. Nothing
// moves the drawing origin: derived views ask for the scroll position in
// logical units and subtract it from what they draw. One logical unit is
// 1440/dpiX of a pixel times 100/zoom, on both axes; at actual size (zoom
// 100) every conversion is exactly the unzoomed one.
class CLogScrollView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Scroll-bar codes, low byte horizontal, high byte vertical.
    enum ScrollCode : unsigned {
        SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4,
        SB_THUMBTRACK = 5, SB_TOP = 6, SB_BOTTOM = 7, SB_ENDSCROLL = 8, SB_NONE = 0xFF,
    };

    explicit CLogScrollView(QWidget* parent = nullptr);
    ~CLogScrollView() override;

    void SetLogScrollSizes(CSize sizeTotal);
    CPoint GetLogScrollPosition() const;
    CPoint GetDeviceScrollPosition() const;
    void ScrollToDevicePosition(CPoint pt);
    void UpdateBars();

    virtual bool OnScroll(unsigned scrollCode, int pos, bool doScroll = true);
    virtual bool OnScrollBy(CSize sizeScroll, bool doScroll = true);

    // The screen's horizontal logical pixels per inch, read afresh each time.
    int ScreenDpiX() const;
    // Percent of actual size.
    int Zoom() const { return m_nZoom; }
    // A surface for this window with the canvas mapping; derived views also
    // select their font (the view's preparation step).
    virtual void OnPrepareDC(CKorvoDC& dc);

    CSize m_totalLog;
    CSize m_totalDev;
    CSize m_pageDev;
    CSize m_lineDev;
    bool m_bCenter = false;
    bool m_bInsideUpdate = false;

protected:
    virtual void OnDraw(CKorvoDC& dc) = 0;

    // Sets the zoom and sizes the bars for it; the position is the caller's.
    void SetZoom(int percent);
    // Pixels per 144000 twips: dpiX times the zoom.
    int64_t DeviceScale() const;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

    // Bar thickness: vertical bar width, horizontal bar height.
    CSize GetScrollBarSizes() const;
    // The client size with no bar shown; false when it cannot hold the bars.
    bool GetTrueClientSize(CSize& size, CSize sizeSb) const;
    void GetScrollBarState(CSize sizeClient, CSize& needSb, CSize& sizeRange, CPoint& ptMove,
                           bool insideClient) const;

private:
    void OnBarAction(Qt::Orientation orientation, int action);
    int ScrollLimit(Qt::Orientation orientation) const;

    int m_nZoom = 100;
};

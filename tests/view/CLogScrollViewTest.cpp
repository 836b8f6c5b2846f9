// Scroll arithmetic: logical canvas sizes, pixel bars, steps and clamping.
#include "CKorvoDC.h"
#include "CLogScrollView.h"

#include <QApplication>
#include <QScrollBar>

#include <climits>

#include <gtest/gtest.h>

namespace {

class CanvasView : public CLogScrollView {
public:
    CanvasView()
    {
        setFrameShape(QFrame::NoFrame);
        show();
    }
    void OnDraw(CKorvoDC&) override {}
};

// Sizes the widget so that the viewport has the given size with both bars
// shown.
void SetViewportSize(CanvasView& view, int width, int height)
{
    const int vbar = view.verticalScrollBar()->sizeHint().width();
    const int hbar = view.horizontalScrollBar()->sizeHint().height();
    view.resize(width + vbar, height + hbar);
    QApplication::processEvents();
}

} // namespace

TEST(CLogScrollView, FivePageCanvasGivesPixelSizesAndHundredthLineSteps)
{
    CanvasView view;
    SetViewportSize(view, 400, 300);
    view.SetLogScrollSizes(CSize{54000, 75600});
    EXPECT_EQ((view.m_totalDev), (CSize{3600, 5040}));
    EXPECT_EQ((view.m_pageDev), (CSize{1800, 2520}));
    EXPECT_EQ((view.m_lineDev), (CSize{36, 50}));
    EXPECT_TRUE(view.horizontalScrollBar()->isVisible());
    EXPECT_TRUE(view.verticalScrollBar()->isVisible());
    EXPECT_EQ(view.viewport()->height(), 300);
}

TEST(CLogScrollView, CanvasSmallerThanTheWindowShowsNoBars)
{
    CanvasView view;
    SetViewportSize(view, 400, 300);
    view.SetLogScrollSizes(CSize{1500, 1500});
    EXPECT_FALSE(view.horizontalScrollBar()->isVisible());
    EXPECT_FALSE(view.verticalScrollBar()->isVisible());
    EXPECT_EQ((view.GetLogScrollPosition()), (CPoint{0, 0}));
    EXPECT_FALSE(view.OnScroll(CLogScrollView::SB_LINEDOWN | (CLogScrollView::SB_LINEDOWN << 8), 0));
}

TEST(CLogScrollView, DevicePositionConvertsToTwipsWithYUpward)
{
    CanvasView view;
    SetViewportSize(view, 400, 300);
    view.SetLogScrollSizes(CSize{54000, 75600});
    view.ScrollToDevicePosition(CPoint{10, 10});
    EXPECT_EQ((view.GetDeviceScrollPosition()), (CPoint{10, 10}));
    EXPECT_EQ((view.GetLogScrollPosition()), (CPoint{150, -150}));
}

TEST(CLogScrollView, StepsFollowTheScrollCodes)
{
    CanvasView view;
    SetViewportSize(view, 400, 300);
    view.SetLogScrollSizes(CSize{54000, 75600});
    const unsigned none = CLogScrollView::SB_NONE;
    auto vertical = [&](unsigned code) { return view.OnScroll(none | (code << 8), 0); };
    auto horizontal = [&](unsigned code) { return view.OnScroll(code | (none << 8), 0); };

    EXPECT_TRUE(vertical(CLogScrollView::SB_LINEDOWN));
    EXPECT_EQ(view.GetDeviceScrollPosition().y, 50);
    // A page keeps one line of the previous view: 300 - 50.
    EXPECT_TRUE(vertical(CLogScrollView::SB_PAGEDOWN));
    EXPECT_EQ(view.GetDeviceScrollPosition().y, 300);
    EXPECT_TRUE(vertical(CLogScrollView::SB_PAGEUP));
    EXPECT_TRUE(vertical(CLogScrollView::SB_LINEUP));
    EXPECT_EQ(view.GetDeviceScrollPosition().y, 0);
    EXPECT_FALSE(vertical(CLogScrollView::SB_LINEUP)) << "clamped at the top";

    // The bottom shows the canvas's bottom edge at the client's bottom edge.
    EXPECT_TRUE(vertical(CLogScrollView::SB_BOTTOM));
    EXPECT_EQ(view.GetDeviceScrollPosition().y, 5040 - 300);
    EXPECT_FALSE(vertical(CLogScrollView::SB_LINEDOWN));

    EXPECT_TRUE(horizontal(CLogScrollView::SB_PAGEDOWN));
    EXPECT_EQ(view.GetDeviceScrollPosition().x, 400 - 36);
    EXPECT_TRUE(horizontal(CLogScrollView::SB_TOP));
    EXPECT_EQ(view.GetDeviceScrollPosition().x, 0);
    EXPECT_TRUE(view.OnScroll(CLogScrollView::SB_THUMBTRACK | (none << 8), 123));
    EXPECT_EQ(view.GetDeviceScrollPosition().x, 123);

    // Without doScroll the position stays; the answer says it would move.
    EXPECT_TRUE(view.OnScrollBy(CSize{10, 0}, false));
    EXPECT_EQ(view.GetDeviceScrollPosition().x, 123);
}

TEST(CLogScrollView, ScrollBarButtonsUseTheViewsSteps)
{
    CanvasView view;
    SetViewportSize(view, 400, 300);
    view.SetLogScrollSizes(CSize{54000, 75600});
    view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(view.GetDeviceScrollPosition().y, 250);
    view.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(view.GetDeviceScrollPosition().x, 36);
}

TEST(CLogScrollView, GrowingTheWindowPastTheCanvasPullsThePositionBack)
{
    CanvasView view;
    SetViewportSize(view, 400, 300);
    view.SetLogScrollSizes(CSize{9000, 75600}); // 600 pixels wide
    view.OnScroll(CLogScrollView::SB_BOTTOM | (CLogScrollView::SB_NONE << 8), 0);
    EXPECT_EQ(view.GetDeviceScrollPosition().x, 200);
    SetViewportSize(view, 500, 300);
    EXPECT_EQ(view.GetDeviceScrollPosition().x, 100);
    SetViewportSize(view, 700, 300);
    EXPECT_FALSE(view.horizontalScrollBar()->isVisible());
    EXPECT_EQ(view.GetDeviceScrollPosition().x, 0);
}

TEST(CLogScrollView, AVerticalBarCanForceTheHorizontalOne)
{
    CanvasView view;
    SetViewportSize(view, 400, 300); // 400 + vbar wide with no bar shown
    const int vbar = view.verticalScrollBar()->sizeHint().width();
    ASSERT_GT(vbar, 1);
    struct Case {
        int canvasWidth; // pixels
        bool horizontal;
    };
    // A tall canvas needs the vertical bar; a canvas that fits the window's
    // full width but not what the vertical bar leaves of it then needs the
    // horizontal bar too, and the vertical range grows by that bar.
    const Case cases[] = {
        {400 + vbar / 2, true},
        {400 + vbar, true},
        {401, true},
        {400, false},
    };
    for (const Case& c : cases) {
        view.SetLogScrollSizes(CSize{c.canvasWidth * 15, 75600});
        EXPECT_TRUE(view.verticalScrollBar()->isVisible()) << c.canvasWidth;
        EXPECT_EQ(view.horizontalScrollBar()->isVisible(), c.horizontal) << c.canvasWidth;
        EXPECT_EQ(view.viewport()->width(), 400) << c.canvasWidth;
        EXPECT_EQ(view.verticalScrollBar()->maximum(), 5040 - view.viewport()->height()) << c.canvasWidth;
        EXPECT_EQ(view.viewport()->height(), c.horizontal ? 300 : 300 + view.horizontalScrollBar()->sizeHint().height())
            << c.canvasWidth;
        if (c.horizontal) {
            EXPECT_EQ(view.horizontalScrollBar()->maximum(), c.canvasWidth - 400) << c.canvasWidth;
        }
    }
}

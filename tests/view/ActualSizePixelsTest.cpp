// At actual size the diagram window paints exactly the pixels it painted
// before it could zoom: the example diagram and a generated one, scrolled,
// with selection marks and drag feedback, against hashes recorded from the
// window as it was then. The hashes hold for the fonts and Qt of the
// build image (fonts-liberation's Arial metrics, Qt's raster engine).
#include "ReferenceScenes.h"
#include "TestSeam.h"

#include <QScrollBar>

#include <gtest/gtest.h>

using namespace ReferenceScenes;

namespace {

struct Case {
    const char* diagram; // "example" or "grid"
    Scene scene;
    const char* hash;
};

void Press(CKorvoView& view, QPoint from, QPoint to)
{
    SendMouse(view, QEvent::MouseButtonPress, from);
    SendMouse(view, QEvent::MouseMove, to);
}

const Case kCases[] = {
    {"example", {"example at the origin", 800, 600, {0, 0}, nullptr},
     "1d3e0aaeb6f758b0ae910b674fd37425f9b9a82fec0da1cc6f4dec549b905b0e"},
    {"example", {"example, first table selected", 640, 480, {0, 0},
                 [](CKorvoView& view) { view.GetDocument()->m_tables[0]->m_bSelected = true; }},
     "c8192584cd9c11621d2b83dfabebd63154f5200f75cf99592445c5328515e3fb"},
    {"grid", {"grid at the origin", 800, 600, {0, 0}, nullptr},
     "4676daebee18cab166deb91d0e4aed9a6f5205e6bf3a26d142b2ff695a07acaa"},
    {"grid", {"grid scrolled", 800, 600, {300, 250}, nullptr},
     "96e45915a536835d51c054bd81a01872fc638c4c40b175817abe4876792c7403"},
    {"grid", {"grid scrolled far", 1000, 700, {1200, 900}, nullptr},
     "ef00a0751e1b4d007e64e85c212a75cc5d60c4da6b9e7971f69bb370289207b0"},
    {"grid", {"grid, rubber band", 800, 600, {0, 0},
              [](CKorvoView& view) { Press(view, QPoint(20, 500), QPoint(300, 330)); }},
     "167e29bc19d38bd8081830cb7a21649eb947a60ccab78cd4f2d7ad3befe563b5"},
    {"grid", {"grid, table drag", 800, 600, {0, 0},
              [](CKorvoView& view) { Press(view, QPoint(45, 45), QPoint(90, 140)); }},
     "4d624dc7f51934dc17a4916fefdf8db370095d8ac29c36265036b4dad6af4c61"},
};

// Paints the case's window; before it scrolls and takes the mouse, the
// window goes through the given zooms.
QByteArray PaintedHash(const Case& c, std::initializer_list<int> zooms)
{
    auto doc = std::make_unique<CKorvoDoc>();
    if (std::string(c.diagram) == "example")
        EXPECT_EQ(LoadDiagramFile(KORVO_EXAMPLE, *doc).status, LoadStatus::Loaded);
    else
        BuildGrid(*doc);
    CDocumentHost host(std::move(doc));
    CKorvoView view(&host);
    view.setFrameShape(QFrame::NoFrame);
    const int vbar = view.verticalScrollBar()->sizeHint().width();
    const int hbar = view.horizontalScrollBar()->sizeHint().height();
    view.resize(c.scene.width + vbar, c.scene.height + hbar);
    view.show();
    view.OnInitialUpdate();
    QApplication::processEvents();
    for (int zoom : zooms) {
        view.ZoomTo(zoom, QPoint(123, 45));
        view.viewport()->repaint();
    }
    view.ScrollToDevicePosition(c.scene.scroll);
    if (c.scene.interact)
        c.scene.interact(view);
    const QImage image = Grab(view);
    EXPECT_EQ(image.size(), QSize(c.scene.width, c.scene.height)) << c.scene.name;
    return Hash(image);
}

} // namespace

TEST(ActualSizePixels, MatchTheWindowBeforeZoom)
{
    TestSeam seam;
    for (const Case& c : kCases)
        EXPECT_EQ(PaintedHash(c, {}), QByteArray(c.hash)) << c.scene.name;
}

TEST(ActualSizePixels, ComeBackAfterZoomingInAndOut)
{
    TestSeam seam;
    for (const Case& c : kCases)
        EXPECT_EQ(PaintedHash(c, {200, 37, 10, 400, 100}), QByteArray(c.hash)) << c.scene.name;
}

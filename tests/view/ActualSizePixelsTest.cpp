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
     "a0e59a8cf64fab2ddb53733fd4caa8e185d7107710f5b05aeb8a8747be4d9cab"},
    {"grid", {"grid scrolled", 800, 600, {300, 250}, nullptr},
     "c0a66b5950f3b4efc578b616c6a7f01238a599612d0b2912ce56c1bd8407e28b"},
    {"grid", {"grid scrolled far", 1000, 700, {1200, 900}, nullptr},
     "ef00a0751e1b4d007e64e85c212a75cc5d60c4da6b9e7971f69bb370289207b0"},
    {"grid", {"grid, rubber band", 800, 600, {0, 0},
              [](CKorvoView& view) { Press(view, QPoint(20, 500), QPoint(300, 330)); }},
     "e3703fc4dfc18499350a018f96840449e8cb971dc0717daa2ef90ef3c2edbe2d"},
    {"grid", {"grid, table drag", 800, 600, {0, 0},
              [](CKorvoView& view) { Press(view, QPoint(45, 45), QPoint(90, 140)); }},
     "60e3b8f97286a0ec45a33aec634ff726f3781755b54f50a14fb2760e45f2ab7a"},
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

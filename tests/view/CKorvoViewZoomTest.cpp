// The diagram window zoomed: the same mouse, key and wheel events on the
// viewport as at actual size must land on the same tables, rows and
// relations, and move by what a pixel is worth at that zoom.
#include "CAppState.h"
#include "CDiagramRenderer.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoView.h"
#include "DiagramBuilder.h"
#include "TestSeam.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPrinter>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

class CKorvoViewZoomTest : public ::testing::Test {
protected:
    CKorvoViewZoomTest() : host(std::make_unique<CKorvoDoc>()), view(&host)
    {
        CAppState::Get() = CAppState();
        view.setFrameShape(QFrame::NoFrame);
        view.resize(800, 600);
        view.show();
        view.OnInitialUpdate();
        QApplication::processEvents();
    }
    ~CKorvoViewZoomTest() override { CAppState::Get() = CAppState(); }

    CKorvoDoc& doc() { return *host.GetDocument(); }

    void Mouse(QEvent::Type type, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons buttons =
            type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(Qt::LeftButton);
        QMouseEvent event(type, pos, view.viewport()->mapToGlobal(pos), button, buttons, mods);
        QApplication::sendEvent(view.viewport(), &event);
    }
    void Click(QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        Mouse(QEvent::MouseButtonPress, pos, mods);
        Mouse(QEvent::MouseButtonRelease, pos, mods);
    }
    void Drag(QPoint from, QPoint to)
    {
        Mouse(QEvent::MouseButtonPress, from);
        Mouse(QEvent::MouseMove, (from + to) / 2);
        Mouse(QEvent::MouseMove, to);
        Mouse(QEvent::MouseButtonRelease, to);
    }
    void Key(int key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }
    void Wheel(QPoint pos, int delta, Qt::KeyboardModifiers mods)
    {
        QWheelEvent event(pos, view.viewport()->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &event);
    }
    // The window's own measuring surface: its mapping, zoom and font.
    std::unique_ptr<CKorvoDC> Surface()
    {
        auto dc = std::make_unique<CKorvoDC>(nullptr, view.ScreenDpiX(), false);
        view.OnPrepareDC(*dc);
        return dc;
    }
    // Where a logical point shows in the viewport now.
    QPoint Device(CPoint logical)
    {
        const CPoint p = Surface()->LPtoDP(logical - view.GetLogScrollPosition());
        return QPoint(p.x, p.y);
    }
    QPoint RowPoint(KorvoTableView* table, int column)
    {
        auto dc = Surface();
        const int32_t y = table->GetColumnRowY(*dc, table->m_def.m_columns[column].get());
        return Device(CPoint{table->m_x + table->m_cx / 2, y});
    }
    void Measure()
    {
        auto dc = Surface();
        for (auto& table : doc().m_tables)
            table->Measure(*dc);
    }
    QImage Paint()
    {
        QImage image(view.viewport()->size(), QImage::Format_RGB32);
        view.viewport()->render(&image);
        return image;
    }

    TestSeam seam;
    CDocumentHost host;
    CKorvoView view;
};

// The zooms the interaction cases run at: text at 50% and 200%, boxes and
// lines at 37% and 10%.
const int kZooms[] = {50, 200, 37, 10, 100, 400};

} // namespace

TEST_F(CKorvoViewZoomTest, ZoomStepsAndLimits)
{
    const struct {
        int zoom, direction, next;
    } steps[] = {
        {100, 1, 125}, {100, -1, 75}, {37, 1, 50}, {37, -1, 33}, {10, -1, 10},
        {400, 1, 400}, {300, 1, 400}, {15, -1, 10}, {399, 1, 400}, {11, -1, 10},
    };
    for (const auto& s : steps)
        EXPECT_EQ(CKorvoView::NextZoomStep(s.zoom, s.direction), s.next) << s.zoom << " " << s.direction;

    view.ZoomTo(1000, QPoint());
    EXPECT_EQ(view.Zoom(), 400);
    view.OnZoomIn();
    EXPECT_EQ(view.Zoom(), 400);
    view.ZoomTo(1, QPoint());
    EXPECT_EQ(view.Zoom(), 10);
    view.OnZoomOut();
    EXPECT_EQ(view.Zoom(), 10);
    view.OnZoomActualSize();
    EXPECT_EQ(view.Zoom(), 100);
}

TEST_F(CKorvoViewZoomTest, CanvasAndScrollPositionScaleWithTheZoom)
{
    // Five pages of 10800 x 15120 twips: 3600 x 5040 pixels at actual size.
    const struct {
        int zoom;
        CSize total, line;
    } cases[] = {
        {100, {3600, 5040}, {36, 50}},
        {200, {7200, 10080}, {72, 100}},
        {50, {1800, 2520}, {18, 25}},
        {37, {1332, 1864}, {13, 18}},
        {10, {360, 504}, {3, 5}},
    };
    for (const auto& c : cases) {
        view.ZoomTo(c.zoom, QPoint());
        EXPECT_EQ(view.m_totalDev, c.total) << c.zoom;
        EXPECT_EQ(view.m_lineDev, c.line) << c.zoom;
        view.ScrollToDevicePosition(CPoint{20, 30});
        // Twips of 20 and 30 pixels: 1440 x 100 / (96 x zoom) each.
        EXPECT_EQ(view.GetLogScrollPosition(), (CPoint{20 * 144000 / (96 * c.zoom), -30 * 144000 / (96 * c.zoom)}))
            << c.zoom;
        view.ScrollToDevicePosition(CPoint{0, 0});
    }
}

TEST_F(CKorvoViewZoomTest, TheTableToolPlacesAtTheClickedTwips)
{
    for (int zoom : kZooms) {
        view.ZoomTo(zoom, QPoint());
        view.ScrollToDevicePosition(CPoint{20, 30});
        const CPoint scroll = view.GetLogScrollPosition();
        CAppState::Get().m_nCurrentTool = ToolTable;
        Click(QPoint(100, 50));
        const KorvoTableView* placed = doc().m_tables.back().get();
        // Rounded to the nearest twip: 1440 x 100 / (96 x zoom) per pixel.
        EXPECT_EQ(placed->m_x, scroll.x + int32_t(std::lround(100 * 1500.0 / zoom))) << zoom;
        EXPECT_EQ(placed->m_y, scroll.y - int32_t(std::lround(50 * 1500.0 / zoom))) << zoom;
        view.ScrollToDevicePosition(CPoint{0, 0});
    }
}

TEST_F(CKorvoViewZoomTest, ClicksHitTablesInsideTheirFrameAtEveryZoom)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x", "y"});
    KorvoTableView* b = AddTable(doc(), "b", 9000, -1500, {"x"});
    for (int zoom : kZooms) {
        view.ZoomTo(zoom, QPoint());
        Measure();
        const QPoint topLeft = Device(CPoint{a->m_x, a->m_y});
        Click(topLeft + QPoint(1, 1));
        EXPECT_TRUE(a->m_bSelected) << zoom;
        EXPECT_FALSE(b->m_bSelected) << zoom;
        Click(topLeft);
        EXPECT_FALSE(a->m_bSelected) << "the frame misses at " << zoom;
        const QPoint inB = Device(CPoint{b->m_x + b->m_cx / 2, b->m_y - b->m_cy / 2});
        Click(inB, Qt::ShiftModifier);
        EXPECT_TRUE(b->m_bSelected) << zoom;
        Click(QPoint(1, 400));
        EXPECT_FALSE(b->m_bSelected) << zoom;
    }
}

TEST_F(CKorvoViewZoomTest, DragsMoveByThePixelsWorthInTwips)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    for (int zoom : kZooms) {
        view.ZoomTo(zoom, QPoint());
        Measure();
        const CPoint before{a->m_x, a->m_y};
        const QPoint inside = Device(CPoint{a->m_x, a->m_y}) + QPoint(2, 2);
        Drag(inside, inside + QPoint(10, -7));
        EXPECT_EQ(a->m_x, before.x + int32_t(std::lround(10 * 1500.0 / zoom))) << zoom;
        EXPECT_EQ(a->m_y, before.y + int32_t(std::lround(7 * 1500.0 / zoom))) << zoom;
        EXPECT_TRUE(a->m_bSelected);
    }
}

TEST_F(CKorvoViewZoomTest, ArrowKeysMoveOnePixelOfTheZoom)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500);
    a->m_bSelected = true;
    for (int zoom : kZooms) {
        view.ZoomTo(zoom, QPoint());
        const CPoint before{a->m_x, a->m_y};
        Key(Qt::Key_Right);
        Key(Qt::Key_Up);
        const int32_t pixel = int32_t(std::lround(1500.0 / zoom));
        EXPECT_EQ(a->m_x, before.x + pixel) << zoom;
        EXPECT_EQ(a->m_y, before.y + pixel) << zoom;
    }
}

TEST_F(CKorvoViewZoomTest, RubberBandSelectsWhatLiesStrictlyInsideOnScreen)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    KorvoTableView* b = AddTable(doc(), "b", 9000, -1500, {"x"});
    CRelation* r = Relate(doc(), a, 0, b, 0);
    for (int zoom : kZooms) {
        view.ZoomTo(zoom, QPoint());
        Measure();
        const QPoint tl = Device(CPoint{a->m_x, a->m_y});
        const QPoint br = Device(CPoint{a->m_x + a->m_cx, a->m_y - a->m_cy});
        Drag(tl - QPoint(1, 1), br + QPoint(1, 1));
        EXPECT_TRUE(a->m_bSelected) << zoom;
        EXPECT_FALSE(b->m_bSelected) << zoom;
        Drag(tl - QPoint(1, 1), br);
        EXPECT_FALSE(a->m_bSelected) << "a band on the frame, at " << zoom;

        auto dc = Surface();
        const std::vector<CPoint> route = view.GetRelationRoute(*dc, *r);
        const QPoint p0 = Device(route.front()), p3 = Device(route.back());
        Drag(QPoint(p0.x(), p0.y() - 2), QPoint(p3.x(), p3.y() + 2));
        EXPECT_TRUE(r->m_bSelected) << zoom;
    }
}

TEST_F(CKorvoViewZoomTest, RelationsAreHitWithinFivePixelsAtEveryZoom)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    KorvoTableView* b = AddTable(doc(), "b", 15000, -1500, {"x"});
    CRelation* r = Relate(doc(), a, 0, b, 0);
    for (int zoom : {50, 200, 37, 100}) {
        view.ZoomTo(zoom, QPoint());
        Measure();
        auto dc = Surface();
        const std::vector<CPoint> route = view.GetRelationRoute(*dc, *r);
        // The middle of the source stub, which runs level.
        const QPoint stub = Device(CPoint{(route[0].x + route[1].x) / 2, route[0].y});
        Click(stub + QPoint(0, 5));
        EXPECT_TRUE(r->m_bSelected) << zoom;
        Click(stub + QPoint(0, 6));
        EXPECT_FALSE(r->m_bSelected) << zoom;
    }
}

TEST_F(CKorvoViewZoomTest, RelationToolLinksTheRowsUnderThePointer)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x", "y", "z"});
    KorvoTableView* b = AddTable(doc(), "b", 9000, -1500, {"id", "other"});
    for (int zoom : {50, 200, 44, 400}) {
        doc().m_relations.clear();
        view.ZoomTo(zoom, QPoint());
        Measure();
        CAppState::Get().m_nCurrentTool = ToolRelation;
        Drag(RowPoint(a, 2), RowPoint(b, 1));
        ASSERT_EQ(doc().m_relations.size(), 1u) << zoom;
        EXPECT_EQ(doc().m_relations[0]->m_sourceColumns[0], a->m_def.m_columns[2].get()) << zoom;
        EXPECT_EQ(doc().m_relations[0]->m_destColumns[0], b->m_def.m_columns[1].get()) << zoom;
    }
}

TEST_F(CKorvoViewZoomTest, AutoScrollStepsByTheZoomedLine)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    for (int zoom : {200, 37}) {
        view.ZoomTo(zoom, QPoint());
        Measure();
        view.ScrollToDevicePosition(CPoint{0, 0});
        CAppState::Get().m_nCurrentTool = ToolRelation;
        const QPoint start = RowPoint(a, 0);
        Mouse(QEvent::MouseButtonPress, start);
        Mouse(QEvent::MouseMove, QPoint(view.viewport()->width() + 1, start.y()));
        view.OnTimer();
        EXPECT_EQ(view.GetDeviceScrollPosition().x, view.m_lineDev.cx) << zoom;
        EXPECT_EQ(view.m_ptStart.x, start.x() - view.m_lineDev.cx) << zoom;
        Mouse(QEvent::MouseButtonRelease, QPoint(10, 10));
    }
}

TEST_F(CKorvoViewZoomTest, CtrlWheelZoomsAroundThePointerAndThePlainWheelScrolls)
{
    AddTable(doc(), "a", 1500, -1500, {"x"});
    view.ScrollToDevicePosition(CPoint{40, 60});
    const QPoint pointer(300, 200);
    auto canvasUnder = [&] { return Surface()->DPtoLP(CPoint{pointer.x(), pointer.y()}) + view.GetLogScrollPosition(); };
    const CPoint before = canvasUnder();

    Wheel(pointer, 120, Qt::ControlModifier);
    EXPECT_EQ(view.Zoom(), 125);
    // The twip under the pointer stays under it, to within a pixel's worth.
    CPoint after = canvasUnder();
    EXPECT_LE(std::abs(after.x - before.x), 12);
    EXPECT_LE(std::abs(after.y - before.y), 12);

    Wheel(pointer, 60, Qt::ControlModifier);
    EXPECT_EQ(view.Zoom(), 125) << "half a notch waits for the other half";
    Wheel(pointer, 60, Qt::ControlModifier);
    EXPECT_EQ(view.Zoom(), 150);
    Wheel(pointer, -240, Qt::ControlModifier);
    EXPECT_EQ(view.Zoom(), 100);
    after = canvasUnder();
    EXPECT_LE(std::abs(after.x - before.x), 15);
    EXPECT_LE(std::abs(after.y - before.y), 15);

    const CPoint scroll = view.GetDeviceScrollPosition();
    Wheel(pointer, -120, Qt::NoModifier);
    EXPECT_EQ(view.Zoom(), 100);
    EXPECT_GT(view.GetDeviceScrollPosition().y, scroll.y) << "the plain wheel scrolls down";

    // Out to the smallest zoom and no further; the canvas then fits.
    for (int i = 0; i < 20; ++i)
        Wheel(pointer, -120, Qt::ControlModifier);
    EXPECT_EQ(view.Zoom(), 10);
    EXPECT_EQ(view.GetDeviceScrollPosition(), (CPoint{0, 0}));
}

TEST_F(CKorvoViewZoomTest, NoZoomWhileTheButtonIsDown)
{
    KorvoTableView* a = AddTable(doc(), "a", 1500, -1500, {"x"});
    Measure();
    Mouse(QEvent::MouseButtonPress, Device(CPoint{a->m_x, a->m_y}) + QPoint(3, 3));
    Wheel(QPoint(10, 10), 120, Qt::ControlModifier);
    view.OnZoomIn();
    EXPECT_EQ(view.Zoom(), 100) << "the press point is in pixels of this zoom";
    Mouse(QEvent::MouseButtonRelease, Device(CPoint{a->m_x, a->m_y}) + QPoint(3, 3));
    view.OnZoomIn();
    EXPECT_EQ(view.Zoom(), 125);
}

TEST_F(CKorvoViewZoomTest, FitDiagramShowsEveryTableCentred)
{
    view.OnZoomFit();
    EXPECT_EQ(view.Zoom(), 100) << "nothing to fit";

    // Inside the canvas of 5 x 5 pages (54000 x 75600 twips).
    AddTable(doc(), "first", 20000, -20000, {"a", "b"});
    AddTable(doc(), "far", 45000, -70000, {"c"});
    AddTable(doc(), "middle", 30000, -40000, {"d"});
    auto allInView = [&] {
        Measure();
        const QRect client = view.viewport()->rect();
        QRect all;
        for (const auto& t : doc().m_tables) {
            const QRect box(Device(CPoint{t->m_x, t->m_y}), Device(CPoint{t->m_x + t->m_cx, t->m_y - t->m_cy}));
            EXPECT_TRUE(client.contains(box)) << t->m_def.m_strName << " at " << view.Zoom();
            all |= box;
        }
        return all;
    };
    view.OnZoomFit();
    EXPECT_LT(view.Zoom(), 100);
    EXPECT_GE(view.Zoom(), 10);
    const QRect all = allInView();
    // Centred down the window (the tall way): the space above and below
    // differs by a few pixels.
    EXPECT_LE(std::abs(all.top() - (view.viewport()->height() - all.bottom())), 4);

    // A table beyond the canvas shows once the canvas is smaller than the
    // window.
    AddTable(doc(), "beyond", 90000, -60000, {"e"});
    view.OnZoomFit();
    allInView();

    // One small table: the largest zoom there is.
    doc().m_tables.clear();
    AddTable(doc(), "alone", 15000, -15000, {"x"});
    view.OnZoomFit();
    EXPECT_EQ(view.Zoom(), 400);
}

TEST_F(CKorvoViewZoomTest, TextGivesWayToBoxesWhenALineIsUnderSevenPixels)
{
    // The default 12-point font is 240 twips a line: 16 pixels at actual
    // size, 7.04 at 44% and 6.88 at 43%.
    const struct {
        int zoom;
        bool text;
    } cases[] = {{100, true}, {50, true}, {44, true}, {43, false}, {37, false}, {10, false}, {400, true}};
    for (const auto& c : cases) {
        view.ZoomTo(c.zoom, QPoint());
        EXPECT_EQ(CDiagramRenderer::ShowsText(*Surface()), c.text) << c.zoom;
    }
    CKorvoDC paper(nullptr, 600, true);
    paper.SetZoom(10);
    EXPECT_TRUE(CDiagramRenderer::ShowsText(paper)) << "paper always shows text";
}

TEST_F(CKorvoViewZoomTest, BoxesAndMarksAtLowZoom)
{
    // A wide table whose name would fill its box with black text.
    KorvoTableView* a = AddTable(doc(), std::string(30, 'W'), 15000, -15000, {"x", "y"});
    a->m_bSelected = true;
    for (int zoom : {37, 10}) {
        view.ZoomTo(zoom, QPoint());
        const QImage image = Paint();
        Measure();
        const QPoint tl = Device(CPoint{a->m_x, a->m_y});
        const QPoint br = Device(CPoint{a->m_x + a->m_cx, a->m_y - a->m_cy});
        int black = 0;
        for (int x = tl.x() + 4; x < br.x() - 4; ++x)
            for (int y = tl.y() + 4; y < br.y() - 4; ++y)
                black += image.pixelColor(x, y) != QColor(Qt::white);
        EXPECT_EQ(black, 0) << "no text inside the box at " << zoom;
        EXPECT_EQ(image.pixelColor((tl.x() + br.x()) / 2, tl.y()), QColor(Qt::black)) << "the frame, at " << zoom;
        // The corner marks keep their six pixels: inverted white beside the
        // corner, outside the box.
        EXPECT_EQ(image.pixelColor(tl.x() - 2, tl.y() - 2), QColor(Qt::black)) << zoom;
        EXPECT_EQ(image.pixelColor(br.x() + 2, br.y() + 2), QColor(Qt::black)) << zoom;
    }
    view.ZoomTo(50, QPoint());
    const QImage text = Paint();
    const QPoint tl = Device(CPoint{a->m_x, a->m_y});
    int dark = 0;
    for (int x = tl.x() + 4; x < tl.x() + 60; ++x)
        for (int y = tl.y() + 2; y < tl.y() + 8; ++y)
            dark += text.pixelColor(x, y) != QColor(Qt::white);
    EXPECT_GT(dark, 0) << "the name is drawn at 50%";
}

TEST_F(CKorvoViewZoomTest, ZoomLeavesTableSizesAsAtActualSize)
{
    KorvoTableView* a = AddTable(doc(), "a_table_with_a_long_name", 1500, -1500, {"x", "column_two"});
    Measure();
    const CSize actual{a->m_cx, a->m_cy};
    for (int zoom : kZooms) {
        view.ZoomTo(zoom, QPoint());
        view.viewport()->repaint();
        EXPECT_EQ((CSize{a->m_cx, a->m_cy}), actual) << zoom;
    }
}

TEST_F(CKorvoViewZoomTest, PrintingAndPicturesIgnoreTheZoom)
{
    AddTable(doc(), "customer", 1500, -1500, {"id", "name"}, 1);
    AddTable(doc(), "orders", 9000, -3000, {"id", "customer_id"}, 1);
    Relate(doc(), doc().m_tables[1].get(), 1, doc().m_tables[0].get(), 0);
    QTemporaryDir dir;
    auto exportAndPrint = [&](const QString& name) {
        seam.saveFileName = dir.filePath(name + QStringLiteral(".png"));
        view.OnExportImage();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(name + QStringLiteral(".pdf")));
        view.SetUpPrinter(printer);
        EXPECT_TRUE(view.PrintTo(printer));
        // The printed page as pixels: PDF files differ in their dates.
        QProcess raster;
        raster.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-png"),
                                                  dir.filePath(name + QStringLiteral(".pdf")),
                                                  dir.filePath(name + QStringLiteral("-page"))});
        EXPECT_TRUE(raster.waitForFinished(60000)) << "pdftoppm (poppler-utils) must be installed";
        EXPECT_EQ(raster.exitCode(), 0);
    };
    auto bytes = [&](const QString& file) {
        QFile f(dir.filePath(file));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
        return f.readAll();
    };
    view.viewport()->repaint();
    exportAndPrint(QStringLiteral("actual"));
    view.ZoomTo(250, QPoint(100, 100));
    view.viewport()->repaint();
    exportAndPrint(QStringLiteral("zoomed"));
    view.ZoomTo(10, QPoint(100, 100));
    view.viewport()->repaint();
    exportAndPrint(QStringLiteral("small"));
    const QByteArray png = bytes(QStringLiteral("actual.png"));
    const QByteArray page = bytes(QStringLiteral("actual-page-1.png"));
    ASSERT_FALSE(png.isEmpty());
    ASSERT_FALSE(page.isEmpty());
    for (const QString& other : {QStringLiteral("zoomed"), QStringLiteral("small")}) {
        EXPECT_EQ(bytes(other + QStringLiteral(".png")), png) << other.toStdString();
        EXPECT_EQ(bytes(other + QStringLiteral("-page-1.png")), page) << other.toStdString();
    }
}

// Geometry of the drawing, checked on pixels: at 96 dpi one pixel is 15
// logical units, so every band and dot lands on a known pixel.
#include "CDiagramRenderer.h"
#include "CKorvoDC.h"
#include "DiagramBuilder.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>

#include <climits>
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

constexpr int kDpi = 96;

bool IsBlack(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y) == QColor(Qt::black);
}

bool IsWhite(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y) == QColor(Qt::white);
}

// Paints the tables and relations of doc at origin into a white image.
QImage Render(CKorvoDoc& doc, CPoint origin = {0, 0}, QSize size = QSize(600, 400), bool printing = false)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    CKorvoDC dc(&painter, kDpi, printing);
    dc.SetClientRect(image.rect());
    dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, kDpi));
    CDiagramRenderer renderer;
    renderer.DrawTablesAndRelations(dc, doc, origin);
    return image;
}

// A paint device that keeps what is drawn on it instead of pixels: every
// text, and the largest number of rectangles a clip region held.
class RecordingEngine : public QPaintEngine {
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & QPaintEngine::DirtyClipRegion)
            largestClip = std::max(largestClip, state.clipRegion().rectCount());
        if (state.state() & QPaintEngine::DirtyClipPath)
            largestClip = std::max(largestClip, int(state.clipPath().elementCount() / 5)); // a rectangle is 5
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPath(const QPainterPath&) override {}
    void drawTextItem(const QPointF&, const QTextItem& item) override { texts.insert(item.text().toStdString()); }
    Type type() const override { return QPaintEngine::User; }

    std::set<std::string> texts;
    int largestClip = 0;
};

class RecordingDevice : public QPaintDevice {
public:
    QPaintEngine* paintEngine() const override { return &engine; }
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return 10800 * 300 / 1440; // one page area at 300 dpi
        case PdmHeight: return 15120 * 300 / 1440;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 300;
        case PdmDepth: return 32;
        case PdmNumColors: return INT_MAX;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
        default: return 0;
        }
    }
    mutable RecordingEngine engine;
};

// The texts that printing page `page` of doc draws.
std::set<std::string> PrintedTexts(CKorvoDoc& doc, int page, int* largestClip = nullptr)
{
    RecordingDevice device;
    QPainter painter(&device);
    CKorvoDC dc(&painter, 300, true);
    dc.SetClientRect(QRect(0, 0, device.width(), device.height()));
    dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, 300));
    for (auto& table : doc.m_tables)
        table->Measure(dc);
    CDiagramRenderer().PrintPage(dc, doc, page, 10800, 15120);
    painter.end();
    if (largestClip)
        *largestClip = device.engine.largestClip;
    return device.engine.texts;
}

} // namespace

TEST(CDiagramRenderer, EachPrintedPageDrawsOnlyWhatMeetsItUnderOneFixedClip)
{
    // Two pages across and two down (10800 x 15120 each); one table inside
    // every page, one across the line between pages 1 and 2, and a crowd on
    // page 4 that must not make the clip of any page grow.
    CKorvoDoc doc;
    AddTable(doc, "p1", 1000, -1000, {"a1"});
    AddTable(doc, "p2", 12000, -1000, {"a2"});
    AddTable(doc, "p3", 1000, -16000, {"a3"});
    AddTable(doc, "straddle", 10000, -5000, {"s"});
    for (int i = 0; i < 40; ++i)
        AddTable(doc, "crowd" + std::to_string(i), 12000 + (i % 8) * 1000, -16000 - (i / 8) * 1000);
    Relate(doc, doc.m_tables[0].get(), 0, doc.m_tables[3].get(), 0); // p1 -> straddle, pages 1 and 2

    using Texts = std::set<std::string>;
    const Texts page1{"p1", "a1", "straddle", "s"};
    const Texts page2{"p2", "a2", "straddle", "s"};
    const Texts page3{"p3", "a3"};
    int clip = 0;
    EXPECT_EQ(PrintedTexts(doc, 1, &clip), page1);
    EXPECT_EQ(clip, 1) << "the page rectangle alone";
    EXPECT_EQ(PrintedTexts(doc, 2), page2);
    EXPECT_EQ(PrintedTexts(doc, 3), page3);
    const Texts page4 = PrintedTexts(doc, 4, &clip);
    EXPECT_EQ(page4.size(), 40u);
    EXPECT_TRUE(page4.count("crowd39"));
    EXPECT_EQ(clip, 1) << "forty tables on the page, still one clip rectangle";
}

TEST(CDiagramRenderer, PaperShowsEarlierTablesOverLaterOnesAsTheScreenDoes)
{
    CKorvoDoc doc;
    AddTable(doc, "top", 1500, -1500, {"a"});
    AddTable(doc, "underneath", 1800, -1650, {"a"});
    KorvoTableView* left = AddTable(doc, "left", 0, -3000, {"x"});
    AddTable(doc, "blocker", 4500, -2700, {"p", "q", "r"});
    KorvoTableView* right = AddTable(doc, "right", 7500, -3000, {"x"});
    Relate(doc, left, 0, right, 0);
    const QImage screen = Render(doc);
    const QImage paper = Render(doc, {0, 0}, QSize(600, 400), true);
    EXPECT_EQ(screen, paper) << "no selection, so screen and paper agree pixel for pixel";
}

TEST(CKorvoDC, MakeFontTakesTheLargestSizeWhoseLineFitsTheCellHeight)
{
    // A positive height is the cell: ascent plus descent at most that many
    // pixels, and one pixel more would not fit. A negative one is the em size.
    for (int dpi : {96, 300, 1200}) {
        for (int32_t height : {120, 240, 241, 300, 1000, 4000, 65535}) {
            KorvoLogFont lf;
            lf.lfHeight = height;
            const QFont font = CKorvoDC::MakeFont(lf, dpi);
            const int cell = int((int64_t(std::min(height, CKorvoDC::kMaxFontHeight)) * dpi + 720) / 1440);
            QFont bigger(font);
            bigger.setPixelSize(font.pixelSize() + 1);
            EXPECT_LE(QFontMetrics(font).height(), cell) << height << " at " << dpi;
            EXPECT_GT(QFontMetrics(bigger).height(), cell) << height << " at " << dpi;
        }
    }
    KorvoLogFont em;
    em.lfHeight = -300;
    EXPECT_EQ(CKorvoDC::MakeFont(em, 96).pixelSize(), 20);
    // The end of the range in either direction makes a font of the largest
    // height, not an overflow.
    em.lfHeight = INT_MIN;
    EXPECT_EQ(CKorvoDC::MakeFont(em, 1440).pixelSize(), CKorvoDC::kMaxFontHeight);
    em.lfHeight = INT_MAX;
    EXPECT_LE(CKorvoDC::MakeFont(em, 1440).pixelSize(), CKorvoDC::kMaxFontHeight);
}

TEST(CDiagramRenderer, TablesAtTheEndsOfTheCoordinateRangeNeitherOverflowNorShow)
{
    CKorvoDoc doc;
    KorvoTableView* high = AddTable(doc, "high", INT_MAX - 100, INT_MAX, {"a"});
    KorvoTableView* low = AddTable(doc, "low", INT_MIN, INT_MIN + 50, {"b"});
    Relate(doc, high, 0, low, 0);
    Relate(doc, low, 0, high, 0);
    CKorvoDoc empty;
    EXPECT_EQ(Render(doc), Render(empty)) << "nothing that far out is drawn";
    // Paper draws every line that crosses it: the relations between the two
    // corners of the range do, the tables do not.
    const QImage paper = Render(doc, {0, 0}, QSize(600, 400), true);
    EXPECT_TRUE(IsWhite(paper, 5, 390)) << "no table box";

    // The extent stops at the end of the range; pages are counted in 64 bits.
    EXPECT_EQ(CDiagramRenderer::GetDiagramExtent(doc).cx, INT_MAX);
    EXPECT_EQ(CDiagramRenderer::PageCount(doc, 10800, 15120),
              (int64_t(INT_MAX) / 10800 + 1) * (int64_t(INT_MAX) / 15120 + 1));

    // A click anywhere near the origin hits neither table nor relation.
    CKorvoDC dc(nullptr, kDpi, false);
    dc.SetClientRect(QRect(0, 0, 600, 400));
    dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, kDpi));
    CDiagramRenderer renderer;
    for (const CPoint p : {CPoint{10, 10}, CPoint{300, 200}, CPoint{599, 399}}) {
        EXPECT_FALSE(high->HitTest(dc, p, CPoint{0, 0}));
        EXPECT_FALSE(low->HitTest(dc, p, CPoint{0, 0}));
        EXPECT_FALSE(renderer.RelationHitTest(dc, *doc.m_relations[0], p, CPoint{0, 0}));
        EXPECT_FALSE(renderer.RelationHitTest(dc, *doc.m_relations[1], p, CPoint{100000, -100000}));
    }
    EXPECT_EQ(renderer.GetRelationRoute(dc, *doc.m_relations[1]).back().x, INT_MAX - 100);
}

TEST(CKorvoDC, DiagramFontMeasuresTwelvePointArialAsOneSixteenPixelLine)
{
    CKorvoDC dc(nullptr, kDpi, false);
    dc.SelectFont(CKorvoDC::MakeFont(KorvoLogFont(), kDpi));
    EXPECT_EQ(dc.GetLineHeight(), 240);
    EXPECT_EQ(dc.GetTextWidth("table1") % 15, 0) << "extents are whole pixels";
    EXPECT_EQ((dc.LPtoDP(CPoint{150, -150})), (CPoint{10, 10}));
    EXPECT_EQ((dc.DPtoLP(CPoint{1, -1})), (CPoint{15, 15}));
    EXPECT_EQ((dc.LPtoDP(CSize{-300, 450})), (CSize{20, 30}));
}

// Latin-1 text is summed from the advance table, other text laid out whole:
// both agree where they meet, ideographs take about an em each from a
// fallback font, and combining marks add no width of their own.
TEST(CKorvoDC, TextBeyondLatin1IsMeasuredWithTheFontsThatDrawIt)
{
    CKorvoDC dc(nullptr, kDpi, false);
    dc.SelectFont(CKorvoDC::MakeFont(KorvoLogFont(), kDpi));
    const int32_t em = dc.Font().pixelSize() * 15;
    const QFontMetricsF metrics(dc.Font());
    for (const char* latin : {"Gr\xC3\xBC\xC3\x9F" "e", "caf\xC3\xA9_table", "\xC2\xA9 \xC3\xBF"}) {
        SCOPED_TRACE(latin);
        EXPECT_NEAR(dc.GetTextWidth(latin), metrics.horizontalAdvance(QString::fromUtf8(latin)) * 15, 15);
    }
    const int32_t ideographs = dc.GetTextWidth("\xE9\xA1\xA7\xE5\xAE\xA2"); // 顧客
    EXPECT_GE(ideographs, 2 * em * 9 / 10);
    EXPECT_LE(ideographs, 2 * em * 11 / 10);
    EXPECT_NEAR(dc.GetTextWidth("cafe\xCC\x81_\xCE\xA9"), dc.GetTextWidth("caf\xC3\xA9_\xCE\xA9"), 15);
    EXPECT_GT(dc.GetTextWidth("\xF0\x9F\x8E\x89"), em / 2) << "the emoji font's glyph";
    EXPECT_GT(dc.GetTextWidth("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"), dc.GetTextWidth("\xD7\xA9"));
}

TEST(CDiagramRenderer, DefaultTableHasFrameNameLineAndSeparatorWhereTheLayoutPutsThem)
{
    CKorvoDoc doc;
    KorvoTableView* table = AddTable(doc, "table1", 1500, -1500);
    const QImage image = Render(doc);

    // 1500 units is 100 pixels; the name line plus padding is 240 + 180.
    ASSERT_EQ(table->m_cy, 420);
    const int L = 100, T = 100, R = 100 + table->m_cx / 15, B = 100 + 420 / 15;
    EXPECT_TRUE(IsBlack(image, L, T + 10)) << "left band";
    EXPECT_TRUE(IsBlack(image, R - 1, T + 10)) << "right band";
    EXPECT_TRUE(IsBlack(image, L + 3, T)) << "top band";
    EXPECT_TRUE(IsBlack(image, L + 3, B - 1)) << "bottom band";
    EXPECT_TRUE(IsWhite(image, L - 1, T + 10));
    EXPECT_TRUE(IsWhite(image, R, T + 10));
    EXPECT_TRUE(IsWhite(image, L + 1, T + 1)) << "white box inside the frame";

    // The separator's top lies 90 + 240 units below the top edge: 22 pixels,
    // 45 units (3 pixels) below the bottom of the name's line.
    EXPECT_TRUE(IsBlack(image, L + 2, T + 22));
    EXPECT_TRUE(IsWhite(image, L + 2, T + 21));
    EXPECT_TRUE(IsWhite(image, L + 2, T + 23));

    // The name is drawn inside its line (T+3 .. T+19) and nowhere else.
    int inkInLine = 0, inkElsewhere = 0;
    for (int y = T + 1; y < B - 1; ++y)
        for (int x = L + 1; x < R - 1; ++x)
            if (!IsWhite(image, x, y) && y != T + 22)
                (y >= T + 3 && y < T + 19 ? inkInLine : inkElsewhere)++;
    EXPECT_GT(inkInLine, 20);
    EXPECT_EQ(inkElsewhere, 0);
}

TEST(CDiagramRenderer, SelectedTableInvertsNinetyUnitMarksOnItsCorners)
{
    CKorvoDoc doc;
    KorvoTableView* table = AddTable(doc, "t", 1500, -1500);
    table->m_bSelected = true;
    const QImage image = Render(doc);
    // The mark at the top-left corner spans 45 units (3 pixels) each way and
    // inverts: the white outside turns black, the black frame turns white.
    EXPECT_TRUE(IsBlack(image, 98, 98));
    EXPECT_TRUE(IsWhite(image, 100, 101));
    EXPECT_TRUE(IsWhite(image, 96, 96));

    const QImage printed = Render(doc, {0, 0}, QSize(600, 400), true);
    EXPECT_TRUE(IsWhite(printed, 98, 98)) << "no selection marks on paper";
}

TEST(CDiagramRenderer, RelationLeavesSourceOnTheRightAndEndsInADotTouchingTheDestination)
{
    CKorvoDoc doc;
    KorvoTableView* source = AddTable(doc, "s", 1500, -1500, {"a", "b"});
    KorvoTableView* dest = AddTable(doc, "d", 6000, -1500, {"id"}, 1);
    Relate(doc, source, 1, dest, 0);
    const QImage image = Render(doc);

    CKorvoDC dc(nullptr, kDpi, false);
    dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, kDpi));
    const int yS = dc.LPtoDP(CPoint{0, source->GetColumnRowY(dc, source->m_def.m_columns[1].get())}).y;
    const int yD = dc.LPtoDP(CPoint{0, dest->GetColumnRowY(dc, dest->m_def.m_columns[0].get())}).y;
    const int sRight = (source->m_x + source->m_cx) / 15;

    // Stub of 180 units (12 pixels) out of the source's right edge.
    for (int x = sRight + 1; x < sRight + 10; ++x)
        EXPECT_TRUE(IsBlack(image, x, yS)) << x;
    // Dot of 70 units whose right edge touches the destination's frame.
    EXPECT_TRUE(IsBlack(image, 400 - 2, yD));
    EXPECT_TRUE(IsBlack(image, 400 - 4, yD));
    // Junction stub into the destination: 12 pixels left of the dot's centre.
    EXPECT_TRUE(IsBlack(image, 400 - 2 - 12, yD));
}

TEST(CDiagramRenderer, EarlierTableCoversLaterOneAndLinesPassBehindTables)
{
    CKorvoDoc doc;
    AddTable(doc, "top", 1500, -1500, {"a"});
    AddTable(doc, "underneath", 1800, -1650, {"a"});
    AddTable(doc, "blocker", 4500, -1500, {"p", "q", "r"});
    KorvoTableView* left = AddTable(doc, "left", 0, -1800, {"x"});
    KorvoTableView* right = AddTable(doc, "right", 7500, -1800, {"x"});
    Relate(doc, left, 0, right, 0);
    const QImage image = Render(doc);

    // Between the first table's name line and its separator, where the
    // later table's left band would run, the first table covers it.
    EXPECT_TRUE(IsWhite(image, 120, 120));
    EXPECT_TRUE(IsBlack(image, 120, 150)) << "the later table shows below the first";

    // The relation's middle segment runs at the row's height straight
    // through the blocker, which hides it; beside the blocker it shows.
    CKorvoDC dc(nullptr, kDpi, false);
    dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, kDpi));
    const int y = dc.LPtoDP(CPoint{0, left->GetColumnRowY(dc, left->m_def.m_columns[0].get())}).y;
    EXPECT_TRUE(IsWhite(image, 4500 / 15 + 3, y));
    EXPECT_TRUE(IsBlack(image, 4500 / 15 - 3, y));
}

TEST(CDiagramRenderer, TableScrolledFarAwayIsNotDrawnAndNotClipped)
{
    CKorvoDoc doc;
    AddTable(doc, "t", 0, 0, {"a"});
    CDiagramRenderer renderer;
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    CKorvoDC dc(&painter, kDpi, false);
    dc.SetClientRect(image.rect());
    EXPECT_FALSE(renderer.DrawTable(dc, *doc.m_tables[0], CPoint{20000, 0}));
    EXPECT_TRUE(renderer.DrawTable(dc, *doc.m_tables[0], CPoint{0, 0}));
}

TEST(CDiagramRenderer, RouteAndHitTestFollowTheStubsWithinFivePixels)
{
    CKorvoDoc doc;
    KorvoTableView* source = AddTable(doc, "s", 1500, -1500, {"a"});
    KorvoTableView* dest = AddTable(doc, "d", 6000, -1500, {"id"});
    CRelation* relation = Relate(doc, source, 0, dest, 0);
    CKorvoDC dc(nullptr, kDpi, false);
    dc.SetClientRect(QRect(0, 0, 600, 400));
    dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, kDpi));
    CDiagramRenderer renderer;

    const std::vector<CPoint> route = renderer.GetRelationRoute(dc, *relation);
    ASSERT_EQ(route.size(), 4u);
    EXPECT_EQ(route[0].x, source->m_x + source->m_cx);
    EXPECT_EQ(route[1].x, source->m_x + source->m_cx + 180);
    EXPECT_EQ(route[2].x, dest->m_x - 180);
    EXPECT_EQ(route[3].x, dest->m_x);

    // Beside the horizontal source stub: 5 pixels hit, 6 miss.
    const CPoint stub = dc.LPtoDP(CPoint{route[0].x + 90, route[0].y});
    EXPECT_TRUE(renderer.RelationHitTest(dc, *relation, CPoint{stub.x, stub.y + 5}, CPoint{0, 0}));
    EXPECT_TRUE(renderer.RelationHitTest(dc, *relation, CPoint{stub.x, stub.y - 5}, CPoint{0, 0}));
    EXPECT_FALSE(renderer.RelationHitTest(dc, *relation, CPoint{stub.x, stub.y + 6}, CPoint{0, 0}));
    // The same point after scrolling right by 150 units moves 10 pixels left.
    EXPECT_TRUE(renderer.RelationHitTest(dc, *relation, CPoint{stub.x - 10, stub.y}, CPoint{150, 0}));

    // Two columns on one side: the route is the junction-to-junction segment.
    dest->m_def.AddColumn(std::make_unique<CColumn>("id2", "int", false, "", false, false, "", ""));
    relation->m_destColumns.push_back(dest->m_def.m_columns[1].get());
    EXPECT_EQ(renderer.GetRelationRoute(dc, *relation).size(), 2u);
}

TEST(CDiagramRenderer, NearSegmentAndNearLineUseTheTolerance)
{
    struct Case {
        CPoint a, b, p;
        bool near;
    };
    const Case cases[] = {
        {{0, 0}, {100, 0}, {50, 5}, true},     {{0, 0}, {100, 0}, {50, 6}, false},
        {{0, 0}, {0, 100}, {-5, 50}, true},    {{0, 0}, {0, 100}, {7, 50}, false},
        {{0, 0}, {100, 0}, {106, 0}, false},   {{0, 0}, {100, 50}, {50, 25}, true},
        {{0, 0}, {100, 50}, {50, 35}, false},  {{0, 0}, {50, 100}, {25, 50}, true},
        {{0, 0}, {50, 100}, {40, 50}, false},  {{0, 0}, {100, 100}, {52, 48}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CDiagramRenderer::IsNearSegment(c.a, c.b, c.p, 5), c.near)
            << c.a.x << "," << c.a.y << " " << c.b.x << "," << c.b.y << " p " << c.p.x << "," << c.p.y;
}

TEST(CDiagramRenderer, PolylineVisibilityAgainstTheClientArea)
{
    CKorvoDC dc(nullptr, kDpi, false);
    dc.SetClientRect(QRect(0, 0, 100, 100)); // logical 0..1500 across, 0..-1500 down
    struct Case {
        CPoint a, b;
        bool visible;
    };
    const Case cases[] = {
        {{10, -10}, {20, -20}, true},        // inside
        {{-100, -700}, {3000, -700}, true},   // crosses both vertical edges
        {{700, 500}, {700, -3000}, true},     // crosses top and bottom
        {{-100, 500}, {-50, -3000}, false},   // left of the area
        {{2000, 100}, {3000, -100}, false},   // right of the area
        {{-100, 100}, {100, -100}, true},     // diagonal through the corner region
        {{0, 40000}, {10, -10}, false},       // beyond the 16-bit range
    };
    for (const Case& c : cases) {
        CPoint pts[2] = {c.a, c.b};
        EXPECT_EQ(CDiagramRenderer::IsPolylineVisible(dc, pts, 2), c.visible)
            << c.a.x << "," << c.a.y << " " << c.b.x << "," << c.b.y;
    }
    CKorvoDC printing(nullptr, kDpi, true);
    CPoint far[2] = {{0, 40000}, {10, -10}};
    EXPECT_TRUE(CDiagramRenderer::IsPolylineVisible(printing, far, 2));
}

TEST(CDiagramRenderer, PagesFollowTheTablesExtent)
{
    CKorvoDoc doc;
    EXPECT_EQ(CDiagramRenderer::PageCount(doc, 10800, 15120), 1);
    KorvoTableView* table = AddTable(doc, "t", 10000, -100);
    table->m_cx = 6200; // reaches 16200: one and a half page widths
    table->m_cy = 400;
    EXPECT_EQ(CDiagramRenderer::PageCount(doc, 10800, 15120), 2);
    table->m_x = 0;
    table->m_cx = 10800; // exactly one page wide still adds a page
    EXPECT_EQ(CDiagramRenderer::PageCount(doc, 10800, 15120), 2);
    EXPECT_EQ((CDiagramRenderer::GetDiagramExtent(doc)), (CSize{10800, 500}));
}

TEST(CDiagramRenderer, IntersectLogicalRectIsEmptyWhenApart)
{
    EXPECT_EQ((CDiagramRenderer::IntersectLogicalRect({0, 0, 100, -100}, {50, -50, 200, -200})),
              (CRect{50, -50, 100, -100}));
    EXPECT_EQ((CDiagramRenderer::IntersectLogicalRect({0, 0, 100, -100}, {150, 0, 200, -100})), (CRect{0, 0, 0, 0}));
}

// The grid of a canvas of a thousand pages each way, scrolled to its middle:
// the cells near the client area are found without walking the others, and
// their lines land where every page boundary lies.
TEST(CDiagramRenderer, PageGridFarIntoALargeCanvasDrawsEveryBoundaryInView)
{
    constexpr int32_t pw = 11520; // 768 pixels
    constexpr int32_t ph = 15840; // 1056 pixels
    const CRect canvas{0, 0, pw * 1000, -ph * 1000};
    const CPoint origin{500 * pw - 7500, -500 * ph + 4500};
    QImage image(1600, 1400, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        CKorvoDC dc(&painter, kDpi, false);
        dc.SetClientRect(image.rect());
        CDiagramRenderer().DrawPageGrid(dc, canvas, pw, ph, origin);
    }
    const QColor grey(127, 127, 127);
    std::vector<int> columns;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, 100) == grey)
            columns.push_back(x);
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y)
        if (image.pixelColor(100, y) == grey)
            rows.push_back(y);
    EXPECT_EQ(columns, (std::vector<int>{500, 500 + 768}));
    EXPECT_EQ(rows, (std::vector<int>{300, 300 + 1056}));
}

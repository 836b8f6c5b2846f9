// Times what the diagram window does with a large diagram: one full paint
// into a 1920x1080 image scrolled to the middle of the canvas (page grid,
// tables, relations), the Import SQL command (read, merge, place) of the
// diagram's own exported script into an empty diagram, and the PDF of all
// its printed pages. Then the real window zoomed out by Fit Diagram until
// 10,000 tables are all in view, painted.
#include "CAppState.h"
#include "CDiagramImage.h"
#include "CDiagramRenderer.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "CKorvoView.h"
#include "DiagramImport.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int32_t kPageWidth = 10800;
constexpr int32_t kPageHeight = 15120;

// n tables in a square grid over a canvas of 25 x 25 pages, ten columns each,
// every table referencing its left neighbour. Names are ASCII, or with cjk
// start with ideographs, which are measured by laying the text out.
std::unique_ptr<CKorvoDoc> MakeDiagram(int n, CRect& canvas, bool cjk = false)
{
    const std::string tablePrefix = cjk ? "\xE9\xA1\xA7\xE5\xAE\xA2_" : "table_";
    const std::string columnPrefix = cjk ? "\xE5\x88\x97_" : "column_";
    auto doc = std::make_unique<CKorvoDoc>();
    doc->m_nMaxPagesX = doc->m_nMaxPagesY = 25;
    canvas = CRect{0, 0, kPageWidth * 25, -kPageHeight * 25};
    int side = 1;
    while (side * side < n)
        ++side;
    const int32_t stepX = canvas.right / side;
    const int32_t stepY = -canvas.bottom / side;
    for (int i = 0; i < n; ++i) {
        auto table = std::make_unique<KorvoTableView>();
        table->m_def.m_strName = tablePrefix + std::to_string(i);
        table->m_x = (i % side) * stepX + 360;
        table->m_y = -(i / side) * stepY - 360;
        for (int c = 0; c < 10; ++c)
            table->m_def.AddColumn(std::make_unique<CColumn>(columnPrefix + std::to_string(c), "int", false, "",
                                                             c == 0, false, "", ""));
        KorvoTableView* added = doc->AddTable(std::move(table));
        if (i % side != 0) {
            KorvoTableView* left = doc->m_tables[size_t(i - 1)].get();
            doc->AddRelation(std::make_unique<CRelation>(added, added->m_def.m_columns[1].get(), left,
                                                         left->m_def.m_columns[0].get()));
        }
    }
    return doc;
}

double PaintMs(CKorvoDoc& doc, const CRect& canvas, QImage& image)
{
    const int dpi = 96;
    // The middle of the canvas, in logical units.
    const CPoint origin{canvas.right / 2, canvas.bottom / 2};
    const QFont font = CKorvoDC::MakeFont(doc.m_logFont, dpi);
    CDiagramRenderer renderer;
    auto start = std::chrono::steady_clock::now();
    QPainter painter(&image);
    painter.fillRect(image.rect(), Qt::white);
    CKorvoDC dc(&painter, dpi, false);
    dc.SetClientRect(image.rect());
    dc.SelectFont(font);
    renderer.DrawPageGrid(dc, canvas, kPageWidth, kPageHeight, origin);
    renderer.DrawTablesAndRelations(dc, doc, origin);
    painter.end();
    auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// Writes the diagram as a PDF of its printed pages; returns ms.
double PdfMs(CKorvoDoc& doc, const QString& path)
{
    auto start = std::chrono::steady_clock::now();
    const QString error = CDiagramImage::Write(doc, path);
    auto end = std::chrono::steady_clock::now();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "view_bench: %s\n", error.toLocal8Bit().constData());
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// Reads the script, merges it into an empty diagram and places the tables,
// as Import SQL does; returns ms.
double ImportMs(const std::string& path)
{
    auto start = std::chrono::steady_clock::now();
    CKorvoDoc doc;
    CKorvoDC dc(nullptr, 96, false);
    dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, 96));
    const CAppState& app = CAppState::Get();
    const ScriptIntoDiagram imported =
        ImportScriptIntoDiagram(doc, dc, PageArea{app.PageWidth(), app.PageHeight()}, path);
    if (!imported.script.ok) {
        std::fprintf(stderr, "view_bench: the exported script does not import: %s", imported.script.errorText.c_str());
        std::exit(1);
    }
    auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double Median(std::vector<double> runs)
{
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

// n tables of six columns packed in rows of 125, each referencing its left
// neighbour: at Fit Diagram's zoom they all fit a 2560x1440 window.
std::unique_ptr<CKorvoDoc> MakePackedDiagram(int n)
{
    auto doc = std::make_unique<CKorvoDoc>();
    doc->m_nMaxPagesX = doc->m_nMaxPagesY = 30;
    const int across = 125;
    for (int i = 0; i < n; ++i) {
        auto table = std::make_unique<KorvoTableView>();
        table->m_def.m_strName = "table_" + std::to_string(i);
        table->m_x = (i % across) * 2200 + 360;
        table->m_y = -(i / across) * 2000 - 360;
        for (int c = 0; c < 6; ++c)
            table->m_def.AddColumn(std::make_unique<CColumn>("column_" + std::to_string(c), "int", false, "", c == 0,
                                                             false, "", ""));
        KorvoTableView* added = doc->AddTable(std::move(table));
        if (i % across != 0) {
            KorvoTableView* left = doc->m_tables[size_t(i - 1)].get();
            doc->AddRelation(std::make_unique<CRelation>(added, added->m_def.m_columns[1].get(), left,
                                                         left->m_def.m_columns[0].get()));
        }
    }
    return doc;
}

// Paints of the real window after Fit Diagram; the zoom it chose and how
// many tables lie wholly in view come back too.
double ZoomedOutPaintMs(int n, int& zoom, int& inView)
{
    CDocumentHost host(MakePackedDiagram(n));
    CKorvoView view(&host);
    view.setFrameShape(QFrame::NoFrame);
    view.resize(2560, 1440);
    view.show();
    view.OnInitialUpdate();
    QApplication::processEvents();
    view.OnZoomFit();
    zoom = view.Zoom();
    QImage image(view.viewport()->size(), QImage::Format_RGB32);
    view.viewport()->render(&image); // measures every table
    CKorvoDC dc(nullptr, view.ScreenDpiX(), false);
    view.OnPrepareDC(dc);
    const CPoint origin = view.GetLogScrollPosition();
    inView = 0;
    for (const auto& table : host.GetDocument()->m_tables) {
        const CPoint tl = dc.LPtoDP(CPoint{table->m_x, table->m_y} - origin);
        const CPoint br = dc.LPtoDP(CPoint{table->m_x + table->m_cx, table->m_y - table->m_cy} - origin);
        inView += tl.x >= 0 && tl.y >= 0 && br.x <= image.width() && br.y <= image.height();
    }
    std::vector<double> paints;
    for (int i = 0; i < 15; ++i) {
        auto start = std::chrono::steady_clock::now();
        view.viewport()->render(&image);
        auto end = std::chrono::steady_clock::now();
        paints.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    return Median(paints);
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // --rows: tab-separated rows for `make bench`.
    const bool rows = argc > 1 && std::string(argv[1]) == "--rows";
    QTemporaryDir dir;
    QImage image(1920, 1080, QImage::Format_RGB32);
    if (!rows)
        std::printf("%-28s %8s %12s %14s\n", "operation", "tables", "median ms", "throughput");
    auto print = [&](const char* operation, int n, double ms, double throughput, const char* unit) {
        if (rows)
            std::printf("%s\t%d\t%.2f\t%.1f %s\n", operation, n, ms, throughput, unit);
        else
            std::printf("%-28s %8d %12.2f %10.1f %s\n", operation, n, ms, throughput, unit);
    };
    for (int n : {1000, 10000}) {
        CRect canvas;
        auto doc = MakeDiagram(n, canvas);
        std::vector<double> paints;
        PaintMs(*doc, canvas, image); // warm the glyph caches
        for (int i = 0; i < 15; ++i)
            paints.push_back(PaintMs(*doc, canvas, image));
        const double paint = Median(paints);
        print("render 1920x1080 (middle)", n, paint, 1000.0 / paint, "paints/s");

        CRect cjkCanvas;
        auto cjkDoc = MakeDiagram(n, cjkCanvas, true);
        std::vector<double> cjkPaints;
        PaintMs(*cjkDoc, cjkCanvas, image);
        for (int i = 0; i < 15; ++i)
            cjkPaints.push_back(PaintMs(*cjkDoc, cjkCanvas, image));
        const double cjkPaint = Median(cjkPaints);
        print("render 1920x1080 (CJK names)", n, cjkPaint, 1000.0 / cjkPaint, "paints/s");

        const std::string path = dir.filePath(QStringLiteral("script.sql")).toStdString();
        char error[500] = "";
        if (!doc->ExportSQL(path.c_str(), error, int(sizeof error)))
            return 1;
        const double megabytes = double(doc->ExportSQLText().size()) / (1024.0 * 1024.0);
        std::vector<double> imports;
        for (int i = 0; i < 5; ++i)
            imports.push_back(ImportMs(path));
        const double import = Median(imports);
        print("import SQL (with placement)", n, import, megabytes / (import / 1000.0), "MB/s");

        // Every page the tables reach (26 x 26 here), as --render and
        // printing draw them.
        const QString pdf = dir.filePath(QStringLiteral("diagram.pdf"));
        std::vector<double> pdfs;
        for (int i = 0; i < 3; ++i)
            pdfs.push_back(PdfMs(*doc, pdf));
        const double pdfMs = Median(pdfs);
        print("print PDF (all pages)", n, pdfMs, double(n) / (pdfMs / 1000.0), "tables/s");
    }
    {
        const int n = 10000;
        int zoom = 0;
        int inView = 0;
        const double ms = ZoomedOutPaintMs(n, zoom, inView);
        if (inView != n) {
            std::fprintf(stderr, "view_bench: only %d of %d tables in view at %d%%\n", inView, n, zoom);
            return 1;
        }
        print("render zoomed out (all)", n, ms, 1000.0 / ms, "paints/s");
        if (!rows)
            std::printf("  (2560x1440 window, Fit Diagram chose %d%%, boxes and lines)\n", zoom);
    }
    if (argc > 1 && !rows)
        image.save(QString::fromLocal8Bit(argv[1]));
    return 0;
}

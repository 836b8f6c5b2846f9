// Times one full paint of a large diagram into a 1920x1080 image, scrolled to
// the middle of the canvas, as the window paints it: page grid, tables,
// relations. Prints milliseconds per paint.
#include "CDiagramRenderer.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

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
// every table referencing its left neighbour.
std::unique_ptr<CKorvoDoc> MakeDiagram(int n, CRect& canvas)
{
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
        table->m_def.m_strName = "table_" + std::to_string(i);
        table->m_x = (i % side) * stepX + 360;
        table->m_y = -(i / side) * stepY - 360;
        for (int c = 0; c < 10; ++c)
            table->m_def.AddColumn(std::make_unique<CColumn>("column_" + std::to_string(c), "int", false, "",
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

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QImage image(1920, 1080, QImage::Format_RGB32);
    std::printf("%-28s %8s %12s %14s\n", "operation", "tables", "median ms", "paints/s");
    for (int n : {1000, 10000}) {
        CRect canvas;
        auto doc = MakeDiagram(n, canvas);
        std::vector<double> runs;
        PaintMs(*doc, canvas, image); // warm the glyph caches
        for (int i = 0; i < 15; ++i)
            runs.push_back(PaintMs(*doc, canvas, image));
        std::sort(runs.begin(), runs.end());
        const double median = runs[runs.size() / 2];
        std::printf("%-28s %8d %12.2f %14.1f\n", "paint 1920x1080 (middle)", n, median, 1000.0 / median);
    }
    if (argc > 1)
        image.save(QString::fromLocal8Bit(argv[1]));
    return 0;
}

#include "CDiagramImage.h"

#include "CAppState.h"
#include "CDiagramRenderer.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"

#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <climits>

namespace {

// A quarter-inch border around the canvas: relation stubs and dots reach
// past the table edges by less than this.
constexpr int32_t kBorder = 360;

// Measures every table with the font at this resolution and returns the size
// of the picture in device pixels, or an empty size with the reason when it
// would be too large to make.
QSize PictureSize(CKorvoDoc& doc, int dpi, QString& error)
{
    CKorvoDC dc(nullptr, dpi, true);
    dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, dpi));
    for (auto& table : doc.m_tables)
        table->Measure(dc);
    const CSize extent = CDiagramRenderer::GetDiagramExtent(doc);
    const int64_t width = (int64_t(extent.cx) + 2 * kBorder) * dpi / kTwipsPerInch + 1;
    const int64_t height = (int64_t(extent.cy) + 2 * kBorder) * dpi / kTwipsPerInch + 1;
    if (width > CDiagramImage::kMaxSide || height > CDiagramImage::kMaxSide ||
        width * height > CDiagramImage::kMaxPixels) {
        error = QStringLiteral("the diagram is too large for a picture at %1 dpi (%2 x %3 pixels)")
                    .arg(dpi)
                    .arg(width)
                    .arg(height);
        return QSize();
    }
    return QSize(int(width), int(height));
}

void DrawPicture(CKorvoDoc& doc, QPainter& painter, int dpi, const QSize& size)
{
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    CKorvoDC dc(&painter, dpi, true);
    dc.SetClientRect(QRect(QPoint(0, 0), size));
    dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, dpi));
    // The origin is subtracted from every point: this one moves the canvas
    // right and down by the border.
    CDiagramRenderer().DrawTablesAndRelations(dc, doc, CPoint{-kBorder, kBorder});
}

QString Failure(const QString& path, const QString& reason)
{
    return QStringLiteral("cannot write '%1': %2").arg(path, reason);
}

} // namespace

CDiagramImage::Format CDiagramImage::FormatOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return Format::Png;
    if (suffix == QLatin1String("svg"))
        return Format::Svg;
    if (suffix == QLatin1String("pdf"))
        return Format::Pdf;
    return Format::Unknown;
}

int CDiagramImage::PrintPages(CKorvoDoc& doc, QPagedPaintDevice& device, int first, int last)
{
    const CAppState& app = CAppState::Get();
    const int32_t pw = app.PageWidth();
    const int32_t ph = app.PageHeight();
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    const int dpi = device.logicalDpiX();
    const QRect pageRect(QPoint(0, 0), device.pageLayout().paintRectPixels(dpi).size());

    // Measure first: the page count follows the tables' extent.
    {
        CKorvoDC dc(nullptr, dpi, true);
        dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, dpi));
        for (auto& table : doc.m_tables)
            table->Measure(dc);
    }
    const int pages = CDiagramRenderer::PageCount(doc, pw, ph);
    first = std::max(1, first);
    last = std::min(pages, last);
    CDiagramRenderer renderer;
    int drawn = 0;
    for (int page = first; page <= last; ++page) {
        if (page != first)
            device.newPage();
        CKorvoDC dc(&painter, dpi, true);
        dc.SetClientRect(pageRect);
        // A new font for every page, at the device's resolution.
        dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, dpi));
        renderer.PrintPage(dc, doc, page, pw, ph);
        ++drawn;
    }
    painter.end();
    return drawn;
}

QString CDiagramImage::Write(CKorvoDoc& doc, const QString& path, int dpi)
{
    const Format format = FormatOf(path);
    if (format == Format::Unknown)
        return QStringLiteral("'%1' is no .png, .svg or .pdf file name").arg(path);
    if (dpi <= 0 || dpi > 2400)
        return QStringLiteral("the resolution must be from 1 to 2400 dots per inch");
    QString error;
    const QSize size = format == Format::Pdf ? QSize() : PictureSize(doc, dpi, error);
    if (!error.isEmpty())
        return error;

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure(path, file.errorString());

    switch (format) {
    case Format::Png: {
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull())
            return Failure(path, QStringLiteral("not enough memory for the picture"));
        const int dotsPerMeter = qRound(dpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        {
            QPainter painter(&image);
            DrawPicture(doc, painter, dpi, size);
        }
        if (!image.save(&file, "PNG"))
            return Failure(path, file.errorString());
        break;
    }
    case Format::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setResolution(dpi);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QFileInfo(path).completeBaseName());
        QPainter painter;
        if (!painter.begin(&svg))
            return Failure(path, QStringLiteral("cannot start the SVG"));
        DrawPicture(doc, painter, dpi, size);
        painter.end();
        break;
    }
    case Format::Pdf: {
        const CAppState& app = CAppState::Get();
        QPdfWriter pdf(&file);
        pdf.setResolution(std::max(dpi, 300));
        pdf.setTitle(QFileInfo(path).completeBaseName());
        const QPageSize pageSize(QSizeF(app.m_sizePage.cx / 1440.0, app.m_sizePage.cy / 1440.0), QPageSize::Inch,
                                 QString(), QPageSize::ExactMatch);
        const QMarginsF margins(app.m_rectMargins.left / 1440.0, app.m_rectMargins.top / 1440.0,
                                app.m_rectMargins.right / 1440.0, app.m_rectMargins.bottom / 1440.0);
        pdf.setPageLayout(QPageLayout(pageSize, QPageLayout::Portrait, margins, QPageLayout::Inch));
        if (PrintPages(doc, pdf, 1, INT_MAX) == 0)
            return Failure(path, QStringLiteral("cannot start the PDF"));
        break;
    }
    case Format::Unknown:
        break;
    }
    if (!file.commit())
        return Failure(path, file.errorString());
    return QString();
}

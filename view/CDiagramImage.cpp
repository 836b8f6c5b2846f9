#include "CDiagramImage.h"

#include "CAppState.h"
#include "CDiagramRenderer.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "FileIo.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <climits>

namespace {

// A quarter-inch border around the canvas: relation stubs and dots reach
// past the table edges by less than this.
constexpr int32_t kBorder = 360;

// Measures every table with the font at this resolution and returns the size
// of the picture in device pixels, or an empty size with the reason when it
// would be too large to make.
QSize PictureSize(CKorvoDoc& doc, int dpi, const QFont& font, bool columnTypes, QString& error)
{
    CKorvoDC dc(nullptr, dpi, true);
    dc.SelectFont(font);
    dc.ShowColumnTypes(columnTypes ? &doc : nullptr);
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

void DrawPicture(CKorvoDoc& doc, QPainter& painter, int dpi, const QFont& font, const QSize& size, bool columnTypes)
{
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    CKorvoDC dc(&painter, dpi, true);
    dc.SetClientRect(QRect(QPoint(0, 0), size));
    dc.SelectFont(font);
    dc.ShowColumnTypes(columnTypes ? &doc : nullptr);
    // The origin is subtracted from every point: this one moves the canvas
    // right and down by the border.
    CDiagramRenderer().DrawTablesAndRelations(dc, doc, CPoint{-kBorder, kBorder});
}

// Qt's picture writers ignore a failed write to their device: this one
// remembers it, so a picture cut short is never taken for a whole one.
class CheckedBuffer : public QBuffer {
public:
    explicit CheckedBuffer(QByteArray* bytes) : QBuffer(bytes) {}
    bool Failed() const { return m_failed; }

protected:
    qint64 writeData(const char* data, qint64 length) override
    {
        const qint64 written = QBuffer::writeData(data, length);
        if (written != length)
            m_failed = true;
        return written;
    }

private:
    bool m_failed = false;
};

const QString kOutOfMemory = QStringLiteral("not enough memory for the picture");

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

void CDiagramImage::MeasureTables(CKorvoDoc& doc, CKorvoDC& dc)
{
    for (auto& table : doc.m_tables)
        table->Measure(dc);
}

QString CDiagramImage::PrintRefusal(const CKorvoDoc& doc)
{
    const CAppState& app = CAppState::Get();
    const int64_t pages = CDiagramRenderer::PageCount(doc, app.PageWidth(), app.PageHeight());
    if (pages <= kMaxPages)
        return QString();
    return QStringLiteral("the diagram is too large to print: it would take %1 pages, more than %2")
        .arg(pages)
        .arg(kMaxPages);
}

int CDiagramImage::PrintPages(CKorvoDoc& doc, QPagedPaintDevice& device, int first, int last, QString* error,
                              bool columnTypes)
{
    QPageRanges ranges;
    ranges.addRange(std::max(1, first), std::max(1, last));
    return PrintPages(doc, device, ranges, error, columnTypes);
}

int CDiagramImage::PrintPages(CKorvoDoc& doc, QPagedPaintDevice& device, const QPageRanges& ranges, QString* error,
                              bool columnTypes)
{
    const CAppState& app = CAppState::Get();
    const int32_t pw = app.PageWidth();
    const int32_t ph = app.PageHeight();
    const int dpi = device.logicalDpiX();
    const QRect pageRect(QPoint(0, 0), device.pageLayout().paintRectPixels(dpi).size());

    // One surface and one font for the whole run. Measure first: the page
    // count follows the tables' extent, and each page draws only the tables
    // that meet it.
    CKorvoDC dc(nullptr, dpi, true);
    dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, dpi));
    dc.ShowColumnTypes(columnTypes ? &doc : nullptr);
    MeasureTables(doc, dc);
    const QString refusal = PrintRefusal(doc);
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return 0;
    }
    const int pages = int(CDiagramRenderer::PageCount(doc, pw, ph));
    const int last = ranges.isEmpty() ? pages : std::min(pages, ranges.lastPage());

    QPainter painter;
    if (!painter.begin(&device)) {
        if (error)
            *error = QStringLiteral("cannot start printing");
        return 0;
    }
    dc.SetPainter(&painter);
    dc.SetClientRect(pageRect);
    CDiagramRenderer renderer;
    int drawn = 0;
    for (int page = 1; page <= last; ++page) {
        if (!ranges.isEmpty() && !ranges.contains(page))
            continue;
        if (drawn > 0)
            device.newPage();
        renderer.PrintPage(dc, doc, page, pw, ph);
        ++drawn;
    }
    dc.SetPainter(nullptr);
    painter.end();
    return drawn;
}

QPageLayout CDiagramImage::PageLayout()
{
    const CAppState& app = CAppState::Get();
    auto inches = [](int32_t twips) { return twips / double(kTwipsPerInch); };
    const QPageSize size(QSizeF(inches(app.m_sizePage.cx), inches(app.m_sizePage.cy)), QPageSize::Inch, QString(),
                         QPageSize::ExactMatch);
    const QMarginsF margins(inches(app.m_rectMargins.left), inches(app.m_rectMargins.top),
                            inches(app.m_rectMargins.right), inches(app.m_rectMargins.bottom));
    return QPageLayout(size, QPageLayout::Portrait, margins, QPageLayout::Inch);
}

CDiagramImage::Format CDiagramImage::FormatNamed(const QString& name)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("png"))
        return Format::Png;
    if (lower == QLatin1String("svg"))
        return Format::Svg;
    if (lower == QLatin1String("pdf"))
        return Format::Pdf;
    return Format::Unknown;
}

QString CDiagramImage::Render(CKorvoDoc& doc, Format format, int dpi, const QString& title, QByteArray& bytes,
                              bool columnTypes)
{
    if (format == Format::Unknown)
        return QStringLiteral("no picture format chosen");
    if (dpi <= 0 || dpi > 2400)
        return QStringLiteral("the resolution must be from 1 to 2400 dots per inch");
    QString error;
    const QFont font = format == Format::Pdf ? QFont() : CKorvoDC::MakeFont(doc.m_logFont, dpi);
    const QSize size = format == Format::Pdf ? QSize() : PictureSize(doc, dpi, font, columnTypes, error);
    if (!error.isEmpty())
        return error;
    if (format == Format::Pdf) {
        // Refused before the file is touched, like a picture too large to make.
        CKorvoDC dc(nullptr, std::max(dpi, kPdfDpi), true);
        dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, dc.Dpi()));
        dc.ShowColumnTypes(columnTypes ? &doc : nullptr);
        MeasureTables(doc, dc);
        error = PrintRefusal(doc);
        if (!error.isEmpty())
            return error;
    }

    bytes.clear();
    CheckedBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    switch (format) {
    case Format::Png: {
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull())
            return kOutOfMemory;
        const int dotsPerMeter = qRound(dpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        {
            QPainter painter(&image);
            DrawPicture(doc, painter, dpi, font, size, columnTypes);
        }
        if (!image.save(&buffer, "PNG") && !buffer.Failed())
            return QStringLiteral("the PNG encoder failed");
        break;
    }
    case Format::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setResolution(dpi);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(title);
        QPainter painter;
        if (!painter.begin(&svg))
            return QStringLiteral("cannot start the SVG");
        DrawPicture(doc, painter, dpi, font, size, columnTypes);
        painter.end();
        break;
    }
    case Format::Pdf: {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(std::max(dpi, kPdfDpi));
        pdf.setTitle(title);
        pdf.setPageLayout(PageLayout());
        if (PrintPages(doc, pdf, 1, INT_MAX, &error, columnTypes) == 0 && !buffer.Failed())
            return error.isEmpty() ? QStringLiteral("cannot start the PDF") : error;
        break;
    }
    case Format::Unknown:
        break;
    }
    buffer.close();
    if (buffer.Failed() || bytes.isEmpty())
        return kOutOfMemory;
    return QString();
}

QString CDiagramImage::Write(CKorvoDoc& doc, const QString& path, int dpi, Format format, bool columnTypes)
{
    if (format == Format::Unknown)
        format = FormatOf(path);
    if (format == Format::Unknown)
        return QStringLiteral("'%1' is no .png, .svg or .pdf file name").arg(path);
    QByteArray bytes;
    const QString error = Render(doc, format, dpi, QFileInfo(path).completeBaseName(), bytes, columnTypes);
    if (!error.isEmpty())
        return error;
    const FileResult written =
        WriteFileAtomically(QFile::encodeName(path).toStdString(), std::string_view(bytes.constData(), bytes.size()));
    if (!written.ok)
        return QString::fromLocal8Bit(written.message.c_str());
    return QString();
}

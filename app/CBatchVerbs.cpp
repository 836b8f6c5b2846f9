#include "CBatchVerbs.h"

#include "CCommandLine.h"
#include "CConsoleSeam.h"
#include "CDiagramRenderer.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "CKorvoView.h"
#include "DiagramFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <cstdio>

namespace {

// The border around the diagram in a rendered image: relation stubs and dots
// reach past the table edges by less than this.
constexpr int32_t kImageBorder = 360;

int Fail(const QString& text)
{
    std::fprintf(stderr, "%s\n", CConsoleSeam::OneLine(text).toLocal8Bit().constData());
    return 1;
}

} // namespace

int CBatchVerbs::Run(const CCommandLine& commandLine)
{
    // Nobody can answer a box in a batch run; what a box would say goes to
    // the error stream instead.
    CConsoleSeam seam;
    CModalSeam::Install(&seam);
    int status = 1;
    switch (commandLine.m_verb) {
    case CCommandLine::Verb::Print:
        status = Print(commandLine.m_strFile);
        break;
    case CCommandLine::Verb::Render:
        status = Render(commandLine.m_strFile, commandLine.m_strOutput, commandLine.m_nDpi);
        break;
    default:
        status = Fail(QStringLiteral("not a batch verb"));
        break;
    }
    CModalSeam::Install(nullptr);
    return status;
}

std::unique_ptr<CKorvoDoc> CBatchVerbs::LoadDiagram(const QString& path, QString& error)
{
    auto doc = std::make_unique<CKorvoDoc>();
    const LoadOutcome outcome = LoadDiagramFile(QFile::encodeName(path).toStdString(), *doc);
    switch (outcome.status) {
    case LoadStatus::Loaded:
    case LoadStatus::Version1Notice:
        return doc;
    case LoadStatus::IoError:
        // The reader's message names the file already.
        error = QString::fromLocal8Bit(outcome.text.c_str());
        return nullptr;
    default:
        // A file of another type or version opens empty in the window; a
        // batch verb would only turn it into an empty page, so it stops.
        error = path + QStringLiteral(": ") + QString::fromLocal8Bit(outcome.text.c_str());
        return nullptr;
    }
}

bool CBatchVerbs::RenderImage(CKorvoDoc& doc, int dpi, QImage& image, QString& error)
{
    CKorvoDC measure(nullptr, dpi, true);
    measure.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, dpi));
    for (auto& table : doc.m_tables)
        table->Measure(measure);

    const CSize extent = CDiagramRenderer::GetDiagramExtent(doc);
    const qint64 width = (int64_t(extent.cx) + 2 * kImageBorder) * dpi / 1440 + 1;
    const qint64 height = (int64_t(extent.cy) + 2 * kImageBorder) * dpi / 1440 + 1;
    if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels) {
        error = QStringLiteral("the diagram is too large to render at %1 dpi (%2 x %3 pixels)")
                    .arg(dpi)
                    .arg(width)
                    .arg(height);
        return false;
    }

    image = QImage(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull()) {
        error = QStringLiteral("not enough memory for a %1 x %2 image").arg(width).arg(height);
        return false;
    }
    image.fill(Qt::white);
    const int dotsPerMeter = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);

    QPainter painter(&image);
    CKorvoDC dc(&painter, dpi, true);
    dc.SetClientRect(image.rect());
    dc.SelectFont(CKorvoDC::MakeFont(doc.m_logFont, dpi));
    CDiagramRenderer renderer;
    // The origin is subtracted from every point: this one moves the canvas
    // right and down by the border.
    renderer.DrawTablesAndRelations(dc, doc, CPoint{-kImageBorder, kImageBorder});
    return true;
}

int CBatchVerbs::Render(const QString& path, const QString& output, int dpi)
{
    QString error;
    std::unique_ptr<CKorvoDoc> doc = LoadDiagram(path, error);
    if (!doc)
        return Fail(error);
    QImage image;
    if (!RenderImage(*doc, dpi, image, error))
        return Fail(path + QStringLiteral(": ") + error);
    if (!image.save(output, "PNG"))
        return Fail(QStringLiteral("cannot write the image '%1'").arg(output));
    return 0;
}

QString CBatchVerbs::PdfPathFor(const QString& path)
{
    const QFileInfo info(path);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".pdf"));
}

int CBatchVerbs::Print(const QString& path)
{
    QString error;
    std::unique_ptr<CKorvoDoc> doc = LoadDiagram(path, error);
    if (!doc)
        return Fail(error);

    CDocumentHost host(std::move(doc));
    host.SetPathName(QFileInfo(path).absoluteFilePath());
    CKorvoView view(&host);
    view.resize(800, 600);
    view.OnInitialUpdate();

    const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
    QPrinter printer(QPrinter::HighResolution);
    QString pdf;
    if (defaultPrinter.isNull()) {
        pdf = PdfPathFor(path);
        const QFileInfo target(pdf);
        if (target.exists() ? !target.isWritable() : !QFileInfo(target.absolutePath()).isWritable())
            return Fail(QStringLiteral("cannot write '%1'").arg(pdf));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
    } else {
        printer.setPrinterName(defaultPrinter.printerName());
    }
    view.SetUpPrinter(printer);
    view.PrintTo(printer);
    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
        return Fail(QStringLiteral("printing '%1' failed").arg(path));
    if (!pdf.isEmpty()) {
        if (!QFileInfo(pdf).isFile() || QFileInfo(pdf).size() == 0)
            return Fail(QStringLiteral("cannot write '%1'").arg(pdf));
        std::printf("%s\n", QFileInfo(pdf).absoluteFilePath().toLocal8Bit().constData());
    }
    return 0;
}

#include "CBatchVerbs.h"

#include "CAppState.h"
#include "CCommandLine.h"
#include "CConsoleSeam.h"
#include "CDiagramImage.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "CKorvoView.h"
#include "CSqlImporter.h"
#include "DiagramFile.h"
#include "ModelText.h"
#include "SqlImportFile.h"
#include "SqlNameLoss.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

#include <cstdio>
#include <new>
#include <unistd.h>

namespace {

const QString kStandardOutput = QStringLiteral("-");

void Warn(const QString& text)
{
    std::fprintf(stderr, "%s\n", CConsoleSeam::OneLine(text).toLocal8Bit().constData());
}

int Fail(const QString& text)
{
    Warn(text);
    return 1;
}

int WriteStandardOutput(std::string_view bytes)
{
    std::fflush(stdout);
    const FileResult written = WriteToDescriptor(STDOUT_FILENO, bytes, "standard output");
    return written.ok ? 0 : Fail(QString::fromLocal8Bit(written.message.c_str()));
}

int RunVerb(const CCommandLine& commandLine)
{
    switch (commandLine.m_verb) {
    case CCommandLine::Verb::Print:
        return CBatchVerbs::Print(commandLine.m_strFile);
    case CCommandLine::Verb::Render:
        return CBatchVerbs::Render(commandLine.m_strFile, commandLine.m_strOutput, commandLine.m_nDpi,
                                   commandLine.m_strFormat, commandLine.m_bColumnTypes);
    case CCommandLine::Verb::ExportSql:
        return CBatchVerbs::ExportSql(commandLine.m_strFile, commandLine.m_strOutput);
    case CCommandLine::Verb::ImportSql:
        return CBatchVerbs::ImportSql(commandLine.m_strFile, commandLine.m_strInto, commandLine.m_strOutput);
    default:
        return Fail(QStringLiteral("not a batch verb"));
    }
}

} // namespace

int CBatchVerbs::Run(const CCommandLine& commandLine)
{
    // Nobody can answer a box in a batch run; what a box would say goes to
    // the error stream instead.
    CConsoleSeam seam;
    CModalSeam::Install(&seam);
    // Made before the verb runs: out of memory, there may be no room left
    // to build the line that says so.
    const QByteArray input = QFile::encodeName(commandLine.m_strFile);
    int status = 1;
    try {
        status = RunVerb(commandLine);
    } catch (const std::bad_alloc&) {
        // Everything the verb held is released by now; nothing was written.
        std::fprintf(stderr, "korvo: %s: out of memory\n", input.constData());
        status = 1;
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

int CBatchVerbs::Render(const QString& path, const QString& output, int dpi, const QString& format, bool columnTypes)
{
    QString error;
    std::unique_ptr<CKorvoDoc> doc = LoadDiagram(path, error);
    if (!doc)
        return Fail(error);
    using Format = CDiagramImage::Format;
    const Format chosen = CDiagramImage::FormatNamed(format);
    if (output == kStandardOutput) {
        QByteArray bytes;
        error = CDiagramImage::Render(*doc, chosen == Format::Unknown ? Format::Png : chosen, dpi,
                                      QFileInfo(path).completeBaseName(), bytes, columnTypes);
        if (!error.isEmpty())
            return Fail(path + QStringLiteral(": ") + error);
        return WriteStandardOutput(std::string_view(bytes.constData(), size_t(bytes.size())));
    }
    // Only --types decides, not the user's setting: a script's pictures do
    // not change with what the window last showed.
    error = CDiagramImage::Write(*doc, output, dpi, chosen, columnTypes);
    if (!error.isEmpty())
        return Fail(path + QStringLiteral(": ") + error);
    return 0;
}

int CBatchVerbs::ExportSql(const QString& path, const QString& output)
{
    QString error;
    std::unique_ptr<CKorvoDoc> doc = LoadDiagram(path, error);
    if (!doc)
        return Fail(error);
    if (output == kStandardOutput)
        return WriteStandardOutput(doc->ExportSQLText());
    char text[500] = "";
    if (!doc->ExportSQL(QFile::encodeName(output).constData(), text, int(sizeof text)))
        return Fail(output + QStringLiteral(": ") + QString::fromLatin1(text));
    return 0;
}

int CBatchVerbs::ImportSql(const QString& script, const QString& into, const QString& output)
{
    QString error;
    std::unique_ptr<CKorvoDoc> doc = into.isEmpty() ? std::make_unique<CKorvoDoc>() : LoadDiagram(into, error);
    if (!doc)
        return Fail(error);

    std::string text;
    const SqlTableList list = ImportSqlFile(QFile::encodeName(script).toStdString(), text);
    if (!list)
        return Fail(script + QStringLiteral(": ") + ModelToQString(text).trimmed());

    // Measured and laid out as the window would at the offscreen resolution,
    // on the canvas of the diagram's page counts.
    const CAppState& app = CAppState::Get();
    const CRect canvas{0, 0, app.PageWidth() * doc->m_nMaxPagesX, -(app.PageHeight() * doc->m_nMaxPagesY)};
    CKorvoDC dc(nullptr, 96, false);
    dc.SelectFont(CKorvoDC::MakeFont(doc->m_logFont, 96));
    CSqlImporter(*doc, dc, canvas).ImportTables(list.get());

    const FileResult saved = SaveDiagramFile(QFile::encodeName(output).toStdString(), *doc);
    if (!saved.ok)
        return Fail(QString::fromLocal8Bit(saved.message.c_str()));
    // Names that lost characters are worth a warning, not a failure: the
    // tables were read and saved.
    const SqlNameLosses losses = FindSqlNameLossesInFile(QFile::encodeName(script).toStdString());
    if (!losses.Empty())
        Warn(script + QStringLiteral(": warning: ") + ModelToQString(DescribeSqlNameLosses(losses)));
    return 0;
}

QString CBatchVerbs::PdfPathFor(const QString& path, int attempt)
{
    const QFileInfo info(path);
    const QString suffix = attempt == 0 ? QStringLiteral(".pdf") : QStringLiteral("-%1.pdf").arg(attempt);
    return info.dir().filePath(info.completeBaseName() + suffix);
}

int CBatchVerbs::PrintToPdf(CKorvoDoc& doc, const QString& path)
{
    QByteArray bytes;
    // Printed as the window prints: with column types when the user shows them.
    const QString error = CDiagramImage::Render(doc, CDiagramImage::Format::Pdf, kPrinterDpi,
                                                QFileInfo(path).fileName(), bytes, CAppState::Get().m_bShowColumnTypes);
    if (!error.isEmpty())
        return Fail(path + QStringLiteral(": ") + error);
    // Nobody named the PDF, so no file is replaced: the first free name wins.
    for (int attempt = 0;; ++attempt) {
        const QString pdf = PdfPathFor(path, attempt);
        const FileResult written = WriteNewFile(QFile::encodeName(pdf).toStdString(),
                                                std::string_view(bytes.constData(), size_t(bytes.size())));
        if (written.ok) {
            std::printf("%s\n", QFileInfo(pdf).absoluteFilePath().toLocal8Bit().constData());
            return 0;
        }
        if (written.error != FileError::Exists || attempt == kMaxPdfAttempt)
            return Fail(QString::fromLocal8Bit(written.message.c_str()));
    }
}

int CBatchVerbs::Print(const QString& path)
{
    QString error;
    std::unique_ptr<CKorvoDoc> doc = LoadDiagram(path, error);
    if (!doc)
        return Fail(error);
    const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
    if (defaultPrinter.isNull())
        return PrintToPdf(*doc, path);

    CDocumentHost host(std::move(doc));
    host.SetPathName(QFileInfo(path).absoluteFilePath());
    CKorvoView view(&host);
    view.resize(800, 600);
    view.OnInitialUpdate();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(defaultPrinter.printerName());
    view.SetUpPrinter(printer);
    view.PrintTo(printer);
    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
        return Fail(QStringLiteral("printing '%1' failed").arg(path));
    return 0;
}

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
#include "SqlImportFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

#include <cstdio>

namespace {

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
    case CCommandLine::Verb::ExportSql:
        status = ExportSql(commandLine.m_strFile, commandLine.m_strOutput);
        break;
    case CCommandLine::Verb::ImportSql:
        status = ImportSql(commandLine.m_strFile, commandLine.m_strInto, commandLine.m_strOutput);
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

int CBatchVerbs::Render(const QString& path, const QString& output, int dpi)
{
    QString error;
    std::unique_ptr<CKorvoDoc> doc = LoadDiagram(path, error);
    if (!doc)
        return Fail(error);
    error = CDiagramImage::Write(*doc, output, dpi);
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
        return Fail(script + QStringLiteral(": ") + QString::fromLatin1(text.c_str()).trimmed());

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

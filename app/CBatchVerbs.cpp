#include "CBatchVerbs.h"

#include "CAppState.h"
#include "CCommandLine.h"
#include "CConsoleSeam.h"
#include "CDiagramImage.h"
#include "CDocumentHost.h"
#include "CKorvoDC.h"
#include "CKorvoDoc.h"
#include "CKorvoView.h"
#include "DatabaseSource.h"
#include "DiagramArrange.h"
#include "DiagramCheck.h"
#include "DiagramFile.h"
#include "DiagramImport.h"
#include "DialectExport.h"
#include "FileIo.h"
#include "ImportSummary.h"
#include "ModelText.h"
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

// Each line of a text, after what it is about when that is given
// ("schema.sql: Imported ...").
void WarnLines(const QString& about, const std::string& text)
{
    for (const QString& line : ModelToQString(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        Warn(about.isEmpty() ? line : about + QStringLiteral(": ") + line);
}

int Save(const QString& output, const CKorvoDoc& doc)
{
    const FileResult saved = SaveDiagramFile(QFile::encodeName(output).toStdString(), doc);
    return saved.ok ? 0 : Fail(QString::fromLocal8Bit(saved.message.c_str()));
}

// The printable area of a page, of which the canvas is made.
PageArea CanvasPage()
{
    const CAppState& app = CAppState::Get();
    return PageArea{app.PageWidth(), app.PageHeight()};
}

// Tables are measured with the diagram font at the offscreen resolution,
// as the window would draw them there.
std::unique_ptr<CKorvoDC> MeasuringSurface(const CKorvoDoc& doc)
{
    auto dc = std::make_unique<CKorvoDC>(nullptr, 96, false);
    dc->SelectFont(CKorvoDC::MakeFont(doc.m_logFont, 96));
    return dc;
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
        return CBatchVerbs::ExportSql(commandLine.m_strFile, commandLine.m_strOutput,
                                      commandLine.m_dialect.value_or(SqlDialect::Korvo));
    case CCommandLine::Verb::ImportSql:
        return CBatchVerbs::ImportSql(commandLine.m_strFile, commandLine.m_strInto, commandLine.m_strOutput,
                                      commandLine.m_dialect.value_or(SqlDialect::Auto));
    case CCommandLine::Verb::ImportDb:
        return CBatchVerbs::ImportDb(commandLine.m_strFile, commandLine.m_schemas, commandLine.m_strInto,
                                     commandLine.m_strOutput);
    case CCommandLine::Verb::Check:
        return CBatchVerbs::Check(commandLine.m_strFile, commandLine.m_dialect);
    case CCommandLine::Verb::Arrange:
        return CBatchVerbs::Arrange(commandLine.m_strFile, commandLine.m_strOutput);
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

int CBatchVerbs::ExportSql(const QString& path, const QString& output, SqlDialect dialect)
{
    QString error;
    std::unique_ptr<CKorvoDoc> doc = LoadDiagram(path, error);
    if (!doc)
        return Fail(error);
    if (dialect == SqlDialect::Korvo) {
        if (output == kStandardOutput)
            return WriteStandardOutput(doc->ExportSQLText());
        char text[500] = "";
        if (!doc->ExportSQL(QFile::encodeName(output).constData(), text, int(sizeof text)))
            return Fail(output + QStringLiteral(": ") + QString::fromLatin1(text));
        return 0;
    }
    // What the script cannot carry exactly, it says in its own comments.
    ExportNotes notes;
    const std::string script = ExportDialectSql(*doc, dialect, notes);
    if (output == kStandardOutput)
        return WriteStandardOutput(script);
    const FileResult written = WriteFileAtomically(QFile::encodeName(output).toStdString(), script);
    return written.ok ? 0 : Fail(QString::fromLocal8Bit(written.message.c_str()));
}

int CBatchVerbs::ImportSql(const QString& script, const QString& into, const QString& output, SqlDialect dialect)
{
    QString error;
    std::unique_ptr<CKorvoDoc> doc = into.isEmpty() ? std::make_unique<CKorvoDoc>() : LoadDiagram(into, error);
    if (!doc)
        return Fail(error);

    const std::string path = QFile::encodeName(script).toStdString();
    ImportOptions options;
    options.dialect = dialect;
    const ScriptIntoDiagram imported =
        ImportScriptIntoDiagram(*doc, *MeasuringSurface(*doc), CanvasPage(), path, options);
    if (!imported.script.ok) {
        // Nothing read: ddlread's own account, as Import SQL gives it.
        const std::string& why =
            imported.script.errorText.empty() ? imported.script.readerError : imported.script.errorText;
        return Fail(script + QStringLiteral(": ") + ModelToQString(why).trimmed());
    }
    if (const int status = Save(output, *doc))
        return status;
    // Korvo's own language, asked for by name, says nothing when all went well.
    if (dialect != SqlDialect::Korvo)
        WarnLines(script, ImportSummaryLines(imported.script.report, imported.result.merge));
    if (imported.script.report.dialect == SqlDialect::Korvo) {
        // Names that lost characters are worth a warning, not a failure: the
        // tables were read and saved.
        const SqlNameLosses losses = FindSqlNameLossesInFile(path);
        if (!losses.Empty())
            Warn(script + QStringLiteral(": warning: ") + ModelToQString(DescribeSqlNameLosses(losses)));
    }
    return 0;
}

int CBatchVerbs::ImportDb(const QString& sourceText, const QStringList& schemas, const QString& into,
                          const QString& output)
{
    // A SOURCE that cannot be used as written is a mistake on the command
    // line; the message leaves any password out.
    const LiveResult<DatabaseSource> source = ParseDatabaseSource(QFile::encodeName(sourceText).toStdString());
    if (!source.Ok()) {
        Warn(ModelToQString(source.error.message));
        return 2;
    }
    QString error;
    std::unique_ptr<CKorvoDoc> doc = into.isEmpty() ? std::make_unique<CKorvoDoc>() : LoadDiagram(into, error);
    if (!doc)
        return Fail(error);

    std::vector<std::string> names;
    for (const QString& schema : schemas)
        names.push_back(schema.toStdString());
    const DatabaseIntoDiagram imported =
        ImportDatabaseIntoDiagram(*doc, *MeasuringSurface(*doc), CanvasPage(), source.value, names);
    if (imported.error.Failed())
        return Fail(ModelToQString(imported.error.message));
    if (const int status = Save(output, *doc))
        return status;
    // The summary names the source, without its password.
    WarnLines(QString(), DatabaseSummaryLines(source.value, imported.result.merge));
    return 0;
}

int CBatchVerbs::Check(const QString& path, std::optional<SqlDialect> dialect)
{
    QString error;
    std::unique_ptr<CKorvoDoc> doc = LoadDiagram(path, error);
    if (!doc) {
        // 1 says the diagram has problems; a diagram that cannot be read is not one.
        Warn(error);
        return 2;
    }
    const std::vector<DiagramProblem> problems = CheckDiagram(*doc, dialect);
    if (problems.empty())
        return 0;
    std::string lines;
    for (const DiagramProblem& problem : problems) {
        std::string line = problem.text;
        for (char& c : line)
            if (c == '\n' || c == '\r')
                c = ' ';
        lines += line + '\n';
    }
    return WriteStandardOutput(lines) == 0 ? 1 : 2;
}

int CBatchVerbs::Arrange(const QString& path, const QString& output)
{
    QString error;
    std::unique_ptr<CKorvoDoc> doc = LoadDiagram(path, error);
    if (!doc)
        return Fail(error);
    MeasureTables(*doc, *MeasuringSurface(*doc));
    ArrangeOptions options;
    options.page = CanvasPage();
    const ArrangeResult arranged = ArrangeTables(*doc, options);
    if (arranged.status != ArrangeStatus::Arranged)
        return Fail(path + QStringLiteral(": ") + ModelToQString(arranged.error));
    ApplyMoves(*doc, arranged.change);
    return Save(output, *doc);
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

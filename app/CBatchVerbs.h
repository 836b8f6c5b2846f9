#pragma once

#include "SqlDialect.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class CCommandLine;
class CKorvoDoc;

// The verbs that run without a window and exit: print a diagram, render it
// into a picture, export its SQL, import a script or a live database into a
// diagram, check a diagram, arrange its tables. Each
// reports one clear line on the error stream and a non-zero status when it
// fails (running out of memory included), and writes its output whole or not
// at all. "-" as the output of --render and --export-sql is standard output.
class CBatchVerbs {
public:
    // The exit status of the verb on the command line.
    static int Run(const CCommandLine& commandLine);

    static int Print(const QString& path);
    // format: "png", "svg", "pdf", or empty for the output's suffix (PNG for -).
    static int Render(const QString& path, const QString& output, int dpi, const QString& format = QString(),
                      bool columnTypes = false);
    static int ExportSql(const QString& path, const QString& output, SqlDialect dialect = SqlDialect::Korvo);
    static int ImportSql(const QString& script, const QString& into, const QString& output,
                         SqlDialect dialect = SqlDialect::Auto);
    static int ImportDb(const QString& source, const QStringList& schemas, const QString& into,
                        const QString& output);
    // 0: nothing to report; 1: one line per problem on standard output; 2:
    // the diagram cannot be read.
    static int Check(const QString& path, std::optional<SqlDialect> dialect);
    static int Arrange(const QString& path, const QString& output);
    // --print without a printer: the PDF beside the diagram, under the first
    // name not in use; its path goes to standard output.
    static int PrintToPdf(CKorvoDoc& doc, const QString& path);

    // Reads a diagram for a verb; null with the reason in error when the
    // file does not hold a diagram this program can read.
    static std::unique_ptr<CKorvoDoc> LoadDiagram(const QString& path, QString& error);
    // Where --print writes when there is no printer: path with .pdf, or with
    // -N.pdf for the N-th name tried after that one.
    static QString PdfPathFor(const QString& path, int attempt = 0);

    // The resolution of a print to PDF, as Qt's high-resolution printer.
    static constexpr int kPrinterDpi = 1200;
    // The last N of a PDF name tried before --print gives up.
    static constexpr int kMaxPdfAttempt = 9999;
};

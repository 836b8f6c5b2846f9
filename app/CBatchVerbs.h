#pragma once

#include <QString>

#include <memory>

class CCommandLine;
class CKorvoDoc;

// The verbs that run without a window and exit: print a diagram, render it
// into a picture, export its SQL, import a script into a diagram. Each
// reports one clear line on the error stream and a non-zero status when it
// fails, and writes its output whole or not at all.
class CBatchVerbs {
public:
    // The exit status of the verb on the command line.
    static int Run(const CCommandLine& commandLine);

    static int Print(const QString& path);
    static int Render(const QString& path, const QString& output, int dpi);
    static int ExportSql(const QString& path, const QString& output);
    static int ImportSql(const QString& script, const QString& into, const QString& output);

    // Reads a diagram for a verb; null with the reason in error when the
    // file does not hold a diagram this program can read.
    static std::unique_ptr<CKorvoDoc> LoadDiagram(const QString& path, QString& error);
    // Where --print writes when there is no printer: path with .pdf.
    static QString PdfPathFor(const QString& path);
};

#pragma once

#include <QString>

#include <memory>

class CCommandLine;
class CKorvoDoc;
class QImage;

// The verbs that run without a window and exit: print a diagram, render it
// into an image. Each reports one clear line on the error stream and a
// non-zero status when it fails.
class CBatchVerbs {
public:
    // The exit status of the verb on the command line.
    static int Run(const CCommandLine& commandLine);

    static int Print(const QString& path);
    static int Render(const QString& path, const QString& output, int dpi);

    // Reads a diagram for a verb; null with the reason in error when the
    // file does not hold a diagram this program can read.
    static std::unique_ptr<CKorvoDoc> LoadDiagram(const QString& path, QString& error);
    // Draws the diagram on white as it prints: no page grid, no selection
    // marks, every table measured first so the image holds them all with a
    // quarter-inch border. False with the reason when it would be too large.
    static bool RenderImage(CKorvoDoc& doc, int dpi, QImage& image, QString& error);
    // Where --print writes when there is no printer: path with .pdf.
    static QString PdfPathFor(const QString& path);

    // The largest image --render makes, in pixels.
    static constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;
    static constexpr int kMaxSide = 32767;
};

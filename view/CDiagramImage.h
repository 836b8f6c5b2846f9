#pragma once

#include <QByteArray>
#include <QPageRanges>
#include <QString>

class CKorvoDC;
class CKorvoDoc;
class QPageLayout;
class QPagedPaintDevice;

// Writes a whole diagram as a picture with the same drawing as the screen and
// the printer, without page grid and selection marks: PNG at a resolution or
// SVG with a quarter-inch border around the tables, or PDF pages laid out as
// printing lays them out. Pictures are made in memory and checked, then
// written through WriteFileAtomically, so a failed write leaves the old file.
// With columnTypes the column rows show types and marks, as the window does
// when Show Column Types is on; the tables are measured for it.
class CDiagramImage {
public:
    enum class Format { Png, Svg, Pdf, Unknown };

    static Format FormatOf(const QString& path);
    // Format::Unknown for anything but "png", "svg" or "pdf" (any case).
    static Format FormatNamed(const QString& name);
    // Empty on success, otherwise a message naming the file. The format is
    // the path's suffix unless one is given.
    static QString Write(CKorvoDoc& doc, const QString& path, int dpi = 96, Format format = Format::Unknown,
                         bool columnTypes = false);
    // Makes the picture in memory; empty on success, otherwise the reason.
    // A PDF is drawn at dpi, but at no less than 300, and carries the title.
    static QString Render(CKorvoDoc& doc, Format format, int dpi, const QString& title, QByteArray& bytes,
                          bool columnTypes = false);

    // The page size and margins of the application's page settings.
    static QPageLayout PageLayout();

    // Draws pages first..last (1-based, clamped) on a paged device whose
    // layout is already set; the page size comes from the application's page
    // settings. Returns the number of pages drawn; 0 with the reason in error
    // when the diagram needs more than kMaxPages or printing cannot start.
    static int PrintPages(CKorvoDoc& doc, QPagedPaintDevice& device, int first, int last,
                          QString* error = nullptr, bool columnTypes = false);
    // The same for the pages that ranges lists (every page when it is empty),
    // in order; pages between two ranges stay out.
    static int PrintPages(CKorvoDoc& doc, QPagedPaintDevice& device, const QPageRanges& ranges,
                          QString* error = nullptr, bool columnTypes = false);
    // Why the diagram, with its tables as last measured, cannot be printed
    // (more than kMaxPages pages); empty when it can.
    static QString PrintRefusal(const CKorvoDoc& doc);

    // The largest picture made, so that a diagram file cannot ask for an
    // allocation of any size.
    static constexpr int kMaxSide = 32767;
    static constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;
    // The most pages a print or PDF may take: a hundred pages across and down,
    // sixteen times the largest canvas that Diagram Options sets up. A table
    // far out on a canvas that a file asks for would otherwise print a
    // million empty pages.
    static constexpr int kMaxPages = 10000;
    // PDF pages are drawn at least at this resolution.
    static constexpr int kPdfDpi = 300;

private:
    static void MeasureTables(CKorvoDoc& doc, CKorvoDC& dc);
};

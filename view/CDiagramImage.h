#pragma once

#include <QString>

class CKorvoDoc;
class QPagedPaintDevice;

// Writes a whole diagram as a picture with the same drawing as the screen and
// the printer, without page grid and selection marks: PNG at a resolution or
// SVG with a quarter-inch border around the tables, or PDF pages laid out as
// printing lays them out. Files are written
// through a temporary file that replaces the target only when complete.
class CDiagramImage {
public:
    enum class Format { Png, Svg, Pdf, Unknown };

    static Format FormatOf(const QString& path);
    // Empty on success, otherwise a message naming the file.
    static QString Write(CKorvoDoc& doc, const QString& path, int dpi = 96);

    // Draws pages first..last (1-based, clamped) on an open paged device whose
    // layout is already set; the page size comes from the application's page
    // settings. Returns the number of pages drawn.
    static int PrintPages(CKorvoDoc& doc, QPagedPaintDevice& device, int first, int last);

    // The largest picture made, so that a diagram file cannot ask for an
    // allocation of any size.
    static constexpr int kMaxSide = 32767;
    static constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;
};

#pragma once

#include "Geometry.h"
#include "LogFont.h"
#include "MeasureSurface.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QRegion>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CKorvoDoc;
class QPainter;

// A drawing surface in the canvas's logical units: twips, y up, mapped to the
// device at its own resolution (the screen's dpiX, or the printer's) times
// the window's zoom. Shapes are converted to device pixels and drawn without
// antialiasing, so one logical unit lands exactly where the mapping puts it:
// at 96 dpi and actual size, 15 units are one pixel. The same surface
// measures text with the diagram font made for the resolution alone, so
// layout and drawing always agree and table sizes do not change with the
// zoom; zoomed, text is drawn in that font scaled.
class CKorvoDC : public CMeasureSurface {
public:
    // painter may be null for a surface that only measures and converts.
    CKorvoDC(QPainter* painter, int dpi, bool printing);
    ~CKorvoDC() override;

    CKorvoDC(const CKorvoDC&) = delete;
    CKorvoDC& operator=(const CKorvoDC&) = delete;

    // The device font for a diagram font record at a resolution: a positive
    // height is the cell height (ascent plus descent), a negative one the
    // character height, both in twips. Heights beyond kMaxFontHeight either
    // way are made at that height.
    static QFont MakeFont(const KorvoLogFont& logFont, int dpi);
    // 8192 twips (about 410 points). Qt's font metrics break down beyond
    // about 18000 pixels (the ascent turns negative); at the highest
    // resolution a picture is made at, 2400 dpi, this height is 13653 pixels.
    // Fonts are never made above kMaxFontPixels, whatever the resolution.
    static constexpr int32_t kMaxFontHeight = 8192;
    static constexpr int kMaxFontPixels = 16384;

    void SelectFont(const QFont& font);
    const QFont& Font() const { return m_font; }

    // Device pixels per logical unit are Dpi() x Zoom() / (1440 x 100).
    void SetZoom(int percent);
    int Zoom() const { return m_nZoom; }
    // Zoomed out, the logical length that covers as many pixels as length
    // covers at actual size; otherwise length. Selection marks never shrink
    // below their actual size on screen, and grow when zoomed in.
    int32_t ScreenLength(int32_t length) const;

    // Column rows show each column's type and marks; the relations of doc
    // say which columns take part in one. Null: names only (the default).
    void ShowColumnTypes(const CKorvoDoc* doc);

    // Draws from now on with painter (may be null), in the selected font.
    void SetPainter(QPainter* painter);
    int Dpi() const { return m_nDpi; }
    bool IsPrinting() const { return m_bPrinting; }
    QPainter* Painter() const { return m_pPainter; }

    // The device rectangle that is visible (the client area on screen, the
    // page on paper); also the base of the clip region.
    void SetClientRect(const QRect& rect);
    QRect ClientRect() const { return m_rectClient; }
    // The client rectangle in logical units, top above bottom, converted with
    // truncation toward zero.
    CRect ClientRectLogical() const;

    // CMeasureSurface
    int32_t GetTextWidth(std::string_view text) const override;
    int32_t GetLineHeight() const override;
    CPoint LPtoDP(CPoint pt) const override;
    CPoint DPtoLP(CPoint pt) const override;
    CSize LPtoDP(CSize size) const override;
    CSize DPtoLP(CSize size) const;
    bool ShowsColumnTypes() const override { return m_pTypesDoc != nullptr; }
    unsigned RelationSides(const CColumn& column) const override;
    // Converts the four edges; the result is in device orientation as given
    // (not normalised).
    CRect LPtoDP(const CRect& rect) const;

    // Drawing, in logical units. Pens are one device pixel wide, as a width-0
    // or width-1 pen is on a twips mapping.
    void SetPenColor(const QColor& color);
    void SetBrushColor(const std::optional<QColor>& color);
    void Line(CPoint from, CPoint to);
    void FillSolidRect(const CRect& rect, const QColor& color);
    // Many shapes in one drawing call, in order: segments given as pairs
    // of end points, and boxes filled with fill inside a one-pixel frame.
    void Lines(const std::vector<CPoint>& ends);
    void Boxes(const std::vector<CRect>& boxes, const QColor& fill, const QColor& frame);
    void Ellipse(const CRect& box);
    void InvertRect(const CRect& rect);
    // Single-line text in a box, aligned with Qt alignment flags; the text is
    // the model's UTF-8 text, drawn with fallback fonts for missing glyphs.
    void DrawText(std::string_view text, const CRect& box, int alignment, const QColor& color = Qt::black);

    // Clip region: starts as the client rectangle; exclusions accumulate.
    void ExcludeClipRect(const CRect& rect);
    // Clips to the client rectangle alone.
    void ClipToClient();
    void ClearClip();

    static QRect ToQRect(const CRect& deviceRect);

private:
    QPainter* m_pPainter;
    int m_nDpi;
    int m_nZoom = 100;
    bool m_bPrinting;
    QFont m_font;
    const CKorvoDoc* m_pTypesDoc = nullptr;
    // Filled on the first question, and again when relations were added or
    // removed since: which relation sides each column is on.
    mutable std::optional<std::unordered_map<const CColumn*, unsigned>> m_relationSides;
    mutable size_t m_nRelationsSeen = 0;
    std::optional<QFontMetrics> m_metrics;
    std::optional<QFontMetricsF> m_metricsF;
    // Advance of every Latin-1 character: such text is measured by summing,
    // which is what laying out unkerned Latin-1 text comes to, and keeps
    // measuring thousands of tables per paint cheap. Other text is laid out.
    std::array<qreal, 256> m_advances{};
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    mutable std::unordered_map<std::string, qreal, TextHash, std::equal_to<>> m_wideWidths;
    QRect m_rectClient;
    QRegion m_clip;
    bool m_bClipping = false;
    QColor m_penColor = Qt::black;
    std::optional<QColor> m_brushColor = QColor(Qt::white);
};

#include "CKorvoDC.h"

#include "CKorvoDoc.h"
#include "ModelText.h"
#include "TextEncoding.h"

#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// a * b / c rounded to the nearest integer, halves away from zero, in 64 bits;
// a result beyond the 32-bit range stops at its end.
int32_t MulDivRound(int64_t a, int64_t b, int64_t c)
{
    int64_t n = a * b;
    int64_t q = (std::llabs(n) + c / 2) / c;
    return Saturate(n < 0 ? -q : q);
}

// The denominator of the mapping: twips per inch times 100 percent.
constexpr int64_t kScaleDenominator = int64_t(kTwipsPerInch) * 100;

// Device rectangles are cut to this many pixels either side of the origin:
// whatever can be seen lies well inside, and the painting engines keep their
// precision.
constexpr int32_t kDeviceLimit = 1 << 24;

// The largest em size whose line (ascent plus descent) is at most pixels
// high. Line height grows with the em size, so a binary search finds it with
// a few measurements at any size.
int FitLineHeight(const QFont& font, int pixels)
{
    auto lineHeight = [&font](int em) {
        QFont probe(font);
        probe.setPixelSize(em);
        return QFontMetrics(probe).height();
    };
    if (lineHeight(pixels) <= pixels)
        return pixels;
    int fits = 1;        // assumed to fit: nothing smaller can be made
    int tooTall = pixels; // known not to fit
    while (tooTall - fits > 1) {
        const int em = fits + (tooTall - fits) / 2;
        if (lineHeight(em) <= pixels)
            fits = em;
        else
            tooTall = em;
    }
    return fits;
}

} // namespace

CKorvoDC::CKorvoDC(QPainter* painter, int dpi, bool printing)
    : m_pPainter(painter), m_nDpi(dpi > 0 ? dpi : 96), m_bPrinting(printing)
{
    SelectFont(MakeFont(KorvoLogFont(), m_nDpi));
}

CKorvoDC::~CKorvoDC()
{
    if (m_pPainter && m_bClipping)
        m_pPainter->setClipping(false);
}

QFont CKorvoDC::MakeFont(const KorvoLogFont& logFont, int dpi)
{
    QFont font(QString::fromLatin1(logFont.FaceName().c_str()));
    const int64_t height =
        std::clamp<int64_t>(logFont.lfHeight != 0 ? logFont.lfHeight : 240, -kMaxFontHeight, kMaxFontHeight);
    const int pixels = std::clamp(MulDivRound(height < 0 ? -height : height, dpi, kTwipsPerInch), 1, kMaxFontPixels);
    font.setPixelSize(pixels);
    // The record asks for a cell height: take the largest em size whose
    // ascent plus descent still fits in it.
    if (height > 0)
        font.setPixelSize(FitLineHeight(font, pixels));
    if (logFont.lfWeight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp<int>(logFont.lfWeight, 1, 1000)));
    font.setItalic(logFont.lfItalic != 0);
    font.setUnderline(logFont.lfUnderline != 0);
    font.setStrikeOut(logFont.lfStrikeOut != 0);
    font.setKerning(false);
    return font;
}

void CKorvoDC::SelectFont(const QFont& font)
{
    m_font = font;
    m_metrics.emplace(m_font);
    m_metricsF.emplace(m_font);
    m_wideWidths.clear();
    for (int c = 0; c < 256; ++c)
        m_advances[size_t(c)] = m_metricsF->horizontalAdvance(QChar(c));
    if (m_pPainter)
        m_pPainter->setFont(m_font);
}

void CKorvoDC::SetZoom(int percent)
{
    m_nZoom = std::max(percent, 1);
}

int32_t CKorvoDC::ScreenLength(int32_t length) const
{
    return m_nZoom < 100 ? Saturate(int64_t(length) * 100 / m_nZoom) : length;
}

void CKorvoDC::ShowColumnTypes(const CKorvoDoc* doc)
{
    m_pTypesDoc = doc;
    m_relationSides.reset();
}

unsigned CKorvoDC::RelationSides(const CColumn& column) const
{
    if (!m_pTypesDoc)
        return 0;
    if (!m_relationSides || m_nRelationsSeen != m_pTypesDoc->m_relations.size()) {
        m_relationSides.emplace();
        m_nRelationsSeen = m_pTypesDoc->m_relations.size();
        for (const auto& relation : m_pTypesDoc->m_relations) {
            for (const CColumn* source : relation->m_sourceColumns)
                (*m_relationSides)[source] |= kRelationSource;
            for (const CColumn* dest : relation->m_destColumns)
                (*m_relationSides)[dest] |= kRelationDestination;
        }
    }
    const auto found = m_relationSides->find(&column);
    return found == m_relationSides->end() ? 0 : found->second;
}

void CKorvoDC::SetPainter(QPainter* painter)
{
    if (m_pPainter && m_bClipping)
        m_pPainter->setClipping(false);
    m_bClipping = false;
    m_pPainter = painter;
    if (m_pPainter)
        m_pPainter->setFont(m_font);
}

void CKorvoDC::SetClientRect(const QRect& rect)
{
    m_rectClient = rect;
    m_clip = QRegion(rect);
}

CRect CKorvoDC::ClientRectLogical() const
{
    // Truncating conversion, as the view's logical-rectangle conversion does.
    const int64_t scale = int64_t(m_nDpi) * m_nZoom;
    auto toLog = [scale](int32_t v) { return Saturate(int64_t(v) * kScaleDenominator / scale); };
    QRect r = m_rectClient;
    return CRect{toLog(r.left()), -toLog(r.top()), toLog(r.left() + r.width()), -toLog(r.top() + r.height())};
}

int32_t CKorvoDC::GetTextWidth(std::string_view text) const
{
    qreal px = 0;
    char32_t character;
    for (size_t pos = 0; pos < text.size();) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte < 0x80) {
            px += m_advances[byte];
            ++pos;
            continue;
        }
        pos += TextEncoding::NextCharacter(text, pos, character);
        if (character > 0xFF) {
            // Beyond Latin-1 the text is laid out whole: other fonts fill in
            // the glyphs this one lacks, marks combine, and scripts shape and
            // run right to left. A paint measures a table up to three times
            // (its box and both ends of its relations), so the widths are
            // kept for the life of this surface.
            auto known = m_wideWidths.find(text);
            if (known == m_wideWidths.end())
                known = m_wideWidths.emplace(std::string(text), m_metricsF->horizontalAdvance(ModelToQString(text))).first;
            px = known->second;
            break;
        }
        px += m_advances[character];
    }
    return MulDivRound(qRound64(px), kTwipsPerInch, m_nDpi);
}

int32_t CKorvoDC::GetLineHeight() const
{
    return MulDivRound(m_metrics->height(), kTwipsPerInch, m_nDpi);
}

// At actual size the scale is dpi x 100 over 1440 x 100, which rounds
// exactly as dpi over 1440 does.
CPoint CKorvoDC::LPtoDP(CPoint pt) const
{
    const int64_t scale = int64_t(m_nDpi) * m_nZoom;
    return CPoint{MulDivRound(pt.x, scale, kScaleDenominator), MulDivRound(-int64_t(pt.y), scale, kScaleDenominator)};
}

CPoint CKorvoDC::DPtoLP(CPoint pt) const
{
    const int64_t scale = int64_t(m_nDpi) * m_nZoom;
    return CPoint{MulDivRound(pt.x, kScaleDenominator, scale), MulDivRound(-int64_t(pt.y), kScaleDenominator, scale)};
}

CSize CKorvoDC::LPtoDP(CSize size) const
{
    const int64_t scale = int64_t(m_nDpi) * m_nZoom;
    return CSize{MulDivRound(std::abs(int64_t(size.cx)), scale, kScaleDenominator),
                 MulDivRound(std::abs(int64_t(size.cy)), scale, kScaleDenominator)};
}

CSize CKorvoDC::DPtoLP(CSize size) const
{
    const int64_t scale = int64_t(m_nDpi) * m_nZoom;
    return CSize{MulDivRound(std::abs(int64_t(size.cx)), kScaleDenominator, scale),
                 MulDivRound(std::abs(int64_t(size.cy)), kScaleDenominator, scale)};
}

CRect CKorvoDC::LPtoDP(const CRect& rect) const
{
    CPoint a = LPtoDP(CPoint{rect.left, rect.top});
    CPoint b = LPtoDP(CPoint{rect.right, rect.bottom});
    return CRect{a.x, a.y, b.x, b.y};
}

QRect CKorvoDC::ToQRect(const CRect& deviceRect)
{
    const CRect r = deviceRect.Normalized();
    auto cut = [](int32_t v) { return std::clamp(v, -kDeviceLimit, kDeviceLimit); };
    return QRect(cut(r.left), cut(r.top), cut(r.right) - cut(r.left), cut(r.bottom) - cut(r.top));
}

void CKorvoDC::SetPenColor(const QColor& color)
{
    m_penColor = color;
}

void CKorvoDC::SetBrushColor(const std::optional<QColor>& color)
{
    m_brushColor = color;
}

void CKorvoDC::Line(CPoint from, CPoint to)
{
    if (!m_pPainter)
        return;
    CPoint a = LPtoDP(from);
    CPoint b = LPtoDP(to);
    m_pPainter->setPen(QPen(m_penColor, 0));
    m_pPainter->drawLine(a.x, a.y, b.x, b.y);
}

void CKorvoDC::FillSolidRect(const CRect& rect, const QColor& color)
{
    if (!m_pPainter)
        return;
    QRect device = ToQRect(LPtoDP(rect));
    // Zoomed out, a frame band of 15 twips covers less than a pixel and may
    // round away; it keeps one pixel so that no frame goes missing.
    if (m_nZoom < 100) {
        if (device.width() == 0 && rect.left != rect.right)
            device.setWidth(1);
        if (device.height() == 0 && rect.top != rect.bottom)
            device.setHeight(1);
    }
    m_pPainter->fillRect(device, color);
}

void CKorvoDC::Lines(const std::vector<CPoint>& ends)
{
    if (!m_pPainter)
        return;
    QList<QLine> lines;
    lines.reserve(qsizetype(ends.size() / 2));
    for (size_t i = 0; i + 1 < ends.size(); i += 2) {
        const CPoint a = LPtoDP(ends[i]);
        const CPoint b = LPtoDP(ends[i + 1]);
        lines.append(QLine(a.x, a.y, b.x, b.y));
    }
    m_pPainter->setPen(QPen(m_penColor, 0));
    m_pPainter->drawLines(lines);
}

void CKorvoDC::Boxes(const std::vector<CRect>& boxes, const QColor& fill, const QColor& frame)
{
    if (!m_pPainter)
        return;
    // Solid fills are the raster engine's fastest shape: the frame colour
    // over the whole box, then the fill inside a pixel of it.
    for (const CRect& box : boxes) {
        const QRect r = ToQRect(LPtoDP(box));
        m_pPainter->fillRect(r, frame);
        m_pPainter->fillRect(r.adjusted(1, 1, -1, -1), fill);
    }
}

void CKorvoDC::Ellipse(const CRect& box)
{
    if (!m_pPainter)
        return;
    QRect r = ToQRect(LPtoDP(box));
    m_pPainter->setPen(QPen(m_penColor, 0));
    m_pPainter->setBrush(m_brushColor ? QBrush(*m_brushColor) : QBrush(Qt::NoBrush));
    // The outline runs inside the box, as the platform's ellipse does.
    m_pPainter->drawEllipse(r.adjusted(0, 0, -1, -1));
    m_pPainter->setBrush(Qt::NoBrush);
}

void CKorvoDC::InvertRect(const CRect& rect)
{
    if (!m_pPainter)
        return;
    QPainter::CompositionMode old = m_pPainter->compositionMode();
    m_pPainter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    m_pPainter->fillRect(ToQRect(LPtoDP(rect)), Qt::white);
    m_pPainter->setCompositionMode(old);
}

void CKorvoDC::DrawText(std::string_view text, const CRect& box, int alignment, const QColor& color)
{
    if (!m_pPainter)
        return;
    m_pPainter->setPen(QPen(color, 0));
    if (m_nZoom == 100) {
        m_pPainter->drawText(ToQRect(LPtoDP(box)), alignment | Qt::TextSingleLine, ModelToQString(text));
        return;
    }
    // Zoomed, the text is laid out as at actual size, in the font the
    // tables were measured with, and scaled: it takes the same share of its
    // box at every zoom, so names, types and marks never run into each
    // other or out of the box.
    const qreal scale = qreal(m_nZoom) / 100;
    const QRectF device(ToQRect(LPtoDP(box)));
    const QRectF actual(device.left() / scale, device.top() / scale, device.width() / scale,
                        device.height() / scale);
    m_pPainter->save();
    m_pPainter->scale(scale, scale);
    m_pPainter->drawText(actual, alignment | Qt::TextSingleLine, ModelToQString(text));
    m_pPainter->restore();
}

void CKorvoDC::ExcludeClipRect(const CRect& rect)
{
    if (!m_pPainter)
        return;
    m_clip -= QRegion(ToQRect(LPtoDP(rect)));
    m_pPainter->setClipRegion(m_clip);
    m_bClipping = true;
}

void CKorvoDC::ClipToClient()
{
    if (!m_pPainter)
        return;
    m_clip = QRegion(m_rectClient);
    m_pPainter->setClipRect(m_rectClient);
    m_bClipping = true;
}

void CKorvoDC::ClearClip()
{
    if (!m_pPainter)
        return;
    m_pPainter->setClipping(false);
    m_clip = QRegion(m_rectClient);
    m_bClipping = false;
}

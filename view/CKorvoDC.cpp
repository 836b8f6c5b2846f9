#include "CKorvoDC.h"

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
    auto toLog = [this](int32_t v) { return static_cast<int32_t>(int64_t(v) * kTwipsPerInch / m_nDpi); };
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

CPoint CKorvoDC::LPtoDP(CPoint pt) const
{
    return CPoint{MulDivRound(pt.x, m_nDpi, kTwipsPerInch),
                  MulDivRound(-int64_t(pt.y), m_nDpi, kTwipsPerInch)};
}

CPoint CKorvoDC::DPtoLP(CPoint pt) const
{
    return CPoint{MulDivRound(pt.x, kTwipsPerInch, m_nDpi),
                  MulDivRound(-int64_t(pt.y), kTwipsPerInch, m_nDpi)};
}

CSize CKorvoDC::LPtoDP(CSize size) const
{
    return CSize{MulDivRound(std::abs(int64_t(size.cx)), m_nDpi, kTwipsPerInch),
                 MulDivRound(std::abs(int64_t(size.cy)), m_nDpi, kTwipsPerInch)};
}

CSize CKorvoDC::DPtoLP(CSize size) const
{
    return CSize{MulDivRound(std::abs(int64_t(size.cx)), kTwipsPerInch, m_nDpi),
                 MulDivRound(std::abs(int64_t(size.cy)), kTwipsPerInch, m_nDpi)};
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
    m_pPainter->fillRect(ToQRect(LPtoDP(rect)), color);
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

void CKorvoDC::DrawText(std::string_view text, const CRect& box, int alignment)
{
    if (!m_pPainter)
        return;
    m_pPainter->setPen(QPen(Qt::black, 0));
    m_pPainter->drawText(ToQRect(LPtoDP(box)), alignment | Qt::TextSingleLine, ModelToQString(text));
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

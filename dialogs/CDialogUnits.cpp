#include "CDialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

#include <cstdint>

namespace {
// The average width is taken over both alphabets, as the platform does.
const char* const kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kAlphabetLength = 52;
}

CDialogUnits::CDialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QString::fromLatin1(kAlphabet));
    m_nBaseX = (width + kAlphabetLength / 2) / kAlphabetLength;
    m_nBaseY = metrics.height();
}

int CDialogUnits::MulDiv(int du, int numerator, int denominator)
{
    const int64_t product = int64_t(du) * numerator;
    const int64_t half = denominator / 2;
    return int((product >= 0 ? product + half : product - half) / denominator);
}

int CDialogUnits::ToPixelsX(int du) const
{
    return MulDiv(du, m_nBaseX, 4);
}

int CDialogUnits::ToPixelsY(int du) const
{
    return MulDiv(du, m_nBaseY, 8);
}

QRect CDialogUnits::ToPixels(int x, int y, int cx, int cy) const
{
    // Position and size are mapped one by one, as a template's controls are
    // created.
    return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(cx), ToPixelsY(cy));
}

QSize CDialogUnits::ToPixels(int cx, int cy) const
{
    return QSize(ToPixelsX(cx), ToPixelsY(cy));
}

#pragma once

#include <QRect>
#include <QSize>

class QFont;

// Converts dialog-template units to pixels for one dialog font, the way the
// platform maps a template: a horizontal unit is a quarter of the font's
// average character width, a vertical unit an eighth of its height.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);
    CDialogUnits(int baseX, int baseY) : m_nBaseX(baseX), m_nBaseY(baseY) {}

    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }

    int ToPixelsX(int du) const;
    int ToPixelsY(int du) const;
    QRect ToPixels(int x, int y, int cx, int cy) const;
    QSize ToPixels(int cx, int cy) const;

    // du * numerator / denominator rounded half away from zero, as MulDiv does.
    static int MulDiv(int du, int numerator, int denominator);

private:
    int m_nBaseX;
    int m_nBaseY;
};

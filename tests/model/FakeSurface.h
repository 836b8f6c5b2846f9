#pragma once

#include "MeasureSurface.h"

#include <cmath>

// A measuring surface with round numbers: every character 100 units wide, a
// configurable line height, and a screen of 96 pixels per inch (15 logical
// units per pixel) with y pointing down.
class FakeSurface : public CMeasureSurface {
public:
    explicit FakeSurface(int32_t lineHeight = 240) : m_lineHeight(lineHeight) {}

    int32_t GetTextWidth(std::string_view text) const override { return 100 * static_cast<int32_t>(text.size()); }
    int32_t GetLineHeight() const override { return m_lineHeight; }
    CPoint LPtoDP(CPoint pt) const override { return {Round(pt.x / 15.0), Round(-(pt.y / 15.0))}; }
    CPoint DPtoLP(CPoint pt) const override { return {pt.x * 15, -pt.y * 15}; }
    CSize LPtoDP(CSize size) const override
    {
        return {Round(std::abs(size.cx) / 15.0), Round(std::abs(size.cy) / 15.0)};
    }

private:
    static int32_t Round(double v) { return static_cast<int32_t>(std::lround(v)); }
    int32_t m_lineHeight;
};

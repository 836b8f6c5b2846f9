#pragma once

#include <cstdint>

// Logical units per inch: one twip is 1/1440 inch.
inline constexpr int32_t kTwipsPerInch = 1440;

// Plain integer geometry shared by the model and the view. Logical points are
// in twips with y growing upward; device points are pixels with y downward.

// Positions and sizes come from files as they are, anywhere in the 32-bit
// range; arithmetic on them is done in 64 bits and lands on the nearest end
// of the range instead of overflowing. Nothing that far out is ever shown.
constexpr int32_t Saturate(int64_t value)
{
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
}

struct CPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const CPoint&, const CPoint&) = default;
    CPoint operator+(const CPoint& o) const
    {
        return {Saturate(int64_t(x) + o.x), Saturate(int64_t(y) + o.y)};
    }
    CPoint operator-(const CPoint& o) const
    {
        return {Saturate(int64_t(x) - o.x), Saturate(int64_t(y) - o.y)};
    }
};

struct CSize {
    int32_t cx = 0;
    int32_t cy = 0;
    friend bool operator==(const CSize&, const CSize&) = default;
};

// left/top/right/bottom as given; in logical units top lies above bottom
// (top > bottom), in device units below it.
struct CRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(const CRect&, const CRect&) = default;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    // Orders the corners so that left <= right and top <= bottom (device sense).
    CRect Normalized() const
    {
        CRect r = *this;
        if (r.left > r.right) { int32_t t = r.left; r.left = r.right; r.right = t; }
        if (r.top > r.bottom) { int32_t t = r.top; r.top = r.bottom; r.bottom = t; }
        return r;
    }
};

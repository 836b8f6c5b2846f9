#pragma once

#include "Geometry.h"

#include <cmath>
#include <cstdint>

// The page-setup dialog speaks thousandths of an inch; the settings are in
// twips. Both directions truncate toward zero, so the defaults survive a
// round trip: 360 -> 250 -> 360, 11520 -> 8000 -> 11520, 15840 -> 11000 -> 15840.
constexpr int32_t TwipsToThousandths(int32_t twips)
{
    return static_cast<int32_t>(int64_t(twips) * 1000 / kTwipsPerInch);
}

constexpr int32_t ThousandthsToTwips(int32_t thousandths)
{
    return static_cast<int32_t>(int64_t(thousandths) * kTwipsPerInch / 1000);
}

// Qt hands lengths back as inches in floating point; the dialog's own unit is
// the whole thousandth nearest to them.
inline int32_t InchesToThousandths(double inches)
{
    return static_cast<int32_t>(std::lround(inches * 1000.0));
}

#include "CDialogUnits.h"

#include <gtest/gtest.h>

namespace {

struct MulDivCase {
    int du, numerator, denominator, expected;
};

// Halves round away from zero, as the platform's MulDiv does.
TEST(CDialogUnits, MulDivRoundsHalvesAwayFromZero)
{
    const MulDivCase cases[] = {
        {0, 7, 4, 0},   {4, 7, 4, 7},    {1, 6, 4, 2},   {1, 5, 4, 1},  {3, 5, 4, 4},
        {2, 5, 4, 3},   {1, 4, 8, 1},    {1, 3, 8, 0},   {-2, 5, 4, -3}, {-1, 5, 4, -1},
        {50, 7, 4, 88}, {261, 7, 4, 457}, {181, 16, 8, 362},
    };
    for (const MulDivCase& c : cases)
        EXPECT_EQ(CDialogUnits::MulDiv(c.du, c.numerator, c.denominator), c.expected)
            << c.du << " * " << c.numerator << " / " << c.denominator;
}

TEST(CDialogUnits, MapsPositionAndSizeOneByOne)
{
    const CDialogUnits units(7, 15);
    EXPECT_EQ(units.ToPixels(7, 61, 247, 75), QRect(12, 114, 432, 141));
    EXPECT_EQ(units.ToPixels(261, 181), QSize(457, 339));
}

} // namespace

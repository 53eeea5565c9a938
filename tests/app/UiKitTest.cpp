#include "app/UiKit.h"

#include <gtest/gtest.h>

TEST(UiKit, ScaledFollowsTheHeightOfTheKoreanGlyph)
{
    const int measured = ScaleUnit();
    EXPECT_GE(measured, 10);
    struct Case {
        int unit, n, px;
    } cases[] = {
        {24, 16, 24}, {24, 80, 120}, {24, 38, 57},  // a 24 px "가": every size grows by half
        {16, 80, 80},  {9, 80, 80},                 // below 10 counts as 16
        {20, 7, 8},                                  // multiply first, then divide
    };
    for (const Case& c : cases) {
        SetScaleUnit(c.unit);
        EXPECT_EQ(Scaled(c.n), c.px) << c.unit << " " << c.n;
    }
    SetScaleUnit(measured);
}

#include "platform/MulDiv.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(MulDiv, RoundsToNearestAndFailsOnOverflow)
{
    const struct {
        int a, b, c, result;
    } cases[] = {
        {500, 194, 2000, 49}, {100, 500, 2000, 25}, {1, 1, 3, 0},     {2, 1, 3, 1},
        {-5, 3, 2, -8},       {7, 0, 5, 0},         {5, 5, 0, -1},    {0, 100, 0, -1},
        {2000000000, 2, 1, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.result) << c.a << "*" << c.b << "/" << c.c;
}

TEST(MulDiv, SixtyFourBitCountsOfLargeFiles)
{
    EXPECT_EQ(MulDiv64(2500000000LL, 100, 5000000000LL), 50);
    EXPECT_EQ(MulDiv64(INT64_MAX, 2, 2), INT64_MAX);
    EXPECT_EQ(MulDiv64(INT64_MAX, 3, 2), -1);
    EXPECT_EQ(MulDiv64(1, 1, 0), -1);
}

#include <gtest/gtest.h>

#include "render/AreaScale.h"

// Fitting a page to the head keeps its tone: every new pixel is the mean of
// the area it covers, so stripes one dot wide become even gray, not a
// pattern of kept and dropped columns.
TEST(AreaScale, ShrinkKeepsTheMeanOfEveryArea) {
    CxImage image;
    ASSERT_TRUE(image.Create(480, 6, 8, 0));
    image.SetGrayPalette();
    for (uint32_t y = 0; y < 6; y++)
        for (uint32_t x = 0; x < 480; x++)
            image.GetBits(y)[x] = x % 2 ? 255 : 0;
    ASSERT_TRUE(AreaScale::ShrinkGray(image, 384, 4));
    ASSERT_EQ(image.GetWidth(), 384u);
    ASSERT_EQ(image.GetHeight(), 4u);
    for (uint32_t y = 0; y < 4; y++) {
        double sum = 0;
        for (uint32_t x = 0; x < 384; x++) {
            const uint8_t level = image.GetBits(y)[x];
            EXPECT_TRUE(level > 40 && level < 215) << x << "," << y << ": " << int(level);
            sum += level;
        }
        EXPECT_NEAR(sum / 384, 127.5, 1.0);
    }

    CxImage color;
    ASSERT_TRUE(color.Create(8, 8, 24, 0));
    EXPECT_FALSE(AreaScale::ShrinkGray(color, 4, 4));
    EXPECT_EQ(color.GetWidth(), 8u);
}

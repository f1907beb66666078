#include <gtest/gtest.h>

#include <cstring>

#include "render/AreaScale.h"
#include "render/PageAssembly.h"

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

// Placing and shrinking in one pass, row by row, gives exactly what building
// the white media page first and shrinking it gives, for every gray depth.
TEST(AreaScale, ShrinkingWhilePlacingEqualsPlacingThenShrinking) {
    for (uint32_t bpp : {1u, 4u, 8u, 24u}) {
        CxImage picture;
        ASSERT_TRUE(picture.Create(37, 23, bpp, 0));
        if (bpp < 24)
            picture.SetGrayPalette();
        for (uint32_t y = 0; y < 23; y++)
            for (uint32_t i = 0; i < picture.GetEffWidth(); i++)
                picture.GetBits(y)[i] = static_cast<uint8_t>(y * 31 + i * 7);
        const PageAssembly::Placement placement{101, 67, 40, 9};
        CxImage shrunk;
        ASSERT_TRUE(AreaScale::ShrinkPlaced(picture, 101, 67, 40, 9, 50, 33, shrunk)) << bpp;

        CxImage page(picture);
        ASSERT_TRUE(PageAssembly::PlaceOnMedia(page, placement));
        if (page.GetBpp() != 8) {
            ASSERT_TRUE(page.GrayScale());
        }
        ASSERT_TRUE(AreaScale::ShrinkGray(page, 50, 33));
        for (uint32_t y = 0; y < 33; y++)
            ASSERT_EQ(0, std::memcmp(page.GetBits(y), shrunk.GetBits(y), 50)) << bpp << " bits, row " << y;
    }
}

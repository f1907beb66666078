#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "image/CxImage.h"
#include "image/ImageReference.h"
#include "image/ImageTestUtil.h"

using image_reference::ReferenceResample;
using image_test::SameImage;

namespace {

// Source column of every result column, read from a 1-row 8-bit image whose
// pixel x holds x.
std::vector<int> Columns(uint32_t width, int newWidth) {
    CxImage image(0);
    EXPECT_NE(image.Create(width, 1, 8, 0), nullptr);
    image.SetGrayPalette();
    for (uint32_t x = 0; x < width; x++)
        image.GetBits(0)[x] = static_cast<uint8_t>(x);
    EXPECT_TRUE(image.Resample(newWidth, 1));
    std::vector<int> columns;
    for (int x = 0; x < newWidth; x++)
        columns.push_back(image.GetBits(0)[x]);
    return columns;
}

}  // namespace

TEST(ImageResample, ColumnChoicesFollowSinglePrecisionScale) {
    EXPECT_EQ(Columns(3, 6), (std::vector<int>{0, 0, 1, 1, 2, 2}));
    EXPECT_EQ(Columns(6, 3), (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(Columns(10, 3), (std::vector<int>{0, 3, 6}));
    EXPECT_EQ(Columns(3, 2), (std::vector<int>{0, 1}));
}

TEST(ImageResample, MatchesPerPixelSamplingAtEveryDepth) {
    std::mt19937 rng(11);
    for (uint32_t bpp : {1u, 4u, 8u, 24u}) {
        for (int round = 0; round < 8; round++) {
            const uint32_t w = 1 + rng() % 30, h = 1 + rng() % 12;
            const int nw = 1 + static_cast<int>(rng() % 50), nh = 1 + static_cast<int>(rng() % 20);
            CxImage source(0);
            image_test::FillRandom(source, w, h, bpp, rng());
            if (round % 2) {
                ASSERT_TRUE(source.AlphaCreate());
                source.AlphaSet(0, 0, 7);
            }
            CxImage expected(0);
            ReferenceResample(source, nw, nh, expected);
            ASSERT_TRUE(source.Resample(nw, nh));
            ASSERT_TRUE(SameImage(expected, source)) << bpp << " bits " << w << "x" << h << " -> " << nw << "x" << nh;
        }
    }
}

TEST(ImageResample, RepeatedPaletteColoursMapToTheFirstEntry) {
    CxImage source(0);
    image_test::FillRandom(source, 9, 4, 4, 5);
    source.SetPaletteColor(3, 0, 0, 0);  // the same colour as entry 0
    CxImage expected(0);
    ReferenceResample(source, 18, 8, expected);
    ASSERT_TRUE(source.Resample(18, 8));
    EXPECT_TRUE(SameImage(expected, source));
    for (uint32_t y = 0; y < 8; y++)
        for (int32_t x = 0; x < 18; x++)
            ASSERT_NE(source.GetPixelIndex(x, static_cast<int32_t>(y)), 3);
}

TEST(ImageResample, OneBitResultKeepsPaletteAndDescription) {
    CxImage image(0);
    image_test::FromPicture(image, {"#.#.", "..##"});
    image.SetXDPI(203);
    ASSERT_TRUE(image.Resample(8, 4));
    EXPECT_EQ(image.GetBpp(), 1u);
    EXPECT_EQ(image.GetXDPI(), 203);
    EXPECT_EQ(testing_support::Hex(reinterpret_cast<uint8_t*>(image.GetPalette()), 8), "00 00 00 00 FF FF FF 00 ");
    EXPECT_EQ(image_test::Picture(image), (std::vector<std::string>{"##..##..", "##..##..", "....####", "....####"}));
}

TEST(ImageResample, SameSizeChangesNothingOrCopies) {
    CxImage image(0);
    image_test::FillRandom(image, 7, 3, 8, 1);
    CxImage before(image);
    EXPECT_TRUE(image.Resample(7, 3));
    EXPECT_TRUE(SameImage(before, image));
    CxImage copy(0);
    EXPECT_TRUE(image.Resample(7, 3, 1, &copy));
    EXPECT_TRUE(SameImage(before, copy));
    EXPECT_TRUE(SameImage(before, image));
}

TEST(ImageResample, ZeroNegativeAndHugeSizesAreRefused) {
    CxImage image(0);
    image_test::FillRandom(image, 7, 3, 1, 1);
    CxImage before(image);
    EXPECT_FALSE(image.Resample(0, 3));
    EXPECT_FALSE(image.Resample(7, 0));
    EXPECT_FALSE(image.Resample(-7, 3));
    EXPECT_STREQ(image.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");
    EXPECT_FALSE(image.Resample(70000, 70000));
    EXPECT_STREQ(image.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");
    EXPECT_TRUE(SameImage(before, image));
}

TEST(ImageResample, DestinationReceivesTheResult) {
    CxImage image(0);
    image_test::FillRandom(image, 6, 2, 24, 4);
    CxImage before(image);
    CxImage half(0);
    ASSERT_TRUE(image.Resample(3, 1, 1, &half));
    EXPECT_TRUE(SameImage(before, image));
    ASSERT_EQ(half.GetWidth(), 3u);
    EXPECT_EQ(testing_support::Hex(half.GetBits(0), 9), testing_support::Hex(image.GetBits(0), 3) +
                                                            testing_support::Hex(image.GetBits(0) + 6, 3) +
                                                            testing_support::Hex(image.GetBits(0) + 12, 3));
}

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "image/CxImage.h"
#include "image/ImageReference.h"
#include "image/ImageTestUtil.h"

using image_reference::ReferenceDither;
using image_test::Bytes;
using image_test::Picture;
using image_test::SameImage;

namespace {

void Uniform(CxImage& image, uint32_t width, uint32_t height, uint8_t level) {
    ASSERT_NE(image.Create(width, height, 8, 0), nullptr);
    image.SetGrayPalette();
    for (uint32_t y = 0; y < height; y++)
        std::fill_n(image.GetBits(y), width, level);
}

// Which pixels print white, as '.' in rows of '#'.
std::vector<std::string> Dithered(uint8_t level, int method, uint32_t width = 16, uint32_t height = 16) {
    CxImage image(0);
    Uniform(image, width, height, level);
    EXPECT_TRUE(image.Dither(method));
    return Picture(image);
}

std::vector<std::string> Expected(uint32_t width, uint32_t height, bool (*white)(uint32_t x, uint32_t y)) {
    std::vector<std::string> rows;
    for (uint32_t y = 0; y < height; y++) {
        std::string row;
        for (uint32_t x = 0; x < width; x++)
            row += white(x, y) ? '.' : '#';
        rows.push_back(row);
    }
    return rows;
}

const int kAllMethods[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};

class DitherMethodTest : public ::testing::TestWithParam<int> {};

}  // namespace

TEST_P(DitherMethodTest, MatchesPerPixelDescriptionOnRandomImages) {
    const int method = GetParam();
    std::mt19937 rng(static_cast<uint32_t>(method) * 31 + 1);
    // Narrow pages, single rows, band-sized and band-crossing heights, then random sizes.
    const std::pair<uint32_t, uint32_t> sizes[] = {{1, 20}, {2, 17},  {3, 9}, {7, 16}, {8, 8}, {64, 1},
                                                   {9, 25}, {75, 33}, {0, 0}, {0, 0},  {0, 0}, {0, 0}};
    for (auto [fixedWidth, fixedHeight] : sizes) {
        const uint32_t width = fixedWidth ? fixedWidth : 1 + rng() % 90;
        const uint32_t height = fixedHeight ? fixedHeight : 1 + rng() % 50;
        CxImage image(0);
        image_test::FillGrayWithRuns(image, width, height, rng());
        CxImage expected(0);
        ReferenceDither(image, method, expected);
        ASSERT_TRUE(image.Dither(method));
        ASSERT_TRUE(SameImage(expected, image)) << "method " << method << ", " << width << " x " << height;
    }
}

TEST_P(DitherMethodTest, OtherDepthsAreMadeGrayFirst) {
    const int method = GetParam();
    for (uint32_t bpp : {4u, 24u}) {
        CxImage image(0);
        image_test::FillRandom(image, 37, 11, bpp, bpp + static_cast<uint32_t>(method));
        CxImage expected(0);
        ReferenceDither(image, method, expected);
        ASSERT_TRUE(image.Dither(method));
        ASSERT_TRUE(SameImage(expected, image)) << "method " << method << ", " << bpp << " bits";
    }
}

TEST_P(DitherMethodTest, OneBitPagesAreLeftAsTheyAre) {
    CxImage image(0);
    image_test::FillRandom(image, 21, 5, 1, 4);
    CxImage before(image);
    ASSERT_TRUE(image.Dither(GetParam()));
    EXPECT_TRUE(SameImage(before, image));
}

TEST_P(DitherMethodTest, ResultKeepsDescriptionAndOpacity) {
    uint8_t px[4 * 3 * 2];
    for (int i = 0; i < 24; i++)
        px[i] = static_cast<uint8_t>(i * 11);
    CxImage image(0);
    ASSERT_TRUE(image.CreateFromArray(px, 3, 2, 32, 12, false));
    image.SetXDPI(203);
    const Bytes alpha = image_test::AlphaBytes(image);
    ASSERT_TRUE(image.Dither(GetParam()));
    EXPECT_EQ(image.GetBpp(), 1u);
    EXPECT_EQ(image.GetXDPI(), 203);
    EXPECT_EQ(image_test::AlphaBytes(image), alpha);
    EXPECT_EQ(testing_support::Hex(reinterpret_cast<uint8_t*>(image.GetPalette()), 8), "00 00 00 00 FF FF FF 00 ");
}

INSTANTIATE_TEST_SUITE_P(ImageDither, DitherMethodTest, ::testing::ValuesIn(kAllMethods));

TEST(ImageDither, UnknownMethodNumbersFallBackToFloydSteinberg) {
    CxImage source(0);
    image_test::FillGrayWithRuns(source, 45, 17, 99);
    CxImage floyd(source);
    ASSERT_TRUE(floyd.Dither(0));
    for (int method : {10, 11, 1000, -1, -5, INT32_MIN}) {
        CxImage image(source);
        ASSERT_TRUE(image.Dither(method));
        EXPECT_TRUE(SameImage(floyd, image)) << method;
    }
}

TEST(ImageDither, FloydSteinbergOnLevel128) {
    // The first pixel is black (128 <= 128) and pushes 56 to the right: 184 prints white.
    EXPECT_EQ(Dithered(128, 0, 4, 1), (std::vector<std::string>{"#.#."}));
}

TEST(ImageDither, ErrorDiffusionKeepsPureBlackAndWhite) {
    for (int method : {0, 2, 3, 4, 5, 6}) {
        EXPECT_EQ(Dithered(255, method, 9, 5), std::vector<std::string>(5, std::string(9, '.'))) << method;
        EXPECT_EQ(Dithered(0, method, 9, 5), std::vector<std::string>(5, std::string(9, '#'))) << method;
    }
}

TEST(ImageDither, OnePixelWideColumnsTakeOnlyTheStraightDownWeights) {
    // Floyd-Steinberg: 100 is black and pushes 100 * 5 / 16 = 31 down: 131, white,
    // pushing (131 - 255) * 5 / 16 = -38 down: 62, black, pushing 19: 119, black.
    EXPECT_EQ(Dithered(100, 0, 1, 4), (std::vector<std::string>{"#", ".", "#", "#"}));
    // Stevenson-Arce has no straight-down tap in the next row: 26/200 two rows down.
    EXPECT_EQ(Dithered(120, 6, 1, 3), (std::vector<std::string>{"#", "#", "."}));
}

TEST(ImageDither, OrderedFourByFourAtItsEdgeLevels) {
    EXPECT_EQ(Dithered(255, 1), std::vector<std::string>(16, std::string(16, '.')));
    EXPECT_EQ(Dithered(254, 1), Expected(16, 16, [](uint32_t x, uint32_t y) { return !(x % 4 == 0 && y % 4 == 3); }));
    EXPECT_EQ(Dithered(0, 1), std::vector<std::string>(16, std::string(16, '#')));
}

TEST(ImageDither, GeneratedMatrixAtLevelOne) {
    EXPECT_EQ(Dithered(1, 7), Expected(16, 16, [](uint32_t x, uint32_t y) { return x % 4 == 0 && y % 4 == 0; }));
    EXPECT_EQ(Dithered(0, 7), std::vector<std::string>(16, std::string(16, '#')));
}

TEST(ImageDither, EightByEightTableHolds) {
    for (uint8_t level : {0, 1, 2, 3})
        EXPECT_EQ(Dithered(level, 8), std::vector<std::string>(16, std::string(16, '#'))) << int(level);
    // q = 1: white where the table holds 0 or 1, that is (0, 0) and (4, 4) of every 8 x 8 tile.
    EXPECT_EQ(Dithered(4, 8), Expected(16, 16, [](uint32_t x, uint32_t y) {
                  return (x % 8 == 0 && y % 8 == 0) || (x % 8 == 4 && y % 8 == 4);
              }));
    // q = 2: the entry 2 sits at column 0, row 4 of the table.
    EXPECT_EQ(Dithered(8, 8), Expected(16, 16, [](uint32_t x, uint32_t y) {
                  return (x % 8 == 0 && (y % 8 == 0 || y % 8 == 4)) || (x % 8 == 4 && y % 8 == 4);
              }));
}

TEST(ImageDither, SixteenBySixteenTableAtItsEdgeLevels) {
    EXPECT_EQ(Dithered(0, 9, 32, 32), std::vector<std::string>(32, std::string(32, '#')));
    EXPECT_EQ(Dithered(255, 9, 32, 32),
              Expected(32, 32, [](uint32_t x, uint32_t y) { return !(x % 16 == 6 && y % 16 == 7); }));
    // Only the entry 0 (column 8, row 8) is below level 1.
    EXPECT_EQ(Dithered(1, 9, 32, 32),
              Expected(32, 32, [](uint32_t x, uint32_t y) { return x % 16 == 8 && y % 16 == 8; }));
}

TEST(ImageDither, EmptyImageIsRefused) {
    CxImage image(0);
    EXPECT_FALSE(image.Dither(0));
    EXPECT_FALSE(image.Dither(9));
}

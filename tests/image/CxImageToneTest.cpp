#include <gtest/gtest.h>

#include <random>

#include "image/CxImage.h"
#include "image/ImageReference.h"
#include "image/ImageTestUtil.h"

using image_reference::ReferenceGray;
using image_test::Bytes;
using image_test::FillRandom;
using image_test::SameImage;

namespace {

void SetRandomPalette(CxImage& image, uint32_t seed) {
    std::mt19937 rng(seed);
    for (uint32_t i = 0; i < image.GetNumColors(); i++)
        image.SetPaletteColor(static_cast<uint8_t>(i), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                              static_cast<uint8_t>(rng()));
}

struct LightCase {
    int brightness, contrast;
    std::vector<std::pair<int, int>> entries;  // level, table value
};

void PrintTo(const LightCase& c, std::ostream* os) { *os << "Light(" << c.brightness << ", " << c.contrast << ")"; }

class LightTableTest : public ::testing::TestWithParam<LightCase> {};

}  // namespace

TEST_P(LightTableTest, TableEntriesTruncateTowardZero) {
    uint8_t table[256];
    CxImage::LightTable(GetParam().brightness, GetParam().contrast, table);
    for (auto [level, value] : GetParam().entries)
        EXPECT_EQ(table[level], value) << "level " << level;

    // On a direct-colour image every byte goes through the table, 0 and 255 too.
    CxImage image(0);
    ASSERT_NE(image.Create(256, 1, 24, 0), nullptr);
    for (int i = 0; i < 256; i++)
        std::fill_n(image.GetBits(0) + 3 * i, 3, static_cast<uint8_t>(i));
    ASSERT_TRUE(image.Light(GetParam().brightness, GetParam().contrast));
    for (auto [level, value] : GetParam().entries)
        EXPECT_EQ(image.GetBits(0)[3 * level + 1], value) << "level " << level;
}

INSTANTIATE_TEST_SUITE_P(ImageTone, LightTableTest,
                         ::testing::Values(LightCase{20, 0, {{0, 20}, {100, 120}, {234, 254}, {235, 255}, {255, 255}}},
                                           LightCase{-20, 0, {{19, 0}, {20, 0}, {21, 1}, {64, 44}, {255, 235}}},
                                           LightCase{0, 50, {{0, 0}, {128, 128}, {129, 130}, {200, 236}}},
                                           LightCase{0, -50, {{0, 64}, {127, 128}, {255, 192}}},
                                           LightCase{0, -100, {{0, 128}, {1, 128}, {254, 128}, {255, 128}}},
                                           LightCase{0, 0, {{0, 0}, {1, 1}, {128, 128}, {254, 254}, {255, 255}}}));

TEST(ImageTone, IdentityTableHoldsForEveryLevel) {
    uint8_t table[256];
    CxImage::LightTable(0, 0, table);
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(table[i], i);
    CxImage::LightTable(20, 0, table);
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(table[i], std::min(255, i + 20));
}

TEST(ImageTone, TableMatchesTheSinglePrecisionFormula) {
    for (int brightness = -300; brightness <= 300; brightness += 7)
        for (int contrast = -250; contrast <= 400; contrast += 3) {
            uint8_t table[256], expected[256];
            CxImage::LightTable(brightness, contrast, table);
            image_reference::ReferenceLightTable(brightness, contrast, expected);
            ASSERT_EQ(Bytes(table, table + 256), Bytes(expected, expected + 256)) << brightness << ", " << contrast;
        }
}

TEST(ImageTone, LightOnGrayKeepsPureBlackAndWhite) {
    CxImage image(0);
    ASSERT_NE(image.Create(256, 1, 8, 0), nullptr);
    image.SetGrayPalette();
    for (int i = 0; i < 256; i++)
        image.GetBits(0)[i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(image.Light(0, -100));
    EXPECT_EQ(image.GetBits(0)[0], 0);
    EXPECT_EQ(image.GetBits(0)[255], 255);
    for (int i = 1; i < 255; i++)
        ASSERT_EQ(image.GetBits(0)[i], 128) << i;
    EXPECT_TRUE(image.IsGrayScale());
}

TEST(ImageTone, LightMatchesPerPixelTableOnRandomGrayImages) {
    std::mt19937 rng(7);
    for (int round = 0; round < 12; round++) {
        const int brightness = static_cast<int>(rng() % 201) - 100;
        const int contrast = static_cast<int>(rng() % 201) - 100;
        CxImage image(0);
        FillRandom(image, 1 + rng() % 70, 1 + rng() % 20, 8, static_cast<uint32_t>(round));
        CxImage expected(image);
        uint8_t table[256];
        image_reference::ReferenceLightTable(brightness, contrast, table);
        for (uint32_t y = 0; y < expected.GetHeight(); y++)
            for (uint32_t x = 0; x < expected.GetEffWidth(); x++) {
                uint8_t& v = expected.GetBits(y)[x];
                if (v != 0 && v != 255)
                    v = table[v];
            }
        ASSERT_TRUE(image.Light(brightness, contrast));
        ASSERT_TRUE(SameImage(expected, image)) << brightness << ", " << contrast;
    }
}

TEST(ImageTone, LightMapsTheInnerEntriesOfASixteenStepRamp) {
    CxImage image(0);
    FillRandom(image, 9, 3, 4, 1);
    const Bytes pixels = image_test::PixelBytes(image);
    ASSERT_TRUE(image.Light(40, 0));
    EXPECT_EQ(image.GetBpp(), 4u);
    EXPECT_EQ(image_test::PixelBytes(image), pixels);
    EXPECT_EQ(image.GetPaletteColor(0).rgbRed, 0);
    EXPECT_EQ(image.GetPaletteColor(1).rgbRed, 57);
    EXPECT_EQ(image.GetPaletteColor(14).rgbGreen, 255);
    EXPECT_EQ(image.GetPaletteColor(15).rgbBlue, 255);
}

TEST(ImageTone, LightLeavesBlackAndWhiteImagesAlone) {
    CxImage image(0);
    FillRandom(image, 20, 3, 1, 2);
    CxImage before(image);
    ASSERT_TRUE(image.Light(50, 50));
    EXPECT_TRUE(SameImage(before, image));
    CxImage empty(0);
    EXPECT_FALSE(empty.Light(1, 1));
    EXPECT_FALSE(image.Lut(nullptr));
}

TEST(ImageTone, GrayOfPureChannels) {
    struct Case {
        uint8_t b0, b1, b2, gray;
    };
    const Case cases[] = {{0, 0, 255, 76}, {255, 0, 0, 29}, {0, 255, 0, 149}, {255, 255, 255, 255}, {9, 9, 9, 9}};
    CxImage image(0);
    ASSERT_NE(image.Create(5, 1, 24, 0), nullptr);
    for (int i = 0; i < 5; i++) {
        image.GetBits(0)[3 * i] = cases[i].b0;
        image.GetBits(0)[3 * i + 1] = cases[i].b1;
        image.GetBits(0)[3 * i + 2] = cases[i].b2;
    }
    ASSERT_TRUE(image.GrayScale());
    ASSERT_EQ(image.GetBpp(), 8u);
    EXPECT_TRUE(image.IsGrayScale());
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(image.GetBits(0)[i], cases[i].gray) << i;
    for (uint32_t v = 0; v < 256; v++)
        ASSERT_EQ(CxImage::RGB2GRAY(v, v, v), v);
}

TEST(ImageTone, GrayScaleMatchesPerPixelReadsAtEveryDepth) {
    for (uint32_t bpp : {1u, 4u, 8u, 24u}) {
        for (uint32_t seed = 0; seed < 4; seed++) {
            CxImage image(0);
            FillRandom(image, 1 + seed * 29, 2 + seed, bpp, seed * 10 + bpp);
            if (bpp < 24)
                SetRandomPalette(image, seed);
            CxImage expected(0);
            ReferenceGray(image, expected);
            ASSERT_TRUE(image.GrayScale());
            if (bpp == 8) {
                // The 8-bit conversion rewrites the row tails as well: compare the pixels.
                EXPECT_EQ(image_test::PixelsOnly(expected), image_test::PixelsOnly(image)) << bpp;
                EXPECT_EQ(image_test::PaletteBytes(expected), image_test::PaletteBytes(image));
            } else {
                EXPECT_TRUE(SameImage(expected, image)) << bpp << " bits, seed " << seed;
            }
        }
    }
}

TEST(ImageTone, GrayScaleKeepsOpacityDescriptionAndRefusesEmpty) {
    uint8_t px[8] = {1, 2, 3, 200, 4, 5, 6, 100};
    CxImage image(0);
    ASSERT_TRUE(image.CreateFromArray(px, 2, 1, 32, 8, false));
    image.SetXDPI(203);
    ASSERT_TRUE(image.GrayScale());
    EXPECT_EQ(image_test::AlphaBytes(image), (Bytes{200, 100}));
    EXPECT_EQ(image.GetXDPI(), 203);
    ASSERT_TRUE(image.GrayScale());  // already gray
    EXPECT_EQ(image.GetBpp(), 8u);
    CxImage empty(0);
    EXPECT_FALSE(empty.GrayScale());
}

TEST(ImageTone, GrayScaleForgetsTheNearestColourOfTheOldPalette) {
    CxImage image(0);
    FillRandom(image, 9, 2, 1, 3);
    tagRGBQUAD white = {255, 255, 255, 0};
    ASSERT_EQ(image.GetNearestIndex(white), 1);
    ASSERT_TRUE(image.GrayScale());
    EXPECT_EQ(image.GetNearestIndex(white), 255);
}

TEST(ImageTone, ThresholdLevelItselfIsBlack) {
    CxImage image(0);
    ASSERT_NE(image.Create(4, 1, 8, 0), nullptr);
    image.SetGrayPalette();
    const uint8_t levels[4] = {175, 176, 0, 255};
    std::copy(levels, levels + 4, image.GetBits(0));
    CxImage copy(image);
    ASSERT_TRUE(image.Threshold(175));
    EXPECT_EQ(image_test::Picture(image), (std::vector<std::string>{"#.#."}));
    EXPECT_EQ(testing_support::Hex(reinterpret_cast<uint8_t*>(image.GetPalette()), 8), "00 00 00 00 FF FF FF 00 ");

    CxImage all(copy);
    ASSERT_TRUE(all.Threshold(255));
    EXPECT_EQ(image_test::Picture(all), (std::vector<std::string>{"####"}));
    ASSERT_TRUE(copy.Threshold(0));
    EXPECT_EQ(image_test::Picture(copy), (std::vector<std::string>{"..#."}));
}

TEST(ImageTone, ThresholdMatchesPerPixelComparison) {
    std::mt19937 rng(3);
    for (uint32_t bpp : {4u, 8u, 24u}) {
        for (int round = 0; round < 4; round++) {
            const uint8_t level = static_cast<uint8_t>(rng());
            CxImage image(0);
            FillRandom(image, 1 + rng() % 90, 1 + rng() % 9, bpp, rng());
            CxImage expected(0);
            image_reference::ReferenceThreshold(image, level, expected);
            ASSERT_TRUE(image.Threshold(level));
            ASSERT_TRUE(SameImage(expected, image)) << bpp << " bits, level " << int(level);
        }
    }
}

TEST(ImageTone, ThresholdTakesAFreshDescriptionAndDropsOpacity) {
    uint8_t px[8] = {1, 2, 3, 200, 250, 250, 250, 100};
    CxImage image(0);
    ASSERT_TRUE(image.CreateFromArray(px, 2, 1, 32, 8, false));
    image.SetXDPI(203);
    ASSERT_TRUE(image.Threshold(175));
    EXPECT_EQ(image.GetBpp(), 1u);
    EXPECT_FALSE(image.AlphaIsValid());
    EXPECT_EQ(image.GetXDPI(), 96);
    EXPECT_EQ(image_test::Picture(image), (std::vector<std::string>{"#."}));
}

TEST(ImageTone, ThresholdReturnsAtOnceForOneBit) {
    CxImage image(0);
    uint8_t px[1] = {0x5A};
    ASSERT_TRUE(image.CreateFromArray(px, 8, 1, 1, 1, false));
    image.SetPaletteColor(0, 1, 2, 3);
    CxImage before(image);
    ASSERT_TRUE(image.Threshold(10));
    EXPECT_TRUE(SameImage(before, image));
    CxImage empty(0);
    EXPECT_FALSE(empty.Threshold(10));
}

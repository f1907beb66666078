#include <gtest/gtest.h>

#include "image/CxImage.h"
#include "image/ImageTestUtil.h"

namespace {

tagRGBQUAD Rgb(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 0) {
    tagRGBQUAD c;
    c.rgbRed = r;
    c.rgbGreen = g;
    c.rgbBlue = b;
    c.rgbReserved = a;
    return c;
}

void BlackWhite(CxImage& image, uint32_t width, uint32_t height) {
    ASSERT_NE(image.Create(width, height, 1, 0), nullptr);
    image.SetPaletteColor(0, 0, 0, 0);
    image.SetPaletteColor(1, 255, 255, 255);
}

}  // namespace

TEST(ImagePixels, OutsideReadOfPaletteImageGivesTheFirstPixelByte) {
    CxImage image(0);
    BlackWhite(image, 16, 2);
    image.GetBits(0)[0] = 0xA5;
    EXPECT_EQ(image.GetPixelIndex(-1, 0), 0xA5);
    EXPECT_EQ(image.GetPixelIndex(16, 1), 0xA5);
    EXPECT_EQ(image.GetPixelIndex(0, 2), 0xA5);

    CxImage other(0);
    BlackWhite(other, 8, 1);
    other.GetBits(0)[0] = 0x00;
    other.SetPixelIndex(3, 0, image.GetPixelIndex(-1, 0));
    EXPECT_EQ(other.GetPixelIndex(3, 0), 1);  // only the lowest bit is stored
    EXPECT_EQ(other.GetBits(0)[0], 0x10);
}

TEST(ImagePixels, IndicesFollowThePackingOfEachDepth) {
    struct Case {
        uint32_t bpp;
        int x;
        uint8_t value;
        size_t byte;
        uint8_t expected;
    };
    const Case cases[] = {
        {1, 0, 1, 0, 0x80}, {1, 9, 1, 1, 0x40}, {4, 0, 0xC, 0, 0xC0}, {4, 3, 0x7, 1, 0x07}, {8, 5, 200, 5, 200},
    };
    for (const Case& c : cases) {
        CxImage image(0);
        ASSERT_NE(image.Create(16, 1, c.bpp, 0), nullptr);
        image.SetPixelIndex(c.x, 0, c.value);
        EXPECT_EQ(image.GetBits(0)[c.byte], c.expected) << c.bpp << " bits, x " << c.x;
        EXPECT_EQ(image.GetPixelIndex(c.x, 0), c.value) << c.bpp << " bits";
    }
}

TEST(ImagePixels, BlindWritesKeepTheOtherPixelsOfTheByte) {
    CxImage image(0);
    ASSERT_NE(image.Create(8, 1, 4, 0), nullptr);
    image.GetBits(0)[0] = 0xAB;
    image.BlindSetPixelIndex(1, 0, 0xF5);  // only the low nibble counts
    EXPECT_EQ(image.GetBits(0)[0], 0xA5);
    image.BlindSetPixelIndex(0, 0, 0x13);
    EXPECT_EQ(image.GetBits(0)[0], 0x35);

    ASSERT_NE(image.Create(8, 1, 1, 0), nullptr);
    image.GetBits(0)[0] = 0xFF;
    image.BlindSetPixelIndex(2, 0, 0xFE);
    EXPECT_EQ(image.GetBits(0)[0], 0xDF);
}

TEST(ImagePixels, WritesOutsideOrWithoutPaletteChangeNothing) {
    CxImage image(0);
    BlackWhite(image, 8, 1);
    image.GetBits(0)[0] = 0x5A;
    image.SetPixelIndex(8, 0, 1);
    image.SetPixelIndex(-1, 0, 1);
    image.SetPixelIndex(0, 1, 1);
    EXPECT_EQ(image.GetBits(0)[0], 0x5A);

    CxImage direct(0);
    ASSERT_NE(direct.Create(2, 1, 24, 0), nullptr);
    direct.SetPixelIndex(0, 0, 7);
    EXPECT_EQ(image_test::PixelBytes(direct), image_test::Bytes(8, 0));
    EXPECT_EQ(direct.GetPixelIndex(0, 0), 0);
}

TEST(ImagePixels, NearestIndexPrefersTheCloserEntry) {
    CxImage image(0);
    BlackWhite(image, 8, 1);
    EXPECT_EQ(image.GetNearestIndex(Rgb(0, 0, 0)), 0);
    EXPECT_EQ(image.GetNearestIndex(Rgb(255, 255, 255)), 1);
    EXPECT_EQ(image.GetNearestIndex(Rgb(128, 128, 128)), 1);  // 3 x 127^2 < 3 x 128^2
    EXPECT_EQ(image.GetNearestIndex(Rgb(127, 127, 127)), 0);
    EXPECT_EQ(image.GetNearestIndex(Rgb(0, 0, 0, 99)), 0);  // the reserved byte is ignored

    image.SetPixelColor(5, 0, Rgb(100, 100, 100));
    EXPECT_EQ(image.GetPixelIndex(5, 0), 0);
    image.SetPixelColor(5, 0, Rgb(200, 200, 200));
    EXPECT_EQ(image.GetPixelIndex(5, 0), 1);
}

TEST(ImagePixels, NearestIndexTakesTheFirstOfEqualDistances) {
    CxImage image(0);
    ASSERT_NE(image.Create(4, 1, 4, 0), nullptr);
    for (uint8_t i = 0; i < 16; i++)
        image.SetPaletteColor(i, 50, 50, 50);
    EXPECT_EQ(image.GetNearestIndex(Rgb(60, 60, 60)), 0);
    image.SetPaletteColor(9, 60, 60, 60);
    EXPECT_EQ(image.GetNearestIndex(Rgb(61, 61, 61)), 9);
}

TEST(ImagePixels, PaletteChangeClearsTheNearestColourCache) {
    CxImage image(0);
    BlackWhite(image, 8, 1);
    EXPECT_EQ(image.GetNearestIndex(Rgb(10, 10, 10)), 0);
    image.SetPaletteColor(1, 10, 10, 10);
    EXPECT_EQ(image.GetNearestIndex(Rgb(10, 10, 10)), 1);
}

TEST(ImagePixels, OnlyTheFullGrayRampIsGrayScale) {
    CxImage image(0);
    ASSERT_NE(image.Create(4, 4, 8, 0), nullptr);
    image.SetGrayPalette();
    EXPECT_TRUE(image.IsGrayScale());
    image.SetPaletteColor(7, 7, 7, 8);
    EXPECT_FALSE(image.IsGrayScale());
    for (uint32_t bpp : {1u, 4u}) {
        ASSERT_NE(image.Create(4, 4, bpp, 0), nullptr);
        image.SetGrayPalette();
        EXPECT_FALSE(image.IsGrayScale()) << bpp;
    }
    ASSERT_NE(image.Create(4, 4, 24, 0), nullptr);
    EXPECT_FALSE(image.IsGrayScale());
}

TEST(ImagePixels, PaletteEntriesBeyondTheCountReadAsZero) {
    CxImage image(0);
    BlackWhite(image, 8, 1);
    const tagRGBQUAD c = image.GetPaletteColor(2);
    EXPECT_EQ(c.rgbRed + c.rgbGreen + c.rgbBlue + c.rgbReserved, 0);
    image.SetPaletteColor(2, 9, 9, 9);
    EXPECT_EQ(image.GetPaletteSize(), 8u);
}

TEST(ImagePixels, DirectColourReadsAndOutsideReads) {
    CxImage image(0);
    ASSERT_NE(image.Create(2, 2, 24, 0), nullptr);
    image.SetPixelColor(0, 0, Rgb(30, 20, 10));
    image.SetPixelColor(1, 1, Rgb(3, 2, 1));
    const uint8_t* row0 = image.GetBits(0);
    EXPECT_EQ(testing_support::Hex(row0, 3), "0A 14 1E ");
    tagRGBQUAD c = image.GetPixelColor(5, 5);  // outside: the colour of pixel (0, 0)
    EXPECT_EQ(c.rgbRed, 30);
    EXPECT_EQ(c.rgbBlue, 10);
    c = image.GetPixelColor(1, 1);
    EXPECT_EQ(c.rgbRed, 3);
    EXPECT_EQ(c.rgbReserved, 0);

    ASSERT_TRUE(image.AlphaCreate());
    image.AlphaSet(1, 1, 77);
    EXPECT_EQ(image.GetPixelColor(1, 1).rgbReserved, 77);
    EXPECT_EQ(image.GetPixelColor(1, 1, false).rgbReserved, 0);
    image.SetPixelColor(0, 1, Rgb(1, 1, 1, 12), true);
    EXPECT_EQ(image.AlphaGet(0, 1), 12);
}

TEST(ImagePixels, AlphaAccessNeedsAPlaneAndAPixelInside) {
    CxImage image(0);
    BlackWhite(image, 3, 2);
    EXPECT_EQ(image.AlphaGet(1, 1), 0);
    image.AlphaSet(1, 1, 9);
    EXPECT_FALSE(image.AlphaIsValid());

    ASSERT_TRUE(image.AlphaCreate());
    EXPECT_EQ(image.AlphaGet(2, 1), 255);
    image.AlphaSet(3, 1, 9);
    image.AlphaSet(2, 1, 9);
    EXPECT_EQ(image.AlphaGet(2, 1), 9);
    EXPECT_EQ(image.AlphaGet(3, 1), 0);
    image.AlphaClear();
    EXPECT_EQ(image_test::AlphaBytes(image), image_test::Bytes(6, 0));
    image.AlphaDelete();
    EXPECT_FALSE(image.AlphaIsValid());
}

TEST(ImagePixels, AlphaCopyNeedsTheSameSize) {
    CxImage source(0);
    BlackWhite(source, 3, 2);
    ASSERT_TRUE(source.AlphaCreate());
    source.AlphaSet(0, 0, 5);
    source.AlphaSetMax(200);

    CxImage same(0);
    BlackWhite(same, 3, 2);
    EXPECT_TRUE(same.AlphaCopy(source));
    EXPECT_EQ(same.AlphaGet(0, 0), 5);
    EXPECT_EQ(same.AlphaGetMax(), 200);

    CxImage other(0);
    BlackWhite(other, 2, 3);
    EXPECT_FALSE(other.AlphaCopy(source));
    EXPECT_FALSE(other.AlphaIsValid());
    CxImage plain(0);
    BlackWhite(plain, 3, 2);
    EXPECT_FALSE(same.AlphaCopy(plain));
}

TEST(ImagePixels, AlphaMirrorReversesEveryRow) {
    CxImage image(0);
    BlackWhite(image, 3, 2);
    EXPECT_FALSE(image.AlphaMirror());
    ASSERT_TRUE(image.AlphaCreate());
    uint8_t* a = image.AlphaGetPointer();
    for (int i = 0; i < 6; i++)
        a[i] = static_cast<uint8_t>(i + 1);
    EXPECT_TRUE(image.AlphaMirror());
    EXPECT_EQ(image_test::AlphaBytes(image), (image_test::Bytes{3, 2, 1, 6, 5, 4}));
}

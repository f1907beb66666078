#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/CxImage.h"
#include "support/TestFiles.h"

using testing_support::Bytes;
using testing_support::Hex;

TEST(ImageContainer, StartsEmptyAt96Dpi) {
    CxImage image(0);
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetBits(0), nullptr);
    EXPECT_EQ(image.GetXDPI(), 96);
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 3780);
    EXPECT_EQ(image.GetPalette(), nullptr);
}

TEST(ImageContainer, CreateRefusesZeroSizesAndTooMuchMemory) {
    CxImage image(0);
    EXPECT_EQ(image.Create(0, 10, 1, 0), nullptr);
    EXPECT_STREQ(image.GetLastError(), "CxImage::Create : width and height must be greater than zero");
    EXPECT_EQ(image.Create(10, 0, 8, 0), nullptr);
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.Create(20000, 20000, 24, 0), nullptr);
    EXPECT_STREQ(image.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");
    EXPECT_FALSE(image.IsValid());
}

TEST(ImageContainer, DepthsAreNormalisedWithTheirPalettes) {
    struct Case {
        uint32_t asked, bpp, colors;
    };
    for (Case c : {Case{0, 1, 2}, Case{2, 4, 16}, Case{5, 8, 256}, Case{16, 24, 0}, Case{32, 24, 0}}) {
        CxImage image(0);
        ASSERT_NE(image.Create(5, 3, c.asked, 0), nullptr);
        EXPECT_EQ(image.GetBpp(), c.bpp) << c.asked;
        EXPECT_EQ(image.GetNumColors(), c.colors) << c.asked;
        const uint8_t* block = image.GetBits(0) - 40 - c.colors * 4;
        uint32_t size;
        std::memcpy(&size, block, 4);
        EXPECT_EQ(size, 40u);
    }
}

TEST(ImageContainer, RowsArePaddedToFourBytes) {
    CxImage image(0);
    image.Create(385, 7, 1, 0);
    EXPECT_EQ(image.GetEffWidth(), 52u);
    EXPECT_EQ(image.GetBits(1) - image.GetBits(0), 52);
    EXPECT_EQ(image.GetBits(6) - image.GetBits(0), 6 * 52);
    EXPECT_EQ(image.GetBits(7), nullptr);
    image.Create(5, 1, 24, 0);
    EXPECT_EQ(image.GetEffWidth(), 16u);
}

TEST(ImageContainer, ArrayGivesGrayPalettes) {
    Bytes px(64, 0);
    CxImage image(0);
    ASSERT_TRUE(image.CreateFromArray(px.data(), 8, 2, 1, 1, false));
    EXPECT_EQ(Hex(reinterpret_cast<uint8_t*>(image.GetPalette()), 8), "00 00 00 00 FF FF FF 00 ");
    ASSERT_TRUE(image.CreateFromArray(px.data(), 8, 2, 4, 4, false));
    EXPECT_EQ(image.GetPalette()[1].rgbRed, 17);
    EXPECT_EQ(image.GetPalette()[15].rgbBlue, 255);
    ASSERT_TRUE(image.CreateFromArray(px.data(), 8, 2, 8, 8, false));
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(image.GetPalette()[i].rgbGreen, i);
}

TEST(ImageContainer, ArrayRefusesOtherDepthsAndNoPixels) {
    Bytes px(64, 0);
    CxImage image(0);
    EXPECT_FALSE(image.CreateFromArray(px.data(), 8, 2, 2, 2, false));
    EXPECT_FALSE(image.CreateFromArray(px.data(), 8, 2, 16, 16, false));
    EXPECT_FALSE(image.CreateFromArray(nullptr, 8, 2, 8, 8, false));
}

TEST(ImageContainer, ThirtyTwoBitPixelsKeepByteOrderAndOpacity) {
    Bytes px = {1, 2, 3, 200, 4, 5, 6, 100};
    CxImage image(0);
    ASSERT_TRUE(image.CreateFromArray(px.data(), 2, 1, 32, 8, false));
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_EQ(Hex(image.GetBits(0), 6), "01 02 03 04 05 06 ");
    ASSERT_TRUE(image.AlphaIsValid());
    EXPECT_EQ(image.AlphaGetPointer()[0], 200);
    EXPECT_EQ(image.AlphaGetPointer()[1], 100);
}

TEST(ImageContainer, ArrayCopiesAtMostTheStoredRowAndCanFlip) {
    Bytes px = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x11, 0x22, 0x33, 0x44, 0x55};
    CxImage image(0);
    ASSERT_TRUE(image.CreateFromArray(px.data(), 8, 2, 8, 5, false));  // rows of 8 stored bytes
    EXPECT_EQ(Hex(image.GetBits(1), 5), "11 22 33 44 55 ");
    ASSERT_TRUE(image.CreateFromArray(px.data(), 2, 2, 8, 5, true));  // rows of 4 stored bytes
    EXPECT_EQ(Hex(image.GetBits(0), 4), "11 22 33 44 ");
    EXPECT_EQ(Hex(image.GetBits(1), 4), "AA BB CC DD ");
}

TEST(ImageContainer, ResolutionGoesIntoBothHeaders) {
    CxImage image(0);
    image.Create(4, 4, 8, 0);
    image.SetXDPI(203);
    image.SetYDPI(0);
    EXPECT_EQ(image.GetXDPI(), 203);
    EXPECT_EQ(image.GetYDPI(), 96);
    int32_t block;
    std::memcpy(&block, image.GetBits(0) - 1024 - 40 + 24, 4);
    EXPECT_EQ(block, 7992);
    std::memcpy(&block, image.GetBits(0) - 1024 - 40 + 28, 4);
    EXPECT_EQ(block, 3780);
}

TEST(ImageContainer, TransferEmptiesTheSourceAndCopyDuplicates) {
    Bytes px = {1, 2, 3, 4};
    CxImage source(0);
    source.CreateFromArray(px.data(), 4, 1, 8, 4, false);
    source.SetXDPI(300);
    CxImage copy(source);
    EXPECT_EQ(Hex(copy.GetBits(0), 4), "01 02 03 04 ");
    EXPECT_EQ(copy.GetXDPI(), 300);
    EXPECT_NE(copy.GetBits(0), source.GetBits(0));

    CxImage target(0);
    target.Transfer(source);
    EXPECT_FALSE(source.IsValid());
    EXPECT_EQ(source.GetWidth(), 0u);
    EXPECT_EQ(Hex(target.GetBits(0), 4), "01 02 03 04 ");
    EXPECT_EQ(target.GetXDPI(), 300);
}

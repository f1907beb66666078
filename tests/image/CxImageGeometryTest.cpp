#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "image/CxImage.h"
#include "image/ImageReference.h"
#include "image/ImageTestUtil.h"

using image_reference::ReferenceMap;
using image_test::Bytes;
using image_test::FromPicture;
using image_test::Picture;
using image_test::PixelsOnly;
using image_test::SameImage;

namespace {

using Pictures = std::vector<std::string>;

void RandomWithAlpha(CxImage& image, uint32_t width, uint32_t height, uint32_t bpp, uint32_t seed) {
    image_test::FillRandom(image, width, height, bpp, seed);
    ASSERT_TRUE(image.AlphaCreate());
    std::mt19937 rng(seed);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; i++)
        image.AlphaGetPointer()[i] = static_cast<uint8_t>(rng());
}

const Pictures kThreeByTwo = {"#..", ".##"};

class GeometryDepthTest : public ::testing::TestWithParam<uint32_t> {};

}  // namespace

TEST(ImageGeometry, QuarterTurnCounterClockwiseIsExact) {
    CxImage image(0);
    FromPicture(image, kThreeByTwo);
    ASSERT_TRUE(image.Rotate(90.0f));
    // Result pixel (nx, ny) is source pixel (w - 1 - ny, nx): no edge is lost.
    EXPECT_EQ(Picture(image), (Pictures{".#", ".#", "#."}));
}

TEST(ImageGeometry, QuarterTurnClockwiseIsExact) {
    CxImage image(0);
    FromPicture(image, kThreeByTwo);
    ASSERT_TRUE(image.Rotate(270.0f));
    // Result pixel (nx, ny) is source pixel (ny, h - 1 - nx).
    EXPECT_EQ(Picture(image), (Pictures{".#", "#.", "#."}));
}

TEST(ImageGeometry, QuarterTurnsDoNotDrawALineFromTheFirstPixelByte) {
    // A white page whose first pixel byte has its lowest bit clear: a turn that
    // read outside the page would bring in a black line.
    CxImage image(0);
    FromPicture(image, {"........", "........", "........"});
    image.SetPixelIndex(7, 0, 0);
    for (float angle : {90.0f, 270.0f}) {
        CxImage turned(image);
        ASSERT_TRUE(turned.Rotate(angle));
        int black = 0;
        for (const std::string& row : Picture(turned))
            black += static_cast<int>(std::count(row.begin(), row.end(), '#'));
        EXPECT_EQ(black, 1) << angle;
    }
}

TEST(ImageGeometry, EquivalentAnglesTakeTheSameQuarterTurns) {
    CxImage source(0);
    image_test::FillRandom(source, 13, 7, 1, 5);
    for (auto [angle, same] : {std::pair<float, float>{-90.0f, 270.0f}, {450.0f, 90.0f}, {-270.0f, 90.0f}}) {
        CxImage a(source), b(source);
        ASSERT_TRUE(a.Rotate(angle));
        ASSERT_TRUE(b.Rotate(same));
        EXPECT_TRUE(SameImage(b, a)) << angle;
    }
}

TEST_P(GeometryDepthTest, QuarterTurnsMatchThePixelMapping) {
    const uint32_t bpp = GetParam();
    std::mt19937 rng(bpp);
    for (int round = 0; round < 6; round++) {
        const uint32_t w = 1 + rng() % 40, h = 1 + rng() % 40;
        CxImage source(0);
        RandomWithAlpha(source, w, h, bpp, rng());
        const int iw = static_cast<int>(w), ih = static_cast<int>(h);
        CxImage ccw(0), cw(0);
        ReferenceMap(
            source, h, w, [iw](int nx, int ny) { return std::make_pair(iw - 1 - ny, nx); }, ccw);
        ReferenceMap(
            source, h, w, [ih](int nx, int ny) { return std::make_pair(ny, ih - 1 - nx); }, cw);

        CxImage turned(source);
        ASSERT_TRUE(turned.Rotate(90.0f));
        ASSERT_TRUE(SameImage(ccw, turned)) << "90, " << w << " x " << h;
        CxImage into(0);
        ASSERT_TRUE(source.Rotate(270.0f, &into));
        ASSERT_TRUE(SameImage(cw, into)) << "270, " << w << " x " << h;
        EXPECT_EQ(source.GetWidth(), w);  // with a destination the source stays
    }
}

TEST_P(GeometryDepthTest, FourQuarterTurnsAndOppositeTurnsGiveTheOriginal) {
    CxImage source(0);
    RandomWithAlpha(source, 19, 11, GetParam(), 8);
    CxImage image(source);
    for (int i = 0; i < 4; i++)
        ASSERT_TRUE(image.Rotate(90.0f));
    EXPECT_EQ(PixelsOnly(source), PixelsOnly(image));
    EXPECT_EQ(image_test::AlphaBytes(source), image_test::AlphaBytes(image));
    CxImage back(source);
    ASSERT_TRUE(back.Rotate(90.0f));
    ASSERT_TRUE(back.Rotate(270.0f));
    EXPECT_EQ(PixelsOnly(source), PixelsOnly(back));
}

TEST_P(GeometryDepthTest, HalfTurnMatchesThePixelMapping) {
    std::mt19937 rng(GetParam() + 100);
    for (int round = 0; round < 6; round++) {
        const uint32_t w = 1 + rng() % 40, h = 1 + rng() % 9;
        CxImage source(0);
        RandomWithAlpha(source, w, h, GetParam(), rng());
        const int iw = static_cast<int>(w), ih = static_cast<int>(h);
        CxImage expected(0);
        ReferenceMap(
            source, w, h, [iw, ih](int nx, int ny) { return std::make_pair(iw - 1 - nx, ih - 1 - ny); }, expected);
        for (float angle : {180.0f, -180.0f, 540.0f}) {
            CxImage image(source);
            ASSERT_TRUE(image.Rotate(angle));
            ASSERT_TRUE(SameImage(expected, image)) << angle << ", " << w << " x " << h;
        }
    }
}

TEST_P(GeometryDepthTest, MirrorMatchesThePixelMappingAndTwiceIsIdentity) {
    std::mt19937 rng(GetParam() + 200);
    for (int round = 0; round < 6; round++) {
        const uint32_t w = 1 + rng() % 40, h = 1 + rng() % 5;
        CxImage source(0);
        RandomWithAlpha(source, w, h, GetParam(), rng());
        const int iw = static_cast<int>(w);
        CxImage expected(0);
        ReferenceMap(
            source, w, h, [iw](int nx, int ny) { return std::make_pair(iw - 1 - nx, ny); }, expected);
        CxImage image(source);
        ASSERT_TRUE(image.Mirror(false, true));
        EXPECT_EQ(PixelsOnly(expected), PixelsOnly(image)) << w << " x " << h;
        EXPECT_EQ(image_test::AlphaBytes(expected), image_test::AlphaBytes(image));
        ASSERT_TRUE(image.Mirror(false, true));
        EXPECT_EQ(PixelsOnly(source), PixelsOnly(image));
        EXPECT_EQ(image_test::AlphaBytes(source), image_test::AlphaBytes(image));
    }
}

TEST_P(GeometryDepthTest, CropMatchesThePixelMapping) {
    std::mt19937 rng(GetParam() + 300);
    for (int round = 0; round < 12; round++) {
        const int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 12);
        CxImage source(0);
        RandomWithAlpha(source, static_cast<uint32_t>(w), static_cast<uint32_t>(h), GetParam(), rng());
        const int left = static_cast<int>(rng() % static_cast<uint32_t>(w));
        const int right = left + 1 + static_cast<int>(rng() % static_cast<uint32_t>(w - left));
        const int bottom = static_cast<int>(rng() % static_cast<uint32_t>(h));
        const int top = bottom + 1 + static_cast<int>(rng() % static_cast<uint32_t>(h - bottom));
        // Kept stored rows: h - top .. h - bottom - 1.
        CxImage expected(0);
        ReferenceMap(
            source, static_cast<uint32_t>(right - left), static_cast<uint32_t>(top - bottom),
            [left, h, top](int nx, int ny) { return std::make_pair(left + nx, h - top + ny); }, expected);
        CxImage image(source);
        ASSERT_TRUE(image.Crop(left, top, right, bottom));
        ASSERT_TRUE(SameImage(expected, image)) << left << "," << top << "," << right << "," << bottom;
    }
}

INSTANTIATE_TEST_SUITE_P(ImageGeometry, GeometryDepthTest, ::testing::Values(1u, 4u, 8u, 24u));

TEST(ImageGeometry, HalfTurnMovesTheFirstPixelToTheLastCorner) {
    CxImage image(0);
    FromPicture(image, {"#.........", "..........", ".........."});
    ASSERT_TRUE(image.Rotate180());
    EXPECT_EQ(Picture(image), (Pictures{"..........", "..........", ".........#"}));
}

TEST(ImageGeometry, NoTurnIsAnExactCopyThroughTheGeneralPath) {
    CxImage source(0);
    image_test::FillRandom(source, 21, 9, 1, 6);
    for (float angle : {0.0f, 360.0f}) {
        CxImage image(source);
        ASSERT_TRUE(image.Rotate(angle));
        EXPECT_EQ(image.GetWidth(), 21u);
        EXPECT_EQ(image.GetHeight(), 9u);
        EXPECT_EQ(PixelsOnly(source), PixelsOnly(image)) << angle;
    }
}

TEST(ImageGeometry, OtherAnglesGrowTheBoundingBox) {
    CxImage image(0);
    image_test::FillRandom(image, 10, 10, 8, 1);
    image.SetXDPI(203);
    ASSERT_TRUE(image.Rotate(45.0f));
    // floor(0.5 + 2 x 10 x cos 45) = 14 both ways.
    EXPECT_EQ(image.GetWidth(), 14u);
    EXPECT_EQ(image.GetHeight(), 14u);
    EXPECT_EQ(image.GetXDPI(), 203);
}

TEST(ImageGeometry, MirrorOfTenPixelsMapsColumnZeroToNine) {
    CxImage image(0);
    FromPicture(image, {"#.........", ".#........"});
    image.SetXDPI(300);
    ASSERT_TRUE(image.Mirror());
    EXPECT_EQ(Picture(image), (Pictures{".........#", "........#."}));
    EXPECT_EQ(image.GetXDPI(), 300);
}

TEST(ImageGeometry, CropBoundariesAreClampedAndOrdered) {
    CxImage source(0);
    image_test::FillRandom(source, 12, 10, 8, 2);
    source.SetXDPI(203);
    struct Case {
        int left, top, right, bottom;
        uint32_t width, height, firstRow, firstCol;
    };
    const Case cases[] = {
        {0, 0, 12, 10, 12, 10, 0, 0},   // whole image, rows swapped into order
        {0, 10, 12, 0, 12, 10, 0, 0},   // whole image
        {-5, 10, 17, 0, 12, 10, 0, 0},  // columns clamped
        {3, 2, 9, 7, 6, 5, 3, 3},       // top 2 and bottom 10 - 3 keep stored rows 3 .. 7
    };
    for (const Case& c : cases) {
        CxImage image(source);
        ASSERT_TRUE(image.Crop(c.left, c.top, c.right, c.bottom)) << c.left << "," << c.top;
        ASSERT_EQ(image.GetWidth(), c.width);
        ASSERT_EQ(image.GetHeight(), c.height);
        EXPECT_EQ(image.GetBits(0)[0], source.GetBits(c.firstRow)[c.firstCol]);
        EXPECT_EQ(image.GetXDPI(), 203);
    }
}

TEST(ImageGeometry, EmptyCropsAreRefused) {
    CxImage image(0);
    image_test::FillRandom(image, 12, 10, 1, 3);
    CxImage before(image);
    EXPECT_FALSE(image.Crop(4, 0, 4, 10));
    EXPECT_FALSE(image.Crop(0, 3, 12, 3));
    EXPECT_FALSE(image.Crop(0, 20, 12, 12));  // both clamp to the same row boundary
    EXPECT_TRUE(SameImage(before, image));
    tagRECT rect = {2, 10, 6, 0};
    ASSERT_TRUE(image.Crop(rect));
    EXPECT_EQ(image.GetWidth(), 4u);
}

TEST(ImageGeometry, AnglesThatAreNotNumbersAreRefused) {
    CxImage image(0);
    image_test::FillRandom(image, 5, 4, 8, 1);
    CxImage before(image);
    EXPECT_FALSE(image.Rotate(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_FALSE(image.Rotate(std::numeric_limits<float>::infinity()));
    EXPECT_TRUE(SameImage(before, image));
}

TEST(ImageGeometry, EmptyImagesAreRefused) {
    CxImage image(0);
    EXPECT_FALSE(image.Rotate(90.0f));
    EXPECT_FALSE(image.Rotate(30.0f));
    EXPECT_FALSE(image.Rotate180());
    EXPECT_FALSE(image.Mirror());
    EXPECT_FALSE(image.Crop(0, 0, 1, 1));
}

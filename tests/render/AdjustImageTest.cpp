#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "image/ImageTestUtil.h"
#include "render/CBaseRender.h"

using image_test::Bytes;
using image_test::Picture;
using image_test::SameImage;

namespace {

using Pictures = std::vector<std::string>;

struct Render : CBaseRender {
    explicit Render(int dpi = 203) { m_iDpi = dpi; }
};

// 1-bit page whose black pixels fill rows top..bottom-1 and columns left..right-1.
void BlockPage(CxImage& image, uint32_t width, uint32_t height, uint32_t left, uint32_t top, uint32_t right,
               uint32_t bottom) {
    ASSERT_NE(image.Create(width, height, 1, 0), nullptr);
    image.SetPaletteColor(0, 0, 0, 0);
    image.SetPaletteColor(1, 255, 255, 255);
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++)
            image.SetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                (x >= left && x < right && y >= top && y < bottom) ? 0 : 1);
}

struct CropCase {
    const char* name;
    int top, bottom, left, right;
    uint32_t width, height;        // of the result
    uint32_t blackLeft, blackTop;  // where the block starts in the result
};

void PrintTo(const CropCase& c, std::ostream* os) { *os << c.name; }

class CropWhiteEdgeTest : public ::testing::TestWithParam<CropCase> {};

std::string CropName(const ::testing::TestParamInfo<CropCase>& info) { return info.param.name; }

}  // namespace

TEST_P(CropWhiteEdgeTest, RemovesWhiteMarginsUpToTheLimits) {
    const CropCase& c = GetParam();
    Render render;
    BlockPage(render.m_Image, 100, 50, 20, 10, 80, 40);
    render.CropWhiteEdge(c.top, c.bottom, c.left, c.right);
    ASSERT_EQ(render.m_Image.GetWidth(), c.width);
    ASSERT_EQ(render.m_Image.GetHeight(), c.height);
    CxImage expected(0);
    BlockPage(expected, c.width, c.height, c.blackLeft, c.blackTop, c.blackLeft + 60, c.blackTop + 30);
    EXPECT_EQ(Picture(expected), Picture(render.m_Image));
}

INSTANTIATE_TEST_SUITE_P(AdjustImage, CropWhiteEdgeTest,
                         ::testing::Values(
                             // 1 mm is 8 dots at 203 dpi; the right edge may lose one column more.
                             CropCase{"OneMillimetreEachEdge", 1, 1, 1, 1, 83, 34, 12, 2},
                             CropCase{"NegativeLimitsRemoveEveryMargin", -1, -1, -1, -1, 60, 30, 0, 0},
                             CropCase{"OnlyTheLeftEdge", 0, 0, 9999, 0, 80, 50, 0, 10},
                             CropCase{"OnlyTheRightEdge", 0, 0, 0, 2, 83, 50, 20, 10},
                             CropCase{"TopAndBottom", 1, -1, 0, 0, 100, 32, 20, 2}),
                         CropName);

TEST(AdjustImage, CropLimitsUseTheHorizontalResolutionForEveryEdge) {
    Render render(300);  // 1 mm = 12 dots
    BlockPage(render.m_Image, 100, 50, 20, 15, 80, 40);
    render.m_Image.SetYDPI(100);
    render.CropWhiteEdge(1, 1, 1, 1);
    EXPECT_EQ(render.m_Image.GetWidth(), 100u - 12 - 13);
    EXPECT_EQ(render.m_Image.GetHeight(), 50u - 12 - 10);
}

TEST(AdjustImage, CropOfAWhitePageKeepsItsSize) {
    Render render;
    BlockPage(render.m_Image, 30, 20, 0, 0, 0, 0);
    render.CropWhiteEdge(5, 5, 5, 5);
    EXPECT_EQ(render.m_Image.GetWidth(), 30u);
    EXPECT_EQ(render.m_Image.GetHeight(), 20u);
}

TEST(AdjustImage, ZeroCropLimitsLeaveTheImageUntouched) {
    Render render;
    BlockPage(render.m_Image, 30, 20, 5, 5, 10, 10);
    const uint8_t* bits = render.m_Image.GetBits(0);
    render.CropWhiteEdge(0, 0, 0, 0);
    EXPECT_EQ(render.m_Image.GetBits(0), bits);  // not even copied
}

TEST(AdjustImage, CropFindsPixelsAtEveryBitPosition) {
    // One black pixel at a time, anywhere: the scans must stop exactly on it.
    std::mt19937 rng(5);
    for (int round = 0; round < 40; round++) {
        const uint32_t w = 1 + rng() % 70, h = 1 + rng() % 6;
        const uint32_t x = rng() % w, y = rng() % h;
        Render render;
        BlockPage(render.m_Image, w, h, x, y, x + 1, y + 1);
        render.CropWhiteEdge(-1, -1, -1, -1);
        ASSERT_EQ(render.m_Image.GetWidth(), 1u) << w << " wide, black at " << x;
        ASSERT_EQ(render.m_Image.GetHeight(), 1u);
        EXPECT_EQ(render.m_Image.GetPixelIndex(0, 0), 0);
    }
}

TEST(AdjustImage, RowEndsBecomeWhite) {
    struct Case {
        uint32_t width;
        Bytes expected;
    };
    const Case cases[] = {{10, {0x00, 0x3F, 0xFF, 0xFF}},
                          {16, {0x00, 0x00, 0xFF, 0xFF}},
                          {32, {0, 0, 0, 0}},
                          {1, {0x7F, 0xFF, 0xFF, 0xFF}}};
    for (const Case& c : cases) {
        Render render;
        ASSERT_NE(render.m_Image.Create(c.width, 2, 1, 0), nullptr);
        render.AdjustEffWidthBits();
        for (uint32_t y = 0; y < 2; y++)
            EXPECT_EQ(Bytes(render.m_Image.GetBits(y), render.m_Image.GetBits(y) + 4), c.expected) << c.width;
    }
}

namespace {

// A page as the filter builds it from a raster: `bpp` 8 or 24, random content.
void RasterImage(CxImage& image, uint32_t bpp, uint32_t seed) {
    image_test::FillRandom(image, 61, 23, bpp, seed);
    image.SetXDPI(203);
}

struct PipelineCase {
    const char* name;
    uint32_t bpp;
    void (*settings)(CBaseRender&);
    void (*steps)(CBaseRender&);  // the operations the settings should cause
};

void PrintTo(const PipelineCase& c, std::ostream* os) { *os << c.name; }

class PipelineTest : public ::testing::TestWithParam<PipelineCase> {};

std::string PipelineName(const ::testing::TestParamInfo<PipelineCase>& info) { return info.param.name; }

}  // namespace

TEST_P(PipelineTest, RunsTheStepsTheSettingsAskFor) {
    const PipelineCase& c = GetParam();
    Render render, expected;
    RasterImage(render.m_Image, c.bpp, 3);
    RasterImage(expected.m_Image, c.bpp, 3);
    c.settings(render);
    render.AdjustImage();
    c.steps(expected);
    expected.AdjustEffWidthBits();
    EXPECT_TRUE(SameImage(expected.m_Image, render.m_Image));
}

INSTANTIATE_TEST_SUITE_P(
    AdjustImage, PipelineTest,
    ::testing::Values(PipelineCase{"ColourDefaultsGrayThenBurkes", 24, [](CBaseRender&) {},
                                   [](CBaseRender& r) {
                                       r.m_Image.GrayScale();
                                       r.m_Image.Dither(2);
                                   }},
                      PipelineCase{"ThresholdUsesTheLowEightBits", 8,
                                   [](CBaseRender& r) {
                                       r.m_HalfTone.iGrayMethod = 0;
                                       r.m_HalfTone.iThreValue = 300;
                                   },
                                   [](CBaseRender& r) { r.m_Image.Threshold(44); }},
                      PipelineCase{"NegativeMethodThresholds", 8, [](CBaseRender& r) { r.m_HalfTone.iGrayMethod = -3; },
                                   [](CBaseRender& r) { r.m_Image.Threshold(175); }},
                      PipelineCase{"ContrastAloneRunsLight", 8, [](CBaseRender& r) { r.m_HalfTone.iDuibidu = 40; },
                                   [](CBaseRender& r) {
                                       r.m_Image.Light(0, 40);
                                       r.m_Image.Dither(2);
                                   }},
                      PipelineCase{"BrightnessBeforeDithering", 24,
                                   [](CBaseRender& r) {
                                       r.m_HalfTone.iLiangdu = -20;
                                       r.m_HalfTone.iGrayMethod = 10;
                                   },
                                   [](CBaseRender& r) {
                                       r.m_Image.GrayScale();
                                       r.m_Image.Light(-20, 0);
                                       r.m_Image.Dither(9);
                                   }},
                      PipelineCase{"MethodElevenIsFloydSteinberg", 8,
                                   [](CBaseRender& r) { r.m_HalfTone.iGrayMethod = 11; },
                                   [](CBaseRender& r) { r.m_Image.Dither(0); }},
                      PipelineCase{"RotateTwoIsAQuarterTurn", 8, [](CBaseRender& r) { r.m_RegStruct.iRotate = 2; },
                                   [](CBaseRender& r) {
                                       r.m_Image.Dither(2);
                                       r.m_Image.Rotate(90.0f);
                                   }},
                      PipelineCase{"RotateOneAndThree", 8,
                                   [](CBaseRender& r) {
                                       r.m_RegStruct.iRotate = 3;
                                       r.m_HalfTone.iGrayMethod = 1;
                                   },
                                   [](CBaseRender& r) {
                                       r.m_Image.Dither(0);
                                       r.m_Image.Rotate(270.0f);
                                   }},
                      PipelineCase{"RotateFourLeavesTheOrientation", 8,
                                   [](CBaseRender& r) { r.m_RegStruct.iRotate = 4; },
                                   [](CBaseRender& r) { r.m_Image.Dither(2); }},
                      PipelineCase{"CropBeforeMirrorInversionAndTurn", 8,
                                   [](CBaseRender& r) {
                                       r.m_HalfTone.iCropLeftEdge = 1;
                                       r.m_HalfTone.iCropTopEdge = -1;
                                       r.m_RegStruct.bMirror = true;
                                       r.m_RegStruct.bNegative = true;
                                       r.m_RegStruct.iRotate = 1;
                                   },
                                   [](CBaseRender& r) {
                                       r.m_Image.Dither(2);
                                       r.CropWhiteEdge(-1, 0, 1, 0);
                                       r.m_Image.Mirror(false, true);
                                       r.Negative();
                                       r.m_Image.Rotate(180.0f);
                                   }},
                      PipelineCase{"ScaleAfterDithering", 8, [](CBaseRender& r) { r.m_RegStruct.iScale = 150; },
                                   [](CBaseRender& r) {
                                       r.m_Image.Dither(2);
                                       r.m_Image.Resample(91, 34);
                                   }},
                      PipelineCase{"ZeroScaleIsRefusedAndIgnored", 8, [](CBaseRender& r) { r.m_RegStruct.iScale = 0; },
                                   [](CBaseRender& r) { r.m_Image.Dither(2); }},
                      // Drawn pages: gray only where shrunk, thresholded at
                      // the middle whatever tone and halftoning say; the
                      // geometry stays the job's.
                      PipelineCase{"DrawnPagesAreThresholdedAtTheMiddle", 8,
                                   [](CBaseRender& r) {
                                       r.m_bDrawnPages = true;
                                       r.m_HalfTone.iLiangdu = 40;
                                       r.m_HalfTone.iDuibidu = -50;
                                       r.m_HalfTone.iThreValue = 175;
                                   },
                                   [](CBaseRender& r) { r.m_Image.Threshold(127); }},
                      PipelineCase{"DrawnPagesKeepTheJobsGeometry", 24,
                                   [](CBaseRender& r) {
                                       r.m_bDrawnPages = true;
                                       r.m_Extension.bEdgeKeeping = true;
                                       r.m_RegStruct.bMirror = true;
                                       r.m_RegStruct.iRotate = 2;
                                   },
                                   [](CBaseRender& r) {
                                       r.m_Image.GrayScale();
                                       r.m_Image.Threshold(127);
                                       r.m_Image.Mirror(false, true);
                                       r.m_Image.Rotate(90.0f);
                                   }}),
    PipelineName);

TEST(AdjustImage, PreparedPageIsOneBitWithWhiteRowEnds) {
    Render render;
    RasterImage(render.m_Image, 24, 9);
    render.AdjustImage();
    const CxImage& image = render.m_Image;
    ASSERT_EQ(image.GetBpp(), 1u);
    EXPECT_EQ(testing_support::Hex(reinterpret_cast<uint8_t*>(image.GetPalette()), 8), "00 00 00 00 FF FF FF 00 ");
    ASSERT_EQ(image.GetEffWidth(), 8u);
    for (uint32_t y = 0; y < image.GetHeight(); y++)
        EXPECT_EQ(image.GetBits(y)[7] & 0x07, 0x07);  // 61 pixels: the low 3 bits of byte 7
}

TEST(AdjustImage, OneBitPagesOnlyGetTheirRowEnds) {
    Render render;
    BlockPage(render.m_Image, 13, 4, 2, 1, 5, 3);
    const Pictures before = Picture(render.m_Image);
    render.m_HalfTone.iDuibidu = 50;
    render.AdjustImage();
    EXPECT_EQ(Picture(render.m_Image), before);
}

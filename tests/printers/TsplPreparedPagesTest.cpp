// Pages of every depth through the real filter: the TSPL renderer sends the
// prepared page unchanged in a mode-1 BITMAP, so its bytes show exactly what
// the preparation made of the raster. The expected pages are worked out with
// the per-pixel reference operations of the image tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "image/ImageReference.h"
#include "support/FilterRun.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

using Options = std::map<std::string, std::string>;

// Raster content with white margins, smooth ramps, noise and pure black and
// white runs, so that crops, clamps and every matrix position take part.
RasterPage MakePage(unsigned width, unsigned height, unsigned bpp, uint32_t seed) {
    RasterPage page;
    page.width = width;
    page.height = height;
    page.bitsPerPixel = bpp;
    page.colorSpace = bpp == 24 ? CUPS_CSPACE_RGB : bpp == 32 ? CUPS_CSPACE_RGBW : CUPS_CSPACE_W;
    const unsigned bpl = (width * bpp + 7) / 8;
    page.data.assign(static_cast<size_t>(bpl) * height, 0xFF);
    std::mt19937 rng(seed);
    for (unsigned y = 0; y < height; y++) {
        for (unsigned x = 0; x < width; x++) {
            const bool margin = x < 5 || y < 3 || x + 9 >= width || y + 6 >= height;
            const unsigned noise = rng() % 64;
            const unsigned level = margin ? 255 : (x / 7) % 3 == 0 ? 0 : (x * 9 + y * 5 + noise) % 256;
            uint8_t* row = page.data.data() + static_cast<size_t>(y) * bpl;
            if (bpp == 8) {
                row[x] = static_cast<uint8_t>(level);
            } else if (bpp == 4) {
                const uint8_t nibble = static_cast<uint8_t>(level >> 4);
                row[x / 2] = (x & 1) ? static_cast<uint8_t>((row[x / 2] & 0xF0) | nibble)
                                     : static_cast<uint8_t>((row[x / 2] & 0x0F) | (nibble << 4));
            } else {
                uint8_t* p = row + x * (bpp / 8);
                p[0] = static_cast<uint8_t>(level);
                p[1] = static_cast<uint8_t>(margin ? 255 : (level * 3 + y) % 256);
                p[2] = static_cast<uint8_t>(margin ? 255 : 255 - level);
                if (bpp == 32)
                    p[3] = static_cast<uint8_t>(rng());
            }
        }
    }
    return page;
}

int Number(const Options& options, const std::string& key, int fallback) {
    auto it = options.find(key);
    return it == options.end() ? fallback : std::atoi(it->second.c_str());
}

// Brightness and contrast as the palette sees them: every entry that is not
// pure black or white goes through the table; an 8-bit ramp then carries the
// new levels into its pixels.
void ReferenceLight(CxImage& image, int brightness, int contrast) {
    uint8_t table[256];
    image_reference::ReferenceLightTable(brightness, contrast, table);
    const bool ramp = image.IsGrayScale();
    for (uint32_t j = 0; j < image.GetNumColors(); j++) {
        tagRGBQUAD c = image.GetPaletteColor(static_cast<uint8_t>(j));
        if ((c.rgbRed == 255 && c.rgbGreen == 255 && c.rgbBlue == 255) || (c.rgbRed | c.rgbGreen | c.rgbBlue) == 0)
            continue;
        image.SetPaletteColor(static_cast<uint8_t>(j), table[c.rgbRed], table[c.rgbGreen], table[c.rgbBlue]);
    }
    if (ramp) {
        CxImage gray(0);
        image_reference::ReferenceGray(image, gray);
        image.Transfer(gray);
    }
}

bool Black(const CxImage& image, int x, int y) { return image.GetPixelIndex(x, y) == 0; }

// White margins removed pixel by pixel, each edge up to its limit in dots
// (mm x dpi / 25.4 rounded up; the right edge one dot more).
void ReferenceCrop(CxImage& image, int dpi, int top, int bottom, int left, int right) {
    if (top == 0 && bottom == 0 && left == 0 && right == 0)
        return;
    auto dots = [dpi](int mm) { return static_cast<int>((mm < 0 ? 9999 : mm) * (dpi / 25.4) + 0.9999); };
    const int w = static_cast<int>(image.GetWidth()), h = static_cast<int>(image.GetHeight());
    int firstRow = h, lastRow = -1, firstCol = w, lastCol = -1;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (Black(image, x, y)) {
                firstRow = std::min(firstRow, y);
                lastRow = std::max(lastRow, y);
                firstCol = std::min(firstCol, x);
                lastCol = std::max(lastCol, x);
            }
    int cutTop = 0, cutBottom = 0, cutLeft = 0, cutRight = 0;
    if (lastRow >= 0) {
        cutTop = top ? std::min(firstRow, dots(top)) : 0;
        cutBottom = bottom ? std::min(h - 1 - lastRow, dots(bottom)) : 0;
        cutLeft = left ? std::min(firstCol, dots(left)) : 0;
        cutRight = right ? std::min(w - 1 - lastCol, dots(right) + 1) : 0;
    }
    CxImage cropped(0);
    image_reference::ReferenceMap(
        image, static_cast<uint32_t>(w - cutLeft - cutRight), static_cast<uint32_t>(h - cutTop - cutBottom),
        [cutLeft, cutTop](int nx, int ny) { return std::make_pair(nx + cutLeft, ny + cutTop); }, cropped);
    image.Transfer(cropped);
}

// The prepared page of `page` under `options`, as the BITMAP carries it:
// full stored rows, every bit beyond the width set.
Bytes ExpectedBitmap(const RasterPage& page, const Options& options, uint32_t& width, uint32_t& height,
                     uint32_t& rowBytes) {
    CxImage image(0);
    Bytes data = page.data;
    EXPECT_TRUE(image.CreateFromArray(data.data(), page.width, page.height, page.bitsPerPixel,
                                      (page.width * page.bitsPerPixel + 7) / 8, false));
    if (page.bitsPerPixel >= 24) {
        CxImage gray(0);
        image_reference::ReferenceGray(image, gray);
        image.Transfer(gray);
    }
    const int brightness = Number(options, "Brightness", 0), contrast = Number(options, "Contrast", 0);
    if (brightness || contrast)
        ReferenceLight(image, brightness, contrast);
    const int filter = Number(options, "ImageFilter", 0);
    CxImage bw(0);
    if (filter > 0)
        image_reference::ReferenceDither(image, filter - 1, bw);
    else
        image_reference::ReferenceThreshold(image, static_cast<uint8_t>(Number(options, "Threshold", 175)), bw);
    ReferenceCrop(bw, static_cast<int>(page.xdpi), Number(options, "CropEdgeTop", 0),
                  Number(options, "CropEdgeBottom", 0), Number(options, "CropEdgeLeft", 0),
                  Number(options, "CropEdgeRight", 0));
    const int rotate = Number(options, "Rotate", 0);
    if (rotate >= 1 && rotate <= 3) {
        CxImage turned(0);
        image_reference::ReferenceTurn(bw, rotate == 1 ? 180 : rotate == 2 ? 90 : 270, turned);
        bw.Transfer(turned);
    }
    width = bw.GetWidth();
    height = bw.GetHeight();
    rowBytes = (width + 31) / 32 * 4;
    Bytes bits(static_cast<size_t>(rowBytes) * height, 0xFF);
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++)
            if (Black(bw, static_cast<int>(x), static_cast<int>(y)))
                bits[y * rowBytes + x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
    return bits;
}

// The label program of one prepared page with the PPD's default set-up.
Bytes ExpectedLabel(const RasterPage& page, const Options& options) {
    uint32_t width = 0, height = 0, rowBytes = 0;
    const Bytes bits = ExpectedBitmap(page, options, width, height, rowBytes);
    const double dotsPerMm = page.xdpi / 25.4;
    char size[96], bitmap[64];
    std::snprintf(size, sizeof size, "SIZE %.2f mm,%.2f mm\r\n", width / dotsPerMm, height / dotsPerMm);
    std::snprintf(bitmap, sizeof bitmap, "BITMAP 0,0,%u,%u,1,", rowBytes, height);
    return Concat({ToBytes(size),
                   ToBytes("SET RIBBON OFF\r\nREFERENCE 0,0\r\nGAP 0 mm,0 mm\r\nOFFSET 0 mm\r\n"
                           "SETC AUTODOTTED OFF\r\nSETC PAUSEKEY ON\r\nSETC WATERMARK ON\r\nCLS\r\n"),
                   ToBytes(bitmap), bits, ToBytes("\r\nPRINT 1,1\r\n")});
}

FilterResult RunTspl(const std::vector<RasterPage>& pages, const Options& options) {
    TempDir dir;
    PpdSpec ppd;
    ppd.options = FilterOptions(options);
    for (PpdOption& option : ppd.options)
        if (std::find(option.choices.begin(), option.choices.end(), option.defaultChoice) == option.choices.end())
            option.choices.push_back(option.defaultChoice);
    WriteFile(dir.File("tspl.ppd"), PpdText(ppd));
    FilterJob job = MakeJob(dir.File("tspl.ppd"));
    job.rasterFile = dir.File("job.ras");
    WriteRaster(job.rasterFile, pages);
    return RunFilter(job);
}

struct PageCase {
    const char* name;
    unsigned bpp;
    Options options;
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }

class TsplPreparedPageTest : public ::testing::TestWithParam<PageCase> {};

std::string CaseName(const ::testing::TestParamInfo<PageCase>& info) { return info.param.name; }

}  // namespace

TEST_P(TsplPreparedPageTest, BitmapCarriesThePreparedPage) {
    const PageCase& c = GetParam();
    const RasterPage page = MakePage(83, 41, c.bpp, c.bpp * 7 + 1);
    const FilterResult result = RunTspl({page}, c.options);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(DiffBytes(ExpectedLabel(page, c.options), result.out), "");
}

INSTANTIATE_TEST_SUITE_P(
    TsplPreparedPages, TsplPreparedPageTest,
    ::testing::Values(
        PageCase{"Gray8Threshold", 8, {{"ImageFilter", "0"}}},
        PageCase{"Gray8ThresholdAt100", 8, {{"ImageFilter", "0"}, {"Threshold", "100"}}},
        PageCase{"Gray8ThresholdAt300IsAt44", 8, {{"ImageFilter", "0"}, {"Threshold", "300"}}},
        PageCase{"Gray8FloydSteinberg", 8, {{"ImageFilter", "1"}}},
        PageCase{"Gray8OrderedFourByFour", 8, {{"ImageFilter", "2"}}},
        PageCase{"Gray8Burkes", 8, {{"ImageFilter", "3"}}}, PageCase{"Gray8Stucki", 8, {{"ImageFilter", "4"}}},
        PageCase{"Gray8Jarvis", 8, {{"ImageFilter", "5"}}}, PageCase{"Gray8Sierra", 8, {{"ImageFilter", "6"}}},
        PageCase{"Gray8StevensonArce", 8, {{"ImageFilter", "7"}}},
        PageCase{"Gray8GeneratedBayer", 8, {{"ImageFilter", "8"}}},
        PageCase{"Gray8BayerEightByEight", 8, {{"ImageFilter", "9"}}},
        PageCase{"Gray8SixteenBySixteen", 8, {{"ImageFilter", "10"}}},
        PageCase{"Gray8ElevenFallsBackToFloydSteinberg", 8, {{"ImageFilter", "11"}}},
        PageCase{"Gray8NegativeFilterThresholds", 8, {{"ImageFilter", "-1"}, {"Threshold", "200"}}},
        PageCase{"Gray8BrightnessAndContrast", 8, {{"ImageFilter", "3"}, {"Brightness", "20"}, {"Contrast", "-50"}}},
        PageCase{"Gray8ContrastOnly", 8, {{"ImageFilter", "1"}, {"Contrast", "40"}}},
        PageCase{"Gray4Burkes", 4, {{"ImageFilter", "3"}}},
        PageCase{"Gray4Threshold", 4, {{"ImageFilter", "0"}, {"Threshold", "200"}}},
        PageCase{"Gray4Brightness", 4, {{"ImageFilter", "3"}, {"Brightness", "40"}}},
        PageCase{"Gray4Ordered", 4, {{"ImageFilter", "10"}}}, PageCase{"Rgb24Burkes", 24, {{"ImageFilter", "3"}}},
        PageCase{"Rgb24Threshold", 24, {{"ImageFilter", "0"}}},
        PageCase{"Rgb24Darker", 24, {{"ImageFilter", "5"}, {"Brightness", "-20"}}},
        PageCase{"Rgba32Burkes", 32, {{"ImageFilter", "3"}}}, PageCase{"Rgba32Ordered", 32, {{"ImageFilter", "9"}}},
        PageCase{"CropEveryEdgeByOneMillimetre",
                 8,
                 {{"ImageFilter", "3"},
                  {"CropEdgeTop", "1"},
                  {"CropEdgeBottom", "1"},
                  {"CropEdgeLeft", "1"},
                  {"CropEdgeRight", "1"}}},
        PageCase{"CropAllMargins",
                 24,
                 {{"ImageFilter", "0"},
                  {"CropEdgeTop", "-1"},
                  {"CropEdgeBottom", "-1"},
                  {"CropEdgeLeft", "-1"},
                  {"CropEdgeRight", "-1"}}},
        PageCase{"CropLeftOnly", 8, {{"ImageFilter", "2"}, {"CropEdgeLeft", "9999"}}},
        PageCase{"RotateHalfTurn", 8, {{"ImageFilter", "3"}, {"Rotate", "1"}}},
        PageCase{"RotateCounterClockwise", 8, {{"ImageFilter", "3"}, {"Rotate", "2"}}},
        PageCase{"RotateClockwise", 24, {{"ImageFilter", "8"}, {"Rotate", "3"}}},
        PageCase{"RotateFourIsNoTurn", 8, {{"ImageFilter", "3"}, {"Rotate", "4"}}},
        PageCase{"CropThenRotate",
                 8,
                 {{"ImageFilter", "0"}, {"CropEdgeTop", "-1"}, {"CropEdgeRight", "-1"}, {"Rotate", "2"}}}),
    CaseName);

TEST(TsplPreparedPages, PagesOfDifferentDepthsInOneJob) {
    const std::vector<RasterPage> pages = {MakePage(40, 20, 8, 1), MakePage(33, 17, 24, 2), MakePage(50, 9, 32, 3),
                                           MakePage(21, 30, 4, 4)};
    const Options options = {{"ImageFilter", "3"}, {"Rotate", "3"}};
    const FilterResult result = RunTspl(pages, options);
    ASSERT_EQ(result.status, 0) << result.err;
    Bytes expected;
    for (const RasterPage& page : pages) {
        const Bytes label = ExpectedLabel(page, options);
        expected.insert(expected.end(), label.begin(), label.end());
    }
    EXPECT_EQ(DiffBytes(expected, result.out), "");
}

TEST(TsplPreparedPages, QuarterTurnKeepsEveryEdgeLine) {
    // A frame one pixel wide around a white page: after either quarter turn
    // all four sides are still there, and nothing else is black.
    const RasterPage page =
        MakeBitPage(20, 12, [](unsigned x, unsigned y) { return x == 0 || y == 0 || x == 19 || y == 11; });
    for (const char* rotate : {"2", "3"}) {
        const FilterResult result = RunTspl({page}, {{"ImageFilter", "0"}, {"Rotate", rotate}});
        ASSERT_EQ(result.status, 0) << result.err;
        Bytes frame;
        for (unsigned y = 0; y < 20; y++) {
            const bool edge = y == 0 || y == 19;
            // 12 pixels wide: one byte and four bits, in a 4-byte stored row.
            frame.insert(frame.end(), {static_cast<uint8_t>(edge ? 0x00 : 0x7F),
                                       static_cast<uint8_t>(edge ? 0x0F : 0xEF), 0xFF, 0xFF});
        }
        const std::string text(result.out.begin(), result.out.end());
        const size_t at = text.find("BITMAP 0,0,4,20,1,");
        ASSERT_NE(at, std::string::npos) << rotate;
        const size_t start = at + std::string("BITMAP 0,0,4,20,1,").size();
        EXPECT_EQ(DiffBytes(frame, Bytes(result.out.begin() + static_cast<long>(start),
                                         result.out.begin() + static_cast<long>(start + frame.size()))),
                  "")
            << "Rotate " << rotate;
    }
}

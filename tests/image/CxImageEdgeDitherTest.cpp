#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "image/CxImage.h"
#include "image/ImageTestUtil.h"

namespace {

// Source pixels of 1/300 inch, printed at 203 dpi.
constexpr double kStep = 300.0 / 203.0;

// Black share of each of `n` output pixels, output pixel i averaging the
// source pixels over [i * kStep, (i + 1) * kStep): what an area filter gives.
std::vector<double> Coverage(const std::vector<bool>& black, int n) {
    std::vector<double> out(n);
    for (int i = 0; i < n; i++) {
        const double a = i * kStep, b = a + kStep;
        for (int p = static_cast<int>(a); p < b && p < static_cast<int>(black.size()); p++)
            out[i] += black[p] ? std::min<double>(b, p + 1) - std::max<double>(a, p) : 0.0;
        out[i] /= kStep;
    }
    return out;
}

// A 1-D bar code drawn at 300 dpi (bars and spaces of 1 to 4 modules, quiet
// zones of 10 modules, bars 240 pixels tall between 30 white rows) and scaled
// to 203 dpi. firstRow .. lastRow are the output rows lying wholly inside the bars.
void ScaledBarCode(CxImage& image, int module, uint32_t seed, int& firstRow, int& lastRow) {
    std::mt19937 rng(seed);
    std::vector<bool> columns(10 * module, false);
    for (int bar = 0; bar < 40; bar++) {
        columns.insert(columns.end(), module * (1 + rng() % 4), true);
        columns.insert(columns.end(), module * (1 + rng() % 4), false);
    }
    columns.insert(columns.end(), 10 * module, false);
    std::vector<bool> rows(300, false);
    std::fill(rows.begin() + 30, rows.begin() + 270, true);
    const int width = static_cast<int>(columns.size() / kStep), height = static_cast<int>(300 / kStep);
    const std::vector<double> across = Coverage(columns, width), down = Coverage(rows, height);
    ASSERT_NE(image.Create(width, height, 8, 0), nullptr);
    image.SetGrayPalette();
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            image.GetBits(y)[x] = static_cast<uint8_t>(std::lround(255.0 * (1.0 - across[x] * down[y])));
    firstRow = static_cast<int>(std::ceil(30 / kStep));
    lastRow = static_cast<int>(270 / kStep) - 1;
}

// Pixels that break a column of the bar region: in each column the printed
// minority (black dots in a white column, white holes in a black one).
int StrayDots(const CxImage& image, int firstRow, int lastRow) {
    int stray = 0;
    for (uint32_t x = 0; x < image.GetWidth(); x++) {
        int black = 0;
        for (int y = firstRow; y <= lastRow; y++)
            black += image.GetPixelIndex(static_cast<int32_t>(x), y) == 0;
        stray += std::min(black, lastRow - firstRow + 1 - black);
    }
    return stray;
}

// The method written as a plain scan, one pixel at a time, errors in 1/32
// level and each push rounded down: the picture DitherEdgeKeeping must print.
std::vector<std::string> PlainEdgeKeeping(const CxImage& gray) {
    const int width = static_cast<int>(gray.GetWidth()), height = static_cast<int>(gray.GetHeight());
    auto level = [&](int x, int y) {
        return int{gray.GetBits(static_cast<uint32_t>(std::clamp(y, 0, height - 1)))[std::clamp(x, 0, width - 1)]};
    };
    auto share = [](int error, int weight) { return (error * weight) >> 5; };
    // Pushes into the current and the next row, two spare cells on each side.
    std::vector<int> above(width + 4), below(width + 4);
    std::vector<std::string> rows;
    for (int y = 0; y < height; y++) {
        std::string row;
        std::vector<int> own(width + 4);
        for (int x = 0; x < width; x++) {
            int lo = 255, hi = 0, wideLo = 255, wideHi = 0;
            for (int dy = -2; dy <= 2; dy++)
                for (int dx = -2; dx <= 2; dx++) {
                    const int v = level(x + dx, y + dy);
                    wideLo = std::min(wideLo, v);
                    wideHi = std::max(wideHi, v);
                    if (std::abs(dx) <= 1 && std::abs(dy) <= 1) {
                        lo = std::min(lo, v);
                        hi = std::max(hi, v);
                    }
                }
            if (hi - lo >= 96 || (wideLo <= 64 && wideHi >= 192)) {
                row += level(x, y) > 128 ? '.' : '#';
                continue;
            }
            const int v = std::clamp(level(x, y) * 32 + above[x + 2], 0, 255 * 32) + own[x + 2];
            const bool white = v > 128 * 32;
            const int error = v - (white ? 255 * 32 : 0);
            row += white ? '.' : '#';
            own[x + 3] += share(error, 8);
            own[x + 4] += share(error, 4);
            const int weights[5] = {2, 4, 8, 4, 2};
            for (int i = 0; i < 5; i++)
                below[x + i] += share(error, weights[i]);
        }
        rows.push_back(row);
        above.swap(below);
        std::fill(below.begin(), below.end(), 0);
    }
    return rows;
}

bool Halftone(CxImage& image, int method) { return method < 0 ? image.DitherEdgeKeeping() : image.Dither(method); }

constexpr int kEdgeKeeping = -1, kBurkes = 2;

}  // namespace

TEST(ImageEdgeDither, ScaledBarCodesKeepStraightEdges) {
    const struct {
        int module;
        uint32_t seed;
    } codes[] = {{2, 1}, {2, 2}, {3, 3}, {3, 4}, {4, 5}};
    for (const auto& code : codes) {
        int stray[2];
        for (int i : {0, 1}) {
            CxImage image(0);
            int first = 0, last = 0;
            ScaledBarCode(image, code.module, code.seed, first, last);
            ASSERT_TRUE(Halftone(image, i ? kEdgeKeeping : kBurkes));
            stray[i] = StrayDots(image, first, last);
        }
        std::printf("bar code, module %d px at 300 dpi: stray dots Burkes %d, edge-keeping %d\n", code.module, stray[0],
                    stray[1]);
        EXPECT_GT(stray[0], 0) << "the scaled code should trouble plain diffusion";
        EXPECT_EQ(stray[1], 0) << "module " << code.module << ", seed " << code.seed;
    }
}

// Poppler's anti-aliasing, or a 2:1 scale, spreads a bar edge over two
// pixels of the same gray. Bars run down (columns) and across (rows), as
// the modules of a 2-D code do.
TEST(ImageEdgeDither, TwoPixelGrayEdgesPrintStraight) {
    const int kPeriod[] = {255, 255, -1, -1, 0, 0, 0, 0, -1, -1, 255, 255};
    for (int gray : {64, 96, 128, 160, 192})
        for (bool across : {false, true}) {
            CxImage image(0);
            const int n = 12 * 8, length = 40;
            ASSERT_NE(image.Create(across ? length : n, across ? n : length, 8, 0), nullptr);
            image.SetGrayPalette();
            for (uint32_t y = 0; y < image.GetHeight(); y++)
                for (uint32_t x = 0; x < image.GetWidth(); x++) {
                    const int level = kPeriod[(across ? y : x) % 12];
                    image.GetBits(y)[x] = static_cast<uint8_t>(level < 0 ? gray : level);
                }
            ASSERT_TRUE(image.DitherEdgeKeeping());
            // The printed minority of each line along the bars.
            int stray = 0;
            for (int i = 0; i < n; i++) {
                int black = 0;
                for (int j = 0; j < length; j++)
                    black += (across ? image.GetPixelIndex(j, i) : image.GetPixelIndex(i, j)) == 0;
                stray += std::min(black, length - black);
            }
            EXPECT_EQ(stray, 0) << "gray " << gray << (across ? ", across" : ", down");
        }
}

// A gray area touching a bar: the bar keeps its columns, the area's first
// column prints solid like an edge where the step reaches the edge range
// (black at or below 128, so a dark area reads one dot into the bar), and
// the rest keeps its tone.
TEST(ImageEdgeDither, GrayRunsBesideABarKeepTheirTone) {
    for (int gray : {80, 100, 128, 160}) {
        CxImage image(0);
        const int height = 64, barEnd = 14, runEnd = 46;
        ASSERT_NE(image.Create(runEnd + 8, height, 8, 0), nullptr);
        image.SetGrayPalette();
        for (int y = 0; y < height; y++) {
            uint8_t* row = image.GetBits(static_cast<uint32_t>(y));
            std::fill_n(row, 8, 255);
            std::fill_n(row + 8, barEnd - 8, 0);
            std::fill_n(row + barEnd, runEnd - barEnd, static_cast<uint8_t>(gray));
            std::fill_n(row + runEnd, 8, 255);
        }
        ASSERT_TRUE(image.DitherEdgeKeeping());
        std::vector<int> black(image.GetWidth());
        for (int y = 0; y < height; y++)
            for (int x = 0; x < static_cast<int>(image.GetWidth()); x++)
                black[x] += image.GetPixelIndex(x, y) == 0;
        for (int x = 8; x < barEnd; x++)
            EXPECT_EQ(black[x], height) << "gray " << gray << ", bar column " << x;
        if (gray < 96) {
            EXPECT_GT(black[barEnd], 0) << "gray " << gray;
            EXPECT_LT(black[barEnd], height) << "gray " << gray;
        } else {
            EXPECT_EQ(black[barEnd], gray <= 128 ? height : 0) << "gray " << gray;
        }
        const int inside = std::accumulate(black.begin() + barEnd + 1, black.begin() + runEnd - 1, 0);
        EXPECT_NEAR(inside / double((runEnd - barEnd - 2) * height), 1.0 - gray / 255.0, 0.06) << "gray " << gray;
    }
}

TEST(ImageEdgeDither, GrayStepsKeepTheirTone) {
    // 64 x 64 patches side by side, black to white.
    std::vector<int> levels;
    for (int level = 0; level < 256; level += 16)
        levels.push_back(level);
    levels.push_back(255);
    CxImage image(0);
    ASSERT_NE(image.Create(64 * static_cast<uint32_t>(levels.size()), 64, 8, 0), nullptr);
    image.SetGrayPalette();
    for (uint32_t y = 0; y < 64; y++)
        for (size_t i = 0; i < levels.size(); i++)
            std::fill_n(image.GetBits(y) + 64 * i, 64, static_cast<uint8_t>(levels[i]));
    ASSERT_TRUE(image.DitherEdgeKeeping());
    for (size_t i = 0; i < levels.size(); i++) {
        int black = 0;
        for (int y = 0; y < 64; y++)
            for (int x = 0; x < 64; x++)
                black += image.GetPixelIndex(static_cast<int32_t>(64 * i + x), y) == 0;
        const double error = black / 4096.0 - (1.0 - levels[i] / 255.0);
        std::printf("level %3d: black %.4f, error %+.4f\n", levels[i], black / 4096.0, error);
        EXPECT_LE(std::fabs(error), 0.05) << "level " << levels[i];
    }
}

TEST(ImageEdgeDither, PrintsAsAPlainScan) {
    std::mt19937 rng(5);
    for (uint32_t width = 1; width <= 90; width++)
        for (bool smooth : {false, true}) {
            // Noise is mostly edges; smooth shading with a few hard blocks is
            // mostly diffused. Heights reach past several bands of rows.
            const uint32_t height = 1 + rng() % 40;
            CxImage image(0);
            if (smooth) {
                ASSERT_NE(image.Create(width, height, 8, 0), nullptr);
                image.SetGrayPalette();
                for (uint32_t y = 0; y < height; y++)
                    for (uint32_t x = 0; x < width; x++)
                        image.GetBits(y)[x] = (x / 7 + y / 5) % 5 == 0 ? 0 : static_cast<uint8_t>(40 + x + 2 * y);
            } else {
                image_test::FillGrayWithRuns(image, width, height, static_cast<uint32_t>(rng()));
            }
            const std::vector<std::string> expected = PlainEdgeKeeping(image);
            ASSERT_TRUE(image.DitherEdgeKeeping());
            ASSERT_EQ(image_test::Picture(image), expected) << width << " x " << height << (smooth ? ", smooth" : "");
        }
}

TEST(ImageEdgeDither, FlatPagesStayClean) {
    for (uint8_t level : {0, 255})
        for (auto [width, height] : {std::pair<uint32_t, uint32_t>{1, 1}, {13, 7}, {100, 40}}) {
            CxImage image(0);
            ASSERT_NE(image.Create(width, height, 8, 0), nullptr);
            image.SetGrayPalette();
            for (uint32_t y = 0; y < height; y++)
                std::fill_n(image.GetBits(y), width, level);
            ASSERT_TRUE(image.DitherEdgeKeeping());
            EXPECT_EQ(image_test::Picture(image),
                      std::vector<std::string>(height, std::string(width, level ? '.' : '#')))
                << int(level) << ", " << width << " x " << height;
        }
}

TEST(ImageEdgeDither, ResultFormatAndFailuresAsWithDither) {
    CxImage image(0);
    EXPECT_FALSE(image.DitherEdgeKeeping());
    image_test::FillRandom(image, 21, 5, 24, 7);
    ASSERT_TRUE(image.AlphaCreate());
    image.SetXDPI(203);
    ASSERT_TRUE(image.DitherEdgeKeeping());
    EXPECT_EQ(image.GetBpp(), 1u);
    EXPECT_EQ(image.GetXDPI(), 203);
    EXPECT_TRUE(image.AlphaIsValid());
    EXPECT_EQ(testing_support::Hex(reinterpret_cast<uint8_t*>(image.GetPalette()), 8), "00 00 00 00 FF FF FF 00 ");
    const CxImage before(image);
    ASSERT_TRUE(image.DitherEdgeKeeping());
    EXPECT_TRUE(image_test::SameImage(before, image));
}

#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "image/CxImage.h"

// Straightforward per-pixel versions of the image operations, written from
// their descriptions through the pixel accessors. The row-and-byte
// implementations must produce exactly their bytes.
namespace image_reference {

// Gray image written pixel by pixel from the colours the accessors read.
inline void ReferenceGray(const CxImage& source, CxImage& gray) {
    ASSERT_NE(gray.Create(source.GetWidth(), source.GetHeight(), 8, 0), nullptr);
    gray.SetGrayPalette();
    gray.AlphaCopy(source);
    for (int32_t y = 0; y < static_cast<int32_t>(source.GetHeight()); y++)
        for (int32_t x = 0; x < static_cast<int32_t>(source.GetWidth()); x++) {
            const tagRGBQUAD c = source.GetPixelColor(x, y, false);
            gray.SetPixelIndex(x, y, CxImage::RGB2GRAY(c.rgbRed, c.rgbGreen, c.rgbBlue));
        }
}

// Black (index 0) where the gray level is at most `level`.
inline void ReferenceThreshold(const CxImage& source, uint8_t level, CxImage& result) {
    CxImage gray(0);
    ReferenceGray(source, gray);
    ASSERT_NE(result.Create(gray.GetWidth(), gray.GetHeight(), 1, 0), nullptr);
    result.SetPaletteColor(0, 0, 0, 0);
    result.SetPaletteColor(1, 255, 255, 255);
    for (int32_t y = 0; y < static_cast<int32_t>(gray.GetHeight()); y++)
        for (int32_t x = 0; x < static_cast<int32_t>(gray.GetWidth()); x++)
            result.SetPixelIndex(x, y, gray.GetPixelIndex(x, y) > level ? 1 : 0);
}

// Brightness and contrast table: single precision, product, offset, half.
inline void ReferenceLightTable(int brightness, int contrast, uint8_t table[256]) {
    const float c = static_cast<float>(contrast + 100) / 100.0f;
    for (int i = 0; i < 256; i++) {
        const float product = static_cast<float>(i - 128) * c;
        const float offset = product + static_cast<float>(brightness + 128);
        const float half = offset + 0.5f;
        const int v = static_cast<int>(half);
        table[i] = static_cast<uint8_t>(v <= 0 ? 0 : v > 255 ? 255 : v);
    }
}

struct Tap {
    int dx, dy, weight;
};

struct Kernel {
    int divisor;
    std::vector<Tap> taps;
};

inline const Kernel kFloyd = {16, {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}};

// Diffusion kernels by method number, taps in the order they are applied.
inline const Kernel* DiffusionKernel(int method) {
    static const Kernel burkes = {32, {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}};
    static const Kernel stucki = {42,
                                  {{1, 0, 8},
                                   {2, 0, 4},
                                   {-2, 1, 2},
                                   {-1, 1, 4},
                                   {0, 1, 8},
                                   {1, 1, 4},
                                   {2, 1, 2},
                                   {-2, 2, 1},
                                   {-1, 2, 2},
                                   {0, 2, 4},
                                   {1, 2, 2},
                                   {2, 2, 1}}};
    static const Kernel jarvis = {48,
                                  {{1, 0, 7},
                                   {2, 0, 5},
                                   {-2, 1, 3},
                                   {-1, 1, 5},
                                   {0, 1, 7},
                                   {1, 1, 5},
                                   {2, 1, 3},
                                   {-2, 2, 1},
                                   {-1, 2, 3},
                                   {0, 2, 5},
                                   {1, 2, 3},
                                   {2, 2, 1}}};
    static const Kernel sierra = {32,
                                  {{1, 0, 5},
                                   {2, 0, 3},
                                   {-2, 1, 2},
                                   {-1, 1, 4},
                                   {0, 1, 5},
                                   {1, 1, 4},
                                   {2, 1, 2},
                                   {-1, 2, 2},
                                   {0, 2, 3},
                                   {1, 2, 2}}};
    static const Kernel stevenson = {200,
                                     {{2, 0, 32},
                                      {-3, 1, 12},
                                      {-1, 1, 26},
                                      {1, 1, 30},
                                      {3, 1, 16},
                                      {-2, 2, 12},
                                      {0, 2, 26},
                                      {2, 2, 12},
                                      {-3, 3, 5},
                                      {-1, 3, 12},
                                      {1, 3, 12},
                                      {3, 3, 5}}};
    switch (method) {
        case 1:
        case 7:
        case 8:
        case 9:
            return nullptr;
        case 2:
            return &burkes;
        case 3:
            return &stucki;
        case 4:
            return &jarvis;
        case 5:
            return &sierra;
        case 6:
            return &stevenson;
        default:
            return &kFloyd;
    }
}

inline const int kM4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
inline const int kGenerated[16] = {0, 192, 48, 240, 128, 64, 176, 112, 32, 224, 16, 208, 160, 96, 144, 80};
inline const int kM8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};
inline const int kM16[16][16] = {
    {1, 235, 59, 219, 15, 231, 55, 215, 2, 232, 56, 216, 12, 228, 52, 212},
    {129, 65, 187, 123, 143, 79, 183, 119, 130, 66, 184, 120, 140, 76, 180, 116},
    {33, 193, 17, 251, 47, 207, 31, 247, 34, 194, 18, 248, 44, 204, 28, 244},
    {161, 97, 145, 81, 175, 111, 159, 95, 162, 98, 146, 82, 172, 108, 156, 92},
    {9, 225, 49, 209, 5, 239, 63, 223, 10, 226, 50, 210, 6, 236, 60, 220},
    {137, 73, 177, 113, 133, 69, 191, 127, 138, 74, 178, 114, 134, 70, 188, 124},
    {41, 201, 25, 241, 37, 197, 21, 255, 42, 202, 26, 242, 38, 198, 22, 252},
    {169, 105, 153, 89, 165, 101, 149, 85, 170, 106, 154, 90, 166, 102, 150, 86},
    {3, 233, 57, 217, 13, 229, 53, 213, 0, 234, 58, 218, 14, 230, 54, 214},
    {131, 67, 185, 121, 141, 77, 181, 117, 128, 64, 186, 122, 142, 78, 182, 118},
    {35, 195, 19, 249, 45, 205, 29, 245, 32, 192, 16, 250, 46, 206, 30, 246},
    {163, 99, 147, 83, 173, 109, 157, 93, 160, 96, 144, 80, 174, 110, 158, 94},
    {11, 227, 51, 211, 7, 237, 61, 221, 8, 224, 48, 208, 4, 238, 62, 222},
    {139, 75, 179, 115, 135, 71, 189, 125, 136, 72, 176, 112, 132, 68, 190, 126},
    {43, 203, 27, 243, 39, 199, 23, 253, 40, 200, 24, 240, 36, 196, 20, 254},
    {171, 107, 155, 91, 167, 103, 151, 87, 168, 104, 152, 88, 164, 100, 148, 84},
};

inline int OrderedPixel(int method, int level, int x, int y) {
    switch (method) {
        case 1: {
            const int d = level * 16 / 255;
            return d / 16 + (kM4[y % 4][x % 4] < d % 16 ? 1 : 0);
        }
        case 7:
            return level > kGenerated[(x % 4) + 4 * (y % 4)] ? 1 : 0;
        case 8: {
            const int q = level >> 2;
            return q != 0 && q >= kM8[x & 7][y & 7] ? 1 : 0;
        }
        default:
            return level > kM16[x & 15][y & 15] ? 1 : 0;
    }
}

// The method as the accessors describe it: the gray source is read and, for
// error diffusion, written back pixel by pixel.
inline void ReferenceDither(const CxImage& source, int method, CxImage& result) {
    CxImage gray(0);
    ReferenceGray(source, gray);
    const int w = static_cast<int>(gray.GetWidth());
    const int h = static_cast<int>(gray.GetHeight());
    ASSERT_NE(result.Create(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 1, 0), nullptr);
    result.AlphaCopy(gray);
    const Kernel* kernel = DiffusionKernel(method);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const int level = gray.GetPixelIndex(x, y);
            if (!kernel) {
                result.SetPixelIndex(x, y, static_cast<uint8_t>(OrderedPixel(method, level, x, y)));
                continue;
            }
            const bool white = level > 128;
            const int error = white ? level - 255 : level;
            result.SetPixelIndex(x, y, white ? 1 : 0);
            for (const Tap& t : kernel->taps) {
                if (!gray.IsInside(x + t.dx, y + t.dy))
                    continue;
                int v = gray.GetPixelIndex(x + t.dx, y + t.dy) + error * t.weight / kernel->divisor;
                v = v < 0 ? 0 : v > 255 ? 255 : v;
                gray.SetPixelIndex(x + t.dx, y + t.dy, static_cast<uint8_t>(v));
            }
        }
    }
    result.SetPaletteColor(0, 0, 0, 0);
    result.SetPaletteColor(1, 255, 255, 255);
}

// A result of the given size whose pixel (nx, ny) is source pixel from(nx, ny),
// copied through the accessors, opacity included.
inline void ReferenceMap(const CxImage& source, uint32_t width, uint32_t height,
                         const std::function<std::pair<int, int>(int, int)>& from, CxImage& result) {
    ASSERT_NE(result.Create(width, height, source.GetBpp(), 0), nullptr);
    result.SetPalette(source.GetPalette(), 256);
    if (source.AlphaIsValid())
        result.AlphaCreate();
    for (int ny = 0; ny < static_cast<int>(height); ny++)
        for (int nx = 0; nx < static_cast<int>(width); nx++) {
            const auto [x, y] = from(nx, ny);
            if (source.GetNumColors())
                result.SetPixelIndex(nx, ny, source.GetPixelIndex(x, y));
            else
                result.SetPixelColor(nx, ny, source.GetPixelColor(x, y));
            result.AlphaSet(nx, ny, source.AlphaGet(x, y));
        }
}

// Quarter turns: 90 degrees counter-clockwise takes (nx, ny) from
// (w - 1 - ny, nx), 270 degrees from (ny, h - 1 - nx); the half turn from
// (w - 1 - nx, h - 1 - ny).
inline void ReferenceTurn(const CxImage& source, int degrees, CxImage& result) {
    const int w = static_cast<int>(source.GetWidth()), h = static_cast<int>(source.GetHeight());
    if (degrees == 90)
        ReferenceMap(
            source, static_cast<uint32_t>(h), static_cast<uint32_t>(w),
            [w](int nx, int ny) { return std::make_pair(w - 1 - ny, nx); }, result);
    else if (degrees == 270)
        ReferenceMap(
            source, static_cast<uint32_t>(h), static_cast<uint32_t>(w),
            [h](int nx, int ny) { return std::make_pair(ny, h - 1 - nx); }, result);
    else
        ReferenceMap(
            source, static_cast<uint32_t>(w), static_cast<uint32_t>(h),
            [w, h](int nx, int ny) { return std::make_pair(w - 1 - nx, h - 1 - ny); }, result);
}

// Nearest-pixel scaling written pixel by pixel through the colour accessors.
inline void ReferenceResample(const CxImage& source, int newWidth, int newHeight, CxImage& result) {
    const float xScale = static_cast<float>(source.GetWidth()) / static_cast<float>(newWidth);
    const float yScale = static_cast<float>(source.GetHeight()) / static_cast<float>(newHeight);
    ASSERT_NE(result.Create(static_cast<uint32_t>(newWidth), static_cast<uint32_t>(newHeight), source.GetBpp(), 0),
              nullptr);
    result.SetPalette(source.GetPalette(), 256);
    if (source.AlphaIsValid())
        result.AlphaCreate();
    for (int y = 0; y < newHeight; y++) {
        const float fY = static_cast<float>(y) * yScale;
        for (int x = 0; x < newWidth; x++) {
            const float fX = static_cast<float>(x) * xScale;
            const int sx = static_cast<int>(fX), sy = static_cast<int>(fY);
            result.SetPixelColor(x, y, source.GetPixelColor(sx, sy, true), false);
            result.AlphaSet(x, y, source.AlphaGet(sx, sy));
        }
    }
}

}  // namespace image_reference

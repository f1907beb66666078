#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "image/CxImage.h"
#include "support/TestFiles.h"

namespace image_test {

using testing_support::Bytes;

// An image of the given depth with random pixel bytes (row tails included)
// and, for palette depths, the gray palette a raster page gets.
inline void FillRandom(CxImage& image, uint32_t width, uint32_t height, uint32_t bpp, uint32_t seed) {
    ASSERT_NE(image.Create(width, height, bpp, 0), nullptr);
    if (bpp < 24)
        image.SetGrayPalette();
    std::mt19937 rng(seed);
    uint8_t* bits = image.GetBits(0);
    for (size_t i = 0; i < static_cast<size_t>(image.GetEffWidth()) * height; i++)
        bits[i] = static_cast<uint8_t>(rng());
}

// Levels spread over the whole range, with long runs near black and white so
// that the clamps of error diffusion are reached.
inline void FillGrayWithRuns(CxImage& image, uint32_t width, uint32_t height, uint32_t seed) {
    ASSERT_NE(image.Create(width, height, 8, 0), nullptr);
    image.SetGrayPalette();
    std::mt19937 rng(seed);
    for (uint32_t y = 0; y < height; y++) {
        uint8_t* row = image.GetBits(y);
        for (uint32_t x = 0; x < width; x++) {
            const uint32_t kind = rng() % 8;
            row[x] = kind == 0   ? 0
                     : kind == 1 ? 255
                     : kind == 2 ? static_cast<uint8_t>(rng() % 8)
                     : kind == 3 ? static_cast<uint8_t>(248 + rng() % 8)
                                 : static_cast<uint8_t>(rng());
        }
    }
}

// Pixel bytes of every stored row, row tails included.
inline Bytes PixelBytes(const CxImage& image) {
    if (!image.IsValid())
        return {};
    const uint8_t* bits = image.GetBits(0);
    return Bytes(bits, bits + static_cast<size_t>(image.GetEffWidth()) * image.GetHeight());
}

// Only the pixels: row tails masked out, for results whose tails are not defined.
inline Bytes PixelsOnly(const CxImage& image) {
    Bytes out;
    const uint32_t bits = image.GetWidth() * image.GetBpp();
    for (uint32_t y = 0; y < image.GetHeight(); y++) {
        const uint8_t* row = image.GetBits(y);
        out.insert(out.end(), row, row + bits / 8);
        if (bits % 8)
            out.push_back(static_cast<uint8_t>(row[bits / 8] & (0xFF << (8 - bits % 8))));
    }
    return out;
}

inline Bytes PaletteBytes(const CxImage& image) {
    const uint8_t* pal = reinterpret_cast<const uint8_t*>(image.GetPalette());
    return pal ? Bytes(pal, pal + image.GetPaletteSize()) : Bytes();
}

inline Bytes AlphaBytes(const CxImage& image) {
    const uint8_t* a = image.AlphaGetPointer();
    return a ? Bytes(a, a + static_cast<size_t>(image.GetWidth()) * image.GetHeight()) : Bytes();
}

// Same size, depth, palette, pixel bytes (tails included) and opacity plane.
inline ::testing::AssertionResult SameImage(const CxImage& expected, const CxImage& actual) {
    if (expected.GetWidth() != actual.GetWidth() || expected.GetHeight() != actual.GetHeight() ||
        expected.GetBpp() != actual.GetBpp())
        return ::testing::AssertionFailure()
               << "expected " << expected.GetWidth() << "x" << expected.GetHeight() << "x" << expected.GetBpp()
               << ", got " << actual.GetWidth() << "x" << actual.GetHeight() << "x" << actual.GetBpp();
    std::string diff = testing_support::DiffBytes(PaletteBytes(expected), PaletteBytes(actual));
    if (!diff.empty())
        return ::testing::AssertionFailure() << "palette: " << diff;
    diff = testing_support::DiffBytes(PixelBytes(expected), PixelBytes(actual));
    if (!diff.empty())
        return ::testing::AssertionFailure() << "pixels: " << diff;
    diff = testing_support::DiffBytes(AlphaBytes(expected), AlphaBytes(actual));
    if (!diff.empty())
        return ::testing::AssertionFailure() << "alpha: " << diff;
    return ::testing::AssertionSuccess();
}

// A 1-bit image from rows of '#' (black, index 0) and '.' (white, index 1).
inline void FromPicture(CxImage& image, const std::vector<std::string>& rows) {
    const uint32_t width = static_cast<uint32_t>(rows[0].size());
    ASSERT_NE(image.Create(width, static_cast<uint32_t>(rows.size()), 1, 0), nullptr);
    image.SetPaletteColor(0, 0, 0, 0);
    image.SetPaletteColor(1, 255, 255, 255);
    for (uint32_t y = 0; y < rows.size(); y++)
        for (uint32_t x = 0; x < width; x++)
            image.SetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y), rows[y][x] == '#' ? 0 : 1);
}

inline std::vector<std::string> Picture(const CxImage& image) {
    std::vector<std::string> rows;
    for (uint32_t y = 0; y < image.GetHeight(); y++) {
        std::string row;
        for (uint32_t x = 0; x < image.GetWidth(); x++)
            row += image.GetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y)) ? '.' : '#';
        rows.push_back(row);
    }
    return rows;
}

}  // namespace image_test

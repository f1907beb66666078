#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "image/CxImage.h"

// Row kernels shared by the image operations: packing 1-bit rows (leftmost
// pixel in the most significant bit) and reading gray levels row by row.
namespace CxImageRows {

// Eight 0/1 bytes (the first at the lowest address) to one packed byte, the
// first in the most significant bit. The eight shifted copies land on
// distinct bits, so the multiplication never carries into the top byte.
inline uint8_t PackEightFlags(uint64_t flags) { return static_cast<uint8_t>((flags * 0x8040201008040201ull) >> 56); }

// dst pixel x = 1 when src[x] > threshold[x], else 0, for x < width. The
// unused low bits of a partial last byte are 0; bytes beyond are untouched.
inline void PackAbove(const uint8_t* src, const uint8_t* threshold, uint32_t width, uint8_t* dst) {
    typedef uint8_t Sixteen __attribute__((vector_size(16)));
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        Sixteen levels, limits;
        std::memcpy(&levels, src + x, 16);
        std::memcpy(&limits, threshold + x, 16);
        const Sixteen flags = reinterpret_cast<Sixteen>(levels > limits) & 1;
        uint64_t half[2];
        std::memcpy(half, &flags, 16);
        *dst++ = PackEightFlags(half[0]);
        *dst++ = PackEightFlags(half[1]);
    }
    for (; x + 8 <= width; x += 8) {
        uint8_t flags[8];
        for (int k = 0; k < 8; k++)
            flags[k] = src[x + k] > threshold[x + k];
        uint64_t word;
        std::memcpy(&word, flags, 8);
        *dst++ = PackEightFlags(word);
    }
    if (x < width) {
        uint8_t byte = 0;
        for (int k = 0; x < width; x++, k++)
            byte |= static_cast<uint8_t>((src[x] > threshold[x]) << (7 - k));
        *dst = byte;
    }
}

// The gray levels of row y: the row itself for an 8-bit image; otherwise the
// pixel indices read one by one into `scratch` (width bytes; 0 for 24 bits).
inline const uint8_t* GrayRow(const CxImage& image, uint32_t y, uint8_t* scratch) {
    if (image.GetBpp() == 8)
        return image.GetBits(y);
    const uint32_t width = image.GetWidth();
    for (uint32_t x = 0; x < width; x++)
        scratch[x] = image.BlindGetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y));
    return scratch;
}

// The gray levels of one stored row in the filter's gray spaces: 1 and 4
// bits as indices of the gray palette (white all bits set), 8 bits as they
// are, 24 and 32 bits (`bpp`) as blue, green, red (and opacity) pixels.
inline void LevelsOfRow(const uint8_t* src, uint32_t bpp, uint32_t width, uint8_t* dst) {
    switch (bpp) {
        case 1:
            for (uint32_t x = 0; x < width; x++)
                dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            break;
        case 4:
            for (uint32_t x = 0; x < width; x++)
                dst[x] = static_cast<uint8_t>(17 * ((x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4));
            break;
        case 8:
            std::memcpy(dst, src, width);
            break;
        default: {
            const uint32_t step = bpp / 8;
            for (uint32_t x = 0; x < width; x++, src += step)
                dst[x] = CxImage::RGB2GRAY(src[2], src[1], src[0]);
        }
    }
}

// The image's gray levels as one plane of `stride`-byte rows: the pixel rows
// themselves when the image is 8-bit (writable, for diffusion in place), else
// (a failed gray conversion) a copy of the levels kept in `copy`.
inline uint8_t* GrayLevels(CxImage& image, std::vector<uint8_t>& copy, size_t& stride) {
    if (image.GetBpp() == 8) {
        stride = image.GetEffWidth();
        return image.GetBits(0);
    }
    const uint32_t width = image.GetWidth(), height = image.GetHeight();
    copy.resize(static_cast<size_t>(width) * height);
    for (uint32_t y = 0; y < height; y++) {
        uint8_t* row = copy.data() + static_cast<size_t>(y) * width;
        const uint8_t* levels = GrayRow(image, y, row);
        if (levels != row)
            std::memcpy(row, levels, width);
    }
    stride = width;
    return copy.data();
}

}  // namespace CxImageRows

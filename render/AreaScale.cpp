#include "render/AreaScale.h"

#include <algorithm>
#include <vector>

namespace AreaScale {

namespace {

// One line of `from` samples to `to` samples (to <= from): sample o covers
// [o * from, (o + 1) * from) in units of 1/to of a source sample, so every
// source sample's overlap with it is an integer and the overlaps sum to `from`.
void ShrinkLine(const uint8_t* src, uint32_t from, size_t srcStep, uint8_t* dst, uint32_t to, size_t dstStep) {
    for (uint32_t o = 0; o < to; o++) {
        const uint64_t begin = static_cast<uint64_t>(o) * from, end = begin + from;
        uint64_t sum = 0;
        for (uint64_t i = begin / to; i * to < end; i++) {
            const uint64_t lo = std::max<uint64_t>(begin, i * to), hi = std::min<uint64_t>(end, (i + 1) * to);
            sum += src[i * srcStep] * (hi - lo);
        }
        dst[o * dstStep] = static_cast<uint8_t>((sum + from / 2) / from);
    }
}

}  // namespace

bool ShrinkGray(CxImage& image, uint32_t width, uint32_t height) {
    const uint32_t oldWidth = image.GetWidth(), oldHeight = image.GetHeight();
    if (image.GetBpp() != 8 || !image.IsGrayScale() || width == 0 || height == 0 || width > oldWidth ||
        height > oldHeight)
        return false;
    // Rows first into a packed plane, then columns into the new image.
    std::vector<uint8_t> narrow(static_cast<size_t>(width) * oldHeight);
    for (uint32_t y = 0; y < oldHeight; y++)
        ShrinkLine(image.GetBits(y), oldWidth, 1, narrow.data() + static_cast<size_t>(y) * width, width, 1);
    CxImage small(0);
    if (!small.Create(width, height, 8, 0))
        return false;
    small.SetGrayPalette();
    const size_t stride = small.GetEffWidth();
    uint8_t* top = small.GetBits(0);
    for (uint32_t x = 0; x < width; x++)
        ShrinkLine(narrow.data() + x, oldHeight, width, top + x, height, stride);
    small.SetXDPI(image.GetXDPI());
    small.SetYDPI(image.GetYDPI());
    return image.Transfer(small);
}

}  // namespace AreaScale

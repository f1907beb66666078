#include "render/PageAssembly.h"

#include <algorithm>
#include <cstring>

namespace PageAssembly {

namespace {

// Rounding slack between a raster rendered for the whole page and the page
// size converted to dots.
const uint32_t kCoverSlack = 2;

// Saturates: a size beyond 32 bits of dots fails MediaFits anyway.
uint32_t PointsToDots(unsigned points, unsigned dpi) {
    return static_cast<uint32_t>(std::min<uint64_t>((static_cast<uint64_t>(points) * dpi + 36) / 72, UINT32_MAX));
}

}  // namespace

bool PlaceRaster(uint32_t rasterWidth, uint32_t rasterHeight, const unsigned pageSize[2], const unsigned boundingBox[4],
                 unsigned xdpi, unsigned ydpi, Placement& placement) {
    if (pageSize[0] == 0 || pageSize[1] == 0 || xdpi == 0 || ydpi == 0)
        return false;
    const unsigned left = boundingBox[0], bottom = boundingBox[1], right = boundingBox[2], top = boundingBox[3];
    if (right <= left || top <= bottom || right > pageSize[0] || top > pageSize[1])
        return false;
    const uint32_t mediaWidth = PointsToDots(pageSize[0], xdpi), mediaHeight = PointsToDots(pageSize[1], ydpi);
    if (rasterWidth > mediaWidth || rasterHeight > mediaHeight)
        return false;
    if (rasterWidth + kCoverSlack >= mediaWidth && rasterHeight + kCoverSlack >= mediaHeight)
        return false;
    placement.mediaWidth = mediaWidth;
    placement.mediaHeight = mediaHeight;
    placement.left = std::min(PointsToDots(left, xdpi), mediaWidth - rasterWidth);
    placement.top = std::min(PointsToDots(pageSize[1] - top, ydpi), mediaHeight - rasterHeight);
    return true;
}

bool MediaFits(const Placement& placement, unsigned bitsPerPixel) {
    const unsigned bits = bitsPerPixel <= 1    ? 1
                          : bitsPerPixel <= 4  ? 4
                          : bitsPerPixel <= 8  ? 8
                          : bitsPerPixel <= 24 ? 24
                                               : 32;
    const uint64_t dots = static_cast<uint64_t>(placement.mediaWidth) * placement.mediaHeight;
    return dots * bits / 8 <= static_cast<uint64_t>(CxImage::kMaxMemory);
}

bool PlaceOnMedia(CxImage& image, const Placement& placement) {
    const uint32_t bpp = image.GetBpp(), width = image.GetWidth(), height = image.GetHeight();
    CxImage page(0);
    if (!page.Create(placement.mediaWidth, placement.mediaHeight, bpp, 0))
        return false;
    if (image.AlphaIsValid() && !page.AlphaCreate())
        return false;
    if (bpp < 24)
        page.SetGrayPalette();
    std::memset(page.GetBits(0), 0xFF, static_cast<size_t>(page.GetEffWidth()) * placement.mediaHeight);
    for (uint32_t y = 0; y < height; y++) {
        const uint8_t* src = image.GetBits(y);
        uint8_t* dst = page.GetBits(placement.top + y);
        if (bpp >= 8) {
            const uint32_t bytes = bpp / 8;
            std::memcpy(dst + static_cast<size_t>(placement.left) * bytes, src, static_cast<size_t>(width) * bytes);
            continue;
        }
        // 1 and 4 bits: pixels may straddle bytes at the new column.
        const uint32_t mask = (1u << bpp) - 1;
        for (uint32_t x = 0; x < width; x++) {
            const uint32_t from = x * bpp, to = (placement.left + x) * bpp;
            const uint32_t value = (src[from >> 3] >> (8 - bpp - (from & 7))) & mask;
            const uint32_t shift = 8 - bpp - (to & 7);
            dst[to >> 3] = static_cast<uint8_t>((dst[to >> 3] & ~(mask << shift)) | (value << shift));
        }
    }
    if (image.AlphaIsValid()) {
        uint8_t* alpha = page.AlphaGetPointer();
        std::memset(alpha, 0xFF, static_cast<size_t>(placement.mediaWidth) * placement.mediaHeight);
        for (uint32_t y = 0; y < height; y++)
            std::memcpy(alpha + static_cast<size_t>(placement.top + y) * placement.mediaWidth + placement.left,
                        image.AlphaGetPointer() + static_cast<size_t>(y) * width, width);
    }
    page.SetXDPI(image.GetXDPI());
    page.SetYDPI(image.GetYDPI());
    return image.Transfer(page);
}

}  // namespace PageAssembly

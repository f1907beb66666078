// Nearest-pixel resampling of CxImage.
#include <cstring>
#include <vector>

#include "image/CxImage.h"

bool CxImage::Resample(int32_t newx, int32_t newy, int /*mode: nearest pixel only*/, CxImage* iDst) {
    if (newx == 0 || newy == 0)
        return false;
    const uint32_t width = GetWidth();
    const uint32_t height = GetHeight();
    if (newx == static_cast<int32_t>(width) && newy == static_cast<int32_t>(height)) {
        if (iDst)
            iDst->Copy(*this);
        return true;
    }

    // Single precision throughout, conversions truncating toward zero: the
    // columns and rows chosen depend on exactly this rounding.
    const float xScale = static_cast<float>(width) / static_cast<float>(newx);
    const float yScale = static_cast<float>(height) / static_cast<float>(newy);

    CxImage scaled(0);
    scaled.CopyInfo(*this);
    // A negative size becomes a huge unsigned one, which Create refuses.
    scaled.Create(static_cast<uint32_t>(newx), static_cast<uint32_t>(newy), GetBpp(), info.imageType);
    scaled.SetPalette(GetPalette(), 256);
    if (!scaled.IsValid()) {
        SetLastError(scaled.GetLastError());
        return false;
    }

    const uint32_t outWidth = static_cast<uint32_t>(newx);
    const uint32_t outHeight = static_cast<uint32_t>(newy);
    std::vector<uint32_t> column(outWidth);
    for (uint32_t x = 0; x < outWidth; x++) {
        const float fX = static_cast<float>(x) * xScale;
        column[x] = static_cast<uint32_t>(static_cast<int32_t>(fX));
    }
    std::vector<uint32_t> row(outHeight);
    for (uint32_t y = 0; y < outHeight; y++) {
        const float fY = static_cast<float>(y) * yScale;
        row[y] = static_cast<uint32_t>(static_cast<int32_t>(fY));
    }

    // A palette pixel is written as the entry nearest to its colour in the
    // copied palette: the same index unless the palette repeats a colour.
    const uint32_t bpp = GetBpp();
    uint8_t indexMap[256];
    for (uint32_t i = 0; i < 256; i++)
        indexMap[i] = header.biClrUsed ? scaled.GetNearestIndex(GetPaletteColor(static_cast<uint8_t>(i)))
                                       : static_cast<uint8_t>(i);

    const uint32_t rowBytes = scaled.GetEffWidth();
    for (uint32_t y = 0; y < outHeight; y++) {
        uint8_t* dst = scaled.GetBits(y);
        if (y > 0 && row[y] == row[y - 1]) {
            std::memcpy(dst, scaled.GetBits(y - 1), rowBytes);
            continue;
        }
        const uint8_t* src = GetBits(row[y]);
        switch (bpp) {
            case 1: {
                uint32_t x = 0;
                for (; x < outWidth; x += 8) {
                    uint8_t byte = 0;
                    for (uint32_t k = 0; k < 8 && x + k < outWidth; k++) {
                        const uint32_t sx = column[x + k];
                        const uint8_t index = indexMap[(src[sx >> 3] >> (7 - (sx & 7))) & 1];
                        byte |= static_cast<uint8_t>((index & 1) << (7 - k));
                    }
                    dst[x >> 3] = byte;
                }
                break;
            }
            case 4:
                for (uint32_t x = 0; x < outWidth; x++) {
                    const uint32_t sx = column[x];
                    const uint8_t index = indexMap[(sx & 1) ? src[sx >> 1] & 0x0F : src[sx >> 1] >> 4];
                    uint8_t& b = dst[x >> 1];
                    b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (index & 0x0F)) : static_cast<uint8_t>(index << 4);
                }
                break;
            case 8:
                for (uint32_t x = 0; x < outWidth; x++)
                    dst[x] = indexMap[src[column[x]]];
                break;
            default:
                for (uint32_t x = 0; x < outWidth; x++)
                    std::memcpy(dst + 3 * x, src + 3 * column[x], 3);
                break;
        }
    }

    if (alphaPlane) {
        scaled.AlphaCreate();
        uint8_t* out = scaled.alphaPlane;
        if (out) {
            for (uint32_t y = 0; y < outHeight; y++) {
                const uint8_t* in = alphaPlane + static_cast<size_t>(row[y]) * width;
                for (uint32_t x = 0; x < outWidth; x++)
                    *out++ = in[column[x]];
            }
        }
    }
    (iDst ? *iDst : *this).Transfer(scaled);
    return true;
}

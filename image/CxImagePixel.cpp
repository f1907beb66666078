// Palette queries, single-pixel accessors and the opacity plane of CxImage.
#include <cstdlib>
#include <cstring>

#include "image/CxImage.h"

bool CxImage::IsGrayScale() const {
    const tagRGBQUAD* pal = GetPalette();
    if (!pal)
        return false;
    for (uint32_t i = 0; i < header.biClrUsed; i++) {
        if (pal[i].rgbBlue != i || pal[i].rgbGreen != i || pal[i].rgbRed != i)
            return false;
    }
    return true;
}

bool CxImage::IsInside(int32_t x, int32_t y) const {
    return y >= 0 && y < header.biHeight && x >= 0 && x < header.biWidth;
}

tagRGBQUAD CxImage::GetPaletteColor(uint8_t idx) const {
    tagRGBQUAD c = {0, 0, 0, 0};
    const tagRGBQUAD* pal = GetPalette();
    if (pal && idx < header.biClrUsed)
        c = pal[idx];
    return c;
}

void CxImage::SetPaletteColor(uint8_t idx, uint8_t r, uint8_t g, uint8_t b, uint8_t alpha) {
    tagRGBQUAD c;
    c.rgbBlue = b;
    c.rgbGreen = g;
    c.rgbRed = r;
    c.rgbReserved = alpha;
    SetPaletteColor(idx, c);
}

void CxImage::SetPaletteColor(uint8_t idx, tagRGBQUAD c) {
    tagRGBQUAD* pal = GetPalette();
    if (pal && idx < header.biClrUsed) {
        pal[idx] = c;
        info.lastColorValid = false;
    }
}

uint8_t CxImage::GetNearestIndex(tagRGBQUAD c) {
    const tagRGBQUAD* pal = GetPalette();
    if (!pal)
        return 0;
    if (info.lastColorValid && std::memcmp(&c, &info.lastColor, sizeof c) == 0)
        return info.lastColorIndex;
    info.lastColor = c;
    info.lastColorValid = true;

    const uint32_t m = header.biClrImportant ? header.biClrImportant : header.biClrUsed;
    long best = 200000;
    uint8_t found = 0;
    for (uint32_t j = 0; j < m; j++) {
        const long db = static_cast<long>(pal[j].rgbBlue) - c.rgbBlue;
        const long dg = static_cast<long>(pal[j].rgbGreen) - c.rgbGreen;
        const long dr = static_cast<long>(pal[j].rgbRed) - c.rgbRed;
        const long d = db * db + dg * dg + dr * dr;
        if (d == 0) {
            found = static_cast<uint8_t>(j);
            break;
        }
        if (d < best) {
            best = d;
            found = static_cast<uint8_t>(j);
        }
    }
    info.lastColorIndex = found;
    return found;
}

uint8_t CxImage::BlindGetPixelIndex(int32_t x, int32_t y) const {
    const uint8_t* row = info.pixelStart + static_cast<size_t>(y) * info.effectiveWidth;
    switch (header.biBitCount) {
        case 8:
            return row[x];
        case 4:
            return static_cast<uint8_t>((x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4);
        case 1:
            return static_cast<uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1);
        default:
            return 0;
    }
}

void CxImage::BlindSetPixelIndex(int32_t x, int32_t y, uint8_t i) {
    uint8_t* row = info.pixelStart + static_cast<size_t>(y) * info.effectiveWidth;
    switch (header.biBitCount) {
        case 8:
            row[x] = i;
            break;
        case 4: {
            uint8_t& b = row[x >> 1];
            b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (i & 0x0F)) : static_cast<uint8_t>((b & 0x0F) | (i << 4));
            break;
        }
        case 1: {
            const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
            uint8_t& b = row[x >> 3];
            b = (i & 1) ? static_cast<uint8_t>(b | mask) : static_cast<uint8_t>(b & ~mask);
            break;
        }
        default:
            break;
    }
}

uint8_t CxImage::GetPixelIndex(int32_t x, int32_t y) const {
    if (!bitmapBlock || header.biClrUsed == 0)
        return 0;
    if (!IsInside(x, y)) {
        if (info.backgroundIndex >= 0)
            return static_cast<uint8_t>(info.backgroundIndex);
        return *info.pixelStart;
    }
    return BlindGetPixelIndex(x, y);
}

void CxImage::SetPixelIndex(int32_t x, int32_t y, uint8_t i) {
    if (!bitmapBlock || header.biClrUsed == 0 || !IsInside(x, y))
        return;
    BlindSetPixelIndex(x, y, i);
}

tagRGBQUAD CxImage::BlindGetPixelColor(int32_t x, int32_t y, bool getAlpha) const {
    tagRGBQUAD c;
    if (header.biClrUsed) {
        c = GetPaletteColor(BlindGetPixelIndex(x, y));
    } else {
        const uint8_t* p = info.pixelStart + static_cast<size_t>(y) * info.effectiveWidth + static_cast<size_t>(x) * 3;
        c.rgbBlue = p[0];
        c.rgbGreen = p[1];
        c.rgbRed = p[2];
        c.rgbReserved = 0;
    }
    if (alphaPlane && getAlpha)
        c.rgbReserved = BlindAlphaGet(x, y);
    return c;
}

tagRGBQUAD CxImage::GetPixelColor(int32_t x, int32_t y, bool getAlpha) const {
    if (!bitmapBlock || !IsInside(x, y)) {
        if (info.backgroundIndex < 0)
            return bitmapBlock ? GetPixelColor(0, 0, getAlpha) : info.backgroundColor;
        if (header.biClrUsed)
            return GetPaletteColor(static_cast<uint8_t>(info.backgroundIndex));
        return info.backgroundColor;
    }
    // Inside the image a direct colour's reserved byte starts from the background's.
    tagRGBQUAD c = BlindGetPixelColor(x, y, false);
    if (!header.biClrUsed)
        c.rgbReserved = info.backgroundColor.rgbReserved;
    if (alphaPlane && getAlpha)
        c.rgbReserved = BlindAlphaGet(x, y);
    return c;
}

void CxImage::SetPixelColor(int32_t x, int32_t y, tagRGBQUAD c, bool setAlpha) {
    if (!bitmapBlock || !IsInside(x, y))
        return;
    BlindSetPixelColor(x, y, c, setAlpha);
}

void CxImage::BlindSetPixelColor(int32_t x, int32_t y, tagRGBQUAD c, bool setAlpha) {
    if (header.biClrUsed) {
        BlindSetPixelIndex(x, y, GetNearestIndex(c));
    } else {
        uint8_t* p = info.pixelStart + static_cast<size_t>(y) * info.effectiveWidth + static_cast<size_t>(x) * 3;
        p[0] = c.rgbBlue;
        p[1] = c.rgbGreen;
        p[2] = c.rgbRed;
    }
    if (setAlpha)
        AlphaSet(x, y, c.rgbReserved);
}

void CxImage::AlphaDelete() {
    std::free(alphaPlane);
    alphaPlane = nullptr;
}

void CxImage::AlphaClear() {
    if (alphaPlane)
        std::memset(alphaPlane, 0, static_cast<size_t>(GetWidth()) * GetHeight());
}

void CxImage::AlphaSet(int32_t x, int32_t y, uint8_t a) {
    if (alphaPlane && IsInside(x, y))
        alphaPlane[static_cast<size_t>(y) * GetWidth() + x] = a;
}

uint8_t CxImage::AlphaGet(int32_t x, int32_t y) const {
    if (alphaPlane && IsInside(x, y))
        return BlindAlphaGet(x, y);
    return 0;
}

bool CxImage::AlphaCopy(const CxImage& from) {
    if (!from.alphaPlane || from.GetWidth() != GetWidth() || from.GetHeight() != GetHeight())
        return false;
    const size_t n = static_cast<size_t>(GetWidth()) * GetHeight();
    if (!alphaPlane) {
        alphaPlane = static_cast<uint8_t*>(std::malloc(n));
        if (!alphaPlane)
            return false;
    }
    std::memcpy(alphaPlane, from.alphaPlane, n);
    info.alphaMax = from.info.alphaMax;
    return true;
}

void CxImage::AlphaHandOver(CxImage& to) {
    if (!alphaPlane || to.GetWidth() != GetWidth() || to.GetHeight() != GetHeight())
        return;
    std::free(to.alphaPlane);
    to.alphaPlane = alphaPlane;
    to.info.alphaMax = info.alphaMax;
    alphaPlane = nullptr;
}

bool CxImage::AlphaMirror() {
    if (!alphaPlane)
        return false;
    const size_t width = GetWidth();
    const size_t height = GetHeight();
    uint8_t* mirrored = static_cast<uint8_t*>(std::malloc(width * height));
    if (!mirrored)
        return false;
    for (size_t y = 0; y < height; y++) {
        const uint8_t* src = alphaPlane + y * width;
        uint8_t* dst = mirrored + y * width + width;
        for (size_t x = 0; x < width; x++)
            *--dst = src[x];
    }
    std::free(alphaPlane);
    alphaPlane = mirrored;
    return true;
}

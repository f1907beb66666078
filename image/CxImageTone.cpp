// Tone operations of CxImage: gray conversion, threshold, brightness and
// contrast through a 256-entry table.
#include <cstring>
#include <vector>

#include "image/CxImage.h"
#include "image/CxImageRows.h"

namespace {

void SetBlackWhitePalette(CxImage& image) {
    image.SetPaletteColor(0, 0, 0, 0, 0);
    image.SetPaletteColor(1, 255, 255, 255, 0);
}

// Row y of a 1- or 4-bit image to one byte per pixel through `levels`.
void ExpandRow(const uint8_t* src, uint32_t bpp, uint32_t width, const uint8_t* levels, uint8_t* dst) {
    if (bpp == 1) {
        uint32_t x = 0;
        for (; x + 8 <= width; x += 8, src++)
            for (int k = 0; k < 8; k++)
                dst[x + k] = levels[(*src >> (7 - k)) & 1];
        for (int k = 0; x < width; x++, k++)
            dst[x] = levels[(*src >> (7 - k)) & 1];
    } else {
        for (uint32_t x = 0; x < width; x++)
            dst[x] = levels[(x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4];
    }
}

}  // namespace

// Every new gray palette also drops the nearest-colour cache, which the
// description carries over from the source and which would answer for the
// old palette.
bool CxImage::GrayScale() {
    if (!bitmapBlock)
        return false;
    const uint32_t width = GetWidth();
    const uint32_t height = GetHeight();

    if (header.biClrUsed) {
        // The gray level of every entry goes to its blue byte first: the pixel
        // passes below read it from there.
        tagRGBQUAD* pal = GetPalette();
        uint8_t levels[256] = {};
        for (uint32_t j = 0; j < header.biClrUsed; j++) {
            pal[j].rgbBlue = RGB2GRAY(pal[j].rgbRed, pal[j].rgbGreen, pal[j].rgbBlue);
            levels[j] = pal[j].rgbBlue;
        }
        if (info.backgroundIndex >= 0 && static_cast<uint32_t>(info.backgroundIndex) < header.biClrUsed)
            info.backgroundIndex = pal[info.backgroundIndex].rgbBlue;

        if (header.biBitCount == 8) {
            bool identity = true;
            for (int i = 0; i < 256 && identity; i++)
                identity = levels[i] == i;
            if (!identity) {
                uint8_t* p = info.pixelStart;
                for (uint32_t n = header.biSizeImage; n; n--, p++)
                    *p = levels[*p];
            }
            SetGrayPalette();
            info.lastColorValid = false;
            return true;
        }

        CxImage gray(0);
        gray.CopyInfo(*this);
        if (!gray.Create(width, height, 8, info.imageType))
            return false;
        gray.SetGrayPalette();
        gray.info.lastColorValid = false;
        for (uint32_t y = 0; y < height; y++)
            ExpandRow(GetBits(y), header.biBitCount, width, levels, gray.GetBits(y));
        AlphaHandOver(gray);
        Transfer(gray);
        return true;
    }

    CxImage gray(0);
    gray.CopyInfo(*this);
    if (!gray.Create(width, height, 8, info.imageType))
        return false;
    gray.SetGrayPalette();
    gray.info.lastColorValid = false;
    if (info.backgroundIndex >= 0) {
        const tagRGBQUAD& bg = info.backgroundColor;
        gray.info.backgroundIndex = RGB2GRAY(bg.rgbRed, bg.rgbGreen, bg.rgbBlue);
    }
    for (uint32_t y = 0; y < height; y++) {
        const uint8_t* src = GetBits(y);
        uint8_t* dst = gray.GetBits(y);
        for (uint32_t x = 0; x < width; x++, src += 3)
            dst[x] = RGB2GRAY(src[2], src[1], src[0]);
    }
    AlphaHandOver(gray);
    Transfer(gray);
    return true;
}

bool CxImage::Threshold(uint8_t level) {
    if (!bitmapBlock)
        return false;
    if (header.biBitCount == 1)
        return true;
    GrayScale();

    const uint32_t width = GetWidth();
    const uint32_t height = GetHeight();
    // A fresh description on purpose: the result is type 0 at 96 dpi.
    CxImage bw(width, height, 1, 0);
    if (!bw.IsValid()) {
        SetLastError(bw.GetLastError());
        return false;
    }
    std::vector<uint8_t> levels(header.biBitCount == 8 ? 0 : width);
    const std::vector<uint8_t> threshold(width, level);
    for (uint32_t y = 0; y < height; y++)
        CxImageRows::PackAbove(CxImageRows::GrayRow(*this, y, levels.data()), threshold.data(), width, bw.GetBits(y));
    SetBlackWhitePalette(bw);
    Transfer(bw);
    return true;
}

void CxImage::LightTable(int32_t brightness, int32_t contrast, uint8_t table[256]) {
    // Single precision in this order (product, offset, half), each step
    // rounded to float on its own, then truncated toward zero.
    const float c = static_cast<float>(contrast + 100) / 100.0f;
    const int32_t b = brightness + 128;
    for (int i = 0; i < 256; i++) {
        float v = static_cast<float>(i - 128) * c;
        v = v + static_cast<float>(b);
        v = v + 0.5f;
        const int n = static_cast<int>(v);
        table[i] = static_cast<uint8_t>(n <= 0 ? 0 : n > 255 ? 255 : n);
    }
}

bool CxImage::Light(int32_t brightness, int32_t contrast) {
    if (!bitmapBlock)
        return false;
    uint8_t table[256];
    LightTable(brightness, contrast, table);
    return Lut(table);
}

bool CxImage::Lut(const uint8_t* table) {
    if (!bitmapBlock || !table)
        return false;
    if (header.biClrUsed) {
        const bool wasGray = IsGrayScale();
        for (uint32_t j = 0; j < header.biClrUsed; j++) {
            tagRGBQUAD c = GetPaletteColor(static_cast<uint8_t>(j));
            const bool white = c.rgbRed == 255 && c.rgbGreen == 255 && c.rgbBlue == 255;
            const bool black = c.rgbRed == 0 && c.rgbGreen == 0 && c.rgbBlue == 0;
            if (white || black)
                continue;
            c.rgbRed = table[c.rgbRed];
            c.rgbGreen = table[c.rgbGreen];
            c.rgbBlue = table[c.rgbBlue];
            SetPaletteColor(static_cast<uint8_t>(j), c);
        }
        // A gray ramp carries the new levels into the pixels themselves.
        if (wasGray)
            GrayScale();
        return true;
    }
    const uint32_t bytes = GetWidth() * 3;
    for (uint32_t y = 0; y < GetHeight(); y++) {
        uint8_t* p = GetBits(y);
        for (uint32_t i = 0; i < bytes; i++)
            p[i] = table[p[i]];
    }
    return true;
}

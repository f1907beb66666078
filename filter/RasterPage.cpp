#include "filter/RasterPage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/CxImage.h"
#include "image/CxImageRows.h"
#include "render/HeaderField.h"
#include "render/PagePath.h"

namespace RasterPage {

namespace {

void StoreRow(CxImage& image, unsigned y, const unsigned char* src, unsigned bytesPerLine, unsigned bpp) {
    uint8_t* dst = image.GetBits(y);
    if (bpp != 32) {
        std::memcpy(dst, src, std::min(image.GetEffWidth(), bytesPerLine));
        return;
    }
    const unsigned width = image.GetWidth();
    uint8_t* alpha = image.AlphaGetPointer() + static_cast<size_t>(y) * width;
    for (unsigned x = 0; x < width; x++, src += 4, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        alpha[x] = src[3];
    }
}

// A page in CUPS's black space (1 or 8 bits, set bits or high levels black,
// as CUPS's own label printers ask for) is read in the white space the
// filter's PPDs ask for, so that it prints as drawn rather than as a negative.
bool IsInk(const cups_page_header2_t& header) {
    return HeaderNumber(header.cupsColorSpace) == CUPS_CSPACE_K && header.cupsBitsPerPixel <= 8;
}

void InkToWhite(unsigned char* line, unsigned n) {
    for (unsigned i = 0; i < n; i++)
        line[i] = static_cast<unsigned char>(~line[i]);
}

}  // namespace

bool ReadImage(cups_raster_t* ras, const cups_page_header2_t& header, CxImage& image, unsigned& rowsRead) {
    const unsigned bpp = header.cupsBitsPerPixel, bytesPerLine = header.cupsBytesPerLine;
    const unsigned height = header.cupsHeight;
    rowsRead = 0;
    const bool depthKnown = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32;
    if (!depthKnown || !image.Create(header.cupsWidth, height, bpp, 0) || (bpp == 32 && !image.AlphaCreate())) {
        image.Destroy();
        Skip(ras, header);
        return false;
    }
    if (bpp < 24)
        image.SetGrayPalette();

    // Lines that fit a stored row are read into it; the rest go through one
    // line buffer (wider lines are cut to the row, 32-bit pixels split).
    const bool direct = bpp != 32 && bytesPerLine <= image.GetEffWidth();
    const bool ink = IsInk(header);
    std::vector<unsigned char> line(direct ? 0 : bytesPerLine);
    for (unsigned y = 0; y < height; y++) {
        unsigned char* target = direct ? image.GetBits(y) : line.data();
        if (cupsRasterReadPixels(ras, target, bytesPerLine) == 0)
            break;
        if (ink)
            InkToWhite(target, bytesPerLine);
        if (!direct)
            StoreRow(image, y, line.data(), bytesPerLine, bpp);
        rowsRead++;
    }
    if (rowsRead < height) {
        std::vector<unsigned char> white(bytesPerLine, 0xFF);
        for (unsigned y = rowsRead; y < height; y++)
            StoreRow(image, y, white.data(), bytesPerLine, bpp);
    }
    return true;
}

bool ReadGray(cups_raster_t* ras, const cups_page_header2_t& header, const PagePlan& plan, CxImage& image,
              unsigned& rowsRead) {
    const unsigned bpp = header.cupsBitsPerPixel, bytesPerLine = header.cupsBytesPerLine;
    rowsRead = 0;
    const bool depthKnown = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32;
    CGrayPage page;
    if (!depthKnown || !page.Start(PagePath::HeaderOf(header), plan, image)) {
        image.Destroy();
        Skip(ras, header);
        return false;
    }
    std::vector<unsigned char> line(bytesPerLine);
    const bool ink = IsInk(header);
    for (unsigned y = 0; y < header.cupsHeight; y++) {
        if (cupsRasterReadPixels(ras, line.data(), bytesPerLine) == 0)
            break;
        if (ink)
            InkToWhite(line.data(), bytesPerLine);
        CxImageRows::LevelsOfRow(line.data(), bpp, header.cupsWidth, page.Row());
        page.AddRow();
        rowsRead++;
    }
    page.Finish();
    return true;
}

void Skip(cups_raster_t* ras, const cups_page_header2_t& header) {
    unsigned long long left = static_cast<unsigned long long>(header.cupsBytesPerLine) * header.cupsHeight;
    const unsigned chunk =
        static_cast<unsigned>(std::min<unsigned long long>(std::max(header.cupsBytesPerLine, 1u), 1u << 20));
    std::vector<unsigned char> scratch(chunk);
    while (left > 0) {
        unsigned n = static_cast<unsigned>(std::min<unsigned long long>(left, chunk));
        if (cupsRasterReadPixels(ras, scratch.data(), n) == 0)
            break;
        left -= n;
    }
}

}  // namespace RasterPage

#include "filter/RasterPage.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "image/CxImage.h"

namespace RasterPage {

bool CheckHeader(const cups_page_header2_t& header, std::string& problem) {
    const unsigned long long width = header.cupsWidth;
    const unsigned long long height = header.cupsHeight;
    const unsigned long long bpp = header.cupsBitsPerPixel;
    const unsigned long long bytesPerLine = header.cupsBytesPerLine;

    if (width == 0 || height == 0) {
        problem = "zero width or height";
        return false;
    }
    if (header.HWResolution[0] == 0 || header.HWResolution[0] > kMaxResolution) {
        problem = "horizontal resolution out of range";
        return false;
    }
    if (bytesPerLine < (width * bpp + 7) / 8) {
        problem = "bytes per line too small for the width";
        return false;
    }
    if (bytesPerLine * height > kMaxPageBytes) {
        problem = "page data too large";
        return false;
    }
    const unsigned long long imageBits = bpp > 8 ? 24 : bpp;
    if (width * height * imageBits / 8 > static_cast<unsigned long long>(CxImage::kMaxMemory)) {
        problem = "page image too large";
        return false;
    }
    return true;
}

bool Collect(cups_raster_t* ras, const cups_page_header2_t& header, NS_KT_CLASS::CMyBuffer& pixels,
             unsigned& rowsRead) {
    const unsigned bytesPerLine = header.cupsBytesPerLine;
    const int pageBytes = static_cast<int>(static_cast<unsigned long long>(bytesPerLine) * header.cupsHeight);
    rowsRead = 0;
    pixels.SetBufferSize(pageBytes);
    unsigned char* line = static_cast<unsigned char*>(std::malloc(bytesPerLine));
    if (pixels.GetBufferSize() < pageBytes || !line) {
        std::free(line);
        Skip(ras, header);
        return false;
    }
    for (unsigned y = 0; y < header.cupsHeight; y++) {
        if (cupsRasterReadPixels(ras, line, bytesPerLine) == 0)
            break;
        pixels.AddBuffer(line, static_cast<int>(bytesPerLine));
        rowsRead++;
    }
    std::free(line);
    if (rowsRead < header.cupsHeight) {
        std::vector<unsigned char> white(bytesPerLine, 0xFF);
        for (unsigned y = rowsRead; y < header.cupsHeight; y++)
            pixels.AddBuffer(white.data(), static_cast<int>(bytesPerLine));
    }
    return true;
}

void Skip(cups_raster_t* ras, const cups_page_header2_t& header) {
    unsigned long long left = static_cast<unsigned long long>(header.cupsBytesPerLine) * header.cupsHeight;
    const unsigned chunk = static_cast<unsigned>(std::min<unsigned long long>(
        std::max(header.cupsBytesPerLine, 1u), 1u << 20));
    std::vector<unsigned char> scratch(chunk);
    while (left > 0) {
        unsigned n = static_cast<unsigned>(std::min<unsigned long long>(left, chunk));
        if (cupsRasterReadPixels(ras, scratch.data(), n) == 0)
            break;
        left -= n;
    }
}

}  // namespace RasterPage

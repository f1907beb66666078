#include "bench/BenchPages.h"

#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <random>

namespace BenchPages {

namespace {

// Gray level of the photograph at (x, y): slow waves plus grain.
uint8_t Photo(unsigned x, unsigned y, std::mt19937& rng) {
    const double v = 128.0 + 90.0 * std::sin(x / 37.0) * std::cos(y / 23.0) + 30.0 * std::sin((x + y) / 91.0);
    const int grain = static_cast<int>(rng() % 17) - 8;
    const int level = static_cast<int>(v) + grain;
    return static_cast<uint8_t>(level < 0 ? 0 : level > 255 ? 255 : level);
}

// Dark glyph-sized blocks with soft edges on lines of text.
void Text(Page& page, unsigned top, unsigned bottom, unsigned channels, std::mt19937& rng) {
    const unsigned bpl = page.BytesPerLine();
    for (unsigned line = top; line + 30 < bottom; line += 42) {
        unsigned x = 40;
        while (x + 60 < page.width) {
            const unsigned glyph = 10 + rng() % 14;
            const bool space = rng() % 6 == 0;
            for (unsigned y = line; y < line + 28 && !space; y++)
                for (unsigned gx = x; gx < x + glyph; gx++) {
                    const bool edge = gx == x || gx + 1 == x + glyph || y == line || y + 1 == line + 28;
                    std::memset(page.data.data() + static_cast<size_t>(y) * bpl + gx * channels, edge ? 110 : 10,
                                channels);
                }
            x += glyph + 4;
        }
    }
}

}  // namespace

Page Label() {
    Page page;
    page.width = kLabelWidth;
    page.height = kLabelHeight;
    page.bitsPerPixel = 8;
    page.dpi = 203;
    page.data.assign(static_cast<size_t>(page.width) * page.height, 255);
    std::mt19937 rng(2024);

    Text(page, 40, 400, 1, rng);
    // Barcode: bars of one to four modules of 3 dots.
    for (unsigned x = 60; x + 60 < page.width;) {
        const unsigned bar = 3 * (1 + rng() % 4);
        const unsigned gap = 3 * (1 + rng() % 4);
        for (unsigned y = 430; y < 610; y++)
            std::memset(page.data.data() + static_cast<size_t>(y) * page.width + x, 0, bar);
        x += bar + gap;
    }
    for (unsigned y = 650; y < 1150; y++)
        for (unsigned x = 40; x < page.width - 40; x++)
            page.data[static_cast<size_t>(y) * page.width + x] = Photo(x, y, rng);
    return page;
}

Page ColourA4() {
    Page page;
    page.width = kA4Width;
    page.height = kA4Height;
    page.bitsPerPixel = 24;
    page.dpi = 300;
    page.data.assign(static_cast<size_t>(page.width) * 3 * page.height, 255);
    std::mt19937 rng(4202);
    const unsigned bpl = page.BytesPerLine();
    for (unsigned y = 150; y < 2600; y++) {
        uint8_t* row = page.data.data() + static_cast<size_t>(y) * bpl;
        for (unsigned x = 120; x < page.width - 120; x++) {
            const uint8_t g = Photo(x, y, rng);
            row[3 * x] = g;
            row[3 * x + 1] = static_cast<uint8_t>((g + x / 10) & 0xFF);
            row[3 * x + 2] = static_cast<uint8_t>(255 - g / 2);
        }
    }
    Text(page, 2700, 3400, 3, rng);
    return page;
}

bool WriteRaster(const std::string& path, const Page& page, unsigned copies) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_WRITE_COMPRESSED);
    cups_page_header2_t h;
    std::memset(&h, 0, sizeof h);
    h.HWResolution[0] = h.HWResolution[1] = page.dpi;
    h.cupsWidth = page.width;
    h.cupsHeight = page.height;
    h.cupsBitsPerPixel = page.bitsPerPixel;
    h.cupsBitsPerColor = 8;
    h.cupsBytesPerLine = page.BytesPerLine();
    h.cupsColorOrder = CUPS_ORDER_CHUNKED;
    h.cupsColorSpace = page.bitsPerPixel == 24 ? CUPS_CSPACE_RGB : CUPS_CSPACE_W;
    h.NumCopies = 1;
    h.PageSize[0] = page.width * 72 / page.dpi;
    h.PageSize[1] = page.height * 72 / page.dpi;
    bool ok = ras != nullptr;
    for (unsigned c = 0; ok && c < copies; c++) {
        ok = cupsRasterWriteHeader2(ras, &h) != 0;
        for (unsigned y = 0; ok && y < page.height; y++)
            ok = cupsRasterWritePixels(
                     ras, const_cast<uint8_t*>(page.data.data()) + static_cast<size_t>(y) * h.cupsBytesPerLine,
                     h.cupsBytesPerLine) == h.cupsBytesPerLine;
    }
    if (ras)
        cupsRasterClose(ras);
    close(fd);
    return ok;
}

}  // namespace BenchPages

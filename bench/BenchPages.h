#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The standard pages the benchmarks and the whole-job measurement use.
namespace BenchPages {

// A 4 x 6 inch label at 203 dpi.
const unsigned kLabelWidth = 812;
const unsigned kLabelHeight = 1218;
// An A4 page at 300 dpi.
const unsigned kA4Width = 2480;
const unsigned kA4Height = 3508;

struct Page {
    unsigned width = 0, height = 0, bitsPerPixel = 8, dpi = 203;
    std::vector<uint8_t> data;  // rows of width * bitsPerPixel / 8 bytes, top row first

    unsigned BytesPerLine() const { return width * bitsPerPixel / 8; }
};

// 8-bit gray label: text lines, a barcode, a photograph with smooth ramps and
// grain, anti-aliased edges, white margins. The same for every call.
Page Label();
// 24-bit colour A4 page: a photograph over most of the page, text below.
Page ColourA4();

// Writes `copies` copies of the page as one compressed CUPS raster stream.
bool WriteRaster(const std::string& path, const Page& page, unsigned copies);

}  // namespace BenchPages

#pragma once

#include <cups/raster.h>

#include <cstdint>
#include <vector>

// A CUPS raster stream written by libcups's own writer into memory, so that
// the fuzz targets and the seeds read what a real driver would send.
class RasterStream {
public:
    // `compressed`: CUPS_RASTER_WRITE_COMPRESSED (RaS2) rather than
    // CUPS_RASTER_WRITE.
    explicit RasterStream(bool compressed);
    ~RasterStream();
    RasterStream(const RasterStream&) = delete;
    RasterStream& operator=(const RasterStream&) = delete;

    bool Header(cups_page_header2_t& header);
    // One line of header.cupsBytesPerLine bytes.
    bool Row(const uint8_t* line, unsigned length);
    // The stream so far, closing the writer; nothing more can be written.
    std::vector<uint8_t> Finish();
    // Offsets of each page header's first byte in the stream.
    const std::vector<size_t>& HeaderOffsets() const { return m_Offsets; }

    // A chunky page header of width x height at dpi, bits 1, 8 (gray) or
    // 24 (RGB), with cupsBytesPerLine exactly what the width needs.
    static cups_page_header2_t MakeHeader(unsigned width, unsigned height, unsigned bits, unsigned dpi);

private:
    int m_Fd = -1;
    cups_raster_t* m_Ras = nullptr;
    std::vector<size_t> m_Offsets;
};

#pragma once

#include <cstdint>
#include <vector>

#include "image/CxImage.h"

// Shrinks a gray page by averaging the area each new pixel covers, so that
// text and bar edges keep their weight when a page wider than the print head
// is fitted to it (dropping columns would thin some strokes and not others).
namespace AreaScale {

// Shrinks rows of gray levels as they arrive, top row first, into an 8-bit
// gray image: each row is narrowed at once and added to the new row it
// falls in, so the page never exists at its full size. The result is that
// of narrowing every row, then shrinking every column of the narrowed plane
// (weights in 1/65536, rounded so that an even area keeps its level).
class RowShrinker {
public:
    // The widest source taken: a row's weights and levels are held whole.
    static constexpr uint32_t kMaxFromWidth = 1u << 22;

    // False when the sizes are unusable (0, or larger than the source) or
    // the new image cannot be made.
    bool Start(uint32_t fromWidth, uint32_t fromHeight, uint32_t width, uint32_t height, CxImage& out);
    // `count` source rows, each the `fromWidth` levels at `levels`.
    void AddRows(const uint8_t* levels, uint32_t count);
    // The same for rows that differ from the row before (white before the
    // first) only in what the new samples [first, last) cover.
    void AddRows(const uint8_t* levels, uint32_t count, uint32_t first, uint32_t last);
    // The new samples [first, last) that source samples [begin, end) fall in.
    void Span(uint32_t begin, uint32_t end, uint32_t& first, uint32_t& last) const;
    uint32_t RowsAdded() const { return m_added; }

private:
    void AddNarrowRows(uint64_t count);

    CxImage* m_out = nullptr;
    uint32_t m_fromWidth = 0, m_fromHeight = 0, m_width = 0, m_height = 0;
    uint32_t m_added = 0;
    uint32_t m_row = 0;                            // the new row being summed
    uint64_t m_filled = 0;                         // its share summed so far, in 1/height source rows
    std::vector<uint32_t> m_tapStart, m_tapFirst;  // per new sample: its weights, its first source sample
    std::vector<uint32_t> m_tapWeight;
    std::vector<uint8_t> m_narrow;  // the last row, narrowed
    std::vector<uint32_t> m_sums;   // level x weight per column of the new row
};

// A raster placed at `left`, `top` on a white page of `pageWidth` x
// `pageHeight`, shrunk to `width` x `height` as its rows arrive. The white
// above and below costs one narrowed row each.
class PageShrinker {
public:
    bool Start(uint32_t pageWidth, uint32_t pageHeight, uint32_t left, uint32_t top, uint32_t rasterWidth,
               uint32_t rasterHeight, uint32_t width, uint32_t height, CxImage& out);
    // Adds the raster row whose levels were written at RasterRow().
    void AddRasterRow();
    // White for the raster rows that never came, then the white below.
    void Finish();
    // Where the next raster row's levels go: fill `rasterWidth` bytes.
    uint8_t* RasterRow() { return m_line.data() + m_left; }

private:
    RowShrinker m_rows;
    std::vector<uint8_t> m_line;       // one page row, white outside the raster
    uint32_t m_first = 0, m_last = 0;  // the new samples the raster falls in
    uint32_t m_left = 0, m_rasterWidth = 0, m_rasterHeight = 0, m_pageHeight = 0, m_top = 0;
    uint32_t m_rasterRows = 0;
};

// False, and the image unchanged, unless it is an 8-bit gray image at least
// as large as `width` x `height` (both above 0), or when memory runs out.
bool ShrinkGray(CxImage& image, uint32_t width, uint32_t height);

// Any image of the filter's gray spaces (1, 4, 8 bits gray; 24 bits) placed
// as Start describes and shrunk into a new 8-bit gray `out`.
bool ShrinkPlaced(const CxImage& image, uint32_t pageWidth, uint32_t pageHeight, uint32_t left, uint32_t top,
                  uint32_t width, uint32_t height, CxImage& out);

}  // namespace AreaScale

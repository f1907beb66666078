#include "render/AreaScale.h"

#include <algorithm>

#include "image/CxImageRows.h"

namespace AreaScale {

namespace {

// Weights are fixed point with 16 fraction bits. Each new sample's weights
// are rounded from the running total of its overlaps, so that they sum to
// exactly kOne and an even area keeps its level (white stays white).
const uint32_t kOne = 1u << 16;

uint32_t ScaledShare(uint64_t covered, uint64_t whole) {
    return static_cast<uint32_t>((covered * kOne + whole / 2) / whole);
}

// Palette images are read as the filter makes them: a gray ramp.
bool HasGrayRamp(const CxImage& image) {
    const uint32_t n = image.GetNumColors();
    if (n < 2)
        return false;
    const uint32_t step = 255 / (n - 1);
    for (uint32_t i = 0; i < n; i++) {
        const tagRGBQUAD c = image.GetPaletteColor(static_cast<uint8_t>(i));
        if (c.rgbRed != i * step || c.rgbGreen != i * step || c.rgbBlue != i * step)
            return false;
    }
    return true;
}

}  // namespace

bool RowShrinker::Start(uint32_t fromWidth, uint32_t fromHeight, uint32_t width, uint32_t height, CxImage& out) {
    if (width == 0 || height == 0 || width > fromWidth || height > fromHeight || fromWidth > kMaxFromWidth)
        return false;
    // New sample o covers [o * fromWidth, (o + 1) * fromWidth) in units of
    // 1/width of a source sample, so every source sample's overlap with it
    // is an integer and the overlaps sum to fromWidth. The overlaps are the
    // same on every row.
    m_tapStart.assign(width + 1, 0);
    m_tapFirst.assign(width, 0);
    m_tapWeight.clear();
    for (uint32_t o = 0; o < width; o++) {
        const uint64_t begin = static_cast<uint64_t>(o) * fromWidth, end = begin + fromWidth;
        m_tapFirst[o] = static_cast<uint32_t>(begin / width);
        uint64_t covered = 0;
        uint32_t given = 0;
        for (uint64_t i = begin / width; i * width < end; i++) {
            covered += std::min<uint64_t>(end, (i + 1) * width) - std::max<uint64_t>(begin, i * width);
            const uint32_t total = ScaledShare(covered, fromWidth);
            m_tapWeight.push_back(total - given);
            given = total;
        }
        m_tapStart[o + 1] = static_cast<uint32_t>(m_tapWeight.size());
    }
    if (!out.Create(width, height, 8, 0))
        return false;
    out.SetGrayPalette();
    m_out = &out;
    m_fromWidth = fromWidth;
    m_fromHeight = fromHeight;
    m_width = width;
    m_height = height;
    m_added = 0;
    m_row = 0;
    m_filled = 0;
    m_narrow.assign(width, 255);
    m_sums.assign(width, 0);
    return true;
}

void RowShrinker::Span(uint32_t begin, uint32_t end, uint32_t& first, uint32_t& last) const {
    first = last = 0;
    if (begin >= end || m_fromWidth == 0)
        return;
    first = static_cast<uint32_t>(uint64_t{begin} * m_width / m_fromWidth);
    last = static_cast<uint32_t>((uint64_t{end} * m_width - 1) / m_fromWidth + 1);
}

void RowShrinker::AddRows(const uint8_t* levels, uint32_t count) { AddRows(levels, count, 0, m_width); }

void RowShrinker::AddRows(const uint8_t* levels, uint32_t count, uint32_t first, uint32_t last) {
    count = std::min(count, m_fromHeight - m_added);
    if (!m_out || count == 0)
        return;
    // Locals and restrict: a byte store may alias anything, members included,
    // which would keep the compiler from keeping them in registers.
    uint8_t* __restrict narrow = m_narrow.data();
    const uint32_t* __restrict tapStart = m_tapStart.data();
    const uint32_t* __restrict tapFirst = m_tapFirst.data();
    const uint32_t* __restrict weights = m_tapWeight.data();
    for (uint32_t o = first; o < last; o++) {
        const uint8_t* src = levels + tapFirst[o];
        uint32_t sum = kOne / 2;
        for (uint32_t k = tapStart[o], end = tapStart[o + 1]; k < end; k++)
            sum += *src++ * weights[k];
        narrow[o] = static_cast<uint8_t>(sum >> 16);
    }
    m_added += count;
    AddNarrowRows(count);
}

// In units of 1/height of a source row, a new row takes fromHeight units and
// each source row gives height units.
void RowShrinker::AddNarrowRows(uint64_t count) {
    const uint32_t width = m_width, height = m_height;
    const uint64_t whole = m_fromHeight;
    uint32_t* __restrict sums = m_sums.data();
    const uint8_t* __restrict narrow = m_narrow.data();
    uint64_t units = count * height;
    while (units > 0 && m_row < height) {
        uint8_t* __restrict dst = m_out->GetBits(m_row);
        if (m_filled == 0 && units >= whole) {
            // A new row all of one source row: its levels as they are.
            std::copy(narrow, narrow + width, dst);
            m_row++;
            units -= whole;
            continue;
        }
        const uint64_t share = std::min<uint64_t>(units, whole - m_filled);
        const uint32_t given = ScaledShare(m_filled, whole);
        units -= share;
        m_filled += share;
        const uint32_t weight = ScaledShare(m_filled, whole) - given;
        for (uint32_t x = 0; x < width; x++)
            sums[x] += narrow[x] * weight;
        if (m_filled < whole)
            break;
        for (uint32_t x = 0; x < width; x++) {
            dst[x] = static_cast<uint8_t>((sums[x] + kOne / 2) >> 16);
            sums[x] = 0;
        }
        m_filled = 0;
        m_row++;
    }
}

bool PageShrinker::Start(uint32_t pageWidth, uint32_t pageHeight, uint32_t left, uint32_t top, uint32_t rasterWidth,
                         uint32_t rasterHeight, uint32_t width, uint32_t height, CxImage& out) {
    if (rasterWidth > pageWidth || left > pageWidth - rasterWidth || rasterHeight > pageHeight ||
        top > pageHeight - rasterHeight || !m_rows.Start(pageWidth, pageHeight, width, height, out))
        return false;
    m_line.assign(pageWidth, 255);
    // Only the new samples over the raster's columns ever change: the rest
    // stay white, and a row costs what the raster is wide.
    m_rows.Span(left, left + rasterWidth, m_first, m_last);
    m_left = left;
    m_rasterWidth = rasterWidth;
    m_rasterHeight = rasterHeight;
    m_pageHeight = pageHeight;
    m_top = top;
    m_rasterRows = 0;
    if (top > 0)
        m_rows.AddRows(m_line.data(), top, m_first, m_last);
    return true;
}

void PageShrinker::AddRasterRow() {
    if (m_rasterRows >= m_rasterHeight)
        return;
    m_rows.AddRows(m_line.data(), 1, m_first, m_last);
    m_rasterRows++;
}

void PageShrinker::Finish() {
    std::fill(RasterRow(), RasterRow() + m_rasterWidth, 255);
    m_rows.AddRows(m_line.data(), m_pageHeight - m_rows.RowsAdded(), m_first, m_last);
    m_rasterRows = m_rasterHeight;
}

bool ShrinkPlaced(const CxImage& image, uint32_t pageWidth, uint32_t pageHeight, uint32_t left, uint32_t top,
                  uint32_t width, uint32_t height, CxImage& out) {
    const uint32_t bpp = image.GetBpp(), rasterWidth = image.GetWidth(), rasterHeight = image.GetHeight();
    if (!image.IsValid() || (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) || (bpp <= 8 && !HasGrayRamp(image)))
        return false;
    PageShrinker shrinker;
    if (!shrinker.Start(pageWidth, pageHeight, left, top, rasterWidth, rasterHeight, width, height, out))
        return false;
    for (uint32_t y = 0; y < rasterHeight; y++) {
        CxImageRows::LevelsOfRow(image.GetBits(y), bpp, rasterWidth, shrinker.RasterRow());
        shrinker.AddRasterRow();
    }
    shrinker.Finish();
    out.SetXDPI(image.GetXDPI());
    out.SetYDPI(image.GetYDPI());
    return true;
}

bool ShrinkGray(CxImage& image, uint32_t width, uint32_t height) {
    if (image.GetBpp() != 8)
        return false;
    CxImage small(0);
    if (!ShrinkPlaced(image, image.GetWidth(), image.GetHeight(), 0, 0, width, height, small))
        return false;
    return image.Transfer(small);
}

}  // namespace AreaScale

#pragma once

#include <string>

#include <cups/raster.h>

#include "render/CMyBuffer.h"

namespace RasterPage {

// Highest horizontal resolution accepted; it divides every millimetre and
// label-size conversion, and no thermal head comes near it.
const unsigned kMaxResolution = 10000;
// The collected raster lines of a page live in one int-indexed buffer.
const unsigned long long kMaxPageBytes = 0x7FFFFFFFull;

// Checks a page header against itself before anything is allocated for it.
// On failure `problem` says what is wrong, for the status line.
bool CheckHeader(const cups_page_header2_t& header, std::string& problem);

// Collects the page's raster lines into `pixels`, reserved at the full page
// size. Returns false when the storage cannot be had (the page data are then
// consumed). Rows missing from a stream that ends early are filled with
// 0xFF bytes, white in the gray and RGB spaces the filter prints, and
// `rowsRead` tells how many arrived.
bool Collect(cups_raster_t* ras, const cups_page_header2_t& header, NS_KT_CLASS::CMyBuffer& pixels,
             unsigned& rowsRead);

// Reads and drops the page's data so that the next header stays in step.
void Skip(cups_raster_t* ras, const cups_page_header2_t& header);

}  // namespace RasterPage

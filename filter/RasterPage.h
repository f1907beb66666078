#pragma once

#include <cups/raster.h>

#include <string>

#include "image/CxImage.h"
#include "render/PageAssembly.h"

namespace RasterPage {

// Highest resolution accepted on either axis; it divides every millimetre and
// label-size conversion, and no thermal head comes near it.
const unsigned kMaxResolution = 10000;
// Bytes a raster line may carry beyond what its width and depth need (row
// alignment some drivers add). A page's memory follows the image it
// describes, never the bytes-per-line field alone.
const unsigned kBytesPerLineSlack = 64;
// The collected raster lines of a page live in one int-indexed buffer.
const unsigned long long kMaxPageBytes = 0x7FFFFFFFull;

// Checks a page header against itself before anything is allocated for it.
// On failure `problem` says what is wrong, for the status line, and
// `skippable` whether the page's data can be skipped to reach the next page:
// not when the line length itself is implausible (skipping would cost what
// the header claims, up to gigabytes decoded from a few bytes, and would not
// find the next header anyway).
bool CheckHeader(const cups_page_header2_t& header, std::string& problem, bool& skippable);

// Reads the page's lines straight into `image`, one copy per line, giving
// the image CreateFromArray would build from the collected lines: depths 1,
// 4 and 8 with a gray palette, 24 as is, 32 as 24 bits plus an opacity plane.
// Returns false when the image cannot be built (another depth, or no memory);
// the page's data are then consumed. Rows missing from a stream that ends
// early are filled with 0xFF bytes, white in the gray and RGB spaces the
// filter prints, and `rowsRead` tells how many arrived.
bool ReadImage(cups_raster_t* ras, const cups_page_header2_t& header, CxImage& image, unsigned& rowsRead);

// Reads the page's lines into an 8-bit gray image of width x height, the
// raster placed as `frame` says (a frame of the raster's own size when it is
// not placed) and shrunk line by line, so that a page wider than the print
// head never exists at its full size. Same results as ReadImage.
bool ReadFitted(cups_raster_t* ras, const cups_page_header2_t& header, const PageAssembly::Placement& frame,
                uint32_t width, uint32_t height, CxImage& image, unsigned& rowsRead);

// Reads and drops the page's data so that the next header stays in step.
void Skip(cups_raster_t* ras, const cups_page_header2_t& header);

}  // namespace RasterPage

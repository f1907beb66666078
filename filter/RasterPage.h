#pragma once

#include <cups/raster.h>

#include <string>

#include "image/CxImage.h"
#include "render/PagePlan.h"

namespace RasterPage {

// Reads the page's lines straight into `image`, one copy per line, giving
// the image CreateFromArray would build from the collected lines: depths 1,
// 4 and 8 with a gray palette, 24 as is, 32 as 24 bits plus an opacity plane.
// Returns false when the image cannot be built (another depth, or no memory);
// the page's data are then consumed. Rows missing from a stream that ends
// early are filled with 0xFF bytes, white in the gray and RGB spaces the
// filter prints, and `rowsRead` tells how many arrived. A 1- to 8-bit page
// in CUPS's black space (K) is read as its complement, white where it is.
bool ReadImage(cups_raster_t* ras, const cups_page_header2_t& header, CxImage& image, unsigned& rowsRead);

// Reads the page's lines as 8-bit gray into what `plan` makes of them
// (CGrayPage): placed on the media and shrunk to the head line by line, so
// that a page wider than the print head never exists at its full size. Same
// results as ReadImage.
bool ReadGray(cups_raster_t* ras, const cups_page_header2_t& header, const PagePlan& plan, CxImage& image,
              unsigned& rowsRead);

// Reads and drops the page's data so that the next header stays in step.
void Skip(cups_raster_t* ras, const cups_page_header2_t& header);

}  // namespace RasterPage

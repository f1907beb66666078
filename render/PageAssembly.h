#pragma once

#include <cstdint>

#include "image/CxImage.h"

// A raster that covers only part of its media (CUPS's image filter sends a
// picture smaller than the label, with its imaging bounding box inside the
// page size) is put on a white page of the media's size, where the bounding
// box places it, so that the printer is told the real label size.
namespace PageAssembly {

struct Placement {
    uint32_t mediaWidth = 0, mediaHeight = 0;  // dots
    uint32_t left = 0, top = 0;                // the raster's top left corner, dots
};

// From the raster's size in dots, the page size and the imaging bounding box
// in points (left, bottom, right, top; origin bottom left) and the
// resolution. False where nothing is to change: the raster already covers
// the media (within a dot or two of rounding), or the numbers are unusable.
bool PlaceRaster(uint32_t rasterWidth, uint32_t rasterHeight, const unsigned pageSize[2], const unsigned boundingBox[4],
                 unsigned xdpi, unsigned ydpi, Placement& placement);

// Whether the media page stays within the image cap at the raster's depth
// (32 bits: 24 and the opacity plane), the largest media page ever made.
bool MediaFits(const Placement& placement, unsigned bitsPerPixel);

// Puts `image` (any depth the page reader builds; white is all bits set) on
// a white page as `placement` says. False, and the image unchanged, when the
// page cannot be made.
bool PlaceOnMedia(CxImage& image, const Placement& placement);

}  // namespace PageAssembly

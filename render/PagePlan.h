#pragma once

#include <cstdint>

#include "render/CBaseRender.h"
#include "render/PageAssembly.h"

// What a page's raster becomes before it is prepared, decided from its
// header before any line arrives, the same way in both hosts: placed on its
// media when it covers only part of it, and read straight into 8-bit gray
// (shrunk to the head on the way) when it would print wider than the head.
struct PagePlan {
    bool placed = false;
    PageAssembly::Placement placement;  // when placed
    PageAssembly::Placement frame;      // the page the raster makes: its media, or its own size
    bool fitted = false;
    uint32_t width = 0, height = 0;  // when fitted: the image the page is read into

    // From the page header's fields, as PageAssembly::PlaceRaster takes them,
    // and the depth the host stores the raster at. Media that would be built
    // at their own size yet not fit the image cap at that depth are not used:
    // the raster prints at its own size.
    static PagePlan For(const CBaseRender& render, uint32_t rasterWidth, uint32_t rasterHeight,
                        const unsigned pageSize[2], const unsigned boundingBox[4], unsigned xdpi, unsigned ydpi,
                        unsigned bitsPerPixel);
};

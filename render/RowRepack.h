#pragma once

#include <cstdint>

#include "image/CxImage.h"
#include "render/CMyBuffer.h"

// Raster printers want rows of exactly the bytes their dots need, while the
// page image pads every stored row to four bytes. These turn stored rows into
// printer rows; the fill bytes at the row ends are dropped.
namespace RowRepack {

// Bytes of one printer row for a page `width` dots wide: (width + 7) / 8, and
// at most `cap` when `cap` is above 0 (a print head narrower than the page).
uint32_t PrinterRowBytes(uint32_t width, uint32_t cap = 0);

// Replaces the content of `out` with the first `rowBytes` bytes of every
// stored row, top row first (`rowBytes` is at most the stored row length).
// The storage is reserved once at the stored image size, so the row loop
// never reallocates; the buffer's ceiling is lifted because the image
// container already bounds the page. False when the content is incomplete
// (the reservation failed).
bool Repack(const CxImage& image, uint32_t rowBytes, NS_KT_CLASS::CMyBuffer& out);

}  // namespace RowRepack

#pragma once

#include <cstdint>

#include "image/CxImage.h"

// Shrinks an 8-bit gray page by averaging the area each new pixel covers,
// so that text and bar edges keep their weight when a page wider than the
// print head is fitted to it (dropping columns would thin some strokes and
// not others).
namespace AreaScale {

// False, and the image unchanged, unless it is an 8-bit gray image at least
// as large as `width` x `height` (both above 0), or when memory runs out.
bool ShrinkGray(CxImage& image, uint32_t width, uint32_t height);

}  // namespace AreaScale

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "preview/CPreviewPage.h"

// Writes a page as a 1-bit grayscale PNG, one pixel per dot, black dots
// black. False with `error` set when the file cannot be written or the page
// is empty (a PNG needs at least 1 x 1 pixels).
bool WritePng(const CPreviewPage& page, const std::string& path, std::string& error);
// The same for `height` rows of `rowBytes` bytes at `dots`, `width` dots
// each, a set bit black.
bool WritePng(int width, int height, const uint8_t* dots, size_t rowBytes, const std::string& path, std::string& error);

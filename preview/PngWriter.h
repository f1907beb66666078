#pragma once

#include <string>

#include "preview/CPreviewPage.h"

// Writes a page as a 1-bit grayscale PNG, one pixel per dot, black dots
// black. False with `error` set when the file cannot be written or the page
// is empty (a PNG needs at least 1 x 1 pixels).
bool WritePng(const CPreviewPage& page, const std::string& path, std::string& error);

#pragma once

#include <string>
#include <string_view>

// A picture's size and the resolution it declares, read from the head of a
// PNG (IHDR, pHYs) or JPEG (SOFn, JFIF density) file, so that either host
// can tell how much the picture was shrunk to fit its media.
struct ImageSize {
    unsigned width = 0, height = 0;  // pixels
    double ppiX = 0.0, ppiY = 0.0;   // pixels per inch; 0 when undeclared
};

// False when `head` is neither a PNG nor a JPEG, or ends before the size.
// A JPEG's frame may follow long metadata: 256 KiB of head is plenty.
bool ReadImageSize(std::string_view head, ImageSize& size);
// The same, from the head of the file at `path`.
bool ReadImageFile(const std::string& path, ImageSize& size);

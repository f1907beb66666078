#pragma once

#include <cstdint>
#include <functional>

#include "support/TestFiles.h"

namespace testing_support {

// Pictures written by libpng and libjpeg: 8-bit gray, `width` x `height`
// pixels whose levels `level(x, y)` gives, declaring `ppi` pixels per inch
// (none where 0).
using Levels = std::function<uint8_t(unsigned x, unsigned y)>;
Bytes GrayPng(unsigned width, unsigned height, double ppi, const Levels& level);
Bytes GrayJpeg(unsigned width, unsigned height, unsigned ppi, const Levels& level);

}  // namespace testing_support

#include "render/FineDetail.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "render/ImageSize.h"

namespace FineDetail {

double LeastScale(int dpi) { return dpi > 0 ? kLeastDots / (kModuleMm * dpi / 25.4) : 0.0; }

std::string ShrinkWarning(double scale, int dpi) {
    if (!(scale > 0.0) || scale >= LeastScale(dpi))
        return std::string();
    char text[96];
    // Rounded down, so that a page shrunk to 75.6 % never reads as 76 %.
    std::snprintf(text, sizeof text, "the page was shrunk to %d %%; bar codes may not scan",
                  static_cast<int>(std::floor(scale * 100.0)));
    return text;
}

double ImageScale(const ImageSize& size, double printedX, double printedY, int dpi) {
    if (size.width == 0 || size.height == 0 || dpi <= 0)
        return 1.0;
    const double naturalX = size.width / (size.ppiX > 0.0 ? size.ppiX : dpi);
    const double naturalY = size.height / (size.ppiY > 0.0 ? size.ppiY : dpi);
    return std::max(printedX / naturalX, printedY / naturalY);
}

}  // namespace FineDetail

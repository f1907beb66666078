#include "render/RowRepack.h"

#include <algorithm>

namespace RowRepack {

uint32_t PrinterRowBytes(uint32_t width, uint32_t cap) {
    const uint32_t bytes = width / 8 + (width % 8 ? 1 : 0);
    return cap > 0 ? std::min(bytes, cap) : bytes;
}

bool Repack(const CxImage& image, uint32_t rowBytes, NS_KT_CLASS::CMyBuffer& out) {
    const uint32_t height = image.GetHeight();
    const uint32_t stored = image.GetEffWidth();
    rowBytes = std::min(rowBytes, stored);
    const unsigned long long reserve = static_cast<unsigned long long>(stored) * height;

    out.SetMaxBufferSize(0);
    out.InitBuffer(0);
    if (reserve > 0x7FFFFFFFull)
        return false;
    out.SetBufferSize(static_cast<int>(reserve));
    if (out.ContentLost())
        return false;
    for (uint32_t y = 0; y < height; y++) {
        const uint8_t* row = image.GetBits(y);
        if (!row)
            return false;
        out.AddBuffer(row, static_cast<int>(rowBytes));
    }
    return !out.ContentLost();
}

}  // namespace RowRepack

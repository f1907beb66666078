#include <cstring>

#include "render/CBaseRender.h"

void CBaseRender::AdjustImage() {
    AdjustEffWidthBits();
}

void CBaseRender::AdjustEffWidthBits() {
    const uint32_t width = m_Image.GetWidth();
    const uint32_t height = m_Image.GetHeight();
    const uint32_t eff = m_Image.GetEffWidth();
    const uint32_t full = width / 8;
    const uint32_t rest = width % 8;
    const uint32_t firstFill = rest ? full + 1 : full;
    const uint8_t restMask = static_cast<uint8_t>(0xFF >> rest);
    for (uint32_t y = 0; y < height; y++) {
        uint8_t* row = m_Image.GetBits(y);
        if (!row)
            return;
        if (rest)
            row[full] |= restMask;
        if (firstFill < eff)
            std::memset(row + firstFill, 0xFF, eff - firstFill);
    }
}

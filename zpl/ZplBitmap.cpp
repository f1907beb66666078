#include "zpl/ZplBitmap.h"

#include <algorithm>

namespace zpl {

ZplBitmap::ZplBitmap(int width, int height)
    : m_Width(std::max(width, 0)),
      m_Height(std::max(height, 0)),
      m_RowBytes((size_t(m_Width) + 7) / 8),
      m_Bits(m_RowBytes * m_Height, 0) {}

namespace {

// Applies `blend` to the bits of `mask` in byte `b`.
inline void Apply(uint8_t& b, uint8_t mask, Blend blend) {
    switch (blend) {
        case Blend::Black:
            b |= mask;
            break;
        case Blend::White:
            b &= uint8_t(~mask);
            break;
        case Blend::Reverse:
            b ^= mask;
            break;
    }
}

}  // namespace

void ZplBitmap::Fill(int x, int y, int width, int height, Blend blend) {
    const int x0 = std::max(x, 0), x1 = std::min(x + std::max(width, 0), m_Width);
    const int y0 = std::max(y, 0), y1 = std::min(y + std::max(height, 0), m_Height);
    if (x0 >= x1 || y0 >= y1)
        return;
    const int first = x0 >> 3, last = (x1 - 1) >> 3;
    const uint8_t head = uint8_t(0xFF >> (x0 & 7)), tail = uint8_t(0xFF << (7 - ((x1 - 1) & 7)));
    for (int row = y0; row < y1; row++) {
        uint8_t* r = Row(row);
        if (first == last) {
            Apply(r[first], head & tail, blend);
            continue;
        }
        Apply(r[first], head, blend);
        for (int i = first + 1; i < last; i++)
            Apply(r[i], 0xFF, blend);
        Apply(r[last], tail, blend);
    }
}

void ZplBitmap::Draw(const ZplBitmap& source, int x, int y, Blend blend) {
    const int y0 = std::max(y, 0), y1 = std::min(y + source.m_Height, m_Height);
    const int x0 = std::max(x, 0), x1 = std::min(x + source.m_Width, m_Width);
    if (x0 >= x1 || y0 >= y1)
        return;
    const int shift = x0 - x;  // first source column drawn
    for (int row = y0; row < y1; row++) {
        const uint8_t* s = source.Row(row - y);
        uint8_t* d = Row(row);
        // Source bits realigned to the destination a byte at a time.
        for (int dx = x0; dx < x1;) {
            const int sx = dx - x0 + shift;
            const int n = std::min({8 - (dx & 7), x1 - dx, 8});
            // n source bits from sx, as the top n bits of a byte.
            unsigned window = unsigned(s[sx >> 3]) << 8;
            if ((sx >> 3) + 1 < int(source.m_RowBytes))
                window |= s[(sx >> 3) + 1];
            const uint8_t bits = uint8_t((window << (sx & 7)) >> 8) & uint8_t(0xFF << (8 - n));
            Apply(d[dx >> 3], uint8_t(bits >> (dx & 7)), blend);
            dx += n;
        }
    }
}

ZplBitmap ZplBitmap::Turned(int quarters) const {
    quarters &= 3;
    if (quarters == 0)
        return *this;
    ZplBitmap out(quarters == 2 ? m_Width : m_Height, quarters == 2 ? m_Height : m_Width);
    for (int y = 0; y < m_Height; y++) {
        const uint8_t* r = Row(y);
        for (int x = 0; x < m_Width; x++) {
            if (!(r[x >> 3] >> (7 - (x & 7)) & 1))
                continue;
            int ox, oy;
            if (quarters == 1) {  // clockwise
                ox = m_Height - 1 - y;
                oy = x;
            } else if (quarters == 2) {
                ox = m_Width - 1 - x;
                oy = m_Height - 1 - y;
            } else {
                ox = y;
                oy = m_Width - 1 - x;
            }
            out.Row(oy)[ox >> 3] |= uint8_t(0x80 >> (ox & 7));
        }
    }
    return out;
}

}  // namespace zpl

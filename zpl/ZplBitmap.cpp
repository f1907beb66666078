#include "zpl/ZplBitmap.h"

#include <algorithm>

namespace zpl {

ZplBitmap::ZplBitmap(int width, int height)
    : m_Width(std::max(width, 0)),
      m_Height(std::max(height, 0)),
      m_RowBytes((size_t(m_Width) + 7) / 8),
      m_Bits(m_RowBytes * m_Height, 0) {}

namespace {

// `bits` laid on byte `b` as `B` says; the blend is a template argument so
// that the row loops below carry no switch.
template <Blend B>
inline void Apply(uint8_t& b, uint8_t bits) {
    if constexpr (B == Blend::Black)
        b |= bits;
    else if constexpr (B == Blend::White)
        b &= uint8_t(~bits);
    else
        b ^= bits;
}

template <Blend B>
void FillRows(ZplBitmap& page, int x0, int x1, int y0, int y1) {
    const int first = x0 >> 3, last = (x1 - 1) >> 3;
    const uint8_t head = uint8_t(0xFF >> (x0 & 7)), tail = uint8_t(0xFF << (7 - ((x1 - 1) & 7)));
    for (int row = y0; row < y1; row++) {
        uint8_t* r = page.Row(row);
        if (first == last) {
            Apply<B>(r[first], head & tail);
            continue;
        }
        Apply<B>(r[first], head);
        for (int i = first + 1; i < last; i++)
            Apply<B>(r[i], 0xFF);
        Apply<B>(r[last], tail);
    }
}

// `source` with its top left at (x, y), on the page's rows [y0, y1) and
// columns [x0, x1), a destination byte at a time: each takes eight source
// bits from two neighbouring source bytes.
template <Blend B>
void DrawRows(ZplBitmap& page, const ZplBitmap& source, int x, int y, int x0, int x1, int y0, int y1) {
    const int first = x0 >> 3, last = (x1 - 1) >> 3;
    const uint8_t head = uint8_t(0xFF >> (x0 & 7)), tail = uint8_t(0xFF << (7 - ((x1 - 1) & 7)));
    const int sourceBytes = int(source.RowBytes());
    // A destination byte's first column falls on this bit of a source byte.
    const int k = (8 - (x & 7)) & 7;
    // The source byte holding destination byte i's first column, for i past
    // the first one (where that column is never left of the source).
    auto at = [x](int i) { return (8 * i - x) >> 3; };
    for (int row = y0; row < y1; row++) {
        const uint8_t* s = source.Row(row - y);
        uint8_t* d = page.Row(row);
        // The first and last bytes may reach past the source's ends.
        auto edge = [&](int i) {
            const int a = (8 * i - x + 8) / 8 - 1;  // floor((8i - x) / 8): -1 left of the source
            const unsigned hi = a >= 0 && a < sourceBytes ? s[a] : 0;
            const unsigned lo = a + 1 >= 0 && a + 1 < sourceBytes ? s[a + 1] : 0;
            return uint8_t((hi << 8 | lo) << k >> 8);
        };
        if (first == last) {
            Apply<B>(d[first], edge(first) & head & tail);
            continue;
        }
        Apply<B>(d[first], edge(first) & head);
        if (k == 0) {
            for (int i = first + 1, a = at(first + 1); i < last; i++, a++)
                Apply<B>(d[i], s[a]);
        } else {
            for (int i = first + 1, a = at(first + 1); i < last; i++, a++)
                Apply<B>(d[i], uint8_t(s[a] << k | s[a + 1] >> (8 - k)));
        }
        Apply<B>(d[last], edge(last) & tail);
    }
}

}  // namespace

void ZplBitmap::Fill(int x, int y, int width, int height, Blend blend) {
    const int x0 = std::max(x, 0), x1 = std::min(x + std::max(width, 0), m_Width);
    const int y0 = std::max(y, 0), y1 = std::min(y + std::max(height, 0), m_Height);
    if (x0 >= x1 || y0 >= y1)
        return;
    switch (blend) {
        case Blend::Black:
            return FillRows<Blend::Black>(*this, x0, x1, y0, y1);
        case Blend::White:
            return FillRows<Blend::White>(*this, x0, x1, y0, y1);
        case Blend::Reverse:
            return FillRows<Blend::Reverse>(*this, x0, x1, y0, y1);
    }
}

void ZplBitmap::Draw(const ZplBitmap& source, int x, int y, Blend blend) {
    const int y0 = std::max(y, 0), y1 = std::min(y + source.m_Height, m_Height);
    const int x0 = std::max(x, 0), x1 = std::min(x + source.m_Width, m_Width);
    if (x0 >= x1 || y0 >= y1)
        return;
    switch (blend) {
        case Blend::Black:
            return DrawRows<Blend::Black>(*this, source, x, y, x0, x1, y0, y1);
        case Blend::White:
            return DrawRows<Blend::White>(*this, source, x, y, x0, x1, y0, y1);
        case Blend::Reverse:
            return DrawRows<Blend::Reverse>(*this, source, x, y, x0, x1, y0, y1);
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

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zpl {

// How a drawing lands on what is already there: black dots added, or
// black dots turning what is under them over (^FR, ^LR).
enum class Blend { Black, White, Reverse };

// A field's or a label's one-bit picture: rows of bytes, most significant bit
// leftmost, 1 = a black dot. Everything drawn is clipped to it, a row span at
// a time.
class ZplBitmap {
public:
    ZplBitmap() = default;
    ZplBitmap(int width, int height);

    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    size_t RowBytes() const { return m_RowBytes; }
    uint8_t* Row(int y) { return &m_Bits[size_t(y) * m_RowBytes]; }
    const uint8_t* Row(int y) const { return &m_Bits[size_t(y) * m_RowBytes]; }
    // The odd dot; loops use Row.
    bool Dot(int x, int y) const { return Row(y)[x >> 3] >> (7 - (x & 7)) & 1; }

    // The rectangle [x, x + width) x [y, y + height), clipped.
    void Fill(int x, int y, int width, int height, Blend blend = Blend::Black);
    // `source`'s black dots with its top left at (x, y), clipped.
    void Draw(const ZplBitmap& source, int x, int y, Blend blend = Blend::Black);
    // This picture turned clockwise by `quarters` quarter turns (0 to 3).
    ZplBitmap Turned(int quarters) const;

private:
    int m_Width = 0, m_Height = 0;
    size_t m_RowBytes = 0;
    std::vector<uint8_t> m_Bits;
};

}  // namespace zpl

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An 8-bit gray picture (0 black, 255 white) that labels are drawn into at
// the printer's resolution: rectangles, text in the bitmap font, bar and
// matrix codes. Everything is clipped to the canvas and drawn a row span at
// a time.
class CGrayCanvas {
public:
    static constexpr uint8_t kWhite = 255, kBlack = 0;

    CGrayCanvas(int width, int height);

    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    const uint8_t* Row(int y) const { return &m_Pixels[static_cast<size_t>(y) * m_Width]; }
    uint8_t At(int x, int y) const { return Row(y)[x]; }

    void FillRect(int x, int y, int width, int height, uint8_t level = kBlack);
    // An outline `thickness` dots wide inside the rectangle.
    void Frame(int x, int y, int width, int height, int thickness);
    // Text with its top left at (x, y), each font dot `scale` dots square.
    // Returns the width drawn.
    int Text(int x, int y, int scale, const std::string& text);
    static int TextWidth(int scale, size_t characters);
    static int TextHeight(int scale);
    // A bar code's modules (true: bar), each `moduleDots` wide, `height` tall.
    void Bars(int x, int y, const std::vector<bool>& modules, int moduleDots, int height);
    // The same turned a quarter: modules top to bottom, bars `width` long.
    void BarsDown(int x, int y, const std::vector<bool>& modules, int moduleDots, int width);
    // A square matrix code of `size` x `size` modules (row-major, non-zero
    // dark), each `moduleDots` square.
    void Matrix(int x, int y, int size, const uint8_t* modules, int moduleDots);

private:
    int m_Width, m_Height;
    std::vector<uint8_t> m_Pixels;
};

#include "marks/CGrayCanvas.h"

#include <algorithm>
#include <cstring>

#include "marks/BitmapFont.h"

CGrayCanvas::CGrayCanvas(int width, int height)
    : m_Width(std::max(width, 0)),
      m_Height(std::max(height, 0)),
      m_Pixels(static_cast<size_t>(m_Width) * m_Height, kWhite) {}

void CGrayCanvas::FillRect(int x, int y, int width, int height, uint8_t level) {
    const int x0 = std::max(x, 0), x1 = std::min(x + width, m_Width);
    const int y0 = std::max(y, 0), y1 = std::min(y + height, m_Height);
    if (x0 >= x1)
        return;
    for (int row = y0; row < y1; row++)
        std::memset(&m_Pixels[static_cast<size_t>(row) * m_Width + x0], level, static_cast<size_t>(x1 - x0));
}

void CGrayCanvas::Frame(int x, int y, int width, int height, int thickness) {
    FillRect(x, y, width, thickness);
    FillRect(x, y + height - thickness, width, thickness);
    FillRect(x, y, thickness, height);
    FillRect(x + width - thickness, y, thickness, height);
}

int CGrayCanvas::TextWidth(int scale, size_t characters) {
    return characters ? static_cast<int>(characters * BitmapFont::kCellWidth - 1) * scale : 0;
}

int CGrayCanvas::TextHeight(int scale) { return BitmapFont::kGlyphHeight * scale; }

int CGrayCanvas::Text(int x, int y, int scale, const std::string& text) {
    int cx = x;
    for (char c : text) {
        const uint8_t* glyph = BitmapFont::Glyph(c);
        for (int row = 0; row < BitmapFont::kGlyphHeight; row++) {
            // Runs of set dots along the row, each one rectangle.
            for (int col = 0; col < BitmapFont::kGlyphWidth;) {
                if (!(glyph[col] >> row & 1)) {
                    col++;
                    continue;
                }
                int end = col;
                while (end < BitmapFont::kGlyphWidth && (glyph[end] >> row & 1))
                    end++;
                FillRect(cx + col * scale, y + row * scale, (end - col) * scale, scale);
                col = end;
            }
        }
        cx += BitmapFont::kCellWidth * scale;
    }
    return TextWidth(scale, text.size());
}

namespace {

// Calls `run(first, count)` for each run of bars.
template <class Run>
void ForEachBar(const std::vector<bool>& modules, Run&& run) {
    for (size_t i = 0; i < modules.size();) {
        size_t end = i;
        while (end < modules.size() && modules[end] == modules[i])
            end++;
        if (modules[i])
            run(static_cast<int>(i), static_cast<int>(end - i));
        i = end;
    }
}

}  // namespace

void CGrayCanvas::Bars(int x, int y, const std::vector<bool>& modules, int moduleDots, int height) {
    ForEachBar(modules, [&](int first, int count) { FillRect(x + first * moduleDots, y, count * moduleDots, height); });
}

void CGrayCanvas::BarsDown(int x, int y, const std::vector<bool>& modules, int moduleDots, int width) {
    ForEachBar(modules, [&](int first, int count) { FillRect(x, y + first * moduleDots, width, count * moduleDots); });
}

void CGrayCanvas::Matrix(int x, int y, int size, const uint8_t* modules, int moduleDots) {
    for (int my = 0; my < size; my++) {
        const uint8_t* row = modules + static_cast<size_t>(my) * size;
        for (int mx = 0; mx < size;) {
            int end = mx;
            while (end < size && (row[end] != 0) == (row[mx] != 0))
                end++;
            if (row[mx])
                FillRect(x + mx * moduleDots, y + my * moduleDots, (end - mx) * moduleDots, moduleDots);
            mx = end;
        }
    }
}

#pragma once

#include <memory>
#include <string>

#include "zpl/ZplBitmap.h"

// The label's fonts, drawn upright without grey: ^A0 (and every name a
// printer would fall back from: ^A1, ^AP, ^A@, downloaded fonts) in a free
// bold condensed sans-serif, ^AA-^AH in fixed cells magnified by whole
// multiples.
namespace zpl {

// A font as a field asks for it: the name and the size in page dots
// (0 = not given).
struct FontRequest {
    char name = '0';
    int height = 0, width = 0;
};
// ^A and ^CF take heights and widths up to 32000 dots.
constexpr int kMaxFontDots = 32000;

// ^FB's block: `width` dots wide, at most `lines` lines `spacing` dots
// apart, justified L, C, R or J, the lines after the first indented by
// `indent` dots (the ^FB habit printers have).
struct TextBlock {
    int width = 0, lines = 1, spacing = 0;
    char justify = 'L';
    int indent = 0;
};

// An upright text field: its picture, the row of its last line's baseline
// and how far the pen went (where ^FT without a position goes on). The
// picture reaches `above` rows over the top of its lines (accents over
// capitals) and `below` rows under their bottom.
struct TextDrawing {
    ZplBitmap bitmap;
    int baseline = 0;
    int advance = 0;
    int above = 0, below = 0;
    // Its picture would be larger than the fonts' limit: nothing is drawn.
    bool tooLarge = false;
};

class ZplFonts {
public:
    // `dotScale` is page dots per 203 dpi dot: the fixed cells are 203 dpi ones.
    // No glyph, line or block larger than `maxDots` is drawn.
    ZplFonts(double dotScale, size_t maxDots);
    ~ZplFonts();
    ZplFonts(const ZplFonts&) = delete;
    ZplFonts& operator=(const ZplFonts&) = delete;

    // False, with `problem`, when the font the request needs is not installed.
    bool Available(const FontRequest& font, std::string& problem);
    // A line of text; `text` has no line breaks.
    TextDrawing DrawLine(const std::u32string& text, const FontRequest& font);
    int Measure(const std::u32string& text, const FontRequest& font);
    // A block of text: lines broken at kLineBreak and, within `block.width`, at spaces.
    TextDrawing DrawBlock(const std::u32string& text, const FontRequest& font, const TextBlock& block);
    // The height of a line (the cell) and its baseline row from the top.
    int LineHeight(const FontRequest& font) const;
    int Baseline(const FontRequest& font) const;

private:
    struct Faces;
    std::unique_ptr<Faces> m_Faces;
    double m_DotScale;
    double m_MaxDots;
};

// Where ^FB's `\&` broke a line (found in the bytes, before the character
// set made `\` something else).
constexpr char32_t kLineBreak = U'\u2028';

// The cell of fixed-cell font `name` (A-H, any case) at 203 dpi, false for others.
struct FixedCell {
    int height, width, gap, baseline;
    bool bold;  // drawn in the bold monospace face
};
bool FixedCellOf(char name, FixedCell& cell);

}  // namespace zpl

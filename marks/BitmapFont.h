#pragma once

#include <cstdint>

// A 5 x 7 dot font of printable ASCII, for text a label draws itself.
namespace BitmapFont {

const int kGlyphWidth = 5, kGlyphHeight = 7;
// A character cell: the glyph and one dot of space right and below.
const int kCellWidth = kGlyphWidth + 1, kCellHeight = kGlyphHeight + 1;

// The glyph's five columns, left to right; bit 0 is the top row. Characters
// outside space to '~' show as '?'.
const uint8_t* Glyph(char c);

}  // namespace BitmapFont

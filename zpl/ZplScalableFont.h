#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include "zpl/ZplBitmap.h"

// Font 0 as the reference viewer draws it, on the free face TeX Gyre Heros
// Cn Bold: the viewer's font is a condensed design of its own, so each
// glyph's room, width and weight are set to the viewer's, measured on its
// pictures, and the few characters it draws in another form are drawn so.
namespace zpl {

// A glyph drawn in one bit, ready to be set on a line.
struct DrawnGlyph {
    bool drawn = false;  // false: the face has no such glyph, nothing is drawn
    ZplBitmap bitmap;
    int left = 0, top = 0;  // the dots' offset right of the pen and rows above the baseline row
    double advance = 0;     // the pen's advance in dots
};

// The glyph FreeType just rendered in one bit, as a bitmap.
ZplBitmap GlyphBitmap(const FT_Bitmap& b);

// Font 0 for a field `height` dots high and `width` wide (0: as wide as
// high): the face's em across and down, in dots.
struct ScalableSize {
    double emX, emY;
};
ScalableSize ScalableSizeOf(int height, int width);

// The baseline row of a line `height` dots high, from its top: the
// capitals stand on the row above it and reach to the top.
int ScalableBaseline(int height);

// How far left of the field's origin a line's first glyph starts, in dots:
// the viewer sets its first glyph a little nearer the origin than the room
// around the free font's glyphs would.
double ScalableLead(const ScalableSize& size);

// `c` drawn in `face` (TeX Gyre Heros Cn Bold) as the viewer draws it at
// `size`; sets the face's size.
DrawnGlyph DrawScalableGlyph(FT_Face face, char32_t c, const ScalableSize& size);

}  // namespace zpl

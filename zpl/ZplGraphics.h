#pragma once

#include <cstddef>
#include <string>

#include "zpl/ZplBitmap.h"

// The graphic fields of a ZPL label, each drawn upright as the mask of its
// dots: the interpreter blends the mask black, white or reversed (the
// field's colour, ^FR) and turns it with the field's orientation.
namespace zpl {

// ^GB: a box `width` x `height` (each at least `thickness`) with a border
// `thickness` dots wide and corners rounded by `rounding` (0 to 8); a box
// no wider or taller than its border is solid.
ZplBitmap BoxShape(int width, int height, int thickness, int rounding);
// ^GD: a line `thickness` dots wide (across each row) through a `width` x
// `height` box, rising to the right (`leansRight`, R or /) or falling (L or
// \); the mask is `width` + `thickness` wide, as the line's far end spills
// past the box by its thickness.
ZplBitmap DiagonalShape(int width, int height, int thickness, bool leansRight);
// ^GC: a circle `diameter` across with a border `thickness` wide.
ZplBitmap CircleShape(int diameter, int thickness);
// ^GE: an ellipse in a `width` x `height` box with a border `thickness` wide.
ZplBitmap EllipseShape(int width, int height, int thickness);
// ^GS: symbol `symbol` (A registered, B copyright, C trademark, D UL, E CSA)
// `height` x `width` dots.
ZplBitmap SymbolShape(char symbol, int height, int width);

// What a graphic may cost: its decoded bytes.
struct GraphicLimits {
    size_t maxBytes = 16u << 20;
    // The data must make exactly the image: c whole rows of d bytes, each
    // row of hex data exactly d bytes, nothing after the image's bytes, a
    // base64 graphic's CRC given and its data exactly c bytes (inflated).
    bool exact = false;
};

// ^GF a,b,c,d,data and ~DG's data: `format` A (hex text, with ZPL's
// run-length compression, or :Z64: / :B64: with their CRC), B (binary) or C
// (compressed binary); `totalBytes` the image's bytes, `rowBytes` its bytes
// per row; `data` as the label holds it (binary data exactly as read). False,
// with `problem` in words, when the data is damaged, its CRC fails or the
// image is over `limits`; `out` is then empty.
bool DecodeGraphic(char format, long totalBytes, long rowBytes, const std::string& data, const GraphicLimits& limits,
                   ZplBitmap& out, std::string& problem);

// Each dot becomes `mx` x `my` dots (at least one each), cut at `maxSide`
// dots a side.
ZplBitmap Enlarged(const ZplBitmap& image, int mx, int my, int maxSide);

// ^XG's magnification: each dot becomes `mx` x `my` dots (each 1 to 10);
// dots beyond 32000 from the top left, where no label reaches, are dropped.
ZplBitmap Magnified(const ZplBitmap& image, int mx, int my);

}  // namespace zpl

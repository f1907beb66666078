#pragma once

#include <functional>
#include <string>
#include <vector>

#include "zpl/ZplBitmap.h"

namespace zpl {

// A bar code field as the label names it: the command (`^BC` as "BC",
// `^B3` as "B3", ...), its parameters after the orientation as written
// (an empty string keeps the default), the field data (bytes, ^FH escapes
// already resolved, in the field's character set) and the ^BY in effect.
struct BarcodeField {
    std::string command;
    std::vector<std::string> params;
    std::string data;
    int moduleWidth = 2;  // ^BY w, dots
    double ratio = 3.0;   // ^BY r, wide to narrow
    int barHeight = 10;   // ^BY h, dots: the height when the command gives none
    // Page dots per dot the label was written in (300 / 203 for a 203 dpi
    // label on a 300 dpi head): the 2D codes' own module sizes follow it, at
    // whole dots, and MaxiCode keeps its size.
    double scale = 1;
};

// Draws the interpretation line's `text` upright into `into` with its top
// left at (x, y), `height` dots tall; returns the width drawn. With a null
// `into` it only measures. The interpreter passes one in its own font.
using LineWriter = std::function<int(ZplBitmap* into, int x, int y, int height, const std::string& text)>;

// A bar code field drawn upright: the symbol and its interpretation line,
// with the row of the symbol's bottom edge (where ^FT places it).
struct BarcodeDrawing {
    ZplBitmap bitmap;
    int baseline = 0;
    // Columns left of the symbol's left edge (an EAN's first digit): the
    // field's x names column `left` of the bitmap.
    int left = 0;
    std::string summary;  // "Code 128 (N) 12 characters", for the preview's field lines
};

// False, with `problem` in words, when the data cannot be encoded or the
// command is not a bar code; a label draws the rest of its fields then.
bool DrawBarcode(const BarcodeField& field, const LineWriter& writeLine, BarcodeDrawing& out, std::string& problem);

// The commands DrawBarcode knows ("BC", "B3", ...).
bool IsBarcodeCommand(const std::string& command);

}  // namespace zpl

#pragma once

#include "zpl/ZplBitmap.h"

// Where an upright field drawing lands once turned by its orientation.
namespace zpl {

bool IsOrientation(char c);
// N (none), R (90 degrees clockwise), I (180), B (270); anything else is N.
int QuarterTurns(char orientation);

// Draws `upright` turned by `orientation` onto `page`. With ^FO
// (`typeset` false) (x, y) is the top left of the turned drawing; with ^FT
// it is where the upright drawing's left end of row `baseline` lands (for
// text its baseline, for bar codes and graphics their bottom edge).
void PlaceField(ZplBitmap& page, const ZplBitmap& upright, int baseline, char orientation, bool typeset, int x, int y,
                Blend blend);

// Where the pen stands after a field `advance` dots long placed at (x, y):
// ^FT without a position goes on from there.
void AdvancePen(char orientation, int advance, int& x, int& y);

// `image` scaled to `width` x `height` dots, each dot taken from the
// nearest source dot.
ZplBitmap Scaled(const ZplBitmap& image, int width, int height);

}  // namespace zpl

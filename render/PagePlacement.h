#pragma once

// Where a document page with a size of its own (a PDF page) goes on the
// media: its scale, whether it is turned a quarter, and where it falls, in
// dots. IPP "print-scaling" picks the rule; "auto" and "auto-fit" print a
// page that fits at 100 % and shrink one that does not, so that a label made
// at the media's size keeps its bar and space widths.
namespace PagePlacement {

enum class Scaling { Auto, AutoFit, Fit, Fill, None };

// The IPP keyword's rule; false for a keyword that names none.
bool ScalingFor(const char* keyword, Scaling& scaling);

// A page this much larger than the media (on each axis) still fits: a label
// drawn at the media's size, rounded by the program that made it, prints at
// 100 % with the excess (an eighth of a millimetre a side) cropped rather
// than shrunk by a few tenths of a percent.
constexpr double kFitSlackMm = 0.25;

struct Placement {
    double scale = 1.0;   // of the page's own size
    bool turned = false;  // a quarter turn counter-clockwise
    // The scaled, turned page in dots, and its top left corner on the
    // media (negative where it is cropped).
    int width = 0, height = 0;
    int left = 0, top = 0;
};

// A page of `pageWidth` x `pageHeight` points (as it is shown, its own
// rotation applied) on media of `mediaWidth` x `mediaHeight` dots at
// `xdpi` x `ydpi`. The page is centered.
Placement Place(double pageWidth, double pageHeight, int mediaWidth, int mediaHeight, int xdpi, int ydpi,
                Scaling scaling);

}  // namespace PagePlacement

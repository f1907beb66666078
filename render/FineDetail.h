#pragma once

#include <string>

struct ImageSize;

// Whether shrinking a page to fit the media leaves its bar codes printable,
// the same rule in both hosts. A module prints reliably from two dots up; a
// 0.33 mm module (the common width on shipping labels) is the detail the
// rule keeps: at 203 dpi a shrink below about 76 % puts it under two dots,
// at 300 dpi below about 51 %.
namespace FineDetail {

constexpr double kModuleMm = 0.33;
constexpr double kLeastDots = 2.0;

// The smallest scale that keeps the module at two dots on a head of `dpi`.
double LeastScale(int dpi);
// The job message for a page shrunk to `scale` (0 < scale <= 1) on a head
// of `dpi`, or an empty string when the shrink keeps fine detail.
std::string ShrinkWarning(double scale, int dpi);

// How much a picture printed `printedX` by `printedY` inches was shrunk:
// against its declared resolution, or, where it declares none, against the
// head's (a pixel for a dot, as a picture made for the printer has it).
// Where the host cropped the picture to fill the media, the axis it did not
// crop tells the scale: the larger of the two.
double ImageScale(const ImageSize& size, double printedX, double printedY, int dpi);

}  // namespace FineDetail

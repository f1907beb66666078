// ^GB ^GD ^GC ^GE: each shape is the set of dots whose centres lie strictly
// inside its outline, the way the reference viewer fills them (a centre
// exactly on an edge stays white on both sides, which is why a 45 degree
// diagonal 5 dots thick shows 4 dots a row).
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "zpl/ZplGraphics.h"

namespace zpl {

namespace {

// Largest sides a field takes (ZPL's ranges); keeps a hostile size bounded.
constexpr int kMaxSide = 32000;
constexpr int kMaxRound = 4095;

int Clamp(int v, int lo, int hi) { return std::min(std::max(v, lo), hi); }

// First and last dot (inclusive) whose centre x + 0.5 lies strictly between
// `left` and `right`.
void CentresBetween(double left, double right, int& first, int& last) {
    first = int(std::floor(left - 0.5)) + 1;
    last = int(std::ceil(right - 0.5)) - 1;
}

// The dots of row `y` strictly inside a rectangle [x0, x0 + w) x [y0, y0 + h)
// whose corners are quarter circles of radius `radius` (0: square).
bool RoundedSpan(double x0, double y0, double w, double h, double radius, int y, int& first, int& last) {
    const double yc = y + 0.5;
    if (w <= 0 || h <= 0 || yc <= y0 || yc >= y0 + h)
        return false;
    double inset = 0;
    if (radius > 0) {
        const double dy = std::max({y0 + radius - yc, yc - (y0 + h - radius), 0.0});
        if (dy >= radius)
            return false;
        inset = radius - std::sqrt(radius * radius - dy * dy);
    }
    CentresBetween(x0 + inset, x0 + w - inset, first, last);
    return first <= last;
}

// The dots of row `y` strictly inside the ellipse in [0, w) x [0, h) shrunk
// by `inset` on every side.
bool EllipseSpan(double w, double h, double inset, int y, int& first, int& last) {
    const double a = w / 2 - inset, b = h / 2 - inset;
    if (a <= 0 || b <= 0)
        return false;
    const double dy = (y + 0.5 - h / 2) / b;
    if (dy * dy >= 1)
        return false;
    const double dx = a * std::sqrt(1 - dy * dy);
    CentresBetween(w / 2 - dx, w / 2 + dx, first, last);
    return first <= last;
}

// A ring: the outer span less the inner one, row by row.
template <typename Outer, typename Inner>
ZplBitmap Ring(int width, int height, Outer outer, Inner inner) {
    ZplBitmap out(width, height);
    for (int y = 0; y < height; y++) {
        int a, b, c, d;
        if (!outer(y, a, b))
            continue;
        if (!inner(y, c, d) || c > b || d < a) {
            out.Fill(a, y, b - a + 1, 1);
            continue;
        }
        out.Fill(a, y, c - a, 1);
        out.Fill(d + 1, y, b - d, 1);
    }
    return out;
}

}  // namespace

ZplBitmap BoxShape(int width, int height, int thickness, int rounding) {
    const int t = Clamp(thickness, 1, kMaxSide);
    const int w = Clamp(width, t, kMaxSide), h = Clamp(height, t, kMaxSide);
    // Zebra: the corner radius is rounding/8 of half the shorter side; the
    // inside's corners are rounded the same way from its own shorter side.
    const double share = Clamp(rounding, 0, 8) / 8.0;
    const double r = share * std::min(w, h) / 2;
    const int iw = w - 2 * t, ih = h - 2 * t;
    // The reference viewer's inside corners have a whole number of dots as
    // their radius (56 where the rule gives 56.25), its outside ones not.
    const double ir = std::floor(share * std::min(iw, ih) / 2);
    return Ring(
        w, h, [&](int y, int& a, int& b) { return RoundedSpan(0, 0, w, h, r, y, a, b); },
        [&](int y, int& a, int& b) { return RoundedSpan(t, t, iw, ih, ir, y, a, b); });
}

ZplBitmap DiagonalShape(int width, int height, int thickness, bool leansRight) {
    const int t = Clamp(thickness, 1, kMaxSide);
    const int w = Clamp(width, 1, kMaxSide), h = Clamp(height, 1, kMaxSide);
    // A parallelogram t dots wide across each row, its left edge running from
    // (w, 0) to (0, h) (or (0, 0) to (w, h)): it spills t dots past w, as the
    // reference viewer's does. Exact in integers: a dot's centre 2x + 1 (in
    // half dots) against the edge at row centre 2y + 1, scaled by 2h.
    ZplBitmap out(w + t, h);
    const int64_t W = w, H = h, T = t;
    for (int y = 0; y < h; y++) {
        const int64_t rise = (2 * int64_t(y) + 1) * W;  // 2h x the edge's run
        const int64_t left = leansRight ? 2 * W * H - rise : rise, right = left + 2 * T * H;
        // (2x + 1) H > left and (2x + 1) H < right.
        auto floorDiv = [](int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
        const int64_t first = floorDiv(left - H, 2 * H) + 1;
        const int64_t last = -floorDiv(-(right - H), 2 * H) - 1;
        if (first <= last)
            out.Fill(int(first), y, int(last - first + 1), 1);
    }
    return out;
}

ZplBitmap CircleShape(int diameter, int thickness) {
    const int d = Clamp(diameter, 3, kMaxRound);
    return EllipseShape(d, d, thickness);
}

ZplBitmap EllipseShape(int width, int height, int thickness) {
    const int w = Clamp(width, 3, kMaxRound), h = Clamp(height, 3, kMaxRound);
    const int t = Clamp(thickness, 1, kMaxRound);
    return Ring(
        w, h, [&](int y, int& a, int& b) { return EllipseSpan(w, h, 0, y, a, b); },
        [&](int y, int& a, int& b) { return EllipseSpan(w, h, t, y, a, b); });
}

}  // namespace zpl

// ^GS: the five symbols, drawn from a few rings, boxes and polygons laid
// out in a 72 x 72 cell (fitted to the reference viewer's symbols at a 72-dot
// font, whose dots they match to about 2 %) and stretched to the field's
// height and width.
#include <algorithm>
#include <cmath>
#include <vector>

#include "zpl/ZplGraphics.h"

namespace zpl {

namespace {

constexpr double kCell = 72;
// Beyond this a symbol costs time and memory and looks no better.
constexpr int kMaxSymbol = 4095;

// A piece of a symbol in cell units; pieces later in a list paint over
// earlier ones, black or white.
struct Piece {
    enum Kind { Ring, Polygon } kind;
    bool black;
    // Ring: centre, outer radii, border widths across and down, and the
    // angles (degrees clockwise from east) it covers, from `a0` to `a1`.
    double cx, cy, rx, ry, tx, ty, a0, a1;
    // Polygon: the dots on the inner side of every edge of an outline that
    // runs clockwise on screen (a convex one, give or take the fitting).
    std::vector<double> xy;
};

Piece RingPiece(double cx, double cy, double rx, double ry, double tx, double ty, double a0 = -180, double a1 = 180) {
    return {Piece::Ring, true, cx, cy, rx, ry, tx, ty, a0, a1, {}};
}
Piece Poly(std::vector<double> xy, bool black = true) { return {Piece::Polygon, black, 0, 0, 0, 0, 0, 0, 0, 0, xy}; }
Piece Box(double x0, double y0, double x1, double y1, bool black = true) {
    return Poly({x0, y0, x1, y0, x1, y1, x0, y1}, black);
}

bool Inside(const Piece& p, double u, double v) {
    if (p.kind == Piece::Ring) {
        const double dx = u - p.cx, dy = v - p.cy;
        const double ox = dx / p.rx, oy = dy / p.ry;
        if (ox * ox + oy * oy >= 1)
            return false;
        const double ix = p.rx - p.tx, iy = p.ry - p.ty;
        if (ix > 0 && iy > 0 && (dx / ix) * (dx / ix) + (dy / iy) * (dy / iy) < 1)
            return false;
        if (p.a0 <= -180 && p.a1 >= 180)
            return true;
        const double a = std::atan2(dy, dx) * 180 / M_PI;
        return a >= p.a0 && a <= p.a1;
    }
    const size_t n = p.xy.size() / 2;
    for (size_t i = 0; i < n; i++) {
        const size_t j = (i + 1) % n;
        const double ex = p.xy[2 * j] - p.xy[2 * i], ey = p.xy[2 * j + 1] - p.xy[2 * i + 1];
        if (ex * (v - p.xy[2 * i + 1]) - ey * (u - p.xy[2 * i]) <= 0)
            return false;
    }
    return true;
}

// The pieces of `from`, shrunk by `scale` and moved by (dx, dy): the small
// registered mark inside UL and CSA.
void AddScaled(std::vector<Piece>& to, const std::vector<Piece>& from, double scale, double dx, double dy) {
    for (Piece p : from) {
        p.cx = p.cx * scale + dx, p.cy = p.cy * scale + dy;
        p.rx *= scale, p.ry *= scale, p.tx *= scale, p.ty *= scale;
        for (size_t i = 0; i < p.xy.size(); i += 2)
            p.xy[i] = p.xy[i] * scale + dx, p.xy[i + 1] = p.xy[i + 1] * scale + dy;
        to.push_back(p);
    }
}

// Each list was fitted, a coordinate at a time, to the reference symbols.
std::vector<Piece> Registered() {
    return {RingPiece(22.375, 22.625, 22.5, 22.5, 3.825, 3.7),
            Box(13, 10, 18, 35),
            Poly({13, 10, 28, 10, 27, 13, 13, 13}),
            Box(13, 21, 27, 24),
            RingPiece(26.5, 16.75, 6, 6.25, 5, 3, -90, 90),
            Poly({22, 22.25, 28, 24, 34.5, 35, 29, 35})};
}

std::vector<Piece> Copyright() {
    return {RingPiece(22.375, 22.625, 22.5, 22.5, 3.825, 3.7), RingPiece(22.25, 22.5, 13.5, 13.5, 5, 3.5, -180, -48.25),
            RingPiece(22.25, 22, 13.75, 14.5, 5, 3.5, 48, 180)};
}

std::vector<Piece> Trademark() {
    // The M's V is a black triangle less a white one.
    return {Box(0, 0, 22, 5),
            Box(8, 0, 14, 30),
            Poly({29, 0, 53.5, 0, 42.3, 22.8}),
            Poly({33.75, -1, 49, -2, 42.3, 12.8}, false),
            Box(26, 0, 32, 30),
            Box(51, 0, 57, 30)};
}

std::vector<Piece> Underwriters() {
    std::vector<Piece> p = {RingPiece(35.875, 36.125, 36.125, 36, 5.5, 5.125),
                            RingPiece(26.5, 43.5, 10.25, 7.5, 8, 6.5, 0, 180),
                            Box(16, 15, 23, 44),
                            Box(30, 15, 37, 44),
                            Box(40, 21, 47, 56),
                            Box(40, 49, 58, 56)};
    AddScaled(p, Registered(), 0.195, 22.25, 53.25);
    return p;
}

std::vector<Piece> Canadian() {
    std::vector<Piece> p = {RingPiece(36.25, 36, 36.125, 35.875, 9.25, 9.125, -180, -39.375),
                            RingPiece(36.125, 36, 36.125, 36.25, 9.375, 9.25, 39.875, 180),
                            // S: two stems and three slanted bands.
                            Poly({27, 15, 33, 14, 33, 27, 26, 27}),
                            Poly({28.125, 14, 33, 14, 32, 23, 22, 29, 14.5, 29, 14.5, 26.875}),
                            Poly({25, 24, 26, 24, 26, 27, 22.5, 28}, false),
                            Poly({14, 29, 24.5, 29, 33, 37.5, 33, 40, 25, 40}), Poly({26, 40, 33, 40, 33, 59, 25, 56}),
                            Poly({15, 41, 19.5, 41, 26, 49, 27, 57, 24, 55.5, 18.125, 50.5, 15, 45}),
                            // A: a stem, a slanted roof with a white eye, and a leg.
                            Poly({38.75, 14, 46, 15, 46, 57, 39.75, 59}),
                            Poly({39, 14, 42.5, 14, 53, 19.875, 55, 24, 57, 28, 59, 32, 59, 40, 39, 40}),
                            Poly({46, 23.5, 48, 23.5, 52.5, 33, 46, 33}, false),
                            Poly({52.5, 39, 59, 40, 56.5, 47.5, 53.5, 51.5, 49, 46, 51, 42.5})};
    AddScaled(p, Registered(), 0.2025, 56.75, 45.125);
    return p;
}

}  // namespace

ZplBitmap SymbolShape(char symbol, int height, int width) {
    const int h = std::min(std::max(height, 1), kMaxSymbol), w = std::min(std::max(width, 1), kMaxSymbol);
    std::vector<Piece> pieces;
    switch (symbol) {
        case 'A':
            pieces = Registered();
            break;
        case 'B':
            pieces = Copyright();
            break;
        case 'C':
            pieces = Trademark();
            break;
        case 'D':
            pieces = Underwriters();
            break;
        case 'E':
            pieces = Canadian();
            break;
        default:
            return ZplBitmap(w, h);
    }
    ZplBitmap out(w, h);
    const double sx = kCell / w, sy = kCell / h;
    // Piece by piece, only over the dots of its bounding box.
    for (const Piece& p : pieces) {
        double x0 = p.cx - p.rx, x1 = p.cx + p.rx, y0 = p.cy - p.ry, y1 = p.cy + p.ry;
        if (p.kind == Piece::Polygon) {
            x0 = y0 = kCell, x1 = y1 = 0;
            for (size_t i = 0; i < p.xy.size(); i += 2) {
                x0 = std::min(x0, p.xy[i]), x1 = std::max(x1, p.xy[i]);
                y0 = std::min(y0, p.xy[i + 1]), y1 = std::max(y1, p.xy[i + 1]);
            }
        }
        const int top = std::max(int(y0 / sy) - 1, 0), bottom = std::min(int(y1 / sy) + 1, h - 1);
        const int left = std::max(int(x0 / sx) - 1, 0), right = std::min(int(x1 / sx) + 1, w - 1);
        for (int y = top; y <= bottom; y++) {
            uint8_t* row = out.Row(y);
            const double v = (y + 0.5) * sy;
            for (int x = left; x <= right; x++) {
                if (!Inside(p, (x + 0.5) * sx, v))
                    continue;
                const uint8_t bit = uint8_t(0x80 >> (x & 7));
                row[x >> 3] = p.black ? uint8_t(row[x >> 3] | bit) : uint8_t(row[x >> 3] & ~bit);
            }
        }
    }
    return out;
}

}  // namespace zpl

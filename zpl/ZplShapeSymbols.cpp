// ^GS: the five symbols, drawn from a few rings, boxes and polygons laid
// out in a 72 x 72 cell (the reference viewer's symbols at a 72-dot font,
// measured dot by dot) and stretched to the field's height and width.
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
    // Polygon: a convex outline, clockwise on screen.
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

std::vector<Piece> Registered() {
    return {RingPiece(22.5, 22.5, 22.5, 22.5, 4.2, 4.2),
            Box(13, 10, 18, 35),
            Box(13, 10, 27, 13),
            Box(13, 21, 27, 24),
            RingPiece(26.5, 17, 5.5, 7, 5, 3, -90, 90),
            Poly({22, 24, 28, 24, 34, 35, 28.5, 35})};
}

std::vector<Piece> Copyright() {
    return {RingPiece(22.5, 22.5, 22.5, 22.5, 4.2, 4.2), RingPiece(22, 22.5, 13, 13.5, 5, 3.5, -180, -48),
            RingPiece(22, 22.5, 13, 13.5, 5, 3.5, 48, 180)};
}

std::vector<Piece> Trademark() {
    return {Box(0, 0, 22, 5),
            Box(8, 0, 14, 30),
            Poly({28, 0, 52, 0, 43.3, 21.8}),
            Poly({34, 0, 47, 0, 42.3, 11.8}, false),
            Box(26, 0, 32, 30),
            Box(51, 0, 57, 30)};
}

std::vector<Piece> Underwriters() {
    std::vector<Piece> p = {RingPiece(36, 36, 36, 36, 5.5, 5.5),
                            RingPiece(26.5, 43.5, 10.5, 7.5, 7, 6.5, 0, 180),
                            Box(16, 15, 23, 44),
                            Box(30, 15, 37, 44),
                            Box(40, 21, 47, 56),
                            Box(40, 49, 58, 56)};
    AddScaled(p, Registered(), 10 / 45.0, 22, 52);
    return p;
}

std::vector<Piece> Canadian() {
    std::vector<Piece> p = {
        RingPiece(36, 36, 36, 36, 9, 9, -180, -42), RingPiece(36, 36, 36, 36, 9, 9, 42, 180),
        // S: two stems joined by three slanted bands.
        Box(26, 14, 33, 27), Poly({29, 14, 33, 14, 22, 28, 15, 28}), Poly({15, 28, 24, 28, 33, 37, 33, 46}),
        Box(26, 40, 33, 58), Poly({15, 41, 21, 41, 33, 52, 33, 59}),
        // A: a stem, a slanted roof, a cross bar and a leg.
        Box(39, 14, 46, 58), Poly({39, 14, 44, 14, 59, 33, 52, 33}), Box(39, 33, 59, 40), Box(52, 24, 59, 53)};
    AddScaled(p, Registered(), 10 / 45.0, 56, 45);
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
    for (int y = 0; y < h; y++) {
        const double v = (y + 0.5) * sy;
        for (int x = 0; x < w; x++) {
            const double u = (x + 0.5) * sx;
            bool black = false;
            for (const Piece& p : pieces)
                if (Inside(p, u, v))
                    black = p.black;
            if (black)
                out.Row(y)[x >> 3] |= uint8_t(0x80 >> (x & 7));
        }
    }
    return out;
}

}  // namespace zpl

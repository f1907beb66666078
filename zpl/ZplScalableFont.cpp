#include "zpl/ZplScalableFont.h"

#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "zpl/ZplGraphics.h"

namespace zpl {

namespace {

// The em against the field's height h and width w: a little over h down,
// and across w a little more than in proportion, w (w / h)^0.1.
constexpr double kEmPerHeight = 1.045;
constexpr double kWidthScale = 0.88;
constexpr double kWidthGrowth = 0.1;
// Capitals are this share of h tall; the baseline sits as far below the
// field's top, rounded down, and glyphs stand kRise rows above it.
constexpr double kCapShare = 0.75;
constexpr int kRise = 1;
// The viewer's vertical strokes are heavier than the free face's, its
// horizontal ones about as heavy: outlines grow by these shares of the em
// across and down.
constexpr double kBoldenX = 0.035, kBoldenY = 0.0075;
// The room after a glyph beyond the free face's advance: kTrackY of the em
// down less kTrackX of the em across (it follows the height more than the
// width), and kSpaceRoom of the em across after a space.
constexpr double kTrackY = 0.0462, kTrackX = 0.0086, kSpaceRoom = 0.0980;
// The first glyph of a line starts this share of the em down to the left.
constexpr double kLead = 0.01;
// The viewer's hyphen is a bar `width` of the em across in an advance of
// `advance`, from `top` to `bottom` of h above the baseline.
constexpr struct { double advance, width, top, bottom; } kDash = {1.06, 0.6, 0.40, 0.28};
// Its registered mark is a small raised ring, this share of h (and of w)
// across: ^GS's mark, whose ring is kSymbolRing of its cell.
constexpr double kRegistered = 0.465, kSymbolRing = 45.0 / 72;
// Its ordinals ª and º are a small a and o raised to the capitals' top,
// this much of their size, with no bar under them.
constexpr double kOrdinalScale = 0.67;

// Where the viewer's glyphs differ from the free face's, fitted to the
// reference pictures (the ink of 619 glyphs on 54 lines, sizes 22 to 120
// dots): the room after the glyph (in ems across, beyond the tracking) and
// the width of its ink (times the free face's, the glyph kept on its
// centre). Characters not listed have neither; letters with accents take
// their base letter's.
struct GlyphFit {
    char32_t c;
    double room, ink;
};
constexpr GlyphFit kGlyphFits[] = {
    {U'#', 0.032, 1.082},  {U'(', 0.003, 0.916},  {U')', 0.019, 0.873},  {U'.', 0.048, 0.977},  {U'/', 0.048, 0.871},
    {U'0', 0.015, 0.972},  {U'1', 0.036, 1.146},  {U'2', 0.011, 1.014},  {U'3', 0.011, 1.045},  {U'4', 0.025, 1.018},
    {U'5', 0.011, 1.034},  {U'6', 0.044, 1.038},  {U'7', 0.003, 1.013},  {U'8', 0.014, 1.012},  {U'9', 0.022, 1.019},
    {U':', 0.001, 0.977},  {U'<', 0.609, 1.661},  {U'>', 0.39, 1.661},   {U'?', -0.014, 0.976}, {U'@', 0.138, 1.025},
    {U'A', -0.033, 0.927}, {U'B', -0.031, 0.914}, {U'C', -0.051, 0.902}, {U'D', -0.001, 0.976}, {U'E', -0.052, 0.882},
    {U'F', 0.016, 0.945},  {U'G', -0.044, 0.926}, {U'H', 0.023, 1.012},  {U'I', 0.022, 0.966},  {U'K', -0.017, 0.947},
    {U'L', -0.037, 0.965}, {U'M', 0.095, 1.123},  {U'N', 0.021, 1.004},  {U'O', -0.053, 0.903}, {U'P', 0.019, 1.044},
    {U'Q', -0.072, 0.981}, {U'R', -0.001, 0.986}, {U'S', -0.007, 0.958}, {U'T', 0.001, 0.849},  {U'U', 0.02, 0.998},
    {U'W', 0.047, 1.029},  {U'X', 0.023, 0.916},  {U'Y', 0.007, 0.949},  {U'[', 0.009, 1.134},  {U'\\', 0.057, 0.947},
    {U']', 0.015, 0.989},  {U'^', 0.022, 1.034},  {U'`', 0.025, 1.046},  {U'a', 0, 0.928},      {U'b', 0, 0.983},
    {U'c', -0.018, 0.914}, {U'd', -0.015, 0.992}, {U'e', 0.02, 0.962},   {U'f', -0.036, 1.017}, {U'g', -0.004, 0.958},
    {U'i', 0.02, 1.215},   {U'k', -0.037, 0.979}, {U'm', 0.054, 1.06},   {U'n', -0.009, 0.972}, {U'o', -0.019, 0.912},
    {U'p', -0.009, 0.973}, {U'q', -0.067, 0.988}, {U'r', 0.002, 1.01},   {U's', -0.04, 0.933},  {U't', -0.008, 1.041},
    {U'u', -0.027, 0.908}, {U'x', -0.007, 0.994}, {U'{', 0.167, 1.043},  {U'|', 0.29, 0.64},    {U'}', 0.173, 1.04},
    {0xA1, -0.003, 0.978}, {0xA2, 0.037, 1.043},  {0xA3, 0.038, 0.954},  {0xA5, 0.031, 0.945},  {0xA7, 0.037, 1.047},
    {0xAA, 0.043, 1},      {0xAB, -0.014, 1.003}, {0xAC, 0.196, 1.202},  {0xAE, 0.203, 1},      {0xBA, 0.044, 1},
    {0xBB, 0.005, 1.003},  {0xBC, 0.229, 1.111},  {0xBD, 0.305, 1.089},  {0xBE, 0.098, 1.092},  {0xBF, -0.03, 0.91},
    {0xC6, 0.034, 1.018},  {0xD8, 0.001, 0.958},  {0xE6, 0.009, 0.992},  {0xF8, 0.011, 0.976},
};
constexpr bool Ascending(const GlyphFit* fits, size_t count) {
    for (size_t i = 1; i < count; i++)
        if (!(fits[i - 1].c < fits[i].c))
            return false;
    return true;
}
static_assert(Ascending(kGlyphFits, std::size(kGlyphFits)), "kGlyphFits is searched by halves");

// The base letter of each Latin-1 letter from U+00C0 on ('.': none).
constexpr char kBaseLetters[] = "AAAAAA.CEEEEIIII.NOOOOO..UUUUY..aaaaaa.ceeeeiiii.nooooo..uuuuy.y";
static_assert(sizeof(kBaseLetters) == 0x40 + 1, "one base letter a character, U+00C0 to U+00FF");

GlyphFit FitOf(char32_t c) {
    if (c >= 0xC0 && c <= 0xFF && kBaseLetters[c - 0xC0] != '.')
        c = char32_t(kBaseLetters[c - 0xC0]);
    const GlyphFit* found = std::lower_bound(std::begin(kGlyphFits), std::end(kGlyphFits), c,
                                             [](const GlyphFit& f, char32_t key) { return f.c < key; });
    return found != std::end(kGlyphFits) && found->c == c ? *found : GlyphFit{c, 0, 1};
}

// The field's height h, from the em.
double HeightOf(const ScalableSize& size) { return size.emY / kEmPerHeight; }
// The field's width w, from the em (w (w / h)^0.1 taken for w).
double WidthOf(const ScalableSize& size) { return size.emX / (kEmPerHeight * kWidthScale); }

DrawnGlyph Dash(const ScalableSize& size) {
    const double h = HeightOf(size), advance = kDash.advance * size.emX;
    const int width = std::max(1, int(std::lround(kDash.width * size.emX))), top = int(std::lround(kDash.top * h));
    DrawnGlyph glyph;
    glyph.drawn = true;
    glyph.bitmap = ZplBitmap(width, std::max(1, top - int(std::lround(kDash.bottom * h))));
    glyph.bitmap.Fill(0, 0, glyph.bitmap.Width(), glyph.bitmap.Height());
    glyph.left = int(std::lround((advance - width) / 2));
    glyph.top = top;
    glyph.advance = advance;
    return glyph;
}

}  // namespace

ZplBitmap GlyphBitmap(const FT_Bitmap& b) {
    ZplBitmap out(int(b.width), int(b.rows));
    const size_t bytes = std::min(out.RowBytes(), size_t(std::abs(b.pitch)));
    for (unsigned y = 0; y < b.rows; y++)
        std::copy_n(b.buffer + ptrdiff_t(y) * b.pitch, bytes, out.Row(int(y)));
    return out;
}

ScalableSize ScalableSizeOf(int height, int width) {
    const int h = std::max(1, height), w = width > 0 ? width : h;
    return {kEmPerHeight * kWidthScale * w * std::pow(double(w) / h, kWidthGrowth), kEmPerHeight * h};
}

int ScalableBaseline(int height) { return int(std::floor(std::max(1, height) * kCapShare)) + kRise; }

double ScalableLead(const ScalableSize& size) { return kLead * size.emY; }

DrawnGlyph DrawScalableGlyph(FT_Face face, char32_t c, const ScalableSize& size) {
    FT_Set_Char_Size(face, std::lround(size.emX * 64), std::lround(size.emY * 64), 72, 72);
    if (c == U'-')
        return Dash(size);
    DrawnGlyph glyph;
    const FT_GlyphSlot g = face->glyph;
    // The viewer's grave accent is an opening quote.
    if (FT_Load_Char(face, c == U'`' ? 0x2018 : c, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
        return glyph;
    const GlyphFit fit = FitOf(c);
    const double room = c == U' ' ? kSpaceRoom * size.emX : (fit.room - kTrackX) * size.emX + kTrackY * size.emY;
    glyph.advance = g->linearHoriAdvance / 65536.0 + room;
    // The ink's centre, which the ink's width and the room keep in place.
    const double centre = (g->metrics.horiBearingX + g->metrics.width / 2.0) / 64 + room / 2;
    const double h = HeightOf(size);
    if (c == 0xAE) {
        const int across = std::max(1, int(std::lround(kRegistered * WidthOf(size) / kSymbolRing)));
        glyph.bitmap = SymbolShape('A', std::max(1, int(std::lround(kRegistered * h / kSymbolRing))), across);
        glyph.drawn = true;
        glyph.left = int(std::lround(centre - kRegistered * WidthOf(size) / 2));
        glyph.top = int(std::lround(kCapShare * h)) + kRise;  // on the capitals' top
        return glyph;
    }
    double scale = 1, raise = 0;
    if (c == 0xAA || c == 0xBA) {
        if (FT_Load_Char(face, c == 0xAA ? U'a' : U'o', FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
            return glyph;
        scale = kOrdinalScale;
        raise = kCapShare * h - scale * g->metrics.horiBearingY / 64.0;
    }
    const double across = scale * fit.ink;
    const double inkCentre = (g->metrics.horiBearingX + g->metrics.width / 2.0) / 64 * across;
    FT_Matrix matrix = {FT_Fixed(std::lround(across * 65536)), 0, 0, FT_Fixed(std::lround(scale * 65536))};
    FT_Outline_Transform(&g->outline, &matrix);
    FT_Outline_Translate(&g->outline, FT_Pos(std::lround((centre - inkCentre) * 64)), FT_Pos(std::lround(raise * 64)));
    FT_Outline_EmboldenXY(&g->outline, FT_Pos(kBoldenX * size.emX * 64), FT_Pos(kBoldenY * size.emY * 64));
    if (FT_Render_Glyph(g, FT_RENDER_MODE_MONO) != 0)
        return glyph;
    glyph.drawn = true;
    glyph.bitmap = GlyphBitmap(g->bitmap);
    glyph.left = g->bitmap_left;
    glyph.top = g->bitmap_top + kRise;
    return glyph;
}

}  // namespace zpl

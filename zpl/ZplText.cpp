#include "zpl/ZplText.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <vector>

namespace zpl {

namespace {

// Font 0's metrics against the field's height h and width w, tuned to the
// reference viewer's pictures: the em is a little over h, and the baseline
// sits this share of h below the field's top.
constexpr double kEmPerHeight = 1.045;
constexpr double kWidthScale = 0.88;
// Widths follow w, a little more than in proportion: w (w / h)^0.1.
constexpr double kWidthGrowth = 0.1;
constexpr double kBaselineShare = 0.77;
// The viewer's strokes are heavier than the free font's: outlines grow by
// this share of the em; glyphs sit this many dots above the baseline row.
constexpr double kBolden = 0.05;
constexpr int kRise = 1;
// Its small letters are this much wider than the free font's.
constexpr double kSmallWidth = 1.12;
// Its hyphen is a bar `width` of the em across in an advance of `advance`,
// from `top` to `bottom` of the height above the baseline.
constexpr struct { double advance, width, top, bottom; } kDash = {1.06, 0.6, 0.40, 0.28};
// And its spaces wider by this share of the em.
constexpr double kSpaceExtra = 0.17;

// Where the fonts may be installed (Debian fonts-texgyre, fonts-dejavu-core);
// no fontconfig: the printer application runs with few libraries.
const char* const kScalablePaths[] = {
    "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyreheroscn-bold.otf",
    "/usr/share/fonts/opentype/tex-gyre/texgyreheroscn-bold.otf",
    "/usr/local/share/fonts/texgyreheroscn-bold.otf",
};
const char* const kMonoPaths[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyrecursor-regular.otf",
};
const char* const kMonoBoldPaths[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf",
    "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyrecursor-bold.otf",
};

// The 203 dpi cells: height x width, the gap after each character and the
// baseline row.
struct NamedCell {
    char name;
    FixedCell cell;
};
const NamedCell kCells[] = {
    {'A', {9, 5, 1, 7, false}},    {'B', {11, 7, 2, 11, true}},   {'C', {18, 10, 2, 14, false}},
    {'D', {18, 10, 2, 14, false}}, {'E', {28, 15, 5, 23, false}}, {'F', {26, 13, 3, 21, false}},
    {'G', {60, 40, 8, 48, true}},  {'H', {21, 13, 6, 21, false}},
};

// The mono face's cap height and advance, per em.
constexpr double kMonoCapHeight = 0.729, kMonoAdvance = 0.602;

FT_Face OpenFirst(FT_Library library, const char* const* paths, size_t count) {
    for (size_t i = 0; i < count; i++) {
        FT_Face face = nullptr;
        if (access(paths[i], R_OK) == 0 && FT_New_Face(library, paths[i], 0, &face) == 0)
            return face;
    }
    return nullptr;
}

// The glyph FreeType just rendered in one bit, as a bitmap.
ZplBitmap GlyphBitmap(const FT_Bitmap& b) {
    ZplBitmap out(int(b.width), int(b.rows));
    const size_t bytes = std::min(out.RowBytes(), size_t(std::abs(b.pitch)));
    for (unsigned y = 0; y < b.rows; y++)
        std::copy_n(b.buffer + ptrdiff_t(y) * b.pitch, bytes, out.Row(int(y)));
    return out;
}

}  // namespace

bool FixedCellOf(char name, FixedCell& cell) {
    const char upper = char(std::toupper(static_cast<unsigned char>(name)));
    for (const NamedCell& c : kCells)
        if (c.name == upper) {
            cell = c.cell;
            return true;
        }
    return false;
}

struct ZplFonts::Faces {
    FT_Library library = nullptr;
    FT_Face scalable = nullptr, mono = nullptr, monoBold = nullptr;
    bool tried = false;

    void Open() {
        if (tried)
            return;
        tried = true;
        if (FT_Init_FreeType(&library) != 0) {
            library = nullptr;
            return;
        }
        scalable = OpenFirst(library, kScalablePaths, std::size(kScalablePaths));
        mono = OpenFirst(library, kMonoPaths, std::size(kMonoPaths));
        monoBold = OpenFirst(library, kMonoBoldPaths, std::size(kMonoBoldPaths));
    }
    ~Faces() {
        if (scalable)
            FT_Done_Face(scalable);
        if (mono)
            FT_Done_Face(mono);
        if (monoBold)
            FT_Done_Face(monoBold);
        if (library)
            FT_Done_FreeType(library);
    }
};

ZplFonts::ZplFonts(double dotScale) : m_Faces(new Faces), m_DotScale(dotScale) {}
ZplFonts::~ZplFonts() = default;

namespace {

// How a request in a monospace font is laid out, in page dots: the fixed
// cells, and the stand-ins the reference viewer draws for font names a
// printer has no font for.
struct MonoLayout {
    bool bold = false;
    double emX = 0, emY = 0;  // the face's size
    int advance = 0, height = 0, baseline = 0;
};

// The cell of a fixed-cell font, magnified by whole multiples.
MonoLayout CellLayout(const FixedCell& cell, const FontRequest& font, double scale) {
    int mh = 1, mw;
    const double h = cell.height * scale, w = cell.width * scale;
    if (font.height > 0)
        mh = std::max(1, int(std::lround(font.height / h)));
    mw = font.width > 0 ? std::max(1, int(std::lround(font.width / w))) : mh;
    if (font.height <= 0 && font.width > 0)
        mh = mw;
    MonoLayout l;
    l.bold = cell.bold;
    l.height = std::max(1, int(std::lround(cell.height * mh * scale)));
    l.advance = std::max(1, int(std::lround((cell.width + cell.gap) * mw * scale)));
    l.baseline = int(std::lround(cell.baseline * mh * scale));
    l.emY = l.baseline / kMonoCapHeight;
    l.emX = cell.width * mw * scale / kMonoAdvance;
    return l;
}

// Font names the printer has no font for. The reference viewer draws digit
// names (^A1) in a plain monospace font with an em of twice the width, and
// letters (^AP, ^AQ, ^AS, ...) in a bold one stretched to an advance of the
// width, capitals two thirds of the height tall.
MonoLayout StandInLayout(const FontRequest& font) {
    const int h = std::max(1, font.height), w = font.width > 0 ? font.width : h;
    MonoLayout l;
    if (std::isdigit(static_cast<unsigned char>(font.name))) {
        l.emX = l.emY = 2.0 * w;
        l.baseline = int(std::lround(l.emY * kMonoCapHeight));
        l.height = int(std::lround(l.emY * 1.2));
    } else {
        l.bold = true;
        l.emX = w / kMonoAdvance;
        l.emY = 2.0 / 3.0 * h / kMonoCapHeight;
        l.baseline = int(std::lround(h * kBaselineShare));
        l.height = h;
    }
    l.advance = std::max(1, int(std::lround(l.emX * kMonoAdvance)));
    return l;
}

// Font 0 by its name, and every name the viewer draws in it.
bool IsScalable(char name) { return name == '0'; }

bool MonoLayoutOf(const FontRequest& font, double scale, MonoLayout& layout) {
    FixedCell cell;
    if (FixedCellOf(font.name, cell)) {
        layout = CellLayout(cell, font, scale);
        return true;
    }
    if (IsScalable(font.name))
        return false;
    layout = StandInLayout(font);
    return true;
}

}  // namespace

bool ZplFonts::Available(const FontRequest& font, std::string& problem) {
    m_Faces->Open();
    MonoLayout layout;
    const bool mono = MonoLayoutOf(font, m_DotScale, layout);
    if (mono ? (layout.bold ? m_Faces->monoBold : m_Faces->mono) : m_Faces->scalable)
        return true;
    problem = mono ? "no monospace font is installed (Debian fonts-dejavu-core): text in font " +
                         std::string(1, font.name) + " is not drawn"
                   : "the scalable font TeX Gyre Heros Cn Bold is not installed (Debian fonts-texgyre): text in "
                     "font 0 is not drawn";
    return false;
}

int ZplFonts::LineHeight(const FontRequest& font) const {
    MonoLayout layout;
    if (MonoLayoutOf(font, m_DotScale, layout))
        return layout.height;
    return std::max(1, font.height);
}

int ZplFonts::Baseline(const FontRequest& font) const {
    MonoLayout layout;
    if (MonoLayoutOf(font, m_DotScale, layout))
        return layout.baseline;
    return int(std::lround(std::max(1, font.height) * kBaselineShare));
}

int ZplFonts::Measure(const std::u32string& text, const FontRequest& font) { return DrawLine(text, font).advance; }

TextDrawing ZplFonts::DrawLine(const std::u32string& text, const FontRequest& font) {
    m_Faces->Open();
    TextDrawing out;
    out.baseline = Baseline(font);
    const int height = LineHeight(font);
    MonoLayout layout;
    const bool mono = MonoLayoutOf(font, m_DotScale, layout);
    FT_Face face = mono ? (layout.bold ? m_Faces->monoBold : m_Faces->mono) : m_Faces->scalable;
    if (!face || text.empty()) {
        out.bitmap = ZplBitmap(0, height);
        return out;
    }
    // Glyphs first, then the line: its width is known only at the end.
    struct Placed {
        ZplBitmap bitmap;
        int x, y;
    };
    std::vector<Placed> glyphs;
    int right = 0;
    if (mono) {
        FT_Set_Char_Size(face, FT_F26Dot6(std::lround(layout.emX * 64)), FT_F26Dot6(std::lround(layout.emY * 64)), 72,
                         72);
        const int glyphWidth = int(std::lround(layout.emX * kMonoAdvance));
        for (size_t i = 0; i < text.size(); i++) {
            if (FT_Load_Char(face, text[i], FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
                continue;
            const FT_GlyphSlot g = face->glyph;
            const int advance = int(g->advance.x >> 6);
            glyphs.push_back({GlyphBitmap(g->bitmap),
                              int(i) * layout.advance + (glyphWidth - advance) / 2 + g->bitmap_left,
                              layout.baseline - g->bitmap_top});
        }
        out.advance = int(text.size()) * layout.advance;
    } else {
        const int h = std::max(1, font.height), w = font.width > 0 ? font.width : h;
        const double emY = kEmPerHeight * h,
                     emX = kEmPerHeight * kWidthScale * w * std::pow(double(w) / h, kWidthGrowth);
        FT_Set_Char_Size(face, FT_F26Dot6(std::lround(emX * 64)), FT_F26Dot6(std::lround(emY * 64)), 72, 72);
        double pen = 0;
        for (const char32_t c : text) {
            if (c == U'-') {
                // The viewer's hyphen is a dash with room either side.
                const int width = int(std::lround(kDash.width * emX)), top = int(std::lround(kDash.top * h));
                ZplBitmap bar(width, std::max(1, top - int(std::lround(kDash.bottom * h))));
                bar.Fill(0, 0, bar.Width(), bar.Height());
                const double advance = kDash.advance * emX;
                glyphs.push_back({std::move(bar), int(std::lround(pen + (advance - width) / 2)), out.baseline - top});
                pen += advance;
                continue;
            }
            const bool small = (c >= U'a' && c <= U'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7);
            const double stretch = small ? kSmallWidth : 1.0;
            FT_Matrix matrix = {FT_Fixed(std::lround(stretch * 65536)), 0, 0, 0x10000};
            FT_Set_Transform(face, &matrix, nullptr);
            if (FT_Load_Char(face, c, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
                continue;
            const FT_GlyphSlot g = face->glyph;
            if (kBolden > 0)
                FT_Outline_Embolden(&g->outline, FT_Pos(kBolden * emY * 64));
            if (FT_Render_Glyph(g, FT_RENDER_MODE_MONO) != 0)
                continue;
            glyphs.push_back(
                {GlyphBitmap(g->bitmap), int(std::lround(pen)) + g->bitmap_left, out.baseline - kRise - g->bitmap_top});
            pen += stretch * g->linearHoriAdvance / 65536.0 + (c == U' ' ? kSpaceExtra * emX : 0);
        }
        FT_Set_Transform(face, nullptr, nullptr);
        out.advance = int(std::lround(pen));
    }
    for (const Placed& p : glyphs)
        right = std::max(right, p.x + p.bitmap.Width());
    out.bitmap = ZplBitmap(std::max(right, out.advance), height);
    for (const Placed& p : glyphs)
        out.bitmap.Draw(p.bitmap, p.x, p.y);
    return out;
}

namespace {

// ^FB's lines: paragraphs split at kLineBreak, each filled word by word to `width`.
std::vector<std::u32string> BreakLines(const std::u32string& text, int width, int indent,
                                       const std::function<int(const std::u32string&)>& measure) {
    std::vector<std::u32string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(kLineBreak, start);
        const std::u32string paragraph = text.substr(start, end == std::u32string::npos ? end : end - start);
        std::u32string line;
        size_t i = 0;
        bool any = false;
        while (i <= paragraph.size()) {
            size_t space = paragraph.find(U' ', i);
            if (space == std::u32string::npos)
                space = paragraph.size();
            const std::u32string word = paragraph.substr(i, space - i);
            const std::u32string candidate = line.empty() ? word : line + U" " + word;
            const int room = width - (lines.empty() ? 0 : indent);
            if (!line.empty() && measure(candidate) > room) {
                lines.push_back(line);
                line = word;
            } else {
                line = candidate;
            }
            any = true;
            i = space + 1;
        }
        if (any)
            lines.push_back(line);
        if (end == std::u32string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

}  // namespace

TextDrawing ZplFonts::DrawBlock(const std::u32string& text, const FontRequest& font, const TextBlock& block) {
    const auto measure = [&](const std::u32string& s) { return Measure(s, font); };
    const std::vector<std::u32string> lines = BreakLines(text, block.width, block.indent, measure);
    const int maxLines = std::max(1, block.lines);
    const int lineHeight = LineHeight(font), pitch = lineHeight + block.spacing;
    TextDrawing out;
    out.baseline = (maxLines - 1) * pitch + Baseline(font);
    std::vector<TextDrawing> drawn;
    int width = std::max(block.width, 0);
    for (const std::u32string& line : lines) {
        drawn.push_back(DrawLine(line, font));
        width = std::max(width, drawn.back().bitmap.Width());
    }
    out.bitmap = ZplBitmap(width, (maxLines - 1) * pitch + lineHeight);
    for (size_t i = 0; i < drawn.size(); i++) {
        const int row = int(std::min(i, size_t(maxLines - 1))) * pitch;
        const int indent = i > 0 ? block.indent : 0;
        const int lineWidth = drawn[i].advance;
        int x = indent;
        if (block.justify == 'C')
            x = (block.width - lineWidth) / 2;
        else if (block.justify == 'R')
            x = block.width - lineWidth;
        const bool justify =
            block.justify == 'J' && i + 1 < drawn.size() && lines[i].find(U' ') != std::u32string::npos;
        if (!justify) {
            out.bitmap.Draw(drawn[i].bitmap, x, row);
            continue;
        }
        // Justified: the words spread so the line fills the block.
        std::vector<std::u32string> words;
        size_t s = 0;
        for (size_t e; (e = lines[i].find(U' ', s)) != std::u32string::npos; s = e + 1)
            words.push_back(lines[i].substr(s, e - s));
        words.push_back(lines[i].substr(s));
        int total = 0;
        std::vector<TextDrawing> pieces;
        for (const std::u32string& w : words) {
            pieces.push_back(DrawLine(w, font));
            total += pieces.back().advance;
        }
        const double gap = double(block.width - indent - total) / double(words.size() - 1);
        double pen = indent;
        for (const TextDrawing& p : pieces) {
            out.bitmap.Draw(p.bitmap, int(std::lround(pen)), row);
            pen += p.advance + gap;
        }
    }
    out.advance = width;
    return out;
}

}  // namespace zpl

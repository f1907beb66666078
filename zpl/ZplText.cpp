#include "zpl/ZplText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "zpl/ZplScalableFont.h"

namespace zpl {

namespace {

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
// The viewer's bold cells (font B) are filled wider than the mono bold
// face's advance would: its em across is the cell's width over this.
constexpr double kBoldCellWidth = 0.55;
// The stand-ins for letter names put the baseline this share of the height
// below the top; those for digit names set lines this many ems apart.
constexpr double kStandInBaseline = 0.77, kStandInLine = 0.9;

// The faces a label uses: scalable, mono, mono bold.
enum FaceIndex { kScalableFace, kMonoFace, kMonoBoldFace, kFaceCount };
const struct {
    const char* const* paths;
    size_t count;
} kFaceFiles[kFaceCount] = {{kScalablePaths, std::size(kScalablePaths)},
                            {kMonoPaths, std::size(kMonoPaths)},
                            {kMonoBoldPaths, std::size(kMonoBoldPaths)}};

// Face `which`'s file: the first of its paths that reads, whole; empty when
// none does. Read once per process and shared, read only, by every
// interpreter (a job then opens its faces from memory, sparing it the
// file's mapping, page faults and unmapping); tried again while missing.
const std::string& FontFile(FaceIndex which) {
    static std::mutex lock;
    static std::string files[kFaceCount];
    std::lock_guard<std::mutex> hold(lock);
    std::string& bytes = files[which];
    for (size_t i = 0; i < kFaceFiles[which].count && bytes.empty(); i++) {
        std::ifstream file(kFaceFiles[which].paths[i], std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    return bytes;  // never changed once read
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

namespace {

// A glyph as FreeType drew it at one size. Drawing an outline is most of a
// label's time, and a label repeats its characters (a stream its labels):
// each is drawn once per interpreter.
using CachedGlyph = DrawnGlyph;

struct GlyphKey {
    FT_Face face;
    char32_t c;
    // The size the face was set to; for font 0 it also names the field's
    // height and width, which the emboldening and the room between glyphs follow.
    FT_F26Dot6 width, height;
    bool operator==(const GlyphKey& o) const {
        return face == o.face && c == o.c && width == o.width && height == o.height;
    }
};

struct GlyphKeyHash {
    size_t operator()(const GlyphKey& k) const {
        size_t h = std::hash<const void*>()(k.face);
        for (const size_t v : {size_t(k.c), size_t(k.width), size_t(k.height)})
            h = h * 1000003u ^ v;
        return h;
    }
};

// Beyond this many glyphs (a stream of ever new sizes) the cache starts over.
const size_t kMaxCachedGlyphs = 4096;

}  // namespace

// Each face is opened when a field first needs it.
struct ZplFonts::Faces {
    FT_Library library = nullptr;
    bool libraryTried = false;
    FT_Face faces[kFaceCount] = {};
    bool tried[kFaceCount] = {};
    std::unordered_map<GlyphKey, CachedGlyph, GlyphKeyHash> glyphs;

    FT_Face Face(bool mono, bool bold) {
        const FaceIndex which = mono ? (bold ? kMonoBoldFace : kMonoFace) : kScalableFace;
        if (!libraryTried) {
            libraryTried = true;
            if (FT_Init_FreeType(&library) != 0)
                library = nullptr;
        }
        if (library && !tried[which]) {
            tried[which] = true;
            const std::string& font = FontFile(which);
            if (font.empty() || FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(font.data()),
                                                   FT_Long(font.size()), 0, &faces[which]) != 0)
                faces[which] = nullptr;
        }
        return faces[which];
    }
    ~Faces() {
        for (FT_Face face : faces)
            if (face)
                FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
};

namespace {

// The cached glyph of `c` at `face`'s size, drawn by `draw` (which sets the
// face's size first) when new.
template <typename Draw>
const CachedGlyph& Glyph(std::unordered_map<GlyphKey, CachedGlyph, GlyphKeyHash>& cache, const GlyphKey& key,
                         const Draw& draw) {
    auto found = cache.find(key);
    if (found != cache.end())
        return found->second;
    CachedGlyph& glyph = cache[key];
    draw(glyph);
    return glyph;
}

}  // namespace

ZplFonts::ZplFonts(double dotScale, size_t maxDots)
    : m_Faces(new Faces), m_DotScale(dotScale), m_MaxDots(double(maxDots)) {}
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
    l.emX = cell.width * mw * scale / (cell.bold ? kBoldCellWidth : kMonoAdvance);
    return l;
}

// Font names the printer has no font for. The reference viewer draws digit
// names (^A1) in a plain monospace font with an em of twice the width (its
// lines closer than the em, its baseline rounded down), and letters (^AP,
// ^AQ, ^AS, ...) in a bold one stretched to an advance of the width,
// capitals two thirds of the height tall.
MonoLayout StandInLayout(const FontRequest& font) {
    const int h = std::max(1, font.height), w = font.width > 0 ? font.width : h;
    MonoLayout l;
    if (std::isdigit(static_cast<unsigned char>(font.name))) {
        l.emX = l.emY = 2.0 * w;
        l.baseline = int(l.emY * kMonoCapHeight);
        l.height = int(std::lround(l.emY * kStandInLine));
    } else {
        l.bold = true;
        l.emX = w / kMonoAdvance;
        l.emY = 2.0 / 3.0 * h / kMonoCapHeight;
        l.baseline = int(std::lround(h * kStandInBaseline));
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
    MonoLayout layout;
    const bool mono = MonoLayoutOf(font, m_DotScale, layout);
    if (m_Faces->Face(mono, layout.bold))
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
    return ScalableBaseline(font.height);
}

int ZplFonts::Measure(const std::u32string& text, const FontRequest& font) { return DrawLine(text, font).advance; }

TextDrawing ZplFonts::DrawLine(const std::u32string& text, const FontRequest& font) {
    TextDrawing out;
    out.baseline = Baseline(font);
    const int height = LineHeight(font);
    MonoLayout layout;
    const bool mono = MonoLayoutOf(font, m_DotScale, layout);
    FT_Face face = m_Faces->Face(mono, layout.bold);
    if (!face || text.empty()) {
        out.bitmap = ZplBitmap(0, height);
        return out;
    }
    // A glyph over the limit is not drawn at all (nor cached).
    const ScalableSize scalable = ScalableSizeOf(font.height, font.width);
    if ((mono ? layout.emX * layout.emY : scalable.emX * scalable.emY) > m_MaxDots) {
        out.tooLarge = true;
        return out;
    }
    auto& cache = m_Faces->glyphs;
    if (cache.size() > kMaxCachedGlyphs)
        cache.clear();  // before any glyph of this line is taken from it
    // Glyphs first, then the line: its width is known only at the end.
    struct Placed {
        const ZplBitmap* bitmap;
        int x, y;
    };
    std::vector<Placed> glyphs;
    if (mono) {
        const FT_F26Dot6 sizeX = std::lround(layout.emX * 64), sizeY = std::lround(layout.emY * 64);
        auto draw = [&](char32_t c, CachedGlyph& glyph) {
            FT_Set_Char_Size(face, sizeX, sizeY, 72, 72);
            if (FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
                return;
            const FT_GlyphSlot g = face->glyph;
            glyph = {true, GlyphBitmap(g->bitmap), g->bitmap_left, g->bitmap_top, double(g->advance.x >> 6)};
        };
        if (double(text.size()) * layout.advance * height > m_MaxDots) {
            out.tooLarge = true;
            return out;
        }
        const int glyphWidth = int(std::lround(layout.emX * kMonoAdvance));
        for (size_t i = 0; i < text.size(); i++) {
            const CachedGlyph& g =
                Glyph(cache, {face, text[i], sizeX, sizeY}, [&](CachedGlyph& glyph) { draw(text[i], glyph); });
            if (!g.drawn)
                continue;
            const int advance = int(g.advance);
            glyphs.push_back(
                {&g.bitmap, int(i) * layout.advance + (glyphWidth - advance) / 2 + g.left, layout.baseline - g.top});
        }
        out.advance = int(text.size()) * layout.advance;
    } else {
        const ScalableSize& size = scalable;
        const FT_F26Dot6 sizeX = std::lround(size.emX * 64), sizeY = std::lround(size.emY * 64);
        // The line's box starts at the origin, its first glyph a little left
        // of where the room around it would put it.
        const double lead = ScalableLead(size);
        double pen = -lead;
        for (const char32_t c : text) {
            const CachedGlyph& g = Glyph(cache, {face, c, sizeX, sizeY},
                                         [&](CachedGlyph& glyph) { glyph = DrawScalableGlyph(face, c, size); });
            if (!g.drawn)
                continue;
            glyphs.push_back({&g.bitmap, int(std::lround(pen)) + g.left, out.baseline - g.top});
            pen += g.advance;
            if (pen * height > m_MaxDots) {
                out.tooLarge = true;
                return out;
            }
        }
        out.advance = int(std::lround(pen + lead));
    }
    // A fixed cell holds its glyphs; other fonts' reach over the line's box
    // (accents over capitals) is drawn.
    FixedCell cell;
    const bool clipped = FixedCellOf(font.name, cell);
    int right = 0, top = 0, bottom = height;
    for (const Placed& p : glyphs) {
        right = std::max(right, p.x + p.bitmap->Width());
        if (!clipped) {
            top = std::min(top, p.y);
            bottom = std::max(bottom, p.y + p.bitmap->Height());
        }
    }
    out.above = -top;
    out.below = bottom - height;
    out.baseline += out.above;
    if (double(std::max(right, out.advance)) * (bottom - top) > m_MaxDots) {
        out.tooLarge = true;
        return out;
    }
    out.bitmap = ZplBitmap(std::max(right, out.advance), bottom - top);
    for (const Placed& p : glyphs)
        out.bitmap.Draw(*p.bitmap, p.x, p.y - top);
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
        out.tooLarge |= drawn.back().tooLarge;
        width = std::max(width, drawn.back().bitmap.Width());
        out.above = std::max(out.above, drawn.back().above);
        out.below = std::max(out.below, drawn.back().below);
    }
    out.baseline += out.above;
    const double height = double(out.above) + double(maxLines - 1) * pitch + lineHeight + out.below;
    if (out.tooLarge || double(width) * height > m_MaxDots) {
        out.tooLarge = true;
        return out;
    }
    out.bitmap = ZplBitmap(width, int(height));
    for (size_t i = 0; i < drawn.size(); i++) {
        // The top of the line's box, each line's reach over it drawn above.
        const int row = out.above + int(std::min(i, size_t(maxLines - 1))) * pitch;
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
            out.bitmap.Draw(drawn[i].bitmap, x, row - drawn[i].above);
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
            out.bitmap.Draw(p.bitmap, int(std::lround(pen)), row - p.above);
            pen += p.advance + gap;
        }
    }
    out.advance = width;
    return out;
}

}  // namespace zpl

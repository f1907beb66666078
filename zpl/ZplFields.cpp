#include <algorithm>
#include <cctype>
#include <cmath>

#include "zpl/ZplCharsets.h"
#include "zpl/ZplGraphics.h"
#include "zpl/ZplLabelMaker.h"
#include "zpl/ZplPlacement.h"

namespace zpl {

namespace {

// The size the font letter takes when the label gives none (^CF's default
// font A is 9 dots tall at 203 dpi).
constexpr int kDefaultFontHeight = 9;

std::string Utf8(const std::u32string& text) {
    std::string out;
    for (const char32_t c : text) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

FontRequest ZplLabelMaker::FieldFont() const {
    FontRequest f = m_Field.font ? *m_Field.font : m_Stream.defaultFont;
    FixedCell cell;
    if (f.height <= 0 && f.width > 0 && !FixedCellOf(f.name, cell))
        f.height = f.width;
    if (f.height <= 0 && !FixedCellOf(f.name, cell))
        f.height = m_Stream.defaultFont.height > 0 ? m_Stream.defaultFont.height : ToDots(kDefaultFontHeight);
    return f;
}

char ZplLabelMaker::FieldOrientation() const {
    return m_Field.orientation ? *m_Field.orientation : m_Stream.orientation;
}

Blend ZplLabelMaker::FieldBlend(Blend base) const {
    return m_Field.reverse || m_Stream.reverseAll ? Blend::Reverse : base;
}

void ZplLabelMaker::AddField(const std::string& line) { m_Label.fields.push_back(line); }

int ZplLabelMaker::JustifiedX(int length) const {
    return m_Field.rightJustified && QuarterTurns(FieldOrientation()) % 2 == 0 ? m_Field.x - length : m_Field.x;
}

void ZplLabelMaker::FieldOrigin(const ZplParams& p, bool typeset) {
    m_Field.typeset = typeset;
    m_Field.positioned = true;
    m_Field.rightJustified = p.Int(2, m_Stream.justification) == 1;
    if (typeset && !p.Has(0) && !p.Has(1)) {
        m_Field.x = m_PenX;
        m_Field.y = m_PenY;
        return;
    }
    m_Field.x = m_Stream.homeX + ToDots(p.Number(0, 0)) - m_Stream.shiftLeft;
    m_Field.y = m_Stream.homeY + ToDots(p.Number(1, 0)) + m_Stream.shiftTop;
}

bool ZplLabelMaker::ExecuteField(const std::string& name, const ZplParams& p, const ZplCommand& command) {
    FieldState& f = m_Field;
    if (name == "FO" || name == "FT") {
        FieldOrigin(p, name == "FT");
    } else if (name.size() == 2 && name[0] == 'A') {
        // ^A@ and ^CW's letters name downloaded fonts: font 0 stands in for them.
        const char letter = name[1] == '@' || m_Stream.downloadedFonts.count(name[1]) ? '0' : name[1];
        FontRequest font{letter, 0, 0};
        if (p.Has(1))
            font.height = FontDots(p.Number(1, 0));
        if (p.Has(2))
            font.width = FontDots(p.Number(2, 0));
        f.font = m_LastFont = font;
        const char o = p.Letter(0, 0);
        if (IsOrientation(o))
            f.orientation = o;
    } else if (name == "FD" || name == "FV") {
        f.hasData = true;
        f.data = command.params;
        f.dataTruncated = command.truncated || f.data.size() > m_Options.maxFieldBytes;
    } else if (name == "FH") {
        f.hexEscape = command.params.empty() ? '_' : command.params[0];
    } else if (name == "FR") {
        f.reverse = true;
    } else if (name == "FN") {
        f.number = p.Int(0, 0);
    } else if (name == "FB" || name == "TB") {
        TextBlock b;
        if (name == "TB") {
            const char o = p.Letter(0, 0);
            if (IsOrientation(o))
                f.orientation = o;
            b.width = std::max(1, ToDots(p.Number(1, 1)));
            const int height = std::max(1, ToDots(p.Number(2, 1)));
            b.lines = std::max(1, height / std::max(1, m_Fonts.LineHeight(FieldFont())));
        } else {
            b.width = std::max(0, ToDots(p.Number(0, 0)));
            b.lines = std::max(1, std::min(9999, p.Int(1, 1)));
            b.spacing = std::clamp(ToDots(p.Number(2, 0)), -kMaxFontDots, kMaxFontDots);
            b.justify = p.Letter(3, 'L');
            b.indent = std::max(0, ToDots(p.Number(4, 0)));
        }
        f.block = b;
    } else if (name == "FS") {
        EndField();
    } else if (name == "GB") {
        const int t = std::max(1, ToDots(p.Number(2, 1)));
        const int w = std::max(t, ToDots(p.Number(0, 1))), h = std::max(t, ToDots(p.Number(1, 1)));
        const int r = std::max(0, std::min(8, p.Int(4, 0)));
        if (!Fits(w, h, "a box (^GB)"))
            return true;
        Graphic(BoxShape(w, h, t, r), p.Letter(3, 'B') == 'W' ? Blend::White : Blend::Black,
                "box " + std::to_string(w) + "x" + std::to_string(h));
    } else if (name == "GD") {
        const int t = std::max(1, ToDots(p.Number(2, 1)));
        const int w = std::max(t, ToDots(p.Number(0, 1))), h = std::max(t, ToDots(p.Number(1, 1)));
        const char o = p.Letter(4, 'R');
        if (!Fits(w, h, "a diagonal line (^GD)"))
            return true;
        Graphic(DiagonalShape(w, h, t, o == 'R' || o == '/'), p.Letter(3, 'B') == 'W' ? Blend::White : Blend::Black,
                "diagonal " + std::to_string(w) + "x" + std::to_string(h));
    } else if (name == "GC") {
        const int d = std::max(3, ToDots(p.Number(0, 3))), t = std::max(1, ToDots(p.Number(1, 1)));
        if (!Fits(d, d, "a circle (^GC)"))
            return true;
        Graphic(CircleShape(d, t), p.Letter(2, 'B') == 'W' ? Blend::White : Blend::Black,
                "circle " + std::to_string(d));
    } else if (name == "GE") {
        const int t = std::max(1, ToDots(p.Number(2, 1)));
        const int w = std::max(t, ToDots(p.Number(0, 1))), h = std::max(t, ToDots(p.Number(1, 1)));
        if (!Fits(w, h, "an ellipse (^GE)"))
            return true;
        Graphic(EllipseShape(w, h, t), p.Letter(3, 'B') == 'W' ? Blend::White : Blend::Black,
                "ellipse " + std::to_string(w) + "x" + std::to_string(h));
    } else if (name == "GS") {
        const char o = p.Letter(0, 0);
        if (IsOrientation(o))
            f.orientation = o;
        // Without a size the reference viewer draws the symbol in the size of
        // the label's last ^A: as tall and wide as the mean of its height and width.
        const FontRequest font = f.font ? *f.font : m_LastFont ? *m_LastFont : FieldFont();
        f.kind = FieldState::Kind::Symbol;
        const int fontHeight = m_Fonts.LineHeight(font), fontWidth = font.width > 0 ? font.width : fontHeight;
        f.symbolHeight = p.Has(1) ? std::max(1, ToDots(p.Number(1, 0))) : (fontHeight + fontWidth + 1) / 2;
        f.symbolWidth = p.Has(2) ? std::max(1, ToDots(p.Number(2, 0))) : f.symbolHeight;
    } else if (name == "GF") {
        const ZplParams g(command.params, m_Reader.Delimiter(), 5);
        ZplBitmap image;
        std::string problem;
        // ASCII data counts the image's bytes in b as well as in c.
        const long sent = g.Count(1), total = g.Count(2);
        if (m_Options.strict && g.Letter(0, 'A') == 'A' && sent != total)
            problem = "b (" + std::to_string(sent) + ") is not c (" + std::to_string(total) + ") in ASCII data";
        else
            problem = GraphicData(command, g.Letter(0, 'A'), total, g.Count(3), g.Text(4), image);
        if (!problem.empty()) {
            Problem("a graphic (^GF) is not drawn: " + problem);
            return true;
        }
        Graphic(std::move(image), Blend::Black, "graphic", true);
    } else if (name == "XG") {
        const std::string object = p.Text(0), key = StoredName(object);
        const auto stored = m_Stream.graphics.find(key);
        if (stored == m_Stream.graphics.end()) {
            Problem("the graphic " + object + " (^XG) was never stored");
            return true;
        }
        const int mx = std::max(1, std::min(10, p.Int(1, 1))), my = std::max(1, std::min(10, p.Int(2, 1)));
        Graphic(Magnified(stored->second, mx, my), Blend::Black, "graphic " + key, true);
    } else if (name.size() == 2 && name[0] == 'B' && name != "BY") {
        f.kind = FieldState::Kind::Barcode;
        f.barcodeCommand = name;
        const ZplParams b(command.params, m_Reader.Delimiter());
        // ^BD (MaxiCode) alone has no orientation: its first parameter is the mode.
        const size_t first = name == "BD" ? 0 : 1;
        f.barcodeOrientation = first ? b.Letter(0, 0) : 'N';
        f.barcodeParams.clear();
        for (size_t i = first; i < b.Size(); i++)
            f.barcodeParams.push_back(b.Text(i));
    } else {
        return false;
    }
    return true;
}

bool ZplLabelMaker::Fits(double width, double height, const std::string& what) {
    if (width * height <= double(m_Options.maxCanvasDots))
        return true;
    TooLarge(what);
    return false;
}

void ZplLabelMaker::TooLarge(const std::string& what) {
    Problem(what + " is larger than " + std::to_string(m_Options.maxCanvasDots) + " dots: not drawn");
}

void ZplLabelMaker::Graphic(ZplBitmap mask, Blend blend, const std::string& what, bool inFormatDots) {
    m_Field.kind = FieldState::Kind::Graphic;
    const double scale = Scale();
    if (inFormatDots && std::abs(scale - 1) > 1e-9)
        mask = Scaled(mask, std::max(1, int(std::lround(mask.Width() * scale))),
                      std::max(1, int(std::lround(mask.Height() * scale))));
    m_Field.graphic = std::move(mask);
    m_Field.graphicBlend = blend;
    m_Field.graphicName = what;
}

void ZplLabelMaker::EndField() {
    FieldState f = std::move(m_Field);
    m_Field = FieldState();
    if (!m_InLabel)
        return;
    // A format recalled with ^XF: its fields take the data this label gives by number.
    if (f.number >= 0 && !m_Recalled.empty() && !m_Replaying) {
        if (f.hasData)
            m_Filled[f.number] = f.data;
        return;
    }
    if (f.number >= 0 && m_Replaying) {
        const auto filled = m_Filled.find(f.number);
        if (filled != m_Filled.end()) {
            f.data = filled->second;
            f.hasData = true;
        }
    }
    if (f.dataTruncated) {
        Problem("a field's data is over the limit of " + std::to_string(m_Options.maxFieldBytes) + " bytes: not drawn");
        return;
    }
    m_Field = std::move(f);
    std::string bytes = m_Field.data;
    if (m_Field.hexEscape)
        bytes = ResolveHexEscapes(bytes, *m_Field.hexEscape);
    switch (m_Field.kind) {
        case FieldState::Kind::Graphic:
            DrawGraphicField();
            break;
        case FieldState::Kind::Barcode:
            if (m_Field.hasData)
                DrawBarcodeField(bytes);
            break;
        case FieldState::Kind::Symbol: {
            const std::u32string text = DecodeText(bytes, m_Stream.charset);
            const size_t first = text.find_first_not_of(U' ');
            const double across = double(first + 1) * m_Field.symbolWidth;
            if (first != std::u32string::npos && text[first] < 0x80 &&
                Fits(across, m_Field.symbolHeight, "a symbol (^GS)")) {
                // Spaces before the symbol's letter move it on by a symbol's width each.
                const ZplBitmap shape = SymbolShape(char(text[first]), m_Field.symbolHeight, m_Field.symbolWidth);
                const int shift = int(first) * m_Field.symbolWidth;
                m_Field.graphic = ZplBitmap(shape.Width() + shift, shape.Height());
                m_Field.graphic.Draw(shape, shift, 0);
                m_Field.graphicName = "symbol " + std::string(1, char(text[first]));
                DrawGraphicField();
            }
            break;
        }
        case FieldState::Kind::None:
            if (m_Field.hasData)
                DrawText(bytes);
            break;
    }
    m_Field = FieldState();
}

void ZplLabelMaker::DrawGraphicField() {
    const FieldState& f = m_Field;
    ZplBitmap& page = Page();
    if (page.Width() == 0)
        return;
    const char o = FieldOrientation();
    PlaceField(page, f.graphic, f.graphic.Height(), o, f.typeset, JustifiedX(f.graphic.Width()), f.y,
               FieldBlend(f.graphicBlend));
    int x = f.x, y = f.y;
    AdvancePen(o, QuarterTurns(o) % 2 ? f.graphic.Height() : f.graphic.Width(), x, y);
    m_PenX = x;
    m_PenY = y;
    AddField(f.graphicName + " at " + std::to_string(f.x) + "," + std::to_string(f.y));
}

void ZplLabelMaker::DrawText(const std::string& bytes) {
    const FieldState& f = m_Field;
    const FontRequest font = FieldFont();
    std::string problem;
    if (!m_Fonts.Available(font, problem)) {
        Problem(problem);
        return;
    }
    std::u32string text;
    for (size_t start = 0;;) {
        const size_t end = f.block ? bytes.find("\\&", start) : std::string::npos;
        text += DecodeText(bytes.substr(start, end == std::string::npos ? end : end - start), m_Stream.charset);
        if (end == std::string::npos)
            break;
        text += kLineBreak;
        start = end + 2;
    }
    // Fonts B and H have capitals only.
    const char upper = char(std::toupper(static_cast<unsigned char>(font.name)));
    if (upper == 'B' || upper == 'H')
        for (char32_t& c : text)
            if (c >= U'a' && c <= U'z')
                c -= 32;
    TextDrawing drawing = f.block ? m_Fonts.DrawBlock(text, font, *f.block) : m_Fonts.DrawLine(text, font);
    if (drawing.tooLarge) {
        TooLarge("a text field");
        return;
    }
    ZplBitmap& page = Page();
    if (page.Width() == 0)
        return;
    const char o = FieldOrientation();
    // ^FO names the top left of the lines' box turned: what reaches over
    // its edge (accents over capitals, turned with the text) lies outside.
    const int q = QuarterTurns(o);
    const int outsideX = f.typeset ? 0 : q == 1 ? drawing.below : q == 3 ? drawing.above : 0;
    const int outsideY = f.typeset ? 0 : q == 0 ? drawing.above : q == 2 ? drawing.below : 0;
    PlaceField(page, drawing.bitmap, drawing.baseline, o, f.typeset, JustifiedX(drawing.advance) - outsideX,
               f.y - outsideY, FieldBlend(Blend::Black));
    int x = f.x, y = f.y;
    AdvancePen(o, drawing.advance, x, y);
    m_PenX = x;
    m_PenY = y;
    AddField("text " + std::string(1, font.name) + " " + std::to_string(font.height) + "x" +
             std::to_string(font.width > 0 ? font.width : font.height) + " at " + std::to_string(f.x) + "," +
             std::to_string(f.y) + ": " + Utf8(text));
}

std::string ZplLabelMaker::GraphicData(const ZplCommand& command, char format, long totalBytes, long rowBytes,
                                       const std::string& data, ZplBitmap& image) const {
    if (command.truncated)
        return "its data is over the limit of " + std::to_string(m_Options.maxGraphicBytes) + " bytes";
    GraphicLimits limits;
    limits.maxBytes = m_Options.maxGraphicBytes;
    limits.exact = m_Options.strict;
    std::string problem;
    if (!DecodeGraphic(format, totalBytes, rowBytes, data, limits, image, problem))
        return problem.empty() ? "its data is damaged" : problem;
    return std::string();
}

}  // namespace zpl

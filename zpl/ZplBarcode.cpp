#include "zpl/ZplBarcode.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "zpl/ZplCode128.h"
#include "zpl/ZplGraphics.h"
#include "zpl/ZplLinearCodes.h"
#include "zpl/ZplMatrixCodes.h"
#include "zpl/ZplPlacement.h"

namespace zpl {

namespace {

const int kMaxSide = 8000;  // dots: a field larger than any label fails

// The command's parameters after the orientation, empty ones meaning the
// default. Numbers may be written with a fraction (`^BCN,186.966`).
class Params {
public:
    explicit Params(const BarcodeField& f) : m_Field(f) {}
    std::string At(size_t i) const { return i < m_Field.params.size() ? m_Field.params[i] : std::string(); }
    int Int(size_t i, int fallback, int lo, int hi) const {
        const std::string s = At(i);
        char* end = nullptr;
        const double v = strtod(s.c_str(), &end);
        if (s.empty() || end == s.c_str() || !std::isfinite(v))
            return fallback;
        return int(std::max<double>(lo, std::min<double>(hi, v)));
    }
    bool Yes(size_t i, bool fallback) const {
        const std::string s = At(i);
        return s.empty() ? fallback : toupper((unsigned char)s[0]) == 'Y';
    }
    char Letter(size_t i, char fallback) const {
        const std::string s = At(i);
        return s.empty() ? fallback : char(toupper((unsigned char)s[0]));
    }

private:
    const BarcodeField& m_Field;
};

// Interpretation line geometry, from the reference viewer's pictures at
// 8 dots/mm: characters 7 modules tall, 6 dots under the bars, 12 dots above
// them; EAN/UPC digits 2 modules under the bars, their guards 6.5 modules
// longer.
int LineHeight(int module) { return 7 * module; }
const int kGapBelow = 6, kGapAbove = 12;

// Text the line writer can show: control characters (FNC, GS) left out.
std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text)
        if ((unsigned char)c >= 32)
            out += c;
    return out;
}

bool DrawLinear(const LinearSymbol& s, const BarcodeField& f, int height, bool line, bool above,
                const LineWriter& writeLine, BarcodeDrawing& out, std::string& problem) {
    const int w = std::max(1, std::min(f.moduleWidth, 10));
    const int wide = int(std::lround(w * std::max(2.0, std::min(f.ratio, 3.0))));
    std::vector<int> widths;
    widths.reserve(s.elements.size());
    long total = 0;
    for (char e : s.elements) {
        widths.push_back(e == 'n' ? w : e == 'w' ? wide : (e - '0') * w);
        total += widths.back();
    }
    if (total > kMaxSide) {
        problem = s.name + " is " + std::to_string(total) + " dots wide, wider than a label";
        return false;
    }
    const int th = LineHeight(w);
    // EAN and UPC: digits in groups beside and under the guards, never above
    // (the reference viewer prints none there).
    if (s.retail && above)
        line = false;
    const bool textAbove = line && above && !s.retail;
    const int guard = s.retail ? (13 * w + 1) / 2 : 0;
    const int top = textAbove ? th + kGapAbove : 0;
    int bottom = top + height + guard;
    int textTop = 0;
    if (line && !textAbove) {
        textTop = top + height + (s.retail ? 2 * w : kGapBelow);
        bottom = std::max(bottom, textTop + th);
    }
    // Where each piece of text goes, measured, before the bitmap is sized.
    struct Placed {
        std::string text;
        int x;
    };
    std::vector<Placed> placed;
    int minX = 0, maxX = int(total);
    if (line && writeLine)
        for (const LinearSymbol::Piece& p : s.pieces) {
            const std::string text = Printable(p.text);
            if (text.empty())
                continue;
            const int tw = std::max(0, writeLine(nullptr, 0, 0, th, text));
            const int centre = p.whole ? int(total) / 2 : (p.from + p.to) * w / 2;
            placed.push_back({text, centre - tw / 2});
            minX = std::min(minX, centre - tw / 2);
            maxX = std::max(maxX, centre - tw / 2 + tw);
        }
    if (maxX - minX > kMaxSide || bottom > kMaxSide) {
        problem = s.name + " is larger than a label";
        return false;
    }
    out.left = -minX;
    out.baseline = top + height;
    out.bitmap = ZplBitmap(maxX - minX, bottom);
    int x = out.left;
    for (size_t i = 0; i < widths.size(); i++) {
        if (i % 2 == 0)
            out.bitmap.Fill(x, top, widths[i], height + (!s.tall.empty() && s.tall[i] ? guard : 0));
        x += widths[i];
    }
    for (const Placed& p : placed)
        writeLine(&out.bitmap, p.x + out.left, textAbove ? 0 : textTop, th, p.text);
    return true;
}

// Each module `mx` x `my` dots.
void DrawScaled(const ZplBitmap& m, int mx, int my, BarcodeDrawing& out) {
    out.bitmap = Enlarged(m, mx, my, kMaxSide);
    out.baseline = out.bitmap.Height();
}

bool FitsLabel(const MatrixSymbol& m, int mx, int my, BarcodeDrawing& out, std::string& problem) {
    if (long(m.modules.Width()) * mx > kMaxSide || long(m.modules.Height()) * my > kMaxSide) {
        problem = m.summary + " at " + std::to_string(mx) + " dots a module is larger than a label";
        return false;
    }
    DrawScaled(m.modules, mx, my, out);
    out.summary = m.summary;
    return true;
}

bool DrawCode128(const BarcodeField& f, const Params& p, const LineWriter& writeLine, BarcodeDrawing& out,
                 std::string& problem) {
    const char mode = p.Letter(4, 'N');
    Code128Symbol symbol;
    if (!EncodeCode128(f.data, mode, p.Yes(3, false), symbol, problem))
        return false;
    LinearSymbol s;
    for (int v : symbol.values)
        s.elements += Code128Pattern(v);
    LinearSymbol::Piece piece;
    piece.text = symbol.text;
    piece.whole = true;
    s.pieces.push_back(piece);
    s.name = "Code 128";
    if (!DrawLinear(s, f, p.Int(0, f.barHeight, 1, kMaxSide), p.Yes(1, true), p.Yes(2, false), writeLine, out, problem))
        return false;
    out.summary = "Code 128 (" + std::string(1, mode) + ") " + std::to_string(symbol.characters) + " characters";
    return true;
}

// The two-width and retail codes: which parameters hold height, line and
// above, and the encoder.
bool DrawOneRow(const BarcodeField& f, const Params& p, const LineWriter& writeLine, BarcodeDrawing& out,
                std::string& problem) {
    const std::string& c = f.command;
    LinearSymbol s;
    size_t h = 0;  // index of the height; the line and above follow it
    bool ok = false;
    if (c == "B3") {
        h = 1;
        ok = EncodeCode39(f.data, p.Yes(0, false), s, problem);
    } else if (c == "B2") {
        ok = EncodeInterleaved2of5(f.data, p.Yes(3, false), s, problem);
    } else if (c == "BK") {
        h = 1;
        ok = EncodeCodabar(f.data, p.Letter(4, 'A'), p.Letter(5, 'A'), s, problem);
    } else if (c == "BE") {
        ok = EncodeEan13(f.data, s, problem);
    } else if (c == "B8") {
        ok = EncodeEan8(f.data, s, problem);
    } else if (c == "BU") {
        ok = EncodeUpcA(f.data, p.Yes(3, true), s, problem);
    } else if (c == "B9") {
        ok = EncodeUpcE(f.data, p.Yes(3, true), s, problem);
    }
    if (!ok)
        return false;
    if (!DrawLinear(s, f, p.Int(h, f.barHeight, 1, kMaxSide), p.Yes(h + 1, true), p.Yes(h + 2, false), writeLine, out,
                    problem))
        return false;
    out.summary = s.name + " " + std::to_string(s.characters) + " characters";
    return true;
}

// A module size the command gives, in the label's dots, in whole page dots.
int PageDots(int dots, const BarcodeField& f) { return std::max(1, int(std::lround(dots * f.scale))); }

bool DrawMatrix(const BarcodeField& f, const Params& p, BarcodeDrawing& out, std::string& problem) {
    const std::string& c = f.command;
    MatrixSymbol m;
    if (c == "BQ") {
        // Model 1 is drawn as model 2, the only one libzint makes.
        if (!EncodeQr(f.data, p.Letter(2, 0), p.Int(3, -1, -1, 7), m, problem))
            return false;
        const int mag = PageDots(p.Int(1, 2, 1, 10), f);
        return FitsLabel(m, mag, mag, out, problem);
    }
    if (c == "BX") {
        const std::string escape = p.At(5);
        if (!EncodeDataMatrix(f.data, escape.empty() ? '~' : escape[0], p.Int(3, 0, 0, 144), p.Int(2, 0, 0, 144),
                              p.Int(6, 1, 1, 2) == 2, m, problem))
            return false;
        // Without a module size the symbol is about ^BY's height tall.
        const int size = p.Int(0, 0, 0, 1000);
        const int module = size > 0 ? PageDots(size, f) : std::max(1, f.barHeight / std::max(1, m.modules.Height()));
        return FitsLabel(m, module, module, out, problem);
    }
    if (c == "B7") {
        if (!EncodePdf417(f.data, p.Int(1, 0, 0, 8), p.Int(2, 0, 0, 30), p.Int(3, 0, 0, 90), p.Yes(4, false), m,
                          problem))
            return false;
        const int w = std::max(1, std::min(f.moduleWidth, 10));
        const int rowHeight = p.Int(0, 0, 0, kMaxSide) > 0 ? PageDots(p.Int(0, 0, 0, kMaxSide), f)
                                                           : std::max(1, f.barHeight / m.modules.Height());
        return FitsLabel(m, w, rowHeight, out, problem);
    }
    if (c == "BO") {
        if (!EncodeAztec(f.data, p.Int(2, 0, 0, 300), m, problem))
            return false;
        const int mag = PageDots(p.Int(0, 2, 1, 10), f);
        return FitsLabel(m, mag, mag, out, problem);
    }
    // ^BD has no orientation: its parameters are mode, symbol number, total.
    if (!DrawMaxiCode(f.data, p.Int(0, 2, 0, 9), p.Int(1, 1, 1, 8), p.Int(2, 1, 1, 8), out.bitmap, out.summary,
                      problem))
        return false;
    // Drawn at 8 dots/mm; enlarged a dot to one or two, which readers take.
    if (f.scale != 1)
        out.bitmap = Scaled(out.bitmap, PageDots(out.bitmap.Width(), f), PageDots(out.bitmap.Height(), f));
    out.baseline = out.bitmap.Height();
    return true;
}

const char* const kCommands[] = {"BC", "B3", "B2", "BK", "BE", "B8", "BU", "B9", "B7", "BX", "BQ", "BO", "BD"};

}  // namespace

bool IsBarcodeCommand(const std::string& command) {
    for (const char* c : kCommands)
        if (command == c)
            return true;
    return false;
}

bool DrawBarcode(const BarcodeField& field, const LineWriter& writeLine, BarcodeDrawing& out, std::string& problem) {
    out = BarcodeDrawing();
    const Params p(field);
    if (!IsBarcodeCommand(field.command)) {
        problem = "^" + field.command + " is not a bar code this interpreter draws";
        return false;
    }
    if (field.data.empty()) {
        problem = "^" + field.command + " has no data";
        return false;
    }
    const std::string& c = field.command;
    if (c == "BC")
        return DrawCode128(field, p, writeLine, out, problem);
    if (c == "B7" || c == "BX" || c == "BQ" || c == "BO" || c == "BD")
        return DrawMatrix(field, p, out, problem);
    return DrawOneRow(field, p, writeLine, out, problem);
}

}  // namespace zpl

#include "printerapp/TestLabel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include "marks/BitmapFont.h"
#include "marks/Code128.h"
#include "marks/QrSymbol.h"

namespace TestLabel {

namespace {

// The sizes of the drawing, in dots, derived from the resolution.
struct Metrics {
    explicit Metrics(int dpi) : dpi(dpi) {}
    int Mm(double mm) const { return static_cast<int>(std::lround(mm * dpi / 25.4)); }
    int dpi;
    int line = std::max(1, dpi / 100);   // frame thickness
    int scale = std::max(1, dpi / 100);  // font dot
    int tick = std::max(1, dpi / 200);   // ruler tick width
    int gap = Mm(2);
    int barModule = std::max(2, dpi / 100);
    int qrModule = std::max(2, dpi / 67);  // 3 dots at 203 dpi, 4 at 300
};

// Millimetre ticks from the page's first dot, longer every 5 and 10 mm, the
// tens numbered beside their tick (`numbers`), along one edge inside the
// frame. Returns the depth the ruler takes from that edge.
int Ruler(CGrayCanvas& canvas, const Metrics& m, bool alongTop, bool numbers, int edge, int extent) {
    const int shortTick = m.Mm(1), midTick = m.Mm(2), longTick = m.Mm(3);
    for (int mm = 1;; mm++) {
        const int at = m.Mm(mm);
        if (at + m.tick > extent)
            break;
        const int length = mm % 10 == 0 ? longTick : mm % 5 == 0 ? midTick : shortTick;
        if (alongTop)
            canvas.FillRect(at, edge, m.tick, length);
        else
            canvas.FillRect(edge, at, length, m.tick);
        if (mm % 10 != 0 || !numbers)
            continue;
        const std::string number = std::to_string(mm);
        const int beside = at + m.tick + 1, below = edge + shortTick + 2;
        if (alongTop && beside + CGrayCanvas::TextWidth(m.scale, number.size()) <= extent)
            canvas.Text(beside, below, m.scale, number);
        else if (!alongTop && beside + CGrayCanvas::TextHeight(m.scale) <= extent)
            canvas.Text(below, beside, m.scale, number);
    }
    if (!numbers)
        return longTick;
    const int beside = alongTop ? CGrayCanvas::TextHeight(m.scale) : CGrayCanvas::TextWidth(m.scale, 3);
    return std::max(longTick, shortTick + 2 + beside);
}

// A part of the label: its size and how it is drawn at a top left corner.
// No drawing: it does not fit.
struct Block {
    int width = 0, height = 0;
    std::function<void(CGrayCanvas&, int, int)> draw;
};

// Makes a block within `width` x `height` dots: at its full size only, or
// (`full` false) as small as it may become.
using BlockMaker = std::function<Block(int width, int height, bool full)>;

// Eight patches from light to full black, each with its share of black.
Block DarknessSteps(const Metrics& m, int width, int height, bool full) {
    const int steps = 8, space = m.Mm(1), patchHeight = m.Mm(5);
    const int patch = full ? m.Mm(6) : std::min(m.Mm(6), (width - (steps - 1) * space) / steps);
    const int scale = CGrayCanvas::TextWidth(m.scale, 3) <= patch ? m.scale : 1;
    Block block;
    block.width = steps * patch + (steps - 1) * space;
    block.height = patchHeight + 2 + CGrayCanvas::TextHeight(scale);
    if (patch < m.Mm(3) || block.width > width || block.height > height)
        return {};
    block.draw = [=](CGrayCanvas& canvas, int x, int y) {
        for (int i = 0; i < steps; i++) {
            const int percent = 100 * (i + 1) / steps;
            const int left = x + i * (patch + space);
            canvas.FillRect(left, y, patch, patchHeight, static_cast<uint8_t>(255 - 255 * percent / 100));
            canvas.Text(left, y + patchHeight + 2, scale, std::to_string(percent));
        }
    };
    return block;
}

// The bars with their quiet zones, the text centred below; where that is
// too wide (full false), turned a quarter without the text: bars across,
// read top to bottom.
Block Barcode(const Metrics& m, const std::string& text, int width, int height, bool full) {
    std::vector<bool> modules;
    if (!Code128::Encode(text, modules))
        return {};
    const int quiet = Code128::kQuietModules * m.barModule, barHeight = m.Mm(8);
    const int span = static_cast<int>(modules.size()) * m.barModule + 2 * quiet;
    Block block;
    block.width = span;
    block.height = barHeight + 2 + CGrayCanvas::TextHeight(m.scale);
    if (block.width <= width && block.height <= height) {
        block.draw = [=](CGrayCanvas& canvas, int x, int y) {
            canvas.Bars(x + quiet, y, modules, m.barModule, barHeight);
            const int textWidth = CGrayCanvas::TextWidth(m.scale, text.size());
            canvas.Text(x + std::max(0, (span - textWidth) / 2), y + barHeight + 2, m.scale, text);
        };
        return block;
    }
    if (full || barHeight > width || span > height)
        return {};
    block.width = barHeight;
    block.height = span;
    block.draw = [=](CGrayCanvas& canvas, int x, int y) {
        canvas.BarsDown(x, y + quiet, modules, m.barModule, barHeight);
    };
    return block;
}

// The symbol; smaller modules, down to two dots, where the full size does
// not fit. Its quiet zone of four modules is the gap the flow keeps white
// around every block (2 mm, wider than four of the largest modules), so
// that the narrowest labels hold it.
Block Qr(const Metrics& m, const std::shared_ptr<QrSymbol>& code, int width, int height, bool full) {
    const int span = code->Size();
    int module = m.qrModule;
    while (!full && module > 2 && span * module > std::min(width, height))
        module--;
    Block block;
    block.width = block.height = span * module;
    if (block.width > width || block.height > height)
        return {};
    block.draw = [=](CGrayCanvas& canvas, int x, int y) { canvas.Matrix(x, y, span, code->Row(0), module); };
    return block;
}

// The lines as long as the widest (full) or cut to the width, as many as
// fit; at least a dozen characters wide.
Block Text(const Metrics& m, const std::vector<std::string>& lines, int width, int height, bool full) {
    const int cell = BitmapFont::kCellWidth * m.scale, lineHeight = (BitmapFont::kCellHeight + 1) * m.scale;
    size_t widest = 0;
    for (const std::string& line : lines)
        widest = std::max(widest, line.size());
    const size_t columns = full ? widest : std::min(widest, static_cast<size_t>((width + m.scale) / cell));
    const int rows = std::min(static_cast<int>(lines.size()), (height + m.scale) / lineHeight);
    Block block;
    block.width = CGrayCanvas::TextWidth(m.scale, columns);
    block.height = rows * lineHeight - m.scale;
    if (columns < 12 || rows < 1 || (full && rows < static_cast<int>(lines.size())) || block.width > width)
        return {};
    block.draw = [=](CGrayCanvas& canvas, int x, int y) {
        for (int i = 0; i < rows; i++)
            canvas.Text(x, y + i * lineHeight, m.scale, lines[i].substr(0, columns));
    };
    return block;
}

std::string Millimetres(int dots, int dpi) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", dots * 25.4 / dpi);
    return text;
}

std::vector<std::string> TextLines(const Facts& f) {
    std::vector<std::string> lines = {
        "Quorvant test label",
        f.model,
        "Driver: " + f.driver,
        "Resolution: " + std::to_string(f.dpi) + " dpi, head " + std::to_string(f.headDots) + " dots",
        "Media: " + f.mediaName,
        "Size: " + Millimetres(f.mediaWidth, f.dpi) + " x " + Millimetres(f.length, f.dpi) + " mm, " +
            std::to_string(f.mediaWidth) + " x " + std::to_string(f.length) + " dots",
        "Printed: " + std::to_string(f.width) + " x " + std::to_string(f.length) + " dots",
    };
    for (const auto& setting : f.settings)
        lines.push_back(setting.first + ": " + setting.second);
    return lines;
}

// Places blocks left to right in rows inside [left, right) x [top, bottom).
// Each goes, in this order of preference, at its full size beside the last
// one or on a new row, else made smaller beside the last or on a new row;
// one that fits nowhere is left out.
class Flow {
public:
    Flow(int left, int top, int right, int bottom, int gap)
        : m_Left(left), m_Right(right), m_Bottom(bottom), m_Gap(gap), m_X(left), m_Y(top) {}

    // Whether the block was placed.
    bool Place(CGrayCanvas& canvas, const BlockMaker& make) {
        const int newRowY = m_RowHeight ? m_Y + m_RowHeight + m_Gap : m_Y;
        const struct { bool newRow, full; } tries[] = {{false, true}, {true, true}, {false, false}, {true, false}};
        for (const auto& t : tries) {
            const int x = t.newRow ? m_Left : m_X, y = t.newRow ? newRowY : m_Y;
            const Block block = make(m_Right - x, m_Bottom - y, t.full);
            if (!block.draw)
                continue;
            if (t.newRow) {
                m_Y = newRowY;
                m_RowHeight = 0;
            }
            block.draw(canvas, x, y);
            m_X = x + block.width + m_Gap;
            m_RowHeight = std::max(m_RowHeight, block.height);
            return true;
        }
        return false;
    }

private:
    int m_Left, m_Right, m_Bottom, m_Gap;
    int m_X, m_Y, m_RowHeight = 0;
};

// How the label is laid out: numbers on the left ruler, and which code
// goes first.
struct Layout {
    bool leftNumbers, qrFirst;
};

// Draws the label in `layout`; returns whether the QR code was placed.
bool DrawLayout(CGrayCanvas& canvas, const Facts& f, const Metrics& m, const Layout& layout,
                const std::shared_ptr<QrSymbol>& qr, const std::vector<std::string>& lines) {
    // The frame's outer edge one dot inside the page.
    canvas.Frame(1, 1, f.width - 2, f.length - 2, m.line);
    const int inside = 1 + m.line;
    const int top = inside + Ruler(canvas, m, true, true, inside, f.width - inside) + m.gap;
    const int left = inside + Ruler(canvas, m, false, layout.leftNumbers, inside, f.length - inside) + m.gap;
    const int right = f.width - inside - m.gap, bottom = f.length - inside - m.gap;

    // The codes first: on a small label they matter most. The Code 128 has
    // one size (or turns), the QR code may shrink into what it leaves.
    const BlockMaker barcode = [&](int w, int h, bool full) { return Barcode(m, f.barcode, w, h, full); };
    const BlockMaker code = [&](int w, int h, bool full) { return qr ? Qr(m, qr, w, h, full) : Block(); };
    const BlockMaker blocks[] = {
        layout.qrFirst ? code : barcode,
        layout.qrFirst ? barcode : code,
        [&](int w, int h, bool full) { return DarknessSteps(m, w, h, full); },
        [&](int w, int h, bool full) { return Text(m, lines, w, h, full); },
    };
    Flow flow(left, top, right, bottom, m.gap);
    const size_t qrAt = layout.qrFirst ? 0 : 1;
    bool placedQr = false;
    for (size_t i = 0; i < sizeof blocks / sizeof blocks[0]; i++) {
        const bool placed = flow.Place(canvas, blocks[i]);
        placedQr = placedQr || (placed && i == qrAt);
    }
    return placedQr;
}

}  // namespace

CGrayCanvas Draw(const Facts& f) {
    CGrayCanvas canvas(f.width, f.length);
    const Metrics m(f.dpi);
    if (f.width < 8 * m.line || f.length < 8 * m.line)
        return canvas;
    auto qr = std::make_shared<QrSymbol>();
    std::string problem;
    if (!qr->Encode(f.qrcode, QrSymbol::kLevelM, -1, problem))
        qr.reset();
    const std::vector<std::string> lines = TextLines(f);
    // The first layout that holds the QR code, which names the driver and
    // the media: on narrow labels (DYMO's file folder and return address
    // labels) the turned Code 128 would take the width, then the left
    // ruler's numbers would.
    const Layout layouts[] = {{true, false}, {true, true}, {false, true}};
    for (const Layout& layout : layouts) {
        CGrayCanvas tried(f.width, f.length);
        if (DrawLayout(tried, f, m, layout, qr, lines) || !qr)
            return tried;
    }
    DrawLayout(canvas, f, m, layouts[0], qr, lines);
    return canvas;
}

}  // namespace TestLabel

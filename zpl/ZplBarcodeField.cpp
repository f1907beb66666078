#include <algorithm>
#include <cmath>

#include "zpl/ZplBarcode.h"
#include "zpl/ZplLabelMaker.h"
#include "zpl/ZplPlacement.h"

namespace zpl {

namespace {

// The interpretation line's font: the reference viewer writes it in a
// fixed-cell font of font D's cell.
constexpr char kLineFont = 'D';

// Where the one-row codes keep their height (dots) among the parameters
// after the orientation: scaled with the page, and the top of their bars.
// Module sizes are the bar code piece's, from ^BY.
int HeightIndex(const std::string& command) {
    static const struct {
        const char* command;
        int index;
    } kCodes[] = {{"BC", 0}, {"B3", 1}, {"BK", 1}, {"B2", 0}, {"BE", 0}, {"B8", 0}, {"BU", 0}, {"B9", 0}};
    for (const auto& c : kCodes)
        if (command == c.command)
            return c.index;
    return -1;
}

// The reference viewer's QR codes sit off where the printer's rules put
// them: placed with ^FO, lower by ^BY's height; with ^FT, higher by
// (modules - 18) modules and a dot (fitted to its pictures of versions 1 and
// 2). Copied so that labels written against it print where their authors saw them.
int QrViewerShift(const BarcodeField& field, int height, bool typeset, int barHeight) {
    if (!typeset)
        return barHeight;
    double mag = 2;  // ^BQ's magnification, as the bar code piece reads it
    if (field.params.size() > 1)
        ParseNumber(field.params[1], mag);
    const int m = std::max(1, int(std::lround(std::max(1, std::min(10, int(std::lround(mag)))) * field.scale)));
    const int modules = height / m;
    return modules > 18 ? -(m * (modules - 18) + 1) : 0;
}

}  // namespace

void ZplLabelMaker::DrawBarcodeField(const std::string& bytes) {
    const FieldState& f = m_Field;
    if (!IsBarcodeCommand(f.barcodeCommand)) {
        const std::string shown = "^" + f.barcodeCommand;
        if (m_Unknown.insert(shown).second)
            Log("ZPL command " + shown + " is not supported; skipped");
        return;
    }
    BarcodeField field;
    field.command = f.barcodeCommand;
    field.params = f.barcodeParams;
    field.data = bytes;
    field.moduleWidth = m_Stream.bars.moduleWidth;
    field.ratio = m_Stream.bars.ratio;
    field.barHeight = m_Stream.bars.height;
    field.scale = Scale();
    const int heightAt = HeightIndex(field.command);
    int barsHeight = m_Stream.bars.height;  // page dots
    double height;
    if (heightAt >= 0 && int(field.params.size()) > heightAt && ParseNumber(field.params[heightAt], height)) {
        barsHeight = std::max(1, ToDots(height));
        field.params[heightAt] = std::to_string(barsHeight);
    }
    const LineWriter writeLine = [this](ZplBitmap* into, int x, int y, int height, const std::string& text) {
        const FontRequest font{kLineFont, height, 0};
        const std::u32string line(text.begin(), text.end());
        const TextDrawing drawing = m_Fonts.DrawLine(line, font);
        if (into)
            into->Draw(drawing.bitmap, x, y - drawing.above);
        return drawing.advance;
    };
    BarcodeDrawing drawing;
    std::string problem;
    if (!DrawBarcode(field, writeLine, drawing, problem)) {
        Problem(problem);
        return;
    }
    ZplBitmap& page = Page();
    if (page.Width() == 0)
        return;
    const char o = IsOrientation(f.barcodeOrientation) ? f.barcodeOrientation : FieldOrientation();
    const int quarters = QuarterTurns(o);
    int x = JustifiedX(drawing.bitmap.Width()), y = f.y;
    // ^FO names the top of the bars: an interpretation line above them sits
    // above the field's origin (the reference viewer's pictures show it so).
    if (heightAt >= 0 && !f.typeset) {
        // Rows of the drawing before the bars once turned: the line above
        // them (N, B) or below them turned over (I, R).
        const int before =
            quarters == 0 || quarters == 3 ? drawing.baseline - barsHeight : drawing.bitmap.Height() - drawing.baseline;
        if (quarters % 2 == 0)
            y -= std::max(0, before);
        else
            x -= std::max(0, before);
    }
    if (field.command == "BQ")
        y += QrViewerShift(field, drawing.bitmap.Height(), f.typeset, m_Stream.bars.height);
    // The field's x names the symbol's edge, not the digits left of it.
    if (quarters == 0)
        x -= drawing.left;
    else if (quarters == 1)
        y -= drawing.left;
    PlaceField(page, drawing.bitmap, drawing.baseline, o, f.typeset, x, y, FieldBlend(Blend::Black));
    AdvancePen(o, quarters % 2 ? drawing.bitmap.Height() : drawing.bitmap.Width(), x, y);
    m_PenX = x;
    m_PenY = y;
    AddField(drawing.summary + " at " + std::to_string(f.x) + "," + std::to_string(f.y));
}

}  // namespace zpl

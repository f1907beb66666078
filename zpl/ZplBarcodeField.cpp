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

// Codes whose first parameter after the orientation is a height in dots:
// scaled with the page; module sizes are the bar code piece's, from ^BY.
bool FirstParamIsHeight(const std::string& command) {
    static const char* const kCodes[] = {"BC", "B3", "B2", "BK", "BE", "B8", "BU", "B9", "BA"};
    for (const char* c : kCodes)
        if (command == c)
            return true;
    return false;
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
    const int m = std::max(1, std::min(10, int(std::lround(mag))));
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
    double height;
    if (FirstParamIsHeight(field.command) && !field.params.empty() && ParseNumber(field.params[0], height))
        field.params[0] = std::to_string(std::max(1, ToDots(height)));
    const LineWriter writeLine = [this](ZplBitmap* into, int x, int y, int height, const std::string& text) {
        const FontRequest font{kLineFont, height, 0};
        const std::u32string line(text.begin(), text.end());
        const TextDrawing drawing = m_Fonts.DrawLine(line, font);
        if (into)
            into->Draw(drawing.bitmap, x, y);
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
    int x = JustifiedX(drawing.bitmap.Width()), y = f.y;
    if (field.command == "BQ")
        y += QrViewerShift(field, drawing.bitmap.Height(), f.typeset, m_Stream.bars.height);
    // The field's x names the symbol's edge, not the digits left of it.
    const int quarters = QuarterTurns(o);
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

#include "preview/CTsplDecoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "preview/Inflate.h"

namespace {

// A TSPL number with its unit word (" mm", " dot", or none for inches), as
// the setting shows it.
bool Measure(CTextLine& line, double& value, std::string& text, bool allowSign = false) {
    if (!line.Decimal(value, &text, allowSign))
        return false;
    text += line.Accept(" mm") ? " mm" : line.Accept(" dot") ? " dot" : " in";
    return true;
}

bool OnOff(CTextLine& line, std::string& value) {
    if (!line.Expect(" "))
        return false;
    if (line.Accept("ON"))
        value = "on";
    else if (line.Accept("OFF"))
        value = "off";
    else
        return line.Expect("ON or OFF");
    return line.End();
}

// One handler per command word; each parses the rest of the line and notes
// the setting on the label.
bool Size(const std::string&, CTextLine& line, CPreviewPage& page) {
    double w = 0, h = 0;
    std::string wText, hText;
    if (!(line.Expect(" ") && Measure(line, w, wText) && line.Expect(",") && Measure(line, h, hText) && line.End()))
        return false;
    page.Set("label", wText + " x " + hText);
    return true;
}

bool Media(const std::string& word, CTextLine& line, CPreviewPage& page) {
    double a = 0, b = 0;
    std::string aText, bText;
    if (!(line.Expect(" ") && Measure(line, a, aText) && line.Expect(",") && Measure(line, b, bText) && line.End()))
        return false;
    const bool gap = word == "GAP";
    page.Set("media", gap && a == 0 && b == 0 ? "continuous" : (gap ? "gap " : "black mark ") + aText + "," + bText);
    return true;
}

bool Offset(const std::string&, CTextLine& line, CPreviewPage& page) {
    double v = 0;
    std::string text;
    if (!(line.Expect(" ") && Measure(line, v, text, true) && line.End()))
        return false;
    page.Set("offset", text);
    return true;
}

bool Reference(const std::string&, CTextLine& line, CPreviewPage& page) {
    long x = 0, y = 0;
    if (!(line.Expect(" ") && line.Int(x, true) && line.Expect(",") && line.Int(y, true) && line.End()))
        return false;
    page.Set("reference", std::to_string(x) + "," + std::to_string(y) + " dots");
    return true;
}

bool Density(const std::string&, CTextLine& line, CPreviewPage& page) {
    long v = 0;
    if (!(line.Expect(" ") && line.Int(v) && line.End()))
        return false;
    page.Set("density", std::to_string(v));
    return true;
}

bool Speed(const std::string&, CTextLine& line, CPreviewPage& page) {
    double v = 0;
    std::string text;
    if (!(line.Expect(" ") && line.Decimal(v, &text) && line.End()))
        return false;
    page.Set("speed", text);
    return true;
}

bool Set(const std::string&, CTextLine& line, CPreviewPage& page) {
    std::string what, value;
    if (!(line.Expect(" ") && line.Word(what)))
        return false;
    if (what == "RIBBON" || what == "PEEL" || what == "TEAR") {
        if (!OnOff(line, value))
            return false;
        page.Set(what == "RIBBON" ? "ribbon" : what == "PEEL" ? "peel" : "tear", value);
        return true;
    }
    if (what != "CUTTER" && what != "PARTIAL_CUTTER")
        return line.Reject("RIBBON, PEEL, TEAR, CUTTER or PARTIAL_CUTTER", 4);
    // The cutter's "off" word is FALSE, the partial cutter's OFF.
    const bool cutter = what == "CUTTER";
    long n = 0;
    if (!line.Expect(" "))
        return false;
    if (line.Accept("OFF") || (cutter && line.Accept("FALSE")))
        value = "off";
    else if (line.Accept("BATCH"))
        value = "batch";
    else if (line.Int(n))
        value = "every " + std::to_string(n) + (n == 1 ? " label" : " labels");
    else
        return line.Expect(cutter ? "OFF, FALSE, BATCH or a count" : "OFF, BATCH or a count");
    if (!line.End())
        return false;
    page.Set(cutter ? "cutter" : "partial cutter", value);
    return true;
}

bool Setc(const std::string&, CTextLine& line, CPreviewPage& page) {
    std::string what, value;
    if (!(line.Expect(" ") && line.Word(what)))
        return false;
    if (what != "AUTODOTTED" && what != "PAUSEKEY" && what != "WATERMARK")
        return line.Reject("AUTODOTTED, PAUSEKEY or WATERMARK", 5);
    if (!OnOff(line, value))
        return false;
    page.Set(what == "AUTODOTTED" ? "auto dotted" : what == "PAUSEKEY" ? "pause key" : "watermark", value);
    return true;
}

bool Cls(const std::string&, CTextLine& line, CPreviewPage& page) {
    if (!line.End())
        return false;
    page.ClearDots();
    return true;
}

bool Print(const std::string&, CTextLine& line, CPreviewPage& page) {
    long sets = 0, copies = 1;
    if (!(line.Expect(" ") && line.Int(sets) && (!line.Accept(",") || line.Int(copies)) && line.End()))
        return false;
    page.Set("print", std::to_string(sets) + (sets == 1 ? " set" : " sets") + " of " + std::to_string(copies) +
                          (copies == 1 ? " copy" : " copies"));
    return true;
}

const struct {
    const char* word;
    bool (*parse)(const std::string& word, CTextLine& line, CPreviewPage& page);
} kCommands[] = {
    {"SIZE", Size},           {"GAP", Media},       {"BLINE", Media}, {"OFFSET", Offset},
    {"REFERENCE", Reference}, {"DENSITY", Density}, {"SPEED", Speed}, {"SET", Set},
    {"SETC", Setc},           {"CLS", Cls},         {"PRINT", Print},
};

}  // namespace

bool CTsplDecoder::Parse(CByteReader& in) {
    while (!in.AtEnd()) {
        bool query = false;
        if (!StatusQuery(in, query))
            return false;
        if (query)
            continue;
        if (in.Match("BITMAP ")) {
            if (!Bitmap(in))
                return false;
            continue;
        }
        CTextLine line;
        if (!line.Read(in))
            return Fail(line);
        if (!Line(line))
            return false;
    }
    if (PageOpen())
        return CPreviewDecoder::Fail(in.Offset(), "PRINT to end the label", "end of stream");
    return true;
}

bool CTsplDecoder::Line(CTextLine& line) {
    std::string word;
    if (!line.Word(word))
        return Fail(line);
    for (const auto& command : kCommands) {
        if (word != command.word)
            continue;
        if (!command.parse(word, line, Page()))
            return Fail(line);
        Command(line.Offset(), line.Text());
        if (word == "PRINT")
            EndPage();
        return true;
    }
    line.Reject("a TSPL command (SIZE, GAP, BLINE, OFFSET, REFERENCE, DENSITY, SPEED, SET, SETC, CLS, BITMAP, PRINT)",
                0);
    return Fail(line);
}

bool CTsplDecoder::Bitmap(CByteReader& in) {
    CTextLine line;
    line.Begin(in);
    for (int field = 0; field < 5; field++)
        if (!line.ReadField(in))
            return Fail(line);
    long x = 0, y = 0, widthBytes = 0, height = 0, mode = 0, length = 0;
    if (!(line.Expect("BITMAP ") && line.Int(x) && line.Expect(",") && line.Int(y) && line.Expect(",")))
        return Fail(line);
    const size_t widthAt = line.Here();
    if (!line.Int(widthBytes))
        return Fail(line);
    if (widthBytes == 0)
        return CPreviewDecoder::Fail(widthAt, "a BITMAP width of at least 1 byte", "0");
    if (!line.Expect(","))
        return Fail(line);
    const size_t heightAt = line.Here();
    if (!line.Int(height) || !line.Expect(","))
        return Fail(line);
    if (height == 0)
        return CPreviewDecoder::Fail(heightAt, "a BITMAP height of at least 1 row", "0");
    const size_t modeAt = line.Here();
    if (!line.Int(mode) || !line.Expect(","))
        return Fail(line);
    if (mode > 3)
        return CPreviewDecoder::Fail(modeAt, "BITMAP mode 0, 1, 2 or 3", "mode " + std::to_string(mode));
    if (mode == 3 && !(line.ReadField(in) && line.Int(length) && line.Expect(",")))
        return Fail(line);

    const size_t bytes = size_t(widthBytes) * size_t(height);
    if (bytes > CPreviewPage::kMaxBytes || x + widthBytes * 8 > INT32_MAX)
        return PageTooLarge(line.Offset(), static_cast<int>(std::min<long>(x + widthBytes * 8, INT32_MAX)),
                            static_cast<int>(y + height));
    const size_t dataAt = in.Offset();
    std::vector<uint8_t> inflated;
    const uint8_t* rows = in.Here();
    char text[160];
    if (mode == 3) {
        if (!Need(in, length, std::to_string(length) + " bytes of zlib data"))
            return false;
        Inflate::Fault fault;
        if (!Inflate::Zlib(in.Here(), length, bytes, inflated, fault))
            return CPreviewDecoder::Fail(dataAt + fault.at, fault.expected, fault.found);
        rows = inflated.data();
        in.Skip(length);
        std::snprintf(text, sizeof text, "BITMAP %ld,%ld %ldx%ld mode 3 (%ld zlib bytes)", x, y, widthBytes * 8, height,
                      length);
    } else {
        if (!Need(in, bytes, std::to_string(bytes) + " bytes of bitmap data"))
            return false;
        in.Skip(bytes);
        std::snprintf(text, sizeof text, "BITMAP %ld,%ld %ldx%ld mode %ld (%zu bytes)", x, y, widthBytes * 8, height,
                      mode, bytes);
    }
    if (!in.Match("\r\n"))
        return CPreviewDecoder::Fail(
            in.Offset(), "CR LF after the bitmap data",
            in.Remaining() == 1 && in.Peek() == '\r' ? "end of stream after 1 bytes" : in.Describe(in.Offset(), 4));
    in.Skip(2);
    const CPreviewPage::Combine combine = mode == 0   ? CPreviewPage::Combine::Overwrite
                                          : mode == 2 ? CPreviewPage::Combine::Xor
                                                      : CPreviewPage::Combine::Or;
    if (!Page().Place(static_cast<int>(x), static_cast<int>(y), static_cast<int>(widthBytes), static_cast<int>(height),
                      rows, mode == 3, combine))
        return PageTooLarge(line.Offset(), static_cast<int>(x + widthBytes * 8), static_cast<int>(y + height));
    Page().MarkImage();
    Command(line.Offset(), text);
    return true;
}

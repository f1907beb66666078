#include "preview/CCpclDecoder.h"

#include <cstdio>

bool CCpclDecoder::Parse(CByteReader& in) {
    while (!in.AtEnd()) {
        bool query = false;
        if (!StatusQuery(in, query))
            return false;
        if (query)
            continue;
        CTextLine line;
        if (!line.Read(in))
            return Fail(line);
        if (!(PageOpen() ? Line(in, line) : Label(line)))
            return false;
    }
    if (PageOpen())
        return CPreviewDecoder::Fail(in.Offset(), "PRINT to end the label", "end of stream");
    return true;
}

// The label's header line: "! offset hres vres height quantity".
bool CCpclDecoder::Label(CTextLine& line) {
    long offset = 0, hres = 0, vres = 0, height = 0, quantity = 0;
    if (!line.Accept("! ")) {
        line.Reject("\"! \" to begin a label", 0);
        return Fail(line);
    }
    if (!(line.Int(offset, true) && line.Expect(" ") && line.Int(hres) && line.Expect(" ") && line.Int(vres) &&
          line.Expect(" ") && line.Int(height) && line.Expect(" ") && line.Int(quantity) && line.End()))
        return Fail(line);
    CPreviewPage& page = Page();
    if (!page.Extend(0, static_cast<int>(height)))
        return PageTooLarge(line.Offset(), 0, static_cast<int>(height));
    page.Set("offset", std::to_string(offset) + " dots");
    page.Set("resolution", std::to_string(hres) + " x " + std::to_string(vres));
    page.Set("label height", std::to_string(height) + " dots");
    page.Set("quantity", std::to_string(quantity));
    Command(line.Offset(), line.Text());
    return true;
}

bool CCpclDecoder::Line(CByteReader& in, CTextLine& line) {
    std::string word;
    if (!line.Word(word))
        return Fail(line);
    CPreviewPage& page = Page();
    if (word == "PAGE-WIDTH" || word == "PW") {
        long width = 0;
        if (!(line.Expect(" ") && line.Int(width) && line.End()))
            return Fail(line);
        if (!page.Extend(static_cast<int>(width), 0))
            return PageTooLarge(line.Offset(), static_cast<int>(width), page.Height());
        page.Set("page width", std::to_string(width) + " dots");
    } else if (word == "CG" || word == "COMPRESSED-GRAPHICS") {
        long widthBytes = 0, height = 0, x = 0, y = 0;
        if (!(line.Expect(" ") && line.Int(widthBytes) && line.Expect(" ") && line.Int(height) && line.Expect(" ") &&
              line.Int(x) && line.Expect(" ") && line.Int(y) && line.End()))
            return Fail(line);
        const size_t bytes = size_t(widthBytes) * size_t(height);
        if (bytes > CPreviewPage::kMaxBytes)
            return PageTooLarge(line.Offset(), static_cast<int>(x + widthBytes * 8), static_cast<int>(y + height));
        if (!Need(in, bytes, std::to_string(bytes) + " bytes of CG data"))
            return false;
        if (!page.Place(static_cast<int>(x), static_cast<int>(y), static_cast<int>(widthBytes),
                        static_cast<int>(height), in.Here(), true))
            return PageTooLarge(line.Offset(), static_cast<int>(x + widthBytes * 8), static_cast<int>(y + height));
        in.Skip(bytes);
        page.MarkImage();
        char text[128];
        std::snprintf(text, sizeof text, "CG %ld,%ld %ldx%ld (%zu bytes)", x, y, widthBytes * 8, height, bytes);
        Command(line.Offset(), text);
        return true;
    } else if (word == "FORM") {
        if (!line.End())
            return Fail(line);
        page.Set("form feed", "yes");
    } else if (word == "PRINT") {
        if (!line.End())
            return Fail(line);
        Command(line.Offset(), line.Text());
        EndPage();
        return true;
    } else {
        line.Reject("a CPCL command (PAGE-WIDTH, CG, FORM, PRINT)", 0);
        return Fail(line);
    }
    Command(line.Offset(), line.Text());
    return true;
}

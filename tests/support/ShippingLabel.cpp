#include "support/ShippingLabel.h"

#include <algorithm>

#include "support/CodeReader.h"
#include "support/ImageFiles.h"

namespace testing_support {

const char kShippingLabel[] = QUORVANT_SOURCE_DIR "/samples/shipping-label.zpl";

bool Black(const CPreviewPage& page, int x, int y) {
    return x >= 0 && y >= 0 && x < page.Width() && y < page.Height() && (page.Row(y)[x >> 3] >> (7 - (x & 7)) & 1);
}

Frame FrameOf(const CPreviewPage& page) {
    Frame f{page.Width(), page.Height(), 0};
    int right = -1;
    for (int y = 0; y < page.Height(); y++)
        for (int x = 0; x < page.Width(); x++)
            if (Black(page, x, y)) {
                f.left = std::min(f.left, x);
                f.top = std::min(f.top, y);
                right = std::max(right, x);
            }
    f.scale = double(right + 1 - f.left) / kBorderWidth;
    return f;
}

namespace {

// The symbols the readers find in a part of the page, given in the
// sample's own dots, with a quiet zone round it.
std::vector<std::string> ReadPart(const CPreviewPage& page, const Frame& f, int x, int y, int width, int height,
                                  const std::string& format, const TempDir& dir, bool& skipped) {
    const int quiet = 40;
    const int left = f.left + int((x - kBorderAt) * f.scale), top = f.top + int((y - kBorderAt) * f.scale);
    const unsigned w = unsigned(width * f.scale) + 2 * quiet, h = unsigned(height * f.scale) + 2 * quiet;
    const std::string png = dir.File(format + ".png");
    WriteFile(png, GrayPng(w, h, 0, [&](unsigned px, unsigned py) -> uint8_t {
                  return Black(page, left + int(px) - quiet, top + int(py) - quiet) && int(px) >= quiet &&
                                 int(py) >= quiet && px < w - quiet && py < h - quiet
                             ? 0
                             : 255;
              }));
    return ReadSymbol(png, format, skipped);
}

}  // namespace

std::vector<std::string> UnreadSymbols(const CPreviewPage& page, bool& skipped) {
    const struct {
        int x, y, width, height;
        const char* format;
        const char* text;  // within what the reader returns
    } kSymbols[] = {
        {40, 430, 200, 193, "MaxiCode", "1Z08720000"},
        {24, 656, 764, 290, "Code128", "1Z999AA10123456784"},
        {24, 956, 560, 236, "PDF417", "Quorvant parcel 1Z999AA10123456784 to 54321 OTHER TOWN"},
    };
    const Frame frame = FrameOf(page);
    TempDir dir;
    std::vector<std::string> unread;
    skipped = false;
    for (const auto& s : kSymbols) {
        const std::vector<std::string> texts =
            ReadPart(page, frame, s.x, s.y, s.width, s.height, s.format, dir, skipped);
        if (skipped)
            return {};
        if (std::none_of(texts.begin(), texts.end(),
                         [&](const std::string& t) { return t.find(s.text) != std::string::npos; }))
            unread.push_back(std::string(s.format) + " read as: " + (texts.empty() ? "nothing" : texts[0]));
    }
    return unread;
}

}  // namespace testing_support

#pragma once

#include <string>
#include <vector>

#include "preview/CPreviewPage.h"

// The carrier-style sample label (samples/shipping-label.zpl) as a printer
// printed it, whichever host drew it: where its border landed and whether
// its MaxiCode, Code 128 and PDF417 read, each symbol cropped with a quiet zone round
// it.
namespace testing_support {

extern const char kShippingLabel[];
// The sample's border at 203 dpi: its top left corner (the label's first
// ink) and its width.
constexpr int kBorderAt = 20, kBorderWidth = 772;

bool Black(const CPreviewPage& page, int x, int y);

// Where the sample's border landed on a printed page.
struct Frame {
    int left = 0, top = 0;
    double scale = 0;  // printed dots per 203 dpi dot
};
Frame FrameOf(const CPreviewPage& page);

// One line for each of the sample's symbols the readers do not find on the
// page (what they read instead); empty when all read. `skipped` when a
// reader is not installed.
std::vector<std::string> UnreadSymbols(const CPreviewPage& page, bool& skipped);

}  // namespace testing_support

#pragma once

#include <string>

#include "preview/CPreviewPage.h"
#include "support/TestFiles.h"

namespace testing_support {

// The label as drawn, in dots.
struct LabelSize {
    int width, height;
    // The renderer trims white rows above and below the content (receipt
    // rolls, the pocket printers): the one above and below the frame.
    bool rollTrimmed;
};

// Checks a decoded test label: its size, its frame's outer edge one dot
// inside every edge, and (where zbarimg is installed) a QR code
// holding `qrPart` and a Code 128 of `barcode` (none where empty), read from
// a PNG of the page written into `dir`.
void ExpectLabel(const CPreviewPage& page, const LabelSize& size, const std::string& qrPart, const std::string& barcode,
                 const TempDir& dir);

}  // namespace testing_support

#include "printerapp/TestLabelCheck.h"

#include <gtest/gtest.h>

#include <iostream>

#include "preview/PngWriter.h"
#include "support/CodeReader.h"

namespace testing_support {

namespace {

bool Black(const CPreviewPage& page, int x, int y) { return (page.Row(y)[x >> 3] >> (7 - (x & 7)) & 1) != 0; }

}  // namespace

void ExpectLabel(const CPreviewPage& page, const LabelSize& size, const std::string& qrPart, const std::string& barcode,
                 const TempDir& dir) {
    // Rows go out in whole 32-bit words: the page may be wider, white there.
    const int width = size.width, trim = size.rollTrimmed ? 1 : 0, height = size.height - 2 * trim;
    ASSERT_GE(page.Width(), width);
    ASSERT_LT(page.Width(), width + 32);
    ASSERT_EQ(height, page.Height());
    // The frame: the outermost dots white, the next ones black, all round.
    const int top = 1 - trim, bottom = height - 2 + trim;
    int misses = 0;
    for (int y = top; y <= bottom; y++)
        misses += Black(page, 0, y) + !Black(page, 1, y) + !Black(page, width - 2, y) + Black(page, width - 1, y);
    for (int x = 1; x < width - 1; x++) {
        misses += !Black(page, x, top) + !Black(page, x, bottom);
        if (!trim)
            misses += Black(page, x, 0) + Black(page, x, height - 1);
    }
    EXPECT_EQ(0, misses) << "dots off the frame";

    const std::string png = dir.File("label.png");
    std::string error;
    ASSERT_TRUE(WritePng(page, png, error)) << error;
    bool skipped = false;
    const std::string codes = ReadCodes(png, false, skipped);
    if (skipped) {
        std::cout << kNoCodeReader << "\n";
        return;
    }
    EXPECT_EQ(!barcode.empty(), codes.find("CODE-128:" + barcode + "\n") != std::string::npos) << codes;
    const size_t qr = codes.find("QR-Code:");
    EXPECT_TRUE(qr != std::string::npos && codes.find(qrPart, qr) != std::string::npos) << codes;
}

}  // namespace testing_support

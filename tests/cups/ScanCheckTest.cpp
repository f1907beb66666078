// Bar codes that scan after printing: a PDF of real bar codes (made by
// reportlab's own generators, tools/make_barcode_pdf.py) through cupsfilter
// with a shipped PPD, the printer's stream decoded by the preview and each
// page read by zbarimg. Each PPD has a floor of symbols read, so that a
// change that loses one fails.
#include <algorithm>
#include <iostream>
#include <sstream>

#include "families/DriverTable.h"
#include "families/Families.h"
#include "preview/PngWriter.h"
#include "preview/PreviewTestSupport.h"
#include "support/CodeReader.h"
#include "support/CupsChainTest.h"

namespace testing_support {
namespace {

const std::string kCodes = QUORVANT_SOURCE_DIR "/samples/barcodes-4x6";

struct ScanCase {
    const char* ppd;
    unsigned floor;       // of the 15 symbols
    const char* warning;  // the job's warning about the shrink, if any
};

// Where they stand with Poppler's rasterizer (Ghostscript's read 11, 15, 5
// and 0); the receipt and pocket printers shrink the 4 in label to their
// head, below what a 0.33 mm module needs.
const ScanCase kScanCases[] = {
    {"qvtspl.ppd", 15, nullptr},
    {"qvtspl3.ppd", 15, nullptr},
    {"qvescpos.ppd", 10, "WARNING: the page was shrunk to 70 %; bar codes may not scan"},
    {"qvtavrin.ppd", 4, "WARNING: the page was shrunk to 47 %; bar codes may not scan"},
};

using ScanCheck = CupsChainTest;

TEST_F(ScanCheck, EachPpdReadsAtLeastItsFloorOfSymbols) {
    std::vector<std::string> expected;
    const Bytes text = ReadFile(kCodes + ".txt");
    std::istringstream lines(std::string(text.begin(), text.end()));
    for (std::string line; std::getline(lines, line);)
        expected.push_back(line);
    ASSERT_EQ(15u, expected.size());
    size_t count = 0;
    const DriverTable::Driver* drivers = DriverTable::Drivers(count);
    TempDir dir;
    for (const ScanCase& c : kScanCases) {
        const DriverTable::Driver* driver = std::find_if(
            drivers, drivers + count, [&](const DriverTable::Driver& d) { return std::string(d.ppd) == c.ppd; });
        ASSERT_NE(drivers + count, driver) << c.ppd;
        const FilterResult r = RunCupsfilter(*tree, BuiltPpd(c.ppd), kCodes + ".pdf");
        ASSERT_EQ(0, r.status) << r.err;
        EXPECT_EQ(r.ErrLines("WARNING: "), c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{})
            << c.ppd;
        bool ok = false;
        const auto decoder = Decoded(Families::Find(driver->modelNumber)->language, r.out, &ok);
        ASSERT_TRUE(ok) << c.ppd;
        ASSERT_EQ(expected.size(), decoder->Pages().size()) << c.ppd;
        unsigned read = 0;
        for (size_t p = 0; p < expected.size(); p++) {
            const std::string png = dir.File("page.png");
            std::string error;
            ASSERT_TRUE(WritePng(decoder->Pages()[p], png, error)) << error;
            bool skipped = false;
            const std::string codes = ReadCodes(png, false, skipped);
            if (skipped)
                GTEST_SKIP() << kNoCodeReader;
            // Nothing is ever misread: a page shows its own symbol or none.
            EXPECT_TRUE(codes.empty() || codes == expected[p] + "\n") << c.ppd << " page " << p + 1 << ": " << codes;
            read += codes == expected[p] + "\n";
        }
        std::cout << c.ppd << ": " << read << " of " << expected.size() << " symbols read\n";
        EXPECT_GE(read, c.floor) << c.ppd;
    }
}

}  // namespace
}  // namespace testing_support

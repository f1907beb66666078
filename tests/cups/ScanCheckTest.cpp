// Bar codes that scan after printing: a PDF of real bar codes (made by
// reportlab's own generators and from zint's symbols,
// tools/make_barcode_pdf.py) through cupsfilter with a shipped PPD, the
// printer's stream decoded by the preview and each page read by zbarimg,
// ZXingReader and dmtxread. Each PPD has a floor of symbols read, so that a
// change that loses one fails. Where the printer application is built, the
// same document goes through it to the PPD's driver, as PDF (rendered by
// quorvant-pdf-pages) and as one PNG a page (pdftoppm at the printer's
// resolution), each with floors of its own.
#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iostream>
#include <sstream>
#include <thread>

#include "families/DriverTable.h"
#include "families/Families.h"
#include "preview/PngWriter.h"
#include "preview/PreviewTestSupport.h"
#include "support/CodeReader.h"
#include "support/CupsChainTest.h"
#include "support/Sanitizers.h"
#ifdef QUORVANT_APP_BIN
#include "printerapp/AppServer.h"
#endif

namespace testing_support {
namespace {

const std::string kCodes = QUORVANT_SOURCE_DIR "/samples/barcodes-4x6";
// Eight symbols (Code 128, Code 39, EAN-13, UPC-A, QR, GS1-128, Data Matrix,
// PDF417) at modules of 0.25, 0.33 and 0.5 mm.
constexpr size_t kSymbols = 24;
// The eight at 0.33 mm on a landscape label (6 x 4 in pages), which both
// hosts turn onto portrait media: the bars run along the head's lines.
const std::string kLandscape = QUORVANT_SOURCE_DIR "/samples/barcodes-6x4";
constexpr size_t kLandscapeSymbols = 8;

struct ScanCase {
    const char* ppd;
    // Of the kSymbols: through cupsfilter as PDF and as PNG, and through the
    // printer application as PDF and as PNG.
    unsigned floor, cupsPngFloor, appPdfFloor, appPngFloor;
    // Of the kLandscapeSymbols, through cupsfilter and the application.
    unsigned landscapeFloor, appLandscapeFloor;
    const char* warning;  // both hosts' warning about the shrink, if any (CUPS's line)
};

// Where they stand with Poppler's rasterizer in both hosts: at or above a
// clean gray render as many dots wide as the page prints (24 on the label
// printers, 18 at 80 mm, 10 at 58 mm), where CUPS's Ghostscript chain read
// far fewer (bench/scan_check.sh). Pictures of the pages at the printer's
// resolution are shrunk once more on the narrow heads, where a clean gray
// shrink of the picture reads 7 at 58 mm. The receipt and pocket printers
// shrink the 4 in label to their media, below what a 0.33 mm module needs.
// The landscape label, turned onto the media, reads 8 of 8 on the label
// printers (Ghostscript 7), 7 at 80 mm (clean 7, Ghostscript 0) and 1-4 at
// 58 mm, where a module is 1.2 dots and where its bars fall on the rows
// decides (clean 3, Ghostscript 0).
const ScanCase kScanCases[] = {
    {"qvtspl.ppd", 24, 24, 24, 24, 8, 8, nullptr},
    {"qvtspl3.ppd", 24, 24, 24, 24, 8, 8, nullptr},
    {"qvescpos.ppd", 19, 21, 18, 19, 7, 7, "WARNING: the page was shrunk to 70 %; bar codes may not scan"},
    {"qvtavrin.ppd", 10, 9, 11, 9, 4, 3, "WARNING: the page was shrunk to 47 %; bar codes may not scan"},
    {"qvesc58.ppd", 11, 9, 11, 9, 1, 3, "WARNING: the page was shrunk to 47 %; bar codes may not scan"},
    {"qvcpcl.ppd", 24, 24, 24, 24, 8, 8, nullptr},
    {"qvsolvan.ppd", 10, 9, 11, 9, 4, 3, "WARNING: the page was shrunk to 47 %; bar codes may not scan"},
};

// The cases a build checks. Reading the symbols is most of the time and
// the same in every build; a sanitizer build checks the narrow receipt
// printer (the shrink and its warning, the rendering every driver shares),
// and the other tests render every driver under it.
std::vector<ScanCase> Cases() {
    if (kSanitized)
        return {kScanCases[4]};
    return {std::begin(kScanCases), std::end(kScanCases)};
}

// A page's symbol: its format (as ZXingReader names it) and its text.
struct Symbol {
    std::string format, text;
};

std::vector<Symbol> ExpectedSymbols(const std::string& document = kCodes) {
    std::vector<Symbol> expected;
    const Bytes text = ReadFile(document + ".txt");
    std::istringstream lines(std::string(text.begin(), text.end()));
    for (std::string line; std::getline(lines, line);) {
        const size_t space = line.find(' ');
        expected.push_back({line.substr(0, space), line.substr(space + 1)});
    }
    return expected;
}

const DriverTable::Driver* DriverOf(const char* ppd) {
    size_t count = 0;
    const DriverTable::Driver* drivers = DriverTable::Drivers(count);
    for (size_t i = 0; i < count; i++)
        if (std::string(drivers[i].ppd) == ppd)
            return &drivers[i];
    return nullptr;
}

// The page with white around it, as the paper has: a receipt ends at its
// content, and a symbol that fills it has no quiet zone of its own.
CPreviewPage WithQuietZone(const CPreviewPage& page) {
    constexpr int kMargin = 24;  // dots, a whole number of bytes
    CPreviewPage padded;
    padded.Extend(page.Width() + 2 * kMargin, page.Height() + 2 * kMargin);
    padded.Place(kMargin, kMargin, page.RowBytes(), page.Height(), page.Dots().data(), true);
    return padded;
}

// Whether a decoder's text is the page's: ZXingReader names a UPC-A by its
// 12 digits, the others as the EAN-13 with a leading 0.
bool Matches(const Symbol& symbol, const std::string& text) {
    return text == symbol.text || (symbol.format == "EAN-13" && "0" + text == symbol.text);
}

// The decoded pages whose symbol a decoder reads as `expected` says, page
// for page; `skipped` where a decoder is missing. Nothing is ever misread:
// every decoder reads a page's own symbol or nothing.
unsigned SymbolsRead(const std::vector<CPreviewPage>& pages, const std::vector<Symbol>& expected,
                     const std::string& what, bool& skipped) {
    EXPECT_EQ(expected.size(), pages.size()) << what;
    TempDir dir;
    const size_t count = std::min(expected.size(), pages.size());
    std::vector<std::string> pngs(count);
    for (size_t p = 0; p < count; p++) {
        pngs[p] = dir.File("page-" + std::to_string(p) + ".png");
        std::string error;
        EXPECT_TRUE(WritePng(WithQuietZone(pages[p]), pngs[p], error)) << error;
    }
    // Reading is most of the check's time, each page by programs of their
    // own: two pages at a time keep both cores busy.
    std::vector<std::vector<std::string>> texts(count);
    std::vector<char> missing(count, 0);
    std::atomic<size_t> next{0};
    auto reader = [&] {
        for (size_t p; (p = next++) < count;) {
            bool skip = false;
            texts[p] = ReadSymbol(pngs[p], expected[p].format, skip);
            missing[p] = skip;
        }
    };
    std::thread other(reader);
    reader();
    other.join();
    unsigned read = 0;
    for (size_t p = 0; p < count; p++) {
        if (missing[p]) {
            skipped = true;
            return 0;
        }
        bool any = false;
        for (const std::string& text : texts[p]) {
            EXPECT_TRUE(Matches(expected[p], text)) << what << " page " << p + 1 << ": " << text;
            any = any || Matches(expected[p], text);
        }
        read += any;
    }
    std::cout << what << ": " << read << " of " << expected.size() << " symbols read\n";
    return read;
}

// The document's pages as PNG files in `dir`, as pdftoppm draws them in gray
// at `dpi`, in page order; empty when pdftoppm fails.
std::vector<std::string> PngPages(const TempDir& dir, int dpi) {
    std::vector<std::string> files;
    const CommandResult made = RunCommand("pdftoppm -gray -png -r " + std::to_string(dpi) + " '" + kCodes + ".pdf' '" +
                                          dir.File("page") + "'");
    DIR* d = made.status == 0 ? opendir(dir.path().c_str()) : nullptr;
    while (dirent* entry = d ? readdir(d) : nullptr)
        if (std::string(entry->d_name).rfind("page-", 0) == 0)
            files.push_back(dir.File(entry->d_name));
    if (d)
        closedir(d);
    std::sort(files.begin(), files.end());
    return files;
}

using ScanCheck = CupsChainTest;

TEST_F(ScanCheck, EachPpdReadsAtLeastItsFloorOfSymbols) {
    const std::vector<Symbol> expected = ExpectedSymbols();
    ASSERT_EQ(kSymbols, expected.size());
    for (const ScanCase& c : Cases()) {
        const DriverTable::Driver* driver = DriverOf(c.ppd);
        ASSERT_NE(nullptr, driver) << c.ppd;
        const FilterResult r = RunCupsfilter(*tree, BuiltPpd(c.ppd), kCodes + ".pdf");
        ASSERT_EQ(0, r.status) << r.err;
        EXPECT_EQ(r.ErrLines("WARNING: "), c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{})
            << c.ppd;
        bool ok = false;
        const auto decoder = Decoded(Families::Find(driver->modelNumber)->language, r.out, &ok);
        ASSERT_TRUE(ok) << c.ppd;
        bool skipped = false;
        const unsigned read = SymbolsRead(decoder->Pages(), expected, c.ppd, skipped);
        if (skipped)
            GTEST_SKIP() << kNoSymbolReaders;
        EXPECT_GE(read, c.floor) << c.ppd;

        const FilterResult turned = RunCupsfilter(*tree, BuiltPpd(c.ppd), kLandscape + ".pdf");
        ASSERT_EQ(0, turned.status) << turned.err;
        // Turned, the label's 4 in side is across the head, as upright.
        EXPECT_EQ(turned.ErrLines("WARNING: "), r.ErrLines("WARNING: ")) << c.ppd;
        const auto landscape = Decoded(Families::Find(driver->modelNumber)->language, turned.out, &ok);
        ASSERT_TRUE(ok) << c.ppd;
        EXPECT_GE(
            SymbolsRead(landscape->Pages(), ExpectedSymbols(kLandscape), std::string("landscape ") + c.ppd, skipped),
            c.landscapeFloor)
            << c.ppd;
    }
}

// The same symbols as pictures, one PNG a page at the printer's resolution,
// through CUPS's image filter, each shrunk as the PDF is and warned of.
TEST_F(ScanCheck, EachPpdReadsTheSymbolsInPictures) {
    if (!HaveProgram("pdftoppm"))
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    const std::vector<Symbol> expected = ExpectedSymbols();
    ASSERT_EQ(kSymbols, expected.size());
    for (const ScanCase& c : Cases()) {
        const DriverTable::Driver* driver = DriverOf(c.ppd);
        ASSERT_NE(nullptr, driver) << c.ppd;
        TempDir pages;
        const std::vector<std::string> files = PngPages(pages, driver->dpi);
        ASSERT_EQ(expected.size(), files.size());
        std::vector<CPreviewPage> printed;
        for (const std::string& file : files) {
            const FilterResult r = RunCupsfilter(*tree, BuiltPpd(c.ppd), file);
            ASSERT_EQ(0, r.status) << file << ": " << r.err;
            EXPECT_EQ(r.ErrLines("WARNING: "),
                      c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{})
                << file;
            bool ok = false;
            const auto decoder = Decoded(Families::Find(driver->modelNumber)->language, r.out, &ok);
            ASSERT_TRUE(ok && decoder->Pages().size() == 1) << file;
            printed.push_back(decoder->Pages()[0]);
        }
        bool skipped = false;
        const unsigned read = SymbolsRead(printed, expected, std::string("png ") + c.ppd, skipped);
        if (skipped)
            GTEST_SKIP() << kNoSymbolReaders;
        EXPECT_GE(read, c.cupsPngFloor) << c.ppd;
    }
}

#ifdef QUORVANT_APP_BIN
// The application's job message carries the CUPS line's text.
void ExpectWarned(const std::string& message, const char* warning, const std::string& what) {
    if (warning)
        EXPECT_NE(std::string::npos, message.find(warning + std::strlen("WARNING: "))) << what << ": " << message;
    else
        EXPECT_EQ(std::string::npos, message.find("shrunk")) << what << ": " << message;
}

TEST(ScanCheckApp, EachDriverReadsAtLeastItsFloorOfSymbols) {
    if (!HaveProgram("pdftoppm"))
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    AppServer server;
    if (!server.Start())
        GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    const std::vector<Symbol> expected = ExpectedSymbols();
    ASSERT_EQ(kSymbols, expected.size());
    for (const ScanCase& c : Cases()) {
        const DriverTable::Driver* driver = DriverOf(c.ppd);
        ASSERT_NE(nullptr, driver) << c.ppd;
        const char* language = Families::Find(driver->modelNumber)->language;
        const std::string pdf = std::string("pdf-") + driver->name, png = std::string("png-") + driver->name;
        std::string output;
        ASSERT_TRUE(server.AddFilePrinter(pdf, driver->name, output)) << output;
        ASSERT_TRUE(server.AddFilePrinter(png, driver->name, output)) << output;

        ASSERT_EQ("completed", server.Print(pdf, kCodes + ".pdf")) << server.LogProblems();
        ExpectWarned(server.LastJob(pdf).message, c.warning, pdf);
        bool skipped = false;
        const unsigned read = SymbolsRead(server.DecodeDevice(pdf, language), expected, pdf, skipped);
        if (skipped)
            GTEST_SKIP() << kNoSymbolReaders;
        EXPECT_GE(read, c.appPdfFloor) << pdf;

        const std::string turned = std::string("landscape-") + driver->name;
        ASSERT_TRUE(server.AddFilePrinter(turned, driver->name, output)) << output;
        ASSERT_EQ("completed", server.Print(turned, kLandscape + ".pdf")) << server.LogProblems();
        EXPECT_GE(SymbolsRead(server.DecodeDevice(turned, language), ExpectedSymbols(kLandscape), turned, skipped),
                  c.appLandscapeFloor)
            << turned;

        TempDir pages;
        const std::vector<std::string> files = PngPages(pages, driver->dpi);
        ASSERT_EQ(expected.size(), files.size());
        for (const std::string& file : files) {
            ASSERT_EQ("completed", server.Print(png, file)) << file << server.LogProblems();
            ExpectWarned(server.LastJob(png).message, c.warning, file);
        }
        EXPECT_GE(SymbolsRead(server.DecodeDevice(png, language), expected, png, skipped), c.appPngFloor) << png;
    }
}
#endif

}  // namespace
}  // namespace testing_support

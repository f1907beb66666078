// Every reference label drawn and compared with the reference viewer's
// picture of it: the share of differing dots stays within what the
// interpreter reached, and every symbol that reads on the reference picture
// reads alike on ours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "ZplPictures.h"
#include "support/CodeReader.h"
#include "support/Sanitizers.h"
#include "support/TestFiles.h"

using namespace zpl_testing;

namespace {

// Label -> the share of differing dots (of the black dots in the larger of
// the two pictures) it may reach; the reasons for the larger ones beside them.
const std::map<std::string, double> kBounds = {
#include "ZplReferenceBounds.inc"
};

// Symbols the viewer reads otherwise than the printer's rules, with why.
const std::map<std::string, std::string> kReadsOtherwise = {
    {"barcode128_mode_n_cba_sets",
     "the viewer encodes the digits after >7 as the text TEST; subset A encodes them as digits"},
};

struct Compared {
    std::string name;
    double share;     // of the black dots
    double ofCanvas;  // of every dot of the canvas
};

// The viewer draws on a 4 x 8 in canvas at 203 dpi (its pictures have a
// dot or two more): ours is that canvas.
constexpr int kCanvasWidth = 812, kCanvasHeight = 1624;

zpl::Label DrawReference(const std::string& name) {
    zpl::InterpreterOptions options;
    options.width = kCanvasWidth;
    options.height = kCanvasHeight;
    Drawn drawn = DrawZpl(ReadText(LabelsDir() + "/" + name + ".zpl"), options);
    // A file of several labels: the viewer shows the first one with something on it.
    for (zpl::Label& label : drawn.labels)
        if (BlackDots(label.page) > 0)
            return std::move(label);
    return drawn.labels.empty() ? zpl::Label() : std::move(drawn.labels.front());
}

}  // namespace

TEST(ZplReference, EveryLabelDrawsCloseToTheReferencePicture) {
    std::vector<Compared> results;
    const char* dump = std::getenv("ZPL_DUMP_DIR");  // to look at our pictures
    for (const auto& [name, bound] : kBounds) {
        const zpl::ZplBitmap reference = ReadBitPng(LabelsDir() + "/" + name + ".png");
        ASSERT_GT(reference.Width(), 0) << name;
        const zpl::Label label = DrawReference(name);
        const long differing = DifferingDots(label.page, reference);
        const long black = std::max({BlackDots(label.page), BlackDots(reference), 1L});
        const double share = double(differing) / double(black);
        results.push_back({name, share, double(differing) / (double(reference.Width()) * reference.Height())});
        if (dump)
            WriteBitPng(std::string(dump) + "/" + name + ".png", label.page);
        EXPECT_LE(share, bound) << name << ": " << differing << " dots differ";
    }
    // Of the black dots, and of the whole canvas.
    std::printf("%-32s %s\n", "label", "differing: of black dots, of the canvas");
    for (const Compared& r : results)
        std::printf("%-32s %6.1f %% %6.2f %%\n", r.name.c_str(), 100 * r.share, 100 * r.ofCanvas);
    std::vector<double> ofCanvas;
    for (const Compared& r : results)
        ofCanvas.push_back(r.ofCanvas);
    std::sort(ofCanvas.begin(), ofCanvas.end());
    std::printf("of the canvas: median %.2f %%, worst %.2f %%\n", 100 * ofCanvas[ofCanvas.size() / 2],
                100 * ofCanvas.back());
    std::sort(results.begin(), results.end(), [](const Compared& a, const Compared& b) { return a.share < b.share; });
    std::printf("median %.1f %%, worst %.1f %% (%s)\n", 100 * results[results.size() / 2].share,
                100 * results.back().share, results.back().name.c_str());
}

TEST(ZplReference, SymbolsReadAlikeOnBothPictures) {
    // The readers are most of the cost; the drawing runs under the
    // sanitizers in the comparison above.
    if (testing_support::kSanitized)
        GTEST_SKIP() << "the normal build reads the symbols";
    testing_support::TempDir dir;
    int compared = 0;
    for (const auto& entry : kBounds) {
        const std::string& name = entry.first;
        if (kReadsOtherwise.count(name))
            continue;
        // The readers leave files beside the picture: read a copy.
        const std::string reference = dir.File(name + ".reference.png");
        testing_support::WriteFile(reference, testing_support::ReadFile(LabelsDir() + "/" + name + ".png"));
        const std::string ours = dir.File(name + ".png");
        WriteBitPng(ours, DrawReference(name).page);
        bool skipped = false;
        // zbarimg reads linear codes and QR; ZXing the other 2D codes, one a picture.
        const std::string expected = testing_support::ReadCodes(reference, false, skipped);
        if (skipped)
            GTEST_SKIP() << testing_support::kNoCodeReader;
        const std::string got = testing_support::ReadCodes(ours, false, skipped);
        std::istringstream lines(expected);
        for (std::string line; std::getline(lines, line);) {
            compared++;
            EXPECT_NE(got.find(line), std::string::npos) << name << " does not read " << line << "; reads:\n" << got;
        }
        for (const char* format : {"PDF417", "Aztec", "MaxiCode"}) {
            if (name.find(format == std::string("PDF417")  ? "pdf417"
                          : format == std::string("Aztec") ? "aztec"
                                                           : "maxicode") == std::string::npos)
                continue;
            const auto want = testing_support::ReadSymbol(reference, format, skipped);
            if (skipped)
                continue;
            const auto have = testing_support::ReadSymbol(ours, format, skipped);
            for (const std::string& text : want) {
                compared++;
                EXPECT_NE(std::find(have.begin(), have.end(), text), have.end()) << name << " does not read " << text;
            }
        }
    }
    std::printf("%d symbols read on the reference pictures compared\n", compared);
}

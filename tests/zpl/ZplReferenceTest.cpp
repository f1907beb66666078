// Every reference label drawn and compared with the reference viewer's
// picture of it: the share of differing dots stays within what the
// interpreter reached, and every symbol that reads on the reference picture
// reads alike on ours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "ZplPictures.h"
#include "support/CodeReader.h"
#include "support/TestFiles.h"

using namespace zpl_testing;

namespace {

// Label -> the share of differing dots (of the black dots in the larger of
// the two pictures) it may reach; the reasons for the larger ones beside them.
const std::map<std::string, double> kBounds = {
#include "ZplReferenceBounds.inc"
};

struct Compared {
    std::string name;
    double share;
};

// The reference pictures are 4 x 8 in at 203 dpi: our canvas is their size.
zpl::Label DrawReference(const std::string& name, const zpl::ZplBitmap& reference) {
    zpl::InterpreterOptions options;
    options.width = reference.Width();
    options.height = reference.Height();
    Drawn drawn = DrawZpl(ReadText(LabelsDir() + "/" + name + ".zpl"), options);
    if (drawn.labels.empty())
        return {};
    // A file of several labels: the viewer shows the first one drawn.
    return std::move(drawn.labels.front());
}

}  // namespace

TEST(ZplReference, EveryLabelDrawsCloseToTheReferencePicture) {
    std::vector<Compared> results;
    const char* dump = std::getenv("ZPL_DUMP_DIR");  // to look at our pictures
    for (const auto& [name, bound] : kBounds) {
        const zpl::ZplBitmap reference = ReadBitPng(LabelsDir() + "/" + name + ".png");
        ASSERT_GT(reference.Width(), 0) << name;
        const zpl::Label label = DrawReference(name, reference);
        const long differing = DifferingDots(label.page, reference);
        const long black = std::max({BlackDots(label.page), BlackDots(reference), 1L});
        const double share = double(differing) / double(black);
        results.push_back({name, share});
        if (dump)
            WriteBitPng(std::string(dump) + "/" + name + ".png", label.page);
        EXPECT_LE(share, bound) << name << ": " << differing << " dots differ";
    }
    std::printf("%-32s %s\n", "label", "differing");
    for (const Compared& r : results)
        std::printf("%-32s %6.1f %%\n", r.name.c_str(), 100 * r.share);
    std::sort(results.begin(), results.end(), [](const Compared& a, const Compared& b) { return a.share < b.share; });
    std::printf("median %.1f %%, worst %.1f %% (%s)\n", 100 * results[results.size() / 2].share,
                100 * results.back().share, results.back().name.c_str());
}

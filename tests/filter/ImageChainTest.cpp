// PNG and JPEG pictures through CUPS's chain on the project's PPDs:
// imagetoraster by way of quorvant-image, which prints the same bytes as
// imagetoraster straight into the filter and warns when the picture was
// shrunk below what a 0.33 mm module needs.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "filter/ImageChain.h"
#include "support/CupsChainTest.h"
#include "support/ImageFiles.h"

namespace testing_support {
namespace {

TEST(ImageChain, ReadsThePrintedSizeImagetorasterStates) {
    double x = 0, y = 0;
    ASSERT_TRUE(ImageChain::PrintedInches("DEBUG: xpages = 1x1.89in, ypages = 1x2.84in", x, y));
    EXPECT_DOUBLE_EQ(1.885, x);
    EXPECT_DOUBLE_EQ(2.835, y);
    ASSERT_TRUE(ImageChain::PrintedInches("DEBUG: xpages = 2x3.50in, ypages = 3x5.00in", x, y));
    EXPECT_DOUBLE_EQ(6.99, x);
    EXPECT_DOUBLE_EQ(14.985, y);
    EXPECT_FALSE(ImageChain::PrintedInches("DEBUG: Image size is 4.0 x 6.0 inches...", x, y));
    EXPECT_FALSE(ImageChain::PrintedInches("DEBUG: xpages = 0x1.00in, ypages = 1x1.00in", x, y));
}

using ImageChainCups = CupsChainTest;

// A label-sized picture (4 x 6 in) as PNG and JPEG, declared or not.
struct PictureCase {
    const char* ppd;
    bool jpeg;
    unsigned width, height;
    double ppi;
    const char* options;
    const char* warning;  // none where empty
};

const PictureCase kPictures[] = {
    {"qvtspl.ppd", false, 812, 1218, 203, "", ""},
    {"qvesc58.ppd", false, 812, 1218, 203, "", "WARNING: the page was shrunk to 47 %; bar codes may not scan"},
    // Undeclared: a pixel for a dot of the head.
    {"qvesc58.ppd", false, 812, 1218, 0, "", "WARNING: the page was shrunk to 47 %; bar codes may not scan"},
    // Two dots a pixel on the label printer; shrunk to a dot on 58 mm.
    {"qvtspl.ppd", false, 406, 609, 101.5, "", ""},
    {"qvesc58.ppd", false, 406, 609, 101.5, "", "WARNING: the page was shrunk to 47 %; bar codes may not scan"},
    {"qvescpos.ppd", true, 812, 1218, 203, "", "WARNING: the page was shrunk to 70 %; bar codes may not scan"},
    // At its own size, cropped to the page: not shrunk.
    {"qvesc58.ppd", false, 812, 1218, 203, "print-scaling=none", ""},
    {"qvesc58.ppd", true, 812, 1218, 203, "print-scaling=fill", ""},
};

TEST_F(ImageChainCups, WarnsOfAShrinkAndPrintsWhatImagetorasterPrints) {
    TempDir dir;
    for (const PictureCase& c : kPictures) {
        const auto bars = [](unsigned x, unsigned) -> uint8_t { return (x / 3) % 2 ? 255 : 0; };
        const std::string picture = dir.File(c.jpeg ? "picture.jpg" : "picture.png");
        WriteFile(picture, c.jpeg ? GrayJpeg(c.width, c.height, static_cast<unsigned>(c.ppi), bars)
                                  : GrayPng(c.width, c.height, c.ppi, bars));
        const std::string what = std::string(c.ppd) + " " + picture + " " + c.options;
        const FilterResult r = RunCupsfilter(*tree, BuiltPpd(c.ppd), picture, c.options);
        ASSERT_EQ(0, r.status) << what << ": " << r.err;
        EXPECT_EQ(r.ErrLines("WARNING: "),
                  *c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{})
            << what;
        // The same PPD without the line: imagetoraster straight into the filter.
        std::ifstream in(BuiltPpd(c.ppd));
        std::ostringstream ppd;
        for (std::string line; std::getline(in, line);)
            if (line.find("quorvant-image") == std::string::npos)
                ppd << line << "\n";
        WriteFile(dir.File("direct.ppd"), ppd.str());
        const FilterResult direct = RunCupsfilter(*tree, dir.File("direct.ppd"), picture, c.options);
        ASSERT_EQ(0, direct.status) << what << ": " << direct.err;
        EXPECT_TRUE(r.out == direct.out) << what;
        EXPECT_TRUE(direct.ErrLines("WARNING: ").empty()) << what;
    }
}

// A picture imagetoraster cannot read fails the job and sends nothing.
TEST_F(ImageChainCups, DamagedPictureFailsAndSendsNothing) {
    TempDir dir;
    Bytes png = GrayPng(400, 400, 203, [](unsigned x, unsigned y) -> uint8_t { return (x ^ y) & 1 ? 0 : 255; });
    png.resize(png.size() / 2);
    WriteFile(dir.File("damaged.png"), png);
    const FilterResult r = RunCupsfilter(*tree, BuiltPpd("qvtspl.ppd"), dir.File("damaged.png"));
    EXPECT_NE(0, r.status);
    EXPECT_FALSE(r.ErrLines("ERROR: ").empty()) << r.err;
    EXPECT_TRUE(r.out.empty());
}

}  // namespace
}  // namespace testing_support

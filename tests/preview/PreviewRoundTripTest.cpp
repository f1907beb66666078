#include <gtest/gtest.h>

#include <algorithm>

#include "preview/PreviewTestSupport.h"
#include "printers/CPrinterBrother.h"
#include "printers/PrinterJob.h"
#include "support/FamilyCases.h"

using namespace testing_support;

namespace {

struct Family {
    const char* language;
    bool compress;
    // TSPL, CPCL and Tavrin carry the full stored rows (padded to four
    // bytes); ESC/POS and Solvane the rows repacked to whole bytes.
    bool storedRows;
    const char* imageCommand;  // the start of the image command's line
    // The image command counts rows in 16 bits: a taller page goes as several images.
    bool splitsTallPages;
    // Rows as wide as the head, the page on the roll's place (Brother QL): the
    // head's dots; 0 for the others.
    int headDots = 0;
    int ModelNumber() const { return FamilyOfLanguage(language).modelNumber; }
};

const Family kFamilies[] = {
    {"tspl", false, true, "BITMAP 0,0 ", false},
    {"tspl", true, true, "BITMAP 0,0 ", false},
    {"escpos", false, false, "GS v 0 ", true},
    {"cpcl", false, true, "CG 0,0 ", false},
    {"tavrin", false, true, "Tavrin bitmap chunk ", false},
    {"solvane", false, false, "GS v 0 ", true},
    {"solvane", true, false, "1F 00 compressed image ", true},
    // A ZPL label is at most 32000 dots long (^LL, ^FO).
    {"zpl", false, false, "^GFA,", false},
    // EPL2 has no compressed GW; white rows are never sent.
    {"epl2", false, false, "GW ", false},
    {"dymo", false, false, "SYN rows ", false},
    {"dymo", true, false, "SYN rows ", false},
    {"brother", false, false, "g 00 row ", false, CPrinterBrother::kNarrowHead},
    {"brother", true, false, "g 00 row ", false, CPrinterBrother::kNarrowHead},
};

TEST(PreviewRoundTrip, CasesCoverEveryFamily) {
    EXPECT_TRUE(CoversEveryFamily(kFamilies, [](const Family& f) { return &FamilyOfLanguage(f.language); }));
}

const unsigned kWidths[] = {1, 7, 8, 31, 33, 384, 385, 576};
const unsigned kHeights[] = {1, 2, 37, 130};

std::string Name(const ::testing::TestParamInfo<std::tuple<Family, unsigned>>& info) {
    const Family& family = std::get<0>(info.param);
    return std::string(family.language) + (family.compress ? "Compressed" : "Plain") + "Width" +
           std::to_string(std::get<1>(info.param));
}

class PreviewRoundTrip : public ::testing::TestWithParam<std::tuple<Family, unsigned>> {};

// One job of four pages (every height) of random dots through the real
// filter; each decoded page must hold exactly the page's black dots.
TEST_P(PreviewRoundTrip, DecodesExactlyThePagesBlackDots) {
    const Family& family = std::get<0>(GetParam());
    const unsigned width = std::get<1>(GetParam());
    std::vector<RasterPage> pages;
    for (unsigned height : kHeights)
        pages.push_back(RandomPage(width, height, width * 1000 + height));
    FilterResult r = RunModelJob(family.ModelNumber(), pages, {{"ImageCompress", family.compress ? "1" : "0"}});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(r.ErrLines("ERROR: ").empty()) << r.err;

    bool ok = false;
    auto decoder = Decoded(family.language, r.out, &ok);
    ASSERT_TRUE(ok) << decoder->Error().Message();
    ASSERT_EQ(decoder->Pages().size(), pages.size());
    const unsigned rowBytes = family.storedRows ? (width + 31) / 32 * 4 : (width + 7) / 8;
    for (size_t i = 0; i < pages.size(); i++) {
        const CPreviewPage& page = decoder->Pages()[i];
        if (family.headDots) {
            const int firstColumn =
                family.headDots - 1 -
                CPrinterBrother::MediaFor(family.headDots, width, pages[i].height, false, 0).leftPin;
            EXPECT_EQ(page.Width(), family.headDots) << "page " << i;
            EXPECT_EQ(DiffBytes(HeadRows(pages[i], family.headDots / 8, firstColumn), page.Dots()), "") << "page " << i;
            continue;
        }
        EXPECT_EQ(page.Width(), static_cast<int>(rowBytes * 8)) << "page " << i;
        EXPECT_EQ(page.Height(), static_cast<int>(pages[i].height)) << "page " << i;
        EXPECT_EQ(DiffBytes(PrinterRows(pages[i], rowBytes), page.Dots()), "") << "page " << i;
    }
    const auto& commands = decoder->Commands();
    const size_t images = std::count_if(commands.begin(), commands.end(), [&](const PreviewCommand& c) {
        return c.text.rfind(family.imageCommand, 0) == 0;
    });
    EXPECT_GE(images, pages.size()) << "the image command used is not " << family.imageCommand;
    if (std::string(family.language) == "tspl") {
        const std::string mode = family.compress ? " mode 3 " : " mode 1 ";
        for (const PreviewCommand& c : commands) {
            if (c.text.rfind("BITMAP", 0) == 0) {
                EXPECT_NE(c.text.find(mode), std::string::npos) << c.text;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryModelNumber, PreviewRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kFamilies), ::testing::ValuesIn(kWidths)), Name);

class PreviewTallPage : public ::testing::TestWithParam<Family> {};

// A page taller than the 16-bit row count of the image commands arrives as
// several images, which make one page again.
TEST_P(PreviewTallPage, ConsecutiveImagesStackIntoOnePage) {
    const Family& family = GetParam();
    const RasterPage page = RandomPage(16, 70000, 99);
    FilterResult r = RunModelJob(family.ModelNumber(), {page}, {{"ImageCompress", family.compress ? "1" : "0"}});
    ASSERT_EQ(r.status, 0) << r.err;
    bool ok = false;
    auto decoder = Decoded(family.language, r.out, &ok);
    ASSERT_TRUE(ok) << decoder->Error().Message();
    ASSERT_EQ(decoder->Pages().size(), 1u);
    EXPECT_EQ(decoder->Pages()[0].Height(), 70000);
    EXPECT_EQ(DiffBytes(PrinterRows(page, 2), decoder->Pages()[0].Dots()), "");
    const auto& commands = decoder->Commands();
    EXPECT_GE(std::count_if(commands.begin(), commands.end(),
                            [&](const PreviewCommand& c) { return c.text.rfind(family.imageCommand, 0) == 0; }),
              2);
}

std::vector<Family> TallPageFamilies() {
    std::vector<Family> families;
    for (const Family& family : kFamilies)
        if (family.splitsTallPages)
            families.push_back(family);
    return families;
}

INSTANTIATE_TEST_SUITE_P(RasterFamilies, PreviewTallPage, ::testing::ValuesIn(TallPageFamilies()),
                         [](const ::testing::TestParamInfo<Family>& info) {
                             return std::string(info.param.language) + (info.param.compress ? "Compressed" : "Plain");
                         });

}  // namespace

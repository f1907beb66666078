#include <gtest/gtest.h>

#include <memory>

#include "preview/PreviewLanguages.h"
#include "preview/PreviewTestSupport.h"
#include "support/CupsChainTest.h"
#include "support/FamilyCases.h"

using namespace testing_support;

namespace {

const std::string kSamples = QUORVANT_SOURCE_DIR "/samples/";

struct Family {
    const char* ppd;
    int headDots;     // raster width of the family's default page
    int rowMultiple;  // decoded rows are whole multiples of it: 32 dots (TSPL, CPCL), 8 (ZPL), else 1
    const char* options;
    // A setting the output must carry after those options (name, value).
    const char* setting;
    const char* value;
    const char* Language() const { return FamilyOfPpd(ppd).language; }
    friend void PrintTo(const Family& f, std::ostream* os) { *os << f.ppd; }
};

const Family kFamilies[] = {
    {"qvtspl.ppd", 812, 32, "Darkness=12 zeMediaTracking=Continuous", "density", "12"},
    {"qvescpos.ppd", 576, 1, "FeedOffset=10 qvEndFeed=0", "feed", "79 dots"},
    {"qvcpcl.ppd", 812, 32, "zeMediaTracking=Gap", "form feed", "yes"},
    {"qvtavrin.ppd", 384, 1, "zeMediaTracking=Gap", "paper locate", "100"},
    {"qvsolvan.ppd", 384, 1, "Darkness=3 zeMediaTracking=Gap", "density", "3"},
    {"qvzpl.ppd", 812, 8, "Darkness=25 zeMediaTracking=BLine", "media tracking", "M"},
    // EPL2's label width (q) is the rows' whole bytes: 816 dots for 812.
    {"qvepl2.ppd", 816, 1, "Darkness=12 zeMediaTracking=Continuous", "darkness", "12"},
    {"qvdymo4x.ppd", 1200, 1, "Darkness=3", "density", "dark"},
    {"qvql820.ppd", 720, 1, "zeMediaTracking=Continuous", "media", "62 mm continuous"},
};

TEST(CupsChain, CasesCoverEveryFamily) {
    EXPECT_TRUE(CoversEveryFamily(kFamilies, [](const Family& f) { return &FamilyOfPpd(f.ppd); }));
}

int DecodedWidth(const Family& family) {
    return (family.headDots + family.rowMultiple - 1) / family.rowMultiple * family.rowMultiple;
}

// The whole CUPS chain without a scheduler: pdftopdf and quorvant-pdf (or
// imagetoraster and quorvant), as a queue with the shipped PPD runs it.
class CupsChain : public CupsChainTest, public ::testing::WithParamInterface<Family> {
protected:
    // Prints `document` and decodes the stream; fails the test on any error.
    std::vector<CPreviewPage> Print(const std::string& document, const std::string& options) {
        const Family& family = GetParam();
        FilterResult r = RunCupsfilter(*tree, BuiltPpd(family.ppd), document, options);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.ErrLines("ERROR: "), std::vector<std::string>{});
        std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create(family.Language());
        EXPECT_TRUE(decoder->Decode(r.out.data(), r.out.size())) << decoder->Error().Message();
        return decoder->Pages();
    }
};

}  // namespace

TEST_P(CupsChain, PdfLabelPrintsWithTheJobOptions) {
    const Family& family = GetParam();
    std::vector<CPreviewPage> pages = Print(kSamples + "sample-label.pdf", family.options);
    ASSERT_EQ(pages.size(), 1u);
    const CPreviewPage& page = pages[0];
    EXPECT_EQ(page.Width(), DecodedWidth(family));
    EXPECT_EQ(SettingOf(page, family.setting), family.value);
    // Text, bars and the halftoned ramp: a real share of the head's dots, far from all.
    double black = double(page.BlackDots()) / (double(page.Width()) * page.Height());
    EXPECT_GT(black, 0.03);
    EXPECT_LT(black, 0.5);
}

TEST_P(CupsChain, PngImagePrints) {
    const Family& family = GetParam();
    std::vector<CPreviewPage> pages = Print(kSamples + "sample-photo.png", "");
    ASSERT_EQ(pages.size(), 1u);
    // CUPS's image filter places the picture on the page and may leave margins.
    EXPECT_LE(pages[0].Width(), DecodedWidth(family));
    EXPECT_GT(pages[0].Width(), family.headDots / 2);
    EXPECT_GT(pages[0].BlackDots(), 1000u);
}

INSTANTIATE_TEST_SUITE_P(Families, CupsChain, ::testing::ValuesIn(kFamilies),
                         [](const ::testing::TestParamInfo<Family>& info) {
                             return std::string(info.param.Language());
                         });

// CUPS's image filter reads "Brightness" itself, as a percentage where 100
// leaves an image unchanged: the filter's small brightness changes make image
// files darker there, while PDF and text jobs are unaffected.
TEST(CupsChainOptions, BrightnessOptionAlsoReachesCupsImageFilter) {
    if (BuiltPpd("qvtspl.ppd").empty() || !HaveProgram("cupsfilter"))
        GTEST_SKIP() << "the PPDs or cupsfilter are missing";
    CupsTree tree;
    auto blackDots = [&tree](const std::string& document, const std::string& options) {
        FilterResult r = RunCupsfilter(tree, BuiltPpd("qvtspl.ppd"), document, options);
        std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create("tspl");
        EXPECT_TRUE(decoder->Decode(r.out.data(), r.out.size())) << decoder->Error().Message();
        return decoder->Pages().empty() ? size_t(0) : decoder->Pages()[0].BlackDots();
    };
    size_t photo = blackDots(kSamples + "sample-photo.png", "");
    EXPECT_GT(blackDots(kSamples + "sample-photo.png", "Brightness=0"), photo + photo / 10);
    size_t label = blackDots(kSamples + "sample-label.pdf", "");
    EXPECT_EQ(blackDots(kSamples + "sample-label.pdf", "Brightness=0"), label);
}

// The black-and-white colour model asks the rasterizer for 1-bit pages, which
// the filter prints as they come.
TEST(CupsChainOptions, BlackAndWhiteModelSendsOneBitPages) {
    if (BuiltPpd("qvtspl.ppd").empty() || !HaveProgram("cupsfilter"))
        GTEST_SKIP() << "the PPDs or cupsfilter are missing";
    CupsTree tree;
    FilterResult r =
        RunCupsfilter(tree, BuiltPpd("qvtspl.ppd"), kSamples + "sample-label.pdf", "ColorModel=BlackWhite");
    EXPECT_EQ(r.status, 0) << r.err;
    std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create("tspl");
    ASSERT_TRUE(decoder->Decode(r.out.data(), r.out.size())) << decoder->Error().Message();
    ASSERT_EQ(decoder->Pages().size(), 1u);
    EXPECT_EQ(decoder->Pages()[0].Width(), 832);
    EXPECT_GT(decoder->Pages()[0].BlackDots(), 100000u);
}

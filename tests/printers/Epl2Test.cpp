#include <cups/raster.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "preview/PreviewTestSupport.h"
#include "printers/CPrinterEPL2.h"
#include "printers/PrinterJob.h"
#include "support/CupsSystem.h"
#include "support/TestHost.h"

using namespace testing_support;

// Everything here is local: other test files use the same case names.
namespace {

const int kEpl2 = 31;
// The printer's own darkness and speed, labels with gaps.
const std::map<std::string, std::string> kDefaults = {
    {"Darkness", "Default"}, {"zePrintRate", "Default"}, {"zeMediaTracking", "Gap"}};

// Rows 0 and 3 white, row 1 all black (a row lprint would drop), row 2 a
// dot in its second byte, row 4 a dot at the right end, row 5 white.
bool Rows(unsigned x, unsigned y) { return y == 1 || (y == 2 && x == 9) || (y == 4 && x == 19); }

TEST(Epl2Renderer, SendsOnlyTheBlackRowsInBandsCutToTheirBlackBytes) {
    const RasterPage page = MakeBitPage(20, 6, Rows);
    FilterResult r = RunModelJob(kEpl2, {page}, kDefaults);
    ASSERT_EQ(r.status, 0) << r.err;
    // Rows 1 and 2 make one band as wide as row 1; row 4 one of its last byte.
    const Bytes expected = Concat({ToBytes("\nN\nq24\nQ6,23\nGW0,1,3,2\n"),
                                   {0x00, 0x00, 0x0F, 0xFF, 0xBF, 0xFF},
                                   ToBytes("\nGW16,4,1,1\n"),
                                   {0xEF},
                                   ToBytes("\nP1\n")});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
    bool ok = false;
    const auto decoder = Decoded("epl2", r.out, &ok);
    ASSERT_TRUE(ok) << decoder->Error().Message();
    EXPECT_EQ(DiffBytes(PrinterRows(page, 3), decoder->Pages().at(0).Dots()), "");
    std::vector<std::string> commands;
    for (const PreviewCommand& c : decoder->Commands())
        commands.push_back(c.text);
    EXPECT_EQ(commands,
              (std::vector<std::string>{"N", "q24", "Q6,23", "GW 0,1 24x2 (6 bytes)", "GW 16,4 8x1 (1 bytes)", "P1"}));
}

TEST(Epl2Renderer, WhitePageIsALabelWithoutGraphics) {
    FilterResult r = RunModelJob(kEpl2, {MakeBitPage(16, 4, [](unsigned, unsigned) { return false; })}, kDefaults);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DiffBytes(ToBytes("\nN\nq16\nQ4,23\nP1\n"), r.out), "");
}

struct SettingsCase {
    std::map<std::string, std::string> options;
    const char* lines;  // between q and the graphics
};

class Epl2Settings : public ::testing::TestWithParam<SettingsCase> {};

// Tracking, darkness and speed, in the printer's own units.
TEST_P(Epl2Settings, BecomeQDAndS) {
    std::map<std::string, std::string> options = kDefaults;
    for (const auto& [name, value] : GetParam().options)
        options[name] = value;
    FilterResult r = RunModelJob(kEpl2, {MakeBitPage(8, 2, [](unsigned, unsigned) { return false; })}, options);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DiffBytes(ToBytes("\nN\nq8\n" + std::string(GetParam().lines) + "P1\n"), r.out), "");
}

INSTANTIATE_TEST_SUITE_P(Epl2Renderer, Epl2Settings,
                         ::testing::Values(SettingsCase{{{"zeMediaTracking", "Gap"}}, "Q2,23\n"},
                                           SettingsCase{{{"zeMediaTracking", "Continuous"}}, "Q2,0\n"},
                                           SettingsCase{{{"zeMediaTracking", "BLine"}}, "Q2,B16,0\n"},
                                           SettingsCase{{{"Darkness", "0"}, {"zePrintRate", "2"}}, "Q2,23\nD0\nS2\n"},
                                           SettingsCase{{{"Darkness", "15"}, {"zePrintRate", "4"}},
                                                        "Q2,23\nD15\nS4\n"}));

// The built PPD's copies reach P: the printer prints them from one image.
TEST(Epl2Renderer, CopiesArePsCount) {
    const std::string ppd = BuiltPpd("qvepl2.ppd");
    if (ppd.empty())
        GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    const std::vector<RasterPage> pages = {MakeBitPage(40, 8, Weave)};
    Bytes stream = RasterBytes(pages, CUPS_RASTER_WRITE);
    PatchHeader(stream, pages, 0, offsetof(cups_page_header2_t, NumCopies), 3);
    FilterJob job = MakeJob(ppd);
    job.args[3] = "3";
    job.input = stream;
    FilterResult r = RunFilter(job);
    ASSERT_EQ(r.status, 0) << r.err;
    bool ok = false;
    const auto decoder = Decoded("epl2", r.out, &ok);
    ASSERT_TRUE(ok) << decoder->Error().Message();
    ASSERT_EQ(decoder->Pages().size(), 1u);
    EXPECT_EQ(SettingOf(decoder->Pages()[0], "print"), "3");
}

// One 4 x 6 in label through quorvant with the shipped PPD and through
// CUPS's own rastertolabel with the Zebra EPL2 PPD of CUPS's sample driver
// file: each PPD's raster of the page (quorvant's is W, CUPS's K), the
// darkest darkness on each scale and 3 in/s. Both streams decode to the same
// dots on a label of the same width, with the same darkness, speed and
// copies; quorvant sends fewer bytes, since it leaves out white rows.
TEST(Epl2Renderer, PrintsTheDotsCupsRastertolabelPrints) {
    const std::string ppd = BuiltPpd("qvepl2.ppd");
    if (ppd.empty())
        GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    TempDir dir;
    std::string why;
    const std::string zebra = CupsSamplePpd(dir, "zebraep2.ppd", why);
    if (zebra.empty())
        GTEST_SKIP() << why;

    // Bars, white lines and a white margin on the right.
    const RasterPage page = MakeBitPage(812, 1218, [](unsigned x, unsigned y) {
        return x < 700 && (y / 40) % 3 != 1 && ((x / 7 + y / 90) % 3 == 0 || y % 200 == 5);
    });
    FilterJob ours = MakeJob(ppd, "Darkness=15 zePrintRate=3");
    ours.rasterFile = dir.File("w.ras");
    WriteBitRaster(ours.rasterFile, page, CUPS_CSPACE_W, 0);
    FilterJob cups = MakeJob(zebra, "zePrintRate=3");
    cups.program = kRastertolabel;
    cups.rasterFile = dir.File("k.ras");
    WriteBitRaster(cups.rasterFile, page, CUPS_CSPACE_K, 100);  // "Darkness" 30 of 30

    std::vector<CPreviewPage> decoded;
    std::vector<size_t> bytes;
    ASSERT_NO_FATAL_FAILURE(DecodeOnePageEach("epl2", {&ours, &cups}, decoded, bytes));
    EXPECT_EQ(decoded[0].Width(), 816);
    EXPECT_EQ(decoded[0].Width(), decoded[1].Width());
    EXPECT_EQ(decoded[0].Height(), decoded[1].Height());
    EXPECT_EQ(DiffBytes(decoded[1].Dots(), decoded[0].Dots()), "");
    EXPECT_EQ(DiffBytes(PrinterRows(page, 102), decoded[0].Dots()), "");
    for (const char* setting : {"label width", "darkness", "speed", "print"})
        EXPECT_EQ(SettingOf(decoded[0], setting), SettingOf(decoded[1], setting)) << setting;
    EXPECT_EQ(SettingOf(decoded[0], "darkness"), "15");
    EXPECT_LT(bytes[0], bytes[1]);
}

}  // namespace

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "preview/PreviewLanguages.h"
#include "support/CupsSystem.h"
#include "support/FilterRun.h"
#include "support/TestFiles.h"

using namespace testing_support;

// The options and attributes of the project's own PPDs, through the real
// filter with the built PPDs; each output is decoded by the preview.
namespace {

RasterPage GrayPage(unsigned width, unsigned height, unsigned blackFrom, unsigned blackTo) {
    RasterPage page;
    page.width = width;
    page.height = height;
    page.bitsPerPixel = 8;
    page.data.assign(static_cast<size_t>(width) * height, 0xFF);
    for (unsigned y = blackFrom; y < blackTo; y++)
        std::memset(page.data.data() + static_cast<size_t>(y) * width + width / 4, 0x00, width / 2);
    return page;
}

struct Printed {
    FilterResult run;
    std::unique_ptr<CPreviewDecoder> decoder;
};

Printed Print(const std::string& ppd, const std::string& language, const Bytes& stream,
              const std::string& options = "") {
    FilterJob job = MakeJob(ppd, options);
    job.input = stream;
    Printed p{RunFilter(job), PreviewLanguages::Create(language)};
    EXPECT_TRUE(p.decoder->Decode(p.run.out.data(), p.run.out.size())) << p.decoder->Error().Message();
    return p;
}

bool EndsWith(const Bytes& out, const Bytes& tail) {
    return out.size() >= tail.size() &&
           std::equal(tail.begin(), tail.end(), out.end() - static_cast<long>(tail.size()));
}

class ProjectPpd : public ::testing::Test {
protected:
    void SetUp() override {
        if (BuiltPpd("qvescpos.ppd").empty())
            GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    }
};

}  // namespace

// A 200 mm receipt page with 25 mm of content comes out as long as the
// content, then feeds 15 mm past the cutter and cuts once at the end.
TEST_F(ProjectPpd, ReceiptIsTrimmedFedAndCut) {
    Printed p = Print(BuiltPpd("qvescpos.ppd"), "escpos", RasterBytes({GrayPage(576, 1600, 700, 900)}));
    ASSERT_EQ(p.run.status, 0) << p.run.err;
    ASSERT_EQ(p.decoder->Pages().size(), 1u);
    EXPECT_EQ(p.decoder->Pages()[0].Height(), 200);
    EXPECT_TRUE(EndsWith(p.run.out, {0x1B, 0x4A, 119, 0x1D, 0x56, 0x30}));

    Printed drawer = Print(BuiltPpd("qvescpos.ppd"), "escpos", RasterBytes({GrayPage(576, 100, 10, 20)}),
                           "qvCashDrawer=1 qvCutMode=4 qvEndFeed=0");
    const Bytes pulse = {0x1B, 0x70, 0x00, 0xFF, 0xFF};
    EXPECT_TRUE(std::equal(pulse.begin(), pulse.end(), drawer.run.out.begin()));
    EXPECT_TRUE(EndsWith(drawer.run.out, {0x1D, 0x56, 0x31}));
}

TEST_F(ProjectPpd, PageWiderThanTheHeadIsScaledToIt) {
    Printed p = Print(BuiltPpd("qvesc58.ppd"), "escpos", RasterBytes({GrayPage(480, 400, 0, 400)}));
    ASSERT_EQ(p.run.status, 0) << p.run.err;
    EXPECT_EQ(
        p.run.ErrLines("WARNING: "),
        std::vector<std::string>{
            "WARNING: The page is 480 dots wide, more than the print head's 384 dots; it was scaled down to fit."});
    ASSERT_EQ(p.decoder->Pages().size(), 1u);
    EXPECT_EQ(p.decoder->Pages()[0].Width(), 384);
    EXPECT_EQ(p.decoder->Pages()[0].Height(), 320);
}

// CUPS's image filter sends a picture smaller than the label, its bounding
// box inside the page size: it prints on a label of the media's size, placed
// where the box says.
TEST_F(ProjectPpd, PictureSmallerThanTheLabelPrintsAtTheLabelsSize) {
    std::vector<RasterPage> pages = {GrayPage(761, 1218, 0, 1218)};
    for (size_t i = 0; i < pages[0].data.size(); i++)
        pages[0].data[i] = 0x00;
    Bytes stream = RasterBytes(pages, CUPS_RASTER_WRITE);
    const uint32_t box[4] = {9, 0, 279, 432};
    PatchHeader(stream, pages, 0, offsetof(cups_page_header2_t, PageSize), 288);
    PatchHeader(stream, pages, 0, offsetof(cups_page_header2_t, PageSize) + 4, 432);
    for (int i = 0; i < 4; i++)
        PatchHeader(stream, pages, 0, offsetof(cups_page_header2_t, ImagingBoundingBox) + 4 * i, box[i]);
    Printed p = Print(BuiltPpd("qvtspl.ppd"), "tspl", stream, "ImageFilter=0");
    ASSERT_EQ(p.run.status, 0) << p.run.err;
    EXPECT_EQ(std::string(p.run.out.begin(), p.run.out.begin() + 26), "SIZE 101.60 mm,152.40 mm\r\n");
    ASSERT_EQ(p.decoder->Pages().size(), 1u);
    const CPreviewPage& page = p.decoder->Pages()[0];
    const uint8_t* row = page.Row(600);
    auto black = [row](int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; };
    EXPECT_FALSE(black(24));
    EXPECT_TRUE(black(25));
    EXPECT_TRUE(black(785));
    EXPECT_FALSE(black(786));
}

// An end feed past the shared range (100 mm) feeds as its limit does.
TEST_F(ProjectPpd, EndFeedPastItsRangeFeedsItsLimit) {
    TempDir dir;
    // The PPD with its 33 mm choice turned into `feed` mm, and marked.
    auto withEndFeed = [&dir](const std::string& feed) {
        const Bytes text = ReadFile(BuiltPpd("qvescpos.ppd"));
        std::string ppd(text.begin(), text.end());
        const std::pair<std::string, std::string> edits[] = {
            {"*DefaultqvEndFeed: 15", "*DefaultqvEndFeed: " + feed},
            {"*qvEndFeed 33/33 mm:", "*qvEndFeed " + feed + "/" + feed + " mm:"},
        };
        for (const auto& [from, to] : edits)
            ppd.replace(ppd.find(from), from.size(), to);
        WriteFile(dir.File(feed + ".ppd"), Bytes(ppd.begin(), ppd.end()));
        return dir.File(feed + ".ppd");
    };
    const Bytes stream = RasterBytes({GrayPage(576, 100, 10, 20)});
    Printed past = Print(withEndFeed("150"), "escpos", stream);
    Printed limit = Print(withEndFeed("100"), "escpos", stream);
    ASSERT_EQ(past.run.status, 0) << past.run.err;
    EXPECT_EQ("", DiffBytes(limit.run.out, past.run.out));
    // 100 mm at 203 dpi: 799 dots in ESC J steps of at most 255, then the cut.
    EXPECT_TRUE(EndsWith(past.run.out, {0x1B, 0x4A, 255, 0x1B, 0x4A, 34, 0x1D, 0x56, 0x30}));
}

// Quirk attributes added to a PPD: fewer rows per raster command, no SETC.
TEST_F(ProjectPpd, QuirkAttributesChangeOnlyWhatTheyName) {
    TempDir dir;
    auto withAttributes = [&dir](const std::string& name, const std::string& lines) {
        Bytes text = ReadFile(BuiltPpd(name));
        text.insert(text.end(), lines.begin(), lines.end());
        WriteFile(dir.File(name), text);
        return dir.File(name);
    };
    const Bytes stream = RasterBytes({GrayPage(576, 250, 0, 250)});
    const std::string banded = withAttributes("qvescpos.ppd", "*qvMaxRasterRows: \"100\"\n");
    Printed p = Print(banded, "escpos", stream, "qvTrimRoll=False");
    Printed plain = Print(BuiltPpd("qvescpos.ppd"), "escpos", stream, "qvTrimRoll=False");
    ASSERT_EQ(p.decoder->Pages().size(), 1u);
    EXPECT_EQ(p.decoder->Pages()[0].Dots(), plain.decoder->Pages()[0].Dots());
    EXPECT_EQ(p.run.out.size(), plain.run.out.size() + 2 * 8);  // two more GS v 0 heads

    const std::string quiet = withAttributes("qvtspl.ppd", "*qvNoSetc: \"True\"\n");
    Printed tspl = Print(quiet, "tspl", RasterBytes({GrayPage(64, 16, 0, 16)}));
    const std::string text(tspl.run.out.begin(), tspl.run.out.end());
    EXPECT_EQ(text.find("SETC"), std::string::npos);
    EXPECT_NE(text.find("PRINT 1,1"), std::string::npos);
}

// With the shipped TSPL PPD's "qvPrinterCopies" the printer makes the copies
// a page's header asks for, from one bitmap; the same PPD without it sends
// the bytes and status lines a job of one copy does.
TEST_F(ProjectPpd, PrinterCopiesOnlyWithTheAttribute) {
    TempDir dir;
    const Bytes text = ReadFile(BuiltPpd("qvtspl.ppd"));
    std::string ppd(text.begin(), text.end());
    const std::string attribute = "*qvPrinterCopies: True\n";
    ASSERT_NE(ppd.find(attribute), std::string::npos);
    ppd.erase(ppd.find(attribute), attribute.size());
    WriteFile(dir.File("plain.ppd"), Bytes(ppd.begin(), ppd.end()));

    const std::vector<RasterPage> pages = {GrayPage(812, 200, 50, 70)};
    auto run = [&](const std::string& path, uint32_t copies) {
        Bytes stream = RasterBytes(pages, CUPS_RASTER_WRITE);
        PatchHeader(stream, pages, 0, offsetof(cups_page_header2_t, NumCopies), copies);
        FilterJob job = MakeJob(path);
        job.args[3] = std::to_string(copies);
        job.input = stream;
        return RunFilter(job);
    };
    const FilterResult counted = run(BuiltPpd("qvtspl.ppd"), 100);
    ASSERT_EQ(counted.status, 0) << counted.err;
    const std::string out(counted.out.begin(), counted.out.end());
    EXPECT_EQ(out.find("BITMAP"), out.rfind("BITMAP"));
    EXPECT_EQ(out.substr(out.size() - 15), "\r\nPRINT 1,100\r\n");
    EXPECT_EQ(counted.ErrLines("PAGE: "), std::vector<std::string>{"PAGE: 1 100"});

    const FilterResult plain = run(dir.File("plain.ppd"), 100), once = run(dir.File("plain.ppd"), 1);
    EXPECT_EQ("", DiffBytes(once.out, plain.out));
    EXPECT_EQ(once.err, plain.err);
    EXPECT_EQ(plain.ErrLines("PAGE: "), std::vector<std::string>{"PAGE: 1 1"});
}

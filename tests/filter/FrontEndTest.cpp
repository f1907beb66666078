#include <gtest/gtest.h>

#include <csignal>
#include <cstddef>

#include "families/Families.h"
#include "support/FilterRun.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

bool Diagonal(unsigned x, unsigned y) { return x % 50 == y % 50; }

class FrontEnd : public ::testing::Test {
protected:
    void SetUp() override {
        PpdSpec ppdSpec;
        ppdSpec.options = FilterOptions();
        ppd = dir.File("tspl.ppd");
        WriteFile(ppd, PpdText(ppdSpec));
    }

    std::string WritePpd(const PpdSpec& ppdSpec, const std::string& name) {
        std::string path = dir.File(name);
        WriteFile(path, PpdText(ppdSpec));
        return path;
    }

    TempDir dir;
    std::string ppd;
};

std::vector<RasterPage> ThreePages() {
    return {MakeBitPage(64, 10, Diagonal), MakeBitPage(72, 20, Diagonal), MakeBitPage(80, 30, Diagonal)};
}

// Offset of every label program ("SIZE " at the start of a line) in TSPL output.
std::vector<size_t> ProgramStarts(const Bytes& out) {
    std::vector<size_t> starts;
    std::string text(out.begin(), out.end());
    for (size_t at = text.find("SIZE "); at != std::string::npos; at = text.find("\r\nSIZE ", at + 1))
        starts.push_back(at == 0 ? 0 : at + 2);
    return starts;
}

}  // namespace

TEST_F(FrontEnd, WrongArgumentCountsGiveTheUsageLine) {
    for (size_t count : {4u, 7u}) {  // five and eight arguments with argv[0]
        FilterJob job = MakeJob(ppd);
        job.args.resize(count, "x");
        FilterResult r = RunFilter(job);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "ERROR: quorvant job-id user title copies options [file]\n");
        EXPECT_TRUE(r.out.empty());
    }
}

TEST_F(FrontEnd, MissingRasterFileIsReported) {
    FilterJob job = MakeJob(ppd);
    job.rasterFile = dir.File("nowhere.ras");
    FilterResult r = RunFilter(job);
    EXPECT_EQ(r.status, 1);
    // libcups writes this prefix without a blank; the scheduler accepts both forms.
    EXPECT_EQ(r.err, "ERROR:Unable to open raster file: No such file or directory\n");
    EXPECT_TRUE(r.out.empty());
}

TEST_F(FrontEnd, UnopenablePpdIsReported) {
    for (std::string path : {std::string(), dir.File("missing.ppd")}) {
        FilterJob job = MakeJob(path);
        job.input = RasterBytes(ThreePages());
        FilterResult r = RunFilter(job);
        EXPECT_EQ(r.status, 1);
        std::vector<std::string> lines = r.ErrLines();
        ASSERT_EQ(lines.size(), 2u) << r.err;
        EXPECT_EQ(lines[0], "ERROR: The PPD file could not be opened.");
        EXPECT_EQ(lines[1].rfind("DEBUG: ", 0), 0u);
        EXPECT_NE(lines[1].find(" on line "), std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
}

TEST_F(FrontEnd, UnknownModelNumberFailsWithoutOutput) {
    PpdSpec ppdSpec;
    ppdSpec.modelNumber = Families::All().back().modelNumber + 1;
    ASSERT_EQ(nullptr, Families::Find(ppdSpec.modelNumber));
    FilterJob job = MakeJob(WritePpd(ppdSpec, "unknown.ppd"));
    job.input = RasterBytes(ThreePages());
    FilterResult r = RunFilter(job);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: Unknow ModelNumber.\n");
    EXPECT_TRUE(r.out.empty());
}

TEST_F(FrontEnd, EmptyStreamHasNoPages) {
    FilterResult r = RunFilter(MakeJob(ppd));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: No pages were found.\n");
    EXPECT_TRUE(r.out.empty());
}

TEST_F(FrontEnd, StandardInputAndFileGiveTheSameJob) {
    std::vector<RasterPage> pages = ThreePages();
    FilterJob fromStdin = MakeJob(ppd);
    fromStdin.input = RasterBytes(pages);
    FilterJob fromFile = MakeJob(ppd);
    fromFile.rasterFile = dir.File("job.ras");
    WriteRaster(fromFile.rasterFile, pages);

    FilterResult a = RunFilter(fromStdin);
    FilterResult b = RunFilter(fromFile);
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(b.status, 0);
    EXPECT_EQ(DiffBytes(a.out, b.out), "");
    EXPECT_EQ(a.err, b.err);
    EXPECT_EQ(ProgramStarts(a.out).size(), 3u);
}

TEST_F(FrontEnd, PagesAreAccountedInOrder) {
    FilterJob job = MakeJob(ppd);
    job.input = RasterBytes(ThreePages());
    FilterResult r = RunFilter(job);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "PAGE: 1 1\nINFO: Starting page 1.\nINFO: Finished page 1.\n"
              "PAGE: 2 1\nINFO: Starting page 2.\nINFO: Finished page 2.\n"
              "PAGE: 3 1\nINFO: Starting page 3.\nINFO: Finished page 3.\n");
    std::string text(r.out.begin(), r.out.end());
    size_t first = text.find("BITMAP 0,0,8,10,1,");
    size_t second = text.find("BITMAP 0,0,12,20,1,");
    size_t third = text.find("BITMAP 0,0,12,30,1,");
    ASSERT_NE(first, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_NE(third, std::string::npos);
}

TEST_F(FrontEnd, CancelBetweenPagesStopsBeforeTheNextPage) {
    std::vector<RasterPage> pages = ThreePages();
    Bytes stream = RasterBytes(pages, CUPS_RASTER_WRITE);
    size_t firstPageEnd = 4 + sizeof(cups_page_header2_t) + 8 * 10;

    FilterProcess filter(MakeJob(ppd));
    filter.Write(Bytes(stream.begin(), stream.begin() + static_cast<long>(firstPageEnd)));
    ASSERT_TRUE(filter.WaitForErr("Finished page 1.", kHangMs));
    filter.Signal(SIGTERM);
    filter.Write(Bytes(stream.begin() + static_cast<long>(firstPageEnd), stream.end()));
    FilterResult r = filter.Wait();

    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "PAGE: 1 1\nINFO: Starting page 1.\nINFO: Finished page 1.\n");
    EXPECT_EQ(ProgramStarts(r.out).size(), 1u);
}

TEST_F(FrontEnd, CancelDuringAPageFinishesThatPage) {
    std::vector<RasterPage> pages = ThreePages();
    Bytes stream = RasterBytes(pages, CUPS_RASTER_WRITE);
    size_t midSecond = 4 + sizeof(cups_page_header2_t) + 8 * 10 + sizeof(cups_page_header2_t) + 9 * 7;

    FilterProcess filter(MakeJob(ppd));
    filter.Write(Bytes(stream.begin(), stream.begin() + static_cast<long>(midSecond)));
    ASSERT_TRUE(filter.WaitForErr("Starting page 2.", kHangMs));
    filter.Signal(SIGTERM);
    filter.Write(Bytes(stream.begin() + static_cast<long>(midSecond), stream.end()));
    FilterResult r = filter.Wait();

    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "PAGE: 1 1\nINFO: Starting page 1.\nINFO: Finished page 1.\n"
              "PAGE: 2 1\nINFO: Starting page 2.\nINFO: Finished page 2.\n");
    std::string text(r.out.begin(), r.out.end());
    ASSERT_EQ(ProgramStarts(r.out).size(), 2u);
    // The second program carries its whole bitmap.
    size_t bitmap = text.find("BITMAP 0,0,12,20,1,");
    ASSERT_NE(bitmap, std::string::npos);
    EXPECT_EQ(text.substr(bitmap + 19 + 12 * 20), "\r\nPRINT 1,1\r\n");
}

TEST_F(FrontEnd, UnsupportedDepthIsReportedAndCountsAsAPage) {
    RasterPage twoBit;
    twoBit.width = 16;
    twoBit.height = 4;
    twoBit.bitsPerPixel = 2;
    std::vector<RasterPage> pages = {twoBit, MakeBitPage(32, 4, Diagonal)};
    FilterJob job = MakeJob(ppd);
    job.input = RasterBytes(pages);
    FilterResult r = RunFilter(job);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.ErrLines("ERROR: "),
              std::vector<std::string>{"ERROR: Unable to create the image of page 1 (2 bits per pixel)."});
    EXPECT_EQ(r.ErrLines("PAGE: ").size(), 2u);
    EXPECT_EQ(ProgramStarts(r.out).size(), 1u);
}

TEST_F(FrontEnd, StreamEndingMidPagePrintsTheRestBlank) {
    std::vector<RasterPage> pages = {MakeBitPage(32, 8, [](unsigned, unsigned) { return true; })};
    Bytes stream = RasterBytes(pages, CUPS_RASTER_WRITE);
    stream.resize(stream.size() - 4 * 3);  // the last three rows are missing
    FilterJob job = MakeJob(ppd);
    job.input = stream;
    FilterResult r = RunFilter(job);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.ErrLines("WARNING: "),
              std::vector<std::string>{"WARNING: Page 1 ended early; its missing lines print blank."});
    std::string text(r.out.begin(), r.out.end());
    size_t bitmap = text.find("BITMAP 0,0,4,8,1,");
    ASSERT_NE(bitmap, std::string::npos);
    Bytes bits(r.out.begin() + static_cast<long>(bitmap) + 17, r.out.begin() + static_cast<long>(bitmap) + 17 + 32);
    EXPECT_EQ(Hex(bits.data(), 32),
              "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
              "FF FF FF FF FF FF FF FF FF FF FF FF ");
}

// A header that contradicts itself must not reach the image code: the page is
// reported, its data are consumed, and the next page prints normally.
struct BadHeader {
    const char* name;
    size_t field;
    uint32_t value;
    const char* problem;
};

class MalformedHeader : public FrontEnd, public ::testing::WithParamInterface<BadHeader> {};

TEST_P(MalformedHeader, IsReportedAndTheNextPagePrints) {
    const BadHeader& bad = GetParam();
    std::vector<RasterPage> pages = {MakeBitPage(64, 6, Diagonal), MakeBitPage(32, 5, Diagonal)};
    Bytes stream = RasterBytes(pages, CUPS_RASTER_WRITE);
    PatchHeader(stream, pages, 0, bad.field, bad.value);

    FilterJob good = MakeJob(ppd);
    good.input = RasterBytes({pages[1]});
    FilterResult expected = RunFilter(good);

    FilterJob job = MakeJob(ppd);
    job.input = stream;
    FilterResult r = RunFilter(job);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.ErrLines("ERROR: "),
              std::vector<std::string>{std::string("ERROR: Page 1 has an invalid raster header (") + bad.problem +
                                       ") and was not printed."});
    EXPECT_EQ(r.ErrLines("PAGE: ").size(), 2u);
    EXPECT_EQ(DiffBytes(expected.out, r.out), "");
}

INSTANTIATE_TEST_SUITE_P(
    FrontEnd, MalformedHeader,
    ::testing::Values(BadHeader{"ZeroWidth", offsetof(cups_page_header2_t, cupsWidth), 0, "zero width or height"},
                      BadHeader{"ZeroResolution", offsetof(cups_page_header2_t, HWResolution), 0,
                                "horizontal resolution out of range"},
                      BadHeader{"HugeResolution", offsetof(cups_page_header2_t, HWResolution), 4000000000u,
                                "horizontal resolution out of range"},
                      BadHeader{"WidthBeyondBytesPerLine", offsetof(cups_page_header2_t, cupsWidth), 65,
                                "bytes per line too small for the width"},
                      BadHeader{"DepthBeyondBytesPerLine", offsetof(cups_page_header2_t, cupsBitsPerPixel), 8,
                                "bytes per line too small for the width"},
                      BadHeader{"HugeVerticalResolution", offsetof(cups_page_header2_t, HWResolution) + 4, 1u << 26,
                                "vertical resolution out of range"}),
    [](const ::testing::TestParamInfo<BadHeader>& info) { return std::string(info.param.name); });

TEST_F(FrontEnd, HugeDeclaredPageIsRefusedWithoutAllocating) {
    std::vector<RasterPage> pages = {MakeBitPage(64, 6, Diagonal)};
    struct Case {
        uint32_t height;
        const char* problem;
        const char* last;
    };
    for (Case c : {Case{100000000u, "page image too large", "ERROR: No page of the job could be printed."},
                   Case{0xFFFFFFFFu, "page data too large",
                        "ERROR: The rest of the raster data cannot be read; the job stops."}}) {
        Bytes stream = RasterBytes(pages, CUPS_RASTER_WRITE);
        PatchHeader(stream, pages, 0, offsetof(cups_page_header2_t, cupsHeight), c.height);
        FilterJob job = MakeJob(ppd);
        job.input = stream;
        FilterResult r = RunFilter(job);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.ErrLines("ERROR: "),
                  (std::vector<std::string>{std::string("ERROR: Page 1 has an invalid raster header (") + c.problem +
                                                ") and was not printed.",
                                            c.last}));
        EXPECT_TRUE(r.out.empty());
    }
}

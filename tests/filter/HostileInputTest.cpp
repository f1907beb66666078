#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "preview/PreviewLanguages.h"
#include "support/CupsSystem.h"
#include "support/FilterRun.h"
#include "support/Sanitizers.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

std::string TsplPpd(const TempDir& dir, const std::map<std::string, std::string>& defaults = {}) {
    PpdSpec ppdSpec;
    ppdSpec.options = FilterOptions(defaults);
    const std::string path = dir.File("tspl.ppd");
    WriteFile(path, PpdText(ppdSpec));
    return path;
}

RasterPage GrayPage(unsigned width, unsigned height) {
    RasterPage page;
    page.width = width;
    page.height = height;
    page.bitsPerPixel = 8;
    page.data.assign(static_cast<size_t>(width) * height, 0x80);
    return page;
}

// Sets one field in every header of the stream that describes `page`. Headers
// are found by their size and depth fields (libcups fills in others), so this
// works on compressed streams as well.
void PatchEveryHeader(Bytes& stream, const RasterPage& page, size_t field, uint32_t value) {
    const cups_page_header2_t header = page.Header();
    const size_t from = offsetof(cups_page_header2_t, cupsWidth), to = offsetof(cups_page_header2_t, cupsNumColors);
    const uint8_t* h = reinterpret_cast<const uint8_t*>(&header);
    for (size_t at = 4; at + sizeof header <= stream.size(); at++)
        if (std::memcmp(stream.data() + at + from, h + from, to - from) == 0)
            std::memcpy(stream.data() + at + field, &value, 4);
}

}  // namespace

// Streams that declare far more than they carry: each is refused before any
// memory follows the header, and the job fails rather than report success.
struct Hostile {
    const char* name;
    unsigned width, height, pages;
    cups_mode_t mode;
    size_t field;
    uint32_t value;
    const char* problem;  // nullptr: libcups may give up on the stream first
    bool stops;           // the stream past the header cannot be trusted
};

void PrintTo(const Hostile& h, std::ostream* os) { *os << h.name; }

class HostileStream : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileStream, IsRefusedAndTheJobFails) {
    const Hostile& c = GetParam();
    TempDir dir;
    const RasterPage page = GrayPage(c.width, c.height);
    Bytes stream = RasterBytes(std::vector<RasterPage>(c.pages, page), c.mode);
    PatchEveryHeader(stream, page, c.field, c.value);
    FilterJob job = MakeJob(TsplPpd(dir));
    job.input = stream;
    FilterResult r = RunFilter(job);

    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    const std::vector<std::string> errors = r.ErrLines("ERROR: ");
    ASSERT_FALSE(errors.empty()) << r.err;
    if (c.problem) {
        EXPECT_EQ(errors.front(),
                  std::string("ERROR: Page 1 has an invalid raster header (") + c.problem + ") and was not printed.");
    }
    const std::string stop = "ERROR: The rest of the raster data cannot be read; the job stops.";
    if (!c.problem)
        EXPECT_THAT(errors.back(), ::testing::AnyOf(stop, "ERROR: No pages were found."));
    else
        EXPECT_EQ(errors.back(), c.stops ? stop : "ERROR: No page of the job could be printed.");
}

INSTANTIATE_TEST_SUITE_P(
    HostileInput, HostileStream,
    ::testing::Values(Hostile{"BytesPerLineOfTwoGigabytes", 8, 1, 1, CUPS_RASTER_WRITE,
                              offsetof(cups_page_header2_t, cupsBytesPerLine), 0x7FFFFFF0u,
                              "bytes per line too large for the width", true},
                      Hostile{"BytesPerLineJustPastTheSlack", 8, 1, 1, CUPS_RASTER_WRITE,
                              offsetof(cups_page_header2_t, cupsBytesPerLine), 8 + 65,
                              "bytes per line too large for the width", true},
                      Hostile{"TwentyCompressedPagesOfTwoGigabyteLines", 8, 1, 20, CUPS_RASTER_WRITE_COMPRESSED,
                              offsetof(cups_page_header2_t, cupsBytesPerLine), 0x7FFFFFF0u, nullptr, true},
                      Hostile{"HundredThousandSquared", 100000, 1, 1, CUPS_RASTER_WRITE,
                              offsetof(cups_page_header2_t, cupsHeight), 100000, "page data too large", true},
                      Hostile{"VerticalResolutionTwoToThe26", 8, 1, 1, CUPS_RASTER_WRITE,
                              offsetof(cups_page_header2_t, HWResolution) + 4, 1u << 26,
                              "vertical resolution out of range", false}),
    [](const ::testing::TestParamInfo<Hostile>& info) { return std::string(info.param.name); });

TEST(HostileInput, LinePaddedWithinTheSlackPrintsAsTheTightLine) {
    TempDir dir;
    RasterPage tight = GrayPage(10, 3), padded = tight;
    padded.bytesPerLine = 10 + 64;
    padded.data.clear();
    for (unsigned y = 0; y < 3; y++) {
        padded.data.insert(padded.data.end(), tight.data.begin() + y * 10, tight.data.begin() + y * 10 + 10);
        padded.data.insert(padded.data.end(), 64, 0x00);
    }
    FilterJob job = MakeJob(TsplPpd(dir));
    job.input = RasterBytes({tight});
    FilterResult expected = RunFilter(job);
    job.input = RasterBytes({padded});
    FilterResult r = RunFilter(job);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DiffBytes(expected.out, r.out), "");
}

// A printer that stops taking data ends the job at once, with one error and
// a failed exit status, whether the pipe closed or the disk filled up.
TEST(HostileInput, FailedWriteStopsTheJob) {
    TempDir dir;
    const std::vector<RasterPage> pages(3, GrayPage(64, 8));
    for (bool closedPipe : {true, false}) {
        FilterJob job = MakeJob(TsplPpd(dir));
        job.input = RasterBytes(pages);
        if (closedPipe)
            job.closeOutput = true;
        else
            job.outputPath = "/dev/full";
        FilterResult r = RunFilter(job);
        EXPECT_EQ(r.status, 1) << closedPipe;
        EXPECT_THAT(r.ErrLines("ERROR"),
                    ::testing::ElementsAre(::testing::StartsWith("ERROR:Unable to write print data")))
            << r.err;
        EXPECT_EQ(r.ErrLines("PAGE: ").size(), 1u) << r.err;
    }
}

// Administrator-edited PPDs with numbers no setting can carry: the filter
// clamps them instead of overflowing into a nonsense program.
TEST(HostileInput, HugeReferencePointIsClampedInTheProgram) {
    TempDir dir;
    FilterJob job = MakeJob(TsplPpd(
        dir, {{"AdjustHoriaontal", "99999999999"}, {"AdjustVertical", "-9999999"}, {"Darkness", "99999999999"}}));
    job.input = RasterBytes({GrayPage(16, 2)});
    FilterResult r = RunFilter(job);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text(r.out.begin(), r.out.end());
    EXPECT_NE(text.find("\r\nREFERENCE 639370,-639370\r\n"), std::string::npos) << text.substr(0, 200);
    EXPECT_NE(text.find("\r\nDENSITY 2147483647\r\n"), std::string::npos);
    std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create("tspl");
    EXPECT_TRUE(decoder->Decode(r.out.data(), r.out.size())) << decoder->Error().Message();
}

namespace {

RasterPage Filled(unsigned width, unsigned height, unsigned bpp, uint8_t fill) {
    RasterPage page;
    page.width = width;
    page.height = height;
    page.bitsPerPixel = bpp;
    page.colorSpace = bpp == 32 ? CUPS_CSPACE_RGBA : bpp == 24 ? CUPS_CSPACE_RGB : CUPS_CSPACE_W;
    page.data.assign(static_cast<size_t>((width * bpp + 7) / 8) * height, fill);
    return page;
}

// A picture of `pixels` square at `dpi` in a box near the corner of a 4 x 6 in label.
RasterPage OnLabel(RasterPage picture, unsigned dpi) {
    picture.xdpi = picture.ydpi = dpi;
    picture.pageSize[0] = 288;
    picture.pageSize[1] = 432;
    const unsigned box[4] = {10, 400, 11, 401};
    std::copy(box, box + 4, picture.imagingBox);
    return picture;
}

}  // namespace

// Pages whose cost once followed their header rather than what they print:
// each prints what it describes on the shipped PPDs, never wider than the
// head, and a job that printed nothing sends nothing.
struct Shape {
    const char* name;
    const char* ppd;
    const char* language;
    const char* options;
    Bytes (*stream)();
    int status;
    size_t pages;       // decoded
    int width, height;  // of the first page; height 0: not checked
};

void PrintTo(const Shape& s, std::ostream* os) { *os << s.name; }

class CostlyShape : public ::testing::TestWithParam<Shape> {};

TEST_P(CostlyShape, PrintsWhatItDescribes) {
    const Shape& c = GetParam();
    if (BuiltPpd(c.ppd).empty())
        GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    FilterJob job = MakeJob(BuiltPpd(c.ppd), c.options);
    job.input = c.stream();
    FilterResult r = RunFilter(job);
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.pages == 0) {
        EXPECT_TRUE(r.out.empty()) << r.out.size() << " bytes sent";
        return;
    }
    std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create(c.language);
    ASSERT_TRUE(decoder->Decode(r.out.data(), r.out.size())) << decoder->Error().Message();
    ASSERT_EQ(decoder->Pages().size(), c.pages);
    EXPECT_EQ(decoder->Pages()[0].Width(), c.width);
    if (c.height) {
        EXPECT_EQ(decoder->Pages()[0].Height(), c.height);
    }
}

INSTANTIATE_TEST_SUITE_P(
    HostileInput, CostlyShape,
    ::testing::Values(Shape{"EscposJobWhosePageIsRefused", "qvescpos.ppd", "escpos", "",
                            [] {
                                const RasterPage page = Filled(64, 8, 8, 0x80);
                                Bytes stream = RasterBytes({page}, CUPS_RASTER_WRITE);
                                PatchEveryHeader(stream, page, offsetof(cups_page_header2_t, HWResolution), 0);
                                return stream;
                            },
                            1, 0, 0, 0},
                      Shape{"AllWhiteReceipt", "qvescpos.ppd", "escpos", "",
                            [] { return RasterBytes({Filled(576, 20000, 8, 0xFF)}); }, 0, 1, 576, 1},
                      Shape{"OneDotWiderThanTheHead", "qvesc58.ppd", "escpos", "qvTrimRoll=False",
                            [] { return RasterBytes({Filled(385, 6970, 8, 0x80)}); }, 0, 1, 384, 6951},
                      Shape{"OneDotWiderThanTheHeadAtFourBits", "qvesc58.ppd", "escpos", "qvTrimRoll=False",
                            [] { return RasterBytes({Filled(385, 6970, 4, 0x88)}); }, 0, 1, 384, 6951},
                      Shape{"TinyRgbaPictureOnAFineLabel", "qvtspl.ppd", "tspl", "",
                            [] { return RasterBytes({OnLabel(Filled(8, 8, 32, 0x00), 2400)}); }, 0, 1, 832, 1248},
                      Shape{"OneDotScaledTwiceOnALabel", "qvescpos.ppd", "escpos", "qvScale=200 qvTrimRoll=False",
                            [] { return RasterBytes({OnLabel(Filled(1, 1, 8, 0x00), 203)}); }, 0, 1, 576, 864},
                      Shape{"PictureOnMediaOfBillionsOfDots", "qvescpos.ppd", "escpos", "",
                            [] {
                                RasterPage picture = OnLabel(Filled(8, 8, 8, 0x00), 203);
                                picture.pageSize[0] = 4000000000u;
                                return RasterBytes({picture});
                            },
                            0, 1, 8, 8},
                      Shape{"ReceiptScaledTwice", "qvescpos.ppd", "escpos", "qvScale=200",
                            [] { return RasterBytes({Filled(576, 800, 8, 0x80)}); }, 0, 1, 576, 800},
                      Shape{"ReceiptTurnedAQuarter", "qvescpos.ppd", "escpos", "Rotate=2",
                            [] { return RasterBytes({Filled(576, 800, 8, 0x80)}); }, 0, 1, 576, 414},
                      Shape{"PocketPrinterScaledTwice", "qvtavrin.ppd", "tavrin", "qvScale=200",
                            [] { return RasterBytes({Filled(384, 100, 8, 0x80)}); }, 0, 1, 384, 100}),
    [](const ::testing::TestParamInfo<Shape>& info) { return std::string(info.param.name); });

// Memory follows what prints: pages whose headers declare hundreds of
// megabytes but that print small run within 64 MB of data. (The sanitizers'
// shadow memory counts as data, so they are left out there.)
TEST(HostileInput, PagesThatPrintSmallRunInSixtyFourMegabytes) {
    if (kSanitized)
        GTEST_SKIP() << "the sanitizers' shadow memory counts as data";
    if (BuiltPpd("qvesc58.ppd").empty())
        GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    struct Case {
        const char *ppd, *language;
        Bytes stream;
        int width;
    };
    const Case cases[] = {
        // 130 MB of 8-bit gray, 10000 dots wide: 384 x 499 on the 58 mm head.
        {"qvesc58.ppd", "escpos", RasterBytes({Filled(10000, 13000, 8, 0x80)}), 384},
        // 8 x 8 RGBA in a 4 x 6 in label at 1930 dpi: a 7720 x 11580 media page before.
        {"qvtspl.ppd", "tspl", RasterBytes({OnLabel(Filled(8, 8, 32, 0x00), 1930)}), 832},
    };
    for (const Case& c : cases) {
        FilterJob job = MakeJob(BuiltPpd(c.ppd));
        job.input = c.stream;
        job.dataLimit = 64ull << 20;
        FilterResult r = RunFilter(job);
        EXPECT_EQ(r.status, 0) << c.ppd << ": " << r.err;
        std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create(c.language);
        ASSERT_TRUE(decoder->Decode(r.out.data(), r.out.size())) << decoder->Error().Message();
        ASSERT_FALSE(decoder->Pages().empty());
        EXPECT_EQ(decoder->Pages()[0].Width(), c.width) << c.ppd;
    }
}

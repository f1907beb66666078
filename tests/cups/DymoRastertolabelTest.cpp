// The DYMO renderer against CUPS's own: one address label through quorvant
// with qvdymo.ppd and through CUPS's rastertolabel with the DYMO PPD of
// CUPS's sample driver file, both decoded by the project's DYMO decoder.
#include <cups/raster.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "preview/CDymoDecoder.h"
#include "preview/PreviewTestSupport.h"
#include "printers/PrinterJob.h"
#include "support/CupsSystem.h"

using namespace testing_support;

namespace {

const char* const kSampleDrv = "/usr/share/cups/drv/sample.drv";

// Bars, blocks and a white band: rows of every kind, and a skip.
bool Label(unsigned x, unsigned y) {
    if (y >= 400 && y < 700)
        return false;
    return (x / 16 + y / 30) % 3 == 0 || (x % 41 < 2 && y % 64 < 50) || (x * 7 + y * 3) % 23 == 0;
}

// The DYMO address label (w81h252) at 300 dpi, as CUPS's rasterizer sizes it.
RasterPage AddressLabel() {
    RasterPage page = MakeBitPage(338, 1050, Label, 300);
    page.pageSize[0] = 81;
    page.pageSize[1] = 252;
    return page;
}

// The same page as the DYMO PPD has CUPS make it: colour space K, a set bit
// black, the darkness choice in cupsCompression (rastertolabel's density is
// ESC c plus it).
void WriteDymoRaster(const std::string& path, RasterPage page, unsigned darkness) {
    for (uint8_t& byte : page.data)
        byte = static_cast<uint8_t>(~byte);
    cups_page_header2_t header = page.Header();
    header.cupsColorSpace = CUPS_CSPACE_K;
    header.cupsCompression = darkness;
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    cups_raster_t* raster = cupsRasterOpen(fileno(file), CUPS_RASTER_WRITE);
    ASSERT_TRUE(cupsRasterWriteHeader2(raster, &header));
    cupsRasterWritePixels(raster, page.data.data(), static_cast<unsigned>(page.data.size()));
    cupsRasterClose(raster);
    std::fclose(file);
}

class DymoAgainstCups : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(kRastertolabel, X_OK) != 0 || access(kSampleDrv, R_OK) != 0 || !HaveProgram("ppdc"))
            GTEST_SKIP() << "CUPS's rastertolabel, its sample driver file or ppdc is missing";
        if (BuiltPpd("qvdymo.ppd").empty())
            GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
        const CommandResult made = RunCommand("ppdc -d " + dir.path() + " " + kSampleDrv);
        ASSERT_EQ(made.status, 0) << made.out;
        cupsPpd = dir.File("dymo.ppd");
        ASSERT_FALSE(ReadFile(cupsPpd).empty()) << "ppdc made no dymo.ppd";
    }

    // quorvant's stream at darkness `level` (the PPD's choice).
    Bytes Quorvant(const std::string& level) {
        FilterJob job = MakeJob(BuiltPpd("qvdymo.ppd"), "Darkness=" + level);
        job.rasterFile = dir.File("quorvant.ras");
        WriteRaster(job.rasterFile, {AddressLabel()});
        FilterResult r = RunFilter(job);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }

    Bytes Cups(unsigned darkness) {
        FilterJob job = MakeJob(cupsPpd);
        job.program = kRastertolabel;
        job.rasterFile = dir.File("cups.ras");
        WriteDymoRaster(job.rasterFile, AddressLabel(), darkness);
        FilterResult r = RunFilter(job);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }

    TempDir dir;
    std::string cupsPpd;
};

// Light, medium and normal: the same dots, label length, row bytes and density.
TEST_F(DymoAgainstCups, SameDotsLengthAndDensity) {
    const char* const kDensity[] = {"light", "medium", "normal"};
    for (unsigned level = 0; level < 3; level++) {
        bool ok = false;
        const Bytes ours = Quorvant(std::to_string(level)), theirs = Cups(level);
        auto mine = Decoded(CDymoDecoder::kLanguage, ours, &ok);
        ASSERT_TRUE(ok) << mine->Error().Message();
        auto cups = Decoded(CDymoDecoder::kLanguage, theirs, &ok);
        ASSERT_TRUE(ok) << cups->Error().Message();
        ASSERT_EQ(mine->Pages().size(), 1u);
        ASSERT_EQ(cups->Pages().size(), 1u);
        const CPreviewPage &a = mine->Pages()[0], &b = cups->Pages()[0];
        EXPECT_EQ(a.Width(), b.Width());
        EXPECT_EQ(a.Height(), b.Height());
        EXPECT_EQ(DiffBytes(b.Dots(), a.Dots()), "") << "level " << level;
        EXPECT_EQ(DiffBytes(PrinterRows(AddressLabel(), 43), a.Dots()), "");
        for (const char* setting : {"label length", "bytes per row", "density"})
            EXPECT_EQ(SettingOf(a, setting), SettingOf(b, setting)) << setting;
        EXPECT_EQ(SettingOf(a, "density"), kDensity[level]);
        std::printf("address label, %s: quorvant %zu bytes, rastertolabel %zu bytes\n", kDensity[level], ours.size(),
                    theirs.size());
    }
}

// "Dark": quorvant sends ESC g; rastertolabel's ESC f (ESC c plus 3) is the
// row skip, which takes the next bytes for its count.
TEST_F(DymoAgainstCups, DarkIsEscGNotTheSkip) {
    bool ok = false;
    auto mine = Decoded(CDymoDecoder::kLanguage, Quorvant("3"), &ok);
    ASSERT_TRUE(ok) << mine->Error().Message();
    EXPECT_EQ(SettingOf(mine->Pages()[0], "density"), "dark");
    auto cups = Decoded(CDymoDecoder::kLanguage, Cups(3), &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(cups->Error().expected, "01 after ESC f");
}

}  // namespace

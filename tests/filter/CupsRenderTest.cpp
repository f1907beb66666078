#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstring>

#include "filter/CCupsRender.h"
#include "support/CupsSystem.h"
#include "support/FilterRun.h"
#include "support/TestFiles.h"
#include "support/TestHost.h"

using namespace testing_support;

namespace {

struct CountingPrinter : CBaseRender {
    void OnInit() override { initsBeforePrepare.push_back(prepared); }
    std::vector<int> initsBeforePrepare;
    int prepared = 0;
};

struct Counted : CaptureHost<CCupsRender<CountingPrinter>> {};

}  // namespace

TEST(CupsRenderer, NoHeaderMeansNoInitAndNoPreparation) {
    Counted r;
    cups_page_header2_t header{};
    r.m_pPpd = reinterpret_cast<ppd_file_t*>(&header);  // only tested for presence
    Bytes row = {0x00};
    r.m_Image.CreateFromArray(row.data(), 4, 1, 1, 1, false);
    r.OnBeginBmp();
    EXPECT_EQ(r.logs, std::vector<std::string>{"ppd == NULL || header == NULL"});
    EXPECT_TRUE(r.initsBeforePrepare.empty());
    EXPECT_FALSE(r.m_bInited);
    EXPECT_EQ(r.m_Image.GetBits(0)[0], 0x00);  // row ends not filled either
}

TEST(CupsRenderer, InitRunsOnceBeforeTheFirstPreparation) {
    Counted r;
    cups_page_header2_t header{};
    r.m_pPpd = reinterpret_cast<ppd_file_t*>(&header);
    r.m_pHeader = &header;
    Bytes row = {0x00};
    for (int page = 0; page < 3; page++) {
        r.m_Image.CreateFromArray(row.data(), 4, 1, 1, 1, false);
        r.OnBeginBmp();
        EXPECT_EQ(r.m_Image.GetBits(0)[0], 0x0F);  // prepared: row ends white
        r.prepared++;
    }
    EXPECT_EQ(r.initsBeforePrepare, std::vector<int>{0});
    EXPECT_TRUE(r.m_bInited);
}

TEST(CupsRenderer, SpoolWritesWholeBlocksAndNothingForEmptyOnes) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int saved = dup(1);
    dup2(fds[1], 1);
    CCupsRender<CountingPrinter> r;
    EXPECT_EQ(r.WriteSpool("abc", 0), 0);
    r.WriteSpool("abc", -5);
    EXPECT_EQ(r.WriteSpool("abc", 3), 3);
    EXPECT_EQ(r.WriteSpool("de", 2), 2);
    dup2(saved, 1);
    close(saved);
    close(fds[1]);
    char got[16] = {};
    EXPECT_EQ(read(fds[0], got, sizeof got), 5);
    close(fds[0]);
    EXPECT_STREQ(got, "abcde");
}

// A SIGTERM that interrupts the write of a large page must not cut it short.
TEST(CupsRenderer, TermSignalDuringALargeWriteKeepsThePageWhole) {
    TempDir dir;
    PpdSpec ppdSpec;
    ppdSpec.options = FilterOptions();
    WriteFile(dir.File("p.ppd"), PpdText(ppdSpec));
    RasterPage page = MakeBitPage(2048, 4096, [](unsigned x, unsigned y) { return (x ^ y) % 3 == 0; });
    FilterJob job = MakeJob(dir.File("p.ppd"));
    job.input = RasterBytes({page});
    FilterResult quiet = RunFilter(job);
    ASSERT_EQ(quiet.status, 0);

    FilterProcess filter(job);
    filter.Write(job.input);
    for (int i = 0; i < 5; i++) {
        usleep(100000);  // the filter now waits in write() on a full pipe
        filter.Signal(SIGTERM);
    }
    FilterResult r = filter.Wait();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.ErrLines("ERROR"), std::vector<std::string>{});
    EXPECT_EQ(DiffBytes(quiet.out, r.out), "");
}

// CUPS's own label PPDs ask for black-space rasters (set bits and high
// levels black). Such a page prints as the same page in the white space the
// shipped PPDs ask for, not as its negative: read at its own depth, and
// fitted to the head while read.
TEST(CupsRenderer, ABlackSpacePagePrintsAsTheSameWhiteSpacePage) {
    if (BuiltPpd("qvesc58.ppd").empty())
        GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    struct Case {
        unsigned bpp, width;  // 384: the head's width; 600: fitted to it
    };
    for (const Case c : {Case{1, 384}, Case{8, 384}, Case{1, 600}, Case{8, 600}}) {
        SCOPED_TRACE(std::to_string(c.bpp) + " bits, " + std::to_string(c.width) + " wide");
        RasterPage white = MakeBitPage(c.width, 120, [](unsigned x, unsigned y) { return (x / 8 + y / 8) % 3 == 0; });
        if (c.bpp == 8) {
            Bytes levels;
            for (unsigned y = 0; y < white.height; y++)
                for (unsigned x = 0; x < white.width; x++)
                    levels.push_back((white.data[y * ((c.width + 7) / 8) + x / 8] >> (7 - x % 8)) & 1 ? 0xFF : 0x20);
            white.bitsPerPixel = 8;
            white.data = levels;
        }
        RasterPage black = white;
        black.colorSpace = CUPS_CSPACE_K;
        for (uint8_t& b : black.data)
            b = static_cast<uint8_t>(~b);
        FilterJob job = MakeJob(BuiltPpd("qvesc58.ppd"));
        job.input = RasterBytes({white});
        const FilterResult expected = RunFilter(job);
        job.input = RasterBytes({black});
        const FilterResult r = RunFilter(job);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(DiffBytes(expected.out, r.out), "");
        // and not the same as its negative printed in the white space
        job.input = RasterBytes({[&] {
            RasterPage negative = black;
            negative.colorSpace = CUPS_CSPACE_W;
            return negative;
        }()});
        EXPECT_NE(DiffBytes(RunFilter(job).out, r.out), "");
    }
    // A space number no CUPS name stands for is read as the white space.
    FilterJob job = MakeJob(BuiltPpd("qvesc58.ppd"));
    job.input = RasterBytes({MakeBitPage(384, 40, [](unsigned x, unsigned y) { return (x ^ y) % 5 == 0; })});
    const FilterResult expected = RunFilter(job);
    const unsigned unnamed = 515;
    std::memcpy(job.input.data() + 4 + offsetof(cups_page_header2_t, cupsColorSpace), &unnamed, sizeof unnamed);
    const FilterResult r = RunFilter(job);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DiffBytes(expected.out, r.out), "");
}

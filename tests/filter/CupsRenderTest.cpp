#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>

#include "filter/CCupsRender.h"
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

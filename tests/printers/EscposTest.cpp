#include <gtest/gtest.h>

#include "printers/CPrinterESCPOS.h"
#include "printers/PrinterJob.h"
#include "support/TestHost.h"

using namespace testing_support;

// Everything here is local: other test files use the same case names.
namespace {

const Bytes kInit = {0x1B, 0x40, 0x00};
const Bytes kCentre = {0x1B, 0x61, 0x01};
const Bytes kFullCut = {0x1D, 0x56, 0x30};
const Bytes kPartialCut = {0x1D, 0x56, 0x31};
const Bytes kDrawer = {0x1B, 0x70, 0x00, 0xFF, 0xFF};
const Bytes kFeed10mm = {0x1B, 0x4A, 0x4F};

// Drives the page and document hooks of a captured ESC/POS renderer.
struct Escpos : CaptureHost<CPrinterESCPOS> {
    // A 16 x 2 page with its first pixel black.
    void PaintSmallPage() {
        SetPage(16, 2, {0x7F, 0xFF, 0xFF, 0xFF});
        OnPaintBmp();
    }
};

const Bytes kSmallImage = Concat({GsV0Header(0, 2, 2), {0x80, 0x00, 0x00, 0x00}});

TEST(EscposRenderer, ExamplePageIsInitCentreAndOneRasterImage) {
    RasterPage page = MakeBitPage(384, 100, Weave);
    FilterResult r = RunModelJob(21, {page});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.ErrLines("ERROR").empty()) << r.err;
    Bytes expected = Concat({kInit, kCentre, {0x1D, 0x76, 0x30, 0x00, 0x30, 0x00, 0x64, 0x00}, PrinterRows(page, 48)});
    ASSERT_EQ(expected.size(), 14u + 48 * 100);
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

TEST(EscposRenderer, EveryPageIsInitialisedAgain) {
    RasterPage first = MakeBitPage(64, 3, Weave), second = MakeBitPage(72, 2, Weave);
    FilterResult r = RunModelJob(21, {first, second});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes expected = Concat({kInit, kCentre, GsV0Header(0, 8, 3), PrinterRows(first, 8), kInit, kCentre,
                             GsV0Header(0, 9, 2), PrinterRows(second, 9)});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

struct RowWidthCase {
    unsigned width, rowBytes;
};

class EscposRowWidth : public ::testing::TestWithParam<RowWidthCase> {};

// Stored rows are padded to four bytes; the printer gets (width + 7) / 8 bytes
// per row with the spare bits of the last byte clear.
TEST_P(EscposRowWidth, RowsAreRepackedWithoutFill) {
    RasterPage page = MakeBitPage(GetParam().width, 20, Weave);
    FilterResult r = RunModelJob(21, {page});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes expected =
        Concat({kInit, kCentre, GsV0Header(0, GetParam().rowBytes, 20), PrinterRows(page, GetParam().rowBytes)});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

INSTANTIATE_TEST_SUITE_P(Widths, EscposRowWidth,
                         ::testing::Values(RowWidthCase{380, 48}, RowWidthCase{384, 48}, RowWidthCase{385, 49}));

struct ModeCase {
    unsigned dpi;
    uint8_t mode;
};

class EscposResolution : public ::testing::TestWithParam<ModeCase> {};

TEST_P(EscposResolution, ModeByteFollowsThePageResolution) {
    RasterPage page = MakeBitPage(64, 10, Weave, GetParam().dpi);
    FilterResult r = RunModelJob(21, {page});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes expected = Concat({kInit, kCentre, GsV0Header(GetParam().mode, 8, 10), PrinterRows(page, 8)});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

INSTANTIATE_TEST_SUITE_P(Dpi, EscposResolution,
                         ::testing::Values(ModeCase{100, 3}, ModeCase{150, 0}, ModeCase{203, 0}, ModeCase{300, 0}));

TEST(EscposRenderer, ModeByteForMixedResolutions) {
    struct Case {
        int xdpi, ydpi;
        uint8_t mode;
    };
    for (const Case& c : {Case{203, 203, 0}, Case{203, 100, 1}, Case{100, 203, 2}, Case{100, 100, 3}, Case{300, 150, 0},
                          Case{150, 100, 0}, Case{100, 150, 0}}) {
        Escpos host;
        host.PrintBMP(c.xdpi, c.ydpi, 1, 1, "\x80", 1);
        Bytes expected = Concat({GsV0Header(c.mode, 1, 1), {0x80}});
        const auto& buffer = host.CommandBuffer();
        Bytes actual(buffer.GetBuffer(), buffer.GetBuffer() + buffer.GetBufferLength());
        EXPECT_EQ(DiffBytes(expected, actual), "") << c.xdpi << " x " << c.ydpi;
    }
}

struct FeedCase {
    const char* feedOffset;
    Bytes commands;
};

class EscposFeed : public ::testing::TestWithParam<FeedCase> {};

TEST_P(EscposFeed, FeedOffsetIsSentInStepsOfAtMost255Dots) {
    RasterPage page = MakeBitPage(32, 4, Weave);
    FilterResult r = RunModelJob(21, {page}, {{"FeedOffset", GetParam().feedOffset}});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes expected = Concat({kInit, kCentre, GsV0Header(0, 4, 4), PrinterRows(page, 4), GetParam().commands});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

INSTANTIATE_TEST_SUITE_P(Millimetres, EscposFeed,
                         ::testing::Values(FeedCase{"0", {}}, FeedCase{"10", {0x1B, 0x4A, 0x4F}},
                                           FeedCase{"32", {0x1B, 0x4A, 0xFF}},
                                           FeedCase{"33", {0x1B, 0x4A, 0xFF, 0x1B, 0x4A, 0x08}}));

TEST(EscposRenderer, FeedConversionTruncatesAndNeverWraps) {
    struct Case {
        int mm, dpi;
        Bytes commands;
    };
    for (const Case& c : {Case{0, 203, {0x1B, 0x4A, 0x00}}, Case{1, 203, {0x1B, 0x4A, 0x07}},
                          Case{65, 203, {0x1B, 0x4A, 0xFF, 0x1B, 0x4A, 0xFF, 0x1B, 0x4A, 0x09}},
                          Case{10, 300, {0x1B, 0x4A, 0x76}}, Case{-3, 203, {}}, Case{-40, 203, {}}}) {
        Escpos host;
        host.m_iDpi = c.dpi;
        host.PrintAndFeedPaper(c.mm);
        const auto& buffer = host.CommandBuffer();
        Bytes actual(buffer.GetBuffer(), buffer.GetBuffer() + buffer.GetBufferLength());
        EXPECT_EQ(DiffBytes(c.commands, actual), "") << c.mm << " mm at " << c.dpi << " dpi";
    }
}

struct CutCase {
    int cutMode;
    Bytes pageTail;
    Bytes jobEnd;  // empty: no write at the end of the job
};

class EscposCut : public ::testing::TestWithParam<CutCase> {};

// The feed comes before a page cut; job-end cuts go out in a write of their own.
TEST_P(EscposCut, CutModeChoosesPageOrJobCut) {
    Escpos host;
    host.m_RegStruct.iCutMode = GetParam().cutMode;
    host.m_RegStruct.iPostFeed = 10;
    host.PaintSmallPage();
    host.PaintSmallPage();
    host.OnEndDoc();
    Bytes page = Concat({kInit, kCentre, kSmallImage, kFeed10mm, GetParam().pageTail});
    std::vector<Bytes> expected = {page, page};
    if (!GetParam().jobEnd.empty())
        expected.push_back(GetParam().jobEnd);
    ASSERT_EQ(host.writes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_EQ(DiffBytes(expected[i], host.writes[i]), "") << "write " << i;
    EXPECT_TRUE(host.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, EscposCut,
                         ::testing::Values(CutCase{0, {}, {}}, CutCase{1, {}, kFullCut}, CutCase{2, {}, kPartialCut},
                                           CutCase{3, kFullCut, {}}, CutCase{4, kPartialCut, {}}, CutCase{5, {}, {}},
                                           CutCase{-1, {}, {}}));

struct DrawerCase {
    int moneyBox;
    Bytes before, after;
};

class EscposDrawer : public ::testing::TestWithParam<DrawerCase> {};

TEST_P(EscposDrawer, DrawerPulseBeforeOrAfterThePage) {
    Escpos host;
    host.m_RegStruct.iMoneyBox = GetParam().moneyBox;
    host.m_RegStruct.iCutMode = 3;
    host.m_RegStruct.iPostFeed = 10;
    host.PaintSmallPage();
    Bytes expected = Concat({GetParam().before, kInit, kCentre, kSmallImage, kFeed10mm, kFullCut, GetParam().after});
    ASSERT_EQ(host.writes.size(), 1u);
    EXPECT_EQ(DiffBytes(expected, host.writes[0]), "");
}

INSTANTIATE_TEST_SUITE_P(Settings, EscposDrawer,
                         ::testing::Values(DrawerCase{0, {}, {}}, DrawerCase{1, kDrawer, {}},
                                           DrawerCase{2, {}, kDrawer}, DrawerCase{3, {}, {}}));

TEST(EscposRenderer, BlackPixelIsSentAsSetBitAndFillBitsAsZero) {
    Escpos host;
    host.SetPage(10, 1, {0x7F, 0xFF});  // pixel 0 black, pixels 1..9 white
    host.OnPaintBmp();
    Bytes expected = Concat({kInit, kCentre, GsV0Header(0, 2, 1), {0x80, 0x00}});
    EXPECT_EQ(DiffBytes(expected, host.spooled), "");
}

// 16-bit height field: a long receipt goes out as consecutive images.
TEST(EscposRenderer, PageTallerThan65535RowsIsSplitInOrder) {
    RasterPage page = MakeBitPage(8, 70000, Weave);
    FilterResult r = RunModelJob(21, {page});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes expected = Concat({kInit, kCentre, GsV0Header(0, 1, 65535), PrinterRows(page, 1, 0, 65535),
                             GsV0Header(0, 1, 4465), PrinterRows(page, 1, 65535, 4465)});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

TEST(EscposRenderer, PageOfExactly65535RowsIsOneImage) {
    Escpos host;
    host.SetPage(8, 65535, Bytes(65535, 0x7F));
    host.OnPaintBmp();
    Bytes expected = Concat({kInit, kCentre, GsV0Header(0, 1, 65535), Bytes(65535, 0x80)});
    EXPECT_EQ(DiffBytes(expected, host.spooled), "");
}

// 16-bit width field: a page too wide is refused whole, the next one prints.
TEST(EscposRenderer, PageWiderThan65535BytesIsRefusedWithError) {
    Escpos host;
    host.SetPage(65536 * 8 + 8, 1, Bytes(65537, 0xFF));
    host.OnPaintBmp();
    EXPECT_TRUE(host.writes.empty());
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_NE(host.errors[0].find("65537"), std::string::npos) << host.errors[0];

    host.SetPage(65535 * 8, 1, Bytes(65535, 0xFF));
    host.OnPaintBmp();
    ASSERT_EQ(host.writes.size(), 1u);
    EXPECT_EQ(DiffBytes(Concat({kInit, kCentre, GsV0Header(0, 65535, 1), Bytes(65535, 0x00)}), host.writes[0]), "");
    EXPECT_EQ(host.errors.size(), 1u);
}

TEST(EscposRenderer, RasterCommandRefusesFieldsThatWouldWrap) {
    for (auto size : {std::make_pair(1, 65536), std::make_pair(65536, 1), std::make_pair(-1, 1)}) {
        Escpos host;
        host.PrintBMP(203, 203, size.first, size.second, "", 0);
        EXPECT_EQ(host.CommandBuffer().GetBufferLength(), 0);
        EXPECT_EQ(host.errors.size(), 1u);
    }
}

}  // namespace

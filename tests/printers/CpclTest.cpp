#include <gtest/gtest.h>

#include "printers/CPrinterCPCL.h"
#include "printers/PrinterJob.h"
#include "support/TestHost.h"

using namespace testing_support;

// Everything here is local: other test files use the same case names.
namespace {

const Bytes kForm = ToBytes("FORM\r\n");
const Bytes kPrint = ToBytes("PRINT\r\n");

// The label of a 203 dpi page with default settings; `form` between image and PRINT.
Bytes Label(const RasterPage& page, unsigned storedRowBytes, const Bytes& form = {}) {
    return Concat({ToBytes("! 0 200 200 " + std::to_string(page.height) + " 1\r\n"),
                   ToBytes("PAGE-WIDTH " + std::to_string(page.width) + "\r\n"),
                   ToBytes("CG " + std::to_string(storedRowBytes) + " " + std::to_string(page.height) + " 0 0\r\n"),
                   PrinterRows(page, storedRowBytes), form, kPrint});
}

TEST(CpclRenderer, ExampleLabelWithoutForm) {
    RasterPage page = MakeBitPage(384, 240, Weave);
    FilterResult r = RunModelJob(22, {page});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.ErrLines("ERROR").empty()) << r.err;
    EXPECT_EQ(DiffBytes(Label(page, 48), r.out), "");
}

struct MediaCase {
    const char* tracking;
    bool form;
};

class CpclMedia : public ::testing::TestWithParam<MediaCase> {};

TEST_P(CpclMedia, GapAndBlackMarkMediaAddForm) {
    RasterPage page = MakeBitPage(384, 240, Weave);
    FilterResult r = RunModelJob(22, {page}, {{"zeMediaTracking", GetParam().tracking}});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DiffBytes(Label(page, 48, GetParam().form ? kForm : Bytes()), r.out), "");
}

INSTANTIATE_TEST_SUITE_P(Tracking, CpclMedia,
                         ::testing::Values(MediaCase{"Continuous", false}, MediaCase{"A4Stock", false},
                                           MediaCase{"Gap", true}, MediaCase{"BLine", true},
                                           MediaCase{"BLine_Fold", true}, MediaCase{"Perforated", false},
                                           MediaCase{"Roll", false}, MediaCase{"Recording", false}));

struct HeaderCase {
    unsigned width, dpi;
    const char* adjustHorizontal;
    const char* begin;
    unsigned storedRowBytes;
};

class CpclHeader : public ::testing::TestWithParam<HeaderCase> {};

// The resolution fields stay 200 whatever the page; CG carries whole stored rows.
TEST_P(CpclHeader, HeaderAndGraphicsFields) {
    const HeaderCase& c = GetParam();
    RasterPage page = MakeBitPage(c.width, 30, Weave, c.dpi);
    FilterResult r = RunModelJob(22, {page}, {{"AdjustHoriaontal", c.adjustHorizontal}});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes expected =
        Concat({ToBytes(std::string(c.begin) + "\r\n"), ToBytes("PAGE-WIDTH " + std::to_string(c.width) + "\r\n"),
                ToBytes("CG " + std::to_string(c.storedRowBytes) + " 30 0 0\r\n"), PrinterRows(page, c.storedRowBytes),
                kPrint});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

INSTANTIATE_TEST_SUITE_P(Fields, CpclHeader,
                         ::testing::Values(HeaderCase{384, 203, "2", "! 128 200 200 30 1", 48},
                                           HeaderCase{384, 300, "0", "! 0 200 200 30 1", 48},
                                           HeaderCase{385, 203, "0", "! 0 200 200 30 1", 52},
                                           HeaderCase{380, 203, "1", "! 64 200 200 30 1", 48}));

TEST(CpclRenderer, LabelIsFiveOrSixSeparateWrites) {
    for (int media : {0, 1}) {
        CaptureHost<CPrinterCPCL> host;
        host.m_RegStruct.iMediaType = media;
        host.SetPage(10, 2, {0x7F, 0xFF, 0xBF, 0xFF});  // (0,0) and (1,1) black
        host.OnPaintBmp();
        std::vector<Bytes> expected = {ToBytes("! 0 200 200 2 1\r\n"),
                                       ToBytes("PAGE-WIDTH 10\r\n"),
                                       ToBytes("CG 4 2 0 0\r\n"),
                                       {0x80, 0, 0, 0, 0x40, 0, 0, 0}};
        if (media == 1)
            expected.push_back(kForm);
        expected.push_back(kPrint);
        ASSERT_EQ(host.writes.size(), expected.size()) << "media " << media;
        for (size_t i = 0; i < expected.size(); i++)
            EXPECT_EQ(DiffBytes(expected[i], host.writes[i]), "") << "media " << media << ", write " << i;
    }
}

// A label header carries up to 1024 copies; more take more labels of the
// same image.
TEST(CpclRenderer, CopiesBeyondOneLabelsQuantityTakeMoreLabels) {
    const struct {
        int copies;
        std::vector<std::string> quantities;
    } cases[] = {{1, {"1"}}, {100, {"100"}}, {1024, {"1024"}}, {2500, {"1024", "1024", "452"}}};
    for (const auto& c : cases) {
        CaptureHost<CPrinterCPCL> host;
        host.m_Extension.iCopies = c.copies;
        host.SetPage(10, 2, {0x7F, 0xFF, 0xBF, 0xFF});
        host.OnPaintBmp();
        Bytes expected;
        for (const std::string& quantity : c.quantities)
            expected = Concat({expected,
                               ToBytes("! 0 200 200 2 " + quantity + "\r\n"),
                               ToBytes("PAGE-WIDTH 10\r\n"),
                               ToBytes("CG 4 2 0 0\r\n"),
                               {0x80, 0, 0, 0, 0x40, 0, 0, 0},
                               kPrint});
        EXPECT_EQ(DiffBytes(expected, host.spooled), "") << c.copies;
    }
}

TEST(CpclRenderer, EveryPageIsALabelOfItsOwn) {
    RasterPage first = MakeBitPage(64, 5, Weave), second = MakeBitPage(96, 7, Weave);
    FilterResult r = RunModelJob(22, {first, second});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DiffBytes(Concat({Label(first, 8), Label(second, 12)}), r.out), "");
}

}  // namespace

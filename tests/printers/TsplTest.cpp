#include <gtest/gtest.h>
#include <zlib.h>

#include "printers/CPrinterTSPL.h"
#include "support/FilterRun.h"
#include "support/TestFiles.h"
#include "support/TestHost.h"

using namespace testing_support;

namespace {

bool Checker(unsigned x, unsigned y) { return ((x / 3) + (y / 5)) % 2 == 0; }

// The stored rows the TSPL program carries for a 1-bit page: each raster row
// padded to four bytes, fill bits and bytes white.
Bytes StoredRows(const RasterPage& page) {
    unsigned bpl = (page.width + 7) / 8, eff = (page.width + 31) / 32 * 4;
    Bytes rows;
    for (unsigned y = 0; y < page.height; y++) {
        Bytes row(page.data.begin() + y * bpl, page.data.begin() + (y + 1) * bpl);
        if (page.width % 8)
            row.back() |= static_cast<uint8_t>(0xFF >> (page.width % 8));
        row.resize(eff, 0xFF);
        rows.insert(rows.end(), row.begin(), row.end());
    }
    return rows;
}

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

class TsplJob : public ::testing::Test {
protected:
    FilterResult Print(const std::vector<RasterPage>& pages, const std::string& options,
                       const std::map<std::string, std::string>& defaults = {}) {
        PpdSpec ppdSpec;
        ppdSpec.options = FilterOptions(defaults);
        std::string ppd = dir.File("tspl.ppd");
        WriteFile(ppd, PpdText(ppdSpec));
        FilterJob job = MakeJob(ppd, options);
        job.input = RasterBytes(pages);
        FilterResult r = RunFilter(job);
        EXPECT_EQ(r.status, 0) << r.err;
        return r;
    }

    // Text of the program around its bitmap data.
    std::string Text(const FilterResult& r) { return std::string(r.out.begin(), r.out.end()); }

    TempDir dir;
};

const char* kSetupDefaults[] = {"SET RIBBON OFF", "REFERENCE 0,0", "GAP 0 mm,0 mm", "OFFSET 0 mm"};

}  // namespace

TEST_F(TsplJob, LabelProgramOfA384By240Page) {
    RasterPage page = MakeBitPage(384, 240, Checker);
    FilterResult r = Print({page}, "Darkness=8 zePrintRate=14");
    Bytes expected = Concat({ToBytes(Lines({"SIZE 48.05 mm,30.03 mm", kSetupDefaults[0], kSetupDefaults[1],
                                            kSetupDefaults[2], kSetupDefaults[3], "DENSITY 8", "SPEED 4",
                                            "SETC AUTODOTTED OFF", "SETC PAUSEKEY ON", "SETC WATERMARK ON", "CLS"})),
                             ToBytes("BITMAP 0,0,48,240,1,"), StoredRows(page), ToBytes("\r\nPRINT 1,1\r\n")});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

TEST_F(TsplJob, EveryPageIsAWholeProgram) {
    RasterPage a = MakeBitPage(40, 3, Checker), b = MakeBitPage(100, 2, Checker);
    FilterResult r = Print({a, b}, "");
    std::string setup = Lines({kSetupDefaults[0], kSetupDefaults[1], kSetupDefaults[2], kSetupDefaults[3],
                               "SETC AUTODOTTED OFF", "SETC PAUSEKEY ON", "SETC WATERMARK ON", "CLS"});
    Bytes expected = Concat({ToBytes("SIZE 5.00 mm,0.38 mm\r\n" + setup + "BITMAP 0,0,8,3,1,"), StoredRows(a),
                             ToBytes("\r\nPRINT 1,1\r\nSIZE 12.51 mm,0.25 mm\r\n" + setup + "BITMAP 0,0,16,2,1,"),
                             StoredRows(b), ToBytes("\r\nPRINT 1,1\r\n")});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

struct SetupCase {
    const char* options;
    const char* present;  // a line the program must carry ("" for none)
    const char* absent;   // a line it must not carry ("" for none)
    friend void PrintTo(const SetupCase& c, std::ostream* os) { *os << c.options; }
};

class TsplSetup : public TsplJob, public ::testing::WithParamInterface<SetupCase> {};

TEST_P(TsplSetup, FollowsTheOptions) {
    const SetupCase& c = GetParam();
    std::string text = Text(Print({MakeBitPage(16, 2, Checker)}, c.options));
    std::string setup = text.substr(0, text.find("BITMAP"));
    if (*c.present) {
        EXPECT_NE(setup.find(std::string("\r\n") + c.present + "\r\n"), std::string::npos) << setup;
    }
    if (*c.absent) {
        EXPECT_EQ(setup.find(c.absent), std::string::npos) << setup;
    }
}

INSTANTIATE_TEST_SUITE_P(
    TsplJob, TsplSetup,
    ::testing::Values(
        SetupCase{"zePrintRate=12", "SPEED 12", ""}, SetupCase{"zePrintRate=14", "SPEED 4", ""},
        SetupCase{"zePrintRate=0", "SPEED 4", ""}, SetupCase{"zePrintRate=Default", "", "SPEED"},
        SetupCase{"Darkness=0", "DENSITY 0", ""}, SetupCase{"Darkness=Default", "", "DENSITY"},
        SetupCase{"Darkness=-1", "", "DENSITY"}, SetupCase{"zeMediaTracking=Gap", "GAP 3 mm,0 mm", "BLINE"},
        SetupCase{"zeMediaTracking=BLine", "BLINE 0 mm,0 mm", "GAP"},
        SetupCase{"zeMediaTracking=Perforated", "", "GAP"}, SetupCase{"zeMediaTracking=Roll", "", "GAP"},
        SetupCase{"zeMediaTracking=Recording", "", "GAP"}, SetupCase{"zeMediaTracking=Mystery", "GAP 0 mm,0 mm", ""},
        SetupCase{"MediaMethod=Ribbon", "SET RIBBON ON", "RIBBON OFF"},
        SetupCase{"AdjustHoriaontal=1 AdjustVertical=-1", "REFERENCE 63,-63", ""},
        SetupCase{"FeedOffset=-2", "OFFSET -2 mm", ""}, SetupCase{"AutoDotted=5", "SETC AUTODOTTED ON", ""}));

TEST_F(TsplJob, OnePixelWidePageSendsItsStoredRow) {
    RasterPage page = MakeBitPage(1, 3, [](unsigned, unsigned y) { return y == 1; });
    std::string text = Text(Print({page}, ""));
    EXPECT_EQ(text.rfind("SIZE 0.13 mm,0.38 mm\r\n", 0), 0u);
    size_t at = text.find("BITMAP 0,0,4,3,1,");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(Hex(reinterpret_cast<const uint8_t*>(text.data()) + at + 17, 12), "FF FF FF FF 7F FF FF FF FF FF FF FF ");
}

TEST_F(TsplJob, CompressedBitmapInflatesToTheComplement) {
    RasterPage page = MakeBitPage(385, 37, Checker);
    FilterResult r = Print({page}, "ImageCompress=1");
    std::string text = Text(r);
    const std::string head = "BITMAP 0,0,52,37,3,";
    size_t at = text.find(head);
    ASSERT_NE(at, std::string::npos);
    size_t lengthEnd = text.find(',', at + head.size());
    size_t length = std::stoul(text.substr(at + head.size(), lengthEnd - at - head.size()));
    const uint8_t* data = r.out.data() + lengthEnd + 1;
    ASSERT_EQ(text.substr(lengthEnd + 1 + length), "\r\nPRINT 1,1\r\n");

    Bytes stored = StoredRows(page);
    Bytes inflated(stored.size() + 16);
    uLongf inflatedLength = inflated.size();
    ASSERT_EQ(uncompress(inflated.data(), &inflatedLength, data, length), Z_OK);
    inflated.resize(inflatedLength);
    for (uint8_t& byte : stored)
        byte = static_cast<uint8_t>(~byte);
    EXPECT_EQ(DiffBytes(stored, inflated), "");
}

// Settings no PPD option reaches, set on the renderer directly.
class TsplRenderer : public ::testing::Test {
protected:
    std::string Paint() {
        host.SetPage(8, 1, Bytes{0x0F});
        host.OnPaintBmp();
        return std::string(host.spooled.begin(), host.spooled.end());
    }
    CaptureHost<CPrinterTSPL> host;
};

TEST_F(TsplRenderer, PostPrintMechanismLines) {
    const char* expected[] = {
        "",
        "SET PEEL OFF\r\nSET CUTTER FALSE\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR ON\r\n",
        "SET PEEL OFF\r\nSET CUTTER 1\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR OFF\r\n",
        "SET PEEL ON\r\nSET CUTTER FALSE\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR OFF\r\n",
        "SET PEEL OFF\r\nSET CUTTER FALSE\r\nSET PARTIAL_CUTTER 1\r\nSET TEAR OFF\r\n",
        "",
    };
    for (int action = 0; action <= 5; action++) {
        host.spooled.clear();
        host.m_RegStruct.iPostPrintAction = action;
        std::string text = Paint();
        std::string between = text.substr(text.find("RIBBON OFF\r\n") + 12);
        between = between.substr(0, between.find("REFERENCE"));
        EXPECT_EQ(between, expected[action]) << action;
    }
}

TEST_F(TsplRenderer, CutterWordsAndUnits) {
    host.m_iDpi = 203;
    host.cmdSetCutter(1, 0);
    host.cmdSetPartialCutter(1, 0);
    host.cmdSetCutter(3, 7);
    host.cmdGAP(2, 1, 2);
    host.cmdOFFSET(4, 9);
    host.cmdSIZE(1.005, 2, 0);
    const NS_KT_CLASS::CMyBuffer& b = host.CommandBuffer();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.GetBuffer()), b.GetBufferLength()),
              "SET CUTTER BATCH\r\nSET PARTIAL_CUTTER BATCH\r\nSET CUTTER 7\r\nGAP 2 dot,1 dot\r\nOFFSET 4\r\n"
              "SIZE 1.00,2.00\r\n");
}

TEST_F(TsplRenderer, PageBeyondTheBufferCeilingIsDroppedNotTruncated) {
    // The ceiling is met only when the storage (1024 bytes at first) must grow.
    host.CommandBuffer().SetMaxBufferSize(1500);
    host.SetPage(64, 200, Bytes(8 * 200, 0x00));
    host.OnPaintBmp();
    EXPECT_TRUE(host.spooled.empty());
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.CommandBuffer().GetBufferLength(), 0);

    host.CommandBuffer().SetMaxBufferSize(0);
    host.errors.clear();
    host.OnPaintBmp();
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(host.writes.size(), 1u);
}

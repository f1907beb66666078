#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "preview/CZplDecoder.h"
#include "preview/PreviewTestSupport.h"
#include "printers/CPrinterZPL.h"
#include "printers/PrinterJob.h"
#include "support/CupsSystem.h"
#include "support/TestHost.h"
#include "zpl/ZplBitmap.h"

using namespace testing_support;

namespace {

// A page of `width` x `height` dots whose black dots `black(x, y)` says, as
// the pipeline prepares it (a clear bit black), and the rows ^GF carries
// (a set bit black, whole bytes).
struct Page {
    unsigned width, height;
    Bytes prepared, rows;
};

template <class Black>
Page MakePage(unsigned width, unsigned height, Black black) {
    const unsigned bpl = (width + 7) / 8;
    Page page{width, height, Bytes(size_t(bpl) * height, 0xFF), Bytes(size_t(bpl) * height, 0)};
    for (unsigned y = 0; y < height; y++)
        for (unsigned x = 0; x < width; x++)
            if (black(x, y)) {
                page.prepared[size_t(y) * bpl + x / 8] &= uint8_t(~(0x80 >> (x % 8)));
                page.rows[size_t(y) * bpl + x / 8] |= uint8_t(0x80 >> (x % 8));
            }
    return page;
}

struct Rendered {
    Bytes stream;
    std::unique_ptr<CZplDecoder> decoder;
    bool ok;
};

Rendered Render(const Page& page, int dpi = 203, void (*set)(CBaseRender&) = nullptr) {
    CaptureHost<CPrinterZPL> host;
    if (set)
        set(host);
    host.SetPage(page.width, page.height, page.prepared, dpi);
    host.OnPaintBmp();
    EXPECT_TRUE(host.errors.empty());
    Rendered r{host.spooled, std::make_unique<CZplDecoder>(), false};
    r.ok = r.decoder->Decode(r.stream.data(), r.stream.size());
    return r;
}

size_t Count(const Bytes& stream, const std::string& text) {
    size_t n = 0;
    for (auto at = stream.begin(); (at = std::search(at, stream.end(), text.begin(), text.end())) != stream.end(); at++)
        n++;
    return n;
}

struct Pattern {
    const char* name;
    bool (*black)(unsigned x, unsigned y);
    const char* encoding;  // what the shorter encoding is for it
};

bool Noise(unsigned x, unsigned y) {
    uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return (h & 1) != 0;
}
bool Bars(unsigned x, unsigned) { return x / 3 % 2 == 0; }
bool Frame(unsigned x, unsigned y) { return x < 2 || y < 2; }

const Pattern kPatterns[] = {
    {"Noise", Noise, ":Z64:"},
    {"Bars", Bars, nullptr},
    {"Frame", Frame, "hex"},
    {"Weave", [](unsigned x, unsigned y) { return Weave(x, y); }, nullptr},
    {"White", [](unsigned, unsigned) { return false; }, nullptr},
    {"Black", [](unsigned, unsigned) { return true; }, nullptr},
};

// Every head width of the family's drivers, and widths that end inside a byte.
const unsigned kWidths[] = {1, 7, 9, 203, 812, 832, 1248, 2456};

class ZplRoundTrip : public ::testing::TestWithParam<std::tuple<Pattern, unsigned>> {};

// The renderer's stream read by the family's decoder, the ZPL interpreter:
// the page's dots, dot for dot.
TEST_P(ZplRoundTrip, DecodesThePagesDots) {
    const Pattern& pattern = std::get<0>(GetParam());
    const unsigned width = std::get<1>(GetParam());
    const unsigned height = width > 1000 ? 150 : 61;
    const Page page = MakePage(width, height, pattern.black);
    const Rendered r = Render(page);
    ASSERT_TRUE(r.ok) << r.decoder->Error().Message();
    ASSERT_EQ(r.decoder->Pages().size(), 1u);
    const CPreviewPage& decoded = r.decoder->Pages()[0];
    EXPECT_EQ(decoded.Width(), int((width + 7) / 8 * 8));
    EXPECT_EQ(decoded.Height(), int(height));
    EXPECT_EQ(DiffBytes(page.rows, decoded.Dots()), "");
}

INSTANTIATE_TEST_SUITE_P(ZplRenderer, ZplRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kPatterns), ::testing::ValuesIn(kWidths)),
                         [](const ::testing::TestParamInfo<std::tuple<Pattern, unsigned>>& info) {
                             return std::string(std::get<0>(info.param).name) + "Width" +
                                    std::to_string(std::get<1>(info.param));
                         });

// Each graphic goes in the shorter encoding: noise deflates, a frame is a
// few runs and repeated rows.
TEST(ZplRenderer, ChoosesTheShorterEncoding) {
    for (const Pattern& pattern : kPatterns) {
        if (!pattern.encoding)
            continue;
        const Page page = MakePage(832, 40, pattern.black);
        const std::string hex = CPrinterZPL::RunLengthHex(page.rows.data(), 104, 40);
        const std::string z64 = CPrinterZPL::Z64(page.rows.data(), 104, 40);
        const Rendered r = Render(page);
        ASSERT_TRUE(r.ok) << r.decoder->Error().Message();
        const bool zipped = Count(r.stream, ":Z64:") == 1;
        EXPECT_EQ(zipped, z64.size() < hex.size())
            << pattern.name << ": " << hex.size() << " hex, " << z64.size() << " Z64";
        EXPECT_EQ(zipped, std::string(pattern.encoding) == ":Z64:") << pattern.name;
    }
}

// A 4 x 6 in page at 203 dpi is 124,236 bytes, over ^GF's 99,999: two
// bands, each its own field, which decode back into the one page.
TEST(ZplRenderer, SplitsAPageOverTheGraphicLimitIntoBands) {
    const Page page = MakePage(812, 1218, Noise);
    const Rendered r = Render(page);
    ASSERT_TRUE(r.ok) << r.decoder->Error().Message();
    EXPECT_EQ(Count(r.stream, "^GFA,"), 2u);
    EXPECT_EQ(Count(r.stream, "^FO0,0^GFA,99960,99960,102,"), 1u);
    EXPECT_EQ(Count(r.stream, "^FO0,980^GFA,24276,24276,102,"), 1u);
    ASSERT_EQ(r.decoder->Pages().size(), 1u);
    EXPECT_EQ(DiffBytes(page.rows, r.decoder->Pages()[0].Dots()), "");
}

TEST(ZplRenderer, RunLengthHexUsesZplsCodes) {
    // 0x00 rows fill with ',', 0xFF rows with '!', a repeated row is ':',
    // runs count in G..Y (1-19) and g..z (20s, 400).
    const Bytes rows = {0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA0, 0x00, 0x00, 0x12, 0x34, 0x50};
    EXPECT_EQ(CPrinterZPL::RunLengthHex(rows.data(), 3, 5), ",!:A0,123450");
    Bytes wide(250, 0xAA);
    wide.back() = 0x0A;
    EXPECT_EQ(CPrinterZPL::RunLengthHex(wide.data(), 250, 1), "zjXA0A");  // 498 A (400 + 80 + 18), 0, A
}

struct Setting {
    const char* name;
    void (*set)(CBaseRender&);
    const char* commands;  // the set-up the stream carries
    const char* decoded;   // the decoded page's settings
};

const Setting kSettings[] = {
    {"Defaults", [](CBaseRender&) {}, "~SD08\n^XA\n^PON^LH0,0^PW16^LL2\n^MNN^MTD^PR14\n",
     "print width 16 dots, label length 2 dots, media tracking N, media type D, darkness 8, speed 14 in/s, copies 1"},
    {"PrinterKeepsItsOwn",
     [](CBaseRender& r) {
         r.m_RegStruct.iDensity = -1;
         r.m_RegStruct.iSpeed = -1;
     },
     "^XA\n^PON^LH0,0^PW16^LL2\n^MNN^MTD\n",
     "print width 16 dots, label length 2 dots, media tracking N, media type D, copies 1"},
    {"GapTransferTearCopies",
     [](CBaseRender& r) {
         r.m_RegStruct.iMediaType = 1;
         r.m_RegStruct.iPrinttype = 1;
         r.m_RegStruct.iPostPrintAction = 1;
         r.m_RegStruct.iDensity = 30;
         r.m_RegStruct.iSpeed = 4;
         r.m_Extension.iCopies = 3;
     },
     "~SD30\n^XA\n^PON^LH0,0^PW16^LL2\n^MNY^MTT^MMT^PR4^PQ3\n",
     "print width 16 dots, label length 2 dots, media tracking Y, media type T, print mode T, darkness 30, speed 4 "
     "in/s, "
     "copies 3"},
    {"MarkCutDarknessOverRange",
     [](CBaseRender& r) {
         r.m_RegStruct.iMediaType = 2;
         r.m_RegStruct.iPostPrintAction = 2;
         r.m_RegStruct.iDensity = 45;
     },
     "~SD30\n^XA\n^PON^LH0,0^PW16^LL2\n^MNM^MTD^MMC^PR14\n", nullptr},
    {"PerforatedPeel",
     [](CBaseRender& r) {
         r.m_RegStruct.iMediaType = 3;
         r.m_RegStruct.iPostPrintAction = 3;
     },
     "~SD08\n^XA\n^PON^LH0,0^PW16^LL2\n^MNY^MTD^MMP^PR14\n", nullptr},
};

class ZplSettings : public ::testing::TestWithParam<Setting> {};

TEST_P(ZplSettings, AreSentAndReadBack) {
    const Setting& c = GetParam();
    const Page page = MakePage(16, 2, Bars);
    const Rendered r = Render(page, 203, c.set);
    ASSERT_TRUE(r.ok) << r.decoder->Error().Message();
    const std::string text(r.stream.begin(), r.stream.end());
    EXPECT_EQ(text.substr(0, text.find("^FO")), c.commands);
    if (c.decoded) {
        EXPECT_EQ(r.decoder->Pages()[0].SettingsText(), c.decoded);
    }
}

INSTANTIATE_TEST_SUITE_P(ZplRenderer, ZplSettings, ::testing::ValuesIn(kSettings),
                         [](const ::testing::TestParamInfo<Setting>& info) { return std::string(info.param.name); });

// CUPS and lprint delete the graphic a label recalled in a format of its
// own, which draws no field: the printer prints no label for it.
TEST(ZplDecoder, AFormatWithoutFieldsPrintsNoLabel) {
    const Bytes stream = ToBytes("~DGR:A.GRF,1,1,FF\n^XA^PW8^LL1^FO0,0^XGR:A.GRF,1,1^FS^XZ\n^XA^IDR:A.GRF^FS^XZ\n");
    CZplDecoder decoder;
    ASSERT_TRUE(decoder.Decode(stream.data(), stream.size())) << decoder.Error().Message();
    ASSERT_EQ(decoder.Pages().size(), 1u);
    EXPECT_EQ(decoder.Pages()[0].Dots(), Bytes{0xFF});
}

// One 4 x 6 in label, two copies, through quorvant with the shipped PPD and
// through CUPS's own rastertolabel with the Zebra ZPL PPD of CUPS's sample
// driver file: each PPD's raster of the page (quorvant's is W, CUPS's K),
// the darkest darkness on each scale and 3 in/s. rastertolabel stores the
// page with ~DG, prints it with ^XG under ^POI, the format turned 180
// degrees, and deletes it in a format of its own (no label). The ZPL
// interpreter turns a ^POI label as the printer does, so CUPS's label is
// ours turned: the same dots fed the other way round. Same label width and
// length, darkness, speed and copies; quorvant sends fewer bytes.
TEST(ZplRenderer, PrintsTheDotsCupsRastertolabelPrints) {
    const std::string ppd = BuiltPpd("qvzpl.ppd");
    if (ppd.empty())
        GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    TempDir dir;
    std::string why;
    const std::string zebra = CupsSamplePpd(dir, "zebra.ppd", why);
    if (zebra.empty())
        GTEST_SKIP() << why;

    // Bars, white lines and a white margin on the right.
    RasterPage page = MakeBitPage(812, 1218, [](unsigned x, unsigned y) {
        return x < 700 && (y / 40) % 3 != 1 && ((x / 7 + y / 90) % 3 == 0 || y % 200 == 5);
    });
    FilterJob ours = MakeJob(ppd, "Darkness=30 zePrintRate=3");
    ours.rasterFile = dir.File("w.ras");
    WriteBitRaster(ours.rasterFile, page, CUPS_CSPACE_W, 0, 2);
    FilterJob cups = MakeJob(zebra, "zePrintRate=3");
    cups.program = kRastertolabel;
    cups.rasterFile = dir.File("k.ras");
    WriteBitRaster(cups.rasterFile, page, CUPS_CSPACE_K, 100, 2);  // "Darkness" 30 of 30
    for (FilterJob* job : {&ours, &cups})
        job->args[3] = "2";

    std::vector<CPreviewPage> decoded;
    std::vector<size_t> bytes;
    ASSERT_NO_FATAL_FAILURE(DecodeOnePageEach("zpl", {&ours, &cups}, decoded, bytes));
    EXPECT_EQ(DiffBytes(PrinterRows(page, 102), decoded[0].Dots()), "");
    // CUPS's label turned back within its print width.
    ASSERT_EQ(decoded[1].Width(), 816);
    zpl::ZplBitmap turned(812, decoded[1].Height());
    for (int y = 0; y < turned.Height(); y++)
        std::memcpy(turned.Row(y), decoded[1].Dots().data() + size_t(y) * 102, 102);
    turned = turned.Turned(2);
    EXPECT_EQ(DiffBytes(decoded[0].Dots(), Bytes(turned.Row(0), turned.Row(0) + turned.RowBytes() * turned.Height())),
              "");
    EXPECT_EQ(decoded[0].Height(), decoded[1].Height());
    for (const char* setting : {"print width", "darkness", "speed", "copies"})
        EXPECT_EQ(SettingOf(decoded[0], setting), SettingOf(decoded[1], setting)) << setting;
    EXPECT_EQ(SettingOf(decoded[0], "darkness"), "30");
    EXPECT_EQ(SettingOf(decoded[0], "copies"), "2");
    EXPECT_LT(bytes[0], bytes[1]);
}

}  // namespace

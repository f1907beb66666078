#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "preview/CDymoDecoder.h"
#include "preview/PreviewTestSupport.h"
#include "printers/CPrinterDymo.h"
#include "printers/PrinterJob.h"
#include "support/TestHost.h"

using namespace testing_support;

namespace {

using Host = CaptureHost<CCupsRender<CPrinterDymo>>;

bool White(unsigned, unsigned) { return false; }
// Bars and blocks: rows of long runs, which ETB carries in fewer bytes.
bool Bars(unsigned x, unsigned y) { return (x / 24 + y / 40) % 3 == 0 || (x % 61 < 2 && y % 50 < 45); }
// Black in the top and middle bands only: white runs to skip between and below.
bool Bands(unsigned x, unsigned y) { return (y < 20 || (y >= 620 && y < 640)) && Weave(x, y); }

struct Job {
    int headDots = 672;
    bool compress = false;
    int mediaType = 1;  // gap
    int density = -1;
};

// The stream of a job of `pages`, and the renderer that made it.
Bytes Print(Host& host, const std::vector<RasterPage>& pages, const Job& job = {}) {
    host.m_Extension.iHeadDots = job.headDots;
    host.m_HalfTone.ImageCompress = job.compress;
    host.m_RegStruct.iMediaType = job.mediaType;
    host.m_RegStruct.iDensity = job.density;
    host.OnStartDoc(0);
    for (const RasterPage& page : pages) {
        host.SetPage(page.width, page.height, page.data, 300);
        host.OnStartPage();
        host.OnPaintBmp();
        host.OnEndPage();
    }
    host.OnEndDoc();
    return host.spooled;
}

std::unique_ptr<CPreviewDecoder> Decode(const Bytes& stream) {
    bool ok = false;
    auto decoder = Decoded(CDymoDecoder::kLanguage, stream, &ok);
    EXPECT_TRUE(ok) << decoder->Error().Message();
    return decoder;
}

size_t CountCommands(const CPreviewDecoder& decoder, const std::string& prefix) {
    const auto& commands = decoder.Commands();
    return std::count_if(commands.begin(), commands.end(),
                         [&](const PreviewCommand& c) { return c.text.rfind(prefix, 0) == 0; });
}

// The reset before the first label, one write per label each ending ESC G,
// and ESC E once at the end.
TEST(DymoRenderer, JobIsResetLabelsAndOneTearOff) {
    Host host;
    const RasterPage page = MakeBitPage(64, 30, Weave, 300);
    Print(host, {page, page});
    ASSERT_EQ(host.writes.size(), 3u);
    Bytes reset(CPrinterDymo::kResetEscapes, 0x1B);
    reset.push_back('@');
    for (int i : {0, 1}) {
        Bytes label = host.writes[i];
        if (i == 0) {
            EXPECT_EQ(DiffBytes(reset, Bytes(label.begin(), label.begin() + reset.size())), "");
            label.erase(label.begin(), label.begin() + reset.size());
        }
        EXPECT_EQ(DiffBytes(Bytes{0x1B, 'L', 0, 30, 0x1B, 'D', 8}, Bytes(label.begin(), label.begin() + 7)), "");
        EXPECT_EQ(DiffBytes(Bytes{0x1B, 'G'}, Bytes(label.end() - 2, label.end())), "");
    }
    EXPECT_EQ(DiffBytes(Bytes{0x1B, 'E'}, host.writes[2]), "");
}

TEST(DymoRenderer, AJobWithoutLabelsSendsNothing) {
    Host host;
    EXPECT_EQ(Print(host, {}).size(), 0u);
}

struct RoundTrip {
    const char* name;
    int headDots;
    unsigned width, height;
    bool (*black)(unsigned, unsigned);
    bool compress;
    int mediaType;
};

// Every head; narrow, odd and head-wide pages and one wider than the head
// (cut to it); plain and compressed; labels and continuous stock.
const RoundTrip kRoundTrips[] = {
    {"Lw450Plain", 672, 337, 120, Weave, false, 1},
    {"Lw450Compressed", 672, 337, 120, Bars, true, 1},
    {"Lw450HeadWidePlain", 672, 672, 60, Weave, false, 1},
    {"Lw450HeadWideCompressed", 672, 672, 60, Bars, true, 1},
    {"Lw450WiderThanTheHead", 672, 700, 40, Bars, true, 1},
    {"Lw450OneDot", 672, 1, 9, Weave, true, 1},
    {"Lw4xlPlain", 1248, 1200, 90, Weave, false, 1},
    {"Lw4xlCompressed", 1248, 1200, 90, Bars, true, 1},
    {"Lw4xlHeadWideCompressed", 1248, 1248, 50, Bars, true, 1},
    {"BandsOnLabels", 672, 200, 700, Bands, true, 1},
    {"BandsOnContinuousStock", 672, 200, 700, Bands, false, 0},
    {"WhiteLabel", 672, 100, 50, White, false, 1},
};

class DymoRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

// Two labels decode to exactly the page's dots, within the head's bytes;
// compressed rows are used where shorter, and only there.
TEST_P(DymoRoundTrip, DecodesThePagesDots) {
    const RoundTrip& c = GetParam();
    const RasterPage page = MakeBitPage(c.width, c.height, c.black, 300);
    Host host;
    Job job;
    job.headDots = c.headDots;
    job.compress = c.compress;
    job.mediaType = c.mediaType;
    const Bytes stream = Print(host, {page, page}, job);
    auto decoder = Decode(stream);
    ASSERT_EQ(decoder->Pages().size(), 2u);
    const unsigned rowBytes = std::min((c.width + 7) / 8, unsigned(c.headDots / 8));
    for (const CPreviewPage& label : decoder->Pages()) {
        EXPECT_EQ(label.Width(), static_cast<int>(rowBytes * 8));
        EXPECT_EQ(label.Height(), static_cast<int>(c.height));
        EXPECT_EQ(DiffBytes(PrinterRows(page, rowBytes), label.Dots()), "");
        EXPECT_EQ(SettingOf(label, "bytes per row"), std::to_string(rowBytes));
        EXPECT_EQ(SettingOf(label, "label length"),
                  c.mediaType == 0 ? "continuous" : std::to_string(c.height) + " rows");
    }
    const size_t compressed = CountCommands(*decoder, "ETB rows");
    EXPECT_EQ(c.compress && c.black == Bars, compressed > 0);
    if (c.compress) {
        Host plain;
        job.compress = false;
        EXPECT_LE(stream.size(), Print(plain, {page, page}, job).size());
    }
    // White rows cost a skip, not a row: skips on continuous stock reach the
    // page's end; on labels the bottom is left to ESC G.
    if (c.black == Bands) {
        EXPECT_EQ(CountCommands(*decoder, "ESC f 01"), c.mediaType == 0 ? 2u * 4 : 2u * 3) << stream.size();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, DymoRoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const ::testing::TestParamInfo<RoundTrip>& info) { return info.param.name; });

// The darkness levels are ESC c, d, e and g (ESC f skips rows); the
// printer's own darkness sends none.
TEST(DymoRenderer, DarknessLevelsAreTheDensityCommands) {
    const std::pair<int, const char*> kLevels[] = {{-1, "(none)"}, {0, "light"}, {1, "medium"},
                                                   {2, "normal"},  {3, "dark"},  {9, "dark"}};
    for (const auto& level : kLevels) {
        Host host;
        Job job;
        job.density = level.first;
        auto decoder = Decode(Print(host, {MakeBitPage(16, 4, Weave, 300)}, job));
        ASSERT_EQ(decoder->Pages().size(), 1u);
        EXPECT_EQ(SettingOf(decoder->Pages()[0], "density"), level.second) << level.first;
    }
}

}  // namespace

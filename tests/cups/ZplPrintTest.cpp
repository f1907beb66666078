// ZPL labels through cupsfilter with the shipped PPDs, as `lp label.zpl`
// prints them: typed by the project's MIME type, drawn by quorvant-zpl, the
// printer's stream decoded by the preview and its symbols read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <ostream>

#include "preview/PreviewLanguages.h"
#include "preview/PreviewTestSupport.h"
#include "support/CodeReader.h"
#include "support/CupsChainTest.h"
#include "support/FamilyCases.h"
#include "support/ShippingLabel.h"
#include "zpl/ZplInterpreter.h"

namespace testing_support {
namespace {

class ZplJob : public CupsChainTest {
protected:
    FilterResult Run(const std::string& ppd, const std::string& document, const std::string& options = "") {
        return RunCupsfilter(*tree, BuiltPpd(ppd), document, options);
    }
    std::string Document(const std::string& name, const std::string& zpl) {
        const std::string path = tree->File(name);
        WriteFile(path, Bytes(zpl.begin(), zpl.end()));
        return path;
    }
    // The pages of a job that must print.
    std::vector<CPreviewPage> Pages(const std::string& ppd, const FilterResult& r) {
        EXPECT_EQ(r.status, 0) << r.err;
        std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create(FamilyOfPpd(ppd).language);
        EXPECT_TRUE(decoder->Decode(r.out.data(), r.out.size())) << decoder->Error().Message();
        return decoder->Pages();
    }
};

struct LabelCase {
    const char* ppd;
    const char* options;
    int borderWidth;      // the printed border, in dots
    const char* warning;  // the job's shrink warning, if any
};

// The label keeps its size on the 300 dpi head (772 x 300 / 203), unless
// the job says it was written for that head; the 80 mm receipt head
// shrinks it, with the bar code warning.
const LabelCase kLabels[] = {
    {"qvtspl.ppd", "", 772, nullptr},
    {"qvtspl3.ppd", "", 1141, nullptr},
    {"qvtspl3.ppd", "qvZplResolution=Native", 772, nullptr},
    {"qvescpos.ppd", "", 548, "WARNING: the page was shrunk to 70 %; bar codes may not scan"},
    {"qvcpcl.ppd", "", 772, nullptr},
};

void PrintTo(const LabelCase& c, std::ostream* os) { *os << c.ppd << (*c.options ? " " : "") << c.options; }

class ZplCarrierLabel : public ZplJob, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(ZplCarrierLabel, PrintsAtItsSizeAndItsCodesScan) {
    const LabelCase& c = GetParam();
    const FilterResult r = Run(c.ppd, kShippingLabel, c.options);
    const std::vector<CPreviewPage> pages = Pages(c.ppd, r);
    ASSERT_EQ(pages.size(), 1u) << r.err;
    const std::vector<std::string> warnings = r.ErrLines("WARNING: the page");
    EXPECT_EQ(warnings, c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{});
    EXPECT_EQ(r.ErrLines("ERROR: "), std::vector<std::string>{});
    EXPECT_NEAR(FrameOf(pages[0]).scale * kBorderWidth, c.borderWidth, 2);
    bool skipped = false;
    EXPECT_EQ(UnreadSymbols(pages[0], skipped), std::vector<std::string>{});
    if (skipped)
        GTEST_SKIP() << kNoSymbolReaders;
}

INSTANTIATE_TEST_SUITE_P(Printers, ZplCarrierLabel, ::testing::ValuesIn(kLabels),
                         [](const ::testing::TestParamInfo<LabelCase>& info) {
                             std::string name = std::string(info.param.ppd, std::strchr(info.param.ppd, '.'));
                             return name + (info.param.options[0] ? "_native" : "");
                         });

// ^PQ 3 times the job's 2: one page the printer counts six times where it
// can, else the page six times (drawn again where a page's bytes cannot be
// sent again: a Brother QL job opens once).
TEST_F(ZplJob, CopiesAreTheLabelsTimesTheJobs) {
    const struct {
        const char* ppd;
        size_t pages;
        const char* setting;  // the language's copy count, where it has one
        const char* value;
        const char* options = "";  // the label's own size on a 300 dpi head
    } kCases[] = {
        {"qvtspl.ppd", 1, "print", "1 set of 6 copies"},
        {"qvcpcl.ppd", 1, "quantity", "6"},
        {"qvescpos.ppd", 6, nullptr, nullptr},
        {"qvql720.ppd", 6, nullptr, nullptr, " -o qvZplResolution=Native"},
    };
    const std::string label = Document("copies.zpl", "^XA^PQ3^FO10,10^GB200,100,10^FS^XZ");
    for (const auto& c : kCases) {
        const FilterResult r = Run(c.ppd, label, std::string("-n 2") + c.options);
        const std::vector<CPreviewPage> pages = Pages(c.ppd, r);
        ASSERT_EQ(pages.size(), c.pages) << c.ppd;
        EXPECT_EQ(r.ErrLines("PAGE: "), std::vector<std::string>{"PAGE: 1 6"}) << c.ppd;
        for (const CPreviewPage& page : pages)
            EXPECT_EQ(page.BlackDots(), 200u * 100 - 180 * 80) << c.ppd;
        if (c.setting) {
            EXPECT_EQ(SettingOf(pages[0], c.setting), c.value) << c.ppd;
        }
    }
}

// What the label asks lands where the TSPL printer has it, in its range
// (darkness 1-15 from ZPL's 0-30; ^MD from the middle, the PPD's default
// being the printer's own), below what the job names.
TEST_F(ZplJob, LabelSettingsApplyBelowTheJobsOptions) {
    const struct {
        const char* settings;
        const char* options;
        const char* name;
        const char* value;
    } kCases[] = {
        {"^MD10", "", "density", "13"},
        {"^MD10", "Darkness=5", "density", "5"},
        {"^PR4", "", "speed", "4"},
        {"^PR4", "zePrintRate=6", "speed", "6"},
        {"^MNN", "", "media", "continuous"},
        {"^MNN", "zeMediaTracking=Gap", "media", "gap 3 mm,0 mm"},
        {"^MMC", "", "cutter", "every 1 label"},
        {"^MTT", "", "ribbon", "on"},
    };
    for (const auto& c : kCases) {
        const std::string label =
            Document("settings.zpl", std::string("^XA") + c.settings + "^FO10,10^GB100,100,10^FS^XZ");
        const std::vector<CPreviewPage> pages = Pages("qvtspl.ppd", Run("qvtspl.ppd", label, c.options));
        ASSERT_EQ(pages.size(), 1u) << c.settings;
        EXPECT_EQ(SettingOf(pages[0], c.name), c.value) << c.settings << " " << c.options;
    }
}

// One page a label, none for a format that draws nothing; a label that
// cannot be drawn is an error line and the others print; a file without a label fails the job; a label asks for
// no more copies than CUPS lets a job ask for.
TEST_F(ZplJob, EachLabelIsAPageAndTheBrokenOnesAreTold) {
    const std::string good = "^XA^PW400^LL300^FO10,10^GB100,100,10^FS^XZ";
    const struct {
        std::string zpl;
        int status;
        size_t pages;
        const char* line;  // a status line the job must show
    } kCases[] = {
        {good + good, 0, 2, nullptr},
        {good + "^XA^PW100000^LL100000^FO1,1^GB5,5,5^FS^XZ" + good, 0, 2, "ERROR: Label 2 is not drawn: "},
        {good + "^XA^FO1,1^GFA,8,8,1,:Z64:eJxjYGBgAAAABAAB:1234^FS^XZ" + good, 0, 3,
         "WARNING: Label 2: a graphic (^GF) is not drawn: the graphic's CRC"},
        {"no label here\n", 1, 0, "ERROR: The document has no ZPL label to print."},
        // CUPS's and lprint's format after each label deletes a graphic: no page.
        {good + "^XA^IDR:CUPS.GRF^FS^XZ" + good + "^XA^XZ", 0, 2, nullptr},
        // As many copies as CUPS lets a job ask for, no more.
        {"^XA^PQ99999999^FO10,10^GB100,100,10^FS^XZ", 0, 1,
         "WARNING: Label 1 asks for 99999999 copies; 9999 are printed."},
    };
    for (const auto& c : kCases) {
        const FilterResult r = Run("qvtspl.ppd", Document("labels.zpl", c.zpl));
        EXPECT_EQ(r.status, c.status) << c.zpl << "\n" << r.err;
        std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create("tspl");
        decoder->Decode(r.out.data(), r.out.size());
        EXPECT_EQ(decoder->Pages().size(), c.pages) << c.zpl;
        if (c.line) {
            EXPECT_NE(r.err.find(std::string("\n") + c.line), std::string::npos) << c.line << "\n" << r.err;
        }
    }
}

// Printed dots that are not what the drawn label's dots make of their area:
// black where more than half of it is black, white where less, within a
// margin for the shrink's rounding. Halftoning, or a tone change, moves
// dots to the other side.
long StrayDots(const zpl::ZplBitmap& drawn, const CPreviewPage& printed) {
    const double sx = double(drawn.Width()) / printed.Width(), sy = double(drawn.Height()) / printed.Height();
    // How much of [from, to) lies in the unit cell at `i`.
    const auto overlap = [](double from, double to, int i) {
        return std::max(0.0, std::min(to, i + 1.0) - std::max(from, double(i)));
    };
    long stray = 0;
    for (int y = 0; y < printed.Height(); y++) {
        const double top = y * sy, bottom = (y + 1) * sy;
        for (int x = 0; x < printed.Width(); x++) {
            const double left = x * sx, right = (x + 1) * sx;
            double black = 0;
            for (int v = int(top); v < std::min(drawn.Height(), int(std::ceil(bottom))); v++)
                for (int u = int(left); u < std::min(drawn.Width(), int(std::ceil(right))); u++)
                    if (drawn.Dot(u, v))
                        black += overlap(left, right, u) * overlap(top, bottom, v);
            const double share = black / (sx * sy);
            if ((share > 0.55 && !Black(printed, x, y)) || (share < 0.45 && Black(printed, x, y)))
                stray++;
        }
    }
    return stray;
}

// The receipt PPD dithers (Burkes) and the job asks for tone changes: a
// label still prints its own dots, as drawn on the head's width and with
// no dot astray where it is shrunk to the head.
TEST_F(ZplJob, DrawnDotsAreNotHalftoned) {
    for (const int width : {576, 812}) {
        const std::string zpl = "^XA^PW" + std::to_string(width) +
                                "^LL400^FO20,20^GB536,360,6^FS^FO40,40^A0N,60,50^FDDOTS AS DRAWN^FS"
                                "^FO40,120^GC120,8^FS^FO200,130^GD150,100,12,B,L^FS^FO380,120^BY2^BQN,2,4^FDQA,"
                                "quorvant^FS^FO600,40^GB200,340,100^FS^XZ";
        const FilterResult r =
            Run("qvescpos.ppd", Document("drawn.zpl", zpl), "qvBrightness=40 Contrast=-50 qvTrimRoll=False");
        const std::vector<CPreviewPage> pages = Pages("qvescpos.ppd", r);
        ASSERT_EQ(pages.size(), 1u) << r.err;
        std::vector<zpl::Label> labels;
        zpl::ZplInterpreter interpreter(zpl::InterpreterOptions(), nullptr);
        const auto keep = [&](zpl::Label& label) {
            labels.push_back(std::move(label));
            return true;
        };
        interpreter.Feed(zpl.data(), zpl.size(), keep);
        interpreter.Finish(keep);
        ASSERT_EQ(labels.size(), 1u);
        EXPECT_EQ(pages[0].Width(), 576) << width;
        EXPECT_EQ(pages[0].Height(), 400 * 576 / width) << width;
        EXPECT_EQ(StrayDots(labels[0].page, pages[0]), 0) << width;
    }
}

// CUPS types ZPL by its first command or the file's name; plain text stays
// text.
TEST_F(ZplJob, TypedByItsFirstCommandOrItsName) {
    const struct {
        const char* name;
        const char* content;
        bool zpl;
    } kCases[] = {
        {"label.txt", "^XA^FO10,10^GB100,100,10^FS^XZ", true},
        {"label.txt", " \r\n^xa^fo10,10^gb100,100,10^fs^xz", true},
        {"label.txt", "CT~~CD,~CC^~CT~\n^XA^FO10,10^GB100,100,10^FS^XZ", true},
        {"label.zpl", "^FX a label\n^XA^FO10,10^GB100,100,10^FS^XZ", true},
        {"note.txt", "Send ^XA to start a label.\n", false},
    };
    for (const auto& c : kCases) {
        const FilterResult r = Run("qvtspl.ppd", Document(c.name, c.content));
        EXPECT_EQ(r.status, 0) << c.content << "\n" << r.err;
        EXPECT_EQ(r.err.find("quorvant-zpl (PID") != std::string::npos, c.zpl) << c.content;
    }
}

}  // namespace
}  // namespace testing_support

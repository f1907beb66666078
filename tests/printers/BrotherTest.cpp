// The Brother QL renderer, read back by the preview's decoder: the page's
// dots where the DK roll prints them, plain and PackBits, on both heads; the
// job's framing; the facts of each model from the driver table.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "families/DriverTable.h"
#include "families/NamedSettings.h"
#include "preview/PreviewTestSupport.h"
#include "printers/CPrinterBrother.h"
#include "printers/PrinterJob.h"
#include "support/TestHost.h"

using namespace testing_support;

namespace {

using Render = CaptureHost<CCupsRender<CPrinterBrother>>;

struct Job {
    int headDots = 720;
    bool packBits = false;
    int mediaType = 0;  // continuous
    int postPrint = 2;
};

void Print(Render& render, const std::vector<RasterPage>& pages) {
    render.OnStartDoc(0);
    for (const RasterPage& page : pages) {
        render.SetPage(page.width, page.height, page.data, 300);
        render.OnStartPage();
        render.OnPaintBmp();
        render.OnEndPage();
    }
    render.OnEndDoc();
}

Bytes RenderJob(const Job& setup, const std::vector<RasterPage>& pages) {
    Render render;
    render.m_Extension.iHeadDots = setup.headDots;
    render.m_HalfTone.ImageCompress = setup.packBits;
    render.m_RegStruct.iMediaType = setup.mediaType;
    render.m_RegStruct.iPostPrintAction = setup.postPrint;
    Print(render, pages);
    EXPECT_TRUE(render.errors.empty());
    return render.spooled;
}

// Test-side PackBits, as the printers expand it.
Bytes Unpack(const uint8_t* data, size_t n) {
    Bytes out;
    for (size_t i = 0; i < n;) {
        const int control = static_cast<int8_t>(data[i++]);
        if (control >= 0) {
            out.insert(out.end(), data + i, data + i + control + 1);
            i += control + 1;
        } else {
            out.insert(out.end(), static_cast<size_t>(1 - control), data[i++]);
        }
    }
    return out;
}

// Where the page's column 0 lands on the label as read: the roll's margin
// on the head's side, from Brother's pin tables (1296-pin heads 44 more).
struct Placement {
    int headDots;
    unsigned width;
    int firstColumn;
    unsigned printedWidth;  // the rest is past the roll's printable area
};

const Placement kPlacements[] = {
    {720, 1, 29, 1},         // 12 mm roll
    {720, 106, 29, 106},     // 12 mm
    {720, 107, 6, 107},      // 29 mm
    {720, 385, 12, 385},     // 38 mm
    {720, 576, 0, 576},      // 54 mm
    {720, 696, 12, 696},     // 62 mm
    {720, 720, 12, 696},     // wider than any roll: 62 mm's dots
    {1296, 1, 73, 1},        // 12 mm
    {1296, 696, 56, 696},    // 62 mm
    {1296, 697, 56, 697},    // 102 mm
    {1296, 1164, 56, 1164},  // 102 mm
    {1296, 1296, 56, 1164},
};

class BrotherRoundTrip : public ::testing::TestWithParam<std::tuple<Placement, bool>> {};

// A job of three pages of random dots: each page decodes to the head's
// width with the page's black dots at the roll's place, framed 0C, 0C, 1A.
TEST_P(BrotherRoundTrip, DecodesThePageWhereTheRollPrintsIt) {
    const Placement& p = std::get<0>(GetParam());
    Job setup;
    setup.headDots = p.headDots;
    setup.packBits = std::get<1>(GetParam());
    std::vector<RasterPage> pages;
    for (unsigned height : {1u, 2u, 37u})
        pages.push_back(RandomPage(p.width, height, p.width * 100 + height));
    const Bytes stream = RenderJob(setup, pages);
    bool ok = false;
    auto decoder = Decoded("brother", stream, &ok);
    ASSERT_TRUE(ok) << decoder->Error().Message();
    ASSERT_EQ(decoder->Pages().size(), pages.size());
    for (size_t i = 0; i < pages.size(); i++) {
        const CPreviewPage& page = decoder->Pages()[i];
        ASSERT_EQ(page.Width(), p.headDots);
        ASSERT_EQ(page.Height(), static_cast<int>(pages[i].height));
        RasterPage printed = pages[i];
        if (p.printedWidth < p.width) {
            printed = RasterPage{};
            printed.width = p.printedWidth;
            printed.height = pages[i].height;
            for (unsigned y = 0; y < printed.height; y++) {
                const uint8_t* row = pages[i].data.data() + y * ((p.width + 7) / 8);
                printed.data.insert(printed.data.end(), row, row + (p.printedWidth + 7) / 8);
            }
        }
        EXPECT_EQ(DiffBytes(HeadRows(printed, p.headDots / 8, p.firstColumn), page.Dots()), "") << "page " << i;
        EXPECT_EQ(SettingOf(page, "compression"), setup.packBits ? "PackBits" : "(none)");
    }
    const auto& commands = decoder->Commands();
    EXPECT_EQ(
        std::count_if(commands.begin(), commands.end(), [](const PreviewCommand& c) { return c.text == "0C (print)"; }),
        2);
    EXPECT_EQ(commands.back().text, "1A (print, last page)");
    EXPECT_EQ(stream.back(), 0x1A);
}

INSTANTIATE_TEST_SUITE_P(BothHeads, BrotherRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kPlacements), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<Placement, bool>>& info) {
                             const Placement& p = std::get<0>(info.param);
                             return "Head" + std::to_string(p.headDots) + "Width" + std::to_string(p.width) +
                                    (std::get<1>(info.param) ? "PackBits" : "Plain");
                         });

// One small continuous page, byte for byte: invalidate, ESC @, raster mode,
// media (12 mm roll, 2 rows), auto cut and cut at the end, the 35-dot
// margin, two full-head rows and the job's end.
TEST(BrotherRenderer, SmallPageBytes) {
    RasterPage page;
    page.width = 8;
    page.height = 2;
    page.data = {0x7F, 0xFE};  // column 0 black, then column 7
    const Bytes stream = RenderJob(Job{}, {page});
    Bytes expected(200, 0x00);
    expected.insert(expected.end(), {0x1B, 0x40, 0x1B, 0x69, 0x61, 0x01, 0x1B, 0x69, 0x7A, 0x86, 0x0A, 0x0C,
                                     0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1B, 0x69, 0x4D, 0x40, 0x1B,
                                     0x69, 0x41, 0x01, 0x1B, 0x69, 0x4B, 0x08, 0x1B, 0x69, 0x64, 0x23, 0x00});
    // Column x goes to pin 690 - x (12 mm roll: 29 pins after it).
    for (int pin : {690, 683}) {
        Bytes row(90, 0);
        row[pin / 8] = static_cast<uint8_t>(0x80 >> (pin % 8));
        expected.insert(expected.end(), {0x67, 0x00, 90});
        expected.insert(expected.end(), row.begin(), row.end());
    }
    expected.push_back(0x1A);
    EXPECT_EQ(DiffBytes(expected, stream), "");
}

// Without a head from the PPD, a job's first page chooses it: a printer has
// one, and later pages of any width are sent on it.
TEST(BrotherRenderer, AJobKeepsTheHeadItsFirstPageChose) {
    for (const auto& widths : {std::make_pair(106u, 1000u), std::make_pair(1000u, 106u)}) {
        Job setup;
        setup.headDots = 0;
        const Bytes stream = RenderJob(setup, {RandomPage(widths.first, 40, 1), RandomPage(widths.second, 40, 2)});
        bool ok = false;
        auto decoder = Decoded("brother", stream, &ok);
        ASSERT_TRUE(ok) << widths.first << " then " << widths.second << ": " << decoder->Error().Message();
        ASSERT_EQ(2u, decoder->Pages().size());
        EXPECT_EQ(decoder->Pages()[0].Width(), decoder->Pages()[1].Width());
        EXPECT_EQ(widths.first > 720 ? 1296 : 720, decoder->Pages()[0].Width());
    }
}

// Die-cut DK labels state their length and take exactly their rows; a page a
// row short of its label is padded white; a size no label has states none.
TEST(BrotherRenderer, DieCutLabelsStateTheirSize) {
    struct Case {
        unsigned width, height;
        std::vector<uint8_t> media;  // ESC i z's ten bytes
        const char* shown;
    };
    const Case cases[] = {
        {696, 1109, {0x8E, 0x0B, 62, 100, 0x55, 0x04, 0, 0, 0, 0}, "62 x 100 mm die-cut"},
        {696, 1108, {0x8E, 0x0B, 62, 100, 0x55, 0x04, 0, 0, 0, 0}, "62 x 100 mm die-cut"},
        {306, 991, {0x8E, 0x0B, 29, 90, 0xDF, 0x03, 0, 0, 0, 0}, "29 x 90 mm die-cut"},
        {696, 300, {0x86, 0x0B, 62, 25, 0x2C, 0x01, 0, 0, 0, 0}, "62 x 25 mm die-cut"},
    };
    for (const Case& c : cases) {
        Job setup;
        setup.mediaType = 1;
        const Bytes stream = RenderJob(setup, {RandomPage(c.width, c.height, 5)});
        const Bytes head = {0x1B, 0x69, 0x7A};
        const auto at = std::search(stream.begin(), stream.end(), head.begin(), head.end());
        ASSERT_NE(at, stream.end());
        EXPECT_EQ(Bytes(at + 3, at + 13), c.media) << c.shown;
        const Bytes margin = {0x1B, 0x69, 0x64, 0x00, 0x00};
        EXPECT_NE(std::search(stream.begin(), stream.end(), margin.begin(), margin.end()), stream.end());
        bool ok = false;
        auto decoder = Decoded("brother", stream, &ok);
        ASSERT_TRUE(ok) << decoder->Error().Message();
        EXPECT_EQ(SettingOf(decoder->Pages()[0], "media"), c.shown);
    }
}

// After printing: cut every label (and at the end), cut nothing, or leave it
// to the printer.
TEST(BrotherRenderer, PostPrintChoosesTheCuts) {
    struct Case {
        int postPrint;
        const char* autoCut;
        const char* atEnd;
    };
    for (const Case& c : {Case{2, "yes", "yes"}, Case{1, "no", "no"}, Case{0, "(none)", "(none)"}}) {
        Job setup;
        setup.postPrint = c.postPrint;
        bool ok = false;
        auto decoder = Decoded("brother", RenderJob(setup, {RandomPage(16, 3, 1)}), &ok);
        ASSERT_TRUE(ok) << decoder->Error().Message();
        EXPECT_EQ(SettingOf(decoder->Pages()[0], "auto cut"), c.autoCut) << c.postPrint;
        EXPECT_EQ(SettingOf(decoder->Pages()[0], "cut at end"), c.atEnd) << c.postPrint;
    }
}

// PackBits rows never pass the head's bytes plus one per 128, and expand
// (test-side) to the row; white rows are Z.
TEST(BrotherRenderer, PackBitsRowsExpandToTheRow) {
    std::mt19937 random(33);
    for (int size : {90, 162}) {
        for (int round = 0; round < 2000; round++) {
            Bytes row(size);
            const int mode = round % 4;
            for (int i = 0; i < size; i++)
                row[i] = static_cast<uint8_t>(mode == 0   ? random()
                                              : mode == 1 ? (random() % 3 ? 0x00 : random())
                                              : mode == 2 ? (i / (1 + round % 5)) % 2 * 0xFF
                                                          : (random() % 2 ? 0xAA : 0x55));
            NS_KT_CLASS::CMyBuffer packed;
            CPrinterBrother::PackBits(row.data(), size, packed);
            ASSERT_LE(packed.GetBufferLength(), size + (size + 127) / 128) << size << " round " << round;
            EXPECT_EQ(DiffBytes(row, Unpack(packed.GetBuffer(), static_cast<size_t>(packed.GetBufferLength()))), "");
        }
    }
    RasterPage white;
    white.width = 64;
    white.height = 3;
    white.data.assign(8 * 3, 0xFF);
    Job setup;
    setup.packBits = true;
    const Bytes stream = RenderJob(setup, {white});
    const Bytes tail = {0x4D, 0x02, 0x5A, 0x5A, 0x5A, 0x1A};
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), stream.end() - tail.size()));
}

// Each model's driver row decides the invalidate run, ESC i a, the rows'
// compression and the head: the QL-800 gets 400 bytes of 00, plain rows and
// no Z; the QL-500 series no ESC i a; the QL-1100 series 162-byte rows.
TEST(BrotherRenderer, ModelFactsComeFromTheDriverTable) {
    struct Case {
        const char* driver;
        size_t invalidate;
        bool modeCommand, packBits;
        int headBytes;
    };
    const Case cases[] = {
        {"brother_ql500", 200, false, false, 90}, {"brother_ql720", 200, true, true, 90},
        {"brother_ql800", 400, true, false, 90},  {"brother_ql820", 400, true, true, 90},
        {"brother_ql1100", 350, true, true, 162},
    };
    RasterPage page = RandomPage(300, 4, 9);
    page.data.resize(page.data.size() + 38 * 2, 0xFF);  // two white rows
    page.height = 6;
    for (const Case& c : cases) {
        const DriverTable::Driver* driver = DriverTable::Find(c.driver);
        ASSERT_NE(driver, nullptr) << c.driver;
        Render render;
        for (const NamedSettings::Setting& s : NamedSettings::All())
            if (s.drivers.appliesTo(*driver))
                NamedSettings::Apply(render, s, NamedSettings::DefaultFor(s, *driver));
        Print(render, {page});
        const Bytes& stream = render.spooled;
        const size_t zeros =
            std::find_if(stream.begin(), stream.end(), [](uint8_t b) { return b != 0; }) - stream.begin();
        EXPECT_EQ(zeros, c.invalidate) << c.driver;
        const Bytes mode = {0x1B, 0x69, 0x61, 0x01};
        EXPECT_EQ(std::search(stream.begin(), stream.end(), mode.begin(), mode.end()) != stream.end(), c.modeCommand)
            << c.driver;
        bool ok = false;
        auto decoder = Decoded("brother", stream, &ok);
        ASSERT_TRUE(ok) << decoder->Error().Message();
        const CPreviewPage& decoded = decoder->Pages()[0];
        EXPECT_EQ(SettingOf(decoded, "compression"), c.packBits ? "PackBits" : "(none)") << c.driver;
        EXPECT_EQ(decoded.Width(), c.headBytes * 8) << c.driver;
        const auto& commands = decoder->Commands();
        EXPECT_EQ(std::any_of(commands.begin(), commands.end(),
                              [](const PreviewCommand& command) { return command.text == "Z (white row)"; }),
                  c.packBits)
            << c.driver;
        EXPECT_EQ(SettingOf(decoded, "auto cut"), "yes") << c.driver;
    }
}

}  // namespace

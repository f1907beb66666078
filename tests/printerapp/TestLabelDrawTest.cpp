// The test label as drawn, for every driver on every media it offers: the
// frame one dot inside the page, and the QR code (and the Code 128 where the
// label is large enough) read back by zbarimg.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include "families/DriverTable.h"
#include "printerapp/TestLabel.h"
#include "support/CodeReader.h"
#include "support/FamilyCases.h"
#include "support/TestFiles.h"

namespace testing_support {
namespace {

TestLabel::Facts FactsFor(const DriverTable::Driver& driver, const pwg_media_t& media) {
    TestLabel::Facts f;
    f.dpi = driver.dpi;
    f.headDots = driver.headDots;
    f.widthHmm = media.width;
    f.lengthHmm = media.length;
    f.mediaWidth = media.width * driver.dpi / 2540;
    f.length = media.length * driver.dpi / 2540;
    f.width = std::min(f.mediaWidth, f.headDots);
    f.mediaName = media.pwg;
    f.model = driver.description;
    f.driver = driver.name;
    f.settings = {{"Tracking", "gap"}, {"halftoning", "edge-keeping"}};
    f.barcode = driver.name;
    f.qrcode = std::string("driver=") + driver.name + ";media=" + media.pwg;
    return f;
}

int FrameMisses(const CGrayCanvas& c) {
    const int w = c.Width(), h = c.Height();
    auto black = [&c](int x, int y) { return c.At(x, y) < 128; };
    int misses = 0;
    for (int y = 1; y < h - 1; y++)
        misses += black(0, y) + !black(1, y) + !black(w - 2, y) + black(w - 1, y);
    for (int x = 1; x < w - 1; x++)
        misses += black(x, 0) + !black(x, 1) + !black(x, h - 2) + black(x, h - 1);
    return misses;
}

TEST(TestLabelDraw, EveryDriverOnEveryMedia) {
    TempDir dir;
    for (const DriverTable::Driver* driver : CheckedDrivers())
        for (const char* const* name = driver->media; *name; name++) {
            const pwg_media_t* media = pwgMediaForPWG(*name);
            // The custom size range's ends are no media to load.
            if (!media || std::string(*name).rfind("roll_", 0) == 0)
                continue;
            SCOPED_TRACE(std::string(driver->name) + " " + *name);
            const TestLabel::Facts facts = FactsFor(*driver, *media);
            const CGrayCanvas canvas = TestLabel::Draw(facts);
            ASSERT_EQ(facts.width, canvas.Width());
            ASSERT_EQ(facts.length, canvas.Height());
            EXPECT_EQ(0, FrameMisses(canvas));

            const std::string path = dir.File("label.pgm");
            std::string pgm =
                "P5\n" + std::to_string(canvas.Width()) + " " + std::to_string(canvas.Height()) + "\n255\n";
            for (int y = 0; y < canvas.Height(); y++)
                pgm.append(reinterpret_cast<const char*>(canvas.Row(y)), static_cast<size_t>(canvas.Width()));
            WriteFile(path, pgm);
            bool skipped = false;
            const std::string codes = ReadCodes(path, false, skipped);
            if (skipped)
                GTEST_SKIP() << kNoCodeReader;
            // The QR code names the driver and the media on every label,
            // DYMO's 14 mm file folder label the narrowest.
            EXPECT_NE(std::string::npos, codes.find("QR-Code:" + facts.qrcode + "\n")) << codes;
            // The Code 128 fits labels from 2.25 x 1.25 in, and turned,
            // rolls from 100 mm long; on labels narrower than 40 mm it is
            // turned, where the QR code leaves it room.
            const double widthMm = media->width / 100.0, lengthMm = media->length / 100.0;
            const bool barcode = (widthMm >= 55 && lengthMm >= 31) || lengthMm >= 90;
            if (widthMm >= 40) {
                EXPECT_EQ(barcode, codes.find(std::string("CODE-128:") + driver->name + "\n") != std::string::npos)
                    << codes;
            }
        }
}

}  // namespace
}  // namespace testing_support

// The test label as the printer receives it: from the testpage sub-command
// (and, in WebInterfaceTest, from the web page's button), decoded from the
// printer's bytes, the size of its media dot for dot, framed one dot inside
// its edges, with codes that a bar code reader reads back.
#include <gtest/gtest.h>

#include "printerapp/AppServer.h"
#include "printerapp/TestLabelCheck.h"

namespace testing_support {
namespace {

struct LabelCase {
    const char* driver;
    const char* language;
    LabelSize size;     // the media (the head where narrower), the media length
    const char* media;  // loaded first; null: the driver's default
    bool barcode;       // the Code 128 fits
};

const LabelCase kCases[] = {
    {"tspl_203dpi", "tspl", {812, 1218, false}, nullptr, true},   // 4 x 6 in
    {"escpos_58mm", "escpos", {384, 1598, true}, nullptr, true},  // 48.1 x 200 mm roll, the head's width
    // A 50 mm (399-dot) label on a 384-dot head: drawn head-wide, not shrunk.
    {"tavrin_58mm", "tavrin", {384, 239, true}, "om_label-50x30_50x30mm", false},
    // DYMO's file folder label, 14 mm wide: the QR code alone.
    {"dymo_lw450", "dymo", {168, 1031, false}, "oe_file-folder-label_0.5625x3.4375in", false},
};

TEST(PrinterAppTestLabel, CommandLinePrintsItOnTheLoadedMedia) {
    AppServer server;
    if (!server.Start({"auth-service=none"}))
        GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    for (const LabelCase& c : kCases) {
        SCOPED_TRACE(c.driver);
        std::string output;
        ASSERT_TRUE(server.AddFilePrinter(c.driver, c.driver, output)) << output;
        if (c.media) {
            const CommandResult modify =
                server.Run({"modify", "-d", c.driver, "-o", std::string("media-ready=") + c.media});
            ASSERT_EQ(0, modify.status) << modify.out;
        }
        const CommandResult run = server.Run({"testpage", "-d", c.driver});
        ASSERT_EQ(0, run.status) << run.out;
        const JobInfo job = server.WaitForLastJob(c.driver);
        ASSERT_EQ("completed", job.state) << job.message << "\n" << server.LogProblems();
        const auto pages = server.DecodeDevice(c.driver, c.language);
        ASSERT_EQ(1u, pages.size());
        // The QR code names the loaded media.
        const std::string qr = std::string("driver=") + c.driver + (c.media ? std::string(";media=") + c.media : "");
        ExpectLabel(pages[0], c.size, qr, c.barcode ? c.driver : "", server.Dir());
    }
}

TEST(PrinterAppTestLabel, CommandLineTakesNoFiles) {
    AppServer server;
    if (!server.Start({"auth-service=none"}))
        GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    const std::string file = server.Dir().File("some.txt");
    WriteFile(file, std::string("text"));
    const CommandResult run = server.Run({"testpage", file});
    EXPECT_NE(0, run.status) << run.out;
}

}  // namespace
}  // namespace testing_support

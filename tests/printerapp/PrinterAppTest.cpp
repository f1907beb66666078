// The printer application end to end: a private server, printers on file:
// devices, PWG raster jobs, the device output decoded by the preview.
#include <gtest/gtest.h>

#include "preview/PreviewLanguages.h"
#include "printerapp/AppServer.h"
#include "support/FilterRun.h"

namespace testing_support {
namespace {

class PrinterAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.Start())
            GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    }

    void AddPrinter(const std::string& name, const std::string& driver) {
        std::string output;
        ASSERT_TRUE(server.AddFilePrinter(name, driver, output)) << output;
    }

    // Prints one page and decodes what reached the printer's device.
    std::vector<CPreviewPage> PrintAndDecode(const std::string& printer, const std::string& language, const Bytes& page,
                                             const std::vector<std::string>& options = {}) {
        const std::string file = server.Dir().File(printer + "-job.pwg");
        WriteFile(file, page);
        const std::string state = server.Print(printer, file, options);
        EXPECT_EQ("completed", state);
        output = ReadFile(server.Dir().File(printer + ".prn"));
        auto decoder = PreviewLanguages::Create(language);
        EXPECT_TRUE(decoder->Decode(output.data(), output.size())) << decoder->Error().Message();
        return decoder->Pages();
    }

    AppServer server;
    Bytes output;
};

TEST_F(PrinterAppTest, TsplLabelKeepsSizeAndDots) {
    AddPrinter("labels", "tspl_203dpi");
    // A 4 x 6 in label with a black rectangle of 203 x 305 dots.
    const auto pages = PrintAndDecode("labels", "tspl", PwgGrayPage(812, 1218, 203, 203, 304, 406, 609));
    ASSERT_EQ(1u, pages.size());
    EXPECT_EQ(832, pages[0].Width());  // the 832-dot head
    EXPECT_EQ(1218, pages[0].Height());
    EXPECT_EQ(203u * 305u, pages[0].BlackDots());
    EXPECT_NE(std::string::npos, pages[0].SettingsText().find("label 101.60 mm x 152.40 mm"));
    EXPECT_NE(std::string::npos, pages[0].SettingsText().find("media gap 3 mm"));
}

TEST_F(PrinterAppTest, TsplDarknessAndSpeedFromTheJob) {
    AddPrinter("labels", "tspl_203dpi");
    const auto pages = PrintAndDecode("labels", "tspl", PwgGrayPage(812, 1218, 203, 0, 0, 100, 100),
                                      {"print-darkness=100", "print-speed=10160"});
    ASSERT_EQ(1u, pages.size());
    // Configured 50 + 100, clamped to 100: the darkest of 16 levels; 4 in/s.
    EXPECT_NE(std::string::npos, pages[0].SettingsText().find("density 15")) << pages[0].SettingsText();
    EXPECT_NE(std::string::npos, pages[0].SettingsText().find("speed 4")) << pages[0].SettingsText();
}

TEST_F(PrinterAppTest, EscposReceiptIsTrimmedAndCut) {
    AddPrinter("receipts", "escpos_80mm");
    // 576 dots wide, 1600 rows, ink on rows 400-599 only.
    const auto pages = PrintAndDecode("receipts", "escpos", PwgGrayPage(576, 1600, 203, 100, 400, 300, 600));
    ASSERT_FALSE(pages.empty());
    EXPECT_EQ(576, pages[0].Width());
    EXPECT_EQ(200u * 200u, pages[0].BlackDots());
    const std::string settings = pages.back().SettingsText();
    EXPECT_NE(std::string::npos, settings.find("cut")) << settings;
}

TEST_F(PrinterAppTest, SamePageSameBytesAsTheFilter) {
    const std::string ppd = std::string(QUORVANT_BUILD_DIR) + "/ppd/qvtspl.ppd";
    if (access(ppd.c_str(), R_OK) != 0)
        GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    AddPrinter("labels", "tspl_203dpi");
    const Bytes page = PwgGrayPage(812, 1218, 203, 150, 200, 600, 900);
    PrintAndDecode("labels", "tspl", page);

    FilterJob job = MakeJob(ppd);
    job.input = page;
    const FilterResult filtered = RunFilter(job);
    ASSERT_EQ(0, filtered.status) << filtered.err;
    EXPECT_EQ("", DiffBytes(filtered.out, output));
}

}  // namespace
}  // namespace testing_support

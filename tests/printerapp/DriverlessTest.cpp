// The printer application as its clients reach it: a photo from ipptool with
// the job's settings, and a PDF through a CUPS driverless queue; the device
// output decoded by the preview.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "printerapp/AppServer.h"
#include "support/CupsSystem.h"
#include "support/FamilyCases.h"

namespace testing_support {
namespace {

// Sends `file` to `printer` with one Print-Job through ipptool; `attributes`
// are ipptool ATTR lines of the job group.
CommandResult IpptoolPrintJob(const AppServer& server, const std::string& printer, const std::string& file,
                              const std::string& format, const std::string& attributes) {
    const std::string test = server.Dir().File("print-job.test");
    WriteFile(test,
              "{\nNAME \"Print-Job\"\nOPERATION Print-Job\nGROUP operation-attributes-tag\n"
              "ATTR charset attributes-charset utf-8\nATTR naturalLanguage attributes-natural-language en\n"
              "ATTR uri printer-uri $uri\nATTR name requesting-user-name $user\n"
              "ATTR mimeMediaType document-format " +
                  format + "\nGROUP job-attributes-tag\n" + attributes + "FILE $filename\nSTATUS successful-ok\n}\n");
    return RunCommand("ipptool -t -f '" + file + "' " + server.PrinterUri(printer) + " '" + test + "'");
}

// The photo (384 x 240 pixels, 72 dpi) with job attributes of each family's
// own; the decoded settings show them.
struct PhotoCase {
    const char* driver;
    const char* attributes;  // ipptool ATTR lines of the job group
    const char* settings;    // what the decoded settings must contain
};

const PhotoCase kPhotoCases[] = {
    {"tspl_203dpi",
     "ATTR integer print-darkness 100\n"
     "ATTR collection media-col { MEMBER keyword media-type \"labels-continuous\" }\n",
     "media continuous, offset 0 mm, density 15"},
    {"tspl_300dpi",
     "ATTR collection media-col { MEMBER collection media-size { MEMBER integer x-dimension 5000 "
     "MEMBER integer y-dimension 3000 } MEMBER keyword media-tracking \"mark\" }\n",
     "label 49.95 mm x 29.97 mm, ribbon off, reference 0,0 dots, media black mark"},
    {"cpcl_203dpi", "ATTR keyword media oe_label-2x1_2x1in\n", "label height 203 dots"},
    {"escpos_80mm", "ATTR keyword cut-mode job-partial\nATTR integer end-feed 5\n", "feed 39 dots, partial cuts 1"},
    {"escpos_58mm", "ATTR keyword cut-mode none\n", "image mode normal, feed 119 dots"},
    {"tavrin_58mm", "ATTR keyword media om_label-40x30_40x30mm\n", "feed"},
    {"solvane_58mm", "ATTR collection media-col { MEMBER keyword media-type \"labels\" }\n", "paper gap"},
    {"zpl_300dpi", "ATTR integer print-darkness 100\n", "darkness 30"},
    {"epl2_203dpi",
     "ATTR integer print-darkness 100\n"
     "ATTR collection media-col { MEMBER keyword media-type \"labels-continuous\" }\n",
     "media continuous, darkness 15"},
    {"dymo_lw450", "ATTR integer print-darkness 100\n", "density dark"},
    {"brother_ql820", "ATTR collection media-col { MEMBER keyword media-type \"continuous\" }\n",
     "media 62 mm continuous"},
};

class PrinterAppPhotoTest : public ::testing::TestWithParam<PhotoCase> {};

TEST_P(PrinterAppPhotoTest, IpptoolPhotoPrintsWithTheJobsSettings) {
    const PhotoCase& c = GetParam();
    if (!HaveProgram("ipptool"))
        GTEST_SKIP() << "ipptool (cups-ipp-utils) is not installed";
    AppServer server;
    if (!server.Start())
        GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    std::string output;
    ASSERT_TRUE(server.AddFilePrinter("printer", c.driver, output)) << output;

    const CommandResult run =
        IpptoolPrintJob(server, "printer", QUORVANT_SOURCE_DIR "/samples/sample-photo.jpg", "image/jpeg", c.attributes);
    ASSERT_EQ(0, run.status) << run.out;
    const JobInfo job = server.WaitForLastJob("printer");
    ASSERT_EQ("completed", job.state) << job.message;

    const auto pages = server.DecodeDevice("printer", FamilyOfDriver(c.driver).language);
    ASSERT_FALSE(pages.empty());
    // A photo has ink all over; a blank or lost page has none.
    EXPECT_GT(TotalBlackDots(pages), 1000u);
    EXPECT_NE(std::string::npos, pages[0].SettingsText().find(c.settings)) << pages[0].SettingsText();
}

INSTANTIATE_TEST_SUITE_P(PrinterApp, PrinterAppPhotoTest, ::testing::ValuesIn(kPhotoCases),
                         [](const ::testing::TestParamInfo<PhotoCase>& info) {
                             return std::string(info.param.driver);
                         });

// A CUPS queue made with "-m everywhere" from the application's own IPP
// attributes: CUPS sends the PDF, which the application renders at the
// printer's resolution.
struct PdfCase {
    const char* driver;
    const char* document;
    int width;         // dots across the decoded page (rows of whole 64-dot words)
    const char* text;  // in the decoded settings
};

const PdfCase kPdfCases[] = {
    {"tspl_203dpi", "sample-label.pdf", 832, "label 101.60 mm x 152.40 mm"},
    {"escpos_80mm", "sample-receipt.pdf", 576, "cuts 1"},
    {"tspl_300dpi", "sample-label.pdf", 1216, "label 101.60 mm x 152.40 mm"},
    {"cpcl_203dpi", "sample-label.pdf", 832, "label height 1218 dots"},
    {"escpos_58mm", "sample-receipt.pdf", 384, "cuts 1"},
    {"tavrin_58mm", "sample-receipt.pdf", 384, "feed"},
    {"solvane_58mm", "sample-receipt.pdf", 384, "paper continuous"},
    {"zpl_203dpi", "sample-label.pdf", 816, "label length 1218 dots"},
    {"epl2_203dpi", "sample-label.pdf", 816, "label length 1218 dots"},
    {"dymo_lw4xl", "sample-label.pdf", 1200, "label length 1800 rows"},
    {"brother_ql820", "sample-label.pdf", 720, "media 62 x 100 mm die-cut"},
};

// Each family's own settings reach its printer from both clients: a new
// family fails here until its cases are written.
TEST(PrinterAppDriverless, CasesCoverEveryFamily) {
    const auto byDriver = [](const auto& c) { return &FamilyOfDriver(c.driver); };
    EXPECT_TRUE(CoversEveryFamily(kPhotoCases, byDriver));
    EXPECT_TRUE(CoversEveryFamily(kPdfCases, byDriver));
}

TEST(PrinterAppDriverless, CupsEverywhereQueuePrintsPdf) {
    AppServer server;
    if (!server.Start())
        GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    CupsTree tree;
    PrivateCupsd cupsd(tree);
    if (!cupsd.failure().empty())
        GTEST_SKIP() << cupsd.failure();
    for (const PdfCase& c : kPdfCases) {
        SCOPED_TRACE(c.driver);
        std::string output;
        ASSERT_TRUE(server.AddFilePrinter(c.driver, c.driver, output)) << output;
        const CommandResult added = cupsd.Client(std::string("lpadmin -p ") + c.driver + " -E -v " +
                                                 server.PrinterUri(c.driver) + " -m everywhere");
        ASSERT_EQ(0, added.status) << added.out;
        // CUPS writes the queue's PPD from the application's answer in a
        // thread of its own after lpadmin returns; a job that arrives
        // meanwhile is sent as it is (below), but the thread then sets the
        // queue idle under the job, and CUPS may stop it (seen under
        // AddressSanitizer's slower timing). The test asks for the PPD.
        const std::string ppd = tree.root() + "/etc/ppd/" + c.driver + ".ppd";
        WaitUntil([&] { return !ReadFile(ppd).empty(); });
        ASSERT_FALSE(ReadFile(ppd).empty()) << "CUPS made no PPD for the queue";
        const int id = cupsd.Submit(c.driver, std::string(QUORVANT_SOURCE_DIR "/samples/") + c.document, "");
        ASSERT_GT(id, 0);
        ASSERT_TRUE(cupsd.WaitForJob(id, 120)) << cupsd.JobState(id);
        const JobInfo job = server.WaitForLastJob(c.driver);
        ASSERT_EQ("completed", job.state) << job.message << "\n" << cupsd.JobState(id) << server.LogProblems();
        const auto pages = server.DecodeDevice(c.driver, FamilyOfDriver(c.driver).language);
        ASSERT_FALSE(pages.empty());
        // The application's renderer placed each queue's page (CUPS
        // rasterised none).
        const std::string log = server.Log();
        size_t placed = 0;
        for (size_t at = log.find("page 1: PDF page 1 at"); at != std::string::npos;
             at = log.find("page 1: PDF page 1 at", at + 1))
            placed++;
        EXPECT_EQ(static_cast<size_t>(&c - kPdfCases) + 1, placed);
        EXPECT_EQ(c.width, pages[0].Width());
        EXPECT_GT(TotalBlackDots(pages), 1000u);
        EXPECT_NE(std::string::npos, pages.back().SettingsText().find(c.text)) << pages.back().SettingsText();
    }
    // Until CUPS has made its PPD the queue is raw: the PDF goes to the
    // application as it is, which prints it all the same.
    std::string output;
    ASSERT_TRUE(server.AddFilePrinter("raw", "tspl_203dpi", output)) << output;
    const CommandResult added = cupsd.Client("lpadmin -p raw -E -v " + server.PrinterUri("raw"));
    ASSERT_EQ(0, added.status) << added.out;
    const int id = cupsd.Submit("raw", QUORVANT_SOURCE_DIR "/samples/sample-label.pdf", "");
    ASSERT_GT(id, 0);
    ASSERT_TRUE(cupsd.WaitForJob(id, 120)) << cupsd.JobState(id);
    const JobInfo job = server.WaitForLastJob("raw");
    ASSERT_EQ("completed", job.state) << job.message << "\n" << cupsd.JobState(id) << server.LogProblems();
    const auto pages = server.DecodeDevice("raw", "tspl");
    ASSERT_EQ(1u, pages.size());
    EXPECT_EQ(832, pages[0].Width());
    EXPECT_GT(TotalBlackDots(pages), 1000u);
}

// A network printer: socket:// to a virtual CPCL printer on loopback, which
// decodes what the connection brings and answers the application's queries.
TEST(PrinterAppDevices, SocketPrinterGetsTheJob) {
    AppServer server;
    if (!server.Start())
        GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    CVirtualPrinter::Options o;
    o.language = "cpcl";
    const std::unique_ptr<CVirtualPrinter> printer = ListeningPrinter(o);
    const CommandResult added = server.Run({"add", "-d", "network", "-v", printer->Uri(), "-m", "cpcl_203dpi"});
    const std::string file = server.Dir().File("job.pwg");
    WriteFile(file, PwgGrayPage(400, 300, 203, 50, 50, 150, 150));
    ASSERT_EQ("completed", added.status == 0 ? server.Print("network", file) : added.out);
    ASSERT_TRUE(printer->WaitPrinted(1, kHangMs));
    WaitUntil([&] { return printer->JobsEnded() >= 1; });
    EXPECT_EQ(std::vector<std::string>{}, printer->Refused());
    std::vector<CPreviewPage> pages;
    for (const CVirtualPrinter::Printed& p : printer->PrintedPages())
        pages.push_back(p.image);
    EXPECT_EQ(100u * 100u, TotalBlackDots(pages));
}

// "overrides": page 2 of 3 darker, page 3 thresholded.
TEST(PrinterAppOverrides, OverridesChangeOnlyTheirPages) {
    if (!HaveProgram("ipptool"))
        GTEST_SKIP() << "ipptool (cups-ipp-utils) is not installed";
    AppServer server;
    if (!server.Start())
        GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    std::string output;
    ASSERT_TRUE(server.AddFilePrinter("labels", "tspl_203dpi", output)) << output;
    // Three pages in one PWG stream: one sync word, then each page.
    Bytes pages = PwgGrayPage(400, 300, 203, 50, 50, 150, 150);
    const Bytes page = pages;
    for (int i = 0; i < 2; i++)
        pages.insert(pages.end(), page.begin() + 4, page.end());
    const std::string file = server.Dir().File("job.pwg");
    WriteFile(file, pages);
    const CommandResult run = IpptoolPrintJob(server, "labels", file, "image/pwg-raster",
                                              "ATTR collection overrides { MEMBER rangeOfInteger pages 2-2 "
                                              "MEMBER integer print-darkness 100 },{ MEMBER rangeOfInteger pages 3-3 "
                                              "MEMBER keyword halftoning \"threshold\" }\n");
    ASSERT_EQ(0, run.status) << run.out;
    ASSERT_EQ("completed", server.WaitForLastJob("labels").state);
    const auto decoded = server.DecodeDevice("labels", "tspl");
    ASSERT_EQ(3u, decoded.size());
    EXPECT_EQ(std::string::npos, decoded[0].SettingsText().find("density"));
    EXPECT_NE(std::string::npos, decoded[1].SettingsText().find("density 15"));
    EXPECT_EQ(std::string::npos, decoded[2].SettingsText().find("density"));
    for (const auto& p : decoded)
        EXPECT_EQ(100u * 100u, p.BlackDots());
}

}  // namespace
}  // namespace testing_support

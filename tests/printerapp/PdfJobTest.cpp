// PDF documents in the printer application, rendered by quorvant-pdf-pages
// and printed through the raster callbacks: a label of the media's size at
// 100 %, a larger page shrunk with a warning, page ranges and collated
// copies, documents refused with the IPP reason before anything prints. The
// device output is decoded by the preview.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "families/DriverTable.h"
#include "pdfpages/PdfPages.h"
#include "preview/PreviewTestSupport.h"
#include "printerapp/AppServer.h"
#include "support/FamilyCases.h"
#include "support/PdfFiles.h"

namespace testing_support {
namespace {

constexpr double kInch = 72.0;

class PrinterAppPdf : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.Start())
            GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    }
    // A printer of `driver` named `name`, failing the test if it cannot be added.
    void Add(const std::string& name, const char* driver) {
        std::string output;
        ASSERT_TRUE(server.AddFilePrinter(name, driver, output)) << output;
    }
    std::string Pdf(const std::string& name, const std::string& pdf) {
        const std::string path = server.Dir().File(name);
        WriteFile(path, pdf);
        return path;
    }
    AppServer server;
};

bool Black(const CPreviewPage& page, int x, int y) { return (page.Row(y)[x >> 3] >> (7 - (x & 7)) & 1) != 0; }

// The first row with a black dot at column `x`; -1: none.
int FirstBlackRow(const CPreviewPage& page, int x) {
    for (int y = 0; y < page.Height(); y++)
        if (Black(page, x, y))
            return y;
    return -1;
}

// Where a point `at` points from the page's edge falls, in 203 dpi dots.
int Dot(double at) { return static_cast<int>(std::floor(at * 203 / kInch)); }

// A 4 x 6 in label framed 3 points inside its edges, sent as PAPPL's
// submit sends it (application/octet-stream, typed by its "%PDF") and as
// application/pdf: 812 x 1218 dots, the frame where 100 % puts it.
TEST_F(PrinterAppPdf, LabelOfTheMediasSizePrintsAt100Percent) {
    const double width = 4 * kInch, height = 6 * kInch, inset = 3, line = 2;
    const std::string label =
        Pdf("label.pdf", PdfDocument(1, width, height, [&](int) { return FrameContent(width, height, inset, line); }));
    for (const char* format : {"", "document-format=application/pdf"}) {
        SCOPED_TRACE(format);
        const std::string printer = *format ? "typed" : "auto";
        Add(printer, "tspl_203dpi");
        std::vector<std::string> options;
        if (*format)
            options.push_back(format);
        ASSERT_EQ("completed", server.Print(printer, label, options)) << server.LogProblems();
        const JobInfo job = server.LastJob(printer);
        EXPECT_EQ(std::string::npos, job.message.find("shrunk")) << job.message;
        const auto pages = server.DecodeDevice(printer, "tspl");
        ASSERT_EQ(1u, pages.size());
        const CPreviewPage& page = pages[0];
        ASSERT_GE(page.Width(), 812);
        ASSERT_EQ(1218, page.Height());
        // The frame's line from 8.5 to 14 dots inside each edge: white
        // outside it, black at its middle.
        const int outside = Dot(inset) - 2, middle = Dot(inset + line / 2);
        const int midX = 406, midY = 609;
        EXPECT_FALSE(Black(page, outside, midY));
        EXPECT_TRUE(Black(page, middle, midY));
        EXPECT_TRUE(Black(page, 811 - middle, midY));
        EXPECT_FALSE(Black(page, 811 - outside, midY));
        EXPECT_FALSE(Black(page, midX, outside));
        EXPECT_TRUE(Black(page, midX, middle));
        EXPECT_TRUE(Black(page, midX, 1217 - middle));
        EXPECT_FALSE(Black(page, midX, 1217 - outside));
    }
}

// A US Letter page on 4 x 6 in labels: shrunk to 47 %, centered, the job's
// message saying that bar codes may not scan; the job still prints.
TEST_F(PrinterAppPdf, LargerPageIsShrunkAndTheJobSaysSo) {
    const double width = 8.5 * kInch, height = 11 * kInch;
    const std::string letter =
        Pdf("letter.pdf", PdfDocument(1, width, height, [&](int) { return FrameContent(width, height, 0, 6); }));
    Add("labels", "tspl_203dpi");
    ASSERT_EQ("completed", server.Print("labels", letter)) << server.LogProblems();
    const JobInfo job = server.LastJob("labels");
    EXPECT_NE(std::string::npos, job.message.find("the page was shrunk to 47 %; bar codes may not scan"))
        << job.message;
    const auto pages = server.DecodeDevice("labels", "tspl");
    ASSERT_EQ(1u, pages.size());
    ASSERT_EQ(1218, pages[0].Height());
    // 11 in at 47 % is 1051 dots: the frame's edges 83 dots from the top
    // and the bottom.
    const CPreviewPage& page = pages[0];
    EXPECT_NEAR(83, FirstBlackRow(page, 406), 2);
    int bottom = page.Height() - 1;
    while (bottom > 0 && !Black(page, 406, bottom))
        bottom--;
    EXPECT_NEAR(1218 - 83 - 1, bottom, 2);
}

// Pages 2 and 3 of 3, two collated copies: the printer gets 2, 3, 2, 3, each
// page's bar where that page has it.
TEST_F(PrinterAppPdf, PageRangesAndCollatedCopies) {
    const double width = 4 * kInch, height = 6 * kInch;
    const auto barAt = [](int page) { return 60.0 + 90.0 * page; };  // points from the top
    const std::string pdf = Pdf("three.pdf", PdfDocument(3, width, height, [&](int page) {
                                    return FrameContent(width, height, 0, 0, 20, barAt(page), 248, 20);
                                }));
    Add("labels", "tspl_203dpi");
    ASSERT_EQ("completed", server.Print("labels", pdf, {"page-ranges=2-3", "copies=2"})) << server.LogProblems();
    const auto pages = server.DecodeDevice("labels", "tspl");
    const std::vector<Program> programs = Programs(pages);
    ASSERT_EQ(4u, programs.size()) << server.LogProblems();
    for (size_t i = 0; i < pages.size(); i++) {
        const int page = 1 + static_cast<int>(i % 2);  // 0-based in the document
        EXPECT_NEAR(Dot(barAt(page)), FirstBlackRow(pages[i], 406), 2) << i;
        EXPECT_EQ(programs[i].dots, programs[i % 2].dots) << i;
    }
    EXPECT_NE(programs[0].dots, programs[1].dots);
}

// Documents the renderer refuses end the job aborted, with a message and
// the IPP reason, and nothing reaches the printer.
TEST_F(PrinterAppPdf, RefusedDocumentsAbortWithTheReason) {
    const struct {
        const char* name;
        std::string pdf;
        const char* reason;
        const char* message;
    } cases[] = {
        {"damaged.pdf", "%PDF-1.4\n%\xe2\xe3\xcf\xd3\nnothing of a PDF follows\n", "document-format-error", "damaged"},
        {"pages.pdf", PdfDocument(PdfPages::kMaxPages + 1, 72, 72, nullptr), "document-unprintable-error",
         "10001 pages; at most 10000 print"},
        {"box.pdf", PdfDocument(1, 20000, 20000, nullptr), "document-unprintable-error", "page box"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string printer = "p" + std::to_string(n++);
        Add(printer, "tspl_203dpi");
        EXPECT_EQ("aborted", server.Print(printer, Pdf(c.name, c.pdf)));
        const JobInfo job = server.LastJob(printer);
        EXPECT_NE(std::string::npos, job.reasons.find(c.reason)) << job.reasons;
        EXPECT_NE(std::string::npos, job.message.find(c.message)) << job.message;
        EXPECT_TRUE(ReadFile(server.Dir().File(printer + ".prn")).empty());
    }
}

// The children of the server process (zombies included), by their pid.
std::vector<int> Children(int pid) {
    std::vector<int> children;
    DIR* proc = opendir("/proc");
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        if (std::atoi(entry->d_name) <= 0)
            continue;
        const Bytes bytes = ReadFile(std::string("/proc/") + entry->d_name + "/stat");
        const std::string stat(bytes.begin(), bytes.end());
        // "pid (name) state ppid ...": the name may hold spaces, not ")".
        const size_t close = stat.rfind(')');
        int parent = 0;
        char state = 0;
        if (close != std::string::npos && std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2 &&
            parent == pid)
            children.push_back(std::atoi(entry->d_name));
    }
    if (proc)
        closedir(proc);
    return children;
}

// A page that draws for longer than the time limit (1 s here) ends the job,
// its renderer killed and reaped.
TEST(PrinterAppPdfLimits, PageTakingTooLongEndsTheJob) {
    setenv("QUORVANT_PDF_PAGE_SECONDS", "1", 1);
    AppServer server;
    const bool started = server.Start();
    unsetenv("QUORVANT_PDF_PAGE_SECONDS");
    if (!started)
        GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    std::string output;
    ASSERT_TRUE(server.AddFilePrinter("labels", "tspl_203dpi", output)) << output;
    const std::string slow = server.Dir().File("slow.pdf");
    WriteFile(slow, SlowPdf(8, 10));
    EXPECT_EQ("aborted", server.Print("labels", slow));
    const JobInfo job = server.LastJob("labels");
    EXPECT_NE(std::string::npos, job.reasons.find("document-unprintable-error")) << job.reasons;
    EXPECT_NE(std::string::npos, job.message.find("took over 1 s to render")) << job.message;
    EXPECT_TRUE(Children(server.Pid()).empty());
    EXPECT_TRUE(ReadFile(server.Dir().File("labels.prn")).empty());
}

// Every driver takes PDF, and says so.
TEST_F(PrinterAppPdf, EveryDriverListsPdf) {
    http_t* http = ConnectTo(server.Port());
    ASSERT_NE(http, nullptr);
    for (const DriverTable::Driver* driver : CheckedDrivers()) {
        SCOPED_TRACE(driver->name);
        Add(driver->name, driver->name);
        ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                     server.PrinterUri(driver->name).c_str());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                     "document-format-supported");
        ipp_t* response = cupsDoRequest(http, request, ("/ipp/print/" + std::string(driver->name)).c_str());
        EXPECT_TRUE(ippContainsString(ippFindAttribute(response, "document-format-supported", IPP_TAG_MIMETYPE),
                                      "application/pdf"));
        ippDelete(response);
    }
    httpClose(http);
}

}  // namespace
}  // namespace testing_support

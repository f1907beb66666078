#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "families/KnownPrinters.h"
#include "preview/PreviewTestSupport.h"
#include "support/CupsSystem.h"

using namespace testing_support;

namespace {

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

// A private scheduler with one queue per shipped PPD, each printing into a file.
class Scheduler : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (BuiltPpd("qvtspl.ppd").empty())
            return;
        tree = new CupsTree;
        cupsd = new PrivateCupsd(*tree);
        if (!cupsd->failure().empty())
            return;
        for (const char* queue : {"tspl", "cpcl"}) {
            CommandResult r = cupsd->Client("lpadmin -p " + std::string(queue) + " -E -v file://" + cupsd->OutputDir() +
                                            "/" + queue + ".out -P " + BuiltPpd("qv" + std::string(queue) + ".ppd"));
            queueError += r.status == 0 ? "" : r.out;
        }
    }
    static void TearDownTestSuite() {
        delete cupsd;
        delete tree;
        cupsd = nullptr;
        tree = nullptr;
    }
    void SetUp() override {
        if (!tree)
            GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
        if (!cupsd->failure().empty())
            GTEST_SKIP() << "this machine cannot run a private cupsd: " << cupsd->failure();
        ASSERT_EQ(queueError, "");
    }

    // Runs one job on a queue (TSPL by default) and returns the device file's bytes.
    Bytes PrintJob(const std::string& document, const std::string& options, int* id = nullptr,
                   const std::string& queue = "tspl") {
        std::string device = cupsd->OutputDir() + "/" + queue + ".out";
        unlink(device.c_str());
        int job = cupsd->Submit(queue, document, options);
        EXPECT_GT(job, 0);
        EXPECT_TRUE(cupsd->WaitForJob(job, 120)) << cupsd->JobState(job);
        if (id)
            *id = job;
        return ReadFile(device);
    }

    // The scheduler logs a filter's status lines as "[Job N] text"; "E" marks
    // errors. `level` "." matches every level.
    std::vector<std::string> JobLines(int id, const std::string& prefix, const std::string& level = ".") {
        std::vector<std::string> lines;
        std::regex line("(^|\\n)" + level + " \\[[^\\]]*\\] \\[Job " + std::to_string(id) + "\\] (" + prefix +
                        "[^\\n]*)");
        std::string log = cupsd->ErrorLog();
        for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it)
            lines.push_back((*it)[2]);
        return lines;
    }

    static CupsTree* tree;
    static PrivateCupsd* cupsd;
    static std::string queueError;
};

CupsTree* Scheduler::tree = nullptr;
PrivateCupsd* Scheduler::cupsd = nullptr;
std::string Scheduler::queueError;

const std::string kSampleDir = QUORVANT_SOURCE_DIR "/samples/";

}  // namespace

TEST_F(Scheduler, DriverListingOffersTheShippedPpds) {
    CommandResult r = cupsd->Client("lpinfo -m");
    for (const std::string& ppd : ShippedPpds())
        EXPECT_NE(r.out.find(ppd), std::string::npos) << r.out.substr(0, 2000);
}

// The PPD CUPS offers first for a printer's device ID (lpinfo's first
// line), or "" when it offers none.
TEST_F(Scheduler, DeviceIdListsThePrintersOwnPpdFirst) {
    struct Case {
        std::string deviceId, ppd;
    };
    std::vector<Case> cases;
    size_t count = 0;
    const KnownPrinters::Printer* printers = KnownPrinters::All(count);
    for (size_t i = 0; i < count; i++)
        if (printers[i].ppd)
            cases.push_back({printers[i].deviceId, printers[i].ppd});
    // A printer naming only its command set gets the generic PPD; one that
    // names a maker and model too gets none, as CUPS's pattern needs them.
    cases.push_back({"CMD:TSPL2;", "qvtspl.ppd"});
    cases.push_back({"CMD:ESC/POS;", "qvescpos.ppd"});
    cases.push_back({"MFG:Acme;CMD:TSPL;MDL:L1;", ""});
    for (const Case& c : cases) {
        CommandResult r = cupsd->Client("lpinfo --device-id '" + c.deviceId + "' -m");
        const std::string first = r.out.substr(0, r.out.find_first_of(" \n"));
        EXPECT_EQ(c.ppd, first.find(".ppd") == std::string::npos ? "" : first) << c.deviceId << ": " << r.out;
    }
}

TEST_F(Scheduler, PdfJobWithOptionsReachesTheDevice) {
    int id = 0;
    std::string out = Text(PrintJob(kSampleDir + "sample-label.pdf", "Darkness=12 zeMediaTracking=Continuous", &id));
    EXPECT_EQ(out.rfind("SIZE 101.60 mm,152.40 mm\r\n", 0), 0u) << out.substr(0, 200);
    EXPECT_NE(out.find("\r\nDENSITY 12\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\nGAP 0 mm,0 mm\r\n"), std::string::npos);
    EXPECT_EQ(Count(out, "\r\nPRINT 1,1\r\n"), 1u);
    EXPECT_EQ(JobLines(id, "PAGE: "), std::vector<std::string>{"PAGE: 1 1"});
    EXPECT_EQ(JobLines(id, "", "E"), std::vector<std::string>{});
    EXPECT_EQ(JobLines(id, "Finished page"), std::vector<std::string>{"Finished page 1."});

    // The scheduler runs the same chain as cupsfilter with the same options.
    FilterResult chain = RunCupsfilter(*tree, BuiltPpd("qvtspl.ppd"), kSampleDir + "sample-label.pdf",
                                       "Darkness=12 zeMediaTracking=Continuous");
    EXPECT_EQ(DiffBytes(chain.out, ToBytes(out)), "");
}

// lp takes a ZPL file by the project's MIME type: its label prints with
// its copies (^PQ) times the job's, counted by the printer.
TEST_F(Scheduler, ZplLabelPrintsWithItsCopiesTimesTheJobs) {
    const std::string label = tree->File("copies.zpl");
    WriteFile(label, ToBytes("^XA^PQ3^FO10,10^GB200,100,10^FS^XZ"));
    int id = 0;
    const std::string out = Text(PrintJob(label, "-n 2", &id));
    EXPECT_EQ(Count(out, "\r\nPRINT 1,6\r\n"), 1u) << out.substr(0, 200);
    EXPECT_EQ(JobLines(id, "PAGE: "), std::vector<std::string>{"PAGE: 1 6"});
    EXPECT_EQ(JobLines(id, "", "E"), std::vector<std::string>{});
}

// The page programs a device file holds, decoded by the preview.
std::vector<Program> Programs(const std::string& language, const std::string& out) {
    std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create(language);
    EXPECT_TRUE(decoder->Decode(reinterpret_cast<const uint8_t*>(out.data()), out.size()))
        << decoder->Error().Message();
    return Programs(decoder->Pages());
}

// The shipped TSPL and CPCL PPDs let the printer make the copies: one page
// image for all of them. A raster job of the job's own reaches the filter as
// it is: collated, its pages come again in order (one page still by the
// printer's count).
TEST_F(Scheduler, ThePrinterMakesTheCopies) {
    RasterPage page;
    page.width = 812;
    page.height = 200;
    page.bitsPerPixel = 8;
    std::vector<RasterPage> pages(2, page);
    for (size_t p = 0; p < pages.size(); p++) {
        pages[p].data.assign(812 * 200, 0xFF);
        std::fill_n(pages[p].data.begin() + static_cast<long>(812 * 50 * (p + 1)), 812 * 20, 0x00);
    }
    const std::string twoPages = tree->File("two.ras"), onePage = tree->File("one.ras");
    WriteRaster(twoPages, pages);
    WriteRaster(onePage, {pages[0]});
    chmod(twoPages.c_str(), 0644);
    chmod(onePage.c_str(), 0644);

    const struct {
        const char* queue;
        const char* language;
        std::string document, options;
        std::vector<std::string> copies;  // of each program, in order
        std::vector<size_t> sameAs;       // the program each one repeats
        std::vector<std::string> pageLines;
    } cases[] = {
        {"tspl", "tspl", kSampleDir + "sample-label.pdf", "-n 100", {"1 set of 100 copies"}, {0}, {"PAGE: 1 100"}},
        {"cpcl", "cpcl", kSampleDir + "sample-label.pdf", "-n 100", {"100"}, {0}, {"PAGE: 1 100"}},
        // Collated: CUPS leaves them to the printer too (the PPDs' Collate).
        {"tspl",
         "tspl",
         kSampleDir + "sample-label.pdf",
         "-n 3 -o collate=true",
         {"1 set of 3 copies"},
         {0},
         {"PAGE: 1 3"}},
        {"tspl",
         "tspl",
         twoPages,
         "-n 3",
         {"1 set of 3 copies", "1 set of 3 copies"},
         {0, 1},
         {"PAGE: 1 3", "PAGE: 2 3"}},
        {"tspl", "tspl", onePage, "-n 3 -o collate=true", {"1 set of 3 copies"}, {0}, {"PAGE: 1 3"}},
        {"tspl",
         "tspl",
         twoPages,
         "-n 2 -o collate=true",
         std::vector<std::string>(4, "1 set of 1 copy"),
         {0, 1, 0, 1},
         {"PAGE: 1 2", "PAGE: 2 2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.queue) + " " + c.document + " " + c.options);
        int id = 0;
        const std::vector<Program> programs = Programs(c.language, Text(PrintJob(c.document, c.options, &id, c.queue)));
        ASSERT_EQ(programs.size(), c.copies.size());
        for (size_t i = 0; i < programs.size(); i++) {
            EXPECT_EQ(programs[i].copies, c.copies[i]) << i;
            EXPECT_EQ(programs[i].dots, programs[c.sameAs[i]].dots) << i;
        }
        if (programs.size() > 1) {
            EXPECT_NE(programs[0].dots, programs[1].dots);
        }
        EXPECT_EQ(JobLines(id, "PAGE: "), c.pageLines);
        EXPECT_EQ(JobLines(id, "", "E"), std::vector<std::string>{});
    }
}

// A job cancelled while it prints leaves only whole label programs behind.
TEST_F(Scheduler, CancelledJobLeavesOnlyWholePages) {
    RasterPage page;
    page.width = 812;
    page.height = 1218;
    page.bitsPerPixel = 8;
    page.data.resize(812 * 1218);
    for (size_t i = 0; i < page.data.size(); i++)
        page.data[i] = static_cast<uint8_t>(i % 812 * 255 / 811);
    std::string document = tree->File("long.ras");
    WriteRaster(document, std::vector<RasterPage>(300, page));
    chmod(document.c_str(), 0644);

    std::string device = cupsd->OutputDir() + "/tspl.out";
    unlink(device.c_str());
    int id = cupsd->Submit("tspl", document, "");
    ASSERT_GT(id, 0);
    WaitUntil([&] { return !JobLines(id, "PAGE: 3 1").empty(); });
    ASSERT_FALSE(JobLines(id, "PAGE: 3 1").empty()) << "the job did not start printing";
    cupsd->Client("cancel " + std::to_string(id));
    ASSERT_TRUE(cupsd->WaitForJob(id, 120));

    std::string out = Text(ReadFile(device));
    size_t programs = Count(out, "SIZE ");
    EXPECT_GE(programs, 1u);
    EXPECT_LT(programs, 300u);
    EXPECT_EQ(Count(out, "\r\nPRINT 1,1\r\n"), programs);
    EXPECT_EQ(out.substr(out.size() - 11), "PRINT 1,1\r\n");
    // Every program carries its whole bitmap: 104 bytes per row x 1218 rows.
    const std::string head = "BITMAP 0,0,104,1218,1,";
    for (size_t at = out.find(head); at != std::string::npos; at = out.find(head, at + 1))
        EXPECT_EQ(out.compare(at + head.size() + 104 * 1218, 13, "\r\nPRINT 1,1\r\n"), 0);
}

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "families/KnownPrinters.h"
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
        CommandResult r = cupsd->Client("lpadmin -p tspl -E -v file://" + cupsd->OutputDir() + "/tspl.out -P " +
                                        BuiltPpd("qvtspl.ppd"));
        queueError = r.status == 0 ? "" : r.out;
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

    // Runs one job on the TSPL queue and returns the device file's bytes.
    Bytes PrintJob(const std::string& document, const std::string& options, int* id = nullptr) {
        std::string device = cupsd->OutputDir() + "/tspl.out";
        unlink(device.c_str());
        int job = cupsd->Submit("tspl", document, options);
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

// The PPDs declare manual copies: CUPS repeats the pages, the filter prints each once.
TEST_F(Scheduler, CopiesAreMadeByCups) {
    int id = 0;
    std::string out = Text(PrintJob(kSampleDir + "sample-label.pdf", "-n 2", &id));
    EXPECT_EQ(Count(out, "SIZE 101.60 mm,152.40 mm\r\n"), 2u);
    EXPECT_EQ(Count(out, "\r\nPRINT 1,1\r\n"), 2u);
    EXPECT_EQ(JobLines(id, "PAGE: "), (std::vector<std::string>{"PAGE: 1 1", "PAGE: 2 1"}));
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
    for (int i = 0; i < 600 && JobLines(id, "PAGE: 3 1").empty(); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_FALSE(JobLines(id, "PAGE: 3 1").empty()) << "the job did not start printing";
    cupsd->Client("cancel " + std::to_string(id));
    ASSERT_TRUE(cupsd->WaitForJob(id, 60));

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

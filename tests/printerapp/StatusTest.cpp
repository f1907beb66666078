// The application reads the printer's state: against a virtual printer of
// each language that answers, a job waits (processing-stopped) while the
// printer cannot print and then prints the rest, none lost and none twice;
// it completes once the labels printed; a silent printer costs one timeout
// (one per query some models lack). A CPCL model that lacks one of its two
// queries is read through the other.
#include <gtest/gtest.h>
#include <pappl/pappl.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "printerapp/AppServer.h"
#include "vprinter/CVirtualPrinter.h"

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;
using namespace StatusProtocol;

struct Family {
    const char* name;  // the case's, and the printers' names end in it
    const char* driver;
    const char* language;
    bool tellsPrinting;           // the printer says when it is still printing
    const char* lacks = nullptr;  // the query the printer leaves unanswered
    // A condition the queries it answers tell, and its reason.
    Condition stops = kCoverOpen;
    const char* reason = "cover-open";
};

// gtest names a failing case by it.
void PrintTo(const Family& family, std::ostream* out) { *out << family.name; }

// Knows ESC h (paper, latch, printing) but not ESC i, or the reverse (ribbon,
// jam, paper low).
const Family kEscHOnly = {"cpcl_esc_h_only", "cpcl_203dpi", "cpcl", true, "ESC i"};
const Family kEscIOnly = {"cpcl_esc_i_only", "cpcl_203dpi", "cpcl", false, "ESC h", kPaperJam, "media-jam"};

const Family kFamilies[] = {
    {"tspl", "tspl_203dpi", "tspl", true},
    {"escpos", "escpos_80mm", "escpos", false},
    {"cpcl", "cpcl_203dpi", "cpcl", true},
    kEscHOnly,  // reads as cpcl
    {"zpl", "zpl_203dpi", "zpl", false},
    // ESC A tells paper out, jams and errors, not an open cover.
    {"dymo", "dymo_lw450", "dymo", false, nullptr, kPaperJam, "media-jam"},
    {"brother", "brother_ql720", "brother", false},
};

// What a printer that answers nothing costs at most, in seconds: a reply
// timeout for each query some models lack, and one for the first that every
// model that answers knows.
double SilenceCost(const char* language) {
    int timeouts = 0;
    bool everyModel = false;
    for (const Query& q : ForLanguage(language)->queries)
        if (q.asked) {
            timeouts += !q.everyModel || !everyModel;
            everyModel = everyModel || q.everyModel;
        }
    return timeouts * kReplyTimeoutMs / 1000.0;
}

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

class PrinterAppStatusTest : public ::testing::TestWithParam<Family> {
protected:
    static void SetUpTestSuite() {
        server = new AppServer;
        if (!server->Start({"auth-service=none"}))
            problem = server->Problem();
        // Page p (0-based) is black in its top (p + 1) * 10 rows: each page
        // is told apart by its dots.
        WriteFile(server->Dir().File("five.pwg"),
                  PwgPages(400, 240, 203, 5, [](unsigned, unsigned y, unsigned p) { return y < (p + 1) * 10; }));
        WriteFile(server->Dir().File("one.pwg"), PwgGrayPage(400, 240, 203, 50, 50, 150, 150));
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (!problem.empty())
            GTEST_SKIP() << "the printer application cannot start here: " << problem;
#ifndef PAPPL_DEVICE_READ_TIMEOUT
        GTEST_SKIP() << "this PAPPL cannot bound a device read (-DQUORVANT_PAPPL=system)";
#endif
    }

    // A virtual printer of the case's language, and an application printer
    // on it named after the test.
    void Add(CVirtualPrinter::Options options) {
        options.language = GetParam().language;
        if (GetParam().lacks)
            options.ignoredQueries = {GetParam().lacks};
        printer = std::make_unique<CVirtualPrinter>(options);
        std::string error;
        ASSERT_TRUE(printer->ListenTcp(0, &error)) << error;
        name = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
        name = name.substr(0, name.find('/')) + "-" + GetParam().name;
        const CommandResult added = server->Run({"add", "-d", name, "-v", printer->Uri(), "-m", GetParam().driver});
        ASSERT_EQ(0, added.status) << added.out;
    }

    // Submits in a thread of its own: PAPPL takes a raster job as it prints.
    void Submit(const std::string& file) {
        submitter = std::thread([this, file] { server->Run({"submit", "-d", name, server->Dir().File(file)}); });
    }
    void TearDown() override {
        if (submitter.joinable())
            submitter.join();
    }

    // The newest job once it is in `state` (or the last look, at a hang).
    JobInfo WaitForState(const std::string& state) const {
        JobInfo job;
        WaitUntil([&] { return (job = server->LastJob(name)).state == state; });
        return job;
    }

    // The job waits for the printer: shown by the job and the printer.
    void ExpectWaiting(const std::string& reason) const {
        const JobInfo job = WaitForState("processing-stopped");
        EXPECT_EQ("processing-stopped", job.state) << server->LogProblems();
        EXPECT_NE(std::string::npos, job.reasons.find("printer-stopped")) << job.reasons;
        EXPECT_EQ(std::string::npos, job.reasons.find("job-printing")) << job.reasons;
        EXPECT_NE(std::string::npos, server->PrinterReasons(name).find(reason)) << server->PrinterReasons(name);
    }

    // The lines of the application's log about `printer` that say `words`.
    static int LinesSaying(const std::string& printer, const std::string& words) {
        std::istringstream lines(server->Log());
        int said = 0;
        for (std::string line; std::getline(lines, line);)
            said += line.find(printer) != std::string::npos && line.find(words) != std::string::npos;
        return said;
    }

    static AppServer* server;
    static std::string problem;
    std::unique_ptr<CVirtualPrinter> printer;
    std::string name;
    std::thread submitter;
};

AppServer* PrinterAppStatusTest::server = nullptr;
std::string PrinterAppStatusTest::problem;

TEST_P(PrinterAppStatusTest, PaperOutMidJobWaitsThenPrintsTheRestOnce) {
    CVirtualPrinter::Options options;
    options.paperOutAfterLabels = 2;
    Add(options);
    Submit("five.pwg");
    ExpectWaiting("media-empty");
    EXPECT_EQ(2u, printer->PrintedPages().size());
    // The web page shows the printer's reason and the stopped job.
    const std::string page = GetPage(server->Port(), "/" + name);
    EXPECT_NE(std::string::npos, page.find("Out of paper")) << page;
    EXPECT_NE(std::string::npos, GetPage(server->Port(), "/" + name + "/jobs").find("Stopped"));

    printer->LoadPaper();
    const JobInfo done = WaitForState("completed");
    EXPECT_EQ("completed", done.state) << done.message << "\n" << server->LogProblems();
    // ESC/POS answers its real-time queries ahead of the pages it still
    // prints, so the job may end before the last page is out.
    printer->WaitPrinted(5, kHangMs);
    const auto printed = printer->PrintedPages();
    ASSERT_EQ(5u, printed.size());
    for (unsigned p = 0; p < 5; p++) {
        EXPECT_EQ(printed[0].job, printed[p].job);
        EXPECT_EQ(int(p + 1), printed[p].page);
        EXPECT_EQ(printed[0].image.BlackDots() * (p + 1), printed[p].image.BlackDots()) << "page " << p + 1;
    }
    EXPECT_EQ(std::string::npos, server->PrinterReasons(name).find("media-empty"));
}

// The cover, or what else the family's queries tell that stops it.
TEST_P(PrinterAppStatusTest, CoverOpenBeforeTheJobWaitsUntilClosed) {
    CVirtualPrinter::Options options;
    options.conditions = GetParam().stops;
    Add(options);
    Submit("one.pwg");
    ExpectWaiting(GetParam().reason);
    EXPECT_EQ(0u, printer->PrintedPages().size());
    printer->Set(0, GetParam().stops);
    EXPECT_EQ("completed", WaitForState("completed").state) << server->LogProblems();
    EXPECT_TRUE(printer->WaitPrinted(1, kHangMs));
    EXPECT_EQ(1u, printer->PrintedPages().size());
    EXPECT_EQ(std::string::npos, server->PrinterReasons(name).find(GetParam().reason));
}

TEST_P(PrinterAppStatusTest, CancelWhileWaitingEndsAtOnce) {
    CVirtualPrinter::Options options;
    options.conditions = kPaperOut;
    Add(options);
    Submit("one.pwg");
    ExpectWaiting("media-empty");
    const Clock::time_point cancelled = Clock::now();
    EXPECT_EQ(0, server->Run({"cancel", "-d", name, "-a"}).status);
    EXPECT_EQ("canceled", WaitForState("canceled").state);
    EXPECT_LT(Since(cancelled), 3.0);
    printer->LoadPaper();
    EXPECT_FALSE(printer->WaitPrinted(1, 1500));
}

// "Completed" once the label printed, where the language tells.
TEST_P(PrinterAppStatusTest, CompletesOnlyOnceTheLabelPrinted) {
    CVirtualPrinter::Options options;
    options.msPerLabel = 2000;
    Add(options);
    Submit("one.pwg");
    const JobInfo done = WaitForState("completed");
    ASSERT_EQ("completed", done.state) << server->LogProblems();
    if (GetParam().tellsPrinting) {
        EXPECT_EQ(1u, printer->PrintedPages().size());
        EXPECT_FALSE(printer->State() & kPrinting);
    }
}

// A printer that answers nothing costs one reply timeout (CPCL: one per
// query), in its first job only; the job prints as without status.
TEST_P(PrinterAppStatusTest, SilentPrinterCostsOneTimeout) {
    CVirtualPrinter::Options options;
    Add(options);
    Clock::time_point start = Clock::now();
    ASSERT_EQ("completed", server->Print(name, server->Dir().File("one.pwg")));
    const double answering = Since(start);

    printer->SetSilent(true);
    // Only a job asks a printer it has not heard from since: a new name.
    const std::string silent = name + "-silent";
    ASSERT_EQ(0, server->Run({"add", "-d", silent, "-v", printer->Uri(), "-m", GetParam().driver}).status);
    for (int job = 0; job < 2; job++) {
        start = Clock::now();
        ASSERT_EQ("completed", server->Print(silent, server->Dir().File("one.pwg"))) << server->LogProblems();
        EXPECT_LT(Since(start), answering + SilenceCost(GetParam().language) + 2.0) << "job " << job + 1;
    }
    EXPECT_TRUE(printer->WaitPrinted(3, kHangMs));
    // Said once, at the first unanswered round.
    EXPECT_EQ(1, LinesSaying(silent, "did not answer"));
}

INSTANTIATE_TEST_SUITE_P(PrinterApp, PrinterAppStatusTest, ::testing::ValuesIn(kFamilies),
                         [](const ::testing::TestParamInfo<Family>& info) { return std::string(info.param.name); });

// CPCL models that lack one of the two queries.
class PrinterAppLacksQueryTest : public PrinterAppStatusTest {};

// The query is dropped at the first round, with one log line naming it,
// and never sent again.
TEST_P(PrinterAppLacksQueryTest, TheQueryIsDroppedOnce) {
    CVirtualPrinter::Options options;
    options.keepBytes = true;
    Add(options);
    for (int job = 0; job < 2; job++)
        ASSERT_EQ("completed", server->Print(name, server->Dir().File("one.pwg"))) << server->LogProblems();
    EXPECT_EQ(1, LinesSaying(name, std::string("status query ") + GetParam().lacks + " "));
    // The first job asks both; the last connection only the one answered.
    const Protocol& protocol = *ForLanguage(GetParam().language);
    const std::vector<std::vector<uint8_t>> links = printer->JobBytes();
    ASSERT_GE(links.size(), 2u);
    for (size_t i = 0; i < protocol.queries.size(); i++) {
        const std::vector<uint8_t>& request = protocol.queries[i].request;
        for (const std::vector<uint8_t>* link : {&links.front(), &links.back()})
            EXPECT_EQ(link == &links.front() || protocol.NameOf(i) != GetParam().lacks,
                      std::search(link->begin(), link->end(), request.begin(), request.end()) != link->end())
                << protocol.NameOf(i);
    }
}

// What the query it answers tells still stops the job, and every label
// prints once it clears.
TEST_P(PrinterAppLacksQueryTest, WaitsWhileTheQueryItAnswersSaysItCannotPrint) {
    CVirtualPrinter::Options options;
    options.conditions = GetParam().stops;
    Add(options);
    Submit("five.pwg");
    ExpectWaiting(GetParam().reason);
    EXPECT_EQ(0u, printer->PrintedPages().size());
    printer->Set(0, GetParam().stops);
    EXPECT_EQ("completed", WaitForState("completed").state) << server->LogProblems();
    // Without ESC h the job may end before the labels are out.
    EXPECT_TRUE(printer->WaitPrinted(5, kHangMs));
    EXPECT_EQ(5u, printer->PrintedPages().size());
    EXPECT_EQ(std::string::npos, server->PrinterReasons(name).find(GetParam().reason));
}

INSTANTIATE_TEST_SUITE_P(PrinterApp, PrinterAppLacksQueryTest, ::testing::Values(kEscHOnly, kEscIOnly),
                         [](const ::testing::TestParamInfo<Family>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace testing_support

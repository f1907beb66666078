// The raw port (AppSocket) of each printer, on a private server whose raw
// ports start at a free loopback port: the printer's own language passes
// through byte for byte with its status watched, ZPL is drawn in the
// printer's language (also over IPP), anything else is refused, an idle
// client does not hold the port, and with the raw ports off none listens.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pappl/pappl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "preview/PreviewTestSupport.h"
#include "printerapp/AppServer.h"
#include "support/CodeReader.h"
#include "support/ShippingLabel.h"

namespace testing_support {
namespace {

// Printers the suite adds, each on its own raw port.
constexpr int kPorts = 24;

sockaddr_in Loopback(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

bool Free(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in addr = Loopback(port);
    const bool free = bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return free;
}

// The first of `count` free loopback ports in a row; 0 when none is found.
int FreePorts(int count) {
    for (int attempt = 0; attempt < 50; attempt++) {
        const int base = FreePort();
        bool all = base > 0 && base + count <= 65536;
        for (int port = base + 1; all && port < base + count; port++)
            all = Free(port);
        if (all)
            return base;
    }
    return 0;
}

// A client of `port` on loopback; -1 when it cannot connect.
int Connect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in addr = Loopback(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& data) {
    for (size_t done = 0; done < data.size();) {
        const ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Sends `data` as a job and closes the connection, as `nc host port < file`.
bool SendJob(int port, const std::string& data) {
    const int fd = Connect(port);
    const bool sent = fd >= 0 && SendAll(fd, data);
    if (fd >= 0)
        close(fd);
    return sent;
}

// A 25 x 10 mm TSPL label with a 16 x 3 dot bar at (8, 8).
const std::string kTspl = std::string("SIZE 25 mm,10 mm\r\nGAP 2 mm,0 mm\r\nCLS\r\nBITMAP 8,8,2,3,0,") +
                          std::string(6, '\0') + "\r\nPRINT 1,1\r\n";
// A 200 x 100 dot box, 10 dots thick, at (100, 50): two labels.
const std::string kZpl = "^XA^PQ2^FO100,50^GB200,100,10^FS^XZ\n";

class RawPortTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new AppServer;
        base = FreePorts(kPorts);
        if (base == 0)
            problem = "no free run of loopback ports";
        else if (!server->Start({"auth-service=none", "raw-port-base=" + std::to_string(base), "raw-idle-timeout=1"}))
            problem = server->Problem();
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
#ifndef PAPPL_RAW_SOCKET_SETTINGS
        GTEST_SKIP() << "this PAPPL cannot place its raw ports (-DQUORVANT_PAPPL=system)";
#endif
        if (!problem.empty())
            GTEST_SKIP() << "the printer application cannot start here: " << problem;
        name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
    }

    // The printer's raw port, as its log line names it; 0 without one.
    int RawPort() const {
        const std::string text = server->Log();
        const std::string line = "[Printer " + name + "] Listening for socket print jobs on 'localhost:";
        const size_t at = text.find(line);
        return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + line.size());
    }

    // Adds the test's printer on a file: device; returns its raw port.
    int AddFilePrinter(const std::string& driver) {
        std::string output;
        EXPECT_TRUE(server->AddFilePrinter(name, driver, output)) << output;
        const int port = RawPort();
        EXPECT_TRUE(port >= base && port < base + kPorts) << port << " not in " << base << "+" << kPorts;
        return port;
    }

    // The printer's newest job, once it has ended.
    JobInfo Ended() const {
        JobInfo job;
        WaitUntil([&] {
            job = server->LastJob(name);
            return job.state == "completed" || job.state == "aborted" || job.state == "canceled";
        });
        return job;
    }

    std::string Log() const { return server->Log(); }

    static AppServer* server;
    static int base;
    static std::string problem;
    std::string name;
};

AppServer* RawPortTest::server = nullptr;
int RawPortTest::base = 0;
std::string RawPortTest::problem;

// A TSPL stream reaches a TSPL printer as it was sent; the printer is asked
// for its state first, and the job waits while it is out of paper.
TEST_F(RawPortTest, PrinterLanguagePassesThroughWithStatusWatched) {
    CVirtualPrinter::Options options;
    options.language = "tspl";
    options.keepBytes = true;
    options.conditions = StatusProtocol::kPaperOut;
    const std::unique_ptr<CVirtualPrinter> printer = ListeningPrinter(options);
    const CommandResult added = server->Run({"add", "-d", name, "-v", printer->Uri(), "-m", "tspl_203dpi"});
    ASSERT_EQ(0, added.status) << added.out;
    const int port = RawPort();
    ASSERT_NE(0, port) << Log();

    ASSERT_TRUE(SendJob(port, kTspl));
    JobInfo job;
    EXPECT_TRUE(WaitUntil([&] { return (job = server->LastJob(name)).state == "processing-stopped"; }))
        << job.state << "\n"
        << server->LogProblems();
    EXPECT_EQ(0u, printer->PagesPrinted());
    printer->LoadPaper();
    job = Ended();
    EXPECT_EQ("completed", job.state) << job.message << "\n" << server->LogProblems();
    ASSERT_TRUE(printer->WaitPrinted(1, kHangMs));
    // Status queries go before and after the job; its bytes arrive whole.
    const std::vector<std::vector<uint8_t>> jobs = printer->JobBytes();
    const std::string received = jobs.empty() ? "" : std::string(jobs.back().begin(), jobs.back().end());
    EXPECT_NE(std::string::npos, received.find(kTspl)) << received.size() << " bytes";
    EXPECT_EQ(1u, printer->PagesPrinted());
}

// The same ZPL label, on the raw port and over IPP, prints as two TSPL
// labels showing the box where ZPL put it.
struct ZplWay {
    const char* name;
    bool raw;
};

void PrintTo(const ZplWay& way, std::ostream* out) { *out << way.name; }

class RawPortZplTest : public RawPortTest, public ::testing::WithParamInterface<ZplWay> {};

TEST_P(RawPortZplTest, LabelIsDrawnInThePrintersLanguage) {
    const int port = AddFilePrinter("tspl_203dpi");
    if (GetParam().raw) {
        ASSERT_TRUE(SendJob(port, kZpl));
    } else {
        WriteFile(server->Dir().File(name + ".zpl"), kZpl);
        server->Print(name, server->Dir().File(name + ".zpl"), {"document-format=application/vnd.zebra-zpl"});
    }
    const JobInfo job = Ended();
    ASSERT_EQ("completed", job.state) << job.message << "\n" << server->LogProblems();

    // Its two copies are TSPL's count of one image.
    const std::vector<CPreviewPage> pages = server->DecodeDevice(name, "tspl");
    ASSERT_EQ(1u, pages.size());
    EXPECT_EQ("1 set of 2 copies", SettingOf(pages[0], "print"));
    for (const CPreviewPage& page : pages) {
        auto black = [&page](int x, int y) { return (page.Row(y)[x / 8] >> (7 - x % 8)) & 1; };
        ASSERT_GE(page.Width(), 300);
        ASSERT_GE(page.Height(), 150);
        // The frame's corners and sides are black, inside and outside white.
        const struct {
            int x, y, black;
        } kDots[] = {{100, 50, 1}, {299, 149, 1}, {105, 100, 1}, {200, 55, 1},  {200, 100, 0},
                     {99, 50, 0},  {100, 49, 0},  {300, 100, 0}, {200, 150, 0}, {115, 65, 0}};
        for (const auto& dot : kDots)
            EXPECT_EQ(dot.black, black(dot.x, dot.y)) << "(" << dot.x << ", " << dot.y << ")";
        EXPECT_EQ(200u * 100 - 180u * 80, page.BlackDots());
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, RawPortZplTest, ::testing::Values(ZplWay{"RawPort", true}, ZplWay{"Ipp", false}),
                         [](const ::testing::TestParamInfo<ZplWay>& info) { return std::string(info.param.name); });

// A label's ^PQ copies within the job's, as the application makes a job's
// copies of other documents: the printer's count where the language has
// one, else the page again; the job's copies collated unless it asks
// otherwise, each label's own copies together. Label A has a longer bar
// than label B.
TEST_F(RawPortTest, ZplCopiesAreTheLabelsWithinTheJobs) {
    const std::string a = "^XA^PW200^LL200^FO10,10^GB180,40,40^FS^XZ", b = "^XA^PW200^LL200^FO10,120^GB100,40,40^FS^XZ";
    const std::string a3 = "^XA^PQ3" + a.substr(3), twoEach = "^XA^PQ2" + a.substr(3) + "^XA^PQ2" + b.substr(3);
    const std::string uncollated = "multiple-document-handling=separate-documents-uncollated-copies";
    const struct {
        const char* driver;
        const char* language;
        std::string zpl;
        std::vector<std::string> options;
        const char* copies;  // each program's count
        const char* labels;  // which label each program shows
    } kCases[] = {
        {"tspl_203dpi", "tspl", a3, {"copies=2"}, "1 set of 6 copies", "A"},
        {"tspl_203dpi", "tspl", twoEach, {}, "1 set of 2 copies", "AB"},
        {"tspl_203dpi", "tspl", twoEach, {"copies=2"}, "1 set of 2 copies", "ABAB"},
        {"tspl_203dpi", "tspl", twoEach, {"copies=2", uncollated}, "1 set of 4 copies", "AB"},
        {"cpcl_203dpi", "cpcl", a3, {"copies=2"}, "6", "A"},
        {"escpos_80mm", "escpos", a3, {"copies=2"}, "", "AAAAAA"},
        {"escpos_80mm", "escpos", twoEach, {"copies=2"}, "", "AABBAABB"},
    };
    int n = 0;
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.driver) + " " + c.zpl + " " + std::to_string(c.options.size()));
        const std::string printer = name + "-" + std::to_string(n++);
        std::string output;
        ASSERT_TRUE(server->AddFilePrinter(printer, c.driver, output)) << output;
        const std::string file = server->Dir().File(printer + ".zpl");
        WriteFile(file, c.zpl);
        ASSERT_EQ("completed", server->Print(printer, file, c.options)) << server->LogProblems();
        const std::vector<CPreviewPage> pages = server->DecodeDevice(printer, c.language);
        std::string labels;
        for (const CPreviewPage& page : pages) {
            labels += page.BlackDots() == 180 * 40 ? "A" : page.BlackDots() == 100 * 40 ? "B" : "?";
            EXPECT_EQ(Programs({page})[0].copies, c.copies);
        }
        EXPECT_EQ(labels, c.labels);
    }
}

// A label's darkness lands in the TSPL stream (ZPL's 0-30 on DENSITY 0-15,
// ^MD from the middle of the scale) unless the job names its own.
TEST_F(RawPortTest, ZplSettingsApplyBelowTheJobsAttributes) {
    const struct {
        const char* zpl;
        std::vector<std::string> options;
        const char* setting;
        const char* value;
    } kCases[] = {
        {"^MD10", {}, "density", "13"},
        {"~SD20", {}, "density", "10"},
        {"^MD10", {"print-darkness=20"}, "density", "11"},
        {"^MTT", {}, "ribbon", "on"},
        {"^MTD", {}, "ribbon", "off"},
    };
    AddFilePrinter("tspl_203dpi");
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.zpl) + " " + std::to_string(c.options.size()));
        const std::string file = server->Dir().File(name + ".zpl");
        WriteFile(file, std::string("^XA") + c.zpl + "^FO10,10^GB100,100,10^FS^XZ");
        ASSERT_EQ("completed", server->Print(name, file, c.options)) << server->LogProblems();
        const std::vector<CPreviewPage> pages = server->DecodeDevice(name, "tspl");
        ASSERT_FALSE(pages.empty());
        EXPECT_EQ(SettingOf(pages.back(), c.setting), c.value);
    }
}

// The carrier-style sample over IPP: at its own size on a 300 dpi head
// (772 dots x 300 / 203) unless the job says it was written for that head,
// shrunk to a receipt head with the bar code warning; its Code 128 and
// PDF417 read, but where the 58 mm head halves its modules (as the warning
// says).
struct CarrierCase {
    const char* driver;
    const char* language;
    const char* option;
    int borderWidth;  // the printed border, in dots
    bool shrunk;
    bool reads;
};

void PrintTo(const CarrierCase& c, std::ostream* out) { *out << c.driver << " " << c.option; }

class RawPortCarrierTest : public RawPortTest, public ::testing::WithParamInterface<CarrierCase> {};

TEST_P(RawPortCarrierTest, PrintsAtItsSizeAndItsCodesScan) {
    const CarrierCase& c = GetParam();
    AddFilePrinter(c.driver);
    const std::vector<std::string> options =
        *c.option ? std::vector<std::string>{c.option} : std::vector<std::string>{};
    ASSERT_EQ("completed", server->Print(name, kShippingLabel, options)) << server->LogProblems();
    const std::vector<CPreviewPage> pages = server->DecodeDevice(name, c.language);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NEAR(FrameOf(pages[0]).scale * kBorderWidth, c.borderWidth, 2);
    EXPECT_EQ(Log().find("[Job " + std::to_string(server->LastJob(name).id) + "] the page was shrunk to") !=
                  std::string::npos,
              c.shrunk)
        << server->LogProblems();
    if (!c.reads)
        return;
    bool skipped = false;
    EXPECT_EQ(UnreadSymbols(pages[0], skipped), std::vector<std::string>{});
    if (skipped)
        GTEST_SKIP() << kNoSymbolReaders;
}

INSTANTIATE_TEST_SUITE_P(Drivers, RawPortCarrierTest,
                         ::testing::Values(CarrierCase{"tspl_203dpi", "tspl", "", 772, false, true},
                                           CarrierCase{"tspl_300dpi", "tspl", "", 1141, false, true},
                                           CarrierCase{"tspl_300dpi", "tspl", "zpl-resolution=native", 772, false,
                                                       true},
                                           CarrierCase{"escpos_80mm", "escpos", "", 548, true, true},
                                           CarrierCase{"escpos_58mm", "escpos", "", 365, true, false}),
                         [](const ::testing::TestParamInfo<CarrierCase>& info) {
                             return std::string(info.param.driver) + (*info.param.option ? "_native" : "");
                         });

// Neither ZPL nor the printer's language: the job ends aborted, the log
// says which printer and port refused what, and the printer gets nothing.
TEST_F(RawPortTest, GarbageIsRefused) {
    const int port = AddFilePrinter("tspl_203dpi");
    ASSERT_TRUE(SendJob(port, std::string("garbage\0\xff", 9)));
    const JobInfo job = Ended();
    EXPECT_EQ("aborted", job.state);
    EXPECT_EQ("Not ZPL nor TSPL: refused.", job.message);
    EXPECT_NE(std::string::npos, Log().find("[Printer " + name + "] raw port " + std::to_string(port) + ", job " +
                                            std::to_string(job.id) + ": not ZPL nor TSPL (it begins 67 61 72"))
        << server->LogProblems();
    EXPECT_TRUE(ReadFile(server->Dir().File(name + ".prn")).empty());
}

// A client that connects and stops half-way is dropped after the idle time
// (1 s here) and its job is not printed; the next client's job prints.
TEST_F(RawPortTest, IdleClientDoesNotHoldThePort) {
    const int port = AddFilePrinter("tspl_203dpi");
    const int idle = Connect(port);
    ASSERT_GE(idle, 0);
    ASSERT_TRUE(SendAll(idle, "SIZE 25 mm,10 mm\r\n"));
    EXPECT_TRUE(WaitUntil([&] { return server->LastJob(name).id != 0; }));
    const int first = server->LastJob(name).id;

    ASSERT_TRUE(SendJob(port, kTspl));
    JobInfo job;
    EXPECT_TRUE(WaitUntil([&] { return (job = server->LastJob(name)).id > first && job.state == "completed"; }))
        << job.state << "\n"
        << server->LogProblems();
    close(idle);
    EXPECT_NE(std::string::npos,
              Log().find("on port " + std::to_string(port) + " sent nothing for 1 seconds; closed, " + "and job " +
                         std::to_string(first) + " is not printed"));
    const Bytes printed = ReadFile(server->Dir().File(name + ".prn"));
    EXPECT_EQ(kTspl, std::string(printed.begin(), printed.end()));
}

// raw-port-base=0: no printer listens, and the log says so.
TEST(RawPortOff, NothingListens) {
    AppServer server;
    if (!server.Start({"auth-service=none", "raw-port-base=0"}))
        GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    std::string output;
    ASSERT_TRUE(server.AddFilePrinter("off", "tspl_203dpi", output)) << output;
    const std::string text = server.Log();
    EXPECT_NE(std::string::npos, text.find(", no raw ports"));
    EXPECT_EQ(std::string::npos, text.find("socket print"));
}

}  // namespace
}  // namespace testing_support

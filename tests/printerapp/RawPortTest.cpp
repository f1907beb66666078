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

#include "printerapp/AppServer.h"

namespace testing_support {
namespace {

// Printers the suite adds, each on its own raw port.
constexpr int kPorts = 8;

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
        const Bytes log = ReadFile(server->Dir().File("app.log"));
        const std::string text(log.begin(), log.end());
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

    std::string Log() const {
        const Bytes log = ReadFile(server->Dir().File("app.log"));
        return std::string(log.begin(), log.end());
    }

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

    const std::vector<CPreviewPage> pages = server->DecodeDevice(name, "tspl");
    ASSERT_EQ(2u, pages.size());
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
    const Bytes log = ReadFile(server.Dir().File("app.log"));
    const std::string text(log.begin(), log.end());
    EXPECT_NE(std::string::npos, text.find(", no raw ports"));
    EXPECT_EQ(std::string::npos, text.find("socket print"));
}

}  // namespace
}  // namespace testing_support

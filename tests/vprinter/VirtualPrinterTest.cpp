#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "preview/PreviewTestSupport.h"
#include "support/CupsSystem.h"
#include "support/FamilyCases.h"
#include "support/FilterRun.h"
#include "vprinter/CVirtualPrinter.h"

using namespace testing_support;
using namespace StatusProtocol;

namespace {

// A host's end of a loopback connection to the printer.
class Host {
public:
    explicit Host(int port) : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(port));
        EXPECT_EQ(connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    ~Host() { Close(); }
    void Close() {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }
    bool Send(const Bytes& data) { return send(m_fd, data.data(), data.size(), MSG_NOSIGNAL) == ssize_t(data.size()); }
    // Up to `n` bytes, waiting at most `timeoutMs` for them; -1 at a reset.
    Bytes Read(size_t n, int timeoutMs = kHangMs, bool* reset = nullptr) {
        Bytes got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < n && std::chrono::steady_clock::now() < end) {
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            uint8_t byte;
            const ssize_t r = recv(m_fd, &byte, 1, 0);
            if (r <= 0) {
                if (reset)
                    *reset = r < 0 && errno == ECONNRESET;
                break;
            }
            got.push_back(byte);
        }
        return got;
    }

private:
    int m_fd;
};

std::unique_ptr<CVirtualPrinter> Started(CVirtualPrinter::Options options) {
    auto printer = std::make_unique<CVirtualPrinter>(options);
    std::string error;
    EXPECT_TRUE(printer->ListenTcp(0, &error)) << error;
    return printer;
}

CVirtualPrinter::Options Lang(const std::string& language) {
    CVirtualPrinter::Options o;
    o.language = language;
    return o;
}

// A TSPL label of 16 x 2 dots; and an ESC/POS receipt (ESC @, an image of
// 8 x 2 dots, a cut).
const Bytes kLabel = Concat(
    {ToBytes("SIZE 2 mm,1 mm\r\nCLS\r\nBITMAP 0,0,2,2,0,"), {0x0F, 0xF0, 0xFF, 0x00}, ToBytes("\r\nPRINT 1,1\r\n")});
const Bytes kReceipt = {0x1B, 0x40, 0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x02, 0x00, 0xF0, 0x0F, 0x1D, 0x56, 0x00};

Bytes Times(const Bytes& part, int n) {
    Bytes all;
    for (int i = 0; i < n; i++)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct ReplyCase {
    const char* language;
    Bytes request;
    const char* conditions;  // as --set takes them; "" for none
    Bytes reply;             // as the printers' manuals give it
};

// The replies of /work/shared/notes/printer-status.md's tables.
const ReplyCase kReplies[] = {
    {"tspl", {0x1B, 0x21, 0x3F}, "", {0x00}},
    {"tspl", {0x1B, 0x21, 0x3F}, "paper-out", {0x04}},
    {"tspl", {0x1B, 0x21, 0x3F}, "cover-open", {0x41}},
    {"tspl", {0x1B, 0x21, 0x3F}, "paper-jam", {0x02}},
    {"tspl", {0x1B, 0x21, 0x3F}, "ribbon-out,paper-out", {0x0C}},
    {"tspl", {0x1B, 0x21, 0x3F}, "paused", {0x10}},
    {"tspl", {0x1B, 0x21, 0x3F}, "head-hot", {0x80}},
    {"tspl", {0x1B, 0x21, 0x53}, "", {0x02, 0x40, 0x40, 0x40, 0x40, 0x03, 0x0D, 0x0A}},
    {"tspl", {0x1B, 0x21, 0x53}, "paper-out", {0x02, 'E', 0x40, 0x40, 'A', 0x03, 0x0D, 0x0A}},
    {"tspl", {0x1B, 0x21, 0x53}, "paused", {0x02, '`', 0x40, 0x40, 0x40, 0x03, 0x0D, 0x0A}},
    {"escpos", {0x10, 0x04, 0x01}, "", {0x12}},
    {"escpos", {0x10, 0x04, 0x01}, "paper-out", {0x1A}},
    {"escpos", {0x10, 0x04, 0x02}, "cover-open", {0x16}},
    {"escpos", {0x10, 0x04, 0x02}, "paper-out", {0x32}},
    {"escpos", {0x10, 0x04, 0x03}, "cutter-error", {0x1A}},
    {"escpos", {0x10, 0x04, 0x03}, "head-hot", {0x52}},
    {"escpos", {0x10, 0x04, 0x04}, "paper-low", {0x1E}},
    {"escpos", {0x10, 0x04, 0x04}, "paper-out", {0x72}},
    {"escpos", {0x1D, 0x72, 0x01}, "paper-out", {0x0C}},
    {"escpos", {0x1B, 0x76}, "paper-low", {0x03}},
    {"cpcl", {0x1B, 0x68}, "", {0x00}},
    {"cpcl", {0x1B, 0x68}, "paper-out", {0x02}},
    {"cpcl", {0x1B, 0x68}, "cover-open", {0x04}},
    {"cpcl", {0x1B, 0x68}, "battery-low", {0x08}},
    {"cpcl", {0x1B, 0x69}, "ribbon-out", {0x80}},
    {"cpcl", {0x1B, 0x69}, "label-not-taken", {0x20}},
    {"cpcl", {0x1B, 0x69}, "paper-jam", {0x10}},
};

TEST(VirtualPrinter, AnswersEveryStatusQueryForEachCondition) {
    for (const ReplyCase& c : kReplies) {
        CVirtualPrinter::Options o = Lang(c.language);
        std::string error;
        ASSERT_TRUE(!*c.conditions || CVirtualPrinter::ParseConditions(c.conditions, &o.conditions, &error)) << error;
        auto printer = Started(o);
        Host host(printer->Port());
        ASSERT_TRUE(host.Send(c.request));
        EXPECT_EQ(Hex(c.reply.data(), c.reply.size()), Hex(host.Read(c.reply.size()).data(), c.reply.size()))
            << c.language << " " << Hex(c.request.data(), c.request.size()) << " " << c.conditions;
    }
}

// A model that lacks one of the two CPCL queries: asked both, in the
// order ignored first, it answers the other alone (each reply tells a
// condition only its query can).
TEST(VirtualPrinter, LeavesTheIgnoredQueriesUnanswered) {
    const struct {
        const char* ignored;
        Condition condition;
        Bytes requests;
        Bytes reply;
    } cases[] = {
        {"ESC i", kPaperOut, {0x1B, 0x69, 0x1B, 0x68}, {0x02}},
        {"ESC h", kPaperJam, {0x1B, 0x68, 0x1B, 0x69}, {0x10}},
    };
    for (const auto& c : cases) {
        CVirtualPrinter::Options o = Lang("cpcl");
        o.ignoredQueries = {c.ignored};
        o.conditions = c.condition;
        auto printer = Started(o);
        Host host(printer->Port());
        ASSERT_TRUE(host.Send(c.requests));
        EXPECT_EQ(host.Read(1), c.reply) << c.ignored;
        EXPECT_EQ(printer->QueriesAnswered(), 1u) << c.ignored;
    }
}

TEST(VirtualPrinter, PagesAndPngsEqualThePreviews) {
    std::vector<const Families::Info*> families;
    for (const Families::Info& family : Families::All()) {
        SCOPED_TRACE(family.language);
        const DriverTable::Driver* driver = nullptr;
        for (const DriverTable::Driver* d : AllDrivers())
            if (!driver && d->modelNumber == family.modelNumber)
                driver = d;
        ASSERT_TRUE(driver);
        FilterJob job = MakeJob(std::string(QUORVANT_BUILD_DIR) + "/ppd/" + driver->ppd);
        job.input = RasterBytes({RandomPage(96, 40, 1), RandomPage(96, 24, 2)});
        const FilterResult rendered = RunFilter(job);
        ASSERT_EQ(rendered.status, 0) << rendered.err;

        TempDir dir;
        CVirtualPrinter::Options o = Lang(family.language);
        o.outDir = dir.path();
        auto printer = Started(o);
        Host host(printer->Port());
        ASSERT_TRUE(host.Send(rendered.out));
        host.Close();
        bool ok = false;
        const auto decoded = Decoded(family.language, rendered.out, &ok);
        ASSERT_TRUE(ok);
        ASSERT_TRUE(printer->WaitPrinted(decoded->Pages().size(), kHangMs));
        const std::vector<CVirtualPrinter::Printed> pages = printer->PrintedPages();
        ASSERT_EQ(pages.size(), decoded->Pages().size());
        const PreviewRun preview =
            RunPreview("--lang " + std::string(family.language) + " --png " + dir.File("p"), rendered.out);
        ASSERT_EQ(preview.status, 0) << preview.err;
        for (size_t i = 0; i < pages.size(); i++) {
            EXPECT_EQ(pages[i].image.Dots(), decoded->Pages()[i].Dots());
            EXPECT_EQ(pages[i].image.SettingsText(), decoded->Pages()[i].SettingsText());
            const std::string png = "/job0001-page00" + std::to_string(i + 1) + ".png";
            EXPECT_EQ(DiffBytes(ReadFile(dir.File("p-" + std::to_string(i + 1) + ".png")), ReadFile(dir.path() + png)),
                      "");
        }
        families.push_back(&family);
    }
    EXPECT_TRUE(CoversEveryFamily(families, [](const Families::Info* f) { return f; }));
}

TEST(VirtualPrinter, RefusesAMalformedJobWithTheDecodersMessage) {
    const Bytes bad = Concat({kLabel, ToBytes("SIZE 2 mm,1 mm\r\nFEED 3\r\n"), kLabel});
    auto printer = Started(Lang("tspl"));
    Host host(printer->Port());
    ASSERT_TRUE(host.Send(bad));
    host.Close();
    ASSERT_TRUE(printer->WaitPrinted(1, kHangMs));
    WaitUntil([&] { return printer->JobsEnded() >= 1; });
    bool ok = true;
    const auto decoded = Decoded("tspl", bad, &ok);
    ASSERT_FALSE(ok);
    EXPECT_EQ(printer->Refused(), std::vector<std::string>{"job 1: " + decoded->Error().Message()});
    EXPECT_EQ(printer->PrintedPages().size(), 1u);  // the label after it is discarded
    EXPECT_EQ(printer->BytesReceived(), bad.size());
}

TEST(VirtualPrinter, PaperOutAfterTwoLabelsHoldsTheRestUntilPaperIsLoaded) {
    CVirtualPrinter::Options o = Lang("escpos");
    o.paperOutAfterLabels = 2;
    auto printer = Started(o);
    Host host(printer->Port());
    ASSERT_TRUE(host.Send(Times(kReceipt, 5)));
    ASSERT_TRUE(printer->WaitPrinted(2, kHangMs));
    // Answered at once while three receipts wait: paper end, offline.
    ASSERT_TRUE(host.Send({0x10, 0x04, 0x04, 0x10, 0x04, 0x01}));
    EXPECT_EQ(host.Read(2), (Bytes{0x72, 0x1A}));
    EXPECT_EQ(printer->State(), kPaperOut | kPrinting);
    EXPECT_EQ(printer->PrintedPages().size(), 2u);
    // Answered in turn: once the receipts before it have printed.
    ASSERT_TRUE(host.Send({0x1D, 0x72, 0x01}));
    EXPECT_EQ(host.Read(1, 300), Bytes());
    printer->LoadPaper();
    EXPECT_EQ(host.Read(1), Bytes{0x00});
    host.Close();
    ASSERT_TRUE(printer->WaitPrinted(5, kHangMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto pages = printer->PrintedPages();
    ASSERT_EQ(pages.size(), 5u);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(pages[i].page, i + 1);
    EXPECT_EQ(printer->State(), 0u);
}

TEST(VirtualPrinter, ServesAPseudoTerminalAndAFifo) {
    TempDir dir;
    CVirtualPrinter printer(Lang("tspl"));
    std::string pty, error;
    ASSERT_TRUE(printer.OpenPty(&pty, &error)) << error;
    ASSERT_TRUE(printer.ServeFifo(dir.File("fifo"), &error)) << error;
    const int replies = open(dir.File("fifo.out").c_str(), O_RDONLY | O_NONBLOCK);
    const Bytes job = Concat({kLabel, {0x1B, 0x21, 0x3F}});
    for (const std::string& path : {pty, dir.File("fifo")}) {
        SCOPED_TRACE(path);
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, job.data(), job.size()), ssize_t(job.size()));
        const int from = path == pty ? fd : replies;
        pollfd p{from, POLLIN, 0};
        uint8_t reply = 0xFF;
        EXPECT_EQ(poll(&p, 1, kHangMs), 1);
        EXPECT_EQ(read(from, &reply, 1), 1);
        EXPECT_EQ(reply & ~0x20, 0);  // ready, or still printing the label
        close(fd);
    }
    close(replies);
    EXPECT_TRUE(printer.WaitPrinted(2, kHangMs));
}

// One case each of what a link can do wrong; each returns a failure text.
struct LinkCase {
    const char* name;
    void (*tune)(CVirtualPrinter::Options& o);
    std::string (*check)(CVirtualPrinter& printer, Host& host);
};

const LinkCase kLinks[] = {
    {"silent", [](CVirtualPrinter::Options& o) { o.silent = true; },
     [](CVirtualPrinter& printer, Host& host) {
         host.Send({0x1B, 0x21, 0x3F});
         const bool quiet = host.Read(1, 300).empty();
         printer.SetSilent(false);
         host.Send({0x1B, 0x21, 0x3F});
         return quiet && host.Read(1).size() == 1 ? "" : std::string("answered while silent, or not after");
     }},
    {"stop-reading-after", [](CVirtualPrinter::Options& o) { o.stopReadingAfter = 100; },
     [](CVirtualPrinter& printer, Host& host) {
         host.Send(Times(kLabel, 10));
         std::this_thread::sleep_for(std::chrono::milliseconds(300));
         return printer.BytesReceived() == 100 ? "" : "read " + std::to_string(printer.BytesReceived());
     }},
    {"reset-after", [](CVirtualPrinter::Options& o) { o.resetAfter = 100; },
     [](CVirtualPrinter& printer, Host& host) {
         host.Send(Times(kLabel, 10));
         bool reset = false;
         host.Read(1, kHangMs, &reset);
         return reset && printer.BytesReceived() == 100 ? "" : std::string("no reset after 100 bytes");
     }},
    {"drop-overflow",
     [](CVirtualPrinter::Options& o) {
         o.dropOverflow = true;
         o.inputBuffer = 150;
         o.bytesPerSecond = 2000;
     },
     [](CVirtualPrinter& printer, Host& host) {
         host.Send(Times(kLabel, 10));
         host.Close();
         WaitUntil([&] { return printer.JobsEnded() >= 1; });
         // Everything was taken off the link, but most of it was lost.
         return printer.BytesReceived() == 10 * kLabel.size() && printer.PrintedPages().size() < 10 &&
                        printer.Refused().size() == 1
                    ? ""
                    : std::string("nothing dropped");
     }},
    {"rate", [](CVirtualPrinter::Options& o) { o.bytesPerSecond = 1000; },
     [](CVirtualPrinter& printer, Host& host) {
         host.Send(Times(kLabel, 10));
         std::this_thread::sleep_for(std::chrono::milliseconds(200));
         const size_t early = printer.BytesReceived();
         return early < 10 * kLabel.size() && printer.WaitPrinted(10, kHangMs)
                    ? ""
                    : "read " + std::to_string(early) + " at once";
     }},
};

TEST(VirtualPrinter, SimulatesWhatALinkDoesWrong) {
    for (const LinkCase& c : kLinks) {
        CVirtualPrinter::Options o = Lang("tspl");
        c.tune(o);
        auto printer = Started(o);
        Host host(printer->Port());
        EXPECT_EQ(c.check(*printer, host), "") << c.name;
    }
}

// Waits up to 5 s for `done`.
bool Within5s(const std::function<bool()>& done) {
    WaitUntil(done);
    return done();
}

// A change of the link while a job is being read: the printer starts with
// `tune`, reads ten labels as it then can, and `change` comes mid-job.
struct LinkChangeCase {
    const char* name;
    void (*tune)(CVirtualPrinter::Options& o);
    const char* change;  // a control line
    size_t before;       // bytes read before the change (0: all)
    bool reset;          // the change resets the connection
};

const LinkChangeCase kLinkChanges[] = {
    {"stops reading, then reads on", [](CVirtualPrinter::Options& o) { o.stopReadingAfter = 100; },
     "stop-reading-after 0", 100, false},
    {"crawls, then reads at full speed", [](CVirtualPrinter::Options& o) { o.bytesPerSecond = 200; }, "rate 0", 0,
     false},
    {"resets what it already read past", [](CVirtualPrinter::Options&) {}, "reset-after 1", 0, true},
};

TEST(VirtualPrinter, LinkChangesApplyToTheJobBeingRead) {
    const Bytes job = Times(kLabel, 10);
    for (const LinkChangeCase& c : kLinkChanges) {
        SCOPED_TRACE(c.name);
        CVirtualPrinter::Options o = Lang("tspl");
        c.tune(o);
        auto printer = Started(o);
        Host host(printer->Port());
        ASSERT_TRUE(host.Send(job));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const size_t read = printer->BytesReceived();
        EXPECT_TRUE(c.before ? read == c.before : c.reset || read < job.size()) << read << " bytes read";
        EXPECT_EQ(printer->Control(c.change), "ok");
        bool reset = false;
        if (c.reset) {
            host.Read(1, kHangMs, &reset);
            EXPECT_TRUE(reset);
        } else {
            EXPECT_TRUE(printer->WaitPrinted(10, kHangMs)) << printer->BytesReceived() << " bytes read";
        }
    }
    CVirtualPrinter printer(Lang("tspl"));
    EXPECT_EQ(printer.Control("rate fast"), "error: rate takes a number of bytes, not \"fast\"");
}

TEST(VirtualPrinter, RefusesConnectionsUntilItListensAgainOnItsPort) {
    auto printer = Started(Lang("tspl"));
    const int port = printer->Port();
    std::string error;
    EXPECT_FALSE(printer->ListenTcp(port, &error));
    printer->StopListening();
    EXPECT_FALSE(testing_support::Listening(port));
    ASSERT_TRUE(printer->ListenTcp(port, &error)) << error;
    EXPECT_EQ(printer->Port(), port);
    Host host(port);
    ASSERT_TRUE(host.Send(kLabel));
    EXPECT_TRUE(printer->WaitPrinted(1, kHangMs));
}

TEST(VirtualPrinter, KeepsEachJobsBytesRefusedOnesToo) {
    const std::vector<Bytes> jobs = {kLabel, ToBytes("no TSPL at all\r\n"), Times(kLabel, 2)};
    for (const bool keep : {false, true}) {
        CVirtualPrinter::Options o = Lang("tspl");
        o.keepBytes = keep;
        auto printer = Started(o);
        for (size_t i = 0; i < jobs.size(); i++) {
            Host host(printer->Port());
            ASSERT_TRUE(host.Send(jobs[i]));
            host.Close();
            ASSERT_TRUE(Within5s([&] { return printer->JobsEnded() > int(i); }));
        }
        EXPECT_EQ(printer->Refused().size(), 1u);
        EXPECT_EQ(printer->JobBytes(), keep ? jobs : std::vector<Bytes>{});
    }
}

}  // namespace

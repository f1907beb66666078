// Jobs end as their device lets them: each kind of file: device and network
// printers (virtual ones) that stall, reset or crawl, with a 2 s write timeout.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pappl/pappl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "printerapp/AppServer.h"

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

// Reads a FIFO to its end, as a capture program would.
class FifoReader {
public:
    explicit FifoReader(const std::string& path)
        : m_path(path), m_thread([this, path] {
              const int fd = open(path.c_str(), O_RDONLY);
              uint8_t buffer[4096];
              for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;)
                  m_bytes += static_cast<size_t>(n);
              close(fd);
          }) {}
    size_t Finish() {
        // Releases a reader still waiting for a writer that never came.
        close(open(m_path.c_str(), O_WRONLY | O_NONBLOCK));
        m_thread.join();
        return m_bytes;
    }

private:
    std::string m_path;
    size_t m_bytes = 0;
    std::thread m_thread;
};

class PrinterAppDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef PAPPL_DEVICE_WRITE_TIMEOUT
        GTEST_SKIP() << "this PAPPL has no device write timeouts (-DQUORVANT_PAPPL=system)";
#endif
        if (!server.Start({"write-timeout=2"}))
            GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
        // A black receipt 100 in long: about 1.4 MB of ESC/POS, more than
        // the loopback buffers hold.
        WriteFile(job, PwgGrayPage(576, 20300, 203, 0, 0, 576, 20300));
    }

    void Add(const std::string& printer, const std::string& uri) {
        const CommandResult added = server.Run({"add", "-d", printer, "-v", uri, "-m", "escpos_80mm"});
        ASSERT_EQ(0, added.status) << added.out;
    }

    // A network printer tuned by `tune`, and its queue `name`.
    CVirtualPrinter& AddNetworkPrinter(const std::string& name, void (*tune)(CVirtualPrinter::Options& o)) {
        CVirtualPrinter::Options o = DevicePrinter("escpos");
        tune(o);
        printers.push_back(ListeningPrinter(o));
        Add(name, printers.back()->Uri());
        return *printers.back();
    }

    JobInfo PrintJob(const std::string& printer) {
        server.Print(printer, job);
        return server.WaitForLastJob(printer);
    }

    std::string Reasons(const std::string& printer) { return server.PrinterReasons(printer); }

    AppServer server;
    const std::string job = server.Dir().File("label.pwg");
    std::vector<std::unique_ptr<CVirtualPrinter>> printers;
};

struct FileCase {
    const char* name;
    // Makes the device's path (under `dir`) and returns it.
    std::function<std::string(const TempDir& dir)> make;
    bool reader;  // a FIFO reader runs during the job
    const char* state;
    const char* message;
};

const FileCase kFileCases[] = {
    {"regular file",
     [](const TempDir& d) {
         WriteFile(d.File("out.prn"), Bytes{});  // a file: device must exist
         return d.File("out.prn");
     },
     false, "completed", "Job completed."},
    {"character device", [](const TempDir&) { return std::string("/dev/null"); }, false, "completed", "Job completed."},
    {"directory",
     [](const TempDir& d) {
         mkdir(d.File("jobs").c_str(), 0700);
         return d.File("jobs");
     },
     false, "completed", "Job completed."},
    {"FIFO with a reader",
     [](const TempDir& d) {
         mkfifo(d.File("fifo").c_str(), 0600);
         return d.File("fifo");
     },
     true, "completed", "Job completed."},
    {"FIFO with no reader",
     [](const TempDir& d) {
         mkfifo(d.File("fifo").c_str(), 0600);
         return d.File("fifo");
     },
     false, "aborted", "The printer stopped accepting data."},
};

TEST_F(PrinterAppDeviceTest, FileDevicesOfEveryKind) {
    TempDir dir;
    int n = 0;
    for (const FileCase& c : kFileCases) {
        SCOPED_TRACE(c.name);
        const std::string printer = "p" + std::to_string(n++);
        const std::string path = c.make(dir);
        Add(printer, "file://" + path);
        std::unique_ptr<FifoReader> reader(c.reader ? new FifoReader(path) : nullptr);
        const JobInfo info = PrintJob(printer);
        EXPECT_EQ(c.state, info.state) << info.message << "\n" << server.LogProblems();
        EXPECT_EQ(c.message, info.message);
        if (reader) {
            EXPECT_GT(reader->Finish(), 1000000u);
        }
    }
}

// A file: device that cannot be used is refused in words.
TEST_F(PrinterAppDeviceTest, UnusableFileDeviceIsRefusedInWords) {
    TempDir dir;
    const struct {
        std::string uri, message;
    } cases[] = {
        {"file://" + dir.File("out.prn"),
         "file://" + dir.File("out.prn") + ": no such file; create it or name a directory."},
        {"file://" + dir.File("none/out.prn"), ": no such file; create it or name a directory."},
    };
    for (const auto& c : cases) {
        const CommandResult added = server.Run({"add", "-d", "unusable", "-v", c.uri, "-m", "escpos_80mm"});
        EXPECT_NE(0, added.status) << c.uri;
        EXPECT_NE(std::string::npos, added.out.find(c.message)) << added.out;
    }
}

TEST_F(PrinterAppDeviceTest, StalledPrinterFailsItsJobAndTheNextPrints) {
    CVirtualPrinter& printer = AddNetworkPrinter("s", [](CVirtualPrinter::Options& o) { o.stopReadingAfter = 30000; });
    const JobInfo stalled = PrintJob("s");
    EXPECT_EQ("aborted", stalled.state);
    EXPECT_EQ("The printer stopped accepting data.", stalled.message);
    EXPECT_NE(std::string::npos, Reasons("s").find("offline")) << Reasons("s");

    printer.SetStopReadingAfter(0);
    EXPECT_EQ("completed", PrintJob("s").state) << server.LogProblems();
    EXPECT_EQ(std::string::npos, Reasons("s").find("offline")) << Reasons("s");
    EXPECT_GT(printer.JobBytes().back().size(), 1000000u);
}

// PAPPL keeps the device open for a job queued behind the failed one: that
// job gets a fresh connection, not the stalled one.
TEST_F(PrinterAppDeviceTest, JobQueuedBehindAStalledOnePrints) {
    CVirtualPrinter& printer = AddNetworkPrinter("q", [](CVirtualPrinter::Options& o) { o.stopReadingAfter = 30000; });
    std::thread first([this] { server.Print("q", job); });
    WaitUntil([&] { return printer.BytesReceived() >= 30000; });
    // A JPEG is spooled, not streamed, so it queues behind the raster job.
    const std::string photo = std::string(QUORVANT_SOURCE_DIR) + "/samples/sample-photo.jpg";
    ASSERT_EQ(0, server.Run({"submit", "-d", "q", photo}).status);
    first.join();
    printer.SetStopReadingAfter(0);
    EXPECT_EQ("completed", server.WaitForLastJob("q").state) << server.LogProblems();
    // Status queries between the jobs (the printer is idle) may open
    // connections of their own, carrying a few query bytes: the two jobs are
    // the connections that carried more.
    const auto jobs = [&] {
        std::vector<size_t> sizes;
        for (const std::vector<uint8_t>& bytes : printer.JobBytes())
            if (bytes.size() > 64)
                sizes.push_back(bytes.size());
        return sizes;
    };
    WaitUntil([&] { return jobs().size() >= 2; });
    ASSERT_EQ(2u, jobs().size());
    EXPECT_LT(jobs().back(), 100000u);  // the photo alone
}

TEST_F(PrinterAppDeviceTest, PrinterResetMidJobAbortsIt) {
    AddNetworkPrinter("r", [](CVirtualPrinter::Options& o) { o.resetAfter = 60000; });
    const JobInfo reset = PrintJob("r");
    EXPECT_EQ("aborted", reset.state);
    EXPECT_EQ("Unable to write print data.", reset.message);
}

TEST_F(PrinterAppDeviceTest, CancelOnASlowPrinterTakesEffectAtOnce) {
    CVirtualPrinter& printer = AddNetworkPrinter("slow", [](CVirtualPrinter::Options& o) { o.bytesPerSecond = 20000; });
    // PAPPL prints a raster job as it arrives: the submission lasts as long
    // as the job.
    std::thread submitter([this] { server.Run({"submit", "-d", "slow", job}); });
    WaitUntil([&] { return printer.BytesReceived() >= 40000; });
    const Clock::time_point cancelled = Clock::now();
    EXPECT_EQ(0, server.Run({"cancel", "-d", "slow", "-a"}).status);
    const JobInfo info = server.WaitForLastJob("slow");
    const double seconds = std::chrono::duration<double>(Clock::now() - cancelled).count();
    submitter.join();
    EXPECT_GE(printer.BytesReceived(), 40000u) << "the job did not start";
    EXPECT_EQ("canceled", info.state) << info.message;
    // The job ended with most of its 1.4 MB unsent (measured: 0.3 s after
    // the cancel; a cancel that waited for the job would take 70 s).
    EXPECT_LT(printer.BytesReceived(), 700000u);
    RecordProperty("cancel_seconds", std::to_string(seconds));
}

}  // namespace
}  // namespace testing_support

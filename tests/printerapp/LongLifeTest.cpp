// A printer application that has printed thousands of labels: one server,
// printers on loopback virtual printers, small one-page jobs from eight
// clients in blocks of a thousand. The server's CPU time per job and its
// memory over the last block stay within a small margin of the first, and
// the spool holds nothing of jobs that have gone from the history.
//
// QUORVANT_LONG_LIFE_JOBS and QUORVANT_LONG_LIFE_PRINTERS make it longer
// (bench/long_life.sh); the figures of each block are printed.
#include <cups/cups.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "printerapp/AppServer.h"
#include "support/Sanitizers.h"

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

int EnvCount(const char* name, int fallback, bool zero = false) {
    const char* value = std::getenv(name);
    return value && (std::atoi(value) > 0 || (zero && *value == '0')) ? std::atoi(value) : fallback;
}

// The server's CPU time (user and system), in ms, and its resident memory,
// in KB, from /proc.
double CpuMs(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command name, which may hold spaces: state is
    // field 3, utime and stime 14 and 15.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; i++)
        if (i >= 14)
            ticks += std::atof(field.c_str());
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

long RssKb(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

// The job IDs of the spool's files, which PAPPL names "pPPPPPjJJJJJJJJJ-...".
std::multiset<std::pair<int, int>> SpoolJobs(const std::string& dir) {
    std::multiset<std::pair<int, int>> jobs;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            int printer = 0, job = 0;
            if (std::sscanf(e->d_name, "p%5dj%9d-", &printer, &job) == 2)
                jobs.insert({printer, job});
        }
        closedir(d);
    }
    return jobs;
}

// The jobs printer `uri` still knows ("not-completed" or "all"), as
// "ID:state" words.
std::string KnownJobs(http_t* http, const std::string& uri, const char* which) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, which);
    static const char* const wanted[] = {"job-id", "job-state", "job-state-reasons"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr, wanted);
    ipp_t* response = cupsDoRequest(http, request, "/ipp/print");
    std::string jobs;
    for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
        const std::string name = ippGetName(a) ? ippGetName(a) : "";
        if (name == "job-id")
            jobs += " " + std::to_string(ippGetInteger(a, 0));
        else if (name == "job-state")
            jobs += std::string(":") + ippEnumString("job-state", ippGetInteger(a, 0));
        else if (name == "job-state-reasons")
            jobs += std::string(":") + ippGetString(a, 0, nullptr);
    }
    ippDelete(response);
    return jobs;
}

// A sanitizer makes the server several times slower; two blocks show its
// races and memory faults as well as four, and the normal build runs four.
constexpr int kJobs = kSanitized ? 2000 : 4000;

struct Block {
    double cpuMsPerJob = 0, answerMs = 0, seconds = 0;
    long rssKb = 0;
    size_t stateBytes = 0, spoolFiles = 0;
};

TEST(PrinterAppLongLife, AJobCostsTheSameAfterThousandsAndTheSpoolKeepsOnlyWhatTheHistoryHolds) {
    const int jobs = EnvCount("QUORVANT_LONG_LIFE_JOBS", kJobs),
              printerCount = EnvCount("QUORVANT_LONG_LIFE_PRINTERS", 16);
    // A history that fills within the first block (0: PAPPL's unlimited one).
    const int kKept = EnvCount("QUORVANT_LONG_LIFE_KEPT", 20, true);
    constexpr int kBlock = 1000, kClients = 8;
    AppServer server;
    ASSERT_TRUE(server.Start({"auth-service=none", "log-level=info", "max-completed-jobs=" + std::to_string(kKept)}))
        << server.Problem();
    std::vector<std::unique_ptr<CVirtualPrinter>> printers;
    for (int p = 0; p < printerCount; p++) {
        CVirtualPrinter::Options o;
        o.language = "tspl";
        o.silent = true;
        printers.push_back(ListeningPrinter(o));
        const CommandResult added =
            server.Run({"add", "-d", "p" + std::to_string(p), "-v", printers.back()->Uri(), "-m", "tspl_203dpi"});
        ASSERT_EQ(0, added.status) << added.out;
    }
    // A small label: 2 x 1 in, a bar across it.
    const Bytes document = PwgGrayPage(406, 203, 203, 20, 20, 380, 180, "black_1");
    auto printed = [&] {
        int sum = 0;
        for (const auto& p : printers)
            sum += int(p->PagesPrinted());
        return sum;
    };

    std::vector<Block> blocks;
    for (int first = 0; first < jobs; first += kBlock) {
        const int last = std::min(jobs, first + kBlock);
        std::atomic<int> next{first};
        const double cpuBefore = CpuMs(server.Pid());
        const auto start = Clock::now();
        std::atomic<long> answerUs{0};
        std::atomic<int> failed{0};
        std::string failure;
        std::vector<std::thread> clients;
        for (int c = 0; c < kClients; c++)
            clients.emplace_back([&] {
                http_t* http = ConnectTo(server.Port(), 30000);
                for (int i; (i = next++) < last;) {
                    const std::string uri = server.PrinterUri("p" + std::to_string(i % printerCount));
                    ipp_t* request = ippNewRequest(IPP_OP_PRINT_JOB);
                    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
                    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "life");
                    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
                                 "image/pwg-raster");
                    ippAddString(request, IPP_TAG_JOB, IPP_TAG_KEYWORD, "media", nullptr, "oe_label-2x1_2x1in");
                    const auto sent = Clock::now();
                    ipp_t* response = SendWithDocument(http, request, document);
                    const ipp_status_t status = response ? cupsLastError() : IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
                    ippDelete(response);
                    answerUs +=
                        long(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent).count());
                    if (status > IPP_STATUS_OK_CONFLICTING && failed++ == 0)
                        failure =
                            "job " + std::to_string(i) + ": " + ippErrorString(status) + " " + cupsLastErrorString();
                }
                httpClose(http);
            });
        for (std::thread& client : clients)
            client.join();
        ASSERT_EQ(0, failed.load()) << failure;
        // Every job of the block printed: progress, not a fixed time, bounds
        // the wait (no label for kHangMs is a hang).
        auto moved = Clock::now();
        for (int seen = printed(), was = seen; seen < last; was = seen, seen = printed()) {
            if (seen != was)
                moved = Clock::now();
            if (Clock::now() - moved > std::chrono::milliseconds(kHangMs)) {
                http_t* http = ConnectTo(server.Port(), 30000);
                std::string waiting;
                for (int p = 0; p < printerCount; p++)
                    waiting += "\np" + std::to_string(p) + " " + std::to_string(printers[p]->PagesPrinted()) +
                               " pages, " + std::to_string(printers[p]->BytesReceived()) + " bytes, " +
                               std::to_string(printers[p]->JobsEnded()) + " connections ended:" +
                               KnownJobs(http, server.PrinterUri("p" + std::to_string(p)), "not-completed");
                httpClose(http);
                FAIL() << seen << " of " << last << " printed, and no more for long; the jobs not completed:" << waiting
                       << "\nthe log's problems:\n"
                       << server.LogProblems();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        Block b;
        b.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        b.cpuMsPerJob = (CpuMs(server.Pid()) - cpuBefore) / (last - first);
        b.answerMs = answerUs / 1000.0 / (last - first);
        b.rssKb = RssKb(server.Pid());
        b.stateBytes = ReadFile(server.Dir().File("app.state")).size();
        b.spoolFiles = SpoolJobs(server.Dir().File("spool")).size();
        blocks.push_back(b);
        std::printf(
            "jobs %d-%d: %.2f ms CPU per job, Print-Job answered in %.1f ms, %.0f jobs/s, RSS %.1f MB, "
            "state %zu KB, %zu spool files\n",
            first + 1, last, b.cpuMsPerJob, b.answerMs, (last - first) / b.seconds, b.rssKb / 1024.0,
            b.stateBytes / 1024, b.spoolFiles);
    }
    const Block &firstBlock = blocks.front(), &lastBlock = blocks.back();
    // Twice the first block's: a history that is not bounded costs several
    // times as much by the fourth thousand, while builds beside the test
    // have moved an unchanged server's figure by a third.
    EXPECT_LT(lastBlock.cpuMsPerJob, firstBlock.cpuMsPerJob * 2) << "the server's CPU time per job grew";
    // (A sanitizer holds freed memory back for a while.)
    if (!kSanitized) {
        EXPECT_LT(lastBlock.rssKb, firstBlock.rssKb + firstBlock.rssKb / 10 + 4096) << "the server's memory grew";
    }

    // The history keeps kKept jobs a printer; the spool and the state hold
    // nothing of the others once the next save has run (within a second of
    // the last change).
    std::string known, stray;
    WaitUntil([&] {
        http_t* http = ConnectTo(server.Port(), 30000);
        std::set<std::pair<int, int>> jobsKnown;
        known.clear();
        for (int p = 0; p < printerCount; p++) {
            std::istringstream words(KnownJobs(http, server.PrinterUri("p" + std::to_string(p)), "all"));
            int count = 0;
            for (std::string word; words >> word; count++)
                jobsKnown.insert({p + 1, std::atoi(word.c_str())});
            if (kKept && count > kKept)
                known += " p" + std::to_string(p) + " keeps " + std::to_string(count) + " jobs;";
        }
        httpClose(http);
        stray.clear();
        for (const auto& file : SpoolJobs(server.Dir().File("spool")))
            if (!jobsKnown.count(file))
                stray += " p" + std::to_string(file.first) + "j" + std::to_string(file.second);
        return stray.empty();
    });
    EXPECT_EQ("", known);
    EXPECT_EQ("", stray) << "spool files of jobs that are gone";
    EXPECT_LT(blocks.back().stateBytes, size_t(printerCount) * (kKept + 10) * 400) << "the state file keeps growing";
}

}  // namespace
}  // namespace testing_support

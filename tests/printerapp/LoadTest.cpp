// The printer application under load and faults: a private server, printers
// of four families on loopback virtual printers (two reading at full speed,
// two at 20 KB/s), eight IPP clients sending PWG raster, JPEG and PNG jobs
// and cancelling some; then printers that refuse, reset and stop reading,
// and a server killed mid-job. Every page carries a mark, its job's serial
// number and its page number in black cells across it, read back from what
// each printer received.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "preview/PreviewLanguages.h"
#include "printerapp/AppServer.h"
#include "support/ImageFiles.h"
#include "support/Sanitizers.h"

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// The device write timeout; a server without the setting ignores it.
const char kWriteTimeout[] = "write-timeout=5";
const char kStalledMessage[] = "The printer stopped accepting data.";
// Two rounds under a sanitizer: the normal build runs all five, and two show
// ThreadSanitizer's races as well as five. ThreadSanitizer makes the server
// several times slower.
constexpr int kRounds = kSanitized ? 2 : 5, kSlow = kThreadSanitized ? 4 : 1;
constexpr int kJobsPerRound = 200, kClients = 8;
// A request the server leaves unanswered this long counts as a hang.
constexpr int kAnswerSeconds = 30 * kSlow;
constexpr unsigned kCancelPercent = 20;
// What a printer may still receive after a cancel without PAPPL writing
// more: PAPPL's 8 KB device buffer and the 4 KB send and receive buffers.
constexpr size_t kInFlight = 16 * 1024;
// The slow printers' rate, in bytes per second.
constexpr size_t kSlowRate = 20000;

// Runs `body` on a thread of its own in a new network namespace whose TCP
// buffers are at most 4 KB. On the host's loopback a sender queues
// megabytes before it feels a printer that reads slowly or not at all, so
// neither would hold a job up. The threads and the server the body starts
// stay in the namespace; the rest of the test program does not.
std::string InPrivateNetwork(const std::function<void()>& body) {
    std::string problem;
    std::thread([&] {
        if (unshare(CLONE_NEWNET) != 0) {
            problem = std::string("no network namespace of its own: ") + strerror(errno);
            return;
        }
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        ifreq lo{};
        std::strcpy(lo.ifr_name, "lo");
        lo.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
        const bool up = ioctl(fd, SIOCSIFFLAGS, &lo) == 0;
        close(fd);
        for (const char* sysctl : {"/proc/sys/net/ipv4/tcp_wmem", "/proc/sys/net/ipv4/tcp_rmem"}) {
            WriteFile(sysctl, std::string("4096 4096 4096\n"));
            const Bytes value = ReadFile(sysctl);
            if (!up || std::string(value.begin(), value.end()).find("4096\t4096\t4096") != 0) {
                problem = std::string("cannot bring up loopback or set ") + sysctl;
                return;
            }
        }
        body();
    }).join();
    return problem;
}

// --- Marks ----------------------------------------------------------------

// A band of kCells cells across the page, the outer two always black, between
// them serial (12 bits) and page (2 bits), most significant first.
constexpr unsigned kCells = 16;

unsigned MarkValue(unsigned serial, unsigned page) { return serial << 2 | page; }

// Noise that no printer language packs.
bool Noise(unsigned x, unsigned y) {
    uint32_t h = x * 0x9E3779B1u + y * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h & 1;
}

// A page of width x height dots: the mark in rows [4, 4 + height / 8), and
// with `filler` noise below it.
bool MarkDot(unsigned serial, unsigned page, unsigned width, unsigned height, bool filler, unsigned x, unsigned y) {
    const unsigned bandEnd = 4 + std::max(8u, height / 8);
    if (y >= 4 && y < bandEnd) {
        const unsigned cell = x * kCells / width;
        return cell == 0 || cell == kCells - 1 || (MarkValue(serial, page) >> (kCells - 2 - cell) & 1);
    }
    return filler && y >= bandEnd + 8 && Noise(x, y);
}

// The mark of a decoded page: its first black band, read at its middle row
// between the outer cells' edges; -1 when it has none.
int ReadMark(const CPreviewPage& page) {
    auto dot = [&](int x, int y) { return (page.Row(y)[x / 8] >> (7 - x % 8)) & 1; };
    auto rowHasInk = [&](int y) {
        const uint8_t* row = page.Row(y);
        return std::any_of(row, row + page.RowBytes(), [](uint8_t b) { return b != 0; });
    };
    int top = 0;
    while (top < page.Height() && !rowHasInk(top))
        top++;
    int bottom = top;
    while (bottom < page.Height() && rowHasInk(bottom))
        bottom++;
    if (top == bottom)
        return -1;
    const int y = (top + bottom) / 2;
    int left = 0, right = page.Width() - 1;
    while (left < right && !dot(left, y))
        left++;
    while (right > left && !dot(right, y))
        right--;
    const double cell = (right - left + 1) / double(kCells);
    int value = 0;
    for (unsigned c = 0; c < kCells; c++) {
        const bool black = dot(left + int((c + 0.5) * cell), y);
        if ((c == 0 || c == kCells - 1) && !black)
            return -1;
        if (c > 0 && c < kCells - 1)
            value = value << 1 | black;
    }
    return value;
}

// --- Documents --------------------------------------------------------------

enum class Format { Raster, Jpeg, Png };
const char* const kMimeTypes[] = {"image/pwg-raster", "image/jpeg", "image/png"};
const char* const kFormatNames[] = {"raster", "JPEG", "PNG"};

// Image jobs: the mark alone, which PAPPL scales to the page.
constexpr unsigned kImageWidth = 160, kImageHeight = 200;

bool ImageDot(unsigned serial, unsigned x, unsigned y) {
    return MarkDot(serial, 0, kImageWidth, kImageHeight, false, x, y);
}

Bytes Jpeg(unsigned serial) {
    return GrayJpeg(kImageWidth, kImageHeight, 0,
                    [serial](unsigned x, unsigned y) -> uint8_t { return ImageDot(serial, x, y) ? 0 : 255; });
}

// 8-bit gray at 203 ppi, as PAPPL's PNG reader takes it.
Bytes Png(unsigned serial) {
    return GrayPng(kImageWidth, kImageHeight, 203,
                   [serial](unsigned x, unsigned y) -> uint8_t { return ImageDot(serial, x, y) ? 0 : 255; });
}

// --- Printers and jobs --------------------------------------------------------

struct PrinterCase {
    const char* name;
    const char* driver;
    const char* language;
    unsigned width, height;  // of its raster pages, in dots
    bool slow;               // read at 20 KB/s, raster only, pages of 20 KB
    unsigned share;          // of the jobs, in percent
};

const PrinterCase kPrinters[] = {
    {"labels", "tspl_203dpi", "tspl", 832, 160, false, 47},
    {"receipts", "escpos_80mm", "escpos", 576, 160, false, 47},
    {"tags", "cpcl_203dpi", "cpcl", 384, 420, true, 3},
    {"pocket", "tavrin_58mm", "tavrin", 384, 420, true, 3},
};

// One submission, planned before its round, and what became of it.
struct Job {
    unsigned serial = 0, printer = 0, pages = 1;
    Format format = Format::Raster;
    int cancelAfterMs = -1;  // -1: not cancelled
    int id = 0;              // the job that took the document
    int refused = 0;         // jobs PAPPL made before answering busy
    std::string problem, state, message, reasons;
    bool cancelled = false;  // Cancel-Job answered OK
    size_t cancelledAt = 0;  // the printer's bytes received by then
};

std::string Describe(const Job& job) {
    std::ostringstream text;
    text << "job " << job.id << " (serial " << job.serial << ", " << kPrinters[job.printer].name << ", "
         << kFormatNames[int(job.format)] << ", " << job.pages << " pages): " << job.state << ", \"" << job.message
         << "\", reasons " << job.reasons;
    if (job.cancelled)
        text << ", cancelled at byte " << job.cancelledAt;
    if (!job.problem.empty())
        text << ", " << job.problem;
    return text.str();
}

Bytes Document(const Job& job) {
    const PrinterCase& p = kPrinters[job.printer];
    switch (job.format) {
        case Format::Raster:
            return PwgPages(p.width, p.height, 203, job.pages, [&](unsigned x, unsigned y, unsigned page) {
                return MarkDot(job.serial, page, p.width, p.height, p.slow, x, y);
            });
        case Format::Jpeg:
            return Jpeg(job.serial);
        case Format::Png:
            break;
    }
    return Png(job.serial);
}

// --- IPP ------------------------------------------------------------------------

http_t* Connect(int port, double timeout) {
    http_t* http = ConnectTo(port, int(timeout * 1000));
    if (http)
        httpSetTimeout(http, timeout, nullptr, nullptr);  // gives up, no retries
    return http;
}

ipp_t* Request(ipp_op_t op, const std::string& uri, int jobId = 0) {
    ipp_t* request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    if (jobId)
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "load");
    return request;
}

// What Ask returns when the server does not answer in time.
constexpr ipp_status_t kNoAnswer = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;

// Sends the request; the status, with `response` taking the answer if asked.
ipp_status_t Ask(http_t* http, ipp_t* request, ipp_t** response = nullptr) {
    ipp_t* answer = http ? cupsDoRequest(http, request, "/ipp/print") : (ippDelete(request), nullptr);
    const ipp_status_t status = answer ? cupsLastError() : kNoAnswer;
    if (response)
        *response = answer;
    else
        ippDelete(answer);
    return status;
}

std::string Outcome(ipp_status_t status) { return status == kNoAnswer ? "no answer" : cupsLastErrorString(); }

// Create-Job, then Send-Document with the document, as CUPS's IPP backend
// does; on server-error-busy it waits, longer each time, and tries again.
// A request the server leaves unanswered sets `silent`, which ends every
// client's submitting.
// `created` learns each job made; `stalled` says when to stop trying.
void Submit(http_t* http, const std::string& uri, Job& job, const std::function<void(int id)>& created,
            const std::function<bool()>& stalled, std::atomic<bool>& silent) {
    const Bytes document = Document(job);
    milliseconds pause(100);
    for (; !stalled() && !silent; std::this_thread::sleep_for(pause), pause = std::min(pause * 2, milliseconds(2000))) {
        ipp_t* request = Request(IPP_OP_CREATE_JOB, uri);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr,
                     ("load-" + std::to_string(job.serial)).c_str());
        ipp_t* response = nullptr;
        ipp_status_t status = Ask(http, request, &response);
        ipp_attribute_t* idAttr = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER);
        const int id = idAttr ? ippGetInteger(idAttr, 0) : 0;
        ippDelete(response);
        if (status == IPP_STATUS_ERROR_BUSY)
            continue;
        silent = silent || status == kNoAnswer;
        if (status > IPP_STATUS_OK_CONFLICTING || id == 0) {
            job.problem = "Create-Job: " + Outcome(status);
            return;
        }
        created(id);
        request = Request(IPP_OP_SEND_DOCUMENT, uri, id);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
                     kMimeTypes[int(job.format)]);
        ippAddBoolean(request, IPP_TAG_OPERATION, "last-document", 1);
        response = SendWithDocument(http, request, document);
        status = response ? cupsLastError() : kNoAnswer;
        ippDelete(response);
        silent = silent || status == kNoAnswer;
        if (status == IPP_STATUS_ERROR_BUSY) {
            job.refused++;
            continue;
        }
        job.id = id;
        if (status > IPP_STATUS_OK_CONFLICTING && job.cancelAfterMs < 0)
            job.problem = "Send-Document: " + Outcome(status);
        return;
    }
    job.problem = silent ? "not sent: the server stopped answering" : "busy while nothing printed for a long time";
}

// What a wait may take before it counts as a hang: long enough for the
// slowest build on a machine shared with other work, reached only when
// nothing moves. The waits end as soon as what they wait for happens.
constexpr auto kStall = seconds(90);

// When anything last moved: a job answered or ended, bytes arrived at a
// printer.
class Progress {
public:
    void Mark() { m_last = Clock::now().time_since_epoch().count(); }
    // Marks progress when `count` changed since the last look.
    void Watch(size_t count) {
        if (m_count.exchange(count) != count)
            Mark();
    }
    bool Stalled(Clock::duration limit = kStall) const {
        return Clock::now() - Clock::time_point(Clock::duration(m_last.load())) > limit;
    }

private:
    std::atomic<Clock::rep> m_last{Clock::now().time_since_epoch().count()};
    std::atomic<size_t> m_count{0};
};

// Fills in state, message and reasons of `jobs` (Get-Job-Attributes), until
// all have ended, or (after one look at least) nothing moved for `stall`:
// no job ended and `activity` (bytes that printers received) stayed put.
void AwaitFinalStates(
    int port, const std::string& uriBase, std::vector<Job>& jobs, Clock::duration stall,
    const std::function<size_t()>& activity = [] { return size_t(0); }) {
    Progress progress;
    http_t* http = Connect(port, kAnswerSeconds);
    for (bool pending = true; pending;) {
        pending = false;
        size_t ended = 0;
        for (Job& job : jobs) {
            if (job.id == 0 || job.state == "completed" || job.state == "aborted" || job.state == "canceled")
                continue;
            ipp_t* response = nullptr;
            if (Ask(http, Request(IPP_OP_GET_JOB_ATTRIBUTES, uriBase + kPrinters[job.printer].name, job.id),
                    &response) == kNoAnswer) {
                // A connection the server closed is not a hang: asked again
                // on a new one, until nothing has moved for `stall`.
                job.state = std::string("unknown, Get-Job-Attributes has no answer: ") + cupsLastErrorString();
                httpClose(http);
                http = Connect(port, kAnswerSeconds);
                pending = true;
                break;
            }
            ipp_attribute_t* a = ippFindAttribute(response, "job-state", IPP_TAG_ENUM);
            job.state =
                a ? ippEnumString("job-state", ippGetInteger(a, 0)) : std::string("unknown: ") + cupsLastErrorString();
            a = ippFindAttribute(response, "job-state-message", IPP_TAG_TEXT);
            job.message = a && ippGetString(a, 0, nullptr) ? ippGetString(a, 0, nullptr) : "";
            job.reasons.clear();
            a = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD);
            for (int i = 0; a && i < ippGetCount(a); i++)
                job.reasons += std::string(i ? "," : "") + ippGetString(a, i, nullptr);
            ippDelete(response);
            const bool done = job.state == "completed" || job.state == "aborted" || job.state == "canceled";
            pending = pending || !done;
            ended += done;
        }
        progress.Watch(ended + activity());
        if (pending && progress.Stalled(stall))
            break;
        if (pending)
            std::this_thread::sleep_for(milliseconds(200));
    }
    httpClose(http);
}

// --- What the printers received ----------------------------------------------------

// Where a marked page arrived: printer, connection, its index in it.
struct Arrival {
    unsigned printer, connection, index;
};

struct Received {
    std::map<unsigned, std::vector<Arrival>> pages;  // by mark value
    std::vector<std::string> problems;               // unmarked pages
};

// What arrived at the printers once they have had nothing more for 0.4 s
// (or at a hang); unmarked pages count from connection `from[printer]` on.
Received Collect(const std::vector<std::unique_ptr<CVirtualPrinter>>& printers, const std::vector<size_t>& from = {}) {
    for (int i = 0; i < kHangMs / 200; i++) {
        size_t before = 0, after = 0;
        for (const auto& p : printers)
            before += p->BytesReceived();
        std::this_thread::sleep_for(milliseconds(200));
        for (const auto& p : printers)
            after += p->BytesReceived();
        if (before == after && i > 1)
            break;
    }
    Received received;
    for (unsigned p = 0; p < printers.size(); p++) {
        const std::vector<Bytes> connections = printers[p]->JobBytes();
        for (unsigned c = 0; c < connections.size(); c++) {
            // The connection renewed after a failed or cancelled job may
            // carry nothing.
            if (connections[c].empty())
                continue;
            auto decoder = PreviewLanguages::Create(kPrinters[p].language);
            // A connection may end in mid-page when PAPPL ends its job; any
            // other malformed byte loses the pages after it.
            if (!decoder->Decode(connections[c].data(), connections[c].size()) && (from.empty() || c >= from[p]) &&
                decoder->Error().found.rfind("end of stream", 0) != 0)
                received.problems.push_back(std::string(kPrinters[p].name) + " connection " + std::to_string(c) + " (" +
                                            std::to_string(connections[c].size()) + " bytes, " +
                                            std::to_string(decoder->Pages().size()) +
                                            " pages): " + decoder->Error().Message());
            for (unsigned i = 0; i < decoder->Pages().size(); i++) {
                const int mark = ReadMark(decoder->Pages()[i]);
                if (mark < 0 && (from.empty() || c >= from[p]))
                    received.problems.push_back(std::string(kPrinters[p].name) + " connection " + std::to_string(c) +
                                                " page " + std::to_string(i) + " has no mark");
                else if (mark >= 0)
                    received.pages[unsigned(mark)].push_back({p, c, i});
            }
        }
    }
    return received;
}

// Complete pages in the first `bytes` bytes of a printer's stream.
unsigned PagesWithin(const std::vector<Bytes>& connections, const char* language, size_t bytes, unsigned connection) {
    for (unsigned c = 0; c < connection; c++)
        bytes -= std::min(bytes, connections[c].size());
    auto decoder = PreviewLanguages::Create(language);
    decoder->Decode(connections[connection].data(), std::min(bytes, connections[connection].size()));
    return unsigned(decoder->Pages().size());
}

// Fails the test for each of `jobs` whose pages or final state are wrong
// (the first 20 in full, a count of the rest).
void CheckJobs(const std::vector<Job>& jobs, const Received& received,
               const std::vector<std::unique_ptr<CVirtualPrinter>>& printers) {
    std::vector<std::string> failures = received.problems;
    for (const Job& job : jobs) {
        const bool ended = job.state == "completed" || job.state == "aborted" || job.state == "canceled";
        if ((!job.problem.empty() && !job.cancelled) || !ended) {
            failures.push_back((ended ? "" : "did not end in time: ") + Describe(job));
            continue;
        }
        std::vector<Arrival> arrivals;
        std::string counts;  // arrivals per page number
        for (unsigned page = 0; page < 4; page++) {
            const auto it = received.pages.find(MarkValue(job.serial, page));
            const size_t count = it == received.pages.end() ? 0 : it->second.size();
            if (count)
                arrivals.insert(arrivals.end(), it->second.begin(), it->second.end());
            counts += " " + std::to_string(count);
            if (count > 1 || (page >= job.pages && count))
                failures.push_back("page " + std::to_string(page + 1) + " arrived " + std::to_string(count) +
                                   " times: " + Describe(job));
            else if (job.state == "completed" && page < job.pages && count == 0)
                failures.push_back("page " + std::to_string(page + 1) + " is missing: " + Describe(job));
        }
        if (job.state != "completed" && job.message.empty() && (job.reasons.empty() || job.reasons == "none"))
            failures.push_back("no reason given: " + Describe(job));
        if (!job.cancelled || arrivals.empty())
            continue;
        // Pages complete only after the cancel (and what was in flight
        // then) arrived: at most the one in progress.
        const std::vector<Bytes> connections = printers[job.printer]->JobBytes();
        unsigned late = 0;
        for (const Arrival& a : arrivals)
            late += a.index >= PagesWithin(connections, kPrinters[job.printer].language, job.cancelledAt + kInFlight,
                                           a.connection);
        if (late > 1)
            failures.push_back(std::to_string(late) + " pages after the cancel (per page number:" + counts +
                               "): " + Describe(job));
    }
    for (size_t i = 0; i < failures.size() && i < 20; i++)
        ADD_FAILURE() << failures[i];
    if (failures.size() > 20)
        ADD_FAILURE() << "and " << failures.size() - 20 << " more like these";
}

// --- The test ---------------------------------------------------------------------

class PrinterAppLoadTest : public ::testing::Test {
protected:
    // Runs the test body in a private network with a server started there.
    void Run(const std::function<void()>& body) {
        const std::string problem = InPrivateNetwork([&] {
            if (!server.Start({"auth-service=none", kWriteTimeout})) {
                skipReason = "the printer application cannot start here: " + server.Problem();
                return;
            }
            body();
        });
        if (!problem.empty() || !skipReason.empty())
            GTEST_SKIP() << problem << skipReason;
    }

    // A printer of `p`'s language with `rate`, and its queue on the server.
    CVirtualPrinter& AddPrinter(const PrinterCase& p, size_t rate = 0) {
        CVirtualPrinter::Options o = DevicePrinter(p.language);
        o.bytesPerSecond = rate;
        printers.push_back(ListeningPrinter(o));
        const CommandResult added = server.Run({"add", "-d", p.name, "-v", printers.back()->Uri(), "-m", p.driver});
        EXPECT_EQ(0, added.status) << p.name << ": " << added.out;
        return *printers.back();
    }

    std::string UriBase() const { return "ipp://localhost:" + std::to_string(server.Port()) + "/ipp/print/"; }

    // Whether the server answers Get-Printer-Attributes within kAnswerSeconds; fails
    // the test with the server log's problems when it does not.
    bool Answers(const char* when) {
        http_t* http = Connect(server.Port(), kAnswerSeconds);
        const ipp_status_t status = Ask(http, Request(IPP_OP_GET_PRINTER_ATTRIBUTES, UriBase() + kPrinters[0].name));
        httpClose(http);
        EXPECT_EQ(IPP_STATUS_OK, status) << "Get-Printer-Attributes " << when << ": " << Outcome(status) << " within "
                                         << kAnswerSeconds << " s; the server log's problems:\n"
                                         << server.LogProblems();
        return status == IPP_STATUS_OK;
    }

    // A one-page job to printer `p` (an index of kPrinters), submitted.
    Job PrintOne(unsigned p, Format format, unsigned serial) {
        Job job;
        job.serial = serial;
        job.printer = p;
        job.format = format;
        http_t* http = Connect(server.Port(), kAnswerSeconds);
        std::atomic<bool> silent{false};
        const auto giveUp = Clock::now() + kStall;
        Submit(
            http, UriBase() + kPrinters[p].name, job, [](int) {}, [&] { return Clock::now() > giveUp; }, silent);
        httpClose(http);
        return job;
    }
    // Until `jobs` have ended, or after one look when `once`.
    void Await(std::vector<Job>& jobs, bool once = false) {
        AwaitFinalStates(server.Port(), UriBase(), jobs, once ? Clock::duration(0) : Clock::duration(kStall));
    }

    AppServer server;
    std::string skipReason;
    std::vector<std::unique_ptr<CVirtualPrinter>> printers;
};

TEST_F(PrinterAppLoadTest, EveryJobEndsAndEveryPageArrivesOnce) {
    Run([&] {
        for (const PrinterCase& p : kPrinters)
            AddPrinter(p, p.slow ? kSlowRate : 0);
        std::mt19937 random(17);
        unsigned serial = 0;
        for (int round = 0; round < kRounds; round++) {
            std::vector<Job> jobs(kJobsPerRound);
            for (Job& job : jobs) {
                job.serial = serial++;
                unsigned pick = random() % 100;
                while (pick >= kPrinters[job.printer].share)
                    pick -= kPrinters[job.printer++].share;
                job.format = kPrinters[job.printer].slow ? Format::Raster : Format(random() % 3);
                job.pages = job.format == Format::Raster ? 1 + random() % 3 : 1;
                if (random() % 100 < kCancelPercent)
                    job.cancelAfterMs = int(random() % 1500);
            }
            std::vector<size_t> from;
            for (const auto& p : printers)
                from.push_back(p->JobBytes().size());
            const auto start = Clock::now();
            std::atomic<bool> silent{false};
            // The round goes on while jobs are taken or bytes reach the
            // printers.
            Progress progress;
            auto bytesReceived = [&] {
                size_t bytes = 0;
                for (const auto& p : printers)
                    bytes += p->BytesReceived();
                return bytes;
            };
            std::vector<std::thread> clients, cancels;
            std::mutex cancelsLock;
            // Cancel-Job at its moment, on a thread of its own.
            auto cancelLater = [&](Job& job, int id) {
                std::lock_guard<std::mutex> lock(cancelsLock);
                cancels.emplace_back([&, id, at = Clock::now() + milliseconds(job.cancelAfterMs)] {
                    std::this_thread::sleep_until(at);
                    http_t* http = Connect(server.Port(), kAnswerSeconds);
                    if (Ask(http, Request(IPP_OP_CANCEL_JOB, UriBase() + kPrinters[job.printer].name, id)) ==
                        IPP_STATUS_OK) {
                        job.cancelledAt = printers[job.printer]->BytesReceived();
                        job.cancelled = true;
                    }
                    httpClose(http);
                });
            };
            std::atomic<size_t> next{0};
            for (int c = 0; c < kClients; c++)
                clients.emplace_back([&] {
                    http_t* http = Connect(server.Port(), kAnswerSeconds);
                    for (size_t i; (i = next++) < jobs.size();) {
                        Job& job = jobs[i];
                        Submit(
                            http, UriBase() + kPrinters[job.printer].name, job,
                            [&](int id) {
                                progress.Mark();
                                if (job.cancelAfterMs >= 0)
                                    cancelLater(job, id);
                            },
                            [&] {
                                progress.Watch(bytesReceived());
                                return progress.Stalled();
                            },
                            silent);
                    }
                    httpClose(http);
                });
            for (std::thread& client : clients)
                client.join();
            for (std::thread& cancel : cancels)
                cancel.join();
            if (silent) {
                size_t unsent = 0;
                for (const Job& job : jobs)
                    unsent += job.id == 0;
                const std::string text = server.Log();
                ADD_FAILURE() << "a request had no answer within " << kAnswerSeconds << " s in round " << round + 1
                              << " (" << unsent << " of " << jobs.size() << " jobs not sent); the log ends:\n"
                              << text.substr(text.size() - std::min<size_t>(text.size(), 1500));
                Answers("after that");
                return;
            }
            AwaitFinalStates(server.Port(), UriBase(), jobs, kStall, bytesReceived);
            const Received received = Collect(printers, from);
            size_t refused = 0, cancelled = 0;
            for (const Job& job : jobs) {
                refused += size_t(job.refused);
                cancelled += job.cancelled;
            }
            printf("round %d: %.1f s, %zu cancelled, %zu busy refusals\n", round + 1,
                   std::chrono::duration<double>(Clock::now() - start).count(), cancelled, refused);
            CheckJobs(jobs, received, printers);
            if (!Answers(("after round " + std::to_string(round + 1)).c_str()))
                return;
        }
    });
}

// A printer that fails a job in the way `fault` says; the job waits or ends
// with a reason as `expect` checks, and the next job prints.
struct FaultCase {
    const char* name;
    bool refuses;             // not listening until the job has waited
    size_t resetAfter;        // bytes of each job (0: never)
    size_t stopReadingAfter;  // bytes of each job (0: never)
    void (*expect)(const Job& job);
};

const FaultCase kFaults[] = {
    {"RefusesConnections", true, 0, 0,
     [](const Job& job) { EXPECT_EQ("completed", job.state) << "once the printer is back: " << Describe(job); }},
    {"ResetsMidJob", false, 3000, 0, [](const Job& job) { EXPECT_EQ("aborted", job.state) << Describe(job); }},
    {"StopsReading", false, 0, 3000,
     [](const Job& job) {
         EXPECT_EQ("aborted", job.state) << Describe(job);
         EXPECT_EQ(kStalledMessage, job.message) << Describe(job);
     }},
};

class PrinterAppLoadFaultTest : public PrinterAppLoadTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(PrinterAppLoadFaultTest, JobWaitsOrEndsWithAReasonAndTheNextPrints) {
    Run([&] {
        const FaultCase& fault = GetParam();
        CVirtualPrinter& printer = AddPrinter(kPrinters[0]);
        printer.SetResetAfter(fault.resetAfter);
        printer.SetStopReadingAfter(fault.stopReadingAfter);
        if (fault.refuses)
            printer.StopListening();
        // Back to a printer that reads everything, on its port.
        auto mend = [&] {
            printer.SetResetAfter(0);
            printer.SetStopReadingAfter(0);
            std::string error;
            EXPECT_TRUE(!fault.refuses || printer.ListenTcp(printer.Port(), &error)) << error;
        };
        // A PNG job is spooled: its Send-Document returns before it prints.
        std::vector<Job> jobs{PrintOne(0, Format::Png, 1)};
        if (fault.refuses) {
            std::this_thread::sleep_for(seconds(3));
            Await(jobs, true);
            EXPECT_EQ("processing", jobs[0].state) << "while the printer refuses: " << Describe(jobs[0]);
            mend();
        }
        Await(jobs);
        fault.expect(jobs[0]);
        if (jobs[0].state == "processing") {
            // No timeout ended it: a cancel and a printer that reads again
            // let the next job through.
            http_t* http = Connect(server.Port(), 5);
            Ask(http, Request(IPP_OP_CANCEL_JOB, UriBase() + kPrinters[0].name, jobs[0].id));
            httpClose(http);
        }
        if (!fault.refuses)
            mend();
        jobs.push_back(PrintOne(0, Format::Png, 2));
        Await(jobs);
        EXPECT_EQ("completed", jobs[1].state) << "the job after the fault: " << Describe(jobs[1]);
        CheckJobs(jobs, Collect(printers), printers);
        Answers("after the fault");
    });
}

INSTANTIATE_TEST_SUITE_P(PrinterApp, PrinterAppLoadFaultTest, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST_F(PrinterAppLoadTest, QueuedJobsStartByThemselvesAfterAKilledServerRestarts) {
    Run([&] {
        // So slow that the first job is still printing at the kill however
        // long the saves take (a minute of data), and the other two wait.
        CVirtualPrinter& printer = AddPrinter(kPrinters[0], kSlowRate / 10);
        std::vector<Job> jobs;
        for (unsigned serial = 1; serial <= 3; serial++)
            jobs.push_back(PrintOne(0, Format::Png, serial));
        WaitUntil([&] { return printer.BytesReceived() >= 2000; });
        // The kill comes once the saved state holds every job (PAPPL saves
        // within a second of a change): a job never saved is not restored.
        // A job's line has its attributes in name order ("Job created=...
        // id=...").
        auto saved = [&] {
            const Bytes state = ReadFile(server.Dir().File("app.state"));
            std::istringstream lines(std::string(state.begin(), state.end()));
            size_t found = 0;
            // A job is restored once its line names its spooled document.
            for (std::string line; std::getline(lines, line);)
                found += line.rfind("Job ", 0) == 0 && line.find(" filename=") != std::string::npos &&
                         std::any_of(jobs.begin(), jobs.end(), [&](const Job& job) {
                             return line.find(" id=\"" + std::to_string(job.id) + "\"") != std::string::npos;
                         });
            return found == jobs.size();
        };
        WaitUntil(saved);
        // And once more, so that the kill does not meet the first save of
        // the last job's attributes (PAPPL saves within a second).
        std::this_thread::sleep_for(milliseconds(1500));
        server.Kill();
        printer.SetRate(0);
        ASSERT_TRUE(server.Start({"auth-service=none", kWriteTimeout})) << server.Problem();
        // The printer is kept ...
        if (!Answers("after the restart"))
            return;
        // ... and the queued jobs print with no new job to start them.
        Await(jobs);
        EXPECT_TRUE(jobs[0].state == "completed" || jobs[0].state == "aborted") << Describe(jobs[0]);
        jobs.erase(jobs.begin());  // its first pages may have arrived before the kill
        for (const Job& job : jobs)
            EXPECT_EQ("completed", job.state) << "restored job: " << Describe(job);
        CheckJobs(jobs, Collect(printers), printers);
    });
}

}  // namespace
}  // namespace testing_support

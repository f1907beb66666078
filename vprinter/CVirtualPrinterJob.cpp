// One job: the bytes a link brings, read as the printer's buffer and the
// link's rate allow, decoded as they arrive, its pages handed to the engine
// and its status queries answered.

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "preview/PreviewLanguages.h"
#include "vprinter/CVirtualPrinterImpl.h"

using namespace StatusProtocol;
using Clock = std::chrono::steady_clock;

namespace {

// How long the loop sleeps at most: how soon a change (room in the buffer,
// a reply due, the printer stopping) is seen.
constexpr int kTickMs = 10;
// The sender has paused this long: decode what came, so that a query that
// waits for its reply is answered.
constexpr auto kPause = std::chrono::milliseconds(20);

// A query answered in turn, once the pages that began before it printed.
struct InTurn {
    const Query* query;
    size_t offset;
};

}  // namespace

void CVirtualPrinter::Impl::Link::Reply(const std::vector<uint8_t>& reply) {
    if (kind == Kind::Fifo && out < 0)
        out = open(outPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);  // fails while nobody reads replies
    if (out < 0)
        return;
    // A host that does not read its replies loses them rather than stall the printer.
    const ssize_t n = kind == Kind::Socket ? send(out, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT)
                                           : write(out, reply.data(), reply.size());
    (void)n;
}

void CVirtualPrinter::Impl::ServeJob(Link& link) {
    const Options& o = options;
    int number;
    {
        std::lock_guard<std::mutex> hold(lock);
        number = ++jobs;
        if (o.keepBytes)
            jobBytes.emplace_back();
    }
    const std::string name = "job " + std::to_string(number);
    auto jobPrinted = std::make_shared<std::atomic<int>>(0);
    std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create(o.language);
    std::vector<uint8_t> data;   // the job as the decoder sees it
    std::vector<uint8_t> ring;   // read but not yet taken (a link that drops what overflows)
    std::vector<size_t> ends;    // where each queued page ends
    std::vector<size_t> begins;  // ... and begins
    std::vector<InTurn> inTurn;
    size_t received = 0, decodedSize = 0, scanned = 0;
    bool dropping = false;  // refused: the rest is read and discarded
    bool reset = false;
    bool openEnded = false;  // the last page decoded may grow yet, and is not queued
    size_t openBegin = 0;
    double tokens = 0;
    auto last = Clock::now(), arrived = last;
    std::vector<uint8_t> block(64 * 1024);

    auto refuse = [&](const std::string& message) {
        dropping = true;
        inTurn.clear();
        {
            std::lock_guard<std::mutex> hold(lock);
            refused.push_back(name + ": " + message);
        }
        Log(name + ": " + message);
    };
    auto reply = [&](const Query& query) {
        std::vector<uint8_t> bytes;
        {
            std::lock_guard<std::mutex> hold(lock);
            if (silent || Ignores(query))
                return;
            bytes = query.Encode(Now());
            queries++;
        }
        link.Reply(bytes);
    };
    // Hands the engine the pages up to `settled` that end by `offset`;
    // false once the job is refused.
    auto queue = [&](size_t settled, size_t offset) {
        for (size_t i = ends.size(); i < settled && !dropping && decoder->PageEnd(i) <= offset; i++) {
            const CPreviewPage& page = decoder->Pages()[i];
            if (o.headDots > 0 && page.Width() > o.headDots) {
                refuse("byte " + std::to_string(decoder->PageBegin(i)) + ": expected a page at most " +
                       std::to_string(o.headDots) + " dots wide, found " + std::to_string(page.Width()) + " dots");
                break;
            }
            ends.push_back(decoder->PageEnd(i));
            begins.push_back(decoder->PageBegin(i));
            std::lock_guard<std::mutex> hold(lock);
            waiting.push_back({{number, static_cast<int>(i) + 1, page, ""}, jobPrinted});
            changed.notify_all();
        }
        return !dropping;
    };
    // Decodes the job so far; `final` at its end, where a cut-off command
    // is malformed and the last page ends. The pages before a query are
    // queued before it is answered, as the printer read them first.
    auto decode = [&](bool final) {
        decodedSize = data.size();
        const bool ok = !data.empty() && decoder->Decode(data.data(), data.size());
        const std::vector<PreviewCommand>& commands = decoder->Commands();
        auto queryAt = [&](size_t at) {
            return protocol ? protocol->Match(data.data() + at, data.size() - at) : nullptr;
        };
        const PreviewError& error = decoder->Error();
        const bool onlyQueries =
            std::all_of(commands.begin(), commands.end(), [&](const PreviewCommand& c) { return queryAt(c.offset); });
        if (!ok && final && (data.empty() || (onlyQueries && error.offset == data.size())))
            return;  // a link that only asked for the status brought no job
        const size_t settled = ok && !final ? decoder->SettledPages() : decoder->Pages().size();
        openEnded = ok && settled < decoder->Pages().size();
        openBegin = openEnded ? decoder->PageBegin(settled) : 0;
        for (; scanned < commands.size() && !dropping; scanned++) {
            const size_t at = commands[scanned].offset;
            const Query* query = queryAt(at);
            if (!query || !queue(settled, at))
                continue;
            if (query->realTime)
                reply(*query);
            else
                inTurn.push_back({query, at});
        }
        if (queue(settled, SIZE_MAX) && !ok && (final || !error.Truncated()))
            refuse(error.Message());
    };
    // Answers the in-turn queries whose data before them printed.
    auto answerInTurn = [&]() {
        while (!inTurn.empty()) {
            const size_t offset = inTurn.front().offset;
            const size_t before = std::count_if(begins.begin(), begins.end(), [&](size_t b) { return b < offset; });
            bool due;
            {
                std::lock_guard<std::mutex> hold(lock);
                // A page still open (an ESC/POS receipt) has printed what came
                // before the query once the engine is idle and can print.
                const bool caughtUp =
                    !openEnded || openBegin > offset || (waiting.empty() && !printing && !StoppedNow());
                due = size_t(*jobPrinted) >= before && caughtUp;
            }
            if (!due)
                return;
            reply(*inTurn.front().query);
            inTurn.erase(inTurn.begin());
        }
    };

    while (!stop) {
        // The link as it is now: changed while it runs, it applies from here.
        Reading now;
        {
            std::lock_guard<std::mutex> hold(lock);
            now = reading;
        }
        const size_t bytesPerSecond = now.bytesPerSecond, stopReadingAfter = now.stopReadingAfter,
                     resetAfter = now.resetAfter;
        if (resetAfter && received >= resetAfter) {
            reset = true;
            break;
        }
        const auto time = Clock::now();
        const double seconds = std::chrono::duration<double>(time - last).count();
        last = time;
        if (bytesPerSecond) {
            const double cap = std::max(1.0, bytesPerSecond / 20.0);
            tokens = std::min(cap, tokens + seconds * bytesPerSecond);
        }
        // The printer holds what it read and has not printed yet, once a
        // page waits; the page it is reading goes into its image memory.
        const size_t done = *jobPrinted;
        const size_t held = ring.size() + (ends.size() > done ? data.size() - (done ? ends[done - 1] : 0) : 0);
        const size_t room = o.inputBuffer > held ? o.inputBuffer - held : 0;
        size_t want = block.size();
        if (!o.dropOverflow && !dropping) {
            want = std::min(want, room);
            if (bytesPerSecond)
                want = std::min(want, static_cast<size_t>(tokens));
        }
        const bool stalled = stopReadingAfter && received >= stopReadingAfter;
        if (stopReadingAfter)
            want = std::min(want, stalled ? 0 : stopReadingAfter - received);
        if (resetAfter)
            want = std::min(want, resetAfter - received);

        pollfd p{link.in, POLLIN, 0};
        if (link.kind == Link::Kind::Socket)
            p.events |= POLLRDHUP;
        const int ready = poll(&p, 1, kTickMs);
        if (ready < 0 && errno != EINTR)
            break;
        const bool readable = ready > 0 && (p.revents & POLLIN);
        const bool hangup = ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLRDHUP));
        if (readable && want > 0) {
            const ssize_t n = read(link.in, block.data(), want);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                break;  // the host closed the link (a pseudo-terminal says EIO)
            if (n > 0) {
                received += n;
                arrived = Clock::now();
                {
                    std::lock_guard<std::mutex> hold(lock);
                    bytes += n;
                    if (o.keepBytes)
                        jobBytes[number - 1].insert(jobBytes[number - 1].end(), block.begin(), block.begin() + n);
                }
                if (!dropping) {
                    // Without back pressure, what the buffer cannot hold is lost.
                    const size_t kept = o.dropOverflow ? std::min<size_t>(n, room) : n;
                    std::vector<uint8_t>& into = o.dropOverflow && bytesPerSecond ? ring : data;
                    into.insert(into.end(), block.begin(), block.begin() + kept);
                    tokens -= o.dropOverflow || !bytesPerSecond ? 0 : n;
                }
                if (resetAfter && received >= resetAfter) {
                    reset = true;
                    break;
                }
            }
        } else if (hangup && (stalled || !readable)) {
            break;  // gone, or gone while the printer no longer reads
        } else if (readable) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));  // no room: back pressure
        }
        // A link that drops what overflows feeds the printer at its rate.
        if (!ring.empty()) {
            const size_t take = bytesPerSecond ? std::min(ring.size(), static_cast<size_t>(tokens)) : ring.size();
            data.insert(data.end(), ring.begin(), ring.begin() + take);
            ring.erase(ring.begin(), ring.begin() + take);
            tokens -= bytesPerSecond ? take : 0;
        }
        if (!dropping && data.size() > decodedSize &&
            (data.size() - decodedSize >= std::max<size_t>(64 * 1024, decodedSize / 4) ||
             Clock::now() - arrived >= kPause))
            decode(false);
        answerInTurn();
    }
    if (!dropping && !reset && !stop) {
        data.insert(data.end(), ring.begin(), ring.end());
        decode(true);
    }
    if (reset && link.kind == Link::Kind::Socket) {
        const linger hard{1, 0};  // close with a reset, not an orderly end
        setsockopt(link.in, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    std::lock_guard<std::mutex> hold(lock);
    jobsEnded++;
    changed.notify_all();
}

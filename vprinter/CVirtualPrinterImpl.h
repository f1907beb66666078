#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "vprinter/CVirtualPrinter.h"

// The virtual printer's state, shared by its files: the engine that prints
// (CVirtualPrinter.cpp), the jobs a link brings (CVirtualPrinterJob.cpp),
// the links themselves (CVirtualPrinterLinks.cpp) and the control lines
// (CVirtualPrinterControl.cpp). Everything from `lock` to `stopped` is
// guarded by it; the other descriptors are set before their threads start.
struct CVirtualPrinter::Impl {
    // One end of a job's link: bytes come in on `in`, replies go out on
    // `out` (a FIFO's reply side is opened when there is something to say).
    struct Link {
        enum class Kind { Socket, Pty, Fifo };
        Kind kind = Kind::Socket;
        int in = -1, out = -1;
        std::string outPath;  // a FIFO's reply side

        void Reply(const std::vector<uint8_t>& bytes);
    };

    // A decoded page waiting for the engine.
    struct Queued {
        Printed page;
        std::shared_ptr<std::atomic<int>> jobPrinted;  // the job's pages printed so far
    };

    explicit Impl(const Options& o);

    Options options;
    const StatusProtocol::Protocol* protocol = nullptr;  // null: the language answers nothing
    StatusProtocol::QuerySet ignored = 0;                // the options' ignoredQueries
    std::atomic<bool> stop{false};

    mutable std::mutex lock;
    mutable std::condition_variable changed;  // a page queued or printed, a condition changed
    StatusProtocol::Conditions conditions = 0;
    bool silent = false;
    bool runOutEnded = false;  // paper loaded: the simulated run-out is over
    int labels = 0;            // labels printed
    double paperMm = 0;        // paper printed
    // How the links read, as the options or SetRate and the others left it.
    struct Reading {
        size_t bytesPerSecond = 0, stopReadingAfter = 0, resetAfter = 0;
    } reading;
    std::deque<Queued> waiting;
    bool printing = false;  // the engine is printing a page
    std::vector<Printed> printed;
    std::vector<std::string> refused;
    size_t queries = 0, bytes = 0;
    int jobs = 0, jobsEnded = 0;
    std::vector<std::vector<uint8_t>> jobBytes;  // with keepBytes, by job

    int listenFd = -1, port = 0;
    bool accepting = false;    // AcceptTcp's thread runs
    std::vector<int> stopped;  // listening sockets shut down, closed at the end: AcceptTcp may poll one yet
    int ptyFd = -1, controlFd = -1;
    std::string controlPath;
    std::vector<std::thread> threads;

    // The state's conditions, printing included; `lock` held.
    StatusProtocol::Conditions Now() const;
    bool StoppedNow() const { return (Now() & StatusProtocol::kStopsPrinting) != 0; }
    bool Ignores(const StatusProtocol::Query& query) const {
        return ignored & (1u << (&query - protocol->queries.data()));
    }
    // Appends a line to printed.log and to the options' log.
    void Log(const std::string& line);

    // The engine: prints the waiting pages in order, one at a time.
    void Engine();
    // Serves one job from `link` until it ends (or the printer stops).
    void ServeJob(Link& link);
    // The links' threads.
    void AcceptTcp();
    void ServePty();
    void ServeFifoAt(const std::string& path);
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "preview/CPreviewPage.h"
#include "render/StatusProtocol.h"

// A small thermal printer in software: it speaks one family's language on a
// loopback TCP port (as a network printer's port 9100 does) or on a FIFO or
// pseudo-terminal (as a serial or Bluetooth port does), decodes every job
// strictly with the preview's decoders, "prints" each label or receipt as a
// page (and, with an output directory, as a PNG and a line in a log), answers
// its language's status queries, and simulates what goes wrong. It serves
// from its own threads; every member is safe to call from any thread.
//
// A connection is a job. Pages print in order, one at a time, each taking
// `msPerLabel`; while a condition that stops printing holds, decoded pages
// wait in the printer (none is lost) and print once it clears, and the
// printer keeps reading only until its input buffer is full.
class CVirtualPrinter {
public:
    struct Options {
        std::string language = "tspl";  // a preview language
        int headDots = 0;               // pages wider than this are refused (0: any)
        int dpi = 203;                  // for lengths in mm
        std::string outDir;             // PNGs and printed.log ("" : none)

        StatusProtocol::Conditions conditions = 0;  // holding from the start
        int paperOutAfterLabels = -1;               // paper runs out after this many labels (-1: never)
        double paperOutAfterMm = -1;                // ... or after this much paper
        int msPerLabel = 0;                         // printing time, reported as "printing"
        size_t bytesPerSecond = 0;                  // link rate (0: as fast as it comes)
        size_t inputBuffer = 64 * 1024;             // bytes held before the printer stops reading
        bool dropOverflow = false;                  // drop what overflows instead of pushing back
        size_t stopReadingAfter = 0;                // stops reading after this many bytes of a job (0: never)
        size_t resetAfter = 0;                      // resets the connection after this many bytes (0: never)
        bool silent = false;                        // answers no status query
        std::vector<std::string> ignoredQueries;    // leaves these unanswered ("ESC i"), as a model that lacks them
        std::string listenAddress = "127.0.0.1";    // ListenTcp's address
        size_t receiveBuffer = 16 * 1024;           // the port's kernel receive buffer (SO_RCVBUF)
        bool keepBytes = false;                     // keeps each job's bytes (JobBytes)
        std::FILE* log = nullptr;                   // also gets printed.log's lines (null: none)
    };

    // What it printed: one page of one job.
    struct Printed {
        int job = 0;   // 1 for the first connection
        int page = 0;  // 1 for a job's first page
        CPreviewPage image;
        std::string line;  // the log's line: job, page, size, dots, settings
    };

    explicit CVirtualPrinter(const Options& options);
    ~CVirtualPrinter();  // stops serving and closes what it opened
    CVirtualPrinter(const CVirtualPrinter&) = delete;
    CVirtualPrinter& operator=(const CVirtualPrinter&) = delete;

    // Listens on 127.0.0.1 (the options' listenAddress) at `port` (0: any
    // free port). False with *error set, also while it listens already.
    bool ListenTcp(int port, std::string* error);
    // Refuses connections from now on, as a printer switched off, until
    // ListenTcp(Port()) listens again; a job being read goes on.
    void StopListening();
    int Port() const;
    std::string Uri() const;  // "socket://127.0.0.1:PORT"
    // Serves a pseudo-terminal; *path gets its device name (/dev/pts/N).
    bool OpenPty(std::string* path, std::string* error);
    // Serves a FIFO at `path` (made if missing); replies go to `path` + ".out".
    bool ServeFifo(const std::string& path, std::string* error);

    // Changes what holds while it runs.
    void Set(StatusProtocol::Conditions add, StatusProtocol::Conditions clear = 0);
    // Paper loaded: clears paper-out and paper-low and ends a run-out set
    // by paperOutAfterLabels or paperOutAfterMm.
    void LoadPaper();
    void SetSilent(bool silent);
    // The link's rate and faults (the options' bytesPerSecond,
    // stopReadingAfter, resetAfter; 0: none), changed while it runs: each
    // applies from the next byte read, to the job being read too.
    void SetRate(size_t bytesPerSecond);
    void SetStopReadingAfter(size_t bytes);
    void SetResetAfter(size_t bytes);
    StatusProtocol::Conditions State() const;  // printing included

    // What it printed so far, in order.
    std::vector<Printed> PrintedPages() const;
    size_t PagesPrinted() const;
    // Waits until `count` pages have printed; false after `timeoutMs`.
    bool WaitPrinted(size_t count, int timeoutMs) const;
    // Jobs whose stream was malformed, each the decoder's message
    // ("job 2: byte 1234: expected ..., found ...").
    std::vector<std::string> Refused() const;
    // Status queries answered, and the bytes received over all jobs.
    size_t QueriesAnswered() const;
    size_t BytesReceived() const;
    int JobsEnded() const;
    // With keepBytes, the bytes each job brought as read off its link,
    // refused ones too: job N at [N - 1], the one being read included.
    std::vector<std::vector<uint8_t>> JobBytes() const;

    // A control line, as the control socket takes it ("set paper-out",
    // "clear cover-open", "load-paper", "silent on", "rate 2000", "state",
    // ...); the answer is one line ("ok", the state, or "error: ...").
    std::string Control(const std::string& line);
    // Serves the control lines on a Unix socket at `path`.
    bool ServeControl(const std::string& path, std::string* error);
    // "paper-out,cover-open" as conditions (StatusProtocol::FromName's
    // words); false with *error naming an unknown one.
    static bool ParseConditions(const std::string& list, StatusProtocol::Conditions* conditions, std::string* error);
    // False with *error naming the language's queries when `language`
    // has no status query named `query` (StatusProtocol's NameOf).
    static bool KnowsQuery(const std::string& language, const std::string& query, std::string* error);

private:
    struct Impl;  // not "State": that name is the member function's
    std::unique_ptr<Impl> m;
};

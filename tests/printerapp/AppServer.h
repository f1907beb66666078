#pragma once

#include <cups/cups.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "preview/CPreviewPage.h"
#include "support/CupsSystem.h"
#include "support/TestFiles.h"
#include "vprinter/CVirtualPrinter.h"

namespace testing_support {

// The newest job of a printer as IPP reports it.
struct JobInfo {
    int id = 0;
    std::string state;    // "completed", "aborted", ...; empty: no job
    std::string message;  // job-state-message
    std::string reasons;  // job-state-reasons, comma-separated
};

// A private quorvant-printer-app server: a free loopback port, its state
// file, spool, log and control socket in a temporary directory. Started by
// Start, stopped (SIGTERM to its own pid) when destroyed.
class AppServer {
public:
    AppServer() = default;
    ~AppServer();
    AppServer(const AppServer&) = delete;
    AppServer& operator=(const AppServer&) = delete;

    // False, with Problem() saying why, when the server does not come up.
    // `options` are more server settings ("auth-service=none", ...).
    bool Start(const std::vector<std::string>& options = {});
    const std::string& Problem() const { return m_problem; }
    // Ends the server with SIGKILL, as a crash would, leaving its state,
    // spool and log for another Start on the same directory.
    void Kill();
    // False once the server has gone (a crash ends a test only through the
    // destructor's report, unless this was asked first).
    bool Alive();
    int Port() const { return m_port; }
    int Pid() const { return m_pid; }
    std::string PrinterUri(const std::string& printer) const {
        return "ipp://localhost:" + std::to_string(m_port) + "/ipp/print/" + printer;
    }
    const TempDir& Dir() const { return m_dir; }

    // Runs a sub-command against this server ("add", "-d", ...).
    CommandResult Run(const std::vector<std::string>& args) const;
    // Adds printer `name` on a file: device at Dir().File(name + ".prn").
    bool AddFilePrinter(const std::string& name, const std::string& driver, std::string& output) const;
    // Submits `file` and waits for the job to end; returns its final state
    // as the "jobs" sub-command shows it ("completed", "aborted", ...).
    std::string Print(const std::string& printer, const std::string& file,
                      const std::vector<std::string>& options = {}) const;

    // Asks the server over IPP (Get-Jobs) for the printer's newest job.
    JobInfo LastJob(const std::string& printer) const;
    // The printer's printer-state-reasons over IPP, comma-separated.
    std::string PrinterReasons(const std::string& printer) const;
    // The newest job once it has ended (or the last look after 10 s).
    JobInfo WaitForLastJob(const std::string& printer) const;
    // The server's log whole: PAPPL moves it to app.log.O past 1 MB, which
    // a server shared by a suite's tests reaches.
    std::string Log() const;
    // The log's lines that hold `words` (a printer's "[Printer NAME]", a
    // job's "[Job N]"), each with its newline.
    std::string LogLinesWith(const std::string& words) const;
    // The server log's errors and warnings, for failure messages.
    std::string LogProblems() const;
    // What printer `printer` (added by AddFilePrinter) received, decoded.
    std::vector<CPreviewPage> DecodeDevice(const std::string& printer, const std::string& language) const;

private:
    TempDir m_dir;
    int m_port = 0;
    mutable int m_pid = -1;  // -1 once the server has gone
    std::string m_problem;
};

// A connection to the server on loopback `port`; null when it does not
// answer within `timeoutMs`.
http_t* ConnectTo(int port, int timeoutMs = 10000);
// The body of a GET of `path` from the server on `port`; "HTTP <status>"
// when it is not 200 OK, empty when it does not answer.
std::string GetPage(int port, const std::string& path);
// Sends `request` (which it frees) with `document` as its data; the answer,
// or null when none came.
ipp_t* SendWithDocument(http_t* http, ipp_t* request, const Bytes& document);

unsigned TotalBlackDots(const std::vector<CPreviewPage>& pages);

// A network printer for the device and load tests, speaking `language`: it
// answers no status query (the application asks once, waits out the reply
// and leaves it alone), keeps each job's bytes, and has a 4 KB kernel buffer,
// so that the application feels one that reads slowly or not at all soon.
CVirtualPrinter::Options DevicePrinter(const std::string& language);
// A printer with `options` listening on a loopback port (Uri()); a test
// failure when it cannot.
std::unique_ptr<CVirtualPrinter> ListeningPrinter(const CVirtualPrinter::Options& options);

// A PWG raster of `pages` pages of width x height dots, black where
// `black(x, y, page)` says: 8-bit sGray, or 1-bit black with `type` "black_1".
Bytes PwgPages(unsigned width, unsigned height, unsigned dpi, unsigned pages,
               const std::function<bool(unsigned x, unsigned y, unsigned page)>& black, const char* type = "sgray_8");

// A PWG raster of one page, white with the black rectangle [x0, x1) x
// [y0, y1): 8-bit sGray, or 1-bit black with `type` "black_1".
Bytes PwgGrayPage(unsigned width, unsigned height, unsigned dpi, unsigned x0, unsigned y0, unsigned x1, unsigned y1,
                  const char* type = "sgray_8");

}  // namespace testing_support

#include "printerapp/AppServer.h"

#include <arpa/inet.h>
#include <cups/cups.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <sstream>
#include <thread>

#include "preview/PreviewLanguages.h"
#include "support/ChildCommand.h"

namespace testing_support {

namespace {

// The application with `args`, and an environment where PAPPL's main loop
// puts its control socket in $SNAP_COMMON: each private server and its
// clients get their own.
ChildCommand AppCommand(const std::string& dir, const std::vector<std::string>& args) {
    return ChildCommand(QUORVANT_APP_BIN, args, {"SNAP_COMMON=" + dir});
}

}  // namespace

http_t* ConnectTo(int port, int timeoutMs) {
    return httpConnect2("localhost", port, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1, timeoutMs, nullptr);
}

std::string GetPage(int port, const std::string& path) {
    http_t* http = ConnectTo(port);
    if (!http)
        return "";
    std::string body;
    httpClearFields(http);
    if (httpGet(http, path.c_str()) == 0) {
        http_status_t status;
        while ((status = httpUpdate(http)) == HTTP_STATUS_CONTINUE) {
        }
        char buffer[8192];
        for (ssize_t n; status == HTTP_STATUS_OK && (n = httpRead2(http, buffer, sizeof buffer)) > 0;)
            body.append(buffer, static_cast<size_t>(n));
        if (status != HTTP_STATUS_OK)
            body = "HTTP " + std::to_string(status);
    }
    httpClose(http);
    return body;
}

ipp_t* SendWithDocument(http_t* http, ipp_t* request, const Bytes& document) {
    if (cupsSendRequest(http, request, "/ipp/print", CUPS_LENGTH_VARIABLE) == HTTP_STATUS_CONTINUE)
        cupsWriteRequestData(http, reinterpret_cast<const char*>(document.data()), document.size());
    ippDelete(request);
    return cupsGetResponse(http, "/ipp/print");
}

bool AppServer::Start(const std::vector<std::string>& options) {
    if (access(QUORVANT_APP_BIN, X_OK) != 0) {
        m_problem = "quorvant-printer-app was not built";
        return false;
    }
    m_port = FreePort();
    if (m_port == 0) {
        m_problem = "no free loopback port";
        return false;
    }
    std::vector<std::string> args{"server",
                                  "-o",
                                  "server-port=" + std::to_string(m_port),
                                  "-o",
                                  "state-file=" + m_dir.File("app.state"),
                                  "-o",
                                  "spool-directory=" + m_dir.File("spool"),
                                  "-o",
                                  "log-file=" + m_dir.File("app.log"),
                                  "-o",
                                  "log-level=debug"};
    // The raw ports stay off unless a test places them: 9100 may be in use.
    if (std::none_of(options.begin(), options.end(),
                     [](const std::string& option) { return option.rfind("raw-port-base=", 0) == 0; }))
        args.insert(args.end(), {"-o", "raw-port-base=0"});
    for (const std::string& option : options) {
        args.push_back("-o");
        args.push_back(option);
    }
    const ChildCommand command = AppCommand(m_dir.path(), args);
    const std::string errFile = m_dir.File("server.err");
    m_pid = fork();
    if (m_pid == 0) {
        // Standard error keeps what a sanitizer or PAPPL says when dying.
        const int null = open("/dev/null", O_RDWR);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(null, 0);
        dup2(null, 1);
        dup2(err, 2);
        command.Exec();
    }
    const std::string socketPath = m_dir.File("quorvant-printer-app.sock");
    bool exited = false;
    if (WaitUntil([&] {
            exited = waitpid(m_pid, nullptr, WNOHANG) == m_pid;
            return exited || (Listening(m_port) && access(socketPath.c_str(), F_OK) == 0);
        }) &&
        !exited)
        return true;
    if (exited)
        m_pid = -1;
    m_problem = exited ? "the server exited at start (see its log)" : "the server did not come up";
    return false;
}

bool AppServer::Alive() {
    if (m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == m_pid)
        m_pid = -1;
    return m_pid > 0;
}

void AppServer::Kill() {
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
    // Start waits for the control socket, which a killed server leaves.
    unlink(m_dir.File("quorvant-printer-app.sock").c_str());
}

// PAPPL notices a "shutdown" request only at its next poll timeout (about
// 30 s); SIGTERM ends the server at once, as cleanly.
AppServer::~AppServer() {
    if (m_pid <= 0)
        return;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        const Bytes err = ReadFile(m_dir.File("server.err"));
        ADD_FAILURE() << "the server died during the test ("
                      << (WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                              : "status " + std::to_string(WEXITSTATUS(status)))
                      << "):\n"
                      << std::string(err.begin(), err.end()) << "\nIts log's problems:\n"
                      << LogProblems();
        return;
    }
    kill(m_pid, SIGTERM);
    for (int i = 0; i < 100; i++) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
}

CommandResult AppServer::Run(const std::vector<std::string>& args) const {
    CommandResult result;
    // With no server behind the socket, PAPPL's clients start one of their
    // own that would outlive the test.
    if (m_pid <= 0 || waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
        m_pid = -1;
        result.out = "the server has gone";
        return result;
    }
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return result;
    const ChildCommand command = AppCommand(m_dir.path(), args);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        close(pipeFds[0]);
        close(pipeFds[1]);
        command.Exec();
    }
    close(pipeFds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        result.out.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

bool AppServer::AddFilePrinter(const std::string& name, const std::string& driver, std::string& output) const {
    // PAPPL takes a file: device only for a path that exists.
    const std::string path = m_dir.File(name + ".prn");
    WriteFile(path, Bytes{});
    const CommandResult result = Run({"add", "-d", name, "-v", "file://" + path, "-m", driver});
    output = result.out;
    return result.status == 0;
}

std::string AppServer::Print(const std::string& printer, const std::string& file,
                             const std::vector<std::string>& options) const {
    std::vector<std::string> args{"submit", "-d", printer};
    for (const std::string& option : options) {
        args.push_back("-o");
        args.push_back(option);
    }
    args.push_back(file);
    const CommandResult submitted = Run(args);
    if (submitted.status != 0)
        return "submit failed: " + submitted.out;
    std::string last;
    for (const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangMs);
         std::chrono::steady_clock::now() < giveUp;) {
        last = Run({"jobs", "-d", printer}).out;
        // One line per job, "ID STATE USER NAME"; the highest ID is this job.
        std::istringstream lines(last);
        std::string line, state;
        int newest = 0;
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            int id = 0;
            std::string jobState;
            // Other lines (a sanitizer's report on standard error) are skipped.
            const std::string states = " pending held processing stopped canceled aborted completed ";
            if (fields >> id >> jobState && id > newest && states.find(" " + jobState + " ") != std::string::npos) {
                newest = id;
                state = jobState;
            }
        }
        if (state == "completed" || state == "aborted" || state == "canceled")
            return state;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return "still not done: " + last;
}

JobInfo AppServer::LastJob(const std::string& printer) const {
    JobInfo info;
    http_t* http = ConnectTo(m_port);
    if (!http)
        return info;
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
    const std::string uri = PrinterUri(printer);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    static const char* const wanted[] = {"job-id", "job-state", "job-state-message", "job-state-reasons"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr, wanted);
    ipp_t* response = cupsDoRequest(http, request, "/ipp/print");
    if (!response)
        info.message = std::string("Get-Jobs failed: ") + cupsLastErrorString();
    int newest = 0, id = 0;
    JobInfo current;
    // Jobs are groups of attributes; a group ends at a separator or the end.
    auto finish = [&] {
        if (id > newest) {
            newest = id;
            info = current;
            info.id = id;
        }
        id = 0;
        current = JobInfo{};
    };
    for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
        const char* name = ippGetName(a);
        if (!name) {
            finish();
            continue;
        }
        const std::string n = name;
        if (n == "job-id")
            id = ippGetInteger(a, 0);
        else if (n == "job-state")
            current.state = ippEnumString("job-state", ippGetInteger(a, 0));
        else if (n == "job-state-message")
            current.message = ippGetString(a, 0, nullptr) ? ippGetString(a, 0, nullptr) : "";
        else if (n == "job-state-reasons")
            for (int i = 0; i < ippGetCount(a); i++)
                current.reasons += std::string(i ? "," : "") + ippGetString(a, i, nullptr);
    }
    finish();
    ippDelete(response);
    httpClose(http);
    return info;
}

std::string AppServer::PrinterReasons(const std::string& printer) const {
    http_t* http = ConnectTo(m_port);
    if (!http)
        return "no connection";
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    const std::string uri = PrinterUri(printer);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-state-reasons");
    ipp_t* response = cupsDoRequest(http, request, ("/ipp/print/" + printer).c_str());
    std::string reasons = response ? "" : std::string("Get-Printer-Attributes failed: ") + cupsLastErrorString();
    ipp_attribute_t* a = ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD);
    for (int i = 0; a && i < ippGetCount(a); i++)
        reasons += std::string(i ? "," : "") + ippGetString(a, i, nullptr);
    ippDelete(response);
    httpClose(http);
    return reasons;
}

JobInfo AppServer::WaitForLastJob(const std::string& printer) const {
    JobInfo job;
    WaitUntil([&] {
        job = LastJob(printer);
        return job.state == "completed" || job.state == "aborted" || job.state == "canceled";
    });
    return job;
}

std::string AppServer::Log() const {
    Bytes log = ReadFile(m_dir.File("app.log.O"));
    const Bytes current = ReadFile(m_dir.File("app.log"));
    log.insert(log.end(), current.begin(), current.end());
    return std::string(log.begin(), log.end());
}

std::string AppServer::LogLinesWith(const std::string& words) const {
    std::istringstream lines(Log());
    std::string found;
    for (std::string line; std::getline(lines, line);)
        if (line.find(words) != std::string::npos)
            found += line + "\n";
    return found;
}

std::string AppServer::LogProblems() const {
    std::istringstream lines(Log());
    std::string problems;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("E ", 0) == 0 || line.rfind("W ", 0) == 0)
            problems += line + "\n";
    return problems;
}

std::vector<CPreviewPage> AppServer::DecodeDevice(const std::string& printer, const std::string& language) const {
    const Bytes output = ReadFile(m_dir.File(printer + ".prn"));
    auto decoder = PreviewLanguages::Create(language);
    EXPECT_TRUE(decoder->Decode(output.data(), output.size())) << decoder->Error().Message();
    return decoder->Pages();
}

unsigned TotalBlackDots(const std::vector<CPreviewPage>& pages) {
    unsigned dots = 0;
    for (const auto& page : pages)
        dots += page.BlackDots();
    return dots;
}

CVirtualPrinter::Options DevicePrinter(const std::string& language) {
    CVirtualPrinter::Options o;
    o.language = language;
    o.silent = true;
    o.keepBytes = true;
    o.receiveBuffer = 4096;
    return o;
}

std::unique_ptr<CVirtualPrinter> ListeningPrinter(const CVirtualPrinter::Options& options) {
    auto printer = std::make_unique<CVirtualPrinter>(options);
    std::string error;
    EXPECT_TRUE(printer->ListenTcp(0, &error)) << error;
    return printer;
}

Bytes PwgPages(unsigned width, unsigned height, unsigned dpi, unsigned pages,
               const std::function<bool(unsigned x, unsigned y, unsigned page)>& black, const char* type) {
    TempDir dir;
    const std::string path = dir.File("page.pwg");
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_WRITE_PWG);
    cups_page_header2_t header;
    std::memset(&header, 0, sizeof header);
    pwg_media_t* media = pwgMediaForSize(static_cast<int>(width * 2540 / dpi), static_cast<int>(height * 2540 / dpi));
    cupsRasterInitPWGHeader(&header, media, type, static_cast<int>(dpi), static_cast<int>(dpi), "one-sided", "normal");
    header.cupsWidth = width;
    header.cupsHeight = height;
    const bool oneBit = std::strcmp(type, "black_1") == 0;
    header.cupsBytesPerLine = oneBit ? (width + 7) / 8 : width;
    std::vector<unsigned char> line(header.cupsBytesPerLine);
    for (unsigned page = 0; page < pages; page++) {
        cupsRasterWriteHeader2(raster, &header);
        for (unsigned y = 0; y < height; y++) {
            std::fill(line.begin(), line.end(), oneBit ? 0 : 255);
            for (unsigned x = 0; x < width; x++) {
                if (!black(x, y, page))
                    continue;
                if (oneBit)
                    line[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
                else
                    line[x] = 0;
            }
            cupsRasterWritePixels(raster, line.data(), header.cupsBytesPerLine);
        }
    }
    cupsRasterClose(raster);
    close(fd);
    return ReadFile(path);
}

Bytes PwgGrayPage(unsigned width, unsigned height, unsigned dpi, unsigned x0, unsigned y0, unsigned x1, unsigned y1,
                  const char* type) {
    return PwgPages(
        width, height, dpi, 1, [&](unsigned x, unsigned y, unsigned) { return x >= x0 && x < x1 && y >= y0 && y < y1; },
        type);
}

}  // namespace testing_support

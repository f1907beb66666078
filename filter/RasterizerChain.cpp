#include "filter/RasterizerChain.h"

#include <cups/cups.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "filter/CCupsInstance.h"
#include "filter/CupsLang.h"
#include "filter/MemoryCeiling.h"
#include "render/ProgramBeside.h"

namespace RasterizerChain {

namespace {

bool Executable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

// Writes all of `data`, through interruptions; false when the write fails.
bool WriteAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t n = write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

// The document as a file: the rasterizer needs to seek, and the chain reads
// it first. Standard input (the rest of CUPS's chain) is spooled to a file
// of CUPS's temporary directory.
class Document {
public:
    ~Document() {
        if (!m_spooled.empty())
            unlink(m_spooled.c_str());
    }
    bool Open(int argc, char** argv) {
        if (argc == 7) {
            m_path = argv[6];
            return true;
        }
        char name[1024];
        const int fd = cupsTempFd(name, sizeof name);
        if (fd < 0)
            return false;
        m_spooled = m_path = name;
        char chunk[65536];
        ssize_t n;
        bool ok = true;
        while (ok && (n = read(0, chunk, sizeof chunk)) != 0) {
            // A cancel (SIGTERM, without SA_RESTART) interrupts the read.
            if (n < 0 || Canceled) {
                ok = n < 0 && errno == EINTR && !Canceled;
                continue;
            }
            ok = WriteAll(fd, chunk, static_cast<size_t>(n));
        }
        return close(fd) == 0 && ok;
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path, m_spooled;
};

int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return status;
}

// The rasterizer's messages up to what the chain wants of them, each line
// passed on to CUPS as it came. The rasterizer says what it is to print
// before it writes the first page, so a page in the pipe with no message
// pending means the message will not come.
// Returns what is left of a line begun.
std::string ReadMessages(int messages, int pages, const Chain& chain, Reading& reading) {
    std::string pending;
    bool done = false;
    while (!done) {
        struct pollfd fds[2] = {{messages, POLLIN, 0}, {pages, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR && !Canceled)
                continue;
            break;
        }
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            break;
        char chunk[4096];
        const ssize_t n = read(messages, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(chunk, static_cast<size_t>(n));
        for (size_t end; !done && (end = pending.find('\n')) != std::string::npos;) {
            WriteAll(2, pending.data(), end + 1);
            done = chain.readMessage(pending.substr(0, end), reading);
            pending.erase(0, end + 1);
        }
    }
    return pending;
}

// The rest of the rasterizer's messages, from the line begun on, go on to
// CUPS from a process of their own while the filter prints.
// It keeps no end of the page pipe, which would keep a rasterizer whose
// filter has stopped writing into it, nor the printer's output.
pid_t PassMessages(int messages, int pages, const std::string& begun) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    signal(SIGTERM, SIG_DFL);
    close(pages);
    close(1);
    WriteAll(2, begun.data(), begun.size());
    char chunk[4096];
    ssize_t n;
    while ((n = read(messages, chunk, sizeof chunk)) != 0) {
        if (n < 0 && errno != EINTR)
            break;
        if (n > 0)
            WriteAll(2, chunk, static_cast<size_t>(n));
    }
    _exit(0);
}

}  // namespace

std::string RasterizerPath(const char* program) {
    const std::string beside = ProgramBeside(program);
    if (!beside.empty())
        return beside;
    if (const char* serverBin = getenv("CUPS_SERVERBIN")) {
        const std::string path = std::string(serverBin) + "/filter/" + program;
        if (Executable(path))
            return path;
    }
    return std::string();
}

int Run(int argc, char** argv, const Chain& chain) {
    setbuf(stderr, nullptr);
    if (argc != 6 && argc != 7) {
        _cupsLangPrintFilter(stderr, "ERROR", "%s job-id user title copies options [file]", chain.name);
        return 1;
    }
    const std::string rasterizer = chain.rasterize ? chain.name : RasterizerPath(chain.program);
    if (rasterizer.empty()) {
        fprintf(stderr, "DEBUG: %s is not in the filter directory.\n", chain.program);
        _cupsLangPrintFilter(stderr, "ERROR", "The %s rasterizer is not installed.", chain.kind);
        return 1;
    }
    // Cancelled while the document is spooled: the spool file goes with it.
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    sigemptyset(&action.sa_mask);
    action.sa_handler = CancelJob;
    sigaction(SIGTERM, &action, nullptr);
    Document document;
    if (!document.Open(argc, argv)) {
        if (!Canceled)
            _cupsLangPrintError("ERROR", (std::string("Unable to copy ") + chain.kind + " file").c_str());
        return 1;
    }
    Reading reading;
    if (chain.readDocument)
        chain.readDocument(document.Path(), reading);
    int pages[2], messages[2] = {-1, -1};
    if (pipe(pages) != 0 || (chain.readMessage && pipe(messages) != 0)) {
        _cupsLangPrintError("ERROR", "Unable to create pipe");
        return 1;
    }
    // The rasterizer starts before the filter lowers its memory ceiling,
    // which it would otherwise inherit.
    const pid_t child = fork();
    if (child < 0) {
        _cupsLangPrintError("ERROR", "Unable to fork filter");
        return 1;
    }
    if (child == 0) {
        // A rasterizer whose reader has gone stops at its next write.
        signal(SIGPIPE, SIG_DFL);
        dup2(pages[1], 1);
        close(pages[0]);
        close(pages[1]);
        if (messages[1] >= 0) {
            dup2(messages[1], 2);
            close(messages[0]);
            close(messages[1]);
        }
        char* rasterizerArgs[8] = {
            argv[0], argv[1], argv[2], argv[3], argv[4], argv[5], const_cast<char*>(document.Path().c_str()), nullptr};
        if (chain.rasterize) {
            // The filter's own code on the document: a cancel ends it, and it
            // gets the filter's memory ceiling.
            signal(SIGTERM, SIG_DFL);
            MemoryCeiling::Apply();
            _exit(chain.rasterize(7, rasterizerArgs, document.Path()));
        }
        execv(rasterizer.c_str(), rasterizerArgs);
        fprintf(stderr, "ERROR: %s: %s\n", rasterizer.c_str(), strerror(errno));
        _exit(127);
    }
    fprintf(stderr, "DEBUG: %s pages rasterized by %s (PID %d).\n", chain.kind, rasterizer.c_str(),
            static_cast<int>(child));
    close(pages[1]);
    pid_t passer = -1;
    if (messages[0] >= 0) {
        close(messages[1]);
        passer = PassMessages(messages[0], pages[0], ReadMessages(messages[0], pages[0], chain, reading));
        close(messages[0]);
    }
    dup2(pages[0], 0);
    close(pages[0]);

    MemoryCeiling::Apply();
    std::string copies = reading.copiesLeft ? std::to_string(reading.copiesLeft) : std::string(argv[4]);
    int status;
    {
        // The rasterizers leave each page's NumCopies at 1: the copies come
        // from the document where it tells them.
        CCupsInstance instance;
        if (reading.copiesLeft)
            instance.TakeCopiesFromArguments();
        instance.SetDocumentScale(reading.scale);
        if (chain.prepare)
            chain.prepare(instance);
        char* filterArgs[7] = {argv[0], argv[1], argv[2], argv[3], &copies[0], argv[5], nullptr};
        status = instance.Run(6, filterArgs);
    }
    // A filter that stopped early (a cancel, a failed printer) leaves the
    // rasterizer writing into a pipe no one reads: the closed pipe stops it,
    // and a failed filter does not wait for it to notice.
    close(0);
    if (status != 0 || Canceled)
        kill(child, SIGTERM);
    const int rasterized = WaitFor(child);
    if (passer > 0)
        WaitFor(passer);
    if (status == 0 && !Canceled && !(WIFEXITED(rasterized) && WEXITSTATUS(rasterized) == 0)) {
        if (WIFSIGNALED(rasterized))
            fprintf(stderr, "DEBUG: %s stopped by signal %d.\n", chain.program, WTERMSIG(rasterized));
        _cupsLangPrintFilter(stderr, "ERROR", "The %s could not be rasterized.", chain.kind);
        return 1;
    }
    return status;
}

}  // namespace RasterizerChain

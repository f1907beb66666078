#include "filter/PdfChain.h"

#include <cups/cups.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "filter/CCupsInstance.h"
#include "filter/CupsLang.h"
#include "filter/MemoryCeiling.h"

namespace PdfChain {

namespace {

constexpr const char* kRasterizer = "pdftoraster";

bool Executable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

std::string OwnDirectory() {
    std::vector<char> path(4096);
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0)
        return std::string();
    std::string self(path.data(), static_cast<size_t>(n));
    const size_t slash = self.rfind('/');
    return slash == std::string::npos ? std::string() : self.substr(0, slash);
}

// The document as a file: the rasterizer needs to seek, and the copies
// comment is read from its head. Standard input (the rest of CUPS's chain)
// is spooled to a file of CUPS's temporary directory.
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
            if (n < 0) {
                ok = errno == EINTR;
                continue;
            }
            for (ssize_t done = 0; ok && done < n;) {
                const ssize_t w = write(fd, chunk + done, static_cast<size_t>(n - done));
                ok = w > 0 || (w < 0 && errno == EINTR);
                done += w > 0 ? w : 0;
            }
        }
        return close(fd) == 0 && ok;
    }
    const std::string& Path() const { return m_path; }
    std::string Head() const {
        std::string head(4096, '\0');
        FILE* f = fopen(m_path.c_str(), "rb");
        head.resize(f ? fread(&head[0], 1, head.size(), f) : 0);
        if (f)
            fclose(f);
        return head;
    }

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

}  // namespace

int CopiesLeft(const std::string& head) {
    static const char kComment[] = "\n%%PDFTOPDFNumCopies : ";
    const size_t at = head.find(kComment);
    if (at == std::string::npos)
        return 0;
    const int copies = std::atoi(head.c_str() + at + sizeof kComment - 1);
    return copies > 0 ? copies : 0;
}

std::string RasterizerPath() {
    std::string beside = OwnDirectory();
    if (!beside.empty() && Executable(beside + "/" + kRasterizer))
        return beside + "/" + kRasterizer;
    if (const char* serverBin = getenv("CUPS_SERVERBIN")) {
        const std::string path = std::string(serverBin) + "/filter/" + kRasterizer;
        if (Executable(path))
            return path;
    }
    return std::string();
}

int Run(int argc, char** argv) {
    setbuf(stderr, nullptr);
    if (argc != 6 && argc != 7) {
        _cupsLangPrintFilter(stderr, "ERROR", "%s job-id user title copies options [file]", "quorvant-pdf");
        return 1;
    }
    const std::string rasterizer = RasterizerPath();
    if (rasterizer.empty()) {
        fprintf(stderr, "DEBUG: %s is not in the filter directory.\n", kRasterizer);
        _cupsLangPrintFilter(stderr, "ERROR", "The PDF rasterizer is not installed.");
        return 1;
    }
    Document document;
    if (!document.Open(argc, argv)) {
        _cupsLangPrintError("ERROR", "Unable to copy PDF file");
        return 1;
    }
    const int left = CopiesLeft(document.Head());
    std::string copies = left ? std::to_string(left) : std::string(argv[4]);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
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
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        char* rasterizerArgs[8] = {
            argv[0], argv[1], argv[2], argv[3], argv[4], argv[5], const_cast<char*>(document.Path().c_str()), nullptr};
        execv(rasterizer.c_str(), rasterizerArgs);
        fprintf(stderr, "ERROR: %s: %s\n", rasterizer.c_str(), strerror(errno));
        _exit(127);
    }
    fprintf(stderr, "DEBUG: PDF pages rasterized by %s (PID %d).\n", rasterizer.c_str(), static_cast<int>(child));
    dup2(pipeFds[0], 0);
    close(pipeFds[0]);
    close(pipeFds[1]);

    MemoryCeiling::Apply();
    int status;
    {
        // pdftoraster leaves each page's NumCopies at 1: the copies come
        // from pdftopdf's comment where it wrote one.
        CCupsInstance instance;
        if (left)
            instance.TakeCopiesFromArguments();
        char* filterArgs[7] = {argv[0], argv[1], argv[2], argv[3], &copies[0], argv[5], nullptr};
        status = instance.Run(6, filterArgs);
    }
    // A filter that stopped early (a cancel, a failed printer) leaves the
    // rasterizer writing into a pipe no one reads: the closed pipe stops it,
    // and a failed filter does not wait for it to notice.
    close(0);
    if (status != 0)
        kill(child, SIGTERM);
    const int rasterized = WaitFor(child);
    if (status == 0 && !(WIFEXITED(rasterized) && WEXITSTATUS(rasterized) == 0)) {
        if (WIFSIGNALED(rasterized))
            fprintf(stderr, "DEBUG: %s stopped by signal %d.\n", kRasterizer, WTERMSIG(rasterized));
        _cupsLangPrintFilter(stderr, "ERROR", "The PDF could not be rasterized.");
        return 1;
    }
    return status;
}

}  // namespace PdfChain

#include "support/CupsSystem.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "families/DriverTable.h"
#include "families/KnownPrinters.h"
#include "support/ChildCommand.h"

namespace testing_support {

namespace {

const char* kSystemServerBin = "/usr/lib/cups";

void MustRun(const std::string& command) {
    CommandResult r = RunCommand(command);
    if (r.status != 0)
        throw std::runtime_error(command + ": " + r.out);
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

bool Listening(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

CommandResult RunCommand(const std::string& command) {
    CommandResult r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, p)) > 0)
        r.out.append(chunk, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

bool HaveProgram(const std::string& name) { return RunCommand("command -v " + Quote(name)).status == 0; }

std::vector<std::string> ShippedPpds() {
    std::vector<std::string> names;
    size_t count = 0;
    const DriverTable::Driver* drivers = DriverTable::Drivers(count);
    for (size_t i = 0; i < count; i++)
        names.push_back(drivers[i].ppd);
    const KnownPrinters::Printer* printers = KnownPrinters::All(count);
    for (size_t i = 0; i < count; i++)
        if (printers[i].ppd)
            names.push_back(printers[i].ppd);
    return names;
}

std::string BuiltPpd(const std::string& name) {
    std::string path = std::string(QUORVANT_BUILD_DIR) + "/ppd/" + name;
    return access(path.c_str(), R_OK) == 0 ? path : std::string();
}

CupsTree::CupsTree() {
    const std::string sb = ServerBin();
    MustRun("mkdir -p " + Quote(sb + "/filter") + " " + Quote(DataDir() + "/model") + " " + Quote(root() + "/etc/ppd") +
            " " + Quote(root() + "/spool/tmp") + " " + Quote(root() + "/out") + " " + Quote(root() + "/log") + " " +
            Quote(root() + "/cache") + " " + Quote(root() + "/state"));
    for (const char* dir : {"backend", "cgi-bin", "daemon", "driver", "monitor", "notifier"})
        MustRun("ln -s " + Quote(std::string(kSystemServerBin) + "/" + dir) + " " + Quote(sb + "/" + dir));
    MustRun("ln -s " + std::string(kSystemServerBin) + "/filter/* " + Quote(sb + "/filter/"));
    // In place of the link to an installed filter: copying onto the link
    // would overwrite the system's.
    for (auto [name, built] : {std::pair<const char*, const char*>{"quorvant", QUORVANT_BIN},
                               {"quorvant-pdf", QUORVANT_PDF_BIN},
                               {"quorvant-image", QUORVANT_IMAGE_BIN},
                               {"quorvant-zpl", QUORVANT_ZPL_BIN}})
        MustRun("rm -f " + Quote(sb + "/filter/" + name) + " && cp " + Quote(built) + " " +
                Quote(sb + "/filter/" + name));
    // The data directory is the system's, with the project's PPDs as models
    // and its MIME type beside the system's.
    MustRun("for f in /usr/share/cups/*; do case \"$(basename \"$f\")\" in model | mime) ;; *) ln -s \"$f\" " +
            Quote(DataDir() + "/") + ";; esac; done");
    MustRun("mkdir -p " + Quote(DataDir() + "/mime") + " && ln -s /usr/share/cups/mime/* " +
            Quote(DataDir() + "/mime/") + " && cp " + Quote(QUORVANT_SOURCE_DIR "/drv/quorvant.types") + " " +
            Quote(DataDir() + "/mime/"));
    MustRun("cp " + Quote(QUORVANT_BUILD_DIR) + "/ppd/*.ppd " + Quote(DataDir() + "/model/") + " 2>/dev/null || true");
    // Leak-check suppressions for filters built with the sanitizers, where
    // the lp user that runs them can read them.
    MustRun("cp " + Quote(QUORVANT_SOURCE_DIR "/tests/lsan.supp") + " " + Quote(root() + "/lsan.supp"));

    std::ofstream files(FilesConf());
    files << "ServerRoot " << root() << "/etc\n"
          << "ServerBin " << sb << "\n"
          << "DataDir " << DataDir() << "\n"
          << "RequestRoot " << root() << "/spool\n"
          << "TempDir " << root() << "/spool/tmp\n"
          << "CacheDir " << root() << "/cache\n"
          << "StateDir " << root() << "/state\n"
          << "Printcap " << root() << "/printcap\n"
          << "ErrorLog " << root() << "/log/error_log\n"
          << "AccessLog " << root() << "/log/access_log\n"
          << "PageLog " << root() << "/log/page_log\n"
          << "FileDevice Yes\nUser lp\nGroup lp\nSystemGroup root\n"
          << "SetEnv LSAN_OPTIONS suppressions=" << root() << "/lsan.supp\n";
    files.close();
    // Filters run as lp: the whole tree must be readable and traversable.
    MustRun("chmod -R go+rX " + Quote(root()) + " && chmod 1777 " + Quote(root() + "/spool/tmp") + " " +
            Quote(root() + "/out"));
}

FilterResult RunCupsfilter(const CupsTree& tree, const std::string& ppd, const std::string& document,
                           const std::string& options) {
    std::string out = tree.File("cupsfilter.out"), err = tree.File("cupsfilter.err");
    std::string command = "LSAN_OPTIONS=suppressions=" + Quote(tree.root() + "/lsan.supp") + " cupsfilter -c " +
                          Quote(tree.FilesConf()) + " -p " + Quote(ppd) + " -m printer/test -e";
    // Options, and cupsfilter's own flags with their values (-n 2).
    std::istringstream words(options);
    for (std::string word; words >> word;) {
        if (word.rfind("-", 0) == 0) {
            std::string value;
            words >> value;
            command += " " + word + " " + Quote(value);
        } else {
            command += " -o " + Quote(word);
        }
    }
    command += " " + Quote(document) + " > " + Quote(out) + " 2> " + Quote(err);
    FilterResult r;
    int status = std::system(command.c_str());
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFile(out);
    Bytes err_bytes = ReadFile(err);
    r.err.assign(err_bytes.begin(), err_bytes.end());
    return r;
}

PrivateCupsd::PrivateCupsd(const CupsTree& tree) : m_tree(tree) {
    if (access("/usr/sbin/cupsd", X_OK) != 0) {
        m_failure = "/usr/sbin/cupsd is not installed";
        return;
    }
    if (geteuid() != 0) {
        m_failure = "a scheduler with its own configuration must start as root";
        return;
    }
    m_port = FreePort();
    std::ofstream conf(tree.root() + "/etc/cupsd.conf");
    conf << "Listen 127.0.0.1:" << m_port << "\nLogLevel debug\nErrorPolicy abort-job\nWebInterface No\n"
         << "Browsing No\nJobKillDelay 5\n<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
         << "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
    conf.close();
    chmod((tree.root() + "/etc/cupsd.conf").c_str(), 0644);

    const std::string log = tree.root() + "/log/cupsd.out";
    const ChildCommand command("/usr/sbin/cupsd", {"-f", "-c", tree.root() + "/etc/cupsd.conf", "-s", tree.FilesConf()},
                               {}, "cupsd");
    m_pid = fork();
    if (m_pid == 0) {
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        command.Exec();
    }
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangMs);
    while (!Listening(m_port) && std::chrono::steady_clock::now() < giveUp) {
        int status;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            Bytes log = ReadFile(tree.root() + "/log/cupsd.out");
            m_failure = "cupsd exited at start: " + std::string(log.begin(), log.end());
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!Listening(m_port))
        m_failure = "cupsd did not listen on its port";
}

PrivateCupsd::~PrivateCupsd() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status;
        for (int i = 0; i < 50 && waitpid(m_pid, &status, WNOHANG) == 0; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (waitpid(m_pid, &status, WNOHANG) == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
    }
}

CommandResult PrivateCupsd::Client(const std::string& command) const {
    return RunCommand("CUPS_SERVER=127.0.0.1:" + std::to_string(m_port) + " " + command);
}

int PrivateCupsd::Submit(const std::string& queue, const std::string& document, const std::string& options) const {
    std::string command = "lp -d " + Quote(queue);
    std::istringstream words(options);
    std::string word;
    while (words >> word) {
        if (word.rfind("-", 0) == 0) {  // an lp flag and its value, such as -n 2
            std::string value;
            words >> value;
            command += " " + word + " " + Quote(value);
        } else {
            command += " -o " + Quote(word);
        }
    }
    CommandResult r = Client(command + " " + Quote(document));
    size_t at = r.out.find(queue + "-");
    return at == std::string::npos ? 0 : std::atoi(r.out.c_str() + at + queue.size() + 1);
}

std::string PrivateCupsd::JobState(int id) const {
    CommandResult r = Client("lpstat -W all -l -o | grep -A3 -- '-" + std::to_string(id) + " '");
    return r.out;
}

bool PrivateCupsd::WaitForJob(int id, int timeoutSeconds) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        CommandResult r = Client("lpstat -W not-completed -o");
        if (r.out.find("-" + std::to_string(id) + " ") == std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

std::string PrivateCupsd::ErrorLog() const {
    Bytes log = ReadFile(m_tree.root() + "/log/error_log");
    return std::string(log.begin(), log.end());
}

}  // namespace testing_support

#include "printerapp/CRenderChild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace {

// What is kept of the child's standard error: its message is one line.
constexpr size_t kMostError = 2048;

void CloseFd(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

}  // namespace

CRenderChild::~CRenderChild() { Finish(false); }

bool CRenderChild::Start(const std::string& program, const std::vector<std::string>& args, int seconds,
                         std::function<bool()> canceled, std::string& problem) {
    m_seconds = seconds;
    m_canceledCheck = std::move(canceled);
    // Close-on-exec: another job's child, started from another thread, gets
    // none of these.
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        problem = std::string("no pipe: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        problem = std::string("no pipe: ") + std::strerror(errno);
        close(out[0]);
        close(out[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    // The server's sockets and devices are not all close-on-exec.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // PAPPL's threads block or ignore signals the child should have.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(&name[0]);
    std::vector<std::string> copies = args;
    for (std::string& arg : copies)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&m_pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(out[1]);
    close(err[1]);
    if (spawned != 0) {
        m_pid = -1;
        close(out[0]);
        close(err[0]);
        problem = program + ": " + std::strerror(spawned);
        return false;
    }
    m_out = out[0];
    m_err = err[0];
    return true;
}

ssize_t CRenderChild::Read(unsigned char* buffer, size_t length) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point progress = Clock::now();
    while (m_out >= 0) {
        pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        const int ready = poll(fds, m_err >= 0 ? 2 : 1, 1000);
        if (ready < 0 && errno != EINTR)
            return -1;
        if (m_canceledCheck && m_canceledCheck()) {
            m_canceled = true;
            Kill();
            return -1;
        }
        if (ready <= 0) {
            if (m_seconds > 0 && Clock::now() - progress >= std::chrono::seconds(m_seconds)) {
                m_timedOut = true;
                Kill();
                return -1;
            }
            continue;
        }
        if (m_err >= 0 && fds[1].revents) {
            ReadError();
            progress = Clock::now();
        }
        if (fds[0].revents) {
            const ssize_t got = read(m_out, buffer, length);
            if (got >= 0)
                return got;
            if (errno != EINTR && errno != EAGAIN)
                return -1;
        }
    }
    return -1;
}

void CRenderChild::ReadError() {
    char chunk[512];
    const ssize_t got = read(m_err, chunk, sizeof chunk);
    if (got <= 0) {
        if (got == 0 || (errno != EINTR && errno != EAGAIN))
            CloseFd(m_err);
        return;
    }
    m_error.append(chunk, static_cast<size_t>(got));
    if (m_error.size() > kMostError)
        m_error.resize(kMostError);
}

void CRenderChild::Kill() {
    if (m_pid > 0)
        kill(m_pid, SIGKILL);
    CloseFd(m_out);
}

void CRenderChild::Finish(bool wait) {
    if (m_pid <= 0) {
        CloseFd(m_out);
        CloseFd(m_err);
        return;
    }
    if (!wait)
        kill(m_pid, SIGKILL);
    CloseFd(m_out);
    // Its last words come before its end; a killed child has none to block on.
    while (m_err >= 0)
        ReadError();
    while (waitpid(m_pid, &m_status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
}

std::string CRenderChild::Message() const {
    std::string line = m_error.substr(0, m_error.find('\n'));
    for (char& c : line)
        if (static_cast<unsigned char>(c) < ' ' || static_cast<unsigned char>(c) > '~')
            c = '?';
    return line;
}

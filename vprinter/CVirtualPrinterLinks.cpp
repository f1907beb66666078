// The links a host reaches the printer by: a TCP port (a network printer's
// port 9100), a pseudo-terminal (a serial or Bluetooth port) and a FIFO.
// Each link serves one job at a time, as the printers do.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "vprinter/CVirtualPrinterImpl.h"

namespace {

// How soon a link's thread sees the printer stopping.
constexpr int kTickMs = 50;

// Waits for `fd` to be readable; false after a tick without.
bool Readable(int fd, short* revents = nullptr) {
    pollfd p{fd, POLLIN, 0};
    const bool ready = poll(&p, 1, kTickMs) > 0;
    if (revents)
        *revents = p.revents;
    return ready && (p.revents & POLLIN);
}

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

bool CVirtualPrinter::ListenTcp(int port, std::string* error) {
    in_addr address{};
    if (inet_pton(AF_INET, m->options.listenAddress.c_str(), &address) != 1) {
        *error = "not an IPv4 address: " + m->options.listenAddress;
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m->lock);
        if (m->listenFd >= 0) {
            *error = "already listening on port " + std::to_string(m->port);
            return false;
        }
    }
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int reuse = 1, small = static_cast<int>(m->options.receiveBuffer);
    // Listening again on its port while old connections linger, or after
    // StopListening while its socket is still open.
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    // A small kernel buffer, so that the host feels the printer's own buffer
    // (and a printer that stops reading) after a few kilobytes. Set before
    // the connections' handshakes: a window shrunk afterwards stalls them.
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr = address;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t length = sizeof addr;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 8) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        *error = Errno("cannot listen on " + m->options.listenAddress + ":" + std::to_string(port));
        if (fd >= 0)
            close(fd);
        return false;
    }
    std::lock_guard<std::mutex> lock(m->lock);
    m->listenFd = fd;
    m->port = ntohs(addr.sin_port);
    if (!m->accepting)
        m->threads.emplace_back([this] { m->AcceptTcp(); });
    m->accepting = true;
    return true;
}

// Shut down, a listening socket refuses connections at once (the ones in its
// backlog are reset); it stays open, so that no new descriptor takes its
// number while AcceptTcp may still poll it.
void CVirtualPrinter::StopListening() {
    std::lock_guard<std::mutex> lock(m->lock);
    if (m->listenFd < 0)
        return;
    shutdown(m->listenFd, SHUT_RDWR);
    m->stopped.push_back(m->listenFd);
    m->listenFd = -1;
}

int CVirtualPrinter::Port() const {
    std::lock_guard<std::mutex> lock(m->lock);
    return m->port;
}

std::string CVirtualPrinter::Uri() const {
    return "socket://" + m->options.listenAddress + ":" + std::to_string(Port());
}

void CVirtualPrinter::Impl::AcceptTcp() {
    while (!stop) {
        int listening;
        {
            std::lock_guard<std::mutex> hold(lock);
            listening = listenFd;
        }
        if (listening < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
            continue;
        }
        if (!Readable(listening))
            continue;
        const int fd = accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        Link link;
        link.in = link.out = fd;
        ServeJob(link);
        close(fd);
    }
}

bool CVirtualPrinter::OpenPty(std::string* path, std::string* error) {
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0) {
        *error = Errno("cannot open a pseudo-terminal");
        if (fd >= 0)
            close(fd);
        return false;
    }
    *path = ptsname(fd);
    // Raw bytes both ways, as on a printer's serial port.
    termios raw{};
    if (tcgetattr(fd, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(fd, TCSANOW, &raw);
    }
    std::lock_guard<std::mutex> lock(m->lock);
    m->ptyFd = fd;
    m->threads.emplace_back([this] { m->ServePty(); });
    return true;
}

// A job is what comes between the host opening the terminal and closing it:
// while no one has it open, the master side reports a hang-up.
void CVirtualPrinter::Impl::ServePty() {
    while (!stop) {
        short revents = 0;
        if (!Readable(ptyFd, &revents)) {
            if (revents & POLLHUP)
                std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
            continue;
        }
        Link link;
        link.kind = Link::Kind::Pty;
        link.in = link.out = ptyFd;
        ServeJob(link);
    }
}

bool CVirtualPrinter::ServeFifo(const std::string& path, std::string* error) {
    for (const std::string& fifo : {path, path + ".out"})
        if (mkfifo(fifo.c_str(), 0600) != 0 && errno != EEXIST) {
            *error = Errno("cannot make the FIFO " + fifo);
            return false;
        }
    std::lock_guard<std::mutex> lock(m->lock);
    m->threads.emplace_back([this, path] { m->ServeFifoAt(path); });
    return true;
}

// Each time a host opens the FIFO, writes and closes it is a job. The read
// side is opened anew for each, so that the last writer's hang-up is gone.
void CVirtualPrinter::Impl::ServeFifoAt(const std::string& path) {
    // A reply to a reader that just left fails with EPIPE instead of a signal.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    while (!stop) {
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
            continue;
        }
        short revents = 0;
        while (!stop && !Readable(fd, &revents) && !(revents & POLLHUP)) {
        }
        if (!stop && (revents & POLLIN)) {
            Link link;
            link.kind = Link::Kind::Fifo;
            link.in = fd;
            link.outPath = path + ".out";
            ServeJob(link);
            if (link.out >= 0)
                close(link.out);
        }
        close(fd);
    }
}

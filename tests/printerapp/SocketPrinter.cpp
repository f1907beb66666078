#include "printerapp/SocketPrinter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace testing_support {

namespace {

// The poll period: how soon a change of behaviour or the destructor is seen.
constexpr int kTickMs = 50;

}  // namespace

SocketPrinter::SocketPrinter() {
    if (Listen(0))
        m_thread = std::thread([this] { Serve(); });
}

bool SocketPrinter::Listen(int port) {
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Accepted sockets inherit it: a stalled printer blocks its sender soon.
    const int small = 4096, reuse = 1;
    setsockopt(m_listenFd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    // Listening again on its port while old connections linger.
    setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t len = sizeof addr;
    if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_listenFd, 4) != 0 ||
        getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_port = ntohs(addr.sin_port);
    return true;
}

SocketPrinter::~SocketPrinter() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listenFd >= 0)
        close(m_listenFd);
}

void SocketPrinter::Set(const Behaviour& behaviour) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_behaviour = behaviour;
}

size_t SocketPrinter::Received() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_received;
}

int SocketPrinter::FinishedConnections() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_finished;
}

std::vector<Bytes> SocketPrinter::Connections() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_connections;
}

Bytes SocketPrinter::LastConnection() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_last;
}

void SocketPrinter::Serve() {
    while (!m_stop) {
        bool refuse;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            refuse = m_behaviour.mode == Mode::Refuse;
        }
        if (refuse && m_listenFd >= 0) {
            close(m_listenFd);
            m_listenFd = -1;
        } else if (!refuse && m_listenFd < 0) {
            Listen(m_port);
        }
        if (m_listenFd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
            continue;
        }
        pollfd listening{m_listenFd, POLLIN, 0};
        if (poll(&listening, 1, kTickMs) < 1)
            continue;
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_connections.emplace_back();
        }
        const bool going = ServeConnection(fd);
        std::lock_guard<std::mutex> lock(m_lock);
        m_finished++;
        m_last.swap(m_current);
        m_current.clear();
        if (!going)
            return;
    }
}

bool SocketPrinter::ServeConnection(int fd) {
    size_t connectionBytes = 0;
    uint8_t buffer[65536];
    for (;;) {
        if (m_stop) {
            close(fd);
            return false;
        }
        Behaviour now;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            now = m_behaviour;
        }
        size_t allowed = sizeof buffer;
        if (now.mode == Mode::Slow)
            allowed = std::max<size_t>(1, now.bytesPerSecond * kTickMs / 1000);
        else if (now.mode != Mode::Fast)
            allowed = now.after > connectionBytes ? std::min(allowed, now.after - connectionBytes) : 0;
        if (allowed == 0 && now.mode == Mode::Reset) {
            const linger abortive{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            close(fd);
            return true;
        }
        // A stalled printer still notices its sender hanging up.
        pollfd peer{fd, static_cast<short>(allowed ? POLLIN : POLLRDHUP), 0};
        if (poll(&peer, 1, kTickMs) < 1)
            continue;
        if (allowed == 0) {
            close(fd);
            return true;
        }
        const ssize_t n = read(fd, buffer, allowed);
        if (n <= 0) {
            close(fd);
            return true;
        }
        connectionBytes += static_cast<size_t>(n);
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_received += static_cast<size_t>(n);
            m_current.insert(m_current.end(), buffer, buffer + n);
            m_connections.back().insert(m_connections.back().end(), buffer, buffer + n);
        }
        if (now.mode == Mode::Slow)
            std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
    }
}

}  // namespace testing_support

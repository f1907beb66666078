#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/TestFiles.h"

namespace testing_support {

// A raw-socket printer (socket://127.0.0.1:PORT) on a loopback port, served
// by its own thread: one connection at a time, as a label printer's port 9100
// does. Its small receive buffer makes a printer that stops reading felt by
// the sender after a few tens of KB.
class SocketPrinter {
public:
    enum class Mode {
        Fast,    // reads everything at once
        Slow,    // reads `bytesPerSecond`
        Stall,   // reads `after` bytes of each connection, then nothing more
        Reset,   // reads `after` bytes of each connection, then resets it
        Refuse,  // not listening: connections are refused
    };
    struct Behaviour {
        Mode mode = Mode::Fast;
        size_t after = 0;
        size_t bytesPerSecond = 20000;
    };

    SocketPrinter();  // listening at once; Port() is 0 if it cannot
    ~SocketPrinter();
    SocketPrinter(const SocketPrinter&) = delete;
    SocketPrinter& operator=(const SocketPrinter&) = delete;

    int Port() const { return m_port; }
    std::string Uri() const { return "socket://127.0.0.1:" + std::to_string(m_port); }
    // Applies from the next byte read, to the current connection too.
    void Set(const Behaviour& behaviour);

    // Bytes received over every connection so far, and the connections
    // that have ended (the sender closed them, or Reset did).
    size_t Received() const;
    int FinishedConnections() const;
    // What the last finished connection brought (one job, in PAPPL's
    // usual use of one connection per job).
    Bytes LastConnection() const;
    // What every connection brought, in order, the current one last.
    std::vector<Bytes> Connections() const;

private:
    void Serve();
    bool Listen(int port);         // on `port`, 0: any
    bool ServeConnection(int fd);  // false when the printer is being destroyed

    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    Behaviour m_behaviour;
    size_t m_received = 0;
    int m_finished = 0;
    Bytes m_current, m_last;
    std::vector<Bytes> m_connections;
    std::thread m_thread;
};

}  // namespace testing_support

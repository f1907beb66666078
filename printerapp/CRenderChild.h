#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

// A program that renders a job's pages in a process of its own: its
// standard output read through Read, its standard error kept (a line of
// why it failed), nothing else of the server's open to it. A child that
// sends nothing for the given seconds, or whose job is cancelled, is
// killed; the destructor kills and reaps one still running, so that no
// process or descriptor outlives the job.
class CRenderChild {
public:
    CRenderChild() = default;
    ~CRenderChild();
    CRenderChild(const CRenderChild&) = delete;
    CRenderChild& operator=(const CRenderChild&) = delete;

    // Starts `program` with `args` (argv[1] on); false, with `problem` set,
    // when it cannot be started. `canceled` is asked about once a second.
    bool Start(const std::string& program, const std::vector<std::string>& args, int seconds,
               std::function<bool()> canceled, std::string& problem);
    // Reads up to `length` bytes of the child's output: 0 at its end, -1
    // once it was killed (TimedOut, Canceled) or the read failed.
    ssize_t Read(unsigned char* buffer, size_t length);
    // Waits for the child to end (killing it first unless `wait`) and keeps
    // its exit status; idempotent.
    void Finish(bool wait);

    bool TimedOut() const { return m_timedOut; }
    bool Canceled() const { return m_canceled; }
    // After Finish: the child's wait status, and its standard error's first
    // line (trimmed).
    int Status() const { return m_status; }
    std::string Message() const;

private:
    void ReadError();
    void Kill();

    pid_t m_pid = -1;
    int m_out = -1, m_err = -1;
    int m_seconds = 0;
    std::function<bool()> m_canceledCheck;
    bool m_timedOut = false, m_canceled = false;
    int m_status = 0;
    std::string m_error;
};

#include "support/FilterRun.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "support/ChildCommand.h"

namespace testing_support {

std::vector<std::string> FilterResult::ErrLines() const {
    std::vector<std::string> lines;
    std::istringstream in(err);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> FilterResult::ErrLines(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const std::string& line : ErrLines())
        if (line.compare(0, prefix.size(), prefix) == 0)
            lines.push_back(line);
    return lines;
}

FilterJob MakeJob(const std::string& ppdPath, const std::string& options) {
    FilterJob job;
    job.args = {"1", "tester", "title", "1", options};
    job.ppdPath = ppdPath;
    return job;
}

FilterProcess::FilterProcess(const FilterJob& job) {
    signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err))
        throw std::runtime_error("pipe failed");
    std::vector<std::string> args = job.args;
    if (!job.rasterFile.empty())
        args.push_back(job.rasterFile);
    const ChildCommand command(job.program, args,
                               {job.ppdPath.empty() ? "PPD" : "PPD=" + job.ppdPath, "LANG=C", "LC_ALL", "LC_MESSAGES"},
                               "quorvant");
    const rlimit limit = {job.dataLimit, job.dataLimit};
    m_pid = fork();
    if (m_pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        if (!job.outputPath.empty()) {
            int file = open(job.outputPath.c_str(), O_WRONLY);
            dup2(file, 1);
            close(file);
        }
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            close(fd);
        if (job.dataLimit)
            setrlimit(RLIMIT_DATA, &limit);
        command.Exec();
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    m_in = in[1];
    m_out = out[0];
    if (job.closeOutput) {
        close(m_out);
        m_out = -1;
    }
    m_errFd = err[0];
    fcntl(m_in, F_SETFL, O_NONBLOCK);
    fcntl(m_out, F_SETFL, O_NONBLOCK);
    fcntl(m_errFd, F_SETFL, O_NONBLOCK);
}

FilterProcess::~FilterProcess() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        Wait();
    }
}

void FilterProcess::Pump(int timeoutMs) {
    pollfd fds[2] = {{m_out, POLLIN, 0}, {m_errFd, POLLIN, 0}};
    int nfds = 0;
    pollfd active[2];
    for (pollfd& p : fds)
        if (p.fd >= 0)
            active[nfds++] = p;
    if (nfds == 0 || poll(active, static_cast<nfds_t>(nfds), timeoutMs) <= 0)
        return;
    char chunk[65536];
    for (int i = 0; i < nfds; i++) {
        if (!(active[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        ssize_t n = read(active[i].fd, chunk, sizeof chunk);
        if (n > 0) {
            if (active[i].fd == m_out)
                m_result.out.insert(m_result.out.end(), chunk, chunk + n);
            else
                m_result.err.append(chunk, static_cast<size_t>(n));
        } else if (n == 0) {
            close(active[i].fd);
            (active[i].fd == m_out ? m_out : m_errFd) = -1;
        }
    }
}

void FilterProcess::Write(const Bytes& data) {
    size_t done = 0;
    while (done < data.size()) {
        pollfd p = {m_in, POLLOUT, 0};
        if (poll(&p, 1, 10) > 0) {
            ssize_t n = write(m_in, data.data() + done, data.size() - done);
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN)
                    continue;
                return;  // the filter stopped reading
            }
            done += static_cast<size_t>(n);
        }
        Pump(0);
    }
}

void FilterProcess::CloseInput() {
    if (m_in >= 0)
        close(m_in);
    m_in = -1;
}

void FilterProcess::Signal(int sig) { kill(m_pid, sig); }

bool FilterProcess::WaitForErr(const std::string& text, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (m_result.err.find(text) != std::string::npos)
            return true;
        Pump(10);
    }
    return m_result.err.find(text) != std::string::npos;
}

FilterResult FilterProcess::Wait() {
    CloseInput();
    while (m_out >= 0 || m_errFd >= 0)
        Pump(1000);
    if (m_pid > 0) {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        m_pid = -1;
    }
    return m_result;
}

FilterResult RunFilter(const FilterJob& job) {
    FilterProcess process(job);
    process.Write(job.input);
    return process.Wait();
}

}  // namespace testing_support

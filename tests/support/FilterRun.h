#pragma once

#include <string>
#include <vector>

#include "support/TestFiles.h"

namespace testing_support {

struct FilterResult {
    Bytes out;
    std::string err;
    int status = -1;  // exit status, or 128 + signal

    std::vector<std::string> ErrLines() const;
    // The status lines with the given prefix ("ERROR: ", "PAGE: " ...).
    std::vector<std::string> ErrLines(const std::string& prefix) const;
};

// The built quorvant filter, run as CUPS runs it.
struct FilterJob {
    std::vector<std::string> args;       // argv[1..]; default: job 1, user, title, 1 copy, options
    std::string ppdPath;                 // PPD environment value; empty: unset
    std::string rasterFile;              // appended as argv[6] when not empty
    Bytes input;                         // standard input
    std::string outputPath;              // standard output opened from this path instead of a pipe
    bool closeOutput = false;            // the reader of standard output has gone before the filter writes
    unsigned long long dataLimit = 0;    // RLIMIT_DATA of the filter in bytes; 0: inherited
    std::string program = QUORVANT_BIN;  // the filter program run
};

FilterJob MakeJob(const std::string& ppdPath, const std::string& options = "");
FilterResult RunFilter(const FilterJob& job);

// A filter whose standard input the test feeds piece by piece.
class FilterProcess {
public:
    explicit FilterProcess(const FilterJob& job);
    ~FilterProcess();
    void Write(const Bytes& data);
    void CloseInput();
    void Signal(int sig);
    // Waits until standard error has shown `text` (or the timeout passes).
    bool WaitForErr(const std::string& text, int timeoutMs);
    FilterResult Wait();

private:
    void Pump(int timeoutMs);

    int m_pid = -1;
    int m_in = -1, m_out = -1, m_errFd = -1;
    FilterResult m_result;
};

}  // namespace testing_support

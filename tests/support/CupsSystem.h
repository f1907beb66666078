#pragma once

#include <string>
#include <vector>

#include "support/FilterRun.h"
#include "support/TestFiles.h"

namespace testing_support {

// Output and exit status of a command run through the shell.
struct CommandResult {
    int status = -1;
    std::string out;  // standard output and standard error together
};
CommandResult RunCommand(const std::string& command);
bool HaveProgram(const std::string& name);

// A loopback port free at the time of asking, and whether something listens on one.
int FreePort();
bool Listening(int port);

// A CUPS server-bin tree in a temporary directory: the system's filters,
// backends and daemon helpers, plus the freshly built quorvant filter, and a
// data directory whose model/ holds the project's PPDs (so that cups-driverd
// lists them). Readable by the lp user that runs filters under cupsd.
class CupsTree {
public:
    CupsTree();
    const std::string& root() const { return m_dir.path(); }
    std::string ServerBin() const { return root() + "/serverbin"; }
    std::string DataDir() const { return root() + "/data"; }
    std::string FilesConf() const { return root() + "/etc/cups-files.conf"; }
    std::string File(const std::string& name) const { return m_dir.File(name); }

private:
    TempDir m_dir;
};

// The built PPD of one family (qvtspl.ppd ...), or empty when ppdc was missing.
std::string BuiltPpd(const std::string& name);
// The PPD file names of the drivers and then of the known printers, which
// the build makes from the driver file.
std::vector<std::string> ShippedPpds();

// Runs the whole CUPS filter chain for a document without a scheduler.
// `options` are job options (-o), and cupsfilter's flags with their values
// ("-n 2").
FilterResult RunCupsfilter(const CupsTree& tree, const std::string& ppd, const std::string& document,
                           const std::string& options = "");

// A scheduler of the test's own on a loopback port, with every file it
// writes inside its tree. Stopped when the object dies.
class PrivateCupsd {
public:
    explicit PrivateCupsd(const CupsTree& tree);
    ~PrivateCupsd();
    // Empty when running, else why the scheduler could not start.
    const std::string& failure() const { return m_failure; }
    // lp, lpadmin, lpstat ... against this scheduler.
    CommandResult Client(const std::string& command) const;
    // Submits a job; returns its id, or 0.
    int Submit(const std::string& queue, const std::string& document, const std::string& options) const;
    // Waits until the job has left the queue; false on timeout.
    bool WaitForJob(int id, int timeoutSeconds) const;
    std::string JobState(int id) const;
    std::string ErrorLog() const;
    std::string OutputDir() const { return m_tree.root() + "/out"; }

private:
    const CupsTree& m_tree;
    int m_port = 0;
    int m_pid = -1;
    std::string m_failure;
};

}  // namespace testing_support

#pragma once

#include <cstdio>
#include <string>

#include "vprinter/CVirtualPrinter.h"

// The quorvant-virtual-printer program: reads its options, serves the links
// they name, prints one line per link saying where it listens, and runs
// until SIGINT or SIGTERM. "control PATH LINE" instead sends one control
// line to a running printer's control socket and prints the answer.
// Exit status: 0 after a signal (or an answer other than "error: ..."), 1
// when a link cannot be opened (or the control line failed), 2 for a usage
// error.
class CVirtualPrinterTool {
public:
    CVirtualPrinterTool(std::FILE* out, std::FILE* err) : m_pOut(out), m_pErr(err) {}

    int Run(int argc, char** argv);

private:
    bool ParseArguments(int argc, char** argv);
    int Usage();
    int SendControl(const std::string& path, const std::string& line);
    int Serve();

    std::FILE* m_pOut;
    std::FILE* m_pErr;
    CVirtualPrinter::Options m_Options;
    int m_iPort = -1;  // -1: the default port, unless another link is named
    bool m_bPty = false, m_bHelp = false;
    std::string m_strFifo, m_strControl;
};

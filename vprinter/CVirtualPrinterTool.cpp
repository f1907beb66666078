#include "vprinter/CVirtualPrinterTool.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "preview/PreviewLanguages.h"

namespace {

const char* kName = "quorvant-virtual-printer";

using Options = CVirtualPrinter::Options;

// The numeric options: each one's range and the field it sets.
struct Number {
    const char* option;
    double min, max;
    bool whole;
    void (*set)(Options& o, int& port, double value);
};

const Number kNumbers[] = {
    {"--port", 0, 65535, true, [](Options&, int& port, double v) { port = static_cast<int>(v); }},
    {"--head-dots", 0, 65535, true, [](Options& o, int&, double v) { o.headDots = static_cast<int>(v); }},
    {"--dpi", 1, 10000, true, [](Options& o, int&, double v) { o.dpi = static_cast<int>(v); }},
    {"--paper-out-after", 0, 1e9, true,
     [](Options& o, int&, double v) { o.paperOutAfterLabels = static_cast<int>(v); }},
    {"--paper-out-after-mm", 0, 1e9, false, [](Options& o, int&, double v) { o.paperOutAfterMm = v; }},
    {"--ms-per-label", 0, 600000, true, [](Options& o, int&, double v) { o.msPerLabel = static_cast<int>(v); }},
    {"--rate", 0, 1e9, true, [](Options& o, int&, double v) { o.bytesPerSecond = static_cast<size_t>(v); }},
    {"--buffer", 1, 1 << 30, true, [](Options& o, int&, double v) { o.inputBuffer = static_cast<size_t>(v); }},
    {"--stop-reading-after", 1, 1e12, true,
     [](Options& o, int&, double v) { o.stopReadingAfter = static_cast<size_t>(v); }},
    {"--reset-after", 1, 1e12, true, [](Options& o, int&, double v) { o.resetAfter = static_cast<size_t>(v); }},
};

}  // namespace

int CVirtualPrinterTool::Usage() {
    std::fprintf(m_bHelp ? m_pOut : m_pErr,
                 "Usage: %s [--lang %s] [--head-dots N] [--dpi N] [--out DIR]\n"
                 "         [--port N] [--listen ADDR] [--pty] [--fifo PATH] [--control PATH]\n"
                 "         [--paper-out-after N | --paper-out-after-mm N] [--set COND[,COND]] [--ms-per-label N]\n"
                 "         [--rate BYTES_PER_S] [--buffer N] [--drop-overflow] [--stop-reading-after N]\n"
                 "         [--reset-after N] [--silent] [--ignore-query NAME]...\n"
                 "       %s control PATH LINE\n"
                 "A thermal printer in software: decodes every job, writes its pages to DIR as PNG files and\n"
                 "printed.log, answers status queries (but those named by --ignore-query, such as \"ESC i\", as a\n"
                 "model that lacks them) and simulates faults. Serves TCP on 127.0.0.1:9100 unless told\n"
                 "otherwise; runs until SIGINT or SIGTERM. \"control\" sends one control line (set, clear,\n"
                 "load-paper, silent on|off, rate N, stop-reading-after N, reset-after N, state, printed) to a\n"
                 "running printer's --control socket.\n",
                 kName, PreviewLanguages::Joined(PreviewLanguages::Names(), "|", "|").c_str(), kName);
    return m_bHelp ? 0 : 2;
}

bool CVirtualPrinterTool::ParseArguments(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            m_bHelp = true;
            return false;
        }
        if (arg == "--pty" || arg == "--drop-overflow" || arg == "--silent") {
            (arg == "--pty" ? m_bPty : arg == "--silent" ? m_Options.silent : m_Options.dropOverflow) = true;
            continue;
        }
        const Number* number = nullptr;
        for (const Number& n : kNumbers)
            if (arg == n.option)
                number = &n;
        const bool text = arg == "--lang" || arg == "--out" || arg == "--listen" || arg == "--fifo" ||
                          arg == "--control" || arg == "--set" || arg == "--ignore-query";
        if (!number && !text) {
            std::fprintf(m_pErr, "%s: unexpected argument \"%s\"\n", kName, arg.c_str());
            return false;
        }
        if (i + 1 >= argc) {
            std::fprintf(m_pErr, "%s: %s needs a value\n", kName, arg.c_str());
            return false;
        }
        const std::string value = argv[++i];
        if (number) {
            char* end = nullptr;
            const double v = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || v < number->min || v > number->max ||
                (number->whole && v != static_cast<double>(static_cast<long long>(v)))) {
                std::fprintf(m_pErr, "%s: %s needs a %s of %g to %g, not \"%s\"\n", kName, arg.c_str(),
                             number->whole ? "whole number" : "number", number->min, number->max, value.c_str());
                return false;
            }
            number->set(m_Options, m_iPort, v);
        } else if (arg == "--lang") {
            if (!PreviewLanguages::Create(value)) {
                std::fprintf(m_pErr, "%s: unknown language \"%s\" (languages: %s)\n", kName, value.c_str(),
                             PreviewLanguages::Joined(PreviewLanguages::Names(), ", ", ", ").c_str());
                return false;
            }
            m_Options.language = value;
        } else if (arg == "--set") {
            StatusProtocol::Conditions conditions = 0;
            std::string error;
            if (!CVirtualPrinter::ParseConditions(value, &conditions, &error)) {
                std::fprintf(m_pErr, "%s: --set: %s\n", kName, error.c_str());
                return false;
            }
            m_Options.conditions |= conditions;
        } else if (arg == "--ignore-query") {
            m_Options.ignoredQueries.push_back(value);
        } else {
            (arg == "--out"      ? m_Options.outDir
             : arg == "--listen" ? m_Options.listenAddress
             : arg == "--fifo"   ? m_strFifo
                                 : m_strControl) = value;
        }
    }
    // Checked once the language is known, whatever the order.
    for (const std::string& query : m_Options.ignoredQueries) {
        std::string error;
        if (!CVirtualPrinter::KnowsQuery(m_Options.language, query, &error)) {
            std::fprintf(m_pErr, "%s: --ignore-query: %s\n", kName, error.c_str());
            return false;
        }
    }
    return true;
}

int CVirtualPrinterTool::SendControl(const std::string& path, const std::string& line) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(m_pErr, "%s: cannot reach %s: %s\n", kName, path.c_str(), std::strerror(errno));
        if (fd >= 0)
            close(fd);
        return 1;
    }
    const std::string request = line + "\n";
    std::string answer;
    char c;
    pollfd p{fd, POLLIN, 0};
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size()))
        while (poll(&p, 1, 5000) > 0 && read(fd, &c, 1) == 1 && c != '\n')
            answer += c;
    close(fd);
    std::fprintf(m_pOut, "%s\n", answer.c_str());
    return answer.empty() || answer.compare(0, 6, "error:") == 0 ? 1 : 0;
}

int CVirtualPrinterTool::Serve() {
    // The threads the printer starts inherit the mask, so that the signals
    // reach this one as it waits for them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);  // a FIFO's reader gone: the reply is lost, not the printer
    m_Options.log = m_pOut;
    CVirtualPrinter printer(m_Options);
    std::string error, where;
    const std::string language = m_Options.language;
    const bool tcp = m_iPort >= 0 || (!m_bPty && m_strFifo.empty());
    bool ok = true;
    if (ok && tcp && (ok = printer.ListenTcp(m_iPort >= 0 ? m_iPort : 9100, &error)))
        std::fprintf(m_pOut, "%s: %s printer at %s\n", kName, language.c_str(), printer.Uri().c_str());
    if (ok && m_bPty && (ok = printer.OpenPty(&where, &error)))
        std::fprintf(m_pOut, "%s: %s printer at %s\n", kName, language.c_str(), where.c_str());
    if (ok && !m_strFifo.empty() && (ok = printer.ServeFifo(m_strFifo, &error)))
        std::fprintf(m_pOut, "%s: %s printer at FIFO %s (replies in %s.out)\n", kName, language.c_str(),
                     m_strFifo.c_str(), m_strFifo.c_str());
    if (ok && !m_strControl.empty() && (ok = printer.ServeControl(m_strControl, &error)))
        std::fprintf(m_pOut, "%s: control socket at %s\n", kName, m_strControl.c_str());
    std::fflush(m_pOut);
    if (!ok) {
        std::fprintf(m_pErr, "%s: %s\n", kName, error.c_str());
        return 1;
    }
    int signal = 0;
    sigwait(&signals, &signal);
    return 0;
}

int CVirtualPrinterTool::Run(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "control") == 0) {
        if (argc != 4) {
            std::fprintf(m_pErr, "%s: control needs a socket path and one line\n", kName);
            return Usage();
        }
        return SendControl(argv[2], argv[3]);
    }
    if (!ParseArguments(argc, argv))
        return Usage();
    return Serve();
}

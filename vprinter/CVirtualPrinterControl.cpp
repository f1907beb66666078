// The control lines that change the printer while it runs, and the Unix
// socket that takes them: one line in, one line out.

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>

#include "vprinter/CVirtualPrinterImpl.h"

using namespace StatusProtocol;

bool CVirtualPrinter::ParseConditions(const std::string& list, Conditions* conditions, std::string* error) {
    *conditions = 0;
    std::stringstream words(list);
    std::string word;
    while (std::getline(words, word, ','))
        if (const Conditions c = FromName(word)) {
            *conditions |= c;
        } else {
            *error = "unknown condition \"" + word + "\"";
            return false;
        }
    if (*conditions == 0)
        *error = "no condition named";
    return *conditions != 0;
}

bool CVirtualPrinter::KnowsQuery(const std::string& language, const std::string& query, std::string* error) {
    const Protocol* protocol = ForLanguage(language);
    std::string names;
    for (size_t i = 0; protocol && i < protocol->queries.size(); i++) {
        if (protocol->NameOf(i) == query)
            return true;
        names += (names.empty() ? "" : ", ") + protocol->NameOf(i);
    }
    *error = "the " + language + " printer has no status query \"" + query + "\"" +
             (names.empty() ? std::string(" (it answers none)") : " (queries: " + names + ")");
    return false;
}

std::string CVirtualPrinter::Control(const std::string& line) {
    std::stringstream in(line);
    std::string verb, argument, extra;
    in >> verb >> argument >> extra;
    if (!extra.empty())
        return "error: one argument at most: " + line;
    if (verb == "set" || verb == "clear") {
        Conditions conditions = 0;
        std::string error;
        if (!ParseConditions(argument, &conditions, &error))
            return "error: " + error;
        verb == "set" ? Set(conditions) : Set(0, conditions);
        return "ok";
    }
    if (verb == "load-paper" && argument.empty()) {
        LoadPaper();
        return "ok";
    }
    if (verb == "silent" && (argument == "on" || argument == "off")) {
        SetSilent(argument == "on");
        return "ok";
    }
    // The link's settings, 0 for none, as the options take them.
    using Setter = void (CVirtualPrinter::*)(size_t);
    const std::pair<const char*, Setter> links[] = {{"rate", &CVirtualPrinter::SetRate},
                                                    {"stop-reading-after", &CVirtualPrinter::SetStopReadingAfter},
                                                    {"reset-after", &CVirtualPrinter::SetResetAfter}};
    for (const auto& link : links)
        if (verb == link.first) {
            char* end = nullptr;
            const unsigned long long n = std::strtoull(argument.c_str(), &end, 10);
            if (argument.empty() || !std::isdigit(static_cast<unsigned char>(argument[0])) || *end)
                return "error: " + verb + " takes a number of bytes, not \"" + argument + "\"";
            (this->*link.second)(static_cast<size_t>(n));
            return "ok";
        }
    if (verb == "state" && argument.empty())
        return Describe(State());
    if (verb == "printed" && argument.empty())
        return std::to_string(PrintedPages().size());
    return "error: expected set COND[,COND], clear COND[,COND], load-paper, silent on|off, rate N, "
           "stop-reading-after N, reset-after N, state or printed, not \"" +
           line + "\"";
}

bool CVirtualPrinter::ServeControl(const std::string& path, std::string* error) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        *error = "control socket path too long: " + path;
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    unlink(path.c_str());  // a socket left by an earlier run
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 4) != 0) {
        *error = "cannot listen on " + path + ": " + std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return false;
    }
    std::lock_guard<std::mutex> lock(m->lock);
    m->controlFd = fd;
    m->controlPath = path;
    m->threads.emplace_back([this] {
        while (!m->stop) {
            pollfd p{m->controlFd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            const int client = accept4(m->controlFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            // One line, within a second; a client that says nothing is dropped.
            std::string line;
            char c;
            pollfd q{client, POLLIN, 0};
            while (line.size() < 256 && poll(&q, 1, 1000) > 0 && read(client, &c, 1) == 1 && c != '\n')
                line += c;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const std::string answer = Control(line) + "\n";
            const ssize_t n = send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
            (void)n;
            close(client);
        }
    });
    return true;
}

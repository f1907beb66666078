#include "filter/StatusCheck.h"

#include <cups/sidechannel.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "families/Families.h"
#include "filter/CCupsInstance.h"
#include "filter/CCupsRender.h"
#include "filter/CupsLang.h"

namespace {

using namespace StatusProtocol;

// The queries travel with the job on standard output; the replies come back
// on the back channel.
class BackChannel : public Link {
public:
    bool Write(const uint8_t* data, size_t size) override {
        return CupsHost::WriteSpool(data, static_cast<int>(size)) == static_cast<int>(size);
    }
    long Read(uint8_t* data, size_t size, int timeoutMs) override {
        const ssize_t n = cupsBackChannelRead(reinterpret_cast<char*>(data), size, timeoutMs / 1000.0);
        if (n >= 0)
            return static_cast<long>(n);
        return errno == EBADF || errno == EIO ? -1 : 0;
    }
};

// CUPS gives a filter its side channel as a socket on descriptor 4; a filter
// run without a backend (cupsfilter, a test) has none, or something else there.
bool HasSideChannel() {
    struct stat st;
    return fstat(CUPS_SC_FD, &st) == 0 && S_ISSOCK(st.st_mode);
}

// What CUPS calls a condition: its reason keyword with a severity.
std::string CupsReason(Condition condition) {
    const char* ipp = IppReason(condition);
    if (!ipp || condition == kPaperLow)
        return ipp ? std::string(ipp) + "-report" : std::string();
    if (condition == kOffline || condition == kPaused)
        return "offline-report";
    return std::string(ipp) + "-error";
}

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        items.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

bool Contains(const std::vector<std::string>& items, const std::string& item) {
    for (const std::string& i : items)
        if (i == item)
            return true;
    return false;
}

void Pause(int ms) {
    // SIGTERM interrupts the sleep, so that a cancel is seen at once.
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

}  // namespace

std::string CStatusCheck::RestFile() {
    const char* dir = getenv("TMPDIR");
    const char* printer = getenv("PRINTER");
    std::string name = printer && *printer ? printer : "default";
    for (char& c : name)
        if (c == '/')
            c = '_';
    return std::string(dir && *dir ? dir : "/tmp") + "/quorvant-status-rest-" + name;
}

void CStatusCheck::Start(const CBaseRender& render, int modelNumber) {
    m_protocol = m_candidate = nullptr;
    m_asked = false;
    m_dropped = 0;
    const Families::Info* family = Families::Find(modelNumber);
    const Protocol* protocol = family ? ForLanguage(family->language) : nullptr;
    // Only CUPS's socket and usb backends relay the printer's replies; a
    // file: queue has no backend at all.
    const char* uri = getenv("DEVICE_URI");
    const bool relaying = uri && (std::strncmp(uri, "socket:", 7) == 0 || std::strncmp(uri, "usb:", 4) == 0);
    if (!render.m_Extension.bStatusCheck || !protocol || !relaying || !HasSideChannel())
        return;
    struct stat st;
    if (stat(RestFile().c_str(), &st) == 0 && std::time(nullptr) - st.st_mtime < kRestSeconds) {
        syslog(LOG_DEBUG, "printer status: not asked, the printer left a query unanswered lately");
        return;
    }
    m_candidate = protocol;
}

bool CStatusCheck::Relayed() {
    if (m_protocol || !m_candidate || m_asked || CupsHost::BytesWritten() == 0)
        return m_protocol != nullptr;
    m_asked = true;
    // The socket backend connects once the first data arrives (after its
    // SNMP look-up, which can take seconds) and relays replies only once
    // connected: it is asked once the job's first bytes have left.
    char none[1];
    int length = 0;
    bool relayed =
        cupsSideChannelDoRequest(CUPS_SC_CMD_DRAIN_OUTPUT, none, &length, kFinishSeconds) == CUPS_SC_STATUS_OK;
    char bidi = 0;
    length = 1;
    relayed = relayed && cupsSideChannelDoRequest(CUPS_SC_CMD_GET_BIDI, &bidi, &length, 1.0) == CUPS_SC_STATUS_OK &&
              length == 1 && bidi == CUPS_SC_BIDI_SUPPORTED;
    if (!relayed) {
        syslog(LOG_DEBUG, "printer status: the backend relays no replies");
        return false;
    }
    m_protocol = m_candidate;
    return true;
}

StatusProtocol::Report CStatusCheck::Round() {
    // The queries must reach the printer, not wait behind the page in the
    // backend, before their short timeout runs.
    char none[1];
    int length = 0;
    if (cupsSideChannelDoRequest(CUPS_SC_CMD_DRAIN_OUTPUT, none, &length, kFinishSeconds) != CUPS_SC_STATUS_OK) {
        Report busy;
        busy.answered = true;  // not the printer's silence: still taking data
        busy.conditions = kPrinting;
        return busy;
    }
    BackChannel link;
    const Report report = Ask(*m_protocol, link, kReplyTimeoutMs, m_dropped);
    Drop(report);
    return report;
}

void CStatusCheck::Drop(const Report& report) {
    const QuerySet unanswerable = Unanswerable(report);
    if (!unanswerable)
        return;
    m_dropped |= unanswerable;
    const std::string names = m_protocol->Names(unanswerable);
    syslog(LOG_WARNING, "printer status: no reply to %s within %d ms; not asked again in this job", names.c_str(),
           kReplyTimeoutMs);
    fprintf(stderr, "DEBUG: The printer did not answer the status query %s; it is not asked again in this job.\n",
            names.c_str());
}

void CStatusCheck::GiveUp() {
    syslog(LOG_WARNING, "printer status: no reply within %d ms; not asked again for %d s", kReplyTimeoutMs,
           kRestSeconds);
    fprintf(stderr, "DEBUG: The printer did not answer a status query; printing without status.\n");
    if (FILE* f = fopen(RestFile().c_str(), "w"))
        fclose(f);
    m_protocol = nullptr;
}

void CStatusCheck::Show(const Report& report) {
    std::vector<std::string> now;
    for (Condition c : AllConditions()) {
        if (!(report.conditions & c))
            continue;
        const std::string reason = CupsReason(c);
        if (!reason.empty() && !Contains(now, reason))
            now.push_back(reason);
    }
    const std::vector<std::string> before = Split(m_shown);
    std::string added, removed, shown;
    for (const std::string& r : now) {
        added += Contains(before, r) ? "" : (added.empty() ? "" : ",") + r;
        shown += (shown.empty() ? "" : ",") + r;
    }
    for (const std::string& r : before)
        if (!Contains(now, r))
            removed += (removed.empty() ? "" : ",") + r;
    if (!added.empty())
        fprintf(stderr, "STATE: +%s\n", added.c_str());
    if (!removed.empty())
        fprintf(stderr, "STATE: -%s\n", removed.c_str());
    m_shown = shown;

    const bool stopped = report.conditions & kStopsPrinting;
    if (stopped && (!m_waiting || !added.empty())) {
        std::string words;
        for (Condition c : AllConditions())
            if (report.conditions & c & kStopsPrinting)
                words += (words.empty() ? "" : ", ") + std::string(Words(c));
        _cupsLangPrintFilter(stderr, "INFO", "Waiting for the printer (%s); printing resumes when it is ready.",
                             words.c_str());
        syslog(LOG_INFO, "printer status: %s; waiting", Describe(report.conditions).c_str());
    } else if (!stopped && m_waiting) {
        _cupsLangPrintFilter(stderr, "INFO", "The printer is ready again; printing resumes.");
        syslog(LOG_INFO, "printer status: ready again");
    }
    m_waiting = stopped;
}

void CStatusCheck::Check(bool atEnd, int labels) {
    // A printer that takes no more data gets no query either.
    if (Canceled || CupsHost::OutputFailed() || !Relayed())
        return;
    Report report = Round();
    if (!report.answered) {
        GiveUp();
        return;
    }
    const int bound = kFinishSeconds + kFinishSecondsPerPage * std::max(labels, Page);
    const auto finishBy = std::chrono::steady_clock::now() + std::chrono::seconds(bound);
    for (;;) {
        Show(report);
        const bool stopped = report.conditions & kStopsPrinting;
        const bool busy = atEnd && (report.conditions & kPrinting);
        if (Canceled || (!stopped && !busy))
            return;
        if (!stopped && std::chrono::steady_clock::now() > finishBy) {
            syslog(LOG_WARNING, "printer status: still printing after %d s; the job ends", bound);
            return;
        }
        Pause(kPollMs);
        if (Canceled)
            return;
        const Report next = Round();
        // Some printers answer nothing while the paper or the ribbon is
        // out: silence while waiting keeps what was last told.
        if (next.answered)
            report = next;
    }
}

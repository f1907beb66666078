#include "printerapp/StatusWatch.h"

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "families/Families.h"
#include "printerapp/CDeviceLink.h"
#include "printerapp/FileDevice.h"
#include "printerapp/PrinterStatus.h"

namespace StatusWatch {

namespace {

using Clock = std::chrono::steady_clock;
using StatusProtocol::kPrinting;
using StatusProtocol::kStopsPrinting;
using StatusProtocol::Report;

// Between two looks for a cancel while waiting, and between two rounds
// while the printer finishes printing.
constexpr int kSliceMs = 100;
constexpr int kPrintingPollMs = 250;

// What the application remembers of a printer between rounds, by printer
// id: the job thread and the IPP clients' threads ask in turn. A query the
// printer left unanswered is not asked again while the application serves
// that printer: PAPPL fixes a printer's device and driver when it is added,
// so a printer set up anew (another id) is asked everything. So is one that
// went silent, once its rest is over: it may have been switched off and on,
// or another printer may stand at its address.
struct Memory {
    bool answered = false;  // its last round was answered
    Clock::time_point restUntil{};
    bool silenceLogged = false;
    StatusProtocol::QuerySet dropped = 0;
};
std::mutex g_Lock;
std::map<int, Memory> g_Memory;

const StatusProtocol::Protocol* ProtocolOf(pappl_printer_t* printer) {
    const DriverTable::Driver* driver = DriverTable::Find(papplPrinterGetDriverName(printer));
    const Families::Info* family = driver ? Families::Find(driver->modelNumber) : nullptr;
    return family ? StatusProtocol::ForLanguage(family->language) : nullptr;
}

bool Resting(pappl_printer_t* printer) {
    std::lock_guard<std::mutex> lock(g_Lock);
    const auto it = g_Memory.find(papplPrinterGetID(printer));
    return it != g_Memory.end() && Clock::now() < it->second.restUntil;
}

bool Answered(pappl_printer_t* printer) {
    std::lock_guard<std::mutex> lock(g_Lock);
    const auto it = g_Memory.find(papplPrinterGetID(printer));
    return it != g_Memory.end() && it->second.answered;
}

StatusProtocol::QuerySet Dropped(pappl_printer_t* printer) {
    std::lock_guard<std::mutex> lock(g_Lock);
    const auto it = g_Memory.find(papplPrinterGetID(printer));
    return it != g_Memory.end() ? it->second.dropped : 0;
}

struct Round {
    Report report;
    bool failed = false;  // the device failed: not the printer's silence
};

// One round over `device`. An unanswered round starts the printer's rest,
// except while a job waits on the printer's word (a printer may go quiet
// while its paper is out: the job keeps waiting).
Round Ask(pappl_printer_t* printer, pappl_device_t* device, const StatusProtocol::Protocol& protocol, bool waiting) {
    Round round;
    CDeviceLink link(device);
    if (!link.CanRead())
        return round;
    round.report = StatusProtocol::Ask(protocol, link, StatusProtocol::kReplyTimeoutMs, Dropped(printer));
    round.failed = link.Failed();
    if (round.failed || (waiting && !round.report.answered))
        return round;
    bool logSilence = false;
    const StatusProtocol::QuerySet unanswerable = StatusProtocol::Unanswerable(round.report);
    {
        std::lock_guard<std::mutex> lock(g_Lock);
        Memory& memory = g_Memory[papplPrinterGetID(printer)];
        if (round.report.answered) {
            const StatusProtocol::QuerySet dropped = memory.dropped | unanswerable;
            memory = Memory{};
            memory.answered = true;
            memory.dropped = dropped;
        } else {
            memory.answered = false;
            memory.restUntil = Clock::now() + std::chrono::seconds(StatusProtocol::kRestSeconds);
            logSilence = !memory.silenceLogged;
            memory.silenceLogged = true;
            memory.dropped = 0;
        }
    }
    if (unanswerable)
        papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN,
                        "the printer did not answer the status query %s within %d ms; it is not asked again",
                        protocol.Names(unanswerable).c_str(), StatusProtocol::kReplyTimeoutMs);
    if (logSilence)
        papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN,
                        "the printer did not answer its status query within %d ms; it is not asked again for %d s",
                        StatusProtocol::kReplyTimeoutMs, StatusProtocol::kRestSeconds);
    return round;
}

// False once the job is cancelled.
bool Sleep(pappl_job_t* job, int ms) {
    for (int slept = 0; slept < ms; slept += kSliceMs) {
        if (papplJobIsCanceled(job))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
    }
    return !papplJobIsCanceled(job);
}

// The job waits, sending nothing, until a round says the printer can print
// again. False when the job was cancelled meanwhile.
bool WaitWhileStopped(PapplHost::JobContext& context, const StatusProtocol::Protocol& protocol, const Report& stopped) {
    pappl_job_t* job = context.job;
    pappl_printer_t* printer = papplJobGetPrinter(job);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "the printer reports %s: the job waits",
                StatusProtocol::Describe(stopped.conditions & kStopsPrinting).c_str());
    papplJobSetReasons(job, PAPPL_JREASON_PRINTER_STOPPED, PAPPL_JREASON_JOB_PRINTING);
    bool ready = false, canceled = false;
    while (!ready && !canceled) {
        canceled = !Sleep(job, StatusProtocol::kPollMs);
        if (canceled)
            break;
        const Round round = Ask(printer, context.device, protocol, true);
        PrinterStatus::Reported(printer, round.report);
        // A failed device ends the wait: the job's next write says why.
        ready = round.failed || (round.report.answered && !(round.report.conditions & kStopsPrinting));
    }
    papplJobSetReasons(job, canceled ? PAPPL_JREASON_NONE : PAPPL_JREASON_JOB_PRINTING, PAPPL_JREASON_PRINTER_STOPPED);
    if (ready)
        papplLogJob(job, PAPPL_LOGLEVEL_INFO, "the printer can print again");
    return ready;
}

// The protocol to ask the job's printer with, once what the job buffered
// has gone out; null when it is not to be asked, `ok` then saying whether
// the job goes on.
const StatusProtocol::Protocol* AskNow(PapplHost::JobContext& context, bool& ok) {
    pappl_printer_t* printer = papplJobGetPrinter(context.job);
    const StatusProtocol::Protocol* protocol = ProtocolOf(printer);
    ok = !context.outputFailed;
    if (!protocol || Resting(printer))
        return nullptr;
    ok = PapplHost::FlushDevice(context);
    return ok ? protocol : nullptr;
}

}  // namespace

bool Idle(pappl_printer_t* printer) {
    const StatusProtocol::Protocol* protocol = ProtocolOf(printer);
    const char* uri = papplPrinterGetDeviceURI(printer);
    if (!protocol || !uri || !FileDevice::Answers(uri) || !Answered(printer))
        return true;
    pappl_device_t* device = papplPrinterOpenDevice(printer);
    if (!device)
        return true;  // a job holds it
    const Round round = Ask(printer, device, *protocol, false);
    // While the device is held PAPPL asks no status callback of its own.
    PrinterStatus::Reported(printer, round.report);
    papplPrinterCloseDevice(printer);
    return true;
}

bool WaitReady(PapplHost::JobContext& context) {
    bool ok = true;
    const StatusProtocol::Protocol* protocol = AskNow(context, ok);
    if (!protocol)
        return ok;
    pappl_printer_t* printer = papplJobGetPrinter(context.job);
    const Round round = Ask(printer, context.device, *protocol, false);
    PrinterStatus::Reported(printer, round.report);
    if (!round.report.answered || !(round.report.conditions & kStopsPrinting))
        return true;
    return WaitWhileStopped(context, *protocol, round.report);
}

bool WaitPrinted(PapplHost::JobContext& context) {
    bool ok = true;
    const StatusProtocol::Protocol* protocol = AskNow(context, ok);
    if (!protocol)
        return ok;
    pappl_printer_t* printer = papplJobGetPrinter(context.job);
    const int bound =
        StatusProtocol::kFinishSeconds + StatusProtocol::kFinishSecondsPerPage * static_cast<int>(context.pagesSent);
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(bound);
    for (;;) {
        const Round round = Ask(printer, context.device, *protocol, false);
        PrinterStatus::Reported(printer, round.report);
        const StatusProtocol::Conditions conditions = round.report.conditions;
        if (!round.report.answered)
            return true;
        if (conditions & kStopsPrinting) {
            // The labels are in the printer: the job is done once they print.
            if (!WaitWhileStopped(context, *protocol, round.report))
                return false;
            deadline = Clock::now() + std::chrono::seconds(bound);
            continue;
        }
        if (!(conditions & kPrinting))
            return true;
        if (Clock::now() >= deadline) {
            papplLogJob(context.job, PAPPL_LOGLEVEL_WARN, "the printer still reports printing after %d s; the job ends",
                        bound);
            return true;
        }
        if (!Sleep(context.job, kPrintingPollMs))
            return false;
    }
}

}  // namespace StatusWatch

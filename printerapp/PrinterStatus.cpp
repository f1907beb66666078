#include "printerapp/PrinterStatus.h"

#include <cstdio>
#include <cstring>

namespace PrinterStatus {

pappl_identify_actions_t IdentifyActions(const DriverTable::Driver& driver) {
    return PAPPL_IDENTIFY_ACTIONS_DISPLAY | (driver.beep ? PAPPL_IDENTIFY_ACTIONS_SOUND : 0);
}

void Identify(pappl_printer_t* printer, pappl_identify_actions_t actions, const char* message) {
    const DriverTable::Driver* driver = DriverTable::Find(papplPrinterGetDriverName(printer));
    if (!driver)
        return;
    if (actions & PAPPL_IDENTIFY_ACTIONS_DISPLAY) {
        papplPrinterSetReasons(printer, PAPPL_PREASON_IDENTIFY_PRINTER_REQUESTED, PAPPL_PREASON_NONE);
        papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "identify: %s", message && *message ? message : "(no message)");
    }
    if ((actions & PAPPL_IDENTIFY_ACTIONS_SOUND) && driver->beep) {
        // The device is busy while a job prints; the beep then waits for
        // nothing and is dropped, as a panel would.
        pappl_device_t* device = papplPrinterOpenDevice(printer);
        if (!device) {
            papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "identify: the printer's device is busy or absent");
            return;
        }
        papplDeviceWrite(device, driver->beep, std::strlen(driver->beep));
        papplDeviceFlush(device);
        papplPrinterCloseDevice(printer);
    }
}

namespace {

using StatusProtocol::Conditions;
using StatusProtocol::kPaperLow;
using StatusProtocol::kPaperOut;
using StatusProtocol::Report;

// PAPPL's bits for the IPP reasons the conditions have (StatusProtocol's
// IppReason). PAPPL's "paused" is its queue's, and has no bit of its own:
// a printer paused at its panel takes nothing, as an offline one.
struct PapplReason {
    const char* ipp;
    pappl_preason_t reason;
};
const PapplReason kPapplReasons[] = {
    {"media-empty", PAPPL_PREASON_MEDIA_EMPTY},
    {"media-low", PAPPL_PREASON_MEDIA_LOW},
    {"media-jam", PAPPL_PREASON_MEDIA_JAM},
    {"cover-open", PAPPL_PREASON_COVER_OPEN},
    {"offline", PAPPL_PREASON_OFFLINE},
    {"paused", PAPPL_PREASON_OFFLINE},
    {"marker-supply-empty", PAPPL_PREASON_MARKER_SUPPLY_EMPTY},
    {"other", PAPPL_PREASON_OTHER},
};

pappl_preason_t ReasonOf(StatusProtocol::Condition condition) {
    if (const char* ipp = StatusProtocol::IppReason(condition))
        for (const PapplReason& r : kPapplReasons)
            if (std::strcmp(r.ipp, ipp) == 0)
                return r.reason;
    return PAPPL_PREASON_NONE;
}

// Paper levels, in percent, as the printers tell them: out, near the end,
// there; -1 unknown.
constexpr int kPaperEmpty = 0, kPaperNearEnd = 10, kPaperFull = 100;

// The paper (labels or roll) as the printer's one supply.
void SetPaper(pappl_printer_t* printer, const DriverTable::Driver& driver, int level) {
    pappl_supply_t paper{};
    paper.color = PAPPL_SUPPLY_COLOR_NO_COLOR;
    std::snprintf(paper.description, sizeof paper.description, "%s",
                  driver.stock == DriverTable::Stock::Labels ? "Labels" : "Paper Roll");
    paper.is_consumed = true;
    paper.level = level;
    paper.type = PAPPL_SUPPLY_TYPE_OTHER;
    papplPrinterSetSupplies(printer, 1, &paper);
}

int PaperLevel(const Report& report) {
    if (!(report.known & kPaperOut))
        return -1;
    if (report.conditions & kPaperOut)
        return kPaperEmpty;
    return (report.known & kPaperLow) && (report.conditions & kPaperLow) ? kPaperNearEnd : kPaperFull;
}

}  // namespace

void Created(pappl_printer_t* printer, void*) {
    if (const DriverTable::Driver* driver = DriverTable::Find(papplPrinterGetDriverName(printer)))
        SetPaper(printer, *driver, -1);
}

void Describe(ipp_t* attrs) {
    ippAddBoolean(attrs, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
    static const char* const overrides[] = {"document-number", "pages"};
    ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "overrides-supported", 2, nullptr, overrides);
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-default", nullptr, "auto");
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-supported", nullptr, "auto");
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "pwg-raster-document-sheet-back", nullptr, "normal");
}

void JobStarted(pappl_printer_t* printer) {
    papplPrinterSetReasons(printer, PAPPL_PREASON_NONE, PAPPL_PREASON_IDENTIFY_PRINTER_REQUESTED);
}

void StoppedAccepting(pappl_printer_t* printer) {
    papplPrinterSetReasons(printer, PAPPL_PREASON_OFFLINE, PAPPL_PREASON_NONE);
}

void Accepting(pappl_printer_t* printer) {
    if (papplPrinterGetReasons(printer) & PAPPL_PREASON_OFFLINE)
        papplPrinterSetReasons(printer, PAPPL_PREASON_NONE, PAPPL_PREASON_OFFLINE);
}

void Reported(pappl_printer_t* printer, const Report& report) {
    if (!report.answered)
        return;
    // A reason several conditions share (offline, other) stays while any
    // of them holds.
    unsigned add = 0, remove = 0;
    for (StatusProtocol::Condition c : StatusProtocol::AllConditions()) {
        if (report.conditions & c)
            add |= ReasonOf(c);
        else if (report.known & c)
            remove |= ReasonOf(c);
    }
    remove &= ~add;
    // Called with the device held (idle) or during a job: PAPPL asks no
    // status callback for this read.
    const pappl_preason_t now = papplPrinterGetReasons(printer);
    if ((add & ~now) || (remove & now))
        papplPrinterSetReasons(printer, static_cast<pappl_preason_t>(add), static_cast<pappl_preason_t>(remove));

    const DriverTable::Driver* driver = DriverTable::Find(papplPrinterGetDriverName(printer));
    const int level = PaperLevel(report);
    pappl_supply_t supply[PAPPL_MAX_SUPPLY];
    if (driver && level >= 0 &&
        (papplPrinterGetSupplies(printer, PAPPL_MAX_SUPPLY, supply) < 1 || supply[0].level != level))
        SetPaper(printer, *driver, level);
}

}  // namespace PrinterStatus

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

void Created(pappl_printer_t* printer, void*) {
    const DriverTable::Driver* driver = DriverTable::Find(papplPrinterGetDriverName(printer));
    if (!driver)
        return;
    pappl_supply_t paper{};
    paper.color = PAPPL_SUPPLY_COLOR_NO_COLOR;
    std::snprintf(paper.description, sizeof paper.description, "%s",
                  driver->stock == DriverTable::Stock::Labels ? "Labels" : "Paper Roll");
    paper.is_consumed = true;
    paper.level = -1;
    paper.type = PAPPL_SUPPLY_TYPE_OTHER;
    papplPrinterSetSupplies(printer, 1, &paper);
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

}  // namespace PrinterStatus

#pragma once

#include <pappl/pappl.h>

#include "families/DriverTable.h"

// What a printer tells about itself beyond printing: how it identifies
// itself, what it consumes, and the description attributes IPP Everywhere
// clients expect of every printer.
namespace PrinterStatus {

// The identify actions the driver offers: "sound" where the printer has a
// beeper, and "display" everywhere, shown on the application's status page
// (the printer's only panel) until the next job.
pappl_identify_actions_t IdentifyActions(const DriverTable::Driver& driver);
void Identify(pappl_printer_t* printer, pappl_identify_actions_t actions, const char* message);

// The paper (labels or roll) as the printer's one supply, level unknown.
void Created(pappl_printer_t* printer, void* data);

// Fixed description attributes: one-sided gray, no rendering choice.
void Describe(ipp_t* attrs);

// A job starting clears an identify request shown on the status page.
void JobStarted(pappl_printer_t* printer);

// A printer that took no data for the write timeout shows "offline" until
// a later job's data reaches it.
void StoppedAccepting(pappl_printer_t* printer);
void Accepting(pappl_printer_t* printer);

}  // namespace PrinterStatus

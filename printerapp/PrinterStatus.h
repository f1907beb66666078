#pragma once

#include <pappl/pappl.h>

#include "families/DriverTable.h"
#include "render/StatusProtocol.h"

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
// a later job's data reaches it (or its status says it is online).
void StoppedAccepting(pappl_printer_t* printer);
void Accepting(pappl_printer_t* printer);

// What the printer answered to a status round, as printer-state-reasons
// and the paper's level: each reason is set while one of its conditions
// holds, and cleared only by replies that can tell its conditions (an
// unanswered round, or a language that cannot tell, changes nothing). The printer's own pause shows as "offline": it
// takes nothing, and PAPPL's "paused" means its queue is paused.
void Reported(pappl_printer_t* printer, const StatusProtocol::Report& report);

}  // namespace PrinterStatus

#pragma once

#include <pappl/pappl.h>

#include "printerapp/CPapplRender.h"

// Asks a printer for its state (render/StatusProtocol, for the languages
// that answer) and keeps its jobs from printing into a printer that cannot
// print: a job waits, reported as processing-stopped, until the printer can
// print again, and ends only once its labels are out. A printer that leaves
// a round unanswered costs a reply timeout (one per query some models of its
// language lack: StatusProtocol::Ask); it is then not asked for a rest time,
// and its jobs print as if it could not answer. A query it leaves unanswered
// while it answers others costs one timeout too, once: it is dropped for
// that printer, and the others keep being asked.
namespace StatusWatch {

// PAPPL's status callback (called while no job holds the device): one
// round, shown as the printer's reasons, for a printer whose last round (a
// job's first) was answered. A printer not known to answer gets no
// connection of its own: a network printer's port may serve one at a time.
bool Idle(pappl_printer_t* printer);

// Before a job's first page and after each page: sends what the job
// buffered, asks, and while the printer reports a condition that stops
// printing, waits for it to clear. False when the job was cancelled while
// waiting (or its output failed).
bool WaitReady(PapplHost::JobContext& context);

// At the end of a job, once its data are sent: waits while the printer
// says it is still printing (within a bound), and, like WaitReady, while it
// cannot print.
bool WaitPrinted(PapplHost::JobContext& context);

}  // namespace StatusWatch

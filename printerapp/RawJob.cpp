#include "printerapp/RawJob.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "families/DriverTable.h"
#include "families/Families.h"
#include "preview/PreviewLanguages.h"
#include "printerapp/CPapplRender.h"
#include "printerapp/PrinterStatus.h"
#include "printerapp/StatusWatch.h"
#include "printerapp/TestLabel.h"

namespace RawJob {

namespace {

// The raw port the job came in on; 0 for one sent over IPP.
int RawPort(pappl_job_t* job) {
#ifdef PAPPL_RAW_SOCKET_SETTINGS
    return papplJobGetRawPort(job);
#else
    (void)job;
    return 0;
#endif
}

// The document's first bytes; -1 when it cannot be read.
ssize_t Head(pappl_job_t* job, uint8_t* head, size_t size) {
    const char* filename = papplJobGetFilename(job);
    const int fd = filename ? open(filename, O_RDONLY | O_CLOEXEC) : -1;
    if (fd < 0)
        return -1;
    const ssize_t got = read(fd, head, size);
    close(fd);
    return got;
}

// The first bytes in hex, for the log of a refused stream.
std::string Hex(const uint8_t* data, size_t size) {
    std::string text;
    char byte[4];
    for (size_t i = 0; i < size && i < 8; i++) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", data[i]);
        text += byte;
    }
    return text.empty() ? "nothing" : text;
}

// The document as it is, in pieces, with the printer's state asked before
// and after as for a rendered job.
bool PassThrough(pappl_job_t* job, pappl_device_t* device, const DriverTable::Driver& driver) {
    PapplHost::JobContext context;
    context.job = job;
    context.device = device;
    context.driver = &driver;
    PrinterStatus::JobStarted(papplJobGetPrinter(job));
    if (!StatusWatch::WaitReady(context)) {
        PapplHost::FinishDevice(context);
        return false;
    }
    const char* filename = papplJobGetFilename(job);
    const int fd = filename ? open(filename, O_RDONLY | O_CLOEXEC) : -1;
    bool readable = fd >= 0;
    char buffer[65536];
    ssize_t got = 0;
    while (readable && (got = read(fd, buffer, sizeof buffer)) > 0)
        if (PapplHost::WriteSpool(context, buffer, static_cast<int>(got)) < 0)
            break;
    if (fd < 0 || got < 0) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "cannot read the document: %s", std::strerror(errno));
        papplJobSetMessage(job, "Unable to read the document.");
        readable = false;
    }
    if (fd >= 0)
        close(fd);
    context.pagesSent = 1;
    const bool printed = readable && !context.outputFailed && StatusWatch::WaitPrinted(context);
    const bool ok = PapplHost::FinishDevice(context) && printed;
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "%llu bytes sent to the printer unchanged", context.bytesWritten);
    return ok;
}

}  // namespace

bool Print(pappl_job_t* job, pappl_device_t* device, void*) {
    if (TestLabel::IsRequest(job))
        return TestLabel::PrintJob(job, device);
    pappl_printer_t* printer = papplJobGetPrinter(job);
    const int port = RawPort(job);
    if (port == 0) {
        // PAPPL takes any IPP document as application/octet-stream and,
        // when it cannot tell what it is, aborts it without saying why.
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "unsupported document format");
        papplJobSetMessage(job,
                           "Unsupported document format (PDF, PWG raster, Apple raster, JPEG, PNG and ZPL print).");
        return false;
    }
    const DriverTable::Driver* driver = DriverTable::Find(papplPrinterGetDriverName(printer));
    const Families::Info* family = driver ? Families::Find(driver->modelNumber) : nullptr;
    if (!family) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "no renderer for driver %s", papplPrinterGetDriverName(printer));
        papplJobSetMessage(job, "The printer's driver is unknown.");
        return false;
    }
    uint8_t head[64];
    const ssize_t got = Head(job, head, sizeof head);
    const size_t size = got > 0 ? static_cast<size_t>(got) : 0;
    if (size > 0 && PreviewLanguages::Detect(head, size) == family->language)
        return PassThrough(job, device, *driver);
    papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "raw port %d, job %d: not ZPL nor %s (it begins %s); refused", port,
                    papplJobGetID(job), family->personality, Hex(head, size).c_str());
    papplJobSetMessage(job, "Not ZPL nor %s: refused.", family->personality);
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
    return false;
}

}  // namespace RawJob

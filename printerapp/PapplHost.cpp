#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "printerapp/CPapplRender.h"
#include "printerapp/FileDevice.h"
#include "printerapp/PrinterStatus.h"

namespace PapplHost {

namespace {

// At 20 KB/s a piece takes a fifth of a second; the cancel is looked for
// between pieces, and by the device itself while a write waits.
constexpr int kPiece = 4096;

#ifdef PAPPL_DEVICE_WRITE_TIMEOUT
bool JobCanceled(void* job) { return papplJobIsCanceled(static_cast<pappl_job_t*>(job)); }
#endif

// PAPPL keeps a printer's device open between queued jobs: an earlier
// job's failure is forgotten (and its connection renewed) before this job
// writes, and this job's cancel stops a write that waits for the printer.
void PrepareDevice(JobContext& context) {
#ifdef PAPPL_DEVICE_STICKY_ERRORS
    papplDeviceClearError(context.device);
#endif
#ifdef PAPPL_DEVICE_WRITE_TIMEOUT
    papplDeviceSetCancelCallback(context.device, JobCanceled, context.job);
#endif
    pappl_devmetrics_t metrics;
    context.deviceBytesBefore = papplDeviceGetMetrics(context.device, &metrics)->write_bytes;
    context.devicePrepared = true;
}

// The error of the failed write, as the device keeps it where it can.
int DeviceError(pappl_device_t* device, int fallback) {
#ifdef PAPPL_DEVICE_STICKY_ERRORS
    if (const int error = papplDeviceGetError(device))
        return error;
#else
    (void)device;
#endif
    return fallback;
}

// Ends the job's output with the reason in the job's message, unless the
// job was cancelled (PAPPL says so itself).
void Failed(JobContext& context, int error) {
    context.outputFailed = true;
    if (error == ECANCELED || papplJobIsCanceled(context.job))
        return;
    if (error == ETIMEDOUT) {
        papplLogJob(context.job, PAPPL_LOGLEVEL_ERROR, "the printer took no data for %d s", FileDevice::WriteTimeout());
        papplJobSetMessage(context.job, "The printer stopped accepting data.");
        PrinterStatus::StoppedAccepting(papplJobGetPrinter(context.job));
        return;
    }
    papplLogJob(context.job, PAPPL_LOGLEVEL_ERROR, "write to the printer failed: %s", strerror(error));
    papplJobSetMessage(context.job, "Unable to write print data.");
}

// Clears the printer's "offline" once this job's bytes have gone out of
// PAPPL's buffer to the printer.
void NoteProgress(JobContext& context) {
    pappl_devmetrics_t metrics;
    if (!context.reachedPrinter &&
        papplDeviceGetMetrics(context.device, &metrics)->write_bytes > context.deviceBytesBefore) {
        context.reachedPrinter = true;
        PrinterStatus::Accepting(papplJobGetPrinter(context.job));
    }
}

}  // namespace

// A cancelled job writes nothing more: PAPPL 1.3 may close the device as it
// cancels, under a write still to come.
int WriteSpool(JobContext& context, const void* data, int length) {
    if (length < 1 || context.outputFailed)
        return length < 1 ? 0 : -1;
    if (!context.devicePrepared)
        PrepareDevice(context);
    const char* bytes = static_cast<const char*>(data);
    for (int done = 0; done < length;) {
        if (papplJobIsCanceled(context.job)) {
            context.outputFailed = true;
            return -1;
        }
        const int piece = std::min(kPiece, length - done);
        if (papplDeviceWrite(context.device, bytes + done, static_cast<size_t>(piece)) < 0) {
            Failed(context, DeviceError(context.device, errno));
            return -1;
        }
        done += piece;
        context.bytesWritten += static_cast<unsigned long long>(piece);
    }
    if (context.recording)
        context.recording->Add(data, length);
    NoteProgress(context);
    return length;
}

bool FlushDevice(JobContext& context) {
    if (!context.devicePrepared)
        PrepareDevice(context);
    // With the cancel callback set, a cancelled job's buffer is dropped
    // rather than sent to a printer that may not take it.
    papplDeviceFlush(context.device);
    if (!context.outputFailed && DeviceError(context.device, 0) != 0)
        Failed(context, DeviceError(context.device, 0));
    else if (!context.outputFailed)
        NoteProgress(context);
    return !context.outputFailed;
}

bool FinishDevice(JobContext& context) {
    if (!context.devicePrepared)
        return !context.outputFailed;
    FlushDevice(context);
    ReleaseDevice(context.job, context.device);
    return !context.outputFailed;
}

void ReleaseDevice(pappl_job_t* job, pappl_device_t* device) {
#ifdef PAPPL_DEVICE_WRITE_TIMEOUT
    // With the cancel callback still set, this drops a cancelled job's
    // buffer and marks the device failed.
    if (papplJobIsCanceled(job))
        papplDeviceFlush(device);
    papplDeviceSetCancelCallback(device, nullptr, nullptr);
#else
    (void)job;
#endif
#ifdef PAPPL_DEVICE_STICKY_ERRORS
    // A failed or cancelled job's connection is reset now (its last command
    // may be cut short, and the kernel still holds some of it); the next
    // job gets a fresh one.
    if (papplDeviceGetError(device))
        papplDeviceClearError(device);
#else
    (void)device;
#endif
}

// PAPPL has no va_list form of its log calls.
void VLog(JobContext& context, pappl_loglevel_t level, const char* format, va_list args) {
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    papplLogJob(context.job, level, "%s", text);
}

void VReportError(JobContext& context, const char* format, va_list args) {
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    papplLogJob(context.job, PAPPL_LOGLEVEL_ERROR, "%s", text);
    papplJobSetMessage(context.job, "%s", text);
}

void VReportWarning(JobContext& context, const char* format, va_list args) {
    VLog(context, PAPPL_LOGLEVEL_WARN, format, args);
}

}  // namespace PapplHost

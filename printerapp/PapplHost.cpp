#include <cstdio>

#include "printerapp/CPapplRender.h"

namespace PapplHost {

// PAPPL's device layer buffers and retries short writes itself; a negative
// result means the device is gone. A cancelled job writes nothing more:
// PAPPL 1.3 may close the device as it cancels, under a write still to come.
int WriteSpool(JobContext& context, const void* data, int length) {
    if (length < 1 || context.outputFailed)
        return length < 1 ? 0 : -1;
    if (papplJobIsCanceled(context.job)) {
        context.outputFailed = true;
        return -1;
    }
    if (papplDeviceWrite(context.device, data, static_cast<size_t>(length)) < 0) {
        context.outputFailed = true;
        papplLogJob(context.job, PAPPL_LOGLEVEL_ERROR, "write to the printer failed");
        papplJobSetMessage(context.job, "Unable to write print data.");
        return -1;
    }
    context.bytesWritten += static_cast<unsigned long long>(length);
    return length;
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

#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "filter/CCupsRender.h"
#include "filter/CupsLang.h"

namespace CupsHost {

namespace {
bool g_bOutputFailed = false;
unsigned long long g_BytesWritten = 0;
CCopyRecording* g_pRecording = nullptr;
}  // namespace

void SetRecording(CCopyRecording* recording) { g_pRecording = recording; }

void ResetOutput() {
    g_bOutputFailed = false;
    g_BytesWritten = 0;
    g_pRecording = nullptr;
}

bool OutputFailed() { return g_bOutputFailed; }

unsigned long long BytesWritten() { return g_BytesWritten; }

// SIGTERM is installed without SA_RESTART, so a large write may return early
// or fail with EINTR; a page must still reach the printer whole.
int WriteSpool(const void* data, int length) {
    if (length < 1 || g_bOutputFailed)
        return length < 1 ? 0 : -1;
    const char* p = static_cast<const char*>(data);
    size_t left = static_cast<size_t>(length);
    while (left > 0) {
        ssize_t n = write(1, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            g_bOutputFailed = true;
            _cupsLangPrintError("ERROR", "Unable to write print data");
            syslog(LOG_ERR, "write to the printer failed: %s", strerror(error));
            return -1;
        }
        g_BytesWritten += static_cast<unsigned long long>(n);
        p += n;
        left -= static_cast<size_t>(n);
    }
    fflush(stdout);
    if (g_pRecording)
        g_pRecording->Add(data, length);
    return length;
}

void VLog(const char* format, va_list args) { vsyslog(LOG_DEBUG, format, args); }

void VReportWarning(const char* format, va_list args) {
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    syslog(LOG_WARNING, "%s", text);
    _cupsLangPrintFilter(stderr, "WARNING", "%s", text);
}

void VReportError(const char* format, va_list args) {
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    syslog(LOG_ERR, "%s", text);
    _cupsLangPrintFilter(stderr, "ERROR", "%s", text);
}

}  // namespace CupsHost

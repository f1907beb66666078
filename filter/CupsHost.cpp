#include <cerrno>
#include <cstdio>
#include <cstring>
#include <syslog.h>
#include <unistd.h>

#include "filter/CCupsRender.h"
#include "filter/CupsLang.h"

namespace CupsHost {

// SIGTERM is installed without SA_RESTART, so a large write may return early
// or fail with EINTR; a page must still reach the printer whole.
int WriteSpool(const void* data, int length) {
    static bool reported = false;
    if (length < 1)
        return 0;
    const char* p = static_cast<const char*>(data);
    size_t left = static_cast<size_t>(length);
    while (left > 0) {
        ssize_t n = write(1, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (!reported) {
                reported = true;
                _cupsLangPrintError("ERROR", "Unable to write print data");
            }
            fflush(stdout);
            return -1;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    fflush(stdout);
    return length;
}

void VLog(const char* format, va_list args) {
    vsyslog(LOG_DEBUG, format, args);
}

void VReportError(const char* format, va_list args) {
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    syslog(LOG_ERR, "%s", text);
    _cupsLangPrintFilter(stderr, "ERROR", "%s", text);
}

}  // namespace CupsHost

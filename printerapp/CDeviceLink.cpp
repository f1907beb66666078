#include "printerapp/CDeviceLink.h"

#include <algorithm>
#include <cstring>

bool CDeviceLink::CanRead() {
#ifdef PAPPL_DEVICE_READ_TIMEOUT
    // A look with no wait: -1 from a device that has no read path; what a
    // readable device holds is stale and dropped by the round anyway.
    m_begin = m_end = 0;
    papplDeviceSetReadTimeout(m_device, 0);
    const ssize_t n = papplDeviceRead(m_device, m_pending, sizeof m_pending);
    if (n > 0)
        m_end = static_cast<size_t>(n);
    return n >= 0;
#else
    return false;
#endif
}

bool CDeviceLink::Write(const uint8_t* data, size_t size) {
    if (papplDeviceWrite(m_device, data, size) < 0) {
        m_failed = true;
        return false;
    }
    papplDeviceFlush(m_device);
#ifdef PAPPL_DEVICE_STICKY_ERRORS
    m_failed = papplDeviceGetError(m_device) != 0;
#endif
    return !m_failed;
}

long CDeviceLink::Read(uint8_t* data, size_t size, int timeoutMs) {
#ifdef PAPPL_DEVICE_READ_TIMEOUT
    if (m_begin == m_end) {
        m_begin = m_end = 0;
        papplDeviceSetReadTimeout(m_device, std::max(timeoutMs, 0));
        const ssize_t n = papplDeviceRead(m_device, m_pending, sizeof m_pending);
        if (n <= 0)
            return n < 0 ? -1 : 0;
        m_end = static_cast<size_t>(n);
    }
    const size_t n = std::min(size, m_end - m_begin);
    std::memcpy(data, m_pending + m_begin, n);
    m_begin += n;
    return static_cast<long>(n);
#else
    (void)data;
    (void)size;
    (void)timeoutMs;
    return -1;
#endif
}

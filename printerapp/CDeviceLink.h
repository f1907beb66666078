#pragma once

#include <pappl/pappl.h>

#include <cstddef>
#include <cstdint>

#include "render/StatusProtocol.h"

// The status link over a PAPPL device: a query is written and flushed at
// once (after what the job buffered before it), and a read waits at most its
// timeout, where PAPPL can bound it. The device stays the caller's.
class CDeviceLink : public StatusProtocol::Link {
public:
    explicit CDeviceLink(pappl_device_t* device) : m_device(device) {}

    // Whether replies can come back at all. A device that cannot read (a
    // file, a USB printer without a way back) is never asked, so that it
    // gets no query bytes; nor is any device when PAPPL's reads cannot be
    // bounded (a read would wait 10 s).
    bool CanRead();
    bool Write(const uint8_t* data, size_t size) override;
    long Read(uint8_t* data, size_t size, int timeoutMs) override;
    // A write failed: the device is broken, which is not the printer being
    // silent (the job's own writes report it).
    bool Failed() const { return m_failed; }

private:
    pappl_device_t* m_device;
    bool m_failed = false;
    // A USB read must take a whole packet: what it brought beyond the bytes
    // asked for waits here.
    uint8_t m_pending[64];
    size_t m_begin = 0, m_end = 0;
};

#include "render/CCopyRecording.h"

void CCopyRecording::Add(const void* data, int length) {
    if (!m_on || m_overflowed || length < 1)
        return;
    if (m_bytes.size() + static_cast<size_t>(length) > m_cap) {
        m_overflowed = true;
        m_bytes.clear();
        m_bytes.shrink_to_fit();
        return;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), bytes, bytes + length);
}

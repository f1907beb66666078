#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// The bytes of the pages a host sent, kept in memory to be sent again for
// the copies a plan repeats. Kept up to a cap: past it nothing more is kept,
// and Overflowed() tells the host that these copies cannot be made.
class CCopyRecording {
public:
    // 64 MiB: about 500 uncompressed 4 x 6 in labels at 203 dpi.
    static constexpr size_t kMaxBytes = size_t{64} << 20;

    explicit CCopyRecording(size_t cap = kMaxBytes) : m_cap(cap) {}

    // While on, Add keeps what the host sends.
    void SetOn(bool on) { m_on = on; }
    bool On() const { return m_on; }
    void Add(const void* data, int length);
    bool Overflowed() const { return m_overflowed; }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    void Clear() { m_bytes.clear(); }

    // Sends the kept bytes `times` times through `write` (which returns the
    // length written, or less on failure), recording nothing meanwhile.
    // False once a write failed.
    template <class Write>
    bool Replay(int times, Write&& write) {
        return Send(m_bytes, times, write, false);
    }
    // Sends the bytes kept since Bytes() held `from` `times` times, and
    // keeps them again each time while on: a page's copies within a job
    // whose pages are all sent again.
    template <class Write>
    bool ReplaySince(size_t from, int times, Write&& write) {
        const std::vector<uint8_t> tail(m_bytes.begin() + static_cast<std::ptrdiff_t>(std::min(from, m_bytes.size())),
                                        m_bytes.end());
        return Send(tail, times, write, true);
    }

private:
    size_t m_cap;
    bool m_on = false;
    bool m_overflowed = false;
    std::vector<uint8_t> m_bytes;

    template <class Write>
    bool Send(const std::vector<uint8_t>& bytes, int times, Write& write, bool keep) {
        const bool on = m_on;
        bool ok = true;
        const int length = static_cast<int>(bytes.size());
        for (int i = 0; ok && i < times && length > 0; i++) {
            m_on = false;
            ok = write(bytes.data(), length) == length;
            m_on = on && keep;
            Add(bytes.data(), length);
        }
        m_on = on;
        return ok;
    }
};

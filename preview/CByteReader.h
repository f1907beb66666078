#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A cursor over a whole printer stream held in memory. The readers never
// pass the end: callers check Remaining() first (the decoders do so through
// CPreviewDecoder::Need, which also names what was expected).
class CByteReader {
public:
    CByteReader(const uint8_t* data, size_t size) : m_pData(data), m_iSize(size) {}

    size_t Offset() const { return m_iPos; }
    size_t Size() const { return m_iSize; }
    size_t Remaining() const { return m_iSize - m_iPos; }
    bool AtEnd() const { return m_iPos == m_iSize; }
    const uint8_t* Here() const { return m_pData + m_iPos; }
    const uint8_t* At(size_t offset) const { return m_pData + offset; }

    // The byte `ahead` bytes past the cursor; -1 past the end.
    int Peek(size_t ahead = 0) const { return ahead < Remaining() ? m_pData[m_iPos + ahead] : -1; }
    // Whether the bytes at the cursor are `length` bytes of `bytes`.
    bool Match(const void* bytes, size_t length) const;
    bool Match(const char* text) const;

    void Skip(size_t n) { m_iPos += n; }
    uint8_t U8() { return m_pData[m_iPos++]; }
    uint16_t LE16();
    uint16_t BE16();
    uint32_t LE32();
    uint32_t BE32();

    // Up to `n` bytes at `offset` as an error message shows what it found:
    // "end of stream", a quoted text when they are printable, hex otherwise.
    std::string Describe(size_t offset, size_t n = 8) const;

private:
    const uint8_t* m_pData;
    size_t m_iSize;
    size_t m_iPos = 0;
};

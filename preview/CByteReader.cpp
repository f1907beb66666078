#include "preview/CByteReader.h"

#include <cstdio>
#include <cstring>

bool CByteReader::Match(const void* bytes, size_t length) const {
    return length <= Remaining() && std::memcmp(Here(), bytes, length) == 0;
}

bool CByteReader::Match(const char* text) const { return Match(text, std::strlen(text)); }

uint16_t CByteReader::LE16() {
    uint16_t v = static_cast<uint16_t>(m_pData[m_iPos] | m_pData[m_iPos + 1] << 8);
    m_iPos += 2;
    return v;
}

uint16_t CByteReader::BE16() {
    uint16_t v = static_cast<uint16_t>(m_pData[m_iPos] << 8 | m_pData[m_iPos + 1]);
    m_iPos += 2;
    return v;
}

uint32_t CByteReader::LE32() {
    uint32_t v = 0;
    for (int i = 3; i >= 0; i--)
        v = v << 8 | m_pData[m_iPos + i];
    m_iPos += 4;
    return v;
}

uint32_t CByteReader::BE32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; i++)
        v = v << 8 | m_pData[m_iPos + i];
    m_iPos += 4;
    return v;
}

std::string CByteReader::Describe(size_t offset, size_t n) const {
    if (offset >= m_iSize)
        return "end of stream";
    if (n > m_iSize - offset)
        n = m_iSize - offset;
    bool printable = true;
    for (size_t i = 0; i < n; i++)
        if ((m_pData[offset + i] < 0x20 || m_pData[offset + i] > 0x7E) && m_pData[offset + i] != '\r' &&
            m_pData[offset + i] != '\n')
            printable = false;
    std::string text;
    if (printable) {
        text = "\"";
        for (size_t i = 0; i < n; i++) {
            const char c = static_cast<char>(m_pData[offset + i]);
            text += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
        }
        text += "\"";
    } else {
        char hex[4];
        for (size_t i = 0; i < n; i++) {
            std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", m_pData[offset + i]);
            text += hex;
        }
    }
    if (offset + n < m_iSize)
        text += " ...";
    return text;
}

#include "fuzz/ProviderIO.h"

#include <cstdio>
#include <cstdlib>

void ProviderWriter::Integral(uint64_t offset, uint64_t range) {
    int count = 0;
    while (count < 8 && (range >> (8 * count)) > 0)
        count++;
    for (int i = count - 1; i >= 0; i--)
        m_Back.push_back(static_cast<uint8_t>(offset >> (8 * i)));
}

void ProviderWriter::String(std::string& text, size_t maxLength) {
    if (text.size() > maxLength) {
        fprintf(stderr, "ProviderWriter: a string of %zu bytes where at most %zu are read\n", text.size(), maxLength);
        abort();
    }
    // A backslash is doubled; backslash and another byte end the string,
    // which a string of the full length needs not.
    for (char c : text) {
        m_Front.push_back(static_cast<uint8_t>(c));
        if (c == '\\')
            m_Front.push_back('\\');
    }
    if (text.size() < maxLength) {
        m_Front.push_back('\\');
        m_Front.push_back('n');
    }
}

void ProviderWriter::Bytes(std::vector<uint8_t>& bytes, size_t maxLength) {
    size_t length = bytes.size();
    if (length > maxLength) {
        fprintf(stderr, "ProviderWriter: %zu bytes where at most %zu are read\n", length, maxLength);
        abort();
    }
    Range(length, size_t(0), maxLength);
    m_Front.insert(m_Front.end(), bytes.begin(), bytes.end());
}

std::vector<uint8_t> ProviderWriter::Finish() const {
    std::vector<uint8_t> out = m_Front;
    out.insert(out.end(), m_Back.rbegin(), m_Back.rend());
    return out;
}

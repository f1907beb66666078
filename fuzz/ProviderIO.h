#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Both directions of a FuzzedDataProvider input, so that a target's layout
// is written once (a template over the direction) and the seeds always
// match what the target reads. Every call names a value and its range.

// Reads the values from fuzz input.
class ProviderReader {
public:
    ProviderReader(const uint8_t* data, size_t size) : m_In(data, size) {}

    template <class T>
    void Range(T& value, T min, T max) {
        value = m_In.ConsumeIntegralInRange<T>(min, max);
    }
    void Bool(bool& value) { value = m_In.ConsumeBool(); }
    void String(std::string& text, size_t maxLength) { text = m_In.ConsumeRandomLengthString(maxLength); }
    void Bytes(std::vector<uint8_t>& bytes, size_t maxLength) {
        bytes = m_In.ConsumeBytes<uint8_t>(m_In.ConsumeIntegralInRange<size_t>(0, maxLength));
    }

private:
    FuzzedDataProvider m_In;
};

// Writes the input that makes ProviderReader read the given values:
// integrals go to the end, one byte per byte of their range, most
// significant first (read from the back); strings and byte runs from the
// front.
class ProviderWriter {
public:
    template <class T>
    void Range(T& value, T min, T max) {
        Integral(static_cast<uint64_t>(value) - static_cast<uint64_t>(min),
                 static_cast<uint64_t>(max) - static_cast<uint64_t>(min));
    }
    void Bool(bool& value) { Integral(value ? 1 : 0, 255); }
    void String(std::string& text, size_t maxLength);
    void Bytes(std::vector<uint8_t>& bytes, size_t maxLength);

    std::vector<uint8_t> Finish() const;

private:
    void Integral(uint64_t offset, uint64_t range);

    std::vector<uint8_t> m_Front, m_Back;
};

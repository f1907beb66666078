#pragma once

#include <cstdint>
#include <string>
#include <vector>

// QR code symbols in byte mode, encoded by libzint: the smallest version
// that holds the data at the level asked for. The one place the project asks
// libzint for a QR code (the test label and ZPL's ^BQ both come here).
class QrSymbol {
public:
    enum Level { kLevelL = 1, kLevelM, kLevelQ, kLevelH };  // libzint's numbers

    // `mask` 0-7, or -1 for the one with the least penalty. False, with why
    // in `problem`, when the data does not fit the largest version.
    bool Encode(const std::string& data, Level level, int mask, std::string& problem);

    // Modules per side (17 + 4 * version), without the quiet zone.
    int Size() const { return m_Size; }
    // Row-major, one byte a module: 1 dark, 0 light.
    const uint8_t* Row(int y) const { return &m_Modules[static_cast<size_t>(y) * m_Size]; }

private:
    int m_Size = 0;
    std::vector<uint8_t> m_Modules;
};

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// QR code symbols: byte mode, error correction level M, versions 1 to
// kMaxVersion (the smallest that holds the data), the mask with the least
// penalty by the four standard rules. Pure computation, no I/O.
class QrCode {
public:
    static constexpr int kMaxVersion = 10;

    // False when `data` does not fit the largest version.
    bool Encode(const std::string& data);

    int Version() const { return m_Version; }
    int Mask() const { return m_Mask; }
    // Modules per side (17 + 4 * version); the symbol without its quiet zone.
    int Size() const { return m_Size; }
    // Row-major, one byte a module: 1 dark, 0 light.
    const uint8_t* Row(int y) const { return &m_Modules[static_cast<size_t>(y) * m_Size]; }
    bool Dark(int x, int y) const { return m_Modules[static_cast<size_t>(y) * m_Size + x] != 0; }

    // The bytes of data a version carries at level M.
    static int DataCapacity(int version);

private:
    void Set(int x, int y, bool dark) { m_Modules[static_cast<size_t>(y) * m_Size + x] = dark ? 1 : 0; }
    void SetFunction(int x, int y, bool dark);
    void DrawFunctionPatterns();
    void DrawFinder(int cx, int cy);
    void DrawAlignment(int cx, int cy);
    void DrawFormat(int mask);
    void DrawVersion();
    void PlaceCodewords(const std::vector<uint8_t>& codewords);
    void ApplyMask(int mask);
    long Penalty() const;

    int m_Version = 0, m_Mask = 0, m_Size = 0;
    std::vector<uint8_t> m_Modules;
    std::vector<uint8_t> m_IsFunction;
};

#include "render/Crc32.h"

namespace Crc32 {

namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t reg = i;
        for (int bit = 0; bit < 8; bit++)
            reg = (reg & 1) ? 0xEDB88320u ^ (reg >> 1) : reg >> 1;
        table[i] = reg;
    }
    return table;
}

}  // namespace

// Computed at compile time: no start-up work and no chance of a typo in a
// 256-entry literal.
constexpr std::array<uint32_t, 256> kTable = MakeTable();
static_assert(kTable[1] == 0x77073096u && kTable[255] == 0x2D02EF8Du, "reflected IEEE 802.3 table");

uint32_t Update(const uint32_t* table, uint32_t reg, const unsigned char* data, size_t length) {
    for (size_t i = 0; i < length; i++)
        reg = table[(reg ^ data[i]) & 0xFF] ^ (reg >> 8);
    return reg;
}

}  // namespace Crc32

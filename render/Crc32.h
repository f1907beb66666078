#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The reflected CRC-32 of IEEE 802.3 (polynomial 0xEDB88320), table-driven,
// as zlib computes it. A printer language that frames packets with a CRC
// keeps its own start value and runs Update with it.
namespace Crc32 {

// Entry i is the register after shifting in byte i: entry 1 is 0x77073096,
// entry 255 is 0x2D02EF8D.
extern const std::array<uint32_t, 256> kTable;

// Runs the register over `data` with no complement before or after, so that
// ~Update(kTable.data(), ~seed, data, n) equals zlib's crc32(seed, data, n).
uint32_t Update(const uint32_t* table, uint32_t reg, const unsigned char* data, size_t length);

}  // namespace Crc32

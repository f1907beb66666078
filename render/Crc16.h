#pragma once

#include <cstddef>
#include <cstdint>

// CRC-16/XMODEM: polynomial 0x1021, start 0, no reflection, no final
// complement; the check value of "123456789" is 0x31C3. ZPL's :Z64: and
// :B64: graphics carry it over their base64 text. Header only: the ZPL
// interpreter, which checks it, links none of the printer languages.
namespace Crc16 {

inline uint16_t Xmodem(const void* data, size_t length) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    uint16_t crc = 0;
    for (size_t i = 0; i < length; i++) {
        crc ^= uint16_t(p[i] << 8);
        for (int k = 0; k < 8; k++)
            crc = (crc & 0x8000) ? uint16_t(crc << 1 ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

}  // namespace Crc16

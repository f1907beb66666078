#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Inflating the compressed images of the printer languages strictly: the
// data must be one complete deflate stream that ends exactly at its stated
// length and gives exactly the expected number of bytes.
namespace Inflate {

struct Fault {
    size_t at = 0;  // offset in the compressed data
    std::string expected, found;
};

// `data` is one zlib stream (RFC 1950: header, deflate data, Adler-32);
// its check value is verified by zlib.
bool Zlib(const uint8_t* data, size_t length, size_t outSize, std::vector<uint8_t>& out, Fault& fault);

// `data` is raw deflate data (RFC 1951) followed by the big-endian Adler-32
// of the output, as in a zlib stream without its two header bytes.
bool RawWithAdler(const uint8_t* data, size_t length, size_t outSize, std::vector<uint8_t>& out, Fault& fault);

}  // namespace Inflate

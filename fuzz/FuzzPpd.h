#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Generated PPDs for the fuzz targets: a small valid skeleton for one model
// number with the eighteen options the filter reads, each default picked by
// one byte.
namespace FuzzPpd {

constexpr size_t kOptionCount = 18;

// The keywords in the order the filter reads them ("AdjustHoriaontal" is the
// spelling the drivers use).
extern const char* const kOptionNames[kOptionCount];

// Per option: below 224 a sensible choice (modulo the option's list), 224..254
// an odd number or word, 255 leaves the option out of the PPD.
struct Picks {
    uint8_t pick[kOptionCount] = {};
};

std::string Write(int modelNumber, const Picks& picks);

}  // namespace FuzzPpd

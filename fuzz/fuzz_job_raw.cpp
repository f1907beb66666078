// The whole job on raw raster bytes. Input layout:
//   byte 0        model number 20 + b % 5
//   bytes 1..18   FuzzPpd::Picks, one per option
//   byte 19       length L of the option string
//   L bytes       the job's option string ("Darkness=12 Rotate=2")
//   the rest      the raster stream
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzPpd.h"
#include "fuzz/JobHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t kPrefix = 2 + FuzzPpd::kOptionCount;
    if (size < kPrefix)
        return 0;
    const int model = 20 + data[0] % 5;
    FuzzPpd::Picks picks;
    for (size_t i = 0; i < FuzzPpd::kOptionCount; i++)
        picks.pick[i] = data[1 + i];
    size_t optionLength = data[kPrefix - 1];
    if (optionLength > size - kPrefix)
        optionLength = size - kPrefix;
    const std::string options(reinterpret_cast<const char*>(data + kPrefix), optionLength);
    const size_t start = kPrefix + optionLength;
    JobHarness::RunChecked(model, FuzzPpd::Write(model, picks), options.c_str(), data + start, size - start);
    return 0;
}

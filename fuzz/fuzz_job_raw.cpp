// The whole job on raw raster bytes. Input layout:
//   byte 0        the PPD: FuzzPpd::Make's source, modulo SourceCount()
//   bytes 1..31   FuzzPpd::Picks, one per entry (a shipped PPD's options)
//   byte 32       length L of the job's own option string
//   L bytes       that string ("Darkness=12 Rotate=2"), after the picks' one
//   the rest      the raster stream
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzPpd.h"
#include "fuzz/JobHarness.h"
#include "fuzz/JobInputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t kPrefix = 2 + FuzzPpd::kPickCount;
    if (size < kPrefix)
        return 0;
    FuzzPpd::Picks picks;
    for (size_t i = 0; i < FuzzPpd::kPickCount; i++)
        picks.pick[i] = data[1 + i];
    const FuzzPpd::JobPpd ppd = FuzzPpd::Make(data[0], picks);
    size_t optionLength = data[kPrefix - 1];
    if (optionLength > size - kPrefix)
        optionLength = size - kPrefix;
    const std::string own(reinterpret_cast<const char*>(data + kPrefix), optionLength);
    // The option string is a C string for the filter.
    const std::string options = JobInputs::JoinOptions(ppd.options, own.c_str());
    const size_t start = kPrefix + optionLength;
    JobHarness::RunChecked(ppd.model, ppd.ppd, options, data + start, size - start);
    return 0;
}

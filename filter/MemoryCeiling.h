#pragma once

// The filter's ceiling on its own data size (RLIMIT_DATA). The largest page
// the filter accepts (a 256 MiB gray image) peaks near 300 MB while it is
// prepared; 1 GiB leaves room for that and stops a hostile stream from
// making libcups or anything else reserve gigabytes: such an allocation
// fails cleanly instead of taking the machine's memory.
namespace MemoryCeiling {

constexpr unsigned long long kDataBytes = 1ull << 30;

// Lowers the soft data limit to kDataBytes (never raises a lower one).
// Does nothing under AddressSanitizer or ThreadSanitizer, whose shadow
// memory counts as data.
void Apply();

}  // namespace MemoryCeiling

#include "filter/MemoryCeiling.h"

#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
#define QUORVANT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVANT_ASAN 1
#endif
#endif

namespace MemoryCeiling {

void Apply() {
#ifndef QUORVANT_ASAN
    struct rlimit limit;
    if (getrlimit(RLIMIT_DATA, &limit) != 0)
        return;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= kDataBytes)
        return;
    limit.rlim_cur = kDataBytes;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < limit.rlim_cur)
        limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_DATA, &limit);
#endif
}

}  // namespace MemoryCeiling

#include "filter/MemoryCeiling.h"

#include <sys/resource.h>

// The sanitizers' shadow memory counts as data: under them the ceiling
// would stop the filter before its first page.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUORVANT_SHADOW_MEMORY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUORVANT_SHADOW_MEMORY 1
#endif
#endif

namespace MemoryCeiling {

void Apply() {
#ifndef QUORVANT_SHADOW_MEMORY
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

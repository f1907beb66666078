// Whether the suite runs under a sanitizer. Such a build runs several times
// slower, and the normal build runs every case: the slowest checks take
// fewer cases there, and checks whose cost is outside the project's code
// (the bar code readers) run only in the normal build.
#pragma once

namespace testing_support {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

}  // namespace testing_support

// Whether the suite runs under a sanitizer. Such a build runs several times
// slower, and the normal build runs every case: the slowest checks take
// fewer cases there, and checks whose cost is outside the project's code
// (the bar code readers) run only in the normal build.
#pragma once

namespace testing_support {

// The AddressSanitizer build compiles the tests' own files without it and
// says so by QUORVANT_ASAN_TESTS (tests/CMakeLists.txt).
#if defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true, kThreadSanitized = true;
#elif defined(__SANITIZE_ADDRESS__) || defined(QUORVANT_ASAN_TESTS)
constexpr bool kSanitized = true, kThreadSanitized = false;
#else
constexpr bool kSanitized = false, kThreadSanitized = false;
#endif

}  // namespace testing_support

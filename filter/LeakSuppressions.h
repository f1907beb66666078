#pragma once

// Included once by each program that runs the filter (its main file).
#if defined(__SANITIZE_ADDRESS__)
// libcups keeps an option string it allocates while marking a job's "media"
// option until the process exits. cupsfilter gives filters an environment of
// its own, so the suppression travels in the binary rather than LSAN_OPTIONS.
extern "C" const char* __lsan_default_suppressions() { return "leak:cupsAddOption\n"; }
#endif

#include "filter/CCupsInstance.h"
#include "filter/MemoryCeiling.h"

#if defined(__SANITIZE_ADDRESS__)
// libcups keeps an option string it allocates while marking a job's "media"
// option until the process exits. cupsfilter gives filters an environment of
// its own, so the suppression travels in the binary rather than LSAN_OPTIONS.
extern "C" const char* __lsan_default_suppressions() { return "leak:cupsAddOption\n"; }
#endif

int main(int argc, char** argv) {
    MemoryCeiling::Apply();
    CCupsInstance instance;
    return instance.Run(argc, argv);
}

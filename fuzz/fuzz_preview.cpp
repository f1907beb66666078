// One preview decoder on arbitrary bytes; QUORVANT_PREVIEW_LANG names it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "preview/PreviewLanguages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto decoder = PreviewLanguages::Create(QUORVANT_PREVIEW_LANG);
    if (!decoder)
        abort();
    decoder->Decode(data, size);
    return 0;
}

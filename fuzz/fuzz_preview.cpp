// The preview decoders on arbitrary bytes: the first byte picks the printer
// family (modulo the family count, in Families::All()'s order), the rest is
// the stream its decoder reads. A new family is fuzzed as soon as it is in
// the table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "families/Families.h"
#include "preview/PreviewLanguages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::vector<Families::Info>& families = Families::All();
    auto decoder = PreviewLanguages::Create(families[data[0] % families.size()].language);
    if (!decoder)
        abort();
    decoder->Decode(data + 1, size - 1);
    return 0;
}

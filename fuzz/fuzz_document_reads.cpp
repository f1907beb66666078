// What the hosts read of a document before it is rasterized, on arbitrary
// bytes: a picture's size and resolution (PNG, JPEG), the PDF filter's
// copies comment and page placements, and imagetoraster's statement of the
// printed size.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "filter/ImageChain.h"
#include "filter/PdfChain.h"
#include "render/ImageSize.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ImageSize image;
    ReadImageSize(bytes, image);
    PdfChain::CopiesLeft(bytes);
    double x, y;
    ImageChain::PrintedInches(bytes, x, y);
    // The placements are read from a file, mapped as the filter maps it.
    static const int fd = memfd_create("document", 0);
    if (fd >= 0 && ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == static_cast<ssize_t>(size))
        PdfChain::LeastScale("/proc/self/fd/" + std::to_string(fd));
    return 0;
}

// Writes the standard pages as CUPS raster files for whole-job measurements:
//   bench_make_raster label PAGES FILE   8-bit 812 x 1218 labels at 203 dpi
//   bench_make_raster a4 FILE            one 24-bit 2480 x 3508 page at 300 dpi
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/BenchPages.h"

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "label") == 0)
        return BenchPages::WriteRaster(argv[3], BenchPages::Label(), static_cast<unsigned>(std::atoi(argv[2]))) ? 0 : 1;
    if (argc == 3 && std::strcmp(argv[1], "a4") == 0)
        return BenchPages::WriteRaster(argv[2], BenchPages::ColourA4(), 1) ? 0 : 1;
    std::fprintf(stderr, "usage: %s label PAGES FILE | a4 FILE\n", argv[0]);
    return 2;
}

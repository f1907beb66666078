// The whole job on raster streams written by libcups's writer from
// fuzz-chosen headers: the reader's framing is always right, so the fuzzer
// spends its time on page sizes, depths, resolutions and options. Pages stay
// within 2048 x 2048; fuzz_job_raw covers absurd headers.
//
// Choices come from the end of the input (FuzzedDataProvider integrals), the
// option string and the pixel patterns from its front; make_seeds writes
// seeds in the same order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/FuzzPpd.h"
#include "fuzz/JobHarness.h"
#include "fuzz/RasterStream.h"

namespace {

const unsigned kDepths[] = {1, 2, 4, 8, 16, 24, 32};
const cups_cspace_t kSpaces[] = {CUPS_CSPACE_K, CUPS_CSPACE_W, CUPS_CSPACE_RGB, CUPS_CSPACE_CMYK,
                                 CUPS_CSPACE_RGBA, CUPS_CSPACE_SW, CUPS_CSPACE_SRGB};
const unsigned kSizeLimits[] = {64, 64, 512, 2048};
const unsigned kResolutions[] = {203, 300, 600, 72, 152, 1, 10000};

unsigned Resolution(FuzzedDataProvider& in) {
    const size_t index = in.ConsumeIntegralInRange<size_t>(0, sizeof kResolutions / sizeof kResolutions[0]);
    if (index < sizeof kResolutions / sizeof kResolutions[0])
        return kResolutions[index];
    return in.ConsumeIntegralInRange<unsigned>(0, 20000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int model = in.ConsumeIntegralInRange<int>(20, 24);
    FuzzPpd::Picks picks;
    for (uint8_t& pick : picks.pick)
        pick = in.ConsumeIntegral<uint8_t>();
    const std::string options = in.ConsumeRandomLengthString(64);
    RasterStream stream(in.ConsumeBool());

    const int pages = in.ConsumeIntegralInRange<int>(1, 3);
    for (int page = 0; page < pages; page++) {
        const unsigned bits = kDepths[in.ConsumeIntegralInRange<size_t>(0, 6)];
        const cups_cspace_t space = kSpaces[in.ConsumeIntegralInRange<size_t>(0, 6)];
        // Mostly small pages: they reach the same code many times faster.
        const unsigned limit = kSizeLimits[in.ConsumeIntegralInRange<size_t>(0, 3)];
        const unsigned width = in.ConsumeIntegralInRange<unsigned>(1, limit);
        const unsigned height = in.ConsumeIntegralInRange<unsigned>(1, limit);
        // Padding past the 64 bytes the filter allows is refused there;
        // the writer compresses whole pixels, so it comes in pixels.
        const unsigned pixelBytes = bits >= 8 ? bits / 8 : 1;
        const unsigned pad = in.ConsumeIntegralInRange<unsigned>(0, 80) / pixelBytes * pixelBytes;
        cups_page_header2_t header = RasterStream::MakeHeader(width, height, bits, 203);
        header.cupsBitsPerColor = bits >= 24 ? 8 : bits;
        header.cupsColorSpace = space;
        header.cupsBytesPerLine += pad;
        header.HWResolution[0] = Resolution(in);
        header.HWResolution[1] = Resolution(in);
        // Only the last page may end early: a short page in the middle
        // would turn the next header into pixels, which is fuzz_job_raw's job.
        const bool last = page + 1 == pages;
        const unsigned rows =
            in.ConsumeBool() && last ? in.ConsumeIntegralInRange<unsigned>(0, height) : height;
        const size_t patternSize = in.ConsumeIntegralInRange<size_t>(0, 4 * size_t(header.cupsBytesPerLine));
        const std::vector<uint8_t> pattern = in.ConsumeBytes<uint8_t>(patternSize);
        if (!stream.Header(header))
            return 0;

        // Line y repeats the pattern from y * bytesPerLine on: a pattern
        // shorter than a line makes stripes, a longer one varied lines.
        std::vector<uint8_t> line(header.cupsBytesPerLine, 0xFF);
        for (unsigned y = 0; y < rows; y++) {
            if (!pattern.empty()) {
                size_t at = size_t(y) * line.size() % pattern.size();
                for (uint8_t& byte : line) {
                    byte = pattern[at];
                    at = at + 1 == pattern.size() ? 0 : at + 1;
                }
            }
            if (!stream.Row(line.data(), header.cupsBytesPerLine))
                return 0;
        }
    }
    const std::vector<uint8_t> raster = stream.Finish();
    JobHarness::RunChecked(model, FuzzPpd::Write(model, picks), options, raster.data(), raster.size());
    return 0;
}

// The whole job on raster streams written by libcups's writer from
// fuzz-chosen headers: the reader's framing is always right, so the fuzzer
// spends its time on page sizes, depths, resolutions, media and imaging
// boxes, PPDs and options. Pages stay within 2048 x 2048 (placed on media
// within the size class's budget, see JobInputs::Header); fuzz_job_raw
// covers absurd headers. The layout is JobInputs::Visit(StructJob).
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzPpd.h"
#include "fuzz/JobHarness.h"
#include "fuzz/JobInputs.h"
#include "fuzz/ProviderIO.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ProviderReader in(data, size);
    JobInputs::StructJob job;
    JobInputs::Visit(in, job);
    const std::vector<uint8_t> raster = JobInputs::Raster(job);
    if (raster.empty())
        return 0;
    const FuzzPpd::JobPpd ppd = FuzzPpd::Make(job.source, job.picks);
    JobHarness::RunChecked(ppd.model, ppd.ppd, JobInputs::JoinOptions(ppd.options, job.options), raster.data(),
                           raster.size());
    return 0;
}

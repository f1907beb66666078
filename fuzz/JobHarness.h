#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Runs whole filter jobs inside the fuzzing process: the PPD, the raster
// stream and standard output are memory files, standard error goes to
// /dev/null while the job runs, and the system log is muted.
namespace JobHarness {

struct Result {
    int status = 0;
    std::vector<uint8_t> output;
};

// The language of a model number's output (a PreviewLanguages name); null
// for a model number no family has.
const char* LanguageOf(int modelNumber);

// Runs CCupsInstance on `raster` with `ppd` as the PPD and `options` as the
// job's option string.
Result Run(const std::string& ppd, const std::string& options, const uint8_t* raster, size_t size);

// Run, then the checks every job must pass: an exit status of 0 means
// something was sent, and whatever was sent, by a job that succeeded or
// failed, decodes in the model's language as one or more complete pages.
// Aborts with the reason on standard error otherwise.
void RunChecked(int modelNumber, const std::string& ppd, const std::string& options, const uint8_t* raster,
                size_t size);

}  // namespace JobHarness

#pragma once

#include <pappl/pappl.h>

struct ImageSize;

// PAPPL's image filter scales a JPEG or PNG picture to the media before the
// raster callbacks see a line of it. Its placement, as PAPPL 1.3.1's
// papplJobFilterImage computes it, tells how much the picture was shrunk,
// and the job is warned when bar codes may not scan.
namespace ImageShrink {

// The dots PAPPL prints the picture at, along the picture's own width and
// height, and whether it turned the picture a quarter. `options` are those
// the raster callbacks get: PAPPL has resolved "print-scaling" to none, fit
// or fill; `orientation` is the job's (or the printer's default) before
// PAPPL turned the picture.
struct Dots {
    long long x = 0, y = 0;
    bool turned = false;
};
Dots Placed(const ImageSize& size, const pappl_pr_options_t& options, ipp_orient_t orientation);

// At the job's start: a PNG or JPEG job shrunk below what a 0.33 mm module
// needs gets the warning as its message and in the log.
void Note(pappl_job_t* job, const pappl_pr_options_t& options);

}  // namespace ImageShrink

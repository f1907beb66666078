#pragma once

#include <pappl/pappl.h>

// PAPPL's raster callbacks: a job's pages arrive line by line into the page
// image of the renderer the driver's model number selects, and go through
// the same hooks the CUPS filter drives (OnStartDoc; per page OnStartPage,
// OnBeginBmp, OnPaintBmp, OnEndBmp, OnEndPage; OnEndDoc).
namespace RasterJob {

bool StartJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
// Starts a job of labels the application draws itself (ZPL), whose pages
// are headed as render/LabelJob heads them: each page's NumCopies are the
// label's own copies, made one after another within the job's copies, and
// its print settings apply over the job's unless the job names them.
bool StartLabelJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
bool StartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned page);
bool WriteLine(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned y,
               const unsigned char* line);
bool EndPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned page);
bool EndJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
// Ends a job started by StartJob whose pages stop coming (a document that
// fails midway): no end-job callback follows.
void AbortJob(pappl_job_t* job, pappl_device_t* device);

}  // namespace RasterJob

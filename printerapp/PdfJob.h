#pragma once

#include <pappl/pappl.h>

// PDF documents: quorvant-pdf-pages (pdfpages/PdfPages.h) renders the
// selected pages at the printer's resolution in a child process, and each
// page it returns goes through the raster callbacks (RasterJob) as a PWG
// raster page does. A document the program refuses ends the job aborted
// with the reason, before anything is sent to the printer.
namespace PdfJob {

// PAPPL's MIME filter callback for application/pdf.
bool Print(pappl_job_t* job, pappl_device_t* device, void* data);

}  // namespace PdfJob

#pragma once

#include <pappl/pappl.h>

#include <cstddef>

// ZPL labels in the printer application: over IPP as application/vnd.zebra-zpl
// and on the raw port. Each label is drawn by zpl::ZplInterpreter at the
// printer's resolution, scaled from the "zpl-resolution" the job or printer
// says, and goes through the raster callbacks (RasterJob) as one page of its
// own size (^PW / ^LL, else the job's media), its dots as they are drawn
// (no halftoning). Its ^PQ copies, within the job's copies, and its print
// settings, below those the job names, apply as in the CUPS filter
// (render/LabelJob).
namespace ZplJob {

// The MIME type IPP clients and CUPS name ZPL with.
extern const char kFormat[];

// PAPPL's MIME typing callback: ZPL by its first command (zpl::LooksLikeZpl),
// for documents sent as application/octet-stream and on the raw port; null
// for anything else.
const char* Type(const unsigned char* header, size_t size, void* data);

}  // namespace ZplJob

// Prints the job's document as ZPL: PAPPL's MIME filter callback for
// ZplJob::kFormat, and the one place a ZPL job is drawn, whichever way it
// arrived. False, with the job's message saying why, when nothing printed.
bool PrintZplJob(pappl_job_t* job, pappl_device_t* device, void* data);

#pragma once

#include <pappl/pappl.h>

// Documents no MIME type fits (PAPPL's application/octet-stream): the
// "testpage" request, and on the raw port (AppSocket) a stream in the
// printer's own language, sent to it unchanged with its status watched as
// for every job. Anything else ends the job aborted, with a log line naming
// the printer, the port and why. PDF, PWG and Apple raster, JPEG, PNG and
// ZPL arriving on the raw port are typed by PAPPL and print as over IPP.
namespace RawJob {

// PAPPL's MIME filter callback for application/octet-stream.
bool Print(pappl_job_t* job, pappl_device_t* device, void* data);

}  // namespace RawJob

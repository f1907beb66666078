#include "printerapp/PdfJob.h"

#include <limits.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pdfpages/PdfPages.h"
#include "printerapp/CRenderChild.h"
#include "printerapp/RasterJob.h"
#include "render/FineDetail.h"
#include "render/ProgramBeside.h"

namespace PdfJob {

namespace {

// Beside the application's own executable (the build tree, the tests),
// else where the package installs it.
std::string ProgramPath() {
    const std::string beside = ProgramBeside(PdfPages::kProgram);
    return beside.empty() ? std::string(QUORVANT_LIBEXEC_DIR "/") + PdfPages::kProgram : beside;
}

int PageSeconds() {
    const char* value = getenv("QUORVANT_PDF_PAGE_SECONDS");
    const int seconds = value ? std::atoi(value) : 0;
    return seconds > 0 ? seconds : PdfPages::kPageSeconds;
}

// The job's own "print-scaling"; without one a PDF is placed as "auto"
// places it (print-scaling-default is the printer's rule for pictures).
std::string Scaling(pappl_job_t* job) {
    ipp_attribute_t* attr = papplJobGetAttribute(job, "print-scaling");
    const char* keyword = attr ? ippGetString(attr, 0, nullptr) : nullptr;
    return keyword && *keyword ? keyword : "auto";
}

// What ends a job the program did not print, for its message and reasons.
void Refused(pappl_job_t* job, CRenderChild& child, int seconds) {
    const int status = child.Status();
    std::string message = child.Message();
    pappl_jreason_t reason = PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR;
    if (child.TimedOut()) {
        message = "A page of the PDF took over " + std::to_string(seconds) + " s to render.";
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == PdfPages::kDamaged) {
        reason = PAPPL_JREASON_DOCUMENT_FORMAT_ERROR;
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == PdfPages::kLocked) {
        reason = PAPPL_JREASON_DOCUMENT_PASSWORD_ERROR;
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == PdfPages::kUnprintable) {
    } else if (WIFSIGNALED(status)) {
        message = "The PDF renderer ended on signal " + std::to_string(WTERMSIG(status)) + " on a page of the PDF.";
    } else {
        reason = PAPPL_JREASON_ABORTED_BY_SYSTEM;
        if (message.empty())
            message = "The PDF renderer failed.";
    }
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", message.c_str());
    papplJobSetMessage(job, "%s", message.c_str());
    papplJobSetReasons(job, reason, PAPPL_JREASON_NONE);
}

ssize_t ReadChild(void* child, unsigned char* buffer, size_t length) {
    return static_cast<CRenderChild*>(child)->Read(buffer, length);
}

// The page as the raster callbacks take it: the media's header, as PAPPL
// made it for the job, for 8-bit sGray lines.
cups_page_header2_t PageHeader(const cups_page_header2_t& media) {
    cups_page_header2_t header = media;
    header.cupsBitsPerColor = 8;
    header.cupsBitsPerPixel = 8;
    header.cupsBytesPerLine = header.cupsWidth;
    header.cupsColorSpace = CUPS_CSPACE_SW;
    header.cupsNumColors = 1;
    return header;
}

// The program's page is the media's, or the stream is not the program's.
bool SameSize(const cups_page_header2_t& page, const cups_page_header2_t& media) {
    return page.cupsWidth == media.cupsWidth && page.cupsHeight == media.cupsHeight && page.cupsBitsPerPixel == 8 &&
           page.cupsBytesPerLine == media.cupsWidth && page.HWResolution[0] == media.HWResolution[0] &&
           page.HWResolution[1] == media.HWResolution[1];
}

// A page shrunk to where bar codes may not scan prints, with a warning.
void NoteScale(pappl_job_t* job, unsigned page, const cups_page_header2_t& header) {
    const double scale = header.cupsReal[PdfPages::kScaleField];
    const unsigned source = header.cupsInteger[PdfPages::kSourcePageField];
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "page %u: PDF page %u at %.1f %%%s", page, source, scale * 100.0,
                header.cupsInteger[PdfPages::kTurnedField] ? ", turned a quarter" : "");
    const std::string warning = FineDetail::ShrinkWarning(scale, static_cast<int>(header.HWResolution[0]));
    if (warning.empty())
        return;
    papplLogJob(job, PAPPL_LOGLEVEL_WARN, "PDF page %u: %s", source, warning.c_str());
    papplJobSetMessage(job, "%s", warning.c_str());
}

}  // namespace

bool Print(pappl_job_t* job, pappl_device_t* device, void*) {
    pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 0, false);
    if (!options) {
        papplJobSetMessage(job, "Not enough memory for the job.");
        return false;
    }
    const cups_page_header2_t media = PageHeader(options->header);
    if (media.cupsWidth == 0 || media.cupsHeight == 0) {
        papplJobSetMessage(job, "The printer's media has no size.");
        papplJobDeletePrintOptions(options);
        return false;
    }
    const unsigned last = options->last_page > static_cast<unsigned>(INT_MAX) ? INT_MAX : options->last_page;
    const std::vector<std::string> args = {std::to_string(media.cupsWidth),
                                           std::to_string(media.cupsHeight),
                                           std::to_string(media.HWResolution[0]),
                                           std::to_string(media.HWResolution[1]),
                                           std::to_string(std::max(1u, options->first_page)),
                                           std::to_string(std::max(1u, last)),
                                           Scaling(job),
                                           papplJobGetFilename(job)};
    const int seconds = PageSeconds();
    CRenderChild child;
    std::string problem;
    if (!child.Start(
            ProgramPath(), args, seconds, [job] { return papplJobIsCanceled(job); }, problem)) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "cannot start the PDF renderer: %s", problem.c_str());
        papplJobSetMessage(job, "The PDF renderer cannot be started.");
        papplJobSetReasons(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, PAPPL_JREASON_NONE);
        papplJobDeletePrintOptions(options);
        return false;
    }

    // The stream ends where the program ends it (printed, or refused, or
    // killed for taking too long), or where the job stops taking pages
    // (`stopped`: the printer failed, the job was cancelled).
    cups_raster_t* raster = cupsRasterOpenIO(ReadChild, &child, CUPS_RASTER_READ);
    std::vector<unsigned char> line(media.cupsBytesPerLine);
    bool started = false, stopped = false, cut = false, ended = raster == nullptr;
    unsigned page = 0;
    cups_page_header2_t header;
    while (!ended && !stopped) {
        if (papplJobIsCanceled(job)) {
            stopped = true;
        } else if (!cupsRasterReadHeader2(raster, &header)) {
            ended = true;
        } else if (!SameSize(header, media)) {
            papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "the PDF renderer's page is %u x %u, not %u x %u", header.cupsWidth,
                        header.cupsHeight, media.cupsWidth, media.cupsHeight);
            papplJobSetMessage(job, "The PDF renderer failed.");
            stopped = true;
        } else {
            // Nothing goes to the printer before the program's first page.
            if (!started) {
                papplJobSetImpressions(job, static_cast<int>(header.cupsInteger[PdfPages::kPagesField]));
                if (!RasterJob::StartJob(job, options, device)) {
                    stopped = true;
                    continue;
                }
                started = true;
            }
            page++;
            papplJobSetImpressionsCompleted(job, 1);
            NoteScale(job, page, header);
            options->header = media;
            stopped = !RasterJob::StartPage(job, options, device, page);
            unsigned y = 0;
            for (; !stopped && y < media.cupsHeight; y++) {
                if (!cupsRasterReadPixels(raster, line.data(), media.cupsBytesPerLine))
                    break;
                stopped = !RasterJob::WriteLine(job, options, device, y, line.data());
            }
            // A page cut short by the program's end is not printed.
            if (!stopped && y < media.cupsHeight) {
                ended = cut = true;
                break;
            }
            stopped = stopped || !RasterJob::EndPage(job, options, device, page);
        }
    }
    if (raster)
        cupsRasterClose(raster);
    child.Finish(!stopped);
    const int status = child.Status();
    const bool printed = !stopped && WIFEXITED(status) && WEXITSTATUS(status) == PdfPages::kPrinted && page > 0 && !cut;
    if (!printed && !stopped && !child.Canceled())
        Refused(job, child, seconds);
    bool ok = printed;
    if (started && printed)
        ok = RasterJob::EndJob(job, options, device);
    else if (started)
        RasterJob::AbortJob(job, device);
    papplJobDeletePrintOptions(options);
    return ok;
}

}  // namespace PdfJob

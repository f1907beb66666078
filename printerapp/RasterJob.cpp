#include "printerapp/RasterJob.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "families/Families.h"
#include "families/NamedSettings.h"
#include "printerapp/CPapplRender.h"
#include "printerapp/ImageShrink.h"
#include "printerapp/PageOverrides.h"
#include "printerapp/PrinterStatus.h"
#include "printerapp/StatusWatch.h"
#include "render/CCopyRecording.h"
#include "render/CKeptPages.h"
#include "render/CopyPlan.h"
#include "render/HeaderField.h"
#include "render/LabelJob.h"
#include "render/PagePath.h"

namespace RasterJob {

namespace {

// A job's state between the callbacks, the job's data in PAPPL.
struct State {
    PapplHost::JobContext context;
    CStdRefPtr<CBaseRender> render;
    bool pageReady = false;  // the current page's image exists
    PageHeader header;       // the current page's
    PagePlan plan;
    CGrayPage page;  // where its lines go
    CopyPlan copies;
    CCopyRecording recording;  // the pages' bytes, where copies repeat them
    // Where they cannot be sent again (Families::Info::replayPages): the
    // pages are drawn again, those of a job sent again kept for it.
    bool replayPages = true;
    CKeptPages kept;
    bool copiesLost = false;  // a recording or the kept pages past their cap
    // Collated copies of a raster whose pages are not counted: the first
    // page waits, painted, until the job shows whether a second follows.
    int jobCopies = 1;
    bool firstPageWaits = false;
    bool pageHeld = false;
    cups_page_header2_t heldHeader;
    // Labels drawn by the application (StartLabelJob).
    bool labels = false;
    LabelJob::Pages labelPages;
};

// PAPPL (as patched) runs a job in one thread only, which owns its state
// from StartJob to EndJob or Abandon.
State* GetState(pappl_job_t* job) { return static_cast<State*>(papplJobGetData(job)); }

// Ends a job that cannot go on. PAPPL may not call the end-job callback after
// a failed page, so the state goes now; later callbacks find none and fail.
bool Abandon(pappl_job_t* job, State* state) {
    papplJobSetData(job, nullptr);
    delete state;
    return false;
}

// 8-bit gray, 0 black, is what the page preparation takes. PAPPL delivers
// 8-bit sGray (0 black) or 1-bit black (1 black), or 8-bit device black.
void StoreLine(const cups_page_header2_t& header, const unsigned char* line, uint8_t* row) {
    const unsigned width = header.cupsWidth;
    if (header.cupsBitsPerPixel == 8) {
        if (HeaderNumber(header.cupsColorSpace) == CUPS_CSPACE_K) {
            for (unsigned x = 0; x < width; x++)
                row[x] = static_cast<uint8_t>(255 - line[x]);
        } else {
            std::memcpy(row, line, width);
        }
        return;
    }
    const bool setIsBlack = HeaderNumber(header.cupsColorSpace) == CUPS_CSPACE_K;
    for (unsigned x = 0; x < width; x++) {
        const bool set = (line[x >> 3] & (0x80 >> (x & 7))) != 0;
        row[x] = set == setIsBlack ? 0 : 255;
    }
}

// How the job's copies are made. PAPPL's image filter prints a JPEG or PNG
// page options->copies times and its raster path once: the application
// makes the copies of both, so the image filter is told to print one. A job
// is collated unless it asks otherwise ("multiple-document-handling"; PAPPL
// 1.3 has no collation option of its own); an image is one page, and so is a
// raster whose pages the client or the first page header count as one, or a
// PDF of which one page is selected (its pages are counted before it starts).
// Labels are not counted before they are drawn.
void PlanCopies(pappl_job_t* job, pappl_pr_options_t* options, State& state) {
    const int copies = std::max(1, options->copies);
    options->copies = 1;
    const char* format = papplJobGetFormat(job);
    const bool paged =
        state.labels || (format && (!std::strcmp(format, "image/pwg-raster") || !std::strcmp(format, "image/urf") ||
                                    !std::strcmp(format, "application/pdf")));
    ipp_attribute_t* handling = papplJobGetAttribute(job, "multiple-document-handling");
    const char* keyword = handling ? ippGetString(handling, 0, nullptr) : nullptr;
    const bool collated = !keyword || std::strcmp(keyword, "separate-documents-uncollated-copies") != 0;
    const Families::Info& family = *Families::Find(state.context.driver->modelNumber);
    const bool copyCount = family.copyCount;
    state.replayPages = family.replayPages;
    const int pages = state.labels ? 0 : paged ? papplJobGetImpressions(job) : 1;
    state.jobCopies = copies;
    state.copies = CopyPlan::For(copies, copyCount, collated, pages == 1);
    state.firstPageWaits = copyCount && state.copies.jobRepeats > 1 && pages == 0;
    state.context.copies = state.copies.perPage;
    // A label's own copies are its page sent again where the printer does
    // not count them.
    if (state.replayPages && (state.copies.Records() || (state.labels && !copyCount))) {
        state.context.recording = &state.recording;
        state.recording.SetOn(true);
    }
    papplLogJob(job, PAPPL_LOGLEVEL_DEBUG,
                "copies: %d, %s, %d pages; %d by the printer's count, pages %d times, job %d times%s", copies,
                collated ? "collated" : "uncollated", pages, state.copies.perPage, state.copies.pageRepeats,
                state.copies.jobRepeats, state.firstPageWaits ? ", the first page waits" : "");
}

// Sends the kept bytes `times` more times: all of them, or a page's copies
// within a job that is sent again, those since `pageStart`, kept again with
// the job's; where pages cannot be sent again, the kept pages are drawn
// again instead (only the whole job is: a page's own copies are drawn with
// it). A recording past its cap cannot be, and the job ends failed with why.
const size_t kWholeRecording = SIZE_MAX;
bool Repeat(State& state, int times, size_t pageStart = kWholeRecording) {
    if (state.replayPages ? state.recording.Overflowed() : state.kept.Overflowed()) {
        if (!state.copiesLost)
            state.render->ReportError("The job is too large to keep for its copies; one copy was printed.");
        state.copiesLost = true;
        return true;
    }
    if (!state.replayPages) {
        state.kept.DrawAgain(*state.render, times);
        return !state.context.outputFailed;
    }
    const auto write = [&state](const void* data, int length) {
        return PapplHost::WriteSpool(state.context, data, length);
    };
    return pageStart == kWholeRecording ? state.recording.Replay(times, write)
                                        : state.recording.ReplaySince(pageStart, times, write);
}

// A label's settings and copies, before its page is drawn: its copies
// within the job's, the printer's count of them where the family has one.
CopyPlan BeginLabel(State& state, pappl_job_t* job, const cups_page_header2_t& header) {
    CBaseRender& render = *state.render;
    const zpl::PrintSettings label = LabelJob::SettingsOf(header);
    const std::string warning =
        state.labelPages.BeginPage(render, label, header.cupsWidth, header.cupsHeight, int(header.HWResolution[0]));
    if (!warning.empty()) {
        papplLogJob(job, PAPPL_LOGLEVEL_WARN, "%s", warning.c_str());
        papplJobSetMessage(job, "%s", warning.c_str());
    }
    const NamedSettings::Setting& copies = *NamedSettings::Find("copies");
    const CopyPlan plan = state.copies.ForPage(
        label.copies, Families::Find(state.context.driver->modelNumber)->copyCount, copies.range.high);
    NamedSettings::Apply(render, copies, plan.perPage);
    return plan;
}

// Sends the page whose lines are in (or the held first page) as the copy
// plan says.
void SendPage(State& state, cups_page_header2_t& header) {
    CBaseRender& render = *state.render;
    const CopyPlan plan = state.labels ? BeginLabel(state, state.context.job, header) : state.copies;
    // A label's copies within a job sent again are kept with the job's pages;
    // otherwise only its own page is kept.
    const size_t pageStart = plan.jobRepeats > 1 ? state.recording.Bytes().size() : kWholeRecording;
    if (state.labels && pageStart == kWholeRecording)
        state.recording.Clear();
    render.BeginPage(&header, header.HWResolution[0], header.HWResolution[1]);
    PagePath::Paint(render, state.plan, state.page.PlacedWhileRead(), state.header);
    render.OnEndPage();
    if (!state.replayPages) {
        for (int i = 1; i < plan.pageRepeats; i++)
            PagePath::PaintAgain(render);
        if (plan.jobRepeats > 1)
            state.kept.Keep(render, plan.pageRepeats);
    }
    render.EndPage();
    if (state.replayPages && plan.pageRepeats > 1) {
        Repeat(state, plan.pageRepeats - 1, pageStart);
        if (pageStart == kWholeRecording)
            state.recording.Clear();
    }
    state.context.pagesSent += static_cast<unsigned>(plan.perPage * plan.pageRepeats);
}

// The held first page once the job's end shows it was the only one: its
// copies are the printer's count, and nothing is sent again.
void SendOnlyPage(State& state) {
    state.pageHeld = false;
    state.copies = CopyPlan::For(state.jobCopies, true, false, true);
    state.context.copies = state.copies.perPage;
    state.context.recording = nullptr;
    NamedSettings::Apply(*state.render, "copies", state.copies.perPage);
    SendPage(state, state.heldHeader);
}

// StartJob, and StartLabelJob for `labels`.
bool Start(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, bool labels) {
    pappl_printer_t* printer = papplJobGetPrinter(job);
    const DriverTable::Driver* driver = DriverTable::Find(papplPrinterGetDriverName(printer));
    if (!driver || !Families::Find(driver->modelNumber)) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "no renderer for driver %s", papplPrinterGetDriverName(printer));
        papplJobSetMessage(job, "The printer's driver is unknown.");
        return false;
    }
    // A job started a second time while its state exists would share it:
    // refuse, and leave the state to the thread that made it.
    if (papplJobGetData(job)) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "the job is already being printed by another thread");
        return false;
    }
    PrinterStatus::JobStarted(printer);
    State* state = new State;
    state->context.job = job;
    state->context.device = device;
    state->context.options = options;
    state->context.driver = driver;
    state->render =
        MakeRefPtr<CBaseRender>(Families::CreateRenderer<CPapplRender>(driver->modelNumber, state->context));
    state->labels = labels;
    papplJobSetData(job, state);
    PlanCopies(job, options, *state);

    // Nothing is sent to a printer that cannot print; a job cancelled while
    // it waits ends here, and PAPPL calls no end-job callback after this.
    if (!StatusWatch::WaitReady(state->context)) {
        PapplHost::FinishDevice(state->context);
        return Abandon(job, state);
    }
    state->render->GetPrinterParameters();
    state->render->SetModelName(driver->deviceIdModel);
    if (labels)
        state->labelPages.Start(*state->render, PapplHost::LabelPrinter(*driver), PapplHost::LabelNamed(job, *options));
    state->render->OnStartDoc(0);
    ImageShrink::Note(job, *options);
    return true;
}

}  // namespace

bool StartJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
    return Start(job, options, device, false);
}

bool StartLabelJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
    return Start(job, options, device, true);
}

bool StartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned page) {
    State* state = GetState(job);
    if (!state)
        return false;
    // A second page: the held first one goes now, once, its copies with the
    // job's.
    if (state->pageHeld) {
        state->pageHeld = false;
        state->firstPageWaits = false;
        SendPage(*state, state->heldHeader);
        if (state->context.outputFailed)
            return Abandon(job, state);
    }
    state->context.options = options;
    const cups_page_header2_t& header = options->header;
    state->pageReady = false;
    state->header = PagePath::HeaderOf(header);
    std::string problem = "only 1 or 8 bits per pixel";
    bool skippable = true;
    if ((header.cupsBitsPerPixel != 1 && header.cupsBitsPerPixel != 8) ||
        !PagePath::Check(state->header, problem, skippable)) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "page %u: unusable raster (%u x %u dots, %u bits): %s", page,
                    header.cupsWidth, header.cupsHeight, header.cupsBitsPerPixel, problem.c_str());
        papplJobSetMessage(job, "Page %u cannot be printed (%s).", page, problem.c_str());
        return Abandon(job, state);
    }
    // The lines are stored as 8-bit gray, placed and fitted as they arrive.
    state->plan = PagePath::Plan(*state->render, state->header, 8);
    if (!state->page.Start(state->header, state->plan, state->render->PageImage())) {
        papplJobSetMessage(job, "Not enough memory for page %u.", page);
        return Abandon(job, state);
    }
    papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "page %u: %u x %u dots, %u bits, color space %d, %u x %u dpi", page,
                header.cupsWidth, header.cupsHeight, header.cupsBitsPerPixel, HeaderNumber(header.cupsColorSpace),
                header.HWResolution[0], header.HWResolution[1]);
    state->pageReady = true;
    return true;
}

bool WriteLine(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned y, const unsigned char* line) {
    State* state = GetState(job);
    if (!state || !state->pageReady)
        return false;
    // Lines are taken in order, as PAPPL delivers them.
    if (y >= options->header.cupsHeight || y != state->page.Rows())
        return true;
    StoreLine(options->header, line, state->page.Row());
    state->page.AddRow();
    return !state->context.outputFailed || Abandon(job, state);
}

bool EndPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned page) {
    State* state = GetState(job);
    if (!state || !state->pageReady)
        return false;
    CBaseRender& render = *state->render;
    cups_page_header2_t& header = options->header;
    state->page.Finish();
    // A page whose data stop short prints, its missing lines blank, as in
    // the filter.
    if (state->page.Rows() < header.cupsHeight)
        render.ReportWarning("Page %u ended early (%u of %u lines); its missing lines print blank.", page,
                             state->page.Rows(), header.cupsHeight);
    if (papplJobIsCanceled(job))
        return Abandon(job, state);
    // Settings that some pages override are worked out again for each page.
    PageOverrides overrides;
    if (overrides.ForPage(job, page, *options)) {
        state->context.options = const_cast<pappl_pr_options_t*>(&overrides.Options());
        render.GetPrinterParameters();
        state->context.options = options;
    }
    state->pageReady = false;
    if (state->firstPageWaits) {
        state->heldHeader = header;
        state->pageHeld = true;
        return true;
    }
    SendPage(*state, header);
    // The next page waits while the printer cannot print it.
    return (!state->context.outputFailed && StatusWatch::WaitReady(state->context)) || Abandon(job, state);
}

// A job is completed only when every byte reached the device and, where the
// printer can tell, once its labels have printed.
bool EndJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
    State* state = GetState(job);
    if (!state) {
        // Abandoned; a state of another thread's keeps the device.
        if (!papplJobGetData(job))
            PapplHost::ReleaseDevice(job, device);
        return false;
    }
    if (state->pageHeld && !papplJobIsCanceled(job))
        SendOnlyPage(*state);
    // Collated copies: the job's pages again, before what ends the job.
    const int repeats = state->copies.jobRepeats - 1;
    if (repeats > 0 && !state->context.outputFailed && !papplJobIsCanceled(job) && Repeat(*state, repeats))
        state->context.pagesSent *= static_cast<unsigned>(state->copies.jobRepeats);
    state->context.recording = nullptr;
    state->render->OnEndDoc();
    const bool printed = StatusWatch::WaitPrinted(state->context);
    const bool ok = PapplHost::FinishDevice(state->context) && printed && !state->copiesLost;
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "%llu bytes sent to the printer", state->context.bytesWritten);
    Abandon(job, state);
    return ok;
}

// A job that cannot go on past its pages already sent: the page in hand and
// the copies still to come are dropped, what was sent is flushed.
void AbortJob(pappl_job_t* job, pappl_device_t* device) {
    State* state = GetState(job);
    if (!state) {
        PapplHost::ReleaseDevice(job, device);
        return;
    }
    state->context.recording = nullptr;
    PapplHost::FinishDevice(state->context);
    Abandon(job, state);
}

}  // namespace RasterJob

#include "printerapp/RasterJob.h"

#include <cstring>

#include "families/Families.h"
#include "printerapp/CPapplRender.h"
#include "printerapp/PageOverrides.h"
#include "printerapp/PrinterStatus.h"
#include "render/AreaScale.h"
#include "render/PagePlan.h"

namespace RasterJob {

namespace {

// A job's state between the callbacks, the job's data in PAPPL.
struct State {
    PapplHost::JobContext context;
    CStdRefPtr<CBaseRender> render;
    bool pageReady = false;            // the current page's image exists
    unsigned linesReceived = 0;        // rows of the current page PAPPL delivered
    PagePlan plan;                     // the current page's
    AreaScale::PageShrinker shrinker;  // a fitted page's lines go through it
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
        if (header.cupsColorSpace == CUPS_CSPACE_K) {
            for (unsigned x = 0; x < width; x++)
                row[x] = static_cast<uint8_t>(255 - line[x]);
        } else {
            std::memcpy(row, line, width);
        }
        return;
    }
    const bool setIsBlack = header.cupsColorSpace == CUPS_CSPACE_K;
    for (unsigned x = 0; x < width; x++) {
        const bool set = (line[x >> 3] & (0x80 >> (x & 7))) != 0;
        row[x] = set == setIsBlack ? 0 : 255;
    }
}

}  // namespace

bool StartJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
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
    papplJobSetData(job, state);

    state->render->GetPrinterParameters();
    state->render->SetModelName(driver->deviceIdModel);
    state->render->OnStartDoc(0);
    return true;
}

bool StartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned page) {
    State* state = GetState(job);
    if (!state)
        return false;
    state->context.options = options;
    const cups_page_header2_t& header = options->header;
    CxImage& image = state->render->m_Image;
    const unsigned long long pixels = static_cast<unsigned long long>(header.cupsWidth) * header.cupsHeight;
    state->pageReady = false;
    if (header.cupsWidth == 0 || header.cupsHeight == 0 || header.HWResolution[0] == 0 || header.HWResolution[1] == 0 ||
        (header.cupsBitsPerPixel != 1 && header.cupsBitsPerPixel != 8) ||
        pixels > static_cast<unsigned long long>(CxImage::kMaxMemory)) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "page %u: unusable raster (%u x %u dots, %u bits)", page,
                    header.cupsWidth, header.cupsHeight, header.cupsBitsPerPixel);
        papplJobSetMessage(job, "Page %u cannot be printed.", page);
        return Abandon(job, state);
    }
    // A page that prints wider than the head is shrunk as its lines arrive.
    PagePlan& plan = state->plan;
    plan = PagePlan::For(*state->render, header.cupsWidth, header.cupsHeight, header.PageSize,
                         header.ImagingBoundingBox, header.HWResolution[0], header.HWResolution[1], 8);
    const bool made = plan.fitted ? state->shrinker.Start(plan.frame.mediaWidth, plan.frame.mediaHeight,
                                                          plan.frame.left, plan.frame.top, header.cupsWidth,
                                                          header.cupsHeight, plan.width, plan.height, image)
                                  : image.Create(header.cupsWidth, header.cupsHeight, 8, 0) != nullptr;
    if (!made) {
        papplJobSetMessage(job, "Not enough memory for page %u.", page);
        return Abandon(job, state);
    }
    if (!plan.fitted) {
        image.SetGrayPalette();
        std::memset(image.GetBits(0), 0xFF, static_cast<size_t>(image.GetEffWidth()) * header.cupsHeight);
    }
    papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "page %u: %u x %u dots, %u bits, color space %d, %u x %u dpi", page,
                header.cupsWidth, header.cupsHeight, header.cupsBitsPerPixel, static_cast<int>(header.cupsColorSpace),
                header.HWResolution[0], header.HWResolution[1]);
    state->pageReady = true;
    state->linesReceived = 0;
    return true;
}

bool WriteLine(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned y, const unsigned char* line) {
    State* state = GetState(job);
    if (!state || !state->pageReady)
        return false;
    const cups_page_header2_t& header = options->header;
    if (y >= header.cupsHeight)
        return true;
    if (state->plan.fitted) {
        // The shrinker takes lines in order; PAPPL delivers them so.
        if (y != state->linesReceived)
            return true;
        StoreLine(header, line, state->shrinker.RasterRow());
        state->shrinker.AddRasterRow(state->shrinker.RasterRow());
    } else {
        StoreLine(header, line, state->render->m_Image.GetBits(y));
    }
    if (y + 1 > state->linesReceived)
        state->linesReceived = y + 1;
    return !state->context.outputFailed || Abandon(job, state);
}

bool EndPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned page) {
    State* state = GetState(job);
    if (!state || !state->pageReady)
        return false;
    CBaseRender& render = *state->render;
    cups_page_header2_t& header = options->header;
    // PAPPL ends a page whose data stops short as if it were whole; half a
    // label is not printed.
    if (state->linesReceived < header.cupsHeight) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "page %u: %u of %u lines received", page, state->linesReceived,
                    header.cupsHeight);
        papplJobSetMessage(job, "Page %u is truncated (%u of %u lines).", page, state->linesReceived,
                           header.cupsHeight);
        return Abandon(job, state);
    }
    if (papplJobIsCanceled(job))
        return Abandon(job, state);
    render.m_pHeader = &header;
    render.m_iDpi = static_cast<int>(header.HWResolution[0]);
    render.m_Image.SetXDPI(static_cast<int32_t>(header.HWResolution[0]));
    render.m_Image.SetYDPI(static_cast<int32_t>(header.HWResolution[1]));
    // Settings that some pages override are worked out again for each page.
    PageOverrides overrides;
    if (overrides.ForPage(job, page, *options)) {
        state->context.options = const_cast<pappl_pr_options_t*>(&overrides.Options());
        render.GetPrinterParameters();
        state->context.options = options;
    }
    const PagePlan& plan = state->plan;
    if (plan.fitted) {
        state->shrinker.Finish();
        render.ReportFit(plan.frame.mediaWidth, plan.frame.mediaHeight, plan.width, plan.height);
    } else {
        render.PlaceAndFit(plan.placed ? &plan.placement : nullptr);
    }
    render.OnStartPage();
    render.OnBeginBmp();
    render.OnPaintBmp();
    render.OnEndBmp();
    render.OnEndPage();
    render.m_pHeader = nullptr;
    state->pageReady = false;
    return !state->context.outputFailed || Abandon(job, state);
}

// A job is completed only when every byte reached the device.
bool EndJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
    State* state = GetState(job);
    if (!state) {
        // Abandoned; a state of another thread's keeps the device.
        if (!papplJobGetData(job))
            PapplHost::ReleaseDevice(job, device);
        return false;
    }
    state->render->OnEndDoc();
    const bool ok = PapplHost::FinishDevice(state->context);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "%llu bytes sent to the printer", state->context.bytesWritten);
    Abandon(job, state);
    return ok;
}

}  // namespace RasterJob

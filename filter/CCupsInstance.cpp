#include "filter/CCupsInstance.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "filter/CCupsRender.h"
#include "filter/CupsLang.h"
#include "filter/RasterPage.h"
#include "filter/RendererFactory.h"
#include "filter/StatusCheck.h"
#include "render/AreaScale.h"
#include "render/FineDetail.h"
#include "render/HeaderField.h"
#include "render/PagePath.h"

int ModelNumber = 0;
int Page = 0;
volatile sig_atomic_t Canceled = 0;
CStdRefPtr<CBaseRender> g_pRender;

void CancelJob(int) { Canceled = 1; }

namespace {

void LogHeader(const cups_page_header2_t& h) {
    syslog(LOG_DEBUG, "DEBUG: Duplex = %d\n", HeaderNumber(h.Duplex));
    syslog(LOG_DEBUG, "DEBUG: HWResolution = [ %d %d ]\n", h.HWResolution[0], h.HWResolution[1]);
    syslog(LOG_DEBUG, "DEBUG: ImagingBoundingBox = [ %d %d %d %d ]\n", h.ImagingBoundingBox[0], h.ImagingBoundingBox[1],
           h.ImagingBoundingBox[2], h.ImagingBoundingBox[3]);
    syslog(LOG_DEBUG, "DEBUG: Margins = [ %d %d ]\n", h.Margins[0], h.Margins[1]);
    syslog(LOG_DEBUG, "DEBUG: ManualFeed = %d\n", HeaderNumber(h.ManualFeed));
    syslog(LOG_DEBUG, "DEBUG: MediaPosition = %d\n", h.MediaPosition);
    syslog(LOG_DEBUG, "DEBUG: NumCopies = %d\n", h.NumCopies);
    syslog(LOG_DEBUG, "DEBUG: Orientation = %d\n", HeaderNumber(h.Orientation));
    syslog(LOG_DEBUG, "DEBUG: PageSize = [ %d %d ]\n", h.PageSize[0], h.PageSize[1]);
    syslog(LOG_DEBUG, "DEBUG: cupsWidth = %d\n", h.cupsWidth);
    syslog(LOG_DEBUG, "DEBUG: cupsHeight = %d\n", h.cupsHeight);
    syslog(LOG_DEBUG, "DEBUG: cupsMediaType = %d\n", h.cupsMediaType);
    syslog(LOG_DEBUG, "DEBUG: cupsBitsPerColor = %d\n", h.cupsBitsPerColor);
    syslog(LOG_DEBUG, "DEBUG: cupsBitsPerPixel = %d\n", h.cupsBitsPerPixel);
    syslog(LOG_DEBUG, "DEBUG: cupsBytesPerLine = %d\n", h.cupsBytesPerLine);
    syslog(LOG_DEBUG, "DEBUG: cupsColorOrder = %d\n", HeaderNumber(h.cupsColorOrder));
    syslog(LOG_DEBUG, "DEBUG: cupsColorSpace = %d\n", HeaderNumber(h.cupsColorSpace));
    syslog(LOG_DEBUG, "DEBUG: cupsCompression = %d\n", h.cupsCompression);
}

}  // namespace

PageRead ReadPage(cups_raster_t* ras, const cups_page_header2_t& h, CBaseRender& render) {
    PageRead read;
    read.plan = PagePath::Plan(render, PagePath::HeaderOf(h), h.cupsBitsPerPixel);
    // Pages as they are read at their own depth, as CreateFromArray builds
    // them; colour and fitted pages as 8-bit gray, placed while read.
    if ((!read.plan.fitted && h.cupsBitsPerPixel < 24) ||
        read.plan.frame.mediaWidth > AreaScale::RowShrinker::kMaxFromWidth) {
        read.built = RasterPage::ReadImage(ras, h, render.PageImage(), read.rowsRead);
        return read;
    }
    read.built = RasterPage::ReadGray(ras, h, read.plan, render.PageImage(), read.rowsRead);
    read.placedWhileRead = read.plan.placed || read.plan.fitted;
    return read;
}

int CCupsInstance::Run(int argc, char** argv) {
    setbuf(stderr, nullptr);
    CupsHost::ResetOutput();

    if (argc != 6 && argc != 7) {
        _cupsLangPrintFilter(stderr, "ERROR", "%s job-id user title copies options [file]", "quorvant");
        return 1;
    }

    int fd = 0;
    if (argc == 7) {
        fd = open(argv[6], O_RDONLY);
        if (fd == -1) {
            _cupsLangPrintError("ERROR", "Unable to open raster file");
            sleep(1);
            return 1;
        }
    }

    cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);

    Canceled = 0;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    sigemptyset(&action.sa_mask);
    action.sa_handler = CancelJob;
    sigaction(SIGTERM, &action, nullptr);
    // A backend that closes the pipe must show up as a failed write, not as
    // a silent death by signal.
    action.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &action, nullptr);

    cups_option_t* options = nullptr;
    int numOptions = cupsParseOptions(argv[5], 0, &options);

    const char* ppdName = getenv("PPD");
    ppd_file_t* ppd = ppdName ? ppdOpenFile(ppdName) : nullptr;
    // The early failures release what they opened: nothing is sent either way.
    auto releaseInput = [&]() {
        cupsFreeOptions(numOptions, options);
        cupsRasterClose(ras);
        if (fd != 0)
            close(fd);
    };
    if (!ppd) {
        int line = 0;
        ppd_status_t status = ppdLastError(&line);
        _cupsLangPrintFilter(stderr, "ERROR", "The PPD file could not be opened.");
        fprintf(stderr, "DEBUG: %s on line %d.\n", ppdErrorString(status), line);
        releaseInput();
        return 1;
    }

    ppdMarkDefaults(ppd);
    cupsMarkOptions(ppd, numOptions, options);

    std::string modelName;
    if (ppd_attr_t* attr = ppdFindAttr(ppd, "ModelName", nullptr)) {
        syslog(LOG_DEBUG, "ModelName=%s", attr->value ? attr->value : "");
        modelName = attr->value ? attr->value : "";
    }
    if (ppd_attr_t* attr = ppdFindAttr(ppd, "Personality", nullptr))
        syslog(LOG_DEBUG, "lang=%s", attr->value ? attr->value : "");

    ModelNumber = ppd->model_number;
    syslog(LOG_DEBUG, "ModelNumber = %d\n", ModelNumber);

    CBaseRender* render = CreateRenderer(ModelNumber);
    if (!render) {
        syslog(LOG_ERR, "ERR: Unknow ModelNumber = %d\n", ModelNumber);
        _cupsLangPrintFilter(stderr, "ERROR", "Unknow ModelNumber.");
        ppdClose(ppd);
        releaseInput();
        return 1;
    }
    g_pRender = MakeRefPtr<CBaseRender>(render);
    g_pRender->SetPpd(ppd);
    g_pRender->GetPrinterParameters();
    g_pRender->SetModelName(modelName.c_str());
    if (m_hooks.job)
        m_hooks.job(*g_pRender, numOptions, options);
    g_pRender->OnStartDoc(0);
    CFilterCopies copies;
    copies.Start(*g_pRender, argv[4], numOptions, options, m_copies);

    CStatusCheck status;
    status.Start(*g_pRender, ModelNumber);
    status.Check(false);

    Page = 0;
    int pagesSent = 0;
    int labels = 0;  // pages times their copies
    bool streamBroken = false;
    cups_page_header2_t header, next;
    bool peeked = false;  // `next` was read ahead
    auto readHeader = [&] {
        if (!peeked)
            return cupsRasterReadHeader2(ras, &header) != 0;
        peeked = false;
        header = next;
        return true;
    };
    while (readHeader()) {
        if (Canceled)
            break;
        Page++;
        const int pageCopies = copies.BeginPage(header);
        labels += pageCopies;
        fprintf(stderr, "PAGE: %d %d\n", Page, pageCopies);
        _cupsLangPrintFilter(stderr, "INFO", "Starting page %d.", Page);
        if (Page == 1 && m_documentScale) {
            const int dpi = static_cast<int>(header.HWResolution[0]);
            const std::string shrunk = FineDetail::ShrinkWarning(m_documentScale(dpi), dpi);
            if (!shrunk.empty())
                g_pRender->ReportWarning("%s", shrunk.c_str());
        }

        const unsigned long long sentBefore = CupsHost::BytesWritten();
        std::string problem;
        unsigned rowsRead = 0;
        bool skippable = true;
        if (!PagePath::Check(PagePath::HeaderOf(header), problem, skippable)) {
            syslog(LOG_ERR, "page %d: invalid raster header: %s", Page, problem.c_str());
            _cupsLangPrintFilter(stderr, "ERROR", "Page %d has an invalid raster header (%s) and was not printed.",
                                 Page, problem.c_str());
            if (!skippable) {
                streamBroken = true;
                _cupsLangPrintFilter(stderr, "ERROR", "The rest of the raster data cannot be read; the job stops.");
            } else {
                RasterPage::Skip(ras, header);
            }
        } else {
            const PageRead read = ReadPage(ras, header, *g_pRender);
            const bool built = read.built;
            rowsRead = read.rowsRead;
            if (built && rowsRead < header.cupsHeight) {
                syslog(LOG_ERR, "page %d: raster ended after %u of %u lines", Page, rowsRead, header.cupsHeight);
                _cupsLangPrintFilter(stderr, "WARNING", "Page %d ended early; its missing lines print blank.", Page);
            }
            if (copies.WaitsForNextPage()) {
                peeked = cupsRasterReadHeader2(ras, &next) != 0;
                if (!peeked)
                    copies.OnlyPage();
            }
            if (m_hooks.page)
                m_hooks.page(*g_pRender, header);
            StartPage(ppd, &header, read);
        }

        _cupsLangPrintFilter(stderr, "INFO", "Finished page %d.", Page);
        EndPage(ppd, &header);
        const bool drawn = CupsHost::BytesWritten() > sentBefore;
        copies.EndPage(drawn);
        if (drawn)
            pagesSent++;
        if (streamBroken)
            break;
        status.Check(false);
        if (CupsHost::OutputFailed()) {
            syslog(LOG_ERR, "job stopped after page %d: the printer takes no more data", Page);
            break;
        }
        if (Canceled)
            break;
    }

    const bool copiesMade = streamBroken || Canceled || CupsHost::OutputFailed() || copies.EndJob();
    g_pRender->OnEndDoc();
    if (!CupsHost::OutputFailed())
        status.Check(true, labels);
    cupsRasterClose(ras);
    if (fd != 0)
        close(fd);
    ppdClose(ppd);
    cupsFreeOptions(numOptions, options);

    if (Page == 0) {
        _cupsLangPrintFilter(stderr, "ERROR", "No pages were found.");
        return 1;
    }
    // CUPS must not mark a job completed when the printer got none of it.
    if (CupsHost::OutputFailed() || streamBroken || !copiesMade)
        return 1;
    if (pagesSent == 0) {
        syslog(LOG_ERR, "none of the job's %d pages could be printed", Page);
        _cupsLangPrintFilter(stderr, "ERROR", "No page of the job could be printed.");
        return 1;
    }
    return 0;
}

void CCupsInstance::StartPage(ppd_file_t*, cups_page_header2_t* header, const PageRead& read) {
    LogHeader(*header);
    g_pRender->BeginPage(header, header->HWResolution[0], header->HWResolution[1]);

    // The page's lines were read straight into the image (one copy per line,
    // and the page is never held twice).
    if (!read.built) {
        syslog(LOG_ERR, "create image error\n");
        _cupsLangPrintFilter(stderr, "ERROR", "Unable to create the image of page %d (%u bits per pixel).", Page,
                             header->cupsBitsPerPixel);
        return;
    }
    syslog(LOG_DEBUG, "create image width=%d, height=%d, bitsPerPixel=%d, bytesPerLine=%d", header->cupsWidth,
           header->cupsHeight, header->cupsBitsPerPixel, header->cupsBytesPerLine);
    PagePath::Paint(*g_pRender, read.plan, read.placedWhileRead, PagePath::HeaderOf(*header));
}

void CCupsInstance::EndPage(ppd_file_t*, cups_page_header2_t*) {
    g_pRender->OnEndPage();
    g_pRender->EndPage();
}

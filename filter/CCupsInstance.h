#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

#include <csignal>
#include <functional>
#include <utility>

#include "filter/CFilterCopies.h"
#include "render/CBaseRender.h"
#include "render/PagePlan.h"

// Process-wide state of the one job this process runs.
extern int ModelNumber;
extern int Page;                        // pages begun so far
extern volatile sig_atomic_t Canceled;  // set by SIGTERM
extern CStdRefPtr<CBaseRender> g_pRender;

void CancelJob(int signal);

// How a page was read: placed on its media and fitted to the head while it
// was read, or read as it is and placed (when planned) afterwards.
struct PageRead {
    PagePlan plan;
    bool built = false;
    unsigned rowsRead = 0;
    bool placedWhileRead = false;
};

// Reads the page. Colour is never printed: a colour page is read straight
// into gray, and a page that prints wider than the head is also shrunk as it
// is read, so that memory follows what prints rather than what the header
// declares.
PageRead ReadPage(cups_raster_t* ras, const cups_page_header2_t& header, CBaseRender& render);

// The job driver: reads the command line, the PPD and the raster stream, and
// drives the renderer chosen by the PPD's model number through its hooks.
class CCupsInstance {
public:
    virtual ~CCupsInstance() = default;

    // Returns the exit status: 0 when at least one page was processed.
    int Run(int argc, char** argv);
    // The copies argument is what the printer is to make of each page, as
    // for the job's own raster (see CFilterCopies), rather than the pages'
    // NumCopies: for a rasterizer that does not carry them.
    void TakeCopiesFromArguments() { m_copies = CFilterCopies::Source::Arguments; }
    // Each page's NumCopies is its copies, made by the printer or sent again
    // (see CFilterCopies): for a chain that draws its own pages.
    void TakeCopiesFromPages() { m_copies = CFilterCopies::Source::Pages; }
    // What a chain that draws its own pages adds to the job: `job` runs once
    // the renderer has read the PPD, with the job's options, before the
    // first page; `page` before each page is drawn, with its header.
    struct Hooks {
        std::function<void(CBaseRender& render, int numOptions, cups_option_t* options)> job;
        std::function<void(CBaseRender& render, const cups_page_header2_t& header)> page;
    };
    void SetHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    // The least scale a page of the document was shrunk to before it was
    // rasterized, given the head's dots per inch: the job is warned when bar
    // codes may not scan.
    void SetDocumentScale(std::function<double(int dpi)> scale) { m_documentScale = std::move(scale); }
    // Runs the drawing hooks on the page image read for `header`, first put on
    // its media if it was not while it was read; a page whose image could not
    // be built is reported.
    void StartPage(ppd_file_t* ppd, cups_page_header2_t* header, const PageRead& read);
    void EndPage(ppd_file_t* ppd, cups_page_header2_t* header);

private:
    CFilterCopies::Source m_copies = CFilterCopies::Source::Document;
    Hooks m_hooks;
    std::function<double(int dpi)> m_documentScale;
};

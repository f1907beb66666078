#pragma once

#include <csignal>

#include <cups/ppd.h>
#include <cups/raster.h>

#include "render/CBaseRender.h"

// Process-wide state of the one job this process runs.
extern int ModelNumber;
extern int Page;                     // pages begun so far
extern volatile sig_atomic_t Canceled;  // set by SIGTERM
extern CStdRefPtr<CBaseRender> g_pRender;

void CancelJob(int signal);

// The job driver: reads the command line, the PPD and the raster stream, and
// drives the renderer chosen by the PPD's model number through its hooks.
class CCupsInstance {
public:
    virtual ~CCupsInstance() = default;

    // Returns the exit status: 0 when at least one page was processed.
    int Run(int argc, char** argv);
    // Runs the drawing hooks on the page image read for `header`; `imageBuilt`
    // false reports the page whose image could not be built.
    void StartPage(ppd_file_t* ppd, cups_page_header2_t* header, bool imageBuilt);
    void EndPage(ppd_file_t* ppd, cups_page_header2_t* header);
};

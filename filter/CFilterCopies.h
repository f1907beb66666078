#pragma once

#include <cups/cups.h>
#include <cups/raster.h>

#include "render/CBaseRender.h"
#include "render/CCopyRecording.h"
#include "render/CKeptPages.h"
#include "render/CopyPlan.h"

// The copies the printer makes, for a PPD with "qvPrinterCopies" (the
// renderer's bPrinterCopies) that also tells CUPS not to repeat the pages
// (ManualCopies No). A raster document of the job's own (CONTENT_TYPE
// application/vnd.cups-raster) reaches the filter as it is: the job's copies
// (argv[4]) apply. Any other document was rasterised by CUPS's filters,
// which put the copies left to the printer in each page's NumCopies; with a
// Collate option in the PPD they leave collated copies to it too (pdftopdf
// makes them itself for a PPD without one). Collated copies ("Collate" or
// "multiple-document-handling") of a job of one page are the printer's
// count; of several, the filter sends the job's pages again. Without the
// attribute nothing changes: every page prints once, as before.
//
// A document drawn by the filter's own chain (ZPL labels) has no one else
// to make its copies: each page's NumCopies is its copies, made by the
// printer's count where the family and the PPD let it, else by sending the
// page again, whatever the PPD says.
class CFilterCopies {
public:
    // Where a page's copies come from.
    enum class Source {
        Document,   // as said above
        Arguments,  // `copies` for every page, whatever the document
        Pages,      // each page's NumCopies, never collated, with or without the attribute
    };
    // Nothing is kept for copies once the job has ended, however it ended.
    ~CFilterCopies();
    void Start(CBaseRender& render, const char* copies, int numOptions, cups_option_t* options,
               Source source = Source::Document);
    bool On() const { return m_on; }
    // The copies of the page `header` begins (1 when the printer makes
    // none); sets the renderer's count for it.
    int BeginPage(const cups_page_header2_t& header);
    // Collated copies of the job's own raster, at its first page: whether
    // the filter must look for a second page before drawing it.
    bool WaitsForNextPage() const;
    // There is none: the page's copies are the printer's count after all.
    void OnlyPage();
    // After the page (`drawn`: it reached the renderer): sends it again
    // where its copies are repeated, or draws it again where its bytes
    // cannot be sent again.
    void EndPage(bool drawn);
    // Before the end of the job: sends the job's pages again for collated
    // copies. False when they could not be made.
    bool EndJob();

private:
    // Sets the renderer's count and what is kept for the plan.
    void Plan(const CopyPlan& plan);

    CBaseRender* m_render = nullptr;
    bool m_on = false;
    bool m_jobsOwn = false;  // the document is the job's own raster
    int m_copies = 1;        // the job's copies, for its own raster
    int m_pageCopies = 1;    // the current page's
    bool m_collated = false;
    bool m_copyCount = false;  // the printer counts copies: its language does and the PPD lets it
    int m_pages = 0;           // pages begun
    CopyPlan m_plan;
    CCopyRecording m_recording;
    bool m_replayPages = true;  // a page's bytes sent again print it again (Families::Info)
    CKeptPages m_kept;          // where they cannot, the pages a job sent again draws again
};

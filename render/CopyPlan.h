#pragma once

// How a job's copies are made, the same in both hosts. A language with a
// copy count of its own (TSPL, CPCL) prints every copy of a page from one
// image; collated copies of a job of several pages (1,2,1,2,...) cannot be
// counted per page, so the job's pages are sent again as they were sent.
struct CopyPlan {
    int perPage = 1;      // copies the language's count makes of each page
    int pageRepeats = 1;  // times each page's bytes are sent, one after another
    int jobRepeats = 1;   // times the whole job's page bytes are sent

    // `copies` of a job whose language counts copies (`copyCount`), asked
    // collated or not; `onePage` when the job is known to have one page.
    static CopyPlan For(int copies, bool copyCount, bool collated, bool onePage);
    // Within this plan, a page that asks for `copies` of its own (a ZPL
    // label's ^PQ), made one after another: the language's count of the
    // page where it has one (`copyCount`), else the page sent again; at
    // most `most` a page either way.
    CopyPlan ForPage(int copies, bool copyCount, int most) const;
    // Whether the pages' bytes must be kept to be sent again.
    bool Records() const { return pageRepeats > 1 || jobRepeats > 1; }
};

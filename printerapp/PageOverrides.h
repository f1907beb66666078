#pragma once

#include <pappl/pappl.h>

#include <string>
#include <vector>

// IPP "overrides": settings of a job that hold for some of its pages only
// (members "pages" and "document-numbers" say which). The members the
// printers can change from page to page are print-darkness, print-speed,
// print-color-mode, print-content-optimize and the application's own
// attributes (families/NamedSettings: halftoning, cut-mode, cash-drawer,
// end-feed); others are left to the job's own values.
class PageOverrides {
public:
    // The job's options for page `page` (from 1) of its document, with the
    // overrides that cover the page in place. False when the job has no
    // overrides: its options hold for every page.
    bool ForPage(pappl_job_t* job, unsigned page, const pappl_pr_options_t& jobOptions);

    const pappl_pr_options_t& Options() const { return m_options; }

private:
    void Apply(ipp_t* members);
    // Replaces or adds the vendor option `name`.
    void SetVendor(const std::string& name, const std::string& value);

    pappl_pr_options_t m_options{};
    std::vector<std::string> m_names, m_values;  // the vendor options' text
    std::vector<cups_option_t> m_vendor;
};

#include "filter/CFilterCopies.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "families/Families.h"
#include "families/NamedSettings.h"
#include "filter/CCupsInstance.h"
#include "filter/CCupsRender.h"
#include "render/PagePath.h"

namespace {

bool IsTrue(const char* value) {
    return value && (!strcasecmp(value, "true") || !strcasecmp(value, "yes") || !strcasecmp(value, "on"));
}

}  // namespace

CFilterCopies::~CFilterCopies() { CupsHost::SetRecording(nullptr); }

void CFilterCopies::Start(CBaseRender& render, const char* copies, int numOptions, cups_option_t* options,
                          Source source) {
    m_render = &render;
    if (source == Source::Pages) {
        m_on = true;
        render.AddLog("copies: each page's own, %s",
                      render.m_Extension.bPrinterCopies ? "by the printer where it counts them" : "sent again");
        return;
    }
    m_on = render.m_Extension.bPrinterCopies;
    if (!m_on)
        return;
    const bool fromArguments = source == Source::Arguments;
    const char* type = getenv("CONTENT_TYPE");
    m_jobsOwn = fromArguments || (type && std::strcmp(type, "application/vnd.cups-raster") == 0);
    m_copies = copies ? std::max(1, std::atoi(copies)) : 1;
    const char* handling = cupsGetOption("multiple-document-handling", numOptions, options);
    m_collated = IsTrue(cupsGetOption("Collate", numOptions, options)) ||
                 (handling && std::strcmp(handling, "separate-documents-collated-copies") == 0);
    const char* from = fromArguments ? "left by the PDF filter"
                       : m_jobsOwn   ? "the job's raster"
                                     : "from the page headers";
    render.AddLog("printer copies: %s, %d copies%s", from, m_copies, m_collated ? ", collated" : "");
}

int CFilterCopies::BeginPage(const cups_page_header2_t& header) {
    if (!m_on)
        return 1;
    const Families::Info* family = Families::Find(ModelNumber);
    m_copyCount = family && family->copyCount && m_render->m_Extension.bPrinterCopies;
    m_replayPages = !family || family->replayPages;
    m_pages++;
    // The job's own raster: its copies; otherwise the page header's. Either
    // collated as asked (whether the job has more than one page is known
    // once the first is read).
    m_pageCopies = m_jobsOwn ? m_copies : std::max(1, static_cast<int>(header.NumCopies));
    Plan(CopyPlan::For(m_pageCopies, m_copyCount, m_collated, false));
    return m_pageCopies;
}

bool CFilterCopies::WaitsForNextPage() const { return m_on && m_pages == 1 && m_copyCount && m_plan.jobRepeats > 1; }

void CFilterCopies::OnlyPage() { Plan(CopyPlan::For(m_pageCopies, m_copyCount, m_collated, true)); }

void CFilterCopies::Plan(const CopyPlan& plan) {
    m_plan = plan;
    int applied = 1;
    NamedSettings::Apply(*m_render, "copies", m_plan.perPage, &applied);
    m_plan.perPage = applied;
    const bool records = m_replayPages && m_plan.Records();
    m_recording.SetOn(records);
    CupsHost::SetRecording(records ? &m_recording : nullptr);
    if (m_plan.pageRepeats > 1)
        m_recording.Clear();
}

// Only the pages' own bytes are kept: not the status queries between them.
void CFilterCopies::EndPage(bool drawn) {
    CupsHost::SetRecording(nullptr);
    if (!m_on || !drawn)
        return;
    if (!m_replayPages) {
        for (int i = 1; i < m_plan.pageRepeats; i++)
            PagePath::PaintAgain(*m_render);
        if (m_plan.jobRepeats > 1)
            m_kept.Keep(*m_render, m_plan.pageRepeats);
        return;
    }
    if (m_plan.pageRepeats <= 1)
        return;
    if (m_recording.Overflowed())
        m_render->ReportError("The page is too large to keep for its copies; one copy was printed.");
    else
        m_recording.Replay(m_plan.pageRepeats - 1, CupsHost::WriteSpool);
    m_recording.Clear();
}

bool CFilterCopies::EndJob() {
    CupsHost::SetRecording(nullptr);
    if (!m_on || m_plan.jobRepeats <= 1)
        return true;
    if (m_replayPages ? m_recording.Overflowed() : m_kept.Overflowed()) {
        m_render->ReportError("The job is too large to keep for its collated copies; one copy was printed.");
        return false;
    }
    if (!m_replayPages) {
        m_kept.DrawAgain(*m_render, m_plan.jobRepeats - 1);
        return !CupsHost::OutputFailed();
    }
    return m_recording.Replay(m_plan.jobRepeats - 1, CupsHost::WriteSpool);
}

#pragma once

#include <pappl/pappl.h>

#include <cstdarg>

#include "families/DriverTable.h"
#include "render/CBaseRender.h"
#include "render/CCopyRecording.h"
#include "render/LabelSettings.h"

// What only the printer application knows, shared by every printer class:
// output to the job's device, traces to PAPPL's log, settings from the job's
// and printer's IPP attributes. Kept out of the template, as in filter/.
namespace PapplHost {

// One job on one device. Owned by the job's raster state; the renderer
// holds a reference for the job's lifetime.
struct JobContext {
    pappl_job_t* job = nullptr;
    pappl_device_t* device = nullptr;
    pappl_pr_options_t* options = nullptr;
    const DriverTable::Driver* driver = nullptr;
    // After the first failed write nothing more is written (the printer is
    // gone) and the job ends aborted.
    bool outputFailed = false;
    unsigned long long bytesWritten = 0;
    // Set up by the job's first write (see WriteSpool).
    bool devicePrepared = false;
    // What the device had sent before this job, until this job's first
    // bytes reached the printer.
    size_t deviceBytesBefore = 0;
    bool reachedPrinter = false;
    unsigned pagesSent = 0;  // labels sent, copies included
    // Copies of each page the language's own count makes (the renderer's
    // "copies" setting, applied with the job's other settings).
    int copies = 1;
    // While set, what is written is also kept there (for copies sent again).
    CCopyRecording* recording = nullptr;
};

// Sends in pieces, so that a cancel is seen within a fraction of a second
// also on a slow printer. -1 once the job is cancelled or a write failed
// (the job's message then says why).
int WriteSpool(JobContext& context, const void* data, int length);
// Sends what the job buffered, as far as the printer (the job's status
// queries follow it). False, with the job's message set, once output failed.
bool FlushDevice(JobContext& context);
// The job's last use of the device: sends what it still buffers and
// detaches the job from it. False, with the job's message set, unless every
// byte of the job reached the device.
bool FinishDevice(JobContext& context);
// The same for a job whose state has gone: only detaches it.
void ReleaseDevice(pappl_job_t* job, pappl_device_t* device);
void VLog(JobContext& context, pappl_loglevel_t level, const char* format, va_list args);
// Error: the job's state message and the log; warning: the log only.
void VReportError(JobContext& context, const char* format, va_list args);
void VReportWarning(JobContext& context, const char* format, va_list args);
// The driver's defaults (as the PPD's defaults), then the job's attributes.
void GetJobParameters(CBaseRender& render, JobContext& context);
// What a ZPL label's print settings meet on a printer of `driver`, as the
// application offers them: darkness on its levels, speed in its range, the
// media tracking it sets, post-print and cut mode where the driver has them.
LabelSettings::Printer LabelPrinter(const DriverTable::Driver& driver);
// The settings the job's own attributes name (not the printer's defaults),
// which a label leaves alone.
LabelSettings::Named LabelNamed(pappl_job_t* job, const pappl_pr_options_t& options);

}  // namespace PapplHost

// A printer class T made into a complete renderer for a PAPPL job.
template <class T>
class CPapplRender : public T {
public:
    explicit CPapplRender(PapplHost::JobContext& context) : m_Context(context) {}

    // The application has no PPD: a page is ready once its header is set.
    void OnBeginBmp() override {
        if (this->m_pHeader == nullptr) {
            this->AddLog("header == NULL");
            return;
        }
        this->PreparePage();
    }

    int WriteSpool(const void* data, int length) override { return PapplHost::WriteSpool(m_Context, data, length); }

    __attribute__((format(printf, 2, 3))) void AddLog(const char* format, ...) override {
        va_list args;
        va_start(args, format);
        PapplHost::VLog(m_Context, PAPPL_LOGLEVEL_DEBUG, format, args);
        va_end(args);
    }

    __attribute__((format(printf, 2, 3))) void ReportError(const char* format, ...) override {
        va_list args;
        va_start(args, format);
        PapplHost::VReportError(m_Context, format, args);
        va_end(args);
    }

    __attribute__((format(printf, 2, 3))) void ReportWarning(const char* format, ...) override {
        va_list args;
        va_start(args, format);
        PapplHost::VReportWarning(m_Context, format, args);
        va_end(args);
    }

    void GetPrinterParameters() override { PapplHost::GetJobParameters(*this, m_Context); }

private:
    PapplHost::JobContext& m_Context;
};

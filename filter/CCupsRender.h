#pragma once

#include <cstdarg>
#include <string>

#include "render/CBaseRender.h"
#include "render/CCopyRecording.h"

// What only the CUPS setting knows, shared by every printer class: output to
// standard output, traces to the system log, status lines to standard error,
// settings from the PPD. Kept out of the template so that each printer
// instantiation does not carry its own copy.
namespace CupsHost {
int WriteSpool(const void* data, int length);
void VLog(const char* format, va_list args);
void VReportError(const char* format, va_list args);
void VReportWarning(const char* format, va_list args);
void GetPrinterParameters(CBaseRender& render);
// The keywords of the PPD options the ZPL filter also reads.
constexpr const char* kMediaMethodKeyword = "MediaMethod";
constexpr const char* kTrackingKeyword = "zeMediaTracking";
constexpr const char* kDarknessKeyword = "Darkness";
constexpr const char* kSpeedKeyword = "zePrintRate";
// The options and attributes of this project's own PPDs, read after the
// eighteen; nothing is logged for what a PPD does not carry.
void GetExtensionParameters(CBaseRender& render);
std::string GetMarkedOption(CBaseRender& render, const char* keyword);

// What the job has sent so far. A job starts with ResetOutput; after the
// first failed write nothing more is written (the printer is gone or the
// disk is full) and OutputFailed() stays true.
void ResetOutput();
// While set, what is written is also kept there (for copies sent again).
void SetRecording(CCopyRecording* recording);
bool OutputFailed();
unsigned long long BytesWritten();
}  // namespace CupsHost

// A printer class T made into a complete renderer for a CUPS job.
template <class T>
class CCupsRender : public T {
public:
    // Runs the printer's one-time initialisation before the first prepared
    // page, then prepares every page for the print head.
    void OnBeginBmp() override {
        if (this->m_pPpd == nullptr || this->m_pHeader == nullptr) {
            this->AddLog("ppd == NULL || header == NULL");
            return;
        }
        this->PreparePage();
    }

    int WriteSpool(const void* data, int length) override { return CupsHost::WriteSpool(data, length); }

    __attribute__((format(printf, 2, 3))) void AddLog(const char* format, ...) override {
        va_list args;
        va_start(args, format);
        CupsHost::VLog(format, args);
        va_end(args);
    }

    __attribute__((format(printf, 2, 3))) void ReportError(const char* format, ...) override {
        va_list args;
        va_start(args, format);
        CupsHost::VReportError(format, args);
        va_end(args);
    }

    __attribute__((format(printf, 2, 3))) void ReportWarning(const char* format, ...) override {
        va_list args;
        va_start(args, format);
        CupsHost::VReportWarning(format, args);
        va_end(args);
    }

    void GetPrinterParameters() override {
        CupsHost::GetPrinterParameters(*this);
        CupsHost::GetExtensionParameters(*this);
    }

    std::string GetMarkedOption(const char* keyword) { return CupsHost::GetMarkedOption(*this, keyword); }
};

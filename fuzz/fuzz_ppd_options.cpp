// The PPD option reader on generated and shipped PPDs, sometimes with fuzz
// bytes spliced in, and job options (the picks' and fuzz-written ones)
// marked over the defaults. The layout is JobInputs::Visit(PpdInput). The
// reader's traces are formatted into a buffer so that every format meets its
// values.
#include <cups/cups.h>
#include <cups/ppd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "filter/CCupsRender.h"
#include "fuzz/FuzzPpd.h"
#include "fuzz/JobInputs.h"
#include "fuzz/ProviderIO.h"
#include "printers/CPrinterTSPL.h"

namespace {

class CLogHost : public CCupsRender<CPrinterTSPL> {
public:
    int WriteSpool(const void*, int length) override { return length; }

    void AddLog(const char* format, ...) override {
        va_list args;
        va_start(args, format);
        vsnprintf(m_Text, sizeof m_Text, format, args);
        va_end(args);
    }

    void ReportError(const char* format, ...) override {
        va_list args;
        va_start(args, format);
        vsnprintf(m_Text, sizeof m_Text, format, args);
        va_end(args);
    }

private:
    char m_Text[1024];
};

// The PPD's file, reused by every input.
const std::string& PpdPath() {
    static const std::string path = [] {
        const int fd = memfd_create("quorvant-ppd", 0);
        if (fd < 0)
            abort();
        return "/proc/self/fd/" + std::to_string(fd);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ProviderReader in(data, size);
    JobInputs::PpdInput input;
    JobInputs::Visit(in, input);
    const FuzzPpd::JobPpd job = FuzzPpd::Make(input.source, input.picks);
    const std::string ppd = JobInputs::Spliced(job.ppd, input);
    const std::string options = JobInputs::JoinOptions(job.options, input.options);

    FILE* file = fopen(PpdPath().c_str(), "w");
    if (!file)
        abort();
    fwrite(ppd.data(), 1, ppd.size(), file);
    fclose(file);

    ppd_file_t* ppdFile = ppdOpenFile(PpdPath().c_str());
    if (!ppdFile)
        return 0;
    ppdMarkDefaults(ppdFile);
    cups_option_t* marked = nullptr;
    const int count = cupsParseOptions(options.c_str(), 0, &marked);
    cupsMarkOptions(ppdFile, count, marked);

    CLogHost* host = new CLogHost;
    host->m_pPpd = ppdFile;
    host->GetPrinterParameters();
    host->m_pPpd = nullptr;
    host->Release();

    cupsFreeOptions(count, marked);
    ppdClose(ppdFile);
    return 0;
}

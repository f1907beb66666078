#include "fuzz/JobHarness.h"

#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "families/Families.h"
#include "filter/CCupsInstance.h"
#include "preview/PreviewLanguages.h"

namespace JobHarness {

namespace {

struct Files {
    int ppd = -1, raster = -1, output = -1, null = -1;
    std::string ppdPath, rasterPath;
};

std::string FdPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

bool IsNull(int fd) {
    struct stat st, null;
    return fstat(fd, &st) == 0 && stat("/dev/null", &null) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == null.st_rdev;
}

// Created once per process and reused by every job.
Files& Shared() {
    static Files files = [] {
        Files f;
        f.ppd = memfd_create("quorvant-ppd", 0);
        f.raster = memfd_create("quorvant-raster", 0);
        f.output = memfd_create("quorvant-output", 0);
        f.null = open("/dev/null", O_WRONLY);
        if (f.ppd < 0 || f.raster < 0 || f.output < 0 || f.null < 0) {
            perror("JobHarness: memfd_create or /dev/null");
            abort();
        }
        // Sanitizer reports must survive the job's standard error going to
        // /dev/null. libFuzzer's own timeout and out-of-memory messages only
        // do with -close_fd_mask=2, which has already pointed fd 2 at
        // /dev/null and the reports at a copy of the real stderr.
        if (!IsNull(2)) {
            const int report = dup(2);
            if (report >= 0)
                __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(report)));
        }
        f.ppdPath = FdPath(f.ppd);
        f.rasterPath = FdPath(f.raster);
        setenv("PPD", f.ppdPath.c_str(), 1);
        // The filter's debug traces go to syslog; formatting them for nobody
        // would cost more than the job.
        setlogmask(LOG_UPTO(LOG_EMERG));
        return f;
    }();
    return files;
}

void Fill(int fd, const void* data, size_t size) {
    if (ftruncate(fd, 0) != 0) {
        perror("JobHarness: ftruncate");
        abort();
    }
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(fd, p + done, size - done, static_cast<off_t>(done));
        if (n <= 0) {
            perror("JobHarness: pwrite");
            abort();
        }
        done += static_cast<size_t>(n);
    }
}

std::vector<uint8_t> ReadAll(int fd) {
    struct stat st;
    std::vector<uint8_t> bytes;
    if (fstat(fd, &st) != 0)
        return bytes;
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace

const char* LanguageOf(int modelNumber) {
    const Families::Info* family = Families::Find(modelNumber);
    return family ? family->language : nullptr;
}

Result Run(const std::string& ppd, const std::string& options, const uint8_t* raster, size_t size) {
    Files& files = Shared();
    Fill(files.ppd, ppd.data(), ppd.size());
    Fill(files.raster, raster, size);
    Fill(files.output, "", 0);
    lseek(files.output, 0, SEEK_SET);

    fflush(stdout);
    fflush(stderr);
    const int savedOut = dup(1), savedErr = dup(2);
    dup2(files.output, 1);
    dup2(files.null, 2);

    std::string optionArg = options;
    char* argv[] = {
        const_cast<char*>("quorvant"), const_cast<char*>("1"), const_cast<char*>("user"), const_cast<char*>("title"),
        const_cast<char*>("1"),        &optionArg[0],          &files.rasterPath[0],      nullptr};
    Result result;
    result.status = CCupsInstance().Run(7, argv);

    fflush(stdout);
    fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
    result.output = ReadAll(files.output);
    return result;
}

namespace {

// Describes a finding and aborts. Under -close_fd_mask=2 standard error is
// /dev/null and libFuzzer's log continues on standard output.
[[noreturn]] __attribute__((format(printf, 1, 2))) void Finding(const char* format, ...) {
    FILE* out = IsNull(2) ? stdout : stderr;
    va_list args;
    va_start(args, format);
    vfprintf(out, format, args);
    va_end(args);
    fputc('\n', out);
    fflush(out);
    abort();
}

}  // namespace

void RunChecked(int modelNumber, const std::string& ppd, const std::string& options, const uint8_t* raster,
                size_t size) {
    const Result result = Run(ppd, options, raster, size);
    if (result.status == 0 && result.output.empty())
        Finding("model %d: exit status 0 but nothing was sent", modelNumber);
    if (result.output.empty())
        return;
    // Whatever reached the printer is whole pages, whether the job succeeded
    // or not: a failed job may have sent complete pages before it failed,
    // never a page cut short or a trailer without a page.
    const char* language = LanguageOf(modelNumber);
    auto decoder = PreviewLanguages::Create(language ? language : "");
    if (!decoder)
        Finding("model %d: no decoder", modelNumber);
    const char* outcome = result.status == 0 ? "succeeded" : "failed";
    if (!decoder->Decode(result.output.data(), result.output.size()))
        Finding("model %d (%s): the job %s (exit %d) and sent %zu bytes that do not decode: %s", modelNumber, language,
                outcome, result.status, result.output.size(), decoder->Error().Message().c_str());
    if (decoder->Pages().empty())
        Finding("model %d (%s): the job %s (exit %d) and sent %zu bytes without a complete page", modelNumber, language,
                outcome, result.status, result.output.size());
}

}  // namespace JobHarness

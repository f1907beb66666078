#include "printerapp/ZplJob.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "families/NamedSettings.h"
#include "printerapp/RasterJob.h"
#include "printerapp/VendorOptions.h"
#include "render/LabelJob.h"
#include "zpl/ZplInterpreter.h"

namespace ZplJob {

const char kFormat[] = "application/vnd.zebra-zpl";

const char* Type(const unsigned char* header, size_t size, void*) {
    return zpl::LooksLikeZpl(header, size) ? kFormat : nullptr;
}

}  // namespace ZplJob

namespace {

// Feeds the raster callbacks one page per label, headed as render/LabelJob
// heads a label's page: its own size, its copies and print settings; 1
// black, the interpreter's rows as they are (most significant bit
// leftmost). The raster job starts with the first label, so that a stream
// without one sends nothing.
class LabelPages {
public:
    LabelPages(pappl_job_t* job, pappl_device_t* device, pappl_pr_options_t* options)
        : m_Job(job),
          m_Device(device),
          m_Options(options),
          m_Media(options->header),
          m_JobCopies(std::max(1, options->copies)) {}

    // False once the job cannot go on (cancelled, the printer failed).
    bool Print(const zpl::Label& label) {
        if (!zpl::PrintsALabel(label))
            return true;
        for (const std::string& problem : label.problems)
            papplLogJob(m_Job, PAPPL_LOGLEVEL_WARN, "label %d: %s", label.number, problem.c_str());
        papplLogJob(m_Job, PAPPL_LOGLEVEL_INFO, "label %d: %d x %d dots, %d %s", label.number, label.page.Width(),
                    label.page.Height(), label.settings.copies, label.settings.copies == 1 ? "copy" : "copies");
        // The job's copies are the raster job's to make; the warning is for
        // the label's and the job's together.
        std::string warning;
        const int most = NamedSettings::Find("copies")->range.high;
        LabelJob::Copies(label.number, label.settings.copies, m_JobCopies, most, warning);
        if (!warning.empty())
            papplLogJob(m_Job, PAPPL_LOGLEVEL_WARN, "%s", warning.c_str());
        if (label.page.Width() <= 0 || label.page.Height() <= 0)
            return true;
        if (!m_Started) {
            m_Stopped = !RasterJob::StartLabelJob(m_Job, m_Options, m_Device);
            m_Started = !m_Stopped;
        }
        m_Options->header = m_Media;
        cups_page_header2_t& header = m_Options->header;
        LabelJob::SetLabelPage(header, unsigned(label.page.Width()), unsigned(label.page.Height()));
        header.cupsColorSpace = CUPS_CSPACE_K;
        header.NumCopies = unsigned(std::min(label.settings.copies, most));
        LabelJob::PutSettings(label.settings, header);
        m_Stopped = m_Stopped || !Page(label.page);
        return !m_Stopped;
    }

    // Ends the raster job: true when every label printed.
    bool Finish() {
        if (!m_Started)
            return false;
        if (m_Stopped) {
            RasterJob::AbortJob(m_Job, m_Device);
            return false;
        }
        return RasterJob::EndJob(m_Job, m_Options, m_Device);
    }

    unsigned Pages() const { return m_Page; }

private:
    bool Page(const zpl::ZplBitmap& dots) {
        if (papplJobIsCanceled(m_Job))
            return false;
        m_Page++;
        papplJobSetImpressionsCompleted(m_Job, 1);
        if (!RasterJob::StartPage(m_Job, m_Options, m_Device, m_Page))
            return false;
        for (int y = 0; y < dots.Height(); y++)
            if (!RasterJob::WriteLine(m_Job, m_Options, m_Device, unsigned(y), dots.Row(y)))
                return false;
        return RasterJob::EndPage(m_Job, m_Options, m_Device, m_Page);
    }

    pappl_job_t* m_Job;
    pappl_device_t* m_Device;
    pappl_pr_options_t* m_Options;
    const cups_page_header2_t m_Media;  // the job's, as PAPPL made it
    const int m_JobCopies;              // before the raster job takes them over
    bool m_Started = false, m_Stopped = false;
    unsigned m_Page = 0;
};

// The "zpl-resolution" the job asks for, or the printer's default, read as
// the job's other vendor settings are.
int ZplDpi(pappl_job_t* job, const pappl_pr_options_t& options) {
    pappl_printer_t* printer = papplJobGetPrinter(job);
    const DriverTable::Driver* driver = DriverTable::Find(papplPrinterGetDriverName(printer));
    CBaseRender settings;
    if (driver)
        VendorOptions::Apply(settings, *driver, printer, options.num_vendor, options.vendor);
    return settings.m_Extension.iZplDpi;
}

}  // namespace

bool PrintZplJob(pappl_job_t* job, pappl_device_t* device, void*) {
    const char* filename = papplJobGetFilename(job);
    const int fd = filename ? open(filename, O_RDONLY | O_CLOEXEC) : -1;
    if (fd < 0) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "cannot open the document: %s", std::strerror(errno));
        papplJobSetMessage(job, "Unable to read the document.");
        return false;
    }
    pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 0, false);
    if (!options || options->header.cupsWidth == 0 || options->header.cupsHeight == 0) {
        papplJobSetMessage(job, options ? "The printer's media has no size." : "Not enough memory for the job.");
        papplJobDeletePrintOptions(options);
        close(fd);
        return false;
    }
    const cups_page_header2_t& media = options->header;
    const zpl::InterpreterOptions drawing =
        LabelJob::Drawing(static_cast<int>(media.HWResolution[0]), ZplDpi(job, *options),
                          static_cast<int>(media.cupsWidth), static_cast<int>(media.cupsHeight));
    papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "%s", LabelJob::Describe(drawing).c_str());
    zpl::ZplInterpreter interpreter(
        drawing, [job](const std::string& line) { papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "ZPL: %s", line.c_str()); });
    LabelPages pages(job, device, options);
    const auto print = [&pages](zpl::Label& label) { return pages.Print(label); };
    char buffer[65536];
    bool going = true;
    ssize_t got = 0;
    while (going && (got = read(fd, buffer, sizeof buffer)) > 0)
        going = interpreter.Feed(buffer, static_cast<size_t>(got), print);
    if (going)
        interpreter.Finish(print);
    close(fd);
    const bool ok = pages.Finish();
    if (!ok && pages.Pages() == 0 && !papplJobIsCanceled(job) && !papplJobGetMessage(job)) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "the ZPL document holds no label");
        papplJobSetMessage(job, "The ZPL document holds no label (^XA ... ^XZ).");
    }
    papplJobDeletePrintOptions(options);
    return ok;
}

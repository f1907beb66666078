#include "printerapp/ZplJob.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "printerapp/RasterJob.h"
#include "zpl/ZplInterpreter.h"

namespace ZplJob {

const char kFormat[] = "application/vnd.zebra-zpl";

const char* Type(const unsigned char* header, size_t size, void*) {
    return zpl::LooksLikeZpl(header, size) ? kFormat : nullptr;
}

}  // namespace ZplJob

namespace {

// Carriers write their labels for a 203 dpi head; other heads draw them
// scaled so that a label keeps its size.
constexpr int kZplDpi = 203;

// The job's media, as PAPPL made its header, for one-bit black lines: the
// interpreter's rows as they are (most significant bit leftmost, 1 black).
cups_page_header2_t BitHeader(const cups_page_header2_t& media) {
    cups_page_header2_t header = media;
    header.cupsBitsPerColor = 1;
    header.cupsBitsPerPixel = 1;
    header.cupsBytesPerLine = (header.cupsWidth + 7) / 8;
    header.cupsColorSpace = CUPS_CSPACE_K;
    header.cupsNumColors = 1;
    return header;
}

// Feeds the raster callbacks, one page per label copy; the raster job
// starts with the first label, so that a stream without one sends nothing.
class LabelPages {
public:
    LabelPages(pappl_job_t* job, pappl_device_t* device, pappl_pr_options_t* options)
        : m_Job(job),
          m_Device(device),
          m_Options(options),
          m_Header(BitHeader(options->header)),
          m_Line(m_Header.cupsBytesPerLine) {}

    // False once the job cannot go on (cancelled, the printer failed).
    bool Print(const zpl::Label& label) {
        for (const std::string& problem : label.problems)
            papplLogJob(m_Job, PAPPL_LOGLEVEL_WARN, "label %d: %s", label.number, problem.c_str());
        papplLogJob(m_Job, PAPPL_LOGLEVEL_INFO, "label %d: %d x %d dots, %d %s", label.number, label.page.Width(),
                    label.page.Height(), label.settings.copies, label.settings.copies == 1 ? "copy" : "copies");
        if (!m_Started) {
            m_Options->header = m_Header;
            m_Stopped = !RasterJob::StartJob(m_Job, m_Options, m_Device);
            m_Started = !m_Stopped;
        }
        for (int copy = 0; !m_Stopped && copy < label.settings.copies; copy++)
            m_Stopped = !Page(label.page);
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
    // The label from the page's top left corner, cut to the media or
    // padded with white.
    bool Page(const zpl::ZplBitmap& dots) {
        if (papplJobIsCanceled(m_Job))
            return false;
        m_Page++;
        papplJobSetImpressionsCompleted(m_Job, 1);
        m_Options->header = m_Header;
        if (!RasterJob::StartPage(m_Job, m_Options, m_Device, m_Page))
            return false;
        const size_t copied = std::min(m_Line.size(), dots.RowBytes());
        const unsigned rows = std::min(m_Header.cupsHeight, static_cast<unsigned>(dots.Height()));
        const unsigned spare = m_Header.cupsWidth % 8;
        for (unsigned y = 0; y < m_Header.cupsHeight; y++) {
            std::fill(m_Line.begin(), m_Line.end(), 0);
            if (y < rows) {
                std::memcpy(m_Line.data(), dots.Row(static_cast<int>(y)), copied);
                // Dots past the page's width in its last byte are not the page's.
                if (spare && copied == m_Line.size())
                    m_Line.back() &= static_cast<unsigned char>(0xff00 >> spare);
            }
            if (!RasterJob::WriteLine(m_Job, m_Options, m_Device, y, m_Line.data()))
                return false;
        }
        return RasterJob::EndPage(m_Job, m_Options, m_Device, m_Page);
    }

    pappl_job_t* m_Job;
    pappl_device_t* m_Device;
    pappl_pr_options_t* m_Options;
    const cups_page_header2_t m_Header;
    std::vector<unsigned char> m_Line;
    bool m_Started = false, m_Stopped = false;
    unsigned m_Page = 0;
};

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
    zpl::InterpreterOptions drawing;
    drawing.dpi = static_cast<int>(options->header.HWResolution[0]);
    drawing.sourceDpi = kZplDpi;
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

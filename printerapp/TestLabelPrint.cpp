// The printer's side of the test label: its facts from PAPPL, its page
// header, and the two ways it is printed (a PWG raster file for the web
// page's button, the driver's raster callbacks for the sub-command's job).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "families/DriverTable.h"
#include "printerapp/TestLabel.h"

namespace TestLabel {

const char kRequest[] = "QUORVANT TEST LABEL\n";

namespace {

template <class Value>
struct Keyword {
    Value value;
    const char* name;
};

const Keyword<pappl_media_tracking_t> kTracking[] = {
    {PAPPL_MEDIA_TRACKING_CONTINUOUS, "continuous"},
    {PAPPL_MEDIA_TRACKING_GAP, "gap"},
    {PAPPL_MEDIA_TRACKING_MARK, "mark"},
    {PAPPL_MEDIA_TRACKING_WEB, "web"},
};
const Keyword<pappl_label_mode_t> kLabelModes[] = {
    {PAPPL_LABEL_MODE_TEAR_OFF, "tear-off"},
    {PAPPL_LABEL_MODE_CUTTER, "cutter"},
    {PAPPL_LABEL_MODE_PEEL_OFF, "peel-off"},
};

template <class Value, size_t N>
std::string KeywordOf(const Keyword<Value> (&table)[N], unsigned value) {
    for (const Keyword<Value>& k : table)
        if (value & k.value)
            return k.name;
    return std::to_string(value);
}

// The media a job prints on unless it names its own.
pappl_media_col_t LoadedMedia(const pappl_pr_driver_data_t& data) {
    const pappl_media_col_t& ready = data.media_ready[0];
    return ready.size_width > 0 && ready.size_length > 0 ? ready : data.media_default;
}

int Dots(int hundredthsMm, int dpi) { return static_cast<int>(static_cast<long long>(hundredthsMm) * dpi / 2540); }

}  // namespace

Facts FactsOf(pappl_printer_t* printer) {
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);
    const DriverTable::Driver* driver = DriverTable::Find(papplPrinterGetDriverName(printer));
    const pappl_media_col_t media = LoadedMedia(data);
    Facts f;
    f.dpi = data.x_default > 0 ? data.x_default : 203;
    f.headDots = driver ? driver->headDots : 0;
    f.mediaWidth = Dots(media.size_width, f.dpi);
    f.length = Dots(media.size_length, f.dpi);
    f.width = f.headDots > 0 ? std::min(f.mediaWidth, f.headDots) : f.mediaWidth;
    f.widthHmm = media.size_width;
    f.lengthHmm = media.size_length;
    f.mediaName = media.size_name;
    f.model = data.make_and_model;
    f.driver = papplPrinterGetDriverName(printer) ? papplPrinterGetDriverName(printer) : "";

    f.settings.emplace_back("Tracking", KeywordOf(kTracking, media.tracking));
    if (media.type[0])
        f.settings.emplace_back("Media type", media.type);
    if (media.top_offset || media.left_offset)
        f.settings.emplace_back("Offsets", "top " + std::to_string(media.top_offset) + ", left " +
                                               std::to_string(media.left_offset) + " (1/100 mm)");
    if (data.darkness_supported > 0)
        f.settings.emplace_back("Darkness", std::to_string(data.darkness_configured) + " of 100 (" +
                                                std::to_string(data.darkness_supported) + " levels)");
    if (data.speed_supported[1] > 0)
        f.settings.emplace_back("Speed", data.speed_default > 0
                                             ? std::to_string(data.speed_default / DriverTable::kSpeedPerInch) + " in/s"
                                             : std::string("printer default"));
    if (data.mode_configured)
        f.settings.emplace_back("Label mode", KeywordOf(kLabelModes, data.mode_configured));
    if (ipp_t* attrs = papplPrinterGetDriverAttributes(printer)) {
        for (int i = 0; i < data.num_vendor; i++) {
            const std::string name = std::string(data.vendor[i]) + "-default";
            char value[256];
            if (ipp_attribute_t* attr = ippFindAttribute(attrs, name.c_str(), IPP_TAG_ZERO)) {
                ippAttributeString(attr, value, sizeof value);
                f.settings.emplace_back(data.vendor[i], value);
            }
        }
        ippDelete(attrs);
    }
    f.barcode = f.driver;
    f.qrcode = "printer=" + std::string(papplPrinterGetName(printer)) + ";driver=" + f.driver + ";media=" + f.mediaName;
    return f;
}

cups_page_header2_t Header(const Facts& f) {
    cups_page_header2_t header;
    pwg_media_t media;
    std::memset(&media, 0, sizeof media);
    media.pwg = f.mediaName.c_str();
    media.width = f.widthHmm;
    media.length = f.lengthHmm;
    cupsRasterInitPWGHeader(&header, &media, "sgray_8", f.dpi, f.dpi, "one-sided", nullptr);
    // On a head narrower than the media the page is only as wide as the
    // head, so that nothing is shrunk to fit it.
    header.cupsWidth = static_cast<unsigned>(f.width);
    header.cupsBytesPerLine = header.cupsWidth;
    header.cupsHeight = static_cast<unsigned>(f.length);
    if (f.width < f.mediaWidth) {
        header.PageSize[0] = static_cast<unsigned>(std::lround(f.width * 72.0 / f.dpi));
        header.cupsPageSize[0] = static_cast<float>(f.width * 72.0 / f.dpi);
    }
    header.cupsInteger[CUPS_RASTER_PWG_TotalPageCount] = 1;
    return header;
}

const char* Callback(pappl_printer_t* printer, char* buffer, size_t bufsize) {
    const Facts facts = FactsOf(printer);
    if (facts.width <= 0 || facts.length <= 0)
        return nullptr;
    if (std::snprintf(buffer, bufsize, "%s/quorvant-test-label-XXXXXX", papplGetTempDir()) >= static_cast<int>(bufsize))
        return nullptr;
    const int fd = mkstemp(buffer);
    if (fd < 0)
        return nullptr;
    const CGrayCanvas canvas = Draw(facts);
    cups_page_header2_t header = Header(facts);
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_WRITE_PWG);
    bool ok = raster && cupsRasterWriteHeader2(raster, &header);
    for (int y = 0; ok && y < canvas.Height(); y++)
        ok = cupsRasterWritePixels(raster, const_cast<unsigned char*>(canvas.Row(y)), header.cupsBytesPerLine) ==
             header.cupsBytesPerLine;
    if (raster)
        cupsRasterClose(raster);
    ok = close(fd) == 0 && ok;
    if (!ok) {
        papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "cannot write the test label %s", buffer);
        unlink(buffer);
        return nullptr;
    }
    papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "test label of %d x %d dots on %s", facts.width, facts.length,
                    facts.mediaName.c_str());
    return buffer;
}

bool IsRequest(pappl_job_t* job) {
    const char* filename = papplJobGetFilename(job);
    const int fd = filename ? open(filename, O_RDONLY) : -1;
    if (fd < 0)
        return false;
    char head[sizeof kRequest] = {};
    const ssize_t got = read(fd, head, sizeof head);
    close(fd);
    return got == static_cast<ssize_t>(sizeof kRequest - 1) && std::memcmp(head, kRequest, sizeof kRequest - 1) == 0;
}

// The page goes through the driver's raster callbacks as PAPPL sends a PWG
// raster page: start job, start page, the lines, end page, end job.
bool PrintJob(pappl_job_t* job, pappl_device_t* device) {
    pappl_printer_t* printer = papplJobGetPrinter(job);
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);
    const Facts facts = FactsOf(printer);
    if (facts.width <= 0 || facts.length <= 0) {
        papplJobSetMessage(job, "The printer's media has no size.");
        return false;
    }
    const CGrayCanvas canvas = Draw(facts);
    papplJobSetImpressions(job, 1);
    pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 1, false);
    options->header = Header(facts);
    bool ok = data.rstartjob_cb(job, options, device);
    if (ok) {
        ok = data.rstartpage_cb(job, options, device, 1);
        for (int y = 0; ok && y < canvas.Height() && !papplJobIsCanceled(job); y++)
            data.rwriteline_cb(job, options, device, static_cast<unsigned>(y), canvas.Row(y));
        ok = ok && data.rendpage_cb(job, options, device, 1);
        papplJobSetImpressionsCompleted(job, 1);
        ok = data.rendjob_cb(job, options, device) && ok;
    }
    papplJobDeletePrintOptions(options);
    return ok;
}

}  // namespace TestLabel

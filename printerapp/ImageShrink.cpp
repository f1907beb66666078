#include "printerapp/ImageShrink.h"

#include <cmath>
#include <cstring>
#include <string>

#include "render/FineDetail.h"
#include "render/ImageSize.h"

namespace ImageShrink {

Dots Placed(const ImageSize& size, const pappl_pr_options_t& options, ipp_orient_t orientation) {
    const cups_page_header2_t& header = options.header;
    const int xdpi = options.printer_resolution[0], ydpi = options.printer_resolution[1];
    const pappl_media_col_t& media = options.media;
    int iwidth = static_cast<int>(header.cupsWidth), iheight = static_cast<int>(header.cupsHeight);
    if (options.print_scaling != PAPPL_SCALING_FILL) {
        iwidth -= (media.left_margin + media.right_margin) * xdpi / 2540;
        iheight -= (media.top_margin + media.bottom_margin) * ydpi / 2540;
    }
    // PAPPL computes in int; the same in 64 bits, where no picture size
    // overflows.
    const long long width = size.width, height = size.height;
    if (orientation == IPP_ORIENT_NONE)
        orientation =
            width > height && header.cupsWidth < header.cupsHeight ? IPP_ORIENT_LANDSCAPE : IPP_ORIENT_PORTRAIT;
    const bool turned = orientation == IPP_ORIENT_LANDSCAPE || orientation == IPP_ORIENT_REVERSE_LANDSCAPE;
    const long long across = turned ? height : width, down = turned ? width : height;
    long long xsize, ysize;
    if (options.print_scaling == PAPPL_SCALING_NONE) {
        // PAPPL's whole pixels per inch, 200 where the picture declares none.
        long long ppi = std::llround(size.ppiX);
        if (ppi <= 0)
            ppi = 200;
        xsize = across * xdpi / ppi;
        ysize = down * ydpi / ppi;
    } else {
        xsize = iwidth;
        ysize = xsize * down / across;
        if ((ysize > iheight && options.print_scaling == PAPPL_SCALING_FIT) ||
            (ysize < iheight && options.print_scaling == PAPPL_SCALING_FILL)) {
            ysize = iheight;
            xsize = ysize * across / down;
        }
    }
    return turned ? Dots{ysize, xsize, true} : Dots{xsize, ysize, false};
}

void Note(pappl_job_t* job, const pappl_pr_options_t& options) {
    const char* format = papplJobGetFormat(job);
    const char* file = papplJobGetFilename(job);
    if (!format || !file || (std::strcmp(format, "image/png") != 0 && std::strcmp(format, "image/jpeg") != 0))
        return;
    ImageSize size;
    if (!ReadImageFile(file, size))
        return;
    ipp_attribute_t* attr = papplJobGetAttribute(job, "orientation-requested");
    pappl_pr_driver_data_t driver;
    papplPrinterGetDriverData(papplJobGetPrinter(job), &driver);
    const ipp_orient_t orientation = attr                    ? static_cast<ipp_orient_t>(ippGetInteger(attr, 0))
                                     : driver.orient_default ? driver.orient_default
                                                             : IPP_ORIENT_NONE;
    const int xdpi = options.printer_resolution[0], ydpi = options.printer_resolution[1];
    if (xdpi <= 0 || ydpi <= 0)
        return;
    const Dots dots = Placed(size, options, orientation);
    const double scale = FineDetail::ImageScale(size, static_cast<double>(dots.x) / (dots.turned ? ydpi : xdpi),
                                                static_cast<double>(dots.y) / (dots.turned ? xdpi : ydpi), xdpi);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "picture of %u x %u pixels printed %lld x %lld dots%s, at %.1f %%",
                size.width, size.height, dots.x, dots.y, dots.turned ? ", turned a quarter" : "", scale * 100.0);
    const std::string warning = FineDetail::ShrinkWarning(scale, xdpi);
    if (warning.empty())
        return;
    papplLogJob(job, PAPPL_LOGLEVEL_WARN, "%s", warning.c_str());
    papplJobSetMessage(job, "%s", warning.c_str());
}

}  // namespace ImageShrink

#include "filter/ImageChain.h"

#include <cups/cups.h>

#include <cstdio>
#include <cstring>

#include "filter/RasterizerChain.h"
#include "render/FineDetail.h"
#include "render/ImageSize.h"

namespace ImageChain {

namespace {

// "print-scaling=none" and "crop-to-fit" print the picture at its own size,
// cropped to the page: nothing is shrunk.
bool KeepsItsSize(const char* optionText) {
    cups_option_t* options = nullptr;
    const int count = cupsParseOptions(optionText, 0, &options);
    const char* scaling = cupsGetOption("print-scaling", count, options);
    const char* crop = cupsGetOption("crop-to-fit", count, options);
    const bool keeps = (scaling && !strcasecmp(scaling, "none")) ||
                       (!scaling && crop && (!strcasecmp(crop, "true") || !strcasecmp(crop, "yes")));
    cupsFreeOptions(count, options);
    return keeps;
}

}  // namespace

bool PrintedInches(const std::string& line, double& x, double& y) {
    int xPages = 0, yPages = 0;
    double xEach = 0.0, yEach = 0.0;
    if (std::sscanf(line.c_str(), "DEBUG: xpages = %dx%lfin, ypages = %dx%lfin", &xPages, &xEach, &yPages, &yEach) !=
            4 ||
        xPages <= 0 || yPages <= 0 || !(xEach > 0.0) || !(yEach > 0.0))
        return false;
    x = xPages * (xEach - 0.005);
    y = yPages * (yEach - 0.005);
    return true;
}

int Run(int argc, char** argv) {
    ImageSize size;
    const bool keepsSize = argc >= 6 && KeepsItsSize(argv[5]);
    RasterizerChain::Chain chain;
    chain.name = "quorvant-image";
    chain.program = "imagetoraster";
    chain.kind = "image";
    chain.readDocument = [&size](const std::string& path, RasterizerChain::Reading&) { ReadImageFile(path, size); };
    chain.readMessage = [&size, keepsSize](const std::string& line, RasterizerChain::Reading& reading) {
        double x, y;
        if (!PrintedInches(line, x, y))
            return false;
        if (!keepsSize && size.width > 0)
            reading.scale = [size, x, y](int dpi) { return FineDetail::ImageScale(size, x, y, dpi); };
        return true;
    };
    return RasterizerChain::Run(argc, argv, chain);
}

}  // namespace ImageChain

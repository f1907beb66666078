#include "render/PagePlacement.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace PagePlacement {

namespace {

const struct {
    const char* keyword;
    Scaling scaling;
} kScalings[] = {
    {"auto", Scaling::Auto}, {"auto-fit", Scaling::AutoFit}, {"fit", Scaling::Fit},
    {"fill", Scaling::Fill}, {"none", Scaling::None},
};

// The page's size in dots on the media's axes, turned or not.
struct Dots {
    double width, height;
};

// The largest scale that shows the whole page, and the smallest that covers
// the media.
double FitScale(const Dots& page, int width, int height) { return std::min(width / page.width, height / page.height); }
double FillScale(const Dots& page, int width, int height) { return std::max(width / page.width, height / page.height); }

bool Fits(const Dots& page, int width, int height, double slackX, double slackY) {
    return page.width <= width + slackX && page.height <= height + slackY;
}

}  // namespace

bool ScalingFor(const char* keyword, Scaling& scaling) {
    for (const auto& entry : kScalings)
        if (keyword && std::strcmp(keyword, entry.keyword) == 0) {
            scaling = entry.scaling;
            return true;
        }
    return false;
}

Placement Place(double pageWidth, double pageHeight, int mediaWidth, int mediaHeight, int xdpi, int ydpi,
                Scaling scaling) {
    Placement placement;
    if (!(pageWidth > 0) || !(pageHeight > 0) || mediaWidth < 1 || mediaHeight < 1 || xdpi < 1 || ydpi < 1)
        return placement;
    const Dots upright = {pageWidth * xdpi / 72.0, pageHeight * ydpi / 72.0};
    const Dots turned = {pageHeight * xdpi / 72.0, pageWidth * ydpi / 72.0};
    const double slackX = kFitSlackMm * xdpi / 25.4, slackY = kFitSlackMm * ydpi / 25.4;
    // A quarter turn where it shows the page larger (a landscape label on
    // portrait media); a tie keeps the page upright.
    const bool turnGains =
        FitScale(turned, mediaWidth, mediaHeight) > FitScale(upright, mediaWidth, mediaHeight) * 1.000001;
    const bool fitsUpright = Fits(upright, mediaWidth, mediaHeight, slackX, slackY);
    const bool fitsTurned = Fits(turned, mediaWidth, mediaHeight, slackX, slackY);

    switch (scaling) {
        case Scaling::Auto:
        case Scaling::AutoFit:
            placement.turned = !fitsUpright && (fitsTurned || turnGains);
            if (!fitsUpright && !fitsTurned)
                placement.scale = std::min(1.0, FitScale(placement.turned ? turned : upright, mediaWidth, mediaHeight));
            break;
        case Scaling::None:
            placement.turned = !fitsUpright && turnGains;
            break;
        case Scaling::Fit:
            placement.turned = turnGains;
            placement.scale = FitScale(turnGains ? turned : upright, mediaWidth, mediaHeight);
            break;
        case Scaling::Fill:
            placement.turned = turnGains;
            placement.scale = FillScale(turnGains ? turned : upright, mediaWidth, mediaHeight);
            break;
    }
    const Dots& page = placement.turned ? turned : upright;
    placement.width = std::max(1, static_cast<int>(std::lround(page.width * placement.scale)));
    placement.height = std::max(1, static_cast<int>(std::lround(page.height * placement.scale)));
    // Centered; an odd dot of difference goes to the right and the bottom.
    placement.left = static_cast<int>(std::floor((mediaWidth - placement.width) / 2.0));
    placement.top = static_cast<int>(std::floor((mediaHeight - placement.height) / 2.0));
    return placement;
}

}  // namespace PagePlacement

// The settings records of a job's renderer from its driver and IPP
// attributes: first what the PPD of the same model marks by default, then
// the job's media, darkness, speed, colour mode, content and vendor options.
#include <algorithm>
#include <cstring>

#include "printerapp/CPapplRender.h"
#include "printerapp/VendorOptions.h"
#include "render/NamedSettings.h"

namespace PapplHost {

namespace {

void ApplyDriverDefaults(CBaseRender& render, const DriverTable::Driver& driver) {
    tagREGSTRUCT& reg = render.m_RegStruct;
    reg.iDensity = -1;
    reg.iSpeed = -1;
    NamedSettings::Apply(render, "head-dots", driver.headDots);
    NamedSettings::ApplyHalftone(render, driver.halftone);
    if (driver.stock == DriverTable::Stock::Roll)
        NamedSettings::Apply(render, "trim-roll", 1);
    if (driver.cutter)
        NamedSettings::Apply(render, "cut-mode", 1);
    if (driver.endFeed >= 0)
        NamedSettings::Apply(render, "end-feed", driver.endFeed);
}

// Continuous stock (by its media type) has nothing to track, whatever
// tracking the printer's media otherwise carries (a job that names only a
// media type gets the rest of the printer's ready media). On labels the
// tracking tells gap from black mark.
void ApplyMedia(CBaseRender& render, const DriverTable::Driver& driver, const pappl_media_col_t& media) {
    tagREGSTRUCT& reg = render.m_RegStruct;
    const bool continuous =
        std::strncmp(media.type, "continuous", 10) == 0 || std::strcmp(media.type, "labels-continuous") == 0;
    int type = driver.stock == DriverTable::Stock::Roll ? driver.continuousType : 1;
    if (continuous)
        type = driver.continuousType;
    else if (media.tracking & PAPPL_MEDIA_TRACKING_MARK)
        type = 2;
    else if ((media.tracking & PAPPL_MEDIA_TRACKING_GAP) || std::strcmp(media.type, "labels") == 0)
        type = 1;
    else if (media.tracking & PAPPL_MEDIA_TRACKING_CONTINUOUS)
        type = driver.continuousType;
    reg.iMediaType = type;
    // As the PPDs' media tracking table: only gap labels carry a mark length.
    reg.iMarkLength = type == 1 ? 3 : 0;
    reg.iMarkOffset = 0;
}

void ApplyDarkness(CBaseRender& render, const DriverTable::Driver& driver, const pappl_pr_options_t& options) {
    if (driver.darknessLevels <= 1)
        return;
    if (options.print_darkness == 0 && options.darkness_configured == DriverTable::kFactoryDarkness)
        return;
    const int level = std::clamp(options.darkness_configured + options.print_darkness, 0, 100);
    render.m_RegStruct.iDensity = (level * (driver.darknessLevels - 1) + 50) / 100;
}

void ApplyHalftoning(CBaseRender& render, const pappl_pr_options_t& options) {
    if (options.print_color_mode == PAPPL_COLOR_MODE_BI_LEVEL) {
        NamedSettings::ApplyHalftone(render, "threshold");
        return;
    }
    switch (options.print_content_optimize) {
        case PAPPL_CONTENT_TEXT:
            NamedSettings::ApplyHalftone(render, "threshold");
            break;
        case PAPPL_CONTENT_GRAPHIC:
            NamedSettings::ApplyHalftone(render, "edge-keeping");
            break;
        case PAPPL_CONTENT_PHOTO:
            NamedSettings::ApplyHalftone(render, "burkes");
            break;
        default:
            break;  // auto, text-and-graphic: the driver's method
    }
}

}  // namespace

void GetJobParameters(CBaseRender& render, JobContext& context) {
    const DriverTable::Driver& driver = *context.driver;
    ApplyDriverDefaults(render, driver);
    if (const pappl_pr_options_t* options = context.options) {
        ApplyMedia(render, driver, options->media);
        ApplyDarkness(render, driver, *options);
        if (driver.speed && options->print_speed > 0)
            render.m_RegStruct.iSpeed =
                (options->print_speed + DriverTable::kSpeedPerInch / 2) / DriverTable::kSpeedPerInch;
        ApplyHalftoning(render, *options);
        VendorOptions::Apply(render, driver, papplJobGetPrinter(context.job), options->num_vendor, options->vendor);
    }
    const tagREGSTRUCT& reg = render.m_RegStruct;
    render.AddLog(
        "settings: media type %d, density %d, speed %d, gray method %d, edge keeping %d, cut %d, "
        "end feed %d, trim roll %d, head %d dots",
        reg.iMediaType, reg.iDensity, reg.iSpeed, render.m_HalfTone.iGrayMethod,
        render.m_Extension.bEdgeKeeping ? 1 : 0, reg.iCutMode, render.m_Extension.iEndFeed,
        render.m_Extension.bTrimRoll ? 1 : 0, render.m_Extension.iHeadDots);
}

}  // namespace PapplHost

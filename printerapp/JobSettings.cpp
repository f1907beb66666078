// The settings records of a job's renderer from its driver and IPP
// attributes: first what the PPD of the same model marks by default, then
// the job's media, darkness, speed, colour mode, content and vendor options.
#include <algorithm>
#include <cstring>

#include "families/NamedSettings.h"
#include "printerapp/CPapplRender.h"
#include "printerapp/VendorOptions.h"
#include "render/MediaTracking.h"

namespace PapplHost {

namespace {

// What the driver's PPD marks by default, for every setting of the shared
// table that applies to the driver.
void ApplyDriverDefaults(CBaseRender& render, const DriverTable::Driver& driver) {
    tagREGSTRUCT& reg = render.m_RegStruct;
    reg.iDensity = -1;
    reg.iSpeed = -1;
    for (const NamedSettings::Setting& setting : NamedSettings::All())
        if (setting.drivers.appliesTo(driver))
            NamedSettings::Apply(render, setting, NamedSettings::DefaultFor(setting, driver));
}

// Whether the job's own media-col names `member` (PAPPL fills the members
// a job leaves out from the printer's ready media).
bool JobNames(pappl_job_t* job, const char* member) {
    ipp_attribute_t* col = job ? papplJobGetAttribute(job, "media-col") : nullptr;
    return col && ippFindAttribute(ippGetCollection(col, 0), member, IPP_TAG_ZERO) != nullptr;
}

// The PPDs' media tracking choice for the job's media, applied as the
// filter applies a PPD's. Continuous stock (by its media type) has nothing
// to track, whatever tracking the printer's media otherwise carries. On
// labels the tracking tells gap from black mark. A job that names only a
// tracking gets that tracking, whatever type the ready media has.
void ApplyMedia(CBaseRender& render, const DriverTable::Driver& driver, const pappl_media_col_t& media,
                pappl_job_t* job) {
    const bool continuous =
        std::strncmp(media.type, "continuous", 10) == 0 || std::strcmp(media.type, "labels-continuous") == 0;
    const bool trackingOnly = JobNames(job, "media-tracking") && !JobNames(job, "media-type");
    const char* choice = driver.stock == DriverTable::Stock::Roll ? driver.continuous : "Gap";
    if (trackingOnly && (media.tracking & PAPPL_MEDIA_TRACKING_CONTINUOUS))
        choice = driver.continuous;
    else if (continuous && !trackingOnly)
        choice = driver.continuous;
    else if (media.tracking & PAPPL_MEDIA_TRACKING_MARK)
        choice = "BLine";
    else if ((media.tracking & PAPPL_MEDIA_TRACKING_GAP) || std::strcmp(media.type, "labels") == 0)
        choice = "Gap";
    else if (media.tracking & PAPPL_MEDIA_TRACKING_CONTINUOUS)
        choice = driver.continuous;
    if (const MediaTracking::Row* row = MediaTracking::Find(choice))
        MediaTracking::Apply(render.m_RegStruct, *row);
}

void ApplyDarkness(CBaseRender& render, const DriverTable::Driver& driver, const pappl_pr_options_t& options) {
    if (driver.darknessLevels <= 1)
        return;
    if (options.print_darkness == 0 && options.darkness_configured == DriverTable::kFactoryDarkness)
        return;
    const int level = std::clamp(options.darkness_configured + options.print_darkness, 0, 100);
    render.m_RegStruct.iDensity = (level * (driver.darknessLevels - 1) + 50) / 100;
}

// Bi-level pages are thresholded; otherwise the content picks the method,
// and "auto" and "text-and-graphic" keep the driver's. Text gets edge-keeping
// rather than a threshold: anti-aliased glyph and bar edges arrive gray, and
// a threshold moves them by a dot wherever their gray lies near it.
void ApplyHalftoning(CBaseRender& render, const pappl_pr_options_t& options) {
    static const struct {
        pappl_content_t content;
        const char* halftoning;
    } kByContent[] = {
        {PAPPL_CONTENT_TEXT, "edge-keeping"},
        {PAPPL_CONTENT_GRAPHIC, "edge-keeping"},
        {PAPPL_CONTENT_PHOTO, "burkes"},
    };
    if (options.print_color_mode == PAPPL_COLOR_MODE_BI_LEVEL) {
        NamedSettings::ApplyKeyword(render, "halftoning", "threshold");
        return;
    }
    for (const auto& entry : kByContent)
        if (options.print_content_optimize == entry.content)
            NamedSettings::ApplyKeyword(render, "halftoning", entry.halftoning);
}

}  // namespace

LabelSettings::Printer LabelPrinter(const DriverTable::Driver& driver) {
    LabelSettings::Printer printer;
    // ApplyDarkness's levels; the speeds DriverData offers.
    if (driver.darknessLevels > 1)
        printer.darkness = {0, driver.darknessLevels - 1};
    if (driver.speed)
        printer.speed = {DriverTable::kLeastSpeed, driver.speed};
    // ApplyMedia's choices.
    printer.tracking = {"Gap", "BLine", driver.continuous};
    printer.postPrint = NamedSettings::Find("post-print")->drivers.appliesTo(driver);
    printer.cutMode = NamedSettings::Find("cut-mode")->drivers.appliesTo(driver);
    printer.transfer = driver.ribbon;
    return printer;
}

LabelSettings::Named LabelNamed(pappl_job_t* job, const pappl_pr_options_t& options) {
    LabelSettings::Named named;
    named.darkness = papplJobGetAttribute(job, "print-darkness") != nullptr;
    named.speed = papplJobGetAttribute(job, "print-speed") != nullptr;
    named.tracking = JobNames(job, "media-tracking") || JobNames(job, "media-type");
    // PAPPL passes a job's vendor options only where the job names them.
    named.cutMode =
        cupsGetOption(NamedSettings::Find("cut-mode")->ipp.attribute, options.num_vendor, options.vendor) != nullptr;
    return named;
}

void GetJobParameters(CBaseRender& render, JobContext& context) {
    const DriverTable::Driver& driver = *context.driver;
    ApplyDriverDefaults(render, driver);
    if (const pappl_pr_options_t* options = context.options) {
        ApplyMedia(render, driver, options->media, context.job);
        ApplyDarkness(render, driver, *options);
        if (driver.speed && options->print_speed > 0)
            render.m_RegStruct.iSpeed =
                (options->print_speed + DriverTable::kSpeedPerInch / 2) / DriverTable::kSpeedPerInch;
        ApplyHalftoning(render, *options);
        VendorOptions::Apply(render, driver, papplJobGetPrinter(context.job), options->num_vendor, options->vendor);
    }
    NamedSettings::Apply(render, "copies", context.copies);
    const tagREGSTRUCT& reg = render.m_RegStruct;
    render.AddLog(
        "settings: media type %d, density %d, speed %d, gray method %d, edge keeping %d, cut %d, "
        "end feed %d, trim roll %d, head %d dots",
        reg.iMediaType, reg.iDensity, reg.iSpeed, render.m_HalfTone.iGrayMethod,
        render.m_Extension.bEdgeKeeping ? 1 : 0, reg.iCutMode, render.m_Extension.iEndFeed,
        render.m_Extension.bTrimRoll ? 1 : 0, render.m_Extension.iHeadDots);
}

}  // namespace PapplHost

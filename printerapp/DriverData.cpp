#include "printerapp/DriverData.h"

#include <cstdio>
#include <cstring>

#include "families/DriverTable.h"
#include "printerapp/PrinterIcons.h"
#include "printerapp/PrinterStatus.h"
#include "printerapp/RasterJob.h"
#include "printerapp/StatusWatch.h"
#include "printerapp/TestLabel.h"
#include "printerapp/VendorOptions.h"

namespace DriverData {

namespace {

// Labels leave the printer gap-tracked on label stock; rolls are continuous.
void FillMedia(const DriverTable::Driver& driver, pappl_pr_driver_data_t& data) {
    const bool labels = driver.stock == DriverTable::Stock::Labels;
    for (const char* const* name = driver.media; *name && data.num_media < PAPPL_MAX_MEDIA; name++)
        data.media[data.num_media++] = *name;

    data.num_source = 1;
    data.source[0] = "main-roll";
    data.tracking_supported =
        labels ? (PAPPL_MEDIA_TRACKING_GAP | PAPPL_MEDIA_TRACKING_MARK | PAPPL_MEDIA_TRACKING_CONTINUOUS)
               : (PAPPL_MEDIA_TRACKING_CONTINUOUS | PAPPL_MEDIA_TRACKING_GAP | PAPPL_MEDIA_TRACKING_MARK);
    data.num_type = 3;
    data.type[0] = labels ? "labels" : "continuous";
    data.type[1] = labels ? "labels-continuous" : "labels";
    data.type[2] = labels ? "continuous" : "labels-continuous";

    pappl_media_col_t& media = data.media_default;
    std::memset(&media, 0, sizeof media);
    pwg_media_t* pwg = pwgMediaForPWG(driver.media[0]);
    if (pwg) {
        media.size_width = pwg->width;
        media.size_length = pwg->length;
    }
    std::snprintf(media.size_name, sizeof media.size_name, "%s", driver.media[0]);
    std::snprintf(media.source, sizeof media.source, "%s", data.source[0]);
    std::snprintf(media.type, sizeof media.type, "%s", data.type[0]);
    media.tracking = labels ? PAPPL_MEDIA_TRACKING_GAP : PAPPL_MEDIA_TRACKING_CONTINUOUS;
    data.media_ready[0] = media;
}

}  // namespace

bool Fill(pappl_system_t* system, const char* driverName, const char*, const char*, pappl_pr_driver_data_t* data,
          ipp_t** attrs, void*) {
    const DriverTable::Driver* driver = DriverTable::Find(driverName);
    if (!driver) {
        papplLog(system, PAPPL_LOGLEVEL_ERROR, "unknown driver %s", driverName ? driverName : "(null)");
        return false;
    }
    data->rstartjob_cb = RasterJob::StartJob;
    data->rstartpage_cb = RasterJob::StartPage;
    data->rwriteline_cb = RasterJob::WriteLine;
    data->rendpage_cb = RasterJob::EndPage;
    data->rendjob_cb = RasterJob::EndJob;
    // PAPPL compares every job's format with the driver's own without a
    // null check. A document PAPPL cannot type (a raw port's stream in the
    // printer's language, an unknown one) takes the driver's format: it goes
    // to the application's application/octet-stream filter (RawJob), which
    // says what becomes of it.
    data->format = "application/octet-stream";

    std::snprintf(data->make_and_model, sizeof data->make_and_model, "%s", driver->description);
    data->ppm = 10;
    data->kind =
        driver->stock == DriverTable::Stock::Labels ? PAPPL_KIND_LABEL : (PAPPL_KIND_RECEIPT | PAPPL_KIND_ROLL);
    // The family's own icons; PAPPL's stand in where they cannot be drawn.
    for (int i = 0; i < 3; i++) {
        const std::string& png = PrinterIcons::Png(*driver, i);
        data->icons[i].data = png.empty() ? nullptr : png.data();
        data->icons[i].datalen = png.size();
    }
    data->color_supported = PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_MONOCHROME | PAPPL_COLOR_MODE_BI_LEVEL;
    data->color_default = PAPPL_COLOR_MODE_MONOCHROME;
    data->content_default = PAPPL_CONTENT_AUTO;
    data->quality_default = IPP_QUALITY_NORMAL;
    // Fit: a picture is shown whole. PAPPL's "auto" fills a borderless page,
    // which crops a photo to a 200 mm strip of its middle on a receipt roll.
    data->scaling_default = PAPPL_SCALING_FIT;
    // 8-bit gray: the renderer halftones itself; 1-bit black for bi-level.
    data->raster_types = PAPPL_PWG_RASTER_TYPE_BLACK_1 | PAPPL_PWG_RASTER_TYPE_SGRAY_8;
    data->force_raster_type = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
    data->duplex = PAPPL_DUPLEX_NONE;
    data->sides_supported = PAPPL_SIDES_ONE_SIDED;
    data->sides_default = PAPPL_SIDES_ONE_SIDED;
    // Portrait: a picture prints as it comes, not turned to fit the label.
    data->orient_default = IPP_ORIENT_PORTRAIT;
    data->num_resolution = 1;
    data->x_resolution[0] = data->y_resolution[0] = driver->dpi;
    data->x_default = data->y_default = driver->dpi;
    // Edge to edge, but with margins of 0.01 mm beside the borderless sizes:
    // a printer with only zero margins gets a CUPS driverless PPD whose
    // default size names no size it has (every size is "….Borderless").
    data->borderless = true;
    data->left_right = 1;
    data->bottom_top = 1;
    data->status_cb = StatusWatch::Idle;
    data->identify_cb = PrinterStatus::Identify;
    data->identify_supported = PrinterStatus::IdentifyActions(*driver);
    data->identify_default = driver->beep ? PAPPL_IDENTIFY_ACTIONS_SOUND : PAPPL_IDENTIFY_ACTIONS_DISPLAY;
    data->testpage_cb = TestLabel::Callback;
    FillMedia(*driver, *data);

    if (driver->darknessLevels > 1) {
        data->darkness_supported = driver->darknessLevels;
        data->darkness_configured = DriverTable::kFactoryDarkness;
        data->darkness_default = 0;
    }
    if (driver->speed) {
        data->speed_supported[0] = DriverTable::kLeastSpeed * DriverTable::kSpeedPerInch;
        data->speed_supported[1] = driver->speed * DriverTable::kSpeedPerInch;
        data->speed_default = 0;
    }
    if (driver->stock == DriverTable::Stock::Labels) {
        data->mode_supported = PAPPL_LABEL_MODE_TEAR_OFF;
        data->mode_configured = PAPPL_LABEL_MODE_TEAR_OFF;
    }

    *attrs = ippNew();
    PrinterStatus::Describe(*attrs);
    VendorOptions::Declare(*driver, *data, *attrs);
    return true;
}

}  // namespace DriverData

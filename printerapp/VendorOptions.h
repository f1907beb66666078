#pragma once

#include <pappl/pappl.h>

#include "families/DriverTable.h"
#include "render/CBaseRender.h"

// The printer application's own job attributes, beyond the standard ones:
// the settings of families/NamedSettings that have an IPP attribute and apply
// to the driver ("halftoning" for every driver, "cut-mode" and
// "cash-drawer" for printers with a cutter, "end-feed" for printers that
// feed at the end of the job). That one table declares them to PAPPL and
// reads them from a job: keyword choices, or numbers in the setting's range.
namespace VendorOptions {

// Adds the driver's vendor attribute names to `data` and their -supported
// and -default values to `attrs`.
void Declare(const DriverTable::Driver& driver, pappl_pr_driver_data_t& data, ipp_t* attrs);

// Applies the job's values, and the printer's defaults for those the job
// leaves out. A setting's "auto" keyword ("halftoning" "auto") leaves it to
// other attributes (print-content-optimize).
void Apply(CBaseRender& render, const DriverTable::Driver& driver, pappl_printer_t* printer, int count,
           const cups_option_t* options);

}  // namespace VendorOptions

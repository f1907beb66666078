#pragma once

#include <pappl/pappl.h>

// PAPPL's driver callback: fills a printer's driver data and attributes
// from the driver table.
namespace DriverData {

bool Fill(pappl_system_t* system, const char* driverName, const char* deviceUri, const char* deviceId,
          pappl_pr_driver_data_t* data, ipp_t** attrs, void* context);

}  // namespace DriverData

#pragma once

#include <string>

#include "families/DriverTable.h"

// The printers' icons (IPP's printer-icons, the web pages): one per family,
// a label, receipt or pocket printer as the family's drivers are, in the
// family's own colour with its language's name on the front. Drawn by the
// ZPL interpreter at four times the size and shrunk, each layer a shape of
// one colour, so that the edges are smooth.
namespace PrinterIcons {

// PAPPL's three sizes (icon-sm, icon-md, icon-lg), in pixels.
constexpr int kSizes[3] = {48, 128, 512};

// The PNG of `driver`'s family at kSizes[index]: drawn once per process and
// kept, the same bytes for every driver of the family; empty if it cannot be
// drawn (no fonts), when PAPPL's own icons stand in.
const std::string& Png(const DriverTable::Driver& driver, int index);

}  // namespace PrinterIcons

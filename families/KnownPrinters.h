#pragma once

#include <cstddef>
#include <string>

#include "families/DriverTable.h"

// The printers the project knows by their IEEE 1284 device IDs, each with
// its driver. The application's auto-add, its driver choice for a
// discovered printer and the PPDs' "1284DeviceID" attributes come from this
// one table. A device ID names the printer's language unreliably ("CEZD"
// and "XPP,XL" appear on printers of different languages), so a printer is
// known by its maker and model first.
namespace KnownPrinters {

// The parts of a device ID that tell a printer; values trimmed of blanks,
// the long key names (MANUFACTURER, MODEL, COMMAND SET) taken too.
struct DeviceId {
    std::string make, model, commandSet;
};
DeviceId Parse(const std::string& deviceId);

struct Printer {
    const char* make;   // as the device ID gives it, trimmed
    const char* model;  // ditto; a trailing '*' matches every model it begins
    const char* driver;
    const char* deviceId;  // the device ID as the printer sends it
    const char* source;    // where the ID was seen
    // The printer's own PPD (*PCFileName): its driver's PPD under the
    // printer's name, which CUPS offers first for its device ID. A series
    // has one for the model of its sample ID: CUPS's matching cannot give
    // one PPD to a whole series.
    const char* ppd;
    // The maker and model as sold, where the device ID does not name them;
    // null: `make` and the device ID's model.
    const char* soldMake;
    const char* soldModel;
};

const Printer* All(size_t& count);

struct Match {
    const DriverTable::Driver* driver = nullptr;  // null: nothing fits
    const Printer* printer = nullptr;             // null: matched by language alone
    int score = 0;  // 3 maker and model, 2 a model of a known series, 1 the language alone
};

// The driver for a printer with `deviceId`. A printer of a maker the table
// does not know, whose command set names one language, gets that
// language's generic driver; a maker known to make printers of several
// languages must be matched by its model.
Match Find(const std::string& deviceId);

// What a known printer's own PPD says of it: the maker (*Manufacturer) and
// model that name it, and its *1284DeviceID. CUPS's driver listing matches
// a printer's device ID against that attribute by a case-insensitive
// pattern built from the printer's ID: its maker and model items, key name
// and value with any blanks, must appear in the same order. So the
// attribute is the printer's maker, command set and model items exactly as
// it sends them. That pattern also takes the PPD of every model whose name
// holds the printer's ("LabelWriter 450 Turbo" for "LabelWriter 450"), at
// the same score; CUPS then lists them by *NickName, comparing letters
// without case and numbers by value. So the NickName follows the model
// with " (", which sorts before any letter, digit or blank: the printer's
// own PPD comes before those of the models its name begins.
struct PpdIdentity {
    std::string make, model, deviceId, nickName;
};
PpdIdentity IdentityOf(const Printer& printer);

// The command sets that name the language of `driver` alone, as a CMD
// value ("TSPL,TSPL2"): what the driver's generic PPD states as its
// *1284DeviceID. Empty for a driver no command set names.
std::string CommandSetsOf(const char* driver);

}  // namespace KnownPrinters

#pragma once

#include <cstddef>

// The drivers: one per printer model (a family and its head), each with its
// PPD and its printer-application driver. Everything else (PAPPL's driver
// list, the driver data, the defaults a job starts from, the PPDs the build
// makes) is derived from this one table or checked against it. Free of
// PAPPL and CUPS, for both hosts and the tests.
namespace DriverTable {

enum class Stock {
    Labels,  // die-cut labels; tracking gap by default, black mark or continuous
    Roll,    // receipt roll, cut or torn off; a page is as long as its content
             // (white above and below trimmed) unless the job says otherwise
};

// What tells the Brother QL models (family 33) apart.
struct QlModel {
    int invalidate;    // bytes of 00 that open a job: 200, 350 or 400 by the model's manual
    bool modeCommand;  // takes ESC i a (raster mode); the QL-5xx, QL-600 and QL-700 refuse it
    bool packBits;     // takes PackBits rows and Z; the QL-800 takes neither
};

// print-speed is in hundredths of millimetres per second; the printers take
// inches per second, from kLeastSpeed to their driver's `speed`.
const int kSpeedPerInch = 2540;
const int kLeastSpeed = 2, kMostSpeed = 8;  // kMostSpeed: the TSPL printers' fastest

struct Driver {
    const char* name;           // PAPPL driver name
    const char* description;    // make and model
    const char* deviceIdModel;  // the MDL: of the IEEE 1284 device ID, the PPD's *ModelName
    const char* ppd;            // the PPD's file name (*PCFileName)
    int modelNumber;            // the PPD's *cupsModelNumber: the family (Families)
    int dpi;
    int headDots;  // print head width in dots
    Stock stock;
    const char* const* media;  // PWG media names; the first is the default; null ends
    int darknessLevels;        // levels of the printer's darkness setting; 0: none
    int speed;                 // the fastest print speed it takes, inches per second; 0: it takes none
    bool cutter;               // cut mode and cash drawer apply
    // Defaults of the settings only some drivers have (families/NamedSettings);
    // < 0: the driver has no such setting.
    int endFeed;           // mm fed at the end of the job
    int preFeed;           // mm fed before every page
    int postPrint;         // after printing: 0 the printer's setting, 1 tear off, 2 cut, 3 peel, 4 partial cut
    const char* halftone;  // default halftoning keyword (NamedSettings)
    // The media tracking (render/MediaTracking) of continuous stock:
    // "Continuous", or "Roll" for receipt rolls.
    const char* continuous;
    const char* beep;  // bytes that sound the printer's beeper; null: it has none
    // Prints through a ribbon (thermal transfer) as well as direct: its
    // PPD's "MediaMethod" offers "Transfer".
    bool ribbon = false;
};

const Driver* Drivers(size_t& count);
// The driver named `name`, or null.
const Driver* Find(const char* name);
// What tells a Brother QL driver's model apart; null for every other driver.
const QlModel* QlModelOf(const Driver& driver);

// printer-darkness-configured as a printer is added, on PAPPL's 0-100
// scale. A job at this darkness with no print-darkness of its own sends no
// darkness command: the printer keeps its own setting, as with the PPDs'
// "Printer Default".
const int kFactoryDarkness = 50;

// Custom sizes the roll drivers accept: page length from 12.7 mm (36 points,
// the PPDs' MinSize) up to 5080 mm, in hundredths of millimetres.
const int kMinRollLength = 1270;
const int kMaxRollLength = 508000;

}  // namespace DriverTable

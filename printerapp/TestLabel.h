#pragma once

#include <pappl/pappl.h>

#include <string>
#include <utility>
#include <vector>

#include "marks/CGrayCanvas.h"

// The printer's test label: on its loaded media, a frame one dot inside the
// printable area, millimetre rulers along the top and left edges, darkness
// steps, a Code 128 and a QR code and the driver's settings as text, drawn at
// the printer's resolution so that it prints dot for dot.
namespace TestLabel {

// What the label shows and the page it is drawn on.
struct Facts {
    int dpi = 203;
    int width = 0, length = 0;  // the page in dots: the printable width, the media length
    int mediaWidth = 0;         // the media's width in dots (the page is narrower on a narrower head)
    int headDots = 0;
    int widthHmm = 0, lengthHmm = 0;  // the media in hundredths of millimetres
    std::string mediaName, model, driver;
    std::vector<std::pair<std::string, std::string>> settings;  // name, value
    std::string barcode;                                        // Code 128 (code set B) content
    std::string qrcode;                                         // QR code content
};

// Draws the label; the parts that do not fit the page are left out, the QR
// code last of all.
CGrayCanvas Draw(const Facts& facts);

// The facts of `printer`: its driver, its ready (else default) media and its
// settings.
Facts FactsOf(pappl_printer_t* printer);

// The page header the label is printed with: 8-bit sGray at the printer's
// resolution, the page as wide as the label is drawn and as long as the media.
cups_page_header2_t Header(const Facts& facts);

// PAPPL's test page callback: writes the label as PWG raster into PAPPL's
// temporary directory (PAPPL removes it after the job) and returns its name
// in `buffer`; null when it cannot.
const char* Callback(pappl_printer_t* printer, char* buffer, size_t bufsize);

// What the "testpage" sub-command submits: a document holding only this
// line, which the application answers with the printer's test label.
extern const char kRequest[];
// Whether the job's document is that request.
bool IsRequest(pappl_job_t* job);
// Prints the test label as the job, through the driver's raster callbacks.
bool PrintJob(pappl_job_t* job, pappl_device_t* device);

}  // namespace TestLabel

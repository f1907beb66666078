#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "preview/PreviewTestSupport.h"
#include "support/CupsSystem.h"
#include "support/FilterRun.h"
#include "support/TestFiles.h"

namespace testing_support {

// Runs the built filter on `pages` (a raster file written by libcups) with a
// PPD of `modelNumber` carrying the filter's options with the given defaults.
// A default that is not among an option's choices is added to them.
inline FilterResult RunModelJob(int modelNumber, const std::vector<RasterPage>& pages,
                                const std::map<std::string, std::string>& defaults = {}) {
    TempDir dir;
    PpdSpec ppdSpec;
    ppdSpec.modelNumber = modelNumber;
    ppdSpec.modelName = "Quorvant Model " + std::to_string(modelNumber);
    ppdSpec.options = FilterOptions(defaults);
    for (PpdOption& option : ppdSpec.options)
        if (std::find(option.choices.begin(), option.choices.end(), option.defaultChoice) == option.choices.end())
            option.choices.push_back(option.defaultChoice);
    const std::string ppd = dir.File("model.ppd");
    WriteFile(ppd, PpdText(ppdSpec));
    FilterJob job = MakeJob(ppd);
    job.rasterFile = dir.File("job.ras");
    WriteRaster(job.rasterFile, pages);
    return RunFilter(job);
}

// A 1-bit raster page in the colour space `space` (W: a clear bit is black;
// K: a set bit is), with `compression` in the header's cupsCompression (the
// darkness of CUPS's label drivers) and `copies` in NumCopies.
inline void WriteBitRaster(const std::string& path, const RasterPage& page, cups_cspace_t space, int compression,
                           unsigned copies = 1) {
    cups_page_header2_t h = page.Header();
    h.cupsColorSpace = space;
    h.cupsCompression = compression;
    h.NumCopies = copies;
    Bytes data = page.data;
    if (space == CUPS_CSPACE_K)
        for (uint8_t& b : data)
            b = static_cast<uint8_t>(~b);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_WRITE);
    cupsRasterWriteHeader2(raster, &h);
    cupsRasterWritePixels(raster, data.data(), static_cast<unsigned>(data.size()));
    cupsRasterClose(raster);
    close(fd);
}

// The rows a raster printer receives for `page`: `rowBytes` bytes per row,
// a set bit for every black pixel, 0 for every bit beyond the width. Worked
// out pixel by pixel from the raster data (where a clear bit is black).
inline Bytes PrinterRows(const RasterPage& page, unsigned rowBytes, unsigned firstRow = 0, unsigned rows = ~0u) {
    const unsigned bpl = (page.width + 7) / 8;
    const unsigned end = std::min(page.height, rows == ~0u ? page.height : firstRow + rows);
    Bytes out;
    for (unsigned y = firstRow; y < end; y++) {
        Bytes row(rowBytes, 0);
        for (unsigned x = 0; x < page.width && x / 8 < rowBytes; x++)
            if (!(page.data[static_cast<size_t>(y) * bpl + x / 8] & (0x80 >> (x % 8))))
                row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// The rows a printer whose rows are as wide as its head (`rowBytes`) prints
// of `page` when the page's column 0 falls on the head's dot `firstColumn`:
// a set bit for every black pixel, dots past the head's end dropped.
inline Bytes HeadRows(const RasterPage& page, unsigned rowBytes, unsigned firstColumn) {
    const unsigned bpl = (page.width + 7) / 8;
    Bytes out(static_cast<size_t>(rowBytes) * page.height, 0);
    for (unsigned y = 0; y < page.height; y++)
        for (unsigned x = 0; x < page.width && firstColumn + x < rowBytes * 8; x++)
            if (!(page.data[static_cast<size_t>(y) * bpl + x / 8] & (0x80 >> (x % 8)))) {
                const unsigned c = firstColumn + x;
                out[static_cast<size_t>(y) * rowBytes + c / 8] |= static_cast<uint8_t>(0x80 >> (c % 8));
            }
    return out;
}

// The GS v 0 command head: mode byte, then width in bytes and height, both little-endian.
inline Bytes GsV0Header(uint8_t mode, unsigned widthBytes, unsigned height) {
    const auto lo = [](unsigned v) { return static_cast<uint8_t>(v); };
    const auto hi = [](unsigned v) { return static_cast<uint8_t>(v >> 8); };
    return {0x1D, 0x76, 0x30, mode, lo(widthBytes), hi(widthBytes), lo(height), hi(height)};
}

// A pattern with black pixels in every byte position and at the row ends.
inline bool Weave(unsigned x, unsigned y) { return (x * 3 + y * 5) % 7 == 0 || x % 97 == y % 97; }

// CUPS's own label filter, and one of the PPDs CUPS's sample driver file
// makes for it (zebraep2.ppd, zebra.ppd ...), compiled into `dir`. Empty,
// with the reason in `why`, where the filter, ppdc or the file is missing.
inline const char* const kRastertolabel = "/usr/lib/cups/filter/rastertolabel";
inline std::string CupsSamplePpd(const TempDir& dir, const std::string& name, std::string& why) {
    if (!HaveProgram("ppdc") || access(kRastertolabel, X_OK) != 0) {
        why = "ppdc or CUPS's rastertolabel is missing";
        return "";
    }
    const CommandResult made =
        RunCommand("ppdc -d " + dir.File("ppd") + " /usr/share/cups/drv/sample.drv 2>&1 >/dev/null");
    const std::string ppd = dir.File("ppd/" + name);
    if (made.status != 0 || access(ppd.c_str(), R_OK) != 0) {
        why = "CUPS's sample driver file did not compile: " + made.out;
        return "";
    }
    return ppd;
}

// Runs each job and decodes the one page it prints in `language`: the pages
// and the streams' sizes, in the jobs' order.
inline void DecodeOnePageEach(const std::string& language, std::initializer_list<const FilterJob*> jobs,
                              std::vector<CPreviewPage>& pages, std::vector<size_t>& bytes) {
    for (const FilterJob* job : jobs) {
        const FilterResult r = RunFilter(*job);
        ASSERT_EQ(r.status, 0) << r.err;
        bool ok = false;
        const auto decoder = Decoded(language, r.out, &ok);
        ASSERT_TRUE(ok) << job->program << ": " << decoder->Error().Message();
        ASSERT_EQ(decoder->Pages().size(), 1u) << job->program;
        pages.push_back(decoder->Pages()[0]);
        bytes.push_back(r.out.size());
    }
}

}  // namespace testing_support

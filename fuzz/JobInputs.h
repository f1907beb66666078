#pragma once

#include <cups/raster.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzPpd.h"

// The layouts of the FuzzedDataProvider inputs of fuzz_job_struct and
// fuzz_ppd_options, as values and one Visit per layout that both reads an
// input (ProviderReader) and writes a seed (ProviderWriter).
namespace JobInputs {

// Tables the page choices index.
extern const unsigned kDepths[7];
extern const cups_cspace_t kSpaces[7];
// Largest width and height of a page, per size class: mostly small pages,
// which reach the same code many times faster.
extern const unsigned kSizeLimits[4];
extern const unsigned kResolutions[9];
// PageSize values in points: the shipped media, rolls and a long receipt.
extern const unsigned kMedia[9][2];

// A resolution from the table, or any number up to 20000 dpi at index
// kResolutions' size.
struct Resolution {
    size_t index = 0;
    unsigned value = 0;
};

// How PageSize is chosen.
enum MediaMode : size_t {
    kMediaOfRaster,  // the raster's own size at its resolution: nothing to place
    kMediaTable,     // kMedia[mediaIndex]
    kMediaFree,      // any size up to 14400 points a side (the shipped maximum length)
    kMediaAny,       // any two numbers
};

// How ImagingBoundingBox is chosen.
enum BoxMode : size_t {
    kBoxNone,    // all zero, as many drivers send
    kBoxPage,    // the whole page
    kBoxInside,  // a box inside the page
    kBoxAny,     // any four numbers
};

struct StructPage {
    size_t depth = 0, space = 0, sizeClass = 0;
    unsigned width = 1, height = 1;
    // Bytes per line beyond the width's, whole pixels of the depth only (the
    // writer compresses whole pixels); past the filter's 64 bytes the page
    // is refused.
    unsigned pad = 0;
    Resolution x, y;
    size_t mediaMode = kMediaOfRaster, mediaIndex = 0;
    unsigned media[2] = {0, 0};
    size_t boxMode = kBoxNone;
    unsigned box[4] = {0, 0, 0, 0};  // left, bottom, right, top
    // Only the last page may end early, after `rows` rows: a short page in
    // the middle would turn the next header into pixels (fuzz_job_raw's job).
    bool early = false;
    unsigned rows = 0;
    // Line y repeats the pattern from y * bytesPerLine on: a pattern shorter
    // than a line makes stripes, a longer one varied lines; none is white.
    std::vector<uint8_t> pattern;
};

struct StructJob {
    size_t source = 0;  // FuzzPpd::Make
    FuzzPpd::Picks picks;
    std::string options;  // appended to the picks' option string
    bool compressed = false;
    std::vector<StructPage> pages;  // 1 to 3
};

// The page's header: depth, space and size as chosen, PageSize and
// ImagingBoundingBox as their modes say. A placement on media larger than
// the size class allows (the filter would build and halftone it) falls back
// to the raster's own size, so that most inputs stay fast; media too large
// for the filter to build are kept, as the filter refuses them cheaply.
cups_page_header2_t Header(const StructPage& page);
unsigned Dpi(const Resolution& resolution);
unsigned BytesPerLine(const StructPage& page);
// The PageSize the page's mode chooses, before the size class's limit.
void PageSize(const StructPage& page, unsigned size[2]);

// The raster stream of the job's pages, written by libcups's writer.
std::vector<uint8_t> Raster(const StructJob& job);

template <class IO>
void Visit(IO& io, StructPage& page, bool last) {
    io.Range(page.depth, size_t(0), std::size(kDepths) - 1);
    io.Range(page.space, size_t(0), std::size(kSpaces) - 1);
    io.Range(page.sizeClass, size_t(0), std::size(kSizeLimits) - 1);
    io.Range(page.width, 1u, kSizeLimits[page.sizeClass]);
    io.Range(page.height, 1u, kSizeLimits[page.sizeClass]);
    io.Range(page.pad, 0u, 80u);
    for (Resolution* resolution : {&page.x, &page.y}) {
        io.Range(resolution->index, size_t(0), std::size(kResolutions));
        if (resolution->index == std::size(kResolutions))
            io.Range(resolution->value, 0u, 20000u);
    }
    io.Range(page.mediaMode, size_t(kMediaOfRaster), size_t(kMediaAny));
    if (page.mediaMode == kMediaTable)
        io.Range(page.mediaIndex, size_t(0), std::size(kMedia) - 1);
    for (unsigned& side : page.media) {
        if (page.mediaMode == kMediaFree)
            io.Range(side, 0u, 14400u);
        else if (page.mediaMode == kMediaAny)
            io.Range(side, 0u, ~0u);
    }
    unsigned size[2];
    PageSize(page, size);
    io.Range(page.boxMode, size_t(kBoxNone), size_t(kBoxAny));
    if (page.boxMode == kBoxInside) {
        io.Range(page.box[0], 0u, size[0]);
        io.Range(page.box[1], 0u, size[1]);
        io.Range(page.box[2], page.box[0], size[0]);
        io.Range(page.box[3], page.box[1], size[1]);
    } else if (page.boxMode == kBoxAny) {
        for (unsigned& edge : page.box)
            io.Range(edge, 0u, ~0u);
    }
    io.Bool(page.early);
    if (page.early && last)
        io.Range(page.rows, 0u, page.height);
    io.Bytes(page.pattern, 4 * size_t(BytesPerLine(page)));
}

template <class IO>
void Visit(IO& io, StructJob& job) {
    io.Range(job.source, size_t(0), FuzzPpd::SourceCount() - 1);
    for (uint8_t& pick : job.picks.pick)
        io.Range(pick, uint8_t(0), uint8_t(255));
    io.String(job.options, 64);
    io.Bool(job.compressed);
    size_t pages = job.pages.size();
    io.Range(pages, size_t(1), size_t(3));
    job.pages.resize(pages);
    for (size_t i = 0; i < pages; i++)
        Visit(io, job.pages[i], i + 1 == pages);
}

// A fuzz_ppd_options input: a PPD and job options, and optionally text
// spliced into the PPD at the start of a line.
struct PpdInput {
    size_t source = 0;
    FuzzPpd::Picks picks;
    std::string options;
    bool splice = false;
    std::string text;
    uint16_t line = 0;  // modulo the PPD's line count + 1
};

template <class IO>
void Visit(IO& io, PpdInput& input) {
    io.Range(input.source, size_t(0), FuzzPpd::SourceCount() - 1);
    for (uint8_t& pick : input.picks.pick)
        io.Range(pick, uint8_t(0), uint8_t(255));
    io.String(input.options, 256);
    io.Bool(input.splice);
    if (input.splice) {
        io.String(input.text, 512);
        io.Range(input.line, uint16_t(0), uint16_t(0xFFFF));
    }
}

// The PPD text with the input's splice made.
std::string Spliced(std::string ppd, const PpdInput& input);

// The job options of the picks followed by the input's own.
std::string JoinOptions(const std::string& picked, const std::string& own);

}  // namespace JobInputs

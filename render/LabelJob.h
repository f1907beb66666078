#pragma once

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "render/CBaseRender.h"
#include "render/LabelSettings.h"
#include "zpl/ZplInterpreter.h"

// What both hosts do alike with a ZPL document (filter/ZplChain,
// printerapp/ZplJob): how its labels are drawn for the printer, the page
// each label becomes (its own size, its copies and print settings in the
// page header), and what each page changes in the job's settings. A host
// keeps only where its settings come from and where the pages go.
namespace LabelJob {

// How labels are drawn on a printer of `dpi` whose media is mediaWidth x
// mediaHeight dots (the canvas of a label without ^PW / ^LL), for ZPL
// written for `zplDpi` dots per inch: the "zpl-resolution" setting, 0 for
// the printer's own dots. A label's ^MU conversion goes before both.
zpl::InterpreterOptions Drawing(int dpi, int zplDpi, int mediaWidth, int mediaHeight);
// The log's line saying so.
std::string Describe(const zpl::InterpreterOptions& drawing);

// The copies of label `number`: its ^PQ `labelCopies` times the job's, at
// most `most` (the "copies" setting's range); `warning` says when fewer
// than asked print, and is empty otherwise.
int Copies(int number, int labelCopies, int jobCopies, int most, std::string& warning);

// The header of a label's page, width x height dots, made from the header
// of the job's media (a cups_page_header2_t: a template so that render/
// sees no CUPS header): one bit a dot, chunked, uncompressed, the label's
// own size in points (within a dot of the raster, so that it is not placed
// on a larger page), no margins. Its colour space (what a set bit means)
// and copies are the host's.
template <class CupsHeader>
void SetLabelPage(CupsHeader& h, unsigned width, unsigned height) {
    const double dpi = h.HWResolution[0];
    h.cupsWidth = width;
    h.cupsHeight = height;
    h.cupsBitsPerColor = 1;
    h.cupsBitsPerPixel = 1;
    h.cupsBytesPerLine = (width + 7) / 8;
    h.cupsColorOrder = decltype(h.cupsColorOrder)(0);  // chunked
    h.cupsCompression = 0;
    h.cupsNumColors = 1;
    h.cupsPageSize[0] = float(width * 72.0 / dpi);
    h.cupsPageSize[1] = float(height * 72.0 / dpi);
    for (int i = 0; i < 2; i++) {
        h.PageSize[i] = unsigned(std::lround(h.cupsPageSize[i]));
        h.Margins[i] = 0;
        h.ImagingBoundingBox[i] = 0;
        h.ImagingBoundingBox[i + 2] = h.PageSize[i];
        h.cupsImagingBBox[i] = 0;
        h.cupsImagingBBox[i + 2] = h.cupsPageSize[i];
    }
}

// A label's print settings in its page header's cupsInteger fields, which
// label pages do not otherwise use, and its copies in NumCopies. Each slot
// holds the value plus an offset that makes every value said at least 1; 0
// stands for "not said".
enum Slot { kDarkness, kDarknessChange, kSpeed, kTracking, kMode, kMediaType, kSlots };
constexpr int kChangeOffset = LabelSettings::kZplDarkest + 1;

template <class CupsHeader>
void PutSettings(const zpl::PrintSettings& settings, CupsHeader& header) {
    unsigned* slots = header.cupsInteger;
    std::fill(slots, slots + kSlots, 0u);
    if (settings.darkness)
        slots[kDarkness] = unsigned(*settings.darkness + 1);
    if (settings.darknessChange)
        slots[kDarknessChange] = unsigned(*settings.darknessChange + kChangeOffset);
    if (settings.speed)
        slots[kSpeed] = unsigned(*settings.speed);
    const std::pair<const std::optional<char>*, Slot> letters[] = {
        {&settings.tracking, kTracking}, {&settings.mode, kMode}, {&settings.mediaType, kMediaType}};
    for (const auto& [letter, slot] : letters)
        if (*letter)
            slots[slot] = static_cast<unsigned char>(**letter);
}

template <class CupsHeader>
zpl::PrintSettings SettingsOf(const CupsHeader& header) {
    const unsigned* slots = header.cupsInteger;
    zpl::PrintSettings settings;
    settings.copies = int(std::max(1u, unsigned(header.NumCopies)));
    // Read as sent: anything else is out of range and dropped.
    if (slots[kDarkness] >= 1 && slots[kDarkness] <= unsigned(LabelSettings::kZplDarkest) + 1)
        settings.darkness = int(slots[kDarkness]) - 1;
    if (slots[kDarknessChange] >= 1 && slots[kDarknessChange] < 2u * kChangeOffset)
        settings.darknessChange = int(slots[kDarknessChange]) - kChangeOffset;
    if (slots[kSpeed] >= 1 && slots[kSpeed] <= 100)
        settings.speed = int(slots[kSpeed]);
    const std::pair<std::optional<char>*, Slot> letters[] = {
        {&settings.tracking, kTracking}, {&settings.mode, kMode}, {&settings.mediaType, kMediaType}};
    for (const auto& [letter, slot] : letters)
        if (std::isalpha(static_cast<int>(std::min(slots[slot], 255u))))
            *letter = char(slots[slot]);
    return settings;
}

// A job's labels as pages of its renderer: what its printer has and what
// the job names itself, once the job's settings are read; then, before
// each page, the label's settings over the job's.
class Pages {
public:
    // Once the renderer holds the job's settings; its pages are drawn dots
    // (CBaseRender::m_bDrawnPages) from then on.
    void Start(CBaseRender& render, const LabelSettings::Printer& printer, const LabelSettings::Named& named);
    // Before the page of `label`, width x height dots at `dpi`: its
    // settings applied (a log line each), and the shrink warning to give
    // where the head is narrower than the label (once a job, as for a
    // shrunk document; empty otherwise).
    std::string BeginPage(CBaseRender& render, const zpl::PrintSettings& label, uint32_t width, uint32_t height,
                          int dpi);

private:
    LabelSettings::Printer m_printer;
    LabelSettings::Named m_named;
    tagREGSTRUCT m_job;
    bool m_shrinkTold = false;
};

}  // namespace LabelJob

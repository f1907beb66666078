#pragma once

#include <cstdint>
#include <string>

#include "render/AreaScale.h"
#include "render/CBaseRender.h"
#include "render/PagePlan.h"

// One page's way through a renderer, the same in both hosts: its header
// checked, its plan made, its rows taken, then placement, head-width fitting
// and the drawing hooks. A host keeps only what is its own: where the rows
// come from, where the bytes and the logs go, how settings are looked up.

// What a page header says of the page's raster.
struct PageHeader {
    uint32_t width = 0, height = 0;
    unsigned bitsPerPixel = 0;
    unsigned bytesPerLine = 0;
    unsigned xdpi = 0, ydpi = 0;
    unsigned pageSize[2] = {0, 0};           // points
    unsigned boundingBox[4] = {0, 0, 0, 0};  // points
};

namespace PagePath {

// Highest resolution accepted on either axis; it divides every millimetre and
// label-size conversion, and no thermal head comes near it.
const unsigned kMaxResolution = 10000;
// Bytes a raster line may carry beyond what its width and depth need (row
// alignment some drivers add). A page's memory follows the image it
// describes, never the bytes-per-line field alone.
const unsigned kBytesPerLineSlack = 64;
// The collected raster lines of a page live in one int-indexed buffer.
const unsigned long long kMaxPageBytes = 0x7FFFFFFFull;

// The fields of a CUPS page header (cups_page_header2_t; a template so that
// render/ sees no CUPS header).
template <class CupsHeader>
PageHeader HeaderOf(const CupsHeader& h) {
    PageHeader header;
    header.width = h.cupsWidth;
    header.height = h.cupsHeight;
    header.bitsPerPixel = h.cupsBitsPerPixel;
    header.bytesPerLine = h.cupsBytesPerLine;
    header.xdpi = h.HWResolution[0];
    header.ydpi = h.HWResolution[1];
    for (int i = 0; i < 2; i++)
        header.pageSize[i] = h.PageSize[i];
    for (int i = 0; i < 4; i++)
        header.boundingBox[i] = h.ImagingBoundingBox[i];
    return header;
}

// Checks a page header against itself before anything is allocated for it.
// On failure `problem` says what is wrong, for the user, and `skippable`
// whether the page's data can be skipped to reach the next page: not when
// the line length itself is implausible (skipping would cost what the header
// claims, up to gigabytes decoded from a few bytes, and would not find the
// next header anyway).
bool Check(const PageHeader& header, std::string& problem, bool& skippable);

// The plan of a page whose rows the host stores at `bitsPerPixel`.
PagePlan Plan(const CBaseRender& render, const PageHeader& header, unsigned bitsPerPixel);

// Runs a page whose rows are all in: puts it on its media and fits it to the
// head where reading did not (`placedWhileRead`), tells the log, then runs
// OnStartPage, OnBeginBmp, OnPaintBmp and OnEndBmp. The renderer's page
// (BeginPage) is set.
void Paint(CBaseRender& render, const PagePlan& plan, bool placedWhileRead, const PageHeader& header);

// Draws the page the renderer drew last once more, for a copy in a language
// whose page bytes cannot be sent again (CBaseRender::kPagesReplay false):
// OnStartPage, OnPaintBmp, OnEndBmp and OnEndPage on the image as it was
// prepared, so that the renderer writes only what a page of its own has.
void PaintAgain(CBaseRender& render);

}  // namespace PagePath

// A page's rows as 8-bit gray levels (0 black), taken in order into what the
// page's plan makes of them: placed on its media and shrunk to the head as
// they arrive, so that a page never exists at a size that does not print.
// Rows that never arrive are white: a page that ends early prints, its
// missing lines blank, in both hosts.
class CGrayPage {
public:
    // Makes the page's image in `image`; false when there is no memory for it.
    bool Start(const PageHeader& header, const PagePlan& plan, CxImage& image);
    // Where the next row's `width` levels go.
    uint8_t* Row();
    void AddRow();
    unsigned Rows() const { return m_rows; }
    // True when the plan's placement and fitting were done while reading.
    bool PlacedWhileRead() const { return m_shrinking; }
    // Ends the page: rows not delivered white, the image complete.
    void Finish();

private:
    CxImage* m_image = nullptr;
    bool m_shrinking = false;
    unsigned m_rows = 0, m_height = 0;
    AreaScale::PageShrinker m_shrinker;
};

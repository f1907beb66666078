#include "fuzz/JobInputs.h"

#include "fuzz/RasterStream.h"
#include "image/CxImage.h"
#include "render/PageAssembly.h"

namespace JobInputs {

const unsigned kDepths[7] = {1, 2, 4, 8, 16, 24, 32};
const cups_cspace_t kSpaces[7] = {CUPS_CSPACE_K,    CUPS_CSPACE_W,  CUPS_CSPACE_RGB, CUPS_CSPACE_CMYK,
                                  CUPS_CSPACE_RGBA, CUPS_CSPACE_SW, CUPS_CSPACE_SRGB};
const unsigned kSizeLimits[4] = {64, 64, 512, 2048};
const unsigned kResolutions[9] = {203, 300, 600, 72, 152, 1, 10000, 1200, 2400};
const unsigned kMedia[9][2] = {{288, 432}, {288, 288}, {144, 72}, {204, 567},  {136, 283},
                               {136, 142}, {283, 425}, {36, 36},  {204, 14400}};

namespace {

// Dots of a placed page, per size class.
const unsigned long long kMediaBudget[4] = {1ull << 16, 1ull << 16, 1ull << 22, 1ull << 25};

// Whether the filter would build a page of more dots than the size class
// allows to place this raster on its media.
bool PlacementTooSlow(const StructPage& page, const cups_page_header2_t& h) {
    PageAssembly::Placement placement;
    if (!PageAssembly::PlaceRaster(h.cupsWidth, h.cupsHeight, h.PageSize, h.ImagingBoundingBox, h.HWResolution[0],
                                   h.HWResolution[1], placement))
        return false;
    const unsigned long long dots = 1ull * placement.mediaWidth * placement.mediaHeight;
    return PageAssembly::MediaFits(placement, h.cupsBitsPerPixel) && dots > kMediaBudget[page.sizeClass];
}

}  // namespace

unsigned Dpi(const Resolution& resolution) {
    return resolution.index < std::size(kResolutions) ? kResolutions[resolution.index] : resolution.value;
}

unsigned BytesPerLine(const StructPage& page) {
    const unsigned bits = kDepths[page.depth];
    const unsigned pixelBytes = bits >= 8 ? bits / 8 : 1;
    return (page.width * bits + 7) / 8 + page.pad / pixelBytes * pixelBytes;
}

void PageSize(const StructPage& page, unsigned size[2]) {
    switch (page.mediaMode) {
        case kMediaTable:
            size[0] = kMedia[page.mediaIndex][0];
            size[1] = kMedia[page.mediaIndex][1];
            return;
        case kMediaFree:
        case kMediaAny:
            size[0] = page.media[0];
            size[1] = page.media[1];
            return;
        default: {
            const unsigned xdpi = Dpi(page.x), ydpi = Dpi(page.y);
            size[0] = static_cast<unsigned>(72ull * page.width / (xdpi ? xdpi : 72));
            size[1] = static_cast<unsigned>(72ull * page.height / (ydpi ? ydpi : 72));
            return;
        }
    }
}

cups_page_header2_t Header(const StructPage& page) {
    const unsigned bits = kDepths[page.depth];
    cups_page_header2_t h = RasterStream::MakeHeader(page.width, page.height, bits, 203);
    h.cupsBitsPerColor = bits >= 24 ? 8 : bits;
    h.cupsColorSpace = kSpaces[page.space];
    h.cupsBytesPerLine = BytesPerLine(page);
    h.HWResolution[0] = Dpi(page.x);
    h.HWResolution[1] = Dpi(page.y);
    PageSize(page, h.PageSize);
    switch (page.boxMode) {
        case kBoxPage:
            h.ImagingBoundingBox[2] = h.PageSize[0];
            h.ImagingBoundingBox[3] = h.PageSize[1];
            break;
        case kBoxInside:
        case kBoxAny:
            for (int i = 0; i < 4; i++)
                h.ImagingBoundingBox[i] = page.box[i];
            break;
        default:
            break;
    }
    if (PlacementTooSlow(page, h)) {
        StructPage own = page;
        own.mediaMode = kMediaOfRaster;
        PageSize(own, h.PageSize);
    }
    return h;
}

std::vector<uint8_t> Raster(const StructJob& job) {
    RasterStream stream(job.compressed);
    for (size_t i = 0; i < job.pages.size(); i++) {
        const StructPage& page = job.pages[i];
        cups_page_header2_t header = Header(page);
        if (!stream.Header(header))
            return {};
        const bool last = i + 1 == job.pages.size();
        const unsigned rows = page.early && last ? page.rows : page.height;
        std::vector<uint8_t> line(header.cupsBytesPerLine, 0xFF);
        const std::vector<uint8_t>& pattern = page.pattern;
        for (unsigned y = 0; y < rows; y++) {
            if (!pattern.empty()) {
                size_t at = size_t(y) * line.size() % pattern.size();
                for (uint8_t& byte : line) {
                    byte = pattern[at];
                    at = at + 1 == pattern.size() ? 0 : at + 1;
                }
            }
            if (!stream.Row(line.data(), header.cupsBytesPerLine))
                return {};
        }
    }
    return stream.Finish();
}

std::string Spliced(std::string ppd, const PpdInput& input) {
    if (!input.splice)
        return ppd;
    size_t lines = 0;
    for (char c : ppd)
        lines += c == '\n';
    size_t line = input.line % (lines + 1), at = 0;
    while (line-- > 0)
        at = ppd.find('\n', at) + 1;
    ppd.insert(at, input.text);
    return ppd;
}

std::string JoinOptions(const std::string& picked, const std::string& own) {
    if (picked.empty() || own.empty())
        return picked + own;
    return picked + " " + own;
}

}  // namespace JobInputs

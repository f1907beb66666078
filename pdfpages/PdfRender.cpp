#include "pdfpages/PdfRender.h"

#include <cups/raster.h>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "pdfpages/PdfPages.h"

namespace PdfRender {

namespace {

// Poppler's first complaint, for the message of a document it cannot read;
// the others are dropped (a damaged file can raise thousands).
void KeepFirstError(const std::string& message, void* closure) {
    std::string& first = *static_cast<std::string*>(closure);
    if (first.empty())
        first = message.substr(0, 160);
}

bool ParseInt(const char* text, int least, int most, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (!*text || *end || parsed < least || parsed > most)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

std::string Sentence(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Sentence(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// A selected page, checked and placed before anything is written.
struct Page {
    int number = 0;
    std::unique_ptr<poppler::page> page;
    PagePlacement::Placement placement;
};

// The page as it is shown, in points: its box, turned by its own rotation.
bool ShownSize(const poppler::page& page, double& width, double& height) {
    const poppler::rectf box = page.page_rect(poppler::crop_box);
    width = std::fabs(box.width());
    height = std::fabs(box.height());
    const poppler::page::orientation_enum turn = page.orientation();
    if (turn == poppler::page::landscape || turn == poppler::page::seascape)
        std::swap(width, height);
    const auto within = [](double side) { return side >= PdfPages::kLeastPoints && side <= PdfPages::kMostPoints; };
    return within(width) && within(height);
}

cups_page_header2_t HeaderFor(const Request& request, const Page& page, int pages) {
    cups_page_header2_t header;
    std::memset(&header, 0, sizeof header);
    header.cupsWidth = static_cast<unsigned>(request.width);
    header.cupsHeight = static_cast<unsigned>(request.height);
    header.cupsBitsPerColor = 8;
    header.cupsBitsPerPixel = 8;
    header.cupsBytesPerLine = header.cupsWidth;
    header.cupsColorOrder = CUPS_ORDER_CHUNKED;
    header.cupsColorSpace = CUPS_CSPACE_SW;
    header.cupsNumColors = 1;
    header.HWResolution[0] = static_cast<unsigned>(request.xdpi);
    header.HWResolution[1] = static_cast<unsigned>(request.ydpi);
    header.PageSize[0] = static_cast<unsigned>(request.width * 72 / request.xdpi);
    header.PageSize[1] = static_cast<unsigned>(request.height * 72 / request.ydpi);
    header.cupsInteger[PdfPages::kPagesField] = static_cast<unsigned>(pages);
    header.cupsInteger[PdfPages::kSourcePageField] = static_cast<unsigned>(page.number);
    header.cupsInteger[PdfPages::kTurnedField] = page.placement.turned ? 1 : 0;
    header.cupsReal[PdfPages::kScaleField] = static_cast<float>(page.placement.scale);
    return header;
}

// Renders the piece of `page` that falls on the media into `media` (white,
// request.width x request.height levels): Poppler draws no more than that
// piece, whatever the page's size.
bool Draw(const Request& request, const poppler::page_renderer& renderer, const Page& page,
          std::vector<unsigned char>& media) {
    std::fill(media.begin(), media.end(), 255);
    const PagePlacement::Placement& at = page.placement;
    const int fromX = std::max(0, -at.left), fromY = std::max(0, -at.top);
    const int toX = std::max(0, at.left), toY = std::max(0, at.top);
    const int width = std::min(at.width - fromX, request.width - toX);
    const int height = std::min(at.height - fromY, request.height - toY);
    if (width < 1 || height < 1)
        return true;
    const poppler::image image =
        renderer.render_page(page.page.get(), at.scale * request.xdpi, at.scale * request.ydpi, fromX, fromY, width,
                             height, at.turned ? poppler::rotate_270 : poppler::rotate_0);
    if (!image.is_valid() || image.format() != poppler::image::format_gray8)
        return false;
    const int rows = std::min(height, image.height()), columns = std::min(width, image.width());
    const char* source = image.const_data();
    for (int y = 0; y < rows; y++)
        std::memcpy(
            &media[static_cast<size_t>(toY + y) * static_cast<size_t>(request.width) + static_cast<size_t>(toX)],
            source + static_cast<size_t>(y) * static_cast<size_t>(image.bytes_per_row()), static_cast<size_t>(columns));
    return true;
}

}  // namespace

bool Parse(int argc, char* argv[], Request& request, std::string& problem) {
    problem = "usage: quorvant-pdf-pages WIDTH HEIGHT XDPI YDPI FIRST LAST SCALING FILE";
    if (argc != 9)
        return false;
    if (!ParseInt(argv[1], 1, PdfPages::kMostDots, request.width) ||
        !ParseInt(argv[2], 1, PdfPages::kMostDots, request.height) || !ParseInt(argv[3], 1, 10000, request.xdpi) ||
        !ParseInt(argv[4], 1, 10000, request.ydpi) || !ParseInt(argv[5], 1, INT_MAX, request.first) ||
        !ParseInt(argv[6], 1, INT_MAX, request.last) || !PagePlacement::ScalingFor(argv[7], request.scaling))
        return false;
    if (static_cast<long long>(request.width) * request.height > PdfPages::kMostMediaDots) {
        problem =
            Sentence("The media of %d x %d dots is too large to render a PDF onto.", request.width, request.height);
        return false;
    }
    request.file = argv[8];
    problem.clear();
    return true;
}

int Render(const Request& request, int fd, std::string& problem) {
    std::string popplerError;
    poppler::set_debug_error_function(KeepFirstError, &popplerError);
    std::unique_ptr<poppler::document> document(poppler::document::load_from_file(request.file));
    if (!document) {
        problem = "The PDF is damaged and cannot be read";
        problem += popplerError.empty() ? "." : " (" + popplerError + ").";
        return PdfPages::kDamaged;
    }
    if (document->is_locked()) {
        problem = "The PDF needs a password.";
        return PdfPages::kLocked;
    }
    const int count = document->pages();
    if (count < 1) {
        problem = "The PDF has no pages.";
        return PdfPages::kDamaged;
    }
    if (count > PdfPages::kMaxPages) {
        problem = Sentence("The PDF has %d pages; at most %d print.", count, PdfPages::kMaxPages);
        return PdfPages::kUnprintable;
    }
    const int first = request.first, last = std::min(request.last, count);
    if (first > last) {
        problem = Sentence("The page range starts after the last of the PDF's %d pages.", count);
        return PdfPages::kUnprintable;
    }

    std::vector<Page> pages;
    pages.reserve(static_cast<size_t>(last - first + 1));
    for (int number = first; number <= last; number++) {
        Page page;
        page.number = number;
        page.page.reset(document->create_page(number - 1));
        if (!page.page) {
            problem = Sentence("Page %d of the PDF is damaged.", number);
            return PdfPages::kDamaged;
        }
        double width = 0, height = 0;
        if (!ShownSize(*page.page, width, height)) {
            problem = Sentence("Page %d of the PDF has a page box of %.0f x %.0f points, which cannot print.", number,
                               width, height);
            return PdfPages::kUnprintable;
        }
        page.placement = PagePlacement::Place(width, height, request.width, request.height, request.xdpi, request.ydpi,
                                              request.scaling);
        pages.push_back(std::move(page));
    }

    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_gray8);
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    std::vector<unsigned char> media(static_cast<size_t>(request.width) * static_cast<size_t>(request.height));
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_WRITE);
    if (!raster) {
        problem = "The rendered pages cannot be written.";
        return PdfPages::kOutputLost;
    }
    int status = PdfPages::kPrinted;
    for (const Page& page : pages) {
        if (!Draw(request, renderer, page, media)) {
            problem = Sentence("Page %d of the PDF cannot be rendered.", page.number);
            status = PdfPages::kDamaged;
            break;
        }
        cups_page_header2_t header = HeaderFor(request, page, static_cast<int>(pages.size()));
        bool written = cupsRasterWriteHeader2(raster, &header) != 0;
        for (int y = 0; written && y < request.height; y++)
            written = cupsRasterWritePixels(raster, &media[static_cast<size_t>(y) * header.cupsBytesPerLine],
                                            header.cupsBytesPerLine) == header.cupsBytesPerLine;
        if (!written) {
            problem = "The rendered pages cannot be written.";
            status = PdfPages::kOutputLost;
            break;
        }
    }
    cupsRasterClose(raster);
    return status;
}

}  // namespace PdfRender

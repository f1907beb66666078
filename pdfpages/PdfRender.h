#pragma once

#include <string>

#include "render/PagePlacement.h"

// The work of quorvant-pdf-pages (pdfpages/PdfPages.h): a PDF's selected
// pages rendered by Poppler as anti-aliased 8-bit gray at the printer's
// resolution, each placed on a page of the media's size, written as a CUPS
// raster stream.
namespace PdfRender {

struct Request {
    int width = 0, height = 0;  // the media, in dots
    int xdpi = 0, ydpi = 0;
    int first = 1, last = 1;  // 1-based; `last` past the end: the last page
    PagePlacement::Scaling scaling = PagePlacement::Scaling::Auto;
    std::string file;
};

// The request of the program's arguments (argv[1] on); false, with
// `problem` set, when they are not a request within the bounds.
bool Parse(int argc, char* argv[], Request& request, std::string& problem);

// Renders the request's pages to `fd`; a PdfPages::Status, with `problem`
// set (a sentence for the job's message) unless the pages were printed.
int Render(const Request& request, int fd, std::string& problem);

}  // namespace PdfRender

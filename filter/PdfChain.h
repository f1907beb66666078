#pragma once

#include <string>

// The end of CUPS's PDF chain for the project's PPDs (`quorvant-pdf`):
// Poppler's rasterizer from cups-filters (pdftoraster) renders each page to
// the printer's dot grid, its anti-aliased edges in gray, and the filter
// reads that raster from a pipe in the same process. Ghostscript, which
// CUPS would pick otherwise, renders pure black and white with a fill rule
// that widens every bar by about a dot, so fine bar codes stop scanning.
namespace PdfChain {

// The filter's arguments (job user title copies options [file]) and exit
// status. The rasterizer takes them all; the filter reads its output.
int Run(int argc, char** argv);

// The copies CUPS's pdftopdf leaves to the printer, from the comment it
// writes at the head of its output ("%%PDFTOPDFNumCopies : 3"); 0 when the
// head has none.
int CopiesLeft(const std::string& head);

// The least scale pdftopdf placed a page at (1 when none is shrunk), from
// the placement it writes in each page's (deflated) content:
// "a b c d e f cm /X1 Do", the original page drawn as a form. A document
// pdftopdf did not write reads as 1.
double LeastScale(const std::string& path);

}  // namespace PdfChain

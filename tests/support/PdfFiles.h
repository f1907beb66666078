#pragma once

#include <functional>
#include <string>

// Small PDFs written by the tests themselves: pages of any size whose
// content streams the test gives, so that where each mark must land is
// known to the dot.
namespace testing_support {

// `pages` pages of `width` x `height` points; `content(page)` (0-based) is
// the page's content stream, none where it is empty.
std::string PdfDocument(int pages, double width, double height, const std::function<std::string(int page)>& content);

// A 4 x 6 in page that takes Poppler long to draw: form XObjects `depth`
// deep, each drawing the next `fanout` times (fanout^(depth-1) fills).
std::string SlowPdf(int depth, int fanout);

// A content stream that strokes a frame `inset` points inside a page of
// `width` x `height` points with a line `line` points wide (its outer edge at
// the inset; none where `line` is 0), and fills the rectangle (x, y, w, h) in points from the
// page's top left when `w` > 0.
std::string FrameContent(double width, double height, double inset, double line, double x = 0, double y = 0,
                         double w = 0, double h = 0);

}  // namespace testing_support

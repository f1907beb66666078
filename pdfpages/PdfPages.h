#pragma once

// What the printer application and quorvant-pdf-pages, the program that
// renders a PDF job's pages for it, agree on: the program's arguments, its
// exit statuses, the page header fields it fills, and the bounds a hostile
// document meets. Neither side's libraries are seen here.
//
//   quorvant-pdf-pages WIDTH HEIGHT XDPI YDPI FIRST LAST SCALING FILE
//
// renders pages FIRST to LAST (1-based, LAST past the end meaning the last
// page) of FILE, each onto a page of exactly WIDTH x HEIGHT dots at XDPI x
// YDPI, placed by SCALING (an IPP "print-scaling" keyword), and writes them
// to standard output as a CUPS v3 raster stream of 8-bit sGray pages. Every
// selected page is checked before the first is written, so that a document
// refused is refused before anything prints. One line on standard error
// says why a document was refused.
namespace PdfPages {

constexpr const char kProgram[] = "quorvant-pdf-pages";

enum Status {
    kPrinted = 0,
    kUsage = 1,        // arguments out of range: the application's fault
    kDamaged = 2,      // not a PDF, or one Poppler cannot read
    kLocked = 3,       // needs a password
    kUnprintable = 4,  // too many pages, an absurd page box, no page selected
    kOutputLost = 5,   // standard output closed before the end
};

// Bounds. A document of more pages is refused unread; a page box outside
// [kLeastPoints, kMostPoints] on either side is refused (PDF's own default
// limit is 200 in); the media, which bounds every rendered page, may not
// exceed kMostDots on a side nor kMostMediaDots in all.
constexpr int kMaxPages = 10000;
constexpr double kLeastPoints = 1.0;
constexpr double kMostPoints = 14400.0;
constexpr int kMostDots = 100000;
constexpr long long kMostMediaDots = 64LL * 1024 * 1024;
// The program's address space (not under a sanitizer, which reserves
// terabytes of it): a page that needs more fails, and the job with it.
constexpr unsigned long long kMemoryBytes = 1024ULL * 1024 * 1024;
// Seconds the application waits for the next bytes from the program before
// it ends it and the job; QUORVANT_PDF_PAGE_SECONDS overrides it (tests).
constexpr int kPageSeconds = 60;

// The page header fields that carry more than the raster itself.
constexpr int kPagesField = 0;       // cupsInteger: the pages selected (PWG TotalPageCount)
constexpr int kSourcePageField = 9;  // cupsInteger: the page's number in the document
constexpr int kTurnedField = 10;     // cupsInteger: 1 where the page was turned a quarter
constexpr int kScaleField = 0;       // cupsReal: the page's scale

}  // namespace PdfPages

// quorvant-pdf-pages: renders a PDF job's pages for the printer application,
// in a process of its own so that a hostile document can cost the server
// neither its memory nor its life.
#include <sys/resource.h>

#include <cstdio>
#include <new>
#include <string>

#include "pdfpages/PdfPages.h"
#include "pdfpages/PdfRender.h"

int main(int argc, char* argv[]) {
#ifndef QUORVANT_SANITIZED
    const rlimit memory = {PdfPages::kMemoryBytes, PdfPages::kMemoryBytes};
    setrlimit(RLIMIT_AS, &memory);
#endif
    PdfRender::Request request;
    std::string problem;
    int status = PdfPages::kUsage;
    try {
        if (PdfRender::Parse(argc, argv, request, problem))
            status = PdfRender::Render(request, 1, problem);
    } catch (const std::bad_alloc&) {
        problem = "A page of the PDF needs more memory than rendering may use.";
        status = PdfPages::kUnprintable;
    }
    if (status != PdfPages::kPrinted)
        std::fprintf(stderr, "%s\n", problem.c_str());
    return status;
}

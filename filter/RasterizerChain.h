#pragma once

#include <functional>
#include <string>

class CCupsInstance;

// The end of CUPS's chains for PDF and pictures on the project's PPDs: the
// document is spooled to a file, a rasterizer of cups-filters renders it to
// the printer's dot grid into a pipe, and the filter reads that pipe in the
// same process. The chain reads from the document, or from what the
// rasterizer says of it, how much its pages were shrunk, and warns the job
// when bar codes may not scan. A chain may rasterize the document itself,
// in a child process, in place of a rasterizer program.
namespace RasterizerChain {

// What the chain learns of the document before its first page.
struct Reading {
    int copiesLeft = 0;  // the copies left to the printer, else the job's
    // The least scale a page was placed at, given the head's dots per inch.
    std::function<double(int dpi)> scale;
};

struct Chain {
    const char* name;     // the chain's own program, for its usage line
    const char* program;  // the rasterizer, in CUPS's filter directory
    const char* kind;     // the document in messages ("PDF", "image")
    // Reads the spooled document before it is rasterized.
    std::function<void(const std::string& path, Reading& reading)> readDocument;
    // Where set, reads the rasterizer's messages (passed on to CUPS as they
    // are) until it returns true, the rasterizer ends, or its first page
    // comes.
    std::function<bool(const std::string& line, Reading& reading)> readMessage;
    // Where set, rasterizes the spooled document in a child process in place
    // of `program`: writes its pages as CUPS raster to standard output and
    // returns the child's exit status. It takes the filter's arguments.
    std::function<int(int argc, char** argv, const std::string& path)> rasterize;
    // Where set, readies the job driver before it reads the first page.
    std::function<void(CCupsInstance& instance)> prepare;
};

// The filter's arguments (job user title copies options [file]) and exit
// status. The rasterizer takes them all; the filter reads its output.
int Run(int argc, char** argv, const Chain& chain);

// The rasterizer beside the program itself (CUPS's filter directory), else
// in $CUPS_SERVERBIN/filter; empty when neither exists.
std::string RasterizerPath(const char* program);

}  // namespace RasterizerChain

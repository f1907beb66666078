#pragma once

#include <string>

// CUPS's chain for ZPL on the project's PPDs (`quorvant-zpl`): the
// project's ZPL interpreter draws each label at the printer's resolution in
// a child process, which writes one page of one-bit CUPS raster per label,
// on the label's own size (^PW / ^LL, else the job's media), and the
// filter prints them as drawn (no halftoning). A label's copies (^PQ) times
// the job's travel in its page's NumCopies; its darkness, speed, tracking,
// cut and print method travel in the page header too and apply below the
// options the job names (render/LabelJob, as in the printer application).
namespace ZplChain {

// The filter's arguments (job user title copies options [file]) and exit
// status.
int Run(int argc, char** argv);

// The CUPS status line for a line of the interpreter's log: a label it
// could not draw is an error; what it skipped, and the problems of the
// labels it drew (reported with them), are for the debug log; anything
// else is a warning.
std::string StatusLine(const std::string& logLine);

}  // namespace ZplChain

#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zpl/ZplBitmap.h"
#include "zpl/ZplPrintSettings.h"
#include "zpl/ZplReader.h"

// ZPL labels drawn to one-bit pages: a stream of ^XA ... ^XZ labels, fed in
// pieces of any size, each label handed over as its ^XZ arrives.
namespace zpl {

struct Label {
    int number = 0;  // 1, 2, ... within the stream
    ZplBitmap page;  // the canvas, 1 = black
    PrintSettings settings;
    int printWidth = 0, labelLength = 0;  // ^PW / ^LL in page dots, 0 when not given
    std::vector<std::string> fields;      // one line per field drawn
    std::vector<std::string> problems;    // fields refused, with why
};

// A format that draws nothing prints no label, as on the printer: CUPS and
// lprint follow each label with ^XA^IDR:name^FS^XZ, which only deletes the
// graphic the label recalled.
inline bool PrintsALabel(const Label& label) { return !label.fields.empty() || !label.problems.empty(); }

struct InterpreterOptions {
    int dpi = 203;  // the page's resolution
    // What the ZPL was written for: positions and sizes scale by dpi /
    // sourceDpi, unless a label's ^MU d,a,b states a conversion of its own.
    int sourceDpi = 203;
    int width = 0, height = 0;  // canvas in page dots; 0: ^PW / ^LL, else the fallback
    // The canvas where ^PW / ^LL give none (a host's media), in page dots;
    // 0: 4 x 6 in.
    int fallbackWidth = 0, fallbackHeight = 0;
    // Beyond these a label, field or graphic is refused with a message and
    // the stream goes on.
    size_t maxCanvasDots = size_t(64) << 20;   // 8 MB of one-bit page
    size_t maxFieldBytes = size_t(64) << 10;   // a field's data
    size_t maxGraphicBytes = size_t(8) << 20;  // a graphic, decoded
    size_t maxStoredBytes = size_t(32) << 20;  // stored graphics and formats together
    int maxLabels = 10000;                     // per stream
    // Reading what quorvant's own renderer writes, to check it: a command
    // the interpreter does not know is a problem, and every graphic must be
    // exactly as the language has it (b equal to c, c whole rows of d
    // bytes, each row of hex data exactly d bytes and nothing after the
    // image's bytes, a :Z64: with its CRC inflating to exactly c bytes).
    bool strict = false;
    // Each command as it is run; null: not wanted.
    std::function<void(const ZplCommand&)> commands;
    // Each problem as it is found, with the stream offset of the command it
    // came from (the stream's length for a label the stream's end left
    // open); null: not wanted. Labels carry their problems either way.
    std::function<void(size_t offset, const std::string& problem)> problems;
};

class ZplInterpreter {
public:
    using LabelSink = std::function<bool(Label&)>;  // false: stop
    using LogSink = std::function<void(const std::string&)>;

    ZplInterpreter(const InterpreterOptions& options, LogSink log);
    ~ZplInterpreter();
    ZplInterpreter(const ZplInterpreter&) = delete;
    ZplInterpreter& operator=(const ZplInterpreter&) = delete;

    // False when the sink asked to stop or the stream is over its label limit.
    bool Feed(const char* data, size_t size, const LabelSink& sink);
    // End of stream: a label begun with ^XA but never closed is drawn and
    // reported as such.
    bool Finish(const LabelSink& sink);

private:
    class Impl;
    std::unique_ptr<Impl> m_Impl;
};

// True when the first command (after whitespace and prefix changes) is a
// ZPL one such as ^XA, ~DG, ^XZ or ~SD.
bool LooksLikeZpl(const void* data, size_t size);

}  // namespace zpl

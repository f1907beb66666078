// The ZPL interpreter on arbitrary bytes, fed in pieces: the first byte
// picks the piece size (1 to 256), so that labels, commands and graphic data
// split anywhere. The canvas and limits are small, as a fuzzer needs many
// runs a second; the bounds themselves are what is checked.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "zpl/ZplInterpreter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const size_t piece = size_t(data[0]) + 1;
    zpl::InterpreterOptions options;
    options.width = 400;
    options.height = 640;
    options.maxCanvasDots = 1u << 20;
    options.maxGraphicBytes = 1u << 18;
    options.maxStoredBytes = 1u << 20;
    options.maxFieldBytes = 4096;
    options.maxLabels = 20;
    zpl::ZplInterpreter interpreter(options, [](const std::string&) {});
    const auto sink = [](zpl::Label&) { return true; };
    const char* text = reinterpret_cast<const char*>(data + 1);
    for (size_t at = 0; at < size - 1; at += piece)
        if (!interpreter.Feed(text + at, std::min(piece, size - 1 - at), sink))
            return 0;
    interpreter.Finish(sink);
    return 0;
}

#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// quorvant-preview's view of ZPL: each label drawn as a printer would, one
// line per label and per field, and with a PNG prefix each label as
// PREFIX-1.png, PREFIX-2.png ...
namespace ZplPreview {

struct Options {
    int dpi = 203;
    std::string size;  // "813x1626", "4x6in", "100x150mm"; empty: ^PW / ^LL, else 4 x 6 in
    std::string pngPrefix;
};

// A canvas size "WxH" in dots, or with the unit "in" or "mm" at `dpi`.
// False, with `problem` in words, for anything else or a size outside
// 1 to 100000 dots.
bool ParseSize(const std::string& text, int dpi, int& width, int& height, std::string& problem);

// Draws `data` (named `source` in the lines) and prints to `out`, problems to
// `err`. The preview's exit status: 0, 1 when a label had a problem, 2 when
// a PNG could not be written.
int Run(const std::vector<uint8_t>& data, const std::string& source, const Options& options, std::FILE* out,
        std::FILE* err);

}  // namespace ZplPreview

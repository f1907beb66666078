#pragma once

#include <string>
#include <vector>

#include "zpl/ZplInterpreter.h"

// What the ZPL tests share: one-bit PNG files and labels drawn from text.
namespace zpl_testing {

// A one-bit gray PNG (as tests/zpl/labels holds them) as a bitmap, 1 = black;
// empty when the file is not one.
zpl::ZplBitmap ReadBitPng(const std::string& path);
// `page` as a one-bit gray PNG.
void WriteBitPng(const std::string& path, const zpl::ZplBitmap& page);

// The labels `zpl` draws, fed in pieces of `piece` bytes (0: at once), and the log.
struct Drawn {
    std::vector<zpl::Label> labels;
    std::vector<std::string> log;
};
Drawn DrawZpl(const std::string& zpl, const zpl::InterpreterOptions& options = {}, size_t piece = 0);

// The dots that differ between two pictures of the same size (beyond the
// smaller one's edge every black dot of the larger counts).
long DifferingDots(const zpl::ZplBitmap& a, const zpl::ZplBitmap& b);
long BlackDots(const zpl::ZplBitmap& a);

// The smallest rectangle holding every black dot (right and bottom inclusive);
// left > right when there is none.
struct InkBox {
    int left, top, right, bottom;
};
InkBox Ink(const zpl::ZplBitmap& a);

std::string LabelsDir();
std::string ReadText(const std::string& path);

}  // namespace zpl_testing

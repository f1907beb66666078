#pragma once

#include <string>
#include <vector>

// Code 128 symbols in code set B (printable ASCII): start B, the text, the
// modulo-103 check character and the stop pattern. Pure computation.
namespace Code128 {

// The symbol as modules, left to right (true: bar), without quiet zones.
// False, and `modules` empty, when `text` has a character outside code set
// B's printable range (space to '~').
bool Encode(const std::string& text, std::vector<bool>& modules);

// The bar and space widths of symbol `value` (0 to 106: 106 is the stop),
// as digits; every symbol but the stop is 11 modules wide.
const char* Widths(int value);

// Modules each side of a symbol that must stay light.
const int kQuietModules = 10;

}  // namespace Code128

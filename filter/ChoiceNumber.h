#pragma once

#include <climits>
#include <string>

// Numbers in PPD choice keywords. A choice is read as atoi reads it (leading
// blanks, an optional sign, digits up to the first other character, 0 for
// none), but without atoi's overflow: the value is clamped to the range the
// setting it feeds can carry.
namespace ChoiceNumber {

struct Range {
    int min = INT_MIN;
    int max = INT_MAX;
};

// Millimetre settings: 10 m either way keeps every dot conversion (up to
// 10000 dpi, and the reference point's two factors of 8) inside an int.
constexpr Range kMillimetres{-10000, 10000};
// Brightness and contrast saturate the tone table long before this; the
// bound keeps their arithmetic inside an int.
constexpr Range kToneChange{-1000000, 1000000};

// The number in `text`, clamped to `range`; `clamped` tells whether it had to be.
int Parse(const std::string& text, Range range, bool& clamped);

}  // namespace ChoiceNumber

#include "filter/ChoiceNumber.h"

#include <cstdlib>

namespace ChoiceNumber {

int Parse(const std::string& text, Range range, bool& clamped) {
    // strtoll saturates where atoi would overflow; a 64-bit result holds
    // every int, so one comparison per bound clamps it.
    const long long value = strtoll(text.c_str(), nullptr, 10);
    clamped = value < range.min || value > range.max;
    if (value < range.min)
        return range.min;
    if (value > range.max)
        return range.max;
    return static_cast<int>(value);
}

}  // namespace ChoiceNumber

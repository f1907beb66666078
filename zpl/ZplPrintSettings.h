#pragma once

#include <optional>

namespace zpl {

// What a label asks of the printer; absent = not said. Apart from the
// copies, the hosts turn these into their printer's own settings
// (render/LabelSettings).
struct PrintSettings {
    int copies = 1;                     // ^PQ
    std::optional<int> darkness;        // ~SD 0-30, absolute
    std::optional<int> darknessChange;  // ^MD -30..30, relative to the printer's
    std::optional<int> speed;           // ^PR, inches per second
    std::optional<char> tracking;       // ^MN: N continuous, Y/W gap, M black mark, A auto
    std::optional<char> mode;           // ^MM: T tear, P peel, R rewind, C cut, ...
    std::optional<char> mediaType;      // ^MT: T transfer, D direct
};

}  // namespace zpl

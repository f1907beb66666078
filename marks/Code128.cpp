#include "marks/Code128.h"

namespace Code128 {

namespace {

const int kStartB = 104, kStop = 106;

// Bar, space, bar, space, bar, space (the stop: one more bar), in modules.
const char* const kWidths[] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312",  "132212", "221213", "221312",
    "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211",  "221132", "221231", "213212",
    "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",  "212123", "212321", "232121",
    "111323", "131123", "131321", "112313", "132113", "132311", "211313", "231113",  "231311", "112133", "112331",
    "132131", "113123", "113321", "133121", "313121", "211331", "231131", "213113",  "213311", "213131", "311123",
    "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",  "111224", "111422", "121124",
    "121421", "141122", "141221", "112214", "112412", "122114", "122411", "142112",  "142211", "241211", "221114",
    "413111", "241112", "134111", "111242", "121142", "121241", "114212", "124112",  "124211", "411212", "421112",
    "421211", "212141", "214121", "412121", "111143", "111341", "131141", "114113",  "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232", "2331112",
};
static_assert(sizeof kWidths / sizeof kWidths[0] == kStop + 1, "one pattern per symbol value and the stop");

void Append(int value, std::vector<bool>& modules) {
    bool bar = true;
    for (const char* w = kWidths[value]; *w; w++, bar = !bar)
        modules.insert(modules.end(), static_cast<size_t>(*w - '0'), bar);
}

}  // namespace

const char* Widths(int value) { return value >= 0 && value <= kStop ? kWidths[value] : nullptr; }

bool Encode(const std::string& text, std::vector<bool>& modules) {
    modules.clear();
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E)
            return false;
    Append(kStartB, modules);
    int sum = kStartB, position = 1;
    for (unsigned char c : text) {
        const int value = c - 0x20;
        Append(value, modules);
        sum += value * position++;
    }
    Append(sum % 103, modules);
    Append(kStop, modules);
    return true;
}

}  // namespace Code128

#include "render/NamedSettings.h"

#include <algorithm>

namespace NamedSettings {

namespace {

struct NumberSetting {
    const char* name;
    int& (*field)(CBaseRender&);
    int low, high;
};

struct SwitchSetting {
    const char* name;
    bool& (*field)(CBaseRender&);
};

// The ranges are those of the matching PPD options and attributes.
const NumberSetting kNumbers[] = {
    {"cut-mode", [](CBaseRender& r) -> int& { return r.m_RegStruct.iCutMode; }, 0, 4},
    {"cash-drawer", [](CBaseRender& r) -> int& { return r.m_RegStruct.iMoneyBox; }, 0, 2},
    {"post-print", [](CBaseRender& r) -> int& { return r.m_RegStruct.iPostPrintAction; }, 0, 4},
    {"pre-feed", [](CBaseRender& r) -> int& { return r.m_RegStruct.iPreFeed; }, 0, 1000},
    {"end-feed", [](CBaseRender& r) -> int& { return r.m_Extension.iEndFeed; }, 0, 1000},
    {"scale", [](CBaseRender& r) -> int& { return r.m_RegStruct.iScale; }, 10, 400},
    {"brightness", [](CBaseRender& r) -> int& { return r.m_HalfTone.iLiangdu; }, -255, 255},
    {"contrast", [](CBaseRender& r) -> int& { return r.m_HalfTone.iDuibidu; }, -100, 100},
    {"head-dots", [](CBaseRender& r) -> int& { return r.m_Extension.iHeadDots; }, 0, 65535 * 8},
    {"max-raster-rows", [](CBaseRender& r) -> int& { return r.m_Extension.iMaxRasterRows; }, 0, 65535},
};

const SwitchSetting kSwitches[] = {
    {"trim-roll", [](CBaseRender& r) -> bool& { return r.m_Extension.bTrimRoll; }},
    {"mirror", [](CBaseRender& r) -> bool& { return r.m_RegStruct.bMirror; }},
    {"negative", [](CBaseRender& r) -> bool& { return r.m_RegStruct.bNegative; }},
    {"edge-keeping", [](CBaseRender& r) -> bool& { return r.m_Extension.bEdgeKeeping; }},
    {"no-setc", [](CBaseRender& r) -> bool& { return r.m_Extension.bNoSetc; }},
};

// Index 0 is the edge-keeping method; index n > 0 is the "ImageFilter"
// choice n - 1, stored as iGrayMethod n - 1 (0 threshold, n > 0 dithering).
const char* const kHalftones[] = {
    "edge-keeping",        "threshold", "floyd-steinberg", "ordered-4x4", "burkes",    "stucki",
    "jarvis-judice-ninke", "sierra",    "stevenson-arce",  "bayer-4x4",   "bayer-8x8", "ordered-16x16",
};

}  // namespace

bool Apply(CBaseRender& render, const std::string& name, int value, int* applied) {
    for (const NumberSetting& setting : kNumbers) {
        if (name == setting.name) {
            setting.field(render) = std::clamp(value, setting.low, setting.high);
            if (applied)
                *applied = setting.field(render);
            return true;
        }
    }
    for (const SwitchSetting& setting : kSwitches) {
        if (name == setting.name) {
            setting.field(render) = value != 0;
            if (applied)
                *applied = setting.field(render) ? 1 : 0;
            return true;
        }
    }
    return false;
}

const char* const* HalftoneKeywords(int& count) {
    count = static_cast<int>(sizeof kHalftones / sizeof kHalftones[0]);
    return kHalftones;
}

bool ApplyHalftone(CBaseRender& render, const std::string& keyword) {
    const auto end = std::end(kHalftones);
    const auto it = std::find_if(std::begin(kHalftones), end, [&](const char* k) { return keyword == k; });
    if (it == end)
        return false;
    const int index = static_cast<int>(it - std::begin(kHalftones));
    render.m_Extension.bEdgeKeeping = index == 0;
    if (index > 0)
        render.m_HalfTone.iGrayMethod = index - 1;
    return true;
}

}  // namespace NamedSettings

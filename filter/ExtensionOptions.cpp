// Options and attributes of this project's own PPDs, beyond the eighteen
// options every PPD of the filter may carry. A PPD without them gives the
// same settings and the same log lines as before they existed.
#include <cstring>

#include <cups/ppd.h>

#include "filter/CCupsRender.h"
#include "filter/ChoiceNumber.h"

namespace CupsHost {

namespace {

struct NumberSetting {
    const char* keyword;
    int& (*field)(CBaseRender&);
    ChoiceNumber::Range range;
};

struct SwitchSetting {
    const char* keyword;
    bool& (*field)(CBaseRender&);
};

// Options: keyword, setting, range.
const NumberSetting kOptions[] = {
    {"qvCutMode", [](CBaseRender& r) -> int& { return r.m_RegStruct.iCutMode; }, {0, 4}},
    {"qvCashDrawer", [](CBaseRender& r) -> int& { return r.m_RegStruct.iMoneyBox; }, {0, 2}},
    {"qvPostPrint", [](CBaseRender& r) -> int& { return r.m_RegStruct.iPostPrintAction; }, {0, 4}},
    {"qvPreFeed", [](CBaseRender& r) -> int& { return r.m_RegStruct.iPreFeed; }, {0, 1000}},
    {"qvEndFeed", [](CBaseRender& r) -> int& { return r.m_Extension.iEndFeed; }, {0, 1000}},
    {"qvScale", [](CBaseRender& r) -> int& { return r.m_RegStruct.iScale; }, {10, 400}},
    {"qvBrightness", [](CBaseRender& r) -> int& { return r.m_HalfTone.iLiangdu; }, ChoiceNumber::kToneChange},
};

const SwitchSetting kSwitches[] = {
    {"qvMirror", [](CBaseRender& r) -> bool& { return r.m_RegStruct.bMirror; }},
    {"qvNegative", [](CBaseRender& r) -> bool& { return r.m_RegStruct.bNegative; }},
    {"qvTrimRoll", [](CBaseRender& r) -> bool& { return r.m_Extension.bTrimRoll; }},
};

// Printer quirks, as PPD attributes.
const NumberSetting kAttributes[] = {
    {"qvHeadDots", [](CBaseRender& r) -> int& { return r.m_Extension.iHeadDots; }, {0, 65535 * 8}},
    {"qvMaxRasterRows", [](CBaseRender& r) -> int& { return r.m_Extension.iMaxRasterRows; }, {0, 65535}},
};

// The choice's text as a number in `range`, logging a clamp.
int Number(CBaseRender& render, const char* keyword, const char* text, ChoiceNumber::Range range) {
    bool clamped = false;
    const int value = ChoiceNumber::Parse(text, range, clamped);
    if (clamped)
        render.AddLog("%s: choice %s is out of range, using %d", keyword, text, value);
    return value;
}

bool IsTrue(const char* text) {
    return std::strcmp(text, "True") == 0 || std::strcmp(text, "true") == 0 || std::strcmp(text, "1") == 0;
}

}  // namespace

void GetExtensionParameters(CBaseRender& render) {
    ppd_file_t* ppd = render.m_pPpd;
    if (!ppd)
        return;
    for (const NumberSetting& option : kOptions) {
        if (ppd_choice_t* choice = ppdFindMarkedChoice(ppd, option.keyword)) {
            option.field(render) = Number(render, option.keyword, choice->choice, option.range);
            render.AddLog("%s = %d", option.keyword, option.field(render));
        }
    }
    for (const SwitchSetting& option : kSwitches) {
        if (ppd_choice_t* choice = ppdFindMarkedChoice(ppd, option.keyword)) {
            option.field(render) = IsTrue(choice->choice);
            render.AddLog("%s = %d", option.keyword, option.field(render) ? 1 : 0);
        }
    }
    // The edge-keeping halftoning is a choice of "ImageFilter" whose text
    // is no number: the option reader above took it for threshold.
    if (ppd_choice_t* choice = ppdFindMarkedChoice(ppd, "ImageFilter")) {
        if (std::strcmp(choice->choice, "EdgeKeeping") == 0) {
            render.m_Extension.bEdgeKeeping = true;
            render.AddLog("halftoning: edge keeping");
        }
    }
    for (const NumberSetting& attribute : kAttributes) {
        if (ppd_attr_t* attr = ppdFindAttr(ppd, attribute.keyword, nullptr)) {
            attribute.field(render) = Number(render, attribute.keyword, attr->value ? attr->value : "", attribute.range);
            render.AddLog("%s = %d", attribute.keyword, attribute.field(render));
        }
    }
    if (ppd_attr_t* attr = ppdFindAttr(ppd, "qvNoSetc", nullptr)) {
        render.m_Extension.bNoSetc = attr->value && IsTrue(attr->value);
        render.AddLog("qvNoSetc = %d", render.m_Extension.bNoSetc ? 1 : 0);
    }
}

}  // namespace CupsHost

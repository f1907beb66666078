// Options and attributes of this project's own PPDs, beyond the eighteen
// options every PPD of the filter may carry. A PPD without them gives the
// same settings and the same log lines as before they existed. The settings
// and their ranges are the ones every host shares (render/NamedSettings).
#include <cups/ppd.h>

#include <cstring>

#include "filter/CCupsRender.h"
#include "filter/ChoiceNumber.h"
#include "render/NamedSettings.h"

namespace CupsHost {

namespace {

struct Keyword {
    const char* ppd;
    const char* setting;
};

const Keyword kOptions[] = {
    {"qvCutMode", "cut-mode"},      {"qvCashDrawer", "cash-drawer"}, {"qvPostPrint", "post-print"},
    {"qvPreFeed", "pre-feed"},      {"qvEndFeed", "end-feed"},       {"qvScale", "scale"},
    {"qvBrightness", "brightness"}, {"qvMirror", "mirror"},          {"qvNegative", "negative"},
    {"qvTrimRoll", "trim-roll"},
};

// Printer quirks, as PPD attributes.
const Keyword kAttributes[] = {
    {"qvHeadDots", "head-dots"},
    {"qvMaxRasterRows", "max-raster-rows"},
    {"qvNoSetc", "no-setc"},
};

// "True" for a switch, else the choice as a number.
int Value(const char* text) {
    if (std::strcmp(text, "True") == 0 || std::strcmp(text, "true") == 0)
        return 1;
    bool clamped = false;
    return ChoiceNumber::Parse(text, ChoiceNumber::Range{}, clamped);
}

void Apply(CBaseRender& render, const Keyword& keyword, const char* text) {
    const int value = Value(text);
    int applied = 0;
    if (!NamedSettings::Apply(render, keyword.setting, value, &applied))
        return;
    if (applied != value)
        render.AddLog("%s: choice %s is out of range, using %d", keyword.ppd, text, applied);
    render.AddLog("%s = %d", keyword.ppd, applied);
}

}  // namespace

void GetExtensionParameters(CBaseRender& render) {
    ppd_file_t* ppd = render.m_pPpd;
    if (!ppd)
        return;
    for (const Keyword& option : kOptions)
        if (ppd_choice_t* choice = ppdFindMarkedChoice(ppd, option.ppd))
            Apply(render, option, choice->choice);
    // The edge-keeping halftoning is a choice of "ImageFilter" whose text
    // is no number: the option reader above took it for threshold.
    if (ppd_choice_t* choice = ppdFindMarkedChoice(ppd, "ImageFilter")) {
        if (std::strcmp(choice->choice, "EdgeKeeping") == 0) {
            NamedSettings::Apply(render, "edge-keeping", 1);
            render.AddLog("halftoning: edge keeping");
        }
    }
    for (const Keyword& attribute : kAttributes)
        if (ppd_attr_t* attr = ppdFindAttr(ppd, attribute.ppd, nullptr))
            Apply(render, attribute, attr->value ? attr->value : "");
}

}  // namespace CupsHost

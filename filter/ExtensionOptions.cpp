// Options and attributes of this project's own PPDs, beyond the eighteen
// options every PPD of the filter may carry. A PPD without them gives the
// same settings and the same log lines as before they existed. The PPD
// keywords, their choices and ranges are the ones every host shares
// (families/NamedSettings), read in the table's order.
#include <cups/ppd.h>

#include <cstring>

#include "families/NamedSettings.h"
#include "filter/CCupsRender.h"
#include "filter/ChoiceNumber.h"

namespace CupsHost {

namespace {

using NamedSettings::Ppd;
using NamedSettings::Setting;

// The PPD's choice or attribute value for `setting`; null when the PPD
// carries none.
const char* PpdText(ppd_file_t* ppd, const Setting& setting) {
    if (setting.ppd.kind == Ppd::Attribute) {
        ppd_attr_t* attr = ppdFindAttr(ppd, setting.ppd.keyword, nullptr);
        return attr ? (attr->value ? attr->value : "") : nullptr;
    }
    ppd_choice_t* choice = ppdFindMarkedChoice(ppd, setting.ppd.keyword);
    return choice ? choice->choice : nullptr;
}

// A keyword choice's value, "True" for a switch, else the choice as a number.
int Value(const Setting& setting, const char* text) {
    if (const NamedSettings::Choice* choice = NamedSettings::ChoiceByPpd(setting, text))
        return choice->value;
    if (std::strcmp(text, "True") == 0 || std::strcmp(text, "true") == 0)
        return 1;
    bool clamped = false;
    return ChoiceNumber::Parse(text, ChoiceNumber::Range{}, clamped);
}

void Apply(CBaseRender& render, const Setting& setting, const char* text) {
    if (setting.ppd.kind == Ppd::Shared) {
        // The eighteen's reader has read and logged the numbers; a keyword
        // choice is logged when it changes what they set.
        const NamedSettings::Choice* choice = NamedSettings::ChoiceByPpd(setting, text);
        if (!choice)
            return;
        const int before = setting.field.get(render);
        if (NamedSettings::Apply(render, setting, choice->value) != before)
            render.AddLog("%s = %s", setting.name, choice->keyword);
        return;
    }
    const int value = Value(setting, text);
    const int applied = NamedSettings::Apply(render, setting, value);
    if (applied != value)
        render.AddLog("%s: choice %s is out of range, using %d", setting.ppd.keyword, text, applied);
    render.AddLog("%s = %d", setting.ppd.keyword, applied);
}

}  // namespace

void GetExtensionParameters(CBaseRender& render) {
    ppd_file_t* ppd = render.m_pPpd;
    if (!ppd)
        return;
    for (const Setting& setting : NamedSettings::All())
        if (setting.ppd.keyword)
            if (const char* text = PpdText(ppd, setting))
                Apply(render, setting, text);
}

}  // namespace CupsHost

#include "printerapp/VendorOptions.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "families/NamedSettings.h"

namespace VendorOptions {

namespace {

using NamedSettings::Setting;

// The settings the application offers for `driver`, in the table's order.
template <class Visit>
void ForEachOffered(const DriverTable::Driver& driver, Visit&& visit) {
    for (const Setting& setting : NamedSettings::All())
        if (setting.ipp.attribute && setting.drivers.appliesTo(driver))
            visit(setting);
}

void AddName(pappl_pr_driver_data_t& data, const char* name) {
    if (data.num_vendor < PAPPL_MAX_VENDOR)
        data.vendor[data.num_vendor++] = name;
}

std::string Attribute(const char* name, const char* suffix) { return std::string(name) + suffix; }

// A keyword setting's choices, after its "auto" keyword, and its default;
// a number's range and default.
void AddValues(const Setting& setting, const DriverTable::Driver& driver, ipp_t* attrs) {
    const std::string supported = Attribute(setting.ipp.attribute, "-supported");
    const std::string byDefault = Attribute(setting.ipp.attribute, "-default");
    const int value = NamedSettings::DefaultFor(setting, driver);
    if (setting.choices.empty()) {
        ippAddRange(attrs, IPP_TAG_PRINTER, supported.c_str(), setting.range.low, setting.range.high);
        ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, byDefault.c_str(), value);
        return;
    }
    std::vector<const char*> keywords;
    if (setting.ipp.autoKeyword)
        keywords.push_back(setting.ipp.autoKeyword);
    for (const NamedSettings::Choice& choice : setting.choices)
        keywords.push_back(choice.keyword);
    ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, supported.c_str(), static_cast<int>(keywords.size()),
                  nullptr, keywords.data());
    const NamedSettings::Choice* choice = NamedSettings::ChoiceByValue(setting, value);
    const char* keyword = setting.ipp.autoKeyword ? setting.ipp.autoKeyword : choice ? choice->keyword : nullptr;
    if (keyword)
        ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, byDefault.c_str(), nullptr, keyword);
}

}  // namespace

void Declare(const DriverTable::Driver& driver, pappl_pr_driver_data_t& data, ipp_t* attrs) {
    ForEachOffered(driver, [&](const Setting& setting) {
        AddName(data, setting.ipp.attribute);
        AddValues(setting, driver, attrs);
    });
}

namespace {

// PAPPL passes a job only the vendor attributes it names; the printer's
// defaults (from the web page or "modify") fill in the rest.
int WithPrinterDefaults(pappl_printer_t* printer, int count, const cups_option_t* job, cups_option_t** options) {
    int merged = 0;
    if (ipp_t* attrs = printer ? papplPrinterGetDriverAttributes(printer) : nullptr) {
        const std::string suffix = "-default";
        for (ipp_attribute_t* a = ippFirstAttribute(attrs); a; a = ippNextAttribute(attrs)) {
            const std::string name = ippGetName(a) ? ippGetName(a) : "";
            if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
                continue;
            char value[256];
            ippAttributeString(a, value, sizeof value);
            merged = cupsAddOption(name.substr(0, name.size() - suffix.size()).c_str(), value, merged, options);
        }
        ippDelete(attrs);
    }
    for (int i = 0; i < count; i++)
        merged = cupsAddOption(job[i].name, job[i].value, merged, options);
    return merged;
}

}  // namespace

void Apply(CBaseRender& render, const DriverTable::Driver& driver, pappl_printer_t* printer, int jobCount,
           const cups_option_t* jobOptions) {
    cups_option_t* options = nullptr;
    const int count = WithPrinterDefaults(printer, jobCount, jobOptions, &options);
    ForEachOffered(driver, [&](const Setting& setting) {
        const char* value = cupsGetOption(setting.ipp.attribute, count, options);
        if (!value || (setting.ipp.autoKeyword && std::strcmp(value, setting.ipp.autoKeyword) == 0))
            return;
        if (setting.choices.empty())
            NamedSettings::Apply(render, setting, std::atoi(value));
        else if (const NamedSettings::Choice* choice = NamedSettings::ChoiceByKeyword(setting, value))
            NamedSettings::Apply(render, setting, choice->value);
        else
            render.AddLog("%s: unknown keyword %s", setting.ipp.attribute, value);
    });
    cupsFreeOptions(count, options);
}

}  // namespace VendorOptions

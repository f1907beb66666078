#include "printerapp/VendorOptions.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "render/NamedSettings.h"

namespace VendorOptions {

namespace {

struct Keyword {
    const char* keyword;
    int value;
};

const Keyword kCutModes[] = {
    {"none", 0}, {"job-full", 1}, {"job-partial", 2}, {"page-full", 3}, {"page-partial", 4},
};
const Keyword kCashDrawer[] = {{"closed", 0}, {"before", 1}, {"after", 2}};

// A keyword attribute that sets one named number.
struct KeywordOption {
    const char* name;  // IPP attribute name, also the NamedSettings name
    const Keyword* keywords;
    size_t count;
    const char* defaultKeyword;
    bool (*applies)(const DriverTable::Driver&);
};

const KeywordOption kKeywordOptions[] = {
    {"cut-mode", kCutModes, sizeof kCutModes / sizeof kCutModes[0], "job-full",
     [](const DriverTable::Driver& d) { return d.cutter; }},
    {"cash-drawer", kCashDrawer, sizeof kCashDrawer / sizeof kCashDrawer[0], "closed",
     [](const DriverTable::Driver& d) { return d.cutter; }},
};

const int kMaxEndFeed = 100;  // mm

void AddName(pappl_pr_driver_data_t& data, const char* name) {
    if (data.num_vendor < PAPPL_MAX_VENDOR)
        data.vendor[data.num_vendor++] = name;
}

std::string Attribute(const char* name, const char* suffix) { return std::string(name) + suffix; }

}  // namespace

void Declare(const DriverTable::Driver& driver, pappl_pr_driver_data_t& data, ipp_t* attrs) {
    int count = 0;
    const char* const* halftones = NamedSettings::HalftoneKeywords(count);
    std::vector<const char*> values{"auto"};
    values.insert(values.end(), halftones, halftones + count);
    AddName(data, "halftoning");
    ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "halftoning-supported", static_cast<int>(values.size()),
                  nullptr, values.data());
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "halftoning-default", nullptr, "auto");

    for (const KeywordOption& option : kKeywordOptions) {
        if (!option.applies(driver))
            continue;
        std::vector<const char*> keywords;
        for (size_t i = 0; i < option.count; i++)
            keywords.push_back(option.keywords[i].keyword);
        AddName(data, option.name);
        ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, Attribute(option.name, "-supported").c_str(),
                      static_cast<int>(keywords.size()), nullptr, keywords.data());
        ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, Attribute(option.name, "-default").c_str(), nullptr,
                     option.defaultKeyword);
    }
    if (driver.endFeed >= 0) {
        AddName(data, "end-feed");
        ippAddRange(attrs, IPP_TAG_PRINTER, "end-feed-supported", 0, kMaxEndFeed);
        ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "end-feed-default", driver.endFeed);
    }
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
    if (const char* value = cupsGetOption("halftoning", count, const_cast<cups_option_t*>(options))) {
        if (std::strcmp(value, "auto") != 0 && !NamedSettings::ApplyHalftone(render, value))
            render.AddLog("halftoning: unknown method %s", value);
    }
    for (const KeywordOption& option : kKeywordOptions) {
        const char* value = cupsGetOption(option.name, count, const_cast<cups_option_t*>(options));
        if (!value || !option.applies(driver))
            continue;
        for (size_t i = 0; i < option.count; i++)
            if (std::strcmp(value, option.keywords[i].keyword) == 0)
                NamedSettings::Apply(render, option.name, option.keywords[i].value);
    }
    if (driver.endFeed >= 0) {
        if (const char* value = cupsGetOption("end-feed", count, const_cast<cups_option_t*>(options)))
            NamedSettings::Apply(render, "end-feed", std::atoi(value));
    }
    cupsFreeOptions(count, options);
}

}  // namespace VendorOptions

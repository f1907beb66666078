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

void Apply(CBaseRender& render, const DriverTable::Driver& driver, int count, const cups_option_t* options) {
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
}

}  // namespace VendorOptions

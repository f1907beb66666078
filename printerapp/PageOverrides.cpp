#include "printerapp/PageOverrides.h"

#include <cstring>

#include "families/NamedSettings.h"

namespace {

// Whether the rangeOfInteger values of `ranges` include `number`; no
// attribute: every number.
bool Covers(ipp_t* members, const char* name, int number) {
    ipp_attribute_t* ranges = ippFindAttribute(members, name, IPP_TAG_RANGE);
    if (!ranges)
        return ippFindAttribute(members, name, IPP_TAG_ZERO) == nullptr;
    for (int i = 0; i < ippGetCount(ranges); i++) {
        int upper = 0;
        const int lower = ippGetRange(ranges, i, &upper);
        if (number >= lower && number <= upper)
            return true;
    }
    return false;
}

const char* Keyword(ipp_t* members, const char* name) {
    ipp_attribute_t* attr = ippFindAttribute(members, name, IPP_TAG_KEYWORD);
    return attr ? ippGetString(attr, 0, nullptr) : nullptr;
}

}  // namespace

bool PageOverrides::ForPage(pappl_job_t* job, unsigned page, const pappl_pr_options_t& jobOptions) {
    ipp_attribute_t* overrides = papplJobGetAttribute(job, "overrides");
    if (!overrides || ippGetValueTag(overrides) != IPP_TAG_BEGIN_COLLECTION)
        return false;
    m_options = jobOptions;
    m_names.clear();
    m_values.clear();
    for (int i = 0; i < jobOptions.num_vendor; i++) {
        m_names.emplace_back(jobOptions.vendor[i].name);
        m_values.emplace_back(jobOptions.vendor[i].value);
    }
    // Later overrides win over earlier ones, as the job lists them.
    for (int i = 0; i < ippGetCount(overrides); i++) {
        ipp_t* members = ippGetCollection(overrides, i);
        if (Covers(members, "pages", static_cast<int>(page)) && Covers(members, "document-numbers", 1))
            Apply(members);
    }
    m_vendor.clear();
    for (size_t i = 0; i < m_names.size(); i++)
        m_vendor.push_back({const_cast<char*>(m_names[i].c_str()), const_cast<char*>(m_values[i].c_str())});
    m_options.num_vendor = static_cast<int>(m_vendor.size());
    m_options.vendor = m_vendor.data();
    return true;
}

void PageOverrides::Apply(ipp_t* members) {
    if (ipp_attribute_t* darkness = ippFindAttribute(members, "print-darkness", IPP_TAG_INTEGER))
        m_options.print_darkness = ippGetInteger(darkness, 0);
    if (ipp_attribute_t* speed = ippFindAttribute(members, "print-speed", IPP_TAG_INTEGER))
        m_options.print_speed = ippGetInteger(speed, 0);
    if (const char* mode = Keyword(members, "print-color-mode"))
        m_options.print_color_mode =
            std::strcmp(mode, "bi-level") == 0 ? PAPPL_COLOR_MODE_BI_LEVEL : PAPPL_COLOR_MODE_MONOCHROME;
    if (const char* content = Keyword(members, "print-content-optimize")) {
        static const struct {
            const char* keyword;
            pappl_content_t value;
        } kContents[] = {{"auto", PAPPL_CONTENT_AUTO},
                         {"graphic", PAPPL_CONTENT_GRAPHIC},
                         {"photo", PAPPL_CONTENT_PHOTO},
                         {"text", PAPPL_CONTENT_TEXT},
                         {"text-and-graphic", PAPPL_CONTENT_TEXT_AND_GRAPHIC}};
        for (const auto& c : kContents)
            if (std::strcmp(content, c.keyword) == 0)
                m_options.print_content_optimize = c.value;
    }
    // The vendor settings, as the job's own vendor options carry them: text.
    for (const NamedSettings::Setting& setting : NamedSettings::All()) {
        if (!setting.ipp.attribute)
            continue;
        std::string value;
        if (!setting.choices.empty()) {
            const char* keyword = Keyword(members, setting.ipp.attribute);
            value = keyword ? keyword : "";
        } else if (ipp_attribute_t* number = ippFindAttribute(members, setting.ipp.attribute, IPP_TAG_INTEGER)) {
            value = std::to_string(ippGetInteger(number, 0));
        }
        if (!value.empty())
            SetVendor(setting.ipp.attribute, value);
    }
}

void PageOverrides::SetVendor(const std::string& name, const std::string& value) {
    for (size_t i = 0; i < m_names.size(); i++) {
        if (m_names[i] == name) {
            m_values[i] = value;
            return;
        }
    }
    m_names.push_back(name);
    m_values.push_back(value);
}

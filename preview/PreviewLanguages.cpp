#include "preview/PreviewLanguages.h"

#include "families/Families.h"

namespace PreviewLanguages {

std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const Families::Info& family : Families::All())
        names.push_back(family.language);
    return names;
}

std::vector<std::string> Personalities() {
    std::vector<std::string> names;
    for (const Families::Info& family : Families::All())
        names.push_back(family.personality);
    return names;
}

std::unique_ptr<CPreviewDecoder> Create(const std::string& name) {
    std::unique_ptr<CPreviewDecoder> decoder;
    Families::ForEach([&](const auto& family) {
        using Decoder = typename std::decay_t<decltype(family)>::DecoderClass;
        if (!decoder && name == family.language)
            decoder = std::make_unique<Decoder>();
    });
    return decoder;
}

// The languages' first bytes differ (a test checks it), so the order the
// families are tried in does not matter.
std::string Detect(const uint8_t* data, size_t size) {
    std::string language;
    Families::ForEach([&](const auto& family) {
        using Decoder = typename std::decay_t<decltype(family)>::DecoderClass;
        if (language.empty() && Decoder::Begins(data, size))
            language = family.language;
    });
    return language;
}

std::string Joined(const std::vector<std::string>& names, const char* separator, const char* last) {
    std::string text;
    for (size_t i = 0; i < names.size(); i++)
        text += (i == 0 ? "" : i + 1 == names.size() ? last : separator) + names[i];
    return text;
}

}  // namespace PreviewLanguages

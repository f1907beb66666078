#include "preview/PreviewLanguages.h"

#include "preview/CCpclDecoder.h"
#include "preview/CEscposDecoder.h"
#include "preview/CSolvaneDecoder.h"
#include "preview/CTavrinDecoder.h"
#include "preview/CTsplDecoder.h"

namespace PreviewLanguages {

namespace {

template <class T>
std::unique_ptr<CPreviewDecoder> Make() {
    return std::make_unique<T>();
}

struct Language {
    const char* name;
    bool (*begins)(const uint8_t* data, size_t size);
    std::unique_ptr<CPreviewDecoder> (*create)();
};

// In detection order: the framed binary languages first, TSPL (any command
// word in capitals) last.
const Language kLanguages[] = {
    {"tavrin", [](const uint8_t* d, size_t n) { return n >= 2 && d[0] == 0xA5 && d[1] == 0x01; },
     &Make<CTavrinDecoder>},
    {"solvane", [](const uint8_t* d, size_t n) { return n >= 2 && d[0] == 0x10 && d[1] == 0xFF; },
     &Make<CSolvaneDecoder>},
    {"escpos", [](const uint8_t* d, size_t n) { return n >= 1 && (d[0] == 0x1B || d[0] == 0x1D); },
     &Make<CEscposDecoder>},
    {"cpcl", [](const uint8_t* d, size_t n) { return n >= 2 && d[0] == '!' && d[1] == ' '; }, &Make<CCpclDecoder>},
    {"tspl", [](const uint8_t* d, size_t n) { return n >= 1 && d[0] >= 'A' && d[0] <= 'Z'; }, &Make<CTsplDecoder>},
};

}  // namespace

std::vector<std::string> Names() { return {"tspl", "escpos", "cpcl", "tavrin", "solvane"}; }

std::unique_ptr<CPreviewDecoder> Create(const std::string& name) {
    for (const Language& language : kLanguages)
        if (name == language.name)
            return language.create();
    return nullptr;
}

std::string Detect(const uint8_t* data, size_t size) {
    for (const Language& language : kLanguages)
        if (language.begins(data, size))
            return language.name;
    return "";
}

}  // namespace PreviewLanguages

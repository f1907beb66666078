#pragma once

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "preview/CPreviewDecoder.h"
#include "preview/PreviewLanguages.h"
#include "support/TestFiles.h"

namespace testing_support {

// A 1-bit raster page of random dots, the same for the same seed.
inline RasterPage RandomPage(unsigned width, unsigned height, unsigned seed) {
    RasterPage page;
    page.width = width;
    page.height = height;
    const unsigned bpl = (width + 7) / 8;
    std::mt19937 random(seed);
    page.data.resize(static_cast<size_t>(bpl) * height);
    for (uint8_t& byte : page.data)
        byte = static_cast<uint8_t>(random());
    return page;
}

// The named language's decoder after decoding `stream`.
inline std::unique_ptr<CPreviewDecoder> Decoded(const std::string& language, const Bytes& stream, bool* ok) {
    std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create(language);
    *ok = decoder->Decode(stream.data(), stream.size());
    return decoder;
}

// A decoded page's setting `name` as the decoder shows it; "(none)".
inline std::string SettingOf(const CPreviewPage& page, const std::string& name) {
    for (const auto& setting : page.Settings())
        if (setting.first == name)
            return setting.second;
    return "(none)";
}

// A decoded label's program: its copies (TSPL's PRINT, CPCL's quantity)
// and a digest of its dots, to tell the same image sent again from another.
struct Program {
    std::string copies;
    size_t dots = 0;
};
inline std::vector<Program> Programs(const std::vector<CPreviewPage>& pages) {
    std::vector<Program> programs;
    for (const CPreviewPage& page : pages) {
        Program program;
        for (const auto& [name, value] : page.Settings())
            if (name == "print" || name == "quantity")
                program.copies = value;
        const std::string dots(reinterpret_cast<const char*>(page.Row(0)),
                               static_cast<size_t>(page.RowBytes()) * page.Height());
        program.dots = std::hash<std::string>()(dots);
        programs.push_back(program);
    }
    return programs;
}

// The quorvant-preview program run on `input` (standard input) with `args`.
struct PreviewRun {
    std::string out, err;
    int status = -1;
};
PreviewRun RunPreview(const std::string& args, const Bytes& input);

}  // namespace testing_support

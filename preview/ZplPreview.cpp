#include "preview/ZplPreview.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "preview/PngWriter.h"
#include "zpl/ZplInterpreter.h"

namespace ZplPreview {

namespace {

const char* kName = "quorvant-preview";
constexpr int kMostDots = 100000;

// A non-negative number at `text`; false without one.
bool Number(const char*& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    if (end == text || !(value > 0) || !std::isfinite(value))
        return false;
    text = end;
    return true;
}

}  // namespace

bool ParseSize(const std::string& text, int dpi, int& width, int& height, std::string& problem) {
    const char* at = text.c_str();
    double w = 0, h = 0;
    const bool numbers = Number(at, w) && (*at == 'x' || *at == 'X') && Number(++at, h);
    double dotsPerUnit = 0;
    if (numbers && std::strcmp(at, "") == 0)
        dotsPerUnit = 1;
    else if (numbers && std::strcmp(at, "in") == 0)
        dotsPerUnit = dpi;
    else if (numbers && std::strcmp(at, "mm") == 0)
        dotsPerUnit = dpi / 25.4;
    if (dotsPerUnit == 0) {
        problem =
            "--size needs WIDTHxHEIGHT in dots, or with in or mm (813x1626, 4x6in, 100x150mm), not \"" + text + "\"";
        return false;
    }
    const double wd = std::round(w * dotsPerUnit), hd = std::round(h * dotsPerUnit);
    if (wd < 1 || hd < 1 || wd > kMostDots || hd > kMostDots) {
        problem = "--size " + text + " is " + std::to_string(long(wd)) + " x " + std::to_string(long(hd)) +
                  " dots; each side may be 1 to " + std::to_string(kMostDots);
        return false;
    }
    width = int(wd);
    height = int(hd);
    return true;
}

int Run(const std::vector<uint8_t>& data, const std::string& source, const Options& options, std::FILE* out,
        std::FILE* err) {
    zpl::InterpreterOptions drawing;
    drawing.dpi = options.dpi;
    drawing.sourceDpi = options.dpi;
    if (!options.size.empty()) {
        std::string problem;
        if (!ParseSize(options.size, options.dpi, drawing.width, drawing.height, problem)) {
            std::fprintf(err, "%s: %s\n", kName, problem.c_str());
            return 2;
        }
    }
    std::fprintf(out, "%s: zpl stream, %zu bytes\n", source.c_str(), data.size());
    zpl::ZplInterpreter interpreter(drawing,
                                    [&](const std::string& line) { std::fprintf(out, "  %s\n", line.c_str()); });
    const double dotsPerMm = options.dpi / 25.4;
    bool problems = false, written = true;
    auto show = [&](zpl::Label& label) {
        if (!zpl::PrintsALabel(label)) {
            std::fprintf(out, "Label %d: draws nothing, prints no label\n", label.number);
            return true;
        }
        const zpl::ZplBitmap& dots = label.page;
        size_t black = 0;
        for (int y = 0; y < dots.Height(); y++)
            for (size_t i = 0; i < dots.RowBytes(); i++)
                black += size_t(__builtin_popcount(dots.Row(y)[i]));
        std::fprintf(out, "Label %d: %d x %d dots (%.2f x %.2f mm at %d dpi), %zu black dots, %d %s\n", label.number,
                     dots.Width(), dots.Height(), dots.Width() / dotsPerMm, dots.Height() / dotsPerMm, options.dpi,
                     black, label.settings.copies, label.settings.copies == 1 ? "copy" : "copies");
        for (const std::string& field : label.fields)
            std::fprintf(out, "  %s\n", field.c_str());
        for (const std::string& problem : label.problems) {
            std::fprintf(out, "  problem: %s\n", problem.c_str());
            std::fprintf(err, "%s: %s: label %d: %s\n", kName, source.c_str(), label.number, problem.c_str());
            problems = true;
        }
        if (!options.pngPrefix.empty() && dots.Width() > 0 && dots.Height() > 0) {
            const std::string path = options.pngPrefix + "-" + std::to_string(label.number) + ".png";
            std::string error;
            if (WritePng(dots.Width(), dots.Height(), dots.Row(0), dots.RowBytes(), path, error)) {
                std::fprintf(out, "Wrote %s\n", path.c_str());
            } else {
                std::fprintf(err, "%s: cannot write %s: %s\n", kName, path.c_str(), error.c_str());
                written = false;
            }
        }
        return true;
    };
    interpreter.Feed(reinterpret_cast<const char*>(data.data()), data.size(), show);
    interpreter.Finish(show);
    std::fflush(out);
    return !written ? 2 : problems ? 1 : 0;
}

}  // namespace ZplPreview

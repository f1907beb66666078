#include "render/LabelJob.h"

#include <cstdio>

#include "render/FineDetail.h"

namespace LabelJob {

zpl::InterpreterOptions Drawing(int dpi, int zplDpi, int mediaWidth, int mediaHeight) {
    zpl::InterpreterOptions drawing;
    drawing.dpi = dpi;
    drawing.sourceDpi = zplDpi > 0 ? zplDpi : dpi;
    drawing.fallbackWidth = mediaWidth;
    drawing.fallbackHeight = mediaHeight;
    return drawing;
}

std::string Describe(const zpl::InterpreterOptions& drawing) {
    char line[160];
    std::snprintf(line, sizeof line, "ZPL written for %d dpi drawn at %d dpi; %d x %d dots where a label gives no size",
                  drawing.sourceDpi, drawing.dpi, drawing.fallbackWidth, drawing.fallbackHeight);
    return line;
}

int Copies(int number, int labelCopies, int jobCopies, int most, std::string& warning) {
    const long long asked = static_cast<long long>(std::max(1, labelCopies)) * std::max(1, jobCopies);
    warning.clear();
    if (asked <= most)
        return int(asked);
    warning = "Label " + std::to_string(number) + " asks for " + std::to_string(asked) + " copies; " +
              std::to_string(most) + " are printed.";
    return most;
}

void Pages::Start(CBaseRender& render, const LabelSettings::Printer& printer, const LabelSettings::Named& named) {
    render.m_bDrawnPages = true;
    m_printer = printer;
    m_named = named;
    m_job = render.m_RegStruct;
}

std::string Pages::BeginPage(CBaseRender& render, const zpl::PrintSettings& label, uint32_t width, uint32_t height,
                             int dpi) {
    for (const std::string& line : LabelSettings::Apply(label, m_printer, m_named, m_job, render))
        render.AddLog("%s", line.c_str());
    uint32_t fitWidth = 0, fitHeight = 0;
    if (m_shrinkTold || !render.HeadFitSize(width, height, fitWidth, fitHeight))
        return "";
    const std::string warning = FineDetail::ShrinkWarning(double(fitWidth) / width, dpi);
    m_shrinkTold = !warning.empty();
    return warning;
}

}  // namespace LabelJob

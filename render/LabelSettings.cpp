#include "render/LabelSettings.h"

#include <algorithm>
#include <cmath>

#include "render/MediaTracking.h"

namespace LabelSettings {

namespace {

// ZPL's darkness 0..30 spread over the printer's levels, and back.
int ToPrinter(int darkness, const Span& span) {
    return span.low + int(std::lround(double(darkness) * (span.high - span.low) / kZplDarkest));
}
int ToZpl(int level, const Span& span) {
    if (span.high == span.low)
        return kZplDarkest / 2;
    return int(std::lround(double(level - span.low) * kZplDarkest / (span.high - span.low)));
}

// ^MN's tracking as the media tracking choice: N continuous, Y gaps, W gaps
// found by the web sensor, M a black mark. A (detect it) decides nothing.
const char* TrackingChoice(char tracking) {
    switch (tracking) {
        case 'N':
            return "Continuous";
        case 'Y':
        case 'W':
            return "Gap";
        case 'M':
            return "BLine";
        default:
            return nullptr;
    }
}

// ^MM's modes as a label printer's post-print action (1 tear off, 2 cut, 3
// peel off) and a receipt cutter's mode (0 none, 1 once the job ends, 3
// after every page); 0 and -1: the mode has none. Rewind and applicator
// modes change nothing.
struct Mode {
    char letter;
    int postPrint, cutMode;
};
const Mode kModes[] = {
    {'T', 1, 0},   // tear off
    {'C', 2, 3},   // cut each label
    {'D', 2, 1},   // delayed cut: after the last label
    {'K', 2, 3},   // kiosk: cut each
    {'P', 3, -1},  // peel off
};

}  // namespace

std::vector<std::string> Apply(const zpl::PrintSettings& label, const Printer& printer, const Named& named,
                               const tagREGSTRUCT& job, CBaseRender& render) {
    tagREGSTRUCT& reg = render.m_RegStruct;
    reg = job;
    std::vector<std::string> log;
    if (!named.darkness && printer.darkness.Has() && (label.darkness || label.darknessChange)) {
        const int base = label.darkness      ? *label.darkness
                         : job.iDensity >= 0 ? ToZpl(job.iDensity, printer.darkness)
                                             : kZplDarkest / 2;
        const int darkness = std::clamp(base + label.darknessChange.value_or(0), 0, kZplDarkest);
        reg.iDensity = ToPrinter(darkness, printer.darkness);
        log.push_back("label darkness " + std::to_string(darkness) + " of " + std::to_string(kZplDarkest) +
                      ": density " + std::to_string(reg.iDensity));
    }
    if (!named.speed && printer.speed.Has() && label.speed) {
        reg.iSpeed = std::clamp(*label.speed, printer.speed.low, printer.speed.high);
        log.push_back("label speed " + std::to_string(*label.speed) + " in/s: speed " + std::to_string(reg.iSpeed));
    }
    const char* tracking = label.tracking ? TrackingChoice(*label.tracking) : nullptr;
    const MediaTracking::Row* row = tracking ? MediaTracking::Find(tracking) : nullptr;
    if (!named.tracking && row &&
        std::find(printer.tracking.begin(), printer.tracking.end(), tracking) != printer.tracking.end()) {
        MediaTracking::Apply(reg, *row);
        log.push_back(std::string("label media tracking ") + tracking);
    }
    const Mode* mode = nullptr;
    for (const Mode& m : kModes)
        if (label.mode && *label.mode == m.letter)
            mode = &m;
    if (mode && !named.postPrint && printer.postPrint && mode->postPrint > 0) {
        reg.iPostPrintAction = mode->postPrint;
        log.push_back("label mode " + std::string(1, mode->letter) + ": post-print " + std::to_string(mode->postPrint));
    }
    if (mode && !named.cutMode && printer.cutMode && mode->cutMode >= 0) {
        reg.iCutMode = mode->cutMode;
        log.push_back("label mode " + std::string(1, mode->letter) + ": cut mode " + std::to_string(mode->cutMode));
    }
    const bool transfer = label.mediaType == 'T';
    if (!named.method && (label.mediaType == 'D' || (transfer && printer.transfer))) {
        reg.iPrinttype = transfer ? 1 : 0;
        log.push_back(transfer ? "label print method: thermal transfer" : "label print method: direct thermal");
    }
    return log;
}

}  // namespace LabelSettings

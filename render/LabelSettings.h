#pragma once

#include <string>
#include <vector>

#include "render/CBaseRender.h"
#include "zpl/ZplPrintSettings.h"

// What a ZPL label asks of the printer (~SD and ^MD darkness, ^PR speed, ^MN
// media tracking, ^MM what follows printing, ^MT the print method), turned
// into a job's settings the same way in both hosts: each lands where the
// printer has the setting, in the printer's own range, unless the job
// names that setting itself. A host says what its printer has: the filter
// from the PPD's choices, the printer application from its driver.
namespace LabelSettings {

// The values a numeric setting takes; none when high < low.
struct Span {
    int low = 0, high = -1;
    bool Has() const { return high >= low; }
};

struct Printer {
    Span darkness;  // iDensity's levels
    Span speed;     // iSpeed, inches per second
    // The tracking choices it has (render/MediaTracking: "Continuous",
    // "Gap", "BLine", ...).
    std::vector<std::string> tracking;
    bool postPrint = false;  // tear off, cut or peel after printing (the "post-print" setting)
    bool cutMode = false;    // a receipt printer's cutter (the "cut-mode" setting)
    bool transfer = false;   // thermal transfer as well as direct thermal (iPrinttype)
};

// The settings the job names itself, which a label leaves alone.
struct Named {
    bool darkness = false, speed = false, tracking = false, postPrint = false, cutMode = false, method = false;
};

// ZPL's darkness scale, ~SD's 0 to 30.
constexpr int kZplDarkest = 30;

// Sets the renderer's settings record to the job's (`job`) with what
// `label` asks applied; returns a line for the log for each change. ^MD is
// relative to the printer's darkness, which no host knows: the job's
// darkness stands for it where it has one, else the middle of ZPL's scale.
std::vector<std::string> Apply(const zpl::PrintSettings& label, const Printer& printer, const Named& named,
                               const tagREGSTRUCT& job, CBaseRender& render);

}  // namespace LabelSettings

#include <gtest/gtest.h>

#include <tuple>

#include "render/LabelSettings.h"
#include "zpl/ZplInterpreter.h"

namespace {

using LabelSettings::Named;
using LabelSettings::Printer;

// The settings the label `zpl` asks for, as the interpreter reads them.
zpl::PrintSettings Asked(const std::string& zpl) {
    zpl::PrintSettings settings;
    zpl::ZplInterpreter interpreter(zpl::InterpreterOptions(), nullptr);
    const auto keep = [&](zpl::Label& label) {
        settings = label.settings;
        return true;
    };
    const std::string label = "^XA" + zpl + "^XZ";
    interpreter.Feed(label.data(), label.size(), keep);
    interpreter.Finish(keep);
    return settings;
}

// The fields a label may change.
auto Fields(const tagREGSTRUCT& r) {
    return std::make_tuple(r.iDensity, r.iSpeed, r.iMediaType, r.iMarkLength, r.iPostPrintAction, r.iCutMode,
                           r.iPrinttype);
}

// A TSPL label printer, a receipt printer with a cutter, a pocket printer,
// as their PPDs have them.
Printer Tspl() {
    Printer p;
    p.darkness = {1, 15};
    p.speed = {2, 8};
    p.tracking = {"Continuous", "Gap", "BLine"};
    p.postPrint = p.transfer = true;
    return p;
}
Printer Receipt() {
    Printer p;
    p.tracking = {"Roll"};
    p.cutMode = true;
    return p;
}
Printer Pocket() {
    Printer p;
    p.darkness = {0, 5};
    p.tracking = {"Continuous", "Gap", "BLine", "Perforated"};
    return p;
}

struct Case {
    const char* name;
    Printer (*printer)();
    const char* zpl;
    Named named;
    int jobDensity;                 // the job's darkness; -1 the printer's own
    void (*expect)(tagREGSTRUCT&);  // the job's record as the label leaves it
};

Named Darkness() {
    Named n;
    n.darkness = true;
    return n;
}
Named AllNamed() {
    Named n;
    n.darkness = n.speed = n.tracking = n.postPrint = n.cutMode = n.method = true;
    return n;
}

const Case kCases[] = {
    {"RelativeDarknessFromTheMiddle", Tspl, "^MD10", {}, -1, [](tagREGSTRUCT& r) { r.iDensity = 13; }},
    {"RelativeDarknessFromTheJobs", Tspl, "^MD-6", {}, 8, [](tagREGSTRUCT& r) { r.iDensity = 5; }},
    {"AbsoluteDarknessSpreadOverTheLevels", Tspl, "~SD30", {}, 3, [](tagREGSTRUCT& r) { r.iDensity = 15; }},
    {"RelativeOnAbsolute", Tspl, "~SD0^MD6", {}, -1, [](tagREGSTRUCT& r) { r.iDensity = 4; }},
    {"DarknessClampsToTheScale", Tspl, "~SD28^MD30", {}, -1, [](tagREGSTRUCT& r) { r.iDensity = 15; }},
    {"PocketLevels", Pocket, "~SD12", {}, -1, [](tagREGSTRUCT& r) { r.iDensity = 2; }},
    {"JobsDarknessWins", Tspl, "~SD30^PR3", Darkness(), 4, [](tagREGSTRUCT& r) { r.iSpeed = 3; }},
    {"SpeedInTheRange", Tspl, "^PR12", {}, -1, [](tagREGSTRUCT& r) { r.iSpeed = 8; }},
    {"NoDarknessOrSpeedWithout", Receipt, "^MD10^PR4", {}, -1, [](tagREGSTRUCT&) {}},
    {"ContinuousMedia", Tspl, "^MNN", {}, -1, [](tagREGSTRUCT& r) { r.iMediaType = 0, r.iMarkLength = 0; }},
    {"BlackMark", Pocket, "^MNM", {}, -1, [](tagREGSTRUCT& r) { r.iMediaType = 2, r.iMarkLength = 0; }},
    {"WebSensingIsGaps", Tspl, "^MNW", {}, -1, [](tagREGSTRUCT& r) { r.iMediaType = 1, r.iMarkLength = 3; }},
    {"AutoTrackingDecidesNothing", Tspl, "^MNA", {}, -1, [](tagREGSTRUCT&) {}},
    {"NoGapsOnAReceiptRoll", Receipt, "^MNY", {}, -1, [](tagREGSTRUCT&) {}},
    {"CutOnALabelPrinter", Tspl, "^MMC", {}, -1, [](tagREGSTRUCT& r) { r.iPostPrintAction = 2; }},
    {"PeelOnALabelPrinter", Tspl, "^MMP", {}, -1, [](tagREGSTRUCT& r) { r.iPostPrintAction = 3; }},
    {"CutAfterEveryReceipt", Receipt, "^MMC", {}, -1, [](tagREGSTRUCT& r) { r.iCutMode = 3; }},
    {"TearOffLeavesAReceiptUncut", Receipt, "^MMT", {}, -1, [](tagREGSTRUCT& r) { r.iCutMode = 0; }},
    {"NoPeelerOnAReceiptPrinter", Receipt, "^MMP", {}, -1, [](tagREGSTRUCT&) {}},
    {"RewindChangesNothing", Tspl, "^MMR", {}, -1, [](tagREGSTRUCT&) {}},
    {"RibbonWhereThereIsOne", Tspl, "^MTT", {}, -1, [](tagREGSTRUCT& r) { r.iPrinttype = 1; }},
    {"NoRibbonWithout", Pocket, "^MTT", {}, -1, [](tagREGSTRUCT&) {}},
    {"TheJobNamesThemAll", Tspl, "~SD30^PR4^MNN^MMC^MTT", AllNamed(), 4, [](tagREGSTRUCT&) {}},
};

class LabelSettingsTest : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(LabelSettingsTest, LandInThePrintersOwnRangeBelowTheJob) {
    const Case& c = GetParam();
    tagREGSTRUCT job;
    job.iDensity = c.jobDensity;
    job.iSpeed = -1;
    job.iMediaType = 4;  // a roll, which no label asks for
    job.iMarkLength = 0;
    job.iCutMode = 1;
    job.iPrinttype = 0;
    tagREGSTRUCT expected = job;
    c.expect(expected);
    CBaseRender render;
    render.m_RegStruct.iScale = 50;  // replaced by the job's record
    const std::vector<std::string> log = LabelSettings::Apply(Asked(c.zpl), c.printer(), c.named, job, render);
    EXPECT_EQ(Fields(render.m_RegStruct), Fields(expected));
    EXPECT_EQ(render.m_RegStruct.iScale, 100);
    // One line for each setting the label changed.
    EXPECT_EQ(log.empty(), Fields(expected) == Fields(job)) << (log.empty() ? "" : log[0]);
}

INSTANTIATE_TEST_SUITE_P(LabelSettings, LabelSettingsTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

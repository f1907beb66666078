#include "families/NamedSettings.h"

#include <algorithm>
#include <type_traits>

#include "families/Families.h"
#include "render/StatusProtocol.h"

namespace NamedSettings {

namespace {

using DriverTable::Driver;

// The field `Member` of the record `Record` of a renderer.
template <auto Record, auto Member>
constexpr Field FieldOf() {
    return {[](CBaseRender& render, int value) {
                auto& field = (render.*Record).*Member;
                field = static_cast<std::remove_reference_t<decltype(field)>>(value);
            },
            [](const CBaseRender& render) { return static_cast<int>((render.*Record).*Member); }};
}
template <auto Member>
constexpr Field Reg() {
    return FieldOf<&CBaseRender::m_RegStruct, Member>();
}
template <auto Member>
constexpr Field Tone() {
    return FieldOf<&CBaseRender::m_HalfTone, Member>();
}
template <auto Member>
constexpr Field Ext() {
    return FieldOf<&CBaseRender::m_Extension, Member>();
}

// Halftoning: the PPDs' "ImageFilter" choice n is iGrayMethod n (0
// threshold, n > 0 dithering method n - 1); -1 is the edge-keeping method,
// which leaves iGrayMethod as it is.
void SetHalftone(CBaseRender& render, int value) {
    render.m_Extension.bEdgeKeeping = value < 0;
    if (value >= 0)
        render.m_HalfTone.iGrayMethod = value;
}
int GetHalftone(const CBaseRender& render) {
    return render.m_Extension.bEdgeKeeping ? -1 : render.m_HalfTone.iGrayMethod;
}
constexpr Field Halftone() { return {SetHalftone, GetHalftone}; }

// The halftoning methods, in the order of the PPDs' "ImageFilter" choices.
const Choice kMethods[] = {
    {"edge-keeping", "EdgeKeeping", -1},
    {"threshold", "0", 0},
    {"floyd-steinberg", "1", 1},
    {"ordered-4x4", "2", 2},
    {"burkes", "3", 3},
    {"stucki", "4", 4},
    {"jarvis-judice-ninke", "5", 5},
    {"sierra", "6", 6},
    {"stevenson-arce", "7", 7},
    {"bayer-4x4", "8", 8},
    {"bayer-8x8", "9", 9},
    {"ordered-16x16", "10", 10},
};
const Choice kCutModes[] = {
    {"none", "0", 0}, {"job-full", "1", 1}, {"job-partial", "2", 2}, {"page-full", "3", 3}, {"page-partial", "4", 4},
};
const Choice kCashDrawer[] = {{"closed", "0", 0}, {"before", "1", 1}, {"after", "2", 2}};
// A receipt as long as its content (white above and below trimmed) or as
// the page.
const Choice kReceiptLengths[] = {{"page", "False", 0}, {"content", "True", 1}};
// What ZPL documents were written for: carriers write them for 203 dpi
// printers; "native" takes them as written for the printer's own dots.
const Choice kZplResolutions[] = {{"203dpi", "203dpi", 203}, {"native", "Native", 0}};
// The PPDs' "Rotate" choices, in their order: iRotate 2 is 90 degrees, 1 is 180.
const Choice kRotations[] = {{"none", "0", 0}, {"rotate-90", "2", 2}, {"rotate-180", "1", 1}, {"rotate-270", "3", 3}};

// The driver's halftoning method.
int Method(const Driver& d) {
    for (const Choice& choice : kMethods)
        if (std::string(d.halftone) == choice.keyword)
            return choice.value;
    return kMethods[0].value;  // a driver table test keeps this from happening
}

bool Always(const Driver&) { return true; }
// Quirk attributes: added by hand to the PPD of a printer that needs them.
bool Never(const Driver&) { return false; }
bool Cutter(const Driver& d) { return d.cutter; }
bool Roll(const Driver& d) { return d.stock == DriverTable::Stock::Roll; }
bool HasEndFeed(const Driver& d) { return d.endFeed >= 0; }
bool HasPreFeed(const Driver& d) { return d.preFeed >= 0; }
bool HasPostPrint(const Driver& d) { return d.postPrint >= 0; }
// The families whose printers answer status queries.
bool Answers(const Driver& d) {
    const Families::Info* family = Families::Find(d.modelNumber);
    return family && StatusProtocol::ForLanguage(family->language);
}
// The families whose language counts the copies of a page.
bool CountsCopies(const Driver& d) {
    const Families::Info* family = Families::Find(d.modelNumber);
    return family && family->copyCount;
}
bool IsQl(const Driver& d) { return DriverTable::QlModelOf(d) != nullptr; }
int On(const Driver&) { return 1; }
int EndFeed(const Driver& d) { return d.endFeed; }
int PreFeed(const Driver& d) { return d.preFeed; }
int PostPrint(const Driver& d) { return d.postPrint; }
int HeadDots(const Driver& d) { return d.headDots; }
// Asked of every driver (a test compares what the others' PPDs lack).
int Invalidate(const Driver& d) {
    const DriverTable::QlModel* ql = DriverTable::QlModelOf(d);
    return ql ? ql->invalidate : 0;
}
int NoModeCommand(const Driver& d) {
    const DriverTable::QlModel* ql = DriverTable::QlModelOf(d);
    return ql && !ql->modeCommand;
}
int PackBits(const Driver& d) {
    const DriverTable::QlModel* ql = DriverTable::QlModelOf(d);
    return ql && ql->packBits;
}

using P = Ppd;
using R = tagREGSTRUCT;
using T = tagREGSTRUCTWITHALFTONE;
using E = tagEXTENSIONSTRUCT;
const bool kSwitch = true;

const Setting kSettings[] = {
    {"cut-mode", {"qvCutMode"}, {"cut-mode"}, Reg<&R::iCutMode>(), {0, 4}, kCutModes, {Cutter, On}},
    {"cash-drawer", {"qvCashDrawer"}, {"cash-drawer"}, Reg<&R::iMoneyBox>(), {0, 2}, kCashDrawer, {Cutter}},
    {"post-print", {"qvPostPrint"}, {}, Reg<&R::iPostPrintAction>(), {0, 4}, {}, {HasPostPrint, PostPrint}},
    {"pre-feed", {"qvPreFeed"}, {}, Reg<&R::iPreFeed>(), {0, 1000}, {}, {HasPreFeed, PreFeed}},
    // mm fed past the cutter at the end of the job: up to 10 cm.
    {"end-feed", {"qvEndFeed"}, {"end-feed"}, Ext<&E::iEndFeed>(), {0, 100}, {}, {HasEndFeed, EndFeed}},
    {"scale", {"qvScale"}, {}, Reg<&R::iScale>(), {10, 400}, {}, {Always}},
    {"brightness", {"qvBrightness"}, {}, Tone<&T::iLiangdu>(), {-255, 255}, {}, {Always}},
    {"mirror", {"qvMirror"}, {}, Reg<&R::bMirror>(), {0, 1, kSwitch}, {}, {Always}},
    {"negative", {"qvNegative"}, {}, Reg<&R::bNegative>(), {0, 1, kSwitch}, {}, {Always}},
    {"trim-roll",
     {"qvTrimRoll"},
     {"receipt-length"},
     Ext<&E::bTrimRoll>(),
     {0, 1, kSwitch},
     kReceiptLengths,
     {Roll, On}},
    {"rotation", {"Rotate", P::Shared}, {"rotation"}, Reg<&R::iRotate>(), {0, 3}, kRotations, {Always}},
    {"halftoning",
     {"ImageFilter", P::Shared},
     {"halftoning", "auto"},
     Halftone(),
     {-1, 10},
     kMethods,
     {Always, Method}},
    {"head-dots", {"qvHeadDots", P::Attribute}, {}, Ext<&E::iHeadDots>(), {0, 65535 * 8}, {}, {Always, HeadDots}},
    {"max-raster-rows", {"qvMaxRasterRows", P::Attribute}, {}, Ext<&E::iMaxRasterRows>(), {0, 65535}, {}, {Never}},
    {"no-setc", {"qvNoSetc", P::Attribute}, {}, Ext<&E::bNoSetc>(), {0, 1, kSwitch}, {}, {Never}},
    // The filter's; the printer application always asks.
    {"status-check", {"qvStatusCheck"}, {}, Ext<&E::bStatusCheck>(), {0, 1, kSwitch}, {}, {Answers, On}},
    // The filter's: the printer makes the copies CUPS asks for.
    {"printer-copies",
     {"qvPrinterCopies", P::Attribute},
     {},
     Ext<&E::bPrinterCopies>(),
     {0, 1, kSwitch},
     {},
     {CountsCopies, On}},
    // The ZPL filter's: labels keep their size on heads of other resolutions.
    {"zpl-resolution",
     {"qvZplResolution"},
     {"zpl-resolution"},
     Ext<&E::iZplDpi>(),
     {0, 600},
     kZplResolutions,
     {Always}},
    // What tells the Brother QL models apart, from their driver rows: the
    // invalidate run, ESC i a refused, PackBits rows taken.
    {"invalidate", {"qvInvalidate", P::Attribute}, {}, Ext<&E::iInvalidate>(), {0, 1000}, {}, {IsQl, Invalidate}},
    {"no-mode-command",
     {"qvNoModeCommand", P::Attribute},
     {},
     Ext<&E::bNoModeCommand>(),
     {0, 1, kSwitch},
     {},
     {IsQl, NoModeCommand}},
    {"pack-bits", {"qvPackBits", P::Attribute}, {}, Tone<&T::ImageCompress>(), {0, 1, kSwitch}, {}, {IsQl, PackBits}},
    // The copies the language's own count makes of each page, as the host
    // decides from the job (no PPD keyword or IPP attribute of its own);
    // up to CUPS's default MaxCopies, above PAPPL's 999.
    {"copies", {}, {}, Ext<&E::iCopies>(), {1, 9999}, {}, {CountsCopies}},
};

}  // namespace

List<Setting> All() { return kSettings; }

const Setting* Find(const std::string& name) {
    for (const Setting& setting : kSettings)
        if (name == setting.name)
            return &setting;
    return nullptr;
}

int Apply(CBaseRender& render, const Setting& setting, int value) {
    const Range& range = setting.range;
    setting.field.set(render, range.isSwitch ? value != 0 : std::clamp(value, range.low, range.high));
    return setting.field.get(render);
}

bool Apply(CBaseRender& render, const std::string& name, int value, int* applied) {
    const Setting* setting = Find(name);
    if (!setting)
        return false;
    const int stored = Apply(render, *setting, value);
    if (applied)
        *applied = stored;
    return true;
}

bool ApplyKeyword(CBaseRender& render, const std::string& name, const std::string& keyword) {
    const Setting* setting = Find(name);
    const Choice* choice = setting ? ChoiceByKeyword(*setting, keyword) : nullptr;
    if (!choice)
        return false;
    Apply(render, *setting, choice->value);
    return true;
}

namespace {

template <class Match>
const Choice* FindChoice(const Setting& setting, Match match) {
    const auto it = std::find_if(setting.choices.begin(), setting.choices.end(), match);
    return it == setting.choices.end() ? nullptr : it;
}

}  // namespace

const Choice* ChoiceByKeyword(const Setting& setting, const std::string& keyword) {
    return FindChoice(setting, [&](const Choice& c) { return keyword == c.keyword; });
}

const Choice* ChoiceByPpd(const Setting& setting, const std::string& ppdChoice) {
    return FindChoice(setting, [&](const Choice& c) { return ppdChoice == c.ppdChoice; });
}

const Choice* ChoiceByValue(const Setting& setting, int value) {
    return FindChoice(setting, [&](const Choice& c) { return value == c.value; });
}

int DefaultFor(const Setting& setting, const DriverTable::Driver& driver) {
    if (setting.drivers.byDefault)
        return setting.drivers.byDefault(driver);
    const CBaseRender fresh;
    return setting.field.get(fresh);
}

}  // namespace NamedSettings

#pragma once

#include <string>
#include <tuple>
#include <vector>

#include "preview/CBrotherDecoder.h"
#include "preview/CCpclDecoder.h"
#include "preview/CDymoDecoder.h"
#include "preview/CEpl2Decoder.h"
#include "preview/CEscposDecoder.h"
#include "preview/CSolvaneDecoder.h"
#include "preview/CTavrinDecoder.h"
#include "preview/CTsplDecoder.h"
#include "preview/CZplDecoder.h"
#include "printers/CPrinterBrother.h"
#include "printers/CPrinterCPCL.h"
#include "printers/CPrinterDymo.h"
#include "printers/CPrinterEPL2.h"
#include "printers/CPrinterESCPOS.h"
#include "printers/CPrinterSolvane.h"
#include "printers/CPrinterTSPL.h"
#include "printers/CPrinterTavrin.h"
#include "printers/CPrinterZPL.h"

// The printer families: for each, the model number its PPDs carry, the
// renderer class that speaks its language, and the preview's decoder of
// that language. Both hosts, the preview, the fuzzers and the tests take the
// families from this one table; the drivers of a family (its PPDs, heads and
// media) are rows of DriverTable. Header only: each user instantiates what
// it needs (the hosts the renderers, the preview the decoders), so the
// filter links no decoder and the preview no renderer.
namespace Families {

struct Info {
    int modelNumber;          // the PPDs' *cupsModelNumber
    const char* language;     // the preview's --lang name
    const char* personality;  // the PPDs' "Personality"
    // The language prints copies of a page from one image (the renderer's
    // kCopyCount): a host sends a page once for all its copies.
    bool copyCount;
    // A page's bytes, sent again, print it again (the renderer's
    // kPagesReplay); otherwise a host draws each copy again.
    bool replayPages;
};

template <class Printer, class Decoder>
struct Family : Info {
    using PrinterClass = Printer;
    using DecoderClass = Decoder;
};

template <class Printer, class Decoder>
constexpr Family<Printer, Decoder> Row(int modelNumber, const char* personality) {
    return {{modelNumber, Decoder::kLanguage, personality, Printer::kCopyCount, Printer::kPagesReplay}};
}

// In model-number order.
inline const std::tuple kTable{
    Row<CPrinterTSPL, CTsplDecoder>(20, "TSPL"),
    Row<CPrinterESCPOS, CEscposDecoder>(21, "ESC/POS"),
    Row<CPrinterCPCL, CCpclDecoder>(22, "CPCL"),
    Row<CPrinterTavrin, CTavrinDecoder>(23, "Tavrin"),
    Row<CPrinterSolvane, CSolvaneDecoder>(24, "Solvane"),
    Row<CPrinterZPL, CZplDecoder>(30, "ZPL"),
    Row<CPrinterEPL2, CEpl2Decoder>(31, "EPL2"),
    Row<CPrinterDymo, CDymoDecoder>(32, "DYMO"),
    Row<CPrinterBrother, CBrotherDecoder>(33, "Brother QL"),
};

// Calls `visit(family)` for every family, in the table's order; a family's
// classes are its type's PrinterClass and DecoderClass.
template <class Visit>
void ForEach(Visit&& visit) {
    std::apply([&](const auto&... family) { (visit(family), ...); }, kTable);
}

inline const std::vector<Info>& All() {
    static const std::vector<Info> all = [] {
        std::vector<Info> infos;
        ForEach([&](const Info& family) { infos.push_back(family); });
        return infos;
    }();
    return all;
}

// The family with `modelNumber`, or null.
inline const Info* Find(int modelNumber) {
    for (const Info& family : All())
        if (family.modelNumber == modelNumber)
            return &family;
    return nullptr;
}

// The family whose preview language is `language`, or null.
inline const Info* FindLanguage(const std::string& language) {
    for (const Info& family : All())
        if (language == family.language)
            return &family;
    return nullptr;
}

// A new renderer of the family with `modelNumber`, made complete by the
// host's template: Host<PrinterClass>(args...), reference count 1. Null for
// a model number no family has.
template <template <class> class Host, class... Args>
CBaseRender* CreateRenderer(int modelNumber, Args&... args) {
    CBaseRender* render = nullptr;
    ForEach([&](const auto& family) {
        using Printer = typename std::decay_t<decltype(family)>::PrinterClass;
        if (!render && family.modelNumber == modelNumber)
            render = new Host<Printer>(args...);
    });
    return render;
}

}  // namespace Families

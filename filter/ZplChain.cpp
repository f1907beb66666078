#include "filter/ZplChain.h"

#include <cups/cups.h>
#include <cups/ppd.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "families/NamedSettings.h"
#include "filter/CCupsInstance.h"
#include "filter/CCupsRender.h"
#include "filter/CupsLang.h"
#include "filter/RasterizerChain.h"
#include "render/FineDetail.h"
#include "render/LabelSettings.h"
#include "render/PagePath.h"
#include "zpl/ZplInterpreter.h"

namespace ZplChain {

namespace {

// The page header's cupsInteger slots of a label's settings. Each holds
// the value plus an offset that makes every value said at least 1.
enum Slot { kDarkness, kDarknessChange, kSpeed, kTracking, kMode, kMediaType };
const int kChangeOffset = LabelSettings::kZplDarkest + 1;

// The PPD options a label's settings meet: the eighteen's, and the shared
// table's for what follows printing.
const char* const kDarknessOption = "Darkness";
const char* const kSpeedOption = "zePrintRate";
const char* const kTrackingOption = "zeMediaTracking";
const char* const kMethodOption = "MediaMethod";
const char* SharedKeyword(const char* setting) { return NamedSettings::Find(setting)->ppd.keyword; }

// Status lines carry no line breaks or other control bytes of the document:
// a line of its own would reach CUPS as a command ("PPD:", "ATTR:").
std::string Clean(const std::string& text) {
    std::string clean = text;
    for (char& c : clean)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return clean;
}

// The numbers among the option's choices, lowest to highest; none without
// the option or numbers.
LabelSettings::Span NumberChoices(ppd_file_t* ppd, const char* keyword) {
    LabelSettings::Span span;
    ppd_option_t* option = ppdFindOption(ppd, keyword);
    for (int i = 0; option && i < option->num_choices; i++) {
        const char* choice = option->choices[i].choice;
        if (!std::isdigit(static_cast<unsigned char>(choice[choice[0] == '-'])))
            continue;
        const int value = std::atoi(choice);
        span.low = span.Has() ? std::min(span.low, value) : value;
        span.high = span.Has() ? std::max(span.high, value) : value;
    }
    return span;
}

LabelSettings::Printer PrinterOf(ppd_file_t* ppd) {
    LabelSettings::Printer printer;
    printer.darkness = NumberChoices(ppd, kDarknessOption);
    printer.speed = NumberChoices(ppd, kSpeedOption);
    if (ppd_option_t* tracking = ppdFindOption(ppd, kTrackingOption))
        for (int i = 0; i < tracking->num_choices; i++)
            printer.tracking.push_back(tracking->choices[i].choice);
    printer.postPrint = ppdFindOption(ppd, SharedKeyword("post-print")) != nullptr;
    printer.cutMode = ppdFindOption(ppd, SharedKeyword("cut-mode")) != nullptr;
    printer.transfer = ppdFindChoice(ppdFindOption(ppd, kMethodOption), "Transfer") != nullptr;
    return printer;
}

LabelSettings::Named NamedBy(int numOptions, cups_option_t* options) {
    const auto names = [&](const char* keyword) { return cupsGetOption(keyword, numOptions, options) != nullptr; };
    LabelSettings::Named named;
    named.darkness = names(kDarknessOption);
    named.speed = names(kSpeedOption);
    named.tracking = names(kTrackingOption);
    named.postPrint = names(SharedKeyword("post-print"));
    named.cutMode = names(SharedKeyword("cut-mode"));
    named.method = names(kMethodOption);
    return named;
}

// The page of a label drawn on `media`'s page setup: one-bit, 1 white (as
// the filter reads gray), the label's own size.
cups_page_header2_t LabelPage(const cups_page_header2_t& media, const zpl::Label& label, unsigned copies) {
    cups_page_header2_t h = media;
    const unsigned width = unsigned(label.page.Width()), height = unsigned(label.page.Height());
    const double dpi = media.HWResolution[0];
    h.cupsWidth = width;
    h.cupsHeight = height;
    h.cupsBitsPerColor = 1;
    h.cupsBitsPerPixel = 1;
    h.cupsBytesPerLine = (width + 7) / 8;
    h.cupsColorOrder = CUPS_ORDER_CHUNKED;
    h.cupsColorSpace = CUPS_CSPACE_W;
    h.cupsCompression = 0;
    h.cupsNumColors = 1;
    // The label's size, which the printer is told: within a dot of the
    // raster, so that it is not placed on a larger page.
    h.cupsPageSize[0] = float(width * 72.0 / dpi);
    h.cupsPageSize[1] = float(height * 72.0 / dpi);
    for (int i = 0; i < 2; i++) {
        h.PageSize[i] = unsigned(std::lround(h.cupsPageSize[i]));
        h.Margins[i] = 0;
        h.ImagingBoundingBox[i] = 0;
        h.ImagingBoundingBox[i + 2] = h.PageSize[i];
        h.cupsImagingBBox[i] = 0;
        h.cupsImagingBBox[i + 2] = h.cupsPageSize[i];
    }
    h.NumCopies = copies;
    PutSettings(label.settings, h);
    return h;
}

// The child's work: the document's labels drawn and written to standard
// output as CUPS raster.
int Rasterize(int, char** argv, const std::string& path) {
    // The filter reports a PPD it cannot read.
    // The process ends with this function: what it opens goes with it.
    const char* ppdName = getenv("PPD");
    ppd_file_t* ppd = ppdName ? ppdOpenFile(ppdName) : nullptr;
    const int document = open(path.c_str(), O_RDONLY);
    if (!ppd || document < 0)
        return 1;
    cups_option_t* options = nullptr;
    const int numOptions = cupsParseOptions(argv[5], 0, &options);
    ppdMarkDefaults(ppd);
    cupsMarkOptions(ppd, numOptions, options);
    cups_page_header2_t media;
    if (cupsRasterInterpretPPD(&media, ppd, numOptions, options, nullptr) != 0 || media.HWResolution[0] == 0 ||
        media.HWResolution[0] > PagePath::kMaxResolution) {
        _cupsLangPrintFilter(stderr, "ERROR", "The PPD gives no page setup for ZPL labels.");
        return 1;
    }
    // Square dots: the labels are drawn at the head's resolution across.
    media.HWResolution[1] = media.HWResolution[0];
    // The job's resolution setting, read as the filter reads it.
    CBaseRender settings;
    settings.SetPpd(ppd);
    CupsHost::GetExtensionParameters(settings);
    zpl::InterpreterOptions drawing;
    drawing.dpi = int(media.HWResolution[0]);
    drawing.sourceDpi = settings.m_Extension.iZplDpi > 0 ? settings.m_Extension.iZplDpi : drawing.dpi;
    drawing.fallbackWidth = int(media.cupsWidth);
    drawing.fallbackHeight = int(media.cupsHeight);
    fprintf(stderr, "DEBUG: ZPL written for %d dpi drawn at %d dpi; %u x %u dots where a label gives no size\n",
            drawing.sourceDpi, drawing.dpi, media.cupsWidth, media.cupsHeight);
    ppdClose(ppd);

    const int jobCopies = std::max(1, std::atoi(argv[4]));
    const int mostCopies = NamedSettings::Find("copies")->range.high;
    cups_raster_t* raster = cupsRasterOpen(1, CUPS_RASTER_WRITE);
    int labels = 0;
    bool failed = !raster;
    std::vector<unsigned char> row;
    const auto print = [&](zpl::Label& label) {
        for (const std::string& problem : label.problems)
            _cupsLangPrintFilter(stderr, "WARNING", "Label %d: %s", label.number, Clean(problem).c_str());
        const long long asked = static_cast<long long>(label.settings.copies) * jobCopies;
        if (asked > mostCopies)
            _cupsLangPrintFilter(stderr, "WARNING", "Label %d asks for %lld copies; %d are printed.", label.number,
                                 asked, mostCopies);
        const zpl::ZplBitmap& page = label.page;
        if (page.Width() <= 0 || page.Height() <= 0)
            return true;
        cups_page_header2_t header = LabelPage(media, label, unsigned(std::min<long long>(asked, mostCopies)));
        failed = failed || !cupsRasterWriteHeader2(raster, &header);
        row.resize(header.cupsBytesPerLine);
        for (int y = 0; !failed && y < page.Height(); y++) {
            // The label's 1 is black; the raster's 1 white.
            const unsigned char* dots = page.Row(y);
            for (size_t i = 0; i < row.size(); i++)
                row[i] = static_cast<unsigned char>(~dots[i]);
            failed = cupsRasterWritePixels(raster, row.data(), header.cupsBytesPerLine) == 0;
        }
        labels++;
        return !failed;
    };
    zpl::ZplInterpreter interpreter(drawing, [](const std::string& line) { fputs(StatusLine(line).c_str(), stderr); });
    std::vector<char> chunk(1 << 16);
    bool going = !failed;
    for (ssize_t n; going && (n = read(document, chunk.data(), chunk.size())) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        going = n > 0 && interpreter.Feed(chunk.data(), size_t(n), print);
    }
    if (going)
        interpreter.Finish(print);
    close(document);
    cupsRasterClose(raster);
    cupsFreeOptions(numOptions, options);
    if (labels == 0 && !failed) {
        _cupsLangPrintFilter(stderr, "ERROR", "The document has no ZPL label to print.");
        return 1;
    }
    return failed ? 1 : 0;
}

}  // namespace

void PutSettings(const zpl::PrintSettings& settings, cups_page_header2_t& header) {
    unsigned* slots = header.cupsInteger;
    std::fill(slots, slots + kMediaType + 1, 0u);
    if (settings.darkness)
        slots[kDarkness] = unsigned(*settings.darkness + 1);
    if (settings.darknessChange)
        slots[kDarknessChange] = unsigned(*settings.darknessChange + kChangeOffset);
    if (settings.speed)
        slots[kSpeed] = unsigned(*settings.speed);
    const std::pair<const std::optional<char>*, Slot> letters[] = {
        {&settings.tracking, kTracking}, {&settings.mode, kMode}, {&settings.mediaType, kMediaType}};
    for (const auto& [letter, slot] : letters)
        if (*letter)
            slots[slot] = static_cast<unsigned char>(**letter);
}

zpl::PrintSettings SettingsOf(const cups_page_header2_t& header) {
    const unsigned* slots = header.cupsInteger;
    zpl::PrintSettings settings;
    settings.copies = int(std::max(1u, header.NumCopies));
    // Read as sent: anything else is out of range and dropped.
    if (slots[kDarkness] >= 1 && slots[kDarkness] <= unsigned(LabelSettings::kZplDarkest) + 1)
        settings.darkness = int(slots[kDarkness]) - 1;
    if (slots[kDarknessChange] >= 1 && slots[kDarknessChange] < 2u * kChangeOffset)
        settings.darknessChange = int(slots[kDarknessChange]) - kChangeOffset;
    if (slots[kSpeed] >= 1 && slots[kSpeed] <= 100)
        settings.speed = int(slots[kSpeed]);
    const std::pair<std::optional<char>*, Slot> letters[] = {
        {&settings.tracking, kTracking}, {&settings.mode, kMode}, {&settings.mediaType, kMediaType}};
    for (const auto& [letter, slot] : letters)
        if (std::isalpha(static_cast<int>(std::min(slots[slot], 255u))))
            *letter = char(slots[slot]);
    return settings;
}

std::string StatusLine(const std::string& logLine) {
    std::string line = Clean(logLine);
    int number = 0, end = 0;
    const bool ofLabel = std::sscanf(line.c_str(), "label %d%n", &number, &end) == 1;
    const char* level = "WARNING";
    if (ofLabel && line.compare(size_t(end), 14, " is not drawn:") == 0)
        level = "ERROR";
    else if ((ofLabel && line.compare(size_t(end), 1, ":") == 0) || line.rfind("ZPL command ", 0) == 0)
        level = "DEBUG";
    if (!line.empty())
        line[0] = char(std::toupper(static_cast<unsigned char>(line[0])));
    return std::string(level) + ": " + line + "\n";
}

int Run(int argc, char** argv) {
    RasterizerChain::Chain chain;
    chain.name = "quorvant-zpl";
    chain.program = "quorvant-zpl";
    chain.kind = "ZPL";
    chain.rasterize = Rasterize;
    // What the job's own settings are and what its printer has, once the
    // filter has read its PPD; each page's label changes them.
    LabelSettings::Printer printer;
    LabelSettings::Named named;
    tagREGSTRUCT job;
    bool shrinkTold = false;
    chain.prepare = [&](CCupsInstance& instance) {
        instance.TakeCopiesFromPages();
        CCupsInstance::Hooks hooks;
        hooks.job = [&](CBaseRender& render, int numOptions, cups_option_t* options) {
            render.m_bDrawnPages = true;
            printer = PrinterOf(render.m_pPpd);
            named = NamedBy(numOptions, options);
            job = render.m_RegStruct;
        };
        hooks.page = [&](CBaseRender& render, const cups_page_header2_t& header) {
            for (const std::string& line : LabelSettings::Apply(SettingsOf(header), printer, named, job, render))
                render.AddLog("%s", line.c_str());
            // A label shrunk to a narrower head: once a job, as for a
            // shrunk document.
            uint32_t width = 0, height = 0;
            if (!shrinkTold && render.HeadFitSize(header.cupsWidth, header.cupsHeight, width, height)) {
                const std::string warning =
                    FineDetail::ShrinkWarning(double(width) / header.cupsWidth, int(header.HWResolution[0]));
                shrinkTold = !warning.empty();
                if (shrinkTold)
                    render.ReportWarning("%s", warning.c_str());
            }
        };
        instance.SetHooks(std::move(hooks));
    };
    return RasterizerChain::Run(argc, argv, chain);
}

}  // namespace ZplChain

#include "filter/ZplChain.h"

#include <cups/cups.h>
#include <cups/ppd.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "families/NamedSettings.h"
#include "filter/CCupsInstance.h"
#include "filter/CCupsRender.h"
#include "filter/CupsLang.h"
#include "filter/RasterizerChain.h"
#include "render/LabelJob.h"
#include "render/PagePath.h"
#include "zpl/ZplInterpreter.h"

namespace ZplChain {

namespace {

// The PPD options a label's settings meet: the eighteen's (CupsHost), and
// the shared table's for what follows printing.
using CupsHost::kDarknessKeyword;
using CupsHost::kMediaMethodKeyword;
using CupsHost::kSpeedKeyword;
using CupsHost::kTrackingKeyword;
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
    printer.darkness = NumberChoices(ppd, kDarknessKeyword);
    printer.speed = NumberChoices(ppd, kSpeedKeyword);
    if (ppd_option_t* tracking = ppdFindOption(ppd, kTrackingKeyword))
        for (int i = 0; i < tracking->num_choices; i++)
            printer.tracking.push_back(tracking->choices[i].choice);
    printer.postPrint = ppdFindOption(ppd, SharedKeyword("post-print")) != nullptr;
    printer.cutMode = ppdFindOption(ppd, SharedKeyword("cut-mode")) != nullptr;
    printer.transfer = ppdFindChoice(ppdFindOption(ppd, kMediaMethodKeyword), "Transfer") != nullptr;
    return printer;
}

LabelSettings::Named NamedBy(int numOptions, cups_option_t* options) {
    const auto names = [&](const char* keyword) { return cupsGetOption(keyword, numOptions, options) != nullptr; };
    LabelSettings::Named named;
    named.darkness = names(kDarknessKeyword);
    named.speed = names(kSpeedKeyword);
    named.tracking = names(kTrackingKeyword);
    named.postPrint = names(SharedKeyword("post-print"));
    named.cutMode = names(SharedKeyword("cut-mode"));
    named.method = names(kMediaMethodKeyword);
    return named;
}

// The page of a label drawn on `media`'s page setup: 1 white (as the
// filter reads gray).
cups_page_header2_t LabelPage(const cups_page_header2_t& media, const zpl::Label& label, unsigned copies) {
    cups_page_header2_t h = media;
    LabelJob::SetLabelPage(h, unsigned(label.page.Width()), unsigned(label.page.Height()));
    h.cupsColorSpace = CUPS_CSPACE_W;
    h.NumCopies = copies;
    LabelJob::PutSettings(label.settings, h);
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
    const zpl::InterpreterOptions drawing = LabelJob::Drawing(int(media.HWResolution[0]), settings.m_Extension.iZplDpi,
                                                              int(media.cupsWidth), int(media.cupsHeight));
    fprintf(stderr, "DEBUG: %s\n", LabelJob::Describe(drawing).c_str());
    ppdClose(ppd);

    const int jobCopies = std::max(1, std::atoi(argv[4]));
    const int mostCopies = NamedSettings::Find("copies")->range.high;
    cups_raster_t* raster = cupsRasterOpen(1, CUPS_RASTER_WRITE);
    int labels = 0;
    bool failed = !raster;
    std::vector<unsigned char> row;
    const auto print = [&](zpl::Label& label) {
        if (!zpl::PrintsALabel(label))
            return true;
        for (const std::string& problem : label.problems)
            _cupsLangPrintFilter(stderr, "WARNING", "Label %d: %s", label.number, Clean(problem).c_str());
        std::string warning;
        const int copies = LabelJob::Copies(label.number, label.settings.copies, jobCopies, mostCopies, warning);
        if (!warning.empty())
            _cupsLangPrintFilter(stderr, "WARNING", "%s", warning.c_str());
        const zpl::ZplBitmap& page = label.page;
        if (page.Width() <= 0 || page.Height() <= 0)
            return true;
        cups_page_header2_t header = LabelPage(media, label, unsigned(copies));
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
    LabelJob::Pages labels;
    chain.prepare = [&](CCupsInstance& instance) {
        instance.TakeCopiesFromPages();
        CCupsInstance::Hooks hooks;
        hooks.job = [&](CBaseRender& render, int numOptions, cups_option_t* options) {
            labels.Start(render, PrinterOf(render.m_pPpd), NamedBy(numOptions, options));
        };
        hooks.page = [&](CBaseRender& render, const cups_page_header2_t& header) {
            const std::string warning = labels.BeginPage(render, LabelJob::SettingsOf(header), header.cupsWidth,
                                                         header.cupsHeight, int(header.HWResolution[0]));
            if (!warning.empty())
                render.ReportWarning("%s", warning.c_str());
        };
        instance.SetHooks(std::move(hooks));
    };
    return RasterizerChain::Run(argc, argv, chain);
}

}  // namespace ZplChain

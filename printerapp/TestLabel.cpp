#include "printerapp/TestLabel.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "families/DriverTable.h"
#include "marks/BitmapFont.h"
#include "marks/Code128.h"
#include "marks/QrCode.h"

namespace TestLabel {

const char kRequest[] = "QUORVANT TEST LABEL\n";

namespace {

// The sizes of the drawing, in dots, derived from the resolution.
struct Metrics {
    explicit Metrics(int dpi) : dpi(dpi) {}
    int Mm(double mm) const { return static_cast<int>(std::lround(mm * dpi / 25.4)); }
    int dpi;
    int line = std::max(1, dpi / 100);   // frame thickness
    int scale = std::max(1, dpi / 100);  // font dot
    int tick = std::max(1, dpi / 200);   // ruler tick width
    int gap = Mm(2);
    int barModule = std::max(2, dpi / 100);
    int qrModule = std::max(2, dpi / 50);
};

// Millimetre ticks from the page's first dot, longer every 5 and 10 mm, the
// tens numbered beside their tick, along one edge inside the frame. Returns
// the depth the ruler takes from that edge.
int Ruler(CGrayCanvas& canvas, const Metrics& m, bool alongTop, int edge, int extent) {
    const int shortTick = m.Mm(1), midTick = m.Mm(2), longTick = m.Mm(3);
    for (int mm = 1;; mm++) {
        const int at = m.Mm(mm);
        if (at + m.tick > extent)
            break;
        const int length = mm % 10 == 0 ? longTick : mm % 5 == 0 ? midTick : shortTick;
        if (alongTop)
            canvas.FillRect(at, edge, m.tick, length);
        else
            canvas.FillRect(edge, at, length, m.tick);
        if (mm % 10 != 0)
            continue;
        const std::string number = std::to_string(mm);
        const int beside = at + m.tick + 1, below = edge + shortTick + 2;
        if (alongTop && beside + CGrayCanvas::TextWidth(m.scale, number.size()) <= extent)
            canvas.Text(beside, below, m.scale, number);
        else if (!alongTop && beside + CGrayCanvas::TextHeight(m.scale) <= extent)
            canvas.Text(below, beside, m.scale, number);
    }
    const int numbers = alongTop ? CGrayCanvas::TextHeight(m.scale) : CGrayCanvas::TextWidth(m.scale, 3);
    return std::max(longTick, shortTick + 2 + numbers);
}

// A part of the label: its size and how it is drawn at a top left corner.
// No drawing: it does not fit.
struct Block {
    int width = 0, height = 0;
    std::function<void(CGrayCanvas&, int, int)> draw;
};

// Makes a block within `width` x `height` dots: at its full size only, or
// (`full` false) as small as it may become.
using BlockMaker = std::function<Block(int width, int height, bool full)>;

// Eight patches from light to full black, each with its share of black.
Block DarknessSteps(const Metrics& m, int width, int height, bool full) {
    const int steps = 8, space = m.Mm(1), patchHeight = m.Mm(5);
    const int patch = full ? m.Mm(6) : std::min(m.Mm(6), (width - (steps - 1) * space) / steps);
    const int scale = CGrayCanvas::TextWidth(m.scale, 3) <= patch ? m.scale : 1;
    Block block;
    block.width = steps * patch + (steps - 1) * space;
    block.height = patchHeight + 2 + CGrayCanvas::TextHeight(scale);
    if (patch < m.Mm(3) || block.width > width || block.height > height)
        return {};
    block.draw = [=](CGrayCanvas& canvas, int x, int y) {
        for (int i = 0; i < steps; i++) {
            const int percent = 100 * (i + 1) / steps;
            const int left = x + i * (patch + space);
            canvas.FillRect(left, y, patch, patchHeight, static_cast<uint8_t>(255 - 255 * percent / 100));
            canvas.Text(left, y + patchHeight + 2, scale, std::to_string(percent));
        }
    };
    return block;
}

// The bars with their quiet zones, the text centred below; where that is
// too wide (full false), turned a quarter without the text: bars across,
// read top to bottom.
Block Barcode(const Metrics& m, const std::string& text, int width, int height, bool full) {
    std::vector<bool> modules;
    if (!Code128::Encode(text, modules))
        return {};
    const int quiet = Code128::kQuietModules * m.barModule, barHeight = m.Mm(8);
    const int span = static_cast<int>(modules.size()) * m.barModule + 2 * quiet;
    Block block;
    block.width = span;
    block.height = barHeight + 2 + CGrayCanvas::TextHeight(m.scale);
    if (block.width <= width && block.height <= height) {
        block.draw = [=](CGrayCanvas& canvas, int x, int y) {
            canvas.Bars(x + quiet, y, modules, m.barModule, barHeight);
            const int textWidth = CGrayCanvas::TextWidth(m.scale, text.size());
            canvas.Text(x + std::max(0, (span - textWidth) / 2), y + barHeight + 2, m.scale, text);
        };
        return block;
    }
    if (full || barHeight > width || span > height)
        return {};
    block.width = barHeight;
    block.height = span;
    block.draw = [=](CGrayCanvas& canvas, int x, int y) {
        canvas.BarsDown(x, y + quiet, modules, m.barModule, barHeight);
    };
    return block;
}

// The symbol in a quiet zone of four modules; smaller modules, down to two
// dots, where the full size does not fit.
Block Qr(const Metrics& m, const std::shared_ptr<QrCode>& code, int width, int height, bool full) {
    const int quiet = 4, span = code->Size() + 2 * quiet;
    int module = m.qrModule;
    while (!full && module > 2 && span * module > std::min(width, height))
        module--;
    Block block;
    block.width = block.height = span * module;
    if (block.width > width || block.height > height)
        return {};
    block.draw = [=](CGrayCanvas& canvas, int x, int y) {
        canvas.Matrix(x + quiet * module, y + quiet * module, code->Size(), code->Row(0), module);
    };
    return block;
}

// The lines as long as the widest (full) or cut to the width, as many as
// fit; at least a dozen characters wide.
Block Text(const Metrics& m, const std::vector<std::string>& lines, int width, int height, bool full) {
    const int cell = BitmapFont::kCellWidth * m.scale, lineHeight = (BitmapFont::kCellHeight + 1) * m.scale;
    size_t widest = 0;
    for (const std::string& line : lines)
        widest = std::max(widest, line.size());
    const size_t columns = full ? widest : std::min(widest, static_cast<size_t>((width + m.scale) / cell));
    const int rows = std::min(static_cast<int>(lines.size()), (height + m.scale) / lineHeight);
    Block block;
    block.width = CGrayCanvas::TextWidth(m.scale, columns);
    block.height = rows * lineHeight - m.scale;
    if (columns < 12 || rows < 1 || (full && rows < static_cast<int>(lines.size())) || block.width > width)
        return {};
    block.draw = [=](CGrayCanvas& canvas, int x, int y) {
        for (int i = 0; i < rows; i++)
            canvas.Text(x, y + i * lineHeight, m.scale, lines[i].substr(0, columns));
    };
    return block;
}

std::string Millimetres(int dots, int dpi) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", dots * 25.4 / dpi);
    return text;
}

std::vector<std::string> TextLines(const Facts& f) {
    std::vector<std::string> lines = {
        "Quorvant test label",
        f.model,
        "Driver: " + f.driver,
        "Resolution: " + std::to_string(f.dpi) + " dpi, head " + std::to_string(f.headDots) + " dots",
        "Media: " + f.mediaName,
        "Size: " + Millimetres(f.mediaWidth, f.dpi) + " x " + Millimetres(f.length, f.dpi) + " mm, " +
            std::to_string(f.mediaWidth) + " x " + std::to_string(f.length) + " dots",
        "Printed: " + std::to_string(f.width) + " x " + std::to_string(f.length) + " dots",
    };
    for (const auto& setting : f.settings)
        lines.push_back(setting.first + ": " + setting.second);
    return lines;
}

// Places blocks left to right in rows inside [left, right) x [top, bottom).
// Each goes, in this order of preference, at its full size beside the last
// one or on a new row, else made smaller beside the last or on a new row;
// one that fits nowhere is left out.
class Flow {
public:
    Flow(int left, int top, int right, int bottom, int gap)
        : m_Left(left), m_Right(right), m_Bottom(bottom), m_Gap(gap), m_X(left), m_Y(top) {}

    void Place(CGrayCanvas& canvas, const BlockMaker& make) {
        const int newRowY = m_RowHeight ? m_Y + m_RowHeight + m_Gap : m_Y;
        const struct { bool newRow, full; } tries[] = {{false, true}, {true, true}, {false, false}, {true, false}};
        for (const auto& t : tries) {
            const int x = t.newRow ? m_Left : m_X, y = t.newRow ? newRowY : m_Y;
            const Block block = make(m_Right - x, m_Bottom - y, t.full);
            if (!block.draw)
                continue;
            if (t.newRow) {
                m_Y = newRowY;
                m_RowHeight = 0;
            }
            block.draw(canvas, x, y);
            m_X = x + block.width + m_Gap;
            m_RowHeight = std::max(m_RowHeight, block.height);
            return;
        }
    }

private:
    int m_Left, m_Right, m_Bottom, m_Gap;
    int m_X, m_Y, m_RowHeight = 0;
};

}  // namespace

CGrayCanvas Draw(const Facts& f) {
    CGrayCanvas canvas(f.width, f.length);
    const Metrics m(f.dpi);
    if (f.width < 8 * m.line || f.length < 8 * m.line)
        return canvas;
    // The frame's outer edge one dot inside the page.
    canvas.Frame(1, 1, f.width - 2, f.length - 2, m.line);
    const int inside = 1 + m.line;
    const int top = inside + Ruler(canvas, m, true, inside, f.width - inside) + m.gap;
    const int left = inside + Ruler(canvas, m, false, inside, f.length - inside) + m.gap;
    const int right = f.width - inside - m.gap, bottom = f.length - inside - m.gap;

    // The codes first: on a small label they matter most.
    auto qr = std::make_shared<QrCode>();
    const bool haveQr = qr->Encode(f.qrcode);
    const std::vector<std::string> lines = TextLines(f);
    const BlockMaker blocks[] = {
        [&](int w, int h, bool full) { return haveQr ? Qr(m, qr, w, h, full) : Block(); },
        [&](int w, int h, bool full) { return Barcode(m, f.barcode, w, h, full); },
        [&](int w, int h, bool full) { return DarknessSteps(m, w, h, full); },
        [&](int w, int h, bool full) { return Text(m, lines, w, h, full); },
    };
    Flow flow(left, top, right, bottom, m.gap);
    for (const BlockMaker& make : blocks)
        flow.Place(canvas, make);
    return canvas;
}

namespace {

template <class Value>
struct Keyword {
    Value value;
    const char* name;
};

const Keyword<pappl_media_tracking_t> kTracking[] = {
    {PAPPL_MEDIA_TRACKING_CONTINUOUS, "continuous"},
    {PAPPL_MEDIA_TRACKING_GAP, "gap"},
    {PAPPL_MEDIA_TRACKING_MARK, "mark"},
    {PAPPL_MEDIA_TRACKING_WEB, "web"},
};
const Keyword<pappl_label_mode_t> kLabelModes[] = {
    {PAPPL_LABEL_MODE_TEAR_OFF, "tear-off"},
    {PAPPL_LABEL_MODE_CUTTER, "cutter"},
    {PAPPL_LABEL_MODE_PEEL_OFF, "peel-off"},
};

template <class Value, size_t N>
std::string KeywordOf(const Keyword<Value> (&table)[N], unsigned value) {
    for (const Keyword<Value>& k : table)
        if (value & k.value)
            return k.name;
    return std::to_string(value);
}

// The media a job prints on unless it names its own.
pappl_media_col_t LoadedMedia(const pappl_pr_driver_data_t& data) {
    const pappl_media_col_t& ready = data.media_ready[0];
    return ready.size_width > 0 && ready.size_length > 0 ? ready : data.media_default;
}

int Dots(int hundredthsMm, int dpi) { return static_cast<int>(static_cast<long long>(hundredthsMm) * dpi / 2540); }

}  // namespace

Facts FactsOf(pappl_printer_t* printer) {
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);
    const DriverTable::Driver* driver = DriverTable::Find(papplPrinterGetDriverName(printer));
    const pappl_media_col_t media = LoadedMedia(data);
    Facts f;
    f.dpi = data.x_default > 0 ? data.x_default : 203;
    f.headDots = driver ? driver->headDots : 0;
    f.mediaWidth = Dots(media.size_width, f.dpi);
    f.length = Dots(media.size_length, f.dpi);
    f.width = f.headDots > 0 ? std::min(f.mediaWidth, f.headDots) : f.mediaWidth;
    f.widthHmm = media.size_width;
    f.lengthHmm = media.size_length;
    f.mediaName = media.size_name;
    f.model = data.make_and_model;
    f.driver = papplPrinterGetDriverName(printer) ? papplPrinterGetDriverName(printer) : "";

    f.settings.emplace_back("Tracking", KeywordOf(kTracking, media.tracking));
    if (media.type[0])
        f.settings.emplace_back("Media type", media.type);
    if (media.top_offset || media.left_offset)
        f.settings.emplace_back("Offsets", "top " + std::to_string(media.top_offset) + ", left " +
                                               std::to_string(media.left_offset) + " (1/100 mm)");
    if (data.darkness_supported > 0)
        f.settings.emplace_back("Darkness", std::to_string(data.darkness_configured) + " of 100 (" +
                                                std::to_string(data.darkness_supported) + " levels)");
    if (data.speed_supported[1] > 0)
        f.settings.emplace_back("Speed", data.speed_default > 0
                                             ? std::to_string(data.speed_default / DriverTable::kSpeedPerInch) + " in/s"
                                             : std::string("printer default"));
    if (data.mode_configured)
        f.settings.emplace_back("Label mode", KeywordOf(kLabelModes, data.mode_configured));
    if (ipp_t* attrs = papplPrinterGetDriverAttributes(printer)) {
        for (int i = 0; i < data.num_vendor; i++) {
            const std::string name = std::string(data.vendor[i]) + "-default";
            char value[256];
            if (ipp_attribute_t* attr = ippFindAttribute(attrs, name.c_str(), IPP_TAG_ZERO)) {
                ippAttributeString(attr, value, sizeof value);
                f.settings.emplace_back(data.vendor[i], value);
            }
        }
        ippDelete(attrs);
    }
    f.barcode = f.driver;
    f.qrcode = "printer=" + std::string(papplPrinterGetName(printer)) + ";driver=" + f.driver + ";media=" + f.mediaName;
    return f;
}

cups_page_header2_t Header(const Facts& f) {
    cups_page_header2_t header;
    pwg_media_t media;
    std::memset(&media, 0, sizeof media);
    media.pwg = f.mediaName.c_str();
    media.width = f.widthHmm;
    media.length = f.lengthHmm;
    cupsRasterInitPWGHeader(&header, &media, "sgray_8", f.dpi, f.dpi, "one-sided", nullptr);
    // On a head narrower than the media the page is only as wide as the
    // head, so that nothing is shrunk to fit it.
    header.cupsWidth = static_cast<unsigned>(f.width);
    header.cupsBytesPerLine = header.cupsWidth;
    header.cupsHeight = static_cast<unsigned>(f.length);
    if (f.width < f.mediaWidth) {
        header.PageSize[0] = static_cast<unsigned>(std::lround(f.width * 72.0 / f.dpi));
        header.cupsPageSize[0] = static_cast<float>(f.width * 72.0 / f.dpi);
    }
    header.cupsInteger[CUPS_RASTER_PWG_TotalPageCount] = 1;
    return header;
}

const char* Callback(pappl_printer_t* printer, char* buffer, size_t bufsize) {
    const Facts facts = FactsOf(printer);
    if (facts.width <= 0 || facts.length <= 0)
        return nullptr;
    if (std::snprintf(buffer, bufsize, "%s/quorvant-test-label-XXXXXX", papplGetTempDir()) >= static_cast<int>(bufsize))
        return nullptr;
    const int fd = mkstemp(buffer);
    if (fd < 0)
        return nullptr;
    const CGrayCanvas canvas = Draw(facts);
    cups_page_header2_t header = Header(facts);
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_WRITE_PWG);
    bool ok = raster && cupsRasterWriteHeader2(raster, &header);
    for (int y = 0; ok && y < canvas.Height(); y++)
        ok = cupsRasterWritePixels(raster, const_cast<unsigned char*>(canvas.Row(y)), header.cupsBytesPerLine) ==
             header.cupsBytesPerLine;
    if (raster)
        cupsRasterClose(raster);
    ok = close(fd) == 0 && ok;
    if (!ok) {
        papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "cannot write the test label %s", buffer);
        unlink(buffer);
        return nullptr;
    }
    papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "test label of %d x %d dots on %s", facts.width, facts.length,
                    facts.mediaName.c_str());
    return buffer;
}

bool IsRequest(pappl_job_t* job) {
    const char* filename = papplJobGetFilename(job);
    const int fd = filename ? open(filename, O_RDONLY) : -1;
    if (fd < 0)
        return false;
    char head[sizeof kRequest] = {};
    const ssize_t got = read(fd, head, sizeof head);
    close(fd);
    return got == static_cast<ssize_t>(sizeof kRequest - 1) && std::memcmp(head, kRequest, sizeof kRequest - 1) == 0;
}

// The page goes through the driver's raster callbacks as PAPPL sends a PWG
// raster page: start job, start page, the lines, end page, end job.
bool PrintJob(pappl_job_t* job, pappl_device_t* device) {
    pappl_printer_t* printer = papplJobGetPrinter(job);
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);
    const Facts facts = FactsOf(printer);
    if (facts.width <= 0 || facts.length <= 0) {
        papplJobSetMessage(job, "The printer's media has no size.");
        return false;
    }
    const CGrayCanvas canvas = Draw(facts);
    papplJobSetImpressions(job, 1);
    pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 1, false);
    options->header = Header(facts);
    bool ok = data.rstartjob_cb(job, options, device);
    if (ok) {
        ok = data.rstartpage_cb(job, options, device, 1);
        for (int y = 0; ok && y < canvas.Height() && !papplJobIsCanceled(job); y++)
            data.rwriteline_cb(job, options, device, static_cast<unsigned>(y), canvas.Row(y));
        ok = ok && data.rendpage_cb(job, options, device, 1);
        papplJobSetImpressionsCompleted(job, 1);
        ok = data.rendjob_cb(job, options, device) && ok;
    }
    papplJobDeletePrintOptions(options);
    return ok;
}

}  // namespace TestLabel

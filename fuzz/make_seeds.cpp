// Writes the committed seed corpus and the reproducers:
//
//   make_seeds FUZZDIR      (FUZZDIR/corpus/<target>/..., FUZZDIR/reproducers/)
//
// The preview seeds are real filter output, made by running the seed jobs.
// A reproducer is NAME.ras (NAME.ras.gz past a megabyte) with, when it needs
// more than the sample TSPL PPD, NAME.args naming its PPD and job options;
// a PPD no build ships is written beside it as NAME.ppd.
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "families/Families.h"
#include "fuzz/FuzzPpd.h"
#include "fuzz/JobHarness.h"
#include "fuzz/JobInputs.h"
#include "fuzz/ProviderIO.h"
#include "fuzz/RasterStream.h"
#include "fuzz/ShippedPpds.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string g_Dir;

void MakeDir(const std::string& path) { mkdir(path.c_str(), 0755); }

[[noreturn]] void Fail(const std::string& what) {
    fprintf(stderr, "make_seeds: %s\n", what.c_str());
    exit(1);
}

void Save(const std::string& relative, const void* data, size_t size) {
    const std::string path = g_Dir + "/" + relative;
    FILE* file = fopen(path.c_str(), "wb");
    if (!file || fwrite(data, 1, size, file) != size || fclose(file) != 0) {
        perror(path.c_str());
        exit(1);
    }
}

void Save(const std::string& relative, const Bytes& bytes) { Save(relative, bytes.data(), bytes.size()); }

void Save(const std::string& relative, const std::string& text) { Save(relative, text.data(), text.size()); }

// gzip without a name or time stamp, so that the same input gives the same file.
void SaveGzip(const std::string& relative, const Bytes& bytes) {
    const std::string path = g_Dir + "/" + relative;
    gzFile file = gzopen(path.c_str(), "wb9");
    size_t done = 0;
    while (file && done < bytes.size()) {
        const unsigned n = static_cast<unsigned>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (gzwrite(file, bytes.data() + done, n) != static_cast<int>(n))
            break;
        done += n;
    }
    if (!file || gzclose(file) != Z_OK || done != bytes.size())
        Fail("cannot write " + path);
}

// Ink of pixel (x, y): a frame, a diagonal and a left-to-right ramp, in
// 0 (black) .. 255 (white).
uint8_t Gray(unsigned x, unsigned y, unsigned w, unsigned h) {
    if (x < 2 || y < 2 || x + 2 >= w || y + 2 >= h || x == y)
        return 0;
    return static_cast<uint8_t>(255 * x / w);
}

// One page for the raster writer: its header and what fills line y.
struct Page {
    cups_page_header2_t header;
    std::function<void(unsigned y, Bytes& line)> row;
};

Bytes Stream(const std::vector<Page>& pages, bool compressed) {
    RasterStream stream(compressed);
    for (const Page& page : pages) {
        cups_page_header2_t header = page.header;
        if (!stream.Header(header))
            Fail("the raster writer refused a header");
        Bytes line(header.cupsBytesPerLine);
        for (unsigned y = 0; y < header.cupsHeight; y++) {
            page.row(y, line);
            if (!stream.Row(line.data(), header.cupsBytesPerLine))
                Fail("the raster writer refused a line");
        }
    }
    return stream.Finish();
}

// The label picture at 1 (K), 8 (W) or 24 (RGB) bits.
Page LabelPage(unsigned width, unsigned height, unsigned bits) {
    return {RasterStream::MakeHeader(width, height, bits, 203), [=](unsigned y, Bytes& line) {
                std::fill(line.begin(), line.end(), 0);
                for (unsigned x = 0; x < width; x++) {
                    const uint8_t g = Gray(x, y, width, height);
                    if (bits == 1 && g < 128)
                        line[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));  // K: 1 is black
                    else if (bits == 8)
                        line[x] = g;
                    else if (bits == 24)
                        line[3 * x] = line[3 * x + 1] = line[3 * x + 2] = g;
                }
            }};
}

struct Size {
    unsigned width, height, bits;
};

Bytes Label(const std::vector<Size>& sizes, bool compressed) {
    std::vector<Page> pages;
    for (const Size& size : sizes)
        pages.push_back(LabelPage(size.width, size.height, size.bits));
    return Stream(pages, compressed);
}

// A page header of `bits` (1 K, 4 or 8 W, 24 RGB, 32 RGBA) at 203 dpi.
cups_page_header2_t Header(unsigned width, unsigned height, unsigned bits) {
    cups_page_header2_t h = RasterStream::MakeHeader(width, height, bits, 203);
    if (bits == 32) {
        h.cupsBitsPerColor = 8;
        h.cupsColorSpace = CUPS_CSPACE_RGBA;
    }
    return h;
}

// A receipt-like 8-bit page: a frame and a diagonal on white, which
// compresses well.
Page LinePage(unsigned width, unsigned height) {
    return {Header(width, height, 8), [=](unsigned y, Bytes& line) {
                std::fill(line.begin(), line.end(), 0xFF);
                for (unsigned x = 0; x < width; x++)
                    if (x < 2 || y < 2 || x + 2 >= width || y + 2 >= height || x == y)
                        line[x] = 0x00;
            }};
}

// A page white but for black first and last lines (or only the first, for
// one line), so that trimming white receipt ends keeps its whole length.
Page FramedWhitePage(const cups_page_header2_t& header) {
    const bool k = header.cupsColorSpace == CUPS_CSPACE_K;
    const unsigned height = header.cupsHeight;
    return {header, [=](unsigned y, Bytes& line) {
                const bool black = y == 0 || y + 1 == height;
                std::fill(line.begin(), line.end(), black != k ? 0x00 : 0xFF);
            }};
}

Page WhitePage(const cups_page_header2_t& header) {
    const uint8_t white = header.cupsColorSpace == CUPS_CSPACE_K ? 0x00 : 0xFF;
    return {header, [=](unsigned, Bytes& line) { std::fill(line.begin(), line.end(), white); }};
}

// Picks for a generated PPD: the named entries' values, the first choice
// of every other entry.
FuzzPpd::Picks MakePicks(std::initializer_list<std::pair<const char*, const char*>> set) {
    FuzzPpd::Picks picks;
    for (const auto& [name, value] : set)
        for (size_t i = 0; i < FuzzPpd::kPickCount; i++)
            if (std::strcmp(FuzzPpd::kEntries[i].name, name) == 0)
                picks.pick[i] = FuzzPpd::PickOf(name, value);
    return picks;
}

// Picks that leave every entry out (a generated PPD of the skeleton only)
// or every option of a shipped PPD at its default.
FuzzPpd::Picks NoPicks() {
    FuzzPpd::Picks picks;
    std::fill(std::begin(picks.pick), std::end(picks.pick), FuzzPpd::kLeaveOut);
    return picks;
}

size_t Generated(int model) { return FuzzPpd::GeneratedSource(model); }

// fuzz_job_raw's layout: PPD source, the picks, option length, options, raster.
Bytes RawJob(size_t source, const FuzzPpd::Picks& picks, const std::string& options, const Bytes& raster) {
    if (options.size() > 255)
        Fail("an option string longer than fuzz_job_raw's 255 bytes: " + options);
    Bytes input;
    input.push_back(static_cast<uint8_t>(source));
    input.insert(input.end(), picks.pick, picks.pick + FuzzPpd::kPickCount);
    input.push_back(static_cast<uint8_t>(options.size()));
    input.insert(input.end(), options.begin(), options.end());
    input.insert(input.end(), raster.begin(), raster.end());
    return input;
}

// The input that makes the target read `input`; checked by reading it back
// and writing what was read again.
template <class Input>
Bytes ProviderSeed(Input input) {
    ProviderWriter out;
    JobInputs::Visit(out, input);
    const Bytes bytes = out.Finish();
    ProviderReader in(bytes.data(), bytes.size());
    Input back;
    JobInputs::Visit(in, back);
    ProviderWriter again;
    JobInputs::Visit(again, back);
    if (again.Finish() != bytes)
        Fail("a seed that does not read back as it was written");
    return bytes;
}

// A fuzz_job_struct page of `bits` (1 K, 8 W, 24 RGB, 32 RGBA) at 203 dpi in
// the smallest size class that holds it, with a pattern of black stripes.
JobInputs::StructPage SeedPage(unsigned width, unsigned height, unsigned bits) {
    JobInputs::StructPage page;
    page.depth = static_cast<size_t>(std::find(std::begin(JobInputs::kDepths), std::end(JobInputs::kDepths), bits) -
                                     std::begin(JobInputs::kDepths));
    const cups_cspace_t space = bits == 1    ? CUPS_CSPACE_K
                                : bits == 8  ? CUPS_CSPACE_W
                                : bits == 32 ? CUPS_CSPACE_RGBA
                                             : CUPS_CSPACE_RGB;
    page.space = static_cast<size_t>(std::find(std::begin(JobInputs::kSpaces), std::end(JobInputs::kSpaces), space) -
                                     std::begin(JobInputs::kSpaces));
    while (JobInputs::kSizeLimits[page.sizeClass] < std::max(width, height))
        page.sizeClass++;
    page.width = width;
    page.height = height;
    const unsigned bytesPerLine = JobInputs::BytesPerLine(page);
    for (unsigned i = 0; i < bytesPerLine + 5; i++)
        page.pattern.push_back(static_cast<uint8_t>(i % 7 == 0 ? 0x00 : 0xFF));
    return page;
}

JobInputs::StructJob SeedJob(size_t source, const FuzzPpd::Picks& picks, const std::string& options, bool compressed,
                             const std::vector<JobInputs::StructPage>& pages) {
    JobInputs::StructJob job;
    job.source = source;
    job.picks = picks;
    job.options = options;
    job.compressed = compressed;
    job.pages = pages;
    return job;
}

JobInputs::PpdInput SeedPpd(size_t source, const FuzzPpd::Picks& picks, const std::string& options) {
    JobInputs::PpdInput input;
    input.source = source;
    input.picks = picks;
    input.options = options;
    return input;
}

// An uncompressed version-1 stream ("RaSt") holding `header` as is, then
// `pixels`: the writer would not keep a header this wrong.
Bytes RawStream(const cups_page_header2_t& header, const Bytes& pixels) {
    Bytes out = {'R', 'a', 'S', 't'};
    const uint8_t* h = reinterpret_cast<const uint8_t*>(&header);
    out.insert(out.end(), h, h + sizeof header);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

void PutBytesPerLine(Bytes& stream, size_t headerOffset, unsigned value) {
    const size_t at = headerOffset + offsetof(cups_page_header2_t, cupsBytesPerLine);
    unsigned old;
    std::memcpy(&old, &stream[at], sizeof old);
    if (old != 8)
        Fail("no page header at " + std::to_string(headerOffset));
    std::memcpy(&stream[at], &value, sizeof value);
}

// The shipped PPD `name` with `line` added after the first line starting
// with `after`: a quirk or a choice no shipped PPD has.
std::string EditedPpd(const std::string& name, const std::string& after, const std::string& line) {
    const size_t source = FuzzPpd::SourceOf(name);
    std::string text = ShippedPpds::All()[source - FuzzPpd::GeneratedCount()].text;
    const size_t at = text.find("\n" + after);
    if (at == std::string::npos)
        Fail(name + " has no line " + after);
    text.insert(text.find('\n', at + 1) + 1, line + "\n");
    return text;
}

struct Reproducer {
    Reproducer(std::string name_, Bytes raster_, std::string ppd_ = "", std::string options_ = "",
               std::string ownPpd_ = "", bool seed_ = false)
        : name(std::move(name_)),
          raster(std::move(raster_)),
          ppd(std::move(ppd_)),
          options(std::move(options_)),
          ownPpd(std::move(ownPpd_)),
          seed(seed_) {}

    std::string name;
    Bytes raster;
    std::string ppd;      // a shipped PPD's name; empty: the sample TSPL PPD
    std::string options;  // the job's option string
    std::string ownPpd;   // the text of a PPD written beside it (then `ppd` is empty)
    bool seed;            // small and fast: also a fuzz_job_raw seed on its shipped PPD
};

void SaveReproducer(const Reproducer& r) {
    const bool large = r.raster.size() > (1u << 20);
    if (large)
        SaveGzip("reproducers/" + r.name + ".ras.gz", r.raster);
    else
        Save("reproducers/" + r.name + ".ras", r.raster);
    std::string args;
    if (!r.ownPpd.empty()) {
        Save("reproducers/" + r.name + ".ppd", r.ownPpd);
        args += "ppd=" + r.name + ".ppd\n";
    } else if (!r.ppd.empty()) {
        args += "ppd=" + r.ppd + "\n";
    }
    if (!r.options.empty())
        args += "options=" + r.options + "\n";
    if (!args.empty())
        Save("reproducers/" + r.name + ".args", args);
    if (r.seed) {
        if (r.ppd.empty() || large)
            Fail(r.name + ": a seed needs a shipped PPD and a small raster");
        Save("corpus/fuzz_job_raw/regress-" + r.name, RawJob(FuzzPpd::SourceOf(r.ppd), NoPicks(), r.options, r.raster));
    }
}

// Hostile rasters that once cost gigabytes, on the sample TSPL PPD.
void Hostile(std::vector<Reproducer>& out) {
    // An 8 x 1 page whose lines claim almost 2 GiB each.
    cups_page_header2_t h = RasterStream::MakeHeader(8, 1, 8, 203);
    h.cupsBytesPerLine = 0x7FFFFFF0;
    out.push_back({"huge-bytes-per-line", RawStream(h, Bytes(64, 0x55))});

    // The same page twenty times in a compressed stream.
    RasterStream stream(true);
    Bytes line(8, 0x00);
    for (int page = 0; page < 20; page++) {
        cups_page_header2_t sane = RasterStream::MakeHeader(8, 1, 8, 203);
        stream.Header(sane);
        stream.Row(line.data(), 8);
    }
    Bytes compressed = stream.Finish();
    for (size_t offset : stream.HeaderOffsets())
        PutBytesPerLine(compressed, offset, 0x7FFFFFF0);
    out.push_back({"huge-bytes-per-line-x20", compressed});

    // 100000 x 100000 gray pixels: ten gigabytes declared, a few bytes sent.
    h = RasterStream::MakeHeader(100000, 100000, 8, 203);
    out.push_back({"huge-page", RawStream(h, Bytes(4096, 0x80))});

    // A sane page at a vertical resolution of 2^26 dpi.
    h = RasterStream::MakeHeader(64, 16, 8, 203);
    h.HWResolution[1] = 67108864;
    Bytes pixels(64 * 16);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = static_cast<uint8_t>(i * 13);
    out.push_back({"huge-y-resolution", RawStream(h, pixels)});
}

// Jobs whose shapes the filter handled badly: their output, their cost or
// the state they left.
void Shapes(std::vector<Reproducer>& out) {
    // The job's only page is refused (no width; an image past the page
    // image limit, of which a few bytes arrive): nothing may be sent, not
    // even the end-of-job feed and cut.
    cups_page_header2_t h = Header(0, 8, 8);
    out.push_back({"escpos-zero-width", RawStream(h, {}), "qvescpos.ppd", "", "", true});
    h = Header(576, 200000, 24);
    out.push_back({"escpos-image-too-large", RawStream(h, Bytes(4096, 0xFF)), "qvescpos.ppd", "", "", true});

    // An all-white receipt page, trimmed to its content by default on rolls.
    out.push_back(
        {"escpos-white-receipt", Stream({WhitePage(Header(576, 20000, 8))}, true), "qvescpos.ppd", "", "", true});

    // A page one dot wider than the 384-dot head and just under the page
    // image limit in length, shrunk to the head: at 8 and at 4 bits.
    out.push_back({"esc58-shrink-8bit", Stream({FramedWhitePage(Header(385, 697000, 8))}, true), "qvesc58.ppd"});
    h = Header(385, 697000, 8);
    h.cupsBitsPerColor = h.cupsBitsPerPixel = 4;
    h.cupsBytesPerLine = (385 * 4 + 7) / 8;
    out.push_back({"esc58-shrink-4bit", Stream({FramedWhitePage(h)}, true), "qvesc58.ppd"});

    // Placement: an 8 x 8 RGBA picture in a small box of a 4 x 6 in label,
    // at the resolution that makes the label's page just fit the page image
    // limit (4 x 6 in at 1930 dpi, 24 bits), twenty times.
    std::vector<Page> pages;
    for (int i = 0; i < 20; i++) {
        h = Header(8, 8, 32);
        h.HWResolution[0] = h.HWResolution[1] = 1930;
        h.PageSize[0] = 288;
        h.PageSize[1] = 432;
        const unsigned box[4] = {144, 216, 145, 217};
        std::copy(box, box + 4, h.ImagingBoundingBox);
        pages.push_back({h, [](unsigned y, Bytes& line) {
                             for (size_t x = 0; x < line.size() / 4; x++) {
                                 const uint8_t v = (x + y) % 2 ? 0x00 : 0xFF;
                                 line[4 * x] = line[4 * x + 1] = line[4 * x + 2] = v;
                                 line[4 * x + 3] = 0xFF;
                             }
                         }});
    }
    out.push_back({"placement-rgba-x20", Stream(pages, true)});

    // Placement and a scale past the PPD's choices: one black dot at the top
    // left of the longest receipt the ESC/POS PPD allows, at 400 %.
    h = Header(1, 1, 8);
    h.PageSize[0] = 204;
    h.PageSize[1] = 14400;
    const unsigned topLeft[4] = {0, 14399, 1, 14400};
    std::copy(topLeft, topLeft + 4, h.ImagingBoundingBox);
    out.push_back({"escpos-scale400-placed", Stream({{h, [](unsigned, Bytes& line) { line[0] = 0x00; }}}, false), "",
                   "qvScale=400", EditedPpd("qvescpos.ppd", "*qvScale 200/", "*qvScale 400/400 %: \"\"")});

    // One long page, then ten thousand one-line pages.
    pages = {FramedWhitePage(Header(576, 400000, 8))};
    for (int i = 0; i < 10000; i++)
        pages.push_back(FramedWhitePage(Header(576, 1, 8)));
    out.push_back({"escpos-long-then-short-pages", Stream(pages, true), "qvescpos.ppd"});

    // Pages that leave the head's width: scaled up, turned a quarter.
    out.push_back({"escpos-scale200", Stream({LinePage(576, 800)}, true), "qvescpos.ppd", "qvScale=200", "", true});
    out.push_back({"escpos-rotate-quarter", Stream({LinePage(576, 800)}, true), "qvescpos.ppd", "Rotate=2", "", true});
    out.push_back({"tavrin-scale200", Stream({LinePage(384, 800)}, true), "qvtavrin.ppd", "qvScale=200", "", true});

    // A tall page for a printer that takes eight rows per raster command: a
    // command buffer grown by thousands of small appends.
    const Page tall = {Header(576, 60000, 1), [](unsigned, Bytes& line) {
                           std::fill(line.begin(), line.end(), 0x00);
                           line[36] = 0xFF;  // K: a black bar down the middle
                       }};
    out.push_back({"escpos-max-raster-rows-8", Stream({tall}, true), "", "",
                   EditedPpd("qvescpos.ppd", "*qvHeadDots:", "*qvMaxRasterRows: \"8\"")});
}

void Reproducers() {
    std::vector<Reproducer> all;
    Hostile(all);
    for (const Reproducer& r : all)
        Save("corpus/fuzz_job_raw/regress-" + r.name, RawJob(Generated(20), FuzzPpd::Picks(), "", r.raster));
    Shapes(all);
    for (const Reproducer& r : all)
        SaveReproducer(r);
    // A PPD whose Darkness choice overflows an int, on the sample label.
    Save("reproducers/darkness-out-of-range.args",
         std::string("ppd=darkness-out-of-range.ppd\noptions=Darkness=4294967296\nraster=samples/sample-label.ras\n"));

    // The shapes that need a PPD no build ships, small, on generated PPDs.
    const FuzzPpd::Picks scale = MakePicks({{"qvScale", "400"}, {"qvHeadDots", "576"}});
    cups_page_header2_t h = Header(1, 1, 8);
    h.PageSize[0] = 204;
    h.PageSize[1] = 567;
    const unsigned topLeft[4] = {0, 566, 1, 567};
    std::copy(topLeft, topLeft + 4, h.ImagingBoundingBox);
    Save("corpus/fuzz_job_raw/regress-escpos-scale400-placed",
         RawJob(Generated(21), scale, "", Stream({{h, [](unsigned, Bytes& line) { line[0] = 0x00; }}}, false)));
    const FuzzPpd::Picks rows = MakePicks({{"qvMaxRasterRows", "8"}, {"qvHeadDots", "576"}});
    Save("corpus/fuzz_job_raw/regress-escpos-max-raster-rows-8",
         RawJob(Generated(21), rows, "", Stream({FramedWhitePage(Header(576, 2000, 1))}, true)));
}

void LabelSeeds() {
    const Bytes oneBit = Label({{96, 48, 1}}, false);
    const Bytes gray = Label({{64, 40, 8}}, true);
    const Bytes color = Label({{48, 32, 24}, {40, 24, 8}}, true);
    for (const Families::Info& family : Families::All()) {
        const int model = family.modelNumber;
        const std::string m = std::to_string(model);
        // A different halftoning for each family, edge keeping for the first.
        const size_t index = Generated(model);
        const std::string filter = index == 0 ? "EdgeKeeping" : std::to_string(index);
        struct Job {
            std::string name, options;
            FuzzPpd::Picks picks;
            const Bytes& raster;
        };
        const Job jobs[] = {
            {"1bit", "", FuzzPpd::Picks(), oneBit},
            {"8bit-rle", "Darkness=8 zeMediaTracking=BLine",
             MakePicks({{"ImageFilter", filter.c_str()},
                        {"Rotate", "2"},
                        {"FeedOffset", "5"},
                        {"qvCutMode", "3"},
                        {"qvCashDrawer", "1"}}),
             gray},
            {"24bit-8bit-rle", "Rotate=1 ImageCompress=1",
             MakePicks({{"ImageFilter", "3"},
                        {"CropEdgeTop", "10"},
                        {"CropEdgeLeft", "10"},
                        {"AutoDotted", "1"},
                        {"qvMirror", "True"},
                        {"qvNegative", "True"},
                        {"qvHeadDots", "384"}}),
             color},
        };
        for (const Job& job : jobs) {
            const std::string ppd = FuzzPpd::Write(model, job.picks);
            Save("corpus/fuzz_job_raw/" + m + "-" + job.name,
                 RawJob(Generated(model), job.picks, job.options, job.raster));
            const JobHarness::Result result = JobHarness::Run(ppd, job.options, job.raster.data(), job.raster.size());
            if (result.status != 0 || result.output.empty())
                Fail("job " + m + "-" + job.name + " failed (" + std::to_string(result.status) + ")");
            // fuzz_preview's first byte picks the family by its index (its generated source).
            Bytes preview = {static_cast<uint8_t>(index)};
            preview.insert(preview.end(), result.output.begin(), result.output.end());
            Save("corpus/fuzz_preview/" + m + "-" + job.name, preview);
        }
        Save("corpus/fuzz_job_struct/" + m + "-1bit",
             ProviderSeed(SeedJob(Generated(model), FuzzPpd::Picks(), "", false, {SeedPage(96, 48, 1)})));
        Save("corpus/fuzz_job_struct/" + m + "-gray-color-rle",
             ProviderSeed(SeedJob(Generated(model), MakePicks({{"ImageFilter", "1"}, {"ImageCompress", "1"}}),
                                  "Darkness=12", true, {SeedPage(64, 40, 8), SeedPage(48, 32, 24)})));
    }
}

void ShippedSeeds() {
    const Bytes gray = Label({{64, 40, 8}}, true);
    for (const ShippedPpds::Ppd& ppd : ShippedPpds::All()) {
        const std::string name = ppd.name.substr(0, ppd.name.find('.'));
        const size_t source = FuzzPpd::SourceOf(ppd.name);
        Save("corpus/fuzz_job_raw/shipped-" + name, RawJob(source, NoPicks(), "", gray));
        Save("corpus/fuzz_job_struct/shipped-" + name,
             ProviderSeed(SeedJob(source, NoPicks(), "Rotate=1", true, {SeedPage(64, 40, 8)})));
        // Every option at its first choice, then an odd value added to the PPD.
        FuzzPpd::Picks odd;
        for (size_t i = 0; i < FuzzPpd::kPickCount; i++)
            odd.pick[i] = static_cast<uint8_t>(FuzzPpd::kFirstOdd + 1 + 2 * (i % 31));
        Save("corpus/fuzz_ppd_options/shipped-" + name, ProviderSeed(SeedPpd(source, FuzzPpd::Picks(), "")));
        Save("corpus/fuzz_ppd_options/shipped-odd-" + name,
             ProviderSeed(SeedPpd(source, odd, "qvScale=400 Darkness=abc")));
    }
}

void StructSeeds() {
    // An RGBA picture in a box of a 4 x 6 in label, and one dot placed at
    // the top left of a receipt and scaled to 400 %.
    JobInputs::StructPage picture = SeedPage(8, 8, 32);
    picture.sizeClass = 2;
    picture.mediaMode = JobInputs::kMediaTable;
    picture.mediaIndex = 0;
    picture.boxMode = JobInputs::kBoxInside;
    const unsigned box[4] = {144, 216, 152, 224};
    std::copy(box, box + 4, picture.box);
    Save("corpus/fuzz_job_struct/placement-rgba",
         ProviderSeed(SeedJob(Generated(20), FuzzPpd::Picks(), "", true, {picture, picture})));
    JobInputs::StructPage dot = SeedPage(1, 1, 8);
    dot.sizeClass = 2;
    dot.mediaMode = JobInputs::kMediaTable;
    dot.mediaIndex = 3;
    dot.boxMode = JobInputs::kBoxInside;
    const unsigned topLeft[4] = {0, 566, 1, 567};
    std::copy(topLeft, topLeft + 4, dot.box);
    dot.pattern = {0x00};
    Save("corpus/fuzz_job_struct/placement-scale400",
         ProviderSeed(SeedJob(Generated(21), MakePicks({{"qvScale", "400"}}), "", false, {dot})));

    // Inputs that once made the filter slow, as the fuzzer found them: a
    // Darkness overflowing an int on a 1-bit page of odd resolutions, and a
    // 10 m feed after a large CMYK page on the Solvane printer.
    FuzzPpd::Picks big = NoPicks();
    for (size_t i = 3; i < 18; i++)
        big.pick[i] = FuzzPpd::PickOf(FuzzPpd::kEntries[i].name, "4294967296");
    JobInputs::StructPage odd = SeedPage(1793, 2048, 1);
    odd.pad = 12;
    odd.x = {std::size(JobInputs::kResolutions), 5532};
    odd.y = {std::size(JobInputs::kResolutions), 5277};
    odd.early = true;
    odd.rows = 2016;
    odd.pattern = {0x00, 0xff, 0x01, 0x5c, 0xff, 0x6e, 0x39, 0xff, 0xff, 0xff, 0xff, 0x00, 0x50, 0xff,
                   0xff, 0xff, 0xff, 0x6e, 0xff, 0xff, 0x00, 0x42, 0x4c, 0x49, 0x4e, 0x45, 0x00, 0x6e,
                   0x00, 0xff, 0xff, 0xff, 0xff, 0x56, 0x00, 0xff, 0xff, 0x11, 0x00, 0x2c, 0x00, 0x2f,
                   0x00, 0x00, 0x00, 0x00, 0x5f, 0x0a, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00};
    Save("corpus/fuzz_job_struct/regress-density-int-max", ProviderSeed(SeedJob(Generated(20), big, "", true, {odd})));
    FuzzPpd::Picks feed = NoPicks();
    feed.pick[0] = FuzzPpd::PickOf("MediaMethod", "10000");
    for (size_t i = 1; i < 5; i++)
        feed.pick[i] = FuzzPpd::PickOf(FuzzPpd::kEntries[i].name, "4294967296");
    feed.pick[7] = FuzzPpd::PickOf("zePrintRate", "Default");
    feed.pick[16] = FuzzPpd::PickOf("CropEdgeLeft", "0");
    JobInputs::StructPage cmyk = SeedPage(2048, 2048, 8);
    cmyk.space = 3;
    cmyk.pad = 12;
    cmyk.x = odd.x;
    cmyk.y = odd.y;
    cmyk.pattern.clear();
    Save("corpus/fuzz_job_struct/regress-long-feed", ProviderSeed(SeedJob(Generated(24), feed, "", true, {cmyk})));
}

void PpdSeeds() {
    Save("corpus/fuzz_ppd_options/defaults", ProviderSeed(SeedPpd(Generated(20), FuzzPpd::Picks(), "")));
    Save("corpus/fuzz_ppd_options/options",
         ProviderSeed(SeedPpd(Generated(21), MakePicks({{"Darkness", "8"}, {"zeMediaTracking", "BLine"}}),
                              "Darkness=15 Rotate=2 zeMediaTracking=BLine FeedOffset=33 'Contrast=100' "
                              "Threshold=64 qvScale=200 qvCutMode=4")));
    FuzzPpd::Picks odd;
    for (size_t i = 0; i < FuzzPpd::kPickCount; i++)
        odd.pick[i] = static_cast<uint8_t>(FuzzPpd::kFirstOdd + i);
    Save("corpus/fuzz_ppd_options/odd-choices",
         ProviderSeed(SeedPpd(Generated(22), odd, "AdjustHoriaontal=99999999999 Darkness=abc")));
    Save("corpus/fuzz_ppd_options/no-options", ProviderSeed(SeedPpd(Generated(23), NoPicks(), "Brightness=20")));
    JobInputs::PpdInput spliced = SeedPpd(Generated(24), FuzzPpd::Picks(), "Darkness=7");
    spliced.splice = true;
    spliced.text = "*Darkness 7/7: \"\n*OpenUI *Darkness/Dup: PickMany\n*Default";
    spliced.line = 30;
    Save("corpus/fuzz_ppd_options/spliced", ProviderSeed(spliced));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_seeds FUZZDIR\n");
        return 2;
    }
    g_Dir = argv[1];
    MakeDir(g_Dir + "/corpus");
    MakeDir(g_Dir + "/reproducers");
    const char* const kTargets[] = {"fuzz_job_raw", "fuzz_job_struct", "fuzz_ppd_options", "fuzz_preview"};
    for (const char* target : kTargets)
        MakeDir(g_Dir + "/corpus/" + target);

    LabelSeeds();
    ShippedSeeds();
    StructSeeds();
    PpdSeeds();
    Reproducers();
    return 0;
}

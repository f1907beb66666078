// Writes the committed seed corpus and the hostile-raster reproducers:
//
//   make_seeds FUZZDIR      (FUZZDIR/corpus/<target>/..., FUZZDIR/reproducers/)
//
// The preview seeds are real filter output, made by running the seed jobs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "fuzz/FuzzPpd.h"
#include "fuzz/JobHarness.h"
#include "fuzz/RasterStream.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string g_Dir;

void MakeDir(const std::string& path) {
    mkdir(path.c_str(), 0755);
}

void Save(const std::string& relative, const Bytes& bytes) {
    const std::string path = g_Dir + "/" + relative;
    FILE* file = fopen(path.c_str(), "wb");
    if (!file || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || fclose(file) != 0) {
        perror(path.c_str());
        exit(1);
    }
}

// Ink of pixel (x, y): a frame, a diagonal and a left-to-right ramp, in
// 0 (black) .. 255 (white).
uint8_t Gray(unsigned x, unsigned y, unsigned w, unsigned h) {
    if (x < 2 || y < 2 || x + 2 >= w || y + 2 >= h || x == y)
        return 0;
    return static_cast<uint8_t>(255 * x / w);
}

struct Page {
    unsigned width, height, bits;
};

Bytes Label(const std::vector<Page>& pages, bool compressed) {
    RasterStream stream(compressed);
    for (const Page& page : pages) {
        cups_page_header2_t header = RasterStream::MakeHeader(page.width, page.height, page.bits, 203);
        if (!stream.Header(header))
            exit(1);
        Bytes line(header.cupsBytesPerLine);
        for (unsigned y = 0; y < page.height; y++) {
            std::fill(line.begin(), line.end(), 0);
            for (unsigned x = 0; x < page.width; x++) {
                const uint8_t g = Gray(x, y, page.width, page.height);
                if (page.bits == 1 && g < 128)
                    line[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));  // K: 1 is black
                else if (page.bits == 8)
                    line[x] = g;
                else if (page.bits == 24)
                    line[3 * x] = line[3 * x + 1] = line[3 * x + 2] = g;
            }
            stream.Row(line.data(), header.cupsBytesPerLine);
        }
    }
    return stream.Finish();
}

// fuzz_job_raw's layout: model byte, the picks, option length, options, raster.
Bytes RawJob(int model, const FuzzPpd::Picks& picks, const std::string& options, const Bytes& raster) {
    Bytes input;
    input.push_back(static_cast<uint8_t>(model - 20));
    input.insert(input.end(), picks.pick, picks.pick + FuzzPpd::kOptionCount);
    input.push_back(static_cast<uint8_t>(options.size()));
    input.insert(input.end(), options.begin(), options.end());
    input.insert(input.end(), raster.begin(), raster.end());
    return input;
}

// Builds FuzzedDataProvider input: integrals are read from the end, one byte
// per byte of their range, most significant first; strings and byte runs
// from the front.
class ProviderInput {
public:
    void Integral(uint64_t offset, uint64_t range) {
        int count = 0;
        while (count < 8 && (range >> (8 * count)) > 0)
            count++;
        for (int i = count - 1; i >= 0; i--)
            m_Back.push_back(static_cast<uint8_t>(offset >> (8 * i)));
    }
    void String(const std::string& text) {
        for (char c : text) {
            m_Front.push_back(static_cast<uint8_t>(c));
            if (c == '\\')
                m_Front.push_back('\\');
        }
        m_Front.push_back('\\');
        m_Front.push_back('n');
    }
    void Raw(const Bytes& bytes) { m_Front.insert(m_Front.end(), bytes.begin(), bytes.end()); }
    Bytes Finish() const {
        Bytes out = m_Front;
        out.insert(out.end(), m_Back.rbegin(), m_Back.rend());
        return out;
    }

private:
    Bytes m_Front, m_Back;
};

void Picks(ProviderInput& in, const FuzzPpd::Picks& picks) {
    for (uint8_t pick : picks.pick)
        in.Integral(pick, 255);
}

// A fuzz_job_struct input: every page of `bits` at 203 dpi, lines from a
// pattern of `pattern` bytes.
Bytes StructJob(int model, const FuzzPpd::Picks& picks, const std::string& options, bool compressed,
                const std::vector<Page>& pages) {
    ProviderInput in;
    in.Integral(static_cast<uint64_t>(model - 20), 4);
    Picks(in, picks);
    in.String(options);
    in.Integral(compressed, 255);
    in.Integral(pages.size() - 1, 2);
    for (const Page& page : pages) {
        const unsigned depthIndex = page.bits == 1 ? 0 : page.bits == 8 ? 3 : 5;
        in.Integral(depthIndex, 6);
        in.Integral(page.bits == 1 ? 0 : page.bits == 8 ? 1 : 2, 6);  // K, W, RGB
        in.Integral(0, 3);  // at most 64 x 64
        in.Integral(page.width - 1, 63);
        in.Integral(page.height - 1, 63);
        in.Integral(0, 80);
        in.Integral(0, 7);  // 203 dpi
        in.Integral(0, 7);
        in.Integral(0, 255);  // every row
        const uint64_t bytesPerLine = (uint64_t(page.width) * page.bits + 7) / 8;
        Bytes pattern;
        for (unsigned i = 0; i < bytesPerLine + 5; i++)
            pattern.push_back(static_cast<uint8_t>(i % 7 == 0 ? 0x00 : 0xFF));
        in.Integral(pattern.size(), 4 * bytesPerLine);
        in.Raw(pattern);
    }
    return in.Finish();
}

Bytes PpdInput(int model, const FuzzPpd::Picks& picks, const std::string& options, const std::string& splice,
               uint16_t line) {
    ProviderInput in;
    in.Integral(static_cast<uint64_t>(model - 20), 4);
    Picks(in, picks);
    in.String(options);
    in.Integral(splice.empty() ? 0 : 1, 255);
    if (!splice.empty()) {
        in.String(splice);
        in.Integral(line, 0xFFFF);
    }
    return in.Finish();
}

FuzzPpd::Picks MakePicks(std::initializer_list<std::pair<const char*, uint8_t>> set) {
    FuzzPpd::Picks picks;
    for (const auto& [name, pick] : set)
        for (size_t i = 0; i < FuzzPpd::kOptionCount; i++)
            if (std::strcmp(FuzzPpd::kOptionNames[i], name) == 0)
                picks.pick[i] = pick;
    return picks;
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
    if (old != 8) {
        fprintf(stderr, "make_seeds: no page header at %zu\n", headerOffset);
        exit(1);
    }
    std::memcpy(&stream[at], &value, sizeof value);
}

void Hostile() {
    struct Case {
        const char* name;
        Bytes raster;
    };
    std::vector<Case> cases;

    // An 8 x 1 page whose lines claim almost 2 GiB each.
    cups_page_header2_t h = RasterStream::MakeHeader(8, 1, 8, 203);
    h.cupsBytesPerLine = 0x7FFFFFF0;
    cases.push_back({"huge-bytes-per-line", RawStream(h, Bytes(64, 0x55))});

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
    cases.push_back({"huge-bytes-per-line-x20", compressed});

    // 100000 x 100000 gray pixels: ten gigabytes declared, a few bytes sent.
    h = RasterStream::MakeHeader(100000, 100000, 8, 203);
    cases.push_back({"huge-page", RawStream(h, Bytes(4096, 0x80))});

    // A sane page at a vertical resolution of 2^26 dpi.
    h = RasterStream::MakeHeader(64, 16, 8, 203);
    h.HWResolution[1] = 67108864;
    Bytes pixels(64 * 16);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = static_cast<uint8_t>(i * 13);
    cases.push_back({"huge-y-resolution", RawStream(h, pixels)});

    for (const Case& c : cases) {
        Save(std::string("reproducers/") + c.name + ".ras", c.raster);
        Save(std::string("corpus/fuzz_job_raw/regress-") + c.name, RawJob(20, FuzzPpd::Picks(), "", c.raster));
    }
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
    const char* const kTargets[] = {"fuzz_job_raw", "fuzz_job_struct", "fuzz_ppd_options", "fuzz_preview_tspl",
                                    "fuzz_preview_escpos", "fuzz_preview_cpcl", "fuzz_preview_tavrin",
                                    "fuzz_preview_solvane"};
    for (const char* target : kTargets)
        MakeDir(g_Dir + "/corpus/" + target);

    const Bytes oneBit = Label({{96, 48, 1}}, false);
    const Bytes gray = Label({{64, 40, 8}}, true);
    const Bytes color = Label({{48, 32, 24}, {40, 24, 8}}, true);
    for (int model = 20; model <= 24; model++) {
        const std::string m = std::to_string(model);
        struct Job {
            std::string name, options;
            FuzzPpd::Picks picks;
            const Bytes& raster;
        };
        const Job jobs[] = {
            {"1bit", "", FuzzPpd::Picks(), oneBit},
            {"8bit-rle", "Darkness=8 zeMediaTracking=BLine",
             MakePicks({{"ImageFilter", static_cast<uint8_t>(model - 19)}, {"Rotate", 2}, {"FeedOffset", 2}}),
             gray},
            {"24bit-8bit-rle", "Rotate=1 ImageCompress=1",
             MakePicks({{"ImageFilter", 0}, {"CropEdgeTop", 3}, {"CropEdgeLeft", 3}, {"AutoDotted", 1}}), color},
        };
        const char* language = JobHarness::LanguageOf(model);
        for (const Job& job : jobs) {
            const std::string ppd = FuzzPpd::Write(model, job.picks);
            Save("corpus/fuzz_job_raw/" + m + "-" + job.name, RawJob(model, job.picks, job.options, job.raster));
            const JobHarness::Result result = JobHarness::Run(ppd, job.options, job.raster.data(), job.raster.size());
            if (result.status != 0 || result.output.empty()) {
                fprintf(stderr, "make_seeds: job %s-%s failed (%d)\n", m.c_str(), job.name.c_str(), result.status);
                return 1;
            }
            Save(std::string("corpus/fuzz_preview_") + language + "/" + m + "-" + job.name, result.output);
        }
        Save("corpus/fuzz_job_struct/" + m + "-1bit", StructJob(model, FuzzPpd::Picks(), "", false, {{96, 48, 1}}));
        Save("corpus/fuzz_job_struct/" + m + "-gray-color-rle",
             StructJob(model, MakePicks({{"ImageFilter", 1}, {"ImageCompress", 1}}), "Darkness=12", true,
                       {{64, 40, 8}, {48, 32, 24}}));
    }

    Save("corpus/fuzz_ppd_options/defaults", PpdInput(20, FuzzPpd::Picks(), "", "", 0));
    Save("corpus/fuzz_ppd_options/options",
         PpdInput(21, MakePicks({{"Darkness", 2}, {"zeMediaTracking", 2}}),
                  "Darkness=15 Rotate=2 zeMediaTracking=BLine FeedOffset=33 'Contrast=100' Threshold=64", "", 0));
    FuzzPpd::Picks odd;
    for (size_t i = 0; i < FuzzPpd::kOptionCount; i++)
        odd.pick[i] = static_cast<uint8_t>(224 + i);
    Save("corpus/fuzz_ppd_options/odd-choices", PpdInput(22, odd, "AdjustHoriaontal=99999999999 Darkness=abc", "", 0));
    FuzzPpd::Picks missing;
    for (uint8_t& pick : missing.pick)
        pick = 255;
    Save("corpus/fuzz_ppd_options/no-options", PpdInput(23, missing, "Brightness=20", "", 0));
    Save("corpus/fuzz_ppd_options/spliced",
         PpdInput(24, FuzzPpd::Picks(), "Darkness=7",
                  "*Darkness 7/7: \"\n*OpenUI *Darkness/Dup: PickMany\n*Default", 30));

    Hostile();
    return 0;
}

// Speed of the page preparation on standard pages, in megapixels per second,
// beside a floor: reading the same 8-bit label through libcups plus one plain
// C pass of Burkes error diffusion into packed bits.
#include <benchmark/benchmark.h>
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchPages.h"
#include "render/AreaScale.h"
#include "render/CBaseRender.h"

namespace {

const BenchPages::Page& Label() {
    static const BenchPages::Page page = BenchPages::Label();
    return page;
}

const BenchPages::Page& ColourA4() {
    static const BenchPages::Page page = BenchPages::ColourA4();
    return page;
}

void SetRate(benchmark::State& state, const BenchPages::Page& page) {
    state.counters["MP/s"] = benchmark::Counter(static_cast<double>(page.width) * page.height * 1e-6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

// AdjustImage on a fresh image of `page` per iteration; building the image
// from the raster lines is not timed.
void RunPipeline(benchmark::State& state, const BenchPages::Page& page, int grayMethod) {
    CBaseRender render;
    render.m_iDpi = static_cast<int>(page.dpi);
    render.m_HalfTone.iGrayMethod = grayMethod;
    uint8_t* data = const_cast<uint8_t*>(page.data.data());
    for (auto _ : state) {
        state.PauseTiming();
        render.m_Image.CreateFromArray(data, page.width, page.height, page.bitsPerPixel, page.BytesPerLine(), false);
        state.ResumeTiming();
        render.AdjustImage();
        benchmark::DoNotOptimize(render.m_Image.GetBits(0));
    }
    SetRate(state, page);
}

void BM_LabelDefault(benchmark::State& state) { RunPipeline(state, Label(), 3); }
BENCHMARK(BM_LabelDefault)->Unit(benchmark::kMillisecond);

// Argument: ImageFilter value (0 threshold, n > 0 method n - 1).
void BM_LabelImageFilter(benchmark::State& state) { RunPipeline(state, Label(), static_cast<int>(state.range(0))); }
BENCHMARK(BM_LabelImageFilter)->DenseRange(0, 10)->Unit(benchmark::kMillisecond);

// The halftoning step alone on a fresh 8-bit label per iteration: Burkes
// (method 2) beside the edge-keeping method, which AdjustImage does not call.
void RunHalftone(benchmark::State& state, bool (*halftone)(CxImage&)) {
    const BenchPages::Page& page = Label();
    CxImage image(0);
    for (auto _ : state) {
        state.PauseTiming();
        image.CreateFromArray(const_cast<uint8_t*>(page.data.data()), page.width, page.height, 8, page.BytesPerLine(),
                              false);
        state.ResumeTiming();
        halftone(image);
        benchmark::DoNotOptimize(image.GetBits(0));
    }
    SetRate(state, page);
}

void BM_LabelBurkesAlone(benchmark::State& state) {
    RunHalftone(state, [](CxImage& image) { return image.Dither(2); });
}
BENCHMARK(BM_LabelBurkesAlone)->Unit(benchmark::kMillisecond);

void BM_LabelEdgeKeeping(benchmark::State& state) {
    RunHalftone(state, [](CxImage& image) { return image.DitherEdgeKeeping(); });
}
BENCHMARK(BM_LabelEdgeKeeping)->Unit(benchmark::kMillisecond);

void BM_ColourA4Default(benchmark::State& state) { RunPipeline(state, ColourA4(), 3); }
BENCHMARK(BM_ColourA4Default)->Unit(benchmark::kMillisecond);

// The 4 x 6 in label fitted to an 80 mm roll's 576-dot head by area
// averaging, row by row as the page reader does it.
void BM_LabelFitToHead(benchmark::State& state) {
    const BenchPages::Page& page = Label();
    CxImage label(0);
    label.CreateFromArray(const_cast<uint8_t*>(page.data.data()), page.width, page.height, 8, page.BytesPerLine(),
                          false);
    CxImage fitted(0);
    for (auto _ : state) {
        AreaScale::ShrinkPlaced(label, page.width, page.height, 0, 0, 576, page.height * 576 / page.width, fitted);
        benchmark::DoNotOptimize(fitted.GetBits(0));
    }
    SetRate(state, page);
}
BENCHMARK(BM_LabelFitToHead)->Unit(benchmark::kMillisecond);

// Argument: degrees; the prepared 1-bit label is turned.
void BM_RotatePreparedLabel(benchmark::State& state) {
    const BenchPages::Page& page = Label();
    CBaseRender render;
    render.m_iDpi = 203;
    render.m_Image.CreateFromArray(const_cast<uint8_t*>(page.data.data()), page.width, page.height, 8,
                                   page.BytesPerLine(), false);
    render.AdjustImage();
    CxImage turned(0);
    for (auto _ : state) {
        state.PauseTiming();
        turned = render.m_Image;
        state.ResumeTiming();
        turned.Rotate(static_cast<float>(state.range(0)));
        benchmark::DoNotOptimize(turned.GetBits(0));
    }
    SetRate(state, page);
}
BENCHMARK(BM_RotatePreparedLabel)->Arg(90)->Arg(180)->Arg(270)->Unit(benchmark::kMillisecond);

// Textbook Burkes over an int error buffer of two rows, no clamping, black
// at or below 128, packed most significant bit first.
void FloorBurkes(const uint8_t* page, int width, int height, int bytesPerLine, uint8_t* out, int outBytesPerLine,
                 int* errors) {
    int* cur = errors + 2;
    int* next = errors + 2 + (width + 4);
    memset(errors, 0, sizeof(int) * 2 * (width + 4));
    for (int y = 0; y < height; y++) {
        const uint8_t* src = page + (size_t)y * bytesPerLine;
        uint8_t* dst = out + (size_t)y * outBytesPerLine;
        memset(dst, 0, outBytesPerLine);
        for (int x = 0; x < width; x++) {
            const int level = src[x] + cur[x];
            int error;
            if (level > 128) {
                dst[x >> 3] |= (uint8_t)(0x80 >> (x & 7));
                error = level - 255;
            } else {
                error = level;
            }
            cur[x + 1] += error * 8 / 32;
            cur[x + 2] += error * 4 / 32;
            next[x - 2] += error * 2 / 32;
            next[x - 1] += error * 4 / 32;
            next[x] += error * 8 / 32;
            next[x + 1] += error * 4 / 32;
            next[x + 2] += error * 2 / 32;
        }
        int* t = cur;
        cur = next;
        next = t;
        memset(next - 2, 0, sizeof(int) * (width + 4));
    }
}

// The standard label as a raster file, written once.
const char* LabelRasterPath() {
    static std::string path;
    if (path.empty()) {
        char name[] = "/tmp/quorvant-floor-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0)
            return nullptr;
        close(fd);
        if (!BenchPages::WriteRaster(name, Label(), 1)) {
            unlink(name);
            return nullptr;
        }
        path = name;
        std::atexit([] { unlink(path.c_str()); });
    }
    return path.c_str();
}

// Reads the first page of `path` through libcups into `page`.
bool ReadPage(const char* path, std::vector<uint8_t>& page, cups_page_header2_t& header) {
    const int fd = open(path, O_RDONLY);
    cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
    const bool ok = ras && cupsRasterReadHeader2(ras, &header);
    if (ok) {
        page.resize(static_cast<size_t>(header.cupsBytesPerLine) * header.cupsHeight);
        for (unsigned y = 0; y < header.cupsHeight; y++)
            cupsRasterReadPixels(ras, page.data() + static_cast<size_t>(y) * header.cupsBytesPerLine,
                                 header.cupsBytesPerLine);
    }
    if (ras)
        cupsRasterClose(ras);
    if (fd >= 0)
        close(fd);
    return ok;
}

void BM_Floor(benchmark::State& state) {
    const BenchPages::Page& label = Label();
    const char* path = LabelRasterPath();
    if (!path) {
        state.SkipWithError("cannot write the raster file");
        return;
    }
    std::vector<uint8_t> page;
    const int outBytesPerLine = (label.width + 31) / 32 * 4;
    std::vector<uint8_t> packed(static_cast<size_t>(outBytesPerLine) * label.height);
    std::vector<int> errors(2 * (label.width + 4));
    for (auto _ : state) {
        cups_page_header2_t header;
        if (!ReadPage(path, page, header)) {
            state.SkipWithError("no page");
            break;
        }
        FloorBurkes(page.data(), static_cast<int>(header.cupsWidth), static_cast<int>(header.cupsHeight),
                    static_cast<int>(header.cupsBytesPerLine), packed.data(), outBytesPerLine, errors.data());
        benchmark::DoNotOptimize(packed.data());
    }
    SetRate(state, label);
}
BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond);

// The reading part of the floor alone.
void BM_FloorReadOnly(benchmark::State& state) {
    const char* path = LabelRasterPath();
    if (!path) {
        state.SkipWithError("cannot write the raster file");
        return;
    }
    std::vector<uint8_t> page;
    for (auto _ : state) {
        cups_page_header2_t header;
        if (!ReadPage(path, page, header)) {
            state.SkipWithError("no page");
            break;
        }
        benchmark::DoNotOptimize(page.data());
    }
    SetRate(state, Label());
}
BENCHMARK(BM_FloorReadOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

#include "printerapp/PrinterIcons.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "families/Families.h"
#include "zpl/ZplInterpreter.h"

namespace PrinterIcons {

namespace {

// The icons are drawn on a canvas of this many dots, as ZPL at 203 dpi.
constexpr int kCanvas = 512;

struct Rgb {
    uint8_t r, g, b;
};

// One colour a family, in the family table's order (then again from the
// first).
const Rgb kFamilyColours[] = {
    {0xE4, 0x57, 0x2E}, {0x17, 0x9E, 0x9B}, {0xF2, 0xB7, 0x05}, {0x5E, 0x9E, 0x2F}, {0x8E, 0x5F, 0xBF},
    {0x2E, 0x86, 0xDE}, {0xD6, 0x33, 0x84}, {0xE0, 0x7B, 0x1A}, {0x16, 0x80, 0x6A}, {0x9B, 0x2C, 0x2C},
};
const Rgb kBody{0x4C, 0x56, 0x6A}, kDark{0x2E, 0x34, 0x40}, kPaper{0xFA, 0xFA, 0xFA}, kInk{0x1F, 0x23, 0x29},
    kWhite{0xFF, 0xFF, 0xFF};

// A shape of one colour, as a ZPL label's fields.
struct Layer {
    Rgb colour;
    std::string zpl;
};

enum class Kind { Label, Receipt, Pocket };

Kind KindOf(const DriverTable::Driver& driver) {
    if (driver.stock == DriverTable::Stock::Labels)
        return Kind::Label;
    return driver.cutter ? Kind::Receipt : Kind::Pocket;
}

// The family's name across a band `width` dots wide from `x`, its top at `y`.
std::string Name(const std::string& name, int x, int y, int width) {
    constexpr int kHeight = 60;
    // The condensed face is about half an em wide a character: a long name
    // is narrowed to fit.
    const int chars = std::max<int>(1, int(name.size()));
    const int across = std::min(kHeight, kHeight * (width - 40) * 2 / (chars * kHeight));
    return "^FO" + std::to_string(x) + "," + std::to_string(y + 10) + "^A0N," + std::to_string(kHeight) + "," +
           std::to_string(across) + "^FB" + std::to_string(width) + ",1,0,C^FD" + name + "^FS";
}

// Lines of print on a strip of paper, and its edge.
std::string PrintedStrip(int x, int y, int width, int height) {
    std::string zpl = "^FO" + std::to_string(x) + "," + std::to_string(y) + "^GB" + std::to_string(width) + "," +
                      std::to_string(height) + ",3^FS";
    const int lengths[] = {100, 70, 100, 55};
    for (int i = 0; i < 4 && 40 + 30 * i < height - 20; i++)
        zpl += "^FO" + std::to_string(x + 26) + "," + std::to_string(y + 36 + 30 * i) + "^GB" +
               std::to_string(lengths[i] * (width - 52) / 100) + ",10,10^FS";
    return zpl;
}

std::vector<Layer> Layers(Kind kind, const std::string& name, Rgb accent) {
    // Black text on a light colour, white on a dark one.
    const bool light = accent.r * 299 + accent.g * 587 + accent.b * 114 > 150000;
    const Rgb text = light ? kInk : kWhite;
    switch (kind) {
        case Kind::Label:
            // A desktop label printer, its lid up top, a label with a bar code
            // coming out of its front.
            return {
                {kBody, "^FO40,190^GB432,250,250,B,2^FS"},
                {kDark,
                 "^FO64,110^GB384,100,100,B,4^FS^FO56,432^GB64,28,28^FS^FO392,432^GB64,28,28^FS"
                 "^FO120,316^GB272,14,14^FS"},
                {accent, "^FO40,226^GB432,74,74^FS"},
                {text, Name(name, 40, 226, 432)},
                {kPaper, "^FO140,324^GB232,172,172,B,1^FS"},
                {kInk, "^FO140,324^GB232,172,3,B,1^FS^BY2^FO188,350^BCN,110,N,N,N^FD0123^FS"},
            };
        case Kind::Receipt:
            // A receipt printer, the receipt standing out of its top.
            return {
                {kPaper, "^FO152,42^GB208,236,236^FS"},
                {kInk, PrintedStrip(150, 40, 212, 240)},
                {kBody, "^FO56,230^GB400,226,226,B,2^FS"},
                {kDark, "^FO130,236^GB252,12,12^FS^FO72,440^GB64,24,24^FS^FO376,440^GB64,24,24^FS"},
                {accent, "^FO56,300^GB400,74,74^FS"},
                {text, Name(name, 56, 300, 400)},
            };
        case Kind::Pocket:
            // A pocket printer: small and round, a strip of paper out of its top.
            return {
                {kPaper, "^FO178,62^GB156,196,196^FS"},    {kInk, PrintedStrip(176, 60, 160, 200)},
                {kBody, "^FO96,210^GB320,256,256,B,3^FS"}, {kDark, "^FO150,218^GB212,12,12^FS^FO236,392^GC40,40,B^FS"},
                {accent, "^FO96,282^GB320,74,74^FS"},      {text, Name(name, 96, 282, 320)},
            };
    }
    return {};
}

// The share of each pixel of a `size` square that `layer` covers, 0-255:
// the layer drawn at `scale` times the canvas and each pixel's dots counted.
std::vector<uint8_t> Coverage(const std::string& zpl, int size, int scale) {
    zpl::InterpreterOptions options;
    options.dpi = 203 * scale;
    options.width = options.height = kCanvas * scale;
    zpl::ZplInterpreter interpreter(options, [](const std::string&) {});
    std::vector<uint8_t> coverage;
    const auto take = [&](zpl::Label& label) {
        const zpl::ZplBitmap& page = label.page;
        const int dots = page.Width();
        // Dots counted a row at a time into the pixels' columns, then
        // the rows of each pixel summed.
        std::vector<uint32_t> sums(size_t(size) * size, 0);
        for (int y = 0; y < page.Height() && y < dots; y++) {
            const uint8_t* row = page.Row(y);
            uint32_t* line = &sums[size_t(y * size / dots) * size];
            for (int x = 0; x < dots; x++)
                line[x * size / dots] += row[x >> 3] >> (7 - (x & 7)) & 1;
        }
        coverage.resize(sums.size());
        for (int py = 0; py < size; py++) {
            const int rows = (py + 1) * dots / size - py * dots / size;
            for (int px = 0; px < size; px++) {
                const int columns = (px + 1) * dots / size - px * dots / size;
                coverage[size_t(py) * size + px] = uint8_t(sums[size_t(py) * size + px] * 255 / (rows * columns));
            }
        }
        return true;
    };
    const std::string label = "^XA" + zpl + "^XZ";
    interpreter.Feed(label.data(), label.size(), take);
    interpreter.Finish(take);
    return coverage;
}

void Append(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

// `rgba` (size x size) as PNG; empty on failure.
std::string EncodePng(const std::vector<uint8_t>& rgba, int size) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return "";
    }
    png_set_write_fn(png, &out, Append, nullptr);
    png_set_IHDR(png, info, png_uint_32(size), png_uint_32(size), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < size; y++)
        png_write_row(png, &rgba[size_t(y) * size * 4]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string Draw(const std::vector<Layer>& layers, int size) {
    // At least four dots a pixel across, up to twice the canvas.
    const int scale = std::min(2, std::max(1, 4 * size / kCanvas));
    std::vector<uint8_t> rgba(size_t(size) * size * 4, 0);
    bool drawn = false;
    for (const Layer& layer : layers) {
        const std::vector<uint8_t> coverage = Coverage(layer.zpl, size, scale);
        if (coverage.empty())
            return "";
        const uint8_t colour[3] = {layer.colour.r, layer.colour.g, layer.colour.b};
        for (size_t i = 0; i < coverage.size(); i++) {
            // Straight alpha, the layer over what is below it.
            const unsigned a = coverage[i], below = rgba[i * 4 + 3], out = a + below * (255 - a) / 255;
            if (!a)
                continue;
            drawn = true;
            for (int c = 0; c < 3; c++)
                rgba[i * 4 + c] = uint8_t((colour[c] * a + rgba[i * 4 + c] * below * (255 - a) / 255) / out);
            rgba[i * 4 + 3] = uint8_t(out);
        }
    }
    return drawn ? EncodePng(rgba, size) : "";
}

}  // namespace

const std::string& Png(const DriverTable::Driver& driver, int index) {
    static std::mutex lock;
    // Never changed once drawn: PAPPL keeps pointers into them.
    static std::map<int, std::array<std::string, 3>> drawn;
    std::lock_guard<std::mutex> hold(lock);
    auto found = drawn.find(driver.modelNumber);
    if (found == drawn.end()) {
        const Families::Info* family = Families::Find(driver.modelNumber);
        const auto& all = Families::All();
        const size_t index = family ? size_t(family - all.data()) : 0;
        // A family's kind is its first driver's.
        size_t count = 0;
        const DriverTable::Driver* drivers = DriverTable::Drivers(count);
        const DriverTable::Driver* first = &driver;
        for (size_t i = 0; i < count; i++)
            if (drivers[i].modelNumber == driver.modelNumber) {
                first = &drivers[i];
                break;
            }
        const std::vector<Layer> layers = Layers(KindOf(*first), family ? family->personality : "",
                                                 kFamilyColours[index % std::size(kFamilyColours)]);
        std::array<std::string, 3> pngs;
        for (int i = 0; i < 3; i++)
            pngs[size_t(i)] = Draw(layers, kSizes[i]);
        found = drawn.emplace(driver.modelNumber, std::move(pngs)).first;
    }
    return found->second[size_t(std::clamp(index, 0, 2))];
}

}  // namespace PrinterIcons

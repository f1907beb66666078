#include "support/TestFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace testing_support {

TempDir::TempDir() {
    char tmpl[] = "/tmp/quorvant-test-XXXXXX";
    if (!mkdtemp(tmpl))
        throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

TempDir::~TempDir() {
    std::string cmd = "rm -rf '" + m_path + "'";
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", m_path.c_str());
}

bool WaitUntil(const std::function<bool()>& done, int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

void WriteFile(const std::string& path, const std::string& text) { WriteFile(path, ToBytes(text)); }

cups_page_header2_t RasterPage::Header() const {
    cups_page_header2_t h;
    std::memset(&h, 0, sizeof h);
    h.HWResolution[0] = xdpi;
    h.HWResolution[1] = ydpi;
    h.cupsWidth = width;
    h.cupsHeight = height;
    h.cupsBitsPerPixel = bitsPerPixel;
    h.cupsBitsPerColor = bitsPerPixel >= 24 ? 8 : bitsPerPixel;
    h.cupsBytesPerLine = bytesPerLine ? bytesPerLine : (width * bitsPerPixel + 7) / 8;
    h.cupsColorOrder = CUPS_ORDER_CHUNKED;
    h.cupsColorSpace = colorSpace;
    h.NumCopies = 1;
    h.PageSize[0] = pageSize[0] ? pageSize[0] : xdpi ? width * 72 / xdpi : 0;
    h.PageSize[1] = pageSize[1] ? pageSize[1] : ydpi ? height * 72 / ydpi : 0;
    std::memcpy(h.ImagingBoundingBox, imagingBox, sizeof h.ImagingBoundingBox);
    return h;
}

RasterPage MakeBitPage(unsigned width, unsigned height, bool (*black)(unsigned, unsigned), unsigned dpi) {
    RasterPage page;
    page.width = width;
    page.height = height;
    page.xdpi = page.ydpi = dpi;
    unsigned bpl = (width + 7) / 8;
    page.data.assign(static_cast<size_t>(bpl) * height, 0xFF);
    for (unsigned y = 0; y < height; y++)
        for (unsigned x = 0; x < width; x++)
            if (black(x, y))
                page.data[y * bpl + x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
    return page;
}

void WriteRaster(const std::string& path, const std::vector<RasterPage>& pages, cups_mode_t mode) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    cups_raster_t* ras = cupsRasterOpen(fd, mode);
    for (const RasterPage& page : pages) {
        cups_page_header2_t h = page.Header();
        if (!cupsRasterWriteHeader2(ras, &h))
            throw std::runtime_error("cupsRasterWriteHeader2 refused a page");
        size_t size = static_cast<size_t>(h.cupsBytesPerLine) * h.cupsHeight;
        Bytes data = page.data;
        if (data.empty())
            data.assign(size, 0xFF);
        for (unsigned y = 0; y < h.cupsHeight && size > 0; y++)
            cupsRasterWritePixels(ras, data.data() + static_cast<size_t>(y) * h.cupsBytesPerLine, h.cupsBytesPerLine);
    }
    cupsRasterClose(ras);
    close(fd);
}

Bytes RasterBytes(const std::vector<RasterPage>& pages, cups_mode_t mode) {
    TempDir dir;
    WriteRaster(dir.File("r.ras"), pages, mode);
    return ReadFile(dir.File("r.ras"));
}

void PatchHeader(Bytes& stream, const std::vector<RasterPage>& pages, size_t page, size_t fieldOffset, uint32_t value) {
    size_t offset = 4;  // sync word
    for (size_t i = 0; i < page; i++) {
        cups_page_header2_t h = pages[i].Header();
        offset += sizeof(cups_page_header2_t) + static_cast<size_t>(h.cupsBytesPerLine) * h.cupsHeight;
    }
    std::memcpy(stream.data() + offset + fieldOffset, &value, 4);
}

std::string PpdText(const PpdSpec& ppdSpec) {
    std::ostringstream ppd;
    ppd << "*PPD-Adobe: \"4.3\"\n"
           "*FormatVersion: \"4.3\"\n"
           "*FileVersion: \"1.0\"\n"
           "*LanguageVersion: English\n"
           "*LanguageEncoding: ISOLatin1\n"
           "*PCFileName: \"QTEST.PPD\"\n"
           "*Manufacturer: \"Quorvant\"\n"
           "*Product: \"(Test)\"\n"
           "*cupsVersion: 2.4\n"
           "*cupsModelNumber: "
        << ppdSpec.modelNumber << "\n*cupsFilter: \"application/vnd.cups-raster 0 quorvant\"\n";
    if (!ppdSpec.modelName.empty())
        ppd << "*ModelName: \"" << ppdSpec.modelName << "\"\n";
    ppd << "*ShortNickName: \"Quorvant Test\"\n*NickName: \"Quorvant Test\"\n";
    if (!ppdSpec.personality.empty())
        ppd << "*Personality: \"" << ppdSpec.personality << "\"\n";
    ppd << "*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: False\n"
           "*DefaultColorSpace: Gray\n*FileSystem: False\n*Throughput: \"1\"\n*TTRasterizer: Type42\n"
           "*OpenUI *PageSize/Media Size: PickOne\n*DefaultPageSize: w288h432\n"
           "*PageSize w288h432/4x6: \"<</PageSize[288 432]>>setpagedevice\"\n*CloseUI: *PageSize\n"
           "*DefaultImageableArea: w288h432\n*ImageableArea w288h432: \"0 0 288 432\"\n"
           "*DefaultPaperDimension: w288h432\n*PaperDimension w288h432: \"288 432\"\n";
    for (const PpdOption& option : ppdSpec.options) {
        ppd << "*OpenUI *" << option.keyword << "/" << option.keyword << ": PickOne\n";
        ppd << "*Default" << option.keyword << ": " << option.defaultChoice << "\n";
        for (const std::string& choice : option.choices)
            ppd << "*" << option.keyword << " " << choice << "/" << choice << ": \"\"\n";
        ppd << "*CloseUI: *" << option.keyword << "\n";
    }
    return ppd.str();
}

std::vector<PpdOption> FilterOptions(const std::map<std::string, std::string>& defaults) {
    const std::vector<std::string> numbers = {"-20", "-2", "-1", "0",  "1",  "2",   "3",   "5",   "8",   "10",  "12",
                                              "14",  "20", "33", "40", "50", "100", "175", "200", "300", "9999"};
    auto withDefault = [&numbers](std::vector<std::string> extra) {
        std::vector<std::string> all = numbers;
        all.insert(all.end(), extra.begin(), extra.end());
        return all;
    };
    std::vector<PpdOption> options = {
        {"MediaMethod", {"Direct", "Normal", "Ribbon", "Transfer"}, "Direct"},
        {"AdjustHoriaontal", numbers, "0"},
        {"AdjustVertical", numbers, "0"},
        {"zeMediaTracking",
         {"Continuous", "A4Stock", "Gap", "BLine", "BLine_Fold", "Perforated", "Roll", "Recording", "Mystery"},
         "Continuous"},
        {"FeedOffset", numbers, "0"},
        {"Rotate", withDefault({"Default"}), "0"},
        {"Darkness", withDefault({"Default"}), "Default"},
        {"zePrintRate", withDefault({"Default"}), "Default"},
        {"AutoDotted", numbers, "0"},
        {"Brightness", numbers, "0"},
        {"Contrast", numbers, "0"},
        {"ImageFilter", numbers, "0"},
        {"Threshold", numbers, "175"},
        {"ImageCompress", numbers, "0"},
        {"CropEdgeTop", numbers, "0"},
        {"CropEdgeBottom", numbers, "0"},
        {"CropEdgeLeft", numbers, "0"},
        {"CropEdgeRight", numbers, "0"},
    };
    for (PpdOption& option : options) {
        auto it = defaults.find(option.keyword);
        if (it == defaults.end())
            continue;
        option.defaultChoice = it->second;
        if (std::find(option.choices.begin(), option.choices.end(), it->second) == option.choices.end())
            option.choices.push_back(it->second);
    }
    return options;
}

std::string Hex(const uint8_t* data, size_t n) {
    std::string out;
    char byte[4];
    for (size_t i = 0; i < n; i++) {
        std::snprintf(byte, sizeof byte, "%02X ", data[i]);
        out += byte;
    }
    return out;
}

std::string DiffBytes(const Bytes& expected, const Bytes& actual) {
    size_t n = std::min(expected.size(), actual.size());
    size_t at = 0;
    while (at < n && expected[at] == actual[at])
        at++;
    if (at == n && expected.size() == actual.size())
        return "";
    size_t from = at >= 8 ? at - 8 : 0;
    auto dump = [from](const Bytes& b) {
        size_t end = std::min(b.size(), from + 24);
        return from < end ? Hex(b.data() + from, end - from) : std::string("(end)");
    };
    std::ostringstream msg;
    msg << "first difference at offset " << at << " (expected " << expected.size() << " bytes, got " << actual.size()
        << ")\n  expected from " << from << ": " << dump(expected) << "\n  actual   from " << from << ": "
        << dump(actual);
    return msg.str();
}

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

}  // namespace testing_support

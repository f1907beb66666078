#include "ZplPictures.h"

#include <zlib.h>

#include <fstream>
#include <sstream>

namespace zpl_testing {

namespace {

uint32_t Big32(const std::string& s, size_t at) {
    return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 | uint32_t(uint8_t(s[at + 2])) << 8 |
           uint8_t(s[at + 3]);
}

void Put32(std::string& s, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        s += char(v >> shift & 0xFF);
}

void Chunk(std::string& png, const char* type, const std::string& data) {
    Put32(png, uint32_t(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    Put32(png, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

}  // namespace

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string LabelsDir() { return std::string(QUORVANT_SOURCE_DIR) + "/tests/zpl/labels"; }

zpl::ZplBitmap ReadBitPng(const std::string& path) {
    const std::string png = ReadText(path);
    if (png.size() < 33 || png.compare(1, 3, "PNG") != 0)
        return {};
    const uint32_t width = Big32(png, 16), height = Big32(png, 20);
    if (png[24] != 1 || png[25] != 0 || width > 20000 || height > 20000)
        return {};
    std::string compressed;
    for (size_t at = 8; at + 8 <= png.size();) {
        const uint32_t length = Big32(png, at);
        if (png.compare(at + 4, 4, "IDAT") == 0)
            compressed += png.substr(at + 8, length);
        at += 12 + length;
    }
    const size_t rowBytes = (width + 7) / 8;
    std::string raw((rowBytes + 1) * height, '\0');
    uLongf size = uLongf(raw.size());
    if (uncompress(reinterpret_cast<Bytef*>(&raw[0]), &size, reinterpret_cast<const Bytef*>(compressed.data()),
                   uLong(compressed.size())) != Z_OK)
        return {};
    zpl::ZplBitmap out{int(width), int(height)};
    for (uint32_t y = 0; y < height; y++) {
        const char* line = &raw[y * (rowBytes + 1)];
        if (line[0] != 0)  // the converter writes unfiltered rows only
            return {};
        uint8_t* row = out.Row(int(y));
        for (size_t i = 0; i < rowBytes; i++)
            row[i] = uint8_t(~uint8_t(line[1 + i]));  // gray 1 = white
        if (width % 8)
            row[rowBytes - 1] &= uint8_t(0xFF << (8 - width % 8));
    }
    return out;
}

void WriteBitPng(const std::string& path, const zpl::ZplBitmap& page) {
    std::string raw;
    for (int y = 0; y < page.Height(); y++) {
        raw += '\0';
        for (size_t i = 0; i < page.RowBytes(); i++)
            raw += char(~page.Row(y)[i]);
    }
    uLongf size = compressBound(uLong(raw.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(&packed[0]), &size, reinterpret_cast<const Bytef*>(raw.data()),
             uLong(raw.size()));
    packed.resize(size);
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string head;
    Put32(head, uint32_t(page.Width()));
    Put32(head, uint32_t(page.Height()));
    head += std::string("\x01\x00\x00\x00\x00", 5);
    Chunk(png, "IHDR", head);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", "");
    std::ofstream(path, std::ios::binary) << png;
}

Drawn DrawZpl(const std::string& zpl, const zpl::InterpreterOptions& options, size_t piece) {
    Drawn out;
    zpl::ZplInterpreter interpreter(options, [&](const std::string& line) { out.log.push_back(line); });
    const zpl::ZplInterpreter::LabelSink sink = [&](zpl::Label& label) {
        out.labels.push_back(std::move(label));
        return true;
    };
    if (piece == 0) {
        interpreter.Feed(zpl.data(), zpl.size(), sink);
    } else {
        for (size_t at = 0; at < zpl.size(); at += piece)
            interpreter.Feed(zpl.data() + at, std::min(piece, zpl.size() - at), sink);
    }
    interpreter.Finish(sink);
    return out;
}

long DifferingDots(const zpl::ZplBitmap& a, const zpl::ZplBitmap& b) {
    long count = 0;
    const int width = std::max(a.Width(), b.Width()), height = std::max(a.Height(), b.Height());
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const bool da = x < a.Width() && y < a.Height() && a.Dot(x, y);
            const bool db = x < b.Width() && y < b.Height() && b.Dot(x, y);
            count += da != db;
        }
    return count;
}

long BlackDots(const zpl::ZplBitmap& a) {
    long count = 0;
    for (int y = 0; y < a.Height(); y++)
        for (size_t i = 0; i < a.RowBytes(); i++)
            count += __builtin_popcount(a.Row(y)[i]);
    return count;
}

InkBox Ink(const zpl::ZplBitmap& a) {
    InkBox box{a.Width(), a.Height(), -1, -1};
    for (int y = 0; y < a.Height(); y++)
        for (int x = 0; x < a.Width(); x++)
            if (a.Dot(x, y)) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

}  // namespace zpl_testing

#include "render/ImageSize.h"

#include <cstdint>
#include <cstdio>

namespace {

uint32_t Big32(std::string_view s, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(s[at])) << 24 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[at + 1])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[at + 2])) << 8 | static_cast<unsigned char>(s[at + 3]);
}

unsigned Big16(std::string_view s, size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(s[at])) << 8 | static_cast<unsigned char>(s[at + 1]);
}

// Chunks are length, type, data, CRC; pHYs comes before the first IDAT.
bool ReadPng(std::string_view s, ImageSize& size) {
    if (s.size() < 24 || s.substr(12, 4) != "IHDR")
        return false;
    size.width = Big32(s, 16);
    size.height = Big32(s, 20);
    for (size_t at = 8; at + 8 <= s.size();) {
        const uint32_t length = Big32(s, at);
        const std::string_view type = s.substr(at + 4, 4);
        if (type == "IDAT" || length > s.size())
            break;
        // Unit 1 is the metre; pixels of unknown unit give only an aspect.
        if (type == "pHYs" && length == 9 && at + 17 <= s.size() && s[at + 16] == 1) {
            size.ppiX = Big32(s, at + 8) * 0.0254;
            size.ppiY = Big32(s, at + 12) * 0.0254;
        }
        at += 12 + static_cast<size_t>(length);
    }
    return size.width > 0 && size.height > 0;
}

// Markers up to the frame header: APP0 "JFIF" holds the density (unit 1 per
// inch, 2 per centimetre), SOF0-15 but DHT (C4), JPG (C8) and DAC (CC) the
// size.
bool ReadJpeg(std::string_view s, ImageSize& size) {
    for (size_t at = 2; at + 4 <= s.size();) {
        if (static_cast<unsigned char>(s[at]) != 0xFF)
            return false;
        const unsigned marker = static_cast<unsigned char>(s[at + 1]);
        if (marker == 0xFF) {  // fill byte
            at++;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        const unsigned length = Big16(s, at + 2);
        if (length < 2 || marker == 0xDA || marker == 0xD9)
            return false;
        const std::string_view body = s.substr(at + 4, length - 2);
        if (marker == 0xE0 && body.size() >= 12 && body.substr(0, 5) == std::string_view("JFIF\0", 5)) {
            const double perInch = body[7] == 1 ? 1.0 : body[7] == 2 ? 2.54 : 0.0;
            size.ppiX = Big16(body, 8) * perInch;
            size.ppiY = Big16(body, 10) * perInch;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (body.size() < 5)
                return false;
            size.height = Big16(body, 1);
            size.width = Big16(body, 3);
            return size.width > 0 && size.height > 0;
        }
        at += 2 + length;
    }
    return false;
}

}  // namespace

bool ReadImageSize(std::string_view head, ImageSize& size) {
    size = ImageSize();
    if (head.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8))
        return ReadPng(head, size);
    if (head.size() >= 3 && head.substr(0, 3) == "\xFF\xD8\xFF")
        return ReadJpeg(head, size);
    return false;
}

bool ReadImageFile(const std::string& path, ImageSize& size) {
    std::string head(256 * 1024, '\0');
    FILE* f = std::fopen(path.c_str(), "rb");
    head.resize(f ? std::fread(&head[0], 1, head.size(), f) : 0);
    if (f)
        std::fclose(f);
    return ReadImageSize(head, size);
}

// Writes a CUPS raster stream of label-like pages (a frame, bar-code bars,
// block letters and a gray ramp) for sample jobs and whole-job timing.
//
//   make_sample_raster OUTPUT [pages] [width] [height] [bits] [dpi] [pwg]
//
// bits is 1 (W, 0 = black) or 8 (gray, 0 = black) or 24 (RGB). "pwg" writes
// PWG raster (8-bit sGray only), as IPP Everywhere clients send.
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// 5 x 7 glyphs of the letters the sample label prints.
const char* Glyph(char c) {
    switch (c) {
        case 'Q':
            return "01110100011000110001101011001001101";
        case 'U':
            return "10001100011000110001100011000101110";
        case 'O':
            return "01110100011000110001100011000101110";
        case 'R':
            return "11110100011000111110101001001010001";
        case 'V':
            return "10001100011000110001100010101000100";
        case 'A':
            return "01110100011000111111100011000110001";
        case 'N':
            return "10001110011010110011100011000110001";
        case 'T':
            return "11111001000010000100001000010000100";
        default:
            return "00000000000000000000000000000000000";
    }
}

// Darkness 0 (white) .. 255 (black) of pixel (x, y) on a w x h label.
int Ink(unsigned x, unsigned y, unsigned w, unsigned h) {
    unsigned border = w / 60 + 2;
    if (x < border || y < border || x >= w - border || y >= h - border)
        return 255;
    // Bars in the upper third, widths from a fixed pattern.
    static const int bars[] = {2, 1, 1, 3, 2, 2, 1, 4, 3, 1, 1, 2, 2, 3, 1, 1, 4, 2, 1, 3};
    unsigned top = h / 10, bottom = h / 3, left = w / 10;
    if (y >= top && y < bottom && x >= left && x < w - left) {
        unsigned module = w / 200 + 1, pos = (x - left) / module, i = 0;
        while (true) {
            unsigned width = static_cast<unsigned>(bars[i % 20]);
            if (pos < width)
                return (i % 2) ? 0 : 255;
            pos -= width;
            i++;
        }
    }
    // Block letters in the middle.
    const char* word = "QUORVANT";
    unsigned scale = w / 60 + 1, textTop = h * 4 / 10;
    if (y >= textTop && y < textTop + 7 * scale) {
        unsigned col = (x - left) / scale, row = (y - textTop) / scale;
        if (x >= left && col / 6 < 8 && col % 6 < 5)
            return Glyph(word[col / 6])[row * 5 + col % 6] == '1' ? 255 : 0;
        return 0;
    }
    // A gray ramp along the bottom.
    if (y >= h * 6 / 10 && y < h * 8 / 10)
        return static_cast<int>(255 * x / w);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT [pages] [width] [height] [bits] [dpi] [pwg]\n", argv[0]);
        return 2;
    }
    unsigned pages = argc > 2 ? std::atoi(argv[2]) : 1;
    unsigned width = argc > 3 ? std::atoi(argv[3]) : 812;
    unsigned height = argc > 4 ? std::atoi(argv[4]) : 1218;
    unsigned bits = argc > 5 ? std::atoi(argv[5]) : 1;
    unsigned dpi = argc > 6 ? std::atoi(argv[6]) : 203;
    const bool pwg = argc > 7 && std::strcmp(argv[7], "pwg") == 0;
    if ((bits != 1 && bits != 8 && bits != 24) || (pwg && bits != 8)) {
        std::fprintf(stderr, "bits must be 1, 8 or 24 (8 for PWG raster)\n");
        return 2;
    }

    int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    cups_raster_t* ras = cupsRasterOpen(fd, pwg ? CUPS_RASTER_WRITE_PWG : CUPS_RASTER_WRITE_COMPRESSED);
    cups_page_header2_t h;
    std::memset(&h, 0, sizeof h);
    if (pwg)
        cupsRasterInitPWGHeader(
            &h, pwgMediaForSize(static_cast<int>(width * 2540 / dpi), static_cast<int>(height * 2540 / dpi)), "sgray_8",
            static_cast<int>(dpi), static_cast<int>(dpi), "one-sided", "normal");
    h.HWResolution[0] = h.HWResolution[1] = dpi;
    h.PageSize[0] = width * 72 / dpi;
    h.PageSize[1] = height * 72 / dpi;
    h.cupsWidth = width;
    h.cupsHeight = height;
    h.cupsBitsPerColor = bits == 24 ? 8 : bits;
    h.cupsBitsPerPixel = bits;
    h.cupsBytesPerLine = (width * bits + 7) / 8;
    h.cupsColorOrder = CUPS_ORDER_CHUNKED;
    h.cupsColorSpace = bits == 24 ? CUPS_CSPACE_RGB : pwg ? CUPS_CSPACE_SW : CUPS_CSPACE_W;
    h.NumCopies = 1;
    std::strcpy(h.MediaClass, "");

    std::vector<unsigned char> line(h.cupsBytesPerLine);
    for (unsigned page = 0; page < pages; page++) {
        cupsRasterWriteHeader2(ras, &h);
        for (unsigned y = 0; y < height; y++) {
            std::fill(line.begin(), line.end(), bits == 1 ? 0xFF : 0);
            for (unsigned x = 0; x < width; x++) {
                int ink = Ink(x, y, width, height);
                if (bits == 1) {
                    // A 4 x 4 ordered pattern keeps the gray ramp visible in one bit.
                    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
                    if (ink > bayer[y % 4][x % 4] * 16 + 7)
                        line[x / 8] &= static_cast<unsigned char>(~(0x80 >> (x % 8)));
                } else if (bits == 8) {
                    line[x] = static_cast<unsigned char>(255 - ink);
                } else {
                    line[3 * x] = static_cast<unsigned char>(255 - ink);
                    line[3 * x + 1] = static_cast<unsigned char>(255 - ink / 2);
                    line[3 * x + 2] = static_cast<unsigned char>(255 - ink);
                }
            }
            cupsRasterWritePixels(ras, line.data(), h.cupsBytesPerLine);
        }
    }
    cupsRasterClose(ras);
    close(fd);
    return 0;
}

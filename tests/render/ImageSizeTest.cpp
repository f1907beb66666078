#include <gtest/gtest.h>

#include <string>

#include "render/ImageSize.h"
#include "support/ImageFiles.h"

namespace testing_support {
namespace {

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

uint8_t Gray(unsigned x, unsigned y) { return static_cast<uint8_t>(x + y); }

// Pictures written by libpng and libjpeg, and what their heads say.
TEST(ImageSize, ReadsThePixelsAndTheDeclaredResolution) {
    std::string dpcm = Text(GrayJpeg(64, 48, 300, Gray));
    dpcm[13] = 2;  // JFIF units: per centimetre, 118 of them
    dpcm[14] = dpcm[16] = 0;
    dpcm[15] = dpcm[17] = 118;
    // An Exif block of 20000 bytes before the frame.
    std::string exif = Text(GrayJpeg(64, 48, 0, Gray));
    exif.insert(2, std::string("\xFF\xE1\x4E\x22", 4) + std::string(20000, 'x'));
    const struct {
        const char* what;
        std::string head;
        unsigned width, height;
        double ppi;
    } kCases[] = {
        {"PNG at 203 ppi", Text(GrayPng(812, 1218, 203, Gray)), 812, 1218, 203},
        {"PNG undeclared", Text(GrayPng(30, 20, 0, Gray)), 30, 20, 0},
        {"JPEG at 300 dpi", Text(GrayJpeg(64, 48, 300, Gray)), 64, 48, 300},
        {"JPEG of no unit", Text(GrayJpeg(64, 48, 0, Gray)), 64, 48, 0},
        {"JPEG per centimetre", dpcm, 64, 48, 118 * 2.54},
        {"JPEG with Exif", exif, 64, 48, 0},
    };
    for (const auto& c : kCases) {
        ImageSize size;
        ASSERT_TRUE(ReadImageSize(c.head, size)) << c.what;
        EXPECT_EQ(c.width, size.width) << c.what;
        EXPECT_EQ(c.height, size.height) << c.what;
        EXPECT_NEAR(c.ppi, size.ppiX, 0.01) << c.what;
        EXPECT_NEAR(c.ppi, size.ppiY, 0.01) << c.what;
    }
}

TEST(ImageSize, RefusesOtherFilesAndShortHeads) {
    const std::string png = Text(GrayPng(30, 20, 203, Gray)), jpeg = Text(GrayJpeg(64, 48, 0, Gray));
    const std::string kHeads[] = {"",
                                  "%PDF-1.4\n",
                                  "GIF89a\x10\x00\x10\x00",
                                  png.substr(0, 20),
                                  jpeg.substr(0, 22),
                                  std::string("\xFF\xD8\xFF\xE0\x00\x01", 6)};
    for (const std::string& head : kHeads) {
        ImageSize size;
        EXPECT_FALSE(ReadImageSize(head, size)) << head.size() << " bytes";
    }
    // Every shorter head of a real file is read or refused, never overrun.
    for (size_t n = 0; n < jpeg.size(); n++) {
        ImageSize size;
        ReadImageSize(jpeg.substr(0, n), size);
    }
}

}  // namespace
}  // namespace testing_support

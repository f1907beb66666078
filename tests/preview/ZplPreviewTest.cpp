#include <gtest/gtest.h>
#include <png.h>

#include "preview/PreviewTestSupport.h"
#include "preview/ZplPreview.h"

using namespace testing_support;

namespace {

// The size and black dots of a PNG the preview wrote.
bool PngDots(const std::string& path, int& width, int& height, size_t& black) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_GRAY;
    std::vector<uint8_t> gray(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, gray.data(), 0, nullptr))
        return false;
    width = int(image.width);
    height = int(image.height);
    black = size_t(std::count(gray.begin(), gray.end(), 0));
    return true;
}

TEST(ZplPreview, DrawsEachLabelOnItsOwnSizeAndWritesItsDots) {
    TempDir dir;
    // Two labels: a box on a 2 x 1 in label, then text on the same size.
    const std::string zpl =
        "\r\n^XA^PW406^LL203^FO10,20^GB100,50,50^FS^PQ3^XZ\r\n"
        "^XA^FO10,10^A0N,40,40^FDHello^FS^XZ\r\n";
    const PreviewRun run = RunPreview("--png " + dir.File("z") + " -", ToBytes(zpl));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("standard input: zpl stream, "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Label 1: 406 x 203 dots (50.80 x 25.40 mm at 203 dpi), 5000 black dots, 3 copies"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Label 2: 406 x 203 dots"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Hello"), std::string::npos) << run.out;
    int width = 0, height = 0;
    size_t black = 0;
    ASSERT_TRUE(PngDots(dir.File("z-1.png"), width, height, black));
    EXPECT_EQ(406, width);
    EXPECT_EQ(203, height);
    EXPECT_EQ(5000u, black);
    ASSERT_TRUE(PngDots(dir.File("z-2.png"), width, height, black));
    EXPECT_GT(black, 500u);
}

TEST(ZplPreview, CanvasSizesInDotsInchesAndMillimetres) {
    struct Case {
        const char* text;
        int dpi, width, height;  // 0: refused
    };
    const Case kCases[] = {
        {"813x1626", 203, 813, 1626}, {"4x6in", 203, 812, 1218},
        {"4x6in", 300, 1200, 1800},   {"100x150mm", 203, 799, 1199},
        {"2.5x1in", 203, 508, 203},   {"4x6ft", 203, 0, 0},
        {"0x5", 203, 0, 0},           {"x5", 203, 0, 0},
        {"200000x5", 203, 0, 0},
    };
    for (const Case& c : kCases) {
        int width = 0, height = 0;
        std::string problem;
        const bool ok = ZplPreview::ParseSize(c.text, c.dpi, width, height, problem);
        EXPECT_EQ(ok, c.width != 0) << c.text << ": " << problem;
        if (ok) {
            EXPECT_EQ(c.width, width) << c.text;
            EXPECT_EQ(c.height, height) << c.text;
        }
    }
}

// The prefix carriers write before the first label is no TSPL command.
TEST(ZplPreview, KnowsZplBehindTheCarriersPrefix) {
    const PreviewRun run = RunPreview("-", ToBytes("CT~~CD,~CC^~CT~\r\n^XA^FO0,0^GB10,10,10^FS^XZ"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("standard input: zpl stream, "), std::string::npos) << run.out;
}

// CUPS's and lprint's format after each label deletes a graphic: no label.
TEST(ZplPreview, SaysAFormatThatDrawsNothingPrintsNoLabel) {
    const PreviewRun run = RunPreview("-", ToBytes("^XA^FO0,0^GB10,10,10^FS^XZ^XA^IDR:CUPS.GRF^FS^XZ"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Label 2: draws nothing, prints no label"), std::string::npos) << run.out;
}

TEST(ZplPreview, ResolutionAndCanvasFromTheCommandLine) {
    const PreviewRun run = RunPreview("--lang zpl --dpi 300 -", ToBytes("^XA^FO0,0^GB10,10,10^FS^XZ"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Label 1: 1200 x 1800 dots"), std::string::npos) << run.out;
    const PreviewRun sized = RunPreview("--size 100x150mm -", ToBytes("^XA^FO0,0^GB10,10,10^FS^XZ"));
    EXPECT_NE(sized.out.find("Label 1: 799 x 1199 dots"), std::string::npos) << sized.out;
    const PreviewRun wrong = RunPreview("--size 4x6ft -", ToBytes("^XA^XZ"));
    EXPECT_EQ(2, wrong.status);
    EXPECT_EQ(0u, wrong.err.rfind("quorvant-preview: --size needs WIDTHxHEIGHT", 0)) << wrong.err;
}

}  // namespace

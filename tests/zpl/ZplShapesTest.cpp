// The shapes against the reference viewer's pictures of labels that hold
// only shapes (tests/zpl/labels, 8 dots/mm, one picture dot = one dot), and a
// few rules the pictures do not show.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "zpl/ZplGraphics.h"

namespace zpl {
namespace {

// A reference picture as dots: dark (below mid-grey) and opaque is black.
ZplBitmap LoadLabel(const std::string& name) {
    const std::string path = std::string(QUORVANT_SOURCE_DIR) + "/tests/zpl/labels/" + name + ".png";
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return ZplBitmap();
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return ZplBitmap();
    ZplBitmap out(int(image.width), int(image.height));
    for (int y = 0; y < out.Height(); y++)
        for (int x = 0; x < out.Width(); x++) {
            const png_byte* p = &pixels[(size_t(y) * image.width + size_t(x)) * 4];
            if (p[3] >= 128 && p[0] * 299 + p[1] * 587 + p[2] * 114 < 128 * 1000)
                out.Row(y)[x >> 3] |= uint8_t(0x80 >> (x & 7));
        }
    return out;
}

struct Reference {
    const char* label;
    std::function<void(ZplBitmap&)> draw;
    int allowed;                                     // differing dots
    int skipX = 0, skipY = 0, skipW = 0, skipH = 0;  // text on the label, not compared
};

class ZplShapeReference : public ::testing::TestWithParam<Reference> {};

TEST_P(ZplShapeReference, MatchesThePicture) {
    const Reference& c = GetParam();
    const ZplBitmap want = LoadLabel(c.label);
    ASSERT_GT(want.Width(), 0) << c.label;
    ZplBitmap got(want.Width(), want.Height());
    c.draw(got);
    int differ = 0, black = 0;
    for (int y = 0; y < want.Height(); y++)
        for (int x = 0; x < want.Width(); x++) {
            if (x >= c.skipX && x < c.skipX + c.skipW && y >= c.skipY && y < c.skipY + c.skipH)
                continue;
            black += want.Dot(x, y);
            differ += want.Dot(x, y) != got.Dot(x, y);
        }
    printf("%s: %d of %d black dots differ\n", c.label, differ, black);
    EXPECT_LE(differ, c.allowed);
}

void Symbols(ZplBitmap& page) {
    for (int i = 0; i < 5; i++)
        page.Draw(SymbolShape(char('A' + i), 72, 72), 50, 60 + 100 * i);
}

INSTANTIATE_TEST_SUITE_P(
    ZplShapes, ZplShapeReference,
    ::testing::Values(Reference{"gb_normal", [](ZplBitmap& p) { p.Draw(BoxShape(300, 200, 10, 0), 50, 50); }, 0},
                      Reference{"gb_rounded", [](ZplBitmap& p) { p.Draw(BoxShape(300, 200, 10, 5), 50, 50); }, 4},
                      Reference{"gb_0_height", [](ZplBitmap& p) { p.Draw(BoxShape(203, 0, 20, 0), 50, 50); }, 0},
                      Reference{"gb_0_width", [](ZplBitmap& p) { p.Draw(BoxShape(0, 203, 20, 0), 50, 50); }, 0},
                      Reference{"gd_thin_l", [](ZplBitmap& p) { p.Draw(DiagonalShape(200, 200, 5, false), 50, 50); },
                                0},
                      Reference{"gd_thin_r", [](ZplBitmap& p) { p.Draw(DiagonalShape(200, 200, 5, true), 50, 50); }, 0},
                      Reference{"gd_default_params",
                                [](ZplBitmap& p) {
                                    p.Draw(DiagonalShape(300, 400, 10, true), 50, 50);
                                    p.Draw(DiagonalShape(300, 400, 10, false), 400, 50);
                                },
                                0},
                      Reference{"gd_thick",
                                [](ZplBitmap& p) {
                                    p.Draw(DiagonalShape(200, 300, 200, true), 50, 50);
                                    p.Draw(DiagonalShape(200, 300, 200, false), 300, 50);
                                },
                                0},
                      Reference{"edi_triangle",
                                [](ZplBitmap& p) {
                                    p.Draw(BoxShape(120, 120, 60, 0), 673, 40);
                                    p.Draw(DiagonalShape(115, 120, 120, false), 558, 40, Blend::White);
                                },
                                0, 725, 50, 88, 50},
                      Reference{"reverse",
                                [](ZplBitmap& p) {
                                    for (int x = 100; x <= 400; x += 100)
                                        p.Draw(BoxShape(70, 70, 70, 3), x, 100);
                                },
                                0, 107, 108, 706, 100},
                      Reference{"gs", Symbols, 155, 0, 550, 813, 1076}),
    [](const ::testing::TestParamInfo<Reference>& i) { return std::string(i.param.label); });

std::vector<std::string> Picture(const ZplBitmap& b) {
    std::vector<std::string> rows;
    for (int y = 0; y < b.Height(); y++) {
        std::string row;
        for (int x = 0; x < b.Width(); x++)
            row += b.Dot(x, y) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

TEST(ZplShapes, BoxSidesBelowTheBorderBecomeTheBorderAndTheBoxIsSolid) {
    EXPECT_EQ(Picture(BoxShape(0, 1, 3, 0)), (std::vector<std::string>{"###", "###", "###"}));
    EXPECT_EQ(Picture(BoxShape(5, 4, 1, 0)), (std::vector<std::string>{"#####", "#...#", "#...#", "#####"}));
    EXPECT_EQ(Picture(BoxShape(5, 4, 2, 0)), (std::vector<std::string>{"#####", "#####", "#####", "#####"}));
}

TEST(ZplShapes, CirclesAreRoundAndEllipsesFillTheirBox) {
    const ZplBitmap c = CircleShape(40, 3);
    ASSERT_EQ(c.Width(), 40);
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 40; x++)
            ASSERT_EQ(c.Dot(x, y), c.Dot(y, x)) << x << "," << y;
    EXPECT_TRUE(c.Dot(0, 20) && c.Dot(39, 20) && c.Dot(20, 0) && c.Dot(20, 39));
    EXPECT_TRUE(c.Dot(2, 20) && !c.Dot(3, 20) && !c.Dot(20, 20));
    const ZplBitmap e = EllipseShape(60, 20, 100);
    EXPECT_TRUE(e.Dot(0, 10) && e.Dot(59, 10) && e.Dot(30, 0) && e.Dot(30, 10) && !e.Dot(0, 0));
}

TEST(ZplShapes, HostileSizesStayBounded) {
    EXPECT_EQ(BoxShape(1 << 30, 1, 1, 0).Width(), 32000);
    EXPECT_EQ(CircleShape(1 << 30, 1).Width(), 4095);
    EXPECT_EQ(DiagonalShape(-5, -5, -5, true).Width(), 2);
    EXPECT_EQ(SymbolShape('Z', 10, 10).Width(), 10);
}

}  // namespace
}  // namespace zpl

#include <gtest/gtest.h>

#include "render/PagePlacement.h"

namespace {

using PagePlacement::Scaling;

// 4 x 6 in labels at 203 dpi, 812 x 1218 dots, unless a case says otherwise.
TEST(PagePlacement, PagesThatFitPrintAt100PercentAndLargerOnesShrink) {
    const struct {
        const char* what;
        double width, height;  // points
        int mediaWidth, mediaHeight, dpi;
        Scaling scaling;
        double scale;
        bool turned;
        int left, top;
    } cases[] = {
        {"4x6 label", 288, 432, 812, 1218, 203, Scaling::Auto, 1.0, false, 0, 0},
        {"4x6 label, 300 dpi", 288, 432, 1200, 1800, 300, Scaling::AutoFit, 1.0, false, 0, 0},
        {"a hair larger", 288.5, 432.5, 812, 1218, 203, Scaling::Auto, 1.0, false, -1, -1},
        {"2x1 label, centered", 144, 72, 812, 1218, 203, Scaling::Auto, 1.0, false, 203, 507},
        {"6x4 landscape label", 432, 288, 812, 1218, 203, Scaling::Auto, 1.0, true, 0, 0},
        {"US Letter", 612, 792, 812, 1218, 203, Scaling::Auto, 288.0 / 612, false, 0, 84},
        {"US Letter landscape", 792, 612, 812, 1218, 203, Scaling::Auto, 288.0 / 612, true, 0, 84},
        {"A6, a little wider", 297.64, 419.53, 812, 1218, 203, Scaling::Auto, 812 / (297.64 * 203 / 72), false, 0, 36},
        {"fit enlarges, turned", 144, 72, 812, 1218, 203, Scaling::Fit, 3.0, true, 101, 0},
        {"fit keeps a label", 288, 432, 812, 1218, 203, Scaling::Fit, 1.0, false, 0, 0},
        {"fill covers", 144, 72, 812, 1218, 203, Scaling::Fill, 4.0, true, 0, -203},
        {"none crops", 612, 792, 812, 1218, 203, Scaling::None, 1.0, false, -457, -507},
        {"none turns what fits only turned", 432, 288, 812, 1218, 203, Scaling::None, 1.0, true, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PagePlacement::Placement at =
            PagePlacement::Place(c.width, c.height, c.mediaWidth, c.mediaHeight, c.dpi, c.dpi, c.scaling);
        EXPECT_NEAR(c.scale, at.scale, 1e-4);
        EXPECT_EQ(c.turned, at.turned);
        EXPECT_NEAR(c.left, at.left, 1);
        EXPECT_NEAR(c.top, at.top, 1);
        // Centered: as much of the media on each side.
        EXPECT_LE(std::abs(c.mediaWidth - at.width - 2 * at.left), 1);
        EXPECT_LE(std::abs(c.mediaHeight - at.height - 2 * at.top), 1);
    }
}

TEST(PagePlacement, ScalingKeywords) {
    Scaling scaling = Scaling::None;
    EXPECT_TRUE(PagePlacement::ScalingFor("auto-fit", scaling));
    EXPECT_EQ(Scaling::AutoFit, scaling);
    EXPECT_TRUE(PagePlacement::ScalingFor("fill", scaling));
    EXPECT_EQ(Scaling::Fill, scaling);
    EXPECT_FALSE(PagePlacement::ScalingFor("stretch", scaling));
    EXPECT_FALSE(PagePlacement::ScalingFor(nullptr, scaling));
}

}  // namespace

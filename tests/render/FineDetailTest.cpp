#include <gtest/gtest.h>

#include "render/FineDetail.h"
#include "render/ImageSize.h"

// The shrinks the hosts make of a 4 x 6 in label: none on its own media, a
// little on 100 x 150 mm, 0.71 onto an 80 mm roll and 0.47 onto 58 mm.
TEST(FineDetail, WarnsOnlyWhereAModuleFallsBelowTwoDots) {
    const struct {
        double scale;
        int dpi;
        const char* warning;
    } kCases[] = {
        {1.0, 203, ""},
        {0.98, 203, ""},
        {0.76, 203, ""},
        {0.75, 203, "the page was shrunk to 75 %; bar codes may not scan"},
        {0.71, 203, "the page was shrunk to 71 %; bar codes may not scan"},
        {0.47, 203, "the page was shrunk to 47 %; bar codes may not scan"},
        {0.71, 300, ""},
        {0.52, 300, ""},
        {0.5, 300, "the page was shrunk to 50 %; bar codes may not scan"},
        {0.0, 203, ""},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(FineDetail::ShrinkWarning(c.scale, c.dpi), c.warning) << c.scale << " at " << c.dpi;
}

// A 4 x 6 in picture printed 1.89 in wide on 58 mm, against the resolution
// it declares or, undeclared, the head's; filled onto the media, the axis
// not cropped tells the scale.
TEST(FineDetail, ScalesAPictureAgainstItsOwnResolution) {
    const struct {
        unsigned width, height;
        double ppi, printedX, printedY;
        double scale;
    } kCases[] = {
        {812, 1218, 203, 1.89, 2.835, 0.4725}, {812, 1218, 0, 1.89, 2.835, 0.4725}, {406, 609, 0, 1.89, 2.835, 0.945},
        {1200, 1800, 300, 4.0, 6.0, 1.0},      {812, 1218, 203, 1.89, 6.0, 1.0},
    };
    for (const auto& c : kCases) {
        ImageSize size;
        size.width = c.width;
        size.height = c.height;
        size.ppiX = size.ppiY = c.ppi;
        EXPECT_NEAR(c.scale, FineDetail::ImageScale(size, c.printedX, c.printedY, 203), 1e-9) << c.width;
    }
}

#include <gtest/gtest.h>

#include "render/FineDetail.h"

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

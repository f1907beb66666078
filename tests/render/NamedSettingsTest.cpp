#include <gtest/gtest.h>

#include "render/NamedSettings.h"

namespace {

TEST(NamedSettings, NumbersClampAndHalftonesSelect) {
    CBaseRender render;
    EXPECT_TRUE(NamedSettings::Apply(render, "cut-mode", 9));
    EXPECT_EQ(4, render.m_RegStruct.iCutMode);
    EXPECT_TRUE(NamedSettings::Apply(render, "trim-roll", 1));
    EXPECT_TRUE(render.m_Extension.bTrimRoll);
    EXPECT_FALSE(NamedSettings::Apply(render, "no-such-setting", 1));

    EXPECT_TRUE(NamedSettings::ApplyHalftone(render, "edge-keeping"));
    EXPECT_TRUE(render.m_Extension.bEdgeKeeping);
    // The PPDs' "3/Burkes" choice: iGrayMethod 3.
    EXPECT_TRUE(NamedSettings::ApplyHalftone(render, "burkes"));
    EXPECT_FALSE(render.m_Extension.bEdgeKeeping);
    EXPECT_EQ(3, render.m_HalfTone.iGrayMethod);
    EXPECT_TRUE(NamedSettings::ApplyHalftone(render, "threshold"));
    EXPECT_EQ(0, render.m_HalfTone.iGrayMethod);
    EXPECT_FALSE(NamedSettings::ApplyHalftone(render, "sepia"));
}

}  // namespace

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "printerapp/DriverTable.h"
#include "render/NamedSettings.h"

namespace {

TEST(DriverTable, EveryDriverIsAKnownFamilyWithMedia) {
    size_t count = 0;
    const DriverTable::Driver* drivers = DriverTable::Drivers(count);
    ASSERT_EQ(7u, count);
    std::set<std::string> names;
    for (size_t i = 0; i < count; i++) {
        const DriverTable::Driver& d = drivers[i];
        EXPECT_TRUE(names.insert(d.name).second) << d.name;
        EXPECT_GE(d.modelNumber, 20);
        EXPECT_LE(d.modelNumber, 24);
        ASSERT_NE(nullptr, d.media[0]) << d.name;
        // Media names carry no dot before their size part.
        for (const char* const* m = d.media; *m; m++)
            EXPECT_EQ(std::string::npos, std::string(*m).substr(0, std::string(*m).rfind('_')).find('.')) << *m;
        EXPECT_EQ(&d, DriverTable::Find(d.name));
    }
    EXPECT_EQ(nullptr, DriverTable::Find("zpl_203dpi"));
}

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

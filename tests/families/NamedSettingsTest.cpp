#include <gtest/gtest.h>

#include <set>
#include <string>

#include "families/NamedSettings.h"

namespace {

TEST(NamedSettings, NumbersClampAndKeywordsSelect) {
    CBaseRender render;
    EXPECT_TRUE(NamedSettings::Apply(render, "cut-mode", 9));
    EXPECT_EQ(4, render.m_RegStruct.iCutMode);
    int applied = 0;
    EXPECT_TRUE(NamedSettings::Apply(render, "end-feed", 150, &applied));
    EXPECT_EQ(100, applied);
    EXPECT_TRUE(NamedSettings::Apply(render, "trim-roll", 5, &applied));
    EXPECT_TRUE(render.m_Extension.bTrimRoll);
    EXPECT_EQ(1, applied);
    EXPECT_FALSE(NamedSettings::Apply(render, "no-such-setting", 1));

    EXPECT_TRUE(NamedSettings::ApplyKeyword(render, "halftoning", "edge-keeping"));
    EXPECT_TRUE(render.m_Extension.bEdgeKeeping);
    // The PPDs' "3/Burkes" choice: iGrayMethod 3.
    EXPECT_TRUE(NamedSettings::ApplyKeyword(render, "halftoning", "burkes"));
    EXPECT_FALSE(render.m_Extension.bEdgeKeeping);
    EXPECT_EQ(3, render.m_HalfTone.iGrayMethod);
    EXPECT_TRUE(NamedSettings::ApplyKeyword(render, "halftoning", "threshold"));
    EXPECT_EQ(0, render.m_HalfTone.iGrayMethod);
    EXPECT_TRUE(NamedSettings::ApplyKeyword(render, "cash-drawer", "after"));
    EXPECT_EQ(2, render.m_RegStruct.iMoneyBox);
    EXPECT_FALSE(NamedSettings::ApplyKeyword(render, "halftoning", "sepia"));
    EXPECT_FALSE(NamedSettings::ApplyKeyword(render, "scale", "100"));
}

// Each row is whole: unique names and keywords, choices that read back as
// stored, and a fresh record's value inside the range.
TEST(NamedSettings, EveryRowIsConsistent) {
    std::set<std::string> names, keywords, attributes;
    for (const NamedSettings::Setting& s : NamedSettings::All()) {
        EXPECT_TRUE(names.insert(s.name).second) << s.name;
        EXPECT_EQ(&s, NamedSettings::Find(s.name));
        EXPECT_TRUE(!s.ppd.keyword || keywords.insert(s.ppd.keyword).second) << s.name;
        EXPECT_TRUE(!s.ipp.attribute || attributes.insert(s.ipp.attribute).second) << s.name;
        EXPECT_LE(s.range.low, s.range.high) << s.name;
        if (s.range.isSwitch) {
            EXPECT_EQ(0, s.range.low) << s.name;
            EXPECT_EQ(1, s.range.high) << s.name;
        }
        EXPECT_TRUE(!s.ipp.autoKeyword || !s.choices.empty()) << s.name;
        std::set<std::string> choiceKeywords;
        for (const NamedSettings::Choice& c : s.choices) {
            EXPECT_TRUE(choiceKeywords.insert(c.keyword).second) << s.name << " " << c.keyword;
            EXPECT_EQ(&c, NamedSettings::ChoiceByPpd(s, c.ppdChoice));
            EXPECT_EQ(&c, NamedSettings::ChoiceByValue(s, c.value));
            CBaseRender render;
            EXPECT_EQ(c.value, NamedSettings::Apply(render, s, c.value)) << s.name << " " << c.keyword;
        }
        const CBaseRender fresh;
        const int initial = s.field.get(fresh);
        EXPECT_TRUE(initial >= s.range.low && initial <= s.range.high) << s.name << " " << initial;
    }
}

}  // namespace

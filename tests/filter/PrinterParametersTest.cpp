#include <cups/ppd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "filter/CCupsRender.h"
#include "printers/CPrinterTSPL.h"
#include "support/TestFiles.h"
#include "support/TestHost.h"

using namespace testing_support;

namespace {

using Host = CaptureHost<CCupsRender<CPrinterTSPL>>;

// Opens a PPD, marks its defaults and the job options, and reads the settings
// into a fresh renderer, as the job driver does.
class Settings {
public:
    Settings(const std::vector<PpdOption>& options, const std::string& jobOptions) {
        PpdSpec ppdSpec;
        ppdSpec.options = options;
        WriteFile(dir.File("p.ppd"), PpdText(ppdSpec));
        ppd = ppdOpenFile(dir.File("p.ppd").c_str());
        cups_option_t* parsed = nullptr;
        int count = cupsParseOptions(jobOptions.c_str(), 0, &parsed);
        ppdMarkDefaults(ppd);
        cupsMarkOptions(ppd, count, parsed);
        cupsFreeOptions(count, parsed);
        host.m_pPpd = ppd;
        host.GetPrinterParameters();
    }
    ~Settings() { ppdClose(ppd); }

    bool Logged(const std::string& line) const {
        return std::find(host.logs.begin(), host.logs.end(), line) != host.logs.end();
    }

    TempDir dir;
    ppd_file_t* ppd = nullptr;
    Host host;
};

}  // namespace

TEST(PpdSettings, PpdWithoutTheOptionsKeepsDefaults) {
    Settings s({}, "");
    const tagREGSTRUCT& reg = s.host.m_RegStruct;
    const tagREGSTRUCTWITHALFTONE& tone = s.host.m_HalfTone;
    EXPECT_EQ(std::count_if(s.host.logs.begin(), s.host.logs.end(),
                            [](const std::string& l) { return l.find(" is error") != std::string::npos; }),
              18);
    EXPECT_EQ(s.host.logs.front(), "CCupsRender::GetPrinterParameters");
    EXPECT_TRUE(s.Logged("GetMarkedOption: AdjustHoriaontal is error"));
    EXPECT_TRUE(s.Logged("iLiangdu = 0"));
    EXPECT_EQ(s.host.logs.size(), 20u);
    EXPECT_EQ(reg.iDensity, -1);
    EXPECT_EQ(reg.iSpeed, -1);
    EXPECT_EQ(reg.iMarkLength, 3);
    EXPECT_EQ(reg.iPrinttype, 0);
    EXPECT_EQ(tone.iGrayMethod, 3);
    EXPECT_EQ(tone.iThreValue, 175);
    EXPECT_FALSE(tone.ImageCompress);
}

TEST(PpdSettings, MarkedChoiceIsLoggedInFull) {
    Settings s(FilterOptions(), "Darkness=12");
    EXPECT_TRUE(
        s.Logged("Darkness: marked=1, choice: 12, text: 12, code: , \t\t\tconflicted=0, keyword: Darkness, "
                 "defchoice: Default, option->text: Darkness, option->num_choices: 22"))
        << s.host.logs[13];
}

struct OptionCase {
    friend void PrintTo(const OptionCase& c, std::ostream* os) { *os << c.job; }
    const char* job;
    std::function<int(const CBaseRender&)> field;
    int expected;
    const char* logLine;  // nullptr: no line for this field
};

class OptionMapping : public ::testing::TestWithParam<OptionCase> {};

TEST_P(OptionMapping, SetsTheFieldAndLogsIt) {
    const OptionCase& c = GetParam();
    Settings s(FilterOptions(), c.job);
    EXPECT_EQ(c.field(s.host), c.expected) << c.job;
    if (c.logLine) {
        EXPECT_TRUE(s.Logged(c.logLine)) << c.job;
    }
}

namespace {
int Density(const CBaseRender& r) { return r.m_RegStruct.iDensity; }
int Speed(const CBaseRender& r) { return r.m_RegStruct.iSpeed; }
int RefX(const CBaseRender& r) { return r.m_RegStruct.iReference[0]; }
int RefY(const CBaseRender& r) { return r.m_RegStruct.iReference[1]; }
int PrintType(const CBaseRender& r) { return r.m_RegStruct.iPrinttype; }
int Media(const CBaseRender& r) {
    return r.m_RegStruct.iMediaType * 100 + r.m_RegStruct.iMarkLength * 10 + r.m_RegStruct.iMarkOffset;
}
int Feed(const CBaseRender& r) { return r.m_RegStruct.iOffset * 100 + r.m_RegStruct.iPostFeed; }
int Rotation(const CBaseRender& r) { return r.m_RegStruct.iRotate; }
int Dotted(const CBaseRender& r) { return r.m_RegStruct.iDottedline; }
int Brightness(const CBaseRender& r) { return r.m_HalfTone.iLiangdu; }
int Contrast(const CBaseRender& r) { return r.m_HalfTone.iDuibidu; }
int Filter(const CBaseRender& r) { return r.m_HalfTone.iGrayMethod; }
int Level(const CBaseRender& r) { return r.m_HalfTone.iThreValue; }
int Compress(const CBaseRender& r) { return r.m_HalfTone.ImageCompress; }
int Crops(const CBaseRender& r) {
    const tagREGSTRUCTWITHALFTONE& t = r.m_HalfTone;
    return t.iCropTopEdge * 1000 + t.iCropBottomEdge * 100 + t.iCropLeftEdge * 10 + t.iCropRightEdge;
}
}  // namespace

INSTANTIATE_TEST_SUITE_P(PpdSettings, OptionMapping,
                         ::testing::Values(OptionCase{"Darkness=Default", Density, -1, nullptr},
                                           OptionCase{"Darkness=12", Density, 12, "iDensity = 12"},
                                           OptionCase{"zePrintRate=Default", Speed, -1, nullptr},
                                           OptionCase{"zePrintRate=3", Speed, 3, "iSpeed = 3"},
                                           OptionCase{"AdjustHoriaontal=3", RefX, 24, "iReference[0] = 24"},
                                           OptionCase{"AdjustHoriaontal=-2", RefX, -16, "iReference[0] = -16"},
                                           OptionCase{"AdjustVertical=5", RefY, 40, "iReference[1] = 40"},
                                           OptionCase{"MediaMethod=Direct", PrintType, 0, "iPrinttype = 0"},
                                           OptionCase{"MediaMethod=Normal", PrintType, 0, "iPrinttype = 0"},
                                           OptionCase{"MediaMethod=Ribbon", PrintType, 1, "iPrinttype = 1"},
                                           OptionCase{"zeMediaTracking=Gap", Media, 130, "Gap = 1, 3, 0"},
                                           OptionCase{"zeMediaTracking=Roll", Media, 400, "Gap = 4, 0, 0"},
                                           OptionCase{"zeMediaTracking=BLine_Fold", Media, 200, "Gap = 2, 0, 0"},
                                           OptionCase{"zeMediaTracking=Mystery", Media, 30, "Gap = 0, 3, 0"},
                                           OptionCase{"FeedOffset=5", Feed, 505, "iOffset = 5"},
                                           OptionCase{"Rotate=Default", Rotation, 0, "iRotate = 0"},
                                           OptionCase{"Rotate=2", Rotation, 2, "iRotate = 2"},
                                           OptionCase{"AutoDotted=-1", Dotted, 1, "iDottedline = 1"},
                                           OptionCase{"AutoDotted=0", Dotted, 0, "iDottedline = 0"},
                                           OptionCase{"Brightness=-20", Brightness, -20, "iLiangdu = -20"},
                                           OptionCase{"Contrast=40", Contrast, 40, "iDuibidu = 40"},
                                           OptionCase{"ImageFilter=0", Filter, 0, "iGrayMethod = 0"},
                                           OptionCase{"Threshold=300", Level, 300, "iThreValue = 300"},
                                           OptionCase{"ImageCompress=1", Compress, 1, "ImageCompress = 1"},
                                           OptionCase{"CropEdgeTop=1 CropEdgeBottom=2 CropEdgeLeft=3 CropEdgeRight=5",
                                                      Crops, 1235, "iCropRightEdge = 5"}));

TEST(PpdSettings, UnknownMediaChoiceKeepsTheEarlierValues) {
    Settings s(FilterOptions({{"zeMediaTracking", "Mystery"}}), "");
    EXPECT_EQ(s.host.m_RegStruct.iMediaType, 0);
    EXPECT_EQ(s.host.m_RegStruct.iMarkLength, 3);  // the record's own default
    EXPECT_TRUE(s.Logged("Gap = 0, 3, 0"));
}

// Numbers past what a setting can carry are clamped with a log line; the
// limits themselves pass unchanged and unlogged.
struct LimitCase {
    friend void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.keyword << "=" << c.choice; }
    const char* keyword;
    const char* choice;
    std::function<int(const CBaseRender&)> field;
    int expected;
    bool clamped;
};

class ChoiceLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(ChoiceLimits, ClampToWhatTheSettingCarries) {
    const LimitCase& c = GetParam();
    Settings s(FilterOptions({{c.keyword, c.choice}}), "");
    EXPECT_EQ(c.field(s.host), c.expected);
    const std::string line = std::string(c.keyword) + ": choice " + c.choice + " is out of range, using ";
    const bool logged = std::any_of(s.host.logs.begin(), s.host.logs.end(),
                                    [&line](const std::string& l) { return l.rfind(line, 0) == 0; });
    EXPECT_EQ(logged, c.clamped);
}

INSTANTIATE_TEST_SUITE_P(PpdSettings, ChoiceLimits,
                         ::testing::Values(LimitCase{"AdjustHoriaontal", "99999999999", RefX, 80000, true},
                                           LimitCase{"AdjustVertical", "-10000", RefY, -80000, false},
                                           LimitCase{"AdjustVertical", "-10001", RefY, -80000, true},
                                           LimitCase{"FeedOffset", "2147483648", Feed, 1000000 + 10000, true},
                                           LimitCase{"CropEdgeLeft", "10000", Crops, 10000 * 10, false},
                                           LimitCase{"Brightness", "-3000000000", Brightness, -1000000, true},
                                           LimitCase{"Contrast", "1000000", Contrast, 1000000, false},
                                           LimitCase{"Darkness", "4294967296", Density, 2147483647, true},
                                           LimitCase{"Threshold", "-2147483648", Level, -2147483647 - 1, false},
                                           LimitCase{"ImageCompress", "4294967296", Compress, 1, true}));

// The project's own options clamp to the shared table's ranges as the
// eighteen do to theirs.
TEST(PpdSettings, ProjectOptionPastItsRangeIsClampedAndLogged) {
    std::vector<PpdOption> options = FilterOptions();
    options.push_back({"qvEndFeed", {"15", "150"}, "150"});
    Settings s(options, "");
    EXPECT_EQ(100, s.host.m_Extension.iEndFeed);
    EXPECT_TRUE(s.Logged("qvEndFeed: choice 150 is out of range, using 100"));
    EXPECT_TRUE(s.Logged("qvEndFeed = 100"));
}

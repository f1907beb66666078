// Both hosts give the same bytes: a job of gray tones and hard edges,
// printed through the quorvant filter with each driver's PPD and through a
// private printer application server, for every driver and a table of the
// settings the two hosts share.
#include <cups/ppd.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "families/DriverTable.h"
#include "preview/PreviewLanguages.h"
#include "printerapp/AppServer.h"
#include "support/FilterRun.h"
#include "support/Sanitizers.h"

namespace testing_support {
namespace {

std::string PpdPath(const DriverTable::Driver& driver) {
    return std::string(QUORVANT_BUILD_DIR) + "/ppd/" + driver.ppd;
}

// One setting as each host takes it. A row applies to the drivers whose PPD
// has every option and choice of `filter`.
struct Setting {
    const char* name;
    const char* filter;  // the filter's options, as "-o" takes them
    const char* app;     // the application's job attributes, space-separated
    // A darkness level of the PPD's "Darkness": the filter gets the level,
    // the application the print-darkness that puts it at the level's share
    // of PAPPL's 0-100 scale; -1: none.
    int darknessLevel;
};

const Setting kSettings[] = {
    {"Default", "", "", -1},
    {"Darkness0", "", "", 0},
    {"Darkness3", "", "", 3},
    {"Darkness8", "", "", 8},
    {"Darkness15", "", "", 15},
    {"Speed2", "zePrintRate=2", "print-speed=5080", -1},
    {"Speed6", "zePrintRate=6", "print-speed=15240", -1},
    {"GapLabels", "zeMediaTracking=Gap", "media-type=labels media-tracking=gap", -1},
    {"BlackMark", "zeMediaTracking=BLine", "media-type=labels media-tracking=mark", -1},
    {"Continuous", "zeMediaTracking=Continuous", "media-type=continuous media-tracking=continuous", -1},
    // A job that names the tracking only: PAPPL fills in the media type of
    // the printer's ready media.
    {"TrackingOnlyGap", "zeMediaTracking=Gap", "media-tracking=gap", -1},
    {"TrackingOnlyMark", "zeMediaTracking=BLine", "media-tracking=mark", -1},
    {"TrackingOnlyContinuous", "zeMediaTracking=Continuous", "media-tracking=continuous", -1},
    // Perforated and recording stock ("zeMediaTracking" Perforated,
    // Recording) have no PWG media type: the application does not offer them.
    {"Threshold", "ImageFilter=0", "halftoning=threshold", -1},
    {"EdgeKeeping", "ImageFilter=EdgeKeeping", "halftoning=edge-keeping", -1},
    {"FloydSteinberg", "ImageFilter=1", "halftoning=floyd-steinberg", -1},
    {"Burkes", "ImageFilter=3", "halftoning=burkes", -1},
    {"Bayer8x8", "ImageFilter=9", "halftoning=bayer-8x8", -1},
    {"ContentText", "ImageFilter=EdgeKeeping", "print-content-optimize=text", -1},
    {"ContentGraphic", "ImageFilter=EdgeKeeping", "print-content-optimize=graphic", -1},
    {"ContentPhoto", "ImageFilter=3", "print-content-optimize=photo", -1},
    {"BiLevel", "ImageFilter=0", "print-color-mode=bi-level", -1},
    {"NoCut", "qvCutMode=0", "cut-mode=none", -1},
    {"PartialCutAfterJob", "qvCutMode=2", "cut-mode=job-partial", -1},
    {"FullCutEveryPage", "qvCutMode=3", "cut-mode=page-full", -1},
    {"PartialCutEveryPage", "qvCutMode=4", "cut-mode=page-partial", -1},
    {"DrawerBefore", "qvCashDrawer=1", "cash-drawer=before", -1},
    {"DrawerAfter", "qvCashDrawer=2", "cash-drawer=after", -1},
    {"NoEndFeed", "qvEndFeed=0", "end-feed=0", -1},
    {"EndFeed5", "qvEndFeed=5", "end-feed=5", -1},
    // The application trims every roll page, as the PPDs do by default.
    {"TrimRoll", "qvTrimRoll=True", "", -1},
    {"FullRollLength", "qvTrimRoll=False", "receipt-length=page", -1},
    {"Rotate90", "Rotate=2", "rotation=rotate-90", -1},
    {"Rotate180", "Rotate=1", "rotation=rotate-180", -1},
    {"Rotate270", "Rotate=3", "rotation=rotate-270", -1},
};

std::string FilterOptions(const Setting& setting) {
    std::string options = setting.filter;
    if (setting.darknessLevel >= 0)
        options += (options.empty() ? "" : " ") + std::string("Darkness=") + std::to_string(setting.darknessLevel);
    return options;
}

std::vector<std::string> AppOptions(const DriverTable::Driver& driver, const Setting& setting) {
    std::vector<std::string> options;
    std::istringstream words(setting.app ? setting.app : "");
    for (std::string word; words >> word;)
        options.push_back(word);
    if (setting.darknessLevel >= 0 && driver.darknessLevels > 1) {
        const int top = driver.darknessLevels - 1;
        const int share = (setting.darknessLevel * 100 + top / 2) / top;
        options.push_back("print-darkness=" + std::to_string(share - DriverTable::kFactoryDarkness));
    }
    return options;
}

// Whether the driver's PPD has every option and choice the row gives the
// filter.
bool Applies(ppd_file_t* ppd, const std::string& filterOptions) {
    cups_option_t* options = nullptr;
    const int count = cupsParseOptions(filterOptions.c_str(), 0, &options);
    bool applies = true;
    for (int i = 0; i < count && applies; i++)
        applies = ppdFindChoice(ppdFindOption(ppd, options[i].name), options[i].value) != nullptr;
    cupsFreeOptions(count, options);
    return applies;
}

struct Case {
    const DriverTable::Driver* driver;
    const Setting* setting;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.driver->name << " " << c.setting->name; }

// Every driver with every row its PPD has; without the PPDs, one case per
// driver, which is skipped. A sanitizer build, where the bytes are the same
// and each case costs five times as much, compares every row on the first
// driver and the first row on every driver.
// A level at the application's factory share of 0-100 (15 of ZPL's 0-30)
// leaves the printer its own darkness there, by design: the hosts differ.
bool AtFactoryShare(const DriverTable::Driver& driver, const Setting& setting) {
    if (setting.darknessLevel < 0 || driver.darknessLevels <= 1)
        return false;
    const int top = driver.darknessLevels - 1;
    return (setting.darknessLevel * 100 + top / 2) / top == DriverTable::kFactoryDarkness;
}

std::vector<Case> Cases() {
    constexpr bool kEveryRowOfEveryDriver = !kSanitized;
    std::vector<Case> cases;
    size_t count = 0;
    const DriverTable::Driver* drivers = DriverTable::Drivers(count);
    for (size_t d = 0; d < count; d++) {
        ppd_file_t* ppd = ppdOpenFile(PpdPath(drivers[d]).c_str());
        for (const Setting& setting : kSettings) {
            if (AtFactoryShare(drivers[d], setting))
                continue;
            if (ppd ? Applies(ppd, FilterOptions(setting)) &&
                          (kEveryRowOfEveryDriver || d == 0 || &setting == kSettings)
                    : &setting == kSettings)
                cases.push_back({&drivers[d], &setting});
        }
        ppdClose(ppd);
    }
    return cases;
}

// Two pages of the driver's default media size (so that neither host places
// or shrinks it), each white above and below (for the roll drivers'
// trimming), with a gray ramp across the page and a black block beside a
// mid-gray one (edges for the edge-keeping method). Two, so that the
// settings of every page (cuts, feeds) show beside those of the job.
Bytes TestJob(const DriverTable::Driver& driver) {
    const pwg_media_t* media = pwgMediaForPWG(driver.media[0]);
    RasterPage page;
    page.width = static_cast<unsigned>(media->width) * static_cast<unsigned>(driver.dpi) / 2540;
    page.height = static_cast<unsigned>(media->length) * static_cast<unsigned>(driver.dpi) / 2540;
    page.xdpi = page.ydpi = static_cast<unsigned>(driver.dpi);
    page.bitsPerPixel = 8;
    page.colorSpace = CUPS_CSPACE_SW;
    const unsigned w = page.width, h = page.height;
    page.data.assign(static_cast<size_t>(w) * h, 0xFF);
    for (unsigned y = h / 8; y < h * 7 / 8; y++) {
        uint8_t* row = page.data.data() + static_cast<size_t>(y) * w;
        for (unsigned x = 0; x < w; x++) {
            if (y < h / 2)
                row[x] = static_cast<uint8_t>(x * 255 / w);
            else if (x >= w / 8 && x < w * 3 / 8)
                row[x] = 0;
            else if (x >= w / 2 && x < w * 7 / 8 && y < h * 3 / 4)
                row[x] = 128;
        }
    }
    return RasterBytes({page, page}, CUPS_RASTER_WRITE_PWG);
}

// What each page of a printer stream sets, for a failure message.
std::string Described(const Bytes& stream) {
    std::unique_ptr<CPreviewDecoder> decoder =
        PreviewLanguages::Create(PreviewLanguages::Detect(stream.data(), stream.size()));
    if (!decoder || !decoder->Decode(stream.data(), stream.size()))
        return "(no decodable stream)";
    std::string text;
    for (const CPreviewPage& page : decoder->Pages())
        text += page.SettingsText() + "; " + std::to_string(page.BlackDots()) + " black dots\n";
    return text;
}

// One server for every case, started at the first case that prints, with
// a printer on a file: device for each driver as a case first needs it (a
// case run on its own starts only what it uses).
class HostAgreementTest : public ::testing::TestWithParam<Case> {
protected:
    static void TearDownTestSuite() {
        server.reset();
        printers.clear();
    }

    static bool ServerUp() {
        if (!server) {
            server = std::make_unique<AppServer>();
            serverUp = server->Start();
        }
        return serverUp;
    }

    static bool PrinterAdded(const DriverTable::Driver& driver, std::string& output) {
        if (printers.count(driver.name))
            return true;
        if (!server->AddFilePrinter(driver.name, driver.name, output))
            return false;
        printers.insert(driver.name);
        return true;
    }

    // The bytes printer `printer` received for one job.
    static Bytes PrintThroughApp(const std::string& printer, const Bytes& job,
                                 const std::vector<std::string>& options) {
        const std::string device = server->Dir().File(printer + ".prn");
        const size_t before = ReadFile(device).size();
        const std::string file = server->Dir().File(printer + "-job.pwg");
        WriteFile(file, job);
        const std::string state = server->Print(printer, file, options);
        EXPECT_EQ("completed", state) << server->LogProblems();
        const Bytes all = ReadFile(device);
        return Bytes(all.begin() + static_cast<long>(std::min(before, all.size())), all.end());
    }

    static std::unique_ptr<AppServer> server;
    static bool serverUp;
    static std::set<std::string> printers;  // added to the server
};

std::unique_ptr<AppServer> HostAgreementTest::server;
bool HostAgreementTest::serverUp = false;
std::set<std::string> HostAgreementTest::printers;

TEST_P(HostAgreementTest, SamePageSameBytes) {
    const DriverTable::Driver& driver = *GetParam().driver;
    const Setting& setting = *GetParam().setting;
    const std::string ppd = PpdPath(driver);
    if (access(ppd.c_str(), R_OK) != 0)
        GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    if (!ServerUp())
        GTEST_SKIP() << "the printer application cannot start here: " << server->Problem();
    std::string output;
    ASSERT_TRUE(PrinterAdded(driver, output)) << output;

    const Bytes job = TestJob(driver);
    FilterJob filterJob = MakeJob(ppd, FilterOptions(setting));
    filterJob.input = job;
    const FilterResult filtered = RunFilter(filterJob);
    ASSERT_EQ(0, filtered.status) << filtered.err;
    const Bytes printed = PrintThroughApp(driver.name, job, AppOptions(driver, setting));
    EXPECT_EQ("", DiffBytes(filtered.out, printed))
        << "filter: " << Described(filtered.out) << "application: " << Described(printed);
}

INSTANTIATE_TEST_SUITE_P(PrinterApp, HostAgreementTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.driver->name) + "_" + info.param.setting->name;
                         });

}  // namespace
}  // namespace testing_support

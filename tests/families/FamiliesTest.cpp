// The family and driver tables against everything that restates them: the
// renderers, the preview's decoders, the PPDs the build compiles from the
// driver file, and the manual pages.
#include <cups/ppd.h>
#include <cups/pwg.h>
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "families/DriverTable.h"
#include "families/Families.h"
#include "families/KnownPrinters.h"
#include "families/NamedSettings.h"
#include "filter/CCupsRender.h"
#include "preview/PreviewLanguages.h"
#include "render/MediaTracking.h"
#include "support/CupsSystem.h"
#include "support/FamilyCases.h"
#include "support/TestFiles.h"
#include "support/TestHost.h"

using namespace testing_support;

namespace {

TEST(Families, EachHasARendererADecoderAndDriversOfItsOwn) {
    std::set<int> models;
    std::set<std::string> languages;
    for (const Families::Info& family : Families::All()) {
        EXPECT_TRUE(models.insert(family.modelNumber).second) << family.modelNumber;
        EXPECT_TRUE(languages.insert(family.language).second) << family.language;
        EXPECT_EQ(&family, Families::Find(family.modelNumber));
        CStdRefPtr<CBaseRender> render;
        render = MakeRefPtr<CBaseRender>(Families::CreateRenderer<CCupsRender>(family.modelNumber));
        EXPECT_NE(nullptr, static_cast<CBaseRender*>(render)) << family.language;
        std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create(family.language);
        ASSERT_TRUE(decoder) << family.language;
        EXPECT_STREQ(family.language, decoder->Language());
        const auto drivers = AllDrivers();
        EXPECT_TRUE(std::any_of(drivers.begin(), drivers.end(),
                                [&](const DriverTable::Driver* d) { return d->modelNumber == family.modelNumber; }))
            << family.language << " has no driver";
    }
    EXPECT_EQ(std::vector<std::string>(languages.begin(), languages.end()).size(), PreviewLanguages::Names().size());
    const int unknown = *models.rbegin() + 1;
    EXPECT_EQ(nullptr, Families::Find(unknown));
    EXPECT_EQ(nullptr, Families::CreateRenderer<CCupsRender>(unknown));
    EXPECT_EQ(nullptr, PreviewLanguages::Create("zpl"));
}

// What each renderer sends for a small page is recognised as its own
// language and as no other: the preview detects languages by their first
// bytes, whatever order it tries them in.
TEST(Families, EachStreamBeginsAsOnlyItsOwnLanguage) {
    Families::ForEach([](const auto& family) {
        using Printer = typename std::decay_t<decltype(family)>::PrinterClass;
        CaptureHost<CCupsRender<Printer>> render;
        render.SetPage(16, 8, Bytes(16, 0x0F));
        render.OnStartDoc(0);
        render.OnStartPage();
        render.OnPaintBmp();
        render.OnEndPage();
        render.OnEndDoc();
        ASSERT_FALSE(render.spooled.empty()) << family.language;
        int claimed = 0;
        Families::ForEach([&](const auto& other) {
            using Decoder = typename std::decay_t<decltype(other)>::DecoderClass;
            if (Decoder::Begins(render.spooled.data(), render.spooled.size())) {
                claimed++;
                EXPECT_STREQ(family.language, other.language);
            }
        });
        EXPECT_EQ(1, claimed) << family.language;
        EXPECT_EQ(family.language, PreviewLanguages::Detect(render.spooled.data(), render.spooled.size()));
    });
}

TEST(DriverTable, EveryDriverIsOfAFamilyAndHasMedia) {
    std::set<std::string> names, ppds;
    for (const DriverTable::Driver* row : AllDrivers()) {
        const DriverTable::Driver& d = *row;
        EXPECT_TRUE(names.insert(d.name).second) << d.name;
        EXPECT_TRUE(ppds.insert(d.ppd).second) << d.ppd;
        EXPECT_NE(nullptr, Families::Find(d.modelNumber)) << d.name;
        EXPECT_EQ(&d, DriverTable::Find(d.name));
        CBaseRender settings;
        EXPECT_TRUE(NamedSettings::ApplyKeyword(settings, "halftoning", d.halftone)) << d.name;
        ASSERT_NE(nullptr, d.media[0]) << d.name;
        // Media names carry no dot before their size part, parse as clients
        // parse them, and are the standard name wherever one exists.
        for (const char* const* m = d.media; *m; m++) {
            EXPECT_EQ(std::string::npos, std::string(*m).substr(0, std::string(*m).rfind('_')).find('.')) << *m;
            pwg_media_t* pwg = pwgMediaForPWG(*m);
            ASSERT_NE(nullptr, pwg) << *m;
            if (std::strncmp(*m, "roll_", 5) == 0)
                continue;
            pwg_media_t* standard = pwgMediaForSize(pwg->width, pwg->length);
            if (std::strncmp(standard->pwg, "custom_", 7) != 0) {  // a size of the standard table
                EXPECT_STREQ(standard->pwg, *m) << d.name;
            }
        }
    }
    EXPECT_EQ(nullptr, DriverTable::Find("zpl_203dpi"));
}

// A built PPD, read as CUPS reads it.
class BuiltPpd {
public:
    explicit BuiltPpd(const std::string& path) : m_ppd(ppdOpenFile(path.c_str())) {}
    ~BuiltPpd() {
        if (m_ppd)
            ppdClose(m_ppd);
    }
    explicit operator bool() const { return m_ppd != nullptr; }
    ppd_file_t* operator->() const { return m_ppd; }
    std::string Attr(const char* name) const {
        ppd_attr_t* attr = ppdFindAttr(m_ppd, name, nullptr);
        return attr && attr->value ? attr->value : "";
    }
    // The option's default choice; empty when the PPD has no such option.
    std::string Default(const char* keyword) const {
        ppd_option_t* option = ppdFindOption(m_ppd, keyword);
        return option ? option->defchoice : "";
    }
    std::vector<std::string> Choices(const char* keyword) const {
        std::vector<std::string> choices;
        if (ppd_option_t* option = ppdFindOption(m_ppd, keyword))
            for (int i = 0; i < option->num_choices; i++)
                choices.push_back(option->choices[i].choice);
        return choices;
    }

    // What the filter's readers make of the PPD with its defaults marked,
    // then `keyword`'s choice `choice` when given.
    std::unique_ptr<CaptureHost<CCupsRender<CPrinterTSPL>>> Read(const char* keyword = nullptr,
                                                                 const std::string& choice = "") const {
        ppdMarkDefaults(m_ppd);
        if (keyword)
            ppdMarkOption(m_ppd, keyword, choice.c_str());
        auto host = std::make_unique<CaptureHost<CCupsRender<CPrinterTSPL>>>();
        host->m_pPpd = m_ppd;
        host->GetPrinterParameters();
        host->m_pPpd = nullptr;
        return host;
    }

private:
    ppd_file_t* m_ppd;
};

// A PPD choice as the filter reads a number or a switch.
int ChoiceValue(const std::string& choice) {
    if (choice == "True" || choice == "False")
        return choice == "True";
    return std::atoi(choice.c_str());
}

std::string PpdDir() { return std::string(QUORVANT_BUILD_DIR) + "/ppd"; }

TEST(DriverTable, TheBuildMakesExactlyTheTablesPpds) {
    DIR* dir = opendir(PpdDir().c_str());
    if (!dir)
        GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    std::set<std::string> built;
    while (dirent* entry = readdir(dir))
        if (std::strstr(entry->d_name, ".ppd"))
            built.insert(entry->d_name);
    closedir(dir);
    const std::vector<std::string> names = ShippedPpds();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), built);
}

// The size of the PWG media `name` in points, as the PPDs state sizes.
bool PwgPoints(const char* name, double& width, double& length) {
    pwg_media_t* pwg = pwgMediaForPWG(name);
    if (!pwg)
        return false;
    width = pwg->width * 72.0 / 2540.0;
    length = pwg->length * 72.0 / 2540.0;
    return true;
}

class DriverPpd : public ::testing::TestWithParam<const DriverTable::Driver*> {};

// Each PPD says of its printer what the driver says, and marks by default
// what a job of the driver starts from.
TEST_P(DriverPpd, AgreesWithItsDriver) {
    const DriverTable::Driver& d = *GetParam();
    BuiltPpd ppd(PpdDir() + "/" + d.ppd);
    if (!ppd)
        GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    const Families::Info& family = *Families::Find(d.modelNumber);
    EXPECT_EQ(d.modelNumber, ppd->model_number);
    // ppdc puts the driver file's manufacturer before the model name.
    EXPECT_EQ(std::string("Quorvant ") + d.deviceIdModel, ppd.Attr("ModelName"));
    EXPECT_EQ(d.ppd, ppd.Attr("PCFileName"));
    EXPECT_EQ(family.personality, ppd.Attr("Personality"));
    // The command sets naming the driver's language, which the matcher
    // takes for it from a printer of an unknown maker.
    const std::string commands = KnownPrinters::CommandSetsOf(d.name);
    EXPECT_EQ(commands.empty() ? "" : "CMD:" + commands + ";", ppd.Attr("1284DeviceID"));
    if (!commands.empty()) {
        EXPECT_EQ(&d, KnownPrinters::Find("MFG:Acme;" + ppd.Attr("1284DeviceID") + "MDL:L1;").driver);
    }
    EXPECT_EQ(std::to_string(d.dpi) + "dpi", ppd.Default("Resolution"));
    EXPECT_EQ(d.speed > 0, !ppd.Choices("zePrintRate").empty());
    const std::vector<std::string> methods = ppd.Choices("MediaMethod");
    EXPECT_EQ(d.ribbon, std::find(methods.begin(), methods.end(), "Transfer") != methods.end());
    // Speeds: the printer's own by default, the rest in the driver's range.
    for (const std::string& speed : ppd.Choices("zePrintRate")) {
        const int ips = std::atoi(speed.c_str());
        EXPECT_TRUE(speed == "Default" || (ips >= DriverTable::kLeastSpeed && ips <= d.speed)) << speed;
    }
    // Darkness: the printer's own by default, the choices its levels.
    const std::vector<std::string> darkness = ppd.Choices("Darkness");
    EXPECT_EQ(d.darknessLevels > 1, !darkness.empty());
    if (!darkness.empty()) {
        EXPECT_EQ("Default", ppd.Default("Darkness"));
        for (const std::string& level : darkness)
            EXPECT_TRUE(level == "Default" || std::atoi(level.c_str()) < d.darknessLevels) << level;
    }
    // Tracking: gaps on label stock; on rolls what the continuous stock is.
    // The application maps media to the same choices, and to the driver's
    // continuous one.
    const bool roll = d.stock == DriverTable::Stock::Roll;
    EXPECT_EQ(roll ? d.continuous : "Gap", ppd.Default("zeMediaTracking"));
    const std::vector<std::string> tracking = ppd.Choices("zeMediaTracking");
    EXPECT_NE(tracking.end(), std::find(tracking.begin(), tracking.end(), d.continuous)) << d.continuous;
    for (const std::string& choice : tracking)
        EXPECT_NE(nullptr, MediaTracking::Find(choice)) << choice;

    // Media: the same sizes, the default first.
    std::vector<std::string> sizes;
    for (int i = 0; i < ppd->num_sizes; i++)
        if (std::strcmp(ppd->sizes[i].name, "Custom") != 0)
            sizes.push_back(ppd->sizes[i].name);
    size_t named = 0;
    for (const char* const* m = d.media; *m; m++) {
        if (std::strncmp(*m, "roll_", 5) == 0)
            continue;
        named++;
        double width = 0, length = 0;
        ASSERT_TRUE(PwgPoints(*m, width, length)) << *m;
        const bool found = std::any_of(sizes.begin(), sizes.end(), [&](const std::string& name) {
            ppd_size_t* size = ppdPageSize(ppd.operator->(), name.c_str());
            return std::fabs(size->width - width) < 0.5 && std::fabs(size->length - length) < 0.5;
        });
        EXPECT_TRUE(found) << d.ppd << " has no size of " << *m;
        if (m == d.media) {
            ppd_size_t* size = ppdPageSize(ppd.operator->(), ppd.Default("PageSize").c_str());
            ASSERT_NE(nullptr, size);
            EXPECT_LT(std::fabs(size->width - width), 0.5) << *m;
            EXPECT_LT(std::fabs(size->length - length), 0.5) << *m;
        }
    }
    EXPECT_EQ(sizes.size(), named) << d.ppd;
}

// Each setting of the shared table is in the PPDs of the drivers it applies
// to and in no other. Read by the filter, every choice stores what the table
// says (a keyword choice its value, in the table's order; a number itself,
// inside the range), and the PPD's defaults what a job of the driver in the
// application starts from.
TEST_P(DriverPpd, CarriesTheSettingsOfItsDriver) {
    const DriverTable::Driver& d = *GetParam();
    BuiltPpd ppd(PpdDir() + "/" + d.ppd);
    if (!ppd)
        GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    const auto defaults = ppd.Read();
    for (const NamedSettings::Setting& s : NamedSettings::All()) {
        if (!s.ppd.keyword)
            continue;
        const bool applies = s.drivers.appliesTo(d);
        if (s.ppd.kind == NamedSettings::Ppd::Attribute) {
            // A switch is "True" or "False" in the PPD.
            const int value = NamedSettings::DefaultFor(s, d);
            const std::string text = s.range.isSwitch ? (value ? "True" : "False") : std::to_string(value);
            EXPECT_EQ(applies ? text : "", ppd.Attr(s.ppd.keyword)) << s.name;
            continue;
        }
        const std::vector<std::string> choices = ppd.Choices(s.ppd.keyword);
        EXPECT_EQ(applies, !choices.empty()) << s.name;
        if (!applies)
            continue;
        EXPECT_EQ(NamedSettings::DefaultFor(s, d), s.field.get(*defaults)) << s.name;
        if (!s.choices.empty()) {
            std::vector<std::string> table;
            for (const NamedSettings::Choice& c : s.choices)
                table.push_back(c.ppdChoice);
            EXPECT_EQ(table, choices) << s.name;
        }
        for (const std::string& choice : choices) {
            const auto read = ppd.Read(s.ppd.keyword, choice);
            const NamedSettings::Choice* c = NamedSettings::ChoiceByPpd(s, choice);
            const int expected = c ? c->value : ChoiceValue(choice);
            EXPECT_EQ(expected, s.field.get(*read)) << s.name << " " << choice;
            EXPECT_TRUE(expected >= s.range.low && expected <= s.range.high) << s.name << " " << choice;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverPpd, ::testing::ValuesIn(AllDrivers()),
                         [](const ::testing::TestParamInfo<const DriverTable::Driver*>& info) {
                             return std::string(info.param->name);
                         });

// A PPD's lines less its comments and the lines that name the printer.
std::vector<std::string> WithoutNames(const std::string& path) {
    static const std::set<std::string> kNames = {"PCFileName",    "Product",  "Manufacturer", "ModelName",
                                                 "ShortNickName", "NickName", "1284DeviceID"};
    const Bytes bytes = ReadFile(path);
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> kept;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("*%", 0) != 0 && !kNames.count(line.substr(1, line.find(':') - 1)))
            kept.push_back(line);
    return kept;
}

// The first line where `b` differs from `a`, or "" when they agree.
std::string FirstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    for (size_t i = 0; i < std::max(a.size(), b.size()); i++) {
        const std::string x = i < a.size() ? a[i] : "(end)", y = i < b.size() ? b[i] : "(end)";
        if (x != y)
            return "line " + std::to_string(i + 1) + ": " + x + " | " + y;
    }
    return "";
}

// A known printer's PPD is its driver's, line for line, under the
// printer's maker, model and device ID; the device ID gives the printer's
// driver.
TEST(KnownPrinterPpd, IsItsDriversPpdUnderThePrintersName) {
    size_t count = 0;
    const KnownPrinters::Printer* printers = KnownPrinters::All(count);
    for (size_t i = 0; i < count; i++) {
        const KnownPrinters::Printer& p = printers[i];
        if (!p.ppd)
            continue;
        BuiltPpd ppd(PpdDir() + "/" + p.ppd);
        if (!ppd)
            GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
        const DriverTable::Driver& d = *DriverTable::Find(p.driver);
        EXPECT_EQ("", FirstDifference(WithoutNames(PpdDir() + "/" + d.ppd), WithoutNames(PpdDir() + "/" + p.ppd)))
            << p.ppd;
        const KnownPrinters::PpdIdentity id = KnownPrinters::IdentityOf(p);
        EXPECT_EQ(id.make, ppd.Attr("Manufacturer")) << p.ppd;
        EXPECT_EQ(id.make + " " + id.model, ppd.Attr("ModelName")) << p.ppd;
        EXPECT_EQ(id.make + " " + id.model + ", " + d.description, ppd.Attr("NickName")) << p.ppd;
        EXPECT_EQ("(" + id.model + ")", ppd.Attr("Product")) << p.ppd;
        EXPECT_EQ(p.ppd, ppd.Attr("PCFileName"));
        EXPECT_EQ(id.deviceId, ppd.Attr("1284DeviceID")) << p.ppd;
        EXPECT_EQ(&p, KnownPrinters::Find(ppd.Attr("1284DeviceID")).printer) << p.ppd;
    }
}

// The manual pages, docs/printers.md and the packages name every driver, PPD,
// model number and language.
TEST(DriverTable, DocumentsNameEveryDriver) {
    const Bytes app = ReadFile(std::string(QUORVANT_SOURCE_DIR) + "/man/quorvant-printer-app.8");
    const Bytes filter = ReadFile(std::string(QUORVANT_SOURCE_DIR) + "/man/quorvant.7");
    const std::string appText(app.begin(), app.end()), filterText(filter.begin(), filter.end());
    const Bytes readme = ReadFile(std::string(QUORVANT_SOURCE_DIR) + "/docs/printers.md");
    const std::string readmeText(readme.begin(), readme.end());
    for (const DriverTable::Driver* d : AllDrivers()) {
        // docs/printers.md's table of PPDs, and its drivers.
        EXPECT_NE(std::string::npos,
                  readmeText.find("| `" + std::string(d->ppd) + "` | " + std::to_string(d->modelNumber) + " |"))
            << d->ppd;
        EXPECT_NE(std::string::npos, readmeText.find("`" + std::string(d->name) + "`")) << d->name;
        EXPECT_NE(std::string::npos, appText.find(std::string("\\fB") + d->name + "\\fP")) << d->name;
        EXPECT_NE(std::string::npos, filterText.find(std::string("\\fB") + d->ppd + "\\fP")) << d->ppd;
    }
    const Bytes preview = ReadFile(std::string(QUORVANT_SOURCE_DIR) + "/man/quorvant-preview.1");
    const std::string previewText(preview.begin(), preview.end());
    // The packages' descriptions name every language (each paragraph may
    // wrap a name at its space).
    const Bytes control = ReadFile(std::string(QUORVANT_SOURCE_DIR) + "/debian/control");
    std::string controlText(control.begin(), control.end());
    std::replace(controlText.begin(), controlText.end(), '\n', ' ');
    for (const Families::Info& family : Families::All()) {
        EXPECT_NE(std::string::npos, controlText.find(family.personality)) << family.personality;
        EXPECT_NE(std::string::npos, filterText.find("(model " + std::to_string(family.modelNumber) + ")"))
            << family.modelNumber;
        EXPECT_NE(std::string::npos, previewText.find(std::string("\\fB") + family.language + "\\fP"))
            << family.language;
    }
}

}  // namespace

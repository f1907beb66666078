#include <gtest/gtest.h>
#include <png.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "families/Families.h"
#include "preview/PreviewTestSupport.h"
#include "support/FamilyCases.h"
#include "support/FilterRun.h"

using namespace testing_support;
using namespace std::string_literals;

namespace {

const std::string kSampleRaster = std::string(QUORVANT_SOURCE_DIR) + "/samples/sample-label.ras";
const std::string kSamplePpd = std::string(QUORVANT_SOURCE_DIR) + "/samples/quorvant-tspl.ppd";

// The sample job printed with the sample PPD, its model number replaced.
Bytes SampleJob(int modelNumber, const TempDir& dir, const std::string& options = "") {
    std::ifstream in(kSamplePpd);
    std::stringstream text;
    text << in.rdbuf();
    std::string ppd = text.str();
    const std::string key = "*cupsModelNumber: 20";
    ppd.replace(ppd.find(key), key.size(), "*cupsModelNumber: " + std::to_string(modelNumber));
    const std::string path = dir.File("model" + std::to_string(modelNumber) + ".ppd");
    WriteFile(path, ppd);
    FilterJob job = MakeJob(path, options);
    job.rasterFile = kSampleRaster;
    FilterResult r = RunFilter(job);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

// The dots of a PNG written by the preview: true for a black pixel.
bool ReadPng(const std::string& path, int* width, int* height, std::vector<uint8_t>* gray) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_GRAY;
    gray->resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, gray->data(), 0, nullptr))
        return false;
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(PreviewTool, ListsTheSampleLabelProgram) {
    TempDir dir;
    PreviewRun run = RunPreview("-", SampleJob(20, dir, "Darkness=8"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::vector<std::string> lines = Lines(run.out);
    const std::vector<std::string> expected = {
        "standard input: tspl stream, 126866 bytes",
        "       0  SIZE 101.60 mm,152.40 mm",
        "      26  SET RIBBON OFF",
        "      42  REFERENCE 0,0",
        "      57  GAP 3 mm,0 mm",
        "      72  OFFSET 0 mm",
        "      85  DENSITY 8",
        "      96  SETC AUTODOTTED OFF",
        "     117  SETC PAUSEKEY ON",
        "     135  SETC WATERMARK ON",
        "     154  CLS",
        "     159  BITMAP 0,0 832x1218 mode 1 (126672 bytes)",
        "  126855  PRINT 1,1",
        "Page 1: 832 x 1218 dots (104.10 x 152.40 mm at 203 dpi), 263308 black dots",
        "  settings: label 101.60 mm x 152.40 mm, ribbon off, reference 0,0 dots, media gap 3 mm,0 mm, offset 0 mm, "
        "density 8, auto dotted off, pause key on, watermark on, print 1 set of 1 copy",
    };
    EXPECT_EQ(lines, expected);
}

// Every family's output of the sample job becomes PNG pages with the same
// black dots as the decoded page, and every family prints the same dots.
TEST(PreviewTool, PngPagesOfEveryFamilyShowTheSample) {
    TempDir dir;
    size_t firstBlack = 0;
    for (const Families::Info& family : Families::All()) {
        const int model = family.modelNumber;
        const Bytes stream = SampleJob(model, dir);
        const std::string prefix = dir.File("page" + std::to_string(model));
        PreviewRun run = RunPreview("--png " + prefix + " -", stream);
        ASSERT_EQ(run.status, 0) << model << ": " << run.err;
        EXPECT_NE(run.out.find("Wrote " + prefix + "-1.png\n"), std::string::npos) << run.out;

        EXPECT_EQ(PreviewLanguages::Detect(stream.data(), stream.size()), family.language);
        bool ok = false;
        auto decoder = Decoded(family.language, stream, &ok);
        ASSERT_TRUE(ok) << decoder->Error().Message();
        ASSERT_EQ(decoder->Pages().size(), 1u);
        const CPreviewPage& page = decoder->Pages()[0];
        int width = 0, height = 0;
        std::vector<uint8_t> gray;
        ASSERT_TRUE(ReadPng(prefix + "-1.png", &width, &height, &gray)) << model;
        // A ZPL label's picture is its ^PW wide, the decoded page whole bytes.
        ASSERT_EQ((width + 7) / 8 * 8, page.Width());
        ASSERT_EQ(height, page.Height());
        size_t mismatches = 0;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                if ((gray[size_t(y) * width + x] == 0) != ((page.Row(y)[x / 8] >> (7 - x % 8)) & 1))
                    mismatches++;
        EXPECT_EQ(mismatches, 0u) << model;
        if (&family == &Families::All().front())
            firstBlack = page.BlackDots();
        EXPECT_GT(page.BlackDots(), 100000u);
        EXPECT_EQ(page.BlackDots(), firstBlack) << model;
    }
}

TEST(PreviewTool, MalformedStreamEndsWithOneLineNamingTheByte) {
    TempDir dir;
    Bytes stream = SampleJob(20, dir, "ImageCompress=1");
    stream.resize(stream.size() - 30);
    PreviewRun run = RunPreview("", stream);
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = Lines(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_TRUE(
        std::regex_match(lines[0], std::regex("quorvant-preview: standard input: byte [0-9]+: expected .+, found .+")))
        << lines[0];
}

struct CommandLineCase {
    const char* args;
    std::string input;
    int status;
    std::string errStart;  // the beginning of standard error
    friend void PrintTo(const CommandLineCase& c, std::ostream* os) { *os << "args \"" << c.args << "\""; }
};

// The families' names as the preview lists them: "A, B or C".
std::string FamilyNames() {
    std::string names;
    const std::vector<Families::Info>& all = Families::All();
    for (size_t i = 0; i < all.size(); i++)
        names += (i == 0 ? "" : i + 1 == all.size() ? " or " : ", ") + std::string(all[i].personality);
    return names;
}

// The --lang names: "a|b|c".
std::string LanguageNames() {
    std::string names;
    for (const Families::Info& family : Families::All())
        names += (names.empty() ? "" : "|") + std::string(family.language);
    return names;
}

const CommandLineCase kCommandLines[] = {
    {"--lang tspl", std::string("\x1B\x40\x00", 3), 1,
     "quorvant-preview: standard input: byte 0: expected printable text or CR LF, found 1B 40 00\n"},
    {"", std::string("\x00\x01", 2), 1,
     "quorvant-preview: standard input: byte 0: expected the start of a " + FamilyNames() + " stream, found 00 01\n"},
    {"", "", 1, "quorvant-preview: standard input: byte 0: expected the start"},
    {"--lang pcl", "", 2, "quorvant-preview: unknown language \"pcl\"\nUsage: "},
    {"--png", "", 2, "quorvant-preview: --png needs a value\nUsage: "},
    {"--frobnicate", "", 2, "quorvant-preview: unexpected argument \"--frobnicate\"\nUsage: "},
    {"/nonexistent/stream", "", 2, "quorvant-preview: cannot open /nonexistent/stream: "},
    {"--help", "", 0, ""},
};

class PreviewCommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(PreviewCommandLine, ExitStatusAndMessage) {
    const CommandLineCase& c = GetParam();
    PreviewRun run = RunPreview(c.args, ToBytes(c.input));
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.err.substr(0, c.errStart.size()), c.errStart) << run.err;
}

INSTANTIATE_TEST_SUITE_P(PreviewTool, PreviewCommandLine, ::testing::ValuesIn(kCommandLines));

TEST(PreviewTool, HelpGoesToStandardOutput) {
    PreviewRun run = RunPreview("--help", {});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Usage: quorvant-preview [--png PREFIX] [--lang " + LanguageNames() + "]", 0), 0u);
}

}  // namespace

namespace {

TEST(PreviewTool, BlankLabelHasNoPicture) {
    TempDir dir;
    PreviewRun run =
        RunPreview("--png " + dir.File("blank") + " -", ToBytes("SIZE 10 mm,10 mm\r\nCLS\r\nPRINT 1,1\r\n"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Page 1: 0 x 0 dots (0.00 x 0.00 mm at 203 dpi), 0 black dots\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Page 1 has no dots: no " + dir.File("blank") + "-1.png\n"), std::string::npos) << run.out;
}

struct Placement {
    std::string program;  // the bitmaps of one TSPL label
    Bytes dots;           // the page's rows, a set bit black
    int width;
};

// TSPL modes 0, 1 and 2 overwrite, OR and XOR their rows (a clear bit
// black) at any dot position; mode 3 data has a set bit black.
const Placement kPlacements[] = {
    {"BITMAP 0,0,1,1,1,\x0F\r\n"s, {0xF0}, 8},
    {"BITMAP 4,0,1,1,1,\x0F\r\n"s, {0x0F, 0x00}, 12},
    {"BITMAP 0,0,1,1,1,\x00\r\nBITMAP 4,0,1,1,2,\x0F\r\n"s, {0xF0, 0x00}, 12},
    {"BITMAP 0,0,1,1,1,\x00\r\nBITMAP 2,0,1,1,0,\xFF\r\n"s, {0xC0, 0x00}, 10},
    {"BITMAP 3,1,1,1,1,\x7E\r\n"s, {0x00, 0x00, 0x10, 0x20}, 11},
    {"BITMAP 0,0,1,2,3,10,\x78\x9C\x63\x60\x04\x00\x00\x03\x00\x02\r\n"s, {0x00, 0x01}, 8},
};

class PreviewTsplPlacement : public ::testing::TestWithParam<Placement> {};

TEST_P(PreviewTsplPlacement, CombinesBitmapsOnTheLabel) {
    bool ok = false;
    auto decoder = Decoded("tspl", ToBytes("CLS\r\n" + GetParam().program + "PRINT 1,1\r\n"), &ok);
    ASSERT_TRUE(ok) << decoder->Error().Message();
    ASSERT_EQ(decoder->Pages().size(), 1u);
    EXPECT_EQ(decoder->Pages()[0].Width(), GetParam().width);
    EXPECT_EQ(DiffBytes(GetParam().dots, decoder->Pages()[0].Dots()), "");
}

INSTANTIATE_TEST_SUITE_P(PreviewTool, PreviewTsplPlacement, ::testing::ValuesIn(kPlacements));

}  // namespace

namespace {

TEST(PreviewTool, DetectsTheLanguageFromTheFirstBytes) {
    const std::pair<std::string, const char*> cases[] = {
        {"SIZE 48.05 mm,30.03 mm\r\n", "tspl"},
        {"CLS\r\n", "tspl"},
        {"! 0 200 200 240 1\r\n", "cpcl"},
        {"\x1B\x40"s, "escpos"},
        {"\x1D\x76\x30"s, "escpos"},
        {"\x1B\x70\x00\xFF\xFF"s, "escpos"},
        {"\x10\xFF\xFE\x01"s, "solvane"},
        {"\xA5\x01\x05\x00"s, "tavrin"},
        {"~SD15\n^XA", "zpl"},
        {"^XA^PON", "zpl"},
        {"\nN\nq816\n"s, "epl2"},
        {"\x1B\x1B\x1B@"s, "dymo"},
        {std::string(200, '\0') + "\x1B\x40", "brother"},
        {"\x00\x1B\x40"s, ""},
        {"!PRINT", ""},
        {"\xA5\x02"s, ""},
        {"size", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        const Bytes bytes = ToBytes(c.first);
        EXPECT_EQ(PreviewLanguages::Detect(bytes.data(), bytes.size()), c.second) << ::testing::PrintToString(c.first);
    }
    EXPECT_TRUE(CoversEveryFamily(cases, [](const auto& c) { return Families::FindLanguage(c.second); }));
}

}  // namespace

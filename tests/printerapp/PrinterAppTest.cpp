// The printer application end to end: a private server, printers on file:
// devices, PWG raster jobs, the device output decoded by the preview.
#include <gtest/gtest.h>

#include <cstddef>
#include <map>

#include "families/DriverTable.h"
#include "families/NamedSettings.h"
#include "printerapp/AppServer.h"
#include "printers/CPrinterBrother.h"
#include "support/FamilyCases.h"
#include "support/FilterRun.h"

namespace testing_support {
namespace {

class PrinterAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.Start())
            GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    }

    void AddPrinter(const std::string& name, const std::string& driver) {
        std::string output;
        ASSERT_TRUE(server.AddFilePrinter(name, driver, output)) << output;
    }

    // Prints one page and decodes what reached the printer's device.
    std::vector<CPreviewPage> PrintAndDecode(const std::string& printer, const std::string& language, const Bytes& page,
                                             const std::vector<std::string>& options = {}) {
        const std::string file = server.Dir().File(printer + "-job.pwg");
        WriteFile(file, page);
        const std::string state = server.Print(printer, file, options);
        EXPECT_EQ("completed", state);
        output = ReadFile(server.Dir().File(printer + ".prn"));
        return server.DecodeDevice(printer, language);
    }

    AppServer server;
    Bytes output;
};

TEST_F(PrinterAppTest, TsplLabelKeepsSizeAndDots) {
    AddPrinter("labels", "tspl_203dpi");
    // A 4 x 6 in label with a black rectangle of 203 x 305 dots.
    const auto pages = PrintAndDecode("labels", "tspl", PwgGrayPage(812, 1218, 203, 203, 304, 406, 609));
    ASSERT_EQ(1u, pages.size());
    EXPECT_EQ(832, pages[0].Width());  // the 832-dot head
    EXPECT_EQ(1218, pages[0].Height());
    EXPECT_EQ(203u * 305u, pages[0].BlackDots());
    EXPECT_NE(std::string::npos, pages[0].SettingsText().find("label 101.60 mm x 152.40 mm"));
    EXPECT_NE(std::string::npos, pages[0].SettingsText().find("media gap 3 mm"));
}

TEST_F(PrinterAppTest, TsplDarknessAndSpeedFromTheJob) {
    AddPrinter("labels", "tspl_203dpi");
    const auto pages = PrintAndDecode("labels", "tspl", PwgGrayPage(812, 1218, 203, 0, 0, 100, 100),
                                      {"print-darkness=100", "print-speed=10160"});
    ASSERT_EQ(1u, pages.size());
    // Configured 50 + 100, clamped to 100: the darkest of 16 levels; 4 in/s.
    EXPECT_NE(std::string::npos, pages[0].SettingsText().find("density 15")) << pages[0].SettingsText();
    EXPECT_NE(std::string::npos, pages[0].SettingsText().find("speed 4")) << pages[0].SettingsText();
}

TEST_F(PrinterAppTest, EscposReceiptIsTrimmedAndCut) {
    AddPrinter("receipts", "escpos_80mm");
    // 576 dots wide, 1600 rows, ink on rows 400-599 only.
    const auto pages = PrintAndDecode("receipts", "escpos", PwgGrayPage(576, 1600, 203, 100, 400, 300, 600));
    ASSERT_FALSE(pages.empty());
    EXPECT_EQ(576, pages[0].Width());
    EXPECT_EQ(200u * 200u, pages[0].BlackDots());
    const std::string settings = pages.back().SettingsText();
    EXPECT_NE(std::string::npos, settings.find("cut")) << settings;
}

// The printer attributes `names` as a client reads them, each as
// ippAttributeString writes it ("a,b,c", "0-100"); absent: no entry.
std::map<std::string, std::string> PrinterAttributes(const AppServer& server, const std::string& printer,
                                                     const std::vector<std::string>& names) {
    std::map<std::string, std::string> values;
    http_t* http = ConnectTo(server.Port());
    if (!http)
        return values;
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, server.PrinterUri(printer).c_str());
    std::vector<const char*> wanted;
    for (const std::string& name : names)
        wanted.push_back(name.c_str());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", static_cast<int>(wanted.size()),
                  nullptr, wanted.data());
    ipp_t* response = cupsDoRequest(http, request, ("/ipp/print/" + printer).c_str());
    for (const std::string& name : names) {
        if (ipp_attribute_t* a = ippFindAttribute(response, name.c_str(), IPP_TAG_ZERO)) {
            char text[1024];
            ippAttributeString(a, text, sizeof text);
            values[name] = text;
        }
    }
    ippDelete(response);
    httpClose(http);
    return values;
}

// The application's own attributes are the shared table's settings that
// apply to the driver, with the table's choices or range and the driver's
// defaults; a printer default set with "modify" reaches the job.
TEST_F(PrinterAppTest, PrinterDefaultsOfItsOwnAttributesReachTheJob) {
    AddPrinter("receipts", "escpos_80mm");
    const DriverTable::Driver& driver = *DriverTable::Find("escpos_80mm");
    std::vector<std::string> names;
    std::map<std::string, std::string> expected;
    for (const NamedSettings::Setting& s : NamedSettings::All()) {
        if (!s.ipp.attribute)
            continue;
        const std::string name = s.ipp.attribute;
        names.push_back(name + "-supported");
        names.push_back(name + "-default");
        if (!s.drivers.appliesTo(driver))
            continue;
        const int value = NamedSettings::DefaultFor(s, driver);
        if (s.choices.empty()) {
            expected[name + "-supported"] = std::to_string(s.range.low) + "-" + std::to_string(s.range.high);
            expected[name + "-default"] = std::to_string(value);
            continue;
        }
        std::string keywords = s.ipp.autoKeyword ? s.ipp.autoKeyword : "";
        for (const NamedSettings::Choice& c : s.choices)
            keywords += (keywords.empty() ? "" : ",") + std::string(c.keyword);
        expected[name + "-supported"] = keywords;
        expected[name + "-default"] =
            s.ipp.autoKeyword ? s.ipp.autoKeyword : NamedSettings::ChoiceByValue(s, value)->keyword;
    }
    EXPECT_EQ(expected, PrinterAttributes(server, "receipts", names));

    const CommandResult modified =
        server.Run({"modify", "-d", "receipts", "-o", "cut-mode=job-partial", "-o", "end-feed=5"});
    ASSERT_EQ(0, modified.status) << modified.out;
    const auto pages = PrintAndDecode("receipts", "escpos", PwgGrayPage(576, 400, 203, 100, 100, 300, 300));
    ASSERT_FALSE(pages.empty());
    EXPECT_NE(std::string::npos, pages.back().SettingsText().find("feed 39 dots, partial cuts 1"))
        << pages.back().SettingsText();
}

// A page wider than the 58 mm head is shrunk as its lines arrive, in the
// application as in the filter.
TEST_F(PrinterAppTest, PageWiderThanTheHeadShrinksAsInTheFilter) {
    const std::string ppd = std::string(QUORVANT_BUILD_DIR) + "/ppd/qvesc58.ppd";
    if (access(ppd.c_str(), R_OK) != 0)
        GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    AddPrinter("receipts", "escpos_58mm");
    const Bytes page = PwgGrayPage(576, 800, 203, 100, 100, 500, 700);
    const auto pages = PrintAndDecode("receipts", "escpos", page);
    ASSERT_FALSE(pages.empty());
    EXPECT_EQ(384, pages[0].Width());

    FilterJob job = MakeJob(ppd);
    job.input = page;
    const FilterResult filtered = RunFilter(job);
    ASSERT_EQ(0, filtered.status) << filtered.err;
    EXPECT_EQ("", DiffBytes(filtered.out, output));
}

// A page whose lines stop halfway prints what came, the rest blank, with
// the filter's bytes.
TEST_F(PrinterAppTest, PageThatEndsEarlyPrintsAsInTheFilter) {
    const std::string ppd = std::string(QUORVANT_BUILD_DIR) + "/ppd/qvtspl.ppd";
    if (access(ppd.c_str(), R_OK) != 0)
        GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
    AddPrinter("labels", "tspl_203dpi");
    // A black band down the whole page, its lines cut off halfway.
    Bytes page = PwgGrayPage(400, 300, 203, 50, 0, 250, 300);
    const size_t header = 4 + sizeof(cups_page_header2_t);
    page.resize(header + (page.size() - header) / 2);
    const auto pages = PrintAndDecode("labels", "tspl", page);
    ASSERT_EQ(1u, pages.size());
    EXPECT_EQ(300, pages[0].Height());
    EXPECT_GT(pages[0].BlackDots(), 0u);
    EXPECT_LT(pages[0].BlackDots(), 200u * 300u);

    FilterJob job = MakeJob(ppd);
    job.input = page;
    const FilterResult filtered = RunFilter(job);
    ASSERT_EQ(0, filtered.status) << filtered.err;
    EXPECT_EQ("", DiffBytes(filtered.out, output));
}

// One 203-dpi page, 48 x 49 mm with a 100-dot black square, on every
// driver: the device output decodes with the square's dots, as wide as the
// page, which is as wide as the narrowest head (a label: no stock label size).
class PrinterAppDriverTest : public PrinterAppTest, public ::testing::WithParamInterface<const DriverTable::Driver*> {};

TEST_P(PrinterAppDriverTest, PageDecodesWithItsDots) {
    const DriverTable::Driver& d = *GetParam();
    ASSERT_GE(d.headDots, 384) << "the page is wider than the head";
    AddPrinter("printer", d.name);
    const auto pages =
        PrintAndDecode("printer", FamilyOfDriver(d.name).language, PwgGrayPage(384, 392, 203, 100, 100, 200, 200));
    ASSERT_FALSE(pages.empty());
    // Brother QL rows are as wide as the head.
    EXPECT_EQ(DriverTable::QlModelOf(d) ? CPrinterBrother::Pins(d.headDots, 384) : 384, pages[0].Width());
    EXPECT_EQ(100u * 100u, TotalBlackDots(pages));
}

INSTANTIATE_TEST_SUITE_P(PrinterApp, PrinterAppDriverTest, ::testing::ValuesIn(AllDrivers()),
                         [](const ::testing::TestParamInfo<const DriverTable::Driver*>& info) {
                             return std::string(info.param->name);
                         });

// Hostile and malformed jobs: each ends aborted or refused with a reason,
// and the server then prints a normal job.
Bytes GoodPage() { return PwgGrayPage(400, 300, 203, 50, 50, 150, 150); }

// Sets a 32-bit field of the first page header of a PWG stream (big-endian,
// after the 4-byte sync word).
void SetPwgField(Bytes& stream, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; i++)
        stream[4 + offset + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

Bytes HeaderOnly(unsigned width, unsigned height) {
    Bytes stream = GoodPage();
    stream.resize(4 + sizeof(cups_page_header2_t));
    SetPwgField(stream, offsetof(cups_page_header2_t, cupsWidth), width);
    SetPwgField(stream, offsetof(cups_page_header2_t, cupsHeight), height);
    SetPwgField(stream, offsetof(cups_page_header2_t, cupsBytesPerLine), width);
    return stream;
}

struct HostileJob {
    const char* name;
    const char* file;
    Bytes (*make)();
};

const HostileJob kHostileJobs[] = {
    {"ZeroSizePage", "job.pwg", [] { return HeaderOnly(0, 0); }},
    {"HugePage", "job.pwg", [] { return HeaderOnly(100000, 100000); }},
    // Refused as the filter refuses it: no head comes near 20000 dpi.
    {"ResolutionAboveTheLimit", "job.pwg",
     [] {
         Bytes stream = GoodPage();
         for (size_t axis = 0; axis < 2; axis++)
             SetPwgField(stream, offsetof(cups_page_header2_t, HWResolution) + 4 * axis, 20000);
         return stream;
     }},
    {"UnsupportedFormat", "job.txt",
     [] {
         const std::string text = "not a printable document\n";
         return Bytes(text.begin(), text.end());
     }},
};

class PrinterAppHostileTest : public PrinterAppTest, public ::testing::WithParamInterface<HostileJob> {};

TEST_P(PrinterAppHostileTest, EndsWithAReasonAndTheServerGoesOn) {
    AddPrinter("labels", "tspl_203dpi");
    const std::string file = server.Dir().File(GetParam().file);
    WriteFile(file, GetParam().make());
    const std::string state = server.Print("labels", file);
    if (state.rfind("submit failed", 0) == 0) {
        // Refused at submission: the client says why.
        EXPECT_GT(state.size(), std::string("submit failed: ").size()) << state;
    } else {
        EXPECT_EQ("aborted", state);
        const JobInfo job = server.LastJob("labels");
        EXPECT_EQ("aborted", job.state);
        // PAPPL rejects an unreadable header itself, saying only "Job
        // aborted."; the reasons carry the rest.
        EXPECT_FALSE(job.message.empty());
        EXPECT_NE(std::string::npos, job.reasons.find("aborted-by-system")) << job.reasons;
    }
    const auto pages = PrintAndDecode("labels", "tspl", GoodPage());
    ASSERT_EQ(1u, pages.size());
    EXPECT_EQ(100u * 100u, pages[0].BlackDots());
}

INSTANTIATE_TEST_SUITE_P(PrinterApp, PrinterAppHostileTest, ::testing::ValuesIn(kHostileJobs),
                         [](const ::testing::TestParamInfo<HostileJob>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace testing_support

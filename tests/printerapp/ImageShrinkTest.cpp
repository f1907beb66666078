// PNG and JPEG jobs in the printer application: PAPPL's image filter
// scales the picture, and the application states the size it printed at
// (checked against PAPPL's own account of its placement in the log) and
// warns when the shrink puts a 0.33 mm module below two dots.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>

#include "printerapp/AppServer.h"
#include "support/ImageFiles.h"

namespace testing_support {
namespace {

struct ImageCase {
    const char* driver;
    bool jpeg;
    unsigned width, height, ppi;
    const char* options;  // job attributes, space-separated
    const char* warning;  // the job's message, none where empty
};

const ImageCase kImages[] = {
    {"tspl_203dpi", false, 812, 1218, 203, "", ""},
    {"escpos_58mm", false, 812, 1218, 203, "", "the page was shrunk to 47 %; bar codes may not scan"},
    {"escpos_58mm", true, 812, 1218, 0, "", "the page was shrunk to 47 %; bar codes may not scan"},
    {"escpos_80mm", true, 812, 1218, 203, "print-scaling=fit", "the page was shrunk to 70 %; bar codes may not scan"},
    // 6 x 3 in across the 4 x 6 in label at 66 %, and turned onto it at 100 %.
    {"tspl_203dpi", false, 600, 300, 100, "", "the page was shrunk to 66 %; bar codes may not scan"},
    {"tspl_203dpi", false, 600, 300, 100, "orientation-requested=4", ""},
    {"tspl_203dpi", false, 200, 100, 100, "print-scaling=none", ""},
    {"tspl_203dpi", true, 1624, 2436, 406, "print-scaling=fill", ""},
    {"tspl_300dpi", false, 1624, 2436, 406, "", ""},
};

// The last match of `pattern` in the server's log: its groups.
std::smatch LastMatch(const std::string& log, const std::regex& pattern) {
    std::smatch last;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), pattern); it != std::sregex_iterator(); ++it)
        last = *it;
    return last;
}

TEST(PrinterAppImages, StatesThePrintedSizeAndWarnsOfAShrink) {
    AppServer server;
    if (!server.Start())
        GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    int n = 0;
    for (const ImageCase& c : kImages) {
        const std::string printer = "p" + std::to_string(++n), what = printer + " " + c.driver;
        std::string output;
        ASSERT_TRUE(server.AddFilePrinter(printer, c.driver, output)) << output;
        const auto black = [](unsigned, unsigned) -> uint8_t { return 0; };
        const std::string file = server.Dir().File(printer + (c.jpeg ? ".jpg" : ".png"));
        WriteFile(file, c.jpeg ? GrayJpeg(c.width, c.height, c.ppi, black) : GrayPng(c.width, c.height, c.ppi, black));
        std::vector<std::string> options;
        std::istringstream words(c.options);
        for (std::string word; words >> word;)
            options.push_back(word);
        ASSERT_EQ("completed", server.Print(printer, file, options)) << what << server.LogProblems();
        const JobInfo job = server.LastJob(printer);
        if (*c.warning)
            EXPECT_NE(std::string::npos, job.message.find(c.warning)) << what << ": " << job.message;
        else
            EXPECT_EQ(std::string::npos, job.message.find("shrunk")) << what << ": " << job.message;

        // The job's own lines: std::regex is slow on a long text.
        const std::string log = server.LogLinesWith("[Job " + std::to_string(job.id) + "]");
        const std::smatch stated = LastMatch(log, std::regex("printed (\\d+) x (\\d+) dots(, turned a quarter)?"));
        const std::smatch x = LastMatch(log, std::regex("xsize=(-?\\d+),")),
                          y = LastMatch(log, std::regex("ysize=(-?\\d+),"));
        ASSERT_FALSE(stated.empty() || x.empty() || y.empty()) << what;
        const bool turned = stated[3].matched;
        EXPECT_EQ(turned ? y[1] : x[1], stated[1]) << what;
        EXPECT_EQ(turned ? x[1] : y[1], stated[2]) << what;
    }
}

}  // namespace
}  // namespace testing_support

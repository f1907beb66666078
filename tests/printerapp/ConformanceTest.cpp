// CUPS's IPP Everywhere conformance suite (with IPP/2.0 and IPP/1.1) against
// every driver of a private server.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "families/DriverTable.h"
#include "printerapp/AppServer.h"
#include "support/FamilyCases.h"

namespace testing_support {
namespace {

const char kSuiteDir[] = "/usr/share/cups/ipptool";

const char* const kSuites[] = {"ipp-everywhere.test", "ipp-2.0.test", "ipp-1.1.test"};

// ipptool reads every FILE of a suite before it decides to skip a test, so
// each document the suites name must exist: a real page where the driver
// takes the sample's resolution and type (and the JPEGs, which every driver
// prints), an empty file elsewhere.
void WriteSamples(const std::string& dir, int dpi) {
    const std::regex file(R"(^\s*FILE\s+([^$\s]\S*))");
    const std::regex raster(R"(^pwg-raster-samples-(\d+)dpi/([a-z0-9-]+)/(\S+)-\d+dpi\.pwg$)");
    const Bytes photo = ReadFile(QUORVANT_SOURCE_DIR "/samples/sample-photo.jpg");
    std::smatch m, r;
    std::set<std::string> made;
    for (const char* suite : kSuites) {
        std::ifstream in(std::string(kSuiteDir) + "/" + suite);
        for (std::string line; std::getline(in, line);) {
            if (!std::regex_search(line, m, file))
                continue;
            const std::string name = m[1].str(), path = dir + "/" + name;
            if (made.insert(path.substr(0, path.rfind('/'))).second)
                RunCommand("mkdir -p '" + path.substr(0, path.rfind('/')) + "'");
            const bool jpeg = name.size() > 4 && name.compare(name.size() - 4, 4, ".jpg") == 0;
            if (!std::regex_match(name, r, raster) || std::stoi(r[1].str()) != dpi ||
                (r[2].str() != "black-1" && r[2].str() != "sgray-8")) {
                WriteFile(path, jpeg ? photo : Bytes{});
                continue;
            }
            // 4 x 6 in for the photos, A4 or letter for the documents.
            const bool card = r[3].str().find(".jpg-4x6") != std::string::npos;
            const bool a4 = r[3].str().find("-a4") != std::string::npos;
            const unsigned w = card ? 4 * dpi : a4 ? 210 * dpi * 10 / 254 : 85 * dpi / 10;
            const unsigned h = card ? 6 * dpi : a4 ? 297 * dpi * 10 / 254 : 11 * dpi;
            WriteFile(path, PwgGrayPage(w, h, dpi, w / 4, h / 4, w / 2, h / 2,
                                        r[2].str() == "black-1" ? "black_1" : "sgray_8"));
        }
    }
}

// A server with a printer of every driver on a file: device, up for over a
// second (printer-up-time must be above zero); null when it cannot start.
std::unique_ptr<AppServer> StartWithEveryDriver(std::string& problem) {
    auto server = std::make_unique<AppServer>();
    if (!server->Start()) {
        problem = server->Problem();
        return nullptr;
    }
    size_t count = 0;
    const DriverTable::Driver* drivers = DriverTable::Drivers(count);
    for (size_t i = 0; i < count; i++)
        if (!server->AddFilePrinter(drivers[i].name, drivers[i].name, problem))
            return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    return server;
}

// Every check of the suite, its Print-Job variants included, passes on
// every driver (fewer under a sanitizer: CheckedDrivers).
TEST(PrinterAppConformance, IppEverywhereSuitePassesForEveryDriver) {
    if (!HaveProgram("ipptool") || access((std::string(kSuiteDir) + "/ipp-everywhere.test").c_str(), R_OK) != 0)
        GTEST_SKIP() << "ipptool and its test suites (cups-ipp-utils) are not installed";
    TempDir suites;
    std::string problem;
    std::unique_ptr<AppServer> server = StartWithEveryDriver(problem);
    if (!server)
        GTEST_SKIP() << "the printer application cannot start here: " << problem;
    for (const DriverTable::Driver* checked : CheckedDrivers()) {
        const DriverTable::Driver& driver = *checked;
        // One copy of the suites and their documents per resolution.
        const std::string dir = suites.File("suite-" + std::to_string(driver.dpi));
        if (access(dir.c_str(), F_OK) != 0) {
            for (const char* suite : kSuites)
                RunCommand("mkdir -p '" + dir + "' && cp " + kSuiteDir + "/" + suite + " '" + dir + "'");
            WriteSamples(dir, driver.dpi);
        }
        const CommandResult run =
            RunCommand("cd '" + dir + "' && ipptool -V 2.0 -t -f '" QUORVANT_SOURCE_DIR "/samples/sample-photo.jpg' " +
                       server->PrinterUri(driver.name) + " ipp-everywhere.test");
        ASSERT_TRUE(server->Alive()) << driver.name << ": the server died during the suite";
        // ipptool's status ignores failures in the included suites: the
        // report is read instead.
        std::vector<std::string> failed;
        std::istringstream report(run.out);
        for (std::string line; std::getline(report, line);)
            if (line.find("[FAIL]") != std::string::npos)
                failed.push_back(line.substr(0, line.find_last_not_of(' ', line.find("[FAIL]") - 1) + 1));
        EXPECT_TRUE(run.out.find("[PASS]") != std::string::npos) << driver.name << ":\n" << run.out;
        EXPECT_TRUE(failed.empty()) << driver.name << ":\n" << run.out;
        // The label drivers' 4 x 6 in size has its standard name, which the
        // suite's "JPEG on 4x6" checks look for (and skip without).
        bool card = false;
        for (const char* const* m = driver.media; *m; m++)
            card = card || std::string(*m) == "na_index-4x6_4x6in";
        const std::regex onCard("JPEG on 4x6[^\n]*\\[PASS\\]");
        EXPECT_EQ(std::regex_search(run.out, onCard), card) << driver.name << ":\n" << run.out;
    }
}

}  // namespace
}  // namespace testing_support

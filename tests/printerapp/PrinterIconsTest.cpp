// Each family's printers show an icon of the family's own at the three
// sizes IPP's printer-icons names, instead of PAPPL's stand-in.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "families/DriverTable.h"
#include "printerapp/AppServer.h"
#include "printerapp/PrinterIcons.h"

namespace testing_support {
namespace {

// A PNG's width and height, from its header; 0 x 0 when it is none.
std::pair<unsigned, unsigned> PngSize(const std::string& png) {
    const auto word = [&](size_t at) {
        return unsigned(uint8_t(png[at])) << 24 | unsigned(uint8_t(png[at + 1])) << 16 |
               unsigned(uint8_t(png[at + 2])) << 8 | unsigned(uint8_t(png[at + 3]));
    };
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || png.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    return {word(16), word(20)};
}

// The printer-icons URIs' paths, as Get-Printer-Attributes gives them.
std::vector<std::string> IconPaths(const AppServer& server, const std::string& printer) {
    http_t* http = ConnectTo(server.Port());
    std::vector<std::string> paths;
    if (!http)
        return paths;
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, server.PrinterUri(printer).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-icons");
    ipp_t* response = cupsDoRequest(http, request, "/ipp/print");
    ipp_attribute_t* icons = ippFindAttribute(response, "printer-icons", IPP_TAG_URI);
    for (int i = 0; i < ippGetCount(icons); i++) {
        char scheme[32], user[256], host[256], resource[1024];
        int port = 0;
        httpSeparateURI(HTTP_URI_CODING_ALL, ippGetString(icons, i, nullptr), scheme, sizeof scheme, user, sizeof user,
                        host, sizeof host, &port, resource, sizeof resource);
        paths.push_back(resource);
    }
    ippDelete(response);
    httpClose(http);
    return paths;
}

TEST(PrinterAppIcons, EachFamilyHasItsOwnAtEverySize) {
    AppServer server;
    if (!server.Start())
        GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    size_t count = 0;
    const DriverTable::Driver* drivers = DriverTable::Drivers(count);
    std::map<int, std::string> families;  // model number -> its first driver's printer
    std::set<std::string> mediumIcons;
    for (size_t d = 0; d < count; d++) {
        const DriverTable::Driver& driver = drivers[d];
        if (families.count(driver.modelNumber))
            continue;
        const std::string printer = std::string("icon-") + driver.name;
        families[driver.modelNumber] = printer;
        std::string output;
        ASSERT_TRUE(server.AddFilePrinter(printer, driver.name, output)) << output;
        const std::vector<std::string> paths = IconPaths(server, printer);
        ASSERT_EQ(paths.size(), 3u) << printer;
        for (size_t i = 0; i < 3; i++) {
            const std::string png = GetPage(server.Port(), paths[i]);
            const unsigned side = unsigned(PrinterIcons::kSizes[i]);
            EXPECT_EQ(PngSize(png), std::make_pair(side, side)) << paths[i] << ": " << png.substr(0, 40);
            if (i == 1)
                mediumIcons.insert(png);
        }
    }
    EXPECT_EQ(mediumIcons.size(), families.size()) << "two families share an icon";
    EXPECT_EQ(server.Log().find("does not provide printer icons"), std::string::npos);
}

}  // namespace
}  // namespace testing_support

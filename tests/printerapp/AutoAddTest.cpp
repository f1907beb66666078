// A printer known by its device ID gets its driver without the user
// choosing one: the "drivers" sub-command's lookup and Create-Printer with
// the driver "auto", as the web page's "Auto-Detect Driver" and the
// "autoadd" sub-command send it.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include "families/DriverTable.h"
#include "printerapp/AppServer.h"

namespace testing_support {
namespace {

struct AutoCase {
    const char* deviceId;
    const char* driver;  // null: not added
};

const AutoCase kAutoCases[] = {
    {"MFG:Xprinter;CMD:CEZD;MDL:XP-420B;CLS:PRINTER;", "tspl_203dpi"},
    {"MFG:EPSON;CMD:ESC/POS;MDL:TM-T20III;", "escpos_80mm"},
    {"MANUFACTURER:HPRT;COMMAND SET:CPCL;MODEL:HM-A300E;", "cpcl_203dpi"},
    {"MFG:Acme;CMD:TSPL2;MDL:L-4;", "tspl_203dpi"},
    {"MFG:Xprinter;CMD:ESC/POS;MDL:XP-58IIH;", nullptr},
};

TEST(PrinterAppAutoAdd, DriversSubcommandNamesTheDriverForADeviceId) {
    TempDir dir;
    const std::string settings = " -o state-file=" + dir.File("app.state") +
                                 " -o spool-directory=" + dir.File("spool") + " -o log-file=" + dir.File("log") +
                                 " -o auth-service=none -o server-port=" + std::to_string(FreePort());
    for (const AutoCase& c : kAutoCases) {
        // Standard output alone: a sanitizer's report goes to standard error.
        const CommandResult r = RunCommand(std::string("{ '") + QUORVANT_APP_BIN + "' drivers" + settings +
                                           " -o 'device-id=\"" + c.deviceId + "\"' 2>/dev/null; }");
        EXPECT_EQ(0, r.status) << c.deviceId;
        EXPECT_EQ(c.driver ? r.out.substr(0, r.out.find(' ')) : "", c.driver ? c.driver : r.out) << c.deviceId;
        EXPECT_EQ(c.driver ? 1 : 0, std::count(r.out.begin(), r.out.end(), '\n')) << r.out;
    }
}

// Create-Printer with the driver "auto" and the printer's device ID; the
// IPP status and the new printer's make and model ("" when none).
std::pair<ipp_status_t, std::string> CreateAuto(const AppServer& server, const std::string& name,
                                                const std::string& deviceId) {
    const std::string path = server.Dir().File(name + ".prn");
    WriteFile(path, Bytes{});
    http_t* http = ConnectTo(server.Port());
    if (!http)
        return {IPP_STATUS_ERROR_SERVICE_UNAVAILABLE, ""};
    ipp_t* request = ippNewRequest(IPP_OP_CREATE_PRINTER);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "system-uri", nullptr, "ipp://localhost/ipp/system");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "printer-service-type", nullptr, "print");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "smi55357-driver", nullptr, "auto");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "smi55357-device-uri", nullptr, ("file://" + path).c_str());
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-name", nullptr, name.c_str());
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-device-id", nullptr, deviceId.c_str());
    ipp_t* response = cupsDoRequest(http, request, "/ipp/system");
    const ipp_status_t status = cupsLastError();
    ippDelete(response);
    std::string makeAndModel;
    request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, server.PrinterUri(name).c_str());
    response = cupsDoRequest(http, request, ("/ipp/print/" + name).c_str());
    if (const char* value =
            ippGetString(ippFindAttribute(response, "printer-make-and-model", IPP_TAG_TEXT), 0, nullptr))
        makeAndModel = value;
    ippDelete(response);
    httpClose(http);
    return {status, makeAndModel};
}

TEST(PrinterAppAutoAdd, CreatePrinterWithTheAutoDriverPicksItByDeviceId) {
    AppServer server;
    if (!server.Start({"auth-service=none"}))
        GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    int n = 0;
    for (const AutoCase& c : kAutoCases) {
        const std::string name = "auto" + std::to_string(n++);
        const auto [status, makeAndModel] = CreateAuto(server, name, c.deviceId);
        if (c.driver) {
            EXPECT_LT(status, IPP_STATUS_ERROR_BAD_REQUEST) << c.deviceId;
            EXPECT_EQ(DriverTable::Find(c.driver)->description, makeAndModel) << c.deviceId;
        } else {
            EXPECT_GE(status, IPP_STATUS_ERROR_BAD_REQUEST) << c.deviceId;
            EXPECT_EQ("", makeAndModel) << c.deviceId;
        }
    }
    EXPECT_TRUE(server.Alive());
}

}  // namespace
}  // namespace testing_support

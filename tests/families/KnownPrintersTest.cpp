#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "families/KnownPrinters.h"
#include "support/TestFiles.h"

using testing_support::Bytes;
using testing_support::ReadFile;

namespace {

struct Case {
    const char* deviceId;
    const char* driver;  // null: no driver fits
    int score;
};

const Case kCases[] = {
    // Long key names, trailing blanks, empty values, other key orders.
    {"MANUFACTURER:HPRT;COMMAND SET:CPCL;MODEL:HM-A300E;", "cpcl_203dpi", 3},
    {"MFG:MARKLIFE ;CMD:XPP,XL;MDL:X4;CLS:PRINTER;DES:LABEL PRINTER;", "tspl_203dpi", 3},
    {"mfg:xprinter;mdl:xp-420b;", "tspl_203dpi", 3},
    {"MFG:VEVOR ;CMD: ;MODEL:Y428BT;DES:LabelPrinter;", "tspl_203dpi", 3},
    // DYMO: an empty CMD, CLASS instead of CLS; the 550 speaks another language.
    {"MFG:DYMO;CMD: ;MDL:LabelWriter 450;CLASS:PRINTER;DESCRIPTION:DYMO LabelWriter 450;SERN:01010112345600;",
     "dymo_lw450", 3},
    {"MFG:DYMO;MDL:LabelWriter 4XL;", "dymo_lw4xl", 3},
    {"MFG:DYMO;CMD: ;MDL:LabelWriter 550;CLASS:PRINTER;", nullptr, 0},
    // A model of a known series.
    {"MFG:EPSON;CMD:ESC/POS;MDL:TM-T88VI;", "escpos_80mm", 2},
    // Unknown makers: the command set decides when it names one language.
    {"MFG:Acme;CMD:ESC/POS,STAR;MDL:R-80;", "escpos_80mm", 1},
    {"MFG:Acme;CMD:TSPL2;MDL:L-4;", "tspl_203dpi", 1},
    {"MFG:Acme;CMD:TSPL,CPCL;MDL:L-4;", nullptr, 0},
    {"MFG:Acme;CMD:CEZD;MDL:L-4;", nullptr, 0},
    // A maker of several languages is never matched by its command set.
    {"MFG:Xprinter;CMD:ESC/POS;MDL:XP-58IIH;", nullptr, 0},
    {"MFG: ;CMD:TSPL;MDL:Q1;", nullptr, 0},
    {"", nullptr, 0},
    // The drivers' own IDs, as the application lists them.
    {"MFG:Quorvant;MDL:CPCL Label Printer;", "cpcl_203dpi", 3},
    {"MFG:Quorvant;MDL:ESC/POS Receipt 58mm;", "escpos_58mm", 3},
    {"MFG:Quorvant;MDL:Zebra;", nullptr, 0},
    {"MFG:Quorvant;MDL:Brother QL-800 Series;", "brother_ql800", 3},
    // A QL-500's colon where its maker's ';' belongs, and the well-formed ID.
    {"MFG:Brother:CMD:PT-CBP;MDL:QL-500;CLS:PRINTER;", "brother_ql500", 3},
    {"MFG:Brother;CMD:PT-CBP;MDL:QL-500;", "brother_ql500", 3},
    {"MFG:Brother;CMD:PT-CBP;MDL:QL-1110NWB;CLS:PRINTER;", "brother_ql1100", 3},
    // PT-CBP is the P-touch tape printers' language too: no QL driver for it.
    {"MFG:Brother;CMD:PT-CBP;MDL:PT-P700;", nullptr, 0},
    {"MFG:Acme;CMD:PT-CBP;MDL:QL-800;", nullptr, 0},
};

// A key after a second colon in an item is an item of its own.
TEST(KnownPrinters, ParseReadsAKeyInsideTheItemBefore) {
    const KnownPrinters::DeviceId id = KnownPrinters::Parse("MFG:Brother:CMD:PT-CBP;MDL:QL-500;CLS:PRINTER;");
    EXPECT_EQ(id.make, "Brother");
    EXPECT_EQ(id.commandSet, "PT-CBP");
    EXPECT_EQ(id.model, "QL-500");
    // A colon in a value that starts no key stays in the value.
    EXPECT_EQ(KnownPrinters::Parse("MFG:Acme;MDL:L:4;").model, "L:4");
}

TEST(KnownPrinters, DeviceIdsGiveTheirDrivers) {
    for (const Case& c : kCases) {
        const KnownPrinters::Match m = KnownPrinters::Find(c.deviceId);
        EXPECT_STREQ(m.driver ? m.driver->name : nullptr, c.driver) << c.deviceId;
        EXPECT_EQ(m.score, c.score) << c.deviceId;
    }
}

TEST(KnownPrinters, EveryRowNamesADriverAndIsFoundByItsOwnId) {
    size_t count = 0, drivers = 0;
    const KnownPrinters::Printer* rows = KnownPrinters::All(count);
    std::set<std::string> ppds;
    const DriverTable::Driver* table = DriverTable::Drivers(drivers);
    for (size_t i = 0; i < drivers; i++)
        ppds.insert(table[i].ppd);
    const Bytes text = ReadFile(std::string(QUORVANT_SOURCE_DIR) + "/docs/printers.md");
    const std::string readme(text.begin(), text.end());
    for (size_t i = 0; i < count; i++) {
        ASSERT_NE(DriverTable::Find(rows[i].driver), nullptr) << rows[i].model;
        const KnownPrinters::Match m = KnownPrinters::Find(rows[i].deviceId);
        EXPECT_EQ(m.printer, &rows[i]) << rows[i].deviceId;
        if (rows[i].ppd) {
            EXPECT_TRUE(ppds.insert(rows[i].ppd).second) << rows[i].ppd << " names two PPDs";
        }
        // docs/printers.md's table of known printers.
        const std::string ppd = rows[i].ppd ? std::string("`") + rows[i].ppd + "`" : "none";
        EXPECT_NE(readme.find("| `" + std::string(rows[i].deviceId) + "` | `" + rows[i].driver + "` | " + ppd + " |"),
                  std::string::npos)
            << rows[i].deviceId;
    }
}

// A printer's PPD keeps its maker, command set and model items as the
// printer sends them (key names, blanks, order), the others left out.
TEST(KnownPrinters, PpdIdentityKeepsTheMatchedItemsAsSent) {
    struct Case {
        const char* ppd;
        const char* make;
        const char* model;
        const char* deviceId;
    };
    const Case cases[] = {
        {"qvmlx4.ppd", "MARKLIFE", "X4", "MFG:MARKLIFE ;CMD:XPP,XL;MDL:X4;"},
        {"qvhma300.ppd", "HPRT", "HM-A300E", "MANUFACTURER:HPRT;COMMAND SET:CPCL;MODEL:HM-A300E;"},
        {"qvx1038.ppd", "Rollo", "X1038", "MFG:Printer;MDL:Thermal Printer;CMD:XPP,XL;"},
        {"qvtmt88v.ppd", "EPSON", "TM-T88V-JPN", "MFG:EPSON;CMD:ESC/POS;MDL:TM-T88V-JPN;"},
        {"qvlw450.ppd", "DYMO", "LabelWriter 450", "MFG:DYMO;CMD: ;MDL:LabelWriter 450;"},
        {"qvbql500.ppd", "Brother", "QL-500", "MFG:Brother:CMD:PT-CBP;MDL:QL-500;"},
    };
    size_t count = 0;
    const KnownPrinters::Printer* rows = KnownPrinters::All(count);
    for (const Case& c : cases) {
        const KnownPrinters::Printer* row = nullptr;
        for (size_t i = 0; i < count; i++)
            if (rows[i].ppd && std::strcmp(rows[i].ppd, c.ppd) == 0)
                row = &rows[i];
        ASSERT_NE(row, nullptr) << c.ppd;
        const KnownPrinters::PpdIdentity id = KnownPrinters::IdentityOf(*row);
        EXPECT_EQ(id.make, c.make);
        EXPECT_EQ(id.model, c.model);
        EXPECT_EQ(id.deviceId, c.deviceId);
    }
    EXPECT_EQ(KnownPrinters::CommandSetsOf("tspl_203dpi"), "TSPL,TSPL2");
    EXPECT_EQ(KnownPrinters::CommandSetsOf("escpos_80mm"), "ESC/POS,ESCPOS");
    EXPECT_EQ(KnownPrinters::CommandSetsOf("tspl_300dpi"), "");
}

}  // namespace

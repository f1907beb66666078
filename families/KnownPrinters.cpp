#include "families/KnownPrinters.h"

#include <cctype>
#include <cstring>
#include <set>

namespace KnownPrinters {

namespace {

const char* const kNotes = "printer-status notes";
const char* const kZebraNotes = "Zebra, DYMO and Brother notes (lprint's table)";
// The LabelWriters send an empty CMD and CLASS for CLS (the 450's ID as
// seen, lprint PR #193); the other models' IDs follow it.
const char* const kDymoSeen = "zebra-dymo-brother notes";
const char* const kDymoPattern = "inferred: the LabelWriter 450's pattern, models as lprint lists them";
const char* const kFoomatic = "foomatic's printer data";
const char* const kLprintForm = "lprint's model list, in foomatic's form";
const char* const kBrlaser = "a QL-500 in the wild (brlaser issue 60)";

const Printer kPrinters[] = {
    {"Xprinter", "XP-420B", "tspl_203dpi", "MFG:Xprinter;CMD:CEZD;MDL:XP-420B;CLS:PRINTER;", kNotes, "qvxp420b.ppd",
     nullptr, nullptr},
    {"MARKLIFE", "X4", "tspl_203dpi", "MFG:MARKLIFE ;CMD:XPP,XL;MDL:X4;CLS:PRINTER;DES:LABEL PRINTER;", kNotes,
     "qvmlx4.ppd", nullptr, nullptr},
    {"", "PM-241-BT", "tspl_203dpi", "MFG: ;CMD:XPP,XL;MDL:PM-241-BT;CLS:PRINTER;DES:PM-241-BT;", kNotes, "qvpm241.ppd",
     "Phomemo", "PM-241-BT"},
    {"Printer", "Thermal Printer", "tspl_203dpi", "MFG:Printer;MDL:Thermal Printer;CMD:XPP,XL;", kNotes, "qvx1038.ppd",
     "Rollo", "X1038"},
    {"VEVOR", "Y428BT", "tspl_203dpi", "MFG:VEVOR ;CMD: ;MODEL:Y428BT;DES:LabelPrinter;", kNotes, "qvy428bt.ppd",
     nullptr, nullptr},
    {"EPSON", "TM-T88*", "escpos_80mm", "MFG:EPSON;CMD:ESC/POS;MDL:TM-T88V-JPN;CLS:PRINTER;DES:EPSON TM-T88V;", kNotes,
     "qvtmt88v.ppd", nullptr, nullptr},
    {"EPSON", "TM-T20*", "escpos_80mm", "MFG:EPSON;CMD:ESC/POS;MDL:TM-T20II;CLS:PRINTER;DES:EPSON TM-T20II;",
     "inferred: the TM-T88V's pattern for the TM-T20 series", "qvtmt20.ppd", nullptr, nullptr},
    {"HPRT", "HM-A300E", "cpcl_203dpi", "MANUFACTURER:HPRT;COMMAND SET:CPCL;MODEL:HM-A300E;", kNotes, "qvhma300.ppd",
     nullptr, nullptr},
    // Zebra sends the long key names, some models a blank before ';'; the
    // GX430 and the -300dpi models have 300 dpi heads.
    {"Zebra Technologies", "ZTC GX420d", "zpl_203dpi",
     "MANUFACTURER:Zebra Technologies;COMMAND SET:ZPL;MODEL:ZTC GX420d;", kZebraNotes, "qvgx420d.ppd", "Zebra",
     "GX420d"},
    {"Zebra Technologies", "ZTC GX420t", "zpl_203dpi",
     "MANUFACTURER:Zebra Technologies;COMMAND SET:ZPL;MODEL:ZTC GX420t;", kZebraNotes, "qvgx420t.ppd", "Zebra",
     "GX420t"},
    {"Zebra Technologies", "ZTC GX430d", "zpl_300dpi",
     "MANUFACTURER:Zebra Technologies;COMMAND SET:ZPL;MODEL:ZTC GX430d;", kZebraNotes, "qvgx430d.ppd", "Zebra",
     "GX430d"},
    {"Zebra Technologies", "ZTC GX430t", "zpl_300dpi",
     "MANUFACTURER:Zebra Technologies;COMMAND SET:ZPL;MODEL:ZTC GX430t;", kZebraNotes, "qvgx430t.ppd", "Zebra",
     "GX430t"},
    {"Zebra Technologies", "ZTC ZD621-203dpi ZPL", "zpl_203dpi",
     "MANUFACTURER:Zebra Technologies ;COMMAND SET:ZPL;MODEL:ZTC ZD621-203dpi ZPL;", kZebraNotes, "qvzd6212.ppd",
     "Zebra", "ZD621 203 dpi"},
    {"Zebra Technologies", "ZTC ZD621-300dpi ZPL", "zpl_300dpi",
     "MANUFACTURER:Zebra Technologies ;COMMAND SET:ZPL;MODEL:ZTC ZD621-300dpi ZPL;", kZebraNotes, "qvzd6213.ppd",
     "Zebra", "ZD621 300 dpi"},
    {"Zebra Technologies", "ZTC ZD611-203dpi ZPL", "zpl_203dpi",
     "MANUFACTURER:Zebra Technologies ;COMMAND SET:ZPL;MODEL:ZTC ZD611-203dpi ZPL;", kZebraNotes, "qvzd6112.ppd",
     "Zebra", "ZD611 203 dpi"},
    {"Zebra Technologies", "ZTC ZP 450-200dpi", "zpl_203dpi",
     "MANUFACTURER:Zebra Technologies;COMMAND SET:ZPL;MODEL:ZTC ZP 450-200dpi;", kZebraNotes, "qvzp450.ppd", "Zebra",
     "ZP 450"},
    // ZPL clones whose command set names no language.
    {"4BARCODE", "4B-2054A", "zpl_203dpi", "MFG:4BARCODE;CMD:CEZD;MDL:4B-2054A;", kZebraNotes, "qv4b2054.ppd", nullptr,
     nullptr},
    {"HP", "KE103", "zpl_203dpi", "MFG:HP ;CMD:Bixolon_01;MODEL:KE103;", kZebraNotes, "qvke103.ppd", nullptr, nullptr},
    {"Zebra Technologies", "ZTC GC420d (EPL)", "epl2_203dpi",
     "MANUFACTURER:Zebra Technologies ;COMMAND SET:EPL;MODEL:ZTC GC420d (EPL);CLASS:PRINTER;",
     "zebra-dymo-brother notes", "qvgc420e.ppd", "Zebra", "GC420d"},
    {"DYMO", "LabelWriter 450", "dymo_lw450",
     "MFG:DYMO;CMD: ;MDL:LabelWriter 450;CLASS:PRINTER;DESCRIPTION:DYMO LabelWriter 450;", kDymoSeen, "qvlw450.ppd",
     nullptr, nullptr},
    {"DYMO", "LabelWriter 400", "dymo_lw450",
     "MFG:DYMO;CMD: ;MDL:LabelWriter 400;CLASS:PRINTER;DESCRIPTION:DYMO LabelWriter 400;", kDymoPattern, "qvlw400.ppd",
     nullptr, nullptr},
    {"DYMO", "LabelWriter 400 Turbo", "dymo_lw450",
     "MFG:DYMO;CMD: ;MDL:LabelWriter 400 Turbo;CLASS:PRINTER;DESCRIPTION:DYMO LabelWriter 400 Turbo;", kDymoPattern,
     "qvlw400t.ppd", nullptr, nullptr},
    {"DYMO", "LabelWriter 450 Turbo", "dymo_lw450",
     "MFG:DYMO;CMD: ;MDL:LabelWriter 450 Turbo;CLASS:PRINTER;DESCRIPTION:DYMO LabelWriter 450 Turbo;", kDymoPattern,
     "qvlw450t.ppd", nullptr, nullptr},
    {"DYMO", "LabelWriter Twin Turbo", "dymo_lw450",
     "MFG:DYMO;CMD: ;MDL:LabelWriter Twin Turbo;CLASS:PRINTER;DESCRIPTION:DYMO LabelWriter Twin Turbo;", kDymoPattern,
     "qvlwtt.ppd", nullptr, nullptr},
    {"DYMO", "LabelWriter 450 Twin Turbo", "dymo_lw450",
     "MFG:DYMO;CMD: ;MDL:LabelWriter 450 Twin Turbo;CLASS:PRINTER;DESCRIPTION:DYMO LabelWriter 450 Twin Turbo;",
     kDymoPattern, "qvlw450w.ppd", nullptr, nullptr},
    {"DYMO", "LabelWriter SE450", "dymo_lw450",
     "MFG:DYMO;CMD: ;MDL:LabelWriter SE450;CLASS:PRINTER;DESCRIPTION:DYMO LabelWriter SE450;", kDymoPattern,
     "qvlwse45.ppd", nullptr, nullptr},
    {"DYMO", "LabelWriter 450 DUO Label", "dymo_lw450",
     "MFG:DYMO;CMD: ;MDL:LabelWriter 450 DUO Label;CLASS:PRINTER;DESCRIPTION:DYMO LabelWriter 450 DUO Label;",
     kDymoPattern, "qvlw450d.ppd", nullptr, nullptr},
    {"DYMO", "LabelWriter 4XL", "dymo_lw4xl",
     "MFG:DYMO;CMD: ;MDL:LabelWriter 4XL;CLASS:PRINTER;DESCRIPTION:DYMO LabelWriter 4XL;", kDymoPattern, "qvlw4xl.ppd",
     nullptr, nullptr},
    // Brother QL: the foomatic form, and lprint's models in it; a QL-500
    // was seen sending a colon where the ';' after its maker belongs.
    {"Brother", "QL-500", "brother_ql500", "MFG:Brother:CMD:PT-CBP;MDL:QL-500;CLS:PRINTER;", kBrlaser, "qvbql500.ppd",
     nullptr, nullptr},
    {"Brother", "QL-550", "brother_ql500", "MFG:Brother;CMD:PT-CBP;MDL:QL-550;CLS:PRINTER;", kFoomatic, "qvbql550.ppd",
     nullptr, nullptr},
    {"Brother", "QL-570", "brother_ql500", "MFG:Brother;CMD:PT-CBP;MDL:QL-570;CLS:PRINTER;", kFoomatic, "qvbql570.ppd",
     nullptr, nullptr},
    {"Brother", "QL-600", "brother_ql500", "MFG:Brother;CMD:PT-CBP;MDL:QL-600;CLS:PRINTER;", kFoomatic, "qvbql600.ppd",
     nullptr, nullptr},
    {"Brother", "QL-650TD", "brother_ql500", "MFG:Brother;CMD:PT-CBP;MDL:QL-650TD;CLS:PRINTER;", kFoomatic,
     "qvbql650.ppd", nullptr, nullptr},
    {"Brother", "QL-700", "brother_ql500", "MFG:Brother;CMD:PT-CBP;MDL:QL-700;CLS:PRINTER;", kFoomatic, "qvbql700.ppd",
     nullptr, nullptr},
    {"Brother", "QL-710W", "brother_ql720", "MFG:Brother;CMD:PT-CBP;MDL:QL-710W;CLS:PRINTER;", kLprintForm,
     "qvbql710.ppd", nullptr, nullptr},
    {"Brother", "QL-720NW", "brother_ql720", "MFG:Brother;CMD:PT-CBP;MDL:QL-720NW;CLS:PRINTER;", kLprintForm,
     "qvbql720.ppd", nullptr, nullptr},
    {"Brother", "QL-800", "brother_ql800", "MFG:Brother;CMD:PT-CBP;MDL:QL-800;CLS:PRINTER;", kFoomatic, "qvbql800.ppd",
     nullptr, nullptr},
    {"Brother", "QL-810W", "brother_ql820", "MFG:Brother;CMD:PT-CBP;MDL:QL-810W;CLS:PRINTER;", kFoomatic,
     "qvbql810.ppd", nullptr, nullptr},
    {"Brother", "QL-820NWB", "brother_ql820", "MFG:Brother;CMD:PT-CBP;MDL:QL-820NWB;CLS:PRINTER;", kFoomatic,
     "qvbql820.ppd", nullptr, nullptr},
    {"Brother", "QL-1050", "brother_ql1100", "MFG:Brother;CMD:PT-CBP;MDL:QL-1050;CLS:PRINTER;", kLprintForm,
     "qvbq1050.ppd", nullptr, nullptr},
    {"Brother", "QL-1060N", "brother_ql1100", "MFG:Brother;CMD:PT-CBP;MDL:QL-1060N;CLS:PRINTER;", kLprintForm,
     "qvbq1060.ppd", nullptr, nullptr},
    {"Brother", "QL-1100", "brother_ql1100", "MFG:Brother;CMD:PT-CBP;MDL:QL-1100;CLS:PRINTER;", kLprintForm,
     "qvbq1100.ppd", nullptr, nullptr},
    {"Brother", "QL-1110NWB", "brother_ql1100", "MFG:Brother;CMD:PT-CBP;MDL:QL-1110NWB;CLS:PRINTER;", kLprintForm,
     "qvbq1110.ppd", nullptr, nullptr},
    {"Brother", "QL-1115NWB", "brother_ql1100", "MFG:Brother;CMD:PT-CBP;MDL:QL-1115NWB;CLS:PRINTER;", kLprintForm,
     "qvbq1115.ppd", nullptr, nullptr},
};

// Makers that make printers of more than one language: none of their
// printers is matched by its command set alone.
const char* const kSeveralLanguages[] = {"Xprinter", "HPRT", "MARKLIFE", "Phomemo", "Printer", ""};

// Command sets that name one language, and its generic driver.
struct Language {
    const char* command;
    const char* driver;
};
const Language kLanguages[] = {
    {"ESC/POS", "escpos_80mm"}, {"ESCPOS", "escpos_80mm"}, {"TSPL", "tspl_203dpi"}, {"TSPL2", "tspl_203dpi"},
    {"CPCL", "cpcl_203dpi"},    {"ZPL", "zpl_203dpi"},     {"EPL", "epl2_203dpi"},
};

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        b++;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        e--;
    return s.substr(b, e - b);
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool Same(const std::string& a, const char* b) { return Upper(a) == Upper(b); }

bool ModelFits(const std::string& model, const char* known, int& score) {
    const size_t n = std::strlen(known);
    if (n > 0 && known[n - 1] == '*') {
        score = 2;
        return Upper(model).compare(0, n - 1, Upper(std::string(known, n - 1))) == 0;
    }
    score = 3;
    return Same(model, known);
}

enum class Key { Make, Model, CommandSet, Other };

Key KeyOf(const std::string& keyName) {
    const std::string name = Upper(Trim(keyName));
    if (name == "MFG" || name == "MANUFACTURER")
        return Key::Make;
    if (name == "MDL" || name == "MODEL")
        return Key::Model;
    if (name == "CMD" || name == "COMMAND SET")
        return Key::CommandSet;
    return Key::Other;
}

// Calls `each(key, value, item)` for every "key:value" item of `deviceId`,
// the value trimmed, the item as sent (without its ';'; empty for an item
// that came inside the one before).
template <class Each>
void ForEachItem(const std::string& deviceId, Each each) {
    size_t start = 0;
    while (start < deviceId.size()) {
        size_t end = deviceId.find(';', start);
        if (end == std::string::npos)
            end = deviceId.size();
        const std::string item = deviceId.substr(start, end - start);
        start = end + 1;
        const size_t colon = item.find(':');
        if (colon == std::string::npos)
            continue;
        // A QL-500 sends "MFG:Brother:CMD:PT-CBP;": a key of its own after a
        // second colon starts an item of its own, which the first item, as
        // sent, holds.
        std::string value = item.substr(colon + 1);
        const size_t second = value.find(':');
        std::string rest;
        if (second != std::string::npos && second + 1 < value.size()) {
            const std::string after = value.substr(second + 1);
            if (KeyOf(after.substr(0, after.find(':'))) != Key::Other && after.find(':') != std::string::npos) {
                rest = after;
                value.erase(second);
            }
        }
        each(KeyOf(item.substr(0, colon)), Trim(value), item);
        if (!rest.empty()) {
            const size_t restColon = rest.find(':');
            each(KeyOf(rest.substr(0, restColon)), Trim(rest.substr(restColon + 1)), std::string());
        }
    }
}

}  // namespace

DeviceId Parse(const std::string& deviceId) {
    DeviceId id;
    ForEachItem(deviceId, [&](Key key, const std::string& value, const std::string&) {
        if (key == Key::Make)
            id.make = value;
        else if (key == Key::Model)
            id.model = value;
        else if (key == Key::CommandSet)
            id.commandSet = value;
    });
    return id;
}

const Printer* All(size_t& count) {
    count = sizeof kPrinters / sizeof kPrinters[0];
    return kPrinters;
}

Match Find(const std::string& deviceId) {
    const DeviceId id = Parse(deviceId);
    Match best;
    for (const Printer& p : kPrinters) {
        int score = 0;
        if (Same(id.make, p.make) && !id.model.empty() && ModelFits(id.model, p.model, score) && score > best.score) {
            best.driver = DriverTable::Find(p.driver);
            best.printer = &p;
            best.score = score;
        }
    }
    // The drivers' own IDs, which the application lists with its drivers
    // and virtual printers may send.
    size_t count = 0;
    const DriverTable::Driver* own = DriverTable::Drivers(count);
    for (size_t i = 0; i < count && !best.driver; i++)
        if (Same(id.make, "Quorvant") && Same(id.model, own[i].deviceIdModel)) {
            best.driver = &own[i];
            best.score = 3;
        }
    if (best.driver || id.model.empty())
        return best;
    for (const char* maker : kSeveralLanguages)
        if (Same(id.make, maker))
            return best;
    // The command set is a comma list; one item naming a language decides,
    // two naming different ones do not.
    std::set<std::string> drivers;
    size_t start = 0;
    while (start <= id.commandSet.size()) {
        size_t end = id.commandSet.find(',', start);
        if (end == std::string::npos)
            end = id.commandSet.size();
        const std::string item = Trim(id.commandSet.substr(start, end - start));
        for (const Language& l : kLanguages)
            if (Same(item, l.command))
                drivers.insert(l.driver);
        start = end + 1;
    }
    if (drivers.size() == 1) {
        best.driver = DriverTable::Find(drivers.begin()->c_str());
        best.score = 1;
    }
    return best;
}

PpdIdentity IdentityOf(const Printer& printer) {
    PpdIdentity identity;
    identity.make = printer.soldMake ? printer.soldMake : printer.make;
    identity.model = printer.soldModel ? printer.soldModel : Parse(printer.deviceId).model;
    ForEachItem(printer.deviceId, [&](Key key, const std::string&, const std::string& item) {
        if (key != Key::Other && !item.empty())
            identity.deviceId += item + ";";
    });
    identity.nickName =
        identity.make + " " + identity.model + " (" + DriverTable::Find(printer.driver)->description + ")";
    return identity;
}

std::string CommandSetsOf(const char* driver) {
    std::string commands;
    for (const Language& l : kLanguages)
        if (std::strcmp(l.driver, driver) == 0)
            commands += (commands.empty() ? "" : ",") + std::string(l.command);
    return commands;
}

}  // namespace KnownPrinters

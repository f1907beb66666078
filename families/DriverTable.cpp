#include "families/DriverTable.h"

#include <cstring>

namespace DriverTable {

namespace {

// The PPDs' label sizes. Names are PWG self-describing names with no dot in
// their name part (the size part may have one): the standard name where PWG
// 5101.1 has one (a 4 x 6 in label is an index card's size, the size phones
// and driverless queues ask for; 100 x 150 mm is the small photo's), the
// project's own "oe_"/"om_" elsewhere.
const char* const kLabels[] = {
    "na_index-4x6_4x6in",
    "oe_label-4x4_4x4in",
    "oe_label-4x3_4x3in",
    "oe_label-4x2_4x2in",
    "oe_label-3x2_3x2in",
    "oe_label-2x1_2x1in",
    "oe_label-225x125_2.25x1.25in",
    "om_label-40x30_40x30mm",
    "om_label-50x30_50x30mm",
    "om_label-60x40_60x40mm",
    "om_label-100x100_100x100mm",
    "om_small-photo_100x150mm",
    nullptr,
};
// CPCL's PPD has no 100 x 100 mm label.
const char* const kCpclLabels[] = {
    "na_index-4x6_4x6in",     "oe_label-4x4_4x4in",     "oe_label-4x3_4x3in",           "oe_label-4x2_4x2in",
    "oe_label-3x2_3x2in",     "oe_label-2x1_2x1in",     "oe_label-225x125_2.25x1.25in", "om_label-40x30_40x30mm",
    "om_label-50x30_50x30mm", "om_label-60x40_60x40mm", "om_small-photo_100x150mm",     nullptr,
};
// "roll_max_" and "roll_min_" give the custom size range (class, name,
// size: the name part is "max" or "min").
// Rolls: the page is as wide as the head (72.1 mm: 576 dots at 203 dpi;
// 48.1 mm: 384 dots), whatever rounding turns the width into dots.
const char* const kRoll80[] = {
    "om_roll-80-200_72.1x200mm", "om_roll-80-100_72.1x100mm", "om_roll-80-297_72.1x297mm",
    "roll_max_72.1x5080mm",      "roll_min_72.1x12.7mm",      nullptr,
};
const char* const kRoll58[] = {
    "om_roll-58-200_48.1x200mm",
    "om_roll-58-50_48.1x50mm",
    "om_roll-58-100_48.1x100mm",
    "om_roll-58-297_48.1x297mm",
    "roll_max_48.1x5080mm",
    "roll_min_48.1x12.7mm",
    nullptr,
};
// The pocket printers: 58 mm rolls and small labels.
const char* const kPocket[] = {
    "om_roll-58-100_48.1x100mm", "om_roll-58-50_48.1x50mm", "om_roll-58-200_48.1x200mm", "om_label-40x30_40x30mm",
    "om_label-50x30_50x30mm",    "roll_max_48.1x5080mm",    "roll_min_48.1x12.7mm",      nullptr,
};

// DYMO LabelWriter labels, the narrow side across the head: address
// (30252), large address (30321), shipping (30256), file folder (30327),
// multi-purpose (30336) and return address (30330); the 4XL's 4 x 6 in
// shipping label (1744907) first on its own head.
const char* const kDymoLabels[] = {
    "oe_address-label_1.125x3.5in",
    "oe_lg-address-label_1.4x3.5in",
    "oe_shipping-label_2.3125x4in",
    "oe_file-folder-label_0.5625x3.4375in",
    "oe_multipurpose-label_1x2.125in",
    "oe_return-address-label_0.75x2in",
    nullptr,
};
const char* const kDymoXlLabels[] = {
    "na_index-4x6_4x6in",           "oe_address-label_1.125x3.5in",         "oe_lg-address-label_1.4x3.5in",
    "oe_shipping-label_2.3125x4in", "oe_file-folder-label_0.5625x3.4375in", nullptr,
};
// Brother QL: DK die-cut labels and continuous rolls, each page the
// printable area at 300 dpi (the printer keeps the rest of the label white):
// 62 mm prints 696 dots, 29 mm 306, 38 mm 413, 102 mm 1164.
const char* const kDk[] = {
    "om_dk11202-62x100_58.93x93.9mm",
    "om_dk11209-62x29_58.93x22.95mm",
    "om_dk11201-29x90_25.91x83.91mm",
    "om_dk11208-38x90_34.97x83.91mm",
    "om_dk22205-62_58.93x100mm",
    "om_dk22210-29_25.91x100mm",
    nullptr,
};
// The 1296-pin heads also take the 102 mm rolls.
const char* const kDkWide[] = {
    "om_dk11241-102x152_98.56x140.55mm",
    "om_dk11202-62x100_58.93x93.9mm",
    "om_dk11209-62x29_58.93x22.95mm",
    "om_dk11201-29x90_25.91x83.91mm",
    "om_dk22205-62_58.93x100mm",
    "om_dk22243-102_98.56x100mm",
    nullptr,
};

// Brother QL models, by their raster references, beside their driver rows
// (a column of its own in every row would be one more than the rows can
// take and stay readable). The drivers' head dots are the widest roll's
// printable dots (696 of 720 pins, 1164 of 1296), which pages are fitted to.
const struct {
    const char* driver;
    QlModel model;
} kQlModels[] = {
    {"brother_ql500", {200, false, false}}, {"brother_ql720", {200, true, true}},
    {"brother_ql800", {400, true, false}},  {"brother_ql820", {400, true, true}},
    {"brother_ql1100", {350, true, true}},
};

// Beepers: TSPL's SOUND (level, interval), CPCL's BEEP in eighths of a
// second, and ESC B (times, 50 ms units) of the ESC/POS printers that have one.
const char kTsplBeep[] = "SOUND 5,100\r\n";
const char kCpclBeep[] = "! UTILITIES\r\nBEEP 2\r\nPRINT\r\n";
const char kEscBeep[] =
    "\x1b"
    "B\x02\x03";

const Driver kDrivers[] = {
    {"tspl_203dpi", "Quorvant TSPL Label Printer, 203 dpi", "TSPL Label Printer", "qvtspl.ppd", 20, 203, 832,
     Stock::Labels, kLabels, 16, kMostSpeed, false, -1, -1, 0, "edge-keeping", "Continuous", kTsplBeep, true},
    {"tspl_300dpi", "Quorvant TSPL Label Printer, 300 dpi", "TSPL Label 300dpi", "qvtspl3.ppd", 20, 300, 1248,
     Stock::Labels, kLabels, 16, kMostSpeed, false, -1, -1, 0, "edge-keeping", "Continuous", kTsplBeep, true},
    {"escpos_80mm", "Quorvant ESC/POS Receipt Printer, 80 mm", "ESC/POS Receipt 80mm", "qvescpos.ppd", 21, 203, 576,
     Stock::Roll, kRoll80, 0, 0, true, 15, -1, -1, "burkes", "Roll", kEscBeep},
    {"escpos_58mm", "Quorvant ESC/POS Receipt Printer, 58 mm", "ESC/POS Receipt 58mm", "qvesc58.ppd", 21, 203, 384,
     Stock::Roll, kRoll58, 0, 0, true, 15, -1, -1, "burkes", "Roll", kEscBeep},
    {"cpcl_203dpi", "Quorvant CPCL Label Printer, 203 dpi", "CPCL Label Printer", "qvcpcl.ppd", 22, 203, 832,
     Stock::Labels, kCpclLabels, 0, 0, false, -1, -1, -1, "edge-keeping", "Continuous", kCpclBeep},
    {"tavrin_58mm", "Quorvant Tavrin Pocket Printer, 58 mm", "Tavrin Pocket 58mm", "qvtavrin.ppd", 23, 203, 384,
     Stock::Roll, kPocket, 0, 0, false, -1, -1, -1, "burkes", "Continuous", nullptr},
    {"solvane_58mm", "Quorvant Solvane Pocket Printer, 58 mm", "Solvane Pocket 58mm", "qvsolvan.ppd", 24, 203, 384,
     Stock::Roll, kPocket, 6, 0, false, -1, 0, -1, "burkes", "Continuous", kEscBeep},
    // EPL2: D0 to D15; S2 to S4, the codes CUPS's driver sends for 2 to 4
    // in/s; no post-print setting, as O sets every option at once.
    {"epl2_203dpi", "Quorvant EPL2 Label Printer, 203 dpi", "EPL2 Label Printer", "qvepl2.ppd", 31, 203, 832,
     Stock::Labels, kLabels, 16, 4, false, -1, -1, -1, "edge-keeping", "Continuous", nullptr},
    // Zebra's 4-inch heads (4.09 in); darkness is ~SD's 0 to 30; ^PR up to
    // 6 in/s, the GX420's fastest.
    {"zpl_203dpi", "Quorvant Zebra ZPL Label Printer, 203 dpi", "ZPL Label Printer", "qvzpl.ppd", 30, 203, 832,
     Stock::Labels, kLabels, 31, 6, false, -1, -1, 0, "edge-keeping", "Continuous", nullptr, true},
    {"zpl_300dpi", "Quorvant Zebra ZPL Label Printer, 300 dpi", "ZPL Label 300dpi", "qvzpl3.ppd", 30, 300, 1248,
     Stock::Labels, kLabels, 31, 6, false, -1, -1, 0, "edge-keeping", "Continuous", nullptr, true},
    {"zpl_600dpi", "Quorvant Zebra ZPL Label Printer, 600 dpi", "ZPL Label 600dpi", "qvzpl6.ppd", 30, 600, 2456,
     Stock::Labels, kLabels, 31, 6, false, -1, -1, 0, "edge-keeping", "Continuous", nullptr, true},
    // Darkness: light, medium, normal, dark.
    {"dymo_lw450", "Quorvant DYMO LabelWriter 400/450, 300 dpi", "DYMO LabelWriter 450", "qvdymo.ppd", 32, 300, 672,
     Stock::Labels, kDymoLabels, 4, 0, false, -1, -1, -1, "edge-keeping", "Continuous", nullptr},
    {"dymo_lw4xl", "Quorvant DYMO LabelWriter 4XL, 300 dpi", "DYMO LabelWriter 4XL", "qvdymo4x.ppd", 32, 300, 1248,
     Stock::Labels, kDymoXlLabels, 4, 0, false, -1, -1, -1, "edge-keeping", "Continuous", nullptr},
    {"brother_ql500", "Quorvant Brother QL-500/570/700, 300 dpi", "Brother QL-500 Series", "qvql500.ppd", 33, 300, 696,
     Stock::Labels, kDk, 0, 0, false, -1, -1, 2, "edge-keeping", "Continuous", nullptr},
    {"brother_ql720", "Quorvant Brother QL-710W/720NW, 300 dpi", "Brother QL-720 Series", "qvql720.ppd", 33, 300, 696,
     Stock::Labels, kDk, 0, 0, false, -1, -1, 2, "edge-keeping", "Continuous", nullptr},
    {"brother_ql800", "Quorvant Brother QL-800, 300 dpi", "Brother QL-800 Series", "qvql800.ppd", 33, 300, 696,
     Stock::Labels, kDk, 0, 0, false, -1, -1, 2, "edge-keeping", "Continuous", nullptr},
    {"brother_ql820", "Quorvant Brother QL-810W/820NWB, 300 dpi", "Brother QL-820 Series", "qvql820.ppd", 33, 300, 696,
     Stock::Labels, kDk, 0, 0, false, -1, -1, 2, "edge-keeping", "Continuous", nullptr},
    {"brother_ql1100", "Quorvant Brother QL-1100 Series, 300 dpi", "Brother QL-1100 Series", "qvql1100.ppd", 33, 300,
     1164, Stock::Labels, kDkWide, 0, 0, false, -1, -1, 2, "edge-keeping", "Continuous", nullptr},
};

}  // namespace

const Driver* Drivers(size_t& count) {
    count = sizeof kDrivers / sizeof kDrivers[0];
    return kDrivers;
}

const Driver* Find(const char* name) {
    if (!name)
        return nullptr;
    for (const Driver& driver : kDrivers)
        if (std::strcmp(driver.name, name) == 0)
            return &driver;
    return nullptr;
}

const QlModel* QlModelOf(const Driver& driver) {
    for (const auto& ql : kQlModels)
        if (std::strcmp(ql.driver, driver.name) == 0)
            return &ql.model;
    return nullptr;
}

}  // namespace DriverTable

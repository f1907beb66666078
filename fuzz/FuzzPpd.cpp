#include "fuzz/FuzzPpd.h"

#include <vector>

namespace FuzzPpd {

const char* const kOptionNames[kOptionCount] = {
    "MediaMethod", "AdjustHoriaontal", "AdjustVertical", "zeMediaTracking", "FeedOffset", "Rotate",
    "Darkness",    "zePrintRate",      "AutoDotted",     "Brightness",      "Contrast",   "ImageFilter",
    "Threshold",   "ImageCompress",    "CropEdgeTop",    "CropEdgeBottom",  "CropEdgeLeft", "CropEdgeRight",
};

namespace {

const std::vector<const char*> kChoices[kOptionCount] = {
    {"Direct", "Transfer", "Normal"},
    {"0", "-2", "-1", "1", "2"},
    {"0", "-2", "-1", "1", "2"},
    {"Gap", "Continuous", "BLine", "BLine_Fold", "Perforated", "Roll", "Recording", "A4Stock"},
    {"0", "2", "5", "10", "33"},
    {"0", "1", "2", "3"},
    {"Default", "1", "8", "15"},
    {"Default", "2", "4", "8"},
    {"0", "1"},
    {"0", "-40", "-10", "20", "40"},
    {"0", "-50", "25", "100"},
    {"3", "0", "1", "2", "4", "5", "6", "7", "8", "9", "10"},
    {"175", "64", "128", "224"},
    {"0", "1"},
    {"0", "2", "10", "-1"},
    {"0", "2", "10", "-1"},
    {"0", "2", "10", "-1"},
    {"0", "2", "10", "-1"},
};

// Numbers at and past the edges of what the settings carry, and words.
const char* const kOdd[] = {
    "-1",         "4",           "11",          "255",   "256",      "-2147483648", "2147483647",
    "4294967296", "99999999999", "-99999999999", "10000", "-10000",   "10001",       "65536",
    "1e9",        "0x10",        "007",         "+7",    "-0",       "abc",         "Default",
    "-",          "99x",         "1000001",     "-1000001", "8.5",   "Off",         "None",
    "3000000",    "-3000000",    "2"};
static_assert(sizeof kOdd / sizeof kOdd[0] == 31, "one odd choice per pick 224..254");

}  // namespace

std::string Write(int modelNumber, const Picks& picks) {
    std::string ppd =
        "*PPD-Adobe: \"4.3\"\n"
        "*FormatVersion: \"4.3\"\n"
        "*FileVersion: \"1.0\"\n"
        "*LanguageVersion: English\n"
        "*LanguageEncoding: ISOLatin1\n"
        "*PCFileName: \"QVFUZZ.PPD\"\n"
        "*Product: \"(Fuzz Printer)\"\n"
        "*Manufacturer: \"Quorvant\"\n"
        "*ModelName: \"Quorvant Fuzz Printer\"\n"
        "*ShortNickName: \"Quorvant Fuzz\"\n"
        "*NickName: \"Quorvant Fuzz Printer\"\n"
        "*PSVersion: \"(3010.000) 0\"\n"
        "*LanguageLevel: \"3\"\n"
        "*ColorDevice: False\n"
        "*DefaultColorSpace: Gray\n"
        "*cupsVersion: 2.4\n";
    ppd += "*cupsModelNumber: " + std::to_string(modelNumber) + "\n";
    ppd +=
        "*cupsManualCopies: True\n"
        "*cupsFilter: \"application/vnd.cups-raster 50 quorvant\"\n"
        "*OpenUI *PageSize/Media Size: PickOne\n"
        "*OrderDependency: 10 AnySetup *PageSize\n"
        "*DefaultPageSize: w144h72\n"
        "*PageSize w144h72/2 x 1 in: \"<</PageSize[144 72]/ImagingBBox null>>setpagedevice\"\n"
        "*PageSize w288h432/4 x 6 in: \"<</PageSize[288 432]/ImagingBBox null>>setpagedevice\"\n"
        "*CloseUI: *PageSize\n"
        "*DefaultImageableArea: w144h72\n"
        "*ImageableArea w144h72/2 x 1 in: \"0 0 144 72\"\n"
        "*ImageableArea w288h432/4 x 6 in: \"0 0 288 432\"\n"
        "*DefaultPaperDimension: w144h72\n"
        "*PaperDimension w144h72/2 x 1 in: \"144 72\"\n"
        "*PaperDimension w288h432/4 x 6 in: \"288 432\"\n";
    for (size_t i = 0; i < kOptionCount; i++) {
        const uint8_t pick = picks.pick[i];
        if (pick == 255)
            continue;
        const std::string name = kOptionNames[i];
        const std::vector<const char*>& choices = kChoices[i];
        const bool odd = pick >= 224;
        const std::string def = odd ? kOdd[pick - 224] : choices[pick % choices.size()];
        ppd += "*OpenUI *" + name + "/" + name + ": PickOne\n";
        ppd += "*OrderDependency: 20 AnySetup *" + name + "\n";
        ppd += "*Default" + name + ": " + def + "\n";
        bool listed = false;
        for (const char* choice : choices) {
            ppd += "*" + name + " " + choice + "/" + choice + ": \"\"\n";
            listed = listed || def == choice;
        }
        if (!listed)
            ppd += "*" + name + " " + def + "/" + def + ": \"\"\n";
        ppd += "*CloseUI: *" + name + "\n";
    }
    return ppd;
}

}  // namespace FuzzPpd

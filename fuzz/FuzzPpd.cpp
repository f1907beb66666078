#include "fuzz/FuzzPpd.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "families/Families.h"
#include "fuzz/ShippedPpds.h"

namespace FuzzPpd {

namespace {

// Numbers at and past the edges of what the settings carry, and words;
// every entry gets them after its own odd values.
const std::vector<const char*> kOdd = {
    "-1",           "4",       "11",       "255",   "256",   "-2147483648", "2147483647", "4294967296", "99999999999",
    "-99999999999", "10000",   "-10000",   "10001", "65536", "1e9",         "0x10",       "007",        "+7",
    "-0",           "abc",     "Default",  "-",     "99x",   "1000001",     "-1000001",   "8.5",        "Off",
    "None",         "3000000", "-3000000", "2"};

}  // namespace

// The first choice is the one a PPD would mostly default to, so that a pick
// of 0 gives an ordinary job.
const Entry kEntries[] = {
    {"MediaMethod", false, {"Direct", "Transfer", "Normal"}, {"direct"}},
    {"AdjustHoriaontal", false, {"0", "-2", "-1", "1", "2"}, {"1250", "1251", "-1250"}},
    {"AdjustVertical", false, {"0", "-2", "-1", "1", "2"}, {"1250", "1251", "-1250"}},
    {"zeMediaTracking",
     false,
     {"Gap", "Continuous", "BLine", "BLine_Fold", "Perforated", "Roll", "Recording", "A4Stock"},
     {"gap", "Mark"}},
    {"FeedOffset", false, {"0", "2", "5", "10", "33"}, {"1000", "9999"}},
    {"Rotate", false, {"0", "1", "2", "3"}, {"5", "90", "-2"}},
    {"Darkness", false, {"Default", "1", "8", "15"}, {"0", "16", "30"}},
    {"zePrintRate", false, {"Default", "2", "4", "8"}, {"0", "13", "15"}},
    {"AutoDotted", false, {"0", "1"}, {"True"}},
    {"Brightness", false, {"0", "-40", "-10", "20", "40"}, {"255", "-255"}},
    {"Contrast", false, {"0", "-50", "25", "100"}, {"101", "-101"}},
    {"ImageFilter",
     false,
     {"3", "0", "1", "2", "4", "5", "6", "7", "8", "9", "10", "EdgeKeeping"},
     {"11", "12", "edgekeeping", "EdgeKeeping2", "Edge"}},
    {"Threshold", false, {"175", "64", "128", "224"}, {"0", "511"}},
    {"ImageCompress", false, {"0", "1"}, {"True"}},
    {"CropEdgeTop", false, {"0", "2", "10", "-1"}, {"-2", "9999"}},
    {"CropEdgeBottom", false, {"0", "2", "10", "-1"}, {"-2", "9999"}},
    {"CropEdgeLeft", false, {"0", "2", "10", "-1"}, {"-2", "9999"}},
    {"CropEdgeRight", false, {"0", "2", "10", "-1"}, {"-2", "9999"}},
    {"qvCutMode", false, {"1", "0", "2", "3", "4"}, {"5", "True"}},
    {"qvCashDrawer", false, {"0", "1", "2"}, {"3", "True"}},
    {"qvEndFeed", false, {"15", "0", "2", "5", "10", "20", "33"}, {"100", "101", "99"}},
    {"qvTrimRoll", false, {"True", "False"}, {"true", "1", "0", "TRUE", "yes"}},
    {"qvPostPrint", false, {"0", "1", "2", "3", "4"}, {"5", "True"}},
    {"qvPreFeed", false, {"0", "2", "5", "10", "15", "20", "33"}, {"1000", "1001", "999"}},
    {"qvMirror", false, {"False", "True"}, {"true", "1", "0", "TRUE"}},
    {"qvNegative", false, {"False", "True"}, {"true", "1", "0", "TRUE"}},
    {"qvScale", false, {"100", "50", "75", "90", "125", "150", "200"}, {"400", "401", "399", "10", "9", "1", "0"}},
    {"qvBrightness", false, {"0", "-40", "-20", "-10", "10", "20", "40"}, {"255", "256", "-255", "-256"}},
    {"qvHeadDots", true, {"576", "384", "832", "1248"}, {"0", "1", "8", "385", "524280", "524281", ""}},
    {"qvMaxRasterRows", true, {"2000", "8", "1", "255", "65535"}, {"0", "65536", ""}},
    {"qvNoSetc", true, {"True", "False"}, {"true", "1", "0", ""}},
};
static_assert(sizeof kEntries / sizeof kEntries[0] == kPickCount, "one pick per entry");

namespace {

const Entry* Find(const std::string& name) {
    for (const Entry& entry : kEntries)
        if (name == entry.name)
            return &entry;
    return nullptr;
}

// The odd value `index` (pick - kFirstOdd) for `entry`, which may be null.
const char* Odd(const Entry* entry, size_t index) {
    const size_t own = entry ? entry->odd.size() : 0;
    index %= own + kOdd.size();
    return index < own ? entry->odd[index] : kOdd[index - own];
}

// The generated PPD's fixed part: a valid skeleton the picked entries follow.
const char kSkeleton[] =
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
    "*cupsVersion: 2.4\n"
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

void AddOption(std::string& ppd, const Entry& entry, const std::string& def) {
    const std::string name = entry.name;
    ppd += "*OpenUI *" + name + "/" + name + ": PickOne\n";
    ppd += "*OrderDependency: 20 AnySetup *" + name + "\n";
    ppd += "*Default" + name + ": " + def + "\n";
    bool listed = false;
    for (const char* choice : entry.choices) {
        ppd += "*" + name + " " + choice + "/" + choice + ": \"\"\n";
        listed = listed || def == choice;
    }
    if (!listed)
        ppd += "*" + name + " " + def + "/" + def + ": \"\"\n";
    ppd += "*CloseUI: *" + name + "\n";
}

// A shipped PPD with the picks applied to its options in order. An odd
// value goes into the option string; CUPS ignores a value its PPD does not
// list, so for odd picks the value is also added to the PPD's choices (on a
// copy of its text), where it reaches the filter with the shipped
// neighbours around it.
JobPpd Shipped(const ShippedPpds::Ppd& shipped, const Picks& picks) {
    JobPpd job;
    job.model = shipped.model;
    job.ppd = shipped.text;
    const size_t count = std::min(shipped.options.size(), kPickCount);
    for (size_t i = 0; i < count; i++) {
        const ShippedPpds::Option& option = shipped.options[i];
        const uint8_t pick = picks.pick[i];
        if (pick == kLeaveOut || option.choices.empty())
            continue;
        std::string value;
        if (pick < kFirstOdd) {
            value = option.choices[pick % option.choices.size()];
        } else {
            value = Odd(Find(option.keyword), pick - kFirstOdd);
            if (value.empty())
                continue;
            const std::string open = "*OpenUI *" + option.keyword + "/";
            const size_t at = job.ppd.find(open);
            const size_t end = at == std::string::npos ? at : job.ppd.find('\n', at);
            if ((pick & 1) && end != std::string::npos)
                job.ppd.insert(end + 1, "*" + option.keyword + " " + value + "/" + value + ": \"\"\n");
        }
        if (!job.options.empty())
            job.options += ' ';
        job.options += option.keyword + "=" + value;
    }
    return job;
}

}  // namespace

static_assert(kFirstOdd < kLeaveOut, "odd values lie between the choices and leaving an entry out");

uint8_t PickOf(const char* name, const char* value) {
    const Entry* entry = Find(name);
    if (entry) {
        for (size_t i = 0; i < entry->choices.size(); i++)
            if (std::strcmp(entry->choices[i], value) == 0)
                return static_cast<uint8_t>(i);
        for (unsigned pick = kFirstOdd; pick < kLeaveOut; pick++)
            if (std::strcmp(Odd(entry, pick - kFirstOdd), value) == 0)
                return static_cast<uint8_t>(pick);
    }
    fprintf(stderr, "FuzzPpd: no pick gives %s=%s\n", name, value);
    abort();
}

size_t GeneratedCount() { return Families::All().size(); }

size_t GeneratedSource(int modelNumber) {
    const std::vector<Families::Info>& families = Families::All();
    for (size_t i = 0; i < families.size(); i++)
        if (families[i].modelNumber == modelNumber)
            return i;
    fprintf(stderr, "FuzzPpd: no printer family has model number %d\n", modelNumber);
    abort();
}

size_t SourceCount() { return GeneratedCount() + ShippedPpds::All().size(); }

size_t SourceOf(const std::string& name) {
    const std::vector<ShippedPpds::Ppd>& all = ShippedPpds::All();
    for (size_t i = 0; i < all.size(); i++)
        if (all[i].name == name)
            return GeneratedCount() + i;
    fprintf(stderr, "FuzzPpd: the build has no shipped PPD %s\n", name.c_str());
    abort();
}

JobPpd Make(size_t source, const Picks& picks) {
    source %= SourceCount();
    if (source >= GeneratedCount())
        return Shipped(ShippedPpds::All()[source - GeneratedCount()], picks);
    JobPpd job;
    job.model = Families::All()[source].modelNumber;
    job.ppd = Write(job.model, picks);
    return job;
}

std::string Write(int modelNumber, const Picks& picks) {
    std::string ppd = kSkeleton;
    ppd += "*cupsModelNumber: " + std::to_string(modelNumber) + "\n";
    for (size_t i = 0; i < kPickCount; i++) {
        const uint8_t pick = picks.pick[i];
        if (pick == kLeaveOut)
            continue;
        const Entry& entry = kEntries[i];
        const std::string value =
            pick < kFirstOdd ? entry.choices[pick % entry.choices.size()] : Odd(&entry, pick - kFirstOdd);
        if (entry.attribute)
            ppd += "*" + std::string(entry.name) + ": \"" + value + "\"\n";
        else if (!value.empty())
            AddOption(ppd, entry, value);
    }
    return ppd;
}

}  // namespace FuzzPpd

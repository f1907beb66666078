#include "fuzz/ShippedPpds.h"

#include <cups/ppd.h>

#include <cstdio>
#include <cstdlib>

#include "families/DriverTable.h"

namespace ShippedPpds {

namespace {

std::string ReadFile(const std::string& path) {
    std::string text;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) {
        perror(path.c_str());
        abort();
    }
    char block[65536];
    size_t n;
    while ((n = fread(block, 1, sizeof block, file)) > 0)
        text.append(block, n);
    fclose(file);
    return text;
}

Ppd Load(const std::string& name) {
    Ppd ppd;
    ppd.name = name;
    ppd.path = std::string(QUORVANT_FUZZ_PPD_DIR) + "/" + name;
    ppd.text = ReadFile(ppd.path);
    ppd_file_t* file = ppdOpenFile(ppd.path.c_str());
    if (!file) {
        fprintf(stderr, "ShippedPpds: %s does not parse\n", ppd.path.c_str());
        abort();
    }
    ppd.model = file->model_number;
    for (ppd_option_t* option = ppdFirstOption(file); option; option = ppdNextOption(file)) {
        Option entry;
        entry.keyword = option->keyword;
        for (int i = 0; i < option->num_choices; i++)
            entry.choices.push_back(option->choices[i].choice);
        ppd.options.push_back(entry);
    }
    ppdClose(file);
    return ppd;
}

}  // namespace

const std::vector<Ppd>& All() {
    static const std::vector<Ppd> all = [] {
        std::vector<Ppd> ppds;
        size_t count = 0;
        const DriverTable::Driver* drivers = DriverTable::Drivers(count);
        for (size_t i = 0; QUORVANT_FUZZ_PPDS_BUILT && i < count; i++)
            ppds.push_back(Load(drivers[i].ppd));
        return ppds;
    }();
    return all;
}

}  // namespace ShippedPpds

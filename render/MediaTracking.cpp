#include "render/MediaTracking.h"

namespace MediaTracking {

namespace {

// Only gap labels carry a mark length: the gap the printer looks for.
const Row kRows[] = {
    {"Continuous", 0, 0, 0}, {"A4Stock", 0, 0, 0},    {"Gap", 1, 3, 0},  {"BLine", 2, 0, 0},
    {"BLine_Fold", 2, 0, 0}, {"Perforated", 3, 0, 0}, {"Roll", 4, 0, 0}, {"Recording", 5, 0, 0},
};

}  // namespace

const Row* Find(const std::string& choice) {
    for (const Row& row : kRows)
        if (choice == row.choice)
            return &row;
    return nullptr;
}

void Apply(tagREGSTRUCT& reg, const Row& row) {
    reg.iMediaType = row.type;
    reg.iMarkLength = row.markLength;
    reg.iMarkOffset = row.markOffset;
}

}  // namespace MediaTracking

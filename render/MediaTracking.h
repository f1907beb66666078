#pragma once

#include <string>

#include "render/RenderSettings.h"

// How the printer finds the next label: the PPDs' "zeMediaTracking"
// choices and what each sets in the settings record. The filter reads the
// PPD's choice; the printer application maps its PWG media type and
// tracking to one of the same choices.
namespace MediaTracking {

struct Row {
    const char* choice;  // the PPDs' choice keyword
    int type;            // iMediaType
    int markLength;      // iMarkLength, mm
    int markOffset;      // iMarkOffset, mm
};

// The row of the PPD choice `choice`, or null.
const Row* Find(const std::string& choice);
void Apply(tagREGSTRUCT& reg, const Row& row);

}  // namespace MediaTracking

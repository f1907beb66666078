#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The PPDs the fuzz targets run on: generated ones (a small valid skeleton
// for one model number carrying every option and attribute the filter
// reads, each default picked by one byte) and the shipped ones compiled from
// drv/quorvant.drv, whose options the same bytes choose through the job's
// option string.
namespace FuzzPpd {

// One option or attribute the filter reads, with the choices a PPD would
// offer for it and values at and past the edges of its range.
struct Entry {
    const char* name;
    bool attribute;  // "*Name: value" rather than an option with choices
    std::vector<const char*> choices;
    std::vector<const char*> odd;
};

// The eighteen options every PPD of the filter may carry (in the order it
// reads them; "AdjustHoriaontal" is the spelling the drivers use), then this
// project's own options and attributes.
constexpr size_t kPickCount = 31;
extern const Entry kEntries[kPickCount];

// One byte per entry. Below kFirstOdd a sensible choice (modulo the entry's
// list), kFirstOdd..254 an odd value (the entry's own, then numbers and
// words every entry gets), 255 leaves the entry out. On a shipped PPD the
// bytes apply to its options in keyword order.
constexpr uint8_t kFirstOdd = 192;
constexpr uint8_t kLeaveOut = 255;
struct Picks {
    uint8_t pick[kPickCount] = {};
};

// The pick that selects `value` for the entry `name` (a choice or an odd
// value); aborts when the entry has no such value. For writing seeds.
uint8_t PickOf(const char* name, const char* value);

// What a job runs with.
struct JobPpd {
    int model = 0;
    std::string ppd;      // the PPD's text
    std::string options;  // "Name=value ..." chosen by the picks
};

// The first sources are generated PPDs, one per printer family in the
// families' order, the rest the shipped PPDs in the driver table's order.
// Make takes `source` modulo SourceCount().
size_t SourceCount();
JobPpd Make(size_t source, const Picks& picks);
// The source of the shipped PPD `name` ("qvescpos.ppd"); aborts when the
// build has no such PPD. For writing seeds.
size_t SourceOf(const std::string& name);
// The generated source of the family with `modelNumber`.
size_t GeneratedSource(int modelNumber);
size_t GeneratedCount();

// The generated PPD for `modelNumber`: every entry whose pick is not
// kLeaveOut, with the picked value as its default.
std::string Write(int modelNumber, const Picks& picks);

}  // namespace FuzzPpd

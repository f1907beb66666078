#pragma once

#include <cstddef>
#include <string>

#include "families/DriverTable.h"
#include "render/CBaseRender.h"

// The settings both hosts know beyond the eighteen options every PPD may
// carry, described once: for each, its name, its PPD keyword, its IPP
// attribute, the record field it sets, its range, its keyword choices and
// the drivers it applies to. The filter's reader of the project's own PPD
// keywords, the printer application's vendor attributes, job defaults and
// page overrides, and the tests that check the PPDs all take them from here.
namespace NamedSettings {

// A run of table entries, for range-for.
template <class T>
struct List {
    constexpr List() = default;
    template <size_t N>
    constexpr List(const T (&entries)[N]) : first(entries), count(N) {}

    const T* first = nullptr;
    size_t count = 0;
    const T* begin() const { return first; }
    const T* end() const { return first + count; }
    bool empty() const { return count == 0; }
};

// One keyword choice of a setting.
struct Choice {
    const char* keyword;    // IPP keyword
    const char* ppdChoice;  // the PPDs' choice keyword
    int value;              // what the setting stores
};

// Where a PPD carries a setting.
struct Ppd {
    enum Kind {
        Option,     // one of the project's own options
        Attribute,  // an attribute: a printer quirk
        // One of the eighteen options, whose reader takes its numeric
        // choices; only its other choices are this table's to read.
        Shared,
    };
    const char* keyword = nullptr;  // null: no PPD carries it
    Kind kind = Option;
};

// How the printer application offers a setting.
struct Ipp {
    const char* attribute = nullptr;  // job and printer attribute; null: not offered
    // The keyword that leaves the setting to other attributes, also the
    // printer's default; null: none.
    const char* autoKeyword = nullptr;
};

// A field of a renderer's settings records, as an int.
struct Field {
    void (*set)(CBaseRender&, int);
    int (*get)(const CBaseRender&);
};

// The values a setting stores.
struct Range {
    int low, high;
    bool isSwitch = false;  // stores value != 0 (low..high is 0..1)
};

// The drivers a setting applies to: those whose PPD carries it and for
// which the application offers it; and what a job of the driver starts
// from, as its PPD marks by default (null: the settings record's default).
struct Drivers {
    bool (*appliesTo)(const DriverTable::Driver&);
    int (*byDefault)(const DriverTable::Driver&) = nullptr;
};

struct Setting {
    const char* name;  // as the hosts and the log know it
    Ppd ppd;
    Ipp ipp;
    Field field;
    Range range;
    List<Choice> choices;  // keyword choices; empty: the value is a number
    Drivers drivers;
};

// Every setting, in the order the filter reads their PPD keywords.
List<Setting> All();
// The setting named `name`, or null.
const Setting* Find(const std::string& name);

// Stores `value` in the setting's field, clamped to its range (a switch:
// value != 0); returns what was stored.
int Apply(CBaseRender& render, const Setting& setting, int value);
// The same by name; false for a name no setting has. `applied`, when
// given, receives what was stored.
bool Apply(CBaseRender& render, const std::string& name, int value, int* applied = nullptr);
// Selects the keyword choice `keyword` of the setting `name` (for example
// "halftoning" "burkes"); false, with nothing changed, for an unknown
// setting or keyword.
bool ApplyKeyword(CBaseRender& render, const std::string& name, const std::string& keyword);

// The choice with IPP keyword `keyword`, PPD choice `ppdChoice` or value
// `value`; null when the setting has none.
const Choice* ChoiceByKeyword(const Setting& setting, const std::string& keyword);
const Choice* ChoiceByPpd(const Setting& setting, const std::string& ppdChoice);
const Choice* ChoiceByValue(const Setting& setting, int value);

// What a job of `driver` starts from for `setting` (the record's default
// when the driver row gives none).
int DefaultFor(const Setting& setting, const DriverTable::Driver& driver);

}  // namespace NamedSettings

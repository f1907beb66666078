#pragma once

#include <string>
#include <vector>

namespace zpl {

// A Code 128 symbol: its values (start, data, check, stop), what the
// interpretation line shows and how many data characters it carries.
struct Code128Symbol {
    std::vector<int> values;
    std::string text;
    int characters = 0;
};

// ^BC's modes: N reads ZPL's subset invocations (`>;` start C, `>6` code B,
// `>8` FNC1 ...) and starts in B when the data names no start; U pads or cuts
// the digits to 19 and adds the mod 10 digit; A picks the shortest encoding
// of the data as written; D encodes GS1 data (AIs in parentheses or found by
// their lengths) after FNC1, adding the check digit an AI needs. `uccCheck`
// (^BC e) appends a mod 10 digit in mode N.
bool EncodeCode128(const std::string& data, char mode, bool uccCheck, Code128Symbol& out, std::string& problem);

// The widths in modules of a value's bars and spaces, bar first ("212222";
// seven for the stop, 106).
const char* Code128Pattern(int value);

// GS1's mod 10 check digit of `digits` (weights 3, 1 from the right).
int Mod10CheckDigit(const std::string& digits);

// GS1 data as element strings: each AI with its data. `data` holds AIs in
// parentheses, or digits with FNC1 (written `fnc1`) after variable-length
// fields; AIs that end a fixed-length field are found by GS1's table of
// predefined lengths. False when the data has no AI where one must start.
struct Gs1Element {
    std::string ai, value;
};
bool SplitGs1(const std::string& data, char fnc1, std::vector<Gs1Element>& out, std::string& problem);

// Whether GS1 fixes the length of the data after AIs starting with these two
// digits (no FNC1 follows such a field).
bool Gs1FixedLength(const std::string& ai);

}  // namespace zpl

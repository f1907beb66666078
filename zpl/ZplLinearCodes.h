#pragma once

#include <string>
#include <vector>

namespace zpl {

// A one-row bar code as widths: bars and spaces in turn, a bar first; '1' to
// '4' are module counts (Code 128, EAN, UPC), 'n' and 'w' narrow and wide
// (the two-width codes: wide = ^BY ratio x narrow).
struct LinearSymbol {
    std::string elements;
    // Bars that reach below the others into the digits (EAN and UPC guards);
    // empty when none do.
    std::vector<bool> tall;
    // Interpretation line pieces, each centred over modules [from, to) of
    // a module code; `whole` centres one piece under the whole symbol.
    struct Piece {
        std::string text;
        int from = 0, to = 0;
        bool whole = false;
    };
    std::vector<Piece> pieces;
    std::string name;  // "EAN-13", for the summary
    int characters = 0;
    bool retail = false;  // EAN/UPC: digits beside the guards, no line above
};

// ^B3: Code 39 with start and stop, the mod 43 digit when `check`.
bool EncodeCode39(const std::string& data, bool check, LinearSymbol& out, std::string& problem);
// ^B2: pairs of digits, a leading 0 making the count even; a mod 10 digit
// when `check`.
bool EncodeInterleaved2of5(const std::string& data, bool check, LinearSymbol& out, std::string& problem);
// ^BK: the data between the `start` and `stop` characters (A to D).
bool EncodeCodabar(const std::string& data, char start, char stop, LinearSymbol& out, std::string& problem);
// ^BE, ^B8, ^BU: 12, 7, 11 digits (padded on the left with zeros, digits past
// them dropped) and their check digit. UPC-A prints its check digit when
// `printCheck`.
bool EncodeEan13(const std::string& data, LinearSymbol& out, std::string& problem);
bool EncodeEan8(const std::string& data, LinearSymbol& out, std::string& problem);
bool EncodeUpcA(const std::string& data, bool printCheck, LinearSymbol& out, std::string& problem);
// ^B9: a UPC-A number (10 digits of manufacturer and product with number
// system 0, or 11 with the number system) zero-suppressed to six digits, or
// the six digits themselves.
bool EncodeUpcE(const std::string& data, bool printCheck, LinearSymbol& out, std::string& problem);

}  // namespace zpl

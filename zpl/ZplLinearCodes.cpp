#include "zpl/ZplLinearCodes.h"

#include <algorithm>
#include <cstring>

#include "zpl/ZplCode128.h"

namespace zpl {

namespace {

const size_t kMaxData = 500;  // longer than any label holds

bool TooLong(const std::string& data, const char* name, std::string& problem) {
    if (data.size() <= kMaxData)
        return false;
    problem = std::string(name) + " data of " + std::to_string(data.size()) + " bytes is longer than a label can hold";
    return true;
}

bool AllDigits(const std::string& s) {
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Code 39: the characters in value order, and their nine elements.
const char kCode39Chars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
const char* const kCode39[44] = {"nnnwwnwnn", "wnnwnnnnw", "nnwwnnnnw", "wnwwnnnnn", "nnnwwnnnw", "wnnwwnnnn",
                                 "nnwwwnnnn", "nnnwnnwnw", "wnnwnnwnn", "nnwwnnwnn", "wnnnnwnnw", "nnwnnwnnw",
                                 "wnwnnwnnn", "nnnnwwnnw", "wnnnwwnnn", "nnwnwwnnn", "nnnnnwwnw", "wnnnnwwnn",
                                 "nnwnnwwnn", "nnnnwwwnn", "wnnnnnnww", "nnwnnnnww", "wnwnnnnwn", "nnnnwnnww",
                                 "wnnnwnnwn", "nnwnwnnwn", "nnnnnnwww", "wnnnnnwwn", "nnwnnnwwn", "nnnnwnwwn",
                                 "wwnnnnnnw", "nwwnnnnnw", "wwwnnnnnn", "nwnnwnnnw", "wwnnwnnnn", "nwwnwnnnn",
                                 "nwnnnnwnw", "wwnnnnwnn", "nwwnnnwnn", "nwnwnwnnn", "nwnwnnnwn", "nwnnnwnwn",
                                 "nnnwnwnwn", "nwnnwnwnn"};  // last: '*'

const char* const kTwoOfFive[10] = {"nnwwn", "wnnnw", "nwnnw", "wwnnn", "nnwnw",
                                    "wnwnn", "nwwnn", "nnnww", "wnnwn", "nwnwn"};

const char kCodabarChars[] = "0123456789-$:/.+ABCD";
const char* const kCodabar[20] = {"nnnnnww", "nnnnwwn", "nnnwnnw", "wwnnnnn", "nnwnnwn", "wnnnnwn", "nwnnnnw",
                                  "nwnnwnn", "nwwnnnn", "wnnwnnn", "nnnwwnn", "nnwwnnn", "wnnnwnw", "wnwnnnw",
                                  "wnwnwnn", "nnwnwnw", "nnwwnwn", "nwnwnnw", "nnnwnww", "nnnwwwn"};

// EAN's L set (odd parity) in modules, space first; R is the same widths bar
// first and G the L widths reversed.
const char* const kEanL[10] = {"3211", "2221", "2122", "1411", "1132", "1231", "1114", "1312", "1213", "3112"};
const char* const kEan13Parity[10] = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG",
                                      "LGGLLG", "LGGGLL", "LGLGLG", "LGLGGL", "LGGLGL"};
// UPC-E's parity of its six digits by check digit, number system 0 (G = even).
const char* const kUpcEParity[10] = {"GGGLLL", "GGLGLL", "GGLLGL", "GGLLLG", "GLGGLL",
                                     "GLLGGL", "GLLLGG", "GLGLGL", "GLGLLG", "GLLGLG"};

void AppendDigit(std::string& elements, char digit, char set) {
    std::string widths = kEanL[digit - '0'];
    if (set == 'G')
        std::reverse(widths.begin(), widths.end());
    elements += widths;
}

// Marks the bars that start inside the module ranges as tall.
void MarkTall(LinearSymbol& s, std::initializer_list<std::pair<int, int>> ranges) {
    s.tall.assign(s.elements.size(), false);
    int module = 0;
    for (size_t i = 0; i < s.elements.size(); i++) {
        if (i % 2 == 0)
            for (const auto& r : ranges)
                if (module >= r.first && module < r.second)
                    s.tall[i] = true;
        module += s.elements[i] - '0';
    }
}

// The digits to encode: `count` of them, zeros added on the left, extra
// digits (a check digit written out) dropped.
bool RetailDigits(const std::string& data, size_t count, const char* name, std::string& digits, std::string& problem) {
    if (TooLong(data, name, problem))
        return false;
    if (data.empty() || !AllDigits(data)) {
        problem = std::string(name) + " takes digits only, not \"" + data + "\"";
        return false;
    }
    digits = data.size() >= count ? data.substr(0, count) : std::string(count - data.size(), '0') + data;
    return true;
}

LinearSymbol::Piece Piece(const std::string& text, int from, int to) {
    LinearSymbol::Piece p;
    p.text = text;
    p.from = from;
    p.to = to;
    return p;
}

LinearSymbol::Piece Whole(const std::string& text) {
    LinearSymbol::Piece p;
    p.text = text;
    p.whole = true;
    return p;
}

// The EAN-13 and UPC-A bars of 13 digits (the first giving the parity).
void Ean13Bars(const std::string& d, LinearSymbol& out) {
    out.elements = "111";
    for (int i = 0; i < 6; i++)
        AppendDigit(out.elements, d[1 + i], kEan13Parity[d[0] - '0'][i]);
    out.elements += "11111";
    for (int i = 7; i < 13; i++)
        AppendDigit(out.elements, d[i], 'R');
    out.elements += "111";
}

}  // namespace

bool EncodeCode39(const std::string& data, bool check, LinearSymbol& out, std::string& problem) {
    out = LinearSymbol();
    if (TooLong(data, "Code 39", problem))
        return false;
    std::string text;
    int sum = 0;
    for (char c : data) {
        const char* at = c ? strchr(kCode39Chars, c) : nullptr;
        if (!at) {
            problem = std::string("Code 39 has no character '") + c + "'";
            return false;
        }
        sum += int(at - kCode39Chars);
        text += c;
    }
    if (check)
        text += kCode39Chars[sum % 43];
    out.elements = kCode39[43];
    for (char c : text)
        out.elements += std::string("n") + kCode39[strchr(kCode39Chars, c) - kCode39Chars];
    out.elements += std::string("n") + kCode39[43];
    out.pieces.push_back(Whole("*" + text + "*"));
    out.name = "Code 39";
    out.characters = int(data.size());
    return true;
}

bool EncodeInterleaved2of5(const std::string& data, bool check, LinearSymbol& out, std::string& problem) {
    out = LinearSymbol();
    if (TooLong(data, "Interleaved 2 of 5", problem))
        return false;
    if (!AllDigits(data)) {
        problem = "Interleaved 2 of 5 takes digits only, not \"" + data + "\"";
        return false;
    }
    std::string digits = data;
    if (check)
        digits += char('0' + Mod10CheckDigit(digits));
    if (digits.size() % 2)
        digits.insert(0, "0");
    out.elements = "nnnn";
    for (size_t i = 0; i < digits.size(); i += 2)
        for (int k = 0; k < 5; k++) {
            out.elements += kTwoOfFive[digits[i] - '0'][k];
            out.elements += kTwoOfFive[digits[i + 1] - '0'][k];
        }
    out.elements += "wnn";
    out.pieces.push_back(Whole(digits));
    out.name = "Interleaved 2 of 5";
    out.characters = int(digits.size());
    return true;
}

bool EncodeCodabar(const std::string& data, char start, char stop, LinearSymbol& out, std::string& problem) {
    out = LinearSymbol();
    if (TooLong(data, "Codabar", problem))
        return false;
    for (char end : {start, stop})
        if (end < 'A' || end > 'D') {
            problem = std::string("Codabar starts and stops with A to D, not '") + end + "'";
            return false;
        }
    const std::string text = start + data + stop;
    for (size_t i = 0; i < text.size(); i++) {
        const char* at = text[i] ? strchr(kCodabarChars, text[i]) : nullptr;
        if (!at || (i > 0 && i + 1 < text.size() && at - kCodabarChars >= 16)) {
            problem = std::string("Codabar has no data character '") + text[i] + "'";
            return false;
        }
        if (i)
            out.elements += 'n';
        out.elements += kCodabar[at - kCodabarChars];
    }
    out.pieces.push_back(Whole(text));
    out.name = "Codabar";
    out.characters = int(data.size());
    return true;
}

bool EncodeEan13(const std::string& data, LinearSymbol& out, std::string& problem) {
    out = LinearSymbol();
    std::string d;
    if (!RetailDigits(data, 12, "EAN-13", d, problem))
        return false;
    d += char('0' + Mod10CheckDigit(d));
    Ean13Bars(d, out);
    MarkTall(out, {{0, 3}, {45, 50}, {92, 95}});
    out.pieces = {Piece(d.substr(0, 1), -11, -7), Piece(d.substr(1, 6), 3, 45), Piece(d.substr(7), 50, 92)};
    out.name = "EAN-13";
    out.characters = 13;
    out.retail = true;
    return true;
}

bool EncodeEan8(const std::string& data, LinearSymbol& out, std::string& problem) {
    out = LinearSymbol();
    std::string d;
    if (!RetailDigits(data, 7, "EAN-8", d, problem))
        return false;
    d += char('0' + Mod10CheckDigit(d));
    out.elements = "111";
    for (int i = 0; i < 4; i++)
        AppendDigit(out.elements, d[i], 'L');
    out.elements += "11111";
    for (int i = 4; i < 8; i++)
        AppendDigit(out.elements, d[i], 'R');
    out.elements += "111";
    MarkTall(out, {{0, 3}, {31, 36}, {64, 67}});
    out.pieces = {Piece(d.substr(0, 4), 3, 31), Piece(d.substr(4), 36, 64)};
    out.name = "EAN-8";
    out.characters = 8;
    out.retail = true;
    return true;
}

bool EncodeUpcA(const std::string& data, bool printCheck, LinearSymbol& out, std::string& problem) {
    out = LinearSymbol();
    std::string d;
    if (!RetailDigits(data, 11, "UPC-A", d, problem))
        return false;
    d += char('0' + Mod10CheckDigit(d));
    Ean13Bars("0" + d, out);
    // The number system and check digits' bars reach down with the guards.
    MarkTall(out, {{0, 10}, {45, 50}, {85, 95}});
    out.pieces = {Piece(d.substr(0, 1), -11, -7), Piece(d.substr(1, 5), 10, 45), Piece(d.substr(6, 5), 50, 85)};
    if (printCheck)
        out.pieces.push_back(Piece(d.substr(11), 102, 106));
    out.name = "UPC-A";
    out.characters = 12;
    out.retail = true;
    return true;
}

bool EncodeUpcE(const std::string& data, bool printCheck, LinearSymbol& out, std::string& problem) {
    out = LinearSymbol();
    if (TooLong(data, "UPC-E", problem))
        return false;
    if (data.empty() || !AllDigits(data)) {
        problem = "UPC-E takes digits only, not \"" + data + "\"";
        return false;
    }
    char system = '0';
    std::string six, upcA;
    if (data.size() <= 8) {
        // Six digits, perhaps after the number system and before a check
        // digit (which is computed again).
        if (data.size() >= 7)
            system = data[0];
        six = data.size() >= 7 ? data.substr(1, 6) : std::string(6 - data.size(), '0') + data;
        // Expanded back to UPC-A for the check digit.
        if (system != '0' && system != '1') {
            problem = "UPC-E has number system 0 or 1, not " + std::string(1, system);
            return false;
        }
        const std::string m = six;
        switch (m[5]) {
            case '0':
            case '1':
            case '2':
                upcA = m.substr(0, 2) + m[5] + "0000" + m.substr(2, 3);
                break;
            case '3':
                upcA = m.substr(0, 3) + "00000" + m.substr(3, 2);
                break;
            case '4':
                upcA = m.substr(0, 4) + "00000" + m[4];
                break;
            default:
                upcA = m.substr(0, 5) + "0000" + m[5];
        }
    } else {
        std::string body = data.size() >= 11
                               ? data.substr(1, 10)
                               : std::string(10 - std::min<size_t>(data.size(), 10), '0') + data.substr(0, 10);
        if (data.size() >= 11)
            system = data[0];
        if (system != '0' && system != '1') {
            problem = "UPC-E has number system 0 or 1, not " + std::string(1, system);
            return false;
        }
        const std::string m = body.substr(0, 5), p = body.substr(5);
        if ((m[2] <= '2') && m.compare(3, 2, "00") == 0 && p.compare(0, 2, "00") == 0)
            six = m.substr(0, 2) + p.substr(2, 3) + m[2];
        else if (m.compare(3, 2, "00") == 0 && p.compare(0, 3, "000") == 0)
            six = m.substr(0, 3) + p.substr(3, 2) + "3";
        else if (m[4] == '0' && p.compare(0, 4, "0000") == 0)
            six = m.substr(0, 4) + p[4] + "4";
        else if (m[4] != '0' && p.compare(0, 4, "0000") == 0 && p[4] >= '5')
            six = m + p[4];
        else {
            problem = "UPC-A number " + body + " has too few zeros to suppress for UPC-E";
            return false;
        }
        upcA = body;
    }
    const std::string full = std::string(1, system) + upcA;
    const char check = char('0' + Mod10CheckDigit(full));
    out.elements = "111";
    for (int i = 0; i < 6; i++) {
        char set = kUpcEParity[check - '0'][i];
        if (system == '1')
            set = set == 'G' ? 'L' : 'G';
        AppendDigit(out.elements, six[i], set);
    }
    out.elements += "111111";
    MarkTall(out, {{0, 3}, {45, 51}});
    out.pieces = {Piece(std::string(1, system), -11, -7), Piece(six, 3, 45)};
    if (printCheck)
        out.pieces.push_back(Piece(std::string(1, check), 58, 62));
    out.name = "UPC-E";
    out.characters = 8;
    out.retail = true;
    return true;
}

}  // namespace zpl

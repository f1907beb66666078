#include "zpl/ZplCode128.h"

#include <array>
#include <cctype>

#include "marks/Code128.h"

namespace zpl {

namespace {

enum Set { A = 0, B = 1, C = 2 };
const int kStart[3] = {103, 104, 105};
const int kSwitch[3] = {101, 100, 99};  // Code A, Code B, Code C
const int kFnc1 = 102, kShift = 98, kStop = 106;
const int kFnc1Char = -1;      // FNC1 among the characters to encode
const size_t kMaxData = 1000;  // a symbol longer than any label holds

bool InA(int c) { return c == kFnc1Char || (c >= 0 && c < 96); }
bool InB(int c) { return c == kFnc1Char || (c >= 32 && c < 128); }
bool Digit(int c) { return c >= '0' && c <= '9'; }
int ValueIn(int set, int c) {
    if (c == kFnc1Char)
        return kFnc1;
    return set == A && c < 32 ? c + 64 : c - 32;
}

void Finish(std::vector<int>& values) {
    long sum = values[0];
    for (size_t i = 1; i < values.size(); i++)
        sum += long(i) * values[i];
    values.push_back(int(sum % 103));
    values.push_back(kStop);
}

// The fewest values that encode `chars` (bytes below 128, kFnc1Char), any
// start and subset changes allowed: a table of the cost of the rest of the
// data from each position in each subset, filled from the end.
bool EncodeShortest(const std::vector<int>& chars, std::vector<int>& values, std::string& problem) {
    const size_t n = chars.size();
    for (int c : chars)
        if (c > 127) {
            problem = "Code 128 has no character " + std::to_string(c) + " (a byte above 127)";
            return false;
        }
    const int kNone = 1 << 28;
    // direct[i][s]: the rest encoded from subset s without changing it at i;
    // best[i][s]: the same with a change allowed first.
    std::vector<std::array<int, 3>> direct(n + 1), best(n + 1);
    direct[n] = best[n] = {0, 0, 0};
    for (size_t i = n; i-- > 0;) {
        const int c = chars[i];
        const bool pair = i + 1 < n && Digit(c) && Digit(chars[i + 1]);
        for (int s = A; s <= C; s++) {
            int cost = kNone;
            if (s == C) {
                if (c == kFnc1Char)
                    cost = 1 + best[i + 1][C];
                else if (pair)
                    cost = 1 + best[i + 2][C];
            } else if (s == A ? InA(c) : InB(c)) {
                cost = 1 + best[i + 1][s];
            } else if (s == A ? InB(c) : InA(c)) {
                cost = 2 + best[i + 1][s];  // a shift
            }
            direct[i][s] = cost;
        }
        for (int s = A; s <= C; s++) {
            best[i][s] = direct[i][s];
            for (int t : {C, B, A})
                if (t != s && 1 + direct[i][t] < best[i][s])
                    best[i][s] = 1 + direct[i][t];
        }
    }
    int set = B;
    for (int s : {C, B, A})  // ties start in C, then B, as ISO 15417 suggests
        if (direct[0][s] < direct[0][set] || (direct[0][s] == direct[0][set] && s == C))
            set = s;
    if (n > 0 && direct[0][set] >= kNone) {
        problem = "Code 128 cannot encode the data";
        return false;
    }
    values.push_back(kStart[set]);
    for (size_t i = 0; i < n;) {
        if (direct[i][set] != best[i][set] || direct[i][set] >= kNone) {
            for (int t : {C, B, A})
                if (t != set && 1 + direct[i][t] == best[i][set]) {
                    values.push_back(kSwitch[t]);
                    set = t;
                    break;
                }
        }
        const int c = chars[i];
        if (set == C && c != kFnc1Char) {
            values.push_back((c - '0') * 10 + chars[i + 1] - '0');
            i += 2;
            continue;
        }
        if (c != kFnc1Char && !(set == A ? InA(c) : InB(c))) {
            values.push_back(kShift);
            values.push_back(ValueIn(set == A ? B : A, c));
        } else {
            values.push_back(ValueIn(set, c));
        }
        i++;
    }
    return true;
}

// Mode N: the data as written, with ZPL's invocation codes.
bool EncodePlain(const std::string& data, bool uccCheck, Code128Symbol& out, std::string& problem) {
    std::vector<int>& v = out.values;
    int set = -1;
    bool shift = false;
    auto start = [&] {
        if (set < 0) {
            set = B;  // ZPL's default start
            v.push_back(kStart[B]);
        }
    };
    auto switchTo = [&](int to) {
        if (set < 0) {
            set = to;
            v.push_back(kStart[to]);
        } else if (set != to) {
            set = to;
            v.push_back(kSwitch[to]);
        }
    };
    std::string text = data;
    if (uccCheck) {
        std::string digits;
        for (char c : data)
            if (Digit(c))
                digits += c;
        text += char('0' + Mod10CheckDigit(digits));
    }
    auto literal = [&](int c, size_t& i) -> bool {
        if (c > 127 || c < 0) {
            problem = "Code 128 has no character " + std::to_string(c & 0xFF) + " (a byte above 127)";
            return false;
        }
        start();
        if (shift) {
            shift = false;
            v.push_back(ValueIn(set == A ? B : A, c));
            out.text += char(c);
            out.characters++;
            i++;
            return true;
        }
        if (set == C) {
            if (Digit(c) && i + 1 < text.size() && Digit(text[i + 1])) {
                v.push_back((c - '0') * 10 + text[i + 1] - '0');
                out.text += text.substr(i, 2);
                out.characters += 2;
                i += 2;
                return true;
            }
            switchTo(B);  // a lone digit or a letter ends subset C
        }
        if (set == A && !InA(c))
            switchTo(B);
        else if (set == B && !InB(c))
            switchTo(A);
        v.push_back(ValueIn(set, c));
        out.text += char(c);
        out.characters++;
        i++;
        return true;
    };
    for (size_t i = 0; i < text.size();) {
        const int c = (unsigned char)text[i];
        if (c != '>' || i + 1 >= text.size()) {
            if (!literal(c, i))
                return false;
            continue;
        }
        const char code = text[i + 1];
        size_t skip = i + 2;
        switch (code) {
            case '9':
                switchTo(A);
                break;
            case ':':
                switchTo(B);
                break;
            case ';':
                switchTo(C);
                break;
            case '<':
            case '0': {
                size_t at = i;  // '>' is no digit: literal looks no further
                if (!literal('>', at))
                    return false;
                break;
            }
            case '=':
                start();
                v.push_back(94);  // '~' in B
                out.text += '~';
                out.characters++;
                break;
            case '1':
            case '2':
            case '3':
                start();
                v.push_back(95 + (code - '1'));
                break;
            case '4':
                start();
                if (set != C) {
                    v.push_back(kShift);
                    shift = true;
                }
                break;
            case '5':
                switchTo(C);
                break;
            case '6':  // code B, or FNC4 in B
                start();
                if (set == B)
                    v.push_back(100);
                else
                    switchTo(B);
                break;
            case '7':  // code A, or FNC4 in A
                start();
                if (set == A)
                    v.push_back(101);
                else
                    switchTo(A);
                break;
            case '8':
                start();
                v.push_back(kFnc1);
                break;
            default:  // not an invocation: a plain '>'
                skip = i;
                if (!literal('>', skip))
                    return false;
                break;
        }
        i = skip;
    }
    start();
    return true;
}

}  // namespace

// The symbol patterns are the ones the test label's Code 128 draws with.
const char* Code128Pattern(int value) { return Code128::Widths(value >= 0 && value <= kStop ? value : 0); }

int Mod10CheckDigit(const std::string& digits) {
    int sum = 0, weight = 3;
    for (size_t i = digits.size(); i-- > 0;) {
        sum += (digits[i] - '0') * weight;
        weight = 4 - weight;
    }
    return (10 - sum % 10) % 10;
}

bool Gs1FixedLength(const std::string& ai) {
    static const char* const kFixed[] = {"00", "01", "02", "03", "04", "11", "12", "13", "14", "15", "16",
                                         "17", "18", "19", "20", "31", "32", "33", "34", "35", "36", "41"};
    for (const char* f : kFixed)
        if (ai.compare(0, 2, f) == 0)
            return true;
    return false;
}

namespace {

// GS1's lengths: of an AI by its first two digits, and of AI plus data
// where fixed.
int AiLength(const std::string& first2) {
    const int n = std::stoi(first2);
    if ((n >= 23 && n <= 25) || (n >= 40 && n <= 49 && n != 43) || n == 71)
        return 3;
    if ((n >= 31 && n <= 36) || n == 39 || n == 43 || n == 70 || (n >= 72 && n <= 89))
        return 4;
    return 2;
}
int FixedTotal(const std::string& first2) {
    static const std::pair<const char*, int> kTotals[] = {
        {"00", 20}, {"01", 16}, {"02", 16}, {"03", 16}, {"04", 18}, {"11", 8}, {"12", 8}, {"13", 8},
        {"14", 8},  {"15", 8},  {"16", 8},  {"17", 8},  {"18", 8},  {"19", 8}, {"20", 4}, {"31", 10},
        {"32", 10}, {"33", 10}, {"34", 10}, {"35", 10}, {"36", 10}, {"41", 16}};
    for (const auto& t : kTotals)
        if (first2 == t.first)
            return t.second;
    return 0;
}

}  // namespace

bool SplitGs1(const std::string& data, char fnc1, std::vector<Gs1Element>& out, std::string& problem) {
    out.clear();
    if (data.find('(') != std::string::npos) {
        for (size_t i = 0; i < data.size();) {
            if (data[i] != '(') {
                problem = "GS1 data in parentheses has text before its first AI";
                return false;
            }
            const size_t close = data.find(')', i);
            if (close == std::string::npos) {
                problem = "GS1 data has an AI without its closing parenthesis";
                return false;
            }
            const size_t next = data.find('(', close);
            Gs1Element e{data.substr(i + 1, close - i - 1), data.substr(close + 1, next - close - 1)};
            std::string value;
            for (char c : e.value)
                if (c != ' ' && c != fnc1)
                    value += c;
            e.value = value;
            out.push_back(e);
            i = next == std::string::npos ? data.size() : next;
        }
    } else {
        for (size_t i = 0; i < data.size();) {
            if (data[i] == fnc1 || data[i] == ' ') {
                i++;
                continue;
            }
            if (i + 2 > data.size() || !Digit(data[i]) || !Digit(data[i + 1])) {
                problem = "GS1 data has no AI at character " + std::to_string(i + 1);
                return false;
            }
            const std::string first2 = data.substr(i, 2);
            const size_t aiLength = std::min(size_t(AiLength(first2)), data.size() - i);
            Gs1Element e{data.substr(i, aiLength), ""};
            i += aiLength;
            const int total = FixedTotal(first2);
            size_t end = total ? std::min(data.size(), i + total - aiLength) : data.find(fnc1, i);
            if (end == std::string::npos)
                end = data.size();
            // A check digit the data leaves out ends the field early.
            const size_t stop = data.find(fnc1, i);
            if (stop != std::string::npos && stop < end)
                end = stop;
            e.value = data.substr(i, end - i);
            out.push_back(e);
            i = end;
        }
    }
    for (const Gs1Element& e : out) {
        if (e.ai.size() < 2 || e.ai.size() > 4) {
            problem = "GS1 AI \"" + e.ai + "\" is not two to four digits";
            return false;
        }
        for (char c : e.ai)
            if (!Digit(c)) {
                problem = "GS1 AI \"" + e.ai + "\" is not two to four digits";
                return false;
            }
    }
    if (out.empty()) {
        problem = "GS1 data has no AI";
        return false;
    }
    return true;
}

bool EncodeCode128(const std::string& data, char mode, bool uccCheck, Code128Symbol& out, std::string& problem) {
    out = Code128Symbol();
    if (data.size() > kMaxData) {
        problem = "Code 128 data of " + std::to_string(data.size()) + " bytes is longer than a label can hold";
        return false;
    }
    std::vector<int> chars;
    switch (toupper((unsigned char)mode)) {
        case 'U': {
            std::string digits;
            for (char c : data) {
                if (!Digit(c)) {
                    problem = "Code 128 UCC case mode takes digits only";
                    return false;
                }
                digits += c;
            }
            digits.resize(19, '0');  // 19 digits, cut or padded on the right
            digits += char('0' + Mod10CheckDigit(digits));
            chars.push_back(kFnc1Char);
            for (char c : digits)
                chars.push_back(c);
            out.text = digits;
            out.characters = int(digits.size());
            break;
        }
        case 'D': {
            // Invocations say nothing here but FNC1, kept as a separator.
            std::string plain;
            for (size_t i = 0; i < data.size(); i++) {
                if (data[i] == '>' && i + 1 < data.size()) {
                    if (data[++i] == '8')
                        plain += '\x1d';
                    continue;
                }
                plain += data[i];
            }
            std::vector<Gs1Element> elements;
            if (!SplitGs1(plain, '\x1d', elements, problem))
                return false;
            chars.push_back(kFnc1Char);
            for (size_t e = 0; e < elements.size(); e++) {
                Gs1Element& el = elements[e];
                const bool needsCheck = (el.ai == "00" && el.value.size() == 17) ||
                                        ((el.ai == "01" || el.ai == "02") && el.value.size() == 13);
                bool digits = true;
                for (char c : el.value)
                    digits = digits && Digit(c);
                if (needsCheck && digits)
                    el.value += char('0' + Mod10CheckDigit(el.value));
                for (char c : el.ai + el.value)
                    chars.push_back((unsigned char)c);
                if (!Gs1FixedLength(el.ai) && e + 1 < elements.size())
                    chars.push_back(kFnc1Char);
                out.text += "(" + el.ai + ")" + el.value;
                out.characters += int(el.ai.size() + el.value.size());
            }
            break;
        }
        case 'A':
            for (char c : data)
                chars.push_back((unsigned char)c);
            out.text = data;
            out.characters = int(data.size());
            break;
        default:
            if (!EncodePlain(data, uccCheck, out, problem))
                return false;
            Finish(out.values);
            return true;
    }
    if (!EncodeShortest(chars, out.values, problem))
        return false;
    Finish(out.values);
    return true;
}

}  // namespace zpl

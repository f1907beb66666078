#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zpl/ZplBarcode.h"
#include "zpl/ZplCode128.h"

namespace {

using namespace zpl;

// The widths in modules of the bars and spaces of one row of the reference
// viewer's pictures (barcode128_*.png, 8 dots/mm), and what ^BC draws of the
// same label.
struct ReferenceRow {
    const char* label;
    std::vector<std::string> params;
    const char* data;
    int module;
    const char* widths;
    size_t compared;  // elements compared, 0 for all
};

const ReferenceRow kReference[] = {
    {"barcode128_mode_n",
     {"200", "N", "N", "N", "N"},
     ">;9632080400200044387502171053828143",
     2,
     "2112321143112321211322121213222122222212312122221321311323112412112222211232212213122131311212411211421123311321"
     "312331112",
     0},
    {"barcode128_default_width",
     {"200", "N", "N", "N", "N"},
     ">;9632080400200044387502171053828143",
     3,
     "2112321143112321211322121213222122222212312122221321311323112412112222211232212213122131311212411211421123311321"
     "312331112",
     0},
    // Mode A reads ">;" as two characters and changes to C for the digits.
    {"barcode128_mode_a",
     {"200", "N", "N", "N", "A"},
     ">;9632080400200044387502171053828143",
     2,
     "2112142121233122121131411143112321211322121213222122222212312122221321311323112412112222211232212213122131311212"
     "411211421123312211142331112",
     0},
    {"barcode128_mode_d",
     {"200", "N", "N", "N", "D"},
     "9632080400200044387502171053828143",
     2,
     "2112324111311143112321211322121213222122222212312122221321311323112412112222211232212213122131311212411211421123"
     "312121232331112",
     0},
    // 19 digits and their mod 10 digit, after FNC1.
    {"barcode128_mode_u",
     {"200", "N", "N", "N", "U"},
     "9632080400200044387502171053828143",
     2,
     "2112324111311143112321211322121213222122222212312122221321311323111422112312122331112",
     0},
    // Up to the change to subset A: the reference viewer then packs
    // "52375152" in pairs as if still in C (readers see "TEST"); here they
    // are eight characters of A, as the invocation table has it.
    {"barcode128_mode_n_cba_sets",
     {"100", "Y", "N", "N"},
     ">;382436>6CODE128>752375152",
     3,
     "2112321323113112221123131141311313211331211123131321131232212232113112223111412133111321132131132133112132122331"
     "112",
     13 * 6},
};

std::string Widths(const ZplBitmap& b, int y, int module) {
    std::string out;
    int run = 0;
    bool black = true;
    for (int x = 0; x < b.Width(); x++) {
        if (b.Dot(x, y) != black) {
            out += char('0' + run / module);
            run = 0;
            black = !black;
        }
        run++;
    }
    if (black)
        out += char('0' + run / module);
    return out;
}

TEST(ZplCode128, BarsMatchTheReferenceViewerColumnForColumn) {
    for (const ReferenceRow& r : kReference) {
        BarcodeField f;
        f.command = "BC";
        f.params = r.params;
        f.data = r.data;
        f.moduleWidth = r.module;
        BarcodeDrawing d;
        std::string problem;
        ASSERT_TRUE(DrawBarcode(f, nullptr, d, problem)) << r.label << ": " << problem;
        std::string widths = Widths(d.bitmap, 0, r.module), expected = r.widths;
        if (r.compared) {
            widths.resize(r.compared);
            expected.resize(r.compared);
        }
        EXPECT_EQ(widths, expected) << r.label;
    }
}

// Values before the check character and stop, and the line's text.
struct ValueCase {
    const char* what;
    char mode;
    const char* data;
    std::vector<int> values;
    const char* text;
};

const ValueCase kValues[] = {
    {"no start invocation starts in B", 'N', "Ab", {104, 33, 66}, "Ab"},
    {">9 starts A, control characters too", 'N', ">9A\t", {103, 33, 73}, "A\t"},
    {">< and >0 are a '>'", 'N', "><>0", {104, 30, 30}, ">>"},
    {">8 is FNC1, >6 changes C to B", 'N', ">;>81234>6X", {105, 102, 12, 34, 100, 56}, "1234X"},
    {"a lone digit leaves C for B", 'N', ">;123", {105, 12, 100, 19}, "123"},
    {">5 changes to C", 'N', "AB>51234", {104, 33, 34, 99, 12, 34}, "AB1234"},
    {"automatic: digits in C, the odd one in B", 'A', "12345", {105, 12, 34, 100, 21}, "12345"},
    {"automatic: a short digit run stays in B", 'A', "A12B", {104, 33, 17, 18, 34}, "A12B"},
    {"automatic: control characters in A", 'A', "\tA", {103, 73, 33}, "\tA"},
    {"UCC case: 19 digits padded, mod 10 digit", 'U', "123", {105, 102, 12, 30, 0, 0, 0, 0, 0, 0, 0, 6}, nullptr},
    {"GS1: the check digit AI 01 needs, parentheses shown",
     'D',
     "(01)1234567890123(10)AB",
     {105, 102, 1, 12, 34, 56, 78, 90, 12, 31, 10, 100, 33, 34},
     "(01)12345678901231(10)AB"},
    {"GS1: FNC1 after a variable-length field",
     'D',
     "10AB>8"
     "2112",
     {105, 102, 10, 100, 33, 34, 102, 99, 21, 12},
     "(10)AB(21)12"},
};

TEST(ZplCode128, EncodesZplsInvocationsAndModes) {
    for (const ValueCase& c : kValues) {
        Code128Symbol s;
        std::string problem;
        ASSERT_TRUE(EncodeCode128(c.data, c.mode, false, s, problem)) << c.what << ": " << problem;
        ASSERT_GE(s.values.size(), 2u) << c.what;
        EXPECT_EQ(std::vector<int>(s.values.begin(), s.values.end() - 2), c.values) << c.what;
        EXPECT_EQ(s.values.back(), 106) << c.what;
        if (c.text) {
            EXPECT_EQ(s.text, c.text) << c.what;
        }
    }
}

TEST(ZplCode128, ChecksAndModTenDigits) {
    EXPECT_EQ(Mod10CheckDigit("9632080400200044387"), 4);  // barcode128_mode_u
    EXPECT_EQ(Mod10CheckDigit("590123412345"), 7);         // ean13
    Code128Symbol s;
    std::string problem;
    ASSERT_TRUE(EncodeCode128(">;1234567", 'N', true, s, problem));
    EXPECT_EQ(s.text, "12345670");
}

TEST(ZplCode128, RefusesWhatItCannotEncode) {
    const struct {
        char mode;
        std::string data;
    } kBad[] = {{'N', "caf\xe9"}, {'A', "\xff"}, {'U', "12A4"}, {'D', "AB12"}, {'N', std::string(5000, '1')}};
    for (const auto& c : kBad) {
        Code128Symbol s;
        std::string problem;
        EXPECT_FALSE(EncodeCode128(c.data, c.mode, false, s, problem)) << c.data.substr(0, 20);
        EXPECT_FALSE(problem.empty());
    }
    // Invocations cut short or unknown are characters, not a failure.
    Code128Symbol s;
    std::string problem;
    EXPECT_TRUE(EncodeCode128("AB>", 'N', false, s, problem));
    EXPECT_TRUE(EncodeCode128(">Z>", 'N', false, s, problem));
    EXPECT_EQ(s.text, ">Z>");
}

}  // namespace

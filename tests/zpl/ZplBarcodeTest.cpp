#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/CodeReader.h"
#include "support/ImageFiles.h"
#include "support/TestFiles.h"
#include "zpl/ZplBarcode.h"

namespace {

using namespace zpl;
using namespace testing_support;

// A stand-in for the interpreter's font: a box per character, 0.6 x height
// wide; it notes where each line went.
struct Line {
    int x, y, height;
    std::string text;
};
LineWriter Boxes(std::vector<Line>* lines = nullptr) {
    return [lines](ZplBitmap* into, int x, int y, int height, const std::string& text) {
        const int pitch = height * 6 / 10;
        if (into) {
            if (lines)
                lines->push_back({x, y, height, text});
            for (size_t i = 0; i < text.size(); i++)
                into->Fill(x + int(i) * pitch + 1, y + height - 2, pitch - 2, 2);
        }
        return int(text.size()) * pitch;
    };
}

BarcodeField Field(const char* command, std::vector<std::string> params, const std::string& data, int module = 2) {
    BarcodeField f;
    f.command = command;
    f.params = std::move(params);
    f.data = data;
    f.moduleWidth = module;
    return f;
}

// The drawing as a PNG with a quiet zone round it, read back.
std::vector<std::string> Read(const TempDir& dir, const BarcodeDrawing& d, const std::string& format, bool& skipped) {
    const int quiet = 40;
    const ZplBitmap& b = d.bitmap;
    const std::string png = dir.File("symbol.png");
    WriteFile(png, GrayPng(unsigned(b.Width() + 2 * quiet), unsigned(b.Height() + 2 * quiet), 203,
                           [&b](unsigned x, unsigned y) -> uint8_t {
                               const int bx = int(x) - quiet, by = int(y) - quiet;
                               const bool black =
                                   bx >= 0 && by >= 0 && bx < b.Width() && by < b.Height() && b.Dot(bx, by);
                               return black ? 0 : 255;
                           }));
    return ReadSymbol(png, format, skipped);
}

struct DecodeCase {
    const char* command;
    std::vector<std::string> params;
    std::string data, format, expected;
};

const DecodeCase kDecode[] = {
    {"BC", {"80"}, "Quorvant 128", "Code128", "Quorvant 128"},
    {"BC", {"80", "Y", "N", "N", "A"}, "AB12345678cd", "Code128", "AB12345678cd"},
    {"BC", {"80", "Y", "N", "N", "D"}, "(01)1234567890123(10)AB", "Code128", "011234567890123110AB"},
    {"B3", {"N", "80"}, "CODE-39 $/+%", "Code39", "CODE-39 $/+%"},
    {"B3", {"Y", "80"}, "ABC123", "Code39", "ABC123$"},
    {"B2", {"80", "Y", "N", "Y"}, "1234567", "ITF", "12345670"},
    {"BK", {"N", "80", "Y", "N", "A", "B"}, "12345-678", "Codabar", "12345-678"},
    {"BE", {"80"}, "590123412345", "EAN-13", "5901234123457"},
    {"B8", {"80"}, "1234567", "EAN-8", "12345670"},
    {"BU", {"80"}, "01234567890", "UPC-A", "012345678905"},
    {"B9", {"80"}, "1230000045", "UPC-E", "01234531"},
    {"BQ", {"2", "4"}, "QA,https://example.com/a?b=1", "QRCode", "https://example.com/a?b=1"},
    {"BQ", {"2", "4"}, "MM,N0123456789", "QRCode", "0123456789"},
    {"BX", {"6", "200"}, "Data Matrix 200", "DataMatrix", "Data Matrix 200"},
    {"BX", {"6", "200", "", "", "", "_"}, "A_d066C", "DataMatrix", "ABC"},
    {"B7", {"4", "2", "4"}, "PDF417 from ZPL", "PDF417", "PDF417 from ZPL"},
    {"B7", {"4", "", "", "", "Y"}, "truncated", "PDF417", "truncated"},
    {"BO", {"4"}, "Aztec from ZPL", "Aztec", "Aztec from ZPL"},
};

TEST(ZplBarcode, DrawsSymbolsTheReadersDecode) {
    TempDir dir;
    for (const DecodeCase& c : kDecode) {
        BarcodeDrawing d;
        std::string problem;
        ASSERT_TRUE(DrawBarcode(Field(c.command, c.params, c.data), Boxes(), d, problem))
            << c.command << " " << c.data << ": " << problem;
        bool skipped = false;
        const std::vector<std::string> texts = Read(dir, d, c.format, skipped);
        if (skipped)
            GTEST_SKIP() << kNoSymbolReaders;
        EXPECT_NE(std::find(texts.begin(), texts.end(), c.expected), texts.end())
            << c.command << " " << c.data << " (" << d.summary
            << ") read as: " << (texts.empty() ? std::string("nothing") : texts[0]);
    }
}

TEST(ZplBarcode, DrawsUpsMaxiCodeAReaderDecodes) {
    // ups_maxicode.zpl: class of service 403, country 040, postcode "5000  ".
    const std::string data =
        "4030405000  [)>\x1e"
        "01\x1d"
        "961Z08720000\x1dUPSN\x1d"
        "680RA4\x1d"
        "051\x1d\x1d"
        "1/1\x1d"
        "1\x1dN\x1d\x1dHALLEIN\x1d\x1e\x04";
    BarcodeDrawing d;
    std::string problem;
    ASSERT_TRUE(DrawBarcode(Field("BD", {"3"}, data), Boxes(), d, problem)) << problem;
    // The reference viewer's MaxiCode is 200 x 193 dots.
    EXPECT_EQ(d.bitmap.Width(), 200);
    EXPECT_EQ(d.bitmap.Height(), 193);
    TempDir dir;
    bool skipped = false;
    const std::vector<std::string> texts = Read(dir, d, "MaxiCode", skipped);
    if (skipped)
        GTEST_SKIP() << kNoSymbolReaders;
    const bool found = std::any_of(texts.begin(), texts.end(), [](const std::string& t) {
        return t.find("5000  ") != std::string::npos && t.find("HALLEIN") != std::string::npos;
    });
    EXPECT_TRUE(found) << (texts.empty() ? std::string("nothing read") : texts[0]);
}

// Sizes of the reference viewer's 2D codes (pictures named), in dots.
struct SizeCase {
    const char* label;
    BarcodeField field;
    int width, height;
};

TEST(ZplBarcode, MatrixCodesHaveTheReferenceViewersSizes) {
    const std::string aztec = "Part:123;Warehouse:BYZA;Position:12-12-1";
    const SizeCase kSizes[] = {
        {"qr_code_offset", Field("BQ", {"2", "8"}, "EXAMPLE CODE"), 168, 168},
        {"postnl_qr", Field("BQ", {"2", "5"}, "MM,A3SPOST123456789000123498|2514EE|JANDEVRIES"), 125, 125},
        {"return_qrcode",
         Field("BQ", {"2", "6"}, "QA,https://system.com/#0000000000:test@ingrid.com:merchant?languageCode=no"), 246,
         246},
        {"pdf417_basic", Field("B7", {"6", "4", "10", "N"}, "Hello World PDF417 Test Data"), 478, 36},
        {"aztec_ec_1_ec23", Field("BO", {"5", "", "23"}, aztec), 115, 115},
        {"aztec_ec_2_ec45", Field("BO", {"5", "", "45"}, aztec), 135, 135},
        {"aztec_ec_3_ec70", Field("BO", {"5", "", "70"}, aztec), 185, 185},
        {"aztec_ec_4_ec95", Field("BO", {"5", "", "95"}, aztec), 395, 395},
    };
    for (const SizeCase& c : kSizes) {
        BarcodeDrawing d;
        std::string problem;
        ASSERT_TRUE(DrawBarcode(c.field, Boxes(), d, problem)) << c.label << ": " << problem;
        EXPECT_EQ(d.bitmap.Width(), c.width) << c.label;
        EXPECT_EQ(d.bitmap.Height(), c.height) << c.label;
        EXPECT_EQ(d.baseline, c.height) << c.label;
    }
}

// A 203 dpi label on a 300 dpi head: the 2D codes' own module sizes become
// whole page dots (8 -> 12, 5 -> 7, rows of 6 -> 9) and MaxiCode keeps its
// size, still read.
TEST(ZplBarcode, MatrixModulesFollowThePageScale) {
    const std::string aztec = "Part:123;Warehouse:BYZA;Position:12-12-1";
    const std::string maxi =
        "001840999990001[)>\x1e"
        "01\x1d"
        "96QV0000000001\x1dQVRT\x1e\x04";
    const SizeCase kSizes[] = {
        {"qr_code_offset", Field("BQ", {"2", "8"}, "EXAMPLE CODE"), 21 * 12, 21 * 12},
        {"aztec_ec_1_ec23", Field("BO", {"5", "", "23"}, aztec), 23 * 7, 23 * 7},
        {"pdf417_basic", Field("B7", {"6", "4", "10", "N"}, "Hello World PDF417 Test Data"), 478, 6 * 9},
        {"shipping-label", Field("BD", {"2"}, maxi), 296, 285},
    };
    TempDir dir;
    for (SizeCase c : kSizes) {
        c.field.scale = 300.0 / 203;
        BarcodeDrawing d;
        std::string problem;
        ASSERT_TRUE(DrawBarcode(c.field, Boxes(), d, problem)) << c.label << ": " << problem;
        EXPECT_EQ(d.bitmap.Width(), c.width) << c.label;
        EXPECT_EQ(d.bitmap.Height(), c.height) << c.label;
        if (c.field.command != "BD")
            continue;
        bool skipped = false;
        const std::vector<std::string> texts = Read(dir, d, "MaxiCode", skipped);
        if (skipped)
            GTEST_SKIP() << kNoSymbolReaders;
        const bool found = std::any_of(texts.begin(), texts.end(), [](const std::string& t) {
            return t.find("QV0000000001") != std::string::npos;
        });
        EXPECT_TRUE(found) << (texts.empty() ? std::string("nothing read") : texts[0]);
    }
}

TEST(ZplBarcode, QrMatchesTheReferenceModuleForModule) {
    // qr_ft_test.png: "MA," asks for M; the reference viewer draws the
    // strongest level the same size holds (Q), and so do we.
    const char* const kReference[21] = {"#######.##....#######", "#.....#.#..#..#.....#", "#.###.#.#..##.#.###.#",
                                        "#.###.#.#.....#.###.#", "#.###.#.#.#...#.###.#", "#.....#...#...#.....#",
                                        "#######.#.#.#.#######", "........#............", ".##.#.##....#.#.#####",
                                        ".#......####....#...#", "..##.###.##...#.##...", ".##.##.#..##.#.#.###.",
                                        "#...#.#.#.###.###.#.#", "........##.#..#...#.#", "#######.#.#....#.##..",
                                        "#.....#..#.##.##.#...", "#.###.#.#.#...#######", "#.###.#..#.#.#.#...#.",
                                        "#.###.#.#..#.###.#..#", "#.....#.#.####...#.##", "#######....#.###....#"};
    BarcodeDrawing d;
    std::string problem;
    ASSERT_TRUE(DrawBarcode(Field("BQ", {"2", "5"}, "MA,HELLO WORLD"), Boxes(), d, problem)) << problem;
    ASSERT_EQ(d.bitmap.Width(), 105);
    for (int row = 0; row < 21; row++) {
        std::string modules;
        for (int column = 0; column < 21; column++)
            modules += d.bitmap.Dot(column * 5 + 2, row * 5 + 2) ? '#' : '.';
        EXPECT_EQ(modules, kReference[row]) << "row " << row;
    }
}

TEST(ZplBarcode, Ean13LaysOutLikeTheReferenceViewer) {
    // ean13.png, ^BEN,100,Y,N at 2 dots a module: bars from the field's x,
    // guards 13 dots longer, digits 14 tall 4 dots under the bars, the first
    // one left of the bars.
    std::vector<Line> lines;
    BarcodeDrawing d;
    std::string problem;
    ASSERT_TRUE(DrawBarcode(Field("BE", {"100", "Y", "N"}, "123456789012"), Boxes(&lines), d, problem)) << problem;
    EXPECT_EQ(d.baseline, 100);
    ASSERT_GT(d.left, 0);
    std::string widths;
    int run = 0;
    for (int x = d.left; x <= d.left + 190; x++) {
        if (x > d.left && (x == d.left + 190 || d.bitmap.Dot(x, 50) != d.bitmap.Dot(x - 1, 50))) {
            widths += char('0' + run / 2);
            run = 0;
        }
        run++;
    }
    EXPECT_EQ(widths, "11121221411231112314111213111111121331123211222121221213111");
    // Guard bars (start, centre, end) reach row 112; the others stop at 99.
    for (int x : {0, 4, 92, 96, 184, 188})
        EXPECT_TRUE(d.bitmap.Dot(d.left + x, 112) && !d.bitmap.Dot(d.left + x, 113)) << x;
    EXPECT_FALSE(d.bitmap.Dot(d.left + 10, 100));  // a bar of the digit 2
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "1");
    EXPECT_LT(lines[0].x, d.left);
    EXPECT_EQ(lines[1].text, "234567");
    EXPECT_EQ(lines[2].text, "890128");
    for (const Line& l : lines) {
        EXPECT_EQ(l.y, 104);
        EXPECT_EQ(l.height, 14);
    }
}

TEST(ZplBarcode, InterpretationLineGoesBelowOrAbove) {
    // barcode128_line*.png: 14 dots tall, 6 under the bars, 12 over them.
    const struct {
        bool above;
        int lineY, baseline, height;
    } kCases[] = {{false, 206, 200, 220}, {true, 0, 226, 226}};
    for (const auto& c : kCases) {
        std::vector<Line> lines;
        BarcodeDrawing d;
        std::string problem;
        ASSERT_TRUE(DrawBarcode(Field("BC", {"200", "Y", c.above ? "Y" : "N", "N", "N"}, ">;12345678"), Boxes(&lines),
                                d, problem));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].text, "12345678");
        EXPECT_EQ(lines[0].y, c.lineY);
        EXPECT_EQ(d.baseline, c.baseline);
        EXPECT_EQ(d.bitmap.Height(), c.height);
        EXPECT_EQ(d.summary, "Code 128 (N) 8 characters");
    }
}

TEST(ZplBarcode, RefusesBadDataWithAReason) {
    const BarcodeField kBad[] = {
        Field("BE", {}, "12345A789012"),
        Field("B8", {}, ""),
        Field("B2", {}, "12-34"),
        Field("B3", {}, "lower"),
        Field("BK", {"N", "", "", "", "E"}, "123"),
        Field("B9", {}, "1234567890"),
        Field("BC", {}, std::string(20000, 'A')),
        Field("BQ", {"2", "10"}, "QA," + std::string(4000, 'x')),
        Field("BQ", {"2", "10"}, "QA,"),
        Field("BD", {"2"}, "short"),
        Field("B7", {"1000"}, std::string(900, '7')),
        Field("BX", {"1000", "200"}, "big"),
        Field("ZZ", {}, "1"),
    };
    for (const BarcodeField& f : kBad) {
        BarcodeDrawing d;
        std::string problem;
        EXPECT_FALSE(DrawBarcode(f, Boxes(), d, problem)) << f.command << " " << f.data.substr(0, 20);
        EXPECT_FALSE(problem.empty()) << f.command;
    }
}

TEST(ZplBarcode, KnowsItsCommands) {
    for (const char* c : {"BC", "B3", "B2", "BK", "BE", "B8", "BU", "B9", "B7", "BX", "BQ", "BO", "BD"})
        EXPECT_TRUE(IsBarcodeCommand(c)) << c;
    EXPECT_FALSE(IsBarcodeCommand("BY"));
    EXPECT_FALSE(IsBarcodeCommand("GB"));
}

}  // namespace

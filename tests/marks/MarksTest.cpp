// The label marks: the Code 128 table's shape, the QR sizes libzint chooses
// for a length and level, and both codes drawn on a canvas as zbarimg
// (Debian zbar-tools) reads them back.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "marks/CGrayCanvas.h"
#include "marks/Code128.h"
#include "marks/QrSymbol.h"
#include "support/CodeReader.h"
#include "support/TestFiles.h"

namespace testing_support {
namespace {

// Every symbol 11 modules (the stop 13), bars even in total, no two alike.
TEST(Code128, PatternsHaveTheirWidthAndBarParity) {
    std::set<std::string> seen;
    for (int v = 0; v <= 106; v++) {
        const std::string widths = Code128::Widths(v);
        int total = 0, bars = 0;
        for (size_t i = 0; i < widths.size(); i++) {
            total += widths[i] - '0';
            bars += i % 2 == 0 ? widths[i] - '0' : 0;
        }
        EXPECT_EQ(v == 106 ? 13 : 11, total) << v;
        EXPECT_EQ(0, bars % 2) << v;
        EXPECT_TRUE(seen.insert(widths).second) << v;
    }
    EXPECT_EQ(nullptr, Code128::Widths(107));
}

std::vector<bool> Modules(std::initializer_list<int> values) {
    std::vector<bool> modules;
    for (int v : values) {
        bool bar = true;
        for (const char* w = Code128::Widths(v); *w; w++, bar = !bar)
            modules.insert(modules.end(), static_cast<size_t>(*w - '0'), bar);
    }
    return modules;
}

// "Hi": start B (104), 'H' (40), 'i' (73), check (104 + 40 + 2 * 73) % 103 = 84, stop.
TEST(Code128, EncodesStartTextCheckAndStop) {
    std::vector<bool> modules;
    ASSERT_TRUE(Code128::Encode("Hi", modules));
    EXPECT_EQ(Modules({104, 40, 73, 84, 106}), modules);
    EXPECT_FALSE(Code128::Encode("tab\there", modules));
    EXPECT_TRUE(modules.empty());
    EXPECT_FALSE(Code128::Encode("\xc3\xa9", modules));
}

// The most bytes a version holds at a level: one more takes the next version.
struct QrCapacity {
    QrSymbol::Level level;
    int version, bytes;
};
const QrCapacity kQrCapacities[] = {
    {QrSymbol::kLevelM, 1, 14}, {QrSymbol::kLevelM, 2, 26}, {QrSymbol::kLevelM, 10, 213},  {QrSymbol::kLevelL, 1, 17},
    {QrSymbol::kLevelH, 1, 7},  {QrSymbol::kLevelQ, 5, 60}, {QrSymbol::kLevelL, 40, 2953},
};

TEST(QrSymbol, SmallestVersionThatHoldsTheData) {
    for (const QrCapacity& c : kQrCapacities) {
        SCOPED_TRACE("level " + std::to_string(c.level) + ", version " + std::to_string(c.version));
        QrSymbol code;
        std::string problem;
        ASSERT_TRUE(code.Encode(std::string(c.bytes, 'a'), c.level, -1, problem)) << problem;
        EXPECT_EQ(17 + 4 * c.version, code.Size());
        const bool more = code.Encode(std::string(c.bytes + 1, 'a'), c.level, -1, problem);
        if (c.version < 40) {
            ASSERT_TRUE(more) << problem;
            EXPECT_EQ(21 + 4 * c.version, code.Size());
        } else {
            EXPECT_FALSE(more);
            EXPECT_NE(std::string::npos, problem.find("QR cannot encode")) << problem;
        }
    }
}

// What zbarimg reads from the canvas, saved as a PGM.
std::string Scan(const CGrayCanvas& canvas, const TempDir& dir, bool& skipped) {
    const std::string path = dir.File("code.pgm");
    std::string pgm = "P5\n" + std::to_string(canvas.Width()) + " " + std::to_string(canvas.Height()) + "\n255\n";
    for (int y = 0; y < canvas.Height(); y++)
        pgm.append(reinterpret_cast<const char*>(canvas.Row(y)), static_cast<size_t>(canvas.Width()));
    WriteFile(path, pgm);
    return ReadCodes(path, true, skipped);
}

// The level and mask a symbol's format information names, from the copy
// beside the top left finder: bits 0-7 down column 8 (skipping the timing
// row), bits 8-14 leftwards along row 8.
int FormatBits(const QrSymbol& code) {
    int bits = 0;
    for (int i = 0; i < 15; i++) {
        const int x = i < 8 ? 8 : i == 8 ? 7 : 14 - i, y = i < 6 ? i : i < 8 ? i + 1 : 8;
        bits |= code.Row(y)[x] << i;
    }
    return (bits ^ 0x5412) >> 10;  // level (M 0, L 1, H 2, Q 3) times 8, plus the mask
}

// Bytes that vary, of several versions, each with a mask of its own, so
// that the masks and block layouts are all exercised.
TEST(QrSymbol, ZbarReadsEachMask) {
    TempDir dir;
    for (int mask = -1; mask <= 7; mask++) {
        const int length = 10 + 25 * (mask + 1);
        std::string data;
        for (int i = 0; i < length; i++)
            data.push_back(static_cast<char>(' ' + (i * 7 + mask + 1) % 95));
        QrSymbol code;
        std::string problem;
        ASSERT_TRUE(code.Encode(data, QrSymbol::kLevelM, mask, problem)) << problem;
        EXPECT_EQ(0, FormatBits(code) >> 3) << "level M";
        if (mask >= 0) {
            EXPECT_EQ(mask, FormatBits(code) & 7);
        }
        const int module = 3, side = (code.Size() + 8) * module;
        CGrayCanvas canvas(side, side);
        canvas.Matrix(4 * module, 4 * module, code.Size(), code.Row(0), module);
        bool skipped = false;
        const std::string read = Scan(canvas, dir, skipped);
        if (skipped)
            GTEST_SKIP() << kNoCodeReader;
        EXPECT_EQ(data + "\n", read) << "mask " << mask << ", " << code.Size() << " modules";
    }
}

TEST(Code128, ZbarReadsTheBars) {
    TempDir dir;
    for (const char* text : {"tspl_203dpi", "A", "Quorvant 0123 ~!{}"}) {
        std::vector<bool> modules;
        ASSERT_TRUE(Code128::Encode(text, modules));
        const int module = 2, quiet = Code128::kQuietModules * module;
        CGrayCanvas canvas(static_cast<int>(modules.size()) * module + 2 * quiet, 80);
        canvas.Bars(quiet, 10, modules, module, 60);
        bool skipped = false;
        const std::string read = Scan(canvas, dir, skipped);
        if (skipped)
            GTEST_SKIP() << kNoCodeReader;
        EXPECT_EQ(std::string(text) + "\n", read);
    }
}

}  // namespace
}  // namespace testing_support

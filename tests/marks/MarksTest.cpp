// The label marks: the Code 128 table's shape, the QR versions chosen for a
// length, and both codes drawn on a canvas as zbarimg (Debian zbar-tools)
// reads them back.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "marks/CGrayCanvas.h"
#include "marks/Code128.h"
#include "marks/QrCode.h"
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

// Level M byte capacities of versions 1 to 10.
TEST(QrCode, SmallestVersionThatHoldsTheData) {
    const int capacity[] = {14, 26, 42, 62, 84, 106, 122, 152, 180, 213};
    QrCode code;
    for (int v = 1; v <= QrCode::kMaxVersion; v++) {
        EXPECT_EQ(capacity[v - 1], QrCode::DataCapacity(v)) << v;
        ASSERT_TRUE(code.Encode(std::string(capacity[v - 1], 'a')));
        EXPECT_EQ(v, code.Version());
        EXPECT_EQ(17 + 4 * v, code.Size());
        if (v < QrCode::kMaxVersion) {
            ASSERT_TRUE(code.Encode(std::string(capacity[v - 1] + 1, 'a')));
            EXPECT_EQ(v + 1, code.Version());
        }
    }
    EXPECT_FALSE(code.Encode(std::string(capacity[9] + 1, 'a')));
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

// Data of every version, of bytes that vary, so that each mask and block
// layout is exercised.
TEST(QrCode, ZbarReadsEveryVersion) {
    TempDir dir;
    for (int v = 1; v <= QrCode::kMaxVersion; v++) {
        std::string data;
        for (int i = 0; i < QrCode::DataCapacity(v); i++)
            data.push_back(static_cast<char>(' ' + (i * 7 + v) % 95));
        QrCode code;
        ASSERT_TRUE(code.Encode(data));
        const int module = 3, side = (code.Size() + 8) * module;
        CGrayCanvas canvas(side, side);
        canvas.Matrix(4 * module, 4 * module, code.Size(), code.Row(0), module);
        bool skipped = false;
        const std::string read = Scan(canvas, dir, skipped);
        if (skipped)
            GTEST_SKIP() << kNoCodeReader;
        EXPECT_EQ(data + "\n", read) << "version " << v << ", mask " << code.Mask();
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

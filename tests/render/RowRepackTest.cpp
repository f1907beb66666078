#include <gtest/gtest.h>

#include "render/CmdHelpers.h"
#include "render/RowRepack.h"
#include "support/TestFiles.h"

using namespace testing_support;

TEST(RowRepack, PrinterRowBytesRoundUpAndRespectTheCap) {
    struct Case {
        uint32_t width, cap, bytes;
    };
    for (const Case& c :
         {Case{0, 0, 0}, Case{1, 0, 1}, Case{8, 0, 1}, Case{9, 0, 2}, Case{380, 0, 48}, Case{384, 0, 48},
          Case{385, 0, 49}, Case{2000, 208, 208}, Case{2000, 312, 250}, Case{2600, 312, 312}, Case{100, 208, 13}})
        EXPECT_EQ(RowRepack::PrinterRowBytes(c.width, c.cap), c.bytes) << c.width << " cap " << c.cap;
}

// 20 pixels: 3 printer bytes of a 4-byte stored row; every stored byte distinct
// so that a row taken from the wrong place shows.
TEST(RowRepack, StoredRowsLoseTheirFillBytes) {
    Bytes packed;
    for (uint8_t i = 0; i < 12; i++)
        packed.push_back(static_cast<uint8_t>(0x10 * i + 1));  // 3 rows of 3 bytes
    CxImage image;
    ASSERT_TRUE(image.CreateFromArray(packed.data(), 20, 4, 1, 3, false));
    ASSERT_EQ(image.GetEffWidth(), 4u);
    for (uint32_t y = 0; y < 4; y++)
        image.GetBits(y)[3] = 0xEE;  // fill byte

    NS_KT_CLASS::CMyBuffer out;
    out.AddStringA("stale");
    ASSERT_TRUE(RowRepack::Repack(image, 3, out));
    Bytes actual(out.GetBuffer(), out.GetBuffer() + out.GetBufferLength());
    EXPECT_EQ(DiffBytes(packed, actual), "");
    EXPECT_GE(out.GetBufferSize(), 16);

    ASSERT_TRUE(RowRepack::Repack(image, 2, out));
    actual.assign(out.GetBuffer(), out.GetBuffer() + out.GetBufferLength());
    Bytes capped;
    for (size_t y = 0; y < 4; y++)
        capped.insert(capped.end(), packed.begin() + 3 * y, packed.begin() + 3 * y + 2);
    EXPECT_EQ(DiffBytes(capped, actual), "");
}

TEST(RowRepack, RowLengthNeverExceedsTheStoredRow) {
    Bytes packed = {0x12, 0x34};
    CxImage image;
    ASSERT_TRUE(image.CreateFromArray(packed.data(), 16, 1, 1, 2, false));
    NS_KT_CLASS::CMyBuffer out;
    ASSERT_TRUE(RowRepack::Repack(image, 100, out));
    EXPECT_EQ(out.GetBufferLength(), 4);
}

TEST(FeedSteps, LongFeedsAreSplitIntoFullStepsAndTheRest) {
    struct Case {
        int dots;
        std::vector<int> steps;
    };
    for (const Case& c : {Case{0, {0}}, Case{79, {79}}, Case{255, {255}}, Case{256, {255, 1}}, Case{263, {255, 8}},
                          Case{510, {255, 255}}, Case{519, {255, 255, 9}}, Case{-1, {}}, Case{-300, {}}})
        EXPECT_EQ(CmdHelpers::SplitFeed(c.dots, 255), c.steps) << c.dots << " dots";
}

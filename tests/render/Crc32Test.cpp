#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "render/Crc32.h"
#include "support/TestFiles.h"

namespace {

uint32_t WithSeed(uint32_t seed, const testing_support::Bytes& data) {
    return ~Crc32::Update(Crc32::kTable.data(), ~seed, data.data(), data.size());
}

}  // namespace

TEST(Crc32, TableIsZlibsReflectedIeeeTable) {
    EXPECT_EQ(Crc32::kTable[0], 0u);
    EXPECT_EQ(Crc32::kTable[1], 0x77073096u);
    EXPECT_EQ(Crc32::kTable[255], 0x2D02EF8Du);
    const z_crc_t* zlibTable = get_crc_table();
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(Crc32::kTable[i], zlibTable[i]) << "entry " << i;
}

TEST(Crc32, StandardCheckValue) { EXPECT_EQ(WithSeed(0, testing_support::ToBytes("123456789")), 0xCBF43926u); }

TEST(Crc32, EqualsZlibFromAnySeed) {
    std::mt19937 random(7);
    for (uint32_t seed : {0u, 1u, 0xFFFFFFFFu, 0x35769521u, 0x80000000u}) {
        for (size_t length : {0, 1, 2, 9, 255, 4096}) {
            testing_support::Bytes data(length);
            for (uint8_t& b : data)
                b = static_cast<uint8_t>(random());
            // zlib answers a null buffer with its start value, so never pass one.
            const uint8_t none = 0;
            const uLong expected = crc32(seed, length ? data.data() : &none, static_cast<uInt>(length));
            EXPECT_EQ(WithSeed(seed, data), expected) << "seed " << seed << ", " << length << " bytes";
        }
    }
}

TEST(Crc32, UpdateContinuesAcrossPieces) {
    const testing_support::Bytes data = testing_support::ToBytes("the CRC of a stream cut anywhere");
    const uint32_t whole = Crc32::Update(Crc32::kTable.data(), 0x12345678u, data.data(), data.size());
    for (size_t cut = 0; cut <= data.size(); cut++) {
        uint32_t reg = Crc32::Update(Crc32::kTable.data(), 0x12345678u, data.data(), cut);
        reg = Crc32::Update(Crc32::kTable.data(), reg, data.data() + cut, data.size() - cut);
        EXPECT_EQ(reg, whole) << "cut at " << cut;
    }
}

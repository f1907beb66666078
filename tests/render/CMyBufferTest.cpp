#include <gtest/gtest.h>

#include <vector>

#include "render/CMyBuffer.h"

using NS_KT_CLASS::CMyBuffer;

TEST(ByteBuffer, StorageDoublesSoThatSmallAppendsStayCheap) {
    CMyBuffer b;
    EXPECT_EQ(b.GetBufferLength(), 0);
    EXPECT_EQ(b.GetBufferSize(), 1024);
    std::vector<unsigned char> piece(1000, 7);
    b.AddBuffer(piece.data(), 1000);
    EXPECT_EQ(b.GetBufferSize(), 1024);
    b.AddBuffer(piece.data(), 100);
    EXPECT_EQ(b.GetBufferSize(), 2048);
    b.AddBuffer(piece.data(), 1000);
    b.AddBuffer(piece.data(), 1000);
    EXPECT_EQ(b.GetBufferSize(), 4096);
    EXPECT_EQ(b.GetBufferLength(), 3100);
    EXPECT_EQ(b.GetBuffer()[3099], 7);
    EXPECT_FALSE(b.ContentLost());

    // A piece larger than double the storage gets exactly its room.
    CMyBuffer big;
    std::vector<unsigned char> large(5000, 1);
    big.AddBuffer(large.data(), 5000);
    EXPECT_EQ(big.GetBufferSize(), 5000);
}

TEST(ByteBuffer, TextAndNumbersHaveNoTerminator) {
    CMyBuffer b;
    b.AddInt(-42);
    b.AddInt(0);
    b.AddStringA("");
    b.AddByte(0);
    ASSERT_EQ(b.GetBufferLength(), 5);
    EXPECT_EQ(std::vector<unsigned char>(b.GetBuffer(), b.GetBuffer() + 5),
              (std::vector<unsigned char>{0x2D, 0x34, 0x32, 0x30, 0x00}));
}

TEST(ByteBuffer, InitBufferWithLengthGivesZeroBytesAndKeepsCapacity) {
    CMyBuffer b;
    b.AddStringA("abc");
    b.InitBuffer(16);
    EXPECT_EQ(b.GetBufferLength(), 16);
    EXPECT_EQ(b.GetBufferSize(), 1024);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(b.GetBuffer()[i], 0);
    b.InitBuffer(0);
    EXPECT_EQ(b.GetBufferLength(), 0);
}

TEST(ByteBuffer, CeilingDiscardsEarlierContentAndTheOwnerNotices) {
    CMyBuffer b;
    b.SetMaxBufferSize(2000);
    std::vector<unsigned char> first(1500, 1), second(600, 2);
    b.AddBuffer(first.data(), 1500);
    // Doubling stops at the ceiling.
    ASSERT_EQ(b.GetBufferSize(), 2000);
    b.AddBuffer(second.data(), 600);
    EXPECT_EQ(b.GetBufferLength(), 600);
    EXPECT_EQ(b.GetBufferSize(), 2000);
    EXPECT_EQ(b.GetBuffer()[0], 2);
    EXPECT_TRUE(b.ContentLost());
    b.InitBuffer(0);
    EXPECT_FALSE(b.ContentLost());
}

TEST(ByteBuffer, ContentOfExactlyTheCeilingIsKept) {
    CMyBuffer b;
    b.SetMaxBufferSize(2000);
    std::vector<unsigned char> first(1500, 1), last(500, 2);
    b.AddBuffer(first.data(), 1500);
    b.AddBuffer(last.data(), 500);
    EXPECT_EQ(b.GetBufferLength(), 2000);
    EXPECT_EQ(b.GetBuffer()[0], 1);
    EXPECT_FALSE(b.ContentLost());
    b.AddByte(3);
    EXPECT_TRUE(b.ContentLost());
}

TEST(ByteBuffer, PieceLargerThanStorageAfterDiscardStillFits) {
    CMyBuffer b;
    b.SetMaxBufferSize(1500);
    std::vector<unsigned char> first(1200, 1), big(1400, 3);
    b.AddBuffer(first.data(), 1200);
    b.AddBuffer(big.data(), 1400);
    EXPECT_EQ(b.GetBufferLength(), 1400);
    EXPECT_EQ(b.GetBuffer()[1399], 3);
    EXPECT_TRUE(b.ContentLost());
}

TEST(ByteBuffer, NoCeilingAndExplicitReservationsAboveIt) {
    CMyBuffer unlimited;
    unlimited.SetMaxBufferSize(0);
    std::vector<unsigned char> piece(5000, 1);
    unlimited.AddBuffer(piece.data(), 5000);
    unlimited.AddBuffer(piece.data(), 5000);
    EXPECT_EQ(unlimited.GetBufferLength(), 10000);
    EXPECT_FALSE(unlimited.ContentLost());

    CMyBuffer reserved;
    reserved.SetMaxBufferSize(2000);
    reserved.SetBufferSize(8000);
    reserved.AddBuffer(piece.data(), 5000);
    EXPECT_EQ(reserved.GetBufferLength(), 5000);
    EXPECT_FALSE(reserved.ContentLost());
}

#include <gtest/gtest.h>

#include "preview/PreviewTestSupport.h"

using namespace testing_support;

namespace {

struct QueryCase {
    const char* language;
    Bytes before, after;  // a job cut in two where a command may start
    Bytes query;
    const char* listed;
};

const Bytes kTsplHead = ToBytes("SIZE 2 mm,1 mm\r\nCLS\r\n");
const Bytes kTsplTail = Concat({ToBytes("BITMAP 0,0,1,1,0,"), {0x0F}, ToBytes("\r\nPRINT 1,1\r\n")});
const Bytes kCpclHead = ToBytes("! 0 200 200 8 1\r\nPW 8\r\n");
const Bytes kCpclTail = Concat({ToBytes("CG 1 1 0 0\r\n"), {0xF0}, ToBytes("PRINT\r\n")});
const Bytes kEscposHead = {0x1B, 0x40, 0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0xF0};
const Bytes kEscposTail = {0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0x0F, 0x1D, 0x56, 0x00};

const Bytes kBrotherHead = Concat(
    {Bytes(200, 0x00), {0x1B, 0x40, 0x1B, 0x69, 0x7A, 0x86, 0x0A, 0x0C, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}});
const Bytes kBrotherTail = Concat({{0x67, 0x00, 90}, Bytes(90, 0x0F), {0x1A}});

const QueryCase kCases[] = {
    {"tspl", kTsplHead, kTsplTail, {0x1B, 0x21, 0x3F}, "status query ESC ! ?"},
    {"tspl", kTsplHead, kTsplTail, {0x1B, 0x21, 0x53}, "status query ESC ! S"},
    {"cpcl", kCpclHead, kCpclTail, {0x1B, 0x68}, "status query ESC h"},
    {"cpcl", kCpclHead, kCpclTail, {0x1B, 0x69}, "status query ESC i"},
    // Between two bands of one receipt: still one page.
    {"escpos", kEscposHead, kEscposTail, {0x10, 0x04, 0x02}, "status query DLE EOT"},
    {"escpos", kEscposHead, kEscposTail, {0x1D, 0x72, 0x01}, "status query GS r 1"},
    {"escpos", kEscposHead, kEscposTail, {0x1B, 0x76}, "status query ESC v"},
    // Between a page's settings and its rows; before the job and after it.
    {"brother", kBrotherHead, kBrotherTail, {0x1B, 0x69, 0x53}, "status query ESC i S"},
};

TEST(PreviewDecoder, ListsStatusQueriesAndLeavesThePagesAsTheyAre) {
    for (const QueryCase& c : kCases) {
        SCOPED_TRACE(std::string(c.language) + " " + c.listed);
        bool plainOk = false, ok = false, cutOk = true;
        const auto plain = Decoded(c.language, Concat({c.before, c.after}), &plainOk);
        const Bytes asked = Concat({c.query, c.before, c.query, c.after, c.query});
        const auto decoded = Decoded(c.language, asked, &ok);
        ASSERT_TRUE(plainOk && ok) << decoded->Error().Message();
        ASSERT_EQ(decoded->Pages().size(), plain->Pages().size());
        EXPECT_EQ(decoded->Pages()[0].Dots(), plain->Pages()[0].Dots());
        int listed = 0;
        for (const PreviewCommand& command : decoded->Commands())
            listed += command.text == c.listed;
        EXPECT_EQ(listed, 3);
        // A query cut off at the end: the stream ended too soon.
        const auto cut = Decoded(c.language, Bytes(asked.begin(), asked.end() - 1), &cutOk);
        EXPECT_FALSE(cutOk);
        EXPECT_TRUE(cut->Error().Truncated()) << cut->Error().Message();
    }
}

}  // namespace

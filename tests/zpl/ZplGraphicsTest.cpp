// ^GF / ~DG data decoding and ^XG magnification. :Z64: data is made here with
// zlib and a base64 writer of the test's own, and its CRC with a bit-serial
// CRC-16 that shares no code with the decoder's.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <utility>
#include <vector>

#include "zpl/ZplGraphics.h"

namespace zpl {
namespace {

// The picture's rows as hex, one string per row.
std::vector<std::string> HexRows(const ZplBitmap& image) {
    std::vector<std::string> rows;
    for (int y = 0; y < image.Height(); y++) {
        std::string row;
        for (size_t i = 0; i < image.RowBytes(); i++) {
            static const char kDigits[] = "0123456789ABCDEF";
            row += kDigits[image.Row(y)[i] >> 4];
            row += kDigits[image.Row(y)[i] & 15];
        }
        rows.push_back(row);
    }
    return rows;
}

std::string Base64(const std::string& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            v |= uint8_t(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[v >> 12 & 63];
        out += i + 1 < bytes.size() ? kAlphabet[v >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
    }
    return out;
}

// CRC-16/XMODEM as polynomial division: the message's bits, then 16 zero
// bits, shifted through the register one at a time.
uint16_t DivisionCrc(const std::string& text) {
    uint32_t reg = 0;
    auto shiftIn = [&](int bit) {
        reg = reg << 1 | unsigned(bit);
        if (reg & 0x10000)
            reg ^= 0x11021;
    };
    for (unsigned char c : text)
        for (int k = 7; k >= 0; k--)
            shiftIn(c >> k & 1);
    for (int k = 0; k < 16; k++)
        shiftIn(0);
    return uint16_t(reg);
}

std::string Deflated(const std::string& bytes) {
    uLongf size = compressBound(uLong(bytes.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(bytes.data()),
              uLong(bytes.size()), 9);
    out.resize(size);
    return out;
}

std::string WithCrc(const std::string& head, const std::string& text) {
    char crc[8];
    snprintf(crc, sizeof crc, "%04X", DivisionCrc(text));
    return head + text + ":" + crc;
}
std::string Z64(const std::string& bytes) { return WithCrc(":Z64:", Base64(Deflated(bytes))); }
std::string B64(const std::string& bytes) { return WithCrc(":B64:", Base64(bytes)); }

TEST(ZplGraphicData, DivisionCrcHasXmodemsCheckValue) { EXPECT_EQ(DivisionCrc("123456789"), 0x31C3); }

struct Decoded {
    const char* what;
    char format;
    long total, row;
    std::string data;
    std::vector<std::string> rows;
};

class ZplGraphicDecodes : public ::testing::TestWithParam<Decoded> {};

TEST_P(ZplGraphicDecodes, IntoRows) {
    const Decoded& c = GetParam();
    ZplBitmap image;
    std::string problem;
    ASSERT_TRUE(DecodeGraphic(c.format, c.total, c.row, c.data, GraphicLimits(), image, problem)) << problem;
    EXPECT_EQ(image.Width(), c.row * 8);
    EXPECT_EQ(HexRows(image), c.rows);
}

const std::string kBytes("\xFF\x00\x81\x7E\x12\x34", 6);
const std::string kLowerCrc = [] {
    std::string s = Z64(kBytes);
    for (char& ch : s)
        ch = char(tolower(ch));
    return ":Z64:" + Base64(Deflated(kBytes)) + s.substr(s.rfind(':'));
}();

INSTANTIATE_TEST_SUITE_P(
    ZplGraphicData, ZplGraphicDecodes,
    ::testing::Values(Decoded{"hex", 'A', 4, 2, "FF00AA55", {"FF00", "AA55"}},
                      Decoded{"hex split by CR LF and spaces", 'A', 4, 2, "FF0\r\n0 AA\n55", {"FF00", "AA55"}},
                      Decoded{"lower-case hex", 'A', 2, 2, "ffa0", {"FFA0"}},
                      Decoded{"G..Y repeat", 'A', 6, 3, "KF0IFJ0", {"FFFFF0", "FFF000"}},
                      Decoded{"g..z combine with G..Y (J = 4)", 'A', 13, 13, "gJF0", {std::string(24, 'F') + "00"}},
                      Decoded{"repeats run on into the next row", 'A', 4, 2, "MA", {"AAAA", "AAA0"}},
                      Decoded{"comma and bang end rows", 'A', 6, 2, "F,!8!", {"F000", "FFFF", "8FFF"}},
                      Decoded{"colon repeats the row above", 'A', 6, 2, "1234::", {"1234", "1234", "1234"}},
                      Decoded{"colon mid-row takes the rest from above", 'A', 4, 2, "12345:", {"1234", "5234"}},
                      Decoded{"colon on the first row is white", 'A', 4, 2, ":12,", {"0000", "1200"}},
                      Decoded{"short data leaves the rest white", 'A', 4, 2, "FF", {"FF00", "0000"}},
                      Decoded{"bytes past the count are dropped", 'A', 3, 2, "FFFFFFFFFF", {"FFFF", "FF00"}},
                      Decoded{"Z64", 'A', 6, 3, Z64(kBytes), {"FF0081", "7E1234"}},
                      Decoded{"Z64 split by line ends", 'A', 6, 3, Z64(kBytes).insert(9, "\r\n"), {"FF0081", "7E1234"}},
                      Decoded{"Z64 with a lower-case CRC", 'A', 6, 3, kLowerCrc, {"FF0081", "7E1234"}},
                      Decoded{"Z64 without a CRC", 'A', 6, 3, ":Z64:" + Base64(Deflated(kBytes)), {"FF0081", "7E1234"}},
                      Decoded{"Z64 longer than the image", 'A', 2, 1, Z64(std::string(5000, '\x55')), {"55", "55"}},
                      Decoded{"B64", 'A', 6, 2, B64(kBytes), {"FF00", "817E", "1234"}},
                      Decoded{"binary", 'B', 4, 2, std::string("\xFF\x00\x81", 3), {"FF00", "8100"}},
                      Decoded{"binary holding Z64", 'B', 6, 3, Z64(kBytes), {"FF0081", "7E1234"}},
                      Decoded{"compressed binary sent as text", 'C', 4, 2, "F,!", {"F000", "FFFF"}}),
    [](const ::testing::TestParamInfo<Decoded>& i) { return "Case" + std::to_string(i.index); });

struct Refused {
    Refused(char f, long t, long r, std::string d, std::string p, size_t maxBytes = GraphicLimits().maxBytes)
        : format(f), total(t), row(r), data(std::move(d)), problem(std::move(p)), limits{maxBytes} {}
    char format;
    long total, row;
    std::string data;
    std::string problem;
    GraphicLimits limits;
};

class ZplGraphicRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(ZplGraphicRefuses, WithTheProblemInWords) {
    const Refused& c = GetParam();
    ZplBitmap image(8, 8);
    std::string problem;
    EXPECT_FALSE(DecodeGraphic(c.format, c.total, c.row, c.data, c.limits, image, problem));
    EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    EXPECT_EQ(image.Width(), 0);
}

std::string DamagedZ64() {
    std::string zipped = Deflated(std::string(100, 'x'));
    zipped[4] = char(zipped[4] ^ 0x5A);
    zipped[5] = char(zipped[5] ^ 0xFF);
    return WithCrc(":Z64:", Base64(zipped));
}
std::string WrongCrc() {
    std::string s = Z64(kBytes);
    s.back() = s.back() == '0' ? '1' : '0';
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    ZplGraphicData, ZplGraphicRefuses,
    ::testing::Values(Refused{'A', 6, 3, WrongCrc(), "CRC is"},
                      Refused{'A', 6, 3, Z64(kBytes) + "0", "not 4 hex digits"},
                      Refused{'A', 200, 10, DamagedZ64(), "damaged"},
                      Refused{'A', 6, 3, WithCrc(":Z64:", Base64(Deflated(kBytes).substr(0, 4))), "ends before"},
                      Refused{'A', 6, 3, WithCrc(":B64:", "AB$D"), "base64"},
                      Refused{'A', 6, 3, WithCrc(":B64:", "AB==CD"), "after its padding"},
                      Refused{'A', 4, 2, "FFZZ", "neither hex nor"},
                      Refused{'A', 4000000000L, 100, "FF", "graphic of 4000000000 bytes is larger than 16777216"},
                      Refused{'A', 100, 4000000000L, "FF", "rows of 4000000000 bytes are larger than"},
                      Refused{'A', 1001, 10, "FF", "larger than 1000", 1000}, Refused{'A', 0, 1, "", "no dots"},
                      Refused{'A', 10, -1, "", "no dots"}, Refused{'X', 4, 2, "FF", "not A, B or C"},
                      Refused{'C', 4, 2, std::string("\x01\x80\x00", 3), "compressed binary"}));

TEST(ZplGraphicData, ZlibBombStopsAtTheImage) {
    // 16 MiB of black squeezed into about 16 KiB: only the image's 1000 bytes
    // are ever inflated.
    const std::string bomb = Z64(std::string(16u << 20, '\xFF'));
    ZplBitmap image;
    std::string problem;
    ASSERT_TRUE(DecodeGraphic('A', 1000, 10, bomb, GraphicLimits(), image, problem)) << problem;
    EXPECT_EQ(image.Height(), 100);
    EXPECT_EQ(HexRows(image).back(), std::string(20, 'F'));
}

TEST(ZplGraphicData, HugeRepeatCountsStopAtTheImage) {
    ZplBitmap image;
    std::string problem;
    ASSERT_TRUE(DecodeGraphic('A', 2, 1, std::string(100000, 'z') + "F" + std::string(100000, ':'), GraphicLimits(),
                              image, problem));
    EXPECT_EQ(HexRows(image), (std::vector<std::string>{"FF", "FF"}));
}

TEST(ZplGraphicMagnified, EachDotBecomesABlock) {
    ZplBitmap image;
    std::string problem;
    ASSERT_TRUE(DecodeGraphic('A', 2, 1, "A05F", GraphicLimits(), image, problem));
    const ZplBitmap big = Magnified(image, 2, 3);
    ASSERT_EQ(big.Width(), 16);
    ASSERT_EQ(big.Height(), 6);
    EXPECT_EQ(HexRows(big), (std::vector<std::string>{"CC00", "CC00", "CC00", "33FF", "33FF", "33FF"}));
    EXPECT_EQ(HexRows(Magnified(image, 1, 1)), HexRows(image));
    // 4000 black dots ten times over stop where a label ends.
    ASSERT_TRUE(DecodeGraphic('A', 500, 500, "!", GraphicLimits(), image, problem));
    const ZplBitmap wide = Magnified(image, 10, 10);
    EXPECT_EQ(wide.Width(), 32000);
    EXPECT_TRUE(wide.Dot(31999, 9));
}

}  // namespace
}  // namespace zpl

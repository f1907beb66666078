#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "preview/PreviewTestSupport.h"
#include "printers/CPrinterTavrin.h"
#include "printers/PrinterJob.h"
#include "support/FamilyCases.h"

using namespace testing_support;
using namespace std::string_literals;

namespace {

struct StreamCase {
    const char* name;
    const char* language;
    std::map<std::string, std::string> options;
    friend void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }
};

// Single-page jobs whose last command closes the page, so that every shorter
// prefix is an unfinished page. (Tavrin on perforated media sends nothing
// after the end packet; ESC/POS with no feed or cut ends with the image.)
const StreamCase kStreams[] = {
    {"tsplPlain", "tspl", {}},
    {"tsplCompressed", "tspl", {{"ImageCompress", "1"}}},
    {"escpos", "escpos", {}},
    {"cpcl", "cpcl", {}},
    {"tavrin", "tavrin", {{"zeMediaTracking", "Perforated"}}},
    {"solvanePlain", "solvane", {}},
    {"solvaneCompressed", "solvane", {{"ImageCompress", "1"}}},
    {"zpl", "zpl", {}},
    {"epl2", "epl2", {}},
    {"dymoPlain", "dymo", {}},
    {"dymoCompressed", "dymo", {{"ImageCompress", "1"}}},
    {"brotherPlain", "brother", {}},
    {"brotherPackBits", "brother", {{"ImageCompress", "1"}}},
};

Bytes SmallStream(const StreamCase& c, unsigned width = 20, unsigned height = 6) {
    FilterResult r = RunModelJob(FamilyOfLanguage(c.language).modelNumber, {RandomPage(width, height, 7)}, c.options);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

const StreamCase& Case(const char* name) {
    for (const StreamCase& c : kStreams)
        if (std::string(name) == c.name)
            return c;
    throw std::runtime_error(name);
}

// Decodes and expects a failure at a byte within [from, to].
::testing::AssertionResult FailsWithin(const char* language, const Bytes& stream, size_t from, size_t to) {
    bool ok = true;
    auto decoder = Decoded(language, stream, &ok);
    if (ok)
        return ::testing::AssertionFailure() << "decoded without error";
    const PreviewError& e = decoder->Error();
    if (e.offset < from || e.offset > to)
        return ::testing::AssertionFailure() << "error outside bytes " << from << "-" << to << ": " << e.Message();
    if (e.expected.empty() || e.found.empty())
        return ::testing::AssertionFailure() << "error without expectation or finding: " << e.Message();
    return ::testing::AssertionSuccess() << e.Message();
}

// Test-side Tavrin framing: packet starts, and the CRC made anew after a
// payload byte was changed on purpose.
std::vector<size_t> TavrinPackets(const Bytes& stream) {
    std::vector<size_t> starts;
    for (size_t at = 0; at + 4 <= stream.size(); at += 9 + (stream[at + 2] | stream[at + 3] << 8))
        starts.push_back(at);
    return starts;
}

void FixTavrinCrc(Bytes& stream, size_t packet) {
    const size_t n = stream[packet + 2] | stream[packet + 3] << 8;
    uint32_t crc =
        static_cast<uint32_t>(crc32(CPrinterTavrin::kCrcSeed, stream.data() + packet + 4, static_cast<uInt>(n)));
    for (int i = 0; i < 4; i++)
        stream[packet + 4 + n + i] = static_cast<uint8_t>(crc >> (8 * i));
}

Bytes TavrinPacket(const Bytes& payload) {
    Bytes packet = {0xA5, 0x01, static_cast<uint8_t>(payload.size()), static_cast<uint8_t>(payload.size() >> 8)};
    packet.insert(packet.end(), payload.begin(), payload.end());
    packet.insert(packet.end(), {0, 0, 0, 0, 0x5A});
    FixTavrinCrc(packet, 0);
    return packet;
}

class PreviewTruncated : public ::testing::TestWithParam<StreamCase> {};

TEST_P(PreviewTruncated, EveryPrefixFailsAtOrBeforeItsEnd) {
    const Bytes stream = SmallStream(GetParam());
    ASSERT_FALSE(stream.empty());
    bool ok = false;
    auto whole = Decoded(GetParam().language, stream, &ok);
    ASSERT_TRUE(ok) << whole->Error().Message();
    for (size_t length = 0; length < stream.size(); length++) {
        const Bytes prefix(stream.begin(), stream.begin() + length);
        EXPECT_TRUE(FailsWithin(GetParam().language, prefix, 0, length)) << "prefix of " << length << " bytes";
    }
}

// The virtual printer asks one decoder again as a stream grows: what a
// cut-off read left must not change the read of the whole.
TEST_P(PreviewTruncated, ADecoderAskedAgainReadsAsANewOne) {
    const Bytes stream = SmallStream(GetParam());
    bool ok = false;
    auto fresh = Decoded(GetParam().language, stream, &ok);
    ASSERT_TRUE(ok) << fresh->Error().Message();
    auto reused = PreviewLanguages::Create(GetParam().language);
    for (size_t length = 1; length < stream.size(); length++)
        reused->Decode(stream.data(), length);
    ASSERT_TRUE(reused->Decode(stream.data(), stream.size())) << reused->Error().Message();
    EXPECT_EQ(reused->Commands().size(), fresh->Commands().size());
    ASSERT_EQ(reused->Pages().size(), fresh->Pages().size());
    for (size_t i = 0; i < fresh->Pages().size(); i++)
        EXPECT_EQ(reused->Pages()[i].BlackDots(), fresh->Pages()[i].BlackDots()) << "page " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(EveryLanguage, PreviewTruncated, ::testing::ValuesIn(kStreams),
                         [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

TEST(PreviewMalformed, FlippedTavrinCrcByteIsNamed) {
    const Bytes stream = SmallStream(Case("tavrin"));
    for (size_t packet : TavrinPackets(stream)) {
        const size_t crcAt = packet + 4 + (stream[packet + 2] | stream[packet + 3] << 8);
        for (size_t i = 0; i < 4; i++) {
            Bytes bad = stream;
            bad[crcAt + i] ^= 0xFF;
            bool ok = true;
            auto decoder = Decoded("tavrin", bad, &ok);
            ASSERT_FALSE(ok);
            EXPECT_EQ(decoder->Error().offset, crcAt);
            EXPECT_NE(decoder->Error().expected.find("CRC-32"), std::string::npos) << decoder->Error().Message();
        }
    }
}

struct LengthFlip {
    const char* stream;
    const char* what;
    // The offset of the length byte to change in the stream.
    size_t (*locate)(const Bytes& stream);
    uint8_t flip;
    bool fixTavrinCrc;
    friend void PrintTo(const LengthFlip& c, std::ostream* os) { *os << c.stream << ": " << c.what; }
};

size_t After(const Bytes& stream, const std::string& text, int commas) {
    size_t at = std::search(stream.begin(), stream.end(), text.begin(), text.end()) - stream.begin();
    for (int seen = 0; seen < commas; at++)
        if (stream[at] == ',')
            seen++;
    return at;
}

const LengthFlip kLengthFlips[] = {
    {"tsplCompressed", "BITMAP zlib length digit", [](const Bytes& s) { return After(s, "BITMAP", 5); }, 0x01, false},
    {"tsplPlain", "BITMAP height digit", [](const Bytes& s) { return After(s, "BITMAP", 3); }, 0x01, false},
    {"cpcl", "CG height digit", [](const Bytes& s) { return After(s, "CG 4 ", 0) + 5; }, 0x01, false},
    {"escpos", "GS v 0 height, high byte", [](const Bytes& s) { return After(s, "\x1D\x76\x30", 0) + 7; }, 0x01, false},
    {"solvanePlain", "GS v 0 width, high byte", [](const Bytes& s) { return After(s, "\x1D\x76\x30", 0) + 5; }, 0x01,
     false},
    {"solvaneCompressed", "frame length, low byte", [](const Bytes& s) { return After(s, "\x1F", 0) + 9; }, 0x01,
     false},
    {"tavrin", "packet length", [](const Bytes& s) { return TavrinPackets(s)[1] + 2; }, 0x01, false},
    {"tavrin", "tree argument length", [](const Bytes& s) { return TavrinPackets(s)[1] + 7; }, 0x04, true},
    {"tavrin", "chunk length", [](const Bytes& s) { return TavrinPackets(s)[2] + 19; }, 0x01, true},
    {"zpl", "^GF b digit", [](const Bytes& s) { return After(s, "^GFA", 1); }, 0x01, false},
    {"zpl", "^GF c digit", [](const Bytes& s) { return After(s, "^GFA", 2); }, 0x01, false},
    {"epl2", "GW height digit", [](const Bytes& s) { return After(s, "GW", 3); }, 0x01, false},
    {"epl2", "GW width digit", [](const Bytes& s) { return After(s, "GW", 2); }, 0x01, false},
    {"dymoPlain", "ESC D bytes per row",
     [](const Bytes& s) {
         return After(s,
                      "\x1B"
                      "D",
                      0) +
                2;
     },
     0x01, false},
    {"brotherPlain", "row length", [](const Bytes& s) { return After(s, std::string("g\0", 2), 0) + 2; }, 0x01, false},
    {"brotherPlain", "ESC i z row count", [](const Bytes& s) { return After(s, "\x1Biz", 0) + 7; }, 0x01, false},
};

class PreviewLengthFlip : public ::testing::TestWithParam<LengthFlip> {};

TEST_P(PreviewLengthFlip, IsRejected) {
    const LengthFlip& c = GetParam();
    const StreamCase& s = Case(c.stream);
    Bytes stream = SmallStream(s);
    const size_t at = c.locate(stream);
    ASSERT_LT(at, stream.size());
    stream[at] ^= c.flip;
    if (c.fixTavrinCrc)
        for (size_t packet : TavrinPackets(stream))
            if (packet < at && at < packet + 4 + (stream[packet + 2] | stream[packet + 3] << 8))
                FixTavrinCrc(stream, packet);
    EXPECT_TRUE(FailsWithin(s.language, stream, 0, stream.size())) << c.what;
}

INSTANTIATE_TEST_SUITE_P(PreviewMalformed, PreviewLengthFlip, ::testing::ValuesIn(kLengthFlips),
                         [](const ::testing::TestParamInfo<LengthFlip>& info) {
                             std::string name = std::string(info.param.stream) + "_" + info.param.what;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// Every byte of a compressed image, flipped, is caught inside the image data:
// by the inflater, by the check value, or by the size it inflates to.
TEST(PreviewMalformed, FlippedZlibBytesAreCaught) {
    struct Image {
        const char* stream;
        size_t (*start)(const Bytes&);
        size_t (*length)(const Bytes&, size_t start);
    };
    const Image images[] = {
        {"tsplCompressed", [](const Bytes& s) { return After(s, "BITMAP", 6); },
         [](const Bytes& s, size_t start) { return s.size() - start - std::string("\r\nPRINT 1,1\r\n").size(); }},
        {"solvaneCompressed", [](const Bytes& s) { return After(s, "\x1F", 0) + 10; },
         [](const Bytes& s, size_t start) {
             return size_t(s[start - 4]) << 24 | size_t(s[start - 3]) << 16 | size_t(s[start - 2]) << 8 | s[start - 1];
         }},
    };
    for (const Image& image : images) {
        const StreamCase& s = Case(image.stream);
        const Bytes stream = SmallStream(s, 64, 40);
        const size_t start = image.start(stream), length = image.length(stream, start);
        ASSERT_GT(length, 6u);
        ASSERT_LE(start + length, stream.size());
        for (size_t i = 0; i < length; i++) {
            Bytes bad = stream;
            bad[start + i] ^= 0xFF;
            EXPECT_TRUE(FailsWithin(s.language, bad, start, start + length)) << image.stream << " byte " << i;
        }
    }
}

// A hand-made Tavrin page with a known code: 00 -> 0, 01 -> 10, 02 -> 11
// (tree: preorder 257 0 256 1 2, inorder 0 257 1 256 2), one row of the four
// bytes 00 00 01 02, coded 001011 and padded: chunk 02 2C.
Bytes HandMadeTavrin(const Bytes& chunk) {
    const Bytes tree = {0x05, 0x1C, 0x03, 0x14, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00,
                        0x02, 0x00, 0x00, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00, 0x01, 0x02, 0x00};
    Bytes bitmap = {0x05, 0x1B, 0x03, static_cast<uint8_t>(12 + chunk.size()),
                    0x00, 0x00, 0x00, static_cast<uint8_t>(8 + chunk.size()),
                    0x00, 0x01, 0x04, 0x00,
                    0x00, 0x00, 0x01, static_cast<uint8_t>(chunk.size()),
                    0x00};
    bitmap.insert(bitmap.end(), chunk.begin(), chunk.end());
    return Concat({TavrinPacket({0x05, 0x19, 0x03, 0x00, 0x00}), TavrinPacket(tree), TavrinPacket(bitmap),
                   TavrinPacket({0x05, 0x1A, 0x03, 0x00, 0x00})});
}

TEST(PreviewMalformed, HandMadeTavrinPageDecodes) {
    bool ok = false;
    auto decoder = Decoded("tavrin", HandMadeTavrin({0x02, 0x2C}), &ok);
    ASSERT_TRUE(ok) << decoder->Error().Message();
    ASSERT_EQ(decoder->Pages().size(), 1u);
    EXPECT_EQ(decoder->Pages()[0].Width(), 32);
    EXPECT_EQ(DiffBytes({0x00, 0x00, 0x01, 0x02}, decoder->Pages()[0].Dots()), "");
    EXPECT_EQ(decoder->Commands()[2].text, "Tavrin bitmap chunk 0: 2 bytes, rows 0\u20130");
}

TEST(PreviewMalformed, FlippedHuffmanChunkBytesAreNamed) {
    const size_t chunkAt = 14 + 34 + 4 + 17;  // begin and tree packets, bitmap head and payload head
    struct Flip {
        Bytes chunk;
        const char* expected;
    };
    const Flip flips[] = {
        {{0x02, 0xAC}, "whole rows of 4 bytes in the chunk"},         // 101011: three codes
        {{0x03, 0x2C}, "whole Huffman codes up to the chunk's end"},  // 00101: ends inside a code
        {{0x0A, 0x2C}, "a pad count of 0-7"},
        {{0x02}, "pad count 0 in an empty chunk"},
    };
    for (const Flip& flip : flips) {
        bool ok = true;
        auto decoder = Decoded("tavrin", HandMadeTavrin(flip.chunk), &ok);
        ASSERT_FALSE(ok);
        EXPECT_EQ(decoder->Error().expected, flip.expected);
        EXPECT_GE(decoder->Error().offset, chunkAt);
        EXPECT_LE(decoder->Error().offset, chunkAt + 1);
    }
}

// A prefix code decodes two different complete bit strings to different
// bytes, so a changed chunk byte is either refused or seen on the page;
// a changed tree value is always refused (it leaves the two traversals
// without a common tree).
TEST(PreviewMalformed, ChangedTavrinCodeIsNeverSilentlyRepaired) {
    const Bytes stream = SmallStream({"tavrin", "tavrin", {}}, 33, 37);
    bool ok = false;
    auto original = Decoded("tavrin", stream, &ok);
    ASSERT_TRUE(ok) << original->Error().Message();
    const std::vector<size_t> packets = TavrinPackets(stream);
    for (size_t p = 1; p < packets.size(); p++) {
        const size_t packet = packets[p], n = stream[packet + 2] | stream[packet + 3] << 8;
        const uint8_t code = stream[packet + 5];
        if (code != 0x1B && code != 0x1C)
            continue;
        const size_t from = packet + 4 + (code == 0x1B ? 17 : 5);
        for (size_t at = from; at < packet + 4 + n; at++) {
            Bytes bad = stream;
            bad[at] ^= 0xFF;
            FixTavrinCrc(bad, packet);
            auto decoder = Decoded("tavrin", bad, &ok);
            if (code == 0x1C) {
                EXPECT_TRUE(FailsWithin("tavrin", bad, packet, packet + 4 + n)) << "tree byte " << at;
            } else if (ok) {
                EXPECT_NE(decoder->Pages()[0].Dots(), original->Pages()[0].Dots()) << "chunk byte " << at;
            } else {
                EXPECT_TRUE(FailsWithin("tavrin", bad, packet, packet + 4 + n)) << "chunk byte " << at;
            }
        }
    }
}

// Random damage anywhere: the decoders must stay inside the stream (the
// sanitizer build checks) and either accept it or name a byte in it.
TEST(PreviewMalformed, RandomDamageNeverCrashes) {
    std::mt19937 random(2024);
    for (const StreamCase& c : kStreams) {
        const Bytes stream = SmallStream(c, 40, 9);
        for (int round = 0; round < 400; round++) {
            Bytes bad = stream;
            const int changes = 1 + round % 3;
            for (int i = 0; i < changes; i++)
                bad[random() % bad.size()] = static_cast<uint8_t>(random());
            if (std::string(c.language) == "tavrin" && round % 2)
                for (size_t packet : TavrinPackets(bad))
                    if (packet + 9 + (bad[packet + 2] | bad[packet + 3] << 8) <= bad.size())
                        FixTavrinCrc(bad, packet);
            if (round % 5 == 0)
                bad.resize(random() % bad.size());
            bool ok = false;
            auto decoder = Decoded(c.language, bad, &ok);
            if (!ok) {
                EXPECT_LE(decoder->Error().offset, bad.size()) << c.name;
            }
        }
    }
}

struct Exact {
    const char* language;
    std::string stream;
    const char* message;
    friend void PrintTo(const Exact& c, std::ostream* os) {
        *os << c.language << " " << ::testing::PrintToString(c.stream);
    }
};

// Hand-written streams with the one line each must give.
const Exact kExact[] = {
    {"tspl", "SIZE 1 mm,1 mm\r\nCLS\r\n", "byte 21: expected PRINT to end the label, found end of stream"},
    {"tspl", "SIZE 1 mm,1 mm\nCLS\r\n", "byte 14: expected CR before LF, found \"\\nCLS\" ..."},
    {"tspl", "SIZE 1 mm;1 mm\r\n", "byte 9: expected \",\", found \";1 mm\""},
    {"tspl", "DENSITY x\r\n", "byte 8: expected an unsigned whole number, found \"x\""},
    {"tspl", "FEED 3\r\n",
     "byte 0: expected a TSPL command (SIZE, GAP, BLINE, OFFSET, REFERENCE, DENSITY, SPEED, SET, SETC, CLS, BITMAP, "
     "PRINT), found \"FEED 3\""},
    {"tspl", "CLS\r\nBITMAP 0,0,1,4,1,\xFF",
     "byte 22: expected 4 bytes of bitmap data, found end of stream after 1 bytes"},
    {"tspl", "CLS\r\nBITMAP 0,0,1,2,1,\xFF\xFF\xFF\r\nPRINT 1\r\n",
     "byte 24: expected CR LF after the bitmap data, found FF 0D 0A 50 ..."},
    {"tspl", "CLS\r\nBITMAP 0,0,1,1,4,\xFF\r\nPRINT 1\r\n", "byte 20: expected BITMAP mode 0, 1, 2 or 3, found mode 4"},
    {"cpcl", "PRINT\r\n", "byte 0: expected \"! \" to begin a label, found \"PRINT\""},
    {"cpcl", "! 0 200 200 1 1\r\nCG 1 1 0 0\r\n\x80PRINT\r\nX\r\n",
     "byte 37: expected \"! \" to begin a label, found \"X\""},
    {"escpos", std::string("\x1B\x40\x00\x1B\x61\x01", 6),
     "byte 6: expected a GS v 0 image after ESC @, found end of stream"},
    {"escpos", std::string("\x1D\x76\x30\x00\x01\x00\x02\x00\xFF", 9),
     "byte 8: expected 2 bytes of image data (1 x 2), found end of stream after 1 bytes"},
    {"escpos", std::string("\x1B\x40\x07", 3),
     "byte 2: expected an ESC/POS command (ESC @, ESC a, ESC J, ESC p, GS V, GS v 0 or GS FF), found 07"},
    {"solvane", std::string("\x1B\x40\x00", 3), "byte 0: expected 10 FF FE 01 to begin a page, found 1B 40 00"},
    {"solvane", std::string("\x10\xFF\xFE\x01\x10\xFF\xFE\x45", 8),
     "byte 4: expected an image before the end of the page, found 10 FF FE 45"},
    {"solvane", std::string("\x10\xFF\xFE\x01\x10\xFF\x10\x00\x09", 9), "byte 8: expected a density of 0-5, found 09"},
    {"tavrin", std::string("\xA5\x02", 2), "byte 1: expected 01 after A5, found 02"},
    {"tavrin", std::string("\x00\x5A", 2), "byte 0: expected A5 to start a packet, found 00 5A"},
    {"zpl", "^XA^PW8^LL1^FO0,0^GFA,2,1,1,FF^FS^XZ",
     "byte 17: expected ZPL that prints as written, found a graphic (^GF) is not drawn: b (2) is not c (1) in ASCII "
     "data"},
    {"zpl", "^XA^PW8^LL2^FO0,0^GFA,3,3,2,FFFFFF^FS^XZ",
     "byte 17: expected ZPL that prints as written, found a graphic (^GF) is not drawn: graphic of 3 bytes is not "
     "whole rows of 2 bytes"},
    {"zpl", "^XA^PW8^LL2^FO0,0^GFA,2,2,1,IFF^FS^XZ",
     "byte 17: expected ZPL that prints as written, found a graphic (^GF) is not drawn: row 1 of the graphic holds "
     "more than 1 bytes"},
    {"zpl", "^XA^PW8^LL2^FO0,0^GFA,2,2,1,FF^FS^XZ",
     "byte 17: expected ZPL that prints as written, found a graphic (^GF) is not drawn: graphic data ends after 1 of "
     "its 2 bytes"},
    {"zpl", "^XA^PW8^LL1^FO0,0^GFA,1,1,1,FF00^FS^XZ",
     "byte 17: expected ZPL that prints as written, found a graphic (^GF) is not drawn: graphic data goes on past its "
     "1 bytes"},
    {"zpl", "^XA^PW8^LL1^FO0,0^GFA,1,1,1,:Z64:eJz7DwABAAEA:0000^FS^XZ",
     "byte 17: expected ZPL that prints as written, found a graphic (^GF) is not drawn: the graphic's CRC is 0000 but "
     "its data gives 73EA"},
    {"zpl", "^XA^PW8^LL1^FO0,0^GFA,1,1,1,:Z64:eJz7DwABAAEA^FS^XZ",
     "byte 17: expected ZPL that prints as written, found a graphic (^GF) is not drawn: the graphic's base64 data has "
     "no CRC"},
    {"zpl", "^XA^PW8^LL2^FO0,0^GFA,2,2,1,:Z64:eJz7DwABAAEA:73ea^FS^XZ",
     "byte 17: expected ZPL that prints as written, found a graphic (^GF) is not drawn: :Z64: graphic data inflates to "
     "1 of its 2 bytes"},
    {"zpl", "^XA^PW8^LL1^FO0,0^GFA,1,1,1,F^XZ",
     "byte 17: expected ZPL that prints as written, found a graphic (^GF) is not drawn: graphic data ends after 0 of "
     "its 1 bytes"},
    {"zpl", "^XA^ZZ1^XZ",
     "byte 3: expected ZPL that prints as written, found ZPL command ^ZZ is not one the interpreter knows"},
    {"zpl", "^XA^PW8^LL1", "byte 11: expected ^XZ to end the label begun at byte 0, found end of stream"},
    {"zpl", "~SD15\n", "byte 6: expected a label (^XA ... ^XZ) or a status query after byte 0, found end of stream"},
    {"epl2", "\nP1\n", "byte 1: expected N to begin a label, found \"P1\""},
    {"epl2", "\nN\nGW0,0,1,1\n\xFF\nP1\n", "byte 3: expected q before GW (the label width), found \"GW0,0,1,1\""},
    {"epl2", "\nN\nq8\nGW0,0,2,1\n\xFF\xFF\nP1\n",
     "byte 6: expected GW within the label width of 8 dots, found \"GW0,0,2,1\""},
    {"epl2", "\nN\nq8\nP1\nC\n",
     "byte 9: expected a command other than a bare C (cut to some, the counter command to older guides), found \"C\""},
    {"epl2", "\nN\nq8\nD16\nP1\n", "byte 6: expected D with a darkness of 0 to 15, found \"D16\""},
    {"epl2", "\nN\nq8\nQ8,9\nP1\n", "byte 6: expected a gap of 16 to 240 dots, or 0 (continuous), found \"Q8,9\""},
    {"epl2", "\nN\nq8\nP1\n\nN\nq8\n", "byte 15: expected P to print the label, found end of stream"},
    {"epl2", "\nN\nq8\nGW0,0,1,2,\xFF", "byte 16: expected 2 bytes of GW data, found end of stream after 1 bytes"},
    {"dymo", "\x1B\x1B@\x16", "byte 3: expected ESC D before the first row, found 16"},
    {"dymo",
     "\x1B@\x1B"
     "D\x9D",
     "byte 4: expected ESC B and ESC D within the head's 156 bytes, found 0 + 157 bytes"},
    {"dymo",
     "\x1B@\x1B"
     "D\x01\x17\x88",
     "byte 6: expected a run of at most 8 dots to end the row, found a run of 9"},
    {"dymo",
     "\x1B@\x1B"
     "D\x01\x16\xFF\x1BG",
     "byte 9: expected ESC E to feed the last label to the tear bar, found end of stream"},
    {"dymo",
     "\x1B@\x1B"
     "f\x02\x01",
     "byte 4: expected 01 after ESC f, found 02 ..."},
    {"dymo", "\x16", "byte 0: expected ESC bytes and ESC @ to reset the printer, found 16"},
    {"brother", std::string(10, '\0') + "\x1B\x40",
     "byte 10: expected at least 200 bytes of 00 to begin a job, found 10 and 1B 40"},
    {"brother", std::string(200, '\0') + "\x1B\x40\x1Biz\x86\x0A\x3E\x00\x02\x00\x00\x00\x00\x00Z\x1A"s,
     "byte 216: expected 2 rows as ESC i z says, found 1 rows and 1A"},
    {"brother", std::string(200, '\0') + "\x1B\x40\x1Biz\x86\x0A\x3E\x00\x01\x00\x00\x00\x00\x00g\x00\x02\xFF\xFF\x1A"s,
     "byte 215: expected a row of 90 or 162 bytes (the head's width), found a row of 2 bytes"},
    {"brother", std::string(200, '\0') + "\x1B\x40Z",
     "byte 202: expected ESC i z before the page's first row, found \"Z\""},
    {"brother", std::string(200, '\0') + "\x1B\x40\x1Biz\x86\x0A\x3E\x00\x00\x00\x00\x00\x01\x00\x0C"s,
     "byte 213: expected 00 for the job's first page, found 01 ..."},
};

// An image without width draws nothing, however many rows it claims.
TEST(PreviewMalformed, EmptyImageOfABillionRowsDrawsNothing) {
    bool ok = false;
    auto decoder = Decoded("cpcl", ToBytes("! 0 200 200 96 1\r\nCG 0 888888820 0 9\r\nPRINT\r\n"), &ok);
    ASSERT_TRUE(ok) << decoder->Error().Message();
    ASSERT_EQ(decoder->Pages().size(), 1u);
    EXPECT_LE(decoder->Pages()[0].Height(), 96);
}

class PreviewExactError : public ::testing::TestWithParam<Exact> {};

TEST_P(PreviewExactError, NamesOffsetExpectationAndFinding) {
    const Exact& c = GetParam();
    bool ok = true;
    auto decoder = Decoded(c.language, ToBytes(c.stream), &ok);
    ASSERT_FALSE(ok);
    EXPECT_EQ(decoder->Error().Message(), c.message);
}

INSTANTIATE_TEST_SUITE_P(PreviewMalformed, PreviewExactError, ::testing::ValuesIn(kExact));

// Every family's decoder meets truncation, changed lengths and hand-written
// errors: a new family fails here until its cases are written.
TEST(PreviewMalformed, CasesCoverEveryFamily) {
    const auto byLanguage = [](const auto& c) { return &FamilyOfLanguage(c.language); };
    EXPECT_TRUE(CoversEveryFamily(kStreams, byLanguage));
    EXPECT_TRUE(CoversEveryFamily(kLengthFlips,
                                  [](const LengthFlip& c) { return &FamilyOfLanguage(Case(c.stream).language); }));
    EXPECT_TRUE(CoversEveryFamily(kExact, byLanguage));
}

}  // namespace

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "printers/CPrinterTavrin.h"
#include "printers/HfmTestDecoder.h"
#include "printers/PrinterJob.h"
#include "support/TestHost.h"

using namespace testing_support;

namespace {

const int kModel = 23;
const long long kLimitBits = (CPrinterTavrin::kMaxChunk - 1) * 8;

Bytes FromHex(const std::string& hex) {
    Bytes out;
    std::istringstream in(hex);
    unsigned value;
    while (in >> std::hex >> value)
        out.push_back(static_cast<uint8_t>(value));
    return out;
}

// A packet framed from the protocol's description, its CRC from zlib.
Bytes Packet(const Bytes& payload) {
    const size_t n = payload.size();
    Bytes out(4 + n);
    out[0] = 0xA5;
    out[1] = 0x01;
    out[2] = static_cast<uint8_t>(n);
    out[3] = static_cast<uint8_t>(n >> 8);
    std::copy(payload.begin(), payload.end(), out.begin() + 4);
    const uLong crc = crc32(CPrinterTavrin::kCrcSeed, payload.data(), static_cast<uInt>(n));
    for (int i = 0; i < 4; i++)
        out.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    out.push_back(0x5A);
    return out;
}

Bytes Packet(const std::string& payloadHex) { return Packet(FromHex(payloadHex)); }

const char* kBegin = "05 19 03 00 00";
const char* kEnd = "05 1A 03 00 00";
const char* kFeed0 = "05 16 03 02 00 00 00";
const char* kLocate100 = "05 21 03 04 00 64 00 00 00";

// One row of 32 pixels, the last 8 black: 00 00 00 FF once inverted.
RasterPage WorkedExamplePage() {
    RasterPage page;
    page.width = 32;
    page.height = 1;
    page.data = {0xFF, 0xFF, 0xFF, 0x00};
    return page;
}

Bytes WorkedExampleUpToEnd() {
    return Concat({Packet(kBegin), Packet("05 1C 03 0C 00 00 01 FF 00 00 00 FF 00 00 01 00 00"),
                   Packet("05 1B 03 0E 00 00 00 0A 00 01 04 00 00 00 01 02 00 04 E0"), Packet(kEnd)});
}

// Splits an output stream into payloads, checking every frame byte and every
// CRC (with zlib, from the seed). Empty on success.
std::string SplitPackets(const Bytes& stream, std::vector<Bytes>& payloads) {
    payloads.clear();
    size_t at = 0;
    while (at < stream.size()) {
        const std::string where = "packet at offset " + std::to_string(at) + ": ";
        if (stream.size() - at < 9 || stream[at] != 0xA5 || stream[at + 1] != 0x01)
            return where + "bad start";
        const size_t n = stream[at + 2] | stream[at + 3] << 8;
        if (stream.size() - at < n + 9 || stream[at + 8 + n] != 0x5A)
            return where + "bad length or end byte";
        Bytes payload(stream.begin() + at + 4, stream.begin() + at + 4 + n);
        const uLong crc = crc32(CPrinterTavrin::kCrcSeed, payload.data(), static_cast<uInt>(n));
        for (int i = 0; i < 4; i++)
            if (stream[at + 4 + n + i] != static_cast<uint8_t>(crc >> (8 * i)))
                return where + "CRC mismatch";
        payloads.push_back(payload);
        at += n + 9;
    }
    return "";
}

// One print sequence as the printer sees it.
struct TavrinPage {
    std::vector<uint16_t> preorder, inorder;
    std::vector<Bytes> chunks;
    std::vector<int> indices;
    int bytesPerRow = -1;
    Bytes ending;  // the feed or locate payload, empty when none
};

int LE16(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8; }

std::string SplitPages(const std::vector<Bytes>& payloads, std::vector<TavrinPage>& pages) {
    pages.clear();
    const Bytes begin = FromHex(kBegin), end = FromHex(kEnd);
    size_t i = 0;
    while (i < payloads.size()) {
        const std::string where = "payload " + std::to_string(i) + ": ";
        TavrinPage page;
        if (payloads[i++] != begin)
            return where + "expected begin";
        if (i >= payloads.size())
            return where + "no tree";
        const Bytes& tree = payloads[i++];
        if (tree.size() < 5 || tree[0] != 0x05 || tree[1] != 0x1C || tree[2] != 0x03 ||
            LE16(tree, 3) + 5u != tree.size() ||
            !HfmTestDecoder::SplitTreeBytes(Bytes(tree.begin() + 5, tree.end()), page.preorder, page.inorder))
            return where + "bad tree";
        while (i < payloads.size() && payloads[i].size() >= 2 && payloads[i][1] == 0x1B) {
            const Bytes& b = payloads[i++];
            if (b.size() < 18 || b[0] != 0x05 || b[2] != 0x03 || LE16(b, 3) + 5u != b.size() ||
                LE16(b, 7) + 9u != b.size() || b[9] != 0x01 || b[12] != 0 || b[13] != 0 || b[14] != 0x01 ||
                LE16(b, 15) + 17u != b.size())
                return where + "bad bitmap header";
            if (page.bytesPerRow >= 0 && page.bytesPerRow != LE16(b, 10))
                return where + "row length changes within the page";
            page.bytesPerRow = LE16(b, 10);
            page.indices.push_back(LE16(b, 5));
            page.chunks.emplace_back(b.begin() + 17, b.end());
        }
        if (i >= payloads.size() || payloads[i++] != end)
            return where + "expected end";
        if (i < payloads.size() && payloads[i] != begin)
            page.ending = payloads[i++];
        pages.push_back(page);
    }
    return "";
}

// Parses, decodes and compares one output stream against the expected
// page bytes (each page's rows with set bits for black dots).
void ExpectPages(const Bytes& stream, const std::vector<Bytes>& expectedPages, const Bytes& ending) {
    std::vector<Bytes> payloads;
    ASSERT_EQ(SplitPackets(stream, payloads), "");
    std::vector<TavrinPage> pages;
    ASSERT_EQ(SplitPages(payloads, pages), "");
    ASSERT_EQ(pages.size(), expectedPages.size());
    for (size_t p = 0; p < pages.size(); p++) {
        SCOPED_TRACE("page " + std::to_string(p + 1));
        const TavrinPage& page = pages[p];
        for (size_t k = 0; k < page.indices.size(); k++)
            EXPECT_EQ(page.indices[k], static_cast<int>(k)) << "chunk indices count from 0 on every page";
        HfmTestDecoder decoder;
        ASSERT_EQ(decoder.Build(page.preorder, page.inorder), "");
        Bytes decoded;
        ASSERT_EQ(decoder.Decode(page.chunks, page.bytesPerRow, kLimitBits, decoded), "");
        EXPECT_EQ(DiffBytes(expectedPages[p], decoded), "");
        EXPECT_EQ(DiffBytes(ending, page.ending), "");
    }
}

unsigned EffWidth(unsigned width) { return (width + 31) / 32 * 4; }

RasterPage RandomPage(unsigned width, unsigned height, double density, unsigned seed) {
    std::mt19937 random(seed);
    std::bernoulli_distribution black(density);
    RasterPage page;
    page.width = width;
    page.height = height;
    const unsigned bpl = (width + 7) / 8;
    page.data.assign(static_cast<size_t>(bpl) * height, 0);
    if (density == 0.5) {  // every byte value equally likely: draw whole bytes
        for (uint8_t& b : page.data)
            b = static_cast<uint8_t>(random() >> 8);
        return page;
    }
    for (uint8_t& b : page.data)
        for (int i = 0; i < 8; i++)
            b = static_cast<uint8_t>(b << 1 | (black(random) ? 0 : 1));
    return page;
}

using Host = CaptureHost<CPrinterTavrin>;

void SetRasterPage(Host& host, const RasterPage& page) { host.SetPage(page.width, page.height, page.data); }

TEST(TavrinJob, WorkedExamplePageByteForByte) {
    FilterResult r = RunModelJob(kModel, {WorkedExamplePage()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.ErrLines("ERROR").empty()) << r.err;
    EXPECT_EQ(DiffBytes(Concat({WorkedExampleUpToEnd(), Packet(kFeed0)}), r.out), "");
}

// The same page as literal bytes: every CRC here was computed apart from the
// code, so a change of the protocol's seed cannot pass unnoticed.
TEST(TavrinJob, WorkedExampleCarriesTheProtocolsCrcs) {
    FilterResult r = RunModelJob(kModel, {WorkedExamplePage()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DiffBytes(FromHex("A5 01 05 00 05 19 03 00 00 57 1F E7 A5 5A "
                                "A5 01 11 00 05 1C 03 0C 00 00 01 FF 00 00 00 FF 00 00 01 00 00 5E 11 56 E0 5A "
                                "A5 01 13 00 05 1B 03 0E 00 00 00 0A 00 01 04 00 00 00 01 02 00 04 E0 24 1E 6D 92 5A "
                                "A5 01 05 00 05 1A 03 00 00 B9 B0 52 B7 5A "
                                "A5 01 07 00 05 16 03 02 00 00 00 20 0B 74 62 5A"),
                        r.out),
              "");
}

struct MediaCase {
    const char* choice;
    const char* ending;  // payload hex, empty: none
};

void PrintTo(const MediaCase& t, std::ostream* os) { *os << t.choice; }

class TavrinMedia : public ::testing::TestWithParam<MediaCase> {};

TEST_P(TavrinMedia, MediaTrackingChoosesThePageEnding) {
    FilterResult r = RunModelJob(kModel, {WorkedExamplePage()}, {{"zeMediaTracking", GetParam().choice}});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string ending = GetParam().ending;
    const Bytes expected = ending.empty() ? WorkedExampleUpToEnd() : Concat({WorkedExampleUpToEnd(), Packet(ending)});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

INSTANTIATE_TEST_SUITE_P(Choices, TavrinMedia,
                         ::testing::Values(MediaCase{"Continuous", kFeed0}, MediaCase{"A4Stock", kFeed0},
                                           MediaCase{"Gap", kLocate100}, MediaCase{"BLine", kLocate100},
                                           MediaCase{"BLine_Fold", kLocate100}, MediaCase{"Perforated", ""},
                                           MediaCase{"Roll", kFeed0}, MediaCase{"Recording", ""}),
                         [](const ::testing::TestParamInfo<MediaCase>& info) {
                             return std::string(info.param.choice);
                         });

TEST(TavrinJob, CompressionSettingChangesNothing) {
    const std::vector<RasterPage> pages = {MakeBitPage(200, 120, Weave), RandomPage(384, 90, 0.2, 5)};
    FilterResult plain = RunModelJob(kModel, pages, {{"ImageCompress", "0"}});
    FilterResult compressed = RunModelJob(kModel, pages, {{"ImageCompress", "1"}});
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(compressed.status, 0) << compressed.err;
    EXPECT_GT(plain.out.size(), 200u);
    EXPECT_EQ(DiffBytes(plain.out, compressed.out), "");
}

// Several pages in one job: each is a whole sequence with its own tree and
// chunks numbered from 0, and decodes back to its exact rows.
TEST(TavrinJob, RandomPagesDecodeToTheirExactRows) {
    const std::vector<RasterPage> pages = {
        RandomPage(8, 1, 0.5, 1),      RandomPage(13, 40, 0.1, 2),   RandomPage(384, 300, 0.5, 3),
        RandomPage(384, 500, 0.03, 4), RandomPage(577, 120, 0.9, 5), RandomPage(100, 64, 1.0, 6),
        RandomPage(64, 30, 0.0, 7),    MakeBitPage(576, 200, Weave),
    };
    FilterResult r = RunModelJob(kModel, pages);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.ErrLines("ERROR").empty()) << r.err;
    EXPECT_EQ(r.ErrLines("PAGE:").size(), pages.size());
    std::vector<Bytes> expected;
    for (const RasterPage& page : pages)
        expected.push_back(PrinterRows(page, EffWidth(page.width)));
    ExpectPages(r.out, expected, FromHex(kFeed0));
}

TEST(TavrinJob, PageThatCannotBeCodedIsReportedAndTheNextPrints) {
    // Rows of 65536 bytes do not fit the bitmap header's 16-bit row length.
    RasterPage wide;
    wide.width = 65536 * 8;
    wide.height = 1;
    wide.data.assign(65536, 0x0F);
    FilterResult r = RunModelJob(kModel, {wide, WorkedExamplePage()});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.ErrLines("ERROR: ").size(), 1u) << r.err;
    EXPECT_EQ(r.ErrLines("ERROR: ")[0], "ERROR: The page could not be coded for the printer and was not printed.");
    EXPECT_EQ(DiffBytes(Concat({WorkedExampleUpToEnd(), Packet(kFeed0)}), r.out), "");
}

struct CommandCase {
    const char* name;
    void (*send)(CPrinterTavrin&);
    const char* payload;
};

void PrintTo(const CommandCase& t, std::ostream* os) { *os << t.name; }

class TavrinCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(TavrinCommand, FramesItsPayload) {
    Host host;
    host.SetPage(32, 1, {0xFF, 0xFF, 0xFF, 0x00});  // rows of 4 bytes for the bitmap header
    GetParam().send(host);
    const NS_KT_CLASS::CMyBuffer& buffer = host.PageBuffer();
    const Bytes actual(buffer.GetBuffer(), buffer.GetBuffer() + buffer.GetBufferLength());
    EXPECT_EQ(DiffBytes(Packet(GetParam().payload), actual), "");
}

unsigned char kTreeBytes[] = {0x01, 0x02, 0x03, 0x04};
unsigned char kChunk[] = {0x04, 0xE0};

INSTANTIATE_TEST_SUITE_P(
    Commands, TavrinCommand,
    ::testing::Values(
        CommandCase{"Begin", [](CPrinterTavrin& p) { p.cmdBeginPrinting(); }, kBegin},
        CommandCase{"End", [](CPrinterTavrin& p) { p.cmdEndPrinting(); }, kEnd},
        CommandCase{"FeedZero", [](CPrinterTavrin& p) { p.cmdFeed(0); }, kFeed0},
        CommandCase{"FeedLowByteFirst", [](CPrinterTavrin& p) { p.cmdFeed(0x1234); }, "05 16 03 02 00 34 12"},
        CommandCase{"Locate100", [](CPrinterTavrin& p) { p.cmdPaperLocate(100); }, kLocate100},
        CommandCase{"LocateFourBytes", [](CPrinterTavrin& p) { p.cmdPaperLocate(0x12345678); },
                    "05 21 03 04 00 78 56 34 12"},
        CommandCase{"Tree", [](CPrinterTavrin& p) { p.cmdHfmTree(kTreeBytes, 4); }, "05 1C 03 04 00 01 02 03 04"},
        CommandCase{"Bitmap", [](CPrinterTavrin& p) { p.cmdBitmap(0, true, kChunk, 2); },
                    "05 1B 03 0E 00 00 00 0A 00 01 04 00 00 00 01 02 00 04 E0"},
        CommandCase{"BitmapIndexAndFlag", [](CPrinterTavrin& p) { p.cmdBitmap(0x0102, false, kChunk, 2); },
                    "05 1B 03 0E 00 02 01 0A 00 01 04 00 00 00 00 02 00 04 E0"}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.name); });

TEST(TavrinRenderer, PacketLengthIsLittleEndianAndBounded) {
    Host host;
    Bytes payload(0x0107);
    for (size_t i = 0; i < payload.size(); i++)
        payload[i] = static_cast<uint8_t>(i * 13);
    ASSERT_TRUE(host.cmdChildClassPackage(payload.data(), static_cast<int>(payload.size())));
    const NS_KT_CLASS::CMyBuffer& buffer = host.PageBuffer();
    const Bytes actual(buffer.GetBuffer(), buffer.GetBuffer() + buffer.GetBufferLength());
    ASSERT_EQ(actual.size(), 0x0107u + 9);
    EXPECT_EQ(Hex(actual.data(), 4), "A5 01 07 01 ");
    EXPECT_EQ(DiffBytes(Packet(payload), actual), "");

    Bytes tooLong(0x10000, 0x55);
    EXPECT_FALSE(host.cmdChildClassPackage(tooLong.data(), static_cast<int>(tooLong.size())));
    EXPECT_EQ(host.PageBuffer().GetBufferLength(), static_cast<int>(0x0107 + 9)) << "nothing appended";
}

TEST(TavrinRenderer, CrcEqualsZlibFromTheSeed) {
    Host host;
    std::mt19937 random(11);
    for (unsigned length : {0u, 1u, 5u, 17u, 273u, 2049u}) {
        Bytes data(length + 1);  // never a null buffer: zlib answers that with its start value
        for (uint8_t& b : data)
            b = static_cast<uint8_t>(random());
        EXPECT_EQ(host.MakeCrc32(data.data(), length), crc32(CPrinterTavrin::kCrcSeed, data.data(), length))
            << length << " bytes";
    }
}

TEST(TavrinRenderer, EveryPageIsOneSpoolWriteWithItsOwnSequence) {
    Host host;
    const RasterPage first = RandomPage(384, 200, 0.4, 21), second = RandomPage(200, 150, 0.1, 22);
    for (const RasterPage& page : {first, second}) {
        SetRasterPage(host, page);
        host.OnPaintBmp();
    }
    EXPECT_TRUE(host.errors.empty());
    ASSERT_EQ(host.writes.size(), 2u);
    ExpectPages(host.writes[0], {PrinterRows(first, EffWidth(first.width))}, FromHex(kFeed0));
    ExpectPages(host.writes[1], {PrinterRows(second, EffWidth(second.width))}, FromHex(kFeed0));
    EXPECT_EQ(host.PageBuffer().GetBufferLength(), 0) << "empty between pages";
    const std::vector<std::string> order = {"OnPaintBmp", "KV_TP_CTRL_PRINT_START", "KV_TP_CTRL_PRINT_END"};
    std::vector<std::string> seen;
    for (const std::string& line : host.logs)
        if (std::find(order.begin(), order.end(), line) != order.end())
            seen.push_back(line);
    EXPECT_EQ(seen, (std::vector<std::string>{order[0], order[1], order[2], order[0], order[1], order[2]}));
}

TEST(TavrinRenderer, OversizedRowTravelsInAChunkOfItsOwn) {
    // A first row of random bytes among white rows codes to well over the
    // 2040-bit limit: it gets one chunk alone, with no empty chunk before it.
    RasterPage page = RandomPage(8192, 41, 0.5, 31);
    std::fill(page.data.begin() + 1024, page.data.end(), 0xFF);
    Host host;
    SetRasterPage(host, page);
    host.OnPaintBmp();
    ASSERT_EQ(host.writes.size(), 1u);
    ExpectPages(host.writes[0], {PrinterRows(page, 1024)}, FromHex(kFeed0));

    std::vector<Bytes> payloads;
    std::vector<TavrinPage> pages;
    ASSERT_EQ(SplitPackets(host.writes[0], payloads), "");
    ASSERT_EQ(SplitPages(payloads, pages), "");
    ASSERT_FALSE(pages[0].chunks.empty());
    EXPECT_GT(pages[0].chunks[0].size(), 256u);
    HfmTestDecoder decoder;
    ASSERT_EQ(decoder.Build(pages[0].preorder, pages[0].inorder), "");
    Bytes firstChunk;
    ASSERT_EQ(decoder.Decode({pages[0].chunks[0]}, 1024, kLimitBits, firstChunk), "");
    EXPECT_EQ(DiffBytes(PrinterRows(page, 1024, 0, 1), firstChunk), "");
}

// A page that cannot be sent whole sends nothing, reports one error and
// leaves the renderer ready for the next page.
struct FailureCase {
    const char* name;
    void (*setUp)(Host&);
};

void PrintTo(const FailureCase& t, std::ostream* os) { *os << t.name; }

class TavrinFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(TavrinFailure, SendsNothingReportsAndGoesOn) {
    Host host;
    GetParam().setUp(host);
    host.OnPaintBmp();
    EXPECT_TRUE(host.writes.empty());
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.PageBuffer().GetBufferLength(), 0);

    const RasterPage next = RandomPage(120, 33, 0.3, 41);
    SetRasterPage(host, next);
    host.OnPaintBmp();
    EXPECT_EQ(host.errors.size(), 1u);
    ASSERT_EQ(host.writes.size(), 1u);
    ExpectPages(host.writes[0], {PrinterRows(next, EffWidth(next.width))}, FromHex(kFeed0));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, TavrinFailure,
    ::testing::Values(FailureCase{"NoImage", [](Host&) {}},
                      FailureCase{"RowsWiderThanTheRowLengthField",
                                  [](Host& host) { host.SetPage(65536 * 8, 2, Bytes(2 * 65536, 0x0F)); }},
                      // Random bytes among many white rows code to about 12 bits each:
                      // the first row alone is far beyond what one packet can carry.
                      FailureCase{"RowCodeLongerThanAPacket",
                                  [](Host& host) {
                                      RasterPage page = RandomPage(65532 * 8, 21, 0.5, 51);
                                      std::fill(page.data.begin() + 65532, page.data.end(), 0xFF);
                                      SetRasterPage(host, page);
                                  }}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace

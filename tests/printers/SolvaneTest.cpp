#include <dlfcn.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <mutex>
#include <string>

#include "printers/CPrinterSolvane.h"
#include "printers/PrinterJob.h"
#include "support/TestHost.h"

using namespace testing_support;

// The test binary's own definitions of two zlib entry points come first in
// symbol lookup: they record how the renderer sets up its compressor and can
// make zlib fail on demand; otherwise they forward to the real zlib.
namespace {

enum class ZlibFault { None, Init, Deflate };

struct ZlibProbe {
    ZlibFault fault = ZlibFault::None;
    int initCalls = 0, level = 0, method = 0, windowBits = 0, memLevel = 0, strategy = 0, streamSize = 0;
    std::string version;
} g_zlib;

// Makes zlib fail for the lifetime of the object.
struct ZlibFailure {
    explicit ZlibFailure(ZlibFault fault) { g_zlib.fault = fault; }
    ~ZlibFailure() { g_zlib.fault = ZlibFault::None; }
};

}  // namespace

extern "C" int deflateInit2_(z_streamp strm, int level, int method, int windowBits, int memLevel, int strategy,
                             const char* version, int stream_size) {
    using Fn = int (*)(z_streamp, int, int, int, int, int, const char*, int);
    static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "deflateInit2_"));
    // The interposer serves the whole test binary: other tests' threads
    // (PNG encoders) call it at once.
    static std::mutex recording;
    std::lock_guard<std::mutex> lock(recording);
    g_zlib.initCalls++;
    g_zlib.level = level;
    g_zlib.method = method;
    g_zlib.windowBits = windowBits;
    g_zlib.memLevel = memLevel;
    g_zlib.strategy = strategy;
    g_zlib.version = version ? version : "";
    g_zlib.streamSize = stream_size;
    if (g_zlib.fault == ZlibFault::Init)
        return Z_MEM_ERROR;
    return real(strm, level, method, windowBits, memLevel, strategy, version, stream_size);
}

extern "C" int deflate(z_streamp strm, int flush) {
    using Fn = int (*)(z_streamp, int);
    static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "deflate"));
    if (g_zlib.fault == ZlibFault::Deflate)
        return Z_BUF_ERROR;
    return real(strm, flush);
}

namespace {

Bytes SetupCommands(uint8_t paperType) {
    return {0x10, 0xFF, 0xFE, 0x01, 0x10, 0xFF, 0x10, 0x03, paperType, 0x1B, 0x40, 0x00};
}
const Bytes kCentre = {0x1B, 0x61, 0x01};
const Bytes kCutLine = {0x10, 0x50};
const Bytes kFeedToMark = {0x1D, 0x0C};
const Bytes kEnd = {0x10, 0xFF, 0xFE, 0x45};

uint32_t BigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

// One compressed-image frame read from the output.
struct Frame {
    unsigned widthBytes = 0, height = 0;
    Bytes stream;  // the n bytes after the ten-byte header
};

// Reads the frame at `at` and moves `at` past it; a test failure if none fits.
::testing::AssertionResult ReadFrame(const Bytes& out, size_t& at, Frame& frame) {
    if (out.size() < at + 10)
        return ::testing::AssertionFailure() << "no frame header at " << at;
    if (out[at] != 0x1F || out[at + 1] != 0x00)
        return ::testing::AssertionFailure() << "frame starts " << Hex(out.data() + at, 2);
    frame.widthBytes = static_cast<unsigned>(out[at + 2]) << 8 | out[at + 3];
    frame.height = static_cast<unsigned>(out[at + 4]) << 8 | out[at + 5];
    const uint32_t n = BigEndian32(out.data() + at + 6);
    if (n < 4 || out.size() < at + 10 + n)
        return ::testing::AssertionFailure() << "frame length " << n << " runs past the output";
    frame.stream.assign(out.begin() + static_cast<long>(at) + 10, out.begin() + static_cast<long>(at + 10 + n));
    at += 10 + n;
    return ::testing::AssertionSuccess();
}

// Inflates the frame's raw deflate data as the printer does, with 1024 bytes
// of history: one output byte per call, so that no match may reach further
// back than the window. The data must end exactly where the Adler-32 begins,
// and the Adler-32 (most significant byte first) must be zlib's for the image.
::testing::AssertionResult Decode(const Frame& frame, Bytes& image) {
    z_stream s{};
    if (inflateInit2(&s, -10) != Z_OK)
        return ::testing::AssertionFailure() << "inflateInit2 failed";
    const size_t dataLength = frame.stream.size() - 4;
    s.next_in = const_cast<Bytef*>(frame.stream.data());
    s.avail_in = static_cast<uInt>(dataLength);
    image.clear();
    int rc = Z_OK;
    while (rc == Z_OK) {
        uint8_t byte;
        s.next_out = &byte;
        s.avail_out = 1;
        rc = inflate(&s, Z_NO_FLUSH);
        if (s.avail_out == 0)
            image.push_back(byte);
    }
    const uLong consumed = s.total_in;
    const std::string msg = s.msg ? s.msg : "";
    inflateEnd(&s);
    if (rc != Z_STREAM_END)
        return ::testing::AssertionFailure() << "inflate returned " << rc << " " << msg;
    if (consumed != dataLength)
        return ::testing::AssertionFailure() << "deflate data end at " << consumed << ", Adler-32 at " << dataLength;
    const uLong adler = adler32(adler32(0, nullptr, 0), image.data(), static_cast<uInt>(image.size()));
    if (BigEndian32(frame.stream.data() + dataLength) != adler)
        return ::testing::AssertionFailure() << "Adler-32 " << Hex(frame.stream.data() + dataLength, 4);
    return ::testing::AssertionSuccess();
}

Bytes Slice(const Bytes& out, size_t from, size_t to) {
    return Bytes(out.begin() + static_cast<long>(std::min(from, out.size())),
                 out.begin() + static_cast<long>(std::min(to, out.size())));
}

// As a job whose PPD leaves "Darkness" at its default: no density command.
struct Solvane : CaptureHost<CPrinterSolvane> {
    Solvane() { m_RegStruct.iDensity = -1; }
};

TEST(SolvaneRenderer, DefaultPageIsSetupImageCutLineAndEnd) {
    RasterPage page = MakeBitPage(384, 100, Weave);
    FilterResult r = RunModelJob(24, {page});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.ErrLines("ERROR").empty()) << r.err;
    Bytes expected = Concat({SetupCommands(0x01),
                             kCentre,
                             {0x1D, 0x76, 0x30, 0x00, 0x30, 0x00, 0x64, 0x00},
                             PrinterRows(page, 48),
                             kCutLine,
                             kEnd});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

struct DensityCase {
    const char* darkness;
    Bytes command;
};

class SolvaneDensity : public ::testing::TestWithParam<DensityCase> {};

TEST_P(SolvaneDensity, DarknessFollowsTheSetup) {
    RasterPage page = MakeBitPage(64, 10, Weave);
    FilterResult r = RunModelJob(24, {page}, {{"Darkness", GetParam().darkness}});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes expected = Concat(
        {SetupCommands(0x01), GetParam().command, kCentre, GsV0Header(0, 8, 10), PrinterRows(page, 8), kCutLine, kEnd});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

INSTANTIATE_TEST_SUITE_P(Darkness, SolvaneDensity,
                         ::testing::Values(DensityCase{"Default", {}}, DensityCase{"-1", {}},
                                           DensityCase{"0", {0x10, 0xFF, 0x10, 0x00, 0x00}},
                                           DensityCase{"3", {0x10, 0xFF, 0x10, 0x00, 0x03}},
                                           DensityCase{"5", {0x10, 0xFF, 0x10, 0x00, 0x05}},
                                           DensityCase{"8", {0x10, 0xFF, 0x10, 0x00, 0x05}}));

struct MediaCase {
    const char* tracking;
    uint8_t paperType;
    Bytes tail;  // between the image and the end command
};

class SolvaneMedia : public ::testing::TestWithParam<MediaCase> {};

TEST_P(SolvaneMedia, MediaChoosesPaperTypeAndPaperMovement) {
    RasterPage page = MakeBitPage(64, 10, Weave);
    FilterResult r = RunModelJob(24, {page}, {{"zeMediaTracking", GetParam().tracking}});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes expected = Concat({SetupCommands(GetParam().paperType), kCentre, GsV0Header(0, 8, 10), PrinterRows(page, 8),
                             GetParam().tail, kEnd});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

INSTANTIATE_TEST_SUITE_P(Tracking, SolvaneMedia,
                         ::testing::Values(MediaCase{"Continuous", 0x01, kCutLine},
                                           MediaCase{"A4Stock", 0x01, kCutLine}, MediaCase{"Gap", 0x02, kFeedToMark},
                                           MediaCase{"BLine", 0x00, kFeedToMark},
                                           MediaCase{"BLine_Fold", 0x00, kFeedToMark},
                                           MediaCase{"Perforated", 0x03, kFeedToMark},
                                           MediaCase{"Roll", 0x01, kCutLine}));

bool MiddleRowsOnly(unsigned x, unsigned y) { return y >= 10 && y < 30 && Weave(x, y); }

// Recording paper starts and stops at the printed content.
TEST(SolvaneRenderer, RecordingMediaCropsWhiteRowsBeforeThePage) {
    RasterPage page = MakeBitPage(64, 40, MiddleRowsOnly);
    FilterResult r = RunModelJob(24, {page}, {{"zeMediaTracking", "Recording"}});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes expected = Concat({SetupCommands(0x01), kCentre, GsV0Header(0, 8, 20), PrinterRows(page, 8, 10, 20), kEnd});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

TEST(SolvaneRenderer, FeedsSurroundTheImageInOrder) {
    const Bytes feed10 = {0x1B, 0x4A, 0x4F}, feed33 = {0x1B, 0x4A, 0xFF, 0x1B, 0x4A, 0x08};
    struct Case {
        int media, preFeed, postFeed;
        Bytes before, after;
    };
    for (const Case& c :
         {Case{0, 10, 33, feed10, Concat({feed33, kCutLine})}, Case{1, 0, 10, {}, Concat({kFeedToMark, feed10})},
          Case{3, 33, 0, feed33, kFeedToMark}, Case{5, -1, -1, {}, {}}}) {
        Solvane host;
        host.m_RegStruct.iMediaType = c.media;
        host.m_RegStruct.iPreFeed = c.preFeed;
        host.m_RegStruct.iPostFeed = c.postFeed;
        // Every row starts with a black pixel: a recording page has nothing to crop.
        Bytes rows, printed;
        for (int y = 0; y < 10; y++) {
            rows.insert(rows.end(), {0x7F, 0xFF});
            printed.insert(printed.end(), {0x80, 0x00});
        }
        host.SetPage(16, 10, rows);
        host.OnPaintBmp();
        const uint8_t type = c.media == 1 ? 0x02 : c.media == 3 ? 0x03 : 0x01;
        Bytes expected = Concat({SetupCommands(type), kCentre, c.before, GsV0Header(0, 2, 10), printed, c.after, kEnd});
        ASSERT_EQ(host.writes.size(), 1u) << "media " << c.media;
        EXPECT_EQ(DiffBytes(expected, host.writes[0]), "") << "media " << c.media;
    }
}

TEST(SolvaneRenderer, NothingIsSentAtTheStartOrEndOfTheJob) {
    Solvane host;
    host.m_RegStruct.iCutMode = 1;  // the ESC/POS end-of-job cut does not apply
    host.m_RegStruct.iMoneyBox = 1;
    host.OnStartDoc(0);
    host.OnInit();
    host.SetPage(8, 1, {0x7F});
    host.OnPaintBmp();
    host.OnEndDoc();
    ASSERT_EQ(host.writes.size(), 1u);
    EXPECT_EQ(
        DiffBytes(Concat({SetupCommands(0x01), kCentre, GsV0Header(0, 1, 1), {0x80}, kCutLine, kEnd}), host.writes[0]),
        "");
}

// The ESC/POS page routine reaches every command through the virtual table.
TEST(SolvaneRenderer, EscposPageRoutineUsesTheSolvaneCommands) {
    Solvane host;
    host.m_HalfTone.ImageCompress = true;
    host.SetPage(8, 1, {0x7F});
    CPrinterESCPOS& escpos = host;
    escpos.CPrinterESCPOS::OnPaintBmp();
    ASSERT_EQ(host.writes.size(), 1u);
    const Bytes& out = host.writes[0];
    EXPECT_EQ(DiffBytes(Concat({SetupCommands(0x01), kCentre}), Slice(out, 0, 15)), "");
    size_t at = 15;
    Frame frame;
    ASSERT_TRUE(ReadFrame(out, at, frame));
    Bytes image;
    ASSERT_TRUE(Decode(frame, image));
    EXPECT_EQ(DiffBytes({0x80}, image), "");
    EXPECT_EQ(DiffBytes(kEnd, Slice(out, at, out.size())), "");
}

TEST(SolvaneRenderer, CompressedFrameCarriesTheImageWithAdler32) {
    RasterPage page = MakeBitPage(384, 100, Weave);
    FilterResult r = RunModelJob(24, {page}, {{"ImageCompress", "1"}});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        DiffBytes(Concat({SetupCommands(0x01), kCentre, {0x1F, 0x00, 0x00, 0x30, 0x00, 0x64}}), Slice(r.out, 0, 21)),
        "");
    size_t at = 15;
    Frame frame;
    ASSERT_TRUE(ReadFrame(r.out, at, frame));
    Bytes image;
    ASSERT_TRUE(Decode(frame, image));
    EXPECT_EQ(DiffBytes(PrinterRows(page, 48), image), "");
    EXPECT_EQ(DiffBytes(Concat({kCutLine, kEnd}), Slice(r.out, at, r.out.size())), "");
}

TEST(SolvaneRenderer, CompressorIsSetUpForTheOneKilobyteWindow) {
    g_zlib = ZlibProbe();
    Solvane host;
    host.m_HalfTone.ImageCompress = true;
    host.SetPage(8, 1, {0x7F});
    host.OnPaintBmp();
    EXPECT_EQ(g_zlib.initCalls, 1);
    EXPECT_EQ(g_zlib.level, Z_DEFAULT_COMPRESSION);
    EXPECT_EQ(g_zlib.method, Z_DEFLATED);
    EXPECT_EQ(g_zlib.windowBits, 10);
    EXPECT_EQ(g_zlib.memLevel, 8);
    EXPECT_EQ(g_zlib.strategy, Z_DEFAULT_STRATEGY);
    EXPECT_EQ(g_zlib.version, ZLIB_VERSION);
    EXPECT_EQ(g_zlib.streamSize, static_cast<int>(sizeof(z_stream)));
}

// Rows repeating every 1250 bytes: a compressor with a larger window would
// match across them, which the printer's 1024-byte history cannot follow.
bool RowNoise(unsigned x, unsigned y) {
    uint32_t h = (x + 1) * 2654435761u ^ ((y % 5) + 1) * 40503u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return (h >> 15) & 1;
}

struct CapCase {
    unsigned width, dpi, rowBytes;
    bool (*black)(unsigned, unsigned);
};

class SolvaneCompressedWidth : public ::testing::TestWithParam<CapCase> {};

TEST_P(SolvaneCompressedWidth, RowsAreCutToTheHeadWidth) {
    const CapCase& c = GetParam();
    RasterPage page = MakeBitPage(c.width, 40, c.black, c.dpi);
    FilterResult r = RunModelJob(24, {page}, {{"ImageCompress", "1"}});
    ASSERT_EQ(r.status, 0) << r.err;
    size_t at = 15;
    Frame frame;
    ASSERT_TRUE(ReadFrame(r.out, at, frame));
    EXPECT_EQ(frame.widthBytes, c.rowBytes);
    EXPECT_EQ(frame.height, 40u);
    Bytes image;
    ASSERT_TRUE(Decode(frame, image));
    EXPECT_EQ(DiffBytes(PrinterRows(page, c.rowBytes), image), "");
    EXPECT_EQ(DiffBytes(Concat({kCutLine, kEnd}), Slice(r.out, at, r.out.size())), "");
}

INSTANTIATE_TEST_SUITE_P(Caps, SolvaneCompressedWidth,
                         ::testing::Values(CapCase{2000, 203, 208, Weave}, CapCase{2000, 300, 250, RowNoise},
                                           CapCase{2600, 300, 312, Weave}, CapCase{1664, 203, 208, RowNoise},
                                           CapCase{385, 203, 49, Weave}));

TEST(SolvaneRenderer, PlainPagesAreNotCapped) {
    RasterPage page = MakeBitPage(2000, 3, Weave);
    FilterResult r = RunModelJob(24, {page});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes expected =
        Concat({SetupCommands(0x01), kCentre, GsV0Header(0, 250, 3), PrinterRows(page, 250), kCutLine, kEnd});
    EXPECT_EQ(DiffBytes(expected, r.out), "");
}

TEST(SolvaneRenderer, CompressedPageTallerThan65535RowsIsSplitInOrder) {
    RasterPage page = MakeBitPage(8, 70000, Weave);
    FilterResult r = RunModelJob(24, {page}, {{"ImageCompress", "1"}});
    ASSERT_EQ(r.status, 0) << r.err;
    size_t at = 15;
    Frame first, second;
    ASSERT_TRUE(ReadFrame(r.out, at, first));
    ASSERT_TRUE(ReadFrame(r.out, at, second));
    EXPECT_EQ(first.widthBytes, 1u);
    EXPECT_EQ(first.height, 65535u);
    EXPECT_EQ(second.widthBytes, 1u);
    EXPECT_EQ(second.height, 4465u);
    Bytes top, bottom;
    ASSERT_TRUE(Decode(first, top));
    ASSERT_TRUE(Decode(second, bottom));
    EXPECT_EQ(DiffBytes(PrinterRows(page, 1, 0, 65535), top), "");
    EXPECT_EQ(DiffBytes(PrinterRows(page, 1, 65535, 4465), bottom), "");
    EXPECT_EQ(DiffBytes(Concat({kCutLine, kEnd}), Slice(r.out, at, r.out.size())), "");
}

TEST(SolvaneRenderer, PlainPageTallerThan65535RowsIsSplitInOrder) {
    Solvane host;
    host.SetPage(8, 65536, Bytes(65536, 0x7F));
    host.OnPaintBmp();
    Bytes expected = Concat({SetupCommands(0x01),
                             kCentre,
                             GsV0Header(0, 1, 65535),
                             Bytes(65535, 0x80),
                             GsV0Header(0, 1, 1),
                             {0x80},
                             kCutLine,
                             kEnd});
    EXPECT_EQ(DiffBytes(expected, host.spooled), "");
}

// A failed compression sends no frame, says so, and the page still ends properly.
TEST(SolvaneRenderer, FailedCompressionIsReportedAndThePageGoesOn) {
    for (ZlibFault fault : {ZlibFault::Init, ZlibFault::Deflate}) {
        Solvane host;
        host.m_HalfTone.ImageCompress = true;
        host.m_RegStruct.iMediaType = 1;
        host.SetPage(16, 2, {0x7F, 0xFF, 0xFF, 0xFF});
        {
            ZlibFailure failing(fault);
            host.OnPaintBmp();
        }
        ASSERT_EQ(host.writes.size(), 1u);
        EXPECT_EQ(DiffBytes(Concat({SetupCommands(0x02), kCentre, kFeedToMark, kEnd}), host.writes[0]), "");
        EXPECT_EQ(host.errors.size(), 1u);
    }
}

TEST(SolvaneRenderer, PlainPageWiderThan65535BytesIsRefusedWithError) {
    Solvane host;
    host.SetPage(65536 * 8 + 1, 1, Bytes(65537, 0xFF));
    host.OnPaintBmp();
    EXPECT_TRUE(host.writes.empty());
    EXPECT_EQ(host.errors.size(), 1u);
}

TEST(SolvaneRenderer, BlackPixelIsSentAsSetBit) {
    Solvane host;
    host.SetPage(10, 1, {0xBF, 0xFF});  // pixel 1 black
    host.OnPaintBmp();
    Bytes expected = Concat({SetupCommands(0x01), kCentre, GsV0Header(0, 2, 1), {0x40, 0x00}, kCutLine, kEnd});
    EXPECT_EQ(DiffBytes(expected, host.spooled), "");
}

}  // namespace

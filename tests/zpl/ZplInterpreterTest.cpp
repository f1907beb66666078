#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "ZplPictures.h"
#include "zpl/ZplCharsets.h"
#include "zpl/ZplParams.h"
#include "zpl/ZplReader.h"

using namespace zpl_testing;

namespace {

std::vector<zpl::ZplCommand> Commands(const std::string& text, size_t limit = 1 << 20) {
    std::vector<zpl::ZplCommand> out;
    zpl::ZplReader reader(limit);
    const auto sink = [&](const zpl::ZplCommand& c) { out.push_back(c); };
    reader.Feed(text.data(), text.size(), sink);
    reader.Finish(sink);
    return out;
}

std::string Names(const std::vector<zpl::ZplCommand>& commands) {
    std::string out;
    for (const zpl::ZplCommand& c : commands)
        out += (out.empty() ? "" : " ") + std::string(1, c.prefix) + c.name + (c.params.empty() ? "" : "=" + c.params);
    return out;
}

}  // namespace

TEST(ZplReader, SplitsCommandsAsPrintersRead) {
    struct Case {
        const char* zpl;
        const char* commands;
    } cases[] = {
        {"^XA^FO10,20^FDHi^FS^XZ", "^XA ^FO=10,20 ^FD=Hi ^FS ^XZ"},
        {"^xa^AdN,,9^fdx^fs", "^XA ^AD=N,,9 ^FD=x ^FS"},
        {"^XA\r\n^FO1,\r\n2^FS\r\n", "^XA ^FO=1,2 ^FS"},
        {"CT~~CD,~CC^~CT~\n^XA^XZ", "~CD=, ~CC=^ ~CT=~ ^XA ^XZ"},
        {"^XA^CC-\n-FO5,5-FD#^~-FS-CC^^XZ", "^XA ^CC=- ^FO=5,5 ^FD=#^ ^FS ^CC=^ ^XZ"},
        {"^XA~SD15^A@N,20^FX a comment^XZ", "^XA ~SD=15 ^A@=N,20 ^FX= a comment ^XZ"},
        {"^CD;^FO1;2^XZ", "^CD=; ^FO=1;2 ^XZ"},
        {"junk before^XA", "^XA"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Names(Commands(c.zpl)), c.commands) << c.zpl;
}

TEST(ZplReader, ReadsBinaryGraphicDataByItsByteCount) {
    const std::string data("^XA^GFB,3,3,1,\x5E\x7E\x00^FS^XZ", 23);
    const auto commands = Commands(data);
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[1].name, "GF");
    EXPECT_EQ(commands[1].params, std::string("B,3,3,1,\x5E\x7E\x00", 11));
}

TEST(ZplReader, CutsOverlongCommandsAndSaysSo) {
    const auto commands = Commands("^FD" + std::string(100, 'x') + "^FS", 10);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_TRUE(commands[0].truncated);
    EXPECT_EQ(commands[0].params.size(), 10u);
}

TEST(ZplParams, ReadsNumbersAsCarriersWriteThem) {
    const zpl::ZplParams p("18.64,81.5,B50,,x,-3", ',');
    struct Case {
        size_t index;
        int value;
    } cases[] = {{0, 19}, {1, 82}, {2, 50}, {3, 7}, {4, 7}, {5, -3}, {9, 7}};
    for (const Case& c : cases)
        EXPECT_EQ(p.Int(c.index, 7), c.value) << c.index;
    EXPECT_EQ(p.Letter(4, '?'), 'X');
    EXPECT_FALSE(p.Has(3));
    EXPECT_EQ(zpl::ZplParams("A,3,3,1,a,b", ',', 5).Text(4), "a,b");
    EXPECT_EQ(zpl::StoredName("r:logo.grf"), "LOGO");
}

TEST(ZplCharsets, DecodesTheCharacterSetsCarriersUse) {
    struct Case {
        std::string bytes;
        int charset;
        std::u32string text;
    } cases[] = {
        {"A\x82", 13, U"A\u00E9"},  // code page 850
        {"\x80", 27, U"\u20AC"},    // code page 1252
        {"\xC3\xA4\xE2\x82\xAC", 28, U"\u00E4\u20AC"},
        {"\xC3", 28, U"\uFFFD"},      // cut UTF-8
        {"#\\", 2, U"\u00A3\u00A2"},  // national substitutions
        {"#\\", 13, U"#\\"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(zpl::DecodeText(c.bytes, c.charset), c.text) << c.bytes;
    EXPECT_EQ(zpl::ResolveHexEscapes("_41_4a_x_4", '_'), "AJ_x_4");
}

TEST(ZplInterpreter, DrawsTheSameLabelsWhateverThePieces) {
    const std::string zpl = ReadText(LabelsDir() + "/templating.zpl") + ReadText(LabelsDir() + "/reverse.zpl");
    const Drawn whole = DrawZpl(zpl);
    ASSERT_EQ(whole.labels.size(), 3u);
    for (size_t piece : {1, 2, 3, 7, 64}) {
        const Drawn pieces = DrawZpl(zpl, {}, piece);
        ASSERT_EQ(pieces.labels.size(), whole.labels.size()) << piece;
        for (size_t i = 0; i < whole.labels.size(); i++) {
            EXPECT_EQ(DifferingDots(pieces.labels[i].page, whole.labels[i].page), 0) << piece;
            EXPECT_EQ(pieces.labels[i].fields, whole.labels[i].fields) << piece;
        }
    }
}

TEST(ZplInterpreter, LogsEachUnknownCommandOnce) {
    const Drawn drawn = DrawZpl("^XA^QQ1^QQ2~QQ^FO1,1^GB5,5,5^FS^XZ^XA^QQ^XZ");
    EXPECT_EQ(drawn.labels.size(), 2u);
    EXPECT_EQ(std::count(drawn.log.begin(), drawn.log.end(), "ZPL command ^QQ is not supported; skipped"), 1);
    EXPECT_EQ(std::count(drawn.log.begin(), drawn.log.end(), "ZPL command ~QQ is not supported; skipped"), 1);
}

TEST(ZplInterpreter, KeepsWhatTheLabelAsksOfThePrinter) {
    const Drawn drawn = DrawZpl("~SD25^XA^PQ3^MD-5^PR4^MNM^MMC^MTD^PW400^LL300^XZ^XA^XZ");
    ASSERT_EQ(drawn.labels.size(), 2u);
    const zpl::Label& l = drawn.labels[0];
    EXPECT_EQ(l.settings.copies, 3);
    EXPECT_EQ(l.settings.darkness, 25);
    EXPECT_EQ(l.settings.darknessChange, -5);
    EXPECT_EQ(l.settings.speed, 4);
    EXPECT_EQ(l.settings.tracking, 'M');
    EXPECT_EQ(l.settings.mode, 'C');
    EXPECT_EQ(l.settings.mediaType, 'D');
    EXPECT_EQ(l.printWidth, 400);
    EXPECT_EQ(l.page.Width(), 400);
    EXPECT_EQ(l.page.Height(), 300);
    EXPECT_EQ(drawn.labels[1].settings.copies, 1);
    EXPECT_EQ(drawn.labels[1].settings.mediaType, 'D');
    EXPECT_EQ(drawn.labels[1].number, 2);
}

TEST(ZplInterpreter, RefusesWhatIsOverItsLimitsAndDrawsTheNextLabel) {
    zpl::InterpreterOptions options;
    options.maxFieldBytes = 1000;
    options.maxGraphicBytes = 1000;
    options.maxStoredBytes = 2000;
    const std::string next = "^XA^PW200^LL200^FO0,0^GB10,10,10^FS^XZ";
    std::string manyFields;  // a format bigger than all that may be stored
    for (int i = 0; i < 100; i++)
        manyFields += "^FO1,1^FDxx^FS";
    struct Case {
        std::string zpl;
        const char* says;
    } cases[] = {
        {"^XA^PW100000^LL100000^FO0,0^GB5,5,5^FS^XZ", "over the limit"},
        {"^XA^FO0,0^FD" + std::string(5000, 'x') + "^FS^XZ", "over the limit of 1000 bytes"},
        {"~DGR:BIG.GRF,4000,10," + std::string(8000, 'F') + "^XA^XGR:BIG.GRF^FS^XZ", "is not stored"},
        {"^XA^FO0,0^GFA,4000,4000,10," + std::string(8000, 'F') + "^FS^XZ", "is not drawn"},
        {"^XA^DFR:BIG.ZPL^FS" + manyFields + "^XZ", "the format BIG is not stored"},
        // Counts beyond any integer are refused as too large, never converted.
        {"~DGR:HUGE.GRF,1e113,1e49,FF^XA^XGR:HUGE.GRF^FS^XZ", "the graphic HUGE (~DG) is not stored"},
        {"^XA^FO0,0^GFA,1e113,1e113,1e49,FF^FS^XZ", "is not drawn"},
        // Fonts beyond ZPL's 32000 dots, and text larger than the canvas, are not drawn.
        {"^XA^FO0,0^A0N,1e25,1e25^FDAB^FS^XZ", "a text field is larger than"},
        {"^XA^FO0,0^ADN,32000,32000^FDABC^FS^XZ", "a text field is larger than"},
        {"^XA^FO0,0^A0N,900,900^FB1e9,9999,1e9^FDA B^FS^XZ", "a text field is larger than"},
        {"^XA^FO0,0^GD1e9,1e9,1^FS^XZ", "a diagonal line (^GD) is larger than"},
        {"^XA^FO0,0^GSN,20000,20000^FD" + std::string(200, ' ') + "A^FS^XZ", "a symbol (^GS) is larger than"},
    };
    for (const Case& c : cases) {
        const Drawn drawn = DrawZpl(c.zpl + next, options);
        ASSERT_FALSE(drawn.labels.empty()) << c.says;
        const zpl::Label& last = drawn.labels.back();
        EXPECT_EQ(BlackDots(last.page), 100) << c.says;
        std::string all;
        for (const std::string& line : drawn.log)
            all += line + "\n";
        EXPECT_NE(all.find(c.says), std::string::npos) << c.says << "\n" << all;
    }
}

// What CUPS and lprint send after each label, and an empty format: nothing
// to print, so no label in any host.
TEST(ZplInterpreter, AFormatThatDrawsNothingPrintsNoLabel) {
    const Drawn drawn = DrawZpl("^XA^PW8^LL1^FO0,0^GB8,1,1^FS^XZ^XA^IDR:A.GRF^FS^XZ^XA^XZ");
    ASSERT_EQ(drawn.labels.size(), 3u);
    EXPECT_TRUE(zpl::PrintsALabel(drawn.labels[0]));
    EXPECT_FALSE(zpl::PrintsALabel(drawn.labels[1]));
    EXPECT_FALSE(zpl::PrintsALabel(drawn.labels[2]));
}

TEST(ZplInterpreter, StopsAtItsLabelLimit) {
    zpl::InterpreterOptions options;
    options.maxLabels = 1000;
    std::string zpl;
    for (int i = 0; i < 100000; i++)
        zpl += "^XA^XZ";
    const Drawn drawn = DrawZpl(zpl, options, 4096);
    EXPECT_EQ(drawn.labels.size(), 1000u);
    EXPECT_EQ(drawn.log.size(), 1u);
}

TEST(ZplInterpreter, DrawsAnUnclosedLabelAndSaysSo) {
    const Drawn drawn = DrawZpl("^XA^FO0,0^GB10,10,10^FS");
    ASSERT_EQ(drawn.labels.size(), 1u);
    EXPECT_EQ(BlackDots(drawn.labels[0].page), 100);
    ASSERT_EQ(drawn.labels[0].problems.size(), 1u);
    EXPECT_NE(drawn.labels[0].problems[0].find("no ^XZ"), std::string::npos);
}

// A format written for another resolution scales by dpi / sourceDpi; one
// whose ^MU d,a,b says what it was written for scales by b / a instead.
TEST(ZplInterpreter, ScalesAFormatWrittenForAnotherResolution) {
    const struct {
        const char* zpl;
        int sourceDpi;
        long black;
        int corner;  // the box's top left dot, on the diagonal
    } kCases[] = {
        {"^XA^FO10,10^GB20,10,10^FS^XZ", 200, 30 * 15, 15},
        {"^XA^MUd,150,300^FO10,10^GB20,10,10^FS^XZ", 203, 40 * 20, 20},
    };
    for (const auto& c : kCases) {
        zpl::InterpreterOptions options;
        options.dpi = 300;
        options.sourceDpi = c.sourceDpi;
        const Drawn drawn = DrawZpl(c.zpl, options);
        ASSERT_EQ(drawn.labels.size(), 1u) << c.zpl;
        EXPECT_EQ(BlackDots(drawn.labels[0].page), c.black) << c.zpl;
        EXPECT_TRUE(drawn.labels[0].page.Dot(c.corner, c.corner)) << c.zpl;
        EXPECT_FALSE(drawn.labels[0].page.Dot(c.corner - 1, c.corner)) << c.zpl;
    }
}

// The host's media stands in for what ^PW and ^LL do not say.
TEST(ZplInterpreter, DrawsOnTheFallbackCanvasWhereTheLabelNamesNone) {
    zpl::InterpreterOptions options;
    options.fallbackWidth = 300;
    options.fallbackHeight = 200;
    const struct {
        const char* zpl;
        int width, height;
    } kCases[] = {{"^XA^XZ", 300, 200}, {"^XA^PW100^XZ", 100, 200}, {"^XA^LL50^XZ", 300, 50}};
    for (const auto& c : kCases) {
        const Drawn drawn = DrawZpl(c.zpl, options);
        ASSERT_EQ(drawn.labels.size(), 1u) << c.zpl;
        EXPECT_EQ(drawn.labels[0].page.Width(), c.width) << c.zpl;
        EXPECT_EQ(drawn.labels[0].page.Height(), c.height) << c.zpl;
    }
}

TEST(ZplInterpreter, TurnsTheLabelWithPrintOrientation) {
    const Drawn drawn = DrawZpl("^XA^PW100^LL50^POI^FO0,0^GB10,10,10^FS^XZ");
    ASSERT_EQ(drawn.labels.size(), 1u);
    EXPECT_TRUE(drawn.labels[0].page.Dot(99, 49));
    EXPECT_FALSE(drawn.labels[0].page.Dot(0, 0));
}

TEST(ZplInterpreter, RecognisesZplStreams) {
    struct Case {
        const char* data;
        bool zpl;
    } cases[] = {
        {"^XA^FO1,1^XZ", true},      {"\r\n  ~SD20", true}, {"CT~~CD,~CC^~CT~\n^XA", true},
        {"~DGR:A.GRF,1,1,00", true}, {"^CC!!XA!XZ", true},  {"%PDF-1.4", false},
        {"SIZE 4,6\r\n", false},     {"\x1b@hello", false}, {"^ZZ", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(zpl::LooksLikeZpl(c.data, std::strlen(c.data)), c.zpl) << c.data;
}

TEST(ZplInterpreter, SurvivesDamagedLabels) {
    // Reference labels with bytes changed, dropped and repeated: never a crash.
    std::vector<std::string> sources;
    for (const char* name : {"templating", "text_fallback_default", "mu_millimeters", "reverse_qr", "ean13"})
        sources.push_back(ReadText(LabelsDir() + "/" + name + ".zpl"));
    uint32_t seed = 12345;
    const auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    const char kNoise[] = "^~,.0123456789-:ABCFGNRXZ\\&_";
    for (int round = 0; round < 300; round++) {
        std::string zpl = sources[round % sources.size()];
        for (int k = 0; k < 8; k++) {
            const size_t at = next() % zpl.size();
            switch (next() % 3) {
                case 0:
                    zpl[at] = kNoise[next() % (sizeof kNoise - 1)];
                    break;
                case 1:
                    zpl.erase(at, next() % 16);
                    break;
                default:
                    zpl.insert(at, zpl.substr(next() % zpl.size(), next() % 32));
                    break;
            }
        }
        zpl::InterpreterOptions options;
        options.maxCanvasDots = 4 << 20;
        const Drawn drawn = DrawZpl(zpl, options, 1 + round % 50);
        EXPECT_LE(drawn.labels.size(), 10u);
    }
}

// Text fields end to end: where lines land, how blocks wrap and how big the
// fonts are, read from the ink on the page.
#include <gtest/gtest.h>

#include "ZplPictures.h"
#include "zpl/ZplText.h"

using namespace zpl_testing;

namespace {

InkBox InkOf(const std::string& zpl) {
    const Drawn drawn = DrawZpl("^XA^PW600^LL600" + zpl + "^XZ");
    EXPECT_EQ(drawn.labels.size(), 1u);
    return drawn.labels.empty() ? InkBox{1, 1, 0, 0} : Ink(drawn.labels[0].page);
}

}  // namespace

TEST(ZplText, PlacesTextByItsTopOrItsBaseline) {
    struct Case {
        const char* zpl;
        int left, top, right, bottom;  // -1: not checked
    } cases[] = {
        // Capitals fill the cell's top three quarters; ^FT names the baseline.
        // The first glyph starts its side bearing and half the room around
        // it after the origin.
        {"^FO100,100^A0N,40,40^FDHEH^FS", 103, 100, -1, 130},
        {"^FT100,130^A0N,40,40^FDHEH^FS", 103, -1, -1, 130},
        // Turned fields: ^FO is the top left of the turned box, 40 dots
        // across, the capitals' tops to the right (R) or the left (B).
        {"^FO100,100^A0R,40,40^FDHEH^FS", 110, 103, 139, -1},
        {"^FO100,100^A0B,40,40^FDHEH^FS", 100, -1, 129, -1},
        // Fixed cells: font D doubled is 36 dots tall, capitals 28 of them.
        {"^FO50,50^ADN,36,20^FDHH^FS", 50, 50, 50 + 24 + 19, 50 + 27},
    };
    for (const Case& c : cases) {
        const InkBox box = InkOf(c.zpl);
        if (c.left >= 0) {
            EXPECT_NEAR(box.left, c.left, 3) << c.zpl;
        }
        if (c.top >= 0) {
            EXPECT_NEAR(box.top, c.top, 2) << c.zpl;
        }
        if (c.right >= 0) {
            EXPECT_NEAR(box.right, c.right, 3) << c.zpl;
        }
        if (c.bottom >= 0) {
            EXPECT_NEAR(box.bottom, c.bottom, 2) << c.zpl;
        }
    }
}

// Lines the reference viewer's pictures hold, first and last ink columns
// and the capitals' rows: the room the viewer leaves glyph by glyph.
TEST(ZplText, LinesSpanWhatTheReferenceViewerDraws) {
    struct Case {
        const char* zpl;
        int left, top, right, bottom;
    } cases[] = {
        {"^FO30,30^A0N,,28^FDGOGREEN^FS", 31, 29, 138, 51},
        {"^CF0,25^FO30,30^FDTEST MERCHANT^FS", 31, 29, 203, 47},
        {"^FO10,200^FB380,2,,C^A0,40^FDSecond line of text^FS", 51, 199, 349, 230},
    };
    for (const Case& c : cases) {
        const InkBox box = InkOf(c.zpl);
        EXPECT_NEAR(box.left, c.left, 1) << c.zpl;
        EXPECT_NEAR(box.top, c.top, 1) << c.zpl;
        EXPECT_NEAR(box.right, c.right, 1) << c.zpl;
        EXPECT_NEAR(box.bottom, c.bottom, 1) << c.zpl;
    }
}

// Accents over capitals reach above the field's top: ^FO and ^FT place the
// capitals as they place them without.
TEST(ZplText, DrawsAccentsAboveTheLine) {
    for (const char* origin : {"^FO100,100", "^FT100,130"}) {
        const InkBox plain = InkOf(std::string("^CI28") + origin + "^A0N,40,40^FDA^FS");
        const InkBox accented = InkOf(std::string("^CI28") + origin + "^A0N,40,40^FD\xc3\x84^FS");
        EXPECT_EQ(plain.bottom, accented.bottom) << origin;
        EXPECT_LT(accented.top, plain.top - 4) << origin;
    }
    // Turned half a turn, the accent hangs below the box the capital keeps.
    const InkBox plain = InkOf("^CI28^FO100,100^A0I,40,40^FDA^FS");
    const InkBox accented = InkOf("^CI28^FO100,100^A0I,40,40^FD\xc3\x84^FS");
    EXPECT_EQ(plain.top, accented.top);
    EXPECT_GT(accented.bottom, plain.bottom + 4);
}

// Characters the viewer draws in another form than the free face's: the
// registered mark and the ordinals small, their tops on the capitals'.
TEST(ZplText, DrawsSmallRaisedMarks) {
    struct Case {
        const char* text;
        int height, width;  // of the ink, font 0 at 65 x 55 dots
    } cases[] = {{"\xc2\xae", 30, 25}, {"\xc2\xaa", 26, 15}, {"\xc2\xba", 26, 17}};
    const InkBox capital = InkOf("^CI28^FO100,100^A0N,65,55^FDH^FS");
    for (const Case& c : cases) {
        const InkBox box = InkOf(std::string("^CI28^FO100,100^A0N,65,55^FD") + c.text + "^FS");
        EXPECT_NEAR(box.top, capital.top, 1) << c.text;
        EXPECT_NEAR(box.bottom - box.top + 1, c.height, 2) << c.text;
        EXPECT_NEAR(box.right - box.left + 1, c.width, 2) << c.text;
    }
}

// ^GS without a size: as tall and wide as the mean of the last font's
// height and width (the trademark's ink is 57 x 30 of its 72 dot cell).
TEST(ZplText, SizesSymbolsByTheLastFont) {
    const InkBox box = InkOf("^FO200,100^A0N,30,20^GS^FDC^FS");
    EXPECT_NEAR(box.right - box.left + 1, 25 * 57 / 72, 1);
    EXPECT_NEAR(box.bottom - box.top + 1, 25 * 30 / 72, 1);
}

TEST(ZplText, ContinuesAfterThePreviousFieldWithoutAPosition) {
    const Drawn drawn = DrawZpl("^XA^FT10,100^A0N,30,30^FDAB^FS^FT^A0N,30,30^FDCD^FS^XZ");
    ASSERT_EQ(drawn.labels.size(), 1u);
    const auto& fields = drawn.labels[0].fields;
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0].substr(0, 21), "text 0 30x30 at 10,10");
    EXPECT_EQ(fields[1].find("at 10,"), std::string::npos) << fields[1];
    EXPECT_NE(fields[1].find(",100: CD"), std::string::npos) << fields[1];
}

TEST(ZplText, WrapsBlocksAtSpacesAndLineBreaks) {
    zpl::ZplFonts fonts(1.0, size_t(64) << 20);
    const zpl::FontRequest font{'A', 9, 5};  // 6 dots a character
    struct Case {
        std::u32string text;
        zpl::TextBlock block;
        int width, height;  // of the ink
    } cases[] = {
        // Three words in a block two words wide: two lines.
        {U"AAA BBB CCC", {42, 3, 0, 'L', 0}, 6 * 7 - 1, 9 + 7},
        // More lines than the block has: the rest overwrite its last line.
        {U"AAA BBB CCC", {18, 2, 0, 'L', 0}, 6 * 3 - 1, 9 + 7},
        // A forced break.
        {std::u32string(U"AAA") + zpl::kLineBreak + U"B", {100, 2, 2, 'L', 0}, 6 * 3 - 1, 11 + 7},
    };
    for (const auto& c : cases) {
        const zpl::TextDrawing drawing = fonts.DrawBlock(c.text, font, c.block);
        const InkBox box = Ink(drawing.bitmap);
        EXPECT_NEAR(box.right - box.left + 1, c.width, 2);
        EXPECT_NEAR(box.bottom - box.top + 1, c.height, 2);
    }
}

TEST(ZplText, JustifiesBlockLines) {
    struct Case {
        char justify;
        int left;  // of the ink, for a 200 dot block at 100
    } cases[] = {{'L', 100}, {'C', 100 + (200 - 60) / 2}, {'R', 100 + 200 - 60}};
    for (const Case& c : cases) {
        // Ten characters of font A, six dots each: a line of 60 dots.
        const InkBox box = InkOf(std::string("^FO100,100^FB200,1,0,") + c.justify + "^AAN,9,5^FDAAAAAAAAAA^FS");
        EXPECT_NEAR(box.left, c.left, 2) << c.justify;
    }
}

TEST(ZplText, GrowsATypesetBlockUpward) {
    // Two lines 30 dots apart; ^FT names the last line's baseline.
    const InkBox box = InkOf("^FT100,300^FB400,2,0,L^A0N,30,30^FDTOP\\&BOTTOM^FS");
    EXPECT_NEAR(box.bottom, 300, 2);
    EXPECT_NEAR(box.top, 300 - 30 - 23, 3);
}

TEST(ZplText, DrawsFontNamesWithoutAFontInStandIns) {
    // ^AP: an advance of the width for every character.
    const InkBox box = InkOf("^FO10,10^APN,,30^FDMMMMMMMMMM^FS");
    EXPECT_NEAR(box.right - box.left + 1, 10 * 30, 8);
    // ^A1: an em of twice the width, lines 0.9 of it apart.
    const InkBox one = InkOf("^FO100,100^A1N,10,10^FB300,2,0,L^FDH^FS");
    const InkBox two = InkOf("^FO100,100^A1N,10,10^FB300,2,0,L^FDH\\&H^FS");
    EXPECT_EQ(two.bottom - one.bottom, 18);
}

TEST(ZplText, DrawsDownloadedFontsInTheScalableFont) {
    const Drawn drawn = DrawZpl("^XA^CWZ,E:ARIAL.TTF^FO10,10^AZN,30,30^FDA^FS^FO10,50^A@N,30,30,E:X.TTF^FDB^FS^XZ");
    ASSERT_EQ(drawn.labels.size(), 1u);
    ASSERT_EQ(drawn.labels[0].fields.size(), 2u);
    EXPECT_EQ(drawn.labels[0].fields[0].substr(0, 7), "text 0 ");
    EXPECT_EQ(drawn.labels[0].fields[1].substr(0, 7), "text 0 ");
}

TEST(ZplText, RefusesNothingForMissingHeights) {
    // ^A0 with only a width takes the width as height; ^CF's size otherwise.
    const InkBox a = InkOf("^FO10,10^A0N,,40^FDH^FS");
    const InkBox b = InkOf("^CF0,40^FO10,10^FDH^FS");
    EXPECT_EQ(a.bottom - a.top, b.bottom - b.top);
    EXPECT_NEAR(a.bottom - a.top + 1, 30, 2);
}

// Glyphs are drawn once per size and kept: a label later in a stream, its
// sizes met in another order, has the dots it has when drawn alone.
TEST(ZplText, KeptGlyphsDrawAsNewOnes) {
    const std::string first =
        "^XA^PW500^LL300^FO10,10^A0N,30,30^FDHello-World ab^FS^FO10,60^A0N,40,32^FDHello ab^FS"
        "^FO10,120^ADN,36,20^FDHello^FS^XZ";
    const std::string second =
        "^XA^PW500^LL300^FO10,10^ADN,36,20^FDWorld^FS^FO10,60^A0N,30,30^FDab-Hello^FS"
        "^FO10,120^A0N,40,40^FDHello ab^FS^FO10,170^A0N,40,32^FDba olleH^FS^XZ";
    const Drawn stream = DrawZpl(first + second + first);
    const Drawn alone = DrawZpl(second);
    ASSERT_EQ(stream.labels.size(), 3u);
    ASSERT_EQ(alone.labels.size(), 1u);
    EXPECT_GT(BlackDots(alone.labels[0].page), 1000);
    EXPECT_EQ(0, DifferingDots(stream.labels[1].page, alone.labels[0].page));
    EXPECT_EQ(0, DifferingDots(stream.labels[0].page, stream.labels[2].page));
}

// One-bit drawing a byte at a time: every dot of a source lands where a
// dot-by-dot copy puts it, at every bit offset, with each blend, clipped at
// every edge, and the bits past a source row's end are never drawn.
#include <gtest/gtest.h>

#include "zpl/ZplBitmap.h"

using zpl::Blend;
using zpl::ZplBitmap;

namespace {

// A pattern of no period a byte shares, with the padding past each row's
// last dot set, which no drawing may show.
ZplBitmap Source(int width, int height) {
    ZplBitmap b(width, height);
    for (int y = 0; y < height; y++) {
        uint8_t* row = b.Row(y);
        for (int x = 0; x < width; x++)
            if ((x * 7 + y * 3) % 5 < 2 || x == 0 || x == width - 1)
                row[x >> 3] |= uint8_t(0x80 >> (x & 7));
        if (width % 8)
            row[b.RowBytes() - 1] |= uint8_t(0xFF >> (width % 8));
    }
    return b;
}

bool Expected(bool under, bool dot, Blend blend) {
    if (!dot)
        return under;
    return blend == Blend::Black ? true : blend == Blend::White ? false : !under;
}

TEST(ZplBitmap, DrawPutsEachDotWhereADotByDotCopyDoes) {
    const int pageWidth = 37, pageHeight = 9;
    for (const Blend blend : {Blend::Black, Blend::White, Blend::Reverse})
        for (const int width : {1, 5, 8, 13, 16, 30})
            for (int x = -width - 1; x <= pageWidth + 1; x++)
                for (const int y : {-3, 0, 4}) {
                    // Half the page black, so that White and Reverse show.
                    ZplBitmap page(pageWidth, pageHeight);
                    page.Fill(0, 0, pageWidth, pageHeight / 2);
                    const ZplBitmap before = page, source = Source(width, 6);
                    page.Draw(source, x, y, blend);
                    int wrong = 0;
                    for (int py = 0; py < pageHeight; py++)
                        for (int px = 0; px < pageWidth; px++) {
                            const int sx = px - x, sy = py - y;
                            const bool inside = sx >= 0 && sy >= 0 && sx < width && sy < source.Height();
                            const bool want = Expected(before.Dot(px, py), inside && source.Dot(sx, sy), blend);
                            wrong += page.Dot(px, py) != want;
                        }
                    // The page's own padding stays clear.
                    for (int py = 0; py < pageHeight; py++)
                        wrong += (page.Row(py)[page.RowBytes() - 1] & (0xFF >> (pageWidth % 8))) != 0;
                    EXPECT_EQ(0, wrong) << "blend " << int(blend) << ", width " << width << " at " << x << "," << y;
                }
}

}  // namespace

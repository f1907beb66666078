#include "zpl/ZplPlacement.h"

#include <vector>

namespace zpl {

bool IsOrientation(char c) { return c == 'N' || c == 'R' || c == 'I' || c == 'B'; }

int QuarterTurns(char orientation) {
    switch (orientation) {
        case 'R':
            return 1;
        case 'I':
            return 2;
        case 'B':
            return 3;
        default:
            return 0;
    }
}

void PlaceField(ZplBitmap& page, const ZplBitmap& upright, int baseline, char orientation, bool typeset, int x, int y,
                Blend blend) {
    if (upright.Width() == 0 || upright.Height() == 0)
        return;  // nothing to draw (an empty text line)
    const int quarters = QuarterTurns(orientation);
    ZplBitmap turnedCopy;
    if (quarters)
        turnedCopy = upright.Turned(quarters);
    const ZplBitmap& turned = quarters ? turnedCopy : upright;  // an upright field is drawn as it is
    if (!typeset) {
        page.Draw(turned, x, y, blend);
        return;
    }
    // The row above the baseline lands on y (N), and turns with the field;
    // the one-dot offsets match the reference viewer's pictures.
    const int w = upright.Width(), h = upright.Height(), below = h - baseline;
    switch (quarters) {
        case 0:
            page.Draw(turned, x, y + 1 - baseline, blend);
            break;
        case 1:
            page.Draw(turned, x - 1 - below, y, blend);
            break;
        case 2:
            page.Draw(turned, x - w, y - 1 - below, blend);
            break;
        default:
            page.Draw(turned, x + 1 - baseline, y - w, blend);
            break;
    }
}

void AdvancePen(char orientation, int advance, int& x, int& y) {
    switch (QuarterTurns(orientation)) {
        case 0:
            x += advance;
            break;
        case 1:
            y += advance;
            break;
        case 2:
            x -= advance;
            break;
        default:
            y -= advance;
            break;
    }
}

ZplBitmap Scaled(const ZplBitmap& image, int width, int height) {
    ZplBitmap out(width, height);
    if (image.Width() == 0 || image.Height() == 0)
        return out;
    std::vector<int> sourceX(size_t(out.Width()));
    for (int x = 0; x < out.Width(); x++)
        sourceX[size_t(x)] = int(int64_t(x) * image.Width() / out.Width());
    for (int y = 0; y < out.Height(); y++) {
        const uint8_t* s = image.Row(int(int64_t(y) * image.Height() / out.Height()));
        uint8_t* d = out.Row(y);
        for (int x = 0; x < out.Width(); x++) {
            const int sx = sourceX[size_t(x)];
            if (s[sx >> 3] >> (7 - (sx & 7)) & 1)
                d[x >> 3] |= uint8_t(0x80 >> (x & 7));
        }
    }
    return out;
}

}  // namespace zpl

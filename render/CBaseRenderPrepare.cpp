// The preparation every page goes through before a printer language encodes
// it: a 1-bit image, palette index 0 black and 1 white, white row ends.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "render/AreaScale.h"
#include "render/CBaseRender.h"

namespace {

// Column of the first black (0) pixel of a 1-bit row among the first `limit`
// columns, or `limit` when there is none.
uint32_t FirstBlack(const uint8_t* row, uint32_t limit) {
    const uint32_t full = limit / 8;
    for (uint32_t i = 0; i < full; i++) {
        if (row[i] != 0xFF) {
            const uint8_t black = static_cast<uint8_t>(~row[i]);
            return i * 8 + static_cast<uint32_t>(__builtin_clz(black) - 24);
        }
    }
    for (uint32_t x = full * 8; x < limit; x++)
        if (!(row[x >> 3] & (0x80 >> (x & 7))))
            return x;
    return limit;
}

// Column of the last black pixel of a 1-bit row of `width` pixels at or after
// column `from`, or -1 when there is none.
int64_t LastBlack(const uint8_t* row, uint32_t width, uint32_t from) {
    uint32_t x = width;
    while (x > from && (x & 7)) {
        x--;
        if (!(row[x >> 3] & (0x80 >> (x & 7))))
            return x;
    }
    while (x >= from + 8) {
        const uint8_t byte = row[(x >> 3) - 1];
        if (byte != 0xFF) {
            const uint8_t black = static_cast<uint8_t>(~byte);
            return static_cast<int64_t>(x) - 1 - __builtin_ctz(black);
        }
        x -= 8;
    }
    while (x > from) {
        x--;
        if (!(row[x >> 3] & (0x80 >> (x & 7))))
            return x;
    }
    return -1;
}

bool RowHasBlack(const uint8_t* row, uint32_t width) { return FirstBlack(row, width) < width; }

}  // namespace

void CBaseRender::PreparePage() {
    if (!m_bInited) {
        OnInit();
        m_bInited = true;
    }
    AdjustImage();
}

void CBaseRender::AdjustImage() {
    const tagREGSTRUCT& reg = m_RegStruct;
    const tagREGSTRUCTWITHALFTONE& tone = m_HalfTone;
    // The results of the image operations are not examined: each step works
    // on what the previous one left.
    if (m_Image.GetBpp() >= 24)
        m_Image.GrayScale();
    // Fitting comes before the tone changes, as when the page is fitted
    // while it is read.
    FitToHead();
    if (m_bDrawnPages) {
        // Levels 0-127 black, 128-255 white: a shrunk edge goes to the side
        // it covers most.
        m_Image.Threshold(127);
    } else {
        if (tone.iLiangdu != 0 || tone.iDuibidu != 0)
            m_Image.Light(tone.iLiangdu, tone.iDuibidu);
        if (m_Extension.bEdgeKeeping)
            m_Image.DitherEdgeKeeping();
        else if (tone.iGrayMethod > 0)
            m_Image.Dither(tone.iGrayMethod - 1);
        else
            m_Image.Threshold(static_cast<uint8_t>(tone.iThreValue & 0xFF));
    }
    if (reg.iScale != 100) {
        // 32-bit unsigned on purpose: a negative scale wraps, and Resample
        // refuses what it cannot hold.
        const uint32_t scale = static_cast<uint32_t>(reg.iScale);
        const uint32_t newWidth = m_Image.GetWidth() * scale / 100;
        const uint32_t newHeight = m_Image.GetHeight() * scale / 100;
        m_Image.Resample(static_cast<int32_t>(newWidth), static_cast<int32_t>(newHeight), 1, nullptr);
    }
    CropWhiteEdge(tone.iCropTopEdge, tone.iCropBottomEdge, tone.iCropLeftEdge, tone.iCropRightEdge);
    // A receipt is as long as its content; label stock keeps its length.
    if (m_Extension.bTrimRoll && (reg.iMediaType == 0 || reg.iMediaType == 4))
        TrimRoll();
    if (reg.bMirror)
        m_Image.Mirror(false, true);
    if (reg.bNegative)
        Negative();
    switch (reg.iRotate) {
        case 1:
            m_Image.Rotate(180.0f, nullptr);
            break;
        case 2:
            m_Image.Rotate(90.0f, nullptr);
            break;
        case 3:
            m_Image.Rotate(270.0f, nullptr);
            break;
        default:
            break;
    }
    AdjustEffWidthBits();
}

namespace {

// A page of width x height dots prints enlarged by the scale and, turned a
// quarter, with its height across the head.
struct Across {
    uint64_t dots;     // what goes across the head, unscaled
    uint64_t limit;    // the most of it that prints within the head
    uint64_t printed;  // what it prints at, scaled
};

Across AcrossTheHead(const tagREGSTRUCT& reg, uint32_t head, uint32_t width, uint32_t height) {
    const bool quarterTurn = reg.iRotate == 2 || reg.iRotate == 3;
    const uint64_t dots = quarterTurn ? height : width;
    const uint32_t scale = reg.iScale > 100 ? static_cast<uint32_t>(reg.iScale) : 0;
    return {dots, std::max<uint64_t>(1, scale ? uint64_t{head} * 100 / scale : head),
            std::min<uint64_t>(UINT32_MAX, scale ? dots * scale / 100 : dots)};
}

}  // namespace

bool CBaseRender::HeadFitSize(uint32_t width, uint32_t height, uint32_t& newWidth, uint32_t& newHeight) const {
    const uint32_t head = static_cast<uint32_t>(std::max(m_Extension.iHeadDots, 0));
    if (head == 0 || width == 0 || height == 0)
        return false;
    const Across across = AcrossTheHead(m_RegStruct, head, width, height);
    if (across.dots <= across.limit)
        return false;
    newWidth = static_cast<uint32_t>(std::max<uint64_t>(1, uint64_t{width} * across.limit / across.dots));
    newHeight = static_cast<uint32_t>(std::max<uint64_t>(1, uint64_t{height} * across.limit / across.dots));
    return true;
}

void CBaseRender::FitToHead() { PlaceAndFit(nullptr); }

bool CBaseRender::PlaceAndFit(const PageAssembly::Placement* placement) {
    const uint32_t width = m_Image.GetWidth(), height = m_Image.GetHeight();
    const PageAssembly::Placement frame = placement ? *placement : PageAssembly::Placement{width, height, 0, 0};
    uint32_t newWidth = 0, newHeight = 0;
    if (m_Image.IsValid() && HeadFitSize(frame.mediaWidth, frame.mediaHeight, newWidth, newHeight)) {
        CxImage page(0);
        const bool shrunk = AreaScale::ShrinkPlaced(m_Image, frame.mediaWidth, frame.mediaHeight, frame.left, frame.top,
                                                    newWidth, newHeight, page);
        // A placed page that cannot be shrunk so is placed as it is, and
        // fitted once prepared; an unplaced one is resampled instead.
        if (shrunk || !placement) {
            ReportFit(frame.mediaWidth, frame.mediaHeight, newWidth, newHeight);
            if (shrunk)
                m_Image.Transfer(page);
            else
                m_Image.Resample(static_cast<int32_t>(newWidth), static_cast<int32_t>(newHeight), 1, nullptr);
            return shrunk && placement;
        }
    }
    return placement && PageAssembly::PlaceOnMedia(m_Image, *placement);
}

void CBaseRender::ReportFit(uint32_t width, uint32_t height, uint32_t newWidth, uint32_t newHeight) {
    const uint32_t head = static_cast<uint32_t>(m_Extension.iHeadDots);
    AddLog("page of %u x %u dots scaled to %u x %u for the %u-dot head", width, height, newWidth, newHeight, head);
    ReportWarning("The page is %u dots wide, more than the print head's %u dots; it was scaled down to fit.",
                  static_cast<uint32_t>(AcrossTheHead(m_RegStruct, head, width, height).printed), head);
}

void CBaseRender::TrimRoll() {
    // A page without a black dot keeps one white row: the shortest image
    // every language carries, so that the page still feeds and cuts as one.
    const uint32_t width = m_Image.GetWidth(), height = m_Image.GetHeight();
    if (m_Image.IsValid() && m_Image.GetBpp() == 1 && height > 1) {
        uint32_t y = 0;
        while (y < height && !RowHasBlack(m_Image.GetBits(y), width))
            y++;
        if (y == height) {
            CxImage row(0);
            if (m_Image.Crop(0, static_cast<int32_t>(height - 1), static_cast<int32_t>(width),
                             static_cast<int32_t>(height), &row))
                m_Image.Transfer(row);
            return;
        }
    }
    CropWhiteEdge(-1, -1, 0, 0);
}

void CBaseRender::CropWhiteEdge(int top, int bottom, int left, int right) {
    if (top == 0 && bottom == 0 && left == 0 && right == 0)
        return;
    // Only a 1-bit page has white and black pixels to look for.
    if (!m_Image.IsValid() || m_Image.GetBpp() != 1)
        return;
    if (top < 0)
        top = 9999;
    if (bottom < 0)
        bottom = 9999;
    if (left < 0)
        left = 9999;
    if (right < 0)
        right = 9999;

    const uint32_t W = m_Image.GetWidth();
    const uint32_t H = m_Image.GetHeight();
    // All four limits at the horizontal resolution, top and bottom included.
    const int64_t topDots = mm_2_dots(top);
    const int64_t bottomDots = mm_2_dots(bottom);
    const int64_t leftDots = mm_2_dots(left);
    const int64_t rightDots = mm_2_dots(right);

    int64_t cutTop = 0, cutBottom = 0, cutLeft = 0, cutRight = 0;
    if (bottom > 0) {
        for (int64_t y = static_cast<int64_t>(H) - 1; y >= 0; y--) {
            if (RowHasBlack(m_Image.GetBits(static_cast<uint32_t>(y)), W)) {
                cutBottom = std::min<int64_t>(H - 1 - y, bottomDots);
                break;
            }
        }
    }
    if (top > 0) {
        for (uint32_t y = 0; y < H; y++) {
            if (RowHasBlack(m_Image.GetBits(y), W)) {
                cutTop = std::min<int64_t>(y, topDots);
                break;
            }
        }
    }
    if (left > 0) {
        // The leftmost black pixel of all rows; each row is read only up to
        // the best column found so far.
        uint32_t firstCol = W;
        for (uint32_t y = 0; y < H && firstCol > 0; y++)
            firstCol = FirstBlack(m_Image.GetBits(y), firstCol);
        if (firstCol < W)
            cutLeft = std::min<int64_t>(firstCol, leftDots);
    }
    if (right > 0) {
        int64_t lastCol = -1;
        for (uint32_t y = 0; y < H && lastCol < static_cast<int64_t>(W) - 1; y++)
            lastCol = std::max(lastCol, LastBlack(m_Image.GetBits(y), W, static_cast<uint32_t>(lastCol + 1)));
        // The right edge may lose one column more than its limit.
        if (lastCol >= 0)
            cutRight = std::min<int64_t>(W - 1 - lastCol, rightDots + 1);
    }

    // Crop counts its top and bottom from the last stored row, so the bottom
    // cut is its top argument. A crop that fails keeps the page uncropped.
    CxImage cropped(0);
    if (m_Image.Crop(static_cast<int32_t>(cutLeft), static_cast<int32_t>(cutBottom), static_cast<int32_t>(W - cutRight),
                     static_cast<int32_t>(H - cutTop), &cropped))
        m_Image.Transfer(cropped);
}

void CBaseRender::AdjustEffWidthBits() {
    const uint32_t width = m_Image.GetWidth();
    const uint32_t height = m_Image.GetHeight();
    const uint32_t eff = m_Image.GetEffWidth();
    const uint32_t full = width / 8;
    const uint32_t rest = width % 8;
    const uint32_t firstFill = rest ? full + 1 : full;
    const uint8_t restMask = static_cast<uint8_t>(0xFF >> rest);
    for (uint32_t y = 0; y < height; y++) {
        uint8_t* row = m_Image.GetBits(y);
        if (!row)
            return;
        if (rest)
            row[full] |= restMask;
        if (firstFill < eff)
            std::memset(row + firstFill, 0xFF, eff - firstFill);
    }
}

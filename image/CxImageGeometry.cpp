// Geometric operations of CxImage: rotation, mirroring, cropping.
//
// Each builds a result image carrying this image's description and hands it
// over to the destination (or to this image). Rows are filled with byte and
// bit operations that write exactly the pixels a per-pixel copy would write;
// bits beyond the width of a result row stay 0, as created.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/CxImage.h"

namespace {

// Bit order of a byte reversed: mirrors the eight pixels it packs.
struct BitReverseTable {
    uint8_t v[256];
    BitReverseTable() {
        for (int i = 0; i < 256; i++) {
            int r = 0;
            for (int b = 0; b < 8; b++)
                if (i & (1 << b))
                    r |= 0x80 >> b;
            v[i] = static_cast<uint8_t>(r);
        }
    }
};
const BitReverseTable kBitReverse;

// A 1-bit row of `width` pixels mirrored: dst pixel x = src pixel width-1-x.
void MirrorBitRow(const uint8_t* src, uint32_t width, uint8_t* dst) {
    const uint32_t n = (width + 7) / 8;
    const uint32_t pad = n * 8 - width;
    // Reversing whole bytes maps pixel x to n*8-1-x; the shift by `pad` then
    // drops the tail bits of the source's last byte and brings in zeros.
    for (uint32_t i = 0; i < n; i++) {
        const uint8_t hi = kBitReverse.v[src[n - 1 - i]];
        const uint8_t lo = i + 1 < n ? kBitReverse.v[src[n - 2 - i]] : 0;
        dst[i] = pad ? static_cast<uint8_t>((hi << pad) | (lo >> (8 - pad))) : hi;
    }
}

inline uint8_t GetNibble(const uint8_t* row, uint32_t x) {
    return static_cast<uint8_t>((x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4);
}

inline void SetNibble(uint8_t* row, uint32_t x, uint8_t v) {
    uint8_t& b = row[x >> 1];
    b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | v) : static_cast<uint8_t>((b & 0x0F) | (v << 4));
}

// A row of pixels mirrored, for any depth; dst is a fresh (zeroed) row.
void MirrorRow(const uint8_t* src, uint32_t width, uint32_t bpp, uint8_t* dst) {
    const uint32_t last = width - 1;
    switch (bpp) {
        case 1:
            MirrorBitRow(src, width, dst);
            break;
        case 4:
            for (uint32_t x = 0; x < width; x++)
                SetNibble(dst, x, GetNibble(src, last - x));
            break;
        case 8:
            for (uint32_t x = 0; x < width; x++)
                dst[x] = src[last - x];
            break;
        default:
            for (uint32_t x = 0; x < width; x++)
                std::memcpy(dst + 3 * x, src + 3 * (last - x), 3);
            break;
    }
}

// `nbits` bits from bit `from` of a packed row (srcBytes long) to the start
// of dst; the unused low bits of the last byte written are 0.
void CopyBits(const uint8_t* src, uint32_t srcBytes, uint32_t from, uint32_t nbits, uint8_t* dst) {
    const uint32_t first = from / 8;
    const uint32_t shift = from % 8;
    const uint32_t n = (nbits + 7) / 8;
    for (uint32_t i = 0; i < n; i++) {
        const uint8_t hi = src[first + i];
        const uint8_t lo = first + i + 1 < srcBytes ? src[first + i + 1] : 0;
        dst[i] = shift ? static_cast<uint8_t>((hi << shift) | (lo >> (8 - shift))) : hi;
    }
    if (nbits % 8)
        dst[n - 1] &= static_cast<uint8_t>(0xFF << (8 - nbits % 8));
}

// Transposes an 8x8 bit block: out[c] bit (7 - r) = in[r] bit (7 - c).
void TransposeBits(const uint8_t in[8], uint8_t out[8]) {
    uint64_t x = 0;
    for (int r = 0; r < 8; r++)
        x = (x << 8) | in[r];
    uint64_t t;
    t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x = x ^ t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x = x ^ t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x = x ^ t ^ (t << 28);
    for (int c = 7; c >= 0; c--, x >>= 8)
        out[c] = static_cast<uint8_t>(x);
}

// Exact quarter turn of a 1-bit image into `dst` (h wide, w high).
// Counter-clockwise (90 degrees): dst (nx, ny) = src (w-1-ny, nx).
// Clockwise (270 degrees): dst (nx, ny) = src (ny, h-1-nx).
// Blocks of 8 source rows by one source byte are transposed as bit matrices;
// rows beyond the source read as 0 and land in the result's row tails.
void QuarterTurnBits(const CxImage& src, bool counterClockwise, CxImage& dst) {
    const uint32_t w = src.GetWidth();
    const uint32_t h = src.GetHeight();
    const uint32_t srcBytes = (w + 7) / 8;
    const uint32_t blocks = (h + 7) / 8;
    for (uint32_t nb = 0; nb < blocks; nb++) {
        const uint8_t* rows[8];
        for (uint32_t r = 0; r < 8; r++) {
            const uint32_t nx = nb * 8 + r;
            rows[r] = nx < h ? src.GetBits(counterClockwise ? nx : h - 1 - nx) : nullptr;
        }
        for (uint32_t cb = 0; cb < srcBytes; cb++) {
            uint8_t in[8], out[8];
            for (int r = 0; r < 8; r++)
                in[r] = rows[r] ? rows[r][cb] : 0;
            TransposeBits(in, out);
            for (uint32_t c = 0; c < 8; c++) {
                const uint32_t x = cb * 8 + c;
                if (x >= w)
                    break;
                dst.GetBits(counterClockwise ? w - 1 - x : x)[nb] = out[c];
            }
        }
    }
}

// Exact quarter turn of a 4-, 8- or 24-bit image, pixel by pixel.
void QuarterTurnPixels(const CxImage& src, bool counterClockwise, CxImage& dst) {
    const uint32_t w = src.GetWidth();
    const uint32_t h = src.GetHeight();
    const uint32_t bpp = src.GetBpp();
    for (uint32_t ny = 0; ny < w; ny++) {
        uint8_t* out = dst.GetBits(ny);
        const uint32_t sx = counterClockwise ? w - 1 - ny : ny;
        for (uint32_t nx = 0; nx < h; nx++) {
            const uint8_t* in = src.GetBits(counterClockwise ? nx : h - 1 - nx);
            if (bpp == 8)
                out[nx] = in[sx];
            else if (bpp == 24)
                std::memcpy(out + 3 * nx, in + 3 * sx, 3);
            else
                SetNibble(out, nx, GetNibble(in, sx));
        }
    }
}

void QuarterTurnAlpha(const CxImage& src, bool counterClockwise, CxImage& dst) {
    const uint32_t w = src.GetWidth();
    const uint32_t h = src.GetHeight();
    const uint8_t* in = src.AlphaGetPointer();
    uint8_t* out = dst.AlphaGetPointer();
    for (uint32_t ny = 0; ny < w; ny++) {
        const uint32_t sx = counterClockwise ? w - 1 - ny : ny;
        for (uint32_t nx = 0; nx < h; nx++)
            out[static_cast<size_t>(ny) * h + nx] =
                in[static_cast<size_t>(counterClockwise ? nx : h - 1 - nx) * w + sx];
    }
}

}  // namespace

bool CxImage::Rotate(float angle, CxImage* iDst) {
    // An angle that is not a number has no bounding box to compute.
    if (!bitmapBlock || !std::isfinite(angle))
        return false;
    const double degrees = angle;
    if (std::fmod(degrees, 180.0) == 0 && std::fmod(degrees, 360.0) != 0)
        return Rotate180(iDst);

    const uint32_t w = GetWidth();
    const uint32_t h = GetHeight();
    const uint32_t bpp = GetBpp();

    // Quarter turns map every pixel exactly. (The general path below would
    // read one row or column just outside the image for them, through
    // rounding of sine and cosine, and lose the opposite edge.)
    double turn = std::fmod(degrees, 360.0);
    if (turn < 0)
        turn += 360.0;
    if (turn == 90.0 || turn == 270.0) {
        const bool counterClockwise = turn == 90.0;
        CxImage turned(0);
        turned.CopyInfo(*this);
        if (!turned.Create(h, w, bpp, info.imageType)) {
            SetLastError(turned.GetLastError());
            return false;
        }
        turned.SetPalette(GetPalette(), 256);
        if (bpp == 1)
            QuarterTurnBits(*this, counterClockwise, turned);
        else
            QuarterTurnPixels(*this, counterClockwise, turned);
        if (alphaPlane) {
            if (!turned.AlphaCreate())
                return false;
            QuarterTurnAlpha(*this, counterClockwise, turned);
        }
        (iDst ? *iDst : *this).Transfer(turned);
        return true;
    }

    // General angle: inverse mapping of every pixel of the bounding box.
    const double ang = static_cast<double>(-angle) * 1.5707963267948966 / 90.0;
    const double cosA = std::cos(ang);
    const double sinA = std::sin(ang);
    auto rx = [&](double x, double y) { return static_cast<float>(x * cosA - y * sinA); };
    auto ry = [&](double x, double y) { return static_cast<float>(x * sinA + y * cosA); };
    const float p1x = 0.0f, p1y = 0.0f;
    const float p2x = rx(w, 0), p2y = ry(w, 0);
    const float p3x = rx(0, h), p3y = ry(0, h);
    const float p4x = rx(w, h), p4y = ry(w, h);
    const float left = std::min(std::min(p1x, p2x), std::min(p3x, p4x));
    const float top = std::min(std::min(p1y, p2y), std::min(p3y, p4y));
    const float right = std::max(std::max(p1x, p2x), std::max(p3x, p4x));
    const float bottom = std::max(std::max(p1y, p2y), std::max(p3y, p4y));
    const float spanX = (0.5f + right) - left;
    const float spanY = (0.5f + bottom) - top;
    const int newWidth = static_cast<int>(std::floor(spanX));
    const int newHeight = static_cast<int>(std::floor(spanY));

    CxImage rotated(0);
    rotated.CopyInfo(*this);
    if (newWidth <= 0 || newHeight <= 0 ||
        !rotated.Create(static_cast<uint32_t>(newWidth), static_cast<uint32_t>(newHeight), bpp, info.imageType)) {
        SetLastError(rotated.GetLastError());
        return false;
    }
    rotated.SetPalette(GetPalette(), 256);
    if (alphaPlane) {
        if (!rotated.AlphaCreate())
            return false;
        rotated.AlphaClear();
    }
    const int yEnd = static_cast<int>(bottom);
    const int xEnd = static_cast<int>(right);
    int newY = 0;
    for (int y = static_cast<int>(top); y <= yEnd; y++, newY++) {
        int newX = 0;
        for (int x = static_cast<int>(left); x <= xEnd; x++, newX++) {
            const int oldX = static_cast<int>(x * cosA + y * sinA + 0.5);
            const int oldY = static_cast<int>(y * cosA - x * sinA + 0.5);
            if (header.biClrUsed)
                rotated.SetPixelIndex(newX, newY, GetPixelIndex(oldX, oldY));
            else
                rotated.SetPixelColor(newX, newY, GetPixelColor(oldX, oldY, true), false);
            rotated.AlphaSet(newX, newY, AlphaGet(oldX, oldY));
        }
    }
    (iDst ? *iDst : *this).Transfer(rotated);
    return true;
}

bool CxImage::Rotate180(CxImage* iDst) {
    if (!bitmapBlock)
        return false;
    const uint32_t w = GetWidth();
    const uint32_t h = GetHeight();
    const uint32_t bpp = GetBpp();
    CxImage turned(0);
    turned.CopyInfo(*this);
    if (!turned.Create(w, h, bpp, info.imageType)) {
        SetLastError(turned.GetLastError());
        return false;
    }
    turned.SetPalette(GetPalette(), 256);
    for (uint32_t y = 0; y < h; y++)
        MirrorRow(GetBits(y), w, bpp, turned.GetBits(h - 1 - y));
    if (alphaPlane) {
        if (!turned.AlphaCreate())
            return false;
        const size_t n = static_cast<size_t>(w) * h;
        uint8_t* out = turned.alphaPlane;
        for (size_t i = 0; i < n; i++)
            out[n - 1 - i] = alphaPlane[i];
    }
    (iDst ? *iDst : *this).Transfer(turned);
    return true;
}

bool CxImage::Mirror(bool /*bMirrorSelection: no image has a selection*/, bool bMirrorAlpha) {
    if (!bitmapBlock)
        return false;
    CxImage mirrored(*this, false, true, true);
    if (!mirrored.IsValid())
        return false;
    const uint32_t w = GetWidth();
    for (uint32_t y = 0; y < GetHeight(); y++)
        MirrorRow(GetBits(y), w, GetBpp(), mirrored.GetBits(y));
    if (bMirrorAlpha)
        mirrored.AlphaMirror();
    Transfer(mirrored);
    return true;
}

bool CxImage::Crop(const tagRECT& rect, CxImage* iDst) {
    return Crop(rect.left, rect.top, rect.right, rect.bottom, iDst);
}

bool CxImage::Crop(int32_t left, int32_t top, int32_t right, int32_t bottom, CxImage* iDst) {
    if (!bitmapBlock)
        return false;
    const int32_t w = static_cast<int32_t>(GetWidth());
    const int32_t h = static_cast<int32_t>(GetHeight());
    int32_t startX = std::max(0, std::min(left, w));
    int32_t endX = std::max(0, std::min(right, w));
    // Top and bottom count from the last stored row.
    int32_t startY = h - std::max(0, std::min(top, h));
    int32_t endY = h - std::max(0, std::min(bottom, h));
    if (startX == endX || startY == endY)
        return false;
    if (startX > endX)
        std::swap(startX, endX);
    if (startY > endY)
        std::swap(startY, endY);

    const uint32_t cropWidth = static_cast<uint32_t>(endX - startX);
    const uint32_t cropHeight = static_cast<uint32_t>(endY - startY);
    const uint32_t bpp = GetBpp();
    CxImage cropped(0);
    cropped.CopyInfo(*this);
    if (!cropped.Create(cropWidth, cropHeight, bpp, info.imageType)) {
        SetLastError(cropped.GetLastError());
        return false;
    }
    cropped.SetPalette(GetPalette(), header.biClrUsed);
    cropped.info.backgroundIndex = info.backgroundIndex;
    cropped.info.backgroundColor = info.backgroundColor;

    for (uint32_t y = 0; y < cropHeight; y++) {
        const uint8_t* src = GetBits(static_cast<uint32_t>(startY) + y);
        uint8_t* dst = cropped.GetBits(y);
        if (bpp < 8)
            CopyBits(src, info.effectiveWidth, static_cast<uint32_t>(startX) * bpp, cropWidth * bpp, dst);
        else
            std::memcpy(dst, src + static_cast<uint32_t>(startX) * bpp / 8, cropWidth * bpp / 8);
    }

    if (alphaPlane) {
        if (!cropped.AlphaCreate())
            return false;
        for (uint32_t y = 0; y < cropHeight; y++)
            std::memcpy(cropped.alphaPlane + static_cast<size_t>(y) * cropWidth,
                        alphaPlane + static_cast<size_t>(startY + y) * GetWidth() + startX, cropWidth);
    }
    (iDst ? *iDst : *this).Transfer(cropped);
    return true;
}

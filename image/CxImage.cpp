#include "image/CxImage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

uint32_t PaletteEntries(uint32_t bpp) {
    switch (bpp) {
        case 1:
            return 2;
        case 4:
            return 16;
        case 8:
            return 256;
        default:
            return 0;
    }
}

int32_t DpiToPelsPerMeter(int32_t dpi) { return static_cast<int32_t>(std::floor(dpi * 10000.0 / 254.0 + 0.5)); }

void PutLE32(uint8_t* p, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
    p[2] = static_cast<uint8_t>(u >> 16);
    p[3] = static_cast<uint8_t>(u >> 24);
}

}  // namespace

CxImage::CxImage(uint32_t imagetype) { Startup(imagetype); }

CxImage::CxImage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t imagetype) {
    Startup(imagetype);
    Create(width, height, bpp, imagetype);
}

CxImage::CxImage(const CxImage& src, bool copypixels, bool copyselection, bool copyalpha) {
    Startup(src.GetType());
    Copy(src, copypixels, copyselection, copyalpha);
}

CxImage& CxImage::operator=(const CxImage& src) {
    if (this != &src)
        Copy(src);
    return *this;
}

CxImage::~CxImage() { Destroy(); }

void CxImage::Startup(uint32_t imagetype) {
    bitmapBlock = nullptr;
    alphaPlane = nullptr;
    std::memset(&header, 0, sizeof header);
    std::memset(&info, 0, sizeof info);
    info.imageType = imagetype;
    info.backgroundIndex = -1;
    info.alphaMax = 255;
    SetXDPI(96);
    SetYDPI(96);
}

void CxImage::SetLastError(const char* text) {
    std::strncpy(info.lastError, text, sizeof info.lastError - 1);
    info.lastError[sizeof info.lastError - 1] = '\0';
}

bool CxImage::Destroy() {
    std::free(alphaPlane);
    alphaPlane = nullptr;
    std::free(bitmapBlock);
    bitmapBlock = nullptr;
    info.pixelStart = nullptr;
    return true;
}

uint32_t CxImage::BlockSize() const { return header.biSize + header.biSizeImage + GetPaletteSize(); }

uint8_t* CxImage::Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t imagetype) {
    Destroy();
    if (width == 0 || height == 0) {
        SetLastError("CxImage::Create : width and height must be greater than zero");
        return nullptr;
    }
    if (bpp <= 1)
        bpp = 1;
    else if (bpp <= 4)
        bpp = 4;
    else if (bpp <= 8)
        bpp = 8;
    else
        bpp = 24;

    if (static_cast<float>(width) * static_cast<float>(height) * static_cast<float>(bpp) / 8.0f > kMaxMemory) {
        SetLastError("CXIMAGE_MAX_MEMORY exceeded");
        return nullptr;
    }

    header.biClrUsed = PaletteEntries(bpp);
    info.effectiveWidth = ((bpp * width + 31) / 32) * 4;
    info.imageType = imagetype;

    header.biSize = sizeof(tagBITMAPINFOHEADER);
    header.biWidth = static_cast<int32_t>(width);
    header.biHeight = static_cast<int32_t>(height);
    header.biPlanes = 1;
    header.biBitCount = static_cast<uint16_t>(bpp);
    header.biCompression = 0;
    header.biSizeImage = info.effectiveWidth * height;

    // Zeroed storage: row tails then read as 0 rather than as stale memory.
    bitmapBlock = static_cast<uint8_t*>(std::calloc(BlockSize(), 1));
    if (!bitmapBlock) {
        SetLastError("CxImage::Create can't allocate memory");
        return nullptr;
    }
    std::free(alphaPlane);
    alphaPlane = nullptr;
    std::memcpy(bitmapBlock, &header, sizeof header);
    info.pixelStart = GetBits(0);
    return bitmapBlock;
}

tagRGBQUAD* CxImage::GetPalette() const {
    if (bitmapBlock && header.biClrUsed)
        return reinterpret_cast<tagRGBQUAD*>(bitmapBlock + sizeof(tagBITMAPINFOHEADER));
    return nullptr;
}

uint8_t* CxImage::GetBits(uint32_t row) const {
    if (!bitmapBlock)
        return nullptr;
    uint32_t blockHeaderSize;
    std::memcpy(&blockHeaderSize, bitmapBlock, sizeof blockHeaderSize);
    uint8_t* start = bitmapBlock + blockHeaderSize + GetPaletteSize();
    if (row == 0)
        return start;
    if (row < GetHeight())
        return start + static_cast<size_t>(row) * info.effectiveWidth;
    return nullptr;
}

void CxImage::SetXDPI(int32_t dpi) {
    if (dpi <= 0)
        dpi = 96;
    info.xDpi = dpi;
    header.biXPelsPerMeter = DpiToPelsPerMeter(dpi);
    if (bitmapBlock)
        PutLE32(bitmapBlock + 24, header.biXPelsPerMeter);
}

void CxImage::SetYDPI(int32_t dpi) {
    if (dpi <= 0)
        dpi = 96;
    info.yDpi = dpi;
    header.biYPelsPerMeter = DpiToPelsPerMeter(dpi);
    if (bitmapBlock)
        PutLE32(bitmapBlock + 28, header.biYPelsPerMeter);
}

void CxImage::SetGrayPalette() {
    tagRGBQUAD* pal = GetPalette();
    uint32_t n = header.biClrUsed;
    if (!pal || n < 2)
        return;
    uint32_t step = 255 / (n - 1);
    for (uint32_t i = 0; i < n; i++) {
        uint8_t v = static_cast<uint8_t>(i * step);
        pal[i].rgbBlue = pal[i].rgbGreen = pal[i].rgbRed = v;
    }
}

void CxImage::SetPalette(const tagRGBQUAD* pal, uint32_t ncolors) {
    tagRGBQUAD* dst = GetPalette();
    if (!pal || !dst)
        return;
    size_t bytes = std::min<size_t>(GetPaletteSize(), static_cast<size_t>(ncolors) * 4);
    std::memcpy(dst, pal, bytes);
    info.lastColorValid = false;
}

bool CxImage::AlphaCreate() {
    if (!alphaPlane && bitmapBlock) {
        size_t n = static_cast<size_t>(GetWidth()) * GetHeight();
        // The memory cap counts the opacity plane with the pixels.
        if (static_cast<float>(header.biSizeImage) + static_cast<float>(n) > kMaxMemory) {
            SetLastError("CXIMAGE_MAX_MEMORY exceeded");
            return false;
        }
        alphaPlane = static_cast<uint8_t*>(std::malloc(n));
        if (alphaPlane)
            std::memset(alphaPlane, 255, n);
    }
    return alphaPlane != nullptr;
}

bool CxImage::CreateFromArray(uint8_t* array, uint32_t width, uint32_t height, uint32_t bpp, uint32_t bytesperline,
                              bool flipimage) {
    if (!array)
        return false;
    if (!(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32))
        return false;
    if (!Create(width, height, bpp, 0))
        return false;
    if (bpp < 24)
        SetGrayPalette();
    if (bpp == 32 && !AlphaCreate()) {
        SetLastError("CxImage::Create can't allocate memory");
        Destroy();
        return false;
    }

    const uint32_t eff = info.effectiveWidth;
    const size_t rowCopy = std::min(eff, bytesperline);
    for (uint32_t y = 0; y < height; y++) {
        uint32_t dy = flipimage ? height - 1 - y : y;
        const uint8_t* src = array + static_cast<size_t>(y) * bytesperline;
        uint8_t* dst = GetBits(dy);
        if (bpp == 32) {
            uint8_t* alpha = alphaPlane + static_cast<size_t>(dy) * width;
            for (uint32_t x = 0; x < width; x++, src += 4, dst += 3) {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
                alpha[x] = src[3];
            }
        } else {
            std::memcpy(dst, src, rowCopy);
        }
    }
    return true;
}

void CxImage::CopyInfo(const CxImage& src) {
    if (!bitmapBlock)
        info = src.info;
}

void CxImage::Copy(const CxImage& src, bool copypixels, bool /*copyselection: no image has one*/, bool copyalpha) {
    info = src.info;
    header = src.header;
    Create(src.GetWidth(), src.GetHeight(), src.GetBpp(), src.GetType());
    if (copypixels && bitmapBlock && src.bitmapBlock)
        std::memcpy(bitmapBlock, src.bitmapBlock, BlockSize());
    else
        SetPalette(src.GetPalette(), 256);
    if (bitmapBlock)
        info.pixelStart = GetBits(0);
    if (copyalpha && src.alphaPlane && bitmapBlock) {
        std::free(alphaPlane);
        size_t n = static_cast<size_t>(GetWidth()) * GetHeight();
        alphaPlane = static_cast<uint8_t*>(std::malloc(n));
        if (alphaPlane)
            std::memcpy(alphaPlane, src.alphaPlane, n);
    }
}

bool CxImage::Transfer(CxImage& from, bool /*transferframes: single-frame images only*/) {
    if (&from == this)
        return true;
    Destroy();
    header = from.header;
    info = from.info;
    bitmapBlock = from.bitmapBlock;
    alphaPlane = from.alphaPlane;
    from.bitmapBlock = nullptr;
    from.alphaPlane = nullptr;
    std::memset(&from.header, 0, sizeof from.header);
    std::memset(&from.info, 0, sizeof from.info);
    return true;
}

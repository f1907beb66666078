#pragma once

#include <cstdint>

// The page image: one device-independent-bitmap block (a copy of the 40-byte
// BITMAPINFOHEADER, the palette, then the pixel rows padded to four bytes),
// the description that travels with it, and an optional opacity plane.
//
// Row r is the r-th stored row; the filter stores the first raster line of a
// page as row 0, so row 0 is the top of the printed page. Pixel packing: 1 bit
// with the leftmost pixel in the most significant bit, 4 bits with even columns
// in the high nibble, 8-bit palette indices, 24-bit blue, green, red.
//
// Operations report failure through their result and a last-error text kept
// in the image; nothing throws.

#pragma pack(push, 1)
struct tagBITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

struct tagRGBQUAD {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};
#pragma pack(pop)

static_assert(sizeof(tagBITMAPINFOHEADER) == 40, "the block starts with the published 40-byte header");
static_assert(sizeof(tagRGBQUAD) == 4, "palette entries are four bytes");

// Description copied and handed over together with the pixels.
struct tagCxImageInfo {
    uint32_t effectiveWidth;  // bytes per stored row, a multiple of 4
    uint8_t* pixelStart;      // row 0 inside the bitmap block
    uint32_t imageType;
    char lastError[256];
    int32_t backgroundIndex;  // -1: none
    tagRGBQUAD backgroundColor;
    int32_t xDpi;
    int32_t yDpi;
    uint8_t alphaMax;
    tagRGBQUAD lastColor;  // one-entry cache of GetNearestIndex
    uint8_t lastColorIndex;
    bool lastColorValid;
};

class CxImage {
public:
    // Upper bound on pixel data, in bytes: 256 MiB.
    static constexpr float kMaxMemory = 268435456.0f;

    explicit CxImage(uint32_t imagetype = 0);
    CxImage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t imagetype);
    CxImage(const CxImage& src, bool copypixels = true, bool copyselection = true, bool copyalpha = true);
    CxImage& operator=(const CxImage& src);
    ~CxImage();

    // --- creation, copying and hand-over ---
    bool Destroy();
    uint8_t* Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t imagetype);
    bool CreateFromArray(uint8_t* array, uint32_t width, uint32_t height, uint32_t bpp,
                         uint32_t bytesperline, bool flipimage);
    bool IsValid() const { return bitmapBlock != nullptr; }
    void CopyInfo(const CxImage& src);
    void Copy(const CxImage& src, bool copypixels = true, bool copyselection = true, bool copyalpha = true);
    bool Transfer(CxImage& from, bool transferframes = true);

    // --- description ---
    uint32_t GetWidth() const { return static_cast<uint32_t>(header.biWidth); }
    uint32_t GetHeight() const { return static_cast<uint32_t>(header.biHeight); }
    uint32_t GetBpp() const { return header.biBitCount; }
    uint32_t GetEffWidth() const { return info.effectiveWidth; }
    uint32_t GetType() const { return info.imageType; }
    const char* GetLastError() const { return info.lastError; }
    uint32_t GetPaletteSize() const { return header.biClrUsed * 4; }
    uint32_t GetNumColors() const { return header.biClrUsed; }
    tagRGBQUAD* GetPalette() const;
    // Row `row` of the pixel area, or null for an empty image or a row at or
    // beyond the height.
    uint8_t* GetBits(uint32_t row = 0) const;
    const tagBITMAPINFOHEADER& GetHeader() const { return header; }
    int32_t GetXDPI() const { return info.xDpi; }
    int32_t GetYDPI() const { return info.yDpi; }
    void SetXDPI(int32_t dpi);
    void SetYDPI(int32_t dpi);

    // --- palette set-up ---
    void SetGrayPalette();
    void SetPalette(const tagRGBQUAD* pal, uint32_t ncolors = 256);

    // --- opacity plane (width x height bytes, no row tail; 255 is opaque) ---
    bool AlphaCreate();
    bool AlphaIsValid() const { return alphaPlane != nullptr; }
    uint8_t* AlphaGetPointer() const { return alphaPlane; }

protected:
    void Startup(uint32_t imagetype);
    void SetLastError(const char* text);
    uint32_t BlockSize() const;

    uint8_t* bitmapBlock = nullptr;
    tagBITMAPINFOHEADER header;
    tagCxImageInfo info;
    uint8_t* alphaPlane = nullptr;
};

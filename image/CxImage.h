#pragma once

#include <cstddef>
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

// A crop rectangle: left and right are columns; top and bottom count stored
// rows from the far end (value v selects the row boundary height - v).
struct tagRECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

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
    // Upper bound on the pixel data and the opacity plane together, in
    // bytes: 256 MiB.
    static constexpr float kMaxMemory = 268435456.0f;

    explicit CxImage(uint32_t imagetype = 0);
    CxImage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t imagetype);
    CxImage(const CxImage& src, bool copypixels = true, bool copyselection = true, bool copyalpha = true);
    CxImage& operator=(const CxImage& src);
    ~CxImage();

    // --- creation, copying and hand-over ---
    bool Destroy();
    uint8_t* Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t imagetype);
    bool CreateFromArray(uint8_t* array, uint32_t width, uint32_t height, uint32_t bpp, uint32_t bytesperline,
                         bool flipimage);
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

    // --- palette, pixel and alpha access (CxImagePixel.cpp) ---
    // For the odd pixel; the operations below loop over rows and bytes and
    // produce exactly what these accessors would.
    bool IsGrayScale() const;
    bool IsInside(int32_t x, int32_t y) const;
    tagRGBQUAD GetPaletteColor(uint8_t idx) const;
    void SetPaletteColor(uint8_t idx, uint8_t r, uint8_t g, uint8_t b, uint8_t alpha = 0);
    void SetPaletteColor(uint8_t idx, tagRGBQUAD c);
    // First entry of least squared distance (reserved byte ignored), with a
    // one-entry cache of the last colour asked for.
    uint8_t GetNearestIndex(tagRGBQUAD c);
    int32_t GetBackgroundIndex() const { return info.backgroundIndex; }
    tagRGBQUAD GetBackgroundColor() const { return info.backgroundColor; }

    uint8_t BlindGetPixelIndex(int32_t x, int32_t y) const;
    void BlindSetPixelIndex(int32_t x, int32_t y, uint8_t i);
    // Outside the image: the background index when there is one, else the
    // whole first byte of the pixel area.
    uint8_t GetPixelIndex(int32_t x, int32_t y) const;
    void SetPixelIndex(int32_t x, int32_t y, uint8_t i);
    tagRGBQUAD BlindGetPixelColor(int32_t x, int32_t y, bool getAlpha = true) const;
    tagRGBQUAD GetPixelColor(int32_t x, int32_t y, bool getAlpha = true) const;
    void SetPixelColor(int32_t x, int32_t y, tagRGBQUAD c, bool setAlpha = false);
    void BlindSetPixelColor(int32_t x, int32_t y, tagRGBQUAD c, bool setAlpha = false);

    void AlphaDelete();
    void AlphaClear();
    void AlphaSet(int32_t x, int32_t y, uint8_t a);
    uint8_t AlphaGet(int32_t x, int32_t y) const;
    uint8_t BlindAlphaGet(int32_t x, int32_t y) const { return alphaPlane[static_cast<size_t>(y) * GetWidth() + x]; }
    uint8_t AlphaGetMax() const { return info.alphaMax; }
    void AlphaSetMax(uint8_t nAlphaMax) { info.alphaMax = nAlphaMax; }
    bool AlphaCopy(const CxImage& from);
    bool AlphaMirror();

    // --- tone (CxImageTone.cpp) ---
    // Gray value of a colour: (117 blue + 601 green + 306 red) >> 10.
    static uint8_t RGB2GRAY(uint32_t r, uint32_t g, uint32_t b) {
        return static_cast<uint8_t>((b * 117 + g * 601 + r * 306) >> 10);
    }
    // Any image to 8 bits with the identity gray palette.
    bool GrayScale();
    // 1 bit, black where the gray level is at most `level`; the result takes a
    // fresh description (type 0, 96 dpi) and no opacity plane.
    bool Threshold(uint8_t level);
    bool Light(int32_t brightness, int32_t contrast = 0);
    bool Lut(const uint8_t* table);
    // The table Light applies: single-precision, truncated toward zero, clamped.
    static void LightTable(int32_t brightness, int32_t contrast, uint8_t table[256]);

    // --- dithering (CxImageDither.cpp) ---
    // Methods: 0 Floyd-Steinberg, 1 ordered 4x4, 2 Burkes, 3 Stucki,
    // 4 Jarvis-Judice-Ninke, 5 Sierra, 6 Stevenson-Arce, 7 generated 4x4 Bayer,
    // 8 Bayer 8x8, 9 16x16 table; any other number (negative ones too)
    // Floyd-Steinberg. Rows are scanned top down, each left to right.
    bool Dither(int32_t method = 0);
    // Halftoning for pages that mix bar codes and text with pictures
    // (CxImageEdgeDither.cpp): a pixel whose 3x3 neighbourhood spans a large
    // gray range is thresholded at 128 and neither receives nor passes error;
    // every other pixel takes Burkes error diffusion. Input, result format,
    // description and failures as with Dither.
    bool DitherEdgeKeeping();

    // --- geometry (CxImageGeometry.cpp) ---
    // Angles in degrees; with no destination the image itself receives the
    // result. 90 turns the page counter-clockwise (result pixel (x, y) is
    // source pixel (w - 1 - y, x)), 270 clockwise (source (y, h - 1 - x)).
    // Half and quarter turns (modulo 360) map every pixel exactly; other
    // angles sample the source over the rotated bounding box.
    bool Rotate(float angle, CxImage* iDst = nullptr);
    bool Rotate180(CxImage* iDst = nullptr);
    bool Mirror(bool bMirrorSelection = false, bool bMirrorAlpha = true);
    // Keeps columns left .. right - 1 and the stored rows between the
    // boundaries height - top and height - bottom (counted from the last row).
    bool Crop(int32_t left, int32_t top, int32_t right, int32_t bottom, CxImage* iDst = nullptr);
    bool Crop(const tagRECT& rect, CxImage* iDst = nullptr);

    // --- resampling (CxImageResample.cpp) ---
    // Nearest pixel (mode 1, the only mode: others are treated alike).
    bool Resample(int32_t newx, int32_t newy, int mode = 1, CxImage* iDst = nullptr);

protected:
    void Startup(uint32_t imagetype);
    void SetLastError(const char* text);
    uint32_t BlockSize() const;
    // What AlphaCopy into `to` gives, without a copy: for a result that is
    // about to replace this image.
    void AlphaHandOver(CxImage& to);
    // The frame of every halftoning: converts to gray, lets `fill` set the
    // bits of a new 1-bit image of this size, then takes it over with black
    // at index 0, white at 1 and this image's opacity plane. A 1-bit image
    // is left as it is.
    bool Halftone(void (*fill)(CxImage& gray, CxImage& bw, const void* context), const void* context);

    uint8_t* bitmapBlock = nullptr;
    tagBITMAPINFOHEADER header;
    tagCxImageInfo info;
    uint8_t* alphaPlane = nullptr;
};

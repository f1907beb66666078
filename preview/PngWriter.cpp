#include "preview/PngWriter.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

void PngError(png_structp png, png_const_charp message) {
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    *error = message;
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// Everything libpng touches lives in plain storage made before setjmp, so
// that its longjmp skips no destructor.
bool WriteRows(std::FILE* file, png_uint_32 width, png_uint_32 height, const std::vector<png_bytep>& rows,
               std::string& error) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, PngError, PngWarning);
    if (!png) {
        error = "libpng could not start";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        if (error.empty())
            error = "libpng could not start";
        return false;
    }
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // The page keeps a set bit for black; PNG gray keeps 0 for black.
    png_set_invert_mono(png);
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WritePng(const CPreviewPage& page, const std::string& path, std::string& error) {
    return WritePng(page.Width(), page.Height(), page.Height() ? page.Row(0) : nullptr, size_t(page.RowBytes()), path,
                    error);
}

bool WritePng(int width, int height, const uint8_t* dots, size_t rowBytes, const std::string& path,
              std::string& error) {
    error.clear();
    if (width <= 0 || height <= 0) {
        error = "the page has no dots";
        return false;
    }
    std::vector<png_bytep> rows(height);
    for (int y = 0; y < height; y++)
        rows[y] = const_cast<png_bytep>(dots + size_t(y) * rowBytes);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = WriteRows(file, png_uint_32(width), png_uint_32(height), rows, error);
    if (std::fclose(file) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    return ok;
}

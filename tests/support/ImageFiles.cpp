#include "support/ImageFiles.h"

#include <jpeglib.h>
#include <png.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace testing_support {

Bytes GrayPng(unsigned width, unsigned height, double ppi, const Levels& level) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* bytes = static_cast<Bytes*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (ppi > 0) {
        const auto perMetre = static_cast<png_uint_32>(std::lround(ppi / 0.0254));
        png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    std::vector<uint8_t> row(width);
    for (unsigned y = 0; y < height; y++) {
        for (unsigned x = 0; x < width; x++)
            row[x] = level(x, y);
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes GrayJpeg(unsigned width, unsigned height, unsigned ppi, const Levels& level) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &data, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (ppi > 0) {
        info.density_unit = 1;
        info.X_density = info.Y_density = static_cast<UINT16>(ppi);
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(width);
    for (unsigned y = 0; y < height; y++) {
        for (unsigned x = 0; x < width; x++)
            row[x] = level(x, y);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(data, data + size);
    jpeg_destroy_compress(&info);
    free(data);
    return out;
}

}  // namespace testing_support

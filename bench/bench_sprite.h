// The picture the 2D benchmarks draw, made here so a bench needs no data file.
#pragma once

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

// A 32 x 32 ball with a soft alpha edge, written as an RGBA PNG: the sprite of
// the 2D cases.
inline bool WriteBallPng(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, 32, 32, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    uint8_t row[32 * 4];
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const double d = std::hypot(x + 0.5 - 16, y + 0.5 - 16);
            row[x * 4 + 0] = (uint8_t)(128 + x * 4);
            row[x * 4 + 1] = (uint8_t)(64 + y * 5);
            row[x * 4 + 2] = 200;
            row[x * 4 + 3] = (uint8_t)std::clamp((15.5 - d) * 128.0, 0.0, 255.0);
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

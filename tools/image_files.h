// Writers for the pictures our tools make: 24-bit BMP (bottom-up rows padded
// to 4 bytes) and 8-bit RGB or RGBA PNG through libpng.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <vector>

// An RGB picture, rows top-down.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    RgbPicture(int w, int h) : width(w), height(h), rgb((size_t)w * h * 3, 0) {}
    uint8_t* At(int x, int y) { return &rgb[((size_t)y * width + x) * 3]; }
    void Set(int x, int y, int r, int g, int b) {
        uint8_t* p = At(x, y);
        p[0] = (uint8_t)r, p[1] = (uint8_t)g, p[2] = (uint8_t)b;
    }
};

inline void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back((uint8_t)(value >> (8 * i)));
}

inline bool WriteBmp24(const char* path, const RgbPicture& picture) {
    const uint32_t stride = ((uint32_t)picture.width * 3 + 3) & ~3u;
    const uint32_t dataSize = stride * (uint32_t)picture.height;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    PutLe(out, 54 + dataSize, 4);
    PutLe(out, 0, 4);
    PutLe(out, 54, 4);
    PutLe(out, 40, 4);
    PutLe(out, (uint32_t)picture.width, 4);
    PutLe(out, (uint32_t)picture.height, 4);
    PutLe(out, 1, 2);
    PutLe(out, 24, 2);
    PutLe(out, 0, 4);
    PutLe(out, dataSize, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    for (int y = picture.height - 1; y >= 0; --y) {
        const uint8_t* row = &picture.rgb[(size_t)y * picture.width * 3];
        for (int x = 0; x < picture.width; ++x) {
            out.push_back(row[x * 3 + 2]);
            out.push_back(row[x * 3 + 1]);
            out.push_back(row[x * 3]);
        }
        for (uint32_t pad = (uint32_t)picture.width * 3; pad < stride; ++pad) out.push_back(0);
    }
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}

inline bool WritePngRgb(const char* path, const RgbPicture& picture) {
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, picture.width, picture.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < picture.height; ++y)
        png_write_row(png, const_cast<png_bytep>(&picture.rgb[(size_t)y * picture.width * 3]));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

#include "gfx2d_support.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <GL/gl.h>
#include <cstdlib>
#include <fstream>
#include <ostream>

#include "core/engine.h"

void StartScreen(int width, int height) {
    HeadlessSettings settings;
    settings.width = width;
    settings.height = height;
    settings.frameRate = 0;  // no pacing: drawing tests show many frames
    StartHeadless(settings);
}

std::ostream& operator<<(std::ostream& out, const Rgba& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

Rgba ReadPixel(int x, int y) {
    uint8_t p[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, engine.screen->height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
}

void ClearTo(int r, int g, int b) {
    glClearColor(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
}

void SaveFrame(const std::string& path) {
    const int w = engine.screen->width, h = engine.screen->height;
    std::vector<uint8_t> rgba((size_t)w * h * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    Picture picture(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &rgba[((size_t)(h - 1 - y) * w + x) * 4];
            picture.Set(x, y, p[0] + 256u * p[1] + 65536u * p[2]);
        }
    WriteFile(path, EncodePng(picture, PNG_COLOR_TYPE_RGB, 8));
}

Picture::Picture(int w, int h, uint32_t colour) : width(w), height(h), rgba((size_t)w * h * 4) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) Set(x, y, colour);
}

void Picture::Set(int x, int y, uint32_t colour, int alpha) {
    uint8_t* p = &rgba[((size_t)y * width + x) * 4];
    p[0] = colour & 255;
    p[1] = (colour >> 8) & 255;
    p[2] = (colour >> 16) & 255;
    p[3] = (uint8_t)alpha;
}

static void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back((uint8_t)(value >> (8 * i)));
}

static void BmpHeaders(std::vector<uint8_t>& out, int width, int height, int bits, uint32_t dataOffset,
                       uint32_t dataSize) {
    out.push_back('B');
    out.push_back('M');
    Put(out, dataOffset + dataSize, 4);
    Put(out, 0, 4);
    Put(out, dataOffset, 4);
    Put(out, 40, 4);
    Put(out, (uint32_t)width, 4);
    Put(out, (uint32_t)height, 4);
    Put(out, 1, 2);
    Put(out, (uint32_t)bits, 2);
    Put(out, 0, 4);
    Put(out, dataSize, 4);
    Put(out, 0, 4);
    Put(out, 0, 4);
    Put(out, 0, 4);
    Put(out, 0, 4);
}

std::vector<uint8_t> EncodeBmp(const Picture& picture, int bits) {
    const int bytes = bits / 8;
    const uint32_t stride = ((uint32_t)picture.width * bytes + 3) & ~3u;
    std::vector<uint8_t> out;
    BmpHeaders(out, picture.width, picture.height, bits, 54, stride * picture.height);
    for (int y = picture.height - 1; y >= 0; --y) {
        size_t start = out.size();
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = &picture.rgba[((size_t)y * picture.width + x) * 4];
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
            if (bytes == 4) out.push_back(0x77);  // the fourth byte is ignored
        }
        while (out.size() - start < stride) out.push_back(0);
    }
    return out;
}

std::vector<uint8_t> EncodeBmp8(int width, int height, const std::vector<uint8_t>& indices,
                                const std::vector<uint32_t>& palette) {
    const uint32_t stride = ((uint32_t)width + 3) & ~3u;
    std::vector<uint8_t> out;
    const uint32_t offset = 54 + 4 * (uint32_t)palette.size();
    BmpHeaders(out, width, height, 8, offset, stride * height);
    for (uint32_t entry : palette) Put(out, entry, 4);  // blue, green, red, reserved
    for (int y = height - 1; y >= 0; --y) {
        size_t start = out.size();
        for (int x = 0; x < width; ++x) out.push_back(indices[(size_t)y * width + x]);
        while (out.size() - start < stride) out.push_back(0);
    }
    return out;
}

static void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

std::vector<uint8_t> EncodeBlankGreyPng(int width, int height) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> row((size_t)width, 0);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "png encoding failed";
        return {};
    }
    png_set_write_fn(png, &out, AppendToVector, nullptr);
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> EncodePng(const Picture& picture, int colourType, int bitDepth) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "png encoding failed";
        return {};
    }
    png_set_write_fn(png, &out, AppendToVector, nullptr);
    png_set_IHDR(png, info, picture.width, picture.height, bitDepth, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Palette pictures: one entry per distinct colour, alpha through tRNS.
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;
    std::vector<uint8_t> indices;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        for (size_t i = 0; i < picture.rgba.size(); i += 4) {
            const uint8_t* p = &picture.rgba[i];
            size_t e = 0;
            while (e < palette.size() && !(palette[e].red == p[0] && palette[e].green == p[1] &&
                                           palette[e].blue == p[2] && paletteAlpha[e] == p[3]))
                ++e;
            if (e == palette.size()) {
                palette.push_back({p[0], p[1], p[2]});
                paletteAlpha.push_back(p[3]);
            }
            indices.push_back((uint8_t)e);
        }
        png_set_PLTE(png, info, palette.data(), (int)palette.size());
        bool anyAlpha = false;
        for (png_byte a : paletteAlpha) anyAlpha |= a != 255;
        if (anyAlpha) png_set_tRNS(png, info, paletteAlpha.data(), (int)paletteAlpha.size(), nullptr);
    }
    png_write_info(png, info);
    if (bitDepth < 8) png_set_packing(png);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        for (int y = 0; y < picture.height; ++y) png_write_row(png, &indices[(size_t)y * picture.width]);
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        return out;
    }
    const int channels = colourType == PNG_COLOR_TYPE_RGB ? 3
                         : colourType == PNG_COLOR_TYPE_RGBA ? 4
                         : colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
    const int sampleBytes = bitDepth == 16 ? 2 : 1;
    std::vector<uint8_t> row((size_t)picture.width * channels * sampleBytes);
    for (int y = 0; y < picture.height; ++y) {
        size_t at = 0;
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = &picture.rgba[((size_t)y * picture.width + x) * 4];
            uint8_t samples[4] = {p[0], p[1], p[2], p[3]};
            if (channels <= 2) samples[1] = p[3];  // grey from red, then alpha
            if (bitDepth < 8) samples[0] = (uint8_t)(samples[0] >> (8 - bitDepth));
            for (int c = 0; c < channels; ++c) {
                row[at++] = samples[c];
                if (sampleBytes == 2) row[at++] = samples[c];  // 16-bit: value * 257
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
    ASSERT_TRUE(out.good()) << path;
}

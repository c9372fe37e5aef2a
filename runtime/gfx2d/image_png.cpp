// The PNG reader through libpng, reading from memory. libpng reports errors by
// jumping back to the setjmp point, so the decoding function holds no C++
// objects of its own; the buffers live in the caller.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

// Deflate expands at most about 1032 to 1, so a file of n bytes cannot hold
// more than this many bytes of pixel rows; larger claims are refused before
// anything is allocated.
constexpr uint64_t kLargestInflation = 1040;

struct MemorySource {
    const uint8_t* data;
    size_t size;
    size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    MemorySource* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (count > source->size - source->at) png_error(png, "read past the end");
    std::memcpy(out, source->data + source->at, count);
    source->at += count;
}

// A PNG of a kind the reader does not take.
bool Unread() {
    NoteLoadFailure("a PNG of a kind this program does not read");
    return false;
}

// libpng's own messages are not shown: the reader's two messages are its only output.
void Fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void Ignore(png_structp, png_const_charp) {}

// Decodes into `image`, each row at the start of its 4-byte-per-pixel place
// (the channels as libpng delivers them, expanded afterwards), and sets the
// channel count. `rowPointers` lives in the caller, since a failure jumps
// out of here. False on any failure.
bool Decode(png_structp png, png_infop info, size_t fileSize, const char* name, ImageBuffer* image,
            std::vector<png_bytep>* rowPointers, int* channels) {
    // libpng jumps here on a broken stream and on a picture past the limits.
    if (setjmp(png_jmpbuf(png))) {
        NoteLoadFailure("damaged, or larger than this program reads");
        return false;
    }
    png_set_user_limits(png, kLargestImageSide, kLargestImageSide);
    png_read_info(png, info);

    const int colourType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    const uint64_t rawBits = (uint64_t)png_get_image_width(png, info) * png_get_channels(png, info) * depth;
    const uint64_t rawBytes = ((rawBits + 7) / 8) * png_get_image_height(png, info);
    const uint64_t pixels = (uint64_t)png_get_image_width(png, info) * png_get_image_height(png, info);
    if (pixels > (uint64_t)kLargestImagePixels) {
        NoteLoadFailure("too large");
        return false;
    }
    if (rawBytes > kLargestInflation * (uint64_t)fileSize) {
        NoteLoadFailure("damaged");
        return false;
    }

    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (depth < 8) png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    *channels = png_get_channels(png, info);
    if (*channels != 1 && *channels != 3 && *channels != 4) return Unread();
    if (png_get_bit_depth(png, info) != 8) {
        std::printf("File %s has bit depth %d.\n", name, png_get_bit_depth(png, info));
        std::printf("Only bit depth of 8 is supported.\n");
        return Unread();
    }
    const int updatedType = png_get_color_type(png, info);
    if (updatedType != PNG_COLOR_TYPE_GRAY && updatedType != PNG_COLOR_TYPE_RGB &&
        updatedType != PNG_COLOR_TYPE_RGB_ALPHA) {
        std::printf("File %s has unsupported color type.\n", name);
        std::printf("Types GRAY, RGB and RGB_ALPHA are supported.\n");
        return Unread();
    }

    const uint32_t width = png_get_image_width(png, info);
    const uint32_t height = png_get_image_height(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    if (width == 0 || height == 0 || rowBytes != (size_t)width * (size_t)*channels) return Unread();
    image->width = (int32_t)width;
    image->height = (int32_t)height;
    image->pixels.assign((size_t)width * height * 4, 0);
    rowPointers->resize(height);
    for (uint32_t row = 0; row < height; ++row) (*rowPointers)[row] = &image->pixels[(size_t)width * 4 * row];
    // What follows the pixel data is not needed, so it is not read.
    png_read_image(png, rowPointers->data());
    return true;
}

// Widens a row of `channels`-byte pixels at its start to red, green, blue,
// alpha. Right to left, so no pixel is overwritten before it is read.
void ExpandRow(uint8_t* row, int32_t width, int channels, int32_t colourKey) {
    for (int32_t x = width - 1; x >= 0; --x) {
        const uint8_t* in = row + (size_t)x * channels;
        uint8_t* out = row + (size_t)x * 4;
        uint8_t red = in[0], green = in[0], blue = in[0], alpha = 255;
        if (channels == 3) {
            green = in[1];
            blue = in[2];
            const int32_t colour = red + 256 * green + 65536 * blue;
            if (colourKey != kNoColourKey && colour == colourKey) red = green = blue = alpha = 0;
        }
        out[0] = red;
        out[1] = green;
        out[2] = blue;
        out[3] = alpha;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Public

bool ReadPng(const uint8_t* data, size_t size, const char* name, int32_t colourKey, ImageBuffer& image) {
    image.Free();
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Ignore);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    MemorySource source{data, size, 0};
    png_set_read_fn(png, &source, ReadFromMemory);

    std::vector<png_bytep> rowPointers;
    int channels = 0;
    bool decoded = false;
    try {
        decoded = Decode(png, info, size, name ? name : "", &image, &rowPointers, &channels);
    } catch (const std::bad_alloc&) {
        NoteLoadFailure("too large for the memory at hand");
        decoded = false;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!decoded) {
        image.Free();
        return false;
    }
    // Four channels are kept as they are: no colour key.
    if (channels != 4) {
        for (int32_t row = 0; row < image.height; ++row)
            ExpandRow(image.pixels.data() + (size_t)row * image.width * 4, image.width, channels, colourKey);
    }
    return true;
}

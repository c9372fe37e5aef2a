// Saving pictures: the screen and sprite read-backs, and the image writer with
// its 24-bit BMP and 8-bit RGBA PNG (through libpng) forms.
#include <png.h>

#include <GL/gl.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>

#include "core/engine.h"
#include "files/file_io.h"
#include "gfx2d/pixels_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Types

namespace {

constexpr GLenum kBgr = 0x80E0;
constexpr uint32_t kBmpHeaderBytes = 54;
// BMP rows are written in blocks of about this many bytes: the file is
// unbuffered, and a whole picture in memory twice would be wasteful.
constexpr size_t kBmpBlockBytes = (size_t)1 << 20;

struct PngSink {
    std::vector<uint8_t>* bytes;
    bool failed;
};

}  // namespace

// ---------------------------------------------------------------------------
// Internal helpers

static bool IsKeyPixel(const uint8_t* bgr, int32_t key) {
    return bgr[2] == (uint8_t)(key & 255) && bgr[1] == (uint8_t)((key >> 8) & 255) &&
           bgr[0] == (uint8_t)((key >> 16) & 255);
}

static bool WriteBmp(const char* file, const uint8_t* bgr, int32_t w, int32_t h, int32_t rowLength, int32_t key) {
    const size_t stride = ((size_t)w * 3 + 3) & ~(size_t)3;
    const uint64_t fileSize = (uint64_t)stride * (uint64_t)h + kBmpHeaderBytes;
    if (fileSize > 0xFFFFFFFFu) return false;

    uint8_t header[kBmpHeaderBytes] = {};
    header[0] = 'B';
    header[1] = 'M';
    WriteLe32(header + 2, (uint32_t)fileSize);
    WriteLe32(header + 10, kBmpHeaderBytes);
    WriteLe32(header + 14, 40);
    WriteLe32(header + 18, (uint32_t)w);
    WriteLe32(header + 22, (uint32_t)h);
    WriteLe16(header + 26, 1);
    WriteLe16(header + 28, 24);
    WriteLe32(header + 38, 10000);
    WriteLe32(header + 42, 10000);

    const size_t rowsPerBlock = std::max<size_t>(1, kBmpBlockBytes / stride);
    std::vector<uint8_t> block(rowsPerBlock * stride);
    FILE* out = OpenForWriting(file);
    if (!out) return false;
    bool written = WriteExact(out, header, sizeof header);
    // Rows bottom first, as the pixels already are; the key colour is written
    // as the default key so that a reload with that key keeps it transparent.
    for (int32_t row = 0; written && row < h;) {
        size_t rows = 0;
        for (; rows < rowsPerBlock && row < h; ++rows, ++row) {
            uint8_t* to = &block[rows * stride];
            const uint8_t* from = bgr + (size_t)row * (size_t)rowLength * 3;
            for (int32_t x = 0; x < w; ++x, to += 3, from += 3) {
                if (key != kNoColourKey && IsKeyPixel(from, key)) {
                    to[0] = 128;
                    to[1] = 0;
                    to[2] = 255;
                } else {
                    to[0] = from[0];
                    to[1] = from[1];
                    to[2] = from[2];
                }
            }
            std::memset(to, 0, stride - (size_t)w * 3);
        }
        written = WriteExact(out, block.data(), rows * stride);
    }
    return std::fclose(out) == 0 && written;
}

static void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
    PngSink* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    try {
        sink->bytes->insert(sink->bytes->end(), data, data + length);
    } catch (...) {
        sink->failed = true;
    }
    if (sink->failed) png_error(png, "out of memory");
}

static void FlushNothing(png_structp) {}
static void FailPng(png_structp png, png_const_charp) { png_longjmp(png, 1); }
static void IgnorePngWarning(png_structp, png_const_charp) {}

// Encodes the picture top-down into the sink. libpng leaves through longjmp,
// so this frame holds no C++ objects; `row` is w x 4 bytes from the caller.
static bool EncodePng(png_structp png, png_infop info, const uint8_t* bgr, int32_t w, int32_t h,
                      int32_t rowLength, int32_t key, uint8_t* row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, (png_uint_32)w, (png_uint_32)h, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const bool keyed = key != kNoColourKey && (key & 255) != 0;
    for (int32_t r = 0; r < h; ++r) {
        const uint8_t* from = bgr + (size_t)(h - 1 - r) * (size_t)rowLength * 3;
        uint8_t* to = row;
        for (int32_t x = 0; x < w; ++x, from += 3, to += 4) {
            if (keyed && IsKeyPixel(from, key)) {
                to[0] = 0;
                to[1] = 0;
                to[2] = 255;
                to[3] = 0;
            } else {
                to[0] = from[2];
                to[1] = from[1];
                to[2] = from[0];
                to[3] = 255;
            }
        }
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}

static bool WritePng(const char* file, const uint8_t* bgr, int32_t w, int32_t h, int32_t rowLength, int32_t key) {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> row((size_t)w * 4);
    PngSink sink{&bytes, false};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, FailPng, IgnorePngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    png_set_write_fn(png, &sink, AppendPngBytes, FlushNothing);
    const bool encoded = EncodePng(png, info, bgr, w, h, rowLength, key, row.data());
    png_destroy_write_struct(&png, &info);
    if (!encoded || sink.failed) return false;

    FILE* out = OpenForWriting(file);
    if (!out) return false;
    const bool written = WriteExact(out, bytes.data(), bytes.size());
    return std::fclose(out) == 0 && written;
}

// ---------------------------------------------------------------------------
// Public: the image writer

bool IsPngFileName(const char* file) {
    if (!file) return false;
    const size_t length = std::strlen(file);
    if (length <= 4) return false;
    const char* end = file + length - 4;
    return end[0] == '.' && LowerAscii(end[1]) == 'p' && LowerAscii(end[2]) == 'n' && LowerAscii(end[3]) == 'g';
}

int WriteImage(const char* file, const uint8_t* bgr, int32_t width, int32_t height, int32_t rowLength,
               int32_t colourKey) {
    if (!file || !*file || !bgr || width <= 0 || height <= 0 || rowLength < width) return 0;
    try {
        if (IsPngFileName(file)) return WritePng(file, bgr, width, height, rowLength, colourKey) ? 1 : 0;
        return WriteBmp(file, bgr, width, height, rowLength, colourKey) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

// ---------------------------------------------------------------------------
// Public: screen and sprite saving

bool ReadScreenPixels(ScreenPixels& shot) {
    SpriteStore* store = ReadyStore();
    if (!store) return false;
    const ReadTarget target = PrepareReadBack(*store);
    const int32_t w = engine.screen->width, h = engine.screen->height;
    if (w <= 0 || h <= 0) return false;
    try {
        shot.bgr.assign((size_t)w * (size_t)h * 3, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // The screen's rows from its top-left corner: within a surface's
    // framebuffer object that corner is the surface's.
    glReadPixels(0, target.height - h, w, h, kBgr, GL_UNSIGNED_BYTE, shot.bgr.data());
    shot.width = w;
    shot.height = h;
    shot.rowLength = w;
    shot.colourKey = store->spriteColourKey;
    return true;
}

double WriteScreenPixels(const char* file, const ScreenPixels& shot) {
    if (shot.bgr.size() < (size_t)shot.rowLength * (size_t)shot.height * 3) return 0.0;
    return WriteImage(file, shot.bgr.data(), shot.width, shot.height, shot.rowLength, shot.colourKey);
}

double SaveScreen(const char* file) {
    ScreenPixels shot;
    if (!ReadScreenPixels(shot)) return 0.0;
    return WriteScreenPixels(file, shot);
}

double SaveSprite(const char* file, double slotNumber) {
    const int32_t slot = TruncateToInt(slotNumber);
    SpriteStore* store = IsSpriteSlot(slot) ? ReadyStore() : nullptr;
    if (!store || store->plainTexture[slot] == 0) return 0.0;
    const int32_t tw = store->textureWidth[slot], th = store->textureHeight[slot];
    const int32_t w = store->imageWidth[slot], h = store->imageHeight[slot];
    if (tw <= 0 || th <= 0 || w <= 0 || h <= 0 || w > tw || h > th) return 0.0;

    KeepTextureBinding keep;
    glBindTexture(GL_TEXTURE_2D, store->plainTexture[slot]);
    // The read fills the texture the GL really holds; it must be the size
    // the slot records.
    GLint glWidth = 0, glHeight = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &glWidth);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &glHeight);
    if (glWidth != tw || glHeight != th) return 0.0;
    std::vector<uint8_t> bgr;
    try {
        bgr.assign((size_t)tw * (size_t)th * 3, 0);
    } catch (const std::bad_alloc&) {
        return 0.0;
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glGetTexImage(GL_TEXTURE_2D, 0, kBgr, GL_UNSIGNED_BYTE, bgr.data());
    return WriteImage(file, bgr.data(), w, h, tw, store->spriteColourKey);
}

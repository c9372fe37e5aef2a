// The BMP reader: uncompressed Windows bitmaps of 8 (palette), 24 and 32 bits.
// Every length, offset and index is checked against the bytes really present.
#include <cstring>

#include "core/engine.h"
#include "files/file_io.h"
#include "gfx2d/gfx2d.h"

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr uint32_t kPlainRgb = 0;
constexpr uint32_t kBitFields = 3;

// 32-bit pixels described by bit masks are read only when the masks are the
// plain blue, green, red byte order; they then read like uncompressed ones.
bool PlainBitFields(const uint8_t* data, uint32_t dataOffset) {
    if (dataOffset < kFileHeaderSize + kInfoHeaderSize + 12) return false;
    const uint8_t* masks = data + kFileHeaderSize + kInfoHeaderSize;
    return ReadLe32(masks) == 0x00FF0000u && ReadLe32(masks + 4) == 0x0000FF00u &&
           ReadLe32(masks + 8) == 0x000000FFu;
}

// A BMP of a kind the reader leaves out (compressed, 16 bits, an old header).
constexpr const char* kUnread = "a BMP of a kind this program does not read";

bool Refuse(const char* reason) {
    NoteLoadFailure(reason);
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public

bool ReadBmp(const uint8_t* data, size_t size, int32_t colourKey, ImageBuffer& image) {
    image.Free();
    if (!data || size < kFileHeaderSize + kInfoHeaderSize) return false;
    if (ReadLe16(data) != 0x4D42) return false;  // "BM"
    // From here the file is a BMP: each refusal says why.
    const uint32_t dataOffset = ReadLe32(data + 10);
    if (dataOffset < kFileHeaderSize + kInfoHeaderSize || dataOffset > size) return Refuse("damaged");

    const uint8_t* info = data + kFileHeaderSize;
    const uint32_t headerSize = ReadLe32(info);
    const int32_t width = (int32_t)ReadLe32(info + 4);
    const int32_t rawHeight = (int32_t)ReadLe32(info + 8);
    const uint16_t bitsPerPixel = ReadLe16(info + 14);
    const uint32_t compression = ReadLe32(info + 16);

    // Older, smaller headers lay their fields out differently.
    if (headerSize < kInfoHeaderSize || headerSize > dataOffset - kFileHeaderSize)
        return Refuse(headerSize < kInfoHeaderSize ? kUnread : "damaged");
    if (bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32) return Refuse(kUnread);
    if (compression != kPlainRgb &&
        !(compression == kBitFields && bitsPerPixel == 32 && PlainBitFields(data, dataOffset)))
        return Refuse(kUnread);
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return Refuse("damaged");
    // A negative height marks rows stored top-down.
    const bool topDown = rawHeight < 0;
    const int32_t height = topDown ? -rawHeight : rawHeight;
    if (width > kLargestImageSide || height > kLargestImageSide) return Refuse("too large");
    if ((int64_t)width * height > kLargestImagePixels) return Refuse("too large");

    const uint64_t bytesPerPixel = bitsPerPixel / 8;
    const uint64_t stride = ((uint64_t)width * bytesPerPixel + 3) & ~(uint64_t)3;
    if (stride * (uint64_t)height > size - dataOffset) return Refuse("damaged");

    // The palette lies between the information header and the pixel data.
    const uint8_t* palette = info + headerSize;
    const uint32_t paletteEntries = (uint32_t)((dataOffset - kFileHeaderSize - headerSize) / 4);

    image.width = width;
    image.height = height;
    image.pixels.assign((size_t)width * (size_t)height * 4, 0);
    const uint8_t* pixelData = data + dataOffset;
    for (int32_t fileRow = 0; fileRow < height; ++fileRow) {
        const uint8_t* in = pixelData + stride * (uint64_t)fileRow;
        const int32_t row = topDown ? fileRow : height - 1 - fileRow;
        uint8_t* out = image.pixels.data() + (size_t)row * (size_t)width * 4;
        for (int32_t x = 0; x < width; ++x, out += 4) {
            uint8_t red, green, blue;
            if (bitsPerPixel == 8) {
                uint32_t index = in[x];
                if (index >= paletteEntries) {
                    image.Free();
                    return Refuse("damaged");
                }
                const uint8_t* entry = palette + index * 4;
                blue = entry[0];
                green = entry[1];
                red = entry[2];
            } else {
                const uint8_t* pixel = in + (size_t)x * bytesPerPixel;
                blue = pixel[0];
                green = pixel[1];
                red = pixel[2];
            }
            const int32_t colour = red + 256 * green + 65536 * blue;
            if (colourKey != kNoColourKey && colour == colourKey) continue;  // stays 0, 0, 0, 0
            out[0] = red;
            out[1] = green;
            out[2] = blue;
            out[3] = 255;
        }
    }
    return true;
}

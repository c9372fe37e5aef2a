// Loading a picture file into an image buffer: the whole file is read, then
// offered to the BMP reader and, when that refuses it, to the PNG reader.
#include <new>

#include "files/file_io.h"
#include "gfx2d/gfx2d.h"

// ---------------------------------------------------------------------------
// Internal helpers

// No picture the readers accept comes near this; larger files are refused
// rather than read into memory.
constexpr int64_t kLargestImageFile = (int64_t)1 << 30;

static bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes) {
    FILE* file = OpenForReading(path);
    if (!file) return false;
    int64_t length = FileLength(file);
    bool read = length > 0 && length <= kLargestImageFile;
    if (read) {
        bytes.resize((size_t)length);
        read = ReadExact(file, bytes.data(), bytes.size());
    }
    std::fclose(file);
    return read;
}

// ---------------------------------------------------------------------------
// Public

bool LoadImage(const char* path, int32_t colourKey, ImageBuffer& image) {
    image.Free();
    if (!path || !*path) return false;
    // A picture too large for the memory at hand is a failed load.
    try {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(path, bytes)) return false;
        if (ReadBmp(bytes.data(), bytes.size(), colourKey, image)) return true;
        return ReadPng(bytes.data(), bytes.size(), path, colourKey, image);
    } catch (const std::bad_alloc&) {
        image.Free();
        return false;
    }
}

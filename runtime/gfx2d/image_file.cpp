// Loading a picture file into an image buffer: the whole file is read, then
// offered to the BMP reader and, when that refuses it, to the PNG reader.
#include <new>

#include "core/engine.h"
#include "files/file_io.h"
#include "gfx2d/gfx2d.h"

// ---------------------------------------------------------------------------
// Internal helpers

// No picture the readers accept comes near this; larger files are refused
// rather than read into memory.
constexpr int64_t kLargestImageFile = (int64_t)1 << 30;

static bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes) {
    FILE* file = OpenForReading(path);
    if (!file) {
        NoteLoadFailure("cannot be opened");
        return false;
    }
    int64_t length = FileLength(file);
    bool read = length > 0 && length <= kLargestImageFile;
    if (length == 0) NoteLoadFailure("empty file");
    else if (!read) NoteLoadFailure("too large");
    if (read) {
        bytes.resize((size_t)length);
        read = ReadExact(file, bytes.data(), bytes.size());
        if (!read) NoteLoadFailure("cannot be read");
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
        if (ReadPng(bytes.data(), bytes.size(), path, colourKey, image)) return true;
        // The readers note what they found wrong in a file of their kind.
        NoteLoadFailure("not a picture this program reads");
        return false;
    } catch (const std::bad_alloc&) {
        NoteLoadFailure("too large for the memory at hand");
        image.Free();
        return false;
    }
}

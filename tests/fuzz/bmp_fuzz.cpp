// Fuzz target: the BMP reader. The input is a bitmap file read from memory,
// with and without a colour key; an accepted picture must be consistent.
#include <cstdint>
#include <cstdlib>

#include "gfx2d/gfx2d.h"

static void Check(const uint8_t* data, size_t size, int32_t key) {
    ImageBuffer image;
    if (ReadBmp(data, size, key, image)) {
        if (image.width <= 0 || image.height <= 0 || image.width > kLargestImageSide ||
            image.height > kLargestImageSide ||
            image.pixels.size() != (size_t)image.width * (size_t)image.height * 4)
            std::abort();
    } else if (image.width != 0 || image.height != 0 || !image.pixels.empty()) {
        std::abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(data, size, kNoColourKey);
    Check(data, size, kDefaultSpriteColourKey);
    return 0;
}

// Fuzz target: the PNG reader. The input is a PNG file read from memory, with
// and without a colour key; an accepted picture must be consistent, and no
// claimed size may make the reader allocate what the data cannot fill. Each
// input is also tried with its chunk checksums repaired, so that mutations
// reach the decoder instead of stopping at the first checksum.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "gfx2d/gfx2d.h"

static void Check(const uint8_t* data, size_t size, int32_t key) {
    ImageBuffer image;
    if (ReadPng(data, size, "fuzz.png", key, image)) {
        if (image.width <= 0 || image.height <= 0 ||
            image.pixels.size() != (size_t)image.width * (size_t)image.height * 4)
            std::abort();
    } else if (image.width != 0 || image.height != 0 || !image.pixels.empty()) {
        std::abort();
    }
}

static uint32_t ReadBe32(const uint8_t* p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

// Recomputes the checksum of every whole chunk after the signature.
static std::vector<uint8_t> WithRepairedChecksums(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    size_t at = 8;
    while (at + 12 <= size) {
        const uint32_t length = ReadBe32(&bytes[at]);
        if (length > size - at - 12) break;
        const uint32_t crc = (uint32_t)crc32(0, &bytes[at + 4], length + 4);
        for (int i = 0; i < 4; ++i) bytes[at + 8 + length + i] = (uint8_t)(crc >> (24 - 8 * i));
        at += 12 + (size_t)length;
    }
    return bytes;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(data, size, kNoColourKey);
    const std::vector<uint8_t> repaired = WithRepairedChecksums(data, size);
    Check(repaired.data(), repaired.size(), kDefaultSpriteColourKey);
    return 0;
}

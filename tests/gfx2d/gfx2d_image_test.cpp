// The BMP and PNG readers on pictures made on the spot: strides, palettes,
// row order, colour keys, expansions, and a table of malformed files that
// must be refused cleanly.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <utility>

#include "gfx2d/gfx2d.h"
#include "gfx2d_support.h"

namespace {

constexpr int32_t kKey = 0x8000FF;

uint32_t PixelAt(const ImageBuffer& image, int x, int y) {
    const uint8_t* p = &image.pixels[((size_t)y * image.width + x) * 4];
    return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24;
}

uint32_t Opaque(uint32_t colour) { return colour | 0xFF000000u; }

void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = (uint8_t)(value >> (8 * i));
}

// Sets the PNG's width and height and repairs the header's checksum.
void SetPngSize(std::vector<uint8_t>& png, uint32_t width, uint32_t height) {
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = (uint8_t)(width >> (24 - 8 * i));
        png[20 + i] = (uint8_t)(height >> (24 - 8 * i));
    }
    uint32_t crc = (uint32_t)crc32(0, &png[12], 17);
    for (int i = 0; i < 4; ++i) png[29 + i] = (uint8_t)(crc >> (24 - 8 * i));
}

// A picture whose every pixel differs: red = 10 x, green = 10 y, blue = 7.
Picture Gradient(int w, int h) {
    Picture picture(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) picture.Set(x, y, (uint32_t)(10 * x) | (uint32_t)(10 * y) << 8 | 7u << 16);
    return picture;
}

void ExpectSameAsGradient(const ImageBuffer& image, int w, int h) {
    ASSERT_EQ(image.width, w);
    ASSERT_EQ(image.height, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(PixelAt(image, x, y), Opaque((uint32_t)(10 * x) | (uint32_t)(10 * y) << 8 | 7u << 16))
                << x << "," << y;
}

}  // namespace

// ---------------------------------------------------------------------------
// BMP

TEST(BmpReader, ReadsEachDepthWithItsPaddedRows) {
    ImageBuffer image;
    // 24 bits, 3 wide: rows of 12 bytes (9 rounded up); 32 bits, 3 wide: 12 bytes.
    for (int bits : {24, 32}) {
        std::vector<uint8_t> file = EncodeBmp(Gradient(3, 4), bits);
        ASSERT_EQ(file.size(), 54u + 12 * 4);
        ASSERT_TRUE(ReadBmp(file.data(), file.size(), kNoColourKey, image)) << bits;
        ExpectSameAsGradient(image, 3, 4);
    }
    // 8 bits, 5 wide: rows of 8 bytes; palette entries are blue, green, red, reserved.
    std::vector<uint8_t> indices = {0, 1, 2, 1, 0, 2, 2, 2, 1, 1};
    std::vector<uint32_t> palette = {0x00102030, 0x00405060, 0x00708090};
    std::vector<uint8_t> file = EncodeBmp8(5, 2, indices, palette);
    ASSERT_EQ(file.size(), 54u + 12 + 8 * 2);
    ASSERT_TRUE(ReadBmp(file.data(), file.size(), kNoColourKey, image));
    for (int i = 0; i < 10; ++i) {
        uint32_t entry = palette[indices[i]];
        uint32_t colour = (entry >> 16 & 255) | (entry >> 8 & 255) << 8 | (entry & 255) << 16;
        EXPECT_EQ(PixelAt(image, i % 5, i / 5), Opaque(colour)) << i;
    }
}

TEST(BmpReader, NegativeHeightMeansRowsStoredTopDown) {
    std::vector<uint8_t> file = EncodeBmp(Gradient(2, 3), 24);  // bottom-up rows
    // Reverse the rows and mark the height negative: the same picture, stored top-down.
    const size_t stride = 8;
    std::vector<uint8_t> flipped(file.begin(), file.begin() + 54);
    for (int row = 2; row >= 0; --row)
        flipped.insert(flipped.end(), file.begin() + 54 + row * stride, file.begin() + 54 + (row + 1) * stride);
    PutLe32(flipped, 22, (uint32_t)-3);
    ImageBuffer image;
    ASSERT_TRUE(ReadBmp(flipped.data(), flipped.size(), kNoColourKey, image));
    ExpectSameAsGradient(image, 2, 3);
}

TEST(BmpReader, OnlyTheExactKeyColourBecomesTransparentBlack) {
    Picture picture(4, 1);
    picture.Set(0, 0, kKey);
    picture.Set(1, 0, kKey - 1);        // red one step off
    picture.Set(2, 0, kKey + 0x100);    // green one step off
    picture.Set(3, 0, kKey - 0x10000);  // blue one step off
    std::vector<uint8_t> file = EncodeBmp(picture, 24);
    ImageBuffer image;
    ASSERT_TRUE(ReadBmp(file.data(), file.size(), kKey, image));
    EXPECT_EQ(PixelAt(image, 0, 0), 0u);
    EXPECT_EQ(PixelAt(image, 1, 0), Opaque(kKey - 1));
    EXPECT_EQ(PixelAt(image, 2, 0), Opaque(kKey + 0x100));
    EXPECT_EQ(PixelAt(image, 3, 0), Opaque(kKey - 0x10000));
    // Without a key the key colour stays.
    ASSERT_TRUE(ReadBmp(file.data(), file.size(), kNoColourKey, image));
    EXPECT_EQ(PixelAt(image, 0, 0), Opaque(kKey));
}

TEST(BmpReader, ThirtyTwoBitsWithPlainBitMasksReadLikeUncompressed) {
    std::vector<uint8_t> file = EncodeBmp(Gradient(2, 2), 32);
    // Insert the three masks after the 40-byte header and move the pixel data.
    std::vector<uint8_t> masked(file.begin(), file.begin() + 54);
    for (uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu})
        for (int i = 0; i < 4; ++i) masked.push_back((uint8_t)(mask >> (8 * i)));
    masked.insert(masked.end(), file.begin() + 54, file.end());
    PutLe32(masked, 10, 66);
    PutLe32(masked, 30, 3);
    ImageBuffer image;
    ASSERT_TRUE(ReadBmp(masked.data(), masked.size(), kNoColourKey, image));
    ExpectSameAsGradient(image, 2, 2);
    // Any other layout of the masks is refused.
    PutLe32(masked, 54, 0xFF000000u);
    EXPECT_FALSE(ReadBmp(masked.data(), masked.size(), kNoColourKey, image));
}

TEST(BmpReader, MalformedFilesAreRefusedCleanly) {
    const std::vector<uint8_t> good24 = EncodeBmp(Gradient(3, 2), 24);
    const std::vector<uint8_t> good8 = EncodeBmp8(2, 2, {0, 1, 1, 0}, {0x0000FF, 0x00FF00});
    struct Case {
        const char* what;
        std::function<std::vector<uint8_t>()> make;
    };
    const Case cases[] = {
        {"empty file", [&] { return std::vector<uint8_t>(); }},
        {"only the file header", [&] { return std::vector<uint8_t>(good24.begin(), good24.begin() + 14); }},
        {"header cut short", [&] { return std::vector<uint8_t>(good24.begin(), good24.begin() + 53); }},
        {"wrong type", [&] { auto f = good24; f[0] = 'M'; return f; }},
        {"pixel offset below 54", [&] { auto f = good24; PutLe32(f, 10, 40); return f; }},
        {"pixel offset zero", [&] { auto f = good24; PutLe32(f, 10, 0); return f; }},
        {"pixel offset past the end", [&] { auto f = good24; PutLe32(f, 10, 100000); return f; }},
        {"core header of 12 bytes", [&] { auto f = good24; PutLe32(f, 14, 12); return f; }},
        {"header larger than the gap", [&] { auto f = good24; PutLe32(f, 14, 1000); return f; }},
        {"16 bits", [&] { auto f = good24; f[28] = 16; return f; }},
        {"4 bits", [&] { auto f = good24; f[28] = 4; return f; }},
        {"1 bit", [&] { auto f = good24; f[28] = 1; return f; }},
        {"run-length 8", [&] { auto f = good8; PutLe32(f, 30, 1); return f; }},
        {"run-length 4", [&] { auto f = good24; PutLe32(f, 30, 2); return f; }},
        {"bit masks on 24 bits", [&] { auto f = good24; PutLe32(f, 30, 3); return f; }},
        {"zero width", [&] { auto f = good24; PutLe32(f, 18, 0); return f; }},
        {"negative width", [&] { auto f = good24; PutLe32(f, 18, (uint32_t)-3); return f; }},
        {"zero height", [&] { auto f = good24; PutLe32(f, 22, 0); return f; }},
        {"most negative height", [&] { auto f = good24; PutLe32(f, 22, 0x80000000u); return f; }},
        {"huge width, small file", [&] { auto f = good24; PutLe32(f, 18, 0x7FFFFFFF); return f; }},
        {"huge height, small file", [&] { auto f = good24; PutLe32(f, 22, 0x7FFFFFFF); return f; }},
        {"width past the limit", [&] { auto f = good24; PutLe32(f, 18, 70000); PutLe32(f, 22, 1); return f; }},
        {"pixel data one byte short", [&] { auto f = good24; f.pop_back(); return f; }},
        {"palette index past the palette", [&] { auto f = good8; f.back() = 0; f[f.size() - 4] = 2; return f; }},
        {"8 bits without palette", [&] { auto f = good8; PutLe32(f, 10, 54); return f; }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = c.make();
        ImageBuffer image;
        image.width = 9;  // a refusal leaves the buffer empty
        EXPECT_FALSE(ReadBmp(file.data(), file.size(), kKey, image)) << c.what;
        EXPECT_EQ(image.width, 0) << c.what;
        EXPECT_TRUE(image.pixels.empty()) << c.what;
    }
    // The palette cases above are refused for the index, not for the layout.
    ImageBuffer image;
    EXPECT_TRUE(ReadBmp(good8.data(), good8.size(), kKey, image));
}

// ---------------------------------------------------------------------------
// PNG

TEST(PngReader, AlphaChannelWinsOverTheKey) {
    Picture picture(2, 1);
    picture.Set(0, 0, kKey, 255);
    picture.Set(1, 0, 0x123456, 77);
    std::vector<uint8_t> file = EncodePng(picture, PNG_COLOR_TYPE_RGBA, 8);
    ImageBuffer image;
    ASSERT_TRUE(ReadPng(file.data(), file.size(), "a.png", kKey, image));
    EXPECT_EQ(PixelAt(image, 0, 0), Opaque(kKey));
    EXPECT_EQ(PixelAt(image, 1, 0), 0x123456u | 77u << 24);
}

TEST(PngReader, ThreeChannelsTakeTheKeyAndSixteenBitsAreStripped) {
    Picture picture(3, 2);
    picture.Set(0, 0, kKey);
    picture.Set(1, 0, kKey ^ 0x010000);
    picture.Set(2, 1, 0xA0B0C0);
    for (int depth : {8, 16}) {
        std::vector<uint8_t> file = EncodePng(picture, PNG_COLOR_TYPE_RGB, depth);
        ImageBuffer image;
        ASSERT_TRUE(ReadPng(file.data(), file.size(), "b.png", kKey, image)) << depth;
        EXPECT_EQ(PixelAt(image, 0, 0), 0u) << depth;
        EXPECT_EQ(PixelAt(image, 1, 0), Opaque(kKey ^ 0x010000)) << depth;
        EXPECT_EQ(PixelAt(image, 2, 1), Opaque(0xA0B0C0)) << depth;
        EXPECT_EQ(PixelAt(image, 0, 1), Opaque(0)) << depth;
    }
}

TEST(PngReader, GreyPalettesAndTransparencyAreExpanded) {
    ImageBuffer image;
    // Grey of 8 bits and of 2 bits (values 0..3 become 0, 85, 170, 255).
    Picture grey(4, 1);
    for (int x = 0; x < 4; ++x) grey.Set(x, 0, (uint32_t)(x * 85));
    for (int depth : {8, 2}) {
        std::vector<uint8_t> file = EncodePng(grey, PNG_COLOR_TYPE_GRAY, depth);
        ASSERT_TRUE(ReadPng(file.data(), file.size(), "g.png", kNoColourKey, image)) << depth;
        for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(image, x, 0), Opaque(x * 85 * 0x010101u)) << depth;
    }
    // A palette without transparency reads as three channels, so the key applies.
    Picture colours(3, 1);
    colours.Set(0, 0, kKey);
    colours.Set(1, 0, 0x00FF00);
    colours.Set(2, 0, 0x0000FF);
    std::vector<uint8_t> file = EncodePng(colours, PNG_COLOR_TYPE_PALETTE, 8);
    ASSERT_TRUE(ReadPng(file.data(), file.size(), "p.png", kKey, image));
    EXPECT_EQ(PixelAt(image, 0, 0), 0u);
    EXPECT_EQ(PixelAt(image, 1, 0), Opaque(0x00FF00));
    // A palette with a tRNS chunk gets an alpha channel, which ignores the key.
    colours.Set(2, 0, 0x0000FF, 100);
    file = EncodePng(colours, PNG_COLOR_TYPE_PALETTE, 8);
    ASSERT_TRUE(ReadPng(file.data(), file.size(), "t.png", kKey, image));
    EXPECT_EQ(PixelAt(image, 0, 0), Opaque(kKey));
    EXPECT_EQ(PixelAt(image, 2, 0), 0x0000FFu | 100u << 24);
}

TEST(PngReader, GreyWithAlphaIsRefusedWithoutAMessage) {
    Picture picture(2, 2, 0x808080);
    std::vector<uint8_t> file = EncodePng(picture, PNG_COLOR_TYPE_GRAY_ALPHA, 8);
    ImageBuffer image;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(ReadPng(file.data(), file.size(), "ga.png", kKey, image));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(image.pixels.empty());
}

TEST(PngReader, DamagedFilesAreRefusedSilently) {
    const std::vector<uint8_t> good = EncodePng(Gradient(16, 16), PNG_COLOR_TYPE_RGB, 8);
    struct Case {
        const char* what;
        std::function<std::vector<uint8_t>()> make;
    };
    const Case cases[] = {
        {"empty", [&] { return std::vector<uint8_t>(); }},
        {"signature only", [&] { return std::vector<uint8_t>(good.begin(), good.begin() + 8); }},
        {"cut in the header", [&] { return std::vector<uint8_t>(good.begin(), good.begin() + 20); }},
        {"cut in the pixel data", [&] { return std::vector<uint8_t>(good.begin(), good.end() - 30); }},
        {"header checksum broken", [&] { auto f = good; f[29] ^= 0xFF; return f; }},
        {"width zero", [&] { auto f = good; SetPngSize(f, 0, 16); return f; }},
        {"a million pixels wide", [&] { auto f = good; SetPngSize(f, 1000000, 1); return f; }},
        // A size the data cannot hold is refused before anything is allocated.
        {"16000 x 16000 in a small file", [&] { auto f = good; SetPngSize(f, 16000, 16000); return f; }},
        {"BMP bytes", [&] { return EncodeBmp(Gradient(2, 2), 24); }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = c.make();
        ImageBuffer image;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(ReadPng(file.data(), file.size(), "bad.png", kNoColourKey, image)) << c.what;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << c.what;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.what;
        EXPECT_TRUE(image.pixels.empty()) << c.what;
    }
}

// ---------------------------------------------------------------------------
// Size limit

// Pictures above 2^26 pixels are refused before their pixels are allocated,
// however well their file compresses.
TEST(ImageLimit, PicturesAboveTheLargestPixelCountAreRefused) {
    ImageBuffer image;
    for (auto [w, h] : {std::pair{16384, 16384}, std::pair{8193, 8192}}) {
        std::vector<uint8_t> png = EncodeBlankGreyPng(w, h);
        ASSERT_LT(png.size(), (size_t)w * h / 500) << w << " x " << h;
        image.width = 1;
        EXPECT_FALSE(ReadPng(png.data(), png.size(), "blank.png", kNoColourKey, image)) << w << " x " << h;
        EXPECT_EQ(image.width, 0);
        EXPECT_TRUE(image.pixels.empty());
    }
    std::vector<uint8_t> png = EncodeBlankGreyPng(8192, 8192);
    ASSERT_TRUE(ReadPng(png.data(), png.size(), "blank.png", kNoColourKey, image));
    EXPECT_EQ(image.width, 8192);
    EXPECT_EQ(PixelAt(image, 8191, 8191), Opaque(0));

    // An 8-bit bitmap of 8193 x 8192 whose pixel data is all there.
    std::vector<uint8_t> bmp = EncodeBmp8(1, 1, {0}, {0x000000});
    const size_t offset = bmp.size() - 4, stride = 8196;
    PutLe32(bmp, 18, 8193);
    PutLe32(bmp, 22, 8192);
    bmp.resize(offset + stride * 8192, 0);
    EXPECT_FALSE(ReadBmp(bmp.data(), bmp.size(), kNoColourKey, image));
    EXPECT_TRUE(image.pixels.empty());
    PutLe32(bmp, 18, 8192);
    ASSERT_TRUE(ReadBmp(bmp.data(), bmp.size(), kNoColourKey, image));
    EXPECT_EQ(image.height, 8192);
}

// ---------------------------------------------------------------------------
// Files

TEST(LoadImage, TriesBmpThenPngAndRefusesWhatNeitherReads) {
    const std::string dir = UseScratchTempDirectory();
    WriteFile(dir + "pic.bmp", EncodeBmp(Gradient(3, 3), 24));
    WriteFile(dir + "pic.png", EncodePng(Gradient(3, 3), PNG_COLOR_TYPE_RGB, 8));
    WriteFile(dir + "notes.txt", std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'});
    WriteFile(dir + "empty.bmp", {});
    ImageBuffer image;
    ASSERT_TRUE(LoadImage((dir + "pic.bmp").c_str(), kNoColourKey, image));
    ExpectSameAsGradient(image, 3, 3);
    // The name does not matter: PNG bytes in a .bmp file still load.
    WriteFile(dir + "really_png.bmp", EncodePng(Gradient(3, 3), PNG_COLOR_TYPE_RGB, 8));
    ASSERT_TRUE(LoadImage((dir + "really_png.bmp").c_str(), kNoColourKey, image));
    ExpectSameAsGradient(image, 3, 3);
    EXPECT_FALSE(LoadImage((dir + "notes.txt").c_str(), kNoColourKey, image));
    EXPECT_FALSE(LoadImage((dir + "empty.bmp").c_str(), kNoColourKey, image));
    EXPECT_FALSE(LoadImage((dir + "absent.png").c_str(), kNoColourKey, image));
    EXPECT_FALSE(LoadImage(dir.c_str(), kNoColourKey, image));  // a directory
    EXPECT_FALSE(LoadImage("", kNoColourKey, image));
    EXPECT_TRUE(image.pixels.empty());
}

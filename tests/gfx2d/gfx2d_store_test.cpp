// The sprite store on a real headless GL context: texture sizes, what the
// textures hold (orientation, key, edge bleeding, mipmap levels, normal
// maps), font slots, tiled records, freeing, and loading through the archive.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>

#include "archive_writer.h"
#include "core/engine.h"
#include "files/archive.h"
#include "gfx2d/gfx2d.h"
#include "gfx2d_support.h"

namespace {

constexpr int32_t kKey = 0x8000FF;

class Store : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        StartScreen();
        store = ActiveSpriteStore();
        ASSERT_NE(store, nullptr);
    }

    std::string Write(const std::string& name, const Picture& picture) {
        WriteFile(dir + name, EncodeBmp(picture, 24));
        return dir + name;
    }

    // Level `level` of a texture as RGBA, texture row 0 first.
    static std::vector<uint8_t> Texels(uint32_t texture, int level, int& w, int& h) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
        std::vector<uint8_t> texels((size_t)w * h * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        return texels;
    }

    static int Filter(uint32_t texture, GLenum which) {
        GLint value = 0;
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexParameteriv(GL_TEXTURE_2D, which, &value);
        return value;
    }

    std::string dir;
    SpriteStore* store = nullptr;
};

const uint8_t* TexelAt(const std::vector<uint8_t>& texels, int w, int x, int y) {
    return &texels[((size_t)y * w + x) * 4];
}

}  // namespace

TEST_F(Store, TexturesArePowersOfTwoOfAtLeastTwo) {
    struct Size {
        int w, h, textureW, textureH;
    };
    for (Size s : {Size{1, 1, 2, 2}, Size{100, 50, 128, 64}, Size{64, 64, 64, 64}, Size{65, 3, 128, 4}}) {
        ASSERT_EQ(LoadSprite(Write("s.bmp", Picture(s.w, s.h, 0x203040)).c_str(), 3), 1.0) << s.w;
        EXPECT_EQ(store->textureWidth[3], s.textureW);
        EXPECT_EQ(store->textureHeight[3], s.textureH);
        EXPECT_EQ(store->imageWidth[3], s.w);
        EXPECT_EQ(store->imageHeight[3], s.h);
        int w, h;
        Texels(store->plainTexture[3], 0, w, h);
        EXPECT_EQ(w, s.textureW);
        EXPECT_EQ(h, s.textureH);
    }
    // 100 x 50: the picture's far corner at texture coordinates (0.78125, 0.78125).
    LoadSprite(Write("s.bmp", Picture(100, 50)).c_str(), 3);
    EXPECT_FLOAT_EQ((float)store->imageWidth[3] / store->textureWidth[3], 0.78125f);
    EXPECT_FLOAT_EQ((float)store->imageHeight[3] / store->textureHeight[3], 0.78125f);
    double w, h;
    GetSpriteSize(3, w, h);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 50);
}

TEST_F(Store, PictureSitsUpsideDownInTheLowerLeftWithTheKeyTransparent) {
    Picture picture(3, 2, 0x0000C0);
    picture.Set(0, 0, 0x00C000);  // top-left
    picture.Set(2, 1, kKey);      // bottom-right: transparent
    picture.Set(1, 1, kKey - 1);  // one step off: opaque
    ASSERT_EQ(LoadSprite(Write("p.bmp", picture).c_str(), 10), 1.0);
    int w, h;
    std::vector<uint8_t> texels = Texels(store->plainTexture[10], 0, w, h);
    ASSERT_EQ(w, 4);
    ASSERT_EQ(h, 2);
    EXPECT_EQ(TexelAt(texels, w, 0, 1)[1], 0xC0);  // picture top row is texture row 1
    EXPECT_EQ(TexelAt(texels, w, 2, 0)[3], 0);     // key pixel
    EXPECT_EQ(TexelAt(texels, w, 1, 0)[3], 255);
    EXPECT_EQ(TexelAt(texels, w, 1, 0)[0], 0xFE);
    EXPECT_EQ(TexelAt(texels, w, 3, 0)[3], 0);  // padding is transparent
}

TEST_F(Store, TransparentTexelsTakeTheMeanColourOfOpaqueInnerNeighbours) {
    // A 4 x 4 picture fills its texture; only texels (1..2, 1..2) are inner.
    Picture picture(4, 4, kKey);
    picture.Set(1, 2, 10);  // texture (1, 1)
    picture.Set(1, 1, 21);  // texture (1, 2)
    picture.Set(2, 1, 0x0000FF);  // texture (2, 2): opaque, red 255
    ASSERT_EQ(LoadSprite(Write("b.bmp", picture).c_str(), 4), 1.0);
    int w, h;
    std::vector<uint8_t> texels = Texels(store->plainTexture[4], 0, w, h);
    // Texture (0, 1) sees inner (1, 1) and (1, 2): (10 + 21) / 2, truncated.
    EXPECT_EQ(TexelAt(texels, w, 0, 1)[0], 15);
    EXPECT_EQ(TexelAt(texels, w, 0, 1)[3], 0);
    // Texture (0, 0) sees only (1, 1).
    EXPECT_EQ(TexelAt(texels, w, 0, 0)[0], 10);
    // Texture (3, 3) sees only (2, 2).
    EXPECT_EQ(TexelAt(texels, w, 3, 3)[0], 255);
    // Texture (2, 1) sees (1, 1), (1, 2) and (2, 2); border texels do not count.
    EXPECT_EQ(TexelAt(texels, w, 2, 1)[0], (10 + 21 + 255) / 3);

    // Nearest filtering (a font slot) leaves transparent texels black.
    ASSERT_EQ(LoadIntoSlot(kFirstFontSlot + 1, (dir + "b.bmp").c_str(), kKey, false), 1);
    texels = Texels(store->plainTexture[kFirstFontSlot + 1], 0, w, h);
    EXPECT_EQ(TexelAt(texels, w, 0, 1)[0], 0);
}

TEST_F(Store, MipmapLevelsHoldTheWeightedAverages) {
    // Texture texel (x, y) has red 10 x + 40 y + 5; picture row = 3 - texture row.
    Picture picture(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) picture.Set(x, 3 - y, (uint32_t)(10 * x + 40 * y + 5));
    ASSERT_EQ(LoadSprite(Write("m.bmp", picture).c_str(), 20), 1.0);
    ASSERT_NE(store->mipTexture[20], 0u);
    EXPECT_EQ(Filter(store->mipTexture[20], GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    int w, h;
    std::vector<uint8_t> level1 = Texels(store->mipTexture[20], 1, w, h);
    ASSERT_EQ(w, 2);
    ASSERT_EQ(h, 2);
    // Both partners: (4 t(0,0) + 2 t(1,0) + 2 t(1,2) + t(0,2)) / 9.
    EXPECT_EQ(TexelAt(level1, w, 0, 0)[0], (4 * 5 + 2 * 15 + 2 * 95 + 85) / 9);
    // Last column: (2 t(2,0) + t(2,2)) / 3.
    EXPECT_EQ(TexelAt(level1, w, 1, 0)[0], (2 * 25 + 105) / 3);
    // Last row: (2 t(0,2) + t(1,2)) / 3.
    EXPECT_EQ(TexelAt(level1, w, 0, 1)[0], (2 * 85 + 95) / 3);
    // Neither: a copy of t(2,2).
    EXPECT_EQ(TexelAt(level1, w, 1, 1)[0], 105);
    EXPECT_EQ(TexelAt(level1, w, 1, 1)[3], 255);
    std::vector<uint8_t> level2 = Texels(store->mipTexture[20], 2, w, h);
    ASSERT_EQ(w, 1);
    EXPECT_EQ(level2[0], (4 * 5 + 2 * 15 + 2 * 95 + 85) / 9);

    // A wide texture: rows stay 1 and the chain ends at 1 x 1.
    Picture wide(8, 2);
    for (int x = 0; x < 8; ++x) wide.Set(x, 1, (uint32_t)(30 * x));
    ASSERT_EQ(LoadSprite(Write("w.bmp", wide).c_str(), 21), 1.0);
    level1 = Texels(store->mipTexture[21], 1, w, h);
    ASSERT_EQ(w, 4);
    ASSERT_EQ(h, 1);
    EXPECT_EQ(TexelAt(level1, w, 0, 0)[0], (2 * 0 + 30) / 3);
    EXPECT_EQ(TexelAt(level1, w, 2, 0)[0], (2 * 120 + 150) / 3);
    EXPECT_EQ(TexelAt(level1, w, 3, 0)[0], 180);
    std::vector<uint8_t> level3 = Texels(store->mipTexture[21], 3, w, h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
}

TEST_F(Store, NormalMapsComeFromTheBlueHeightField) {
    // Blue 0 in columns 0 and 1, 255 in 2 and 3 (wrapping round at the borders).
    Picture picture(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 2; x < 4; ++x) picture.Set(x, y, 0xFF0000);
    ASSERT_EQ(LoadNormalMap(Write("n.bmp", picture).c_str(), 30), 1.0);
    int w, h;
    std::vector<uint8_t> texels = Texels(store->plainTexture[30], 0, w, h);
    // Column 1: gx = 0 - 4, gy = 0, n = 1 / sqrt(17).
    const uint8_t* slope = TexelAt(texels, w, 1, 2);
    EXPECT_EQ(slope[0], 3);
    EXPECT_EQ(slope[1], 127);
    EXPECT_EQ(slope[2], 158);
    EXPECT_EQ(slope[3], 255);
    // Column 3: gx = 4 - 0 (column 4 wraps round to column 0).
    EXPECT_EQ(TexelAt(texels, w, 3, 2)[0], 251);

    // A flat field points straight out.
    ASSERT_EQ(LoadNormalMap(Write("f.bmp", Picture(4, 4, 0x404040)).c_str(), 31), 1.0);
    texels = Texels(store->plainTexture[31], 0, w, h);
    EXPECT_EQ(TexelAt(texels, w, 1, 1)[0], 127);
    EXPECT_EQ(TexelAt(texels, w, 1, 1)[2], 255);
}

TEST_F(Store, FontSlotsGetNearestFilteringAndNoTwin) {
    ASSERT_EQ(LoadSprite(Write("f.bmp", Picture(16, 8, 0xFFFFFF)).c_str(), kFirstFontSlot), 1.0);
    EXPECT_NE(store->plainTexture[kFirstFontSlot], 0u);
    EXPECT_EQ(store->mipTexture[kFirstFontSlot], 0u);
    EXPECT_EQ(Filter(store->plainTexture[kFirstFontSlot], GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(Filter(store->plainTexture[kFirstFontSlot], GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    // Slot 65503 is an ordinary slot.
    ASSERT_EQ(LoadSprite((dir + "f.bmp").c_str(), kFirstFontSlot - 1), 1.0);
    EXPECT_NE(store->mipTexture[kFirstFontSlot - 1], 0u);
    EXPECT_EQ(Filter(store->plainTexture[kFirstFontSlot - 1], GL_TEXTURE_MAG_FILTER), GL_LINEAR);
}

TEST_F(Store, FailedLoadsLeaveTheSlotEmptyAndBadSlotsAreIgnored) {
    ASSERT_EQ(LoadSprite(Write("ok.bmp", Picture(8, 8, 0x123456)).c_str(), 5), 1.0);
    const uint32_t old = store->plainTexture[5];
    WriteFile(dir + "bad.bmp", {'B', 'M', 1, 2, 3});
    EXPECT_EQ(LoadSprite((dir + "bad.bmp").c_str(), 5), 0.0);
    EXPECT_EQ(store->plainTexture[5], 0u);
    EXPECT_EQ(store->mipTexture[5], 0u);
    EXPECT_EQ(store->textureWidth[5], -1);
    EXPECT_EQ(store->imageWidth[5], 0);
    EXPECT_FALSE(glIsTexture(old));
    EXPECT_EQ(LoadSprite((dir + "absent.bmp").c_str(), 6), 0.0);
    EXPECT_EQ(LoadSprite("", 6), 0.0);
    // Slot numbers outside the store change nothing.
    EXPECT_EQ(LoadSprite((dir + "ok.bmp").c_str(), -1), 0.0);
    EXPECT_EQ(LoadSprite((dir + "ok.bmp").c_str(), 65536), 0.0);
    EXPECT_EQ(LoadSprite((dir + "ok.bmp").c_str(), 1e300), 0.0);
    double w = 1, h = 1;
    GetSpriteSize(70000, w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(GetTextureName(-5), 0);
    DrawSprite(70000, 0, 0);
    StretchSprite(-1, 0, 0, 5, 5);
    RotoZoomSprite(1e12, 0, 0, 0, 1);
    EXPECT_EQ(GetTextureName(5.9), 0);
    LoadSprite((dir + "ok.bmp").c_str(), 5.9);
    EXPECT_NE(GetTextureName(5), 0);
}

TEST_F(Store, PicturesAboveTheLargestPixelCountAreRefusedAndLeaveTheSlotEmpty) {
    ASSERT_EQ(LoadSprite(Write("ok.bmp", Picture(8, 8, 0x123456)).c_str(), 7), 1.0);
    // 16384 x 16384 grey pixels in about a quarter of a megabyte.
    WriteFile(dir + "huge.png", EncodeBlankGreyPng(16384, 16384));
    EXPECT_EQ(LoadSprite((dir + "huge.png").c_str(), 7), 0.0);
    EXPECT_EQ(store->plainTexture[7], 0u);
    EXPECT_EQ(store->mipTexture[7], 0u);
    EXPECT_EQ(store->textureWidth[7], -1);
    EXPECT_EQ(store->imageWidth[7], 0);
    LoadBmp((dir + "huge.png").c_str());
    EXPECT_EQ(store->tiledImages[0].columnCount, 0);
}

// The picture becomes the texture's buffer where it lies whenever the texture
// needs no more bytes: a power-of-two picture, and pictures cut to the GL's
// largest texture, whose rows then grow or shrink.
TEST_F(Store, PicturesTurnedIntoTexturesInPlaceKeepEveryPixel) {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    ASSERT_GE(largest, 64);
    auto tall = [](int x, int y) { return (uint32_t)(40 * x + 1) | (uint32_t)(y & 255) << 8 | (uint32_t)((y >> 8) & 127) << 16; };
    auto wide = [](int x, int y) { return (uint32_t)(x & 255) | (uint32_t)((x >> 8) & 255) << 8 | (uint32_t)(10 * y) << 16; };
    struct Case {
        int w, h;
        uint32_t (*colour)(int, int);
        int textureW, textureH;
    } cases[] = {
        {8, 4, wide, 8, 4},
        {3, 2 * largest - 100, tall, 4, largest},
        {largest + 5, 4, wide, largest, 4},
    };
    for (const Case& c : cases) {
        if ((int64_t)c.w * c.h > kLargestImagePixels) continue;
        Picture picture(c.w, c.h);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) picture.Set(x, y, c.colour(x, y));
        ASSERT_EQ(LoadSprite(Write("in_place.bmp", picture).c_str(), 8), 1.0) << c.w << " x " << c.h;
        EXPECT_EQ(store->imageWidth[8], std::min(c.w, c.textureW));
        EXPECT_EQ(store->imageHeight[8], std::min(c.h, c.textureH));
        int w, h;
        std::vector<uint8_t> texels = Texels(store->plainTexture[8], 0, w, h);
        ASSERT_EQ(w, c.textureW);
        ASSERT_EQ(h, c.textureH);
        const int usedW = std::min(c.w, w), usedH = std::min(c.h, h);
        for (int t = 0; t < h; ++t) {
            for (int x = 0; x < w; ++x) {
                const uint8_t* texel = TexelAt(texels, w, x, t);
                if (x >= usedW || t >= usedH) {
                    ASSERT_EQ(texel[3], 0) << c.w << " x " << c.h << " at " << x << "," << t;
                    continue;
                }
                const uint32_t want = c.colour(x, usedH - 1 - t);
                const uint32_t got = texel[0] | texel[1] << 8 | texel[2] << 16;
                ASSERT_EQ(got, want) << c.w << " x " << c.h << " at " << x << "," << t;
                ASSERT_EQ(texel[3], 255);
            }
        }
    }
}

TEST_F(Store, LoadsThroughTheDataArchive) {
    Write("packed.bmp", Picture(6, 5, 0x0000FF));
    std::string error;
    ASSERT_TRUE(CreateArchive(dir + "data.vaz", {dir + "packed.bmp"}, error)) << error;
    std::remove((dir + "packed.bmp").c_str());
    SetDataArchives((dir + "data.vaz").c_str(), "");
    EXPECT_EQ(LoadSprite("packed.bmp", 2), 1.0);
    EXPECT_EQ(store->imageWidth[2], 6);
    EXPECT_EQ(LoadSprite("missing.bmp", 2), 0.0);
}

TEST_F(Store, LoadBmpSplitsIntoTilesOfAtMost512) {
    Picture big(1000, 700, 0x102030);
    big.Set(999, 699, 0x00FF00);
    LoadBmp(Write("big.bmp", big).c_str());
    const TiledImage& tiles = store->tiledImages[0];
    EXPECT_EQ(tiles.columnCount, 2);
    EXPECT_EQ(tiles.rowCount, 2);
    for (int entry : {0, 1, 64, 65}) {
        EXPECT_NE(tiles.texture[entry], 0u) << entry;
        EXPECT_EQ(tiles.textureWidth[entry], 512);
        EXPECT_EQ(tiles.imageHeight[entry], 512);
    }
    EXPECT_EQ(tiles.texture[2], 0u);
    // The last picture pixel sits at (999 - 512, 699 - 512) of tile (1, 1),
    // which is texture row 511 - 187; beyond it the tile is transparent.
    int w;
    glBindTexture(GL_TEXTURE_2D, tiles.texture[65]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    std::vector<uint8_t> texels((size_t)512 * 512 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(TexelAt(texels, w, 487, 511 - 187)[1], 255);
    EXPECT_EQ(TexelAt(texels, w, 488, 511 - 187)[3], 0);
    // It was drawn at once.
    EXPECT_EQ(ReadPixel(5, 5), (Rgba{0x30, 0x20, 0x10, 255}));

    // A failed load empties record 0 and clears the screen.
    LoadBmp((dir + "absent.bmp").c_str());
    EXPECT_EQ(tiles.columnCount, 0);
    EXPECT_EQ(tiles.texture[0], 0u);
    EXPECT_EQ(ReadPixel(5, 5), (Rgba{0, 0, 0, 255}));
}

TEST_F(Store, PicturesWiderThanSixtyFourTilesAreCut) {
    LoadBmp(Write("long.bmp", Picture(64 * 512 + 40, 3, 0x0000FF)).c_str());
    const TiledImage& tiles = store->tiledImages[0];
    EXPECT_EQ(tiles.columnCount, 64);
    EXPECT_EQ(tiles.rowCount, 1);
    EXPECT_NE(tiles.texture[63 * 64], 0u);
}

TEST_F(Store, BlackScreenEmptiesTheBackground) {
    LoadBmp(Write("bg.bmp", Picture(20, 20, 0x00FF00)).c_str());
    ASSERT_EQ(store->tiledImages[0].rowCount, 1);
    const uint32_t tile = store->tiledImages[0].texture[0];
    BlackScreen();
    EXPECT_EQ(store->tiledImages[0].rowCount, 0);
    EXPECT_FALSE(glIsTexture(tile));
    EXPECT_EQ(ReadPixel(5, 5), (Rgba{0, 0, 0, 255}));
}

TEST_F(Store, SetTransparencySetsBothKeys) {
    EXPECT_EQ(store->spriteColourKey, kKey);
    EXPECT_EQ(store->fontColourKey, 0);
    SetTransparency(0x00FF00 + 0.9);
    EXPECT_EQ(store->spriteColourKey, 0x00FF00);
    EXPECT_EQ(store->fontColourKey, 0x00FF00);
    Picture picture(2, 1, 0x00FF00);
    picture.Set(1, 0, kKey);
    ASSERT_EQ(LoadSprite(Write("k.bmp", picture).c_str(), 1), 1.0);
    int w, h;
    std::vector<uint8_t> texels = Texels(store->plainTexture[1], 0, w, h);
    EXPECT_EQ(texels[3], 0);
    EXPECT_EQ(texels[7], 255);
    SetTransparency(-1);  // no key at all
    ASSERT_EQ(LoadSprite((dir + "k.bmp").c_str(), 1), 1.0);
    texels = Texels(store->plainTexture[1], 0, w, h);
    EXPECT_EQ(texels[3], 255);
}

TEST(StoreWithoutContext, FreeingChangesOnlyTheTables) {
    // A screen object whose context does not exist yet.
    engine.screen = new OpenGLZadudedo();
    SpriteStore* store = ActiveSpriteStore();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->textureWidth[7], 0);  // before first use
    store->plainTexture[7] = 77;
    store->mipTexture[7] = 78;
    store->textureWidth[7] = store->textureHeight[7] = 8;
    store->imageWidth[7] = store->imageHeight[7] = 5;
    store->alphaMask[7] = new uint8_t[64];
    FreeSprite(7);
    EXPECT_EQ(store->plainTexture[7], 77u);
    EXPECT_EQ(store->mipTexture[7], 78u);
    EXPECT_EQ(store->textureWidth[7], -1);
    EXPECT_EQ(store->textureHeight[7], -1);
    EXPECT_EQ(store->imageWidth[7], 0);
    EXPECT_EQ(store->alphaMask[7], nullptr);
}

TEST(StoreLife, ShutdownFreesTheStoreWithTheScreenObject) {
    UseScratchTempDirectory();
    StartScreen();
    InstallBuiltinFont(2);
    ASSERT_NE(ActiveSpriteStore()->plainTexture[kFirstFontSlot + 2], 0u);
    DrawSprite(kFirstFontSlot + 2, 0, 0);
    ASSERT_EQ(boundSprite, kFirstFontSlot + 2);
    // The screen object's destruction frees every texture and the store.
    Shutdown();
    EXPECT_EQ(engine.screen, nullptr);
    EXPECT_EQ(ActiveSpriteStore(), nullptr);
    EXPECT_EQ(boundSprite, -1);
}

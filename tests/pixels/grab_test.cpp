// Grabs, read-back and sprite collision on a real headless frame.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "pixels/pixels_support.h"
#include "support/headless.h"

namespace {

class Grab : public ::testing::Test {
protected:
    void SetUp() override { Start(320, 240); }
    void Start(int width, int height) {
        UseScratchTempDirectory();
        HeadlessSettings settings;
        settings.width = width;
        settings.height = height;
        StartHeadless(settings);
        store = ActiveSpriteStore();
        ClearTo(kBlack);
    }
    // Alpha of texel (x, y) of the slot's texture, row 0 at the bottom.
    int TexelAlpha(int slot, int x, int y) {
        std::vector<uint8_t> alpha((size_t)store->textureWidth[slot] * store->textureHeight[slot]);
        glBindTexture(GL_TEXTURE_2D, store->plainTexture[slot]);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, alpha.data());
        return alpha[(size_t)y * store->textureWidth[slot] + x];
    }
    SpriteStore* store = nullptr;
};

class GrabWideScreen : public Grab {
protected:
    void SetUp() override { Start(700, 300); }
};

}  // namespace

TEST_F(Grab, TexturesOfAtLeast32AreReusedWhenTheSizeFits) {
    EXPECT_EQ(GrabSprite(1, 0, 0, 10, 10), 1.0);
    EXPECT_EQ(store->textureWidth[1], 32);
    EXPECT_EQ(store->textureHeight[1], 32);
    EXPECT_EQ(store->imageWidth[1], 10);
    GrabSprite(2, 5, 5, 33, 10);
    EXPECT_EQ(store->textureWidth[2], 64);
    EXPECT_EQ(store->textureHeight[2], 32);
    EXPECT_EQ(store->imageWidth[2], 33);
    EXPECT_EQ(store->imageHeight[2], 10);
    // Sizes are held to what the GL can store.
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    GrabSprite(3, -1e12, 1e12, 1e12, -5);
    EXPECT_EQ(store->textureWidth[3], largest);
    EXPECT_EQ(store->imageHeight[3], 0);
    EXPECT_EQ(GrabSprite(65536, 0, 0, 10, 10), 1.0);

    // Same size: same texture; the twin and the old alpha mask go.
    ImageBuffer image;
    image.width = image.height = 20;
    image.pixels.assign(20 * 20 * 4, 255);
    ASSERT_TRUE(UploadImage(image, 0, 0, 0, 0, &store->plainTexture[5], &store->mipTexture[5], false, false));
    store->textureWidth[5] = store->textureHeight[5] = 32;
    store->alphaMask[5] = new uint8_t[32 * 32]();
    const uint32_t plain = store->plainTexture[5];
    GrabSprite(5, 0, 0, 20, 20);
    EXPECT_EQ(store->plainTexture[5], plain);
    EXPECT_EQ(store->mipTexture[5], 0u);
    EXPECT_EQ(store->alphaMask[5], nullptr);
}

TEST_F(Grab, TheKeyMakesTransparencyWithoutFrameBufferAlphaAndTheCopyKeepsItWith) {
    OverrideFrameBufferAlphaBits(0);
    SetTransparency(0);
    DrawRect(0, 0, 4, 4, ColourOf(kRed));
    DrawRect(0, 4, 4, 4, ColourOf(kGreen));
    GrabSprite(1, 0, 0, 8, 8);
    EXPECT_EQ(TexelAlpha(1, 0, 7), 255);
    EXPECT_EQ(TexelAlpha(1, 5, 7), 0);
    ClearTo(kWhite);
    DrawSprite(1, 50, 50);  // upright, black transparent
    EXPECT_EQ(ReadPixel(50, 50), kRed);
    EXPECT_EQ(ReadPixel(53, 57), kGreen);
    EXPECT_EQ(ReadPixel(54, 50), kWhite);

    // Another key, under half intensity and blending: its pixels become
    // transparent, black stays, and the probe pixel (2, 2) comes back.
    SetTransparency(ColourOf(kKeyColour));
    ClearTo(kBlack);
    DrawRect(4, 0, 4, 8, ColourOf(kKeyColour));
    SetPixel(2, 2, ColourOf(kGreen));
    AlphaMode(-0.5);
    GrabSprite(2, 0, 0, 8, 8);
    EXPECT_EQ(ReadPixel(2, 2), kGreen);
    EXPECT_EQ(TexelAlpha(2, 0, 7), 255);
    EXPECT_EQ(TexelAlpha(2, 5, 7), 0);
    EXPECT_FLOAT_EQ(store->alphaFactor, 0.5f);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));

    OverrideFrameBufferAlphaBits(8);
    GrabSprite(3, 0, 0, 8, 8);
    EXPECT_EQ(TexelAlpha(3, 5, 7), 255);
}

TEST_F(GrabWideScreen, GrabBackgroundTilesTheScreenAt512AndGetPixelReadsIt) {
    DrawRect(0, 0, 700, 300, 0x30201A);
    DrawRect(500, 100, 24, 10, ColourOf(kRed));
    SetPixel(699, 299, 0x123456);
    const std::vector<uint8_t> before = ReadBlock(0, 0, 700, 300);
    EXPECT_EQ(GetPixel(699, 299), (double)0x123456);
    EXPECT_EQ(GetPixel(511.9, 100), ColourOf(kRed));
    EXPECT_EQ(GetPixel(700, 0), 0.0);
    EXPECT_EQ(GetPixel(0, -1e300), 0.0);

    GrabBackground(2);
    const TiledImage& tiles = store->tiledImages[2];
    EXPECT_EQ(tiles.columnCount, 2);
    EXPECT_EQ(tiles.rowCount, 1);
    EXPECT_EQ(tiles.textureWidth[64], 512);
    EXPECT_EQ(tiles.imageWidth[64], 188);
    EXPECT_EQ(tiles.imageHeight[64], 300);
    ClearTo(kBlack);
    DrawTiledImage(2);
    EXPECT_EQ(ReadBlock(0, 0, 700, 300), before);
    const uint32_t tile = tiles.texture[64];
    GrabBackground(2);
    EXPECT_EQ(tiles.texture[64], tile);

    // Record 0 is the background every frame starts with.
    GrabBackground();
    ShowScreen();
    EXPECT_EQ(ReadBlock(0, 0, 700, 300), before);
}

TEST_F(Grab, CollisionNeedsACommonPixelWhereBothAreOpaque) {
    MakeSprite(1, Picture(4, 4, kRed));
    MakeSprite(2, Picture(4, 4, kGreen));
    EXPECT_EQ(SpriteCollision(1, 0, 0, 2, 4, 0), 0.0);  // touching
    EXPECT_EQ(SpriteCollision(1, 0, 0, 2, 0, -4), 0.0);
    EXPECT_EQ(SpriteCollision(1, 0, 0, 2, 3, 3), 1.0);  // one pixel
    EXPECT_EQ(SpriteCollision(1, -2, -2, 2, -5, -5.5), 1.0);
    EXPECT_EQ(SpriteCollision(1, 2147483646, 0, 2, 2147483645, 0), 1.0);
    EXPECT_EQ(SpriteCollision(1, -2e9, 0, 2, 2e9, 0), 0.0);
    EXPECT_EQ(SpriteCollision(1, 0, 0, 9, 0, 0), 0.0);  // empty slot
    EXPECT_EQ(SpriteCollision(1, 0, 0, 65536, 0, 0), 0.0);

    Picture leftHalf(4, 4, kBlack, 0);
    for (int y = 0; y < 4; ++y) leftHalf.Set(0, y, kRed), leftHalf.Set(1, y, kRed, 1);
    MakeSprite(3, leftHalf);
    EXPECT_EQ(SpriteCollision(3, 0, 0, 2, 2, 0), 0.0);  // only where 3 is transparent
    EXPECT_EQ(SpriteCollision(3, 0, 0, 2, 1, 0), 1.0);  // barely opaque counts

    // One common opaque pixel at each place of a 3 x 3 overlap: all four
    // passes of the scan are needed.
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            Picture a(3, 3, kBlack, 0), b(5, 4, kBlack, 0);
            a.Set(x, y, kWhite);
            b.Set(x + 2, y + 1, kWhite);
            MakeSprite(10, a);
            MakeSprite(11, b);
            EXPECT_EQ(SpriteCollision(10, 20, 30, 11, 18, 29), 1.0) << x << "," << y;
            EXPECT_EQ(SpriteCollision(10, 20, 30, 11, 19, 29), 0.0) << x << "," << y;
        }
    }

    // The mask is read once, and a new grab into the slot replaces it.
    const uint8_t* mask = store->alphaMask[1];
    ASSERT_NE(mask, nullptr);
    SpriteCollision(1, 0, 0, 2, 1, 1);
    EXPECT_EQ(store->alphaMask[1], mask);
    OverrideFrameBufferAlphaBits(0);
    SetTransparency(0);
    GrabSprite(1, 0, 0, 4, 4);  // black only: all transparent
    EXPECT_EQ(SpriteCollision(1, 0, 0, 2, 0, 0), 0.0);
}

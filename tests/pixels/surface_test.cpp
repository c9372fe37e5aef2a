// Off-screen surfaces on a real headless context, each case run with the GL's
// framebuffer objects and with REVEV_NO_FBO=1 (emulated in the corner).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "pixels/pixels_support.h"
#include "support/headless.h"

namespace {

class Surface : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        emulated = GetParam();
        emulated ? setenv("REVEV_NO_FBO", "1", 1) : unsetenv("REVEV_NO_FBO");
        UseScratchTempDirectory();
        StartHeadless();
        store = ActiveSpriteStore();
        ASSERT_EQ(fboEntryPoints.glGenFramebuffersEXT == nullptr, emulated);
        ClearTo(kBlue);
    }
    // The corner an emulated surface borrows, with a margin.
    std::vector<uint8_t> Corner() { return ReadBlock(0, 0, 140, 80); }
    bool emulated = false;
    SpriteStore* store = nullptr;
};

std::string ModeName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Emulated" : "FramebufferObject";
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Modes, Surface, ::testing::Bool(), ModeName);

TEST_P(Surface, CreateScreenMakesAnEmptyPictureAndIgnoresOtherNumbers) {
    CreateScreen(0, 10, 100, 60);
    EXPECT_EQ(store->textureWidth[10], 128);
    EXPECT_EQ(store->textureHeight[10], 64);
    EXPECT_EQ(store->imageWidth[10], 100);
    EXPECT_EQ(store->imageHeight[10], 60);
    EXPECT_EQ(store->surfaces[0].slot, 10);
    EXPECT_EQ(store->surfaces[0].width, emulated ? 0 : 128);
    DrawSprite(10, 0, 0);
    EXPECT_EQ(ReadPixel(50, 30), kBlue);

    MakeSprite(12, Picture(8, 8, kRed));
    const uint32_t texture = store->plainTexture[12];
    CreateScreen(32, 12, 50, 50);
    CreateScreen(-1, 12, 50, 50);
    EXPECT_EQ(store->plainTexture[12], texture);
    EXPECT_EQ(store->imageWidth[12], 8);
    EXPECT_EQ(store->surfaces[31].slot, -1);
    SetViewport(10, 10, 50, 50);
    UseScreen(32);
    UseScreen(5);  // never created
    EXPECT_EQ(store->currentSurface, -1);
    EXPECT_EQ(engine.screen->viewport[2], 50);
    UseScreen(-1);  // no surface active: only the viewport is reset
    EXPECT_EQ(engine.screen->viewport[2], 320);
    EXPECT_EQ(engine.screen->viewport[3], 240);
}

TEST_P(Surface, DrawingLandsInTheSpriteAndTheCornerIsLeftAsItWas) {
    // The corner holds many colours, black and the key colour.
    Picture pattern(140, 80);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 140; ++x) pattern.Set(x, y, {(x * 7) & 255, (y * 13) & 255, (x + y) & 255});
    pattern.Set(5, 5, kKeyColour);
    pattern.Set(6, 5, kBlack);
    MakeSprite(2, pattern);
    DrawSprite(2, 0, 0);
    const std::vector<uint8_t> before = Corner();

    MakeSprite(1, Picture(8, 8, kRed));
    CreateScreen(0, 10, 100, 60);
    AlphaMode(-0.5);
    UseScreen(0);
    AlphaMode(0);
    EXPECT_EQ(store->currentSurfaceEmulated, emulated ? 1 : 0);
    EXPECT_EQ(engine.screen->viewport[2], 100);
    DrawSprite(1, 0, 0);
    DrawRect(96, 56, 4, 4, ColourOf(kKeyColour));
    EXPECT_EQ(GetPixel(7, 7), ColourOf(kRed));  // reads see the surface
    AlphaMode(-0.5);
    UseScreen(-1);
    EXPECT_FLOAT_EQ(store->alphaFactor, 0.5f);  // the script's settings survive
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    AlphaMode(0);
    EXPECT_EQ(Corner(), before);

    // A second use draws on top of the first; the frame routine's present
    // ends it before the frame is shown.
    static std::vector<uint8_t> shown;
    SetPresentHook([] { shown = ReadBlock(0, 0, 140, 80); });
    UseScreen(0);
    DrawRect(20, 0, 10, 10, ColourOf(kGreen));
    ShowScreen();
    SetPresentHook(nullptr);
    EXPECT_EQ(shown, before);
    EXPECT_EQ(store->currentSurface, -1);
    EXPECT_EQ(engine.screen->viewport[2], 320);
    ClearTo(kBlack);
    DrawSprite(10, 100, 100);
    EXPECT_EQ(ReadPixel(100, 100), kRed);
    EXPECT_EQ(ReadPixel(107, 107), kRed);
    EXPECT_EQ(ReadPixel(108, 100), kBlack);
    EXPECT_EQ(ReadPixel(120, 100), kGreen);
    EXPECT_EQ(ReadPixel(199, 159), kBlack);  // the key colour drawn inside is transparent
}

TEST_P(Surface, SwitchingAndRecreatingSurfaces) {
    CreateScreen(0, 10, 32, 32);
    CreateScreen(1, 11, 32, 32);
    UseScreen(0);
    DrawRect(0, 0, 4, 4, ColourOf(kRed));
    UseScreen(1);
    EXPECT_EQ(store->currentSurface, 1);
    DrawRect(0, 0, 4, 4, ColourOf(kGreen));
    // Re-creating the active surface ends it before its framebuffer goes;
    // missing delete entry points are not called.
    fboEntryPoints.glDeleteFramebuffersEXT = nullptr;
    fboEntryPoints.glDeleteRenderbuffersEXT = nullptr;
    CreateScreen(1, 11, 16, 16);
    EXPECT_EQ(store->currentSurface, -1);
    EXPECT_EQ(ReadPixel(0, 0), kBlue);
    UseScreen(1);
    DrawRect(15, 15, 1, 1, ColourOf(kWhite));
    UseScreen(-1);
    DrawSprite(10, 100, 100);
    DrawSprite(11, 200, 100);
    EXPECT_EQ(ReadPixel(100, 100), kRed);
    EXPECT_EQ(ReadPixel(200, 100), kBlue);
    EXPECT_EQ(ReadPixel(215, 115), kWhite);
}

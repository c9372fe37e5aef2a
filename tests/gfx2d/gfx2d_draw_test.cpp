// Sprite and primitive drawing, read back from a real headless frame: sprite
// placement, mirroring, zoom and rotation, blending, primitives on pixel
// centres, polygons, the background drawn by the frame routine, and binding
// with and without the multitexture entry points.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "gfx2d_support.h"

namespace {

constexpr int32_t kKey = 0x8000FF;
const Rgba kBlack{0, 0, 0, 255};
const Rgba kRed{255, 0, 0, 255};
const Rgba kGreen{0, 255, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
const Rgba kWhite{255, 255, 255, 255};

class Draw : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        StartScreen();
        ClearTo(0, 0, 0);
    }

    // Loads a picture into a slot; nearest-looking results need exact texel
    // centres, which a 1:1 quad gives with linear filtering too.
    void Load(int slot, const Picture& picture) {
        const std::string path = dir + "s" + std::to_string(slot) + ".bmp";
        WriteFile(path, EncodeBmp(picture, 24));
        ASSERT_EQ(LoadSprite(path.c_str(), slot), 1.0);
    }

    // Expects the rectangle [x0, x1) x [y0, y1) to be `inside` and the pixels
    // just around it not.
    void ExpectBox(int x0, int y0, int x1, int y1, Rgba inside) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) ASSERT_EQ(ReadPixel(x, y), inside) << x << "," << y;
        for (int x = x0; x < x1; ++x) {
            EXPECT_FALSE(ReadPixel(x, y0 - 1) == inside) << x << "," << y0 - 1;
            EXPECT_FALSE(ReadPixel(x, y1) == inside) << x << "," << y1;
        }
        for (int y = y0; y < y1; ++y) {
            EXPECT_FALSE(ReadPixel(x0 - 1, y) == inside) << x0 - 1 << "," << y;
            EXPECT_FALSE(ReadPixel(x1, y) == inside) << x1 << "," << y;
        }
    }

    std::string dir;
};

void ExpectNear(Rgba got, Rgba want, int tolerance = 1) {
    EXPECT_NEAR(got.r, want.r, tolerance) << got;
    EXPECT_NEAR(got.g, want.g, tolerance) << got;
    EXPECT_NEAR(got.b, want.b, tolerance) << got;
}

// Left half red, right half blue.
Picture Halves(int w, int h) {
    Picture picture(w, h, 0xFF0000);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w / 2; ++x) picture.Set(x, y, 0x0000FF);
    return picture;
}

}  // namespace

TEST_F(Draw, DrawSpriteRoundsItsCornerUp) {
    Load(1, Picture(4, 3, 0x00FF00));
    DrawSprite(1, 10.2, 20.7);
    ExpectBox(11, 21, 15, 24, kGreen);
    ClearTo(0, 0, 0);
    DrawSprite(1, -0.5, -0.5);
    ExpectBox(0, 0, 4, 3, kGreen);
    EXPECT_EQ(ReadPixel(4, 0), kBlack);
}

TEST_F(Draw, ExactlyTheKeyColourIsSeeThrough) {
    Picture picture(3, 1, 0x0000FF);
    picture.Set(0, 0, kKey);
    picture.Set(1, 0, kKey ^ 0x000100);  // green one step off
    Load(2, picture);
    ClearTo(0, 255, 0);
    DrawSprite(2, 50, 50);
    EXPECT_EQ(ReadPixel(50, 50), kGreen);
    EXPECT_EQ(ReadPixel(51, 50), (Rgba{255, 1, 128, 255}));
    EXPECT_EQ(ReadPixel(52, 50), kRed);
}

TEST_F(Draw, StretchWithNegativeSizesMirrorsAndStaysVisible) {
    Load(3, Halves(4, 2));
    StretchSprite(3, 40, 10, -4, 2);  // covers x 36..39, mirrored: blue on the left
    ExpectBox(36, 10, 38, 12, kBlue);
    ExpectBox(38, 10, 40, 12, kRed);
    // Negative height only: flipped upside down, still drawn.
    Picture topRed(2, 2, 0xFF0000);  // blue, with a red top row
    topRed.Set(0, 0, 0x0000FF);
    topRed.Set(1, 0, 0x0000FF);
    Load(4, topRed);
    StretchSprite(4, 100, 20, 2, -2);  // covers y 18..19, the bottom row on top
    EXPECT_EQ(ReadPixel(100, 18), kBlue);
    EXPECT_EQ(ReadPixel(100, 19), kRed);
    // Both negative: turned by half a revolution, drawn as well.
    StretchSprite(4, 150, 20, -2, -2);
    EXPECT_EQ(ReadPixel(148, 18), kBlue);
    EXPECT_EQ(ReadPixel(149, 19), kRed);
    // The front face is counter-clockwise again afterwards.
    GLint front = 0;
    glGetIntegerv(GL_FRONT_FACE, &front);
    EXPECT_EQ(front, GL_CCW);
}

TEST_F(Draw, EmptyAndFailedSlotsDrawNothing) {
    WriteFile(dir + "bad.bmp", {'B', 'M', 0, 0});
    EXPECT_EQ(LoadSprite((dir + "bad.bmp").c_str(), 41), 0.0);
    Load(42, Picture(4, 4, 0xFFFFFF));
    FreeSprite(42);
    for (int slot : {40, 41, 42}) {
        DrawSprite(slot, 10, 10);
        StretchSprite(slot, 10, 10, 30, 20);
        StretchSprite(slot, 80, 40, -30, -20);
        StretchSprite(slot, 80, 40, -30, 20);
        ZoomSprite(slot, 10, 10, 3, 3);
        RotoZoomSprite(slot, 10, 10, 30, 4);
        for (int y = 0; y < 70; y += 3)
            for (int x = 0; x < 90; x += 3) ASSERT_EQ(ReadPixel(x, y), kBlack) << slot << ": " << x << "," << y;
    }
}

TEST_F(Draw, ZoomGrowsAboutTheCentre) {
    Load(5, Picture(4, 4, 0xFFFFFF));
    ZoomSprite(5, 20, 20, 1, 1);
    ExpectBox(20, 20, 24, 24, kWhite);
    ClearTo(0, 0, 0);
    ZoomSprite(5, 20, 20, 2, 2);
    ExpectBox(18, 18, 26, 26, kWhite);
    ClearTo(0, 0, 0);
    ZoomSprite(5, 20, 20, -1, 1);  // mirrored in place
    ExpectBox(20, 20, 24, 24, kWhite);
}

TEST_F(Draw, RotoZoomTurnsAboutTheCentre) {
    Picture picture(8, 8, 0x0000FF);
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 4; ++y) picture.Set(x, y, 0xFF0000);  // top half blue
    Load(6, picture);
    RotoZoomSprite(6, 60, 60, 0, 1);
    EXPECT_EQ(ReadPixel(63, 61), kBlue);
    EXPECT_EQ(ReadPixel(63, 66), kRed);
    ClearTo(0, 0, 0);
    RotoZoomSprite(6, 60, 60, 180, 1);
    EXPECT_EQ(ReadPixel(63, 61), kRed);
    EXPECT_EQ(ReadPixel(63, 66), kBlue);
    ClearTo(0, 0, 0);
    RotoZoomSprite(6, 60, 60, 0, 2);  // 16 x 16 about (64, 64)
    EXPECT_EQ(ReadPixel(57, 57), kBlue);
    EXPECT_EQ(ReadPixel(70, 70), kRed);
    EXPECT_EQ(ReadPixel(55, 64), kBlack);
}

TEST_F(Draw, AlphaModeBlendsAndScales) {
    Load(7, Picture(4, 4, 0xFFFFFF));
    // Half transparent: the colour is scaled by 0.5 and blended by alpha 0.5.
    ClearTo(255, 0, 0);
    AlphaMode(-0.5);
    DrawSprite(7, 0, 0);
    ExpectNear(ReadPixel(1, 1), {191, 64, 64, 255});
    // Additive with intensity 1 (2 is held to 1).
    ClearTo(100, 0, 0);
    AlphaMode(2);
    DrawSprite(7, 0, 0);
    ExpectNear(ReadPixel(1, 1), {255, 255, 255, 255});
    Load(8, Picture(4, 4, 0x102030));
    ClearTo(100, 0, 0);
    AlphaMode(0.5);
    DrawSprite(8, 0, 0);
    ExpectNear(ReadPixel(1, 1), {100 + 24, 16, 8, 255});
    // -3 is alpha blending with intensity 1: opaque sprites cover.
    ClearTo(100, 0, 0);
    AlphaMode(-3);
    DrawSprite(8, 0, 0);
    ExpectNear(ReadPixel(1, 1), {0x30, 0x20, 0x10, 255});
    // 0: no blending.
    AlphaMode(0);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(ActiveSpriteStore()->alphaFactor, 1.0f);
}

TEST_F(Draw, PrimitivesHitPixelCentres) {
    DrawRect(50, 30, -10, 5, 0x00FF00);  // x 41..50
    ExpectBox(41, 30, 51, 35, kGreen);
    DrawRect(100, 100, 3, -4, 0x0000FF);  // y 97..100
    ExpectBox(100, 97, 103, 101, kRed);
    SetPixel(7, 9, 0xFFFFFF);
    ExpectBox(7, 9, 8, 10, kWhite);
    DrawLine(200, 5, 210, 5, 0xFF0000);  // end point included
    ExpectBox(200, 5, 211, 6, kBlue);
    DrawLine(220, 5, 220, 5, 0xFF0000);  // a line of one point
    EXPECT_EQ(ReadPixel(220, 5), kBlue);
    // The state is back: alpha test on, colour opaque white.
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(colour[3], 1.0f);
}

TEST_F(Draw, ThePrimitiveColourFollowsTheAlphaFactorAndTheKey) {
    ClearTo(0, 0, 100);
    AlphaMode(-0.5);
    DrawRect(0, 0, 4, 4, 0x0000C8);  // red 200 x 0.5, alpha 0.5
    ExpectNear(ReadPixel(1, 1), {50, 0, 50, 255});
    AlphaMode(-1);
    DrawRect(10, 0, 4, 4, kKey);  // the key colour gets alpha 0
    EXPECT_EQ(ReadPixel(11, 1), (Rgba{0, 0, 100, 255}));
}

TEST_F(Draw, PolygonsBlendTheirVertexColours) {
    StartPoly(-1);
    PolyVector(10, 10, 0, 0, 0x000032);
    PolyVector(10, 30, 0, 0, 0x000032);
    PolyVector(30, 30, 0, 0, 0x000032);
    PolyVector(30, 10, 0, 0, 0x000032);
    AlphaMode(1);
    EndPoly();
    ExpectNear(ReadPixel(20, 20), {50, 0, 0, 255});
    // Drawn again without StartPoly: the same polygon adds once more.
    EndPoly();
    ExpectNear(ReadPixel(20, 20), {100, 0, 0, 255});
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));

    // Vertices in the key colour are fully transparent under alpha blending.
    ClearTo(0, 0, 0);
    AlphaMode(-1);
    StartPoly(-1);
    PolyVector(10, 10, 0, 0, kKey);
    PolyVector(10, 30, 0, 0, kKey);
    PolyVector(30, 30, 0, 0, kKey);
    EndPoly();
    EXPECT_EQ(ReadPixel(15, 25), kBlack);
}

TEST_F(Draw, TexturedPolygonsCountPicturePixelsFromTheTopLeft) {
    Picture picture(4, 4, 0xFF0000);
    for (int x = 0; x < 4; ++x) picture.Set(x, 0, 0x00FF00), picture.Set(x, 1, 0x00FF00);  // top half green
    Load(9, picture);
    StartPoly(9);
    // Map picture rows 0.5 to 1.5, between the centres of the two green
    // rows, onto a 40 x 40 square.
    PolyVector(100, 100, 0, 0.5, 0xFFFFFF);
    PolyVector(100, 140, 0, 1.5, 0xFFFFFF);
    PolyVector(140, 140, 4, 1.5, 0xFFFFFF);
    PolyVector(140, 100, 4, 0.5, 0xFFFFFF);
    EndPoly();
    EXPECT_EQ(ReadPixel(120, 101), kGreen);
    EXPECT_EQ(ReadPixel(120, 138), kGreen);
    // Many vertices: the buffer grows past its first 512.
    StartPoly(-1);
    for (int i = 0; i < 2000; ++i) PolyVector(200 + (i % 7), 200 + (i % 5), 0, 0, 0xFFFFFF);
    EndPoly();
}

TEST_F(Draw, TheFrameRoutineDrawsTheBackgroundAfterPresenting) {
    const std::string path = dir + "bg.bmp";
    Picture background(320, 240, 0x00FF00);
    background.Set(300, 200, 0xFF0000);
    WriteFile(path, EncodeBmp(background, 24));
    LoadBmp(path.c_str());
    AlphaMode(-0.25);
    ShowScreen();
    EXPECT_EQ(ReadPixel(10, 10), kGreen);
    EXPECT_EQ(ReadPixel(300, 200), kBlue);
    EXPECT_EQ(ActiveSpriteStore()->alphaFactor, 1.0f);
    BlackScreen();
    ShowScreen();
    EXPECT_EQ(ReadPixel(10, 10), kBlack);
}

TEST_F(Draw, BindingWorksWithAndWithoutMultitexture) {
    Load(11, Picture(4, 4, 0x00FF00));
    ASSERT_NE(glExt.glActiveTextureARB, nullptr);
    DrawSprite(11, 0, 0);
    EXPECT_EQ(ReadPixel(1, 1), kGreen);
    EXPECT_EQ(boundSprite, 11);
    BindSprite(-1, -1, false);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(boundSprite, -1);

    auto active = glExt.glActiveTextureARB;
    glExt.glActiveTextureARB = nullptr;
    DrawSprite(11, 10, 0);
    EXPECT_EQ(ReadPixel(11, 1), kGreen);
    BindSprite(-1, -1, false);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    glExt.glActiveTextureARB = active;

    // A second slot goes on unit 0 and the first on unit 1.
    Load(12, Picture(4, 4, 0x0000FF));
    BindSprite(11, 12, false);
    GLint unit0 = 0, unit1 = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &unit0);
    active(GL_TEXTURE1);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &unit1);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    active(GL_TEXTURE0);
    EXPECT_EQ((uint32_t)unit0, ActiveSpriteStore()->plainTexture[12]);
    EXPECT_EQ((uint32_t)unit1, ActiveSpriteStore()->plainTexture[11]);
    // The mipmapped twin when asked; unit 1 is off again.
    BindSprite(11, -1, true);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &unit0);
    EXPECT_EQ((uint32_t)unit0, ActiveSpriteStore()->mipTexture[11]);
    active(GL_TEXTURE1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    // Unit 1 turned on behind the binding's back is turned off after a reset.
    glEnable(GL_TEXTURE_2D);
    active(GL_TEXTURE0);
    ResetSpriteBinding();
    BindSprite(11, -1, false);
    active(GL_TEXTURE1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    active(GL_TEXTURE0);
    BindSprite(-1, -1, false);
}

TEST_F(Draw, SpritesAtA3DPointStandOnIt) {
    Load(13, Picture(8, 8, 0xFFFFFF));
    // With the 2D projection and an identity model-view, "up" is +y (down the
    // screen) and one scene unit is a pixel; scale 2 gives the full size.
    glDisable(GL_CULL_FACE);
    DrawSprite3D(13, 100, 50, 0, 2);
    ExpectBox(96, 50, 104, 58, kWhite);
    // Empty vertex lists draw nothing.
    DrawVertexList(nullptr, 0, GL_QUADS);
}

TEST_F(Draw, OnlySpritesAtTheirOwnSizeSkipLinearFiltering) {
    Picture picture(2, 1, 0xFF0000);
    picture.Set(0, 0, 0x0000FF);  // red, blue
    Load(14, picture);
    auto samplerOnUnit0 = [] {
        GLint sampler = -1;
        glGetIntegerv(GL_SAMPLER_BINDING, &sampler);
        return sampler;
    };
    DrawSprite(14, 0, 0);
    EXPECT_EQ(ReadPixel(0, 0), kRed);
    EXPECT_EQ(ReadPixel(1, 0), kBlue);
    EXPECT_NE(samplerOnUnit0(), 0);  // the nearest sampler stays for the next sprite
    DrawSprite(14, 0, 2);
    // A stretched sprite filters linearly again: the middle is a blend.
    StretchSprite(14, 10, 0, 8, 1);
    EXPECT_EQ(samplerOnUnit0(), 0);
    const Rgba middle = ReadPixel(13, 0);
    EXPECT_GT(middle.r, 0);
    EXPECT_GT(middle.b, 0);
    // The frame routine's reset takes the sampler away.
    DrawSprite(14, 0, 0);
    ResetSpriteBinding();
    EXPECT_EQ(samplerOnUnit0(), 0);
    DrawSprite(14, 0, 0);
    ShowScreen();
    EXPECT_EQ(samplerOnUnit0(), 0);
}

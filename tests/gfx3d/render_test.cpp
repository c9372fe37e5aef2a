// 3D drawing read back from a headless screen: a lit object's silhouette
// where the projection puts it, the transform stack moving it, frame blending
// of animated draws, static and streamed vertex sources, textures and fog.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cmath>
#include <string>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "gfx2d/gfx2d_support.h"
#include "gfx3d/gfx3d.h"
#include "scene_support.h"

namespace {

bool IsBlack(const Rgba& c) { return c.r < 8 && c.g < 8 && c.b < 8; }
// Red light on white: the global ambient (0.2) adds a little of every component.
bool IsRedLit(const Rgba& c) { return c.r > 200 && c.g < 100 && c.b < 100; }
bool IsBright(const Rgba& c) { return c.r > 128; }

// The rectangle a square of half side `half` centred on (cx, cy, cz) covers,
// as pixel bounds: whole pixels surely inside, and the ring just outside.
struct Expected {
    int insideX0, insideY0, insideX1, insideY1;
    int outsideX0, outsideY0, outsideX1, outsideY1;
};
Expected ExpectSquare(double cx, double cy, double cz, double half) {
    const ScreenPoint a = ProjectStandard(cx - half, cy + half, cz);
    const ScreenPoint b = ProjectStandard(cx + half, cy - half, cz);
    return {(int)std::ceil(a.x) + 1,  (int)std::ceil(a.y) + 1,  (int)std::floor(b.x) - 1, (int)std::floor(b.y) - 1,
            (int)std::floor(a.x) - 2, (int)std::floor(a.y) - 2, (int)std::ceil(b.x) + 1,  (int)std::ceil(b.y) + 1};
}

// Checks that exactly the expected rectangle passes `lit`: every pixel well
// inside does, none of the ring two pixels outside is anything but black.
void ExpectSilhouette(const Expected& e, bool (*lit)(const Rgba&)) {
    const int inside = (e.insideX1 - e.insideX0 + 1) * (e.insideY1 - e.insideY0 + 1);
    EXPECT_EQ(CountPixels(e.insideX0, e.insideY0, e.insideX1, e.insideY1, lit), inside)
        << "centre " << ReadPixel((e.insideX0 + e.insideX1) / 2, (e.insideY0 + e.insideY1) / 2);
    auto notBlack = [](const Rgba& c) { return !IsBlack(c); };
    EXPECT_EQ(CountPixels(e.outsideX0, e.outsideY0, e.outsideX1, e.outsideY0, notBlack), 0) << "above";
    EXPECT_EQ(CountPixels(e.outsideX0, e.outsideY1, e.outsideX1, e.outsideY1, notBlack), 0) << "below";
    EXPECT_EQ(CountPixels(e.outsideX0, e.outsideY0, e.outsideX0, e.outsideY1, notBlack), 0) << "left";
    EXPECT_EQ(CountPixels(e.outsideX1, e.outsideY0, e.outsideX1, e.outsideY1, notBlack), 0) << "right";
}

// Centre column of the bright run on row y; -1 when nothing is bright.
double BrightCentre(int y) {
    int first = -1, last = -1;
    for (int x = 0; x < 320; ++x) {
        if (!IsBright(ReadPixel(x, y))) continue;
        if (first < 0) first = x;
        last = x;
    }
    return first < 0 ? -1 : (first + last + 1) / 2.0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Silhouettes

TEST(ObjectPixels, LitSquareCoversItsProjection) {
    StartScreen();
    StandardScene();
    PutObject(1, {Square(0, 0, 0, 3)});
    // A red light along the view: the square facing the camera shows red.
    SetLight(0, 0x0000FF, 0, 0, 0, 0, 0, 0, 180);
    DrawObject(1, 0);
    ExpectSilhouette(ExpectSquare(0, 0, 0, 3), IsRedLit);
}

TEST(ObjectPixels, TransformStackMovesTheObject) {
    StartScreen();
    StandardScene();
    PutObject(1, {Square(0, 0, 0, 1)});
    MoveTransform(-5, 2, 0);
    PushTransform();
    // Scaled by 2 about its own centre, then turned a quarter about z: the
    // square stays a square of half side 2.
    ScaleTransform(2, 2, 2);
    RotateTransform(90, 0, 0, 1);
    DrawObject(1, 0);
    PopTransform();
    ExpectSilhouette(ExpectSquare(-5, 2, 0, 2), IsBright);
}

TEST(ObjectPixels, UnlitObjectIsDrawnInTheIntensity) {
    StartScreen();
    StandardScene();
    PutObject(1, {Square(0, 0, 0, 3)});
    DrawObject(1, 0);
    EXPECT_EQ(ReadPixel(160, 120), (Rgba{255, 255, 255, 255}));
}

// The cube builder's cube is closed and wound one way: culling either set of
// faces leaves the other, which covers the whole outline (from outside, or
// the inner faces seen through the culled ones).
TEST(ObjectPixels, BuiltCubeShowsWholeWhicheverFacesAreCulled) {
    StartScreen();
    CreateCube(5, 2);
    const double centre[3] = {2, 1.5, 0};
    const std::vector<ScreenPoint> outline = ConvexHull(CubeCorners(centre, 1));
    for (double cull : {1.0, -1.0, 0.0}) {
        StandardScene();
        SetCullMode(cull);
        MoveTransform(centre[0], centre[1], centre[2]);
        DrawObject(5, 0);
        std::vector<uint8_t> rgba(320 * 240 * 4);
        glReadPixels(0, 0, 320, 240, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        int inside = 0, wrong = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                const uint8_t* p = &rgba[((size_t)(239 - y) * 320 + x) * 4];
                const Rgba c{p[0], p[1], p[2], p[3]};
                const double d = InsideHull(outline, x + 0.5, y + 0.5);
                if (d > 1.5) {
                    ++inside;
                    wrong += !IsBright(c);
                } else if (d < -1.5) {
                    wrong += !IsBlack(c);
                }
            }
        EXPECT_GT(inside, 400);
        EXPECT_EQ(wrong, 0) << "cull mode " << cull;
    }
}

// ---------------------------------------------------------------------------
// Animated drawing

TEST(ObjectPixels, AnimatedDrawBlendsTheChosenFrames) {
    StartScreen();
    // Frame i is a square centred on x = -6 + 3 i.
    std::vector<std::vector<MeshVertex>> frames;
    for (int i = 0; i < 5; ++i) frames.push_back(Square(-6.0f + 3 * i, 0, 0, 1));
    struct Case {
        double from, to, position, interpolate, expectedX;
    };
    const Case cases[] = {
        {0, 4, 0.5, 1, 0},     // exactly frame 2
        {0, 4, 0.65, 1, 1.8},  // 0.4 x frame 2 + 0.6 x frame 3
        {0, 4, 1.25, 1, -3},   // as 0.25: frame 1
        {0, 4, -0.25, 1, -3},  // as 0.25 too
        {4, 0, 0.3, 1, 2.4},   // backwards: 0.8 x frame 3 + 0.2 x frame 2
        {1, 3, 0.5, 0, 0},     // no flag: midway between frames 1 and 3
        {2, 2, 0.9, 1, 0},     // one frame
    };
    for (const Case& c : cases) {
        StandardScene();
        PutObject(1, frames);
        DrawObjectAnimated(1, c.from, c.to, c.position, c.interpolate);
        EXPECT_NEAR(BrightCentre(120), ProjectStandard(c.expectedX, 0, 0).x, 1.0)
            << c.from << " -> " << c.to << " at " << c.position << " flag " << c.interpolate;
    }
}

// Positions next to those giving weight 0 draw next to it: the weight-0
// draw is the frame the blend gives there, not the other one.
TEST(ObjectPixels, AnimatedDrawMovesSmoothlyThroughWeightZero) {
    StartScreen();
    std::vector<std::vector<MeshVertex>> frames;
    for (int i = 0; i < 5; ++i) frames.push_back(Square(-6.0f + 3 * i, 0, 0, 1));
    struct Run {
        double from, to, interpolate;
        double positions[3];
    };
    const Run runs[] = {
        {0, 1, 0, {0, 0.001, 0.25}},      // no flag: the weight of frame 1 against frame 0
        {4, 0, 1, {0.25, 0.251, 0.5}},    // 0.25 is frame 3 exactly
        {4, 0, 1, {0.25, 0.249, 0.1}},    // 0.1 is 0.6 x frame 4 + 0.4 x frame 3
    };
    for (const Run& run : runs) {
        double previous = 0;
        for (int k = 0; k < 3; ++k) {
            const double t = run.positions[k];
            // Where the blend puts the square: frame (to - from) x t + from
            // with the flag, t of the way from `from` to `to` without.
            const double frame = run.from + (run.to - run.from) * t;
            StandardScene();
            PutObject(1, frames);
            DrawObjectAnimated(1, run.from, run.to, t, run.interpolate);
            const double x = BrightCentre(120);
            EXPECT_NEAR(x, ProjectStandard(-6 + 3 * frame, 0, 0).x, 1.0)
                << run.from << " -> " << run.to << " at " << t << " flag " << run.interpolate;
            if (k == 1) {
                EXPECT_NEAR(x, previous, 1.0) << "a step of 0.001 from " << run.positions[0];
            }
            previous = x;
        }
    }
}

TEST(ObjectPixels, StaticAndStreamedSourcesDrawTheSame) {
    StartScreen();
    StandardScene();
    PutObject(1, {Square(0, 0, 0, 3)});
    DrawObject(1, 0);
    const MeshObjectX& object = engine.scene3D->objectSlots[1].objects[0];
    if (glExt.glGenBuffersARB) {
        EXPECT_NE(object.staticBuffer, 0u);
    }
    EXPECT_EQ(object.dynamicBuffer, 0u);
    const Expected e = ExpectSquare(0, 0, 0, 3);
    ExpectSilhouette(e, IsBright);

    // Blending frame 0 with itself goes through the streamed list.
    StandardScene();
    DrawObjectAnimated(1, 0, 0, 0.5, 0);
    if (glExt.glGenBuffersARB) {
        EXPECT_NE(object.dynamicBuffer, 0u);
    }
    ExpectSilhouette(e, IsBright);
}

TEST(ObjectPixels, EmptyAndInvalidSlotsDrawNothing) {
    StartScreen();
    StandardScene();
    DrawObject(7, 0);
    DrawObject(-1, 0);
    DrawObject(99999, 0);
    DrawObjectAnimated(7, 0, 3, 0.5, 1);
    EXPECT_EQ(CountPixels(0, 0, 319, 239, [](const Rgba& c) { return !IsBlack(c); }), 0);
}

// ---------------------------------------------------------------------------
// Textures

TEST(ObjectPixels, SelectedTextureColoursTheObject) {
    StartScreen();
    const std::string dir = UseScratchTempDirectory();
    WriteFile(dir + "green.bmp", EncodeBmp(Picture(8, 8, 0x00FF00), 24));
    ASSERT_EQ(LoadSprite((dir + "green.bmp").c_str(), 3), 1);
    StandardScene();
    PutObject(1, {Square(0, 0, 0, 3)});
    SelectTextures(3, -1);
    DrawObject(1, 0);
    EXPECT_EQ(ReadPixel(160, 120), (Rgba{0, 255, 0, 255}));
    // 3D mode set-up drops the selection: the object is white again.
    StandardScene();
    DrawObject(1, 0);
    EXPECT_EQ(ReadPixel(160, 120), (Rgba{255, 255, 255, 255}));
}

// ---------------------------------------------------------------------------
// Fog

TEST(ObjectPixels, FogDarkensAFarObjectMoreThanANearOne) {
    StartScreen();
    StandardScene();
    PutObject(1, {Square(-5, 0, 0, 2)});    // 10 units from the eye
    PutObject(2, {Square(20, 0, -50, 4)});  // 60 units from the eye
    SetFog(0x000000, 0, 0, 100);
    DrawObject(1, 0);
    DrawObject(2, 0);
    const ScreenPoint nearPoint = ProjectStandard(-5, 0, 0);
    const ScreenPoint farPoint = ProjectStandard(20, 0, -50);
    const Rgba nearColour = ReadPixel((int)nearPoint.x, (int)nearPoint.y);
    const Rgba farColour = ReadPixel((int)farPoint.x, (int)farPoint.y);
    // Linear fog keeps (100 - distance) / 100 of the object's white.
    EXPECT_NEAR(nearColour.r, 255 * 0.9, 10);
    EXPECT_NEAR(farColour.r, 255 * 0.4, 10);
    EXPECT_GT(nearColour.r, farColour.r + 80);

    // Fog off: both white again.
    StandardScene();
    SetFog(-1, 0, 0, 0);
    DrawObject(2, 0);
    EXPECT_EQ(ReadPixel((int)farPoint.x, (int)farPoint.y), (Rgba{255, 255, 255, 255}));
}

// ---------------------------------------------------------------------------
// Debug-mode light markers

TEST(ObjectPixels, DebugModeMarksASpotLightsDirection) {
    StartScreen();
    StandardScene();
    // The spot at (0, 2, 0) points along +x: its marker line runs to the right.
    SetLight(1, 0xFFFFFF, 0, 2, 0, 1, 0, 0, 45);
    const ScreenPoint along = ProjectStandard(3, 2, 0);
    EXPECT_EQ(ReadPixel((int)along.x, (int)along.y), (Rgba{0, 0, 0, 255}));

    engine.debugMode = 1;
    SetLight(1, 0xFFFFFF, 0, 2, 0, 1, 0, 0, 45);
    engine.debugMode = 0;
    const Rgba line = ReadPixel((int)along.x, (int)along.y);
    EXPECT_NEAR(line.r, 0xE1, 12);
    EXPECT_NEAR(line.g, 0xAA, 12);
    EXPECT_NEAR(line.b, 0x6C, 12);
    // Below the line, nothing.
    EXPECT_EQ(ReadPixel((int)along.x, (int)along.y + 6), (Rgba{0, 0, 0, 255}));
}

// The 3D scene on a headless context, through GL state read back: the
// projection of a field of view, the camera, the transform stack, frame
// choice and sphere culling, lights and fog, triangle queries and the frame
// routine's reset.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cmath>

#include "core/engine.h"
#include "gfx2d/gfx2d_support.h"
#include "gfx3d/gfx3d.h"
#include "scene_support.h"
#include "strings/number_array.h"

namespace {

std::vector<float> Matrix(GLenum which) {
    std::vector<float> m(16);
    glGetFloatv(which, m.data());
    return m;
}

// Applies a column-order matrix to a point.
std::array<double, 3> Transform(const float m[16], double x, double y, double z) {
    return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
            m[2] * x + m[6] * y + m[10] * z + m[14]};
}

void ExpectPoint(const std::array<double, 3>& p, double x, double y, double z) {
    EXPECT_NEAR(p[0], x, 1e-4);
    EXPECT_NEAR(p[1], y, 1e-4);
    EXPECT_NEAR(p[2], z, 1e-4);
}

std::array<float, 4> LightVector(GLenum light, GLenum which) {
    std::array<float, 4> v{};
    glGetLightfv(light, which, v.data());
    return v;
}

}  // namespace

// ---------------------------------------------------------------------------
// Projection

TEST(Projection, FieldOfViewGivesFrustumOrOrthographicBox) {
    const ProjectionBox frustum = ComputeProjectionBox(2, 500, 90, 4.0 / 3.0);
    EXPECT_FALSE(frustum.orthographic);
    EXPECT_NEAR(frustum.top, 2 * std::tan(M_PI / 4), 1e-12);
    EXPECT_NEAR(frustum.bottom, -frustum.top, 1e-12);
    EXPECT_NEAR(frustum.right, frustum.top * 4.0 / 3.0, 1e-12);

    const ProjectionBox box = ComputeProjectionBox(2, 500, -45, 4.0 / 3.0);
    EXPECT_TRUE(box.orthographic);
    EXPECT_NEAR(box.top, 100 * 2 * std::tan(M_PI / 8), 1e-9);
    EXPECT_NEAR(box.left, -box.top * 4.0 / 3.0, 1e-9);
}

TEST(Projection, SetUpLoadsItAndTheCullTangent) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    std::vector<float> p = Matrix(GL_PROJECTION_MATRIX);
    // A frustum of top 1 at near 1: y scale near / top = 1, x scale 1 / aspect.
    EXPECT_NEAR(p[5], 1.0, 1e-5);
    EXPECT_NEAR(p[0], 240.0 / 320.0, 1e-5);
    EXPECT_NEAR(p[11], -1.0, 1e-6);  // perspective divide
    // 90 + 5 is past 89 degrees: the widest cone.
    EXPECT_NEAR(engine.scene3D->cullTangent, std::tan(1.553343), 1e-2);

    Setup3DMode(1, 1000, -45);
    p = Matrix(GL_PROJECTION_MATRIX);
    EXPECT_NEAR(p[5], 1 / (100 * std::tan(M_PI / 8)), 1e-6);
    EXPECT_NEAR(p[15], 1.0, 1e-6);  // no perspective divide
    EXPECT_NEAR(engine.scene3D->cullTangent, std::tan(1.553343), 1e-2);

    Setup3DMode(1, 1000, 30);
    EXPECT_NEAR(engine.scene3D->cullTangent, std::tan(35 / 57.29578), 1e-6);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}

TEST(Projection, ViewportFollowsThe2DViewportRecord) {
    StartScreen();
    SetViewport(10, 20, 100, 50);
    Setup3DMode(1, 100, 60);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 10);
    EXPECT_EQ(viewport[1], 240 - 50 - 20);  // measured from the bottom
    EXPECT_EQ(viewport[2], 100);
    EXPECT_EQ(viewport[3], 50);
    EXPECT_NEAR(Matrix(GL_PROJECTION_MATRIX)[0] * 2.0, Matrix(GL_PROJECTION_MATRIX)[5], 1e-5);  // aspect 2
}

// ---------------------------------------------------------------------------
// Camera

TEST(Camera, AlongZIsATranslationOnly) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    SetCamera(0, 0, 10, 0, 0, 0);
    const float* m = engine.scene3D->cameraMatrix;
    const float expected[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -10, 1};
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(m[i], expected[i]) << i;
    std::vector<float> gl = Matrix(GL_MODELVIEW_MATRIX);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(gl[i], expected[i]) << i;
}

TEST(Camera, EyeGoesToTheOriginAndTargetAheadOnMinusZ) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    SetCamera(3, 4, 5, 1, 1, 1);
    const float* m = engine.scene3D->cameraMatrix;
    ExpectPoint(Transform(m, 3, 4, 5), 0, 0, 0);
    ExpectPoint(Transform(m, 1, 1, 1), 0, 0, -std::sqrt(4.0 + 9 + 16));
    // World up stays in the upper half of the view.
    EXPECT_GT(Transform(m, 3, 5, 5)[1], 0);
}

TEST(Camera, UpVectorTurnsTheViewAndSetUpRestoresIt) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    SetUpVector(1, 0, 0);
    SetCamera(0, 0, 10, 0, 0, 0);
    // World x is now up on the screen.
    ExpectPoint(Transform(engine.scene3D->cameraMatrix, 1, 0, 0), 0, 1, -10);
    Setup3DMode(1, 1000, 90);
    SetCamera(0, 0, 10, 0, 0, 0);
    ExpectPoint(Transform(engine.scene3D->cameraMatrix, 1, 0, 0), 1, 0, -10);
}

// ---------------------------------------------------------------------------
// Transform stack

TEST(TransformStack, ScaleRotateMoveInThatOrder) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    glLoadIdentity();
    MoveTransform(5, 0, 0);
    RotateTransform(90, 0, 0, 1);  // first: (1, 0, 0) -> (0, 1, 0)
    RotateTransform(90, 1, 0, 0);  // then: (0, 1, 0) -> (0, 0, 1)
    PushTransform();
    ScaleTransform(2, 3, 4);
    glPushMatrix();
    ApplyTransformStack();
    std::vector<float> m = Matrix(GL_MODELVIEW_MATRIX);
    glPopMatrix();
    ExpectPoint(Transform(m.data(), 1, 0, 0), 5, 0, 2);
    PopTransform();
    EXPECT_EQ(engine.scene3D->depth, 0);
}

TEST(TransformStack, MoveOrScaleAfterRotateDropsTheRotations) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    RotateTransform(90, 0, 0, 1);
    MoveTransform(1, 2, 3);
    EXPECT_EQ(engine.scene3D->levels[0].rotationCount, 0);
    RotateTransform(90, 0, 0, 1);
    ScaleTransform(1, 1, 1);
    EXPECT_EQ(engine.scene3D->levels[0].rotationCount, 0);
    EXPECT_FLOAT_EQ(engine.scene3D->levels[0].translation[1], 2);
}

TEST(TransformStack, MatricesAndLimits) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    glLoadIdentity();
    NumberArray matrix;
    const double translate[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 7, 8, 9, 1};
    matrix.FillFromList(16, translate);
    MultiplyMatrix(matrix);
    MoveTransform(0, 0, 0);
    EXPECT_EQ(engine.scene3D->levels[0].matrixCount, 0);
    MultiplyMatrix(matrix);
    glPushMatrix();
    ApplyTransformStack();
    ExpectPoint(Transform(Matrix(GL_MODELVIEW_MATRIX).data(), 1, 1, 1), 8, 9, 10);
    glPopMatrix();

    // 16 rotations and 16 matrices per level; more are dropped.
    for (int i = 0; i < 20; ++i) RotateTransform(1, 0, 1, 0);
    for (int i = 0; i < 20; ++i) MultiplyMatrix(matrix);
    EXPECT_EQ(engine.scene3D->levels[0].rotationCount, 16);
    EXPECT_EQ(engine.scene3D->levels[0].matrixCount, 16);
    // 16 levels: pushes past the last are refused, pops stop at 0.
    for (int i = 0; i < 20; ++i) PushTransform();
    EXPECT_EQ(engine.scene3D->depth, 15);
    for (int i = 0; i < 20; ++i) PopTransform();
    EXPECT_EQ(engine.scene3D->depth, 0);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST(TransformStackDeathTest, MatrixOfWrongShapeIsFatalError9) {
    UseScratchTempDirectory();
    EXPECT_EXIT(
        {
            StartScreen();
            NumberArray matrix;
            matrix.Dimension(4, 4);
            MultiplyMatrix(matrix);
        },
        testing::ExitedWithCode(0), "");
}

TEST(TransformStack, CameraAndSetUpPopToDepth0) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    PushTransform();
    PushTransform();
    MoveTransform(1, 1, 1);
    SetCamera(0, 0, 10, 0, 0, 0);
    EXPECT_EQ(engine.scene3D->depth, 0);
    GLint stackDepth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackDepth);
    EXPECT_EQ(stackDepth, 1);
    PushTransform();
    Setup3DMode(1, 1000, 90);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackDepth);
    EXPECT_EQ(stackDepth, 1);
    EXPECT_EQ(engine.scene3D->depth, 0);
}

// ---------------------------------------------------------------------------
// Frame choice and culling

TEST(FrameChoice, InterpolatedPositionsAndWeights) {
    struct Case {
        int from, to;
        double position;
        bool interpolate;
        int p, q;
        float weight;
    };
    const Case cases[] = {
        {0, 4, 0.5, true, 2, 3, 1.0f},    // exactly frame 2
        {0, 4, 0.65, true, 2, 3, 0.4f},   // 0.4 x frame 2 + 0.6 x frame 3
        {0, 4, 1.25, true, 1, 2, 1.0f},   // as 0.25
        {0, 4, -0.25, true, 1, 2, 1.0f},  // as 0.25
        {4, 0, 0.3, true, 3, 2, 0.8f},
        {3, 3, 0.7, true, 3, 3, 0.0f},
        {0, 4, 1.0, true, 4, 4, 1.0f},    // frame 5 does not exist: held to 4
        {1, 3, 0.5, false, 3, 1, 0.5f},   // no flag: the position is the weight
        {-2, -1, 0.5, false, 0, 0, 0.5f},
        {0, 1, 0, false, 0, 0, 0.0f},     // weight 0: the from frame, as the blend gives
        {4, 0, 0.25, true, 3, 3, 0.0f},   // exactly frame 3
        {4, 0, 0.1, true, 4, 3, 0.6f},
    };
    for (const Case& c : cases) {
        const FrameChoice got = ChooseFrames(c.from, c.to, c.position, c.interpolate, 5);
        EXPECT_EQ(got.p, c.p) << c.from << "->" << c.to << " at " << c.position;
        EXPECT_EQ(got.q, c.q) << c.from << "->" << c.to << " at " << c.position;
        EXPECT_NEAR(got.weight, c.weight, 1e-6) << c.from << "->" << c.to << " at " << c.position;
    }
}

TEST(SphereCulling, ConeAroundTheViewDirection) {
    const float eye[3] = {0, 0, 10}, target[3] = {0, 0, 0};
    const float tangent = std::tan(50 / 57.29578f);  // field of view 45
    const float ahead[3] = {0, 0, 0}, side[3] = {30, 0, 0}, edge[3] = {15, 0, 0}, behind[3] = {0, 0, 20};
    EXPECT_TRUE(SphereVisible(ahead, 1, eye, target, tangent));
    EXPECT_FALSE(SphereVisible(side, 1, eye, target, tangent));
    // Just outside the cone, but the radius reaches into it.
    EXPECT_FALSE(SphereVisible(edge, 0.5f, eye, target, tangent));
    EXPECT_TRUE(SphereVisible(edge, 10, eye, target, tangent));
    // Behind the eye only a sphere around the eye is drawn.
    EXPECT_FALSE(SphereVisible(behind, 5, eye, target, tangent));
    EXPECT_TRUE(SphereVisible(behind, 12, eye, target, tangent));
    EXPECT_FLOAT_EQ(ApproxSqrt(4), 2);
    EXPECT_FLOAT_EQ(ApproxSqrt(16), 4);
}

TEST(SphereCulling, SkippedObjectsNeverReachTheGl) {
    StartScreen();
    if (!glExt.glGenBuffersARB) GTEST_SKIP() << "no buffer objects to observe";
    // A field of view of 45: the cull cone is 50 degrees wide each way.
    Setup3DMode(1, 1000, 45);
    SetCamera(0, 0, kEyeZ, 0, 0, 0);
    PutObject(1, {Square(0, 0, 0, 1)});
    PutObject(2, {Square(0, 0, 0, 1)});
    const MeshObjectX& culled = engine.scene3D->objectSlots[1].objects[0];
    const MeshObjectX& drawn = engine.scene3D->objectSlots[2].objects[0];
    // A streamed draw makes the object's dynamic buffer; a culled one does not.
    MoveTransform(40, 0, 0);  // far to the side of the view along -z
    DrawObjectAnimated(1, 0, 0, 0.5, 0);
    EXPECT_EQ(culled.dynamicBuffer, 0u);
    MoveTransform(0, 0, -40);
    DrawObjectAnimated(2, 0, 0, 0.5, 0);
    EXPECT_NE(drawn.dynamicBuffer, 0u);
    // Inside a pushed level the test is not made.
    PushTransform();
    MoveTransform(40, 0, 0);
    DrawObjectAnimated(1, 0, 0, 0.5, 0);
    PopTransform();
    EXPECT_NE(culled.dynamicBuffer, 0u);
}

// ---------------------------------------------------------------------------
// Lights

TEST(Lights, SpotLightConeAndWrappedNumber) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    glLoadIdentity();
    SetLight(9, 0x00FF00, 1, 2, 3, 0, 0, -2, 45);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    EXPECT_EQ(engine.scene3D->lightMask, 2);
    float cutoff = 0;
    glGetLightfv(GL_LIGHT1, GL_SPOT_CUTOFF, &cutoff);
    EXPECT_FLOAT_EQ(cutoff, 45);
    EXPECT_EQ(LightVector(GL_LIGHT1, GL_POSITION), (std::array<float, 4>{1, 2, 3, 1}));
    const auto direction = LightVector(GL_LIGHT1, GL_SPOT_DIRECTION);
    EXPECT_FLOAT_EQ(direction[2], -1);
    EXPECT_EQ(LightVector(GL_LIGHT1, GL_DIFFUSE), (std::array<float, 4>{0, 1, 0, 1}));
    EXPECT_EQ(LightVector(GL_LIGHT1, GL_SPECULAR), (std::array<float, 4>{0, 1, 0, 1}));
}

TEST(Lights, DirectionalPointAndCameraLights) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    glLoadIdentity();
    SetLight(0, 0xFFFFFF, 5, 5, 5, 0, -1, 0, 180);
    EXPECT_EQ(LightVector(GL_LIGHT0, GL_POSITION), (std::array<float, 4>{0, 1, 0, 0}));
    EXPECT_EQ(LightVector(GL_LIGHT0, GL_SPECULAR), (std::array<float, 4>{0, 0, 0, 1}));

    SetLight(2, 0xFFFFFF, 4, 5, 6, 0, 0, 0, 120);
    EXPECT_EQ(LightVector(GL_LIGHT2, GL_POSITION), (std::array<float, 4>{4, 5, 6, 1}));
    float cutoff = 0;
    glGetLightfv(GL_LIGHT2, GL_SPOT_CUTOFF, &cutoff);
    EXPECT_FLOAT_EQ(cutoff, 180);

    // A camera light ignores the modelview of the moment.
    SetCamera(0, 0, 10, 0, 0, 0);
    SetSimpleLight(3, 0xFFFFFF);
    EXPECT_EQ(LightVector(GL_LIGHT3, GL_POSITION), (std::array<float, 4>{0, 0, 1, 0}));
    // Positions are taken in the space current at the call.
    SetLight(4, 0xFFFFFF, 0, 0, 2, 0, 0, 0, 120);
    EXPECT_EQ(LightVector(GL_LIGHT4, GL_POSITION), (std::array<float, 4>{0, 0, -8, 1}));
}

TEST(Lights, LightingStaysOnWhileAnyLightIs) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    SetSimpleLight(0, 0xFFFFFF);
    SetLight(0, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    SetSimpleLight(0, 0xFFFFFF);
    SetSimpleLight(5, 0xFFFFFF);
    SetLight(0, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    EXPECT_EQ(engine.scene3D->lightMask, 1 << 5);
    // 3D mode set-up turns every light off.
    Setup3DMode(1, 1000, 90);
    EXPECT_EQ(engine.scene3D->lightMask, 0);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}

TEST(Lights, NegativeNumbersSetTheEffectLight) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    SetLight(-1, 0x0000FF, 1, 2, 3, 0, 0, 0, 30);
    Zadudedo3D& scene = *engine.scene3D;
    EXPECT_EQ(scene.effectOn, 1);
    EXPECT_EQ(scene.effectMode, 1);
    EXPECT_FLOAT_EQ(scene.effectLightPosition[2], 3);
    EXPECT_FLOAT_EQ(scene.effectLightColour[0], 1);
    EXPECT_EQ(scene.lightMask, 0);
    SetLight(-1, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(scene.effectOn, 0);
    EXPECT_EQ(scene.effectMode, 1);
    SetLight(-2, 0, 0, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(scene.effectMode, 2);
    SetLight(-3, 0, 0, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(scene.effectMode, 3);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}

// ---------------------------------------------------------------------------
// Fog

TEST(Fog, LinearDefaultsToNearAndFar) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    SetFog(0x0000FF, 0, 0, 0);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    GLint mode = 0;
    glGetIntegerv(GL_FOG_MODE, &mode);
    EXPECT_EQ(mode, GL_LINEAR);
    float start = 0, end = 0, colour[4];
    glGetFloatv(GL_FOG_START, &start);
    glGetFloatv(GL_FOG_END, &end);
    glGetFloatv(GL_FOG_COLOR, colour);
    EXPECT_FLOAT_EQ(start, 1);
    EXPECT_FLOAT_EQ(end, 1000);
    EXPECT_FLOAT_EQ(colour[0], 1);
    EXPECT_FLOAT_EQ(colour[1], 0);
    EXPECT_FLOAT_EQ(colour[2], 0);
    EXPECT_FLOAT_EQ(colour[3], 0);

    SetFog(0x0000FF, 0, 5, 0);  // only both 0 mean the defaults
    glGetFloatv(GL_FOG_START, &start);
    glGetFloatv(GL_FOG_END, &end);
    EXPECT_FLOAT_EQ(start, 5);
    EXPECT_FLOAT_EQ(end, 0);
}

TEST(Fog, ExponentialAndOff) {
    StartScreen();
    Setup3DMode(1, 1000, 90);
    SetFog(0xFFFFFF, 1, 0.25, 0);
    GLint mode = 0;
    float density = 0;
    glGetIntegerv(GL_FOG_MODE, &mode);
    glGetFloatv(GL_FOG_DENSITY, &density);
    EXPECT_EQ(mode, GL_EXP);
    EXPECT_FLOAT_EQ(density, 0.25f);
    SetFog(-1, 0, 0, 0);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    SetFog(0xFFFFFF, 0, 0, 0);
    SetFog(4294967295.0, 0, 0, 0);  // all 32 bits set
    EXPECT_FALSE(glIsEnabled(GL_FOG));
}

// ---------------------------------------------------------------------------
// Slot queries and the frame routine

TEST(SlotQueries, CountAndReadTriangles) {
    StartScreen();
    PutObject(1, {Square(0, 0, 0, 1, 0x00123456), Square(0, 0, 5, 2, 0x00123456)});
    EXPECT_EQ(CountTriangleVertices(1), 6);
    EXPECT_EQ(CountTriangleVertices(2), 0);
    EXPECT_EQ(CountTriangleVertices(-1), 0);
    NumberArray triangle;
    GetTriangle(1, 1, 3, triangle);
    ASSERT_EQ(triangle.DimensionSize(0), 3u);
    ASSERT_EQ(triangle.DimensionSize(1), 9u);
    // Records 3, 4, 5 of frame 1: (-2, -2), (2, 2), (-2, 2) at z 5.
    EXPECT_FLOAT_EQ(triangle.At(0, 0), -2);
    EXPECT_FLOAT_EQ(triangle.At(1, 1), 2);
    EXPECT_FLOAT_EQ(triangle.At(2, 2), 5);
    EXPECT_FLOAT_EQ(triangle.At(2, 3), 0);        // u
    EXPECT_FLOAT_EQ(triangle.At(2, 4), -1);       // drawn v is the stored v negated
    EXPECT_EQ(triangle.At(0, 5), (double)0x00123456);
    EXPECT_NEAR(triangle.At(1, 8), 1, 1e-6);      // nz
    // Past the end: dimensioned and left zero.
    GetTriangle(1, 0, 6, triangle);
    EXPECT_EQ(triangle.DimensionSize(0), 3u);
    EXPECT_EQ(triangle.At(0, 0), 0);
    // Records are found in the object whose list covers the index.
    ObjectSlot& slot = engine.scene3D->objectSlots[1];
    slot.objects.push_back(slot.objects[0]);
    slot.objects[1].frames[0].triangles[0].x = 42;
    EXPECT_EQ(CountTriangleVertices(1), 12);
    GetTriangle(1, 0, 6, triangle);
    EXPECT_FLOAT_EQ(triangle.At(0, 0), 42);
}

TEST(FrameRoutine, ResetsTextureModeAndShaders) {
    StartScreen();
    ASSERT_NE(engine.scene3D, nullptr);
    EXPECT_EQ(engine.scene3D->screen, engine.screen);
    SetTextureVariant(1);
    EXPECT_EQ(engine.scene3D->textureVariant, 1);
    engine.scene3D->currentShader = 3;
    ShowScreen();
    EXPECT_EQ(engine.scene3D->textureVariant, 0);
    if (glExt.glUseProgramObjectARB) {
        EXPECT_EQ(engine.scene3D->currentShader, kShaderSlotCount);
    }
}

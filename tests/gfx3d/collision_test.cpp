// Collision and projection: sphere, ray and box against a triangle in object
// space, the commands placing the query by the transform stack, and world to
// screen and back on a headless context.
#include <gtest/gtest.h>

#include <cmath>

#include "core/engine.h"
#include "gfx2d/gfx2d_support.h"
#include "gfx3d/gfx3d.h"
#include "scene_support.h"

namespace {

MeshVertex Corner(float x, float y, float z) {
    MeshVertex v{};
    v.x = x;
    v.y = y;
    v.z = z;
    v.colour = 0x00FFFFFF;
    return v;
}

// A large triangle in the plane y = 0 around the origin, and far corners.
MeshObjectX Floor() {
    MeshObjectX object;
    object.frames.emplace_back();
    object.frames[0].vertices = {Corner(-20, 0, -20), Corner(20, 0, -20), Corner(0, 0, 30)};
    PackObject(object);
    object.BuildTriangles();
    ComputeBounds(object);
    return object;
}

void Put(int slot, const MeshObjectX& object) {
    ObjectSlot& s = engine.scene3D->objectSlots[slot];
    ClearObjectSlot(s);
    s.objects.push_back(object);
    s.loaded = 1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Object space

TEST(Collision, SphereJustAboveTheTriangleHitsAndOneFurtherUpDoesNot) {
    const MeshObjectX floor = Floor();
    const float near[3] = {0, 0.5f, 0}, far[3] = {0, 1.5f, 0}, below[3] = {0, -0.9f, 0};
    EXPECT_TRUE(SphereHitsFrame(floor, 0, near, 1));
    EXPECT_FALSE(SphereHitsFrame(floor, 0, far, 1));
    EXPECT_TRUE(SphereHitsFrame(floor, 0, below, 1));
    // Beside the triangle but within reach of an edge.
    const float byEdge[3] = {0, 0.3f, -20.5f}, pastEdge[3] = {0, 0.3f, -21.5f};
    EXPECT_TRUE(SphereHitsFrame(floor, 0, byEdge, 1));
    EXPECT_FALSE(SphereHitsFrame(floor, 0, pastEdge, 1));
    // A sphere around the first corner hits without a plane test.
    const float corner[3] = {-20, 0, -20};
    EXPECT_TRUE(SphereHitsFrame(floor, 0, corner, 0.01f));
    EXPECT_FALSE(SphereHitsFrame(floor, 1, near, 1));
    EXPECT_FALSE(SphereHitsFrame(floor, -1, near, 1));
}

TEST(Collision, RayGivesItsParameterOrMinusOneBehind) {
    const MeshObjectX floor = Floor();
    const float from[3] = {0, 5, 0}, down[3] = {0, -5, 0}, up[3] = {0, 10, 0};
    EXPECT_DOUBLE_EQ(RayHitsFrame(floor, 0, from, down), 0.5);
    EXPECT_DOUBLE_EQ(RayHitsFrame(floor, 0, from, up), -1.0);
    const float aside[3] = {100, 5, 0}, asideDown[3] = {100, -5, 0};
    EXPECT_EQ(RayHitsFrame(floor, 0, aside, asideDown), 0.0);
    // Parallel to the plane.
    const float level[3] = {0, 1, 0}, levelEnd[3] = {1, 1, 0};
    EXPECT_EQ(RayHitsFrame(floor, 0, level, levelEnd), 0.0);
    // The nearest positive hit wins over a negative one and a farther one.
    EXPECT_EQ(CloserRayHit(CloserRayHit(-0.2, 3), 0.7), 0.7);
    EXPECT_EQ(CloserRayHit(-0.2, -0.1), -0.1);
    EXPECT_EQ(CloserRayHit(0, -0.1), -0.1);
}

TEST(Collision, BoxOverlapsOnlyWhenNoAxisSeparates) {
    const MeshObjectX floor = Floor();
    const float axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const float touching[3] = {0, 1, 0}, above[3] = {0, 1.01f, 0}, inside[3] = {0, -0.5f, 0};
    EXPECT_TRUE(BoxHitsFrame(floor, 0, touching, axes, std::sqrt(3.0)));
    EXPECT_FALSE(BoxHitsFrame(floor, 0, above, axes, std::sqrt(3.0)));
    EXPECT_TRUE(BoxHitsFrame(floor, 0, inside, axes, std::sqrt(3.0)));
    // Beside the slanted edge from (20, 0, -20) to (0, 0, 30): its face axes
    // overlap but the edge cross products separate a box turned 45 degrees.
    const float s = (float)std::sqrt(0.5);
    const float turned[3][3] = {{s, 0, s}, {0, 1, 0}, {-s, 0, s}};
    const float outside[3] = {14, 0, 5};
    EXPECT_FALSE(BoxHitsFrame(floor, 0, outside, turned, std::sqrt(3.0)));
    const float over[3] = {10, 0, 5};
    EXPECT_TRUE(BoxHitsFrame(floor, 0, over, turned, std::sqrt(3.0)));
}

// ---------------------------------------------------------------------------
// Commands and projection

TEST(CollisionCommands, QueriesFollowTheTransformStack) {
    StartScreen();
    StandardScene();
    Put(10, Floor());
    EXPECT_EQ(SphereHitsObject(10, 0, 0, 0.5, 0, 1), 1.0);
    EXPECT_EQ(RayHitsObject(10, 0, 0, 5, 0, 0, -5, 0), 0.5);
    // The object moved up by 3: the same sphere misses, one at 3.5 hits.
    PushTransform();
    MoveTransform(0, 3, 0);
    EXPECT_EQ(SphereHitsObject(10, 0, 0, 0.5, 0, 1), 0.0);
    EXPECT_EQ(SphereHitsObject(10, 0, 0, 3.5, 0, 1), 1.0);
    EXPECT_EQ(RayHitsObject(10, 0, 0, 5, 0, 0, -5, 0), 0.2);
    EXPECT_EQ(BoxHitsObject(10, 0, 0, 3.5, 0, 2, 2), 1.0);
    EXPECT_EQ(BoxHitsObject(10, 0, 0, 0, 0, 2, 2), 0.0);
    // Turned 90 degrees about z, the floor stands in the plane x = 0.
    RotateTransform(90, 0, 0, 1);
    EXPECT_EQ(SphereHitsObject(10, 0, 0.5, 3, 0, 1), 1.0);
    EXPECT_EQ(SphereHitsObject(10, 0, 1.5, 3, 0, 1), 0.0);
    PopTransform();
    EXPECT_EQ(SphereHitsObject(-1, 0, 0, 0.5, 0, 1), 0.0);
    EXPECT_EQ(SphereHitsObject(11, 0, 0, 0.5, 0, 1), 0.0);
}

TEST(CollisionCommands, ProjectionGoesToTheScreenAndBack) {
    StartScreen();
    StandardScene();
    double screen[3];
    ASSERT_EQ(ProjectToScreen(2, 1, 0, screen), 1);
    const ScreenPoint expected = ProjectStandard(2, 1, 0);
    EXPECT_NEAR(screen[0], expected.x, 1e-3);
    EXPECT_NEAR(screen[1], expected.y, 1e-3);
    EXPECT_GT(screen[2], 0);
    EXPECT_LT(screen[2], 1);
    // Unprojecting counts rows from the bottom pixel, hence the extra 1.
    double world[3];
    ASSERT_EQ(UnprojectFromScreen(screen[0], screen[1] - 1, screen[2], world), 1);
    EXPECT_NEAR(world[0], 2, 1e-3);
    EXPECT_NEAR(world[1], 1, 1e-3);
    EXPECT_NEAR(world[2], 0, 1e-3);
    // A point in the eye's plane has clip w 0.
    EXPECT_EQ(ProjectToScreen(3, 0, kEyeZ, screen), 0);
}

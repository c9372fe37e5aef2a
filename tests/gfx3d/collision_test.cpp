// Collision and projection: sphere, ray and box against a triangle in object
// space, the commands placing the query by the transform stack, and world to
// screen and back on a headless context.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

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

// A closed cube of edge 2 about the origin, two triangles a face.
MeshObjectX Cube() {
    MeshObjectX object;
    object.frames.emplace_back();
    for (int axis = 0; axis < 3; ++axis)
        for (float side : {-1.0f, 1.0f}) {
            float corner[4][3];
            for (int k = 0; k < 4; ++k) {
                corner[k][axis] = side;
                corner[k][(axis + 1) % 3] = (k == 1 || k == 2) ? 1.0f : -1.0f;
                corner[k][(axis + 2) % 3] = k >= 2 ? 1.0f : -1.0f;
            }
            for (int k : {0, 1, 2, 0, 2, 3})
                object.frames[0].vertices.push_back(Corner(corner[k][0], corner[k][1], corner[k][2]));
        }
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

// Boxes a little apart from a cube or a little into it, beside its faces,
// edges and corners, against the answer of separating axes for two boxes
// (the cube's surface is hit unless the box lies inside, which none does).
TEST(CollisionCommands, NearTouchingBoxesAgainstACubeAreFoundExactly) {
    StartScreen();
    Setup3DMode(1, 100, 60);
    SetCamera(0, 0, 10, 0, 0, 0);
    const MeshObjectX cube = Cube();
    Put(12, cube);
    // The cube as packing left it: its corners move a little inwards.
    double low[3] = {1e9, 1e9, 1e9}, high[3] = {-1e9, -1e9, -1e9};
    for (const MeshVertex& v : cube.frames[0].triangles) {
        const double p[3] = {v.x, v.y, v.z};
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], p[a]);
            high[a] = std::max(high[a], p[a]);
        }
    }
    const double moves[2][3] = {{0, 0, 0}, {3, -2, 1.5}};
    const double sizes[3][2] = {{1, 1}, {0.4, 1.6}, {2.5, 0.3}};
    int cases = 0, hits = 0;
    for (const auto& move : moves) {
        PushTransform();
        MoveTransform(move[0], move[1], move[2]);
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    if (dx == 0 && dy == 0 && dz == 0) continue;
                    for (const auto& size : sizes)
                        for (double gap : {-0.05, -0.01, 0.01, 0.05}) {
                            const int d[3] = {dx, dy, dz};
                            const double half[3] = {size[0] / 2, size[1] / 2, size[0] / 2};
                            double centre[3];
                            bool overlaps = true;
                            for (int a = 0; a < 3; ++a) {
                                centre[a] = d[a] > 0   ? high[a] + gap + half[a]
                                            : d[a] < 0 ? low[a] - gap - half[a]
                                                       : (low[a] + high[a]) / 2;
                                overlaps = overlaps && centre[a] - half[a] <= high[a] &&
                                           centre[a] + half[a] >= low[a];
                            }
                            const double hit = BoxHitsObject(12, 0, centre[0] + move[0], centre[1] + move[1],
                                                             centre[2] + move[2], size[0], size[1]);
                            EXPECT_EQ(hit, overlaps ? 1.0 : 0.0)
                                << "side " << dx << " " << dy << " " << dz << ", box " << size[0] << " x "
                                << size[1] << ", gap " << gap << ", moved by " << move[0];
                            ++cases;
                            hits += overlaps;
                        }
                }
        PopTransform();
    }
    EXPECT_EQ(cases, 2 * 26 * 3 * 4);
    EXPECT_EQ(hits, cases / 2);
}

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

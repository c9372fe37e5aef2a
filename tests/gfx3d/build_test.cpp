// Objects built from commands and the normal and tangent generator: the
// cube's extent and strips, its faces covered once, wound outward and with
// their own normals, a square's triangles and shared normal, the normal
// mode's sign rule, short objects, per-record normals and tangents.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "core/engine.h"
#include "gfx2d/gfx2d_support.h"
#include "gfx3d/gfx3d.h"

namespace {

ObjectSlot& Slot(int n) { return engine.scene3D->objectSlots[n]; }

// The table direction of a normal index.
std::array<float, 3> Direction(uint8_t index) {
    return {kNormalTable[index][0], kNormalTable[index][1], kNormalTable[index][2]};
}

void BuildSquare(int slot) {
    BeginObject(slot);
    AddVertex(-1, -1, 0, 0, 0, 0xFFFFFF);
    AddVertex(1, -1, 0, 1, 0, 0xFFFFFF);
    AddVertex(-1, 1, 0, 0, 1, 0xFFFFFF);
    AddVertex(1, 1, 0, 1, 1, 0xFFFFFF);
    EndObject();
}

class BuildCommands : public ::testing::Test {
protected:
    void SetUp() override {
        StartScreen();
        SetNormalMode(2);
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Building

TEST_F(BuildCommands, CubeSpansItsSizeInAStripAFace) {
    CreateCube(3, 2);
    ObjectSlot& slot = Slot(3);
    ASSERT_EQ(slot.objects.size(), 1u);
    EXPECT_EQ(slot.loaded, 1);
    EXPECT_EQ(engine.scene3D->generationTarget, -1);
    const MeshObjectX& cube = slot.objects[0];
    ASSERT_EQ(cube.frames.size(), 1u);
    const MeshFrame& frame = cube.frames[0];
    // Six strips of four white vertices.
    ASSERT_EQ(frame.packed.size(), 30u);
    for (size_t i = 0; i < 30; ++i)
        EXPECT_EQ(cube.colourTable[frame.packed[i].colourIndex], i % 5 == 0 ? MARKER_STRIP : 0x00FFFFFFu) << i;
    float low[3] = {1e9, 1e9, 1e9}, high[3] = {-1e9, -1e9, -1e9};
    for (const MeshVertex& v : frame.triangles) {
        const float p[3] = {v.x, v.y, v.z};
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], p[a]);
            high[a] = std::max(high[a], p[a]);
        }
    }
    for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(low[a], -1, 1e-5);
        EXPECT_NEAR(high[a], 1, 1e-5);
    }
    EXPECT_EQ(frame.triangles.size(), 12u * 3);
}

// Every face covered by exactly one of the cube's triangles at every point,
// every triangle in a face, wound clockwise seen from outside (the engine's
// front faces, whose generated normals point out), every edge met by the
// same edge run the other way, and every corner with its face's normal.
TEST_F(BuildCommands, CubeIsClosedAndWoundOutwardWithFaceNormals) {
    for (int mode : {2, 1, 0}) {
        SetNormalMode(mode);
        CreateCube(3, 2);
        const std::vector<MeshVertex>& corners = Slot(3).objects[0].frames[0].triangles;
        ASSERT_EQ(corners.size(), 36u);
        using P = std::array<double, 3>;
        auto at = [&](size_t i) { return P{corners[i].x, corners[i].y, corners[i].z}; };
        auto sub = [](P a, P b) { return P{a[0] - b[0], a[1] - b[1], a[2] - b[2]}; };
        auto cross = [](P a, P b) {
            return P{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
        };
        auto dot = [](P a, P b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
        std::map<std::pair<P, P>, int> edges;
        for (size_t t = 0; t < 12; ++t) {
            const P a = at(3 * t), b = at(3 * t + 1), c = at(3 * t + 2);
            // In a face: one coordinate at +-1 on all three corners.
            int faceAxis = -1;
            for (int axis = 0; axis < 3; ++axis)
                if (std::fabs(std::fabs(a[axis]) - 1) < 1e-5 && a[axis] == b[axis] && a[axis] == c[axis])
                    faceAxis = axis;
            ASSERT_GE(faceAxis, 0) << "triangle " << t << " cuts through the cube";
            P outward{0, 0, 0};
            outward[faceAxis] = a[faceAxis] > 0 ? 1 : -1;
            // Clockwise from outside: the counter-clockwise normal points in.
            EXPECT_LT(dot(cross(sub(b, a), sub(c, a)), outward), 0) << "triangle " << t;
            for (int k = 0; k < 3; ++k) {
                const MeshVertex& v = corners[3 * t + k];
                EXPECT_NEAR(dot(P{v.nx, v.ny, v.nz}, outward), 1, 1e-3) << "triangle " << t << " mode " << mode;
                ++edges[{at(3 * t + k), at(3 * t + (k + 1) % 3)}];
            }
        }
        for (const auto& [edge, count] : edges) {
            EXPECT_EQ(count, 1);
            const auto back = edges.find({edge.second, edge.first});
            EXPECT_TRUE(back != edges.end() && back->second == 1);
        }
        // Points of every face, off the triangles' edges, lie in exactly one.
        for (int axis = 0; axis < 3; ++axis)
            for (double side : {-1.0, 1.0})
                for (double s = -0.9; s < 1; s += 0.25)
                    for (double r = -0.83; r < 1; r += 0.25) {
                        P q;
                        q[axis] = side;
                        q[(axis + 1) % 3] = s;
                        q[(axis + 2) % 3] = r;
                        int covering = 0;
                        for (size_t t = 0; t < 12; ++t) {
                            const P a = at(3 * t), b = at(3 * t + 1), c = at(3 * t + 2);
                            const P n = cross(sub(b, a), sub(c, a));
                            if (std::fabs(dot(sub(q, a), n)) > 1e-6) continue;
                            const double ab = dot(cross(sub(b, a), sub(q, a)), n);
                            const double bc = dot(cross(sub(c, b), sub(q, b)), n);
                            const double ca = dot(cross(sub(a, c), sub(q, c)), n);
                            covering += ab > 0 && bc > 0 && ca > 0;
                        }
                        EXPECT_EQ(covering, 1) << "point " << q[0] << " " << q[1] << " " << q[2];
                    }
    }
}

TEST_F(BuildCommands, SquareGivesTwoTrianglesAndOneSmoothNormal) {
    BuildSquare(1);
    const MeshObjectX& square = Slot(1).objects[0];
    const MeshFrame& frame = square.frames[0];
    ASSERT_EQ(frame.triangles.size(), 6u);
    ASSERT_EQ(frame.packed.size(), 5u);
    const uint8_t normal = frame.packed[1].normal;
    for (size_t i = 2; i < 5; ++i) EXPECT_EQ(frame.packed[i].normal, normal);
    // (p2 - p1) x (p1 - p0) of the first triangle points along -z.
    EXPECT_NEAR(Direction(normal)[2], -1.0f, 1e-4);
    EXPECT_EQ(square.normalsValid, 1u);
    // Strip winding: the second triangle is (2, 1, 3), the first's way round.
    const float second[3][2] = {{-1, 1}, {1, -1}, {1, 1}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(frame.triangles[3 + k].x, second[k][0], 1e-5);
        EXPECT_NEAR(frame.triangles[3 + k].y, second[k][1], 1e-5);
    }
}

TEST_F(BuildCommands, TooFewRecordsLeaveTheSlotLoadedButEmpty) {
    BeginObject(2);
    AddVertex(0, 0, 0, 0, 0, 0);
    AddVertex(1, 0, 0, 0, 0, 0);
    EndObject();
    EXPECT_EQ(Slot(2).loaded, 1);
    EXPECT_EQ(CountTriangleVertices(2), 0);

    BeginObject(2);
    AddVertex(0, 0, 0, 0, 0, 0);
    EndObject();
    EXPECT_EQ(Slot(2).loaded, 1);
    EXPECT_TRUE(Slot(2).objects[0].frames.empty());
}

TEST_F(BuildCommands, CommandsWithoutTargetDoNothing) {
    BuildSquare(4);
    AddVertex(5, 5, 5, 0, 0, 0);
    NewStrip();
    EndObject();
    EXPECT_EQ(CountTriangleVertices(4), 6);
    BeginObject(-1);
    AddVertex(5, 5, 5, 0, 0, 0);
    EXPECT_EQ(engine.scene3D->generationTarget, -1);
}

TEST_F(BuildCommands, VertexColoursConvert) {
    BeginObject(5);
    AddVertex(0, 0, 0, 0.5, 0.25, 0x00FF8000);
    AddVertex(1, 0, 0, 0, 0, (double)0xFFFFFFFC);
    AddVertex(0, 1, 0, 0, 0, 0x0000FF);
    const std::vector<MeshVertex>& v = Slot(5).objects[0].frames[0].vertices;
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[1].colour, 0x00FF8000u);
    EXPECT_FLOAT_EQ(v[1].g, 128 / 255.0f);
    EXPECT_FLOAT_EQ(v[1].b, 1.0f);
    EXPECT_FLOAT_EQ(v[1].r, 0.0f);
    EXPECT_FLOAT_EQ(v[1].u, 0.5f);
    EXPECT_FLOAT_EQ(v[2].r, 1.0f);
    EXPECT_FLOAT_EQ(v[2].g, 1.0f);
    EndObject();
}

// ---------------------------------------------------------------------------
// Normal mode

TEST_F(BuildCommands, NormalModeKeepsTheSignOfTheNumber) {
    SetNormalMode(5);
    EXPECT_EQ(engine.scene3D->normalMode, 2);
    SetNormalMode(4);
    EXPECT_EQ(engine.scene3D->normalMode, 1);
    SetNormalMode(-1);
    EXPECT_EQ(engine.scene3D->normalMode, -1);
    SetNormalMode(-3);
    EXPECT_EQ(engine.scene3D->normalMode, 0);

    // A negative mode generates no normals: all records keep index 0.
    SetNormalMode(-1);
    BuildSquare(6);
    const MeshObjectX& square = Slot(6).objects[0];
    for (const PackedVertex& p : square.frames[0].packed) EXPECT_EQ(p.normal, 0);
    EXPECT_EQ(square.normalsValid, 0u);
}

TEST_F(BuildCommands, PerRecordNormalsKeepCornersApart) {
    // Two triangles folded along the x axis: a smooth shared edge averages,
    // per-record normals keep each face's own.
    auto build = [](int slot) {
        BeginObject(slot, 0);
        AddVertex(0, 0, 0, 0, 0, 0xFFFFFF);
        AddVertex(1, 0, 0, 0, 0, 0xFFFFFF);
        AddVertex(0, 1, 0, 0, 0, 0xFFFFFF);
        AddVertex(0, 0, 0, 0, 0, 0xFFFFFF);
        AddVertex(0, 0, 1, 0, 0, 0xFFFFFF);
        AddVertex(1, 0, 0, 0, 0, 0xFFFFFF);
        EndObject();
    };
    SetNormalMode(1);
    build(7);
    const MeshFrame& flat = Slot(7).objects[0].frames[0];
    EXPECT_NEAR(std::fabs(Direction(flat.packed[1].normal)[2]), 1.0f, 1e-4);
    EXPECT_NEAR(std::fabs(Direction(flat.packed[4].normal)[1]), 1.0f, 1e-4);

    SetNormalMode(2);
    build(8);
    const MeshFrame& smooth = Slot(8).objects[0].frames[0];
    EXPECT_EQ(smooth.packed[1].normal, smooth.packed[4].normal);
    const auto shared = Direction(smooth.packed[1].normal);
    EXPECT_NEAR(std::fabs(shared[1]), std::fabs(shared[2]), 0.2f);
    EXPECT_GT(std::fabs(shared[1]), 0.4f);
}

// ---------------------------------------------------------------------------
// Tangents

TEST_F(BuildCommands, TangentsFollowTheTextureAxes) {
    BuildSquare(9);
    MeshObjectX& square = Slot(9).objects[0];
    GenerateNormals(square, false, true, true);
    // u grows along +x; drawing's v is the stored -v, so it grows along -y.
    for (size_t i = 1; i < 5; ++i) {
        const auto tangent = Direction(square.frames[0].packed[i].auxA);
        const auto bitangent = Direction(square.frames[0].packed[i].auxB);
        EXPECT_NEAR(tangent[0], 1.0f, 1e-4);
        EXPECT_NEAR(bitangent[1], -1.0f, 1e-4);
    }
}

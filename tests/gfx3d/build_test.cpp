// Objects built from commands and the normal and tangent generator: the
// cube's extent and strip, a square's triangles and shared normal, the normal
// mode's sign rule, short objects, per-record normals and tangents.
#include <gtest/gtest.h>

#include <cmath>

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

TEST_F(BuildCommands, CubeSpansItsSizeInOneStrip) {
    CreateCube(3, 2);
    ObjectSlot& slot = Slot(3);
    ASSERT_EQ(slot.objects.size(), 1u);
    EXPECT_EQ(slot.loaded, 1);
    EXPECT_EQ(engine.scene3D->generationTarget, -1);
    const MeshObjectX& cube = slot.objects[0];
    ASSERT_EQ(cube.frames.size(), 1u);
    const MeshFrame& frame = cube.frames[0];
    ASSERT_EQ(frame.packed.size(), 17u);
    EXPECT_EQ(cube.colourTable[frame.packed[0].colourIndex], MARKER_STRIP);
    for (size_t i = 1; i < 17; ++i) EXPECT_EQ(cube.colourTable[frame.packed[i].colourIndex], 0x00FFFFFFu);
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
    // 16 strip vertices make 14 triangles.
    EXPECT_EQ(frame.triangles.size(), 14u * 3);
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

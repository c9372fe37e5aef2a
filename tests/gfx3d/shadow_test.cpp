// Stencil shadows and the cartoon palette: silhouettes of a closed cube and
// an open square, the edge list, leaving the shadow pass twice, a shadowed
// wall compared with the outline computed here (lights above, beside and off
// to the side; a cube from triangles and the cube builder's), palette sizes.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <string>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "gfx2d/gfx2d_support.h"
#include "gfx3d/gfx3d.h"
#include "scene_support.h"

namespace {

MeshVertex At(float x, float y, float z) {
    MeshVertex v{};
    v.x = x;
    v.y = y;
    v.z = z;
    v.colour = 0x00FFFFFF;
    v.r = v.g = v.b = 1;
    return v;
}

// A closed cube of half side h about the origin from independent triangles,
// wound clockwise seen from outside (the engine's front faces).
std::vector<MeshVertex> ClosedCube(float h) {
    std::vector<MeshVertex> out;
    for (int axis = 0; axis < 3; ++axis) {
        for (int sign = -1; sign <= 1; sign += 2) {
            float n[3] = {0, 0, 0}, u[3] = {0, 0, 0}, v[3] = {0, 0, 0};
            n[axis] = (float)sign;
            u[(axis + 1) % 3] = 1;
            v[(axis + 2) % 3] = 1;
            if (sign < 0) std::swap(u, v);  // keeps u x v = n
            auto corner = [&](float a, float b) {
                return At(h * (n[0] + a * u[0] + b * v[0]), h * (n[1] + a * u[1] + b * v[1]),
                          h * (n[2] + a * u[2] + b * v[2]));
            };
            const MeshVertex p00 = corner(-1, -1), p10 = corner(1, -1), p11 = corner(1, 1), p01 = corner(-1, 1);
            for (const MeshVertex& c : {p00, p01, p11, p00, p11, p10}) out.push_back(c);
        }
    }
    return out;
}

MeshObjectX Packed(const std::vector<MeshVertex>& vertices) {
    MeshObjectX object;
    object.frames.emplace_back();
    object.frames[0].vertices = vertices;
    PackObject(object);
    object.BuildTriangles();
    ComputeBounds(object);
    return object;
}

int SilhouetteCount(const MeshObjectX& object) {
    int count = 0;
    for (const MeshEdge& e : object.edges) count += e.silhouette;
    return count;
}

bool HasStencil() {
    GLint bits = 0;
    glGetIntegerv(GL_STENCIL_BITS, &bits);
    return bits > 0;
}

bool Dark(const Rgba& c) { return c.r < 160; }
bool Light(const Rgba& c) { return c.r > 230; }

}  // namespace

// ---------------------------------------------------------------------------
// Edges and silhouettes

TEST(ShadowEdges, ClosedCubeHasSilhouettesOnlyOnTheLightBoundary) {
    MeshObjectX cube = Packed(ClosedCube(1));
    BuildEdgeList(cube);
    ASSERT_EQ(cube.edges.size(), 36u);
    for (const MeshEdge& e : cube.edges) EXPECT_NE(e.neighbour, 0xFFFFFFFFu);

    const float corner[3] = {10, 10, 10};
    ComputeFacing(cube, cube.frames[0].triangles, corner);
    // Three faces lit: six triangles, a hexagon of six silhouette edges.
    int lit = 0;
    for (uint8_t f : cube.facing) lit += f;
    EXPECT_EQ(lit, 6);
    EXPECT_EQ(SilhouetteCount(cube), 6);
    for (size_t e = 0; e < cube.edges.size(); ++e) {
        if (!cube.edges[e].silhouette) continue;
        EXPECT_EQ(cube.facing[e / 3], 1);
        EXPECT_EQ(cube.facing[cube.edges[e].neighbour], 0);
    }

    const float side[3] = {10, 0, 0};
    ComputeFacing(cube, cube.frames[0].triangles, side);
    EXPECT_EQ(SilhouetteCount(cube), 4);
}

TEST(ShadowEdges, OpenSquareHasEveryOuterEdgeOfItsLitTriangles) {
    MeshObjectX square = Packed({At(-1, -1, 0), At(-1, 1, 0), At(1, 1, 0), At(-1, -1, 0), At(1, 1, 0), At(1, -1, 0)});
    BuildEdgeList(square);
    const float above[3] = {0, 0, 5}, below[3] = {0, 0, -5};
    ComputeFacing(square, square.frames[0].triangles, above);
    EXPECT_EQ(SilhouetteCount(square), 4);
    ComputeFacing(square, square.frames[0].triangles, below);
    EXPECT_EQ(SilhouetteCount(square), 0);
}

// ---------------------------------------------------------------------------
// The shadow pass

class ShadowPass : public ::testing::Test {
protected:
    void SetUp() override {
        StartScreen();
        if (!HasStencil()) GTEST_SKIP() << "no stencil buffer";
        StandardScene();
        PutObject(1, {Square(0, 0, -5, 40)});
        ObjectSlot& slot = engine.scene3D->objectSlots[2];
        ClearObjectSlot(slot);
        slot.objects.push_back(Packed(ClosedCube(1)));
        slot.loaded = 1;
    }
};

TEST_F(ShadowPass, LeavingTwiceDarkensOnce) {
    DrawObject(1, 0);
    SetLight(-3, 0xFFFFFF, 0, 0, 50, 0, 0, 0, 1);
    EXPECT_EQ(engine.scene3D->shadowPassActive, 1);
    DrawObject(2, 0);
    EndShadowPass();
    const ScreenPoint middle = ProjectStandard(0, 0, -5);
    const Rgba once = ReadPixel((int)middle.x, (int)middle.y);
    EXPECT_TRUE(Dark(once)) << once;
    // A stencil left set everywhere would be darkened by a second leave.
    glClearStencil(1);
    glClear(GL_STENCIL_BUFFER_BIT);
    glClearStencil(0);
    EndShadowPass();
    SetViewport(0, 0, 0, 0);
    EXPECT_EQ(ReadPixel((int)middle.x, (int)middle.y), once);
    EXPECT_TRUE(Light(ReadPixel(5, 5)));
}

TEST_F(ShadowPass, ViewportAndSetUpEndThePass) {
    SetLight(-3, 0xFFFFFF, 0, 0, 50, 0, 0, 0, 1);
    EXPECT_EQ(engine.scene3D->shadowPassActive, 1);
    SetViewport(0, 0, 0, 0);
    EXPECT_EQ(engine.scene3D->shadowPassActive, 0);
    SetLight(-3, 0xFFFFFF, 0, 0, 50, 0, 0, 0, 1);
    Setup3DMode(1, 1000, 90);
    EXPECT_EQ(engine.scene3D->shadowPassActive, 0);
    SetLight(-3, 0xFFFFFF, 0, 0, 50, 0, 0, 0, 1);
    SetLight(-3, 0xFFFFFF, 0, 0, 50, 0, 0, 0, 0);
    EXPECT_EQ(engine.scene3D->shadowPassActive, 0);
    EXPECT_EQ(engine.scene3D->effectOn, 0);
}

// Casts the cube of half side `half` in `slot`, moved by `move`, from a light
// at `light` onto the wall at z = -5, and compares the darkened pixels with
// the convex hull of its corners cast from the light, computed here: pixels
// more than 1.5 pixels inside must be dark, those more than 1.5 outside light.
struct ShadowMatch {
    int shadowed = 0, wrong = 0;
};
ShadowMatch CastShadow(int slot, double half, const double move[3], const double light[3]) {
    StandardScene();
    DrawObject(1, 0);
    // Culling switched on and off again leaves clockwise front faces behind;
    // the volume must not depend on them.
    SetCullMode(1);
    SetCullMode(0);
    SetLight(-3, 0xFFFFFF, light[0], light[1], light[2], 0, 0, 0, 1);
    MoveTransform(move[0], move[1], move[2]);
    DrawObject(slot, 0);
    EndShadowPass();

    std::vector<ScreenPoint> points;
    for (int i = 0; i < 8; ++i) {
        double c[3];
        for (int a = 0; a < 3; ++a) c[a] = ((i >> a) & 1 ? half : -half) + move[a];
        const double s = (-5 - c[2]) / (c[2] - light[2]);
        points.push_back(ProjectStandard(c[0] + s * (c[0] - light[0]), c[1] + s * (c[1] - light[1]), -5));
    }
    const std::vector<ScreenPoint> hull = ConvexHull(points);
    std::vector<uint8_t> rgba(320 * 240 * 4);
    glReadPixels(0, 0, 320, 240, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    ShadowMatch match;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint8_t* p = &rgba[((size_t)(239 - y) * 320 + x) * 4];
            const Rgba c{p[0], p[1], p[2], p[3]};
            const double d = InsideHull(hull, x + 0.5, y + 0.5);
            if (d > 1.5) {
                ++match.shadowed;
                if (!Dark(c)) ++match.wrong;
            } else if (d < -1.5 && !Light(c)) {
                ++match.wrong;
            }
        }
    SetLight(-3, 0, 0, 0, 0, 0, 0, 0, 0);
    return match;
}

// Lights far off to the side, above the cube (within its outline seen along
// z) and beside it (level with a face): the faces lit are those in front of
// which the light lies, whatever the light's direction from the origin.
TEST_F(ShadowPass, WallIsDarkenedExactlyWhereTheVolumeFalls) {
    const double lights[][3] = {{3, 4, 12}, {0.3, -0.4, 12}, {-0.6, 0.2, 6}, {6, 0.5, 4}, {0.4, -7, 3}};
    const double moves[][3] = {{0, 0, 0}, {0.5, -0.7, 0.5}};
    for (const auto& move : moves)
        for (const auto& light : lights) {
            const ShadowMatch match = CastShadow(2, 1, move, light);
            EXPECT_GT(match.shadowed, 300) << light[0] << " " << light[1] << " " << light[2];
            EXPECT_EQ(match.wrong, 0) << "light " << light[0] << " " << light[1] << " " << light[2]
                                      << ", cube moved by " << move[0] << " " << move[1] << " " << move[2];
        }
}

// The cube builder's cube: closed, so its shadow is its outline cast, with
// no wedge from a face covered twice or a triangle through its inside.
TEST_F(ShadowPass, BuiltCubeCastsExactlyItsOutline) {
    CreateCube(3, 2);
    const double lights[][3] = {{3, 4, 12}, {0.3, -0.4, 12}, {6, 0.5, 4}, {-5, -3, 9}};
    const double moves[][3] = {{0, 0, 0}, {-0.5, 0.6, 0}};
    for (const auto& move : moves)
        for (const auto& light : lights) {
            const ShadowMatch match = CastShadow(3, 1, move, light);
            EXPECT_GT(match.shadowed, 300) << light[0] << " " << light[1] << " " << light[2];
            EXPECT_EQ(match.wrong, 0) << "light " << light[0] << " " << light[1] << " " << light[2]
                                      << ", cube moved by " << move[0] << " " << move[1] << " " << move[2];
        }
}

// ---------------------------------------------------------------------------
// Cartoon palette

TEST(CartoonPalette, SizeFollowsTheColoursAndTheRamp) {
    SetShadeRamp(nullptr, 0);
    PaletteSize one = PaletteSizeFor(3);
    EXPECT_EQ(one.width, 64);  // a single level still takes the narrowest
    const double ramp[kDefaultShadeLevels] = {0.4, 0.6, 0.6, 0.6, 0.6, 0.6, 0.6, 0.8, 1, 1, 1, 1, 1, 1, 1, 1};
    SetShadeRamp(ramp, kDefaultShadeLevels);
    const PaletteSize three = PaletteSizeFor(3);
    EXPECT_EQ(three.height, 4);
    EXPECT_FLOAT_EQ(three.scale, 0.25f);
    EXPECT_EQ(three.width, 64);
    std::vector<double> many(40, 0.5);
    SetShadeRamp(many.data(), many.size());
    EXPECT_EQ(PaletteSizeFor(1).width, 256);
    EXPECT_EQ(PaletteSizeFor(1).height, 1);
    EXPECT_EQ(PaletteSizeFor(5).height, 8);
    std::vector<double> huge(1000, 0.5);
    SetShadeRamp(huge.data(), huge.size());
    EXPECT_EQ(PaletteSizeFor(1).width, 512);
    SetShadeRamp(ramp, kDefaultShadeLevels);
}

TEST(CartoonShading, ShowsOnlyTheRampsLevels) {
    StartScreen();
    StandardScene();
    const double ramp[3] = {0.2, 0.6, 1.0};
    SetShadeRamp(ramp, 3);
    // Normals turn from facing the light (left) to across it (right), so the
    // shade sweeps the whole ramp.
    std::vector<MeshVertex> square = Square(0, 0, 0, 4);
    for (MeshVertex& v : square) {
        v.nz = v.x < 0 ? 1.0f : 0.0f;
        v.nx = v.x < 0 ? 0.0f : 1.0f;
    }
    PutObject(3, {square});
    engine.scene3D->objectSlots[3].objects[0].normalsValid = 1;
    SelectTextures(-1, -1);
    SetLight(-2, 0xFFFFFF, 0, 0, 100, 0, 0, 0, 1);
    DrawObject(3, 0);
    EXPECT_NE(engine.scene3D->objectSlots[3].objects[0].paletteTexture, 0u);

    const ScreenPoint a = ProjectStandard(-3.8, 3.8, 0), b = ProjectStandard(3.8, -3.8, 0);
    int counts[3] = {0, 0, 0}, other = 0, total = 0;
    for (int y = (int)a.y; y <= (int)b.y; y += 2)
        for (int x = (int)a.x; x <= (int)b.x; x += 2) {
            const Rgba c = ReadPixel(x, y);
            ++total;
            bool matched = false;
            for (int k = 0; k < 3; ++k)
                if (std::abs(c.r - (int)(ramp[k] * 255)) <= 3 && c.g == c.r && c.b == c.r) {
                    ++counts[k];
                    matched = true;
                }
            if (!matched) ++other;
        }
    for (int k = 0; k < 3; ++k) EXPECT_GT(counts[k], total / 10) << k;
    // Only the filtered seams between bands hold other values.
    EXPECT_LT(other, total / 10);
    SetLight(-2, 0, 0, 0, 0, 0, 0, 0, 0);
    SetShadeRamp(nullptr, 0);
}

TEST(ReliefShading, BrightnessFollowsTheLightDirection) {
    StartScreen();
    const std::string dir = UseScratchTempDirectory();
    // A flat normal map: every texel's normal straight out of the surface.
    const std::vector<uint8_t> bmp = EncodeBmp(Picture(8, 8, 0xFF8080), 24);
    WriteWholeFile(dir + "flat.bmp", std::string(bmp.begin(), bmp.end()));
    ASSERT_EQ(LoadSprite((dir + "flat.bmp").c_str(), 7), 1);
    PutObject(4, {Square(0, 0, 0, 4)});
    engine.scene3D->objectSlots[4].objects[0].normalsValid = 1;  // keep the square's own normals

    auto brightness = [](double lx, double ly, double lz) {
        StandardScene();
        SelectTextures(7, -1);
        SetLight(-1, 0xFFFFFF, lx, ly, lz, 0, 0, 0, 1);
        DrawObject(4, 0);
        SetLight(-1, 0, 0, 0, 0, 0, 0, 0, 0);
        return ReadPixel(160, 120).r;
    };
    const int overhead = brightness(0, 0, 100);
    const int slanted = brightness(100, 0, 100);
    const int grazing = brightness(100, 0, 2);
    EXPECT_GT(overhead, 240);
    EXPECT_NEAR(slanted, 255 * std::sqrt(0.5), 12);
    EXPECT_LT(grazing, 20);
    EXPECT_NE(engine.scene3D->objectSlots[4].objects[0].frames[0].packed[0].auxA, 0);
}

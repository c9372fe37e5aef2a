// 3D pictures byte for byte: a fixed set of scenes (static, animated and
// shadowed objects, fog, every kind of light, both cull modes and none, two
// textures, texture scroll, sphere mapping, the shading effects, many draws
// of one slot with texture changes between them, lines and points between
// object draws), each compared with two things. First with the same scene drawn by
// a plain reference that sends every object's triangle list from memory
// with the fixed-function arrays, one draw at a time and nothing kept
// between draws: any way the engine finds to draw faster must give the very
// same bytes. Second with the checksum the scene had before the drawing
// was made faster, on the GL that recorded it (other GLs may round
// differently; the comparison is then skipped).
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d.h"
#include "gfx3d/gfx3d_internal.h"
#include "pixels/pixels_support.h"
#include "support/headless.h"
#include "torus_model.h"

namespace {

// ---------------------------------------------------------------------------
// Drawing through the engine, or through the reference

// The reference: the object draw with the vertex list sent from memory, the
// arrays set and cleared around every draw, every texture unit's mode reset.
void ReferenceDraw(int slotNumber, int from, int to, double position, bool interpolate) {
    Zadudedo3D& scene = *engine.scene3D;
    ObjectSlot& slot = scene.objectSlots[slotNumber];
    if (!slot.loaded || slot.multiObject || slot.objects.empty()) return;
    MeshObjectX& object = slot.objects[0];
    if (object.frames.empty() || object.frames[0].packed.empty()) return;
    ReapplyTextureSelection();
    const bool second = scene.firstTexture >= 0 && scene.secondTexture >= 0;
    const FrameChoice choice = ChooseFrames(from, to, position, interpolate, (int32_t)object.frames.size());
    const MeshFrame& p = object.frames[choice.p];
    const MeshFrame& q = object.frames[choice.q];
    const TransformLevel& base = scene.levels[0];
    if (scene.depth == 0 && base.matrixCount == 0) {
        const float centre[3] = {base.translation[0] + p.centre[0], base.translation[1] + p.centre[1],
                                 base.translation[2] + p.centre[2]};
        const float largest = std::fmax(base.scale[0], std::fmax(base.scale[1], base.scale[2]));
        if (!SphereVisible(centre, largest * p.radius, scene.eye, scene.target, scene.cullTangent)) return;
    }
    ResetColourToIntensity();
    if (object.currentTriangles.empty()) object.BuildTriangles();
    if (scene.effectOn && DrawObjectEffect(scene, object, p, second)) return;

    // The vertex source as the draw describes it: frame P itself, or the
    // current list filled from P and Q with the scroll added.
    const std::vector<MeshVertex>* list = &p.triangles;
    if (scene.effectOn || choice.weight != 0 || scene.scrollU != 0 || scene.scrollV != 0) {
        std::vector<MeshVertex>& current = object.currentTriangles;
        if (current.size() != p.triangles.size()) current = p.triangles;
        const bool blend = choice.weight != 0 && q.triangles.size() == p.triangles.size();
        const float w = choice.weight;
        for (size_t k = 0; k < current.size(); ++k) {
            MeshVertex& out = current[k];
            if (blend) {
                const MeshVertex& a = p.triangles[k];
                const MeshVertex& b = q.triangles[k];
                out.x = (a.x - b.x) * w + b.x;
                out.y = (a.y - b.y) * w + b.y;
                out.z = (a.z - b.z) * w + b.z;
                out.nx = (a.nx - b.nx) * w + b.nx;
                out.ny = (a.ny - b.ny) * w + b.ny;
                out.nz = (a.nz - b.nz) * w + b.nz;
            } else if (w == 0) {
                out = p.triangles[k];
            }
            out.u += scene.scrollU;
            out.v += scene.scrollV;
        }
        list = &current;
    }
    if (list->empty()) return;
    const char* data = reinterpret_cast<const char*>(list->data());
    constexpr GLsizei kStride = sizeof(MeshVertex);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, kStride, data + offsetof(MeshVertex, x));
    glExt.glClientActiveTextureARB(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, kStride, data + offsetof(MeshVertex, u));
    if (second) {
        glExt.glClientActiveTextureARB(GL_TEXTURE1);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, kStride, data + offsetof(MeshVertex, u));
        glExt.glClientActiveTextureARB(GL_TEXTURE0);
    }
    if (object.hasColours) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(3, GL_FLOAT, kStride, data + offsetof(MeshVertex, r));
    }
    if (scene.lightMask || scene.sphereMapping) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, kStride, data + offsetof(MeshVertex, nx));
    }
    if (scene.sphereMapping) {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
    }
    glEnable(GL_COLOR_MATERIAL);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    ApplyTransformStack();
    glDrawArrays(GL_TRIANGLES, 0, (GLsizei)list->size());
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    if (second) {
        glExt.glClientActiveTextureARB(GL_TEXTURE1);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glExt.glClientActiveTextureARB(GL_TEXTURE0);
    }
    glExt.glActiveTextureARB(GL_TEXTURE1);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glExt.glActiveTextureARB(GL_TEXTURE0);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glPopMatrix();
    ResetColourToIntensity();
}

// Which of the two draws a scene uses.
bool useReference = false;

void Draw(int slot, int frame) {
    if (useReference) ReferenceDraw(slot, frame, frame, 0, false);
    else DrawObject(slot, frame);
}

void DrawAnimated(int slot, int from, int to, double position, bool interpolate) {
    if (useReference) ReferenceDraw(slot, from, to, position, interpolate);
    else DrawObjectAnimated(slot, from, to, position, interpolate ? 1 : 0);
}

// ---------------------------------------------------------------------------
// Objects and textures, made afresh for every scene

constexpr int kColouredTorus = 1;  // 8 key frames, coloured bands, table normals
constexpr int kWhiteTorus = 2;     // built from commands, smooth normals, no colours
constexpr int kFloor = 3;          // one square, normals not made
constexpr int kCube = 4;           // the cube builder's

void PutInSlot(int number, MeshObjectX&& object) {
    ObjectSlot& slot = engine.scene3D->objectSlots[number];
    ClearObjectSlot(slot);
    slot.objects.push_back(std::move(object));
    slot.objects.back().BuildTriangles();
    ComputeBounds(slot.objects.back());
    slot.loaded = 1;
}

void MakeObjects() {
    MeshObjectX coloured;
    TorusShape shape;
    shape.rings = 24;
    shape.sides = 12;
    shape.frames = 8;
    BuildTorus(coloured, shape);
    coloured.normalsValid = 1;  // the packed table normals are the generator's own
    PutInSlot(kColouredTorus, std::move(coloured));

    SetNormalMode(2);
    BeginObject(kWhiteTorus);
    const int rings = 20, sides = 10;
    auto at = [&](int i, int j) {
        const double a = 2 * M_PI * i / rings, b = 2 * M_PI * j / sides;
        const double cx = std::cos(a), cz = std::sin(a);
        const double nx = std::cos(b) * cx, ny = std::sin(b), nz = std::cos(b) * cz;
        AddVertex(cx + 0.35 * nx, 0.35 * ny, cz + 0.35 * nz, (double)i / rings, (double)j / sides, 0xFFFFFF);
    };
    for (int i = 0; i < rings; ++i) {
        if (i > 0) NewStrip();
        for (int j = 0; j <= sides; ++j) {
            at(i, j);
            at(i + 1, j);
        }
    }
    EndObject();

    SetNormalMode(0);
    BeginObject(kFloor);
    AddVertex(-4, 0, -4, 0, 0, 0xFFFFFF);
    AddVertex(-4, 0, 4, 0, 2, 0xFFFFFF);
    AddVertex(4, 0, -4, 2, 0, 0xFFFFFF);
    AddVertex(4, 0, 4, 2, 2, 0xFFFFFF);
    EndObject();
    SetNormalMode(2);
    CreateCube(kCube, 1.2);

    // A checker with transparent texels (the alpha test drops them), and a
    // smooth ramp for the second unit.
    Picture checker(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool odd = ((x / 4) + (y / 4)) % 2 != 0;
            checker.Set(x, y, odd ? Rgb{250, 200, 60} : Rgb{40, 120, 230}, (x == 7 && y > 3) ? 0 : 255);
        }
    MakeSprite(1, checker);
    Picture ramp(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ramp.Set(x, y, Rgb{255 - 20 * x, 128 + 10 * y, 90 + 15 * x});
    MakeSprite(2, ramp);
}

// The frame's start: the 3D set-up, the camera, a cleared screen.
void Begin3D() {
    Setup3DMode(1, 100, 60);
    SetCamera(0, 1.6, 6, 0, 0, 0);
    ClearTo(kBlack);
    ClearDepth();
}

// Places three objects on levels 0 and 1 with every kind of transform.
void Arrangement(int slot, int frame) {
    MoveTransform(-1.6, 0.4, 0);
    RotateTransform(30, 1, 0, 0);
    Draw(slot, frame);
    MoveTransform(1.5, -0.3, -1);
    PushTransform();
    RotateTransform(70, 0, 1, 0);
    RotateTransform(-20, 0, 0, 1);
    ScaleTransform(0.8, 1.3, 0.8);
    Draw(slot, frame);
    PopTransform();
    MoveTransform(0, 0.9, 0.5);
    ScaleTransform(0.6, 0.6, 0.6);
    Draw(slot, frame);
}

struct Scene {
    const char* name;
    std::function<void()> draw;
};

const std::vector<Scene>& Scenes() {
    static const std::vector<Scene> scenes = {
        {"point light, textured, no culling",
         [] {
             Begin3D();
             SetLight(0, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 120);
             SelectTextures(1, -1);
             Arrangement(kWhiteTorus, 0);
             Arrangement(kColouredTorus, 0);
         }},
        {"cull mode 1",
         [] {
             Begin3D();
             SetLight(0, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 120);
             SelectTextures(1, -1);
             SetCullMode(1);
             Arrangement(kWhiteTorus, 0);
             Arrangement(kCube, 0);
         }},
        {"cull mode -1",
         [] {
             Begin3D();
             SetLight(0, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 120);
             SelectTextures(1, -1);
             SetCullMode(-1);
             Arrangement(kWhiteTorus, 0);
             Arrangement(kCube, 0);
         }},
        {"unlit and untextured",
         [] {
             Begin3D();
             Arrangement(kColouredTorus, 0);
             Arrangement(kWhiteTorus, 0);
         }},
        {"animated: blended, whole frames, weight 0",
         [] {
             Begin3D();
             SetLight(0, 0xC0FFFF, 3, 4, 4, 0, 0, 0, 120);
             SelectTextures(1, -1);
             MoveTransform(-1.6, 0.5, 0);
             DrawAnimated(kColouredTorus, 0, 7, 0.37, true);
             MoveTransform(1.6, 0.5, 0);
             DrawAnimated(kColouredTorus, 6, 1, 0.81, true);
             MoveTransform(-1.6, -0.8, 0);
             DrawAnimated(kColouredTorus, 2, 6, 0.5, false);  // P 6, Q 2, weight 0.5
             MoveTransform(0, -0.8, 0);
             Draw(kColouredTorus, 5);  // a whole frame other than 0
             MoveTransform(1.6, -0.8, 0);
             DrawAnimated(kColouredTorus, 0, 4, 0.5, true);  // lands on frame 2 exactly
             MoveTransform(0, 0.5, -1);
             DrawAnimated(kColouredTorus, 3, 3, 0.7, true);
         }},
        {"linear fog, spot and directional lights",
         [] {
             Begin3D();
             SetFog(0x406080, 0, 4, 9);
             SetLight(1, 0x80FF80, 0, 3, 3, 0, -1, -1, 40);
             SetLight(2, 0xFF8040, 0, 0, 0, 1, -1, -0.5, 180);
             SelectTextures(1, -1);
             Arrangement(kWhiteTorus, 0);
             Arrangement(kColouredTorus, 3);
         }},
        {"exponential fog, camera light and a point light",
         [] {
             Begin3D();
             SetFog(0x202020, 1, 0.15, 0);
             SetSimpleLight(0, 0x8080FF);
             SetLight(3, 0xFFFF00, -3, 2, 2, 0, 0, 0, 150);
             SelectTextures(1, -1);
             Arrangement(kColouredTorus, 0);
             Arrangement(kCube, 0);
         }},
        {"stencil shadow of a torus on a floor",
         [] {
             Begin3D();
             SetLight(0, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 120);
             SelectTextures(1, -1);
             MoveTransform(0, -1, 0);
             Draw(kFloor, 0);
             MoveTransform(0, 0.2, 0);
             RotateTransform(20, 1, 0, 0);
             Draw(kWhiteTorus, 0);
             SetLight(-3, 0xFFFFFF, 1, 5, 2, 0, 0, 0, 1);
             Draw(kWhiteTorus, 0);
             MoveTransform(-1.5, 0, 0.5);
             Draw(kCube, 0);
             SetLight(-3, 0, 0, 0, 0, 0, 0, 0, 0);
             MoveTransform(-1.5, 0, 0.5);
             Draw(kCube, 0);
         }},
        {"two textures, scroll and sphere mapping",
         [] {
             Begin3D();
             SetLight(0, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 120);
             SelectTextures(1, 2);
             MoveTransform(-1.6, 0.4, 0);
             Draw(kWhiteTorus, 0);
             SelectTextures(1, -1);
             SetTextureScroll(0.25, -0.125);
             MoveTransform(0, 0.4, 0);
             Draw(kWhiteTorus, 0);
             MoveTransform(1.6, 0.4, 0);
             DrawAnimated(kColouredTorus, 0, 7, 0.3, true);  // the scroll adds up
             DrawAnimated(kColouredTorus, 0, 7, 0.3, true);
             SetTextureScroll(0, 0);
             SetSphereMapping(1);
             MoveTransform(-0.8, -0.9, 0);
             Draw(kColouredTorus, 0);
             SetSphereMapping(0);
             MoveTransform(0.8, -0.9, 0);
             Draw(kColouredTorus, 0);
         }},
        {"relief and cartoon effects",
         [] {
             Begin3D();
             SetLight(0, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 120);
             SelectTextures(2, 1);
             SetLight(-1, 0xFFFFFF, 2, 3, 4, 0, 0, 0, 1);
             MoveTransform(-1.5, 0, 0);
             Draw(kWhiteTorus, 0);
             SelectTextures(1, -1);
             SetCullMode(1);
             SetLight(-2, 0xFFFFFF, 2, 3, 4, 0, 0, 0, 1);
             MoveTransform(1.5, 0, 0);
             Draw(kColouredTorus, 0);
             SetLight(-2, 0, 0, 0, 0, 0, 0, 0, 0);
             MoveTransform(0, -1, 1);
             Draw(kColouredTorus, 0);
         }},
        {"many draws of one slot, textures changed between",
         [] {
             Begin3D();
             SetLight(0, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 120);
             for (int i = 0; i < 60; ++i) {
                 SelectTextures(i % 3 == 0 ? 1 : i % 3 == 1 ? 2 : -1, -1);
                 PushTransform();
                 MoveTransform((i % 10 - 4.5) * 0.55, (i / 10 - 2.5) * 0.55, -(i % 7) * 0.3);
                 ScaleTransform(0.22, 0.22, 0.22);
                 Draw(i % 2 ? kWhiteTorus : kCube, 0);
                 PopTransform();
             }
         }},
        {"600 draws, the GL flushed between them",
         [] {
             Begin3D();
             SetLight(0, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 120);
             SelectTextures(1, -1);
             SetCullMode(1);
             for (int i = 0; i < 600; ++i) {
                 PushTransform();
                 MoveTransform((i % 25 - 12) * 0.22, (i / 25 % 12 - 5.5) * 0.22, -(i / 300) * 0.4);
                 RotateTransform(i * 7.0, 0, 1, 1);
                 ScaleTransform(0.12, 0.12, 0.12);
                 Draw(i % 3 ? kWhiteTorus : kColouredTorus, 0);
                 PopTransform();
             }
         }},
        {"lines, points and axes between object draws",
         [] {
             Begin3D();
             SetLight(0, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 120);
             SelectTextures(1, -1);
             MoveTransform(-1, 0, 0);
             Draw(kWhiteTorus, 0);
             DrawLine3D(-2, -1, 0, 2, 1, 0, 0x00FF00, 2);
             DrawPoint3D(0, 1, 0, 0xFF00FF, 6);
             MoveTransform(1, 0, 0);
             Draw(kWhiteTorus, 0);
             DrawAxes(0, 0, 0);
             MoveTransform(0, 1, 0);
             Draw(kCube, 0);
         }},
    };
    return scenes;
}

// FNV-1a over the frame's RGB bytes.
uint64_t Checksum(const std::vector<uint8_t>& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
    return h;
}

// With REVEV_PICTURE_DIR set, every picture is also written there as a PPM.
std::vector<uint8_t> Render(const Scene& scene, bool reference) {
    MakeObjects();
    useReference = reference;
    scene.draw();
    useReference = false;
    EndShadowPass();
    std::vector<uint8_t> rgb = ReadBlock(0, 0, 320, 240);
    if (const char* dir = std::getenv("REVEV_PICTURE_DIR")) {
        std::string name = std::string(dir) + "/" + (reference ? "reference-" : "engine-");
        for (const char* c = scene.name; *c; ++c) name += std::isalnum((unsigned char)*c) ? *c : '_';
        WriteWholeFile(name + ".ppm", "P6 320 240 255\n" + std::string(rgb.begin(), rgb.end()));
    }
    return rgb;
}

// The GL the checksums below were recorded on, and the checksums, in the
// order of Scenes(). REVEV_PRINT_PICTURE_SUMS=1 prints the current ones.
const char* const kRecordedRenderer = "llvmpipe (LLVM 15.0.6, 256 bits)";
const uint64_t kRecorded[] = {
    0x2741b20e32f65d62ull,  // point light, textured, no culling
    0x6151ca909199dd59ull,  // cull mode 1
    0x0c0badd1bf326bd0ull,  // cull mode -1
    0xa907e2a31c107d4aull,  // unlit and untextured
    0x31376a7d405d003bull,  // animated: blended, whole frames, weight 0
    0x149d7851d4a5f4a7ull,  // linear fog, spot and directional lights
    0xd0ef907f469f2619ull,  // exponential fog, camera light and a point light
    0x49c3d9fd9cd4a85cull,  // stencil shadow of a torus on a floor
    0x7def2733f4adae77ull,  // two textures, scroll and sphere mapping
    0x31b23e708538981full,  // relief and cartoon effects
    0x61132537988907f9ull,  // many draws of one slot, textures changed between
    0xb871e8e45481a012ull,  // 600 draws, the GL flushed between them (added with the flushes, equal to the reference)
    0xb749ad7e66059612ull,  // lines, points and axes between object draws
};

std::string Renderer() {
    const char* r = (const char*)glGetString(GL_RENDERER);
    return r ? r : "";
}

}  // namespace

// ---------------------------------------------------------------------------

TEST(ScenePictures, EngineDrawsWhatTheReferenceDraws) {
    StartHeadless();
    if (!glExt.glActiveTextureARB || !glExt.glClientActiveTextureARB)
        GTEST_SKIP() << "the scenes use two texture units";
    for (const Scene& scene : Scenes()) {
        const std::vector<uint8_t> reference = Render(scene, true);
        const std::vector<uint8_t> drawn = Render(scene, false);
        size_t differing = 0, first = drawn.size();
        for (size_t i = 0; i < drawn.size(); ++i)
            if (drawn[i] != reference[i]) {
                ++differing;
                if (first == drawn.size()) first = i;
            }
        EXPECT_EQ(differing, 0u) << scene.name << ": first at pixel " << (first / 3) % 320 << ", "
                                 << (first / 3) / 320;
        // A scene that draws nothing would prove nothing.
        size_t lit = 0;
        for (uint8_t b : drawn) lit += b > 16;
        EXPECT_GT(lit, 3000u) << scene.name;
    }
}

TEST(ScenePictures, SameBytesAsBeforeTheDrawingWasMadeFaster) {
    StartHeadless();
    if (!glExt.glActiveTextureARB || !glExt.glClientActiveTextureARB)
        GTEST_SKIP() << "the scenes use two texture units";
    const std::vector<Scene>& scenes = Scenes();
    if (std::getenv("REVEV_PRINT_PICTURE_SUMS")) {
        std::printf("renderer \"%s\"\n", Renderer().c_str());
        for (const Scene& scene : scenes)
            std::printf("    0x%016llxull,  // %s\n", (unsigned long long)Checksum(Render(scene, false)),
                        scene.name);
    }
    if (Renderer() != kRecordedRenderer) GTEST_SKIP() << "checksums recorded on another GL: " << Renderer();
    ASSERT_EQ(sizeof kRecorded / sizeof kRecorded[0], scenes.size());
    for (size_t i = 0; i < scenes.size(); ++i)
        EXPECT_EQ(Checksum(Render(scenes[i], false)), kRecorded[i]) << scenes[i].name;
}

// 3D drawing as scripts use it, on an 800 x 600 headless screen, each case
// beside a plain loop of our own that sends the same triangles with the
// same state the simplest way: an animated torus (two key frames blended
// every frame), the stencil shadow of a torus on a floor, 2,000 draws of one
// slot with a different texture each, and the two cases of the side-by-side
// bench (20 lit, textured tori of 16,384 triangles; 2,000 small tori of one
// texture). Milliseconds per frame, glFinish after every frame; "x plain" is
// the engine's median over the plain loop's (below 1 is faster).
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench_timing.h"
#include "bench_torus.h"
#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d.h"
#include "gfx3d/mesh.h"
#include "torus_model.h"

namespace {

constexpr int kRuns = 9;
constexpr int kFrames = 20;
constexpr unsigned kArrayBuffer = 0x8892;  // GL_ARRAY_BUFFER_ARB
constexpr unsigned kStaticDraw = 0x88E4;   // GL_STATIC_DRAW_ARB

// Median and best milliseconds per frame of `draw` over kRuns batches.
struct Timing {
    double best, median;
};
Timing TimeFrames(const std::function<void(int)>& draw) {
    for (int i = 0; i < 5; ++i) {
        draw(i);
        glFinish();
    }
    std::vector<double> t;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = BenchClock::now();
        for (int i = 0; i < kFrames; ++i) {
            draw(run * kFrames + i);
            glFinish();
        }
        t.push_back(Seconds(BenchClock::now() - start) * 1000 / kFrames);
    }
    std::sort(t.begin(), t.end());
    return {t.front(), t[t.size() / 2]};
}

void Case(const char* what, const std::function<void(int)>& engineDraw, const std::function<void(int)>& plain) {
    const Timing ours = TimeFrames(engineDraw);
    const Timing reference = TimeFrames(plain);
    std::printf("%-52s %9.2f %9.2f %8.3f\n", what, ours.best, ours.median, ours.median / reference.median);
    std::printf("%-52s %9.2f %9.2f\n", "  plain loop", reference.best, reference.median);
}

// The torus of the side-by-side bench: M x S quads as strips, built from
// commands with smooth normals, white, texture coordinates over the ring.
void CommandTorus(int slot, int m, int s) {
    SetNormalMode(2);
    BeginObject(slot);
    auto at = [&](int i, int j) {
        const double a = 2 * M_PI * i / m, b = 2 * M_PI * j / s;
        const double cx = std::cos(a), cz = std::sin(a);
        const double nx = std::cos(b) * cx, ny = std::sin(b), nz = std::cos(b) * cz;
        AddVertex(cx + 0.35 * nx, 0.35 * ny, cz + 0.35 * nz, (double)i / m, (double)j / s, 0xFFFFFF);
    };
    for (int i = 0; i < m; ++i) {
        if (i > 0) NewStrip();
        for (int j = 0; j <= s; ++j) {
            at(i, j);
            at(i + 1, j);
        }
    }
    EndObject();
}

MeshObjectX& ObjectIn(int slot) { return engine.scene3D->objectSlots[slot].objects[0]; }

// Four 32 x 32 pictures of different colours with a transparent border, in
// sprite slots 1 to 4.
void MakeTextures() {
    for (int n = 0; n < 4; ++n) {
        ImageBuffer image;
        image.width = image.height = 32;
        image.pixels.resize(32 * 32 * 4);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                uint8_t* p = &image.pixels[(size_t)(y * 32 + x) * 4];
                p[0] = (uint8_t)(60 * n + 4 * x);
                p[1] = (uint8_t)(200 - 40 * n + 2 * y);
                p[2] = (uint8_t)(255 - 6 * x);
                p[3] = (x == 0 || y == 0) ? 0 : 255;
            }
        SpriteStore* store = ActiveSpriteStore();
        UploadResult made;
        FreeSprite(n + 1);
        if (UploadImage(image, 0, 0, 0, 0, &store->plainTexture[n + 1], nullptr, false, true, &made)) {
            store->textureWidth[n + 1] = made.textureWidth;
            store->textureHeight[n + 1] = made.textureHeight;
            store->imageWidth[n + 1] = made.width;
            store->imageHeight[n + 1] = made.height;
        }
    }
}

unsigned TextureOf(int sprite) { return ActiveSpriteStore()->plainTexture[sprite]; }

// The frame's start on both sides: the scene of the side-by-side bench.
void BeginFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    Setup3DMode(1, 100, 60);
    SetCamera(0, 1.6, 10, 0, 0, 0);
    SetLight(0, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 120);
    SelectTextures(1, -1);
    SetCullMode(0);
}

void Place(int i, double& x, double& y) {
    x = (i % 5 - 2) * 2.4;
    y = ((i / 5) % 4 - 1.5) * 1.6;
}

// The plain loop's arrays over a list of MeshVertex at `base` (memory, or
// null for a bound buffer).
void PlainArrays(const char* base, bool colours) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(MeshVertex), base + offsetof(MeshVertex, x));
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, sizeof(MeshVertex), base + offsetof(MeshVertex, nx));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, sizeof(MeshVertex), base + offsetof(MeshVertex, u));
    if (colours) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(3, GL_FLOAT, sizeof(MeshVertex), base + offsetof(MeshVertex, r));
    }
}

void NoArrays() {
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
}

// A static buffer of a list, for the plain loops.
struct PlainBuffer {
    unsigned name = 0;
    explicit PlainBuffer(const std::vector<MeshVertex>& list) {
        glExt.glGenBuffersARB(1, &name);
        glExt.glBindBufferARB(kArrayBuffer, name);
        glExt.glBufferDataARB(kArrayBuffer, (std::ptrdiff_t)(list.size() * sizeof(MeshVertex)), list.data(),
                              kStaticDraw);
        glExt.glBindBufferARB(kArrayBuffer, 0);
    }
    ~PlainBuffer() { glExt.glDeleteBuffersARB(1, &name); }
};

// ---------------------------------------------------------------------------
// The cases

void SideBySideCases() {
    CommandTorus(10, 128, 64);
    CommandTorus(11, 3, 2);
    const std::vector<MeshVertex> big = ObjectIn(10).frames[0].triangles;
    const std::vector<MeshVertex> small = ObjectIn(11).frames[0].triangles;
    const PlainBuffer bigBuffer(big), smallBuffer(small);
    auto tori = [](int slot, int count) {
        return [slot, count](int) {
            BeginFrame();
            for (int i = 0; i < count; ++i) {
                double x, y;
                Place(i, x, y);
                PushTransform();
                MoveTransform(x, y, 0);
                DrawObject(slot, 0);
                PopTransform();
            }
        };
    };
    auto plainTori = [](const PlainBuffer& buffer, size_t corners, int count) {
        return [&buffer, corners, count](int) {
            BeginFrame();
            glExt.glBindBufferARB(kArrayBuffer, buffer.name);
            PlainArrays(nullptr, false);
            for (int i = 0; i < count; ++i) {
                double x, y;
                Place(i, x, y);
                glPushMatrix();
                glTranslated(x, y, 0);
                glDrawArrays(GL_TRIANGLES, 0, (GLsizei)corners);
                glPopMatrix();
            }
            NoArrays();
            glExt.glBindBufferARB(kArrayBuffer, 0);
        };
    };
    Case("20 tori of 16,384 triangles (side-by-side case)", tori(10, 20), plainTori(bigBuffer, big.size(), 20));
    Case("2,000 tori of 12 triangles, one texture", tori(11, 2000), plainTori(smallBuffer, small.size(), 2000));

    Case(
        "2,000 draws of one slot, a different texture each",
        [](int) {
            BeginFrame();
            for (int i = 0; i < 2000; ++i) {
                double x, y;
                Place(i, x, y);
                SelectTextures(1 + i % 4, -1);
                PushTransform();
                MoveTransform(x, y, 0);
                DrawObject(11, 0);
                PopTransform();
            }
        },
        [&](int) {
            BeginFrame();
            glExt.glBindBufferARB(kArrayBuffer, smallBuffer.name);
            PlainArrays(nullptr, false);
            for (int i = 0; i < 2000; ++i) {
                double x, y;
                Place(i, x, y);
                glBindTexture(GL_TEXTURE_2D, TextureOf(1 + i % 4));
                glPushMatrix();
                glTranslated(x, y, 0);
                glDrawArrays(GL_TRIANGLES, 0, (GLsizei)small.size());
                glPopMatrix();
            }
            NoArrays();
            glExt.glBindBufferARB(kArrayBuffer, 0);
        });
}

void AnimatedCase() {
    // Two key frames of a coloured 128 x 64 torus, blended at a new position
    // every frame; four of them.
    const MeshObjectX& object = TorusInSlot(12, 128, 64, 2);
    std::vector<MeshVertex> blended = object.frames[0].triangles;
    Case(
        "animated torus, two key frames blended, 4 a frame",
        [](int frame) {
            BeginFrame();
            for (int i = 0; i < 4; ++i) {
                PushTransform();
                MoveTransform((i - 1.5) * 2.6, 0, 0);
                DrawObjectAnimated(12, 0, 1, ((frame + 7 * i) % 50) / 50.0 + 0.01, 1);
                PopTransform();
            }
        },
        [&](int frame) {
            BeginFrame();
            const std::vector<MeshVertex>& a = object.frames[0].triangles;
            const std::vector<MeshVertex>& b = object.frames[1].triangles;
            for (int i = 0; i < 4; ++i) {
                const float w = 1.0f - (float)(((frame + 7 * i) % 50) / 50.0 + 0.01);
                for (size_t k = 0; k < blended.size(); ++k) {
                    blended[k].x = (a[k].x - b[k].x) * w + b[k].x;
                    blended[k].y = (a[k].y - b[k].y) * w + b[k].y;
                    blended[k].z = (a[k].z - b[k].z) * w + b[k].z;
                    blended[k].nx = (a[k].nx - b[k].nx) * w + b[k].nx;
                    blended[k].ny = (a[k].ny - b[k].ny) * w + b[k].ny;
                    blended[k].nz = (a[k].nz - b[k].nz) * w + b[k].nz;
                }
                PlainArrays(reinterpret_cast<const char*>(blended.data()), true);
                glPushMatrix();
                glTranslated((i - 1.5) * 2.6, 0, 0);
                glDrawArrays(GL_TRIANGLES, 0, (GLsizei)blended.size());
                glPopMatrix();
                NoArrays();
            }
        });
}

void ShadowCase() {
    // The side-by-side torus over a floor, lit from above; its shadow volume
    // with caps in the stencil buffer and the shadowed floor darkened. The
    // floor and the torus itself are drawn by the engine on both sides; the
    // plain loop replaces the shadow.
    SetNormalMode(0);
    BeginObject(13);
    AddVertex(-6, 0, -6, 0, 0, 0xFFFFFF);
    AddVertex(-6, 0, 6, 0, 3, 0xFFFFFF);
    AddVertex(6, 0, -6, 3, 0, 0xFFFFFF);
    AddVertex(6, 0, 6, 3, 3, 0xFFFFFF);
    EndObject();
    SetNormalMode(2);
    const float light[3] = {1, 6, 2};
    auto scene = [](bool) {
        BeginFrame();
        MoveTransform(0, -1.2, 0);
        DrawObject(13, 0);
        MoveTransform(0, 0, 0);
        RotateTransform(25, 1, 0, 0);
        DrawObject(10, 0);
    };
    Case(
        "stencil shadow of the torus on a floor",
        [&](int) {
            scene(true);
            SetLight(-3, 0xFFFFFF, light[0], light[1], light[2], 0, 0, 0, 1);
            DrawObject(10, 0);
            SetLight(-3, 0, 0, 0, 0, 0, 0, 0, 0);
        },
        [&](int) {
            // The same volume sent in one plain loop a pass: every triangle's
            // facing from its plane, sides on edges between facing and not,
            // caps near and at infinity; then the darkening.
            scene(false);
            MeshObjectX& torus = ObjectIn(10);
            const std::vector<MeshVertex>& t = torus.frames[0].triangles;
            const size_t count = t.size() / 3;
            glPushMatrix();
            glRotatef(25, 1, 0, 0);
            float m[16];
            glGetFloatv(GL_MODELVIEW_MATRIX, m);
            // The light in the torus's space (a rotation about x only).
            const float c = std::cos(25 * (float)M_PI / 180), s = std::sin(25 * (float)M_PI / 180);
            const float l[3] = {light[0], c * light[1] + s * light[2], -s * light[1] + c * light[2]};
            std::vector<uint8_t> facing(count);
            for (size_t i = 0; i < count; ++i) {
                const MeshVertex &a = t[3 * i], &b = t[3 * i + 1], &d = t[3 * i + 2];
                const float u[3] = {a.x - b.x, a.y - b.y, a.z - b.z}, v[3] = {d.x - b.x, d.y - b.y, d.z - b.z};
                const float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
                facing[i] = (l[0] - b.x) * n[0] + (l[1] - b.y) * n[1] + (l[2] - b.z) * n[2] > 0;
            }
            glShadeModel(GL_FLAT);
            glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
            glDepthMask(GL_FALSE);
            glEnable(GL_STENCIL_TEST);
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_LIGHTING);
            glStencilFunc(GL_ALWAYS, 0, 0xFFFFFFFF);
            glEnable(GL_CULL_FACE);
            for (int pass = 0; pass < 2; ++pass) {
                glCullFace(pass == 0 ? GL_BACK : GL_FRONT);
                glStencilOp(GL_KEEP, GL_KEEP, pass == 0 ? GL_INCR : GL_DECR);
                glBegin(GL_QUADS);
                for (size_t i = 0; i < count; ++i) {
                    if (!facing[i]) continue;
                    for (int k = 0; k < 3; ++k) {
                        const uint32_t other = torus.edges.empty() ? 0xFFFFFFFF : torus.edges[3 * i + k].neighbour;
                        if (other < count && facing[other]) continue;
                        const MeshVertex &p = t[3 * i + k], &q = t[3 * i + (k + 1) % 3];
                        glVertex3f(q.x, q.y, q.z);
                        glVertex3f(p.x, p.y, p.z);
                        glVertex4f(p.x - l[0], p.y - l[1], p.z - l[2], 0);
                        glVertex4f(q.x - l[0], q.y - l[1], q.z - l[2], 0);
                    }
                }
                glEnd();
                glBegin(GL_TRIANGLES);
                for (size_t i = 0; i < count; ++i)
                    for (int k = 2; k >= 0; --k) {
                        const MeshVertex& p = t[3 * i + k];
                        if (facing[i]) glVertex3f(p.x, p.y, p.z);
                        else glVertex4f(p.x - l[0], p.y - l[1], p.z - l[2], 0);
                    }
                glEnd();
            }
            glPopMatrix();
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
            glDepthMask(GL_TRUE);
            glStencilFunc(GL_NOTEQUAL, 0, 0xFFFFFFFF);
            glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
            glDisable(GL_DEPTH_TEST);
            glDisable(GL_CULL_FACE);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glMatrixMode(GL_PROJECTION);
            glPushMatrix();
            glLoadIdentity();
            glMatrixMode(GL_MODELVIEW);
            glPushMatrix();
            glLoadIdentity();
            glColor4f(0, 0, 0, 0.5f);
            glRectf(-1, -1, 1, 1);
            glPopMatrix();
            glMatrixMode(GL_PROJECTION);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            glDisable(GL_BLEND);
            glDisable(GL_STENCIL_TEST);
            glShadeModel(GL_SMOOTH);
            glEnable(GL_DEPTH_TEST);
            glClear(GL_STENCIL_BUFFER_BIT);
        });
}

}  // namespace

int main() {
    engine.screenWidth = 800;
    engine.screenHeight = 600;
    engine.frameRateLimit = 0;
    if (!StartUp("", 1, "ReVev") || !engine.scene3D || !glExt.glGenBuffersARB) {
        std::printf("no headless screen with buffer objects: 3D drawing figures skipped\n");
        return 0;
    }
    std::printf("3D drawing, 800 x 600, %s\n", (const char*)glGetString(GL_RENDERER));
    std::printf("%-52s %9s %9s %8s\n", "", "best ms", "median ms", "x plain");
    MakeTextures();
    SideBySideCases();
    AnimatedCase();
    ShadowCase();
    Shutdown();
    return 0;
}

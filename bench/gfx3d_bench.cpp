// 3D object figures: the load time of a 1 MB binary object file (an animated
// torus from makemodel's generator), read alone, read with every frame
// decoded, and loaded into a slot with its triangles and bounds built; then
// drawing, shadow volumes, and sphere and ray tests. The file lives in a
// scratch directory under the temporary directory.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <GL/gl.h>

#include "bench_timing.h"
#include "bench_torus.h"
#include "core/engine.h"
#include "gfx3d/gfx3d.h"
#include "gfx3d/mesh.h"
#include "torus_model.h"

namespace {

constexpr int kRuns = 9;

using Clock = BenchClock;

// Best and median of kRuns timings of `work` (bench_timing.h).
template <typename Work>
void Time(const char* what, double megabytes, Work work) {
    TimeRuns(what, 48, kRuns, megabytes, work);
}

// ---------------------------------------------------------------------------
// Drawing: triangles per second of a 100,000-triangle torus drawn by the
// engine (frame 0 from its static buffer, and animated: two frames blended
// and streamed each draw), beside the same triangles sent by plain loops, in
// a headless 320 x 240 screen with glFinish after every frame.

constexpr int kDrawFrames = 60;

// Milliseconds per frame of `draw`, median of kRuns batches of kDrawFrames.
template <typename Draw>
void TimeDrawing(const char* what, double triangles, Draw draw) {
    // A few untimed frames first, so buffers and the driver's caches are warm.
    for (int i = 0; i < 10; ++i) {
        draw(i);
        glFinish();
    }
    std::vector<double> t;
    for (int run = 0; run < kRuns; ++run) {
        auto start = Clock::now();
        for (int i = 0; i < kDrawFrames; ++i) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            draw(run * kDrawFrames + i);
            glFinish();
        }
        t.push_back(Seconds(Clock::now() - start) / kDrawFrames);
    }
    std::sort(t.begin(), t.end());
    const double median = t[t.size() / 2];
    std::printf("%-48s %9.2f %9.2f %10.1f\n", what, t.front() * 1000, median * 1000, triangles / median / 1e6);
}

// Effects and collision on a 10,000-triangle torus (50 rings of 100 sides):
// its shadow volume drawn and the pass ended every frame, and sphere and ray
// tests against its slot per second.
void EffectFigures() {
    const MeshObjectX& torus = TorusInSlot(2, 50, 100, 1);
    const double triangles = (double)torus.frames[0].triangles.size() / 3;
    std::printf("\n%.0f triangles\n", triangles);
    TimeDrawing("shadow volume with caps, pass ended per frame", triangles, [](int) {
        SetLight(-3, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 1);
        DrawObject(2, 0);
        SetLight(-3, 0, 0, 0, 0, 0, 0, 0, 0);
    });

    constexpr int kQueries = 200;
    std::printf("%-48s %9s %9s %10s\n", "", "best ms", "median ms", "k/s");
    auto perSecond = [&](const char* what, auto query) {
        std::vector<double> t;
        double sink = 0;
        for (int run = 0; run < kRuns; ++run) {
            auto start = Clock::now();
            for (int i = 0; i < kQueries; ++i) sink += query(i);
            t.push_back(Seconds(Clock::now() - start));
        }
        std::sort(t.begin(), t.end());
        // The sum is printed so the queries cannot be left out.
        std::printf("%-48s %9.2f %9.2f %10.1f  (sum %.1f)\n", what, t.front() * 1000, t[t.size() / 2] * 1000,
                    kQueries / t[t.size() / 2] / 1000, sink);
    };
    // Spheres and rays spread over the torus's box, most of them missing.
    perSecond("sphere tests, radius 0.05", [](int i) {
        return SphereHitsObject(2, 0, (i % 37) / 18.0 - 1, (i % 11) / 20.0 - 0.25, (i % 23) / 11.0 - 1, 0.05);
    });
    perSecond("ray tests, through the whole slot", [](int i) {
        const double x = (i % 37) / 18.0 - 1;
        return RayHitsObject(2, 0, x, 3, 0.3, x, -3, 0.3);
    });
}

void DrawingFigures() {
    engine.screenWidth = 320;
    engine.screenHeight = 240;
    engine.frameRateLimit = 0;
    if (!StartUp("", 1, "ReVev") || !engine.scene3D) {
        std::printf("\nno headless screen: drawing figures skipped\n");
        return;
    }
    // 250 rings of 200 sides: 100,000 triangles a frame.
    const std::vector<MeshVertex> list = TorusInSlot(1, 250, 200, 8).frames[0].triangles;
    const double triangles = (double)list.size() / 3;

    Setup3DMode(1, 100, 60);
    SetCamera(0, 1.5, 3.5, 0, 0, 0);
    SetLight(0, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 120);
    std::printf("\n%.0f triangles, %s\n", triangles, (const char*)glGetString(GL_RENDERER));
    std::printf("%-48s %9s %9s %10s\n", "", "best ms", "median ms", "Mtri/s");

    TimeDrawing("DrawObject, frame 0 (static buffer)", triangles, [](int) { DrawObject(1, 0); });
    TimeDrawing("DrawObjectAnimated, blended and streamed", triangles,
                [](int i) { DrawObjectAnimated(1, 0, 7, (i % 97) / 97.0 + 0.001, 1); });

    // The references: the same list, the same array layout and state.
    auto arrays = [](const char* base) {
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(3, GL_FLOAT, sizeof(MeshVertex), base + offsetof(MeshVertex, x));
        glNormalPointer(GL_FLOAT, sizeof(MeshVertex), base + offsetof(MeshVertex, nx));
        glColorPointer(3, GL_FLOAT, sizeof(MeshVertex), base + offsetof(MeshVertex, r));
        glTexCoordPointer(2, GL_FLOAT, sizeof(MeshVertex), base + offsetof(MeshVertex, u));
    };
    auto noArrays = [] {
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    };
    TimeDrawing("reference: one glBegin loop over the list", triangles, [&](int) {
        glBegin(GL_TRIANGLES);
        for (const MeshVertex& v : list) {
            glColor3f(v.r, v.g, v.b);
            glNormal3f(v.nx, v.ny, v.nz);
            glTexCoord2f(v.u, v.v);
            glVertex3f(v.x, v.y, v.z);
        }
        glEnd();
    });
    TimeDrawing("reference: glDrawArrays from memory", triangles, [&](int) {
        arrays(reinterpret_cast<const char*>(list.data()));
        glDrawArrays(GL_TRIANGLES, 0, (GLsizei)list.size());
        noArrays();
    });
    if (glExt.glGenBuffersARB) {
        unsigned buffer = 0;
        glExt.glGenBuffersARB(1, &buffer);
        glExt.glBindBufferARB(0x8892, buffer);  // GL_ARRAY_BUFFER_ARB
        glExt.glBufferDataARB(0x8892, (std::ptrdiff_t)(list.size() * sizeof(MeshVertex)), list.data(),
                              0x88E4);  // GL_STATIC_DRAW_ARB
        TimeDrawing("reference: glDrawArrays from a static buffer", triangles, [&](int) {
            arrays(nullptr);
            glDrawArrays(GL_TRIANGLES, 0, (GLsizei)list.size());
            noArrays();
        });
        glExt.glBindBufferARB(0x8892, 0);
        glExt.glDeleteBuffersARB(1, &buffer);
    }
    EffectFigures();
    Shutdown();
}

}  // namespace

int main() {
    char pattern[] = "/tmp/revev-gfx3d-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) return 1;
    const std::string dir = std::string(made) + "/";
    setenv("TMPDIR", dir.c_str(), 1);

    // 12 frames of 128 x 64 strips: 16768 records a frame, about 1 MB.
    TorusShape shape;
    shape.rings = 128;
    shape.sides = 64;
    shape.frames = 12;
    MeshObjectX torus;
    BuildTorus(torus, shape);
    const std::string path = dir + "torus.ddd";
    if (!SaveObject(torus, path.c_str())) return 1;
    const double megabytes = (double)std::filesystem::file_size(path) / (1 << 20);
    std::printf("object file: %.2f MB, %d frames of %zu records\n\n", megabytes, shape.frames,
                torus.frames[0].packed.size());
    std::printf("%-48s %9s %9s %10s\n", "", "best ms", "median ms", "MB/s");

    MeshObjectX object;
    Time("LoadObject", megabytes, [&] {
        if (!LoadObject(object, path.c_str(), false)) std::exit(1);
    });
    Time("LoadObject, every frame decoded", megabytes, [&] {
        if (!LoadObject(object, path.c_str(), true)) std::exit(1);
    });
    ObjectSlot slot;
    Time("load into a slot (with triangles and bounds)", megabytes, [&] {
        if (LoadObjectSlot(slot, path.c_str()) != 1) std::exit(1);
    });
    ClearObjectSlot(slot);

    DrawingFigures();

    std::filesystem::remove_all(dir);
    return 0;
}

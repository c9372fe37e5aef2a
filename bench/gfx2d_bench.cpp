// 2D drawing, headless in an 800 x 600 screen: milliseconds per frame for
// many DrawSprite calls of a 32 x 32 RGBA sprite at scattered positions,
// RotoZoomSprite calls and 40-character Print calls, each opaque and with
// alpha blending; 200 frames after 50 warm-up frames, the GL work finished
// inside each frame, no pacing. Then the start-up time to the first frame
// and the peak memory. An argument runs only the cases whose name holds it.
#include <sys/resource.h>

#include <GL/gl.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench_sprite.h"
#include "core/engine.h"
#include "gfx2d/gfx2d.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Positions {
    std::vector<float> x, y;
    explicit Positions(int n) {
        uint32_t state = 12345;
        auto next = [&] { return (state = state * 1664525u + 1013904223u) >> 8; };
        for (int i = 0; i < n; ++i) {
            x.push_back((float)(next() % 8000) / 10.0f - 16.0f);
            y.push_back((float)(next() % 6000) / 10.0f - 16.0f);
        }
    }
};

// Only the cases whose name holds this text run (all when empty).
std::string only;

// Runs `draw` in 50 warm-up frames and 200 measured ones; each frame draws,
// finishes the GL work and presents without waiting.
void Measure(const char* what, double alphaMode, const std::function<void()>& draw) {
    if (!only.empty() && std::string(what).find(only) == std::string::npos) return;
    OpenGLZadudedo& screen = *engine.screen;
    std::vector<double> frames;
    for (int frame = 0; frame < 250; ++frame) {
        const Clock::time_point start = Clock::now();
        AlphaMode(alphaMode);
        draw();
        glFinish();
        screen.nextFrameDeadline = 0;
        Present(screen);
        ApplyGlDefaults(screen, 0, 0, 0, 0);
        if (frame >= 50) frames.push_back(Since(start));
    }
    std::sort(frames.begin(), frames.end());
    double mean = 0;
    for (double f : frames) mean += f;
    mean /= frames.size();
    std::printf("  %-44s %-8s %8.2f ms mean  %8.2f ms median  %8.2f ms p95\n", what,
                alphaMode == 0 ? "opaque" : "blended", mean, frames[frames.size() / 2],
                frames[frames.size() * 95 / 100]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) only = argv[1];
    engine.screenWidth = 800;
    engine.screenHeight = 600;
    engine.frameRateLimit = 0;
    const Clock::time_point startUp = Clock::now();
    if (!StartUp("", 1, "ReVev")) {
        std::fprintf(stderr, "gfx2d_bench: no window with an OpenGL context\n");
        return 1;
    }
    const double startUpMs = Since(startUp);
    SetAutoPause(0);
    engine.screen->framePeriod = 0;  // no pacing

    const std::string sprite = PlatformTempDirectory() + "gfx2d_bench_sprite.png";
    if (!WriteBallPng(sprite) || LoadSprite(sprite.c_str(), 1) != 1.0) {
        std::fprintf(stderr, "gfx2d_bench: cannot make the sprite\n");
        return 1;
    }
    std::remove(sprite.c_str());

    std::printf("gfx2d: 800 x 600 headless (%s), 200 frames after 50 warm-up, glFinish in each frame\n",
                (const char*)glGetString(GL_RENDERER));
    const Positions scattered(50000);
    const std::string line = std::string("The quick brown fox jumps over the lazy dog").substr(0, 40);
    const char* text = line.c_str();
    for (double mode : {0.0, -1.0}) {
        for (int count : {1000, 10000, 50000}) {
            const std::string what = std::to_string(count) + " DrawSprite 32x32";
            Measure(what.c_str(), mode, [&] {
                for (int i = 0; i < count; ++i) DrawSprite(1, scattered.x[i], scattered.y[i]);
            });
        }
        Measure("10000 RotoZoomSprite 32x32", mode, [&] {
            for (int i = 0; i < 10000; ++i) RotoZoomSprite(1, scattered.x[i], scattered.y[i], i % 360, 1.0);
        });
        Measure("1000 Print of 40 characters", mode, [&] {
            for (int i = 0; i < 1000; ++i) Print(text, scattered.x[i] * 0.6, scattered.y[i]);
        });
    }

    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("  start-up to the first frame: %.1f ms\n", startUpMs);
    std::printf("  peak memory: %.1f MB\n", usage.ru_maxrss / 1024.0);
    Shutdown();
    return 0;
}

// 3D object figures: the load time of a 1 MB binary object file (an animated
// torus from makemodel's generator), read alone, read with every frame
// decoded, and loaded into a slot with its triangles and bounds built. The
// file lives in a scratch directory under the temporary directory.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/engine.h"
#include "gfx3d/mesh.h"
#include "torus_model.h"

namespace {

constexpr int kRuns = 9;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Best and median of kRuns timings of `work`, in milliseconds, and MB/s of
// the median.
template <typename Work>
void Time(const char* what, double megabytes, Work work) {
    std::vector<double> t;
    for (int i = 0; i < kRuns; ++i) {
        auto start = Clock::now();
        work();
        t.push_back(Seconds(Clock::now() - start));
    }
    std::sort(t.begin(), t.end());
    std::printf("%-48s %9.2f %9.2f %10.1f\n", what, t.front() * 1000, t[t.size() / 2] * 1000,
                megabytes / t[t.size() / 2]);
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

    // Drawing figures follow here.

    std::filesystem::remove_all(dir);
    return 0;
}

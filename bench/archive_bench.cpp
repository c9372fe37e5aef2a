// Data archive resolution of a 16 MB entry (unpack with LZO1X plus the
// temporary file write) in MB/s, beside plain copies of a 16 MB file on the
// same disk, and the lookup of the last of 1000 entries. Files live in a
// scratch directory under the temporary directory.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench_timing.h"
#include "archive_writer.h"
#include "core/engine.h"
#include "files/archive.h"
#include "files/channels.h"

namespace {

constexpr size_t kEntrySize = 16u << 20;
constexpr int kRuns = 7;

using Clock = BenchClock;

void Write(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::exit(1);
    std::fclose(f);
}

// Best and median of kRuns timings of `work` (bench_timing.h).
template <typename Work>
void Time(const char* what, double megabytes, Work work) {
    TimeRuns(what, 44, kRuns, megabytes, work);
}

// Picture-like data: smooth gradients with noise in the low bits, which LZO
// packs to about half.
std::string PictureLike(size_t n) {
    std::mt19937 rng(5);
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = (char)(((i / 4) % 256 + (i / 4096) % 64) ^ (rng() & 3));
    return s;
}

std::string Noise(size_t n) {
    std::mt19937 rng(9);
    std::string s(n, '\0');
    for (char& c : s) c = (char)rng();
    return s;
}

}  // namespace

int main() {
    std::string dir = std::filesystem::temp_directory_path().string() + "/revev-archive-bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/tmp");
    dir += "/";
    setenv("TMPDIR", (dir + "tmp/").c_str(), 1);
    if (chdir(dir.c_str()) != 0) return 1;

    Write("picture.raw", PictureLike(kEntrySize));
    Write("noise.raw", Noise(kEntrySize));
    std::vector<std::string> many;
    for (int i = 0; i < 1000; ++i) {
        many.push_back("small" + std::to_string(i) + ".txt");
        Write(many.back(), "entry " + std::to_string(i));
    }
    std::string error;
    auto packStart = Clock::now();
    if (!CreateArchive("big.vaz", {"picture.raw", "noise.raw"}, error) ||
        !CreateArchive("many.vaz", many, error)) {
        std::fprintf(stderr, "archive_bench: %s\n", error.c_str());
        return 1;
    }
    double packSeconds = Seconds(Clock::now() - packStart);
    for (const std::string& name : many) std::remove(name.c_str());
    std::rename("picture.raw", "picture.src");
    std::rename("noise.raw", "noise.src");

    DataArchivesCreate();
    SetDataArchives("big.vaz", "big.vaz");
    char path[260];
    double mb = (double)kEntrySize / (1 << 20);
    std::printf("packing both 16 MB entries with LZO1X-999: %.2f s; archive %.1f MB\n",
                packSeconds, (double)std::filesystem::file_size("big.vaz") / (1 << 20));
    std::printf("%-44s %9s %9s %10s\n", "operation (16 MB)", "best ms", "median ms", "MB/s");
    Time("resolve archive entry, picture-like data", mb, [&] {
        if (!ResolveDataFile(engine.dataArchives, "picture.raw", path)) std::exit(1);
    });
    Time("resolve archive entry, incompressible data", mb, [&] {
        if (!ResolveDataFile(engine.dataArchives, "noise.raw", path)) std::exit(1);
    });
    Time("FileCopy (4096-byte blocks)", mb, [&] { FileCopy("picture.src", "copy.raw"); });
    Time("plain copy (one read, one write)", mb, [&] {
        std::vector<char> buffer(kEntrySize);
        FILE* in = std::fopen("picture.src", "rb");
        FILE* out = std::fopen("copy2.raw", "wb");
        if (!in || !out || std::fread(buffer.data(), 1, buffer.size(), in) != buffer.size() ||
            std::fwrite(buffer.data(), 1, buffer.size(), out) != buffer.size())
            std::exit(1);
        std::fclose(in);
        std::fclose(out);
    });

    SetDataArchives("many.vaz", "many.vaz");
    std::printf("%-44s %9s %9s %10s\n", "operation", "best ms", "median ms", "calls/s");
    Time("resolve the last of 1000 small entries", 1.0, [&] {
        if (!ResolveDataFile(engine.dataArchives, "small999.txt", path)) std::exit(1);
    });
    DataArchivesRelease();
    std::filesystem::remove_all(dir);
    return 0;
}

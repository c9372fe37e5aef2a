// Frame pacing, headless: 300 frames at 60 fps through the real frame routine,
// then the time from process start to "Init OK" of the real program.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/engine.h"

static double CpuMilliseconds() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

static std::vector<double> presented;
static void RecordFrame() { presented.push_back(NowMilliseconds()); }

static void PacingBench(int frames) {
    engine.screenWidth = 320;
    engine.screenHeight = 240;
    engine.frameRateLimit = 60;
    if (!StartUp("", 1, "ReVev")) {
        std::fprintf(stderr, "frame_bench: no window\n");
        return;
    }
    SetAutoPause(0);
    const double period = engine.screen->framePeriod;
    for (int i = 0; i < 10; ++i) ShowScreen();  // settle

    SetFrameHook(RecordFrame);
    double cpuStart = CpuMilliseconds();
    double wallStart = NowMilliseconds();
    for (int i = 0; i < frames; ++i) ShowScreen();
    double wall = NowMilliseconds() - wallStart;
    double cpu = CpuMilliseconds() - cpuStart;
    SetFrameHook(nullptr);

    std::vector<double> intervals;
    for (size_t i = 1; i < presented.size(); ++i) intervals.push_back(presented[i] - presented[i - 1]);
    double mean = 0;
    for (double d : intervals) mean += d;
    mean /= intervals.size();
    double variance = 0;
    for (double d : intervals) variance += (d - mean) * (d - mean);
    double spread = std::sqrt(variance / intervals.size());
    // Distance of each frame from its grid point (the grid runs from the first frame).
    double worst = 0;
    for (double t : presented) {
        double phase = std::fmod(t - presented.front(), period);
        worst = std::max(worst, std::min(phase, period - phase));
    }
    std::printf("pacing: %d frames at 60 fps\n", frames);
    std::printf("  mean interval      %.4f ms (target %.4f)\n", mean, period);
    std::printf("  interval spread    %.4f ms (standard deviation)\n", spread);
    std::printf("  min / max interval %.4f / %.4f ms\n", *std::min_element(intervals.begin(), intervals.end()),
                *std::max_element(intervals.begin(), intervals.end()));
    std::printf("  worst grid offset  %.4f ms\n", worst);
    std::printf("  CPU time           %.1f ms of %.1f ms wall (%.0f %%)\n", cpu, wall, 100.0 * cpu / wall);
}

// Starts the real program and measures until it prints "Init OK".
static double TimeToInitOk(const std::string& program) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        execl(program.c_str(), program.c_str(), "--frames", "1", (char*)nullptr);
        _exit(127);
    }
    close(pipeFds[1]);
    std::string seen;
    char buffer[256];
    double elapsed = -1;
    for (;;) {
        ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        seen.append(buffer, (size_t)n);
        if (seen.find("Init OK") != std::string::npos) {
            elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            break;
        }
    }
    close(pipeFds[0]);
    int status;
    waitpid(child, &status, 0);
    return elapsed;
}

// Runs the real program on an empty script for the given frames; CPU and wall
// milliseconds from process start to exit.
struct RunCost {
    double cpu = 0, wall = 0;
};

static RunCost RunEmptyScript(const std::string& program, const char* script, int frames) {
    RunCost cost;
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        std::string count = std::to_string(frames);
        int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) dup2(devNull, 1);
        execl(program.c_str(), program.c_str(), "--frames", count.c_str(), "--script", script,
              (char*)nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    cost.wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    cost.cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    return cost;
}

// What pacing costs when a game has nothing to do: the CPU per second of frames
// of the real program on an empty script, start-up and exit taken out by
// subtracting a one-frame run.
static void EmptyScriptCpu(const std::string& program, int frames) {
    char path[] = "/tmp/revev-empty-XXXXXX.lua";
    int fd = mkstemps(path, 4);
    if (fd < 0) return;
    close(fd);
    RunCost once = RunEmptyScript(program, path, 1);
    RunCost many = RunEmptyScript(program, path, frames + 1);
    unlink(path);
    double cpu = many.cpu - once.cpu, wall = many.wall - once.wall;
    if (wall <= 0) return;
    std::printf("empty script: %d frames at 60 fps in the real program\n", frames);
    std::printf("  CPU time           %.1f ms per second of frames (%.1f %% of a core)\n",
                cpu * 1000.0 / wall, 100.0 * cpu / wall);
}

int main(int argc, char** argv) {
    int frames = argc > 1 ? std::atoi(argv[1]) : 300;
    std::string program = REVEV_BINARY;
    std::vector<double> starts;
    for (int i = 0; i < 5; ++i) starts.push_back(TimeToInitOk(program));
    std::sort(starts.begin(), starts.end());
    std::printf("start-up: process start to \"Init OK\": median %.1f ms, best %.1f ms (5 runs)\n",
                starts[2], starts[0]);
    std::fflush(stdout);
    EmptyScriptCpu(program, 300);
    std::fflush(stdout);
    PacingBench(frames);
    std::fflush(stdout);
    EndProgram();
}

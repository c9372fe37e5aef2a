// What recording costs a frame: the 2D cases of the bench pair (N blended
// sprites, N rotated and zoomed sprites, N 40-character prints, and N
// particles moved in Lua with 100 of them drawn) run by the real program,
// headless, 800 x 600, no pacing, 30 warm-up and 100 measured frames, each
// case alternately without and with --record in the same run. Prints the
// median milliseconds per frame of each, the median ratio of a recorded run
// to the plain run beside it, and the journal's size.
// An argument runs only the cases whose name holds it; a second sets the
// runs of each kind (5).
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_sprite.h"
#include "platform/platform.h"

namespace {

// The case script of the pair, with CASE, N, WARM, FRAMES and BALL set in
// front of it.
const char kCaseScript[] = R"(
if not ready then
  Lua_Setscreen(800, 600, 0)
  Lua_Framerate(0)
  Lua_Loadsprite(BALL, 1)
  frame = 0
  xs, ys, vxs, vys = {}, {}, {}, {}
  local s = 12345
  for i = 1, N do
    s = (s * 1103515245 + 12345) % 2147483648; xs[i] = math.floor(s / 65536) % 768
    s = (s * 1103515245 + 12345) % 2147483648; ys[i] = math.floor(s / 65536) % 568
    vxs[i] = i % 7 - 3; vys[i] = 0
  end
  ready = true
end
frame = frame + 1
if frame == WARM then t0 = Lua_Runtime() end
if frame == WARM + FRAMES then
  print(string.format("RESULT %s %d %.4f", CASE, N, (Lua_Runtime() - t0) / FRAMES))
  Lua_End()
end
Lua_Blackscreen(1)
if CASE == "sprite" then
  Lua_Alphamode(-1)
  for i = 1, N do Lua_Drawsprite(1, xs[i], ys[i]) end
elseif CASE == "roto" then
  Lua_Alphamode(-1)
  for i = 1, N do Lua_Rotozoomsprite(1, xs[i], ys[i], i % 360, 1) end
elseif CASE == "text" then
  for i = 1, N do Lua_Print("The quick brown fox jumps over the lazy.", xs[i] % 500, ys[i]) end
elseif CASE == "logic" then
  for i = 1, N do
    local x, y, vx, vy = xs[i], ys[i], vxs[i], vys[i]
    vy = vy + 0.1; x = x + vx; y = y + vy
    if x < 0 or x > 768 then vx = -vx end
    if y > 568 then vy = -vy * 0.9; y = 568 end
    xs[i], ys[i], vxs[i], vys[i] = x, y, vx, vy
  end
  Lua_Alphamode(-1)
  for i = 1, 100 do Lua_Drawsprite(1, math.floor(xs[i]), math.floor(ys[i])) end
end
)";

// One run of the program; the milliseconds per frame it printed, or -1.
double RunCase(const std::string& script, const std::string& journal) {
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy '" +
                          std::string(REVEV_BINARY) + "'";
    if (!journal.empty()) command += " --record '" + journal + "'";
    command += " --script '" + script + "' 2>/dev/null";
    FILE* out = popen(command.c_str(), "r");
    if (!out) return -1;
    char line[256];
    double ms = -1;
    while (std::fgets(line, sizeof line, out)) {
        char name[32];
        int n;
        double value;
        if (std::sscanf(line, "RESULT %31s %d %lf", name, &n, &value) == 3) ms = value;
    }
    pclose(out);
    return ms;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

long FileSize(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? (long)status.st_size : -1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string only = argc > 1 ? argv[1] : "";
    int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::string dir = PlatformTempDirectory();
    std::string ball = dir + "journal_frames_bench_ball.png";
    std::string script = dir + "journal_frames_bench.lua";
    std::string journal = dir + "journal_frames_bench.rvj";
    if (!WriteBallPng(ball)) {
        std::fprintf(stderr, "journal_frames_bench: cannot write %s\n", ball.c_str());
        return 1;
    }
    const struct {
        const char* name;
        int n;
    } cases[] = {{"sprite", 10000}, {"roto", 10000}, {"text", 1000}, {"logic", 20000}};
    std::printf("journal frames: 2D cases headless at 800 x 600, 30 warm-up + 100 frames, %d runs of each, "
                "alternating\n",
                runs);
    std::printf("  %-8s %6s %12s %12s %8s %12s\n", "case", "N", "plain ms", "record ms", "ratio", "journal");
    for (const auto& c : cases) {
        if (!only.empty() && std::string(c.name).find(only) == std::string::npos) continue;
        FILE* file = std::fopen(script.c_str(), "w");
        if (!file) return 1;
        std::fprintf(file, "CASE = \"%s\"\nN = %d\nWARM = 30\nFRAMES = 100\nBALL = \"%s\"\n%s", c.name, c.n,
                     ball.c_str(), kCaseScript);
        std::fclose(file);
        // Each pair runs back to back, in turns which goes first, so that a
        // load that comes and goes on the machine falls on both alike; the
        // ratio is the median of the pairs' ratios.
        std::vector<double> plain, recorded, ratios;
        for (int i = 0; i < runs; ++i) {
            double a, b;
            if (i % 2 == 0) {
                a = RunCase(script, "");
                b = RunCase(script, journal);
            } else {
                b = RunCase(script, journal);
                a = RunCase(script, "");
            }
            if (a <= 0 || b <= 0) continue;
            plain.push_back(a);
            recorded.push_back(b);
            ratios.push_back(b / a);
        }
        if (ratios.empty()) {
            std::printf("  %-8s %6d   the program printed no result\n", c.name, c.n);
            continue;
        }
        std::printf("  %-8s %6d %12.3f %12.3f %8.4f %9ld B\n", c.name, c.n, Median(plain), Median(recorded),
                    Median(ratios), FileSize(journal));
        std::fflush(stdout);
    }
    std::remove(ball.c_str());
    std::remove(script.c_str());
    std::remove(journal.c_str());
    return 0;
}

// Calls per second of the hottest bindings, made from a Lua loop in the
// program's own Lua state (LuaJIT or the interpreter, as built), headless in
// an 800 x 600 screen. Beside them, what the call alone costs: a Lua
// function, a C function through the classic C API, and the same C function
// through each of the two binding dispatches (the end check and the flush of
// queued drawing). Best and median of 5 runs; each run is one Lua loop of N
// calls, the queued drawing drawn at its end. An argument runs only the
// cases whose name holds it.
extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "application.h"
#include "bench_timing.h"
#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "lua_args.h"

namespace {

const char* only = nullptr;

int Nop(lua_State*) { return 0; }

// The bench's own bindings, registered as every engine binding is.
const LuaBinding nopBindings[] = {
    {"Bench_Flushing", Nop},
    {"Bench_Queueing", Nop, true},
    {nullptr, nullptr},
};

struct Case {
    const char* name;
    const char* call;  // the body of the loop, with i the loop counter
    int calls;
};

void Run(lua_State* L, const Case& c) {
    if (only && std::string(c.name).find(only) == std::string::npos) return;
    const std::string source = std::string("local n = ...\nfor i = 1, n do ") + c.call + " end\n";
    if (luaL_loadbuffer(L, source.data(), source.size(), c.name) != 0) {
        std::fprintf(stderr, "lua_calls_bench: %s\n", lua_tostring(L, -1));
        lua_pop(L, 1);
        return;
    }
    const int chunk = luaL_ref(L, LUA_REGISTRYINDEX);
    std::vector<double> seconds;
    for (int run = 0; run < 6; ++run) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, chunk);
        lua_pushnumber(L, c.calls);
        const auto start = BenchClock::now();
        if (lua_pcall(L, 1, 0, 0) != 0) {
            std::fprintf(stderr, "lua_calls_bench: %s: %s\n", c.name, lua_tostring(L, -1));
            lua_pop(L, 1);
            return;
        }
        FlushDrawBatch();
        const double s = Seconds(BenchClock::now() - start);
        ShowScreen();
        // The first run records and compiles the loop; it is not counted.
        if (run > 0) seconds.push_back(s);
    }
    luaL_unref(L, LUA_REGISTRYINDEX, chunk);
    std::sort(seconds.begin(), seconds.end());
    const double best = seconds.front() / c.calls, median = seconds[seconds.size() / 2] / c.calls;
    std::printf("%-34s %9.1f %9.1f %9.2f\n", c.name, best * 1e9, median * 1e9, 1e-6 / median);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) only = argv[1];
    engine.screenWidth = 800;
    engine.screenHeight = 600;
    engine.frameRateLimit = 0;
    if (!StartUp("", 1, "ReVev")) {
        std::fprintf(stderr, "lua_calls_bench: no window with an OpenGL context\n");
        return 1;
    }
    SetAutoPause(0);
    engine.screen->framePeriod = 0;
    lua_State* L = CreateLuaState();
    if (!L) return 1;
    RegisterBindingTable(L, nopBindings);
    lua_register(L, "Bench_Classic", Nop);
    SetDrawBatching(true);
    const std::string setup = std::string("Lua_Loadsprite('") + REVEV_SOURCE_DIR + "/scripts/ball.bmp', 1)\n"
                              "Lua_Loadfont('" + REVEV_SOURCE_DIR + "/smalfont.bmp', 0)\n"
                              "function LuaNop(a, b, c) return a end\n";
    if (luaL_dostring(L, setup.c_str()) != 0) {
        std::fprintf(stderr, "lua_calls_bench: %s\n", lua_tostring(L, -1));
        return 1;
    }
#ifdef REVEV_LUAJIT
    const char* lua = "LuaJIT";
#else
    const char* lua = "Lua 5.1 interpreter";
#endif
    std::printf("Lua calls on %s, 800 x 600 headless; best and median of 5 runs\n", lua);
    std::printf("%-34s %9s %9s %9s\n", "call", "best ns", "median ns", "M calls/s");
    const Case cases[] = {
        {"Lua function", "LuaNop(i, 1, 2)", 20000000},
        {"C function, no dispatch", "Bench_Classic(i, 1, 2)", 5000000},
        {"C function, queueing dispatch", "Bench_Queueing(i, 1, 2)", 5000000},
        {"C function, flushing dispatch", "Bench_Flushing(i, 1, 2)", 5000000},
        {"Lua_Random(100)", "Lua_Random(100)", 2000000},
        {"Lua_Runtime()", "Lua_Runtime()", 2000000},
        {"Lua_Drawsprite(empty slot, x, y)", "Lua_Drawsprite(2, i % 768, i % 568)", 2000000},
        {"Lua_Drawsprite(1, x, y)", "Lua_Drawsprite(1, i % 768, i % 568)", 500000},
        {"Lua_Print('Hello', x, y)", "Lua_Print('Hello', i % 700, i % 580)", 100000},
        {"Lua_Getpixel(x, y)", "Lua_Getpixel(i % 800, 300)", 20000},
    };
    for (const Case& c : cases) Run(L, c);
    return 0;
}

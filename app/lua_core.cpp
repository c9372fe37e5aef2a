// Lua bindings of the runtime core: screen mode, viewport, frame rate, timers,
// pause, the file dialog, other programs and the end of the program.
extern "C" {
#include <lua.h>
}

#include "core/engine.h"
#include "lua_args.h"
#include "lua_register.h"

// ---------------------------------------------------------------------------
// Bindings

static int Lua_Screensize(lua_State* L) {
    double width, height;
    GetScreenSize(width, height);
    lua_pushnumber(L, width);
    lua_pushnumber(L, height);
    return 2;
}

static int Lua_Viewport(lua_State* L) {
    SetViewport(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4));
    return 0;
}

static int Lua_Framerate(lua_State* L) {
    SetFrameRate(ArgNumber(L, 1));
    return 0;
}

static int Lua_Frametime(lua_State* L) { return PushNumber(L, FrameDuration()); }

static int Lua_Runtime(lua_State* L) { return PushNumber(L, RunningTime()); }

static int Lua_Autopause(lua_State* L) {
    SetAutoPause(ArgNumber(L, 1));
    return 0;
}

static int Lua_Escapeend(lua_State* L) {
    SetEscapeEndsProgram(ArgNumber(L, 1));
    return 0;
}

static int Lua_Position(lua_State* L) {
    SetPosition(ArgNumber(L, 1), ArgNumber(L, 2));
    return 0;
}

static int Lua_Breakpoint(lua_State* L) {
    BreakpointReport(ArgInt(L, 1));
    return 0;
}

static int Lua_Filedialog(lua_State* L) { return PushText(L, FileDialog(ArgText(L, 1), ArgNumber(L, 2))); }

static int Lua_Runprogram(lua_State* L) {
    double exitCode = 0;
    double started = RunProgram(ArgText(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), exitCode);
    lua_pushnumber(L, started);
    lua_pushnumber(L, exitCode);
    return 2;
}

static int Lua_End(lua_State* L) {
    lua_settop(L, 0);
    engine.errorNumber = 0;
    engine.errorLine = engine.currentLine;
    EndProgram();
}

// ---------------------------------------------------------------------------
// Registration

static const LuaBinding coreBindings[] = {
    {"Lua_Screensize", Lua_Screensize},
    {"Lua_Viewport", Lua_Viewport},
    {"Lua_Framerate", Lua_Framerate},
    {"Lua_Frametime", Lua_Frametime},
    {"Lua_Runtime", Lua_Runtime},
    {"Lua_Autopause", Lua_Autopause},
    {"Lua_Escapeend", Lua_Escapeend},
    {"Lua_Position", Lua_Position},
    {"Lua_Breakpoint", Lua_Breakpoint},
    {"Lua_Filedialog", Lua_Filedialog},
    {"Lua_Runprogram", Lua_Runprogram},
    {"Lua_End", Lua_End},
    {nullptr, nullptr},
};

void RegisterCoreBindings(lua_State* L) { RegisterBindingTable(L, coreBindings); }

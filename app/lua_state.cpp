// The one Lua state: the libraries a script sees, the bindings, the memory
// limit and, under the interpreter, the hook that ends a busy script.
extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
#ifdef REVEV_LUAJIT
#include <luajit.h>
#endif
}

#include <cstddef>

#include "application.h"
#include "core/engine.h"
#include "lua_register.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Types

// The state's allocator with a count of the bytes it holds and a limit.
struct LuaMemory {
    lua_Alloc base;
    void* baseData;
    size_t used;
    size_t limit;   // 0: none
    bool refused;   // a growth was refused since the script's chunk last returned
};

// ---------------------------------------------------------------------------
// State

#ifndef REVEV_LUAJIT
// How often a running script looks for a request to end: a flag test every
// this many Lua instructions costs nothing measurable and answers in well
// under a second even in a tight loop.
static const int kEndCheckInstructions = 10000;
#endif

// ---------------------------------------------------------------------------
// Internal helpers

// Refuses any growth past the limit, so that the script gets Lua's "not
// enough memory" error while the system still has memory for the program
// itself; shrinking and freeing never fail, as Lua requires.
//
// LuaJIT 2.1 survives a memory error raised inside compiled code, but not a
// second one in the same code: its unwinder then crashes. So after a refusal
// LuaJIT may go past the limit by a reserve (leaving compiled code can
// itself allocate, to build tables the code had kept in registers), the
// compiled code is flushed when the chunk returns (SettleLuaMemory), and a
// growth past the reserve before that (the script caught the error and grew
// on) is the runtime's fatal error 7, no memory, which ends the program
// through its end path with the files saved. The interpreter raises its
// error every time, which is always safe.
static void* LimitedAlloc(void* data, void* block, size_t oldSize, size_t newSize) {
    LuaMemory& memory = *static_cast<LuaMemory*>(data);
    if (!block) oldSize = 0;
    if (newSize > oldSize && memory.limit > 0) {
        size_t limit = memory.limit;
#ifdef REVEV_LUAJIT
        if (memory.refused) limit += memory.limit / 16 + ((size_t)1 << 20);
#endif
        if (memory.used > limit || newSize - oldSize > limit - memory.used) {
#ifdef REVEV_LUAJIT
            if (memory.refused) {
                ReportScriptErrorText("not enough memory");
                RuntimeError(7);
            }
#endif
            memory.refused = true;
            return nullptr;
        }
    }
    void* result = memory.base(memory.baseData, block, oldSize, newSize);
    if (result || newSize == 0) memory.used = memory.used - (oldSize < memory.used ? oldSize : memory.used) + newSize;
    return result;
}

#ifndef REVEV_LUAJIT
// A script caught in a loop never reaches the frame routine, whose message
// pump turns SIGINT, SIGTERM and SIGHUP into a close; so the interpreter
// checks for them itself. Ending here is safe: the end of program exits the
// process without returning into Lua, and its exit handlers save the
// configuration and line files, as after a close. (Compiled LuaJIT code
// never calls hooks; there the watchdog of end_watch.h ends such a script.)
static void CheckEndRequest(lua_State*, lua_Debug*) {
    if (PlatformEndRequested()) EndProgram();
}
#endif

#ifdef REVEV_LUAJIT
// The interpreter's answer to table.setn.
static int ObsoleteSetn(lua_State* L) { return luaL_error(L, "'setn' is obsolete"); }

// Sets or clears (a null value) the field `name` of the global table `table`.
static void SetLibraryField(lua_State* L, const char* table, const char* name, lua_CFunction value,
                            const char* sameAs = nullptr) {
    lua_getfield(L, LUA_GLOBALSINDEX, table);
    if (sameAs) lua_getfield(L, -1, sameAs);
    else if (value) lua_pushcfunction(L, value);
    else lua_pushnil(L);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}
#endif

// LuaJIT's compiler is switched on by its library's opener. The library
// itself stays out of the script's reach (jit.off, jit.flush and jit.attach
// would let a script steer the compiler), and so do the extension modules
// the openers put in the registry's preload table (string.buffer, table.new,
// jit.util). The libraries then hold the interpreter's functions, no more and
// no fewer: its compatibility names come back (math.mod, string.gfind,
// table.setn) and LuaJIT's additions go (table.move, coroutine.isyieldable,
// debug.upvalueid, debug.upvaluejoin), so that a script written on one build
// runs on the other.
static void StartCompiler(lua_State* L) {
#ifdef REVEV_LUAJIT
    lua_pushcfunction(L, luaopen_jit);
    lua_call(L, 0, 0);
    lua_pushnil(L);
    lua_setfield(L, LUA_GLOBALSINDEX, "jit");
    lua_getfield(L, LUA_REGISTRYINDEX, "_LOADED");
    for (const char* name : {"jit", "jit.opt", "jit.util", "jit.profile", "string.buffer"}) {
        lua_pushnil(L);
        lua_setfield(L, -2, name);
    }
    lua_pop(L, 1);
    lua_pushnil(L);
    lua_setfield(L, LUA_REGISTRYINDEX, "_PRELOAD");
    SetLibraryField(L, "math", "mod", nullptr, "fmod");
    SetLibraryField(L, "string", "gfind", nullptr, "gmatch");
    SetLibraryField(L, "table", "setn", ObsoleteSetn);
    SetLibraryField(L, "table", "move", nullptr);
    SetLibraryField(L, "coroutine", "isyieldable", nullptr);
    SetLibraryField(L, "debug", "upvalueid", nullptr);
    SetLibraryField(L, "debug", "upvaluejoin", nullptr);
#else
    (void)L;
#endif
}

// ---------------------------------------------------------------------------
// Public

lua_State* CreateLuaState() {
    lua_State* L = luaL_newstate();
    if (!L) return nullptr;
    // Each opener is called through Lua so that it runs with a proper stack.
    const lua_CFunction openers[] = {luaopen_string, luaopen_table, luaopen_math, luaopen_debug,
                                     luaopen_base};
    for (lua_CFunction open : openers) {
        lua_pushcfunction(L, open);
        lua_call(L, 0, 0);
    }
    StartCompiler(L);
    OpenRequire(L);
    lua_settop(L, 0);
    RegisterBindings(L);
#ifndef REVEV_LUAJIT
    lua_sethook(L, CheckEndRequest, LUA_MASKCOUNT, kEndCheckInstructions);
#endif
    return L;
}

void SetLuaMemoryLimit(lua_State* L, size_t bytes) {
    void* data = nullptr;
    lua_Alloc current = lua_getallocf(L, &data);
    if (current == LimitedAlloc) {
        static_cast<LuaMemory*>(data)->limit = bytes;
        return;
    }
    // Lives as long as the state, which is never closed.
    LuaMemory* memory = new LuaMemory{current, data, 0, bytes, false};
    memory->used = (size_t)lua_gc(L, LUA_GCCOUNT, 0) * 1024 + (size_t)lua_gc(L, LUA_GCCOUNTB, 0);
    lua_setallocf(L, LimitedAlloc, memory);
}

void SettleLuaMemory(lua_State* L) {
    void* data = nullptr;
    if (lua_getallocf(L, &data) != LimitedAlloc) return;
    LuaMemory& memory = *static_cast<LuaMemory*>(data);
    if (!memory.refused) return;
    memory.refused = false;
#ifdef REVEV_LUAJIT
    luaJIT_setmode(L, 0, LUAJIT_MODE_ENGINE | LUAJIT_MODE_FLUSH);
#endif
}

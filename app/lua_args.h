// Argument and result helpers shared by the Lua bindings. Extra bindings take
// their arguments by position: nil or missing reads as 0 or the empty text.
#pragma once

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <exception>
#include <string>

#include "lua_convert.h"
#include "strings/runtime_string.h"
#include "strings/script_numbers.h"

// Number argument at position i (1-based); nil, missing or not a number: 0.
// Strings read by the interpreter's rule on both Lua builds (lua_convert.h).
inline double ArgNumber(lua_State* L, int i) { return ToLuaNumber(L, i); }

// Integer argument, truncated toward zero and held to the 32-bit range.
inline int ArgInt(lua_State* L, int i) { return TruncateToInt(ArgNumber(L, i)); }

// Text argument at position i; nil or missing: empty text. Numbers convert
// through the interpreter's to-string rule.
inline RuntimeString ArgText(lua_State* L, int i) {
    LuaText text;
    return RuntimeString(ToLuaText(L, i, text) ? text.text : "");
}

inline int PushNumber(lua_State* L, double value) {
    lua_pushnumber(L, value);
    return 1;
}

inline int PushText(lua_State* L, const RuntimeString& text) {
    lua_pushlstring(L, text.Text(), text.Length());
    return 1;
}

// Runs a binding body so that no C++ exception unwinds through Lua's longjmp.
// A failure becomes a Lua error carrying the message.
template <typename Body>
int GuardedBinding(lua_State* L, Body body) {
    std::string failure;
    try {
        return body();
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "unknown failure";
    }
    lua_pushstring(L, failure.c_str());
    return lua_error(L);
}

// One entry of a subsystem's registration table. `queuesDrawing`: the binding
// only draws through the draw batching (a sprite or text), so it may add to a
// queued run; every other binding flushes the run first.
struct LuaBinding {
    const char* name;
    lua_CFunction function;
    bool queuesDrawing = false;
};

// The two ways a binding is called, each with the binding itself as the
// closure's first upvalue and its name as the second. Both look for a
// request to end on entry and mark the main thread as inside a binding
// (end_watch.h); the flushing one also draws what is queued first, so that
// nothing a binding does to the GL can come between queued quads.
int QueueingBinding(lua_State* L);
int FlushingBinding(lua_State* L);

// Registers a table of bindings as globals; the table ends with {nullptr, nullptr}.
inline void RegisterBindingTable(lua_State* L, const LuaBinding* table) {
    for (; table->name; ++table) {
        lua_pushcfunction(L, table->function);
        // The name, for the report of a failed load (script_place.h).
        lua_pushlightuserdata(L, const_cast<char*>(table->name));
        lua_pushcclosure(L, table->queuesDrawing ? QueueingBinding : FlushingBinding, 2);
        lua_setfield(L, LUA_GLOBALSINDEX, table->name);
    }
}

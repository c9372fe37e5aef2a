// Argument and result helpers shared by the Lua bindings. Extra bindings take
// their arguments by position: nil or missing reads as 0 or the empty text.
#pragma once

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <exception>
#include <string>

#include "core/engine.h"
#include "strings/runtime_string.h"

// Number argument at position i (1-based); nil, missing or not a number: 0.
inline double ArgNumber(lua_State* L, int i) {
    if (lua_gettop(L) < i || lua_isnil(L, i)) return 0.0;
    return lua_tonumber(L, i);
}

// Integer argument, truncated toward zero and held to the 32-bit range.
inline int ArgInt(lua_State* L, int i) { return TruncateToInt(ArgNumber(L, i)); }

// Text argument at position i; nil or missing: empty text. Numbers convert
// through Lua's own to-string rule.
inline RuntimeString ArgText(lua_State* L, int i) {
    if (lua_gettop(L) < i || lua_isnil(L, i)) return RuntimeString();
    const char* text = lua_tostring(L, i);
    return RuntimeString(text ? text : "");
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

// Calls the binding held in the first upvalue after drawing what is queued,
// so that nothing a binding does to the GL can come between queued quads.
int FlushingBinding(lua_State* L);

// Registers a table of bindings as globals; the table ends with {nullptr, nullptr}.
inline void RegisterBindingTable(lua_State* L, const LuaBinding* table) {
    for (; table->name; ++table) {
        if (table->queuesDrawing) {
            lua_pushcfunction(L, table->function);
        } else {
            lua_pushcfunction(L, table->function);
            lua_pushcclosure(L, FlushingBinding, 1);
        }
        lua_setfield(L, LUA_GLOBALSINDEX, table->name);
    }
}

// Number and text conversions by the Lua 5.1 interpreter's rules.
#include "lua_convert.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

bool LuaTextToNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    if (end == text) return false;
    if (*end == 'x' || *end == 'X') value = (double)std::strtoul(text, &end, 16);
    while (std::isspace((unsigned char)*end)) ++end;
    return *end == '\0';
}

bool ToLuaText(lua_State* L, int index, LuaText& out) {
    switch (lua_type(L, index)) {
    case LUA_TSTRING:
        out.text = lua_tolstring(L, index, &out.length);
        return out.text != nullptr;
    case LUA_TNUMBER: {
        int n = std::snprintf(out.number, sizeof out.number, "%.14g", (double)lua_tonumber(L, index));
        out.text = out.number;
        out.length = n > 0 ? (size_t)n : 0;
        return true;
    }
    default:
        out.text = nullptr;
        out.length = 0;
        return false;
    }
}

double ToLuaNumber(lua_State* L, int index) {
    switch (lua_type(L, index)) {
    case LUA_TNUMBER:
        return lua_tonumber(L, index);
    case LUA_TSTRING: {
        double value = 0.0;
        return LuaTextToNumber(lua_tostring(L, index), value) ? value : 0.0;
    }
    default:
        return 0.0;
    }
}

// Lua bindings of the 3D engine, continued: objects built from commands, the
// normal mode, the cube, the cartoon shade ramp, collision tests and screen
// projection.
extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <vector>

#include "gfx3d/gfx3d.h"
#include "lua_args.h"
#include "lua_arrays.h"
#include "lua_register.h"
#include "strings/number_array.h"

// ---------------------------------------------------------------------------
// Objects from commands

static int Lua_Beginobject(lua_State* L) {
    BeginObject(ArgNumber(L, 1));
    return 0;
}

static int Lua_Addvertex(lua_State* L) {
    AddVertex(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5), ArgNumber(L, 6));
    return 0;
}

static int Lua_Newstrip(lua_State*) {
    NewStrip();
    return 0;
}

static int Lua_Endobject(lua_State* L) {
    return GuardedBinding(L, [&] {
        EndObject();
        return 0;
    });
}

static int Lua_Normalmode(lua_State* L) {
    SetNormalMode(ArgNumber(L, 1));
    return 0;
}

static int Lua_Createcube(lua_State* L) {
    return GuardedBinding(L, [&] {
        CreateCube(ArgNumber(L, 1), ArgNumber(L, 2));
        return 0;
    });
}

// Lua_Shaderamp(levels): a number array, or a table of numbers; anything
// else, or no numbers, ends the program with error 9.
static int Lua_Shaderamp(lua_State* L) {
    if (NumberArray* array = ToNumberArray(L, 1)) {
        SetShadeRampCommand(*array);
        return 0;
    }
    std::vector<double> values;
    if (lua_istable(L, 1)) {
        const size_t count = lua_objlen(L, 1);
        for (size_t i = 0; i < count && i < 4096; ++i) {
            lua_rawgeti(L, 1, (int)i + 1);
            values.push_back(ToLuaNumber(L, -1));
            lua_pop(L, 1);
        }
    }
    return GuardedBinding(L, [&] {
        NumberArray levels;
        if (!values.empty()) levels.FillFromList((uint32_t)values.size(), values.data());
        SetShadeRampCommand(levels);
        return 0;
    });
}

// ---------------------------------------------------------------------------
// Collision and projection

static int Lua_Spherehit(lua_State* L) {
    return PushNumber(L, SphereHitsObject(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4),
                                          ArgNumber(L, 5), ArgNumber(L, 6)));
}

static int Lua_Boxhit(lua_State* L) {
    return PushNumber(L, BoxHitsObject(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4),
                                       ArgNumber(L, 5), ArgNumber(L, 6), ArgNumber(L, 7)));
}

static int Lua_Rayhit(lua_State* L) {
    return PushNumber(L, RayHitsObject(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4),
                                       ArgNumber(L, 5), ArgNumber(L, 6), ArgNumber(L, 7), ArgNumber(L, 8)));
}

// Results: 1 or 0, then the three coordinates (0s on failure).
static int PushPoint(lua_State* L, int ok, const double p[3]) {
    PushNumber(L, ok);
    for (int k = 0; k < 3; ++k) PushNumber(L, ok ? p[k] : 0);
    return 4;
}

static int Lua_Project(lua_State* L) {
    double out[3] = {0, 0, 0};
    const int ok = ProjectToScreen(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), out);
    return PushPoint(L, ok, out);
}

static int Lua_Unproject(lua_State* L) {
    double out[3] = {0, 0, 0};
    const int ok = UnprojectFromScreen(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), out);
    return PushPoint(L, ok, out);
}

static const LuaBinding kGfx3dBuildBindings[] = {
    {"Lua_Beginobject", Lua_Beginobject},
    {"Lua_Addvertex", Lua_Addvertex},
    {"Lua_Newstrip", Lua_Newstrip},
    {"Lua_Endobject", Lua_Endobject},
    {"Lua_Normalmode", Lua_Normalmode},
    {"Lua_Createcube", Lua_Createcube},
    {"Lua_Shaderamp", Lua_Shaderamp},
    {"Lua_Spherehit", Lua_Spherehit},
    {"Lua_Boxhit", Lua_Boxhit},
    {"Lua_Rayhit", Lua_Rayhit},
    {"Lua_Project", Lua_Project},
    {"Lua_Unproject", Lua_Unproject},
    {nullptr, nullptr},
};

void RegisterGfx3dBuildBindings(lua_State* L) { RegisterBindingTable(L, kGfx3dBuildBindings); }

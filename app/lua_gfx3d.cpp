// Lua bindings of the 3D engine: scene, camera, transform stack, object
// loading and drawing, lights, fog and shader programs.
extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "core/engine.h"
#include "gfx3d/gfx3d.h"
#include "lua_args.h"
#include "lua_arrays.h"
#include "lua_register.h"
#include "strings/number_array.h"

// ---------------------------------------------------------------------------
// Internal helpers

static ObjectSlot* ArgObjectSlot(lua_State* L, int i) {
    const int slot = ArgInt(L, i);
    if (!engine.scene3D || !IsObjectSlot(slot)) return nullptr;
    return &engine.scene3D->objectSlots[slot];
}

// ---------------------------------------------------------------------------
// Scene and camera

static int Lua_Setup3d(lua_State* L) {
    Setup3DMode(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3));
    return 0;
}

static int Lua_Camera(lua_State* L) {
    SetCamera(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5),
              ArgNumber(L, 6));
    return 0;
}

static int Lua_Upvector(lua_State* L) {
    SetUpVector(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3));
    return 0;
}

static int Lua_Cullmode(lua_State* L) {
    SetCullMode(ArgNumber(L, 1));
    return 0;
}

static int Lua_Cleardepth(lua_State*) {
    ClearDepth();
    return 0;
}

// ---------------------------------------------------------------------------
// Transform stack

static int Lua_Pushtransform(lua_State*) {
    PushTransform();
    return 0;
}

static int Lua_Poptransform(lua_State*) {
    PopTransform();
    return 0;
}

static int Lua_Move(lua_State* L) {
    MoveTransform(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3));
    return 0;
}

static int Lua_Scale(lua_State* L) {
    ScaleTransform(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3));
    return 0;
}

static int Lua_Rotate(lua_State* L) {
    RotateTransform(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4));
    return 0;
}

// Lua_Multmatrix(matrix): a NumberArray, or a table of 16 numbers; anything
// else ends the program with error 9, as a bad array does.
static int Lua_Multmatrix(lua_State* L) {
    if (NumberArray* array = ToNumberArray(L, 1)) {
        MultiplyMatrix(*array);
        return 0;
    }
    double values[16];
    size_t count = 0;
    if (lua_istable(L, 1)) {
        count = lua_objlen(L, 1);
        for (size_t i = 0; i < 16 && i < count; ++i) {
            lua_rawgeti(L, 1, (int)i + 1);
            values[i] = ToLuaNumber(L, -1);
            lua_pop(L, 1);
        }
    }
    return GuardedBinding(L, [&] {
        NumberArray matrix;
        if (count == 16) matrix.FillFromList(16, values);
        MultiplyMatrix(matrix);
        return 0;
    });
}

// ---------------------------------------------------------------------------
// Textures

static int Lua_Selecttextures(lua_State* L) {
    SelectTextures(ArgNumber(L, 1), lua_gettop(L) >= 2 && !lua_isnil(L, 2) ? ArgNumber(L, 2) : -1);
    return 0;
}

static int Lua_Texturevariant(lua_State* L) {
    SetTextureVariant(ArgNumber(L, 1));
    return 0;
}

static int Lua_Texturescroll(lua_State* L) {
    SetTextureScroll(ArgNumber(L, 1), ArgNumber(L, 2));
    return 0;
}

static int Lua_Spheremap(lua_State* L) {
    SetSphereMapping(ArgNumber(L, 1));
    return 0;
}

// ---------------------------------------------------------------------------
// Objects

static int Lua_Loadobject(lua_State* L) {
    ObjectSlot* slot = ArgObjectSlot(L, 1);
    RuntimeString file = ArgText(L, 2);
    return GuardedBinding(L, [&] { return PushNumber(L, slot ? LoadObjectSlot(*slot, file.Text()) : 0); });
}

static int Lua_Saveobject(lua_State* L) {
    ObjectSlot* slot = ArgObjectSlot(L, 1);
    RuntimeString file = ArgText(L, 2);
    return GuardedBinding(L, [&] { return PushNumber(L, slot && SaveObjectSlot(*slot, file.Text()) ? 1 : 0); });
}

static int Lua_Drawobject(lua_State* L) {
    DrawObject(ArgNumber(L, 1), ArgNumber(L, 2));
    return 0;
}

static int Lua_Drawanimated(lua_State* L) {
    DrawObjectAnimated(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5));
    return 0;
}

static int Lua_Countvertices(lua_State* L) { return PushNumber(L, CountTriangleVertices(ArgNumber(L, 1))); }

// Lua_Gettriangle(slot, frame, index[, array]) -> 27 numbers: x, y, z, u, v,
// colour word, nx, ny, nz of records index, index + 1, index + 2. A
// NumberArray given fourth is dimensioned 3 x 9 and receives them too.
static int Lua_Gettriangle(lua_State* L) {
    NumberArray* given = ToNumberArray(L, 4);
    if (!lua_checkstack(L, 27)) return 0;
    return GuardedBinding(L, [&] {
        NumberArray local;
        NumberArray& out = given ? *given : local;
        GetTriangle(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), out);
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 9; ++j) lua_pushnumber(L, out.At(k, j));
        return 27;
    });
}

static int Lua_Line3d(lua_State* L) {
    DrawLine3D(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5),
               ArgNumber(L, 6), ArgNumber(L, 7), ArgNumber(L, 8));
    return 0;
}

static int Lua_Point3d(lua_State* L) {
    DrawPoint3D(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5));
    return 0;
}

static int Lua_Axes(lua_State* L) {
    DrawAxes(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3));
    return 0;
}

// ---------------------------------------------------------------------------
// Lights and fog

static int Lua_Light(lua_State* L) {
    SetLight(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5),
             ArgNumber(L, 6), ArgNumber(L, 7), ArgNumber(L, 8), ArgNumber(L, 9));
    return 0;
}

static int Lua_Simplelight(lua_State* L) {
    SetSimpleLight(ArgNumber(L, 1), ArgNumber(L, 2));
    return 0;
}

static int Lua_Fog(lua_State* L) {
    SetFog(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4));
    return 0;
}

// ---------------------------------------------------------------------------
// Shader programs

static int Lua_Loadshader(lua_State* L) {
    RuntimeString vertexFile = ArgText(L, 2);
    RuntimeString fragmentFile = ArgText(L, 3);
    return GuardedBinding(L, [&] {
        return PushNumber(L, LoadShader(ArgNumber(L, 1), vertexFile.Text(), fragmentFile.Text()));
    });
}

static int Lua_Useshader(lua_State* L) {
    UseShader(ArgNumber(L, 1));
    return 0;
}

static int Lua_Shaderfloat(lua_State* L) {
    RuntimeString name = ArgText(L, 1);
    SetShaderFloat(name.Text(), ArgNumber(L, 2));
    return 0;
}

static int Lua_Shaderint(lua_State* L) {
    RuntimeString name = ArgText(L, 1);
    SetShaderInt(name.Text(), ArgNumber(L, 2));
    return 0;
}

static const LuaBinding kGfx3dBindings[] = {
    {"Lua_Setup3d", Lua_Setup3d},
    {"Lua_Camera", Lua_Camera},
    {"Lua_Upvector", Lua_Upvector},
    {"Lua_Cullmode", Lua_Cullmode},
    {"Lua_Cleardepth", Lua_Cleardepth},
    {"Lua_Pushtransform", Lua_Pushtransform},
    {"Lua_Poptransform", Lua_Poptransform},
    {"Lua_Move", Lua_Move},
    {"Lua_Scale", Lua_Scale},
    {"Lua_Rotate", Lua_Rotate},
    {"Lua_Multmatrix", Lua_Multmatrix},
    {"Lua_Selecttextures", Lua_Selecttextures},
    {"Lua_Texturevariant", Lua_Texturevariant},
    {"Lua_Texturescroll", Lua_Texturescroll},
    {"Lua_Spheremap", Lua_Spheremap},
    {"Lua_Loadobject", Lua_Loadobject},
    {"Lua_Saveobject", Lua_Saveobject},
    {"Lua_Drawobject", Lua_Drawobject},
    {"Lua_Drawanimated", Lua_Drawanimated},
    {"Lua_Countvertices", Lua_Countvertices},
    {"Lua_Gettriangle", Lua_Gettriangle},
    {"Lua_Line3d", Lua_Line3d},
    {"Lua_Point3d", Lua_Point3d},
    {"Lua_Axes", Lua_Axes},
    {"Lua_Light", Lua_Light},
    {"Lua_Simplelight", Lua_Simplelight},
    {"Lua_Fog", Lua_Fog},
    {"Lua_Loadshader", Lua_Loadshader},
    {"Lua_Useshader", Lua_Useshader},
    {"Lua_Shaderfloat", Lua_Shaderfloat},
    {"Lua_Shaderint", Lua_Shaderint},
    {nullptr, nullptr},
};

// The bindings of lua_gfx3d_build.cpp.
void RegisterGfx3dBuildBindings(lua_State* L);

void RegisterGfx3dBindings(lua_State* L) {
    RegisterBindingTable(L, kGfx3dBindings);
    RegisterGfx3dBuildBindings(L);
}

// Lua binding of the path finding subsystem: PathFind over number arrays.
extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "lua_args.h"
#include "lua_arrays.h"
#include "lua_register.h"
#include "path/path.h"

// Lua_Pathfind(map, path, weight, startX, startY, goalX, goalY) -> cells in
// the path (0 when none); the path array receives the rows.
static int Lua_Pathfind(lua_State* L) {
    // Array checks first: a wrong argument is a Lua error, raised by longjmp.
    NumberArray* map = CheckNumberArray(L, 1);
    NumberArray* path = CheckNumberArray(L, 2);
    return GuardedBinding(L, [&] {
        return PushNumber(L, PathFind(*map, *path, ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5),
                                      ArgNumber(L, 6), ArgNumber(L, 7)));
    });
}

static const LuaBinding kPathBindings[] = {
    {"Lua_Pathfind", Lua_Pathfind},
    {nullptr, nullptr},
};

void RegisterPathBindings(lua_State* L) { RegisterBindingTable(L, kPathBindings); }

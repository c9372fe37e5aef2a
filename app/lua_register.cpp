// The list of subsystem registrations, in the order the globals are set.
#include "lua_register.h"

#include "end_watch.h"
#include "gfx2d/gfx2d.h"
#include "lua_args.h"
#include "script_place.h"

int QueueingBinding(lua_State* L) {
    lua_CFunction binding = lua_tocfunction(L, lua_upvalueindex(1));
    bindingState = L;
    EnterBinding();
    int results = binding(L);
    LeaveBinding();
    return results;
}

int FlushingBinding(lua_State* L) {
    lua_CFunction binding = lua_tocfunction(L, lua_upvalueindex(1));
    bindingState = L;
    EnterBinding();
    FlushDrawBatch();
    int results = binding(L);
    LeaveBinding();
    return results;
}

void RegisterBindings(lua_State* L) {
    RegisterMainBindings(L);
    RegisterCoreBindings(L);
    RegisterGfx2dBindings(L);
    RegisterInputBindings(L);
    RegisterFilesBindings(L);
    RegisterSoundBindings(L);
    RegisterStringsBindings(L);
    RegisterPathBindings(L);
    RegisterGfx3dBindings(L);
    RegisterNetBindings(L);
}

// The list of subsystem registrations, in the order the globals are set.
#include "lua_register.h"

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
}

// The one list that registers every subsystem's Lua bindings.
#pragma once

struct lua_State;

// Registers the seven script bindings first, in their fixed order, then the
// bindings of every subsystem.
void RegisterBindings(lua_State* L);

// One register function per subsystem (app/lua_<subsystem>.cpp).
void RegisterMainBindings(lua_State* L);
void RegisterCoreBindings(lua_State* L);
void RegisterGfx2dBindings(lua_State* L);
void RegisterInputBindings(lua_State* L);
void RegisterFilesBindings(lua_State* L);
void RegisterSoundBindings(lua_State* L);
void RegisterStringsBindings(lua_State* L);
void RegisterPathBindings(lua_State* L);
void RegisterGfx3dBindings(lua_State* L);
void RegisterNetBindings(lua_State* L);

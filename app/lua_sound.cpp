// Lua bindings of sound effects, music and video.
extern "C" {
#include <lua.h>
}

#include "lua_args.h"
#include "lua_register.h"
#include "sound/sound.h"

// ---------------------------------------------------------------------------
// Bindings

static int Lua_Loadsound(lua_State* L) {
    return GuardedBinding(L, [&] {
        LoadSound(ArgText(L, 1), ArgNumber(L, 2), ArgNumber(L, 3));
        return 0;
    });
}

static int Lua_Playsound(lua_State* L) {
    return PushNumber(L, PlaySound(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3)));
}

static int Lua_Soundplaying(lua_State* L) { return PushNumber(L, SoundPlaying(ArgNumber(L, 1))); }

static int Lua_Stopsounds(lua_State*) {
    StopAllSounds();
    return 0;
}

static int Lua_Playmusic(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, PlayMusic(ArgText(L, 1))); });
}

static int Lua_Musicvolume(lua_State* L) {
    MusicVolume(ArgNumber(L, 1));
    return 0;
}

static int Lua_Stopmusic(lua_State*) {
    StopMusic();
    return 0;
}

// ---------------------------------------------------------------------------
// Registration

static int Lua_Playvideo(lua_State* L) { return PushNumber(L, PlayVideo(ArgText(L, 1), ArgNumber(L, 2))); }

static const LuaBinding soundBindings[] = {
    {"Lua_Loadsound", Lua_Loadsound},
    {"Lua_Playsound", Lua_Playsound},
    {"Lua_Soundplaying", Lua_Soundplaying},
    {"Lua_Stopsounds", Lua_Stopsounds},
    {"Lua_Playmusic", Lua_Playmusic},
    {"Lua_Musicvolume", Lua_Musicvolume},
    {"Lua_Stopmusic", Lua_Stopmusic},
    {"Lua_Playvideo", Lua_Playvideo},
    {nullptr, nullptr},
};

void RegisterSoundBindings(lua_State* L) { RegisterBindingTable(L, soundBindings); }

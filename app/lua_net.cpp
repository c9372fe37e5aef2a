// Lua bindings of the networking subsystem: the multiplayer commands and the
// HTTP fetch. Ids and ports go in as text or numbers and ids come back as text.
extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "lua_args.h"
#include "lua_register.h"
#include "net/net.h"

// Lua_Nethost(port) -> 1 when hosting started, else 0.
static int Lua_Nethost(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, NetHost(ArgText(L, 1))); });
}

// Lua_Netjoin(host, port) -> 1 when the host answered, else 0.
static int Lua_Netjoin(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, NetJoin(ArgText(L, 1), ArgText(L, 2))); });
}

// Lua_Netlocaladdresses() -> "a.b.c.d:26000|..."
static int Lua_Netlocaladdresses(lua_State* L) {
    return GuardedBinding(L, [&] { return PushText(L, NetLocalAddresses()); });
}

// Lua_Netcreateplayer(name) -> id text, "-1" on failure.
static int Lua_Netcreateplayer(lua_State* L) {
    return GuardedBinding(L, [&] { return PushText(L, NetCreatePlayer(ArgText(L, 1))); });
}

// Lua_Netremoveplayer(id) -> 1.
static int Lua_Netremoveplayer(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, NetRemovePlayer(ArgText(L, 1))); });
}

// Lua_Netsendmessage(sender, recipient, text) -> 1 when written, else 0.
static int Lua_Netsendmessage(lua_State* L) {
    return GuardedBinding(L, [&] {
        return PushNumber(L, NetSendMessage(ArgText(L, 1), ArgText(L, 2), ArgText(L, 3)));
    });
}

// Lua_Netreceivemessage(id) -> the oldest message, or "".
static int Lua_Netreceivemessage(lua_State* L) {
    return GuardedBinding(L, [&] { return PushText(L, NetReceiveMessage(ArgText(L, 1))); });
}

// Lua_Netlastsender() -> id text.
static int Lua_Netlastsender(lua_State* L) {
    return GuardedBinding(L, [&] { return PushText(L, NetLastSender()); });
}

// Lua_Netplayercount() -> number of named players.
static int Lua_Netplayercount(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, NetPlayerCount()); });
}

// Lua_Netplayerid(index) -> id text of the index-th (0-based) named player.
static int Lua_Netplayerid(lua_State* L) {
    return GuardedBinding(L, [&] { return PushText(L, NetPlayerId(ArgNumber(L, 1))); });
}

// Lua_Netplayername(id) -> name, "" or "NO_DATA".
static int Lua_Netplayername(lua_State* L) {
    return GuardedBinding(L, [&] { return PushText(L, NetPlayerName(ArgText(L, 1))); });
}

// Lua_Httpfetch(server, path, port, file) -> 1 on a normal close, else 0.
static int Lua_Httpfetch(lua_State* L) {
    return GuardedBinding(L, [&] {
        return PushNumber(L, HttpFetch(ArgText(L, 1), ArgText(L, 2), ArgNumber(L, 3), ArgText(L, 4)));
    });
}

static const LuaBinding kNetBindings[] = {
    {"Lua_Nethost", Lua_Nethost},
    {"Lua_Netjoin", Lua_Netjoin},
    {"Lua_Netlocaladdresses", Lua_Netlocaladdresses},
    {"Lua_Netcreateplayer", Lua_Netcreateplayer},
    {"Lua_Netremoveplayer", Lua_Netremoveplayer},
    {"Lua_Netsendmessage", Lua_Netsendmessage},
    {"Lua_Netreceivemessage", Lua_Netreceivemessage},
    {"Lua_Netlastsender", Lua_Netlastsender},
    {"Lua_Netplayercount", Lua_Netplayercount},
    {"Lua_Netplayerid", Lua_Netplayerid},
    {"Lua_Netplayername", Lua_Netplayername},
    {"Lua_Httpfetch", Lua_Httpfetch},
    {nullptr, nullptr},
};

void RegisterNetBindings(lua_State* L) { RegisterBindingTable(L, kNetBindings); }

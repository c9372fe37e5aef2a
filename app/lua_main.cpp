// The main script bindings. They keep their own argument scheme: arguments are
// mapped to slots by their distance k from the top of the stack (the last
// argument has k = 1), nil arguments leave their slot empty, and numbers
// travel through the slots as text.
extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "lua_args.h"
#include "lua_register.h"

// ---------------------------------------------------------------------------
// State

// Scratch slots shared by the bindings.
static RuntimeString argText;
static RuntimeString argNumber;
static RuntimeString argX;
static RuntimeString argY;

// ---------------------------------------------------------------------------
// Internal helpers

// Fills a slot the way a number argument is read: Lua's number conversion,
// then the runtime's number-to-text rule.
static void SlotFromNumber(RuntimeString& slot, lua_State* L, int index) {
    slot = lua_tonumber(L, index);
}

// Fills a slot with Lua's to-string result of the argument.
static void SlotFromText(RuntimeString& slot, lua_State* L, int index) {
    const char* text = lua_tostring(L, index);
    slot = text ? text : "";
}

static double SlotValue(const RuntimeString& slot) { return TextToNumber(slot.Text()); }

// Calls visit(k, index) for every non-nil argument, first to last, then pops
// all arguments.
template <typename Visit>
static void VisitArguments(lua_State* L, Visit visit) {
    int n = lua_gettop(L);
    for (int i = 1; i <= n; ++i) {
        if (lua_isnil(L, i)) continue;
        visit(n - i + 1, i);
    }
    lua_settop(L, 0);
}

// ---------------------------------------------------------------------------
// Bindings

static int Lua_Print(lua_State* L) {
    return GuardedBinding(L, [&] {
        argText = "";
        argX = "";
        argY = "";
        VisitArguments(L, [&](int k, int i) {
            if (k == 3) SlotFromText(argText, L, i);
            else if (k == 2) SlotFromText(argX, L, i);
            else if (k == 1) SlotFromText(argY, L, i);
        });
        Print(argText.Text(), SlotValue(argX), SlotValue(argY));
        return 0;
    });
}

static int Lua_Blackscreen(lua_State* L) {
    return GuardedBinding(L, [&] {
        // One clear for every argument that is not nil.
        VisitArguments(L, [&](int, int i) {
            argText = "";
            SlotFromText(argText, L, i);
            BlackScreen();
        });
        return 0;
    });
}

static int Lua_Loadsprite(lua_State* L) {
    return GuardedBinding(L, [&] {
        argText = "";
        argNumber = "";
        VisitArguments(L, [&](int k, int i) {
            if (k == 2) SlotFromText(argText, L, i);
            else if (k == 1) SlotFromNumber(argNumber, L, i);
        });
        RuntimeString file = argText;
        LoadSprite(file.Text(), SlotValue(argNumber));
        return 0;
    });
}

static int Lua_Drawsprite(lua_State* L) {
    return GuardedBinding(L, [&] {
        argX = "";
        argY = "";
        argNumber = "";
        VisitArguments(L, [&](int k, int i) {
            if (k == 3) SlotFromNumber(argNumber, L, i);
            else if (k == 2) SlotFromNumber(argX, L, i);
            else if (k == 1) SlotFromNumber(argY, L, i);
        });
        DrawSprite(SlotValue(argNumber), SlotValue(argX), SlotValue(argY));
        return 0;
    });
}

static int Lua_Loadbmp(lua_State* L) {
    return GuardedBinding(L, [&] {
        argText = "";
        argNumber = "";
        // The last argument that is not nil names the file.
        VisitArguments(L, [&](int, int i) { SlotFromText(argText, L, i); });
        RuntimeString file = argText;
        LoadBmp(file.Text());
        return 0;
    });
}

static int Lua_Setscreen(lua_State* L) {
    argX = "";
    argY = "";
    argNumber = "";
    VisitArguments(L, [&](int k, int i) {
        if (k == 3) SlotFromNumber(argX, L, i);
        else if (k == 2) SlotFromNumber(argY, L, i);
        else if (k == 1) SlotFromNumber(argNumber, L, i);
    });
    SetScreen(SlotValue(argX), SlotValue(argY), SlotValue(argNumber));
    return 0;
}

static int Lua_Showscreen(lua_State* L) {
    lua_settop(L, 0);
    ShowScreen();
    return 0;
}

// ---------------------------------------------------------------------------
// Registration

static const LuaBinding mainBindings[] = {
    {"Lua_Print", Lua_Print},
    {"Lua_Blackscreen", Lua_Blackscreen},
    {"Lua_Loadsprite", Lua_Loadsprite},
    {"Lua_Drawsprite", Lua_Drawsprite},
    {"Lua_Loadbmp", Lua_Loadbmp},
    {"Lua_Setscreen", Lua_Setscreen},
    {"Lua_Showscreen", Lua_Showscreen},
    {nullptr, nullptr},
};

void RegisterMainBindings(lua_State* L) { RegisterBindingTable(L, mainBindings); }

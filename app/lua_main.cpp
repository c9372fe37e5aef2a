// The main script bindings. They keep their own argument scheme: arguments are
// mapped to slots by their distance k from the top of the stack (the last
// argument has k = 1), nil arguments leave their slot empty, and numbers
// travel through the slots as text (a number whose text reads back as itself
// skips the text, since the result is the same).
extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <cmath>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "lua_args.h"
#include "lua_register.h"

// ---------------------------------------------------------------------------
// State

// Text slot shared by the bindings.
static RuntimeString argText;

// ---------------------------------------------------------------------------
// Internal helpers

// Number slots hold the value a slot's text reads as; a slot no argument
// filled reads as 0.
static double numberX;
static double numberY;
static double numberN;

// A number argument's value: Lua's number conversion, then through the
// runtime's number-to-text rule and back.
static double NumberFromNumber(lua_State* L, int index) { return NumberThroughText(ToLuaNumber(L, index)); }

// Fills a slot with Lua's to-string result of the argument.
static void SlotFromText(RuntimeString& slot, lua_State* L, int index) {
    LuaText text;
    slot = ToLuaText(L, index, text) ? text.text : "";
}

// A number given as text: Lua's to-string result read by the text-to-number
// rule. Lua writes 14 significant digits, so a whole number below 1e14 reads
// back as itself and needs no text.
static double NumberFromText(lua_State* L, int index) {
    if (lua_type(L, index) == LUA_TNUMBER) {
        const double value = lua_tonumber(L, index);
        if (std::fabs(value) < 1e14 && value == std::trunc(value) && !(value == 0.0 && std::signbit(value)))
            return value;
    }
    LuaText text;
    return TextToNumber(ToLuaText(L, index, text) ? text.text : "");
}

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
        numberX = numberY = 0.0;
        VisitArguments(L, [&](int k, int i) {
            if (k == 3) SlotFromText(argText, L, i);
            else if (k == 2) numberX = NumberFromText(L, i);
            else if (k == 1) numberY = NumberFromText(L, i);
        });
        QueuePrint(argText.Text(), numberX, numberY);
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
        numberN = 0.0;
        VisitArguments(L, [&](int k, int i) {
            if (k == 2) SlotFromText(argText, L, i);
            else if (k == 1) numberN = NumberFromNumber(L, i);
        });
        RuntimeString file = argText;
        LoadSprite(file.Text(), numberN);
        return 0;
    });
}

static int Lua_Drawsprite(lua_State* L) {
    return GuardedBinding(L, [&] {
        numberN = numberX = numberY = 0.0;
        VisitArguments(L, [&](int k, int i) {
            if (k == 3) numberN = NumberFromNumber(L, i);
            else if (k == 2) numberX = NumberFromNumber(L, i);
            else if (k == 1) numberY = NumberFromNumber(L, i);
        });
        QueueSprite(numberN, numberX, numberY);
        return 0;
    });
}

static int Lua_Loadbmp(lua_State* L) {
    return GuardedBinding(L, [&] {
        argText = "";
        // The last argument that is not nil names the file.
        VisitArguments(L, [&](int, int i) { SlotFromText(argText, L, i); });
        RuntimeString file = argText;
        LoadBmp(file.Text());
        return 0;
    });
}

static int Lua_Setscreen(lua_State* L) {
    numberX = numberY = numberN = 0.0;
    VisitArguments(L, [&](int k, int i) {
        if (k == 3) numberX = NumberFromNumber(L, i);
        else if (k == 2) numberY = NumberFromNumber(L, i);
        else if (k == 1) numberN = NumberFromNumber(L, i);
    });
    SetScreen(numberX, numberY, numberN);
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
    {"Lua_Print", Lua_Print, true},
    {"Lua_Blackscreen", Lua_Blackscreen},
    {"Lua_Loadsprite", Lua_Loadsprite},
    {"Lua_Drawsprite", Lua_Drawsprite, true},
    {"Lua_Loadbmp", Lua_Loadbmp},
    {"Lua_Setscreen", Lua_Setscreen},
    {"Lua_Showscreen", Lua_Showscreen},
    {nullptr, nullptr},
};

void RegisterMainBindings(lua_State* L) { RegisterBindingTable(L, mainBindings); }
